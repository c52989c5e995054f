// Verification of a cloud or network storage target before it is
// configured (onMsgCloudOperation): each record builds a disk volume from
// the request (path, media agent, credentials), asks the model to verify it
// and answers, in the one reply 11841, the pieces of the result text split
// at "/" (11041 each, followed by 2052). After the last element a failure
// of any record adds 2051 [0][text of the last failure]; operation 50 also
// gets an operation response.
//
// Operation 58 verifies a cloud target and, when that fails, the volume's
// path as a network target (the answer is then the path itself); any other
// operation verifies the path.
//
// Nothing is changed: the volume, and a new network device made for it,
// belong to no instance, are detached from each other and freed after the
// record. The session holder works on its own instance; any other client
// gets a temporary instance read for that one record, so the holder's
// graph is never touched and nobody is force-closed.
#include <cstdint>
#include <memory>
#include <string>

#include "frame/CredentialElements.h"
#include "frame/ElementTags.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"
#include "mmconfig/disk/RemoteHostUserName.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/focus/ZQPI_Focus.h"
#include "platform/reply/EvReturnData.h"

namespace {

using tkmm::ElementValue;
using tkmm::wipe;

constexpr const char* kTag = "EvMMConfigMgr::onMsgCloudOperation";

constexpr unsigned long kReply = tktag::kReplyCloudOperation;
constexpr unsigned long kItemPiece = tktag::kPath;
constexpr unsigned long kItemFailure = tktag::kStatus;

constexpr uint32_t kOpCloud = 58;
constexpr uint32_t kOpAnswered = 50;

constexpr uint32_t kElementDevice = tktag::kDiskDevice;  // [u32 device id][text]
constexpr uint32_t kElementDisplayType = tktag::kDeviceIdType;
constexpr uint32_t kElementAgent = tktag::kMediaAgent;  // [u32][agent name]
constexpr uint32_t kElementPath = tktag::kPath;
constexpr uint32_t kElementCredential = tktag::kCredential;  // [u32 credential id][name]
constexpr uint32_t kElementUserName = tktag::kUserName;
constexpr uint32_t kElementPassword = tktag::kPassword;
constexpr uint32_t kElementProxyPassword = tktag::kProxyPassword;

constexpr int kDefaultDisplayType = 1;
constexpr char kPieceSeparator = '/';

// The request's elements; they keep their values for the whole request.
struct CloudRequest {
  uint32_t operation = 0;
  uint32_t installationId = 0;
  uint32_t deviceId = 0;
  int displayType = kDefaultDisplayType;
  ElementValue<std::string> agent;
  ElementValue<std::string> path;
  ElementValue<int> credentialId;
  ElementValue<std::string> userName;
  ElementValue<std::string> password;
  ElementValue<std::string> proxyPassword;
  // Why a password of the request cannot be taken (too long for its
  // column): the records are refused with it rather than verified without.
  std::string refusal;
  // The same for a proxy password the user name carries.
  std::string userRefusal;

  CloudRequest() = default;
  CloudRequest(const CloudRequest&) = delete;
  CloudRequest& operator=(const CloudRequest&) = delete;
  ~CloudRequest() {
    wipe(userName.value);
    wipe(password.value);
    wipe(proxyPassword.value);
  }
};

// The volume of one verification, with the new network device made for it:
// the volume is detached from its device first, then both go.
class VerificationVolume {
 public:
  VerificationVolume() = default;
  VerificationVolume(const VerificationVolume&) = delete;
  VerificationVolume& operator=(const VerificationVolume&) = delete;
  ~VerificationVolume() {
    if (m_volume) m_volume->SetDiskDevice(nullptr, false);
    m_volume.reset();
    m_newDevice.reset();
  }

  std::unique_ptr<ZQMACDiskVolume> m_volume;
  std::unique_ptr<ZQMACDiskDevice> m_newDevice;
};

// Builds the record's volume on `config`.
void buildVolume(ZQMACMediaConfig& config, const CloudRequest& r, VerificationVolume& built) {
  std::string suffix = r.proxyPassword.has ? ":" + r.proxyPassword.value : std::string();
  ZQMACMediaAgent* agent = config.FindDBNode(r.agent.value);
  ZQMACDiskDevice* device = r.deviceId != 0 ? config.FindDBNode<ZQMACDiskDevice>(static_cast<int>(r.deviceId)) : nullptr;
  if (device == nullptr) {
    built.m_volume = std::make_unique<ZQMACDiskVolume>(nullptr);
    built.m_newDevice = ZQMACDiskDevice::GetNewNetworkDiskObject(r.displayType);
    built.m_volume->SetMediaAgent(agent);
    built.m_volume->SetDiskDevice(built.m_newDevice.get(), true);
  } else {
    ZQMACDiskVolume* existing = device->FindVolumeByMediaAgent(agent);
    built.m_volume = std::make_unique<ZQMACDiskVolume>(existing != nullptr ? existing
                                                                           : device->GetVolumeList().GetFirstNode());
    if (existing != nullptr) built.m_volume->SetCredentialId(existing->GetCredentialId());
    built.m_volume->SetMediaAgent(agent);
    // The volume knows its device without becoming one of its volumes.
    built.m_volume->SetDiskDevice(device, false);
    if (!r.proxyPassword.has && tkmm::namesProxy(r.userName.value) && !tkmm::carriesProxyPassword(r.userName.value))
      suffix = tkmm::proxyPasswordPart(device->GetRemoteHostUserName());
  }
  built.m_volume->SetUserName((r.proxyPassword.has ? tkmm::withoutProxyPassword(r.userName.value) : r.userName.value) +
                              suffix);
  wipe(suffix);
  if (r.password.has) {
    built.m_volume->SetUserPassword(r.password.value);
    built.m_volume->SetCredentialId(0);
  }
  if (r.path.has) built.m_volume->SetVolume(r.path.value);
  if (r.credentialId.has && r.credentialId.value != 0) built.m_volume->SetCredentialId(r.credentialId.value);
}

// The result text, one piece per item, split at "/" from the left.
void sendPieces(tkmm::RecordWriter& out, const std::string& result) {
  std::string::size_type from = 0;
  while (from < result.size()) {
    const std::string::size_type at = result.find(kPieceSeparator, from);
    const std::string::size_type end = at == std::string::npos ? result.size() : at;
    out.text(kItemPiece, result.substr(from, end - from));
    out.endOfRecord();
    if (at == std::string::npos) break;
    from = at + 1;
  }
}

// One record: false with `error` when the verification failed.
bool verifyRecord(ZQMACMediaConfig* holderConfig, const CloudRequest& r, tkmm::RecordWriter& out, std::string& error) {
  std::unique_ptr<ZQMACMediaConfig> temporary;
  ZQMACMediaConfig* config = holderConfig;
  if (config == nullptr) {
    temporary = std::make_unique<ZQMACMediaConfig>();
    if (!temporary->Initialize(ZQPI_Focus::getFocus()) || !temporary->ReadCurrentConfig(false)) {
      error = temporary->GetLastError();
      EvDebug::Error(kTag, "%s", error.c_str());
      return false;
    }
    config = temporary.get();
  }
  VerificationVolume built;
  buildVolume(*config, r, built);
  ZQMACDiskVolume& volume = *built.m_volume;
  std::string result;
  int verified = volume.VerifyDevice(r.operation == kOpCloud ? ZQMACDiskVolume::ZQMAV_VERIFY_CLOUD
                                                             : ZQMACDiskVolume::ZQMAV_VERIFY_PATH,
                                     result);
  if (r.operation == kOpCloud && verified != 1 && !volume.GetVolume().empty()) {
    verified = volume.VerifyDevice(ZQMACDiskVolume::ZQMAV_VERIFY_PATH, result);
    if (verified == 1) result = volume.GetVolume();
  }
  if (verified != 1) {
    error = volume.GetLastError();
    EvDebug::Error(kTag, "%s", error.c_str());
    return false;
  }
  sendPieces(out, result);
  return true;
}

}  // namespace

bool EvMMConfigMgr::onMsgCloudOperation(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Debug(kTag, "%s", "Bad Parameter Received.");
    return false;
  }
  // Only the session holder works on the session's instance.
  MediaConfigPin pin;
  ZQMACMediaConfig* holderConfig = nullptr;
  if (!(request->socket != GetSocketId())) holderConfig = GetCurrentMediaConfig(request, false, pin);

  if (!begin(kReply, request->sequenceNumber, &request->socket, true)) {
    tkmm::answerAllocationFailure(kTag, *request);
    return false;
  }
  ZQMACBase::SetLocale(EvReturnData::returnLocaleId(request->sequenceNumber));
  tkmm::RecordWriter out(*this);
  EvExternal services(0);
  CloudRequest r;
  bool result = true;
  std::string error;

  MessageValueBuffer value;
  MessageWalker walker;
  walker.setRequest(request, value);
  unsigned int type = 0;
  unsigned int length = 0;
  for (char* v = walker.getFirst(&type, &length); v != nullptr; v = walker.getNext(&type, &length)) {
    switch (type) {
      case tkmm::kElementOperation: r.operation = MessageWalker::readU32(v, length); break;
      case tkmm::kElementInstallationId: r.installationId = MessageWalker::readU32(v, length); break;
      case kElementDevice: r.deviceId = MessageWalker::readPairId(v, length); break;
      case kElementDisplayType: r.displayType = static_cast<int>(MessageWalker::readU32(v, length)); break;
      case kElementAgent: r.agent.set(MessageWalker::readPairText(v, length)); break;
      case kElementPath: r.path.set(MessageWalker::readText(v, length)); break;
      case kElementCredential: {
        const int id = static_cast<int>(MessageWalker::readPairId(v, length));
        const std::string name = MessageWalker::readPairText(v, length);
        EvDebug::Debug(kTag, "Received, UserCredentialId=%d, UserCredentialName = %s\n.", id, name.c_str());
        if (id != 0) r.credentialId.set(id);
        break;
      }
      case kElementUserName:
        // In the form the name is stored in, so that what is verified is
        // what a change would keep.
        r.userName.has =
            tkmm::decryptUserNameForStorage(services, request, v, length, kTag, r.userName.value, r.userRefusal);
        break;
      case kElementPassword:
        r.password.has =
            tkmm::decryptPasswordForStorage(services, request, v, length, kTag, r.password.value, r.refusal);
        break;
      case kElementProxyPassword:
        r.proxyPassword.has = tkmm::decryptPasswordForStorage(services, request, v, length, kTag,
                                                              r.proxyPassword.value, r.refusal,
                                                              "failed to decrypt the proxy password");
        break;
      case tkmm::kElementEndOfRecord: {
        std::string recordError = !r.userRefusal.empty() ? r.userRefusal : r.refusal;
        if (!recordError.empty() || !verifyRecord(holderConfig, r, out, recordError)) {
          result = false;
          error = recordError;
        }
        break;
      }
      default:
        EvDebug::Error(kTag, "Has received an unprocessed element type [%d-%s]", static_cast<int>(type),
                       getMessageName(type));
        break;
    }
  }
  if (!result) out.idText(kItemFailure, 0, error);
  if (r.operation == kOpAnswered)
    sendOperationResponse(request->sequenceNumber, request->socket, kOpAnswered, result ? 1 : 0, error.c_str(), 0);
  end(0);
  return result;
}
