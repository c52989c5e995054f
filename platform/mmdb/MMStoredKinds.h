// The registry of stored kinds: one row per kind of configuration object
// that the object model keeps in the central database, saying where its
// rows are, how they are keyed and named, whether the change log marks
// them born, where its configured state is kept, which columns a change
// may set and how an object of it is removed. The table access, the change
// log's triggers, the loads and re-reads, the removal and the clean-up of
// the model's own settings all go by it, so that a kind is registered
// whole or not at all.
//
//   const MMStoredKindRow& row = storedKind(MMStoredKind::DrivePool);
//   for (const MMStoredKindRow& row : storedKinds()) ...  // in number order
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tkdb {
class Session;
}

// The kinds. The numbers are written to files (the kind of the model's own
// settings, MMObjectSetting, and of the configuration change log) and never
// change; a new kind takes the next number.
enum class MMStoredKind {
  MediaAgent = 0,         // APP_Client (name) and MMHost (settings)
  Library = 1,            // MMLibrary, tape and disk libraries
  LibraryController = 2,  // MMLibraryController
  MasterPool = 3,         // MMMasterPool
  DrivePool = 4,          // MMDrivePool
  Drive = 5,              // MMDrive
  DrivePath = 6,          // MMDrivePath
  MountPath = 7,          // MMMountPath
  Device = 8,             // MMDevice
  DeviceController = 9,   // MMDeviceController (a disk volume)
  CopyManager = 10,       // MMCopyManager: a copy-manager device with its one controller
};
inline constexpr int kStoredKinds = 11;
// DRU hosts and archive clusters are stored too, but they are no kinds of
// the registry: they are no part of the stored configuration (no request
// configures, enables or names them through it, and the model keeps no
// settings of theirs), their removal asks the model, not the rows, what
// still uses them, and their rows are read whole beside the configuration
// and laid by a re-read of their own (ZQMACGraph::MergeStoredRows). The
// change log names them by numbers of their own (kLoggedDRUHosts,
// kLoggedArchiveClusters in MMConfigChangeLog.h), written to every
// database's log since before this registry: numbers no kind here may take.

// A column a change of the kind may set.
struct MMSettableColumn {
  std::string column;
  size_t textWidth;  // 0: an integer column
};

// One step of a removal, in the removal's transaction; `sql` takes the
// object's id as its one parameter (? or ?1).
struct MMRemovalStep {
  enum What {
    Run,          // runs the statement
    RefuseWhile,  // refuses the removal while the statement finds a row
    RefuseNaming, // the same, naming what each row found names (its first column)
    Rows,         // a removal of its own (`rows`), which finds the object's rows itself
  };
  What what;
  const char* sql;              // Run and the refusals
  const char* refusal;          // the refusals' text
  int (*rows)(tkdb::Session& session, int id);  // Rows
};

// An object type of the model (ZQMACObjectType) whose objects belong to a
// kind, and what they are to it. Most types are the kind's objects
// themselves: laid from its rows, each row one object. The others are said
// here so that the loads, the re-read, the removal and the writers all
// treat them alike.
struct MMKindObject {
  unsigned int type;
  // A change of the object is stored in the kind's rows (false: a part of
  // another object, which stores nothing of its own).
  bool stored = true;
  // A row of the kind is this object: the re-read frees it when a row is
  // born again under its id (false: a part, which goes with its whole).
  bool ownRow = true;
  // The lay-over rebuilds every link the object holds; false: it is told
  // of the objects that go, as an object of no stored kind is.
  bool linksRebuilt = true;
};

struct MMStoredKindRow {
  MMStoredKind kind = MMStoredKind::MediaAgent;
  // The model's object types of the kind.
  std::vector<MMKindObject> objects{};
  const char* what = nullptr;   // for texts: "library", ...
  const char* table = nullptr;  // a row per object: its settings and configured state
  const char* key = nullptr;    // the id column of `table`
  const char* nameTable = nullptr;  // where its name lives (the client table for media agents)
  const char* nameKey = nullptr;    // the id column of `nameTable`
  const char* nameColumn = nullptr;
  size_t nameWidth = 0;
  // Whether the change log marks each row inserted, or moved to another
  // id, as born: a reader then tells a row made again under an id from the
  // object it kept for that id.
  bool born = false;
  // Its configured state: a column of `table`, or a setting of the model's
  // own (MMObjectSetting, "1" or "0"); both null: it has none.
  const char* enabledColumn = nullptr;
  const char* stateSetting = nullptr;
  // Names must be new: among all rows (scope null) or among the rows with
  // the same value in `uniqueScope`; `unique` false: no check.
  bool unique = false;
  const char* uniqueScope = nullptr;
  std::vector<MMSettableColumn> settable{};
  // How an object is removed: the steps in order, what depends on it first.
  std::vector<MMRemovalStep> removal{};
};

// Every kind, in number order (the row of kind k is the k-th).
const std::vector<MMStoredKindRow>& storedKinds();
const MMStoredKindRow& storedKind(MMStoredKind kind);
// The kind of a number written to a file; false for no kind.
bool storedKindOfNumber(int number, MMStoredKind& kind);

// The kind an object of the model's type (ZQMACObjectType) belongs to, and
// what objects of the type are to it (the kind's row lists them); null for
// a type of no stored kind.
const MMKindObject* storedKindOfType(unsigned int type, MMStoredKind& kind);

// Stores one of the model's own settings (MMObjectSetting): kind, object
// id, name and value, in this order.
inline constexpr const char* kMMObjectSettingUpsert =
    "INSERT INTO \"MMObjectSetting\" (\"Kind\", \"ObjectId\", \"Name\", \"Value\") VALUES (?, ?, ?, ?) "
    "ON CONFLICT (\"Kind\", \"ObjectId\", \"Name\") DO UPDATE SET \"Value\" = excluded.\"Value\"";
