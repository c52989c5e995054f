// The NDMP host list over the NDMP host table and the client rows.
#include "platform/mmdb/ZQMMNDMPHostInfo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <deque>

#include "platform/db/DBSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMJournal.h"

namespace {

constexpr const char* kListCall = "ZQMMNDMPHostInfo::getNDMPHostList";
constexpr const char* kEntryCall = "ZQMMNDMPHostInfo::getNDMPHostInfoByClientIdAndOSType";

constexpr const char* kSelect =
    "SELECT IFNULL(c.\"net_hostname\", ''), n.\"login\", n.\"password\", n.\"listenPort\", n.\"firmwareRevision\", "
    "n.\"osType\", n.\"clientId\", n.\"hostSettingA\", n.\"hostTag\", n.\"capabilityFlags\" "
    "FROM \"MMNDMPHostInfo\" n LEFT JOIN \"APP_Client\" c ON c.\"id\" = n.\"clientId\" ";

// A text cell as a C string (up to its first NUL), cut to the field.
template <std::size_t N>
void copyText(char (&field)[N], const tkdb::DbCell& cell) {
  if (cell.type != tkdb::DbValue::Type::Text) {
    std::snprintf(field, N, "%s", cell.isNull() ? "" : tkdb::textOf(cell.value()).c_str());
    return;
  }
  std::size_t n = 0;
  while (n < cell.text.size() && n < N - 1 && cell.text[n] != '\0') ++n;
  std::memcpy(field, cell.text.data(), n);
  field[n] = '\0';
}

int32_t numberOf(const tkdb::DbCell& cell) {
  if (cell.type == tkdb::DbValue::Type::Int) return static_cast<int32_t>(cell.i);
  long long n = 0;
  return tkdb::integerOf(cell.value(), n, true) ? static_cast<int32_t>(n) : 0;
}

void fill(const tkdb::RowView& row, MMNDMPHostInfoMsg& entry) {
  if (row.count() < 10) return;
  copyText(entry.hostName, row.at(0));
  copyText(entry.loginName, row.at(1));
  copyText(entry.encryptedPassword, row.at(2));
  entry.value1 = numberOf(row.at(3));
  copyText(entry.text1, row.at(4));
  entry.osType = numberOf(row.at(5));
  entry.clientId = numberOf(row.at(6));
  entry.value2 = numberOf(row.at(7));
  copyText(entry.text2, row.at(8));
  entry.value3 = numberOf(row.at(9));
}

// Journals the call and takes its scripted failure; false when it fails.
// The arguments are made texts only while the journal is on.
template <class... A>
bool begin(const char* call, const A&... arguments) {
  if (!tkmmdb::journalOn()) return true;
  tkmmdb::journal().record(call, tkmmdb::journalArgs(arguments...));
  tkmmdb::Failure failure;
  if (!tkmmdb::takeFailure(call, failure)) return true;
  EvDebug::Error(call, "%s", failure.text.c_str());
  return false;
}

// Every entry in table order into one entry, refilled for each row, handed
// to `visit` (true: go on); 0 once the walk has ended, -1 when the table
// cannot be read. The list call's journal entry is the caller's.
int walkEntries(tkdb::Session& session, const std::function<bool(const MMNDMPHostInfoMsg&)>& visit) {
  static const std::string kList = std::string(kSelect) + "ORDER BY n.\"ndmpHostId\"";
  MMNDMPHostInfoMsg entry;
  const int rc = session.each(kList, {}, [&](const tkdb::RowView& row) {
    fill(row, entry);
    return visit(entry) ? 0 : static_cast<int>(DB_NO_ROW);
  });
  if (rc != 0 && rc != DB_NO_ROW) {
    EvDebug::Error(kListCall, "%s", session.errorText().c_str());
    return -1;
  }
  return 0;
}

}  // namespace

ZQMMNDMPHostInfo::ZQMMNDMPHostInfo(int value) : m_value(value) {}

int ZQMMNDMPHostInfo::getNDMPHostList(std::unique_ptr<MMNDMPHostInfoMsg[]>& list) {
  list.reset();
  if (!begin(kListCall)) return -1;
  static const std::string kCount = "SELECT COUNT(*) FROM \"MMNDMPHostInfo\"";
  tkdb::Session session;
  // Entries are large (a thousand servers take megabytes), so the answer is
  // made once, at the size the table has, and filled in place. Rows added
  // between the count and the walk wait in `more`, and only they cost a
  // second array; rows gone meanwhile leave the array's tail unused.
  tkdb::DbRow counted;
  std::size_t capacity = 0;
  if (session.queryOne(kCount, {}, counted) == 0 && counted.size() == 1) {
    long long n = 0;
    if (tkdb::integerOf(counted[0], n, true) && n > 0) capacity = static_cast<std::size_t>(n);
  }
  std::unique_ptr<MMNDMPHostInfoMsg[]> filled;
  if (capacity > 0) filled = std::make_unique<MMNDMPHostInfoMsg[]>(capacity);
  std::size_t count = 0;
  std::deque<MMNDMPHostInfoMsg> more;  // entries are large: never moved while the walk grows
  const int rc = walkEntries(session, [&](const MMNDMPHostInfoMsg& entry) {
    if (count < capacity) {
      filled[count] = entry;
    } else {
      more.push_back(entry);
    }
    ++count;
    return true;
  });
  if (rc != 0) return -1;
  if (count == 0) return 0;
  if (!more.empty()) {
    auto all = std::make_unique<MMNDMPHostInfoMsg[]>(count);
    std::copy(filled.get(), filled.get() + capacity, all.get());
    std::copy(more.begin(), more.end(), all.get() + capacity);
    filled = std::move(all);
  }
  list = std::move(filled);
  return static_cast<int>(count);
}

int ZQMMNDMPHostInfo::walkNDMPHostList(const std::function<bool(const MMNDMPHostInfoMsg&)>& visit) {
  if (!begin(kListCall)) return -1;
  tkdb::Session session;
  return walkEntries(session, visit);
}

int ZQMMNDMPHostInfo::getNDMPHostInfoByClientIdAndOSType(int clientId, int osType, MMNDMPHostInfoMsg& entry) {
  if (!begin(kEntryCall, clientId, osType)) return -1;
  static const std::string kEntry =
      std::string(kSelect) + "WHERE n.\"clientId\" = ? AND n.\"osType\" = ? ORDER BY n.\"ndmpHostId\" LIMIT 1";
  tkdb::Session session;
  bool found = false;
  MMNDMPHostInfoMsg read;
  const int rc = session.each(kEntry, {clientId, osType}, [&](const tkdb::RowView& row) {
    found = true;
    fill(row, read);
    return 0;
  });
  if (rc != 0 && rc != DB_NO_ROW) {
    EvDebug::Error(kEntryCall, "%s", session.errorText().c_str());
    return -1;
  }
  if (!found) return 1;
  entry = read;
  return 0;
}
