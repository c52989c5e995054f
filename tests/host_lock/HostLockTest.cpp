// The configuration lock end to end: the real tkhost with the handler
// library, reached by consoles over the real socket (the wire codec, and
// the tkconsole binary with its lock words). A lock that could not read the
// configuration leaves its connection without a session: every change on
// that connection answers, to the byte, as on a connection that never asked
// for the lock, and nothing is stored.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <latch>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/WaitFor.h"

namespace {

using hosttest::Child;
using tktest::catalogueText;

// The host knows no login names: the lock names its holder as "".
std::string heldText() { return catalogueText(0x240002F9, ""); }

std::string lockFrame(uint32_t operation, int64_t sequence) {
  tkwire::StreamRequest r;
  r.handler = "LockMMConfiguration";
  r.sequence = sequence;
  r.firstField = tkwire::firstFieldOf(2, operation);
  return tkwire::encodeStreamRequest(r);
}

std::string xmlLockFrame(uint32_t operation, int64_t sequence) {
  tkwire::XmlRequest r;
  r.handler = "HandleMMConfigMgrXmlMsg";
  r.sequence = sequence;
  r.messageId = 0x0DF9BE39;
  r.xml = "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i2=\"" +
          std::to_string(operation) + "\"/></EVGui_MMConfigurationLockUnlockReq>";
  return tkwire::encodeXmlRequest(r);
}

// The element-stream lock's one status reply to the operation.
tktest::Status lock(int fd, uint32_t operation, int64_t sequence) {
  std::optional<tktest::Status> status = tktest::onlyStatus(hosttest::sendAndRead(fd, lockFrame(operation, sequence)));
  EXPECT_TRUE(status && status->sequence == sequence);
  return status.value_or(tktest::Status{});
}

class HostLock : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostLock, TwoConsolesLockingAtOnceNeverBothHoldTheLock) {
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    const int fds[2] = {m_host.connect(), m_host.connect()};
    ASSERT_GE(fds[0], 0);
    ASSERT_GE(fds[1], 0);
    // Both consoles use the element-stream form, which keeps the lock even
    // when the host cannot read the configuration: the one answered with
    // anything but 3 holds it.
    tktest::Status got[2];
    std::latch start(2);
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
      threads.emplace_back([&, i] {
        start.arrive_and_wait();
        got[i] = lock(fds[i], 1, 10 + i);
      });
    }
    for (auto& t : threads) t.join();

    ASSERT_EQ((got[0].status == 3) + (got[1].status == 3), 1) << got[0].status << " and " << got[1].status;
    const int winner = got[0].status == 3 ? 1 : 0;
    const int loser = 1 - winner;
    EXPECT_EQ(got[loser].text, heldText());
    EXPECT_TRUE(got[winner].status == 0 || got[winner].status == 1) << got[winner].text;

    // The loser's element-stream unlock changes nothing; it is still refused.
    tktest::Status unlock = lock(fds[loser], 0, 20);
    EXPECT_EQ(unlock.status, 1u);
    EXPECT_EQ(unlock.text, "Success");
    EXPECT_EQ(lock(fds[loser], 1, 21).status, 3u);

    // The winner releases it; then the loser gets it.
    unlock = lock(fds[winner], 0, 22);
    EXPECT_EQ(unlock.status, 1u);
    EXPECT_EQ(unlock.text, "Success");
    EXPECT_NE(lock(fds[loser], 1, 23).status, 3u);
    EXPECT_EQ(lock(fds[loser], 2, 24).status, 1u);
    ::close(fds[0]);
    ::close(fds[1]);
  }
}

TEST_F(HostLock, BothFormsShareOneLock) {
  const int a = m_host.connect();
  const int b = m_host.connect();
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_NE(lock(a, 1, 1).status, 3u);

  // B's XML lock is refused with the holder named.
  std::vector<tkwire::Reply> replies = hosttest::sendAndRead(b, xmlLockFrame(1, 2));
  ASSERT_EQ(replies.size(), 1u);
  std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->result, 0);
  EXPECT_EQ(answer->text, "<ZQGui_GenericResp i1=\"-1\" s2=\"" + heldText() + "\"/>");

  // B's XML unlock: first the force-close notice (B is not the holder),
  // then the answer; the lock is released all the same.
  replies = hosttest::sendAndRead(b, xmlLockFrame(0, 3));
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].messageId, 11055u);
  EXPECT_EQ(replies[0].sequence, 3);
  ASSERT_EQ(tktest::tagsOf(replies[0]), std::vector<uint32_t>{11102});
  EXPECT_EQ(replies[0].items[0].bytes, tktest::wordAndText(4, catalogueText(0x240002FA, "")));
  answer = tkwire::decodeXmlAnswer(replies[1]);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->text, "<ZQGui_GenericResp i1=\"0\"/>");

  // Free again: B's element-stream lock wins, A is refused.
  EXPECT_NE(lock(b, 1, 4).status, 3u);
  EXPECT_EQ(lock(a, 1, 5).status, 3u);
  // A forces it; B's element-stream unlock is no longer B's to make.
  EXPECT_NE(lock(a, 3, 6).status, 3u);
  EXPECT_EQ(lock(b, 1, 7).status, 3u);
  EXPECT_EQ(lock(a, 2, 8).text, "Success");
  ::close(a);
  ::close(b);
}

TEST_F(HostLock, TheConsoleTakesAndReleasesTheLock) {
  const std::string script = m_dir.file("session.tk");
  std::ofstream(script) << "lock\nlock xml server-seq=9\nunlock\nlock xml\nunlock-anyway xml\n";
  Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "--script", script}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  // The XML lock asked for while the lock is held is refused (code -1).
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(m_dir.file("console.err"));
  const std::string output = hosttest::readFile(m_dir.file("console.out"));
  const std::string held = "<ZQGui_GenericResp i1=\"-1\" s2=\"" + heldText() + "\"/>";
  for (const std::string& expected :
       {std::string("> lock\nreply 1024 seq 1\n  tag 2051 (status)"),
        "> lock xml server-seq=9\nreply 0x0DF9BE39 seq 2\n  result 0\n  xml len " + std::to_string(held.size()) +
            ": " + held + "\n",
        std::string("> unlock\nreply 1024 seq 3\n  tag 2051 (status) len 11: 1 (success) \"Success\"\n"),
        std::string("> unlock-anyway xml\nreply 0x0DF9BE39 seq 5\n  result 0\n  xml len 27: "
                    "<ZQGui_GenericResp i1=\"0\"/>\n")}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\nin\n" << output;
  }

  // A wrong lock word sends nothing.
  Child wrong;
  ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "force-lock", "xml", "rights=3"},
                          {}, m_dir.file("wrong.out"), m_dir.file("wrong.err")));
  EXPECT_EQ(wrong.exitCode(), 64);
  EXPECT_NE(hosttest::readFile(m_dir.file("wrong.err")).find("rights= is for the element-stream form"),
            std::string::npos);
}

// The descriptor numbers of the connections the host opened, in order,
// from its log.
std::vector<std::string> openedNumbers(const std::string& log) {
  std::vector<std::string> opened;
  for (size_t at = log.find("connection "); at != std::string::npos; at = log.find("connection ", at + 1)) {
    size_t end = log.find(" opened", at);
    if (end != std::string::npos && end < log.find('\n', at)) opened.push_back(log.substr(at + 11, end - at - 11));
  }
  return opened;
}

size_t closedCount(const std::string& log) {
  size_t n = 0;
  for (size_t at = log.find(" closed\n"); at != std::string::npos; at = log.find(" closed\n", at + 1)) ++n;
  return n;
}

TEST(HostLockHolder, AHolderThatDisconnectsIsNeverMatchedByALaterConsoleOnTheSameDescriptor) {
  tktest::TempDir dir;
  std::unique_ptr<hosttest::Host> host;
  {
    // Under so low a limit the host cannot hand out descriptor numbers in
    // rotation: a closed number comes back at once for the next console.
    hosttest::ScopedDescriptorLimit limit(64);
    host = std::make_unique<hosttest::Host>(
        dir, dir.file("host.sock"), std::vector<std::string>{},
        std::map<std::string, std::string>{{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}});
  }
  ASSERT_TRUE(host->up()) << host->log();
  // The host logs a connection from its accept loop, which may come after
  // the connection's first answer: the log is waited for, not read once.
  auto waitLogged = [&](const auto& count, size_t n) {
    for (int64_t deadline = hosttest::nowMs() + hosttest::kReplyMs;
         count(host->log()) < n && hosttest::nowMs() < deadline;)
      hosttest::pauseMs(5);
    return count(host->log()) == n;
  };
  auto waitClosed = [&](size_t n) { return waitLogged(closedCount, n); };
  ASSERT_TRUE(waitClosed(1)) << host->log();

  const int holder = host->connect();
  ASSERT_GE(holder, 0);
  EXPECT_NE(lock(holder, 1, 1).status, 3u);
  ::close(holder);
  ASSERT_TRUE(waitClosed(2)) << host->log();

  const int later = host->connect();
  ASSERT_GE(later, 0);
  EXPECT_EQ(lock(later, 1, 2).status, 3u);
  ASSERT_TRUE(waitLogged([](const std::string& log) { return openedNumbers(log).size(); }, 3)) << host->log();
  const std::vector<std::string> opened = openedNumbers(host->log());
  ASSERT_EQ(opened.size(), 3u) << host->log();
  ASSERT_EQ(opened[2], opened[1]) << "the later console has the holder's descriptor number";

  // Its element-stream unlock is not the holder's: nothing changes, and the
  // lock is still held.
  tktest::Status unlock = lock(later, 2, 3);
  EXPECT_EQ(unlock.status, 1u);
  EXPECT_EQ(unlock.text, "Success");
  EXPECT_EQ(lock(later, 1, 4).status, 3u);
  // Forcing it is the way in.
  EXPECT_NE(lock(later, 3, 5).status, 3u);
  EXPECT_EQ(lock(later, 2, 6).text, "Success");
  EXPECT_NE(lock(later, 1, 7).status, 3u);
  ::close(later);
}

// The numbers of the "the number of old instances = N." lines of a handler
// log, in order.
std::vector<unsigned long> oldInstanceCounts(const std::string& log) {
  static const std::string kLine = "the number of old instances = ";
  std::vector<unsigned long> out;
  for (std::size_t at = log.find(kLine); at != std::string::npos; at = log.find(kLine, at + 1))
    out.push_back(std::strtoul(log.c_str() + at + kLine.size(), nullptr, 10));
  return out;
}

TEST(HostSession, AConsoleReReadingAThousandTimesKeepsTwoInstancesAndOneOnceItHasGone) {
  // Each re-read (control operation 68) makes a new configuration instance;
  // the host counts the older ones in its handler log as it makes each, and
  // says how many stay cached when a connection closes.
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("host.sock"), {"--seed-demo"},
                      {{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const int console = host.connect();
  ASSERT_GE(console, 0);
  // Each request's replies are read up to its end frame, so that no frame
  // of one is taken for the next one's.
  const auto exchange = [console](const std::string& frame) {
    EXPECT_TRUE(tkwire::writeAll(console, frame));
    return tktest::awaitReplies(console, hosttest::kReplyMs, hosttest::kReplyMs);
  };
  const std::vector<tkwire::Reply> locked = exchange(lockFrame(1, 1));
  ASSERT_EQ(locked.size(), 1u);
  ASSERT_EQ(locked[0].items.at(0).bytes.substr(0, 4), tktest::le32(1)) << locked[0].items.at(0).bytes;
  tkwire::StreamRequest reread;
  reread.handler = "onMsgSetMMControl";
  reread.firstField = tkwire::firstFieldOf(0, 2);  // two elements
  tkwire::appendU32(reread.stream, 4001, 68);
  tkwire::appendU32(reread.stream, 2052, 0);
  constexpr int kRereads = 1000;
  for (int i = 0; i < kRereads; ++i) {
    reread.sequence = 100 + i;
    const std::vector<tkwire::Reply> replies = exchange(tkwire::encodeStreamRequest(reread));
    ASSERT_EQ(replies.size(), 1u) << i;
    const tkwire::Item* status = replies[0].find(2051);
    ASSERT_NE(status, nullptr) << i;
    ASSERT_EQ(tktest::le32(1), status->bytes.substr(0, 4)) << i << ": " << status->bytes;
  }
  const std::string logPath = dir.file("log/tkmmconfig.log");
  const std::vector<unsigned long> counts = oldInstanceCounts(hosttest::readFile(logPath));
  ASSERT_EQ(counts.size(), static_cast<std::size_t>(kRereads)) << "the lock's instance had none before it";
  for (std::size_t i = 0; i < counts.size(); ++i)
    ASSERT_LE(counts[i], 2u) << "re-read " << i << " found that many instances before it";

  // Closed, the console leaves the newest instance only.
  ::close(console);
  const std::string closed = "has closed: [2] of its instances ended, [1] freed, [1] instances cached.";
  std::string log;
  for (int64_t deadline = hosttest::nowMs() + hosttest::kReplyMs;
       (log = hosttest::readFile(logPath)).find(closed) == std::string::npos && hosttest::nowMs() < deadline;)
    hosttest::pauseMs(5);
  EXPECT_NE(log.find(closed), std::string::npos) << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
}


// Another process's write transaction on the host's database, held until
// it is committed (or the object goes).
class HeldWrite {
 public:
  explicit HeldWrite(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &m_handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(m_handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
      ADD_FAILURE() << sqlite3_errmsg(m_handle);
  }
  ~HeldWrite() { commit(); }
  void commit() {
    if (m_handle == nullptr) return;
    sqlite3_exec(m_handle, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(m_handle);
    m_handle = nullptr;
  }

 private:
  sqlite3* m_handle = nullptr;
};

TEST(HostLockGone, ALockWhoseConsoleLeftBeforeItsAnswerIsReleasedAgain) {
  struct Row {
    const char* name;
    std::string frame;
  };
  const std::vector<Row> rows = {{"lock", lockFrame(1, 1)},
                                 {"force lock", lockFrame(3, 1)},
                                 {"XML lock", xmlLockFrame(1, 1)},
                                 {"XML force lock", xmlLockFrame(3, 1)}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    tktest::TempDir dir;
    hosttest::Host host{dir, dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
    ASSERT_TRUE(host.up()) << host.log();
    const std::string handlerLog = dir.file("log/tkmmconfig.log");
    const auto logged = [&](const std::string& line) {
      return tktest::pollUntil([&] { return hosttest::readFile(handlerLog).find(line) != std::string::npos; },
                               std::chrono::milliseconds(hosttest::kReplyMs));
    };
    {
      // The lock's read waits for the write transaction, longer than the
      // console waits for the answer: the console gives up and goes while
      // the host is in the lock.
      HeldWrite write(dir.file("host.db"));
      const int gaveUp = host.connect();
      ASSERT_GE(gaveUp, 0);
      ASSERT_TRUE(tkwire::writeAll(gaveUp, row.frame));
      ASSERT_TRUE(logged("Received request by [")) << hosttest::readFile(handlerLog);
      ::close(gaveUp);
    }
    // The lock is granted once the write is committed, and released again.
    ASSERT_TRUE(logged("has gone before the answer to its lock: the lock is released."))
        << hosttest::readFile(handlerLog);
    // The next console finds the lock free.
    const int next = host.connect();
    ASSERT_GE(next, 0);
    const tktest::Status taken = lock(next, 1, 2);
    EXPECT_EQ(taken.status, 1u) << taken.text;
    EXPECT_EQ(lock(next, 2, 3).text, "Success");
    ::close(next);
  }
}

// A client that can no longer read (its read side shut) asks for the lock
// and goes: the answer cannot be written, and the lock it would have held
// is free again, in either form, however often it happens.
TEST(HostLockGone, ALockWhoseAnswerCannotBeWrittenIsReleasedInEitherForm) {
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("host.sock"), {},
                      {{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const struct {
    const char* name;
    std::string frame;
  } rows[] = {{"lock", lockFrame(1, 1)}, {"force lock", lockFrame(3, 1)},
              {"XML lock", xmlLockFrame(1, 1)}, {"XML force lock", xmlLockFrame(3, 1)}};
  const int next = host.connect();
  ASSERT_GE(next, 0);
  const std::string handlerLog = dir.file("log/tkmmconfig.log");
  const auto released = [&] {
    const std::string log = hosttest::readFile(handlerLog);
    size_t n = 0;
    for (size_t at = log.find("before the answer to its lock: the lock is released."); at != std::string::npos;
         at = log.find("before the answer to its lock: the lock is released.", at + 1))
      ++n;
    return n;
  };
  int64_t sequence = 10;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    for (int round = 0; round < 5; ++round) {
      SCOPED_TRACE(round);
      const size_t releasedBefore = released();
      const int deaf = host.connect();
      ASSERT_GE(deaf, 0);
      ASSERT_EQ(::shutdown(deaf, SHUT_RD), 0);
      ASSERT_TRUE(tkwire::writeAll(deaf, row.frame));
      // The answer is written (and fails) while the client is still there,
      // and the lock is released.
      ASSERT_TRUE(tktest::pollUntil([&] { return released() > releasedBefore; },
                                    std::chrono::milliseconds(hosttest::kReplyMs)))
          << hosttest::readFile(handlerLog);
      const size_t closedBefore = closedCount(host.log());
      ::close(deaf);
      // Whatever the host does about the lost answer is done once it has
      // closed the connection.
      for (int64_t deadline = hosttest::nowMs() + hosttest::kReplyMs;
           closedCount(host.log()) == closedBefore && hosttest::nowMs() < deadline;)
        hosttest::pauseMs(5);
      ASSERT_GT(closedCount(host.log()), closedBefore) << host.log();
      const tktest::Status taken = lock(next, 1, ++sequence);
      EXPECT_EQ(taken.status, 1u) << taken.text;
      EXPECT_EQ(lock(next, 2, ++sequence).text, "Success");
    }
  }
  ::close(next);
}

TEST(HostLockGone, AnXmlUnlockWithNothingHeldTellsOfNoTakeOver) {
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("host.sock"), {},
                      {{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const int a = host.connect();
  const int b = host.connect();
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  // Nothing ever held; then held by A and released: neither time is there
  // a take-over to tell of, only the answer.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) {
      EXPECT_EQ(lock(a, 1, 10).status, 1u);
      EXPECT_EQ(lock(a, 2, 11).text, "Success");
    }
    const std::vector<tkwire::Reply> replies = hosttest::sendAndRead(b, xmlLockFrame(0, 20 + round));
    ASSERT_EQ(replies.size(), 1u);
    std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->text, "<ZQGui_GenericResp i1=\"0\"/>");
  }
  // A's session is still A's: its own lock is granted, B's refused.
  EXPECT_EQ(lock(a, 1, 30).status, 1u);
  EXPECT_EQ(lock(b, 1, 31).status, 3u);
  ::close(a);
  ::close(b);
}


// SQL on the host's database through a connection of its own, as an
// administrator's sqlite3 would: the first column of the first row, or
// every row of every column rendered (`all`).
std::string sqlOn(const std::string& path, const std::string& sql, bool all = false) {
  sqlite3* handle = nullptr;
  std::string out;
  if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path;
    sqlite3_close(handle);
    return out;
  }
  sqlite3_busy_timeout(handle, 10000);
  sqlite3_stmt* stmt = nullptr;
  const char* tail = sql.c_str();
  while (*tail != '\0') {
    if (sqlite3_prepare_v2(handle, tail, -1, &stmt, &tail) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(handle) << "\n" << sql;
      break;
    }
    if (stmt == nullptr) continue;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      for (int c = 0; c < (all ? sqlite3_column_count(stmt) : 1); ++c) {
        const unsigned char* text = sqlite3_column_text(stmt, c);
        out += text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
        out += all ? "|" : "";
      }
      if (!all) break;
      out += "\n";
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) ADD_FAILURE() << sqlite3_errmsg(handle) << "\n" << sql;
    sqlite3_finalize(stmt);
    stmt = nullptr;
  }
  sqlite3_close(handle);
  return out;
}

// Every row of every table but the change log's, rendered.
std::string everyRow(const std::string& path) {
  const std::string tables = sqlOn(path,
                                   "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                                   "AND name NOT IN ('MMConfigChange', 'MMConfigEpoch') ORDER BY name",
                                   true);
  std::string out;
  for (size_t at = 0; at < tables.size();) {
    const size_t bar = tables.find('|', at);
    const std::string table = tables.substr(at, bar - at);
    at = tables.find('\n', bar) + 1;
    out += "[" + table + "]\n" + sqlOn(path, "SELECT * FROM \"" + table + "\" ORDER BY 1", true);
  }
  return out;
}

// Every frame the host answers a request with, its end frame included,
// rendered: kind, message id, sequence and each item's bytes.
std::string answersTo(int fd, const std::string& frame) {
  EXPECT_TRUE(tkwire::writeAll(fd, frame));
  std::string out;
  std::string body;
  while (tkwire::readFrame(fd, hosttest::kReplyMs, body) == tkwire::ReadStatus::Ok) {
    const std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    if (!reply) {
      ADD_FAILURE() << "undecodable reply";
      break;
    }
    out += "frame " + std::to_string(reply->kind) + " id " + std::to_string(reply->messageId) + " seq " +
           std::to_string(reply->sequence) + (reply->isEnd() ? " end " + std::to_string(reply->endResult()) : "") +
           (reply->kind == tkwire::kReplyRaw ? " raw " + reply->raw : "") + "\n";
    for (const tkwire::Item& item : reply->items) out += "  " + std::to_string(item.tag) + ": " + item.bytes + "\n";
    if (reply->isEnd()) return out;
  }
  ADD_FAILURE() << "no end frame";
  return out;
}

std::string streamOf(const std::string& handler, int64_t sequence, const tktest::StreamBuilder& elements) {
  tkwire::StreamRequest r;
  r.handler = handler;
  r.sequence = sequence;
  r.firstField = tkwire::firstFieldOf(0, elements.elementsAdded());
  r.stream.assign(elements.stream().begin(), elements.stream().end());
  return tkwire::encodeStreamRequest(r);
}

struct Change {
  const char* name;
  const char* handler;
  tktest::StreamBuilder elements;
};

std::vector<Change> changes() {
  using tktest::StreamBuilder;
  return {
      {"a DRU host added", "onMsgSetDRUHost",
       StreamBuilder().op(48).pair(11420, 0, "dru-busy").text(11425, "operator").u32(11427, 7000).end()},
      {"an archive cluster added", "onMsgSetCenteraCluster",
       StreamBuilder()
           .op(48)
           .pair(11400, 0, "ArcBusy")
           .text(11411, "cas-ArcBusy")
           .text(11405, "ID-ArcBusy")
           .text(11406, "5000")
           .text(11407, "4.0")
           .text(11408, "10.0.0.1")
           .end()},
      {"a disk library added", "onMsgSetMMMagneticLibrary",
       StreamBuilder().op(1).text(8251, "DiskBusy").u32(11187, 3).pair(2048, 0, "ma1").end()},
      {"a library on an IP library server added", "onMsgSetMMLibrary",
       StreamBuilder()
           .op(55)
           .pair(2048, 0, "ma2")
           .text(11089, "ls1.example.net")
           .text(11086, "DEMO")
           .text(11087, "TAPE-9")
           .text(11031, "LSLIB1")
           .u32(11008, 1)
           .u32(11009, 4)
           .text(11417, "VOLRANGE-BUSY")
           .end()},
      {"an NDMP server added", "onMsgSetMMNDMPServer",
       StreamBuilder().u32(4106, 2).op(1).text(11058, "filer-busy").u32(11064, 6).u32(11066, 10000).end()},
      {"the configuration read again", "onMsgSetMMControl", StreamBuilder().op(70).end()},
  };
}

TEST(HostFailedLock, EveryChangeAfterALockThatCouldNotReadTheConfigurationAnswersAsWithoutALock) {
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("host.sock"), {"--seed-demo"},
                      {{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const std::string db = dir.file("host.db");
  const std::string agent = sqlOn(db, "SELECT MIN(ClientId) FROM MMHost");
  const std::string attribute = sqlOn(db, "SELECT Attribute FROM MMHost WHERE ClientId = " + agent);
  ASSERT_FALSE(attribute.empty());
  const std::string unreadable = "The media-management configuration could not be read: ";

  struct Form {
    const char* name;
    uint32_t operation;
    bool xml;
  };
  const Form forms[] = {{"lock", 1, false}, {"force lock", 3, false}, {"XML lock", 1, true}, {"XML force lock", 3, true}};
  int64_t sequence = 100;
  for (const Form& form : forms) {
    SCOPED_TRACE(form.name);
    const int failed = host.connect();
    const int fresh = host.connect();
    ASSERT_GE(failed, 0);
    ASSERT_GE(fresh, 0);
    // A value the configuration read refuses, for the lock's read only.
    sqlOn(db, "UPDATE MMHost SET Attribute = 'not a number' WHERE ClientId = " + agent);
    ++sequence;
    const std::string lock =
        answersTo(failed, form.xml ? xmlLockFrame(form.operation, sequence) : lockFrame(form.operation, sequence));
    EXPECT_NE(lock.find(unreadable), std::string::npos) << lock;
    EXPECT_NE(lock.find(form.xml ? "i1=\"-1\"" : "2051: "), std::string::npos) << lock;
    // A lock not taken ends with result 0 in the element-stream form.
    if (!form.xml) {
      EXPECT_NE(lock.find(" end 0\n"), std::string::npos) << lock;
    }
    sqlOn(db, "UPDATE MMHost SET Attribute = " + attribute + " WHERE ClientId = " + agent);

    const std::string rows = everyRow(db);
    for (const Change& change : changes()) {
      SCOPED_TRACE(change.name);
      ++sequence;
      const std::string withoutLock = answersTo(fresh, streamOf(change.handler, sequence, change.elements));
      const std::string afterFailedLock = answersTo(failed, streamOf(change.handler, sequence, change.elements));
      EXPECT_EQ(afterFailedLock, withoutLock);
      EXPECT_EQ(afterFailedLock.find("Success"), std::string::npos) << afterFailedLock;
    }
    EXPECT_EQ(everyRow(db), rows) << "a change was stored";

    // The lock is free: another console takes it, reads the configuration,
    // and finds none of the changes.
    const int next = host.connect();
    ASSERT_GE(next, 0);
    ASSERT_TRUE(hosttest::takeLock(next, ++sequence));
    tkwire::StreamRequest listing;
    listing.handler = "onMsgGetDRUHostList";
    listing.sequence = ++sequence;
    const std::string dru = answersTo(next, tkwire::encodeStreamRequest(listing));
    EXPECT_EQ(dru.find("dru-busy"), std::string::npos) << dru;
    EXPECT_TRUE(hosttest::releaseLock(next, ++sequence));
    ::close(next);
    ::close(failed);
    ::close(fresh);
  }
}

}  // namespace
