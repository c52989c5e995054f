// The drive step of the tape-library setup wizard
// (ZQGui::EZConfigureTapeLibraryDrivesReq): the console sends the drives it
// listed (handles of drive paths; a library's handle configures the
// library's controllers instead). The user must manage the media agent of
// every controller of the first drive's library; that library is prepared
// when it is not configured yet, each drive (or controller) is configured,
// the user is given the library, and the library gets a default storage
// policy. Drives of any other library are refused: the rights were checked
// on the first one's only.
//
// ZQGui::GenericResp answers: 0 with a success text, or -1 with the first
// failure. What was configured before a failure stays; the user association
// and the policy follow only a whole success, and a failed policy is only
// logged. No lock.
#include <string>

#include "ezconfig/EzWizardFrame.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/xml/EZTapeWizardMessages.h"

namespace {

using tkezconfig::WizardFrame;
using Drive = ZQGui::EZTapeDrive;
using Request = ZQGui::EZConfigureTapeLibraryDrivesReq;

constexpr const char* kTag = "EvMMConfigMgr::onMsgEZConfigureTapeLibraryDrives";
constexpr unsigned long kTextNotAssociated = 0x24000330;  // %1 the reason
constexpr int kPermissionManage = 8;
constexpr int kEntityMediaAgent = 11;
constexpr unsigned long kRightManageMediaAgent = 2;
constexpr int kDefaultPolicyFlags = 0x4000;
constexpr const char* kTextNoDrive = "Invalid drive address, cannot find this drive.";
constexpr const char* kTextOtherLibrary = "All drives to configure must belong to one library.";

bool agentShown(const ZQMACScsiUnit& unit) {
  ZQMACMediaAgent* agent = unit.GetMediaAgent();
  return agent != nullptr && agent->IsShown();
}

void refuseConfigure(WizardFrame& frame, const std::string& text) {
  EvDebug::Error(kTag, "Failed to configure library, due to Error: %s.", text.c_str());
  frame.fail(text);
}

// The user's rights on the media agent of every controller of the library.
bool mayConfigure(WizardFrame& frame, ZQMACLms& lms, EvSecurityNew& security, EvSecurityCheck& check) {
  const int user = static_cast<int>(frame.record().userId);
  ZQMACLinkedList<ZQMACLibController> controllers = lms.GetLibControllerList();
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    ZQMACMediaAgent* agent = c->GetMediaAgent();
    if (agent == nullptr) continue;  // reaches nothing: no agent to ask about
    const std::string& name = agent->GetName();
    EvDebug::Debug(kTag, "Checking rights on media agent [%s].", name.c_str());
    ZQClient client(name, true, 0);
    const unsigned long clientId = client.getClientId();
    bool allowed = false;
    security.hasPermissionForUserOnEntity(allowed, kPermissionManage, user, kEntityMediaAgent,
                                          static_cast<int>(clientId), 0, 0, 0, 0, 0, 0, 0, 0);
    if (allowed) continue;
    if (EvMMConfigMgr::doMACheck() &&
        check.canManageMediaAgent(static_cast<unsigned long>(user), kRightManageMediaAgent, clientId))
      continue;
    const std::string reason = security.getUTF8ErrorMessage();
    EvDebug::Error(kTag,
                   "User [%d] may not configure the drives of media agent [%s]: the user lacks the permission on "
                   "it, or may not manage it. %s",
                   user, name.c_str(), reason.c_str());
    frame.fail(reason);
    return false;
  }
  return true;
}

// A library not configured yet: bar-code reader, the library itself, and
// discovery of new media for a library of one drive type.
void prepare(ZQMACLms& lms) {
  if (lms.TestStateA()) return;
  ZQMACLibrary* library = lms.GetLibrary();
  const bool standAlone = library != nullptr && library->IsStandAlone();
  if (library != nullptr) library->SetBarCodeReader(!standAlone);
  lms.Configure(0);
  if (!standAlone && !lms.IsMixedDriveType()) lms.SetAutoDiscover(true, -1);
}

bool configureOne(WizardFrame& frame, ZQMACInterface& object, ZQMACLms& lms) {
  if (object.GetObjectType() != ZQMAC_OBJ_LMS) {
    if (object.Configure(1)) return true;
    refuseConfigure(frame, object.GetLastError());
    return false;
  }
  ZQMACLinkedList<ZQMACLibController> controllers = lms.GetLibControllerList();
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    if (!agentShown(*c)) continue;
    if (!c->Configure(0)) {
      refuseConfigure(frame, c->GetLastError());
      return false;
    }
  }
  return true;
}

void configureDrives(WizardFrame& frame, Request& request) {
  ZQMACMediaConfig& config = *frame.config();
  MessageInfo& message = frame.record();
  EvSecurityCheck check(static_cast<long long>(message.sequenceNumber));
  EvSecurityNew security(nullptr, static_cast<int>(frame.locale()));
  const tkxml::MessageList drives =
      request.getlistobject(Request::kDrives.ordinal, Request::kDrives.tag, Request::kClassHash, Request::kDrives.hash,
                            false);
  ZQMACLms* checked = nullptr;
  int libraryId = 0;
  std::string libraryName;
  for (const CNMessageBase& item : drives) {
    const auto handle =
        static_cast<unsigned long long>(item.getint64(Drive::kHandle.tag, Drive::kClassHash, Drive::kHandle.hash));
    ZQMACInterface* object = config.FindObject(handle);
    const unsigned int type = object != nullptr ? object->GetObjectType() : 0;
    ZQMACLms* lms = type == ZQMAC_OBJ_DMS || type == ZQMAC_OBJ_LMS ? object->GetLms() : nullptr;
    if (lms == nullptr) {
      refuseConfigure(frame, kTextNoDrive);
      return;
    }
    if (checked == nullptr) {
      if (!mayConfigure(frame, *lms, security, check)) return;
      checked = lms;
    } else if (lms != checked) {
      refuseConfigure(frame, kTextOtherLibrary);
      return;
    }
    prepare(*lms);
    if (libraryId == 0) {
      const unsigned int id = lms->GetId();
      libraryId = id == 0xFFFFFFFFu ? 0 : static_cast<int>(id);
      const ZQMACLibrary* library = lms->GetLibrary();
      libraryName = library != nullptr ? library->GetAnsweredName() : lms->GetName();
    }
    if (!configureOne(frame, *object, *lms)) return;
  }
  if (libraryId != 0) {
    std::string error;
    check.addUserToLibrary(message.userId, frame.locale(), static_cast<unsigned long>(libraryId), error, nullptr);
    if (!error.empty()) {
      EvDebug::Error(kTag, "Failed to add user to library with error [%s]", error.c_str());
      frame.fail(ZQMACBase::GetMessageString(kTextNotAssociated, error.c_str()));
      return;
    }
    EvDebug::Debug(kTag, "Associated user [%d] to library [%s]", static_cast<int>(message.userId),
                  libraryName.c_str());
  }
  EvMMConfigMgr::CreateDefaultStoragePolicyForTapeLib(libraryId, libraryName, static_cast<int>(message.userId));
}

}  // namespace

int EvMMConfigMgr::CreateDefaultStoragePolicyForTapeLib(int libraryId, std::string libraryName, int userId) {
  CreateStoragePolicyForLibraryArgs_t args;
  args.libraryId = libraryId;
  args.flags = kDefaultPolicyFlags;
  args.userId = userId;
  CreateStoragePolicyForLibraryRet_t result;
  ArchiveManagerTK archive(nullptr);
  const int rc = archive.CreateStoragePolicyForLibrary(args, result);
  if (rc == 0) {
    EvDebug::DebugLvl(6, "EvMMConfigMgr::CreateDefaultStoragePolicyForTapeLib", "Global Secondary Copy Policy [%d, %s] ",
                 result.storagePolicyId, result.storagePolicyName.c_str());
  } else {
    EvDebug::Error("EvMMConfigMgr::CreateDefaultStoragePolicyForTapeLib",
                   "Failed to create Global Secondary Storage Policy for library[%d - %s], Error: %d, %s. ", libraryId,
                   libraryName.c_str(), rc, result.errorText.c_str());
  }
  return rc;
}

int EvMMConfigMgr::onMsgEZConfigureTapeLibraryDrives(MessageInfo* request, std::string& xml) {
  WizardFrame frame(request, xml, kTag);
  Request message;
  if (frame.open(message, "ZQGui::EZConfigureTapeLibraryDrivesReq")) configureDrives(frame, message);
  tkezconfig::answerDone(frame);
  return 0;
}
