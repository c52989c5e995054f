// Table access of the model's own settings (MMObjectSetting; what each
// kind keeps there: platform/mac/ZQMACStoredSettings.h). Conventions of
// platform/mmdb/MMBaseDB.h: 0 on success, -1 with the error set; a change
// is all or nothing and joins the thread's open transaction. Values are
// never journaled or logged (a password is among them), only their names.
//
// Included only by the model's bodies in platform/mac.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/MMMediaConfigDB.h"

struct MMStoredSnapshot;

namespace tkmac {

struct StoredSetting {
  int kind = 0;  // MMStoredKind as a number
  int id = 0;
  std::string name;
  std::string value;
};

class ObjectSettingDB : public MMTableAccess {
 public:
  ObjectSettingDB() : MMTableAccess(nullptr) {}
  // Every setting, by kind, id and name.
  int loadAll(std::vector<StoredSetting>& out);
  // The settings as the process last read them beside `snapshot` (as
  // MMMediaConfigDB::loadCurrent gave it), read again only when the change
  // log, which names every change of the table, moved on since, or when the
  // snapshot's lists were read anew. Always in kind and id order.
  int loadBeside(const MMStoredSnapshot& snapshot, std::shared_ptr<const std::vector<StoredSetting>>& out);
  // Sets the object's values (a new name is added, a known one replaced).
  int store(int kind, int id, const SettingValues& values, DBtran* tran = nullptr);
  // Removes every setting of the object.
  int removeAll(int kind, int id, DBtran* tran = nullptr);
  // Removes the settings of objects whose rows are gone (after a removal,
  // which takes what depends on the object with it).
  int removeOrphans(DBtran* tran = nullptr);
  // After a removal: removes the settings of the objects the change log
  // names since `mark` (MMMediaConfigDB::changeLogMark, taken before the
  // removal) whose rows are gone, each found by its key, so that it costs
  // what the removal took; every orphan's (removeOrphans) when the mark is
  // -1.
  int removeGone(long long mark, DBtran* tran = nullptr);
  // Stores a new controller row of the stored library `libraryId` for the
  // media agent `clientId` (both must exist: MMS2_ERROR_NOT_FOUND), not
  // configured; it is the library's active controller when the library has
  // none. The new id comes back in `id`.
  int insertController(int libraryId, int clientId, const std::string& name, int controllerType, int& id,
                       DBtran* tran = nullptr);
};

// The marked members of one object as a write takes them (columns of its
// table and the model's own settings), with the marks to forget once written.
struct MarkedValues {
  std::vector<MMStoredColumn> columns;
  SettingValues values;
  std::vector<std::pair<ZQMACBase*, const void*>> marks;
};

// Adds the object's marked members (of the stored kind `kind`) to `out`; a
// new object (`newObject`: its row is being written with its columns) adds
// its markers and leaves out the columns. False, with the object's last
// error, when a password could not be prepared.
bool collectMarked(ZQMACInterface& object, MMStoredKind kind, bool newObject, MarkedValues& out);
// Forgets the marks of what was written.
void forgetMarks(const MarkedValues& written);
// The stored form of a password given in plain text; false with the
// reason as the last error of `errorTo`.
bool encryptPassword(ZQMACBase& errorTo, const std::string& plain, std::string& encrypted);

}  // namespace tkmac
