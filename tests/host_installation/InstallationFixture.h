// The real tkhost on the demonstration installation as a newcomer runs it:
// rights from the users table (admin is user 1, the console's default;
// operator is user 2), detection from the attached-hardware tables (a tape
// library with four drives on ma2). The test's own database is the host's,
// so a test reads rows and adds what an administrator would add with SQL.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/support/FrameWire.h"
#include "tests/support/HostHarness.h"
#include "tests/support/ReferenceCheck.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WaitFor.h"

namespace installtest {

// The id item of an object the configuration has not stored.
inline constexpr uint32_t kUnstored = 0xFFFFFFFFu;

// The records of a listing, each as its items up to its end item 2052.
inline std::vector<std::vector<tkwire::Item>> recordsOf(const std::vector<tkwire::Reply>& replies) {
  std::vector<std::vector<tkwire::Item>> records(1);
  for (const tkwire::Reply& reply : replies)
    for (const tkwire::Item& item : reply.items) {
      if (item.tag == 2052) {
        records.emplace_back();
        continue;
      }
      records.back().push_back(item);
    }
  records.pop_back();
  return records;
}

// The bytes of a record's first item `tag`.
inline std::string bytesOf(const std::vector<tkwire::Item>& record, uint32_t tag) {
  for (const tkwire::Item& item : record)
    if (item.tag == tag) return item.bytes;
  return "(no item " + std::to_string(tag) + ")";
}

// The object handle of a record (item 11003); 0 when it has none.
inline uint64_t handleOf(const std::vector<tkwire::Item>& record) {
  for (const tkwire::Item& item : record)
    if (item.tag == 11003) return item.u64();
  return 0;
}

// The record whose item `tag` carries `text` behind its id word; no items
// when there is none.
inline std::vector<tkwire::Item> recordNamed(const std::vector<std::vector<tkwire::Item>>& records, uint32_t tag,
                                             const std::string& text) {
  for (const std::vector<tkwire::Item>& record : records) {
    const std::string bytes = bytesOf(record, tag);
    if (bytes.size() >= 4 && bytes.substr(4) == text) return record;
  }
  return {};
}

// A change (operation 3) of the object `handle`'s user name and password,
// both sent encrypted as a console sends them.
inline std::string credentials(uint64_t handle, const std::string& user, const std::string& password) {
  std::string s;
  tkwire::appendU32(s, 4001, 3);
  tkwire::appendU64(s, 11003, handle);
  tkwire::appendElement(s, tktag::kUserName, tkcipher::encrypt(user));
  tkwire::appendElement(s, tktag::kPassword, tkcipher::encrypt(password));
  tkwire::appendU32(s, 2052, 0);
  return s;
}

struct ConsoleRun {
  int status = -1;
  std::string out;
};

class InstallationFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }
  // Whatever the test did through the host, no row points at a row that is gone.
  void TearDown() override { EXPECT_EQ(tktest::danglingReferences(), ""); }

  // The host the console and connect() reach: the first one, or the one
  // restart() started.
  hosttest::Host& host() { return m_restarted ? *m_restarted : m_host; }
  int connect() { return host().connect(); }

  // Stops the host and starts it again on the same database (without
  // seeding: an installation's next start), on a socket of its own. With
  // SIGKILL the host ends wherever it was, as on a power cut. Without the
  // probe nothing connects to the new host: it is waited for until its log
  // says it listens, and the caller's connection is its first.
  bool restart(int signal = SIGTERM, bool probe = true) {
    const std::string socket = m_dir.file("host" + std::to_string(++m_restarts) + ".sock");
    const int stopped = signal == SIGTERM ? host().stop() : (host().stop(signal), 0);
    EXPECT_EQ(stopped, 0) << host().log();
    m_restarted.reset();
    m_restarted.emplace(m_dir, socket, std::vector<std::string>{}, hostEnvironment(),
                        "host" + std::to_string(m_restarts));
    if (stopped != 0) return false;
    if (probe) return m_restarted->up();
    return tktest::pollUntil([this] { return m_restarted->log().find("listening on ") != std::string::npos; },
                             std::chrono::milliseconds(hosttest::kStartMs));
  }

  // An auto-detection by agent name on connection `fd`; `keep` asks to keep
  // the agents for the detected listings (11033). The answers' messages.
  std::vector<tkwire::Reply> detect(int fd, const std::string& agent, bool keep, int64_t sequence) {
    std::string stream;
    tkwire::appendElement(stream, 2048, tktest::le32(0) + agent);
    if (keep) tkwire::appendU32(stream, 11033, 1);
    tkwire::appendU32(stream, 2052, 0);
    tkwire::StreamRequest request;
    request.handler = "onMsgMMAutoDetect";
    request.sequence = sequence;
    request.firstField = tkwire::firstFieldOf(0, keep ? 3 : 2);  // the element count
    request.stream = stream;
    return hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(request));
  }

  // The answers of a Set request: `stream` of `elements` elements.
  std::vector<ctltest::Message> set(int fd, const char* handler, const std::string& stream, uint32_t elements,
                                    int64_t sequence) {
    tkwire::StreamRequest request;
    request.handler = handler;
    request.sequence = sequence;
    request.firstField = tkwire::firstFieldOf(0, elements);
    request.stream = stream;
    return ctltest::messagesOf(hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(request)), sequence);
  }

  // The answers of a control request with one record (operation, handle).
  std::vector<ctltest::Message> control(int fd, uint32_t operation, uint64_t handle, int64_t sequence) {
    std::string stream;
    tkwire::appendU32(stream, 4001, operation);
    tkwire::appendU64(stream, 11003, handle);
    tkwire::appendU32(stream, 2052, 0);
    return set(fd, "onMsgSetMMControl", stream, 3, sequence);
  }

  // A request on the object `handle` (in the place of the first words),
  // with `payload` behind it; its replies' records.
  std::vector<std::vector<tkwire::Item>> onObject(int fd, const char* handler, uint64_t handle,
                                                  const std::string& payload, int64_t sequence) {
    tkwire::StreamRequest request;
    request.handler = handler;
    request.sequence = sequence;
    request.firstField = handle;
    request.stream = payload;
    return recordsOf(hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(request)));
  }

  // The records of a listing without arguments (detected libraries, ...).
  std::vector<std::vector<tkwire::Item>> listing(int fd, const char* handler, int64_t sequence) {
    return recordsOf(hosttest::sendAndRead(fd, hosttest::streamFrame(handler, sequence)));
  }

  // A tape library with one drive that ma1 sees, attached with SQL as an
  // administrator would.
  void attachLibraryToMa1() {
    ASSERT_EQ(m_db.exec("INSERT INTO \"MMAttachedLibrary\" (\"ClientId\", \"Vendor\", \"Product\", \"SerialNumber\", "
                        "\"DeviceName\", \"ScsiBus\", \"ScsiTarget\", \"ScsiLun\") VALUES ((SELECT \"id\" FROM "
                        "\"APP_Client\" WHERE \"name\" = 'ma1'), 'ACME', 'TL-8', 'TL8-0001', '/dev/sg7', 0, 7, 0)"),
              0);
    ASSERT_EQ(m_db.exec("INSERT INTO \"MMAttachedDrive\" (\"AttachedLibraryId\", \"DriveNumber\", \"Vendor\", "
                        "\"Product\", \"SerialNumber\", \"DeviceName\") VALUES (last_insert_rowid(), 1, 'ACME', "
                        "'LTO-8', 'D-0001', '/dev/nst7')"),
              0);
  }

  // Runs tkconsole with `args` after the socket option; each run writes
  // files of its own.
  ConsoleRun console(const std::vector<std::string>& args) {
    const std::string name = "console" + std::to_string(++m_runs);
    std::vector<std::string> all{"--socket", host().socket()};
    all.insert(all.end(), args.begin(), args.end());
    hosttest::Child child;
    ConsoleRun run;
    if (!child.start(hosttest::consoleBinary(), all, {}, m_dir.file(name + ".out"), m_dir.file(name + ".err")))
      return run;
    run.status = child.exitCode();
    run.out = hosttest::readFile(m_dir.file(name + ".out"));
    return run;
  }

  // Runs a console script (its lines) on one connection.
  ConsoleRun script(const std::string& lines, const std::vector<std::string>& options = {}) {
    const std::string path = m_dir.file("script" + std::to_string(m_runs + 1) + ".tk");
    std::ofstream(path) << lines;
    std::vector<std::string> args = options;
    args.push_back("--script");
    args.push_back(path);
    return console(args);
  }

  // `send` on a connection of its own that holds the configuration lock.
  void underLock(const std::function<void(int fd)>& send) {
    const int fd = connect();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(hosttest::takeLock(fd));
    send(fd);
    EXPECT_TRUE(hosttest::releaseLock(fd, 90));
    ::close(fd);
  }
  uint64_t libraryHandle(int fd, const std::string& name, int64_t sequence) {
    return handleOf(recordNamed(listing(fd, "onMsgGetMMLibraries", sequence), 2049, name));
  }
  // The handle of mount path `id` of the library, as its listing shows it.
  uint64_t mountPathHandle(int fd, uint64_t library, uint32_t id, int64_t sequence) {
    for (const std::vector<tkwire::Item>& record : onObject(fd, "onMsgGetMMMountPaths", library, "", sequence)) {
      for (const tkwire::Item& item : record)
        if (item.tag == tktag::kMountPath && item.bytes.size() >= 4 && item.u32() == id) return handleOf(record);
    }
    return 0;
  }

  // The handlers' debug log (TK_LOG_DIR).
  std::string debugLog() const { return hosttest::readFile(m_dir.file("log/tkmmconfig.log")); }

  std::map<std::string, std::string> hostEnvironment() const {
    return {{"TK_DB", m_db.path()},
            {"TK_RIGHTS", "table"},
            {"TK_LOCK_DIR", m_dir.file("locks")},
            {"TK_LOG_DIR", m_dir.file("log")}};
  }

  tktest::TestDatabase m_db;
  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"}, hostEnvironment()};
  std::optional<hosttest::Host> m_restarted;
  int m_runs = 0;
  int m_restarts = 0;
};

}  // namespace installtest
