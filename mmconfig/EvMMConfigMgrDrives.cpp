// The drive side of a tape or optical library for the configuration tree:
// master drive pools, drive pools, drives (one physical drive) and drive
// paths (one drive as one media agent reaches it), the children of a
// library in one block, its empty drive bays and the drive ids an ACSLS
// server reports. Every request is a Get through the Get wrapper
// (HandlerSkeleton.h) on the session's instance, pinned for the call; none
// changes anything or takes a lock of its own.
//
// Handles are checked by kind: a handle of an object of another kind than
// the request is about is an unknown handle (an empty list, or no record).
// Parts that are missing (a library part, a controller, a media agent, the
// drive of a drive path) give the items derived from them in their empty
// form, the values of a blank object. Lists collect handles first and look
// each object up again when its record is due.
//
// Drive ids come in two forms. A library identified through ACSLS (its
// first controller's state D or E) sends the ids the ACSLS server reports
// (11136 each, the drive's own id last when it is not among them) and the
// drive's own id (11135); any other library sends the drive's IBM-form id
// twice, or nothing when it is empty.
#include <cstdint>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"

namespace {

constexpr const char* kMasterPoolsTag = "EvMMConfigMgr::onMsgGetMMMasterDrivePools";
constexpr const char* kMasterPoolPropertiesTag = "EvMMConfigMgr::onMsgGetMMMasterDrivePoolProperties";
constexpr const char* kPoolsTag = "EvMMConfigMgr::onMsgGetMMDrivePools";
constexpr const char* kPoolPropertiesTag = "EvMMConfigMgr::onMsgGetMMDrivePoolProperties";
constexpr const char* kDrivesTag = "EvMMConfigMgr::onMsgGetMMDrives";
constexpr const char* kDrivePropertiesTag = "EvMMConfigMgr::onMsgGetMMDriveProperties";
constexpr const char* kDriveDeviceTag = "EvMMConfigMgr::onMsgGetMMDriveDeviceProperties";
constexpr const char* kChildrenTag = "EvMMConfigMgr::onMsgGetMMLibraryChildren";
constexpr const char* kEmptyDrivesTag = "EvMMConfigMgr::onMsgGetMMEmptyDrives";
constexpr const char* kDriveIdsTag = "EvMMConfigMgr::onMsgGetDriveIdList";

constexpr unsigned long kReplyMasterPools = tktag::kReplyMasterPools;
constexpr unsigned long kReplyDrivePools = tktag::kReplyDrivePools;
constexpr unsigned long kReplyDrives = tktag::kReplyDrives;
constexpr unsigned long kReplyEmptyDrives = tktag::kReplyEmptyDrives;
constexpr unsigned long kReplyChildren = tktag::kReplyDriveChildren;
constexpr unsigned long kReplyDriveIds = tktag::kReplyDriveIds;
constexpr unsigned long kReplyDriveDevice = tktag::kReplyDriveDevice;

// Fixed payload positions (from the first fixed field).
constexpr std::size_t kPositionMode = 12;      // drive lists: the short list on kShortListMode
constexpr std::size_t kPositionSelector = 16;  // pool lists and children: not 0 = master pool / drives
constexpr uint32_t kShortListMode = 0xFFFFFFFE;

// Items.
constexpr unsigned long kItemAgent = tktag::kMediaAgent;
constexpr unsigned long kItemLibrary = tktag::kLibrary;
constexpr unsigned long kItemPathDrive = tktag::kPathDrive;
constexpr unsigned long kItemDriveVendor = tktag::kDriveVendor;
constexpr unsigned long kItemDriveTextB = tktag::kDriveTextB;
constexpr unsigned long kItemPool = tktag::kDrivePool;
constexpr unsigned long kItemDriveTextA = tktag::kDriveTextA;
constexpr unsigned long kItemPoolType = tktag::kDrivePoolType;
constexpr unsigned long kItemMasterPool = tktag::kMasterDrivePool;
constexpr unsigned long kItemMasterPoolDrives = tktag::kMasterPoolDrives;
constexpr unsigned long kItemDriveAlias = tktag::kDriveAlias;
constexpr unsigned long kItemPathReserved = tktag::kReservedId;
constexpr unsigned long kItemPoolDrives = tktag::kPoolDrives;
constexpr unsigned long kItemProxyHost = tktag::kProxyClientHost;
constexpr unsigned long kItemDriveTextC = tktag::kDriveTextC;
constexpr unsigned long kItemPathDetail = tktag::kPathDetail;
constexpr unsigned long kItemOsId = tktag::kOsId;
constexpr unsigned long kItemDriveProduct = tktag::kDriveProduct;
constexpr unsigned long kItemDriveNumber = tktag::kDriveNumber;  // also an empty bay's number
constexpr unsigned long kItemPropertyC = tktag::kPropertyC;
constexpr unsigned long kItemPath = tktag::kDrivePath;
constexpr unsigned long kItemStateF = tktag::kStateF;
constexpr unsigned long kItemReserved = tktag::kReserved;
constexpr unsigned long kItemSharedDrive = tktag::kSharedDrive;
constexpr unsigned long kItemPoolText = tktag::kPoolText;
constexpr unsigned long kItemControllerType = tktag::kControllerType;
constexpr unsigned long kItemCopyManagerChoice = tktag::kCopyManagerChoice;
constexpr unsigned long kItemCopyManager = tktag::kCopyManager;
constexpr unsigned long kItemDriveId = tktag::kDriveId;
constexpr unsigned long kItemDriveIdChoice = tktag::kDriveIdChoice;
constexpr unsigned long kItemControllerNode = tktag::kControllerNode;
constexpr unsigned long kItemPathId = tktag::kDrivePathId;
constexpr unsigned long kItemCostCategory = tktag::kCostCategory;
constexpr unsigned long kItemCostCategoryChoice = tktag::kCostCategoryChoice;
constexpr unsigned long kItemDrive = tktag::kDrive;

// 11030 of an agent without a name.
constexpr uint32_t kNoOs = 0xFFFFFFFF;
constexpr std::size_t kReservedLength = 8;
// The object type that the short drive list reads as a further library
// child; the model's own library child (its controller group) counts too.
constexpr unsigned int kObjectLibraryChild = 11;

uint32_t low32(unsigned long long value) { return static_cast<uint32_t>(value & 0xFFFFFFFFull); }

uint32_t osIdOf(const ZQMACMediaAgent& agent) {
  return agent.GetName().empty() ? kNoOs : low32(static_cast<unsigned long long>(agent.GetOSId()));
}

// ---------------------------------------------------------------- records

// Master-pool record.
void masterPoolRecord(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACMasterDrivePool& master) {
  out.idText(kItemMasterPool, master.GetId(), master.GetName());
  out.textA(master);
  out.u32(kItemMasterPoolDrives, master.CountDrives(false));
  out.headerTail(config, master);
  out.endOfRecord();
}

// Drive-pool record.
void drivePoolRecord(tkmm::RecordWriter& out, ZQMACMediaConfig& config, ZQMACDrivePool& pool) {
  std::unique_ptr<ZQMACMediaAgent> noAgent;
  std::unique_ptr<ZQMACLibrary> noLibrary;
  ZQMACMediaAgent* agent = pool.GetMediaAgent();
  ZQMACMediaAgent& a = tkmm::orBlank(agent, noAgent);
  ZQMACLms* lms = pool.GetLms();
  ZQMACLibrary* library = lms != nullptr ? lms->GetLibrary() : nullptr;
  ZQMACLibrary& lib = tkmm::orBlank(library, noLibrary);

  out.idText(kItemPool, pool.GetId(), pool.GetName());
  out.textA(pool);
  out.idText(kItemLibrary, lib.GetId(), lib.GetName());
  out.idText(kItemAgent, a.GetId(), a.GetName());
  out.u32(kItemOsId, osIdOf(a));
  if (pool.IsNdmp()) out.idText(kItemProxyHost, 0, pool.GetProxyClientHost());
  out.u32(kItemPoolDrives, pool.CountDrives(false));
  out.idText(kItemPoolType, static_cast<uint32_t>(pool.GetType()), std::string());
  out.text(kItemPoolText, std::string());
  out.u32(kItemCopyManager, static_cast<uint32_t>(pool.GetCopyManagerId()));
  ZQMACLinkedList<ZQMACCopyMgrController> copyManagers = a.GetCopyMgrControllerList(true);
  for (ZQMACCopyMgrController* c = copyManagers.GetFirstNode(); c != nullptr; c = copyManagers.GetNextNode())
    out.idText(kItemCopyManagerChoice, c->GetId(), c->GetDisplayName());
  out.u32(kItemCostCategory, static_cast<uint32_t>(pool.GetCostCategoryId()));
  ZQMACLinkedList<ZQMACNode> categories = config.GetCostCategoryList();
  for (ZQMACNode* c = categories.GetFirstNode(); c != nullptr; c = categories.GetNextNode())
    out.idText(kItemCostCategoryChoice, c->GetId(), c->GetDisplayName());
  out.headerTail(config, pool);
  out.endOfRecord();
}

// The five identification texts of a drive.
void driveTexts(tkmm::RecordWriter& out, const ZQMACDrive& drive) {
  out.text(kItemDriveVendor, drive.GetVendor());
  out.text(kItemDriveProduct, drive.GetProduct());
  out.text(kItemDriveTextA, drive.GetDeviceTextA());
  out.text(kItemDriveTextB, drive.GetDeviceTextB());
  out.text(kItemDriveTextC, drive.GetDeviceTextC());
}

// The drive ids of a drive (see the top of this file). With `acslsChoices`
// false the ACSLS form sends only the drive's own id.
void driveIds(tkmm::RecordWriter& out, ZQMACDrive& drive, bool acslsChoices) {
  ZQMACLms* lms = drive.GetLms();
  ZQMACLinkedList<ZQMACLibController> controllers;
  if (lms != nullptr) controllers = lms->GetLibControllerList();
  ZQMACLibController* first = controllers.GetFirstNode();
  if (first == nullptr || (!first->TestStateD() && !first->TestStateE())) {
    const std::string& ibm = drive.GetIBMDriveIdString();
    if (ibm.empty()) return;
    out.text(kItemDriveIdChoice, ibm);
    out.text(kItemDriveId, ibm);
    return;
  }
  const std::string current = drive.GetDriveIdString();
  if (acslsChoices) {
    std::unique_ptr<ZQMACLibrary> noLibrary;
    const ZQMACLibrary& lib = tkmm::orBlank(lms->GetLibrary(), noLibrary);
    std::vector<std::string> ids;
    for (ZQMACLibController* c = first; c != nullptr && ids.empty(); c = controllers.GetNextNode()) {
      ZQMACMediaAgent* agent = c->GetMediaAgent();
      if (agent != nullptr) ids = agent->GetACSLSDriveIDList(lib.GetVendor(), lib.GetProduct(), c->GetAcslsText());
    }
    bool reported = false;
    for (const std::string& id : ids) {
      out.text(kItemDriveIdChoice, id);
      reported = reported || id == current;
    }
    if (!reported) out.text(kItemDriveIdChoice, current);
  }
  out.text(kItemDriveId, current);
}

// Drive record; the short form (full false) carries names and header only.
void driveRecord(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACDrive& drive, bool full) {
  out.idText(kItemDrive, drive.GetId(), drive.GetName());
  out.textA(drive);
  out.text(kItemDriveAlias, drive.GetAliasName());
  if (full) {
    driveTexts(out, drive);
    out.u32(kItemDriveNumber, static_cast<uint32_t>(drive.GetDriveNumber()));
    out.u32(kItemPropertyC, drive.GetPropertyC());
    out.flag(kItemSharedDrive, drive.CountDrives(false) > 1);
    driveIds(out, drive, true);
  }
  out.headerTail(config, drive);
  out.endOfRecord();
}

// The further paths (11054, 11024) of a configured drive path whose agent
// is detected: the agent's other drive paths, selected by state C, to the
// same drive.
void furtherPaths(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACMediaAgent& agent,
                  const ZQMACDms& path, const ZQMACDrive* drive) {
  ZQMACLinkedList<ZQMACDms> paths = agent.GetDmsList();
  for (ZQMACDms* p = paths.GetFirstNode(); p != nullptr; p = paths.GetNextNode()) {
    const ZQMACDrive* theirs = p->GetDrive();
    if (p == &path || !p->TestStateC() || theirs == nullptr || !theirs->IsSame(drive, true, false)) continue;
    out.idText(kItemPath, low32(config.GetHandle(p)), p->GetPathText());
    out.text(kItemPathDetail, p->GetPathDetail());
  }
}

// Drive-path record: the long form with a media agent, else the short one.
void drivePathRecord(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACDms& path, bool full) {
  std::unique_ptr<ZQMACDrive> noDrive;
  ZQMACDrive* drive = path.GetDrive();
  ZQMACDrive& d = tkmm::orBlank(drive, noDrive);
  ZQMACMediaAgent* agent = path.GetMediaAgent();

  out.idText(kItemPathDrive, d.GetId(), d.GetName());
  out.text(kItemDriveAlias, d.GetAliasName());
  out.u32(kItemPathId, path.GetId());
  if (agent == nullptr) {
    driveTexts(out, d);
    out.idText(kItemPath, low32(config.GetHandle(&path)), path.GetPathText());
    out.text(kItemPathDetail, path.GetPathDetail());
    out.textB(path);
    out.flag(kItemStateF, path.TestStateF());
    out.endOfRecord();
    return;
  }
  out.textA(path);
  // The path's own media agent: its id and name (which agent the client
  // needs is the one that reaches the drive through this path).
  out.idText(kItemAgent, agent->GetId(), agent->GetName());
  out.u32(kItemOsId, osIdOf(*agent));
  driveTexts(out, d);
  out.idText(kItemPath, low32(config.GetHandle(&path)), path.GetPathText());
  out.text(kItemPathDetail, path.GetPathDetail());
  if (path.TestStateA() && agent->IsDetected()) furtherPaths(out, config, *agent, path, drive);
  out.idText(kItemPathReserved, 0, std::string());
  out.u32(kItemDriveNumber, static_cast<uint32_t>(d.GetDriveNumber()));
  out.u32(kItemPropertyC, path.GetPropertyC());
  out.flag(kItemStateF, path.TestStateF());
  out.flag(kItemSharedDrive, drive != nullptr && drive->CountDrives(false) > 1);
  driveIds(out, d, full);
  out.zeros(kItemReserved, kReservedLength);
  out.u32(kItemControllerType, path.GetControllerType());
  out.headerTail(config, path);
  out.endOfRecord();
}

// ---------------------------------------------------------------- lists

// Handle and record of each object of `handles` that is still there.
template <class T, class Record>
void listRecords(tkmm::RecordWriter& out, ZQMACMediaConfig& config, const std::vector<unsigned long long>& handles,
                 Record record) {
  for (unsigned long long handle : handles) {
    T* object = config.FindObject<T>(handle);
    if (object == nullptr) continue;
    out.handle(tkmm::kItemObjectHandle, handle);
    record(*object);
  }
}

void lookupMMMasterDrivePools(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle) {
  ZQMACLms* lms = config.FindObject<ZQMACLms>(handle);
  if (lms == nullptr) return;
  listRecords<ZQMACMasterDrivePool>(out, config, tkmm::handlesOf(lms->GetMasterDrivePoolList(), config),
                                    [&](ZQMACMasterDrivePool& m) { masterPoolRecord(out, config, m); });
}

// The drives of a library, each with its short record.
void lookupMMDriveDevices(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle) {
  ZQMACLms* lms = config.FindObject<ZQMACLms>(handle);
  if (lms == nullptr) return;
  listRecords<ZQMACDrive>(out, config, tkmm::handlesOf(lms->GetDriveList(), config),
                          [&](ZQMACDrive& d) { driveRecord(out, config, d, false); });
}

void lookupMMDrivePools(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle,
                        bool ofMasterPool) {
  std::vector<unsigned long long> handles;
  if (ofMasterPool) {
    if (auto* master = config.FindObject<ZQMACMasterDrivePool>(handle))
      handles = tkmm::handlesOf(master->GetDrivePoolList(), config);
  } else if (auto* lms = config.FindObject<ZQMACLms>(handle)) {
    handles = tkmm::handlesOf(lms->GetDrivePoolList(), config);
  }
  listRecords<ZQMACDrivePool>(out, config, handles, [&](ZQMACDrivePool& p) { drivePoolRecord(out, config, p); });
}

// The drive paths of a drive pool or drive, with their records.
void lookupMMDrives(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle) {
  std::vector<unsigned long long> handles;
  if (auto* pool = config.FindObject<ZQMACDrivePool>(handle))
    handles = tkmm::handlesOf(pool->GetDmsList(), config);
  else if (auto* drive = config.FindObject<ZQMACDrive>(handle))
    handles = tkmm::handlesOf(drive->GetDmsList(), config);
  listRecords<ZQMACDms>(out, config, handles, [&](ZQMACDms& p) { drivePathRecord(out, config, p, false); });
}

// The short list: id and text of the drive paths of the object.
void lookupMMDrivesA(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle) {
  ZQMACInterface* object = config.FindObject(handle);
  if (object == nullptr) return;
  const unsigned int type = object->GetObjectType();
  ZQMACLinkedList<ZQMACDms> paths;
  if (type == ZQMAC_OBJ_LMS || type == kObjectLibraryChild || type == ZQMAC_OBJ_LIBRARY_CHILD) {
    if (ZQMACLms* lms = object->GetLms()) paths = lms->GetDmsList();
  } else if (type == ZQMAC_OBJ_MASTER_DRIVE_POOL) {
    if (auto* master = dynamic_cast<ZQMACMasterDrivePool*>(object)) {
      ZQMACLinkedList<ZQMACDrivePool> pools = master->GetDrivePoolList();
      if (ZQMACDrivePool* pool = pools.GetFirstNode()) paths = pool->GetDmsList();
    }
  } else if (type == ZQMAC_OBJ_DRIVE_POOL) {
    if (auto* pool = dynamic_cast<ZQMACDrivePool*>(object)) paths = pool->GetDmsList();
  } else if (type == ZQMAC_OBJ_DRIVE) {
    if (auto* drive = dynamic_cast<ZQMACDrive*>(object)) paths = drive->GetDmsList();
  }
  listRecords<ZQMACDms>(out, config, tkmm::handlesOf(paths, config), [&](ZQMACDms& p) {
    out.idText(kItemPathDrive, p.GetId(),
               type == ZQMAC_OBJ_MASTER_DRIVE_POOL ? p.GetDisplayName() : p.GetTextB(false));
    out.textB(p);
    out.endOfRecord();
  });
}

// ---------------------------------------------------------------- library children

// The library's controller node, unless the library is stand-alone.
void lookupMMLibraryControllersNode(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle) {
  ZQMACLms* lms = config.FindObject<ZQMACLms>(handle);
  if (lms == nullptr) return;
  std::unique_ptr<ZQMACLibrary> noLibrary;
  const ZQMACLibrary& lib = tkmm::orBlank(lms->GetLibrary(), noLibrary);
  ZQMACInterface* node = lms->GetLibControllerNode();
  if (node == nullptr || lib.IsStandAlone()) return;
  out.idText(kItemControllerNode, node->GetId(), lib.GetName());
  out.handle(tkmm::kItemObjectHandle, config.GetHandle(node));
  out.textA(*node);
  out.textB(*node);
  out.shown(*node);
  out.icon(config, *node);
  out.endOfRecord();
}

// The numbers of the library's empty drive bays, 1 to its drive count; a
// stand-alone unit lists them only while it holds no drive.
void lookupMMEmptyDrives(tkmm::RecordWriter& out, ZQMACMediaConfig& config, unsigned long long handle) {
  ZQMACLms* lms = config.FindObject<ZQMACLms>(handle);
  if (lms == nullptr) return;
  std::unique_ptr<ZQMACLibrary> noLibrary;
  const ZQMACLibrary& lib = tkmm::orBlank(lms->GetLibrary(), noLibrary);
  const long long bays = lib.GetDriveCount();
  for (long long bay = 1; bay <= bays; ++bay) {
    if (!lms->IsEmptyDrive(static_cast<int>(bay), nullptr, std::string())) continue;
    if (lib.IsStandAlone() && lms->CountDrives(false) != 0) continue;
    out.u32(kItemDriveNumber, static_cast<uint32_t>(bay));
    out.endOfRecord();
  }
}

}  // namespace

// ---------------------------------------------------------------- handlers

bool EvMMConfigMgr::onMsgGetMMMasterDrivePools(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyMasterPools, kMasterPoolsTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    lookupMMMasterDrivePools(out, config, request->objectHandle);
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMMasterDrivePoolProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyMasterPools, kMasterPoolPropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* master = dynamic_cast<ZQMACMasterDrivePool*>(&object))
                                  masterPoolRecord(out, config, *master);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgGetMMDrivePools(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDrivePools, kPoolsTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    lookupMMDrivePools(out, config, request->objectHandle, request->payloadWord(kPositionSelector) != 0);
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMDrivePoolProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyDrivePools, kPoolPropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* pool = dynamic_cast<ZQMACDrivePool*>(&object))
                                  drivePoolRecord(out, config, *pool);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgGetMMDrives(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDrives, kDrivesTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    if (request->payloadWord(kPositionMode) == kShortListMode)
      lookupMMDrivesA(out, config, request->objectHandle);
    else
      lookupMMDrives(out, config, request->objectHandle);
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMDriveProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyDrives, kDrivePropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* path = dynamic_cast<ZQMACDms*>(&object))
                                  drivePathRecord(out, config, *path, true);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgGetMMDriveDeviceProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyDriveDevice, kDriveDeviceTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* drive = dynamic_cast<ZQMACDrive*>(&object))
                                  driveRecord(out, config, *drive, true);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgGetMMLibraryChildren(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyChildren, kChildrenTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    const unsigned long long handle = request->objectHandle;
    lookupMMLibraryControllersNode(out, config, handle);
    if (request->payloadWord(kPositionSelector) != 0)
      lookupMMDriveDevices(out, config, handle);
    else
      lookupMMMasterDrivePools(out, config, handle);
    lookupMMEmptyDrives(out, config, handle);
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMEmptyDrives(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyEmptyDrives, kEmptyDrivesTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    lookupMMEmptyDrives(out, config, request->objectHandle);
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetDriveIdList(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyDriveIds, kDriveIdsTag,
                              [&](ZQMACMediaConfig&, ZQMACInterface& object) {
                                auto* controller = dynamic_cast<ZQMACLibController*>(&object);
                                ZQMACMediaAgent* agent = controller != nullptr ? controller->GetMediaAgent() : nullptr;
                                if (agent == nullptr) return true;
                                std::unique_ptr<ZQMACLibrary> noLibrary;
                                const ZQMACLibrary& lib = tkmm::orBlank(controller->GetLibrary(), noLibrary);
                                tkmm::RecordWriter out(*this);
                                for (const std::string& id : agent->GetACSLSDriveIDList(
                                         lib.GetVendor(), lib.GetProduct(), controller->GetAcslsText()))
                                  out.text(kItemDriveIdChoice, id);
                                return true;
                              });
}
