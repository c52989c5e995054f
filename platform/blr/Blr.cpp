// The block-level replication stand-ins: the pairs read from the pair
// table, the controller in memory with scripted failures.
#include <cstdio>
#include <mutex>
#include <set>

#include "platform/blr/BlrCtrl.h"
#include "platform/blr/BlrTypes.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/errors/FXErrorUtil.h"
#include "platform/journal/Journal.h"

namespace tkblr {
namespace {

struct State {
  std::mutex mutex;
  std::multiset<std::string> hostFailures;  // "<call>@<host>", one per failure
};

State& state() {
  static State s;
  return s;
}

// The scripted failure of this call: the journal's (and the sweep's), else
// one scripted for the host.
bool failed(const char* call, const std::string& host, tkjournal::Failure& failure);

}  // namespace

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void failOnHost(const std::string& call, const std::string& host, int times) {
  std::lock_guard<std::mutex> guard(state().mutex);
  for (int i = 0; i < times; ++i) state().hostFailures.insert(call + "@" + host);
}

void reset() {
  {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().hostFailures.clear();
  }
  journal().reset();
}

namespace {

bool failed(const char* call, const std::string& host, tkjournal::Failure& failure) {
  if (journal().takeFailure(call, failure)) return true;
  std::lock_guard<std::mutex> guard(state().mutex);
  const auto it = state().hostFailures.find(std::string(call) + "@" + host);
  if (it == state().hostFailures.end()) return false;
  state().hostFailures.erase(it);
  failure = {0, "The replication controller on [" + host + "] refused the call."};
  return true;
}

CWyError errorOf(const tkjournal::Failure& failure) {
  const int code = failure.code != 0 ? failure.code : 1;
  return FXErrorUtil::ErrorInt(FX_CODE_LOCATION, code, "%s",
                               failure.text.empty() ? "The replication service failed." : failure.text.c_str());
}

}  // namespace
}  // namespace tkblr

// ---------------------------------------------------------------- BlrUUID

bool BlrUUID::operator==(const BlrUUID& other) const {
  for (int i = 0; i < 16; ++i)
    if (bytes[i] != other.bytes[i]) return false;
  return true;
}

std::string BlrUUID::toString() const {
  char text[33] = {};
  for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", bytes[i]);
  return text;
}

bool BlrUUID::fromString(const std::string& text) {
  clear();
  if (text.size() != 32) return false;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (int i = 0; i < 16; ++i) {
    const int high = digit(text[2 * i]);
    const int low = digit(text[2 * i + 1]);
    if (high < 0 || low < 0) {
      clear();
      return false;
    }
    bytes[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

// ---------------------------------------------------------------- BlrDB

CWyError BlrDB::getPairs(const Pair& filter, std::list<Pair>& pairs) {
  static constexpr const char* kTag = "BlrDB::getPairs";
  tkblr::journal().record("getPairs", filter.pairId, filter.headProxyClientId, filter.rpStoreId);
  tkjournal::Failure failure;
  if (tkblr::journal().takeFailure("getPairs", failure)) return tkblr::errorOf(failure);
  tkdb::Session session(nullptr);
  tkdb::DbRows rows;
  const int rc = session.query(
      "SELECT \"PairId\", \"SourceClientId\", \"HeadProxyClientId\", \"State\", \"GroupKey\", \"MachineUUID\", "
      "\"RPStoreId\" FROM \"BlrPair\" WHERE (?1 = 0 OR \"PairId\" = ?1) AND (?2 = 0 OR \"HeadProxyClientId\" = ?2) "
      "AND (?3 = 0 OR \"RPStoreId\" = ?3) ORDER BY \"PairId\"",
      {filter.pairId, filter.headProxyClientId, filter.rpStoreId}, rows);
  if (rc != DB_OK) {
    EvDebug::Error(kTag, "The replication pairs could not be read: %s", DBtable::getErrorStr(rc));
    return FXErrorUtil::ErrorInt(FX_CODE_LOCATION, rc, "The replication pairs could not be read: %s",
                                 DBtable::getErrorStr(rc));
  }
  std::list<Pair> found;
  for (const tkdb::DbRow& row : rows) {
    Pair pair;
    pair.pairId = static_cast<int>(row.at(0).i);
    pair.sourceClientId = static_cast<int>(row.at(1).i);
    pair.headProxyClientId = static_cast<int>(row.at(2).i);
    pair.state = static_cast<int>(row.at(3).i);
    pair.groupKey = static_cast<int>(row.at(4).i);
    // A UUID the table holds badly reads as zero: the pair still belongs to
    // a machine, the one without a UUID.
    pair.machineUUID.fromString(row.at(5).s);
    pair.rpStoreId = static_cast<int>(row.at(6).i);
    found.push_back(std::move(pair));
  }
  pairs.swap(found);
  return CWyError::Success();
}

// ---------------------------------------------------------------- BlrCtrl

BlrCtrl::~BlrCtrl() {
  if (m_connected) tkblr::journal().record("disconnect", m_host);
}

CWyError BlrCtrl::connect(const std::string& host) {
  tkblr::journal().record("connect", host);
  tkjournal::Failure failure;
  if (tkblr::failed("connect", host, failure)) return tkblr::errorOf(failure);
  if (host.empty()) {
    return FXErrorUtil::ErrorInt(FX_CODE_LOCATION, 1, "%s", "No host was given for the replication controller.");
  }
  m_host = host;
  m_connected = true;
  return CWyError::Success();
}

CWyError BlrCtrl::applyRepCfg(const BlrUUID& machine, const std::list<BlrDB::Pair>& pairs) {
  if (tkjournal::recording()) {
    std::string ids;
    for (const BlrDB::Pair& pair : pairs) {
      if (!ids.empty()) ids += ',';
      ids += std::to_string(pair.pairId);
    }
    tkblr::journal().record("applyRepCfg", {m_host, machine.toString(), ids});
  }
  tkjournal::Failure failure;
  if (tkblr::failed("applyRepCfg", m_host, failure)) return tkblr::errorOf(failure);
  if (!m_connected) {
    return FXErrorUtil::ErrorInt(FX_CODE_LOCATION, 1, "%s", "The replication controller is not connected.");
  }
  return CWyError::Success();
}
