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

struct MMStoredKindRow {
  MMStoredKind kind;
  const char* what;   // for texts: "library", ...
  const char* table;  // a row per object: its settings and configured state
  const char* key;    // the id column of `table`
  const char* nameTable;  // where its name lives (the client table for media agents)
  const char* nameKey;    // the id column of `nameTable`
  const char* nameColumn;
  size_t nameWidth;
  // Whether the change log marks each row inserted, or moved to another
  // id, as born: a reader then tells a row made again under an id from the
  // object it kept for that id.
  bool born;
  // Its configured state: a column of `table`, or a setting of the model's
  // own (MMObjectSetting, "1" or "0"); both null: it has none.
  const char* enabledColumn;
  const char* stateSetting;
  // Names must be new: among all rows (scope null) or among the rows with
  // the same value in `uniqueScope`; `unique` false: no check.
  bool unique;
  const char* uniqueScope;
  std::vector<MMSettableColumn> settable;
  // How an object is removed: the steps in order, what depends on it first.
  std::vector<MMRemovalStep> removal;
};

// Every kind, in number order (the row of kind k is the k-th).
const std::vector<MMStoredKindRow>& storedKinds();
const MMStoredKindRow& storedKind(MMStoredKind kind);
// The kind of a number written to a file; false for no kind.
bool storedKindOfNumber(int number, MMStoredKind& kind);

// Stores one of the model's own settings (MMObjectSetting): kind, object
// id, name and value, in this order.
inline constexpr const char* kMMObjectSettingUpsert =
    "INSERT INTO \"MMObjectSetting\" (\"Kind\", \"ObjectId\", \"Name\", \"Value\") VALUES (?, ?, ?, ?) "
    "ON CONFLICT (\"Kind\", \"ObjectId\", \"Name\") DO UPDATE SET \"Value\" = excluded.\"Value\"";
