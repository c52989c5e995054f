// Message classes of the device-list configuration. Their numbers live with
// the classes (platform/xml/DeviceListMessages.h); this table registers them.
#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/Registry.h"

namespace {

using tkxml::entryOf;

using namespace EVGui;

const tkxml::Registrar kRegistrar{
    entryOf<IdName>({IdName::kId, IdName::kIdName}),
    entryOf<DKBFConfigureDevicesReq>(
        {DKBFConfigureDevicesReq::kClientId, DKBFConfigureDevicesReq::kAppType, DKBFConfigureDevicesReq::kVolumes}),
    entryOf<DKBFConfigureDeviceRespEntry>({DKBFConfigureDeviceRespEntry::kValue, DKBFConfigureDeviceRespEntry::kOldName,
                                           DKBFConfigureDeviceRespEntry::kChangedName,
                                           DKBFConfigureDeviceRespEntry::kErrorCode,
                                           DKBFConfigureDeviceRespEntry::kErrorText}),
    entryOf<DKBFConfigureDevicesResponse>(
        {DKBFConfigureDevicesResponse::kErrorCode, DKBFConfigureDevicesResponse::kEntries}),
};

}  // namespace
