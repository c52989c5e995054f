// Message classes of the configuration lock and the generic answers. Their
// numbers live with the classes (platform/xml/EVGuiMessages.h,
// ZQGuiMessages.h); this table registers them.
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/Registry.h"
#include "platform/xml/ZQGuiMessages.h"

namespace {

// A class's registry entry from its own constants.
template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

using EVGui::MMConfigurationLockUnlockInfo;
using EVGui::MMConfigurationLockUnlockReq;

const tkxml::Registrar kRegistrar{
    entry<ZQGui::GenericResp>({ZQGui::GenericResp::kCode, ZQGui::GenericResp::kText}),
    entry<EVGui::GenericResp>({EVGui::GenericResp::kCode, EVGui::GenericResp::kText}),
    entry<MMConfigurationLockUnlockReq>({MMConfigurationLockUnlockReq::kInfo}),
    entry<MMConfigurationLockUnlockInfo>(
        {MMConfigurationLockUnlockInfo::kServerSequence, MMConfigurationLockUnlockInfo::kOperation}),
};

}  // namespace
