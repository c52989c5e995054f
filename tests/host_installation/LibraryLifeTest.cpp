// New hardware comes under management through the host: the library ma2
// sees is detected and configured by the control request, and a drive path
// of a library ma1 sees, dropped on nothing, configures a new library. What
// was configured is stored: a new connection lists the library with its
// drives and drive paths, and so does the host after a restart.
#include <gtest/gtest.h>

#include <unistd.h>

#include "frame/ElementTags.h"
#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using installtest::bytesOf;
using installtest::handleOf;
using installtest::recordNamed;
using installtest::kUnstored;
using installtest::recordsOf;
using tktest::le32;
using Record = std::vector<tkwire::Item>;

constexpr const char* kDetectedController = "DEMO TAPE-4 [LIB0004] /dev/sg4 on ma2";
constexpr const char* kDetectedLibrary = "TAPE-4_LIB0004";
constexpr const char* kDroppedPath = "ACME LTO-8 [D-0001] /dev/nst7 on ma1";
constexpr const char* kDroppedLibrary = "TL-8_TL8-0001";

// The configured drive paths of a library's drives.
constexpr const char* kConfiguredPaths =
    "SELECT COUNT(*) FROM \"MMDrivePath\" p JOIN \"MMDrive\" d ON d.\"DriveId\" = p.\"DriveId\" JOIN "
    "\"MMMasterPool\" m ON m.\"MasterPoolId\" = d.\"MasterPoolId\" WHERE m.\"LibraryId\" = ? AND p.\"IsEnabled\" = 1";

// A drive's record among a library's children: its id and name.
constexpr uint32_t kItemDrive = tktag::kDrive;

uint32_t idOf(const Record& record, uint32_t tag) { return ctltest::wordOf(bytesOf(record, tag)); }

// One stored library as a connection of its own sees it after taking the
// lock: its record in the library listing, its drives and their paths.
struct StoredLibrary {
  Record library;
  std::vector<Record> drives;
  std::vector<Record> paths;
};

class HostLibraryLife : public installtest::InstallationFixture {
 protected:
  // On connection `fd`, with the lock (sequence 1): detects with `agent`,
  // kept for the listings (2), and gives the record of the detected listing
  // `handler` (3) whose item `tag` names `text`; no items when there is none.
  Record detected(int fd, const std::string& agent, const char* handler, uint32_t tag, const std::string& text) {
    EXPECT_GE(fd, 0);
    if (fd < 0 || !hosttest::takeLock(fd)) return {};
    detect(fd, agent, true, 2);
    return recordNamed(listing(fd, handler, 3), tag, text);
  }

  // The library `name` as a new connection lists it; a record without
  // items when the listing does not have it.
  StoredLibrary listedByANewConnection(const std::string& name) {
    StoredLibrary seen;
    const int fd = connect();
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(hosttest::takeLock(fd));
    seen.library = recordNamed(listing(fd, "onMsgGetMMLibraries", 2), 2049, name);
    if (!seen.library.empty()) {
      // The drives of the library (option 1 at position 16), then each
      // drive's paths.
      std::string drivesOnly(8, '\0');
      drivesOnly += le32(1);
      int64_t sequence = 3;
      for (const Record& child : onObject(fd, "onMsgGetMMLibraryChildren", handleOf(seen.library), drivesOnly,
                                          sequence++)) {
        if (bytesOf(child, kItemDrive).rfind("(no item", 0) == 0) continue;  // the controller node, empty bays
        seen.drives.push_back(child);
        for (const Record& path : onObject(fd, "onMsgGetMMDrives", handleOf(child), "", sequence++))
          seen.paths.push_back(path);
      }
    }
    EXPECT_TRUE(hosttest::releaseLock(fd, 99));
    ::close(fd);
    return seen;
  }

  // What a listing by the console (a connection of its own) prints.
  std::string consoleLibraries() {
    const installtest::ConsoleRun run = script("lock\nlibraries\nunlock\n");
    EXPECT_EQ(run.status, 0) << run.out;
    return run.out;
  }
};

TEST_F(HostLibraryLife, TheConfiguredLibraryIsListedWithItsDrivesAndPathsByANewConnectionAndAfterARestart) {
  const int fd = connect();
  const Record controller = detected(fd, "ma2", "onMsgGetMMDetectedLibraries", 8215, kDetectedController);
  ASSERT_FALSE(controller.empty());
  EXPECT_EQ(idOf(controller, 8215), kUnstored);

  // The detected library's controller configured (operation 48): the
  // library, its controller, drives and drive paths are stored.
  EXPECT_EQ(control(fd, 48, handleOf(controller), 4),
            (std::vector<ctltest::Message>{ctltest::operationResponse(48, 1, "Success")}));
  EXPECT_TRUE(hosttest::releaseLock(fd, 5));
  ::close(fd);
  const long long libraryId =
      m_db.scalar("SELECT \"LibraryId\" FROM \"MMLibrary\" WHERE \"LibraryName\" = 'TAPE-4_LIB0004'");
  ASSERT_GT(libraryId, 0);

  auto expectStored = [&](const char* when) {
    SCOPED_TRACE(when);
    const StoredLibrary seen = listedByANewConnection(kDetectedLibrary);
    ASSERT_FALSE(seen.library.empty());
    EXPECT_EQ(idOf(seen.library, 2049), static_cast<uint32_t>(libraryId));
    EXPECT_EQ(bytesOf(seen.library, 2048), le32(2) + "ma2");
    EXPECT_EQ(bytesOf(seen.library, 8213), "LIB0004");
    ASSERT_EQ(seen.drives.size(), 4u);
    ASSERT_EQ(seen.paths.size(), 4u);
    for (size_t d = 0; d < 4; ++d) {
      SCOPED_TRACE(d);
      EXPECT_NE(idOf(seen.drives[d], kItemDrive), kUnstored);
      EXPECT_NE(handleOf(seen.paths[d]), 0u);
    }
    EXPECT_EQ(m_db.scalar(kConfiguredPaths, {libraryId}), 4);
    const std::string out = consoleLibraries();
    EXPECT_NE(out.find("  tag 2049 (library) len 18: " + std::to_string(libraryId) + " \"TAPE-4_LIB0004\"\n"),
              std::string::npos)
        << out;
  };
  expectStored("a new connection");
  ASSERT_TRUE(restart()) << host().log();
  expectStored("after a restart");
}

TEST_F(HostLibraryLife, ADetectedDrivePathDroppedOnNothingStoresItsNewLibrary) {
  attachLibraryToMa1();
  const int fd = connect();
  const Record path = detected(fd, "ma1", "onMsgGetMMDetectedDrives", 2240, kDroppedPath);
  ASSERT_FALSE(path.empty());

  // Dropped on nothing (target 0), drop mode 1: its library is configured.
  std::string drop = le32(0) + le32(0) + le32(0) + le32(1);
  tkwire::StreamRequest request;
  request.handler = "onMsgMMDragNDrop";
  request.sequence = 4;
  request.firstField = handleOf(path);
  request.stream = drop;
  EXPECT_EQ(ctltest::messagesOf(hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(request)), 4),
            (std::vector<ctltest::Message>{ctltest::operationResponse(52, 1, "Success")}));
  ::close(fd);
  const long long libraryId =
      m_db.scalar("SELECT \"LibraryId\" FROM \"MMLibrary\" WHERE \"LibraryName\" = 'TL-8_TL8-0001'");
  ASSERT_GT(libraryId, 0);

  ASSERT_TRUE(restart()) << host().log();
  const StoredLibrary seen = listedByANewConnection(kDroppedLibrary);
  ASSERT_FALSE(seen.library.empty());
  EXPECT_EQ(idOf(seen.library, 2049), static_cast<uint32_t>(libraryId));
  EXPECT_EQ(bytesOf(seen.library, 2048), le32(1) + "ma1");
  EXPECT_EQ(seen.drives.size(), 1u);
  EXPECT_EQ(seen.paths.size(), 1u);
  EXPECT_EQ(m_db.scalar(kConfiguredPaths, {libraryId}), 1);
}

}  // namespace
