// Entity messages that name a distributed storage, a library or a client
// inside a storage-library request. Their numbers live with the classes
// (platform/xml/ZqEntitiesMessages.h).
#include "platform/xml/Registry.h"
#include "platform/xml/ZqEntitiesMessages.h"

namespace {

template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

const tkxml::Registrar kRegistrar{
    entry<ZqEntities::DistributedStorageEntity>({ZqEntities::DistributedStorageEntity::kId}),
    entry<ZqEntities::LibraryEntity>({ZqEntities::LibraryEntity::kId}),
    entry<ZqEntities::ClientEntity>({ZqEntities::ClientEntity::kId, ZqEntities::ClientEntity::kClientName}),
};

}  // namespace
