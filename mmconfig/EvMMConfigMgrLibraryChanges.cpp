// The library Set request (onMsgSetMMLibrary): changes to the tape and
// optical libraries of the session's configuration instance, one record
// (element 4001) at a time, through the Set loop of HandlerSkeleton.h.
//
//   3   modify the library of 11003: alias (8251, refused when any library
//       row already carries it, the library's own included, but taken when
//       it changes only the letter case of the library's own), the unit's
//       number (11010) and text (11006), the SCSI bus of its first
//       controller (11007), drive count (11009, never below the last
//       occupied drive number), door lock, bar-code reader and the further
//       switches; each step only when its element came, in that order
//   12  the object action of any object of 11003
//   35  identify new media in the library (ends the request)
//   84  automatic discovery on or off (ends the request)
//   85  plan the discovery schedule (ends the request)
//   54  add an NDMP library controller to the media agent of 2048 (made
//       when the instance has none of that name): the NDMP server 11058,
//       access path 11088, the library's vendor 11086, product 11087,
//       identification 11031, base address 11008 and drive count 11009,
//       all required in that order; then the agent reads the library's
//       device information. A failed read keeps the controller.
//   55  add an IP library controller for the library server 11089 (11089,
//       2048, 11086, 11087, 11031, 11008, 11009 required): a library the
//       server already serves through a controller of the instance is
//       taken from it under the alias "LS_" and its name; a new one takes
//       the request's values (and 11103 for its SCSI unit). 11417 sets the
//       volume range.
//   58  probe: without 11089 the NDMP server 11058 for the library at 11088
//       (through the media agent of 2048 when the instance knows it),
//       answered with reply 11093; with 11089 the libraries that library
//       server shares, answered with reply 11091, one record each.
//
// Operation codes dispatch by ranges as the consoles expect: above 85
// invalid; 54 to 85 serve only 54, 55, 58, 84 and 85; then 35; above 35
// invalid; 3 and 12; anything else invalid.
//
// Element values persist across the records of one request: a record
// without 4001 repeats the earlier operation. Every failure ends the
// request and what earlier steps changed stays in the cached instance and
// in the store alike. The
// handle of operations 3, 35, 84 and 85 must name a tape or optical library
// (ZQMACLms); any other object counts as not found. The handler takes no
// lock of its own; runSet pins the instance for the request. A controller
// that cannot be stored or owned (operations 54 and 55) fails the record
// with the media agent's reason and leaves nothing behind.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "mmconfig/RecordWriter.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmlib/ZQMMlibInfo.h"
#include "platform/ndmpdetect/ZQNDMPAutoDetect.h"
#include "platform/reply/EvReturnData.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMLibrary";

// Catalogue texts.
constexpr unsigned long kTextAliasInUse = 0x2400033D;       // %1 the alias
constexpr unsigned long kTextLibraryNotUsable = 0x2400002C;  // %1 the library's alias
constexpr unsigned long kTextNothingToIdentify = 0x2400002A;  // %1 the library's alias
constexpr unsigned long kTextIdentifyRefused = 0x2400002B;    // %1 the library's alias
constexpr unsigned long kTextIdentifiedBySlot = 0x240000D3;
constexpr unsigned long kTextNoController = 0x24000F02;       // %1 the library's name
constexpr unsigned long kTextNoServerLibrary = 0x24000177;
// Event text of media identified (with their count in item 4117).
constexpr unsigned long kEventMediaIdentified = 0x23000029;
constexpr std::size_t kEventTextSize = 1024;
constexpr int kLibErrorTextSize = 1024;

// Audit of operation 35.
constexpr int kAuditIdentify = 0x5400002C;
constexpr int kParamLibraryAlias = 0x550000BF;

// Elements.
constexpr uint32_t kElementAlias = tktag::kAliasName;
constexpr uint32_t kElementDeviceValue = tktag::kDeviceValue;
constexpr uint32_t kElementDeviceText = tktag::kDeviceTextC;
constexpr uint32_t kElementController = tktag::kController;  // [u32 handle][text]
constexpr uint32_t kElementDriveCount = tktag::kCurrentDrives;
constexpr uint32_t kElementDoorLock = tktag::kDoorLocked;
constexpr uint32_t kElementBarCodeReader = tktag::kBarcodeReader;
constexpr uint32_t kElementAutoConfigDDS = tktag::kAutoConfigDDS;
constexpr uint32_t kElementAutoConfigFailover = tktag::kAutoConfigFailover;
constexpr uint32_t kElementCleanPool = tktag::kACSLSCleanPool;
constexpr uint32_t kElementIPDriveId = tktag::kIPDriveIds;
constexpr uint32_t kElementAttribute = tktag::kAttribute;
constexpr uint32_t kElementVolumeRange = tktag::kVolumeRange;
constexpr uint32_t kElementVTLType = tktag::kVTLType;
constexpr uint32_t kElementMediaType = tktag::kMediaType;  // [u32 id][text]
constexpr uint32_t kElementCount = tktag::kCount;
constexpr uint32_t kElementIdentifyArgument = tktag::kIdentificationArgument;
constexpr uint32_t kElementSlot = tktag::kSlot;
constexpr uint32_t kElementAutoDiscover = tktag::kAutomaticDiscovery;
// Library controllers and their probes.
constexpr uint32_t kElementMediaAgent = tktag::kMediaAgent;  // [u32 id][text]
constexpr uint32_t kElementNdmpHost = tktag::kNdmpServer;
constexpr uint32_t kElementAccessPath = tktag::kAccessPath;
constexpr uint32_t kElementLibraryServer = tktag::kLibraryServer;
constexpr uint32_t kElementVendor = tktag::kLibraryVendor;
constexpr uint32_t kElementProduct = tktag::kLibraryProduct;
constexpr uint32_t kElementIdentification = tktag::kDescription;
constexpr uint32_t kElementBaseAddress = tktag::kAddress;
constexpr uint32_t kElementUnitValue = tktag::kUnitValue;
// Stored and never used.
constexpr uint32_t kElementsIgnored[] = {tktag::kLibraryId, tktag::kUnused11079};

// Operations.
constexpr uint32_t kOpModify = 3;
constexpr uint32_t kOpObjectAction = 12;
constexpr uint32_t kOpIdentify = 35;
constexpr uint32_t kOpAutoDiscover = 84;
constexpr uint32_t kOpDiscoverSchedule = 85;
constexpr uint32_t kOpAddNdmpController = 54;
constexpr uint32_t kOpAddIPController = 55;
constexpr uint32_t kOpProbe = 58;

// Replies of the probes and their items.
constexpr unsigned long kReplyNdmpLibrary = tktag::kReplyNdmpLibrary;
constexpr unsigned long kReplyServerLibraries = tktag::kReplyLibraryVendors;
constexpr unsigned long kItemLibraryTitle = tktag::kLibraryVendorEntry;  // [u32 0][name(11005 text)]
constexpr unsigned long kItemVendor = tktag::kLibraryVendor;
constexpr unsigned long kItemProduct = tktag::kLibraryProduct;
constexpr unsigned long kItemIdentification = tktag::kDescription;
constexpr unsigned long kItemBaseAddress = tktag::kAddress;
constexpr unsigned long kItemDriveCount = tktag::kCurrentDrives;
constexpr unsigned long kItemDeviceTextB = tktag::kDeviceTextB;
constexpr unsigned long kItemSlots = tktag::kSlots;  // [u32 slot count][slot range]
// The SCSI-unit value an NDMP controller gets once added.
constexpr unsigned int kNdmpUnitValue = 1;
constexpr const char* kServerAliasPrefix = "LS_";

// What identification decided.
constexpr int kActionNothing = 0;
constexpr int kActionIdentified = 1;
constexpr int kActionStarted = 2;
// ZQMMlibInfo is built for the library information of this kind.
constexpr int kLibInfoKind = 1;
// The arguments of an identification without a count.
constexpr int kUncountedMediaType = 0;
constexpr int kUncountedArgument = -1;

constexpr const char* kDriveCountTooSmall = "Drive Count should be greater than last used drive number";

using tkmm::SetOutcome;

template <class T>
using Value = tkmm::ElementValue<T>;

class LibraryRequest : public tkmm::SetRecordHandler {
 public:
  // `request` may be null: runSet refuses it before any record. `reply` is
  // the handler object, through which the probes answer.
  LibraryRequest(MessageInfo* request, EvReturnData& reply) : m_request(request), m_reply(reply) {}

  bool servesOperation(uint32_t operation) const override;
  bool needsObject(uint32_t operation) const override {
    return operation == kOpModify || operation == kOpObjectAction || operation == kOpAutoDiscover ||
           operation == kOpDiscoverSchedule;
  }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override;
  SetOutcome apply(const tkmm::SetRecord& record) override;

 private:
  SetOutcome modify(const tkmm::SetRecord& record);
  SetOutcome modifySteps(const tkmm::SetRecord& record, ZQMACLms* lms);
  SetOutcome objectAction(const tkmm::SetRecord& record);
  SetOutcome identify(const tkmm::SetRecord& record);
  SetOutcome autoDiscover(const tkmm::SetRecord& record);
  SetOutcome discoverSchedule(const tkmm::SetRecord& record);
  SetOutcome addNdmpController(const tkmm::SetRecord& record);
  SetOutcome addIPController(const tkmm::SetRecord& record);
  SetOutcome probeNdmp(const tkmm::SetRecord& record);
  SetOutcome listServerLibraries(const tkmm::SetRecord& record);

  // Whether every one of the elements came. A media agent without a name
  // counts as missing: the instance would get a nameless agent.
  template <class... V>
  static bool allReceived(const V&... values) {
    return (values.has && ...);
  }
  // The media agent of 2048, made in the instance when it has none of that
  // name; null (reason in the instance's last error) when it refuses one.
  ZQMACMediaAgent* mediaAgent(ZQMACMediaConfig& config) const;
  // Fills a new controller's library from the request; false (reason in
  // the library's last error) when the drive count is refused.
  bool describeLibrary(ZQMACLibrary& library) const;
  // Opens reply `replyId`; false (the client has been told) when it cannot.
  bool beginReply(unsigned long replyId);

  // Answers the status and text itself; the request ends with `result`.
  SetOutcome answerAndEnd(uint32_t operation, unsigned long status, const std::string& text, bool result,
                          int count = 0) {
    if (status == 0) EvDebug::Error(kTag, "%s", text.c_str());
    EvMMConfigMgr::sendOperationResponse(m_request->sequenceNumber, m_request->socket, operation, status,
                                         text.c_str(), count);
    return SetOutcome::answered(false, result);
  }
  int mediaType() const { return ZQMMDBbase().convertMedTypeString(m_mediaType.value.c_str()); }

  MessageInfo* m_request;
  EvReturnData& m_reply;
  Value<std::string> m_alias;
  Value<uint32_t> m_deviceValue;
  Value<std::string> m_deviceText;
  Value<uint32_t> m_controller;
  Value<uint32_t> m_driveCount;
  Value<uint32_t> m_doorLock;
  Value<uint32_t> m_barCodeReader;
  Value<uint32_t> m_autoConfigDDS;
  Value<uint32_t> m_autoConfigFailover;
  Value<uint32_t> m_cleanPool;
  Value<uint32_t> m_ipDriveId;
  Value<uint32_t> m_attribute;
  Value<std::string> m_volumeRange;
  Value<uint32_t> m_vtlType;
  Value<std::string> m_mediaType;
  Value<uint32_t> m_count;
  Value<uint32_t> m_identifyArgument;
  Value<uint32_t> m_autoDiscover;
  Value<std::string> m_mediaAgent;
  Value<std::string> m_ndmpHost;
  Value<std::string> m_accessPath;
  Value<std::string> m_libraryServer;
  Value<std::string> m_vendor;
  Value<std::string> m_product;
  Value<std::string> m_identification;
  Value<uint32_t> m_baseAddress;
  Value<uint32_t> m_unitValue;
  // Slot numbers of 11139, in order of arrival, for the whole request.
  std::vector<uint32_t> m_slots;
};

bool LibraryRequest::servesOperation(uint32_t operation) const {
  if (operation > kOpDiscoverSchedule) return false;
  if (operation >= 54)
    return operation == kOpAutoDiscover || operation == kOpDiscoverSchedule || operation == kOpAddNdmpController ||
           operation == kOpAddIPController || operation == kOpProbe;
  if (operation == kOpIdentify) return true;
  if (operation > kOpIdentify) return false;
  return operation == kOpModify || operation == kOpObjectAction;
}

bool LibraryRequest::takeElement(uint32_t type, const char* value, unsigned int length) {
  auto u32 = [&] { return MessageWalker::readU32(value, length); };
  switch (type) {
    case kElementAlias: m_alias.set(MessageWalker::readText(value, length)); return true;
    case kElementDeviceValue: m_deviceValue.set(u32()); return true;
    case kElementDeviceText: m_deviceText.set(MessageWalker::readText(value, length)); return true;
    case kElementController: m_controller.set(u32()); return true;
    case kElementDriveCount: m_driveCount.set(u32()); return true;
    case kElementDoorLock: m_doorLock.set(u32()); return true;
    case kElementBarCodeReader: m_barCodeReader.set(u32()); return true;
    case kElementAutoConfigDDS: m_autoConfigDDS.set(u32()); return true;
    case kElementAutoConfigFailover: m_autoConfigFailover.set(u32()); return true;
    case kElementCleanPool: m_cleanPool.set(u32()); return true;
    case kElementIPDriveId: m_ipDriveId.set(u32()); return true;
    case kElementAttribute: m_attribute.set(u32()); return true;
    case kElementVolumeRange: m_volumeRange.set(MessageWalker::readText(value, length)); return true;
    case kElementVTLType: m_vtlType.set(u32()); return true;
    case kElementMediaType:
      m_mediaType.set(length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length));
      return true;
    case kElementCount: m_count.set(u32()); return true;
    case kElementIdentifyArgument: m_identifyArgument.set(u32()); return true;
    case kElementSlot: m_slots.push_back(u32()); return true;
    case kElementAutoDiscover: m_autoDiscover.set(u32()); return true;
    case kElementMediaAgent:
      m_mediaAgent.set(length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length));
      return true;
    case kElementNdmpHost: m_ndmpHost.set(MessageWalker::readText(value, length)); return true;
    case kElementAccessPath: m_accessPath.set(MessageWalker::readText(value, length)); return true;
    case kElementLibraryServer: m_libraryServer.set(MessageWalker::readText(value, length)); return true;
    case kElementVendor: m_vendor.set(MessageWalker::readText(value, length)); return true;
    case kElementProduct: m_product.set(MessageWalker::readText(value, length)); return true;
    case kElementIdentification: m_identification.set(MessageWalker::readText(value, length)); return true;
    case kElementBaseAddress: m_baseAddress.set(u32()); return true;
    case kElementUnitValue: m_unitValue.set(u32()); return true;
    default:
      return std::find(std::begin(kElementsIgnored), std::end(kElementsIgnored), type) != std::end(kElementsIgnored);
  }
}

SetOutcome LibraryRequest::apply(const tkmm::SetRecord& record) {
  ZQMACBase::SetLocale(EvReturnData::returnLocaleId(m_request->sequenceNumber));
  switch (record.operation) {
    case kOpModify: return modify(record);
    case kOpObjectAction: return objectAction(record);
    case kOpIdentify: return identify(record);
    case kOpAutoDiscover: return autoDiscover(record);
    case kOpAddNdmpController: return addNdmpController(record);
    case kOpAddIPController: return addIPController(record);
    case kOpProbe: return m_libraryServer.has ? listServerLibraries(record) : probeNdmp(record);
    default: return discoverSchedule(record);
  }
}

// 3: each step only when its element came; a failure ends the request.
// An unknown handle changes nothing. The model stores each step; the
// steps of one record commit together, and a refused step keeps what the
// steps before it changed in the store as in the session.
SetOutcome LibraryRequest::modify(const tkmm::SetRecord& record) {
  ZQMACLms* lms = record.object<ZQMACLms>();
  if (lms == nullptr) return SetOutcome::success();
  // What the steps may change in the session: the library and the bus of
  // its first controller.
  ZQMACLinkedList<ZQMACLibController> controllers = lms->GetLibControllerList();
  return tkmm::storedAsKept(kTag, "the library's changes", {lms, controllers.GetFirstNode()},
                            [&] { return modifySteps(record, lms); });
}

SetOutcome LibraryRequest::modifySteps(const tkmm::SetRecord& record, ZQMACLms* lms) {
  ZQMACLibrary* library = lms->GetLibrary();

  if (m_alias.has) {
    // The lookup ignores letter case: the library's own row found under
    // another spelling of its name is no other library's, and the rename
    // changes only the case.
    if (tkmmdb::sessionRenameRefused(m_alias.value, library != nullptr ? library->GetId() : lms->GetId()))
      return SetOutcome::failure(ZQMACBase::GetMessageString(kTextAliasInUse, m_alias.value.c_str()));
    if (!lms->SetName(m_alias.value)) return SetOutcome::lastError(*lms);
  }
  // The library part is the model's; a library without one takes none of
  // the library's own settings.
  if (library == nullptr) return SetOutcome::success();
  if (m_deviceValue.has && library->SetDeviceValue(m_deviceValue.value) == 0) return SetOutcome::lastError(*library);
  if (m_deviceText.has && !library->SetDeviceTextC(m_deviceText.value)) return SetOutcome::lastError(*library);
  if (m_controller.has) {
    // A 32-bit handle: it resolves through the instance's registry, and a
    // value that names no live controller reaches the model as null.
    ZQMACLinkedList<ZQMACLibController> controllers = lms->GetLibControllerList();
    ZQMACLibController* first = controllers.GetFirstNode();
    if (first == nullptr)
      return SetOutcome::failure(ZQMACBase::GetMessageString(kTextNoController, lms->GetName().c_str()));
    ZQMACLibController* source = record.config.FindObject<ZQMACLibController>(m_controller.value);
    if (!first->UpdateSCSIBus(source)) return SetOutcome::lastError(*first);
  }
  if (m_driveCount.has) {
    // Compared as the model's number widened: a negative one refuses all.
    const auto last = static_cast<uint64_t>(static_cast<int64_t>(lms->GetLastOccupiedDriveNumber()));
    if (static_cast<uint64_t>(m_driveCount.value) < last) return SetOutcome::failure(kDriveCountTooSmall);
    if (!library->SetDriveCount(static_cast<int>(std::min<uint32_t>(m_driveCount.value, INT32_MAX))))
      return SetOutcome::lastError(*library);
  }
  if (m_doorLock.has && !library->SetDoorLockFlag(m_doorLock.value != 0)) return SetOutcome::lastError(*library);
  if (m_barCodeReader.has && !library->SetBarCodeReader(m_barCodeReader.value != 0))
    return SetOutcome::lastError(*library);
  if (m_autoConfigDDS.has && !library->SetAutoConfigDDSFlag(m_autoConfigDDS.value != 0))
    return SetOutcome::lastError(*library);
  if (m_autoConfigFailover.has && !library->SetAutoConfigFailoverFlag(m_autoConfigFailover.value != 0))
    return SetOutcome::lastError(*library);
  if (m_cleanPool.has && !library->SetUseACSLSCleanPoolFlag(m_cleanPool.value != 0))
    return SetOutcome::lastError(*library);
  if (m_ipDriveId.has && !library->SetUseIPDriveIDFlag(m_ipDriveId.value != 0)) return SetOutcome::lastError(*library);
  if (m_attribute.has && !library->SetLibAttributeFlag(static_cast<int>(m_attribute.value)))
    return SetOutcome::lastError(*library);
  if (m_volumeRange.has && !library->SetVolumeRangeString(m_volumeRange.value)) return SetOutcome::lastError(*library);
  if (m_vtlType.has && !library->SetVTLType(static_cast<int>(m_vtlType.value))) return SetOutcome::lastError(*library);
  return SetOutcome::success();
}

// 12: the object's own action; an unknown handle does nothing.
SetOutcome LibraryRequest::objectAction(const tkmm::SetRecord& record) {
  ZQMACInterface* object = record.anyObject();
  if (object != nullptr && !object->RunObjectAction()) return SetOutcome::lastError(*object);
  return SetOutcome::success();
}

// 84: automatic discovery of the 2225 media type (0 when none came); the
// request ends.
SetOutcome LibraryRequest::autoDiscover(const tkmm::SetRecord& record) {
  const int type = mediaType();
  ZQMACLms* lms = record.object<ZQMACLms>();
  if (lms != nullptr && !lms->SetAutoDiscover(m_autoDiscover.value != 0, type))
    return answerAndEnd(record.operation, 0, lms->GetLastError(), false);
  return answerAndEnd(record.operation, 1, "Success", true);
}

// 85: the discovery schedule; the request ends.
SetOutcome LibraryRequest::discoverSchedule(const tkmm::SetRecord& record) {
  ZQMACLms* lms = record.object<ZQMACLms>();
  if (lms != nullptr && !lms->SetDiscoverSchedule()) return answerAndEnd(record.operation, 0, lms->GetLastError(), false);
  return answerAndEnd(record.operation, 1, "Success", true);
}

// 35: identification of new media in a usable library; the request ends in
// every case. A missing or unknown handle is library id 0.
SetOutcome LibraryRequest::identify(const tkmm::SetRecord& record) {
  const uint32_t operation = record.operation;
  ZQMACLms* lms = record.object<ZQMACLms>();
  const ZQMACLibrary* library = lms != nullptr ? lms->GetLibrary() : nullptr;
  const int libraryId = library != nullptr ? static_cast<int>(library->GetId()) : 0;
  ZQMMlibInfo info(libraryId, kLibInfoKind);
  auto alias = [&] { return info.getLibAliasName(nullptr); };
  auto lastError = [&] {
    unsigned int code = 0;
    char text[kLibErrorTextSize] = {};
    info.GetLastError(code, text, sizeof text);
    return std::string(text);
  };

  if (info.getBroken() || !info.getEnabled() || info.getLibraryHardState() == 0)
    return answerAndEnd(operation, 3, ZQMACBase::GetMessageString(kTextLibraryNotUsable, alias().c_str()), false);

  if (m_count.has) {
    const int type = mediaType();
    const int argument = static_cast<int>(m_identifyArgument.value);
    if (!m_slots.empty()) {
      // The slots the client sent, but never more than it counted.
      std::vector<unsigned int> slots(m_slots.begin(),
                                      m_slots.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                            m_count.value, m_slots.size())));
      int count = static_cast<int>(slots.size());
      if (info.identifyNewMediaBySlotId(type, argument, count, slots.empty() ? nullptr : slots.data()) != 0)
        return answerAndEnd(operation, 0, lastError(), false);
      return answerAndEnd(operation, 1, ZQMACBase::GetMessageString(kTextIdentifiedBySlot), true);
    }
    int action = 0;
    int count = static_cast<int>(std::min<uint32_t>(m_count.value, INT32_MAX));
    if (info.identifyNewMedia(type, action, argument, count) != 0) return answerAndEnd(operation, 0, lastError(), false);
    if (action == kActionNothing)
      return answerAndEnd(operation, 3, ZQMACBase::GetMessageString(kTextNothingToIdentify, alias().c_str()), false);
    if (action == kActionStarted) return answerAndEnd(operation, 1, "Success", true);
    return answerAndEnd(operation, 0, ZQMACBase::GetMessageString(kTextIdentifyRefused, alias().c_str()), false);
  }

  int action = 0;
  int count = 0;
  if (info.identifyNewMedia(kUncountedMediaType, action, kUncountedArgument, count) != 0)
    return answerAndEnd(operation, 0, lastError(), false);
  if (action == kActionNothing)
    return answerAndEnd(operation, 3, ZQMACBase::GetMessageString(kTextNothingToIdentify, alias().c_str()), false);
  if (action == kActionIdentified && count > 0) {
    tkmm::writeAuditRecord(kAuditIdentify, libraryId, {{kParamLibraryAlias, {alias()}}});
    char text[kEventTextSize] = {};
    EvEvent event(kTag);
    event.evPrintf(kEventMediaIdentified, text, sizeof text, m_request->sequenceNumber);
    return answerAndEnd(operation, 2, text, true, count);
  }
  return answerAndEnd(operation, 1, "Success", true);
}

// A u32 of the request as the model's int, never negative.
int modelInt(uint32_t value) { return static_cast<int>(std::min<uint32_t>(value, INT32_MAX)); }

ZQMACMediaAgent* LibraryRequest::mediaAgent(ZQMACMediaConfig& config) const {
  if (ZQMACMediaAgent* known = config.FindDBNode(m_mediaAgent.value)) return known;
  auto made = std::make_unique<ZQMACMediaAgent>(m_mediaAgent.value, &config, nullptr);
  if (made->GetOwner() == nullptr) return nullptr;
  return made.release();  // the instance owns it now
}

bool LibraryRequest::describeLibrary(ZQMACLibrary& library) const {
  library.SetVendor(m_vendor.value);
  library.SetProduct(m_product.value);
  library.SetIdentificationText(m_identification.value);
  library.SetBaseAddress(modelInt(m_baseAddress.value));
  return library.SetDriveCount(modelInt(m_driveCount.value));
}

bool LibraryRequest::beginReply(unsigned long replyId) {
  if (m_reply.begin(replyId, m_request->sequenceNumber, &m_request->socket, true)) return true;
  tkmm::answerAllocationFailure(kTag, *m_request);
  return false;
}

// 54: the controller is stored and attached before its library is read; a
// failed read keeps it (the console may read it again later).
SetOutcome LibraryRequest::addNdmpController(const tkmm::SetRecord& record) {
  if (!allReceived(m_ndmpHost, m_accessPath, m_mediaAgent, m_vendor, m_product, m_identification, m_baseAddress,
                   m_driveCount) ||
      m_mediaAgent.value.empty())
    return SetOutcome::failure(ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle));
  ZQMACMediaAgent* agent = mediaAgent(record.config);
  if (agent == nullptr) return SetOutcome::lastError(record.config);
  auto controller = std::make_unique<ZQMACNdmpLibController>(nullptr);
  controller->SetAccessPath(m_accessPath.value);
  controller->SetServerHostName(m_ndmpHost.value);
  controller->SetMediaAgent(agent);
  ZQMACLibrary* library = controller->GetLibrary();
  if (!describeLibrary(*library)) return SetOutcome::lastError(*library);
  if (!agent->AddLibController(controller.get())) return SetOutcome::lastError(*agent);
  ZQMACNdmpLibController* added = controller.release();  // the instance owns it now
  const bool read = agent->GetDeviceInfo(added->GetServerHostName(), added, nullptr);
  added->SetUnitValue(kNdmpUnitValue);
  if (!read) return SetOutcome::lastError(*agent);
  return SetOutcome::success();
}

// 55: a library the server already serves is the same library: its
// description comes from that controller, not from the request.
SetOutcome LibraryRequest::addIPController(const tkmm::SetRecord& record) {
  if (!allReceived(m_libraryServer, m_mediaAgent, m_vendor, m_product, m_identification, m_baseAddress, m_driveCount) ||
      m_mediaAgent.value.empty())
    return SetOutcome::failure(ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle));
  ZQMACMediaAgent* agent = mediaAgent(record.config);
  if (agent == nullptr) return SetOutcome::lastError(record.config);
  auto controller = std::make_unique<ZQMACIPLibController>();
  ZQMACLibrary* library = controller->GetLibrary();
  const ZQMACIPLibController* served =
      record.config.FindLSLibrary(m_libraryServer.value, m_vendor.value, m_product.value, m_identification.value);
  if (served == nullptr) {
    if (!describeLibrary(*library)) return SetOutcome::lastError(*library);
    if (m_unitValue.has) controller->SetUnitValue(m_unitValue.value);
  } else {
    controller->Clone(served);
    library->SetAliasName(kServerAliasPrefix + library->GetName());
  }
  // Kept with the new library until its row is written with the controller's.
  if (m_volumeRange.has) library->SetVolumeRangeString(m_volumeRange.value);
  controller->SetServerHostName(m_libraryServer.value);
  if (!agent->AddLibController(controller.get())) return SetOutcome::lastError(*agent);
  controller.release();  // the instance owns it now
  return SetOutcome::success();
}

// 58 without a library server: the NDMP server's library at the access
// path, through the media agent when the instance knows it.
SetOutcome LibraryRequest::probeNdmp(const tkmm::SetRecord& record) {
  ZQMACNdmpLibController probe(nullptr);
  probe.SetAccessPath(m_accessPath.value);
  probe.SetServerHostName(m_ndmpHost.value);
  ZQMACMediaAgent* agent = m_mediaAgent.has ? record.config.FindDBNode(m_mediaAgent.value) : nullptr;
  std::string error;
  bool read = false;
  if (agent != nullptr) {
    read = agent->GetDeviceInfo(m_ndmpHost.value, &probe, nullptr);
    if (!read) error = agent->GetLastError();
  } else {
    ZQNDMPAutoDetect detector(probe.GetServerHostName(), &record.config);
    read = detector.GetDeviceInfo(&probe);
    if (!read) error = detector.GetLastError();
  }
  if (!read) return SetOutcome::failure(error);
  const ZQMACLibrary& library = *probe.GetLibrary();
  if (!beginReply(kReplyNdmpLibrary)) return SetOutcome::answered(false, false);
  tkmm::RecordWriter out(m_reply);
  out.text(kItemVendor, library.GetVendor());
  out.text(kItemProduct, library.GetProduct());
  out.text(kItemIdentification, library.GetDeviceIdentifier());
  out.u32(kItemBaseAddress, static_cast<uint32_t>(library.GetBaseAddress()));
  out.u32(kItemDriveCount, static_cast<uint32_t>(library.GetDriveCount()));
  out.endOfRecord();
  m_reply.end(0);
  return SetOutcome::answered(true, true);
}

// 58 with a library server: one record per library it shares.
SetOutcome LibraryRequest::listServerLibraries(const tkmm::SetRecord& record) {
  record.config.ClearLastError();
  ZQMACLinkedList<ZQMACIPLibController> controllers = record.config.GetLSLibraryList(m_libraryServer.value, false);
  if (controllers.GetListCount() == 0) {
    const std::string& error = record.config.GetLastError();
    return SetOutcome::failure(!error.empty() ? error : ZQMACBase::GetMessageString(kTextNoServerLibrary));
  }
  if (!beginReply(kReplyServerLibraries)) return SetOutcome::answered(false, false);
  tkmm::RecordWriter out(m_reply);
  for (ZQMACIPLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    ZQMACLibrary* library = c->GetLibrary();
    if (library == nullptr) continue;
    out.idText(kItemLibraryTitle, 0, library->GetName() + "(" + library->GetDeviceTextB() + ")");
    out.text(kItemVendor, library->GetVendor());
    out.text(kItemProduct, library->GetProduct());
    out.text(kItemDeviceTextB, library->GetDeviceTextB());
    out.u32(kItemDriveCount, static_cast<uint32_t>(library->GetDriveCount()));
    out.idText(kItemSlots, static_cast<uint32_t>(library->GetSlotCount()), library->GetSlotRange());
    out.endOfRecord();
  }
  m_reply.end(0);
  return SetOutcome::answered(true, true);
}

}  // namespace

bool EvMMConfigMgr::onMsgSetMMLibrary(MessageInfo* request) {
  LibraryRequest handler(request, *this);
  return tkmm::runSet(request, kTag, handler);
}
