// The storage-library word sets the request's own fields: without
// delete-enable (request.6) a library delete deletes nothing, and the
// console says so; with it the library goes.
#include <gtest/gtest.h>

#include "tests/host_installation/InstallationFixture.h"

namespace {

class HostLibraryDelete : public installtest::InstallationFixture {};

constexpr const char* kNothingDeleted =
    "  (nothing was deleted: the request's delete-enable field is 0; add request.6=1 to delete the library)\n";

TEST_F(HostLibraryDelete, WithoutDeleteEnableNothingIsDeletedAndTheConsoleSaysSo) {
  const long long libraries = m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryEnabled\" = 1");
  const installtest::ConsoleRun run = console({"storage-library", "43=2", "8=TapeLib1"});
  // Nothing the request asked for was done: status 3.
  EXPECT_EQ(run.status, 3) << run.out;
  EXPECT_NE(run.out.find("<EVGui_ConfigureStorageLibraryResp><EVGui_StorageLibraryInfo tag=\"1\""),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(kNothingDeleted), std::string::npos) << run.out;
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryEnabled\" = 1"), libraries);
}

TEST_F(HostLibraryDelete, WithDeleteEnableTheLibraryIsDeletedWithoutTheNote) {
  const installtest::ConsoleRun run = console({"storage-library", "43=2", "8=TapeLib1", "request.6=1"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("nothing was deleted"), std::string::npos) << run.out;
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryName\" = 'TapeLib1' AND "
                        "\"LibraryEnabled\" = 1"),
            0);
  // Another delete than the library's gets no note.
  const installtest::ConsoleRun other = console({"storage-library", "43=3", "8=DiskLib1"});
  EXPECT_EQ(other.out.find("nothing was deleted"), std::string::npos) << other.out;
}

// A delete limited to one media agent's parts keeps the library, and the
// answer describes it: the console takes it as done, not as a delete that
// delete-enable kept from happening.
TEST_F(HostLibraryDelete, ADeleteOfOneAgentsPartsIsAnsweredAsDone) {
  const long long pools = m_db.scalar("SELECT COUNT(*) FROM \"MMDrivePool\"");
  const installtest::ConsoleRun run = console({"storage-library", "43=2", "8=TapeLib1", "3=ma1", "request.6=1"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("nothing was deleted"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("<EVGui_ConfigureStorageLibraryResp><EVGui_StorageLibraryInfo tag=\"1\""),
            std::string::npos)
      << run.out;
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryName\" = 'TapeLib1'"), 1);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMDrivePool\""), pools - 1);
}

TEST_F(HostLibraryDelete, ARequestFieldTheRequestDoesNotHaveIsRefusedByTheConsole) {
  const installtest::ConsoleRun run = console({"storage-library", "43=2", "8=TapeLib1", "request.99=1"});
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.out, "");
}

}  // namespace
