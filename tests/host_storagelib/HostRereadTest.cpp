// The host keeps what it read of the configuration between requests: a
// change made to the database by hand, outside the host, is seen by the
// next request all the same.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/HostHarness.h"
#include "tests/support/TestDatabase.h"

namespace {

using hosttest::Child;

class HostReread : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  // A mount path added to the demonstration disk library (library 2) through
  // ma2 by tkconsole, the library named as the request names it; the
  // console's output.
  std::string addMountPath(const std::string& library, const std::string& path) {
    const std::string out = m_dir.file("console" + std::to_string(++m_runs) + ".out");
    Child console;
    EXPECT_TRUE(console.start(hosttest::consoleBinary(),
                              {"--socket", m_host.socket(), "storage-library", "43=4", "1=2", "8=" + library, "7=2",
                               "3=ma2", "24=" + path, "60=" + path},
                              {}, out, m_dir.file("console.err")));
    console.exitCode();
    return hosttest::readFile(out);
  }

  // SQL on a connection of its own, as an administrator's sqlite3.
  std::string byHand(const std::string& sql) { return tktest::sqlByHand(m_dir.file("host.db"), sql); }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
  int m_runs = 0;
};

TEST_F(HostReread, ALibraryRenamedByHandIsFoundUnderItsNewNameOnly) {
  const std::string first = addMountPath("DiskLib1", "/mnt/a");
  EXPECT_NE(first.find("s8=\"DiskLib1\""), std::string::npos) << first;
  EXPECT_NE(first.find("i1=\"2\""), std::string::npos) << first;

  byHand("UPDATE MMLibrary SET AliasName = 'Renamed by hand' WHERE LibraryId = 2");
  const std::string renamed = addMountPath("Renamed by hand", "/mnt/b");
  EXPECT_NE(renamed.find("s8=\"Renamed by hand\""), std::string::npos) << renamed;
  const std::string old = addMountPath("DiskLib1", "/mnt/c");
  EXPECT_NE(old.find("The library [DiskLib1] could not be found."), std::string::npos) << old;
}

// A name reaches the library spelled so: among libraries whose names
// differ only in letter case (as an older file or an administrator's SQL
// may hold them; the name rule keeps the host from making such), the one
// spelled as the request spells it; another case only when one library
// alone answers to the name so; two or more in other cases are refused,
// naming them, and nothing changes. Libraries of every kind share the
// rule, and a library answers to its alias (its name only where it has
// none). On every storage-library route that finds a library by name: the
// delete, the change, a new mount path, the delete of one media agent's
// parts. An id given beside the name picks, of two spelled so, the one it
// names; an id and a name that name different libraries change nothing.
// Each row on a host of its own.
TEST(HostLibraryNames, ANameReachesTheLibrarySpelledSoAndTwoInOtherCasesAreRefusedNamingThem) {
  const std::string libraries = "SELECT LibraryId || ':' || AliasName || '/' || LibraryName FROM MMLibrary "
                                "WHERE LibraryId > 2 ORDER BY LibraryId";
  const std::string paths = "SELECT LibraryId || ':' || COUNT(*) FROM MMMountPath WHERE LibraryId > 2 "
                            "GROUP BY LibraryId ORDER BY LibraryId";
  const std::string tapeAndTwin =
      "SELECT (SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 1) || '|' || "
      "(SELECT AliasName || ':' || (SELECT COUNT(*) FROM MMMountPath WHERE LibraryId = 4) FROM MMLibrary "
      "WHERE LibraryId = 4)";
  const std::string refusal =
      "The library name [caselib] matches [CaseLib] and [CASELIB] in another case; give its exact name.";
  // The demonstration libraries with everything of the tape library, and
  // the disk library's mount paths.
  const std::string demo =
      "SELECT (SELECT group_concat(LibraryId || ':' || AliasName || '/' || LibraryName, ';') FROM MMLibrary "
      "WHERE LibraryId <= 2) || '|' || "
      "(SELECT COUNT(*) FROM MMDrive WHERE MasterPoolId IN (SELECT MasterPoolId FROM MMMasterPool WHERE LibraryId = 1)) "
      "|| '|' || (SELECT COUNT(*) FROM MMDrivePath WHERE DriveId IN (SELECT DriveId FROM MMDrive)) || '|' || "
      "(SELECT COUNT(*) FROM MMDrivePool WHERE MasterPoolId IN (SELECT MasterPoolId FROM MMMasterPool "
      "WHERE LibraryId = 1)) || '|' || (SELECT COUNT(*) FROM MMMasterPool WHERE LibraryId <= 2) || '|' || "
      "(SELECT COUNT(*) FROM MMLibraryController WHERE LibraryId = 1) || '|' || "
      "IFNULL((SELECT group_concat(MountPathId, ',') FROM MMMountPath WHERE LibraryId = 2), '')";
  const std::string twoSpelledSo =
      "The library name [DiskLib1] is the name of the libraries with ids [1] and [2]; give the id of the one meant.";
  // Where the route acts by the name, the id goes beside it.
  const std::string twoSpelledSoBeside = "The library name [DiskLib1] is the name of the libraries with ids [1] "
                                         "and [2]; give the id of the one meant beside the name.";
  const auto differ = [](const std::string& id, const std::string& name) {
    return "Library id [" + id + "] and library name [" + name + "] name different libraries; nothing was changed.";
  };
  // No query: every library row, whole, is as it was before the change.
  const std::string unchanged;
  const std::string tapeAnswersDiskLib1 = "UPDATE MMLibrary SET AliasName = 'DiskLib1' WHERE LibraryId = 1";
  const std::string tapeUnnamed = "UPDATE MMLibrary SET AliasName = '', LibraryName = '' WHERE LibraryId = 1";
  const std::string noLibraryToDelete = "The request names no library to delete: give its id or its name.";
  const struct {
    const char* what;
    // Library 3 "CaseLib" and library 4, which SQL names `twin` (name and
    // alias; empty: library 4 stays "Other"); a controller's library 3
    // "DEMO TAPE-9" (no alias) instead when `controller`.
    std::string twin;
    bool controller;
    std::string before;  // SQL after the libraries are made
    std::vector<std::string> change;
    std::string answer;  // in the console's output (empty: no refusal)
    std::string query;
    std::string rows;
  } rows[] = {
      {"the delete reaches the library spelled so, not the one of the lower id", "caselib", false, "",
       {"storage-library", "43=8192", "8=caselib", "request.6=1"}, "", libraries, "3:CaseLib/CaseLib"},
      {"the change reaches the library spelled so", "caselib", false, "",
       {"storage-library", "43=32", "8=caselib", "second.8=Renamed"}, "", libraries,
       "3:CaseLib/CaseLib;4:Renamed/caselib"},
      {"a new mount path goes to the library spelled so", "caselib", false, "",
       {"storage-library", "43=4", "8=caselib", "3=ma2", "24=/srv/caselib/c"}, "", paths,
       "3:1;4:2"},
      {"the only library answering to the name in another case is found", "", false, "",
       {"storage-library", "43=32", "8=CASELIB", "second.8=Renamed"}, "", libraries,
       "3:Renamed/CaseLib;4:Other/Other"},
      {"a library without an alias is found by its name in another case", "", false,
       "UPDATE MMLibrary SET AliasName = '' WHERE LibraryId = 4",
       {"storage-library", "43=4", "8=OTHER", "3=ma2", "24=/srv/caselib/c"}, "", paths,
       "3:1;4:2"},
      {"two libraries answering only in other cases are refused, naming both", "CASELIB", false, "",
       {"storage-library", "43=32", "8=caselib", "second.8=Renamed"}, refusal, libraries,
       "3:CaseLib/CaseLib;4:CASELIB/CASELIB"},
      {"two answering only in other cases: no delete either", "CASELIB", false, "",
       {"storage-library", "43=8192", "8=caselib", "request.6=1"}, refusal, libraries,
       "3:CaseLib/CaseLib;4:CASELIB/CASELIB"},
      // A disk library answering to "tapelib1" beside the tape library
      // TapeLib1 (library 1): a request spelling TapeLib1 resolves, locks
      // and checks the tape library, and its deletion reaches that library,
      // never the twin found by the name again.
      {"the delete reaches the tape library spelled so, not its disk twin in another case", "tapelib1", false, "",
       {"storage-library", "43=2", "8=TapeLib1", "request.6=1"}, "", tapeAndTwin, "0|tapelib1:1"},
      {"the forced delete reaches the tape library spelled so, not its disk twin", "tapelib1", false, "",
       {"storage-library", "43=8192", "8=TapeLib1", "request.6=1"}, "", tapeAndTwin, "0|tapelib1:1"},
      // A library answers to its alias, not to its own name beside it.
      {"a library whose alias differs from its name is deleted by its alias", "", false,
       "UPDATE MMLibrary SET AliasName = 'Primary' WHERE LibraryId = 4",
       {"storage-library", "43=8192", "8=Primary", "request.6=1"}, "", libraries, "3:CaseLib/CaseLib"},
      {"a library whose alias differs from its name is not found by its name", "", false,
       "UPDATE MMLibrary SET AliasName = 'Primary' WHERE LibraryId = 4",
       {"storage-library", "43=32", "8=Other", "second.8=Renamed"}, "The library named in the request could not be found.",
       libraries, "3:CaseLib/CaseLib;4:Primary/Other"},
      // A controller's library has a name and no alias: the delete of one
      // media agent's parts finds it by its name, here in another case.
      {"the delete of one agent's parts finds a controller's library by its name", "", true, "",
       {"storage-library", "43=2", "8=demo tape-9", "3=ma2", "request.6=1"}, "",
       "SELECT (SELECT COUNT(*) FROM MMLibrary WHERE LibraryName = 'DEMO TAPE-9' AND AliasName = '') || '|' || "
       "(SELECT COUNT(*) FROM MMLibraryController WHERE LibraryId = 3)",
       "1|0"},
      // Two libraries answering to a name spelled so (another writer's
      // SQL): neither is reached, and the refusal tells them by their ids.
      {"two libraries spelled so: no delete", "", false, tapeAnswersDiskLib1,
       {"storage-library", "43=2", "8=DiskLib1", "request.6=1"}, twoSpelledSo, demo,
       "1:DiskLib1/TapeLib1;2:DiskLib1/DiskLib1|2|4|2|2|1|1,2"},
      {"two libraries spelled so: no forced delete", "", false, tapeAnswersDiskLib1,
       {"storage-library", "43=8192", "8=DiskLib1", "request.6=1"}, twoSpelledSo, demo,
       "1:DiskLib1/TapeLib1;2:DiskLib1/DiskLib1|2|4|2|2|1|1,2"},
      {"two libraries spelled so: no change", "", false, tapeAnswersDiskLib1,
       {"storage-library", "43=32", "8=DiskLib1", "second.8=Renamed"}, twoSpelledSoBeside, demo,
       "1:DiskLib1/TapeLib1;2:DiskLib1/DiskLib1|2|4|2|2|1|1,2"},
      {"two libraries spelled so: no change of a mount path's properties", "", false, tapeAnswersDiskLib1,
       {"storage-library", "43=8", "8=DiskLib1"}, twoSpelledSoBeside, unchanged, ""},
      // The id given beside such a name picks the one of them it names;
      // the other is left as it was.
      {"two libraries spelled so: the id beside the name picks the one renamed", "", false, tapeAnswersDiskLib1,
       {"storage-library", "43=32", "1=2", "8=DiskLib1", "second.8=Picked13"}, "", demo,
       "1:DiskLib1/TapeLib1;2:Picked13/DiskLib1|2|4|2|2|1|1,2"},
      {"two libraries spelled so: the id beside the name picks the one deleted", "", false, tapeAnswersDiskLib1,
       {"storage-library", "43=2", "1=1", "8=DiskLib1", "request.6=1"}, "", demo,
       "2:DiskLib1/DiskLib1|0|0|0|1|0|1,2"},
      {"two libraries spelled so: the id beside the name picks the one whose mount path goes", "", false,
       tapeAnswersDiskLib1, {"storage-library", "43=16", "1=2", "8=DiskLib1", "7=2", "23=2", "24=/srv/disklib1/mp2"},
       "", demo, "1:DiskLib1/TapeLib1;2:DiskLib1/DiskLib1|2|4|2|2|1|1"},
      {"two libraries spelled so: an id that is neither of them is refused", "", false, tapeAnswersDiskLib1,
       {"storage-library", "43=32", "1=3", "8=DiskLib1", "second.8=Picked13"}, differ("3", "DiskLib1"), unchanged,
       ""},
      // An id and a name that name two libraries rename neither.
      {"a rename whose id and name name different libraries is refused", "", false, "",
       {"storage-library", "43=32", "1=2", "8=TapeLib1", "second.8=Renamed13"}, differ("2", "TapeLib1"), unchanged,
       ""},
      {"the mirror rename whose id and name name different libraries is refused", "", false, "",
       {"storage-library", "43=32", "1=1", "8=DiskLib1", "second.8=Renamed13"}, differ("1", "DiskLib1"), unchanged,
       ""},
      // A library stored with an empty name (another writer's SQL) answers
      // to no name: a request that names no library reaches none of it.
      {"a mount-path delete naming no library deletes the mount path alone", "", false, tapeUnnamed,
       {"storage-library", "43=16", "23=1", "7=2"}, "", demo, "1:/;2:DiskLib1/DiskLib1|2|4|2|2|1|2"},
      {"a library delete naming no library is refused", "", false, tapeUnnamed,
       {"storage-library", "43=2", "request.6=1"}, noLibraryToDelete, demo, "1:/;2:DiskLib1/DiskLib1|2|4|2|2|1|1,2"},
      {"a forced library delete naming no library is refused", "", false, tapeUnnamed,
       {"storage-library", "43=8192", "request.6=1"}, noLibraryToDelete, demo,
       "1:/;2:DiskLib1/DiskLib1|2|4|2|2|1|1,2"},
      // By its id a library is reached whatever its name: the deletion
      // goes by the id the request resolved, not by its name again.
      {"a library stored with an empty name is deleted by its id", "", false, tapeUnnamed,
       {"storage-library", "43=2", "1=1", "request.6=1"}, "", demo, "2:DiskLib1/DiskLib1|0|0|0|1|0|1,2"},
      {"a forced delete by id alone reaches that library, not one stored with an empty name", "", false, tapeUnnamed,
       {"storage-library", "43=8192", "1=2", "request.6=1"}, "", demo, "1:/|2|4|2|1|1|"},
      // A name that is one library's own name and another's alias reaches
      // the library whose alias it is, spelled so; the other answers to it
      // (by its alias) only in another case.
      {"a rename by one library's own name reaches the library whose alias it is", "", false,
       "UPDATE MMLibrary SET AliasName = 'CASELIB' WHERE LibraryId = 3; "
       "UPDATE MMLibrary SET AliasName = 'CaseLib' WHERE LibraryId = 4",
       {"storage-library", "43=32", "8=CaseLib", "second.8=Renamed"}, "", libraries,
       "3:CASELIB/CaseLib;4:Renamed/Other"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    tktest::TempDir dir;
    hosttest::Host host{dir, dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
    ASSERT_TRUE(host.up()) << host.log();
    int runs = 0;
    int exitCode = -1;
    auto console = [&](const std::vector<std::string>& words) {
      const std::string out = dir.file("console" + std::to_string(++runs) + ".out");
      std::vector<std::string> args{"--socket", host.socket()};
      args.insert(args.end(), words.begin(), words.end());
      Child child;
      EXPECT_TRUE(child.start(hosttest::consoleBinary(), args, {}, out, dir.file("console.err")));
      exitCode = child.exitCode();
      return hosttest::readFile(out);
    };
    auto sql = [&](const std::string& statements) { return tktest::sqlByHand(dir.file("host.db"), statements); };
    if (row.controller) {
      // A controller is added in a locked session.
      std::ofstream(dir.file("controller.tk")) << "lock\nadd-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4\n"
                                                  "unlock\n";
      console({"--script", dir.file("controller.tk")});
      ASSERT_EQ(sql("SELECT COUNT(*) FROM MMLibraryController WHERE LibraryId = 3"), "1");
    } else {
      console({"storage-library", "43=1", "8=CaseLib", "3=ma2", "24=/srv/caselib/a"});
      console({"storage-library", "43=1", "8=Other", "3=ma2", "24=/srv/caselib/b"});
      ASSERT_EQ(sql(libraries), "3:CaseLib/CaseLib;4:Other/Other");
      if (!row.twin.empty())
        sql("UPDATE MMLibrary SET LibraryName = '" + row.twin + "', AliasName = '" + row.twin + "' WHERE LibraryId = 4");
    }
    if (!row.before.empty()) sql(row.before);
    // Every library row whole, each column quoted, in id order.
    const std::string columns =
        sql("SELECT group_concat('quote(\"' || name || '\")', ' || ''|'' || ') FROM pragma_table_info('MMLibrary')");
    const std::string everyLibrary =
        "SELECT group_concat(" + columns + ", ';') FROM (SELECT * FROM MMLibrary ORDER BY LibraryId)";
    const std::string earlier = sql(everyLibrary);
    const std::string out = console(row.change);
    if (!row.answer.empty()) {
      // The refusal whole, as the answer's one item, and the console's
      // failure status.
      const std::string refused = "<EVGui_GenericResp i1=\"-1\" s2=\"" + row.answer + "\"/>";
      EXPECT_NE(out.find("  xml len " + std::to_string(refused.size()) + ": " + refused + "\n"), std::string::npos)
          << out;
      EXPECT_EQ(exitCode, 3);
    } else {
      EXPECT_EQ(out.find("i1=\"-1\""), std::string::npos) << out;
      EXPECT_EQ(exitCode, 0) << out;
    }
    if (row.query.empty())
      EXPECT_EQ(sql(everyLibrary), earlier);
    else
      EXPECT_EQ(sql(row.query), row.rows);
  }
}

}  // namespace
