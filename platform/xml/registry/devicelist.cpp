// Message classes of the device-list configuration. Their numbers live with
// the classes (platform/xml/DeviceListMessages.h); this table registers them.
#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/Registry.h"

namespace {

// A class's registry entry from its own constants.
template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

using namespace EVGui;

const tkxml::Registrar kRegistrar{
    entry<IdName>({IdName::kId, IdName::kIdName}),
    entry<DKBFConfigureDevicesReq>(
        {DKBFConfigureDevicesReq::kClientId, DKBFConfigureDevicesReq::kAppType, DKBFConfigureDevicesReq::kVolumes}),
    entry<DKBFConfigureDeviceRespEntry>({DKBFConfigureDeviceRespEntry::kValue, DKBFConfigureDeviceRespEntry::kOldName,
                                         DKBFConfigureDeviceRespEntry::kChangedName,
                                         DKBFConfigureDeviceRespEntry::kErrorCode,
                                         DKBFConfigureDeviceRespEntry::kErrorText}),
    entry<DKBFConfigureDevicesResponse>(
        {DKBFConfigureDevicesResponse::kErrorCode, DKBFConfigureDevicesResponse::kEntries}),
};

}  // namespace
