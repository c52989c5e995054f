// The mount-path request (onMsgSetMMMountPath), through the Set loop of
// HandlerSkeleton.h, one record (element 4001) at a time:
//
//   3  change the mount path of 11003: a decrypted user name (2401) and
//      password (2402) are written together; then the new name (11041).
//      A refused step ends the request and keeps the earlier ones. An
//      unknown handle, or one of another kind of object, changes nothing.
//      "Success" is followed by the automatic-refresh notice of the disk
//      library of 4108.
//
// The user name and password arrive encrypted and are decrypted when they
// arrive; one that cannot be decrypted is logged and counts as absent, and
// the record goes on without it. Decrypted texts live only for the request
// and are wiped when it ends; they are never logged.
#include <cstdint>
#include <cstring>
#include <string>

#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "mmconfig/CredentialElements.h"
#include "mmconfig/HandlerSkeleton.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/EvReturnData.h"

namespace {

using tkmm::SetOutcome;

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMMountPath";

constexpr uint32_t kOpModify = 3;

constexpr uint32_t kElementLibraryId = 4108;
constexpr uint32_t kElementPath = 11041;
constexpr uint32_t kElementUserName = 2401;
constexpr uint32_t kElementPassword = 2402;
// Kept for the addition of mount paths; stored, not used.
constexpr uint32_t kElementsIgnored[] = {11185, 11186, 2048, 9819, 11192, 11209, 11418};

using tkmm::wipe;

class MountPathRequest : public tkmm::SetRecordHandler {
 public:
  explicit MountPathRequest(MessageInfo* request) : m_request(request), m_services(0) {}
  ~MountPathRequest() override {
    wipe(m_userName);
    wipe(m_password);
  }
  MountPathRequest(const MountPathRequest&) = delete;
  MountPathRequest& operator=(const MountPathRequest&) = delete;

  bool servesOperation(uint32_t operation) const override { return operation == kOpModify; }

  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementLibraryId: m_libraryId = MessageWalker::readU32(value, length); return true;
      case kElementPath:
        m_path = MessageWalker::readText(value, length);
        m_hasPath = true;
        return true;
      case kElementUserName: takeUserName(value, length); return true;
      case kElementPassword: takePassword(value, length); return true;
      default:
        for (uint32_t t : kElementsIgnored)
          if (t == type) return true;
        return false;
    }
  }

  SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACBase::SetLocale(EvReturnData::returnLocaleId(m_request->sequenceNumber));
    if (ZQMACMountPath* path = record.object<ZQMACMountPath>()) {
      if (m_hasUserName) path->SetUserName(m_userName);
      if (m_hasPassword) path->SetUserPassword(m_password);
      if ((m_hasUserName || m_hasPassword) && !path->UpdateNameAndPassword()) return SetOutcome::lastError(*path);
      if (m_hasPath && !path->SetName(m_path)) return SetOutcome::lastError(*path);
    }
    EvMMConfigMgr::sendOperationResponse(m_request->sequenceNumber, m_request->socket, record.operation, 1, "Success",
                                         0);
    tkmm::sendRefreshNotice(static_cast<int>(m_libraryId), ZqEntities::ENTITY_MOUNT_PATH, m_request->autoRefreshGuiId);
    return SetOutcome::answered(true, true);
  }

 private:
  void takeUserName(const char* value, unsigned int length) {
    m_hasUserName = tkmm::decryptUserName(m_services, m_request, value, length, kTag, m_userName);
  }
  void takePassword(const char* value, unsigned int length) {
    m_hasPassword = tkmm::decryptPassword(m_services, m_request, value, length, kTag, m_password);
  }

  MessageInfo* m_request;
  EvExternal m_services;
  uint32_t m_libraryId = 0;
  bool m_hasPath = false;
  std::string m_path;
  bool m_hasUserName = false;
  std::string m_userName;
  bool m_hasPassword = false;
  std::string m_password;
};

}  // namespace

bool EvMMConfigMgr::onMsgSetMMMountPath(MessageInfo* request) {
  MountPathRequest handler(request);
  return tkmm::runSet(request, kTag, handler);
}
