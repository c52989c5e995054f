// What the NDMP listings ask of a client beyond its names: its operating
// system, the platform types installed on it, its components, and the
// NDMP properties kept in its attributes (APP_ClientProp).
#include <string>

#include "platform/client/ClientProperties.h"
#include "platform/client/ClientRows.h"
#include "platform/client/ClientSeed.h"
#include "platform/client/ZQApplicationType.h"
#include "platform/client/ZQClient.h"

namespace {

// Attribute names in APP_ClientProp.
constexpr const char* kAttrDetectedMediaAgent = "detectMAForNDMP";
constexpr const char* kAttrTimeZone = "timezone id";

// One integer of the client: 0 with `value` set, kErrorUnknownClient when
// the query found no row, or a database error code.
int readNumber(const char* call, long long key, const std::string& sql, const std::vector<tkdb::DbValue>& params,
               long long& value, bool rowRequired) {
  int result = tkclient::scriptedFailure(call);
  if (result == 0) {
    tkdb::DbRows rows;
    result = tkclient::queryRows(sql, params, rows);
    if (result == 0 && rows.empty() && rowRequired) result = tkclient::kErrorUnknownClient;
    if (result == 0) value = rows.empty() ? 0 : tkclient::integerAt(rows.front(), 0);
  }
  tkclient::journal().record(call, key, result);
  return result;
}

// The current value of a numeric attribute of a client (0 when not set).
int readAttribute(const char* call, unsigned long clientId, const char* name, long long& value) {
  return readNumber(call, static_cast<long long>(clientId),
                    "SELECT CAST(\"attrVal\" AS INTEGER) FROM \"APP_ClientProp\" WHERE \"componentNameId\" = ?1 "
                    "AND \"attrName\" = ?2 AND \"modified\" = 0 ORDER BY \"id\" DESC LIMIT 1",
                    {static_cast<long long>(clientId), std::string(name)}, value, false);
}

}  // namespace

ZQClient::ZQClient(unsigned long /*tarnfoldId*/, const std::string& name, bool lookupNow, int value)
    : ZQClient(name, lookupNow, value) {}

int ZQClient::getOSType(int& osType, void*) {
  long long value = 0;
  const int result = readNumber("getOSType", static_cast<long long>(getClientId()),
                                "SELECT IFNULL(\"simOperatingSystemId\", 0) FROM \"APP_Client\" WHERE \"id\" = ?1",
                                {static_cast<long long>(getClientId())}, value, true);
  if (result == 0) osType = static_cast<int>(value);
  return result;
}

int ZQClient::getORdPlatformTypes(unsigned long long& mask, bool, void*, void*) {
  long long known = 0;
  const long long id = static_cast<long long>(getClientId());
  int result = readNumber("getORdPlatformTypes", id, "SELECT 1 FROM \"APP_Client\" WHERE \"id\" = ?1", {id}, known,
                          true);
  if (result != 0) return result;
  tkdb::DbRows rows;
  result = tkclient::queryRows("SELECT \"platformType\" FROM \"APP_Platform\" WHERE \"clientId\" = ?1", {id}, rows);
  if (result != 0) return result;
  unsigned long long ored = 0;
  for (const tkdb::DbRow& row : rows) ored |= static_cast<unsigned long long>(tkclient::integerAt(row, 0));
  mask = ored;
  return 0;
}

int ZQClient::isComponentInstalled(int componentId, bool& installed, void*) {
  long long value = 0;
  const long long id = static_cast<long long>(getClientId());
  const int result = readNumber("isComponentInstalled", id,
                                "SELECT COUNT(*) FROM \"APP_ClientPackage\" WHERE \"clientId\" = ?1 AND "
                                "\"appTypeId\" = ?2",
                                {id, componentId}, value, false);
  if (result == 0) installed = value != 0;
  return result;
}

int ClientProperties::getDetectMAForNDMP(unsigned long& mediaAgentId, void*) {
  long long value = 0;
  const int result = readAttribute("getDetectMAForNDMP", m_clientId, kAttrDetectedMediaAgent, value);
  if (result == 0) mediaAgentId = value > 0 ? static_cast<unsigned long>(value) : 0;
  return result;
}

int ClientProperties::getClientTimeZoneId(int& timeZoneId, void*) {
  long long value = 0;
  const int result = readAttribute("getClientTimeZoneId", m_clientId, kAttrTimeZone, value);
  if (result == 0) timeZoneId = static_cast<int>(value);
  return result;
}

namespace tkclient {

int setClientFacts(unsigned long clientId, int osId, unsigned long long platformTypes) {
  tkdb::Session session;
  const long long id = static_cast<long long>(clientId);
  const int rc = session.atomically([&] {
    int step = session.exec("UPDATE \"APP_Client\" SET \"simOperatingSystemId\" = ?1 WHERE \"id\" = ?2", {osId, id});
    if (step == 0) step = session.exec("DELETE FROM \"APP_Platform\" WHERE \"clientId\" = ?1", {id});
    for (unsigned long long bit = 1; step == 0 && bit != 0 && bit <= platformTypes; bit <<= 1)
      if ((platformTypes & bit) != 0)
        step = session.exec("INSERT INTO \"APP_Platform\" (\"clientId\", \"platformType\") VALUES (?1, ?2)",
                            {id, static_cast<long long>(bit)});
    return step;
  });
  return rc == 0 ? 0 : kErrorDatabase;
}

int setClientAttribute(unsigned long clientId, const std::string& name, const std::string& value) {
  tkdb::Session session;
  const int rc = session.exec(
      "INSERT INTO \"APP_ClientProp\" (\"componentNameId\", \"attrName\", \"attrVal\") VALUES (?1, ?2, ?3)",
      {static_cast<long long>(clientId), name, value});
  return rc == 0 ? 0 : kErrorDatabase;
}

int addOperatingSystem(int id, const std::string& type, bool isNas) {
  tkdb::Session session;
  const int rc = session.exec(
      "INSERT OR REPLACE INTO \"SimOperatingSystem\" (\"id\", \"type\", \"isNAS\") VALUES (?1, ?2, ?3)",
      {id, type, isNas ? 1 : 0});
  return rc == 0 ? 0 : kErrorDatabase;
}

}  // namespace tkclient

std::string ZQApplicationType::getErrorString(int code) { return ZQClient::getErrorString(code); }
