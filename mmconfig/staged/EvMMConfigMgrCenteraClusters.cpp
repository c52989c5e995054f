// The archive clusters of the cached configuration: the list
// (onMsgGetCenteraClusterList), the properties of one cluster with the
// media agents that can serve it (onMsgGetCenteraClusterProperties: id in
// the element-count field), the detection of a cluster's identity by a
// media agent through one access node (onMsgDetectCenteraCluster: the
// agent's id in the element-count field, the address as text behind it,
// read within the request body), the Centera-capable media agents the user
// may use (onMsgGetCenteraMediaAgents) and the Set request that adds (48),
// removes (2) or changes (3) a cluster (onMsgSetCenteraCluster).
//
// Set elements: 11400 id+text (the id of the cluster to remove or change,
// and the name), 11411 cluster name, 11405 identity, 11406 capacity (decimal
// bytes), 11407 version, 11408 one access node each. They fill a staging
// cluster. A change sets the name and every value of the staging cluster,
// then removes the access nodes the staging cluster lacks and adds all of
// its own (in sorted order); a step that fails ends the change, and the
// cluster is left as it was, in memory as in the database.
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/MediaAgentRights.h"
#include "mmconfig/RecordWriter.h"
#include "mmconfig/staged/StagedObjectSet.h"
#include "mmconfig/staged/StagedObjectSteps.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/EvReturnData.h"
#include "platform/tran/StoreStep.h"

namespace {

constexpr const char* kListTag = "EvMMConfigMgr::lookupCenteraClusterList";
constexpr const char* kClusterTag = "EvMMConfigMgr::lookupCenteraCluster";
constexpr const char* kAgentsTag = "EvMMConfigMgr::lookupCenteraMediaAgents";
constexpr const char* kSetTag = "EvMMConfigMgr::onMsgSetCenteraCluster";

constexpr unsigned long kReplyList = tktag::kReplyArchiveClusters;
constexpr unsigned long kReplyCluster = tktag::kReplyArchiveCluster;
constexpr unsigned long kReplyAgents = tktag::kReplyArchiveClusterAgents;

constexpr uint32_t kItemCluster = tktag::kCluster;
constexpr uint32_t kItemClusterId = tktag::kClusterId;
constexpr uint32_t kItemCapacity = tktag::kCapacity;
constexpr uint32_t kItemVersion = tktag::kVersion;
constexpr uint32_t kItemAccessNode = tktag::kAccessNode;
constexpr uint32_t kItemClusterName = tktag::kClusterName;
constexpr uint32_t kItemAgent = tktag::kMediaAgent;
constexpr uint32_t kItemStatus = tktag::kStatus;

// Where the detection's address stands in the fixed payload.
constexpr std::size_t kPositionAddress = 8;

constexpr unsigned long kTextAddRefused = 0x240001B9;
constexpr unsigned long kTextRemoveRefused = 0x240001BA;
constexpr const char* kNotFound = "Centera Cluster not found!";

// The values of a cluster, to put back when a change is refused.
struct ClusterValues {
  std::string name;
  std::string clusterId;
  std::string clusterName;
  long long capacity = 0;
  std::string version;
  std::set<std::string> accessNodes;

  explicit ClusterValues(const ZQMACCenteraCluster& c)
      : name(c.GetName()),
        clusterId(c.GetClusterID()),
        clusterName(c.GetClusterName()),
        capacity(c.GetCapacity()),
        version(c.GetVersion()),
        accessNodes(c.GetAccessNodeStringList()) {}

  // Gives `to` these values, step by step; false at the first refusal.
  bool applyTo(ZQMACCenteraCluster& to) const {
    if (!to.AssignName(name) || !to.SetClusterID(clusterId) || !to.SetClusterName(clusterName) ||
        !to.SetCapacity(capacity) || !to.SetVersion(version))
      return false;
    for (const std::string& node : to.GetAccessNodeStringList())
      if (accessNodes.count(node) == 0 && !to.RemoveAccessNode(node)) return false;
    for (const std::string& node : accessNodes)
      if (!to.AddAccessNode(node)) return false;
    return true;
  }
};

class ClusterSet : public tkmm::StagedObjectSet {
 public:
  explicit ClusterSet(MessageInfo& request) : StagedObjectSet(request, kSetTag) {}

  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    switch (type) {
      case kItemCluster:
        m_id = static_cast<int>(MessageWalker::readPairId(value, length));
        m_values.name = MessageWalker::readPairText(value, length);
        take(staging().AssignName(m_values.name));
        return true;
      case kItemClusterName:
        m_values.clusterName = MessageWalker::readText(value, length);
        take(staging().SetClusterName(m_values.clusterName));
        return true;
      case kItemClusterId:
        m_values.clusterId = MessageWalker::readText(value, length);
        take(staging().SetClusterID(m_values.clusterId));
        return true;
      case kItemCapacity:
        if (take(staging().SetCapacityString(MessageWalker::readText(value, length))))
          m_values.capacity = staging().GetCapacity();
        return true;
      case kItemVersion:
        m_values.version = MessageWalker::readText(value, length);
        take(staging().SetVersion(m_values.version));
        return true;
      case kItemAccessNode: {
        const std::string address = MessageWalker::readText(value, length);
        if (take(staging().AddAccessNode(address))) m_values.accessNodes.insert(address);
        return true;
      }
      default:
        return false;
    }
  }

 protected:
  bool add(ZQMACMediaConfig& config, std::string& text) override {
    staging();  // made from the record's values when no element made it yet
    return tkmm::addStaged(config, m_staging, &ZQMACMediaConfig::AddCenteraCluster, kTextAddRefused, text);
  }

  bool remove(ZQMACMediaConfig& config, std::string& text) override {
    return tkmm::removeById(config, m_id, &ZQMACMediaConfig::RemoveCenteraCluster, kNotFound, kTextRemoveRefused,
                            text);
  }

  // The steps run in one transaction: a refused step undoes the earlier
  // ones in the database, and the cluster takes its old values back.
  bool change(ZQMACMediaConfig& config, std::string& text) override {
    ZQMACCenteraCluster* cluster = config.FindDBNode<ZQMACCenteraCluster>(m_id);
    if (cluster == nullptr) {
      text = kNotFound;
      return false;
    }
    tktran::StoreStep step(kSetTag);
    if (!step.begin()) {
      text = step.error();
      return false;
    }
    const ClusterValues before(*cluster);
    bool ok = ClusterValues(staging()).applyTo(*cluster);
    if (!ok) text = cluster->GetLastError();
    if (ok && !step.commit()) {
      text = step.error();
      ok = false;
    }
    // Put back inside the step, which then rolls back with what it wrote.
    if (!ok) before.applyTo(*cluster);
    return ok;
  }

 private:
  // A value the staging cluster refuses is not taken, and fails the record.
  bool take(bool taken) {
    if (!taken) {
      EvDebug::Error(kSetTag, "%s", m_staging->GetLastError().c_str());
      refuseValue(m_staging->GetLastError());
    }
    return taken;
  }

  // The cluster the elements fill: a fresh one after a successful add,
  // which takes the values the request has sent so far.
  ZQMACCenteraCluster& staging() {
    if (m_staging == nullptr) {
      m_staging = std::make_unique<ZQMACCenteraCluster>();
      if (!m_values.name.empty()) m_staging->AssignName(m_values.name);
      m_staging->SetClusterName(m_values.clusterName);
      m_staging->SetClusterID(m_values.clusterId);
      m_staging->SetCapacity(m_values.capacity);
      m_staging->SetVersion(m_values.version);
      for (const std::string& node : m_values.accessNodes) m_staging->AddAccessNode(node);
    }
    return *m_staging;
  }

  struct Sent {
    std::string name;
    std::string clusterName;
    std::string clusterId;
    long long capacity = 0;
    std::string version;
    std::set<std::string> accessNodes;
  };
  std::unique_ptr<ZQMACCenteraCluster> m_staging;
  int m_id = -1;
  Sent m_values;
};

// The cluster items; with `properties` also its id and name and its access
// nodes.
void clusterItems(tkmm::RecordWriter& out, const ZQMACCenteraCluster& cluster, bool properties) {
  if (properties) out.idText(kItemCluster, cluster.GetId(), cluster.GetName());
  out.text(kItemClusterName, cluster.GetClusterName());
  out.text(kItemClusterId, cluster.GetClusterID());
  out.text(kItemCapacity, cluster.GetCapacityString());
  out.text(kItemVersion, cluster.GetVersion());
  if (properties)
    for (const std::string& node : cluster.GetAccessNodeStringList()) out.text(kItemAccessNode, node);
}

}  // namespace

bool EvMMConfigMgr::onMsgGetCenteraClusterList(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyList, kListTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    ZQMACLinkedList<ZQMACCenteraCluster> clusters = config.GetCenteraClusterList();
    for (ZQMACCenteraCluster* c = clusters.GetFirstNode(); c != nullptr; c = clusters.GetNextNode())
      out.idText(kItemCluster, c->GetId(), c->GetName());
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetCenteraClusterProperties(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyCluster, kClusterTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    if (const ZQMACCenteraCluster* c = config.FindDBNode<ZQMACCenteraCluster>(static_cast<int>(request->elementCount)))
      clusterItems(out, *c, true);
    // The agents that can serve a cluster, also while a new one is set up.
    ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetMediaAgentList();
    for (ZQMACMediaAgent* a = agents.GetFirstNode(); a != nullptr; a = agents.GetNextNode())
      if (!a->IsForeign() && a->IsShown() && a->IsCenteraAgent()) out.idText(kItemAgent, a->GetId(), a->GetName());
    out.endOfRecord();
    return true;
  });
}

bool EvMMConfigMgr::onMsgDetectCenteraCluster(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyCluster, kClusterTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    std::string error;
    ZQMACMediaAgent* agent = config.FindDBNode<ZQMACMediaAgent>(static_cast<int>(request->elementCount));
    // A cluster of its own for this request only.
    auto cluster = std::make_unique<ZQMACCenteraCluster>();
    if (agent == nullptr)
      error = "MediaAgent not found!";
    else if (!cluster->AddAccessNode(request->payloadText(kPositionAddress)))
      error = cluster->GetLastError();
    else if (!agent->GetCenteraInfo(cluster.get()))
      error = agent->GetLastError();
    if (error.empty())
      clusterItems(out, *cluster, false);
    else
      out.idText(kItemStatus, 0, error);
    out.endOfRecord();
    return error.empty();
  });
}

bool EvMMConfigMgr::onMsgGetCenteraMediaAgents(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyAgents, kAgentsTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    tkmm::MediaAgentRights rights(*request, request->firstWord, kAgentsTag);
    ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetMediaAgentList();
    for (ZQMACMediaAgent* a = agents.GetFirstNode(); a != nullptr; a = agents.GetNextNode())
      if (!a->IsForeign() && a->IsCenteraAgent() && rights.allows(a->GetId()))
        out.idText(kItemAgent, a->GetId(), a->GetName());
    return true;
  });
}

bool EvMMConfigMgr::onMsgSetCenteraCluster(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Error(kSetTag, "Bad Parameter Received.");
    return false;
  }
  ClusterSet set(*request);
  return tkmm::runStagedSet(request, kSetTag, set);
}
