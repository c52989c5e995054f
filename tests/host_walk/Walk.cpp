#include "tests/host_walk/Walk.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "tests/support/StoreCheck.h"

namespace walktest {
namespace {

// Sent behind every session line: its echo says the line before it is
// answered.
constexpr const char* kMarker = hosttest::kAnswersEndMarker;
// The items whose values are handles, which each host gives afresh (a
// library's controller item numbers the library's own handle).
constexpr const char* kHandleItems[] = {"(object handle)", "(first controller)", "(controller)"};

std::string quoted(const std::string& word) {
  if (word.find_first_of(" '\"\\$`*?;&|<>()") == std::string::npos) return word;
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string tail(const std::string& text, size_t lines) {
  size_t at = text.size();
  while (lines-- > 0 && at > 0) at = text.rfind('\n', at - 1) == std::string::npos ? 0 : text.rfind('\n', at - 1);
  return text.substr(at);
}

// A listing as two hosts must agree on it: no sequence numbers, no handle
// values, the records of each reply in one order (a listing read again may
// list its objects in another order than a first read).
std::string normalized(const std::string& answer) {
  std::string out;
  std::vector<std::string> records;
  std::string current;
  const auto flush = [&](bool replyEnds) {
    if (!current.empty()) records.push_back(current);
    current.clear();
    if (!replyEnds) return;
    std::sort(records.begin(), records.end());
    for (const std::string& record : records) out += record;
    records.clear();
  };
  std::istringstream in(answer);
  for (std::string line; std::getline(in, line);) {
    // The echo of the line, which names handles.
    if (line.rfind("> ", 0) == 0) continue;
    const size_t seq = line.find(" seq ");
    if (line.rfind("reply ", 0) == 0) {
      flush(true);
      out += line.substr(0, seq) + "\n";
      continue;
    }
    for (const char* item : kHandleItems)
      if (line.find(item) != std::string::npos) {
        // The number only: a text behind it is compared.
        const size_t value = line.find(": ") + 2;
        line = line.substr(0, value) + "(handle)" + line.substr(std::min(line.size(), line.find(' ', value)));
      }
    if (line.find("(object handle)") != std::string::npos) flush(false);
    current += line + "\n";
  }
  flush(true);
  return out;
}

// The first line where two texts differ, with its neighbours.
std::string firstDifference(const std::string& a, const std::string& b) {
  std::istringstream la(a), lb(b);
  std::string x, y;
  for (int n = 1;; ++n) {
    const bool moreA = static_cast<bool>(std::getline(la, x));
    const bool moreB = static_cast<bool>(std::getline(lb, y));
    if (!moreA && !moreB) return "";
    if (!moreA) x = "(end)";
    if (!moreB) y = "(end)";
    if (x != y) return "line " + std::to_string(n) + ": session \"" + x + "\", fresh host \"" + y + "\"";
  }
}

}  // namespace

// A tkconsole reading its lines from a pipe, all on one connection.
class Console {
 public:
  explicit Console(const std::string& socket)
      : m_console({"--socket", socket, "--timeout", std::to_string(hosttest::kConsoleWaitMs), "--wait",
                   std::to_string(hosttest::kConsoleWaitMs), "--script", "-"},
                  true) {}

  // The answers to one line; false in `alive` when the console ended first.
  std::string ask(const std::string& line, bool& alive) {
    const std::string& text = m_console.printed();
    const size_t from = text.size();
    alive = m_console.send(line + "\n" + kMarker + "\n");
    const size_t marker = alive ? m_console.awaitEcho(kMarker, from) : std::string::npos;
    alive = marker != std::string::npos;
    std::string block = text.substr(from, marker == std::string::npos ? std::string::npos : marker - from);
    // The marker's own answer, printed after its echo, opens the block.
    const size_t own = block.rfind("> ", 0) == 0 ? 0 : block.find("\n> ");
    return own == std::string::npos ? block : block.substr(own == 0 ? 0 : own + 1);
  }

  // Sends the last line, ends the console and gives what it printed after.
  std::string finish(const std::string& last) {
    const size_t from = m_console.printed().size();
    m_console.finish(last);
    return m_console.printed().substr(from);
  }

  // Why the console stopped answering: its wait's time-out, or its end.
  std::string whyQuiet() {
    if (m_console.quiet()) return "its wait " + m_console.quiet()->text();
    return "the console " + m_console.finish("").text() + " (the host closed the connection?)";
  }

 private:
  hosttest::PipedConsole m_console;
};

namespace {

// TK_WALK_TRACE=1 prints every answer as it comes, listings but their first
// lines.
void trace(const std::string& answer) {
  static const bool on = std::getenv("TK_WALK_TRACE") != nullptr;
  if (on) std::cerr << answer.substr(0, 1500) << (answer.size() > 1500 ? "...\n" : "");
}

std::map<std::string, std::string> hostEnvironment(const tktest::TempDir& dir, const std::string& database) {
  return {{"TK_DB", database}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}};
}

// Every listing the comparison reads, from one session: the whole tree's
// listings, and those below each library of `libraries` (by id), the
// handles taken from this session's own listing. Each under what it lists.
// `listing`: the libraries listing as it came.
template <class Ask>
std::vector<std::pair<std::string, std::string>> listingsOf(Ask&& ask, const std::vector<std::vector<std::string>>& libraries,
                                                            std::string& listing) {
  std::vector<std::pair<std::string, std::string>> out;
  listing = ask("libraries");
  out.emplace_back("libraries", normalized(listing));
  for (const char* word : {"media-agents", "ndmp-servers", "onMsgGetDiskDevices", "onMsgGetDRUHostList"})
    out.emplace_back(word, normalized(ask(word)));
  const auto handles = Walk::libraryHandles(listing);
  for (const auto& library : libraries) {
    const auto found = handles.find(library[0]);
    const std::string handle = found == handles.end() ? "0" : found->second.front();
    const char* word = library[1] == "3" ? "mount-paths " : "master-pools ";
    out.emplace_back(word + library[0], normalized(ask(word + handle)));
  }
  return out;
}

}  // namespace

Walk::Walk(uint64_t seed, const std::string& database)
    : m_seed(seed), m_random(seed), m_database(m_dir.file("walk.db")) {
  std::filesystem::copy_file(database, m_database);
  m_host = std::make_unique<hosttest::Host>(m_dir, m_dir.file("walk.sock"), std::vector<std::string>{"--seed-demo"},
                                            hostEnvironment(m_dir, m_database), "walk");
  if (!m_host->up()) {
    fail("the host did not start");
    return;
  }
  m_session = std::make_unique<Console>(m_host->socket());
  ask("lock");
}

Walk::~Walk() {
  if (m_session) m_session->finish("unlock");
}

std::string Walk::ask(const std::string& line) {
  if (!m_failure.empty()) return "";
  m_steps.push_back("session: " + line);
  ++m_counts.requests;
  bool alive = true;
  const std::string answer = m_session ? m_session->ask(line, alive) : std::string();
  if (!alive) fail("the session's console stopped answering at: " + line + ": " + m_session->whyQuiet());
  trace(answer);
  return answer;
}

std::string Walk::other(const std::vector<std::string>& args) {
  if (!m_failure.empty()) return "";
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + quoted(a);
  m_steps.push_back("other:   " + line);
  ++m_counts.requests;
  std::vector<std::string> full{"--socket", m_host->socket()};
  full.insert(full.end(), args.begin(), args.end());
  hosttest::Child console;
  const std::string out = m_dir.file("other.out");
  if (!console.start(hosttest::consoleBinary(), full, {}, out, out)) fail("the second console did not start");
  const hosttest::Ended ended = console.exitCode();
  const std::string answer = hosttest::readFile(out);
  if (ended == 1 || ended == 2 || ended.code() < 0) fail("the second connection's console " + ended.text() + ":\n" + answer);
  trace("other: " + line + "\n" + answer);
  return answer;
}

void Walk::sql(const std::string& statements) {
  if (!m_failure.empty()) return;
  m_steps.push_back("sql:     BEGIN; " + statements + " COMMIT;");
  ++m_counts.statements;
  sqlite3* db = nullptr;
  char* error = nullptr;
  if (sqlite3_open(m_database.c_str(), &db) != SQLITE_OK) {
    fail("the database was not opened for SQL");
  } else {
    sqlite3_busy_timeout(db, hosttest::kReplyMs);
    const std::string all = "BEGIN IMMEDIATE; " + statements + " COMMIT;";
    if (sqlite3_exec(db, all.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
      fail(std::string("the walk's own SQL was refused: ") + (error != nullptr ? error : "?"));
  }
  sqlite3_free(error);
  sqlite3_close(db);
}

std::vector<std::vector<std::string>> Walk::rows(const std::string& query) const {
  std::vector<std::vector<std::string>> out;
  std::string why;
  tktest::fileQuery(m_database, query, out, why, hosttest::kReplyMs);
  return out;
}

namespace {

// The library id of a library item's value: "2 \"DiskLib1\"", or, where
// the console prints the item in hex (a name it does not print as text,
// such as one of characters beyond ASCII), its first four bytes, the id in
// little-endian order.
std::string libraryIdOf(const std::string& value) {
  const size_t blank = value.find(' ');
  if (blank != std::string::npos || value.size() < 8) return value.substr(0, blank);
  unsigned long id = 0;
  for (int byte = 3; byte >= 0; --byte) id = id * 256 + std::stoul(value.substr(2 * byte, 2), nullptr, 16);
  return std::to_string(id);
}

}  // namespace

std::map<std::string, std::vector<std::string>> Walk::libraryHandles(const std::string& listing) {
  std::map<std::string, std::vector<std::string>> out;
  std::string handle;
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);) {
    const size_t value = line.find(": ");
    if (value == std::string::npos) continue;
    if (line.find("(object handle)") != std::string::npos) {
      handle = line.substr(value + 2);
    } else if (line.find("(library) len ") != std::string::npos && !handle.empty()) {
      out[libraryIdOf(line.substr(value + 2))].push_back(handle);
      handle.clear();
    }
  }
  return out;
}

std::string Walk::handleOf(const std::string& answer, const std::string& text) {
  const size_t where = answer.rfind(text);
  const std::string label = "(object handle) len 8: ";
  const size_t found = where == std::string::npos ? std::string::npos : answer.rfind(label, where);
  if (found == std::string::npos) return "0";
  const size_t value = found + label.size();
  return answer.substr(value, answer.find('\n', value) - value);
}

void Walk::afterStep() {
  if (!m_failure.empty()) return;
  if (!m_host->child().running()) return fail("the host ended");
  ++m_counts.storeChecks;
  const std::string faults = tktest::wholeStoreFaults(m_database);
  if (!faults.empty()) fail("the whole-store checks found:\n" + faults);
}

// The session re-reads; its listings must be a fresh host's on a copy of
// the file, and its libraries the rows, one object each.
void Walk::compare() {
  m_steps.push_back("compare");
  ++m_counts.comparisons;
  ask("control 70");
  // The libraries below which the listings are compared: the first, a few
  // drawn, the newest.
  const auto libraries = rows("SELECT LibraryId, LibraryTypeId FROM MMLibrary ORDER BY LibraryId");
  std::vector<std::vector<std::string>> under;
  for (size_t i = 0; i < libraries.size() && under.size() < 4; i += 1 + below(static_cast<uint32_t>(libraries.size())))
    under.push_back(libraries[i]);
  if (!libraries.empty()) under.push_back(libraries.back());
  std::string listing;
  const auto session = listingsOf([&](const std::string& line) { return ask(line); }, under, listing);
  if (!m_failure.empty()) return;
  // One object per stored library, none stale, none missing.
  std::string objects;
  auto listed = libraryHandles(listing);
  for (const auto& row : libraries) {
    const auto found = listed.find(row[0]);
    const size_t count = found == listed.end() ? 0 : found->second.size();
    if (count != 1) objects += "library " + row[0] + " listed " + std::to_string(count) + " times\n";
    if (found != listed.end()) listed.erase(found);
  }
  for (const auto& [id, handles] : listed) objects += "library " + id + " listed with no row\n";
  if (!objects.empty()) return fail("the session's libraries are not the rows:\n" + objects);

  const std::string copy = m_dir.file("copy.db");
  std::filesystem::remove(copy);
  sqlite3* db = nullptr;
  sqlite3_open_v2(m_database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_busy_timeout(db, hosttest::kReplyMs);
  const int copied = sqlite3_exec(db, ("VACUUM INTO '" + copy + "'").c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
  if (copied != SQLITE_OK) return fail("the database could not be copied");
  std::vector<std::pair<std::string, std::string>> fresh;
  {
    tktest::TempDir dir;
    hosttest::Host host(dir, dir.file("fresh.sock"), {"--seed-demo"}, hostEnvironment(dir, copy), "fresh");
    if (!host.up()) return fail("a fresh host did not start on a copy of the file: " + tail(host.log(), 20));
    Console console(host.socket());
    bool alive = true;
    const auto ask = [&](const std::string& line) { return alive ? console.ask(line, alive) : std::string(); };
    ask("lock");
    std::string freshListing;
    fresh = listingsOf(ask, under, freshListing);
    console.finish("unlock");
    if (host.stop() != 0 || !alive) return fail("a fresh host on a copy of the file ended:\n" + tail(host.log(), 40));
  }
  for (size_t i = 0; i < session.size(); ++i) {
    const std::string there = i < fresh.size() ? fresh[i].second : "(not listed)";
    if (session[i].second != there)
      return fail("the session's listing `" + session[i].first + "` is not a fresh host's: " +
                  firstDifference(session[i].second, there));
  }
}

void Walk::fail(const std::string& what) {
  if (m_failure.empty()) m_failure = what;
}

std::string Walk::report() const {
  if (m_failure.empty()) return "";
  std::string out = "walk seed " + std::to_string(m_seed) + ", after step " + std::to_string(m_counts.steps) + ": " +
                    m_failure + "\n\nThe steps that reproduce it, on a fresh `tkhost --seed-demo` database:\n";
  for (const std::string& step : m_steps) out += "  " + step + "\n";
  if (!m_host) return out;
  // A sanitizer's report from its first line, else the log's end.
  const std::string log = m_host->log();
  size_t report = log.find("ERROR: AddressSanitizer");
  if (report == std::string::npos) report = log.find("runtime error:");
  if (report != std::string::npos) {
    const size_t from = log.rfind('\n', report);
    const std::string rest = log.substr(from == std::string::npos ? 0 : from + 1);
    size_t end = 0;
    for (int lines = 0; lines < 30 && end != std::string::npos; ++lines) end = rest.find('\n', end + 1);
    return out + "\nThe host's log, its sanitizer's report:\n" + rest.substr(0, end);
  }
  out += "\nThe host's log, its end:\n" + tail(log, 40);
  return out;
}

}  // namespace walktest
