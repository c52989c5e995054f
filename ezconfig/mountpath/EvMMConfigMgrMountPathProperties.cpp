// The property steps of operation 8 of the storage-library request: the
// credential of a disk mount path, its writers, reserved space, four
// attribute flags, whether it is enabled and the name of its device. They
// run between the share front and tail (EvMMConfigMgrMountPathShare.cpp),
// which then changes the media agent's device path and writes the one audit
// record whose parameters are gathered here.
//
// Every property is optional: an absent field, a tri-state of 2, writers
// 1001 and a reserved space of 0 or less change nothing. Each property is
// written as soon as it is checked, inside the caller's transaction, so a
// refusal undoes what was written before it; the attribute bits go in one
// write.
#include <cstdio>
#include <string>

#include "Db/Proc/MMMountpathCredentialAssociation.h"
#include "Db/Tbl/MMMountPath.h"
#include "ezconfig/mountpath/MountPathOps.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDeviceDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibMountPathProperties";

// Catalogue texts.
constexpr unsigned long kTextNamesMissing = 0x2300091a;
constexpr unsigned long kTextCredentialNotSet = 0x23001262;
constexpr unsigned long kTextBadPruning = 0x23000a06;
constexpr unsigned long kTextBadDpSettings = 0x23000cdf;
constexpr unsigned long kTextDpSettingsLocked = 0x23000cde;
constexpr unsigned long kTextBadSiloReserve = 0x23000a07;
constexpr unsigned long kTextBadPrevention = 0x23000eb5;
constexpr unsigned long kTextPreventionLocked = 0x23000eb4;
constexpr unsigned long kTextBadEnable = 0x230011fd;
constexpr unsigned long kTextDeviceNotRenamed = 0x23000919;  // %1 the device

// Attribute bits of a mount path.
constexpr int kAttrSiloReserve = 0x2;
constexpr int kAttrPruning = 0x8;
constexpr int kAttrDpSettings = 0x100;
constexpr int kAttrPreventReferences = 0x2000;

// "Unchanged" values of the request.
constexpr long long kUnchanged = 2;
constexpr long long kWritersUnchanged = 1001;
constexpr long long kWritersDefault = 1000;
constexpr long long kWritersMost = 999;
constexpr long long kReserveLeast = 2048;

// Audit parameters, in the order the record lists them.
constexpr int kParamDeviceAndPath = 0x5500018b;
constexpr int kParamWriters = 0x55000472;
constexpr int kParamReserve = 0x55000473;
constexpr int kParamPruningOn = 0x550004c0;
constexpr int kParamPruningOff = 0x550004c1;
constexpr int kParamDpSettingsOn = 0x550005f4;
constexpr int kParamDpSettingsOff = 0x550005f3;
constexpr int kParamCredentialNew = 0x55000744;
constexpr int kParamCredentialReplaced = 0x55000745;
constexpr int kParamSiloOn = 0x550004c2;
constexpr int kParamSiloOff = 0x550004c3;
constexpr int kParamEnabled = 0x55000732;
constexpr int kParamDisabled = 0x55000731;
constexpr int kParamRenamed = 0x550004c4;
constexpr int kParamPreventOn = 0x5500069f;
constexpr int kParamPreventOff = 0x5500069e;

using tkezconfig::MountPathShareWork;
using tkezconfig::StorageLibraryRequest;
using Info = EVGui::StorageLibraryInfo;
using Credential = ZqEntities::CredentialEntity;

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    const unsigned char lx = (x >= 'A' && x <= 'Z') ? static_cast<unsigned char>(x - 'A' + 'a') : x;
    const unsigned char ly = (y >= 'A' && y <= 'Z') ? static_cast<unsigned char>(y - 'A' + 'a') : y;
    if (lx != ly) return false;
  }
  return true;
}

// A number of the second description, `absent` when the field is not there.
long long secondValue(const StorageLibraryRequest& w, const tkxml::FieldDef& field, long long absent) {
  if (!w.second->isSet(field.ordinal, Info::kClassHash, field.hash)) return absent;
  return w.second->getint64(field.tag, Info::kClassHash, field.hash);
}

// The request's values and what the steps changed, for the audit.
struct Properties {
  long long writers = kWritersUnchanged;
  long long normalizedWriters = kWritersUnchanged;
  long long reserve = 0;
  long long pruning = kUnchanged;
  long long dpSettings = kUnchanged;
  long long siloReserve = kUnchanged;
  long long prevent = kUnchanged;
  long long enable = kUnchanged;
  std::string credentialName;
  bool credentialRan = false;
  CredentialAssociation association;
  int attribute = 0;  // the working copy
  bool writersChanged = false;
  bool reserveChanged = false;
  bool dpChanged = false;
  bool dpSet = false;
  bool preventChanged = false;
  bool enabledChanged = false;
  bool renamed = false;
  std::string newDeviceName;
};

void failTableAccess(StorageLibraryRequest& w, const MMTableAccess& access) {
  w.fail(tkezconfig::mountPathErrorText(w, access.getErrorCode()));
}

void refuse(StorageLibraryRequest& w, unsigned long id) { w.fail(tkezconfig::mountPathCatalogueText(w, id)); }

bool isTriState(long long value) { return value == 0 || value == 1 || value == kUnchanged; }

// A tri-state value outside 0, 1, 2 refuses the request.
bool checkTriState(StorageLibraryRequest& w, long long value, const char* name, unsigned long text) {
  if (isTriState(value)) return true;
  EvDebug::Error(kTag, "Invalid input passed for %s.", name);
  refuse(w, text);
  return false;
}

// The credential of the mount path.
bool associateCredential(StorageLibraryRequest& w, Properties& p) {
  if (w.mountPathId <= 0) return true;
  if (!w.second->isSet(Info::kMountPathCredential.ordinal, Info::kClassHash, Info::kMountPathCredential.hash))
    return true;
  const CNMessageBase& entity = w.second->getObjectAccessor(
      true, false, Info::kMountPathCredential.ordinal, Info::kMountPathCredential.tag, Info::kClassHash,
      Info::kMountPathCredential.hash, Info::kMountPathCredential.ns, Info::kMountPathCredential.cls);
  const long long id = entity.getint64(Credential::kId.tag, Credential::kClassHash, Credential::kId.hash);
  p.credentialName = entity.getstring(Credential::kCredentialName.ordinal, Credential::kCredentialName.tag,
                                      Credential::kClassHash, Credential::kCredentialName.hash);
  p.credentialRan = true;
  if (id >= INT32_MIN && id <= INT32_MAX) p.association = associateMountPathCredential(w.mountPathId, static_cast<int>(id));
  if (p.association.succeeded) return true;
  const std::string reason =
      "Unable to associate credential[" + p.credentialName + "] for mountpath[" + w.mountPathName + "].\n";
  EvDebug::Error(kTag, "Failed to set credentials for mountpath with error: %s", reason.c_str());
  refuse(w, kTextCredentialNotSet);
  return false;
}

// Writers and reserved space.
bool setWritersAndReserve(StorageLibraryRequest& w, Properties& p, const MMMountPath_t& row) {
  MMMountPathDB paths;
  if (p.writers != kWritersUnchanged) {
    p.normalizedWriters = p.writers == -1 ? kWritersDefault : (p.writers > kWritersMost ? kWritersMost : p.writers);
    if (p.normalizedWriters >= 0 && p.normalizedWriters != row.MaxConcurrentWriters) {
      if (paths.setMaxWriters(w.mountPathId, static_cast<int>(p.normalizedWriters)) != 0) {
        EvDebug::Error(kTag, "Failed to set numWriters for mountpath [%s]", w.mountPathName.c_str());
        failTableAccess(w, paths);
        return false;
      }
      p.writersChanged = true;
    }
  }
  if (p.reserve > 0 && p.reserve != row.MagneticSpaceRsrvInMB) {
    if (p.reserve > INT32_MAX) {
      // Cut to 32 bits it would reserve another amount.
      EvDebug::Error(kTag, "Failed to set reserveSpace for mountpath [%s]", w.mountPathName.c_str());
      w.fail("The reserved space of " + std::to_string(p.reserve) + " MB is out of range.");
      return false;
    }
    if (paths.setMagneticReserveSpace(w.mountPathId, static_cast<int>(p.reserve)) != 0) {
      EvDebug::Error(kTag, "Failed to set reserveSpace for mountpath [%s]", w.mountPathName.c_str());
      failTableAccess(w, paths);
      return false;
    }
    p.reserveChanged = true;
  }
  return true;
}

// The attribute bits, in the working copy. False when refused.
bool settleAttributes(StorageLibraryRequest& w, Properties& p, const MMMountPath_t& row) {
  const int read = row.Attribute;
  if (!checkTriState(w, p.pruning, "enablePruningOfAgedData", kTextBadPruning)) return false;
  const bool pruningOn = (read & kAttrPruning) != 0;
  if (p.pruning != kUnchanged && (p.pruning == 1) != pruningOn) {
    if (p.pruning == 1) {
      p.attribute |= kAttrPruning;
    } else {
      p.attribute &= ~kAttrPruning;
      if ((p.attribute & kAttrDpSettings) != 0) {
        p.attribute &= ~kAttrDpSettings;
        p.dpChanged = true;
        p.dpSet = false;
      }
    }
  }
  if (!checkTriState(w, p.dpSettings, "useDPSettingsForPruning", kTextBadDpSettings)) return false;
  if (p.dpSettings != kUnchanged && (p.dpSettings == 1) != ((read & kAttrDpSettings) != 0)) {
    if (!(p.pruning == 1 || (p.pruning == kUnchanged && pruningOn))) {
      EvDebug::Error(kTag, "%s", "useDPSettingsForPruning cannot be changed when enablePruningOfAgedData is disabled.");
      refuse(w, kTextDpSettingsLocked);
      return false;
    }
    if (p.dpSettings == 1)
      p.attribute |= kAttrDpSettings;
    else
      p.attribute &= ~kAttrDpSettings;
    p.dpChanged = true;
    p.dpSet = p.dpSettings == 1;
  }
  if (!checkTriState(w, p.siloReserve, "resrvSpaceForSiloRestores", kTextBadSiloReserve)) return false;
  if (p.siloReserve != kUnchanged) {
    if (p.siloReserve == 1)
      p.attribute |= kAttrSiloReserve;
    else
      p.attribute &= ~kAttrSiloReserve;
  }
  if (!checkTriState(w, p.prevent, "preventDataBlockReferences", kTextBadPrevention)) return false;
  const bool preventOn = (p.attribute & kAttrPreventReferences) != 0;
  if (p.prevent == kUnchanged) {
    // Opening a mount path to new data lifts the prevention.
    if (p.writers != kWritersUnchanged && p.normalizedWriters > 0 && row.MaxConcurrentWriters == 0 && preventOn)
      p.attribute &= ~kAttrPreventReferences;
  } else if ((p.prevent == 1) != preventOn) {
    const bool closedToNewData = (p.writers != kWritersUnchanged && p.normalizedWriters == 0) ||
                                 (p.writers == kWritersUnchanged && row.MaxConcurrentWriters == 0);
    if (!closedToNewData) {
      EvDebug::Error(kTag, "%s",
                     "preventDataBlockReferences can only be changed when mount path is disabled for new data.");
      refuse(w, kTextPreventionLocked);
      return false;
    }
    if (p.prevent == 1)
      p.attribute |= kAttrPreventReferences;
    else
      p.attribute &= ~kAttrPreventReferences;
    p.preventChanged = true;
  }
  return true;
}

// Enabled or disabled.
bool setEnabled(StorageLibraryRequest& w, Properties& p, const MMMountPath_t& row) {
  if (!checkTriState(w, p.enable, "enableMP", kTextBadEnable)) return false;
  if (p.enable == kUnchanged || (p.enable == 1) == (row.IsEnabled != 0)) return true;
  MMMountPathDB paths;
  const int set = p.enable == 1 ? paths.setEnabled(w.mountPathId) : paths.setDisabled(w.mountPathId);
  if (set != 0) {
    EvDebug::Error(kTag, "Failed to set enable mounpath for mountpath [%s]", w.mountPathName.c_str());
    failTableAccess(w, paths);
    return false;
  }
  p.enabledChanged = true;
  return true;
}

// The pruning on the media agent follows a change of the pruning
// flag; a failure is only logged.
void controlPruning(const StorageLibraryRequest& w, const Properties& p, const MMMountPath_t& row) {
  const bool pruningOn = (row.Attribute & kAttrPruning) != 0;
  if (p.pruning == kUnchanged || (p.pruning == 1) == pruningOn) {
    EvDebug::DebugLvl(3, kTag,
                      "Pruning Control - Pruning status of aged data was not modified for the mountpath [%d]. Skip to "
                      "sending start or stop on going pruning request.",
                      w.mountPathId);
    return;
  }
  MMStartStopOnGoingPruningReq request;
  request = MMStartStopOnGoingPruningReq{};
  request.version = 1;
  request.action = p.pruning == 1 ? MM_PRUNING_START : MM_PRUNING_STOP;
  request.mountPathId = static_cast<uint32_t>(w.mountPathId);
  request.tarnfoldId = static_cast<uint32_t>(row.origTFtarnfoldID);
  EvDebug::DebugLvl(3, kTag,
                    "Pruning Control - Sending mount path level Pruning Control request to start or stop on going "
                    "pruning for the mountpath [%d].",
                    w.mountPathId);
  EvDebug::DebugLvl(3, kTag, "Pruning control - Pruning Status : %s PRUNING.", p.pruning == 1 ? "ENABLE" : "DISABLE");
  ZQMMmountPath paths(1);
  if (paths.performStartStopPruningConfig(request) == 0)
    EvDebug::DebugLvl(3, kTag,
                      "Pruning Control - Successfully set Registry key for enable or diable the pruning on the "
                      "mountpath [%d]",
                      w.mountPathId);
  else
    EvDebug::Error(kTag,
                   "Pruning Control - Unable to set Registry key for enable or diable the pruning on the mountpath [%d]",
                   w.mountPathId);
}

// The device's new name; a change of letter case only renames nothing.
bool renameDevice(StorageLibraryRequest& w, Properties& p, const MountPathShareWork& s) {
  const std::string current = s.device.AliasName;
  std::string name = w.second->getstring(Info::kDeviceAliasName.ordinal, Info::kDeviceAliasName.tag, Info::kClassHash,
                                         Info::kDeviceAliasName.hash);
  name = MyUTF8Text(name);
  if (name.empty() || equalIgnoringCase(name, current)) return true;
  if (!tkezconfig::fitsColumn(w, name, tkezconfig::kDeviceNameWidth, "device name")) return false;
  MMDeviceDB devices;
  if (devices.renameDevice(s.device.DeviceId, name.c_str()) != 0) {
    EvDebug::Error(kTag, "Failed to rename the device [%s]", current.c_str());
    w.fail(tkezconfig::mountPathCatalogueText(w, kTextDeviceNotRenamed, current));
    return false;
  }
  p.renamed = true;
  p.newDeviceName = name;
  return true;
}

// The audit parameters, in the record's order.
void gatherAudit(const StorageLibraryRequest& w, const Properties& p, const MMMountPath_t& row, MountPathShareWork& s) {
  auto add = [&s](int id) -> EvMessageContainer& {
    s.propertyAudit.emplace_back();
    s.propertyAudit.back().SetMessageID(id, true);
    return s.propertyAudit.back();
  };
  const int read = row.Attribute;
  add(kParamDeviceAndPath) << s.device.AliasName << w.secondMountPathName.c_str();
  if (p.writersChanged)
    add(kParamWriters) << row.MaxConcurrentWriters << static_cast<int>(p.normalizedWriters);
  if (p.reserveChanged) add(kParamReserve) << row.MagneticSpaceRsrvInMB << static_cast<int>(p.reserve);
  if ((read & kAttrPruning) != (p.attribute & kAttrPruning))
    add((p.attribute & kAttrPruning) != 0 ? kParamPruningOn : kParamPruningOff);
  if (p.dpChanged) add(p.dpSet ? kParamDpSettingsOn : kParamDpSettingsOff);
  if (p.credentialRan && p.association.audit == CredentialAssociationAudit::NewCredential)
    add(kParamCredentialNew) << p.credentialName.c_str();
  if (p.credentialRan && p.association.audit == CredentialAssociationAudit::ReplacedCredential)
    add(kParamCredentialReplaced) << p.association.oldName.c_str() << p.credentialName.c_str();
  if ((read & kAttrSiloReserve) != (p.attribute & kAttrSiloReserve))
    add((p.attribute & kAttrSiloReserve) != 0 ? kParamSiloOn : kParamSiloOff);
  if (p.enabledChanged) add(p.enable == 1 ? kParamEnabled : kParamDisabled);
  if (p.renamed) add(kParamRenamed) << s.device.AliasName << p.newDeviceName.c_str();
  if (p.preventChanged) add(p.prevent == 1 ? kParamPreventOn : kParamPreventOff);
}

}  // namespace

bool EvMMConfigMgr::StorageLibMountPathProperties(tkezconfig::StorageLibraryRequest& w,
                                                  tkezconfig::MountPathShareWork& s) {
  if (w.mountPathName.empty() || w.libraryName.empty() || w.mediaAgentName.empty()) {
    EvDebug::Error(kTag, "%s", "Library name and mediaAgent name and mountpath are empty, please pass proper input xml");
    refuse(w, kTextNamesMissing);
    return false;
  }
  Properties p;
  if (!associateCredential(w, p)) return false;
  p.writers = secondValue(w, Info::kMaxWriters, kWritersUnchanged);
  p.normalizedWriters = p.writers;
  p.reserve = secondValue(w, Info::kReservedSpaceMB, 0);
  if (p.reserve >= 1 && p.reserve <= kReserveLeast) p.reserve = kReserveLeast;
  p.pruning = secondValue(w, Info::kEnablePruning, kUnchanged);
  p.dpSettings = secondValue(w, Info::kUseDPSettingsForPruning, kUnchanged);
  p.siloReserve = secondValue(w, Info::kReserveSpaceForSiloRestores, kUnchanged);
  p.prevent = secondValue(w, Info::kPreventDataBlockReferences, kUnchanged);
  p.enable = secondValue(w, Info::kEnableMountPath, kUnchanged);

  MMMountPath_t row;
  {
    MMMountPathDB paths;
    if (paths.getInfo(w.mountPathId, row) != 0) {
      EvDebug::Error(kTag, "Failed to get mountPathInfo for mountPath [%s]", w.mountPathName.c_str());
      failTableAccess(w, paths);
      return false;
    }
  }
  p.attribute = row.Attribute;
  if (!setWritersAndReserve(w, p, row) || !settleAttributes(w, p, row) || !setEnabled(w, p, row)) return false;
  if (p.attribute != row.Attribute) {
    MMMountPathDB paths;
    if (paths.setAttribute(w.mountPathId, p.attribute) != 0) {
      EvDebug::Error(kTag, "Failed to set reserve space for silo restores attribute for mountpath [%s].",
                     w.mountPathName.c_str());
      failTableAccess(w, paths);
      return false;
    }
  }
  controlPruning(w, p, row);
  if (!renameDevice(w, p, s)) return false;
  gatherAudit(w, p, row, s);
  return true;
}
