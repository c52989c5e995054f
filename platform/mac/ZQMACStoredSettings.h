// What the object model stores of a configuration object beyond its name
// and configured state: one declaration per stored value (the rows of
// ZQMACGraph::StoredSettingRows in ZQMACStoredSettings.cpp, which
// storedSettingRows gives), which the writers, the load and the re-read,
// and the clean-up after a removal all go by.
//
// A declaration names the kind of object, the value's name and the member
// it restores. Most values are the model's own settings (table
// MMObjectSetting: no column of the object's table holds them); some are
// columns of the object's own table, declared here so that a setter's
// change reaches them the same way.
//
// A setter marks the member it changed (ZQMACBase::MarkChanged);
// storeChanges writes every marked member of the object in one step, which
// joins the thread's open transaction (a request's steps stored together),
// and forgets the marks once they are written. An object not stored yet
// keeps its marks until it is (a new controller's library, a library
// configured before it was ever stored).
//
// Adding a stored value: a member of the object, a setter that marks it,
// and a row in ZQMACGraph::StoredSettingRows. Nothing else lists it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACBase.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmac {

// The names of the settings (the Name column). They are written to files
// with the kind's number (MMStoredKind) and never change.
namespace setting {
inline constexpr const char* kDoorLock = "DoorLock";
inline constexpr const char* kVolumeRange = "VolumeRange";
inline constexpr const char* kAutoConfigDDS = "AutoConfigDDS";
inline constexpr const char* kAutoConfigFailover = "AutoConfigFailover";
inline constexpr const char* kUseACSLSCleanPool = "UseACSLSCleanPool";
inline constexpr const char* kUseIPDriveID = "UseIPDriveID";
inline constexpr const char* kAutoDiscover = "AutoDiscover";
inline constexpr const char* kAutoDiscoverMediaType = "AutoDiscoverMediaType";
inline constexpr const char* kDeviceValue = "DeviceValue";
inline constexpr const char* kDeviceTextC = "DeviceTextC";
inline constexpr const char* kShown = "Shown";
inline constexpr const char* kIPController = "IPController";
inline constexpr const char* kServerHost = "ServerHost";
inline constexpr const char* kDriveIdString = "DriveIdString";
inline constexpr const char* kAccessPath = "AccessPath";
inline constexpr const char* kScsiAddress = "ScsiAddress";
inline constexpr const char* kControllerType = "ControllerType";
inline constexpr const char* kControllerText = "ControllerText";
inline constexpr const char* kRemoteFileHost = "RemoteFileHost";
inline constexpr const char* kRemoteHostVolume = "RemoteHostVolume";
inline constexpr const char* kRemoteHostUserName = "RemoteHostUserName";
inline constexpr const char* kRemoteHostPassword = "RemoteHostPassword";
inline constexpr const char* kGuidType = "GuidType";
inline constexpr const char* kVaultLock = "VaultLock";
inline constexpr const char* kDescription = "Description";
inline constexpr const char* kDisplayDescription = "DisplayDescription";
}  // namespace setting

// (name, value) pairs of one object.
using SettingValues = std::vector<std::pair<std::string, std::string>>;

// The kind of stored object an object of the model is (its table), or
// false for objects the database does not hold, nor a part that stores
// nothing of its own: as the registry of stored kinds lists the model's
// object types (storedKindOfType, MMStoredKinds.h).
bool storedKindOf(const ZQMACInterface& object, MMStoredKind& kind);

// Where a declared value is kept.
enum class StoredIn { Setting, Column };

// How a declared member reads and writes as stored text.
enum class StoredType {
  Flag,      // bool, "1" or "0"
  Number,    // int
  Unsigned,  // unsigned int
  Text,      // std::string
  Password,  // std::string in plain text: stored as the password service
             // prepares it, only when one was given, never laid back
  Marker,    // no member: "1" written with a new object of the class the
             // load makes from it
};

// Where an object keeps a declared member: the object whose marks count
// for it (a library's part may hold what the library stores) and the
// member's address; both null when the object has no such member.
struct StoredMember {
  ZQMACBase* holder = nullptr;
  void* address = nullptr;
};

struct StoredSettingRow {
  MMStoredKind kind;
  const char* name;  // the setting's name, or the column of the kind's table
  StoredIn in;
  StoredType type;
  StoredMember (*member)(ZQMACInterface& object);
};

// Every declared value, each kind's rows together.
const std::vector<StoredSettingRow>& storedSettingRows();
// The row of a kind's value of that name, or null.
const StoredSettingRow* findStoredSetting(MMStoredKind kind, const std::string& name);

// Writes every marked member of the object (and its library part's, for a
// library) in one step that joins the thread's open transaction, and
// forgets the marks. True without writing for an object that is not stored
// in a database-backed instance (it keeps its marks); false, with the
// reason as the object's last error, when nothing was written.
bool storeChanges(ZQMACInterface& object);

// What the session holds of stored objects before a request's steps change
// them: each object's name and every value it stores (its declared
// settings and columns, passwords and markers aside). giveBack lays them
// back, newest last taken first, and forgets their marks: for steps whose
// writes the store did not keep (a commit that failed), so that the
// session shows what the store holds. The objects must outlive the state.
class SessionState {
 public:
  void take(ZQMACInterface* object);
  void giveBack();

 private:
  struct Value {
    const StoredSettingRow* row;
    StoredMember member;
    std::string text;
  };
  struct Taken {
    ZQMACInterface* object;
    std::string name;
    std::vector<Value> values;
  };
  std::vector<Taken> m_taken;
};

// A setter's change that is stored at once: sets the member (which
// `holder` keeps), marks it and stores the object's changes. When nothing
// was written the member keeps its value (false, the reason as the
// object's last error).
template <class T, class V>
bool setStored(ZQMACInterface& object, ZQMACBase& holder, T& member, V&& value) {
  T old = std::move(member);
  member = std::forward<V>(value);
  holder.MarkChanged(&member);
  if (storeChanges(object)) return true;
  member = std::move(old);
  holder.ForgetChanged(&member);
  return false;
}

}  // namespace tkmac
