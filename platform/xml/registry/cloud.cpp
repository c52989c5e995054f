// Message classes of the cloud-storage service. Their numbers live with the
// classes (platform/xml/CloudStorageMessages.h); this table registers them.
#include "platform/xml/CloudStorageMessages.h"
#include "platform/xml/Registry.h"

namespace {

using tkxml::entryOf;

const tkxml::Registrar kRegistrar{
    entryOf<Identity::UserInfo>({Identity::UserInfo::kUserName}),
    entryOf<App::Storage>({App::Storage::kStorageName, App::Storage::kUser, App::Storage::kCredential,
                           App::Storage::kVendorType, App::Storage::kStorageType}),
    entryOf<App::FerraneStorageContainer>({App::FerraneStorageContainer::kStorageId,
                                           App::FerraneStorageContainer::kStorageName,
                                           App::FerraneStorageContainer::kCloudServiceType}),
};

}  // namespace
