// Media-management table access: storing, in one step, the objects that a
// Configure finds never stored (a detected tape library with its
// controllers, master pools, drive pools, drives and drive paths, or a part
// of a stored library), so that the next load finds them with their links.
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "Db/MMRowRecords.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "platform/db/DBSession.h"
#include "platform/db/TextWidth.h"
#include "platform/journal/Journal.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/mmdb/MMRows.h"

namespace {

#define MM_WIDTH(Row, Field) (sizeof(Row{}.Field) - 1)

// The widest drive-path name; the table is the model's own.
constexpr size_t kDrivePathNameWidth = 1024;

// One text of a row and what it may hold.
struct TextRule {
  const char* what;
  const std::string* text;
  size_t width;
  bool allowEmpty;
};

// Why the texts cannot be stored (code and text), or code 0.
int textProblem(std::initializer_list<TextRule> rules, std::string& problem) {
  for (const TextRule& r : rules) {
    if (r.text->empty() && !r.allowEmpty) {
      problem = std::string("No ") + r.what + " was given.";
      return MMS2_ERROR_BAD_ARGUMENT;
    }
    if (!tkdb::fitsColumn(r.what, *r.text, r.width, problem))
      return r.text->size() > r.width ? MMS2_ERROR_TEXT_TOO_LONG : MMS2_ERROR_BAD_ARGUMENT;
  }
  return 0;
}

// Whether a link may be stored: a stored id, none where that is allowed, or
// one of the `count` rows of its kind in the batch.
bool linkInRange(int link, size_t count, bool optional) {
  if (link > 0) return true;
  if (link == 0) return optional;
  return static_cast<size_t>(-static_cast<long long>(link) - 1) < count;
}

// The stored id of a link once the rows it may name have their ids.
int resolved(int link, const std::vector<int>& made) {
  return link < 0 ? made[static_cast<size_t>(-static_cast<long long>(link) - 1)] : link;
}

// A stored row that a link may name, and what a refusal says when it is gone.
struct Parent {
  const char* sql;  // one ? for the id
  const char* missing;
};
constexpr Parent kLibrary{"SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ?",
                          "The library is no longer in the configuration."};
constexpr Parent kMediaAgent{"SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", "The media agent is not stored."};
constexpr Parent kMasterPool{"SELECT 1 FROM \"MMMasterPool\" WHERE \"MasterPoolId\" = ?",
                             "The master drive pool is no longer in the configuration."};
constexpr Parent kDrivePool{"SELECT 1 FROM \"MMDrivePool\" WHERE \"DrivePoolId\" = ?",
                            "The drive pool is no longer in the configuration."};
constexpr Parent kDrive{"SELECT 1 FROM \"MMDrive\" WHERE \"DriveId\" = ?", "The drive is no longer in the configuration."};

}  // namespace

int MMMediaConfigDB::insertObjects(MMStoredConfig& o, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertObjects";
  if (!beginCall(kTag, o.mediaAgents.size(), o.libraries.size(), o.libraryControllers.size(), o.masterPools.size(),
                 o.drivePools.size(), o.drives.size(), o.drivePaths.size(), mmTranText(tran)))
    return -1;
  if (!o.mountPaths.empty() || !o.devices.empty() || !o.deviceControllers.empty())
    return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, "Mount paths and devices are not stored this way.");

  // Every text and every link is checked before anything is written.
  std::string problem;
  int code = 0;
  for (const MMStoredMediaAgent& a : o.mediaAgents)
    if ((code = textProblem({{"media agent name", &a.name, MM_WIDTH(APP_Client_t, name), false}}, problem)) != 0)
      return fail(kTag, code, 0, problem);
  for (const MMStoredLibrary& l : o.libraries)
    if ((code = textProblem({{"library name", &l.name, MM_WIDTH(MMLibrary_t, LibraryName), false},
                             {"library alias", &l.aliasName, MMLibrary_t::kAliasNameMax, true},
                             {"library vendor", &l.vendor, MM_WIDTH(MMLibrary_t, LibraryVendor), true},
                             {"library model", &l.model, MM_WIDTH(MMLibrary_t, LibraryModel), true},
                             {"library serial number", &l.serial, MM_WIDTH(MMLibrary_t, SerialNumber), true},
                             {"library firmware revision", &l.firmware, MM_WIDTH(MMLibrary_t, FirmwareRevision),
                              true}},
                            problem)) != 0)
      return fail(kTag, code, 0, problem);
  const size_t agents = o.mediaAgents.size();
  const size_t libraries = o.libraries.size();
  const size_t masters = o.masterPools.size();
  const size_t pools = o.drivePools.size();
  const size_t drives = o.drives.size();
  const std::string badLink = "A new object is linked to an object that is neither stored nor new.";
  for (const MMStoredLibraryController& c : o.libraryControllers) {
    if ((code = textProblem({{"library controller name", &c.name, MM_WIDTH(MMLibraryController_t, ControllerName),
                              true}},
                            problem)) != 0)
      return fail(kTag, code, 0, problem);
    if (!linkInRange(c.libraryId, libraries, false) || !linkInRange(c.clientId, agents, true))
      return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, badLink);
  }
  for (const MMStoredMasterPool& m : o.masterPools) {
    if ((code = textProblem({{"master pool name", &m.name, MM_WIDTH(MMMasterPool_t, MasterPoolName), false}},
                            problem)) != 0)
      return fail(kTag, code, 0, problem);
    if (!linkInRange(m.libraryId, libraries, false)) return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, badLink);
  }
  for (const MMStoredDrivePool& p : o.drivePools) {
    if ((code = textProblem({{"drive pool name", &p.name, MM_WIDTH(MMDrivePool_t, DrivePoolName), false}},
                            problem)) != 0)
      return fail(kTag, code, 0, problem);
    if (!linkInRange(p.masterPoolId, masters, false) || !linkInRange(p.clientId, agents, true))
      return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, badLink);
  }
  for (const MMStoredDrive& d : o.drives) {
    if ((code = textProblem({{"drive name", &d.name, MM_WIDTH(MMDrive_t, DriveName), false},
                             {"drive alias", &d.aliasName, MM_WIDTH(MMDrive_t, AliasName), true},
                             {"drive serial number", &d.serialNumber, MM_WIDTH(MMDrive_t, SerialNumber), true},
                             {"drive vendor", &d.vendor, MM_WIDTH(MMDrive_t, DriveVendor), true},
                             {"drive model", &d.model, MM_WIDTH(MMDrive_t, DriveModel), true},
                             {"drive firmware revision", &d.firmware, MM_WIDTH(MMDrive_t, FirmwareRevision), true}},
                            problem)) != 0)
      return fail(kTag, code, 0, problem);
    if (!linkInRange(d.masterPoolId, masters, false)) return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, badLink);
  }
  for (const MMStoredDrivePath& p : o.drivePaths) {
    if ((code = textProblem({{"drive path name", &p.pathName, kDrivePathNameWidth, false}}, problem)) != 0)
      return fail(kTag, code, 0, problem);
    if (!linkInRange(p.driveId, drives, false) || !linkInRange(p.drivePoolId, pools, true) ||
        !linkInRange(p.clientId, agents, true))
      return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, badLink);
  }

  std::vector<int> agentIds, libraryIds, controllerIds, masterIds, poolIds, driveIds, pathIds;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    agentIds.clear();
    libraryIds.clear();
    controllerIds.clear();
    masterIds.clear();
    poolIds.clear();
    driveIds.clear();
    pathIds.clear();
    tkdb::DbRow row;
    auto insert = [&](const char* sql, const std::vector<tkdb::DbValue>& values, std::vector<int>& ids) {
      const int result = s.exec(sql, values);
      if (result == DB_OK) ids.push_back(static_cast<int>(s.lastInsertId()));
      return result;
    };
    // The stored rows that links name must still be there.
    auto parents = [&](std::initializer_list<std::pair<int, const Parent*>> links) {
      for (const auto& [link, parent] : links) {
        if (link <= 0) continue;
        const int found = requireRow(s, parent->sql, link, parent->missing, refusal);
        if (found != DB_OK) return found;
      }
      return static_cast<int>(DB_OK);
    };
    int step = DB_OK;

    for (const MMStoredMediaAgent& a : o.mediaAgents) {
      step = s.queryOne("SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = ?", {a.name}, row);
      if (step == DB_NO_ROW) {
        refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, "No client is named [" + a.name + "].", false};
        return kRefused;
      }
      if (step != DB_OK) return step;
      long long id = 0;
      if (row.empty() || !tkdb::integerOf(row[0], id, false)) return DB_ERR_CONVERT;
      step = s.queryOne("SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", {id}, row);
      if (step == DB_NO_ROW)
        step = s.exec("INSERT INTO \"MMHost\" (\"ClientId\", \"Attribute\") VALUES (?, ?)", {id, a.attribute});
      if (step != DB_OK) return step;
      agentIds.push_back(static_cast<int>(id));
    }

    for (const MMStoredLibrary& l : o.libraries) {
      // The name the new library answers to: its alias, else its name.
      const std::string& answersTo = l.aliasName.empty() ? l.name : l.aliasName;
      step = tkmmdb::libraryNameTaken(s, answersTo, 0);
      if (step == DB_OK) {
        refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, tkmmdb::libraryNameTakenText(answersTo), false};
        return kRefused;
      }
      if (step != DB_NO_ROW) return step;
      step = insert("INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", \"VTLType\", "
                    "\"LibraryEnabled\", \"BarCodeReaderPresent\", \"DriveCount\", \"BaseAddress\", "
                    "\"LibraryAttribute\", \"ExtendedAttributes\", \"LibraryVendor\", \"LibraryModel\", "
                    "\"SerialNumber\", \"FirmwareRevision\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                    {l.name, l.aliasName, l.libraryTypeId, l.vtlType, l.enabled != 0 ? 1 : 0,
                     l.barCodeReader != 0 ? 1 : 0, l.driveCount, l.baseAddress, l.libraryAttribute,
                     l.extendedAttributes, l.vendor, l.model, l.serial, l.firmware},
                    libraryIds);
      if (step != DB_OK) return step;
    }

    for (const MMStoredLibraryController& c : o.libraryControllers) {
      if ((step = parents({{c.libraryId, &kLibrary}, {c.clientId, &kMediaAgent}})) != DB_OK) return step;
      step = insert("INSERT INTO \"MMLibraryController\" (\"ControllerName\", \"ClientId\", \"LibraryId\", "
                    "\"IsActive\", \"IsEnabled\", \"ControllerType\") VALUES (?, ?, ?, 1, ?, ?)",
                    {c.name, resolved(c.clientId, agentIds), resolved(c.libraryId, libraryIds),
                     c.isEnabled != 0 ? 1 : 0, c.controllerType},
                    controllerIds);
      if (step != DB_OK) return step;
    }

    for (const MMStoredMasterPool& m : o.masterPools) {
      const int library = resolved(m.libraryId, libraryIds);
      if ((step = parents({{m.libraryId, &kLibrary}})) != DB_OK) return step;
      step = s.queryOne("SELECT 1 FROM \"MMMasterPool\" WHERE \"LibraryId\" = ? AND \"MasterPoolName\" = ?",
                        {library, m.name}, row);
      if (step == DB_OK) {
        refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "The library already has a master pool named [" + m.name + "].",
                   false};
        return kRefused;
      }
      if (step != DB_NO_ROW) return step;
      step = insert("INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\", \"MasterPoolType\") "
                    "VALUES (?, ?, ?)",
                    {library, m.name, m.type}, masterIds);
      if (step != DB_OK) return step;
    }

    for (const MMStoredDrivePool& p : o.drivePools) {
      const int master = resolved(p.masterPoolId, masterIds);
      if ((step = parents({{p.masterPoolId, &kMasterPool}, {p.clientId, &kMediaAgent}})) != DB_OK) return step;
      step = s.queryOne("SELECT 1 FROM \"MMDrivePool\" P JOIN \"MMMasterPool\" M ON M.\"MasterPoolId\" = "
                        "P.\"MasterPoolId\" WHERE P.\"DrivePoolName\" = ? AND M.\"LibraryId\" = (SELECT "
                        "\"LibraryId\" FROM \"MMMasterPool\" WHERE \"MasterPoolId\" = ?)",
                        {p.name, master}, row);
      if (step == DB_OK) {
        refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "The library has a drive pool [" + p.name + "] already.", false};
        return kRefused;
      }
      if (step != DB_NO_ROW) return step;
      step = insert("INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                    "\"MasterPoolId\", \"DrivePoolType\", \"CopyManagerCtrlId\", \"CostCategoryId\", \"Descript\") "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                    {p.name, p.enabled != 0 ? 1 : 0, resolved(p.clientId, agentIds), master, p.type,
                     p.copyManagerCtrlId, p.costCategoryId, p.proxyHost},
                    poolIds);
      if (step != DB_OK) return step;
    }

    for (const MMStoredDrive& d : o.drives) {
      if ((step = parents({{d.masterPoolId, &kMasterPool}})) != DB_OK) return step;
      step = insert("INSERT INTO \"MMDrive\" (\"DriveName\", \"AliasName\", \"DriveEnabled\", \"MasterPoolId\", "
                    "\"DriveNumber\", \"SerialNumber\", \"DriveVendor\", \"DriveModel\", \"FirmwareRevision\") "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                    {d.name, d.aliasName, d.enabled != 0 ? 1 : 0, resolved(d.masterPoolId, masterIds),
                     d.driveNumber, d.serialNumber, d.vendor, d.model, d.firmware},
                    driveIds);
      if (step != DB_OK) return step;
    }

    for (const MMStoredDrivePath& p : o.drivePaths) {
      if ((step = parents({{p.driveId, &kDrive}, {p.drivePoolId, &kDrivePool}, {p.clientId, &kMediaAgent}})) != DB_OK)
        return step;
      step = insert("INSERT INTO \"MMDrivePath\" (\"DriveId\", \"DrivePoolId\", \"ClientId\", \"PathName\", "
                    "\"IsEnabled\") VALUES (?, ?, ?, ?, ?)",
                    {resolved(p.driveId, driveIds), resolved(p.drivePoolId, poolIds), resolved(p.clientId, agentIds),
                     p.pathName, p.enabled != 0 ? 1 : 0},
                    pathIds);
      if (step != DB_OK) return step;
    }
    return DB_OK;
  });
  if (rc != 0) return rc;

  // Every row takes its id, every link the id it names.
  for (size_t i = 0; i < agents; ++i) o.mediaAgents[i].clientId = agentIds[i];
  for (size_t i = 0; i < libraries; ++i) o.libraries[i].libraryId = libraryIds[i];
  for (size_t i = 0; i < o.libraryControllers.size(); ++i) {
    MMStoredLibraryController& c = o.libraryControllers[i];
    c.id = controllerIds[i];
    c.libraryId = resolved(c.libraryId, libraryIds);
    c.clientId = resolved(c.clientId, agentIds);
  }
  for (size_t i = 0; i < masters; ++i) {
    o.masterPools[i].id = masterIds[i];
    o.masterPools[i].libraryId = resolved(o.masterPools[i].libraryId, libraryIds);
  }
  for (size_t i = 0; i < pools; ++i) {
    MMStoredDrivePool& p = o.drivePools[i];
    p.id = poolIds[i];
    p.masterPoolId = resolved(p.masterPoolId, masterIds);
    p.clientId = resolved(p.clientId, agentIds);
  }
  for (size_t i = 0; i < drives; ++i) {
    o.drives[i].id = driveIds[i];
    o.drives[i].masterPoolId = resolved(o.drives[i].masterPoolId, masterIds);
  }
  for (size_t i = 0; i < o.drivePaths.size(); ++i) {
    MMStoredDrivePath& p = o.drivePaths[i];
    p.id = pathIds[i];
    p.driveId = resolved(p.driveId, driveIds);
    p.drivePoolId = resolved(p.drivePoolId, poolIds);
    p.clientId = resolved(p.clientId, agentIds);
  }
  return 0;
}
