// The saved-credential entity, named by every request that carries a
// credential (storage libraries, device controllers, cloud storage). Its
// numbers live with the class (platform/xml/ZqEntitiesMessages.h).
#include "platform/xml/Registry.h"
#include "platform/xml/ZqEntitiesMessages.h"

namespace {

using ZqEntities::CredentialEntity;

const tkxml::Registrar kRegistrar{
    {CredentialEntity::kName, CredentialEntity::kNamespace, CredentialEntity::kClassNumber,
     CredentialEntity::kClassHash, {CredentialEntity::kId, CredentialEntity::kCredentialName}},
};

}  // namespace
