// Changing a library: operation 32 of the storage-library request. The
// first description names the library (and, in tag 90, the media agent whose
// controller should be the active one); the second carries the changes:
// name, watermarks, managed-disk-space thresholds, behaviour bits of the
// extended attributes, the writer limit of the master pool, the hybrid-cloud
// pairing. Every check comes before the one update of the library row; the
// writer limit, the pairing and the controller switch follow it, all in one
// change with it (OperationChange: a failure there answers failure and
// keeps none of them). The audit record lists what changed, and is written
// only when something did.
//
// An absent field changes nothing. The new name reaches the database only
// as a quoted engine argument.
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "Db/Tbl/MMLibrary.h"
#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "platform/db/DBtable.h"
#include "platform/db/TextWidth.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDriveDB.h"
#include "platform/mmdb/MMLibraryControllerDB.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibModifyLibrary";

// Catalogue texts.
constexpr unsigned long kTextInvalidProperty = 0x23000921;
constexpr unsigned long kTextInvalidUsePnp = 0x23000A08;
constexpr unsigned long kTextInvalidPreventDelete = 0x23000AAF;
constexpr unsigned long kTextInvalidMaintenance = 0x23000D4F;
constexpr unsigned long kTextInvalidThresholds = 0x23000A05;
constexpr unsigned long kTextInvalidUsage = 0x23000917;
constexpr unsigned long kTextSeveralMasterPools = 0x23000920;

// Library types.
constexpr int kDiskLibrary = 3;
constexpr int kPnpLibrary = 4;

// Bits of ExtendedAttributes.
constexpr int kBitFillMountPaths = 0x1;
constexpr int kBitMaintenance = 0x200;
constexpr int kBitUsePnp = 0x2000;
constexpr int kBitPreventDelete = 0x40000;
constexpr int kBitSpillAndFill = 0x400000;
constexpr int kBit24 = 0x1000000;
constexpr int kBit25 = 0x2000000;

// Values of a field that leave a property as it is.
constexpr int kTriStateKeep = 2;
constexpr int kKeep = -1;
constexpr int kMaxWatermark = 100;
constexpr int kMaxWriters = 1000;

// The audit record and its parameters.
constexpr int kAuditLibraryChanged = 0x5400006A;
constexpr int kParamLibrary = 0x550000BF;
constexpr int kParamNewName = 0x55000011;
constexpr int kParamLowWatermark = 0x5500046E;
constexpr int kParamWarningWatermark = 0x5500046F;
constexpr int kParamWriters = 0x55000470;
constexpr int kParamFillMountPaths = 0x55000471;
constexpr int kParamBitSet = 0x55000474;
constexpr int kParamBitClear = 0x55000475;
constexpr int kParamSpillOn = 0x550004E6;
constexpr int kParamSpillOff = 0x550004E7;
constexpr int kParamBit24On = 0x55000587;
constexpr int kParamBit24Off = 0x55000588;
constexpr int kParamBit25On = 0x550005A7;
constexpr int kParamBit25Off = 0x550005A6;
constexpr int kParamPreventOn = 0x550004C5;
constexpr int kParamPreventOff = 0x550004C6;
constexpr int kParamMaintenanceOn = 0x5500017E;
constexpr int kParamMaintenanceOff = 0x5500017F;
constexpr int kParamHighThreshold = 0x550004C7;
constexpr int kParamLowThreshold = 0x550004C8;
constexpr int kParamUsePnpOn = 0x550004C9;
constexpr int kParamUsePnpOff = 0x550004CA;

constexpr std::size_t kErrorTextSize = 1025;

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Info = EVGui::StorageLibraryInfo;
using Pairing = EVGui::HybridCloudPairing;
using Client = ZqEntities::ClientEntity;
using CloudLibrary = ZqEntities::LibraryEntity;

const StorageLibResult kFailure{StorageLibOutcome::kFailure, false};

// A number of a message, narrowed to 32 bits without wrapping; `absent`
// when the message does not carry the field.
int number(const CNMessageBase& msg, unsigned classHash, const tkxml::FieldDef& field, int absent = 0) {
  if (!msg.isSet(field.ordinal, classHash, field.hash)) return absent;
  const long long value = msg.getint64(field.tag, classHash, field.hash);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN + 1LL, INT_MAX));
}

// The requested changes (second description).
struct Changes {
  std::string name;
  int writers = 0;
  int lowWatermark = 0;
  int warningWatermark = 0;
  int usage = 0;
  int preventDelete = kTriStateKeep;
  int usePnp = kTriStateKeep;
  int highThreshold = 0;
  int lowThreshold = 0;
  int spill = kKeep;
  int bit24 = kKeep;
  int bit25 = kKeep;
  int maintenance = kTriStateKeep;
  int pairing = kKeep;
  int cloudLibraryId = 0;
};

Changes readChanges(CNMessageBase& second) {
  const unsigned h = Info::kClassHash;
  Changes c;
  std::string name = second.getstring(Info::kLibraryName.ordinal, Info::kLibraryName.tag, h, Info::kLibraryName.hash);
  c.name = MyUTF8Text(name);
  c.writers = number(second, h, Info::kLibraryWriters);
  if (c.writers > kMaxWriters) c.writers = kMaxWriters;
  c.lowWatermark = std::min(number(second, h, Info::kLowWatermark), kMaxWatermark);
  c.warningWatermark = std::min(number(second, h, Info::kWarningWatermark), kMaxWatermark);
  c.usage = number(second, h, Info::kMountPathUsage);
  c.preventDelete = number(second, h, Info::kPreventDataDelete, kTriStateKeep);
  c.usePnp = number(second, h, Info::kUsePnpWhenBlank, kTriStateKeep);
  c.highThreshold = number(second, h, Info::kHighThreshold);
  c.lowThreshold = number(second, h, Info::kLowThreshold);
  c.spill = number(second, h, Info::kFillMountPathsBit, kKeep);
  c.bit24 = number(second, h, Info::kLibraryBit24, kKeep);
  c.bit25 = number(second, h, Info::kLibraryBit25, kKeep);
  c.maintenance = number(second, h, Info::kMarkForMaintenance, kTriStateKeep);
  const tkxml::FieldDef p = Info::kHybridCloudPairing;
  if (second.isSet(p.ordinal, h, p.hash)) {
    CNMessageBase& pairing = second.getObjectAccessor(true, false, p.ordinal, p.tag, h, p.hash, p.ns, p.cls);
    c.pairing = number(pairing, Pairing::kClassHash, Pairing::kPairing, kKeep);
    const tkxml::FieldDef l = Pairing::kCloudLibrary;
    const CNMessageBase& cloud =
        pairing.getObjectAccessor(true, false, l.ordinal, l.tag, Pairing::kClassHash, l.hash, l.ns, l.cls);
    c.cloudLibraryId = number(cloud, CloudLibrary::kClassHash, CloudLibrary::kId);
  }
  return c;
}

class Modification {
 public:
  explicit Modification(StorageLibraryRequest& w) : w_(w), c_(readChanges(*w.second)) {}
  StorageLibResult run();

 private:
  template <class... Args>
  bool refuse(unsigned long id, const char* log, const Args&... arguments) {
    EvDebug::Error(kTag, "%s", log);
    char buffer[1024];
    EvGetLocText(id, buffer, sizeof buffer, w_.locale, arguments...);
    w_.fail(buffer);
    return false;
  }
  // The answer for a failed table call: the text of its code.
  void failWithCode(int code) {
    char text[kErrorTextSize];
    ErrorTrans::getErrorString(code, text, sizeof text, w_.locale);
    w_.fail(text[0] != '\0' ? std::string(text) : "Error code " + std::to_string(code) + ".");
  }
  bool checkProperties() const;
  bool applyTriStates();
  bool applyThresholds();
  bool applyUsageAndBits();
  bool writeRow();
  bool setWriters();
  bool setPairing();
  bool switchController();
  void audit();
  void addParam(int messageId, std::initializer_list<int> numbers = {}, const std::string* text = nullptr);

  StorageLibraryRequest& w_;
  Changes c_;
  MMLibrary_t row_;
  // What the row held before.
  int oldAttributes_ = 0;
  int oldLowWatermark_ = 0;
  int oldWarning_ = 0;
  int oldPercentage_ = 0;
  int oldVariation_ = 0;
  bool thresholdsChanged_ = false;
  int oldWriters_ = 0;
  EvGuiAudit& record() { return w_.audit; }
};

// Step 3 (and the name's length, before anything is written).
bool Modification::checkProperties() const {
  const int type = row_.LibraryTypeId;
  const int values[] = {c_.lowWatermark, c_.warningWatermark, c_.usage, c_.highThreshold, c_.lowThreshold};
  bool valid = true;
  if (type != kDiskLibrary) {
    for (int v : values) valid = valid && v == 0;
    valid = valid && c_.writers == 0;
  } else {
    for (int v : values) valid = valid && v >= 0;
    valid = valid && c_.writers >= -1;  // -1: no limit
  }
  if ((c_.usePnp == 0 || c_.usePnp == 1) && type != kPnpLibrary) valid = false;
  if (c_.name.size() > MMLibrary_t::kAliasNameMax) valid = false;
  return valid;
}

// Steps 4 to 6.
bool Modification::applyTriStates() {
  struct TriState {
    int value;
    int bit;
    unsigned long text;
    const char* log;
  };
  const TriState states[] = {
      {c_.usePnp, kBitUsePnp, kTextInvalidUsePnp,
       "Received invalid usePnpWhenBlank option, please pass correct input."},
      {c_.preventDelete, kBitPreventDelete, kTextInvalidPreventDelete,
       "Received invalid preventDataDelFromMntPth option, please pass correct input."},
      {c_.maintenance, kBitMaintenance, kTextInvalidMaintenance,
       "Received invalid markLibForMaintenance option, please pass correct input."},
  };
  for (const TriState& s : states) {
    if (s.value != 0 && s.value != 1 && s.value != kTriStateKeep) return refuse(s.text, s.log);
    if (s.value == 1) row_.ExtendedAttributes |= s.bit;
    if (s.value == 0) row_.ExtendedAttributes &= ~s.bit;
  }
  return true;
}

// Step 7.
bool Modification::applyThresholds() {
  const int high = c_.highThreshold;
  const int low = c_.lowThreshold;
  if ((high > 0 && (high < 10 || high > 100)) || (low > 0 && (low < 5 || low > 100)) ||
      (high > 0 && low > 0 && low >= high))
    return refuse(kTextInvalidThresholds, "Invalid parameters for - Threshold for managed disk space.");
  if (high > 0 && low > 0) {
    row_.ThresholdPercentage = high;
    row_.ThresholdVariation = high - low;
  } else if (high > 0 && high != row_.ThresholdPercentage) {
    const int currentLow = row_.ThresholdPercentage - row_.ThresholdVariation;
    if (high - currentLow > 0) {
      row_.ThresholdVariation = high - currentLow;
      row_.ThresholdPercentage = high;
    }
  } else if (low > 0 && row_.ThresholdPercentage - low > 0) {
    row_.ThresholdVariation = row_.ThresholdPercentage - low;
  }
  thresholdsChanged_ = row_.ThresholdPercentage != oldPercentage_ || row_.ThresholdVariation != oldVariation_;
  return true;
}

// Steps 9 to 12.
bool Modification::applyUsageAndBits() {
  if (c_.lowWatermark > 0) {
    const int ceiling = c_.warningWatermark > 0 ? c_.warningWatermark : row_.WarningWaterMark;
    row_.LowWaterMarkMB = std::min(c_.lowWatermark, ceiling);
  }
  if (c_.warningWatermark > 0) row_.WarningWaterMark = c_.warningWatermark;

  if (c_.usage == 1) {
    row_.ExtendedAttributes |= kBitFillMountPaths;
  } else if (c_.usage == 2) {
    row_.ExtendedAttributes &= ~(kBitFillMountPaths | kBitSpillAndFill);
  } else if (c_.usage > 0) {
    return refuse(kTextInvalidUsage, "Received wrong mountPath usage option, please pass correct input");
  }
  if (!c_.name.empty()) row_.setAliasName(c_.name.c_str());  // its length was checked

  if (c_.spill == 1 && (row_.ExtendedAttributes & kBitFillMountPaths) != 0) row_.ExtendedAttributes |= kBitSpillAndFill;
  if (c_.spill == 0) row_.ExtendedAttributes &= ~kBitSpillAndFill;
  for (auto [value, bit] : {std::pair{c_.bit24, kBit24}, std::pair{c_.bit25, kBit25}}) {
    if (value == 1) row_.ExtendedAttributes |= bit;
    if (value == 0) row_.ExtendedAttributes &= ~bit;
  }
  return true;
}

// Step 13. A new name is one no other library answers to, asked in the
// change's transaction so that no other request takes it in between.
bool Modification::writeRow() {
  if (!c_.name.empty()) {
    MMLibraryDB libraries;
    if (libraries.checkNameFree(c_.name.c_str(), row_.LibraryId) != 0) {
      EvDebug::Error(kTag, "The new name [%s] of library [%s] is refused", c_.name.c_str(), w_.libraryName.c_str());
      if (libraries.getErrorCode() == MMS2_ERROR_DUPLICATE_NAME)
        w_.fail(libraries.lastErrorText());
      else
        failWithCode(libraries.getErrorCode());
      return false;
    }
  }
  MMLibrary table(nullptr);
  table.setWhere("LibraryId = %d", row_.LibraryId);
  const int rc = table.rowUpdate(
      "LowWaterMarkMB = %d, WarningWaterMark = %d, ThresholdPercentage = %d, ThresholdVariation = %d, "
      "ExtendedAttributes = %d, AliasName = '%s'",
      row_.LowWaterMarkMB, row_.WarningWaterMark, row_.ThresholdPercentage, row_.ThresholdVariation,
      row_.ExtendedAttributes, row_.AliasName);
  if (rc == 0) return true;
  const char* error = DBtable::getErrorStr(rc);
  EvDebug::Error(kTag, "Failed to update library info for library [%s]. Error Code [%s]", w_.libraryName.c_str(),
                 error);
  w_.fail(error);
  return false;
}

// Step 14.
bool Modification::setWriters() {
  if (c_.writers == 0) return true;
  MMMasterPoolDB masters;
  MMMasterPool_t* rows = nullptr;
  int count = 0;
  if (masters.getList(row_.LibraryId, rows, count) != 0) {
    EvDebug::Error(kTag, "Failed to get master pool list for library [%s]", w_.libraryName.c_str());
    failWithCode(masters.getErrorCode());
    return false;
  }
  struct ListGuard {
    MMMasterPool_t*& rows;
    ~ListGuard() {
      if (rows != nullptr) MMMasterPoolDB::DeleteList(rows, __FILE__, __LINE__);
    }
  } guard{rows};
  if (count > 1) {
    EvDebug::Error(kTag, "Disk library [%s] has more than one master pool", w_.libraryName.c_str());
    char text[1024];
    EvGetLocText(kTextSeveralMasterPools, text, sizeof text, w_.locale);
    w_.fail(text);
    return false;
  }
  if (count < 1 || rows == nullptr) {
    EvDebug::Error(kTag, "Disk library [%s] has no master pool", w_.libraryName.c_str());
    w_.fail("Library [" + w_.libraryName + "] has no master pool to set the number of writers on.");
    return false;
  }
  oldWriters_ = rows[0].MaxDrivesToSwitch;
  if (masters.setMaxSwitchForHost(rows[0].MasterPoolId, c_.writers) != 0) {
    EvDebug::Error(kTag, "Failed to set numOfWriters for for library [%s]", w_.libraryName.c_str());
    failWithCode(masters.getErrorCode());
    return false;
  }
  return true;
}

// Step 15.
bool Modification::setPairing() {
  if (c_.pairing != 0 && c_.pairing != 1) return true;
  ZQMMDBLibInfo libraries(1);
  if (libraries.setHybridCloudLib(row_.LibraryId, c_.cloudLibraryId, c_.pairing,
                                  static_cast<unsigned int>(w_.record.userId)) == 0)
    return true;
  EvDebug::Error(kTag, "Unable to complete hybrid cloud library operation for library [%s]", row_.AliasName);
  int code = 0;
  libraries.GetErrorCode(code);
  failWithCode(code);
  return false;
}

// Step 16.
bool Modification::switchController() {
  CNMessageBase& first = *w_.library;
  const tkxml::FieldDef f = Info::kActiveControllerAgent;
  if (!first.isSet(f.ordinal, Info::kClassHash, f.hash)) return true;
  const CNMessageBase& agent = first.getObjectAccessor(true, false, f.ordinal, f.tag, Info::kClassHash, f.hash, f.ns, f.cls);
  const int hostId = number(agent, Client::kClassHash, Client::kId);
  if (hostId == 0) return true;
  std::string agentName = agent.getstring(Client::kClientName.ordinal, Client::kClientName.tag, Client::kClassHash,
                                          Client::kClientName.hash);
  agentName = MyUTF8Text(agentName);

  MMLibraryControllerDB controllers;
  MMLibraryController_t requested;
  if (controllers.getInfoByHostAndLibraryId(hostId, row_.LibraryId, requested) != 0) {
    EvDebug::Error(kTag, "Failed to get library controller for library [%s] and media agent[%s]",
                   w_.libraryName.c_str(), agentName.c_str());
    failWithCode(controllers.getErrorCode());
    return false;
  }
  MMLibraryController_t active;
  if (controllers.getInfoForActiveCtrl(row_.LibraryId, active) != 0 &&
      controllers.getErrorCode() != MMS2_ERROR_NO_ACTIVE_CONTROLLER) {
    EvDebug::Error(kTag, "Failed to get current library controller for library [%s]", w_.libraryName.c_str());
    failWithCode(controllers.getErrorCode());
    return false;
  }
  const int requestedId = requested.LibraryControllerId;
  if (requestedId == 0 || requestedId == active.LibraryControllerId) return true;
  ZQMMlcpInfo control(1);
  if (control.switchControl(active.LibraryControllerId, requestedId) == 0) return true;
  EvDebug::Error(kTag, "Failed to set active library controller for library [%s] and media agent[%s]",
                 w_.libraryName.c_str(), agentName.c_str());
  int code = 0;
  control.GetErrorCode(code);
  failWithCode(code);
  return false;
}

void Modification::addParam(int messageId, std::initializer_list<int> numbers, const std::string* text) {
  EvMessageContainer message;
  message.SetMessageID(messageId, true);
  if (text != nullptr) message << text->c_str();
  for (int n : numbers) message << n;
  record().addGUIAuditParam(message, 0, 0, nullptr, nullptr);
}

// Step 17: one parameter per change, in this order.
void Modification::audit() {
  const int now = row_.ExtendedAttributes;
  auto changed = [&](int bit) { return (oldAttributes_ & bit) != (now & bit); };
  auto isSet = [&](int bit) { return (now & bit) != 0; };
  record().setGUIAuditOperation(kAuditLibraryChanged, static_cast<int>(w_.record.userId));
  addParam(kParamLibrary, {}, &w_.libraryName);
  if (!c_.name.empty()) addParam(kParamNewName, {}, &c_.name);
  if (c_.lowWatermark > 0 && row_.LowWaterMarkMB != oldLowWatermark_)
    addParam(kParamLowWatermark, {oldLowWatermark_, row_.LowWaterMarkMB});
  if (c_.warningWatermark > 0 && row_.WarningWaterMark != oldWarning_)
    addParam(kParamWarningWatermark, {oldWarning_, row_.WarningWaterMark});
  if (c_.writers != 0 && c_.writers != oldWriters_) addParam(kParamWriters, {oldWriters_, c_.writers});
  if (changed(kBitFillMountPaths))
    addParam(kParamFillMountPaths, {(oldAttributes_ & kBitFillMountPaths) != 0 ? kParamBitSet : kParamBitClear,
                                    isSet(kBitFillMountPaths) ? kParamBitSet : kParamBitClear});
  if (changed(kBitSpillAndFill)) addParam(isSet(kBitSpillAndFill) ? kParamSpillOn : kParamSpillOff);
  if (changed(kBit24)) addParam(isSet(kBit24) ? kParamBit24On : kParamBit24Off);
  if (changed(kBit25)) addParam(isSet(kBit25) ? kParamBit25On : kParamBit25Off);
  if ((c_.preventDelete == 0 || c_.preventDelete == 1) && changed(kBitPreventDelete))
    addParam(c_.preventDelete == 1 ? kParamPreventOn : kParamPreventOff);
  if ((c_.maintenance == 0 || c_.maintenance == 1) && changed(kBitMaintenance))
    addParam(c_.maintenance == 1 ? kParamMaintenanceOn : kParamMaintenanceOff);
  if (thresholdsChanged_ && row_.ThresholdPercentage != oldPercentage_)
    addParam(kParamHighThreshold, {oldPercentage_, row_.ThresholdPercentage});
  if (thresholdsChanged_ && row_.ThresholdVariation != oldVariation_)
    addParam(kParamLowThreshold,
             {oldPercentage_ - oldVariation_, row_.ThresholdPercentage - row_.ThresholdVariation});
  if ((c_.usePnp == 0 || c_.usePnp == 1) && changed(kBitUsePnp))
    addParam(c_.usePnp == 1 ? kParamUsePnpOn : kParamUsePnpOff);
  if (record().numParam() > 1) record().guiAudit(0);
}

StorageLibResult Modification::run() {
  // The library by its name; of two spelled so, the one of the id given
  // beside it (which the preparation found to agree with the name).
  MMLibraryDB libraries;
  if (libraries.getInfoByAliasName(w_.libraryName.c_str(), row_, nullptr, {w_.libraryId}) != 0) {
    EvDebug::Error(kTag, "Failed to get library info for library [%s]. Error Code [%d]", w_.libraryName.c_str(),
                   libraries.getErrorCode());
    // A name that libraries answer to only in other letter cases: the
    // lookup's refusal names them.
    if (libraries.getErrorCode() == MMS2_ERROR_DUPLICATE_NAME)
      w_.fail(libraries.lastErrorText());
    else
      failWithCode(libraries.getErrorCode());
    return kFailure;
  }
  oldAttributes_ = row_.ExtendedAttributes;
  oldLowWatermark_ = row_.LowWaterMarkMB;
  oldWarning_ = row_.WarningWaterMark;
  oldPercentage_ = row_.ThresholdPercentage;
  oldVariation_ = row_.ThresholdVariation;
  // A new name is stored whole or refused naming the limit.
  if (!tkdb::fitsWhole(c_.name, MMLibrary_t::kAliasNameMax)) {
    EvDebug::Error(kTag, "The new name of library [%s] is longer than %zu bytes.", w_.libraryName.c_str(),
                   MMLibrary_t::kAliasNameMax);
    w_.fail(tkdb::notWhole("library name", c_.name, MMLibrary_t::kAliasNameMax));
    return kFailure;
  }
  if (!checkProperties()) {
    refuse(kTextInvalidProperty, "Invalid property input for this library.");
    return kFailure;
  }
  tkezconfig::OperationChange change(w_, kTag);
  if (!change.begin()) return kFailure;
  if (!applyTriStates() || !applyThresholds() || !applyUsageAndBits() || !writeRow() || !setWriters() ||
      !setPairing() || !switchController() || !change.commit())
    return kFailure;
  audit();
  return StorageLibResult{};
}

}  // namespace

StorageLibResult EvMMConfigMgr::StorageLibModifyLibrary(StorageLibraryRequest& w) {
  Modification modification(w);
  return modification.run();
}
