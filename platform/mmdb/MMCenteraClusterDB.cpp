// Media-management table access: the archive clusters and their access
// nodes.
#include "platform/mmdb/MMCenteraClusterDB.h"

#include <climits>
#include <map>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/db/TextWidth.h"
#include "platform/journal/Journal.h"

namespace {

std::string missingCluster(int id) { return "No archive cluster with id [" + std::to_string(id) + "]."; }

// The width checkCluster holds every text of a cluster to.
[[maybe_unused]] const bool kWidthsDeclared = [] {
  for (const char* column : {"Name", "ClusterName", "ClusterIdentity", "Version"})
    tkdb::declareTextWidth("MMCenteraCluster", column, MMCenteraClusterDB::kTextWidth);
  tkdb::declareTextWidth("MMCenteraAccessNode", "Address", MMCenteraClusterDB::kTextWidth);
  return true;
}();

int nameTaken(tkdb::Session& s, const std::string& name, int id, bool& taken) {
  tkdb::DbRows rows;
  const int rc = s.query("SELECT 1 FROM \"MMCenteraCluster\" WHERE \"Name\" = ? AND \"ClusterId\" <> ?", {name, id}, rows);
  taken = rc == DB_OK && !rows.empty();
  return rc;
}

std::string nameInUse(const std::string& name) { return "An archive cluster named [" + name + "] exists already."; }

}  // namespace

bool MMCenteraClusterDB::checkCluster(const char* tag, const MMStoredCenteraCluster& c) {
  if (!checkText(tag, "archive cluster name", c.name.c_str(), kTextWidth, false)) return false;
  for (const std::string* text : {&c.clusterName, &c.clusterId, &c.version})
    if (!checkText(tag, "archive cluster text", text->c_str(), kTextWidth, true)) return false;
  for (const std::string& address : c.accessNodes)
    if (!checkText(tag, "access node", address.c_str(), kTextWidth, false)) return false;
  return true;
}

int MMCenteraClusterDB::loadAll(std::vector<MMStoredCenteraCluster>& out, DBtran* tran) {
  static constexpr const char* kTag = "MMCenteraClusterDB::loadAll";
  if (!beginCall(kTag, mmTranText(tran))) return -1;
  // The clusters (first, by id) and then their access nodes (by cluster
  // and address) in one statement: one consistent read by itself, with no
  // transaction around it that would take the write lock.
  tkdb::Session session(tran);
  tkdb::DbRows rows;
  const int code = session.query(
      "SELECT 0, \"ClusterId\", \"Name\", \"ClusterName\", \"ClusterIdentity\", \"Capacity\", \"Version\" "
      "FROM \"MMCenteraCluster\" UNION ALL SELECT 1, \"ClusterId\", \"Address\", NULL, NULL, NULL, NULL "
      "FROM \"MMCenteraAccessNode\" ORDER BY 1, 2, 3",
      {}, rows);
  if (code != DB_OK) return failDatabase(kTag, code, session, "The archive clusters could not be read");
  std::vector<MMStoredCenteraCluster> clusters;
  std::map<long long, std::size_t> byId;
  for (const tkdb::DbRow& row : rows) {
    long long id = 0;
    const bool node = row.size() == 7 && row[0].type == tkdb::DbValue::Type::Int && row[0].i == 1;
    if (node) {
      if (!tkdb::integerOf(row[1], id, false))
        return fail(kTag, MMS2_ERROR_BAD_VALUE, 0, "A row of MMCenteraAccessNode holds an unusable value.");
      auto it = byId.find(id);
      if (it != byId.end()) clusters[it->second].accessNodes.push_back(tkdb::textOf(row[2]));
      continue;
    }
    long long capacity = 0;
    if (row.size() != 7 || !tkdb::integerOf(row[1], id, false) || !tkdb::integerOf(row[5], capacity, false) ||
        id < 0 || id > INT_MAX)
      return fail(kTag, MMS2_ERROR_BAD_VALUE, 0, "A row of MMCenteraCluster holds an unusable value.");
    byId[id] = clusters.size();
    clusters.push_back({static_cast<int>(id), tkdb::textOf(row[2]), tkdb::textOf(row[3]), tkdb::textOf(row[4]),
                        capacity, tkdb::textOf(row[6]), {}});
  }
  out = std::move(clusters);
  return 0;
}

int MMCenteraClusterDB::insertCluster(MMStoredCenteraCluster& cluster, DBtran* tran) {
  static constexpr const char* kTag = "MMCenteraClusterDB::insertCluster";
  if (!beginCall(kTag, cluster.name, cluster.clusterId, cluster.accessNodes.size(), mmTranText(tran)))
    return -1;
  if (!checkCluster(kTag, cluster)) return -1;
  long long id = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    bool taken = false;
    int code = nameTaken(s, cluster.name, -1, taken);
    if (code != DB_OK) return code;
    if (taken) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, nameInUse(cluster.name), false};
      return kRefused;
    }
    code = s.exec("INSERT INTO \"MMCenteraCluster\" (\"Name\", \"ClusterName\", \"ClusterIdentity\", \"Capacity\", "
                  "\"Version\") VALUES (?, ?, ?, ?, ?)",
                  {cluster.name, cluster.clusterName, cluster.clusterId, cluster.capacity, cluster.version});
    if (code != DB_OK) return code;
    id = s.lastInsertId();
    for (const std::string& address : cluster.accessNodes) {
      code = s.exec("INSERT OR IGNORE INTO \"MMCenteraAccessNode\" (\"ClusterId\", \"Address\") VALUES (?, ?)",
                    {id, address});
      if (code != DB_OK) return code;
    }
    return DB_OK;
  });
  if (rc != 0) return rc;
  cluster.id = static_cast<int>(id);
  return 0;
}

int MMCenteraClusterDB::updateCluster(const MMStoredCenteraCluster& cluster, DBtran* tran) {
  static constexpr const char* kTag = "MMCenteraClusterDB::updateCluster";
  if (!beginCall(kTag, cluster.id, cluster.name, cluster.clusterId, mmTranText(tran))) return -1;
  if (!checkCluster(kTag, cluster)) return -1;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    bool taken = false;
    int code = nameTaken(s, cluster.name, cluster.id, taken);
    if (code != DB_OK) return code;
    if (taken) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, nameInUse(cluster.name), false};
      return kRefused;
    }
    code = s.exec("UPDATE \"MMCenteraCluster\" SET \"Name\" = ?, \"ClusterName\" = ?, \"ClusterIdentity\" = ?, "
                  "\"Capacity\" = ?, \"Version\" = ? WHERE \"ClusterId\" = ?",
                  {cluster.name, cluster.clusterName, cluster.clusterId, cluster.capacity, cluster.version, cluster.id});
    if (code != DB_OK) return code;
    if (s.changes() == 0) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingCluster(cluster.id), true};
      return kRefused;
    }
    return DB_OK;
  });
}

int MMCenteraClusterDB::addAccessNode(int id, const std::string& address, DBtran* tran) {
  static constexpr const char* kTag = "MMCenteraClusterDB::addAccessNode";
  if (!beginCall(kTag, id, address, mmTranText(tran))) return -1;
  if (!checkText(kTag, "access node", address.c_str(), kTextWidth, false)) return -1;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRows rows;
    int code = s.query("SELECT 1 FROM \"MMCenteraCluster\" WHERE \"ClusterId\" = ?", {id}, rows);
    if (code != DB_OK) return code;
    if (rows.empty()) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingCluster(id), true};
      return kRefused;
    }
    return s.exec("INSERT OR IGNORE INTO \"MMCenteraAccessNode\" (\"ClusterId\", \"Address\") VALUES (?, ?)",
                  {id, address});
  });
}

int MMCenteraClusterDB::removeAccessNode(int id, const std::string& address, DBtran* tran) {
  static constexpr const char* kTag = "MMCenteraClusterDB::removeAccessNode";
  if (!beginCall(kTag, id, address, mmTranText(tran))) return -1;
  return change(kTag, "DELETE FROM \"MMCenteraAccessNode\" WHERE \"ClusterId\" = ? AND \"Address\" = ?", {id, address},
                tran, "Archive cluster [" + std::to_string(id) + "] has no access node [" + address + "].");
}

int MMCenteraClusterDB::removeCluster(int id, DBtran* tran) {
  static constexpr const char* kTag = "MMCenteraClusterDB::removeCluster";
  if (!beginCall(kTag, id, mmTranText(tran))) return -1;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    int code = s.exec("DELETE FROM \"MMCenteraAccessNode\" WHERE \"ClusterId\" = ?", {id});
    if (code != DB_OK) return code;
    code = s.exec("DELETE FROM \"MMCenteraCluster\" WHERE \"ClusterId\" = ?", {id});
    if (code != DB_OK) return code;
    if (s.changes() == 0) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingCluster(id), true};
      return kRefused;
    }
    return DB_OK;
  });
}
