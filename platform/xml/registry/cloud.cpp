// Message classes of the cloud-storage service. Their numbers live with the
// classes (platform/xml/CloudStorageMessages.h); this table registers them.
#include "platform/xml/CloudStorageMessages.h"
#include "platform/xml/Registry.h"

namespace {

template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

const tkxml::Registrar kRegistrar{
    entry<Identity::UserInfo>({Identity::UserInfo::kUserName}),
    entry<App::Storage>({App::Storage::kStorageName, App::Storage::kUser, App::Storage::kCredential,
                         App::Storage::kVendorType, App::Storage::kStorageType}),
    entry<App::FerraneStorageContainer>({App::FerraneStorageContainer::kStorageId,
                                         App::FerraneStorageContainer::kStorageName,
                                         App::FerraneStorageContainer::kCloudServiceType}),
};

}  // namespace
