// The last step of the tape-library setup wizard
// (ZQGui::EZConfigureTapeLibraryReq): optionally configures the chosen tape
// library through the model's wizard configuration, then sets the
// retention of the library's primary storage policy from the request's
// first library record. ZQGui::GenericResp answers: 0 with a success text,
// or -1 with the reason. No lock, no rights check, no audit record. A
// library configured here without a storage policy gets the default one
// first; a configuration done before a later failure (a database fault)
// stays.
#include <string>

#include "ezconfig/EzWizardFrame.h"
#include "ezconfig/tapewizard/EZTapeLibraryPolicy.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/archivemgr/AgingRule.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/xml/EZTapeWizardMessages.h"
#include "platform/xml/ZQGuiMessages.h"

namespace {

using tkezconfig::WizardFrame;
using Record = ZQGui::EZTapeLibrary;
using Request = ZQGui::EZConfigureTapeLibraryReq;

constexpr const char* kTag = "EvMMConfigMgr::onMsgEZConfigureTapeLibrary";
constexpr unsigned long kTextDone = 0x240001F0;
constexpr unsigned long kTextPolicyNotSet = 0x4100000E;  // %1 the library's alias or the policy's name
constexpr int kRetentionCycles = 1;

const CNMessageBase& recordOf(Request& request, const tkxml::FieldDef& field) {
  return request.getObjectAccessor(true, false, field.ordinal, field.tag, Request::kClassHash, field.hash, field.ns,
                                   field.cls);
}

long long numberOf(const CNMessageBase& record, const tkxml::FieldDef& field) {
  return record.getint64(field.tag, Record::kClassHash, field.hash);
}

void configure(WizardFrame& frame, Request& request) {
  ZQMACMediaConfig& config = *frame.config();
  const CNMessageBase& first = recordOf(request, Request::kLibrary);
  const auto handle = static_cast<unsigned long long>(numberOf(first, Record::kHandle));
  const auto secondHandle =
      static_cast<unsigned long long>(numberOf(recordOf(request, Request::kSecondLibrary), Record::kHandle));
  // Only a library-management object of this configuration.
  ZQMACLms* lms = config.FindObject<ZQMACLms>(handle);

  const bool configuring =
      request.getint64(Request::kConfigure.tag, Request::kClassHash, Request::kConfigure.hash) != 0;
  if (configuring && !config.EZConfig(handle, secondHandle)) {
    std::string error;
    config.GetLastError(error);
    EvDebug::Error(kTag, "Failed to configure library, due to Error: %s.", error.c_str());
    frame.fail(error);
    return;
  }
  if (lms == nullptr) return;
  ZQMACLibrary* library = lms->GetLibrary();
  const unsigned int stored = lms->GetId();
  const int libraryId = stored == 0xFFFFFFFFu ? 0 : static_cast<int>(stored);
  const std::string alias = library != nullptr ? library->GetAliasName() : lms->GetName();

  tkezconfig::TapePolicy policy;
  tkezconfig::PolicySearch search = tkezconfig::findTapePolicy(libraryId, alias, kTag, policy);
  // A library configured just now has no storage policy yet, and the
  // retention needs one: it gets the default policy the drive step gives a
  // library, so that a configuration answered as failed is never kept for
  // want of it.
  if (configuring && search == tkezconfig::PolicySearch::kNone &&
      EvMMConfigMgr::CreateDefaultStoragePolicyForTapeLib(libraryId, alias,
                                                          static_cast<int>(frame.record().userId)) == 0) {
    search = tkezconfig::findTapePolicy(libraryId, alias, kTag, policy);
  }
  switch (search) {
    case tkezconfig::PolicySearch::kFound:
      break;
    case tkezconfig::PolicySearch::kRowUnreadable:
      frame.failWith(kTextPolicyNotSet, {policy.groupName});
      return;
    default:
      frame.failWith(kTextPolicyNotSet, {alias});
      return;
  }
  const int retention = static_cast<int>(numberOf(first, Record::kRetentionDays));
  if (!SetAgingRuleAndThreshold(policy.groupId, retention, kRetentionCycles, 0, libraryId, 0)) {
    EvDebug::Error(kTag, "Failed to update archGroup [%s] and copy [%s]] properties.", policy.groupName.c_str(),
                   policy.copyName.c_str());
    frame.failWith(kTextPolicyNotSet, {policy.groupName});
    return;
  }
  EvDebug::Debug(kTag, "Update archGroup [%s] and copy [%s]] properties successfully.", policy.groupName.c_str(),
                 policy.copyName.c_str());
}

}  // namespace

namespace tkezconfig {

// The success answer of the wizard requests answered by ZQGui::GenericResp.
void answerDone(WizardFrame& frame) {
  using G = ZQGui::GenericResp;
  G done;
  done.setint64(G::kCode.ordinal, G::kCode.tag, 0, G::kClassHash, G::kCode.hash);
  done.setstring(G::kText.ordinal, G::kText.tag, MyLocalText(ZQMACBase::GetMessageString(kTextDone)), G::kClassHash,
                 G::kText.hash);
  frame.answer(done, "ZQGui::GenericResp");
}

}  // namespace tkezconfig

int EvMMConfigMgr::onMsgEZConfigureTapeLibrary(MessageInfo* request, std::string& xml) {
  WizardFrame frame(request, xml, kTag);
  Request message;
  if (frame.open(message, "ZQGui::EZConfigureTapeLibraryReq")) configure(frame, message);
  tkezconfig::answerDone(frame);
  return 0;
}
