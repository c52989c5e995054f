// How a row is driven: a fresh copy of one seeded database, the real tkhost
// on it, the real tkconsole reading its lines one at a time (so that a
// line can use a handle a listing just printed), a re-read, a restart.
#include "tests/host_sweep/Sweep.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <iostream>
#include <sstream>
#include <thread>

#include "tests/support/HostHarness.h"
#include "tests/support/StoreCheck.h"
#include "tests/support/TempDir.h"

namespace sweeptest {

std::string joined(std::string_view first, std::string_view second) {
  std::string text(first);
  text += second;
  return text;
}
namespace {

// Rows driven at once (besides those waiting out the host's busy time-out):
// the time goes to starting and ending the sanitized processes, which four
// rows keep two cores busy with.
constexpr unsigned kWorkers = 4;
// The marker line sent behind each line: its echo says the line before it
// is answered.
constexpr const char* kMarker = hosttest::kAnswersEndMarker;

// The first column of a query's rows on an open connection, joined by '|'.
std::string firstColumn(sqlite3* db, const std::string& sql) {
  std::string out;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    out = std::string("(query refused: ") + sqlite3_errmsg(db) + ")";
  } else {
    bool first = true;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      out += (first ? "" : "|") + std::string(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
      first = false;
    }
  }
  sqlite3_finalize(statement);
  return out;
}

// A read-only connection to a row's database, for as long as it lives.
class Reader {
 public:
  explicit Reader(const std::string& database) {
    if (sqlite3_open_v2(database.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(m_db);
      m_db = nullptr;
      return;
    }
    sqlite3_busy_timeout(m_db, 10000);
  }
  ~Reader() { sqlite3_close(m_db); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // The first column of a query's rows, joined by '|'.
  std::string rows(const std::string& sql) const {
    return m_db == nullptr ? "(database not opened)" : firstColumn(m_db, sql);
  }

 private:
  sqlite3* m_db = nullptr;
};

// The first column of a query's rows, joined by '|'.
std::string queryRows(const std::string& database, const std::string& sql) { return Reader(database).rows(sql); }

std::string runSql(const std::string& database, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string error;
  if (sqlite3_open(database.c_str(), &db) == SQLITE_OK) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
      error = message != nullptr ? message : "failed";
    sqlite3_free(message);
  } else {
    error = "not opened";
  }
  sqlite3_close(db);
  return error;
}

// Every stored table but those that change by themselves, each row in
// rowid order, one line a table: what a row that keeps nothing compares.
// One connection reads them all: each new one parses the whole schema
// again, a hundred tables with their triggers, which under the sanitizers
// took seconds a dump when every query opened its own.
std::string storedTables(const std::string& database) {
  const Reader reader(database);
  std::string out;
  const std::string tables = reader.rows(
      "SELECT \"name\" FROM \"sqlite_master\" WHERE \"type\" = 'table' AND \"name\" NOT LIKE 'sqlite_%' "
      "ORDER BY \"name\"");
  std::istringstream names(tables);
  for (std::string name; std::getline(names, name, '|');) {
    const auto& skipped = tablesChangingByThemselves();
    if (std::any_of(skipped.begin(), skipped.end(), [&](const auto& t) { return t.first == name; })) continue;
    // Each row as the text of its columns.
    std::string columns;
    std::istringstream listed(reader.rows("SELECT \"name\" FROM pragma_table_info('" + name + "')"));
    for (std::string column; std::getline(listed, column, '|');)
      columns += (columns.empty() ? "" : " || ',' || ") + std::string("quote(\"") + column + "\")";
    out += name + ": " + reader.rows("SELECT " + columns + " FROM \"" + name + "\" ORDER BY rowid") + "\n";
  }
  return out;
}

// Another process's write transaction on the database, held from its
// making to its end.
class WriteHold {
 public:
  explicit WriteHold(const std::string& database) {
    if (sqlite3_open(database.c_str(), &m_db) != SQLITE_OK ||
        sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
      m_failed = true;
  }
  ~WriteHold() {
    if (m_db != nullptr) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
  }
  WriteHold(const WriteHold&) = delete;
  WriteHold& operator=(const WriteHold&) = delete;
  bool failed() const { return m_failed; }

 private:
  sqlite3* m_db = nullptr;
  bool m_failed = false;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// The lines of `text` that `known` does not hold.
std::string linesNotIn(const std::string& text, const std::string& known) {
  std::string out;
  const std::vector<std::string> old = linesOf(known);
  for (const std::string& line : linesOf(text))
    if (std::find(old.begin(), old.end(), line) == old.end()) out += line + "\n";
  return out;
}

// The host's environment for a row's database.
std::map<std::string, std::string> hostEnvironment(const tktest::TempDir& dir, const std::string& database) {
  return {
      {"TK_DB", database}, {"TK_RIGHTS", "table"}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}};
}

// The demonstration installation, seeded once per process; each row
// copies the file.
const std::string& seededDatabase() {
  static tktest::TempDir dir;
  static const std::string path = [] {
    const std::string database = dir.file("seeded.db");
    hosttest::Host host(dir, dir.file("seed.sock"), {"--seed-demo"}, hostEnvironment(dir, database), "seed");
    EXPECT_TRUE(host.up()) << host.log();
    EXPECT_EQ(host.stop(), 0) << host.log();
    return database;
  }();
  return path;
}

// A tkconsole reading its lines from a pipe: each line is sent with the
// marker behind it, and its answers are what the console prints between
// the line's echo and the marker's.
class ConsoleSession {
 public:
  // A lock waits for the database as long as the host does (a row whose
  // lock fails waits out the host's busy wait).
  explicit ConsoleSession(const std::string& socket)
      : m_console({"--socket", socket, "--timeout", "60000", "--script", "-"}, false) {}

  // Sends one line (its handles resolved) and waits for its answers.
  void ask(const std::string& line) {
    const std::string resolved = resolve(line);
    std::string& text = m_console.printed();
    const size_t from = text.size();
    if (!m_console.send(resolved + "\n" + kMarker + "\n")) {
      text += "(console gone before: " + resolved + ")\n";
    } else if (m_console.awaitEcho(kMarker, from) == std::string::npos) {
      text += "(no answer to: " + resolved + ")\n";
    }
  }

  // Sends the last line (with no marker behind it: without the lock the
  // marker would be refused), closes the console's input and returns its
  // exit status once it has ended.
  int finish(const std::string& last = "") {
    if (!m_finished) m_status = m_console.finish(last);
    m_finished = true;
    return m_status;
  }

  // Everything it printed, the markers and their answers taken out.
  std::string text() const {
    std::string out;
    const std::string echo = "> " + std::string(kMarker) + "\n";
    const std::string& printed = m_console.printed();
    size_t at = 0;
    for (;;) {
      const size_t marker = printed.find(echo, at);
      if (marker == std::string::npos) {
        out += printed.substr(at);
        return out;
      }
      out += printed.substr(at, marker - at);
      const size_t next = printed.find("\n> ", marker + echo.size() - 1);
      if (next == std::string::npos) return out;
      at = next + 1;
    }
  }

 private:
  // `{h:TEXT}` becomes the object handle of the record that last printed
  // TEXT, `{ITEM@TEXT}` the number item ITEM of that record shows, and
  // `{FIELD<TEXT}` the number of the nearest XML field FIELD printed
  // before TEXT (an XML answer's element lists its fields in tag order).
  std::string resolve(const std::string& line) const {
    std::string out = line;
    for (size_t open; (open = out.find('{')) != std::string::npos;) {
      const size_t close = out.find('}', open);
      if (close == std::string::npos) break;
      const std::string token = out.substr(open + 1, close - open - 1);
      const size_t field = token.find('<');
      if (field != std::string::npos) {
        out.replace(open, close - open + 1, fieldBefore(token.substr(0, field), token.substr(field + 1)));
        continue;
      }
      const size_t at = token.rfind("h:", 0) == 0 ? 1 : token.find('@');
      const std::string item = token.rfind("h:", 0) == 0 ? "object handle" : token.substr(0, at);
      out.replace(open, close - open + 1, itemOfRecord(item, token.substr(at + 1)));
    }
    return out;
  }

  // The number item `item` shows in the record that last printed `wanted`;
  // "0" when there is none.
  std::string itemOfRecord(const std::string& item, const std::string& wanted) const {
    const std::string shown = text();
    const size_t where = shown.rfind(wanted);
    if (where == std::string::npos) return "0";
    size_t from = 0;
    for (const char* bound : {"(end of record)", "\nreply ", "\n> "}) {
      const size_t b = shown.rfind(bound, where);
      if (b != std::string::npos) from = std::max(from, b + 1);
    }
    size_t to = shown.size();
    for (const char* bound : {"(end of record)", "\nreply ", "\n> "}) to = std::min(to, shown.find(bound, where));
    const std::string label = "(" + item + ") len ";
    // The item on the line that shows the text, else the record's first.
    const size_t line = shown.rfind('\n', where) + 1;
    const size_t onLine = shown.find(label, line);
    const size_t found = onLine != std::string::npos && onLine < where ? onLine : shown.find(label, from);
    if (found == std::string::npos || found >= to) return "0";
    const size_t value = shown.find(": ", found) + 2;
    return shown.substr(value, shown.find_first_of(" \n", value) - value);
  }

  std::string fieldBefore(const std::string& field, const std::string& wanted) const {
    const std::string shown = text();
    const size_t where = shown.rfind(wanted);
    const std::string label = "(" + field + "): ";
    const size_t found = where == std::string::npos ? std::string::npos : shown.rfind(label, where);
    if (found == std::string::npos) return "0";
    const size_t value = found + label.size();
    return shown.substr(value, shown.find_first_of(" \n", value) - value);
  }

  hosttest::PipedConsole m_console;
  bool m_finished = false;
  int m_status = -1;
};

// What one connection printed: everything, and the read back's part.
struct Conversation {
  int status = -1;
  std::string text;
  std::string records;
};

// Runs `lines` after `lock` (and `first` lines) on a connection of its own,
// then `readBack` (after `relock`, a lock taken again, when it is set); the
// console's exit status and what it printed. `whileLocking` is held while
// the first lock is asked.
template <class Hold>
Conversation converse(const hosttest::Host& host, const std::vector<std::string>& first, const std::string& lines,
                      const std::string& readBack, Hold&& whileLocking, const std::string& relock = "") {
  ConsoleSession console(host.socket());
  {
    [[maybe_unused]] auto held = whileLocking();
    console.ask("lock");
  }
  for (const std::string& line : first) console.ask(line);
  for (const std::string& line : linesOf(lines)) console.ask(line);
  Conversation said;
  if (!relock.empty()) console.ask(relock);
  const size_t from = console.text().size();
  for (const std::string& line : linesOf(readBack)) console.ask(line);
  said.records = console.text().substr(from);
  said.status = console.finish("unlock");
  said.text = console.text();
  return said;
}

Conversation converse(const hosttest::Host& host, const std::vector<std::string>& first, const std::string& lines,
                      const std::string& readBack = "") {
  return converse(host, first, lines, readBack, [] { return 0; });
}

// One answer with the records of each reply in one order: a listing read
// again may list its objects in another order (by id rather than as they
// were made), which changes no record. A record opens with its handle or
// after the end of the record before it; what comes before the first
// record of a reply (the reply line, the listing's own items) stays first.
// Whether a record is of an object that was never stored and changes by
// itself (recordsChangingByThemselves).
bool neverStored(const std::string& record) {
  for (const auto& [label, why] : recordsChangingByThemselves()) {
    const size_t at = record.find(" " + label + " len ");
    if (at == std::string::npos) continue;
    const size_t value = record.find(": ", at);
    if (value != std::string::npos && record.compare(value + 2, 11, "4294967295 ") == 0) return true;
  }
  return false;
}

std::string inRecordOrder(const std::string& block, size_t& excepted) {
  std::string out;
  std::vector<std::string> records;
  std::string current;
  auto flush = [&](bool replyEnds) {
    if (!current.empty() && !records.empty() && neverStored(current)) ++excepted;
    else if (!current.empty()) records.push_back(current);
    current.clear();
    if (!replyEnds || records.empty()) return;
    std::sort(records.begin() + 1, records.end());
    for (const std::string& record : records) out += record;
    records.clear();
  };
  std::istringstream in(block);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("reply ", 0) == 0) flush(true);
    else if (line.find("(object handle)") != std::string::npos) flush(false);
    current += line + "\n";
    if (line.find("(end of record)") != std::string::npos) flush(false);
  }
  flush(true);
  return out;
}

// The answers of a read back, one block for each line, as they are
// compared: the line's echo (its handles resolved) left out, the items
// that change by themselves marked so. `excepted` counts those.
std::vector<std::string> recordsOf(const std::string& text, size_t& items, size_t& excepted) {
  std::vector<std::string> blocks;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("> ", 0) == 0) {
      blocks.emplace_back();
      continue;
    }
    if (blocks.empty()) blocks.emplace_back();
    // "reply N seq S": the sequence numbers the requests of a connection.
    const size_t seq = line.find(" seq ");
    if (line.rfind("reply ", 0) == 0 && seq != std::string::npos) line = line.substr(0, seq);
    if (line.rfind("  tag ", 0) == 0) {
      ++items;
      for (const auto& [label, why] : changingByThemselves()) {
        const size_t at = line.find(label);
        if (at == std::string::npos) continue;
        // The number the value opens with; a text after it is compared.
        const size_t value = line.find(": ", at);
        if (value == std::string::npos) continue;
        const size_t end = line.find_first_not_of("0123456789", value + 2);
        line = line.substr(0, value + 2) + "(changes by itself)" + (end == std::string::npos ? "" : line.substr(end));
        ++excepted;
        break;
      }
    }
    blocks.back() += line + "\n";
  }
  for (std::string& block : blocks) block = inRecordOrder(block, excepted);
  return blocks;
}

// The first difference of two read backs, "" when every record is the same.
std::string firstDifference(const std::vector<std::string>& expected, const std::vector<std::string>& seen) {
  for (size_t i = 0; i < std::max(expected.size(), seen.size()); ++i) {
    const std::string a = i < expected.size() ? expected[i] : "(no answer)\n";
    const std::string b = i < seen.size() ? seen[i] : "(no answer)\n";
    if (a == b) continue;
    std::istringstream la(a), lb(b);
    std::string x, y;
    for (;;) {
      const bool more = static_cast<bool>(std::getline(la, x)) | static_cast<bool>(std::getline(lb, y));
      if (!more) break;
      if (x != y) return "answer " + std::to_string(i + 1) + ": \"" + x + "\" there, \"" + y + "\" here";
      x.clear();
      y.clear();
    }
  }
  return std::string();
}

Outcome drive(const Row& row) {
  Outcome outcome;
  tktest::TempDir dir;
  const std::string database = dir.file("row.db");
  std::filesystem::copy_file(seededDatabase(), database);
  if (!row.before.empty()) {
    const std::string error = runSql(database, row.before);
    if (!error.empty()) outcome.changeOut = "(SQL before the change refused: " + error + ")\n";
  }
  const std::vector<std::string> seed =
      row.outsideWorld ? std::vector<std::string>{"--seed-demo"} : std::vector<std::string>{};
  if (row.keepsNothing) outcome.tablesBefore = storedTables(database);
  // What the whole-store checks find before the change (SQL of the row's
  // own may have made it), which the change is not held to.
  const std::string faultsBefore = tktest::wholeStoreFaults(database);
  {
    hosttest::Host host(dir, dir.file("first.sock"), seed, hostEnvironment(dir, database), "first");
    if (!host.up()) {
      outcome.changeOut += "(host did not start: " + host.log() + ")";
      return outcome;
    }
    // A session reads its configuration when it takes the lock and when it
    // is told to read again (control 70): a change served apart from it
    // shows in it only after that.
    const bool outside = servedApartFromTheSession(row.change);
    const Conversation change =
        row.lockFails ? converse(host, {}, row.change, row.readBack,
                                 [&] { return std::make_unique<WriteHold>(database); }, "lock")
                      : converse(host, {}, row.change, row.readBack, [] { return 0; }, outside ? "control 70" : "");
    outcome.changeExit = change.status;
    outcome.changeOut += change.text;
    outcome.sessionRecords = change.records;
    const Conversation reread = converse(host, {"control 70"}, "", row.readBack);
    outcome.reread = reread.text;
    outcome.rereadRecords = reread.records;
    if (!row.rowQuery.empty()) outcome.rowReread = queryRows(database, row.rowQuery);
    outcome.stops = std::to_string(host.stop());
  }
  outcome.storeFaults = linesNotIn(tktest::wholeStoreFaults(database), faultsBefore);
  if (row.keepsNothing) outcome.tablesAfter = storedTables(database);
  // A row that kept nothing and left every stored table as it was has
  // nothing a restart could show apart from what the re-read showed: a new
  // host would read the same rows. Its second host is not started.
  if (row.keepsNothing && row.restartShows.empty() && outcome.tablesAfter == outcome.tablesBefore) {
    outcome.restarted = outcome.reread;
    outcome.restartRecords = outcome.rereadRecords;
    outcome.rowRestarted = outcome.rowReread;
    outcome.stops += ",0";
    return outcome;
  }
  hosttest::Host host(dir, dir.file("second.sock"), seed, hostEnvironment(dir, database), "second");
  if (!host.up()) {
    outcome.restarted = "(host did not start again: " + host.log() + ")";
    return outcome;
  }
  const Conversation restarted = converse(host, {}, "", row.readBack);
  outcome.restarted = restarted.text;
  outcome.restartRecords = restarted.records;
  if (!row.rowQuery.empty()) outcome.rowRestarted = queryRows(database, row.rowQuery);
  outcome.stops += "," + std::to_string(host.stop());
  return outcome;
}

// The checks a row fails, one line each; empty when the change was kept.
std::string lossesOf(const Row& row, const Outcome& outcome, Counts& counts) {
  std::string losses;
  for (const auto& [when, text] : {std::pair<const char*, const std::string&>{"after a re-read", outcome.reread},
                                   {"after a restart", outcome.restarted}}) {
    const bool restarted = std::string(when) == "after a restart";
    for (const std::string& shown : restarted && !row.restartShows.empty() ? row.restartShows : row.shows) {
      const bool absent = shown.rfind('!', 0) == 0;
      const bool found = text.find(absent ? shown.substr(1) : shown) != std::string::npos;
      if (found == absent)
        losses +=
            std::string(when) + (absent ? ": still shows " : ": does not show ") + shown.substr(absent ? 1 : 0) + "\n";
    }
  }
  // Whole records: the session's read back is what a re-read and a restart
  // must show, item for item.
  size_t& items = counts.items;
  size_t& excepted = counts.excepted;
  const std::vector<std::string> session = recordsOf(outcome.sessionRecords, items, excepted);
  std::vector<std::pair<const char*, const std::string*>> others = {{"after a re-read", &outcome.rereadRecords}};
  // A value that starts afresh with each host by design is not compared
  // across the restart.
  if (row.restartShows.empty()) others.push_back({"after a restart", &outcome.restartRecords});
  for (const auto& [when, records] : others) {
    const std::string difference = firstDifference(session, recordsOf(*records, items, excepted));
    if (!difference.empty()) losses += std::string("the session and ") + when + " differ: " + difference + "\n";
  }
  if (row.keepsNothing && outcome.tablesAfter != outcome.tablesBefore) {
    std::istringstream before(outcome.tablesBefore), after(outcome.tablesAfter);
    for (std::string a, b; std::getline(before, a) && std::getline(after, b);)
      if (a != b) {
        losses += "a table changed: " + a.substr(0, 300) + "\n  became: " + b.substr(0, 300) + "\n";
        break;
      }
  }
  if (!row.rowQuery.empty()) {
    if (outcome.rowReread != row.rowValue) losses += "row after the change: " + outcome.rowReread + "\n";
    if (outcome.rowRestarted != row.rowValue) losses += "row after a restart: " + outcome.rowRestarted + "\n";
  }
  return losses;
}

}  // namespace

bool servedApartFromTheSession(std::string_view text) {
  // The requests that need no lock are served on a connection of their own;
  // the replication store's request makes its library on a configuration
  // of its own and takes the library's lock, not the session.
  for (const char* word : {"storage-library ", "device-paths ", "can-delete ", "onMsgConfigRPStoreLibrary "})
    if (text.find(word) != std::string_view::npos) return true;
  return false;
}

namespace {

// The rows the sweep drives: a row it cannot drive yet is named with the
// reason (notDriven), not run.
std::vector<Row> drivenRows(const std::vector<Row>& all) {
  std::vector<Row> rows;
  for (const Row& row : all) {
    const auto named = [&](const auto& entry) { return entry.first == row.proves; };
    if (std::none_of(notDriven().begin(), notDriven().end(), named)) rows.push_back(row);
  }
  return rows;
}

// A row whose lock fails waits out the host's busy time-out (half a
// minute) doing nothing: it runs on a thread of its own beside the workers,
// and those of every family whose test runs start with the first sweep.
class Waiting {
 public:
  static Waiting& rows() {
    static Waiting waiting;
    return waiting;
  }

  void list(const char* test, std::vector<Row> (*family)()) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_families.emplace_back(test, family);
  }

  // Starts, once, the waiting rows of the listed families whose tests run.
  void startListed() {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_begun) return;
    m_begun = true;
    for (const auto& [test, family] : m_families) {
      if (!runs(test)) continue;
      for (const Row& row : drivenRows(family()))
        if (row.lockFails && m_started.count(row.proves) == 0) m_started.emplace(row.proves, start(row));
    }
  }

  // The row's drive: the one started for it if there is one (each is taken
  // once: a repeated test drives its rows again), else one started now.
  std::future<Outcome> take(const Row& row) {
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_started.find(row.proves);
    if (found == m_started.end()) return start(row);
    std::future<Outcome> outcome = std::move(found->second);
    m_started.erase(found);
    return outcome;
  }

 private:
  static std::future<Outcome> start(const Row& row) {
    return std::async(std::launch::async, [row] { return drive(row); });
  }

  // Whether the named test of HostSweep runs in this program (the filter,
  // the shard and DISABLED_ all say).
  static bool runs(const std::string& test) {
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    for (int s = 0; s < unit.total_test_suite_count(); ++s) {
      const ::testing::TestSuite& suite = *unit.GetTestSuite(s);
      if (std::string(suite.name()) != "HostSweep") continue;
      for (int t = 0; t < suite.total_test_count(); ++t)
        if (suite.GetTestInfo(t)->name() == test) return suite.GetTestInfo(t)->should_run();
    }
    return false;
  }

  std::mutex m_mutex;
  std::vector<std::pair<std::string, std::vector<Row> (*)()>> m_families;
  bool m_begun = false;
  std::map<std::string, std::future<Outcome>> m_started;
};

}  // namespace

bool listFamily(const char* test, std::vector<Row> (*family)()) {
  Waiting::rows().list(test, family);
  return true;
}

void sweep(const std::vector<Row>& all) {
  const std::vector<Row> rows = drivenRows(all);
  seededDatabase();
  Waiting::rows().startListed();
  std::vector<Outcome> outcomes(rows.size());
  std::vector<std::future<Outcome>> waiting(rows.size());
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].lockFails) waiting[i] = Waiting::rows().take(rows[i]);
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < std::min<size_t>(kWorkers, rows.size()); ++w)
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < rows.size();)
        if (!rows[i].lockFails) outcomes[i] = drive(rows[i]);
    });
  for (std::thread& worker : workers) worker.join();
  for (size_t i = 0; i < rows.size(); ++i)
    if (waiting[i].valid()) outcomes[i] = waiting[i].get();

  Counts counts;
  counts.rows = rows.size();
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const Outcome& outcome = outcomes[i];
    SCOPED_TRACE(row.proves);
    const std::string context = "the change:\n" + outcome.changeOut + "\nafter a re-read:\n" + outcome.reread +
                                "\nafter a restart:\n" + outcome.restarted;
    EXPECT_EQ(outcome.changeExit, row.changeExit) << context;
    for (const std::string& text : row.answers)
      EXPECT_NE(outcome.changeOut.find(text), std::string::npos) << "the change does not answer " << text << "\n"
                                                                  << context;
    // Both hosts ended cleanly: a sanitizer finding in one ends it otherwise.
    EXPECT_EQ(outcome.stops, "0,0") << context;
    // Whatever the row asked, the store holds no text longer than its
    // column and no reference to nothing.
    EXPECT_EQ(outcome.storeFaults, "") << context;
    EXPECT_FALSE(row.shows.empty() && row.rowQuery.empty()) << "the row reads nothing back";
    const std::string losses = lossesOf(row, outcome, counts);
    EXPECT_EQ(losses, "") << context;
  }
  tktest::StoreCoverage coverage;
  EXPECT_EQ(tktest::wholeStoreFaults(seededDatabase(), &coverage), "") << "the demonstration installation";
  std::cout << "sweep: " << counts.rows << " rows driven, " << counts.items << " items compared, "
            << counts.excepted << " of them changing by themselves; after each row " << coverage.textColumns
            << " text columns held to their widths and " << coverage.references << " references to their rows"
            << std::endl;
}

}  // namespace sweeptest
