// The object model's DRU hosts: adding, changing and removing them, each
// written through to the central database in an instance loaded from there
// (the host table MMDRUHost), and laying the stored hosts over an instance's
// graph when it is (re-)read. An instance filled another way (a test's
// loader) keeps its hosts in memory, with ids from tkmac::takeNewObjectId.
//
// Journal: "AddDRUHost" (name, user name, port), "RemoveDRUHost" (handle),
// "UpdateDb" (handle, name, user name, the password's length, port; never
// the password). A failure injected into one of them makes its next call
// fail with the code and text as the last error of the instance (add,
// remove) or of the host.
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACNames.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredObjects.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMConfigChangeLog.h"
#include "platform/mmdb/MMDRUHostDB.h"

namespace {

ZQMACHost* namedHost(ZQMACMediaConfig& config, const std::string& name, const ZQMACHost* self) {
  return tkmac::namedIn(config.GetDRUHostList(), name, self);
}

MMStoredDRUHost rowOf(const ZQMACHost& host) {
  return {static_cast<int>(host.GetId()), host.GetName(), host.GetUserName(), host.GetUserPassword(), host.GetPort()};
}

std::string nameInUse(const std::string& name) { return "A DRU host named [" + name + "] exists already."; }

struct HostKind {
  using Object = ZQMACHost;
  using Access = MMDRUHostDB;
  static constexpr const char* kNoneGiven = "No DRU host was given.";
  static constexpr const char* kNotNew = "The DRU host is not new.";
  static constexpr const char* kNeedsName = "A DRU host needs a name.";
  static constexpr const char* kNotHere = "The DRU host is none of this configuration.";
  static std::string nameInUse(const std::string& name) { return ::nameInUse(name); }
  static ZQMACHost* named(ZQMACMediaConfig& config, const std::string& name, const ZQMACHost* self) {
    return namedHost(config, name, self);
  }
  static MMStoredDRUHost rowOf(const ZQMACHost& host) { return ::rowOf(host); }
  static int insert(MMDRUHostDB& access, MMStoredDRUHost& row) { return access.insertHost(row); }
  static int remove(MMDRUHostDB& access, int id) { return access.removeHost(id); }
};

}  // namespace

bool ZQMACHost::UpdateDb() {
  tkmac::journal().record("UpdateDb", GetHandle(), m_sName, m_sUserName, m_sPassword.size(), m_iPort);
  if (tkmac::failed(*this, "UpdateDb")) return false;
  if (m_sName.empty()) {
    SetLastError(tkmac::kErrorInvalidName, "A DRU host needs a name.");
    return false;
  }
  ZQMACMediaConfig* owner = GetOwner();
  if (owner != nullptr && namedHost(*owner, m_sName, this) != nullptr) {
    SetLastError(tkmac::kErrorNameInUse, nameInUse(m_sName));
    return false;
  }
  if (owner != nullptr && ZQMACGraph::IsDatabaseBacked(*owner)) {
    if (m_iId < 0) {
      SetLastError(tkmac::kErrorNotStored,
                   "The object is not stored in the configuration database; it cannot be changed there.");
      return false;
    }
    MMDRUHostDB access;
    if (access.updateHost(rowOf(*this)) != 0) {
      SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
      return false;
    }
  }
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::AddDRUHost(ZQMACHost* host) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("AddDRUHost", host != nullptr ? host->GetName() : std::string(),
                          host != nullptr ? host->GetUserName() : std::string(), host != nullptr ? host->GetPort() : -1);
  if (tkmac::failed(*this, "AddDRUHost")) return false;
  if (!tkmac::adoptStored<HostKind>(*this, host)) return false;
  m_hostList.AddNode(host);
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::RemoveDRUHost(ZQMACHost* host) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("RemoveDRUHost", host != nullptr ? host->GetHandle() : 0ull);
  if (tkmac::failed(*this, "RemoveDRUHost")) return false;
  return tkmac::removeStored<HostKind>(*this, host, [this](ZQMACHost& doomed) {
    // A device tied to the host would name a host that no longer exists.
    ZQMACLinkedList<ZQMACDiskDevice> devices = GetDiskDeviceList();
    for (ZQMACDiskDevice* d = devices.GetFirstNode(); d != nullptr; d = devices.GetNextNode()) {
      if (doomed.GetId() != 0xFFFFFFFFu && d->GetDRUId() == static_cast<int>(doomed.GetId())) {
        SetLastError(tkmac::kErrorInvalidValue,
                     "The DRU host [" + doomed.GetName() + "] is in use by the disk device [" + d->GetName() + "].");
        return false;
      }
    }
    return true;
  });
}

bool ZQMACGraph::ApplyStoredDRUHosts(ZQMACMediaConfig& config, std::vector<MMStoredDRUHost>& rows,
                                     const std::set<int>* reborn) {
  return MergeStoredRows(config, config.m_hostList, config.m_laidBeside[tkmmdb::kLoggedDRUHosts], reborn, rows, [](ZQMACHost* host, MMStoredDRUHost& row) {
    host->m_sUserName = std::move(row.userName);
    host->m_sPassword = std::move(row.password);
    host->m_iPort = row.port;
  });
}
