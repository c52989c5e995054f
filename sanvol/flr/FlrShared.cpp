// What the file-level-recovery handlers share: credentials of FLR sets,
// the client host of mounts, device names, and the answers of their own.
#include "sanvol/flr/FlrShared.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "frame/MessageInfo.h"
#include "platform/client/BackupSet.h"
#include "platform/client/ClientApplicationList.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "sanvol/EvSANVolMgr.h"

namespace tksanvol::flr {
namespace {

constexpr const char* kTag = "GetImpersonation";
// The kind of backup-set list the credential lookup asks for.
constexpr int kBackupSetListKind = 5;

// The first of a client's file-replication sets that reports itself default;
// 0 when none does.
unsigned long long defaultSetOf(int clientId) {
  std::vector<int> ids;
  std::vector<std::string> names;
  std::vector<bool> defaults;
  ClientApplicationList list;
  list.getBackupSetList(ids, names, defaults, clientId, kAppTypeFileReplication, kDefaultInstanceId, nullptr,
                        kBackupSetListKind);
  for (int id : ids) {
    bool isDefault = false;
    BackupSet set(static_cast<unsigned long long>(id));
    if (set.isDefaultBackupSet(isDefault, nullptr) == 0 && isDefault) return static_cast<unsigned long long>(id);
  }
  return 0;
}

}  // namespace

void lockDataOf(unsigned long long flrSetId, std::string& userName, std::string& password) {
  try {
    FileReplicationBackupSet set(flrSetId);
    set.getLockDataUserName(userName, nullptr);
    set.getLockDataPassword(password, nullptr);
  } catch (...) {
    // The caller goes on with what was filled.
  }
}

int GetImpersonation(unsigned long long flrSetId, std::string& userName, std::string& password) {
  if (flrSetId == 0) return 0;
  try {
    FileReplicationBackupSet set(flrSetId);
    int destinationHostId = 0;
    set.getDestinationHostId(destinationHostId, nullptr);
    if (destinationHostId != 0) {
      const unsigned long long defaultSet = defaultSetOf(destinationHostId);
      if (defaultSet != 0 && defaultSet != flrSetId) {
        EvDebug::Debug(kTag, "Getting impersonation from repset:[%llu] instead of current repset:[%llu].",
                       defaultSet, flrSetId);
        lockDataOf(defaultSet, userName, password);
      }
    }
    if (!userName.empty()) return 1;
    EvDebug::Debug(kTag, "GetImpersonation: Using impersonation from repset:[%llu].", flrSetId);
    lockDataOf(flrSetId, userName, password);
  } catch (...) {
    // The credentials stay as far as they were filled; the caller goes on
    // with them.
  }
  return 1;
}

IdText readLeadingIdText(const char* value, unsigned int length) {
  if (length < sizeof(uint32_t)) return IdText{};
  return readIdText(value, length);
}

std::string reasonOf(const std::string& lastErrorString) {
  return lastErrorString.empty() ? std::string() : "Reason: " + lastErrorString;
}


std::string formatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (length > 0) {
    out.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<std::size_t>(length));
  }
  va_end(args);
  return out;
}

std::string clientHostOf(int32_t clientId, const std::string& clientName) {
  std::string host;
  ZQClient client(static_cast<unsigned long>(static_cast<uint32_t>(clientId)));
  client.getNetworkHostname(host, nullptr);
  return host.empty() ? clientName : host;
}

std::string deviceNameOf(const std::string& snapshotName) {
  return beginsWith(snapshotName, "{") ? "QSV" + snapshotName : snapshotName;
}

std::string ontapDeviceText(const std::string& snapshotName, const std::string& mountPath) {
  return "<ONTAP_LUN><SNAPNAME>" + snapshotName + "</SNAPNAME><MOUNT>" + mountPath + "</MOUNT>";
}

std::string serverPartOf(const std::string& source) {
  const std::size_t cut = source.find(" / ");
  return cut == std::string::npos ? source : source.substr(0, cut);
}

std::string leafOf(const std::string& text) {
  const std::size_t slash = text.rfind('\\');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}


StreamRules mountRules(const char* tag) {
  StreamRules rules;
  rules.tag = tag;
  rules.unknownElement = UnknownElement::LogAndGoOn;
  return rules;
}

RecordOutcome invalidOperation(StreamContext& context) {
  EvDebug::Debug(context.answer.tag(), "Received invalid operation type [%llu].", context.operation);
  return answerWithText(context.answer, "Received invalid operation type");
}

RecordOutcome answerWithText(RequestAnswer& answer, const std::string& text, AnswerForm form,
                             unsigned long long operation) {
  answer.explain(text.c_str());
  EvDebug::Error(answer.tag(), "%s", answer.buffer());
  MessageInfo& request = answer.request();
  if (form == AnswerForm::OperationResponse) {
    EvSANVolMgr::sendOperationResponse(request.sequenceNumber, request.socket, operation, 0, answer.buffer(), 0);
  } else {
    sendResponse(request.sequenceNumber, &request.socket, 0, answer.buffer(), nullptr);
  }
  return RecordOutcome::Failed;
}

RecordOutcome failWith(RequestAnswer& answer, unsigned long messageId, const std::string& explanation,
                       std::initializer_list<std::string> arguments) {
  EvEvent& event = answer.event();
  event.clearArguments();
  for (const std::string& argument : arguments) event << argument.c_str();
  const RecordOutcome outcome = answer.fail(messageId, explanation.c_str());
  event.clearArguments();
  return outcome;
}

}  // namespace tksanvol::flr
