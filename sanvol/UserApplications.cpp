// Continuous-replication user applications: administrator-defined
// applications whose data lives on replicated volumes (a name, a tag and
// the scripts that suspend and resume the application around a snapshot).
// onMsgGetQRUserApps lists them all (reply 11766); onMsgManageQRUserApps
// adds (1), deletes (2) and changes (3) them, one record of its element
// stream at a time.
//
// The definitions live in the replica database service; every record is
// one call of it, whole or not at all, on a service object of its own. The
// values and presence marks of the elements stay for the whole request, so
// a later record reuses what an earlier one sent. A failed record is
// answered once and ends the request; the records before it keep their
// effects. A change with nothing to change is answered "Success" without
// a service call. Service error texts go to the log only; the client gets
// the catalogue text of the failed operation.
//
// Lasting state: none.
#include <cstdint>
#include <string>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"

namespace {

// ---------------------------------------------------------------- log tags

constexpr const char* kTagList = "EvSANVolMgr::onMsgGetQRUserApps";
constexpr const char* kTagListWorker = "EvSANVolMgr::lookupQRUserApps";
constexpr const char* kTagManage = "EvSANVolMgr::onMsgManageQRUserApps";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextListFailed = 0x390000df;
constexpr unsigned long kTextAddFailed = 0x390000e0;
constexpr unsigned long kTextDeleteFailed = 0x390000e1;
constexpr unsigned long kTextChangeFailed = 0x390000e2;

// ---------------------------------------------------------------- elements, items, operations

constexpr unsigned int kElementUserAppId = tktag::kUserApplicationId;
constexpr unsigned int kElementAppId = tktag::kApplicationId;
constexpr unsigned int kElementName = tktag::kUserApplicationName;
constexpr unsigned int kElementTag = tktag::kUserApplicationTag;
constexpr unsigned int kElementResumeScript = tktag::kResumeScript;
constexpr unsigned int kElementSuspendScript = tktag::kSuspendScript;

constexpr unsigned long kReplyUserApps = tktag::kReplyUserApplications;

constexpr unsigned long long kOperationAdd = 1;
constexpr unsigned long long kOperationDelete = 2;
constexpr unsigned long long kOperationChange = 3;

constexpr int kLevelReceived = 7;

// Every text element is kept in a 4,104-byte buffer: at most 4,103
// characters and the terminator.
constexpr std::size_t kTextBufferSize = 4104;

// ---------------------------------------------------------------- request values

struct ReceivedText {
  std::string text;
  bool present = false;
};

struct ReceivedId {
  uint32_t value = 0;
  bool present = false;
};

// How a text element is named in the log: on receipt, and when cut.
struct TextElementNames {
  const char* received;
  const char* cut;
};
constexpr TextElementNames kNameNames{"Application Name", "Application name"};
constexpr TextElementNames kTagNames{"Application Tag", "Application Tag"};
constexpr TextElementNames kResumeNames{"Resume Script", "Resume script"};
constexpr TextElementNames kSuspendNames{"Suspend Script", "Suspend script"};

// One text element: its text (cut at 4,103 characters) and its mark; a
// value that fills the buffer is logged as cut.
void takeText(ReceivedText& to, const char* value, unsigned int length, const TextElementNames& names) {
  to.text = tksanvol::readText(value, length);
  to.present = true;
  EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, %s = %s.", names.received, to.text.c_str());
  const std::size_t needed = static_cast<std::size_t>(length) + 1;
  if (needed > kTextBufferSize - 1)
    EvDebug::DebugLvl(2, kTagManage, "%s has been truncated. Buffer Size [%d], GUI Buffer Size [%zu]", names.cut,
                      static_cast<int>(needed), kTextBufferSize);
}

// ---------------------------------------------------------------- the changes

class ManageUserApps final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementUserAppId:
        takeId(m_userAppId, value, length);
        return true;
      case kElementAppId:
        takeId(m_appId, value, length);
        return true;
      case kElementName:
        takeText(m_name, value, length, kNameNames);
        return true;
      case kElementTag:
        takeText(m_tag, value, length, kTagNames);
        return true;
      case kElementResumeScript:
        takeText(m_resume, value, length, kResumeNames);
        return true;
      case kElementSuspendScript:
        takeText(m_suspend, value, length, kSuspendNames);
        return true;
      default:
        return false;
    }
  }

  bool supportsOperation(unsigned long long operation) const override {
    return operation == kOperationAdd || operation == kOperationDelete || operation == kOperationChange;
  }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    switch (context.operation) {
      case kOperationAdd:
        return add(context);
      case kOperationDelete:
        return remove(context);
      default:
        return change(context);
    }
  }

 private:
  static void takeId(ReceivedId& to, const char* value, unsigned int length) {
    to.value = tksanvol::readU32(value, length);
    to.present = true;
    EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, QR User Application Id = %lu.",
                      static_cast<unsigned long>(to.value));
  }

  static tksanvol::RecordOutcome missing(tksanvol::StreamContext& context) {
    return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                             tksanvol::AnswerForm::OperationResponse, context.operation);
  }
  static tksanvol::RecordOutcome failed(tksanvol::StreamContext& context, const std::string& errorText,
                                        unsigned long messageId) {
    return context.answer.lookupFailed(errorText.c_str(), messageId, tksanvol::AnswerForm::OperationResponse,
                                       context.operation);
  }
  static tksanvol::RecordOutcome succeeded(tksanvol::StreamContext& context) {
    context.answer.success(tksanvol::AnswerForm::OperationResponse, context.operation);
    return tksanvol::RecordOutcome::GoOn;
  }

  // Operation 1: the new application's id goes back as the last item.
  tksanvol::RecordOutcome add(tksanvol::StreamContext& context) {
    if (!context.hasTarnfoldId || !m_appId.present || !m_name.present || !m_tag.present || !m_resume.present ||
        !m_suspend.present)
      return missing(context);
    AddQRUserAppDefsArgs_t args;
    args.application.appId = static_cast<int32_t>(m_appId.value);
    args.application.appName = m_name.text;
    args.application.appTag = m_tag.text;
    args.application.resumeScript = m_resume.text;
    args.application.suspendScript = m_suspend.text;
    ReplicaDBClient db(1);
    AddQRUserAppDefsRet_t ret;
    if (!db.AddApplication(args, ret)) return failed(context, ret.errorText, kTextAddFailed);
    MessageInfo& m = context.request();
    const uint32_t newId = static_cast<uint32_t>(ret.userAppId);
    if (!EvSANVolMgr::sendOperationResponseWith(m.sequenceNumber, m.socket, context.operation, 1, "Success",
                                                kElementUserAppId, &newId, sizeof newId))
      return tksanvol::RecordOutcome::Failed;
    return tksanvol::RecordOutcome::GoOn;
  }

  // Operation 2.
  tksanvol::RecordOutcome remove(tksanvol::StreamContext& context) {
    if (!context.hasTarnfoldId || !m_userAppId.present) return missing(context);
    DeleteQRUserAppDefsArgs_t args;
    args.userAppId = static_cast<int32_t>(m_userAppId.value);
    ReplicaDBClient db(1);
    DeleteQRUserAppDefsRet_t ret;
    if (!db.DeleteApplication(args, ret)) return failed(context, ret.errorText, kTextDeleteFailed);
    return succeeded(context);
  }

  // Operation 3: the received texts that are not empty, each marked in the
  // change mask; the service changes only those.
  tksanvol::RecordOutcome change(tksanvol::StreamContext& context) {
    if (!context.hasTarnfoldId || !m_userAppId.present) return missing(context);
    UpdateQRUserAppDefsArgs_t args;
    QRUserAppDefsRecord_t& app = args.application;
    app.userAppId = static_cast<int32_t>(m_userAppId.value);
    if (given(m_name)) app.UpdateAppName(m_name.text);
    if (given(m_tag)) app.UpdateAppTag(m_tag.text);
    if (given(m_resume)) app.UpdateResumeScript(m_resume.text);
    if (given(m_suspend)) app.UpdateSuspendScript(m_suspend.text);
    if (app.changeMask == 0) {
      EvDebug::DebugLvl(kLevelReceived, kTagManage, "%s", "There is nothing to be updated for the QR User Application");
      return succeeded(context);
    }
    ReplicaDBClient db(1);
    UpdateQRUserAppDefsRet_t ret;
    if (!db.UpdateApplication(args, ret)) return failed(context, ret.errorText, kTextChangeFailed);
    return succeeded(context);
  }

  static bool given(const ReceivedText& text) { return text.present && !text.text.empty(); }

  ReceivedId m_userAppId, m_appId;
  ReceivedText m_name, m_tag, m_resume, m_suspend;
};

}  // namespace

long long EvSANVolMgr::onMsgGetQRUserApps(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagList;
  rules.replyId = kReplyUserApps;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupQRUserApps(&m); });
}

long long EvSANVolMgr::lookupQRUserApps(MessageInfo* request) {
  if (request == nullptr) return 0;
  ReplicaDBClient db(1);
  GetQRUserApplicationListListRet_t ret;
  if (!db.GetApplicationList(ret)) {
    tksanvol::RequestAnswer answer(*request, kTagListWorker);
    answer.lookupFailed(ret.errorText.c_str(), kTextListFailed);
    return 0;
  }
  for (const QRUserAppDefsRecord_t& app : ret.applications) {
    tksanvol::addU32(*this, kElementUserAppId, static_cast<uint32_t>(app.userAppId));
    tksanvol::addU32(*this, kElementAppId, static_cast<uint32_t>(app.appId));
    tksanvol::addText(*this, kElementName, app.appName);
    tksanvol::addText(*this, kElementTag, app.appTag);
    tksanvol::addText(*this, kElementResumeScript, app.resumeScript);
    tksanvol::addText(*this, kElementSuspendScript, app.suspendScript);
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvSANVolMgr::onMsgManageQRUserApps(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagManage;
  ManageUserApps handler;
  return tksanvol::runElementStream(request, rules, handler);
}
