// Media-management table access: libraries.
#include "platform/mmdb/MMLibraryDB.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/catalogue/Catalogue.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMLayouts.h"
#include "platform/mmdb/MMLibraryName.h"

namespace {

// What goes with a library when it is uninstalled, in this order; each
// statement takes the library id as its one parameter.
const char* const kUninstallSteps[] = {
    "DELETE FROM \"MMMountPathToStorageDevice\" WHERE \"MountPathId\" IN "
    "(SELECT \"MountPathId\" FROM \"MMMountPath\" WHERE \"LibraryId\" = ?)",
    "DELETE FROM \"MMMountPathToDistributedStorage\" WHERE \"MountPathId\" IN "
    "(SELECT \"MountPathId\" FROM \"MMMountPath\" WHERE \"LibraryId\" = ?)",
    "DELETE FROM \"MMRPStoreProp\" WHERE \"RPStoreId\" IN (SELECT \"RPStoreId\" FROM \"MMRPStoreConfig\" WHERE "
    "\"LibraryId\" = ?1 OR \"MountPathId\" IN (SELECT \"MountPathId\" FROM \"MMMountPath\" WHERE \"LibraryId\" = ?1))",
    "DELETE FROM \"MMRPStoreConfig\" WHERE \"LibraryId\" = ?1 OR \"MountPathId\" IN "
    "(SELECT \"MountPathId\" FROM \"MMMountPath\" WHERE \"LibraryId\" = ?1)",
    "DELETE FROM \"MMMediaBackup\" WHERE \"MediaId\" IN (SELECT \"MediaId\" FROM \"MMMediaSide\" WHERE "
    "\"MediaSideId\" IN (SELECT \"MediaSideId\" FROM \"MMMountPath\" WHERE \"LibraryId\" = ?))",
    "DELETE FROM \"MMMedia\" WHERE \"MediaId\" IN (SELECT \"MediaId\" FROM \"MMMediaSide\" WHERE "
    "\"MediaSideId\" IN (SELECT \"MediaSideId\" FROM \"MMMountPath\" WHERE \"LibraryId\" = ?))",
    "DELETE FROM \"MMMediaSide\" WHERE \"MediaSideId\" IN "
    "(SELECT \"MediaSideId\" FROM \"MMMountPath\" WHERE \"LibraryId\" = ?)",
    "DELETE FROM \"MMMountPath\" WHERE \"LibraryId\" = ?",
    // The drive paths of the library's drives and drive pools go before
    // them: a path left behind would name a drive or pool that is gone.
    // Two statements, each on its own index: one with both conditions
    // joined by OR reads every drive path of the installation.
    "DELETE FROM \"MMDrivePath\" WHERE \"DriveId\" IN (SELECT \"DriveId\" FROM \"MMDrive\" WHERE \"MasterPoolId\" IN "
    "(SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ?))",
    "DELETE FROM \"MMDrivePath\" WHERE \"DrivePoolId\" IN (SELECT \"DrivePoolId\" FROM \"MMDrivePool\" WHERE "
    "\"MasterPoolId\" IN (SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ?))",
    "DELETE FROM \"MMDrive\" WHERE \"MasterPoolId\" IN "
    "(SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ?)",
    "DELETE FROM \"MMDrivePool\" WHERE \"MasterPoolId\" IN "
    "(SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ?)",
    "DELETE FROM \"MMMasterPool\" WHERE \"LibraryId\" = ?",
    "DELETE FROM \"MMLibraryController\" WHERE \"LibraryId\" = ?",
    "DELETE FROM \"MMHybridCloudMapping\" WHERE \"CloudLibraryId\" = ?1 OR \"DiskLibraryId\" = ?1",
};

std::string missingLibrary(int libraryId) { return "No library with id [" + std::to_string(libraryId) + "]."; }

// The session's text of a name in use (%1 the name).
constexpr uint32_t kTextNameInUse = 0x2400033D;

}  // namespace

int tkmmdb::libraryNameTaken(tkdb::Session& s, const std::string& name, int libraryId) {
  tkdb::DbRow row;
  return s.queryOne(std::string("SELECT 1 FROM \"MMLibrary\" WHERE ") + kAnswersToSql +
                        " AND \"LibraryId\" <> ?2 LIMIT 1",
                    {name, libraryId}, row);
}

std::string tkmmdb::libraryNameTakenText(const std::string& name) {
  return tkcatalogue::render(kTextNameInUse, 0, {name});
}

bool tkmmdb::sessionRenameRefused(const std::string& name, unsigned int libraryId) {
  MMLibraryDB access;
  MMLibrary_t row;
  if (access.getInfoByAliasName(name.c_str(), row, nullptr) != 0) return false;
  const std::string own = tkmmdb::answeredName(row.AliasName, row.LibraryName);
  return static_cast<unsigned int>(row.LibraryId) != libraryId || name == own;
}

int tkmmdb::libraryByName(const std::string& name, const std::vector<AnsweringLibrary>& answering,
                          std::string& refusal, const NameLookup& how) {
  if (name.empty()) return -1;
  // Names listed as "[a]", "[a] and [b]", "[a], [b] and [c]".
  auto list = [](const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
      text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + ("[" + items[i] + "]");
    return text;
  };
  std::vector<std::size_t> exact;
  for (std::size_t i = 0; i < answering.size(); ++i)
    if (answering[i].name == name) exact.push_back(i);
  if (exact.size() == 1) return static_cast<int>(exact.front());
  if (exact.size() > 1 && how.givenId > 0) {
    for (std::size_t i : exact)
      if (answering[i].id == how.givenId) return static_cast<int>(i);
    return static_cast<int>(exact.front());  // not the id given: the caller refuses the pair
  }
  if (exact.size() > 1) {
    // The first of them would be as much a guess as any other: a change
    // meant for one would reach another.
    std::vector<std::string> ids;
    for (std::size_t i : exact) ids.push_back(std::to_string(answering[i].id));
    refusal = "The library name [" + name + "] is the name of the libraries with ids " + list(ids) +
              "; give the id of the one meant" + (how.idBesideName ? " beside the name." : ".");
    return -2;
  }
  if (answering.size() == 1) return 0;
  if (answering.empty()) return -1;
  std::vector<std::string> names;
  for (const AnsweringLibrary& a : answering) names.push_back(a.name);
  refusal = "The library name [" + name + "] matches " + list(names) + " in another case; give its exact name.";
  return -2;
}

int tkmmdb::removeLibraryRows(tkdb::Session& s, int libraryId, bool& found) {
  found = false;
  tkdb::DbRow row;
  int rc = s.queryOne("SELECT \"LibraryId\" FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", {libraryId}, row);
  if (rc == DB_NO_ROW) return DB_OK;
  if (rc != DB_OK) return rc;
  found = true;
  for (const char* step : kUninstallSteps) {
    rc = s.exec(step, {libraryId});
    if (rc != DB_OK) return rc;
  }
  return s.exec("DELETE FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", {libraryId});
}

int MMLibraryDB::getInfo(int libraryId, MMLibrary_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryDB::getInfo";
  if (!beginCall(kTag, libraryId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::libraryLayout(), "\"LibraryId\" = ?", {libraryId}, &row, tran,
                 missingLibrary(libraryId));
}

int MMLibraryDB::getInfoByAliasName(const char* name, MMLibrary_t& row, DBtran* tran,
                                    const tkmmdb::NameLookup& how) {
  static constexpr const char* kTag = "MMLibraryDB::getInfoByAliasName";
  if (!beginCall(kTag, name, mmTranText(tran))) return -1;
  if (!checkText(kTag, "library name", name, MMLibrary_t::kAliasNameMax, false)) return -1;
  // Every library that answers to the name in any letter case, so that
  // the one spelled so is told from the others.
  tkdb::DbRows found;
  if (queryRows(kTag, tkmmdb::libraryLayout(), tkmmdb::kAnswersToSql, {name}, found, tran) != 0)
    return -1;
  const MMLayout& layout = tkmmdb::libraryLayout();
  std::size_t alias = 0;
  std::size_t own = 0;
  std::size_t id = 0;
  for (int c = 0; c < layout.count; ++c) {
    if (std::strcmp(layout.cols[c].name, "AliasName") == 0) alias = static_cast<std::size_t>(c);
    if (std::strcmp(layout.cols[c].name, "LibraryName") == 0) own = static_cast<std::size_t>(c);
    if (std::strcmp(layout.cols[c].name, "LibraryId") == 0) id = static_cast<std::size_t>(c);
  }
  std::vector<tkmmdb::AnsweringLibrary> answering;
  answering.reserve(found.size());
  for (const tkdb::DbRow& r : found)
    answering.push_back({static_cast<int>(r.at(id).i), tkmmdb::answeredName(r.at(alias).s, r.at(own).s)});
  std::string refusal;
  const int chosen = tkmmdb::libraryByName(name, answering, refusal, how);
  if (chosen == -1)
    return failQuiet(kTag, MMS2_ERROR_NOT_FOUND, DB_NO_ROW, std::string("No library named [") + name + "].");
  if (chosen < 0) return fail(kTag, MMS2_ERROR_DUPLICATE_NAME, 0, refusal);
  fillRecord(layout, &row, found[static_cast<std::size_t>(chosen)]);
  return 0;
}

int MMLibraryDB::getInfoByMountPathId(int mountPathId, MMLibrary_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryDB::getInfoByMountPathId";
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::libraryLayout(),
                 "\"LibraryId\" = (SELECT \"LibraryId\" FROM \"MMMountPath\" WHERE \"MountPathId\" = ?)",
                 {mountPathId}, &row, tran,
                 "No library for mount path [" + std::to_string(mountPathId) + "].");
}

int MMLibraryDB::checkNameFree(const char* name, int libraryId, DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryDB::checkNameFree";
  if (!beginCall(kTag, name, libraryId, mmTranText(tran))) return -1;
  if (!checkText(kTag, "library name", name, MMLibrary_t::kAliasNameMax, false)) return -1;
  const std::string wanted = name;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    const int rc = tkmmdb::libraryNameTaken(s, wanted, libraryId);
    if (rc == DB_OK) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, tkmmdb::libraryNameTakenText(wanted), false};
      return kRefused;
    }
    return rc == DB_NO_ROW ? DB_OK : rc;
  });
}

int MMLibraryDB::renameLibrary(int libraryId, const char* name, DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryDB::renameLibrary";
  if (!beginCall(kTag, libraryId, name, mmTranText(tran))) return -1;
  if (!checkText(kTag, "library name", name, MMLibrary_t::kAliasNameMax, false)) return -1;
  const std::string newName = name;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    int rc = tkmmdb::libraryNameTaken(s, newName, libraryId);
    if (rc == DB_OK) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, tkmmdb::libraryNameTakenText(newName), false};
      return kRefused;
    }
    if (rc != DB_NO_ROW) return rc;
    rc = s.exec("UPDATE \"MMLibrary\" SET \"AliasName\" = ? WHERE \"LibraryId\" = ?", {newName, libraryId});
    if (rc != DB_OK) return rc;
    if (s.changes() == 0) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingLibrary(libraryId), true};
      return kRefused;
    }
    return 0;
  });
}

int MMLibraryDB::setDescription(int libraryId, const char* description, DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryDB::setDescription";
  if (!beginCall(kTag, libraryId, description, mmTranText(tran))) return -1;
  return change(kTag, "UPDATE \"MMLibrary\" SET \"Descript\" = ? WHERE \"LibraryId\" = ?",
                {tkdb::DbValue(description), libraryId}, tran, missingLibrary(libraryId));
}

int MMLibraryDB::setLibraryTypeId(int libraryId, int libraryTypeId, DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryDB::setLibraryTypeId";
  if (!beginCall(kTag, libraryId, libraryTypeId, mmTranText(tran))) return -1;
  return change(kTag, "UPDATE \"MMLibrary\" SET \"LibraryTypeId\" = ? WHERE \"LibraryId\" = ?",
                {libraryTypeId, libraryId}, tran, missingLibrary(libraryId));
}

int MMLibraryDB::uninstallLibrary(int libraryId, DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryDB::uninstallLibrary";
  if (!beginCall(kTag, libraryId, mmTranText(tran))) return -1;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    bool found = false;
    int rc = tkmmdb::removeLibraryRows(s, libraryId, found);
    if (rc == DB_OK && !found) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingLibrary(libraryId), true};
      return kRefused;
    }
    return rc;
  });
}
