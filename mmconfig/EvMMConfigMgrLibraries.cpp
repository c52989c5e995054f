// The library listing: all libraries of the installation for the
// configuration tree (onMsgGetMMLibraries), or the record of one library
// (onMsgGetMMLibraryProperties). Both answer reply 11002 through the Get
// wrapper (HandlerSkeleton.h), on the session's configuration instance,
// pinned for the call; they change nothing and take no lock of their own.
//
// A tape or optical library (ZQMACLms) is described through its library
// part (ZQMACLibrary) and its first controller, and, when that controller
// has a media agent, through the agent too. A disk library (ZQMACMagLib)
// is described through its own media agent, if any. Parts that are missing
// (a library part, a controller, an agent) give the items derived from them
// in their empty form: the values of a blank object (0, the empty text,
// handle 0). A tape library whose first controller has no agent ends its
// record after the virtual-tape-library types.
//
// Objects are addressed by handle, never kept as pointers across steps: the
// listing collects the handles first and looks each object up again when
// its record is due, so an object that has gone meanwhile is skipped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"

namespace {

constexpr const char* kListTag = "EvMMConfigMgr::onMsgGetMMLibraries";
constexpr const char* kPropertiesTag = "EvMMConfigMgr::onMsgGetMMLibraryProperties";

constexpr unsigned long kReplyLibraries = tktag::kReplyLibraries;

// Configuration-wide items of the list.
constexpr unsigned long kItemClusterAgents = tktag::kArchiveClusterAgents;  // shown agents that reach archive clusters
constexpr unsigned long kItemClusterReady = tktag::kArchiveClustersReady;   // ... and clusters and detected agents
constexpr unsigned long kItemDiskKinds = tktag::kDiskDeviceKinds;      // bit 0 disk devices of type 3, bit 1 of type 4
constexpr unsigned long kItemDiskType2 = tktag::kDiskDevicesType2;      // disk devices of type 2
constexpr unsigned long kItemLocalDrive = tktag::kLocalDrive;
constexpr unsigned long kItemDatabaseDrive = tktag::kDatabaseDrive;

// Items of the library records.
constexpr unsigned long kItemAgent = tktag::kMediaAgent;
constexpr unsigned long kItemLibrary = tktag::kLibrary;
constexpr unsigned long kItemVendor = tktag::kVendor;
constexpr unsigned long kItemProduct = tktag::kProduct;
constexpr unsigned long kItemLibraryType = tktag::kLibraryType;
constexpr unsigned long kItemDeviceTextA = tktag::kDeviceTextA;
constexpr unsigned long kItemAlias = tktag::kAliasName;
constexpr unsigned long kItemLowWatermark = tktag::kLowWatermark;
constexpr unsigned long kItemDeviceTextB = tktag::kDeviceTextB;
constexpr unsigned long kItemDeviceTextC = tktag::kDeviceTextC;
constexpr unsigned long kItemController = tktag::kController;
constexpr unsigned long kItemAddress = tktag::kAddress;
constexpr unsigned long kItemCurrentDrives = tktag::kCurrentDrives;
constexpr unsigned long kItemDeviceValue = tktag::kDeviceValue;
constexpr unsigned long kItemOsId = tktag::kOsId;
constexpr unsigned long kItemPropertyC = tktag::kPropertyC;
constexpr unsigned long kItemReserved = tktag::kReserved;
constexpr unsigned long kItemControllerType = tktag::kControllerType;
constexpr unsigned long kItemDrives = tktag::kDrives;
constexpr unsigned long kItemPendingPaths = tktag::kPendingDrivePaths;
constexpr unsigned long kItemDriveCount = tktag::kDriveCount;
constexpr unsigned long kItemAllDrives = tktag::kAllDrives;
constexpr unsigned long kItemDoorLock = tktag::kDoorLocked;
constexpr unsigned long kItemFirstController = tktag::kFirstController;
constexpr unsigned long kItemBarCodeReader = tktag::kBarcodeReader;
constexpr unsigned long kItemAutoDiscover = tktag::kAutoDiscover;
constexpr unsigned long kItemDiskLibraryType = tktag::kDiskLibraryType;
constexpr unsigned long kItemClusterLibrary = tktag::kArchiveClusterLibrary;
constexpr unsigned long kItemDiskKindMask = tktag::kDiskLibraryKind;
constexpr unsigned long kItemAgentDrive = tktag::kAgentDrive;
constexpr unsigned long kItemAutoConfigDDS = tktag::kAutoConfigDDS;
constexpr unsigned long kItemAutoConfigFailover = tktag::kAutoConfigFailover;
constexpr unsigned long kItemAttribute = tktag::kAttribute;
constexpr unsigned long kItemVolumeRange = tktag::kVolumeRange;
constexpr unsigned long kItemDiskType5 = tktag::kDiskLibrariesType5;
constexpr unsigned long kItemACSLSCleanPool = tktag::kACSLSCleanPool;
constexpr unsigned long kItemIPDriveId = tktag::kIPDriveIds;
constexpr unsigned long kItemVTLType = tktag::kVTLType;
constexpr unsigned long kItemVTLChoice = tktag::kVTLTypeChoice;
constexpr unsigned long kItemSlots = tktag::kSlots;

// Controller type whose own address stands for the library's.
constexpr unsigned int kControllerTypeOwnAddress = 2;
// 11158 of a library whose state B is set.
constexpr uint32_t kAllPathsPending = 0xFFFFFFFF;
// Library type of every disk library, and id and OS of a missing agent.
constexpr uint32_t kDiskLibraryType = 3;
constexpr uint32_t kNoAgent = 0xFFFFFFFF;
// Disk device types of the configuration-wide items.
constexpr int kDiskDeviceType2 = 2;
constexpr int kDiskDeviceType3 = 3;
constexpr int kDiskDeviceType4 = 4;
// Length of 11078.
constexpr std::size_t kReservedLength = 8;

uint32_t low32(unsigned long long value) { return static_cast<uint32_t>(value & 0xFFFFFFFFull); }

// 11189 of a disk library type.
uint32_t diskKindMask(int type) {
  uint32_t mask = 0;
  if (type == 3 || type == 4) mask += 1;
  if (type == 6) mask += 2;
  if (type == 7) mask += 4;
  if (type == 8) mask += 8;
  return mask;
}

// The further controllers (11007) of a configured library whose agent is
// detected: the agent's controllers, other than the first one, of a library
// that is not stand-alone, selected by state C and the same as this one.
void furtherControllers(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACMediaAgent& agent,
                        const ZQMACLibController* first, const ZQMACLibrary* library) {
  ZQMACLinkedList<ZQMACLibController> controllers = agent.GetLibControllerList();
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    const ZQMACLibrary* theirs = c->GetLibrary();
    if (theirs == nullptr || theirs->IsStandAlone() || c == first || !c->TestStateC() ||
        !theirs->IsSame(library, true, false))
      continue;
    out.idText(kItemController, low32(config.GetHandle(c)), c->GetControllerText());
  }
}

// 11158: every drive path pending, or the number of drive paths not
// configured whose state B is set.
uint32_t pendingPaths(ZQMACLms& lms) {
  if (lms.TestStateB()) return kAllPathsPending;
  uint32_t count = 0;
  lms.GetDmsListRef().ForEachNode([&](ZQMACDms* path) {
    if (!path->TestStateA() && path->TestStateB()) ++count;
  });
  return count;
}

// The virtual-tape-library types every tape library record offers (11216),
// as [type][text] items, made once per listing.
std::vector<std::pair<uint32_t, std::string>> vtlChoices() {
  std::vector<std::pair<uint32_t, std::string>> choices;
  for (int type : ZQMACLibrary::GetVTLTypeList())
    choices.emplace_back(static_cast<uint32_t>(type), ZQMACLibrary::GetVTLTypeString(type));
  return choices;
}

// The record of the tape or optical library of `handle`; nothing when the
// configuration does not hold such a library.
void tapeLibraryRecord(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle,
                       const std::vector<std::pair<uint32_t, std::string>>& choices) {
  ZQMACLms* lms = config.FindObject<ZQMACLms>(handle);
  if (lms == nullptr) return;
  std::unique_ptr<ZQMACLibrary> noLibrary;
  std::unique_ptr<ZQMACLibController> noController;
  ZQMACLibrary* library = lms->GetLibrary();
  ZQMACLibrary& lib = tkmm::orBlank(library, noLibrary);
  ZQMACLibController* first = nullptr;
  lms->GetLibControllerListRef().AnyNode([&](ZQMACLibController* c) {
    first = c;
    return true;
  });
  ZQMACLibController& controller = tkmm::orBlank(first, noController);
  ZQMACMediaAgent* agent = controller.GetMediaAgent();

  out.idText(kItemLibrary, lib.GetId(), lib.GetName());
  out.u32(kItemLibraryType, lms->TestStateA() ? static_cast<uint32_t>(lib.GetType()) : controller.CheckType());
  out.text(kItemAlias, lib.GetAliasName());
  out.handle(kItemFirstController, config.GetHandle(first));
  out.idText(kItemVendor, 0, lib.GetVendor());
  out.idText(kItemProduct, 0, lib.GetProduct());
  out.text(kItemDeviceTextA, lib.GetDeviceTextA());
  out.text(kItemDeviceTextB, lib.GetDeviceTextB());
  out.text(kItemDeviceTextC, lib.GetDeviceTextC());
  out.u32(kItemAddress, controller.GetControllerType() == kControllerTypeOwnAddress
                            ? controller.GetAddress()
                            : static_cast<uint32_t>(lib.GetBaseAddress()));
  out.u32(kItemCurrentDrives, lms->GetCurrentDriveCount(nullptr, 0, std::string()));
  out.u32(kItemControllerType, controller.GetControllerType());
  out.flag(kItemDoorLock, lms->GetDoorLockFlag());
  out.flag(kItemBarCodeReader, lib.GetBarCodeReader());
  out.flag(kItemAutoConfigDDS, lib.GetAutoConfigDDSFlag());
  out.flag(kItemAutoConfigFailover, lib.GetAutoConfigFailoverFlag());
  out.flag(kItemACSLSCleanPool, lib.GetUseACSLSCleanPoolFlag());
  out.flag(kItemIPDriveId, lib.GetUseIPDriveIDFlag());
  out.u32(kItemAttribute, static_cast<uint32_t>(lib.GetLibAttributeFlag()));
  out.flag(kItemAutoDiscover, lms->IsAutoDiscover());
  out.text(kItemVolumeRange, lib.GetVolumeRangeString());
  if (first != nullptr && first->TestServerFlag() && config.GetLibraryServerConfigInfo(first))
    out.idText(kItemSlots, static_cast<uint32_t>(lib.GetSlotCount()), lib.GetSlotRange());
  out.idText(kItemController, low32(handle), controller.GetControllerText());
  out.u32(kItemVTLType, static_cast<uint32_t>(lib.GetVTLType()));
  for (const auto& [type, text] : choices) out.idText(kItemVTLChoice, type, text);
  if (agent == nullptr) {
    out.endOfRecord();
    return;
  }

  out.textA(*lms);
  out.idText(kItemAgent, agent->GetId(), agent->GetName());
  out.u32(kItemOsId, low32(static_cast<unsigned long long>(agent->GetOSId())));
  if (lms->TestStateA() && agent->IsDetected()) furtherControllers(out, config, *agent, first, library);
  out.u32(kItemPendingPaths, pendingPaths(*lms));
  out.u32(kItemDrives, lms->CountDrives(false));
  out.u32(kItemDriveCount, static_cast<uint32_t>(lib.GetDriveCount()));
  out.u32(kItemAllDrives, lms->CountDrives(true));
  out.u32(kItemDeviceValue, lib.GetDeviceValue());
  out.u32(kItemPropertyC, lms->GetPropertyC());
  out.zeros(kItemReserved, kReservedLength);
  out.headerTail(config, *lms);
  out.endOfRecord();
}

// The record of the disk library of `handle`; nothing when the
// configuration does not hold such a library.
void diskLibraryRecord(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle) {
  ZQMACMagLib* library = config.FindObject<ZQMACMagLib>(handle);
  if (library == nullptr) return;
  ZQMACMediaAgent* agent = library->GetMediaAgent();
  const int type = library->GetMagLibType();

  out.idText(kItemLibrary, library->GetId(), library->GetName());
  out.u32(kItemLibraryType, kDiskLibraryType);
  out.text(kItemAlias, library->GetAliasName());
  out.textA(*library);
  if (agent != nullptr) {
    out.idText(kItemAgent, agent->GetId(), agent->GetDisplayName());
    out.u32(kItemOsId, low32(static_cast<unsigned long long>(agent->GetOSId())));
  } else {
    out.idText(kItemAgent, kNoAgent, std::string());
    out.u32(kItemOsId, kNoAgent);
  }
  out.u32(kItemLowWatermark, static_cast<uint32_t>(library->GetLowWatermark()));
  out.flag(kItemAttribute, library->GetLibAttributeFlag());
  out.flag(kItemClusterLibrary,
           agent != nullptr && agent->IsCenteraAgent() && config.GetCenteraClusterList().GetListCount() > 0);
  out.u32(kItemDiskKindMask, diskKindMask(type));
  out.flag(kItemDiskType5, type == 5);
  out.u32(kItemDiskLibraryType, static_cast<uint32_t>(type));
  out.textB(*library);
  out.shown(*library);
  out.icon(config, *library);
  if (agent != nullptr) out.text(kItemAgentDrive, agent->GetLocalDrive());
  out.endOfRecord();
}

}  // namespace

bool EvMMConfigMgr::onMsgGetMMLibraries(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyLibraries, kListTag,
                      [&](ZQMACMediaConfig& config) { return lookupMMLibraries(request, &config); });
}

bool EvMMConfigMgr::onMsgGetMMLibraryProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyLibraries, kPropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                // Only a library of the kind its type says; any
                                // other object is an unknown handle.
                                switch (object.GetObjectType()) {
                                  case ZQMAC_OBJ_LMS:
                                    if (auto* lms = dynamic_cast<ZQMACLms*>(&object))
                                      return lookupMMLibraryProperties(request, lms, &config);
                                    return true;
                                  case ZQMAC_OBJ_MAGLIB:
                                    if (auto* library = dynamic_cast<ZQMACMagLib*>(&object))
                                      return lookupMMMagneticLibraryProperties(request, 0, library, &config);
                                    return true;
                                  default:
                                    return true;
                                }
                              });
}

bool EvMMConfigMgr::lookupMMLibraries(MessageInfo* /*request*/, ZQMACMediaConfig* config) {
  if (config == nullptr) return true;
  tkmm::RecordWriter out(*this);
  const bool clusterAgents = config->GetAvailableMediaAgentForCentraCluster(false).GetListCount() > 0;
  const bool clusterReady = clusterAgents && config->GetCenteraClusterList().GetListCount() > 0 &&
                            config->GetAvailableMediaAgentForCentraCluster(true).GetListCount() > 0;
  uint32_t diskKinds = 0;
  if (config->HasShownDiskDevice(true, kDiskDeviceType3)) diskKinds |= 1u;
  if (config->HasShownDiskDevice(true, kDiskDeviceType4)) diskKinds |= 2u;
  out.flag(kItemClusterAgents, clusterAgents);
  out.flag(kItemClusterReady, clusterReady);
  out.u32(kItemDiskKinds, diskKinds);
  out.flag(kItemDiskType2, config->HasShownDiskDevice(true, kDiskDeviceType2));
  out.text(kItemLocalDrive, config->GetLocalDrive());
  out.text(kItemDatabaseDrive, config->GetTKDBDrive());

  // The terminate flag (the session was released or taken over) stops the
  // list before the next library.
  const std::vector<std::pair<uint32_t, std::string>> choices = vtlChoices();
  for (unsigned long long handle : tkmm::handlesOf(config->GetShownLmsList(), *config)) {
    if (config->GetTerminateFlag()) return true;
    out.handle(tkmm::kItemObjectHandle, handle);
    tapeLibraryRecord(out, *config, handle, choices);
  }
  for (unsigned long long handle : tkmm::handlesOf(config->GetMagLibList(), *config)) {
    if (config->GetTerminateFlag()) return true;
    ZQMACMagLib* library = config->FindObject<ZQMACMagLib>(handle);
    if (library == nullptr || !library->IsShown()) continue;
    out.handle(tkmm::kItemObjectHandle, handle);
    diskLibraryRecord(out, *config, handle);
  }
  return true;
}

bool EvMMConfigMgr::lookupMMLibraryProperties(MessageInfo* /*request*/, ZQMACLms* library, ZQMACMediaConfig* config) {
  if (config == nullptr) return true;
  tkmm::RecordWriter out(*this);
  tapeLibraryRecord(out, *config, config->GetHandle(library), vtlChoices());
  return true;
}

bool EvMMConfigMgr::lookupMMMagneticLibraryProperties(MessageInfo* /*request*/, unsigned long /*unused*/,
                                                      ZQMACMagLib* library, ZQMACMediaConfig* config) {
  if (config == nullptr) return true;
  tkmm::RecordWriter out(*this);
  diskLibraryRecord(out, *config, config->GetHandle(library));
  return true;
}
