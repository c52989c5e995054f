// A lock that could not read the configuration leaves its connection
// without a session, through the real tkhost on a seeded installation:
// every change on that connection answers, to the byte, as on a connection
// that never asked for the lock, and nothing is stored.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "tests/support/HostHarness.h"
#include "tests/support/StreamBuilder.h"

namespace {

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

std::string lockOf(uint32_t operation, bool xml, int64_t sequence) {
  if (xml) {
    tkwire::XmlRequest r;
    r.handler = "HandleMMConfigMgrXmlMsg";
    r.sequence = sequence;
    r.messageId = 0x0DF9BE39;
    r.xml = "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i2=\"" +
            std::to_string(operation) + "\"/></EVGui_MMConfigurationLockUnlockReq>";
    return tkwire::encodeXmlRequest(r);
  }
  tkwire::StreamRequest r;
  r.handler = "LockMMConfiguration";
  r.sequence = sequence;
  r.firstField = tkwire::firstFieldOf(2, operation);
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
    const std::string lock = answersTo(failed, lockOf(form.operation, form.xml, ++sequence));
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
