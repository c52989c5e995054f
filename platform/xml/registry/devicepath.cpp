// Message classes of the device-path request. Their numbers live with the
// classes (platform/xml/DevicePathMessages.h); this table registers them.
#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/Registry.h"

namespace {

using tkxml::entryOf;

using EVGui::ErrorInfo;
using EVGui::IdName;
using EVGui::MMDevicePathInfo;
using EVGui::MMDevicePathInfoReq;
using EVGui::MMDevicePathInfoResp;

const tkxml::Registrar kRegistrar{
    entryOf<MMDevicePathInfoReq>({MMDevicePathInfoReq::kInfoList, MMDevicePathInfoReq::kMountPathId}),
    entryOf<MMDevicePathInfo>({MMDevicePathInfo::kDeviceId, MMDevicePathInfo::kDeviceControllerId,
                               MMDevicePathInfo::kMediaAgent, MMDevicePathInfo::kFolder, MMDevicePathInfo::kUserName,
                               MMDevicePathInfo::kPassword, MMDevicePathInfo::kAccessType, MMDevicePathInfo::kEnabled,
                               MMDevicePathInfo::kOperation, MMDevicePathInfo::kProxyPassword,
                               MMDevicePathInfo::kAutoPickTransport, MMDevicePathInfo::kMaxDrivesToSwitch,
                               MMDevicePathInfo::kCredential}),
    entryOf<IdName>({IdName::kId, IdName::kIdName}),
    entryOf<MMDevicePathInfoResp>({MMDevicePathInfoResp::kError}),
    entryOf<ErrorInfo>({ErrorInfo::kErrorCode, ErrorInfo::kErrorText}),
};

}  // namespace
