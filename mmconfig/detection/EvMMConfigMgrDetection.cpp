// What the media agents chosen for detection found: their library
// controllers (onMsgGetMMDetectedLibraries, reply 11097) and their drive
// paths (onMsgGetMMDetectedDrives, reply 11099), for the console that
// configures what an auto-detection brought in.
//
// Both walk the instance's media agents in list order and, for each agent
// that belongs to this installation, each chosen name equal to the agent's
// name (exactly): a name chosen twice lists the agent's objects twice, and
// an agent of another installation is never listed. The chosen names are
// read as one copy under their lock (DetectAgents.h): a detection on the
// session holder's thread may rewrite them meanwhile.
//
// Records: 11003 handle; the object's id and list text (8215 for a
// controller, 2240 for a drive path); 11053 GetPropertyD; 11162 IsShown;
// 11116 the icon; 2052.
#include <cstdint>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"
#include "mmconfig/detection/DetectAgents.h"

namespace {

constexpr const char* kLibrariesTag = "EvMMConfigMgr::onMsgGetMMDetectedLibraries";
constexpr const char* kDrivesTag = "EvMMConfigMgr::onMsgGetMMDetectedDrives";

constexpr unsigned long kReplyDetectedLibraries = tktag::kReplyDetectedLibraries;
constexpr unsigned long kReplyDetectedDrives = tktag::kReplyDetectedDrives;

constexpr unsigned long kItemController = tktag::kLibraryController;  // id+text
constexpr unsigned long kItemDrivePath = tktag::kPathDrive;   // id+text
constexpr unsigned long kItemPropertyD = tktag::kPropertyC;  // u32

// One detected record.
void detectedRecord(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, unsigned long idTag,
                    ZQMACInterface& object) {
  out.handle(tkmm::kItemObjectHandle, config.GetHandle(&object));
  out.idText(idTag, object.GetId(), object.GetTextB(true));
  out.u32(kItemPropertyD, object.GetPropertyD());
  out.shown(object);
  out.icon(config, object);
  out.endOfRecord();
}

// For each agent of this installation, once per chosen name equal to its
// name, the records of the objects that `listOf` gives for it.
template <class ListOf>
void detectedRecords(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, unsigned long idTag, ListOf listOf) {
  const std::vector<std::string> chosen = tkmm::detectAgents::names();
  if (chosen.empty()) return;
  ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetMediaAgentList();
  for (ZQMACMediaAgent* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
    if (agent->IsForeign()) continue;
    for (const std::string& name : chosen) {
      if (name != agent->GetName()) continue;
      auto objects = listOf(*agent);
      for (auto* object = objects.GetFirstNode(); object != nullptr; object = objects.GetNextNode())
        detectedRecord(out, config, idTag, *object);
    }
  }
}

}  // namespace

bool EvMMConfigMgr::onMsgGetMMDetectedLibraries(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDetectedLibraries, kLibrariesTag,
                      [&](ZQMACMediaConfig& config) { return lookupMMDetectedLibraries(request, &config); });
}

bool EvMMConfigMgr::onMsgGetMMDetectedDrives(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDetectedDrives, kDrivesTag,
                      [&](ZQMACMediaConfig& config) { return lookupMMDetectedDrives(request, &config); });
}

bool EvMMConfigMgr::lookupMMDetectedLibraries(MessageInfo* /*request*/, ZQMACMediaConfig* config) {
  if (config == nullptr) return true;
  tkmm::RecordWriter out(*this);
  detectedRecords(out, *config, kItemController,
                  [](const ZQMACMediaAgent& agent) { return agent.GetLibControllerList(); });
  return true;
}

bool EvMMConfigMgr::lookupMMDetectedDrives(MessageInfo* /*request*/, ZQMACMediaConfig* config) {
  if (config == nullptr) return true;
  tkmm::RecordWriter out(*this);
  detectedRecords(out, *config, kItemDrivePath, [](const ZQMACMediaAgent& agent) { return agent.GetDmsList(); });
  return true;
}

// ---------------------------------------------------------------- detected devices

namespace {

constexpr const char* kDevicesTag = "EvMMConfigMgr::onMsgGetMMDetectedDevices";
constexpr unsigned long kReplyDetectedDevices = tktag::kReplyDetectedDevices;
constexpr unsigned long kItemDevice = tktag::kDetectedDevice;  // id+text
constexpr unsigned int kControllerTypeIP = 2;
constexpr unsigned int kControllerTypeProxied = 3;

}  // namespace

bool EvMMConfigMgr::onMsgGetMMDetectedDevices(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyDetectedDevices, kDevicesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                return lookupMMDetectedDevices(request, &object, &config);
                              });
}

bool EvMMConfigMgr::lookupMMDetectedDevices(MessageInfo* /*request*/, ZQMACInterface* object,
                                            ZQMACMediaConfig* config) {
  if (config == nullptr || object == nullptr) return true;
  ZQMACLinkedList<ZQMACInterface> devices;
  if (object->GetObjectType() == ZQMAC_OBJ_DRIVE) {
    auto* drive = dynamic_cast<ZQMACDrive*>(object);
    if (drive == nullptr) return true;
    devices = config->GetDetectedCandidateDeviceList(drive);
  } else {
    // Drive paths and controllers are reached through their SCSI-unit part;
    // any other object names no detected device. A unit without an agent,
    // or a proxied path without a drive pool, has nothing to follow.
    auto* unit = dynamic_cast<ZQMACScsiUnit*>(object);
    if (unit == nullptr || unit->GetMediaAgent() == nullptr) return true;
    std::string host;
    const unsigned int controllerType = unit->GetControllerType();
    if (object->GetObjectType() == ZQMAC_OBJ_DMS) {
      auto* path = dynamic_cast<ZQMACDms*>(object);
      ZQMACDrivePool* pool = path != nullptr ? path->GetDrivePool() : nullptr;
      if (controllerType == kControllerTypeProxied && pool != nullptr) host = pool->GetProxyClientHost();
    } else if (controllerType == kControllerTypeIP || controllerType == kControllerTypeProxied) {
      host = unit->GetUnitHostName();
    }
    devices = unit->GetMediaAgent()->GetDetectedCandidateDeviceList(object, host);
  }
  tkmm::RecordWriter out(*this);
  for (ZQMACInterface* device = devices.GetFirstNode(); device != nullptr; device = devices.GetNextNode()) {
    out.idText(kItemDevice, device->GetId(), device->GetTextB(false));
    out.handle(tkmm::kItemObjectHandle, config->GetHandle(device));
    out.endOfRecord();
  }
  return true;
}
