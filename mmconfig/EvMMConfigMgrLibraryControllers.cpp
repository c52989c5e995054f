// The library controllers of a tape or optical library: the list of a
// library's controllers (onMsgGetMMLibraryControllers), the record of one
// controller (onMsgGetMMLibraryControllerProperties), both answering reply
// 11173 through the Get wrapper (HandlerSkeleton.h), and the change that
// moves a controller onto the SCSI bus of another (onMsgSetMMLibraryController,
// operation 3 through the Set skeleton).
//
// A controller's record describes its library as seen through it, then, when
// the controller's unit has a media agent, the agent and the drive counts;
// a controller without an agent gets the short record (the library part,
// then 11150 and the record end). A missing library or library-management
// object gives the items derived from it in their empty form.
//
// Item 11007 carries only the low 32 bits of a controller's handle. Handles
// are registry numbers below 2^32, so the change request resolves the value
// back through the registry (FindObject, typed): a value that names no live
// library controller is refused with "source controller not found" and
// nothing changes; no client value ever becomes a pointer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"

namespace {

constexpr const char* kListTag = "EvMMConfigMgr::onMsgGetMMLibraryControllers";
constexpr const char* kPropertiesTag = "EvMMConfigMgr::onMsgGetMMLibraryControllerProperties";
constexpr const char* kSetTag = "EvMMConfigMgr::onMsgSetMMLibraryController";

constexpr unsigned long kReplyControllers = tktag::kReplyLibraryControllers;

constexpr unsigned long kItemAgent = tktag::kMediaAgent;
constexpr unsigned long kItemVendor = tktag::kVendor;
constexpr unsigned long kItemProduct = tktag::kProduct;
constexpr unsigned long kItemLibraryType = tktag::kLibraryType;
constexpr unsigned long kItemDeviceTextA = tktag::kDeviceTextA;
constexpr unsigned long kItemController = tktag::kLibraryController;
constexpr unsigned long kItemAlias = tktag::kAliasName;
constexpr unsigned long kItemDeviceTextB = tktag::kDeviceTextB;
constexpr unsigned long kItemDeviceTextC = tktag::kDeviceTextC;
constexpr unsigned long kItemSourceController = tktag::kController;
constexpr unsigned long kItemAddress = tktag::kAddress;
constexpr unsigned long kItemCurrentDrives = tktag::kCurrentDrives;
constexpr unsigned long kItemDeviceValue = tktag::kDeviceValue;
constexpr unsigned long kItemOsId = tktag::kOsId;
constexpr unsigned long kItemPropertyC = tktag::kPropertyC;
constexpr unsigned long kItemUnitHost = tktag::kNdmpServer;
constexpr unsigned long kItemReserved = tktag::kReserved;
constexpr unsigned long kItemControllerType = tktag::kControllerType;
constexpr unsigned long kItemDrives = tktag::kDrives;
constexpr unsigned long kItemPendingPaths = tktag::kPendingDrivePaths;
constexpr unsigned long kItemDriveCount = tktag::kDriveCount;
constexpr unsigned long kItemAllDrives = tktag::kAllDrives;
constexpr unsigned long kItemDoorLock = tktag::kDoorLocked;
constexpr unsigned long kItemBarCodeReader = tktag::kBarcodeReader;
constexpr unsigned long kItemAutoDiscover = tktag::kAutoDiscover;
constexpr unsigned long kItemAutoConfigDDS = tktag::kAutoConfigDDS;
constexpr unsigned long kItemAutoConfigFailover = tktag::kAutoConfigFailover;
constexpr unsigned long kItemAttribute = tktag::kAttribute;
constexpr unsigned long kItemACSLSCleanPool = tktag::kACSLSCleanPool;
constexpr unsigned long kItemIPDriveId = tktag::kIPDriveIds;

constexpr uint32_t kOpModify = 3;
constexpr uint32_t kElementSource = tktag::kController;   // [u32 low bits of the source's handle][text, not used]
constexpr uint32_t kElementLibraryId = tktag::kLibraryId;  // kept, not used

constexpr unsigned int kControllerTypeOwnAddress = 2;
constexpr uint32_t kAllPathsPending = 0xFFFFFFFF;
constexpr uint32_t kNoOs = 0xFFFFFFFF;
constexpr std::size_t kReservedLength = 8;
constexpr const char* kTextSourceNotFound = "source controller not found";

uint32_t low32(unsigned long long value) { return static_cast<uint32_t>(value & 0xFFFFFFFFull); }

// 11158: every path pending while the controller's state B is set, else the
// library's drive paths not configured whose state B is set.
uint32_t pendingPaths(ZQMACLibController& controller, ZQMACLms& lms) {
  if (controller.TestStateB()) return kAllPathsPending;
  uint32_t count = 0;
  ZQMACLinkedList<ZQMACDms> paths = lms.GetDmsList();
  for (ZQMACDms* path = paths.GetFirstNode(); path != nullptr; path = paths.GetNextNode())
    if (!path->TestStateA() && path->TestStateB()) ++count;
  return count;
}

// The agent's other controllers of the same library (not stand-alone,
// selected by state C), as further 11007 items.
void furtherControllers(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACMediaAgent& agent,
                        const ZQMACLibController& self, const ZQMACLibrary* library) {
  ZQMACLinkedList<ZQMACLibController> controllers = agent.GetLibControllerList();
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    const ZQMACLibrary* theirs = c->GetLibrary();
    if (theirs == nullptr || theirs->IsStandAlone() || c == &self || !c->TestStateC() ||
        !theirs->IsSame(library, true, false))
      continue;
    out.idText(kItemSourceController, low32(config.GetHandle(c)), c->GetControllerText());
  }
}

void controllerRecord(tkmm::RecordWriter& out, ZQMACMediaConfig& config, ZQMACLibController& controller) {
  std::unique_ptr<ZQMACLibrary> noLibrary;
  std::unique_ptr<ZQMACLms> noLms;
  ZQMACLibrary* library = controller.GetLibrary();
  ZQMACLibrary& lib = tkmm::orBlank(library, noLibrary);
  ZQMACLms& lms = tkmm::orBlank(controller.GetLms(), noLms);
  ZQMACMediaAgent* agent = controller.GetMediaAgent();

  out.idText(kItemController, controller.GetId(), lib.GetName());
  out.u32(kItemLibraryType, controller.TestStateA() ? static_cast<uint32_t>(lib.GetType()) : controller.CheckType());
  out.text(kItemAlias, lib.GetAliasName());
  out.idText(kItemVendor, 0, lib.GetVendor());
  out.idText(kItemProduct, 0, lib.GetProduct());
  out.text(kItemDeviceTextA, lib.GetDeviceTextA());
  out.text(kItemDeviceTextB, lib.GetDeviceTextB());
  out.text(kItemDeviceTextC, lib.GetDeviceTextC());
  out.u32(kItemAddress, controller.GetControllerType() == kControllerTypeOwnAddress
                            ? controller.GetAddress()
                            : static_cast<uint32_t>(lib.GetBaseAddress()));
  out.u32(kItemCurrentDrives, lms.GetCurrentDriveCount(nullptr, 0, std::string()));
  out.u32(kItemControllerType, controller.GetControllerType());
  out.flag(kItemDoorLock, lms.GetDoorLockFlag());
  out.flag(kItemBarCodeReader, lib.GetBarCodeReader());
  out.flag(kItemAutoConfigDDS, lib.GetAutoConfigDDSFlag());
  out.flag(kItemAutoConfigFailover, lib.GetAutoConfigFailoverFlag());
  out.flag(kItemACSLSCleanPool, lib.GetUseACSLSCleanPoolFlag());
  out.flag(kItemIPDriveId, lib.GetUseIPDriveIDFlag());
  out.u32(kItemAttribute, static_cast<uint32_t>(lib.GetLibAttributeFlag()));
  out.flag(kItemAutoDiscover, lms.IsAutoDiscover());
  out.idText(kItemSourceController, low32(config.GetHandle(&controller)), controller.GetControllerText());
  if (agent != nullptr) {
    out.textA(controller);
    out.idText(kItemAgent, agent->GetId(), agent->GetName());
    out.u32(kItemOsId, agent->GetName().empty() ? kNoOs : low32(static_cast<unsigned long long>(agent->GetOSId())));
    if (!controller.GetUnitHostName().empty()) out.text(kItemUnitHost, controller.GetUnitHostName());
    if (controller.TestStateA() && agent->IsDetected()) furtherControllers(out, config, *agent, controller, library);
    out.u32(kItemPendingPaths, pendingPaths(controller, lms));
    out.u32(kItemDrives, controller.CountDrives(false));
    out.u32(kItemDriveCount, static_cast<uint32_t>(lib.GetDriveCount()));
    out.u32(kItemAllDrives, controller.CountDrives(true));
    out.u32(kItemDeviceValue, lib.GetDeviceValue());
    out.u32(kItemPropertyC, controller.GetPropertyC());
    out.zeros(kItemReserved, kReservedLength);
    out.stateB(controller);
    out.shown(controller);
    out.icon(config, controller);
  }
  out.textB(controller);
  out.endOfRecord();
}

// Operation 3: the controller of 11003 takes the SCSI bus of the 11007
// controller. An unknown controller, or a record without 11007, changes
// nothing and answers "Success".
class ControllerChange : public tkmm::SetRecordHandler {
 public:
  bool servesOperation(uint32_t operation) const override { return operation == kOpModify; }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    if (type == kElementSource) {
      m_hasSource = true;
      m_source = MessageWalker::readU32(value, length);
      return true;
    }
    if (type == kElementLibraryId) {
      m_hasLibraryId = true;
      m_libraryId = MessageWalker::readU32(value, length);
      return true;
    }
    return false;
  }
  tkmm::SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACLibController* controller = record.object<ZQMACLibController>();
    if (controller == nullptr || !m_hasSource) return tkmm::SetOutcome::success();
    ZQMACLibController* source = record.config.FindObject<ZQMACLibController>(m_source);
    if (source == nullptr) return tkmm::SetOutcome::failure(kTextSourceNotFound);
    if (!controller->UpdateSCSIBus(source)) return tkmm::SetOutcome::lastError(*controller);
    return tkmm::SetOutcome::success();
  }

 private:
  bool m_hasSource = false;
  uint32_t m_source = 0;
  bool m_hasLibraryId = false;
  uint32_t m_libraryId = 0;
};

}  // namespace

bool EvMMConfigMgr::onMsgGetMMLibraryControllers(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyControllers, kListTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    ZQMACLms* lms = config.FindObject<ZQMACLms>(request->objectHandle);
    if (lms == nullptr) return true;
    for (unsigned long long handle : tkmm::handlesOf(lms->GetLibControllerList(), config)) {
      ZQMACLibController* controller = config.FindObject<ZQMACLibController>(handle);
      if (controller == nullptr) continue;
      out.handle(tkmm::kItemObjectHandle, handle);
      controllerRecord(out, config, *controller);
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMLibraryControllerProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyControllers, kPropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* controller = dynamic_cast<ZQMACLibController*>(&object))
                                  controllerRecord(out, config, *controller);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgSetMMLibraryController(MessageInfo* request) {
  ControllerChange change;
  return tkmm::runSet(request, kSetTag, change);
}
