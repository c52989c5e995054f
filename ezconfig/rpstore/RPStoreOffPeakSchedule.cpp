// The off-peak schedule of a replication store: the windows in which its
// pruning may run travel as an EVGui::IntervalWindow in the store part and
// are kept as the store property "OffPeak Schedule", whose value is the
// window's serialised text. Written inside the caller's transaction, so a
// roll-back of the store takes the schedule with it.
#include <string>

#include "ezconfig/rpstore/RPStoreRequest.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/errors/FXErrorUtil.h"
#include "platform/mmdb/MMMiscDB.h"
#include "platform/xml/RPStoreMessages.h"

namespace {

constexpr const char* kTag = "WriteRpStoreOffPeakScheduleInfo";
constexpr const char* kProperty = "OffPeak Schedule";
// Error numbers of the schedule.
constexpr int kErrorNotSerialised = 71;
constexpr int kErrorNotSaved = 5;

}  // namespace

namespace tkezconfig {

CWyError WriteRpStoreOffPeakScheduleInfo(EVGui::RPStoreLibraryInfo& store, int rpStoreId, DBtran& tran) {
  using Store = EVGui::RPStoreLibraryInfo;
  constexpr tkxml::FieldDef kWindow = Store::kOffPeakSchedule;
  const CNMessageBase& window = store.getObjectAccessor(true, false, kWindow.ordinal, kWindow.tag, Store::kClassHash,
                                                        kWindow.hash, kWindow.ns, kWindow.cls);
  std::string text;
  const int serialised = window.serialize(text, false);
  if (serialised != 0) {
    return FXErrorUtil::ErrorInt(FX_CODE_LOCATION, kErrorNotSerialised,
                                 "Unable to serialize off peak pruning Window information from RP store id [%d], "
                                 "Code [%u]",
                                 rpStoreId, static_cast<unsigned>(serialised));
  }
  // No window: nothing is stored, so an update keeps the schedule it had.
  const std::string value = FXString::ToString(text);
  if (value.empty()) return CWyError::Success();
  MMMiscDB misc;
  if (misc.setRPStoreProp(rpStoreId, kProperty, value.c_str(), &tran) != 0) {
    return FXErrorUtil::ErrorInt(FX_CODE_LOCATION, kErrorNotSaved,
                                 "Unable to save the rp store property [%s], RP store ID [%d], Code [%u]", kProperty,
                                 rpStoreId, static_cast<unsigned>(misc.getErrorCode()));
  }
  EvDebug::DebugLvl(2, kTag, "Save off peak schedule [%s] for RP store id [%d]", value.c_str(), rpStoreId);
  return CWyError::Success();
}

}  // namespace tkezconfig
