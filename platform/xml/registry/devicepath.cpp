// Message classes of the device-path request. Their numbers live with the
// classes (platform/xml/DevicePathMessages.h); this table registers them.
#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/Registry.h"

namespace {

// A class's registry entry from its own constants.
template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

using EVGui::ErrorInfo;
using EVGui::IdName;
using EVGui::MMDevicePathInfo;
using EVGui::MMDevicePathInfoReq;
using EVGui::MMDevicePathInfoResp;

const tkxml::Registrar kRegistrar{
    entry<MMDevicePathInfoReq>({MMDevicePathInfoReq::kInfoList, MMDevicePathInfoReq::kMountPathId}),
    entry<MMDevicePathInfo>({MMDevicePathInfo::kDeviceId, MMDevicePathInfo::kDeviceControllerId,
                             MMDevicePathInfo::kMediaAgent, MMDevicePathInfo::kFolder, MMDevicePathInfo::kUserName,
                             MMDevicePathInfo::kPassword, MMDevicePathInfo::kAccessType, MMDevicePathInfo::kEnabled,
                             MMDevicePathInfo::kOperation, MMDevicePathInfo::kProxyPassword,
                             MMDevicePathInfo::kAutoPickTransport, MMDevicePathInfo::kMaxDrivesToSwitch,
                             MMDevicePathInfo::kCredential}),
    entry<IdName>({IdName::kId, IdName::kIdName}),
    entry<MMDevicePathInfoResp>({MMDevicePathInfoResp::kError}),
    entry<ErrorInfo>({ErrorInfo::kErrorCode, ErrorInfo::kErrorText}),
};

}  // namespace
