// The object model's archive clusters: their values and access nodes,
// adding and removing clusters, each written through to the central
// database in an instance loaded from there (MMCenteraCluster and
// MMCenteraAccessNode); a media agent reading a cluster's identity through
// an access node (platform/centera/CenteraInfo.h); and laying the stored
// clusters over an instance's graph when it is (re-)read. A cluster of no
// instance (a staging or temporary one) and the clusters of an instance
// filled another way keep their values in memory.
//
// The capacity is a number of bytes; its text is that number in decimal.
//
// Journal: "AddCenteraCluster" (name), "RemoveCenteraCluster" (handle),
// "SetCenteraValue" (handle, what, value) for AssignName and every setter,
// "AddAccessNode" / "RemoveAccessNode" (handle, address), "GetCenteraInfo"
// (agent name, address). A failure injected into one of them makes its next
// call fail with the code and text as the last error of the instance (add,
// remove), the cluster or the agent.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/db/TextWidth.h"
#include "platform/centera/CenteraInfo.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACNames.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredObjects.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMCenteraClusterDB.h"
#include "platform/mmdb/MMConfigChangeLog.h"

namespace {

ZQMACCenteraCluster* namedCluster(ZQMACMediaConfig& config, const std::string& name, const ZQMACCenteraCluster* self) {
  return tkmac::namedIn(config.GetCenteraClusterList(), name, self);
}

std::string nameInUse(const std::string& name) { return "An archive cluster named [" + name + "] exists already."; }

MMStoredCenteraCluster rowOf(const ZQMACCenteraCluster& c) {
  const std::set<std::string> nodes = c.GetAccessNodeStringList();
  return {static_cast<int>(c.GetId()), c.GetName(), c.GetClusterName(), c.GetClusterID(),
          c.GetCapacity(), c.GetVersion(), std::vector<std::string>(nodes.begin(), nodes.end())};
}

// Whether the cluster's changes are written to the central database (a
// cluster of an instance loaded from there).
bool writesThrough(const ZQMACCenteraCluster& c) {
  return c.GetOwner() != nullptr && ZQMACGraph::IsDatabaseBacked(*c.GetOwner());
}

struct ClusterKind {
  using Object = ZQMACCenteraCluster;
  using Access = MMCenteraClusterDB;
  static constexpr const char* kNoneGiven = "No archive cluster was given.";
  static constexpr const char* kNotNew = "The archive cluster is not new.";
  static constexpr const char* kNeedsName = "An archive cluster needs a name.";
  static constexpr const char* kNotHere = "The archive cluster is none of this configuration.";
  static std::string nameInUse(const std::string& name) { return ::nameInUse(name); }
  static ZQMACCenteraCluster* named(ZQMACMediaConfig& config, const std::string& name,
                                    const ZQMACCenteraCluster* self) {
    return namedCluster(config, name, self);
  }
  static MMStoredCenteraCluster rowOf(const ZQMACCenteraCluster& c) { return ::rowOf(c); }
  static int insert(MMCenteraClusterDB& access, MMStoredCenteraCluster& row) { return access.insertCluster(row); }
  static int remove(MMCenteraClusterDB& access, int id) { return access.removeCluster(id); }
};

}  // namespace

// ---------------------------------------------------------------- values

std::string ZQMACCenteraCluster::GetCapacityString() const { return std::to_string(m_llCapacity); }

bool ZQMACCenteraCluster::StoreValues() {
  if (!writesThrough(*this)) return true;
  if (m_iId < 0) {
    SetLastError(tkmac::kErrorNotStored,
                 "The object is not stored in the configuration database; it cannot be changed there.");
    return false;
  }
  MMCenteraClusterDB access;
  if (access.updateCluster(rowOf(*this)) != 0) {
    SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
    return false;
  }
  return true;
}

bool ZQMACCenteraCluster::ChangeText(const char* what, std::string& field, const std::string& value) {
  tkmac::journal().record("SetCenteraValue", GetHandle(), what, value);
  if (tkmac::failed(*this, "SetCenteraValue")) return false;
  std::string refusal;
  if (!tkdb::fitsColumn(std::string("archive cluster's ") + what, value, MMCenteraClusterDB::kTextWidth, refusal)) {
    SetLastError(tkmac::kErrorInvalidValue, refusal);
    return false;
  }
  std::string before = field;
  field = value;
  if (!StoreValues()) {
    field = std::move(before);
    return false;
  }
  ClearLastError();
  return true;
}

bool ZQMACCenteraCluster::AssignName(const std::string& name) {
  if (name.empty()) {
    tkmac::journal().record("SetCenteraValue", GetHandle(), "name", name);
    if (tkmac::failed(*this, "SetCenteraValue")) return false;
    SetLastError(tkmac::kErrorInvalidName, "An archive cluster needs a name.");
    return false;
  }
  if (GetOwner() != nullptr && namedCluster(*GetOwner(), name, this) != nullptr) {
    SetLastError(tkmac::kErrorNameInUse, nameInUse(name));
    return false;
  }
  return ChangeText("name", m_sName, name);
}

bool ZQMACCenteraCluster::SetClusterName(const std::string& name) { return ChangeText("cluster name", m_sClusterName, name); }
bool ZQMACCenteraCluster::SetClusterID(const std::string& id) { return ChangeText("identity", m_sClusterId, id); }
bool ZQMACCenteraCluster::SetVersion(const std::string& version) { return ChangeText("version", m_sVersion, version); }

bool ZQMACCenteraCluster::SetCapacity(long long capacity) {
  tkmac::journal().record("SetCenteraValue", GetHandle(), "capacity", capacity);
  if (tkmac::failed(*this, "SetCenteraValue")) return false;
  if (capacity < 0) {
    SetLastError(tkmac::kErrorInvalidValue, "An archive cluster's capacity cannot be negative.");
    return false;
  }
  const long long before = m_llCapacity;
  m_llCapacity = capacity;
  if (!StoreValues()) {
    m_llCapacity = before;
    return false;
  }
  ClearLastError();
  return true;
}

bool ZQMACCenteraCluster::SetCapacityString(const std::string& text) {
  // Decimal bytes; blanks around the number are allowed.
  const std::size_t first = text.find_first_not_of(" \t");
  const std::size_t last = text.find_last_not_of(" \t");
  const std::string digits = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    SetLastError(tkmac::kErrorInvalidValue, "The archive cluster's capacity [" + text + "] is not a number of bytes.");
    return false;
  }
  errno = 0;
  const long long capacity = std::strtoll(digits.c_str(), nullptr, 10);
  if (errno == ERANGE) {
    SetLastError(tkmac::kErrorInvalidValue, "The archive cluster's capacity [" + text + "] is too large.");
    return false;
  }
  return SetCapacity(capacity);
}

// ---------------------------------------------------------------- access nodes

bool ZQMACCenteraCluster::AddAccessNode(const std::string& address) {
  tkmac::journal().record("AddAccessNode", GetHandle(), address);
  if (tkmac::failed(*this, "AddAccessNode")) return false;
  if (address.empty() || address.size() > MMCenteraClusterDB::kTextWidth) {
    SetLastError(tkmac::kErrorInvalidValue, "The access node [" + address + "] is no address.");
    return false;
  }
  if (writesThrough(*this) && m_iId >= 0) {
    MMCenteraClusterDB access;
    if (access.addAccessNode(m_iId, address) != 0) {
      SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
      return false;
    }
  }
  m_accessNodes.insert(address);
  ClearLastError();
  return true;
}

bool ZQMACCenteraCluster::RemoveAccessNode(const std::string& address) {
  tkmac::journal().record("RemoveAccessNode", GetHandle(), address);
  if (tkmac::failed(*this, "RemoveAccessNode")) return false;
  if (m_accessNodes.count(address) == 0) {
    SetLastError(tkmac::kErrorInvalidValue, "The archive cluster has no access node [" + address + "].");
    return false;
  }
  if (writesThrough(*this) && m_iId >= 0) {
    MMCenteraClusterDB access;
    if (access.removeAccessNode(m_iId, address) != 0 && access.getErrorCode() != MMS2_ERROR_NOT_FOUND) {
      SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
      return false;
    }
  }
  m_accessNodes.erase(address);
  ClearLastError();
  return true;
}

// ---------------------------------------------------------------- reading a cluster

bool ZQMACMediaAgent::GetCenteraInfo(ZQMACCenteraCluster* cluster) {
  const std::set<std::string> nodes =
      cluster != nullptr ? cluster->GetAccessNodeStringList() : std::set<std::string>();
  const std::string address = nodes.empty() ? std::string() : *nodes.begin();
  tkmac::journal().record("GetCenteraInfo", GetName(), address);
  if (tkmac::failed(*this, "GetCenteraInfo")) return false;
  if (address.empty()) {
    SetLastError(tkmac::kErrorInvalidValue, "The archive cluster has no access node to ask.");
    return false;
  }
  tkcentera::ClusterInfo info;
  std::string error;
  if (!tkcentera::queryCluster(GetName(), address, info, error)) {
    SetLastError(tkmac::kErrorNotSeen, error);
    return false;
  }
  ZQMACGraph::SetCluster(cluster, info.clusterName, info.clusterId, info.capacity, info.version);
  ClearLastError();
  return true;
}

// ---------------------------------------------------------------- the configuration

bool ZQMACMediaConfig::AddCenteraCluster(ZQMACCenteraCluster* cluster) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("AddCenteraCluster", cluster != nullptr ? cluster->GetName() : std::string());
  if (tkmac::failed(*this, "AddCenteraCluster")) return false;
  if (!tkmac::adoptStored<ClusterKind>(*this, cluster)) return false;
  m_centeraClusterList.AddNode(cluster);
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::RemoveCenteraCluster(ZQMACCenteraCluster* cluster) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("RemoveCenteraCluster", cluster != nullptr ? cluster->GetHandle() : 0ull);
  if (tkmac::failed(*this, "RemoveCenteraCluster")) return false;
  return tkmac::removeStored<ClusterKind>(*this, cluster, [](ZQMACCenteraCluster&) { return true; });
}

bool ZQMACGraph::ApplyStoredCenteraClusters(ZQMACMediaConfig& config, std::vector<MMStoredCenteraCluster>& rows,
                                            const std::set<int>* reborn) {
  return MergeStoredRows(config, config.m_centeraClusterList, config.m_laidBeside[tkmmdb::kLoggedArchiveClusters], reborn, rows,
                         [](ZQMACCenteraCluster* cluster, MMStoredCenteraCluster& row) {
                           SetCluster(cluster, row.clusterName, row.clusterId, row.capacity, row.version);
                           cluster->m_accessNodes =
                               std::set<std::string>(row.accessNodes.begin(), row.accessNodes.end());
                         });
}
