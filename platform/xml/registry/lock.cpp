// Message classes of the configuration lock and the generic answers. Their
// numbers live with the classes (platform/xml/EVGuiMessages.h,
// ZQGuiMessages.h); this table registers them.
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/Registry.h"
#include "platform/xml/ZQGuiMessages.h"

namespace {

using tkxml::entryOf;

using EVGui::MMConfigurationLockUnlockInfo;
using EVGui::MMConfigurationLockUnlockReq;

const tkxml::Registrar kRegistrar{
    entryOf<ZQGui::GenericResp>({ZQGui::GenericResp::kCode, ZQGui::GenericResp::kText}),
    entryOf<EVGui::GenericResp>({EVGui::GenericResp::kCode, EVGui::GenericResp::kText}),
    entryOf<MMConfigurationLockUnlockReq>({MMConfigurationLockUnlockReq::kInfo}),
    entryOf<MMConfigurationLockUnlockInfo>(
        {MMConfigurationLockUnlockInfo::kServerSequence, MMConfigurationLockUnlockInfo::kOperation}),
};

}  // namespace
