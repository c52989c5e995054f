// The model finds a library by the name it answers to as the tables do:
// its alias (its name only where it has none), the one spelled so among
// libraries of every kind (none when two are), another case only when one
// library alone answers so, never by an empty name; and by id, whatever
// its name.

#include <string>

#include "platform/mac/ZQMACGraph.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace modeldb {
namespace {

using LibraryLookup = ModelDatabase;

// "1" for the tape library, "2" for DiskLib1, "none".
std::string idOf(const ZQMACInterface* library) {
  return library == nullptr ? "none" : std::to_string(library->GetId());
}

TEST_F(LibraryLookup, ANameReachesTheLibraryOfAnyKindSpelledSoAndAnIdTheLibraryStoredUnderIt) {
  const struct {
    const char* what;
    const char* sql;  // on another connection, before the instance loads
    const char* name;
    const char* found;      // ZQMACGraph::FindLibrary
    const char* diskFound;  // tkmac::findMagLibAnswering
  } rows[] = {
      {"the tape library spelled so, beside a disk twin in another case",
       "UPDATE MMLibrary SET AliasName = 'tapelib1', LibraryName = 'tapelib1' WHERE LibraryId = 2", "TapeLib1", "1",
       "none"},
      {"the disk twin spelled so", "UPDATE MMLibrary SET AliasName = 'tapelib1', LibraryName = 'tapelib1' WHERE LibraryId = 2",
       "tapelib1", "2", "2"},
      {"two answering only in other cases: neither",
       "UPDATE MMLibrary SET AliasName = 'tapelib1', LibraryName = 'tapelib1' WHERE LibraryId = 2", "TAPELIB1", "none",
       "none"},
      {"the only library answering in another case", "", "DISKLIB1", "2", "2"},
      {"a disk library by its alias", "UPDATE MMLibrary SET AliasName = 'Primary' WHERE LibraryId = 2", "primary", "2",
       "2"},
      {"not by its own name beside its alias", "UPDATE MMLibrary SET AliasName = 'Primary' WHERE LibraryId = 2",
       "DiskLib1", "none", "none"},
      {"a tape library by its alias", "UPDATE MMLibrary SET AliasName = 'Robot' WHERE LibraryId = 1", "ROBOT", "1",
       "none"},
      {"a tape library not by its own name beside its alias",
       "UPDATE MMLibrary SET AliasName = 'Robot' WHERE LibraryId = 1", "TapeLib1", "none", "none"},
      {"a name that is one library's own name and another's alias reaches the one whose alias it is",
       "UPDATE MMLibrary SET AliasName = 'TAPELIB1' WHERE LibraryId = 1; "
       "UPDATE MMLibrary SET AliasName = 'TapeLib1' WHERE LibraryId = 2",
       "TapeLib1", "2", "2"},
      {"the same with the tape library's alias the disk library's own name",
       "UPDATE MMLibrary SET AliasName = 'DiskLib1' WHERE LibraryId = 1; "
       "UPDATE MMLibrary SET AliasName = 'DISKLIB1' WHERE LibraryId = 2",
       "DiskLib1", "1", "none"},
      {"two libraries of different kinds spelled so: neither",
       "UPDATE MMLibrary SET AliasName = 'DiskLib1' WHERE LibraryId = 1", "DiskLib1", "none", "none"},
      {"an empty name: not the library stored with an empty name",
       "UPDATE MMLibrary SET AliasName = '', LibraryName = '' WHERE LibraryId = 2", "", "none", "none"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    db.execElsewhere("UPDATE MMLibrary SET AliasName = LibraryName WHERE LibraryId = 1; "
                     "UPDATE MMLibrary SET AliasName = 'DiskLib1', LibraryName = 'DiskLib1' WHERE LibraryId = 2");
    if (*row.sql != '\0') db.execElsewhere(row.sql);
    auto config = load();
    EXPECT_EQ(idOf(ZQMACGraph::FindLibrary(*config, row.name)), row.found);
    EXPECT_EQ(idOf(tkmac::findMagLibAnswering(*config, row.name)), row.diskFound);
    EXPECT_EQ(idOf(tkmac::findLibraryById(*config, 1)), "1");
    EXPECT_EQ(idOf(tkmac::findLibraryById(*config, 2)), "2");
    EXPECT_EQ(idOf(tkmac::findLibraryById(*config, 3)), "none");
  }
}

// Handed an id, the deconfiguration removes that library whatever the name
// says, and nothing else.
TEST_F(LibraryLookup, TheDeconfigurationHandedAnIdRemovesThatLibraryAlone) {
  db.execElsewhere("UPDATE MMLibrary SET AliasName = 'tapelib1', LibraryName = 'tapelib1' WHERE LibraryId = 2");
  auto config = load();
  ASSERT_TRUE(config->DeconfigureLibrary("", "tapelib1", 1)) << config->GetLastError();
  EXPECT_EQ(db.text("SELECT group_concat(LibraryId || ':' || AliasName, ';') FROM MMLibrary"), "2:tapelib1");
  EXPECT_FALSE(config->DeconfigureLibrary("", "TapeLib1", 1));
  EXPECT_EQ(config->GetLastError(), "Library [TapeLib1] is not configured.");
  EXPECT_EQ(db.text("SELECT group_concat(LibraryId || ':' || AliasName, ';') FROM MMLibrary"), "2:tapelib1");
}

// Without an id, by the name: two libraries answering to it only in other
// cases are refused naming both, and neither goes.
TEST_F(LibraryLookup, TheDeconfigurationByANameTwoLibrariesAnswerInOtherCasesRemovesNeither) {
  db.execElsewhere("UPDATE MMLibrary SET AliasName = 'tapelib1', LibraryName = 'tapelib1' WHERE LibraryId = 2");
  auto config = load();
  EXPECT_FALSE(config->DeconfigureLibrary("", "TAPELIB1"));
  EXPECT_EQ(config->GetLastError(),
            "The library name [TAPELIB1] matches [TapeLib1] and [tapelib1] in another case; give its exact name.");
  EXPECT_EQ(db.text("SELECT group_concat(LibraryId || ':' || AliasName, ';') FROM MMLibrary"), "1:TapeLib1;2:tapelib1");
}

// The deconfiguration reaches only a library the call names alone: two
// libraries spelled so are refused naming their ids, no id and no name are
// refused, and a library stored with an empty name goes by its id. A
// refusal leaves every row as it was.
TEST_F(LibraryLookup, TheDeconfigurationRemovesOnlyALibraryItsIdOrNameNamesAlone) {
  const std::string whole =
      "SELECT (SELECT group_concat(LibraryId || ':' || AliasName || '/' || LibraryName, ';') FROM MMLibrary) || '|' || "
      "(SELECT COUNT(*) FROM MMDrive) || '|' || (SELECT COUNT(*) FROM MMDrivePath) || '|' || "
      "(SELECT COUNT(*) FROM MMDrivePool) || '|' || (SELECT COUNT(*) FROM MMMasterPool) || '|' || "
      "(SELECT COUNT(*) FROM MMLibraryController) || '|' || (SELECT COUNT(*) FROM MMMountPath)";
  const struct {
    const char* what;
    const char* sql;
    const char* name;
    int id;
    bool removed;
    const char* error;
    const char* rows;  // `whole` afterwards
  } rows[] = {  // the last one removes
      {"two libraries spelled so", "UPDATE MMLibrary SET AliasName = 'DiskLib1' WHERE LibraryId = 1", "DiskLib1", 0,
       false, "The library name [DiskLib1] is the name of the libraries with ids [1] and [2]; give the id of the one meant.",
       "1:DiskLib1/TapeLib1;2:DiskLib1/DiskLib1|2|4|4|2|1|2"},
      {"neither an id nor a name", "UPDATE MMLibrary SET AliasName = '', LibraryName = '' WHERE LibraryId = 1", "", 0,
       false, "No library to deconfigure was named: give its id or its name.", "1:/;2:DiskLib1/DiskLib1|2|4|4|2|1|2"},
      {"a library stored with an empty name, by its id",
       "UPDATE MMLibrary SET AliasName = '', LibraryName = '' WHERE LibraryId = 1", "", 1, true, "",
       "2:DiskLib1/DiskLib1|0|0|2|1|0|2"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    db.execElsewhere("UPDATE MMLibrary SET AliasName = 'TapeLib1', LibraryName = 'TapeLib1' WHERE LibraryId = 1");
    if (*row.sql != '\0') db.execElsewhere(row.sql);
    auto config = load();
    EXPECT_EQ(config->DeconfigureLibrary("", row.name, row.id), row.removed) << config->GetLastError();
    if (!row.removed) {
      EXPECT_EQ(config->GetLastError(), row.error);
    }
    EXPECT_EQ(db.text(whole), row.rows);
  }
}

}  // namespace
}  // namespace modeldb
