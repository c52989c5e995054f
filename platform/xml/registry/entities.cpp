// Entity messages that name a distributed storage, a library or a client
// inside a storage-library request. Their numbers live with the classes
// (platform/xml/ZqEntitiesMessages.h).
#include "platform/xml/Registry.h"
#include "platform/xml/ZqEntitiesMessages.h"

namespace {

using tkxml::entryOf;

const tkxml::Registrar kRegistrar{
    entryOf<ZqEntities::DistributedStorageEntity>({ZqEntities::DistributedStorageEntity::kId}),
    entryOf<ZqEntities::LibraryEntity>({ZqEntities::LibraryEntity::kId}),
    entryOf<ZqEntities::ClientEntity>({ZqEntities::ClientEntity::kId, ZqEntities::ClientEntity::kClientName}),
};

}  // namespace
