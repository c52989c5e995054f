// The disk-library request (onMsgSetMMMagneticLibrary), through the Set
// loop of HandlerSkeleton.h, one record (element 4001) at a time:
//
//   1  create a disk library of the session's configuration: alias (8251),
//      media agent (2048, by name; none when the instance has no such
//      agent), low watermark (8273), attribute word (11416) and type
//      (11187). Refused when a library row already carries its alias.
//      Once stored it is audited, granted to the requesting user when
//      media-agent rights are enforced, takes its name as alias when none
//      came, and is answered with reply 11101 (its record), then
//      "Success", then the automatic-refresh notice.
//   3  change the disk library of 11003: alias (refused when a library
//      answers to it, the library's own included, but taken when it changes
//      only the letter case of the library's own name), low watermark,
//      attribute word; each only when its
//      element came, in that order. An unknown handle changes nothing.
//
// Element values persist across the records of one request. A failed grant
// keeps the stored library (the console can grant it again) and ends the
// request without the record.
#include <cstdint>
#include <memory>
#include <string>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "mmconfig/RecordWriter.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/reply/EvReturnData.h"

namespace {

using tkmm::SetOutcome;

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMMagneticLibrary";

constexpr uint32_t kOpCreate = 1;
constexpr uint32_t kOpModify = 3;

constexpr uint32_t kElementAlias = tktag::kAliasName;
constexpr uint32_t kElementMediaAgent = tktag::kMediaAgent;  // [u32 id][text]
constexpr uint32_t kElementLowWatermark = tktag::kLowWatermark;
constexpr uint32_t kElementAttribute = tktag::kAttribute;
constexpr uint32_t kElementType = tktag::kDiskLibraryType;
constexpr uint32_t kElementsIgnored[] = {tktag::kLibraryId};

constexpr unsigned long kTextAliasInUse = 0x2400033D;    // %1 the alias
constexpr unsigned long kTextSaveRefused = 0x24000176;
constexpr unsigned long kTextGrantFailed = 0x24000330;   // %1 the library's name
constexpr int kAuditConfigure = 0x540000B5;
constexpr int kParamObject = 0x5500018B;

// Reply 11101: the new library.
constexpr unsigned long kReplyNewLibrary = tktag::kReplyNewLibrary;
constexpr int kDumpFlags = 9;
constexpr unsigned long kItemHandle = tktag::kObjectHandle;
constexpr unsigned long kItemLibrary = tktag::kLibrary;
constexpr unsigned long kItemAlias = tktag::kAliasName;
constexpr unsigned long kItemMediaAgent = tktag::kMediaAgent;
constexpr unsigned long kItemOSId = tktag::kOsId;
constexpr unsigned long kItemCentera = tktag::kArchiveClusterLibrary;
constexpr unsigned long kItemTypeMask = tktag::kDiskLibraryKind;
constexpr unsigned long kItemType5 = tktag::kDiskLibrariesType5;
constexpr unsigned long kItemType = tktag::kDiskLibraryType;

constexpr unsigned int kNotStored = 0xFFFFFFFFu;

template <class T>
using Value = tkmm::ElementValue<T>;

// The kind masks of 11189 by type.
uint32_t typeMask(int type) {
  uint32_t mask = 0;
  if (type == 3 || type == 4) mask |= 1;
  if (type == 6) mask |= 2;
  if (type == 7) mask |= 4;
  if (type == 8) mask |= 8;
  return mask;
}

bool aliasInUse(const std::string& alias) {
  MMLibraryDB access;
  MMLibrary_t row;
  // Libraries answering to the alias only in other letter cases hold it too.
  return access.getInfoByAliasName(alias.c_str(), row, nullptr) == 0 ||
         access.getErrorCode() == MMS2_ERROR_DUPLICATE_NAME;
}

class DiskLibraryRequest : public tkmm::SetRecordHandler {
 public:
  explicit DiskLibraryRequest(MessageInfo* request) : m_request(request) {}

  bool servesOperation(uint32_t operation) const override { return operation == kOpCreate || operation == kOpModify; }
  bool needsObject(uint32_t operation) const override { return operation == kOpModify; }

  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementAlias: m_alias.set(MessageWalker::readText(value, length)); return true;
      case kElementMediaAgent:
        m_mediaAgent.set(length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length));
        return true;
      case kElementLowWatermark: m_lowWatermark.set(MessageWalker::readU32(value, length)); return true;
      case kElementAttribute: m_attribute.set(MessageWalker::readU32(value, length)); return true;
      case kElementType: m_type.set(MessageWalker::readU32(value, length)); return true;
      default:
        for (uint32_t t : kElementsIgnored)
          if (t == type) return true;
        return false;
    }
  }

  SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACBase::SetLocale(EvReturnData::returnLocaleId(m_request->sequenceNumber));
    return record.operation == kOpCreate ? create(record) : modify(record);
  }

 private:
  SetOutcome create(const tkmm::SetRecord& record);
  SetOutcome modify(const tkmm::SetRecord& record);
  void sendRecord(ZQMACMediaConfig& config, ZQMACMagLib& library);

  MessageInfo* m_request;
  Value<std::string> m_alias;
  Value<std::string> m_mediaAgent;
  Value<uint32_t> m_lowWatermark;
  Value<uint32_t> m_attribute;
  Value<uint32_t> m_type;
};

int modelInt(uint32_t value) { return static_cast<int>(value > INT32_MAX ? INT32_MAX : value); }

SetOutcome DiskLibraryRequest::create(const tkmm::SetRecord& record) {
  auto library = std::make_unique<ZQMACMagLib>();
  library->SetMediaConfig(&record.config);
  if (m_alias.has && !library->SetAliasName(m_alias.value)) return SetOutcome::lastError(*library);
  if (m_mediaAgent.has) library->SetMediaAgent(record.config.FindDBNode(m_mediaAgent.value));
  if (m_lowWatermark.has && !library->SetLowWatermark(modelInt(m_lowWatermark.value)))
    return SetOutcome::lastError(*library);
  if (m_attribute.has && !library->SetLibAttributeFlag(modelInt(m_attribute.value)))
    return SetOutcome::lastError(*library);
  if (m_type.has) library->SetMagLibType(modelInt(m_type.value));

  const bool isNew = library->GetId() == kNotStored;
  if (isNew)
    EvDebug::Debug(kTag, "%s", "CREATE NEW LIB");
  else
    EvDebug::Debug(kTag, "CONFIG EXISTING LIB [%d]", static_cast<int>(library->GetId()));
  if (isNew && aliasInUse(library->GetAliasName()))
    return SetOutcome::failure(ZQMACBase::GetMessageString(kTextAliasInUse, library->GetAliasName().c_str()));
  // The name of a library stored without an alias clashes too, refused
  // with the same text (the libraries' one name rule).
  if (isNew && !library->GetAliasName().empty()) {
    MMLibraryDB libraries;
    if (libraries.checkNameFree(library->GetAliasName().c_str(), 0) != 0)
      return SetOutcome::failure(libraries.lastErrorText());
  }
  if (!library->Configure(false)) {
    const unsigned int code = library->GetLastErrorCode();
    if (code == ZQMACMagLib::kErrorMagLibNameInUse || code == ZQMACMagLib::kErrorMagLibNoConfig)
      return SetOutcome::failure(ZQMACBase::GetMessageString(kTextSaveRefused));
    EvDebug::Error(kTag, "%s", library->GetLastError().c_str());
    return SetOutcome::lastError(*library);
  }
  ZQMACMagLib* stored = library.release();  // the configuration owns it now
  const unsigned int id = stored->GetId();

  tkmm::writeAuditRecord(kAuditConfigure, static_cast<int>(id),
                         {{kParamObject, {stored->GetDisplayName(), stored->GetTextA(false)}}});
  if (EvMMConfigMgr::doMACheck() && isNew && id != 0) {
    EvSecurityCheck security(m_request->sequenceNumber);
    std::string error;
    security.addUserToLibrary(m_request->userId, EvReturnData::returnLocaleId(m_request->sequenceNumber), id, error,
                              nullptr);
    if (!error.empty()) {
      EvDebug::Error(kTag, "Failed to add user to library with error [%s]", error.c_str());
      return SetOutcome::failure(ZQMACBase::GetMessageString(kTextGrantFailed, stored->GetName().c_str()));
    }
  }
  if (!m_alias.has && !stored->SetAliasName(stored->GetName())) return SetOutcome::lastError(*stored);
  sendRecord(record.config, *stored);
  EvMMConfigMgr::sendOperationResponse(m_request->sequenceNumber, m_request->socket, record.operation, 1, "Success", 0);
  tkmm::sendRefreshNotice(static_cast<int>(id), ZqEntities::ENTITY_LIBRARY, m_request->autoRefreshGuiId);
  return SetOutcome::answered(true, true);
}

void DiskLibraryRequest::sendRecord(ZQMACMediaConfig& config, ZQMACMagLib& library) {
  EvReturnData reply(static_cast<int>(kReplyNewLibrary), m_request->sequenceNumber, &m_request->socket, 0, nullptr);
  tkmm::RecordWriter out(reply);
  out.handle(kItemHandle, config.GetHandle(&library));
  out.idText(kItemLibrary, library.GetId(), library.GetName());
  out.text(kItemAlias, library.GetAliasName());
  const ZQMACMediaAgent* agent = library.GetMediaAgent();
  out.idText(kItemMediaAgent, agent != nullptr ? agent->GetId() : 0xFFFFFFFFu,
             agent != nullptr ? agent->GetDisplayName() : std::string());
  out.u32(kItemOSId, agent != nullptr ? static_cast<uint32_t>(agent->GetOSId()) : 0xFFFFFFFFu);
  out.flag(kItemCentera, agent != nullptr && agent->IsCenteraAgent() && config.GetCenteraClusterList().GetListCount() > 0);
  out.u32(kItemTypeMask, typeMask(library.GetMagLibType()));
  out.flag(kItemType5, library.GetMagLibType() == 5);
  out.u32(kItemType, m_type.value);
  out.shown(library);
  out.icon(config, library);
  out.endOfRecord();
  reply.dumpBuffer(kDumpFlags);
}

// 3: each step only when its element came; a failure keeps the earlier ones.
SetOutcome DiskLibraryRequest::modify(const tkmm::SetRecord& record) {
  ZQMACMagLib* library = record.object<ZQMACMagLib>();
  if (library == nullptr) return SetOutcome::success();
  if (m_alias.has) {
    // As the tape libraries' rename: its own name in another letter case
    // is the library's to take.
    if (tkmmdb::sessionRenameRefused(m_alias.value, library->GetId()))
      return SetOutcome::failure(ZQMACBase::GetMessageString(kTextAliasInUse, m_alias.value.c_str()));
    if (!library->SetAliasName(m_alias.value)) return SetOutcome::lastError(*library);
  }
  if (m_lowWatermark.has && !library->SetLowWatermark(modelInt(m_lowWatermark.value)))
    return SetOutcome::lastError(*library);
  if (m_attribute.has && !library->SetLibAttributeFlag(modelInt(m_attribute.value)))
    return SetOutcome::lastError(*library);
  return SetOutcome::success();
}

}  // namespace

bool EvMMConfigMgr::onMsgSetMMMagneticLibrary(MessageInfo* request) {
  DiskLibraryRequest handler(request);
  return tkmm::runSet(request, kTag, handler);
}
