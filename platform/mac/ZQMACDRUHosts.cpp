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
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMDRUHostDB.h"

namespace {

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The host of the instance other than `self` that carries the name, or null.
ZQMACHost* namedHost(ZQMACMediaConfig& config, const std::string& name, const ZQMACHost* self) {
  ZQMACLinkedList<ZQMACHost> hosts = config.GetDRUHostList();
  for (ZQMACHost* h = hosts.GetFirstNode(); h != nullptr; h = hosts.GetNextNode())
    if (h != self && sameName(h->GetName(), name)) return h;
  return nullptr;
}

unsigned int codeOf(const MMDRUHostDB& access) {
  switch (access.getErrorCode()) {
    case MMS2_ERROR_DUPLICATE_NAME: return tkmac::kErrorNameInUse;
    case MMS2_ERROR_NOT_FOUND: return tkmac::kErrorObjectGone;
    case MMS2_ERROR_BAD_ARGUMENT:
    case MMS2_ERROR_TEXT_TOO_LONG: return tkmac::kErrorInvalidValue;
    default: return tkmac::kErrorDatabase;
  }
}

MMStoredDRUHost rowOf(const ZQMACHost& host) {
  return {static_cast<int>(host.GetId()), host.GetName(), host.GetUserName(), host.GetUserPassword(), host.GetPort()};
}

std::string nameInUse(const std::string& name) { return "A DRU host named [" + name + "] exists already."; }

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
      SetLastError(codeOf(access), access.lastErrorText());
      return false;
    }
  }
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::AddDRUHost(ZQMACHost* host) {
  tkmac::journal().record("AddDRUHost", host != nullptr ? host->GetName() : std::string(),
                          host != nullptr ? host->GetUserName() : std::string(), host != nullptr ? host->GetPort() : -1);
  if (tkmac::failed(*this, "AddDRUHost")) return false;
  if (host == nullptr || host->GetOwner() != nullptr) {
    SetLastError(tkmac::kErrorAdoptRefused, host == nullptr ? "No DRU host was given." : "The DRU host is not new.");
    return false;
  }
  if (host->GetName().empty()) {
    SetLastError(tkmac::kErrorInvalidName, "A DRU host needs a name.");
    return false;
  }
  if (namedHost(*this, host->GetName(), nullptr) != nullptr) {
    SetLastError(tkmac::kErrorNameInUse, nameInUse(host->GetName()));
    return false;
  }
  MMStoredDRUHost row = rowOf(*host);
  const bool stored = ZQMACGraph::IsDatabaseBacked(*this);
  MMDRUHostDB access;
  if (stored) {
    if (access.insertHost(row) != 0) {
      SetLastError(codeOf(access), access.lastErrorText());
      return false;
    }
  } else {
    row.id = tkmac::takeNewObjectId();
  }
  if (AdoptObject(host) == 0) {
    // The row must not outlive a host the instance could not take.
    if (stored && access.removeHost(row.id) != 0)
      SetLastError(GetLastErrorCode(), GetLastError() + " " + access.lastErrorText());
    return false;
  }
  ZQMACGraph::SetId(host, row.id);
  m_hostList.AddNode(host);
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::RemoveDRUHost(ZQMACHost* host) {
  tkmac::journal().record("RemoveDRUHost", host != nullptr ? host->GetHandle() : 0ull);
  if (tkmac::failed(*this, "RemoveDRUHost")) return false;
  if (host == nullptr || !OwnsObject(host)) {
    SetLastError(tkmac::kErrorUnknownObject, "The DRU host is none of this configuration.");
    return false;
  }
  // A device tied to the host would name a host that no longer exists.
  ZQMACLinkedList<ZQMACDiskDevice> devices = GetDiskDeviceList();
  for (ZQMACDiskDevice* d = devices.GetFirstNode(); d != nullptr; d = devices.GetNextNode()) {
    if (host->GetId() != 0xFFFFFFFFu && d->GetDRUId() == static_cast<int>(host->GetId())) {
      SetLastError(tkmac::kErrorInvalidValue,
                   "The DRU host [" + host->GetName() + "] is in use by the disk device [" + d->GetName() + "].");
      return false;
    }
  }
  if (ZQMACGraph::IsDatabaseBacked(*this) && host->GetId() != 0xFFFFFFFFu) {
    MMDRUHostDB access;
    // A row removed meanwhile is what the request wants.
    if (access.removeHost(static_cast<int>(host->GetId())) != 0 && access.getErrorCode() != MMS2_ERROR_NOT_FOUND) {
      SetLastError(codeOf(access), access.lastErrorText());
      return false;
    }
  }
  delete host;  // its destructor unlinks it from the instance
  ClearLastError();
  return true;
}

bool ZQMACGraph::ApplyStoredDRUHosts(ZQMACMediaConfig& config, std::vector<MMStoredDRUHost>& rows) {
  std::unordered_map<int, ZQMACHost*> old;
  std::vector<ZQMACHost*> doomed;
  ZQMACLinkedList<ZQMACHost> hosts = config.m_hostList;
  for (ZQMACHost* h = hosts.GetFirstNode(); h != nullptr; h = hosts.GetNextNode())
    if (h->m_iId < 0 || !old.emplace(h->m_iId, h).second) doomed.push_back(h);
  config.m_hostList.RemoveAllNodes(false, true);
  bool whole = true;
  for (MMStoredDRUHost& row : rows) {
    ZQMACHost* host = nullptr;
    auto it = old.find(row.id);
    if (it != old.end()) {
      host = it->second;
      old.erase(it);
      host->m_sName = std::move(row.name);
    } else {
      auto fresh = std::make_unique<ZQMACHost>();
      fresh->m_sName = std::move(row.name);
      if (config.AdoptObject(fresh.get()) == 0) {
        whole = false;  // the instance's last error says why
        continue;
      }
      host = fresh.release();
      SetId(host, row.id);
    }
    host->m_sUserName = std::move(row.userName);
    host->m_sPassword = std::move(row.password);
    host->m_iPort = row.port;
    config.m_hostList.AddNode(host);
  }
  for (auto& [id, host] : old) doomed.push_back(host);
  for (ZQMACHost* host : doomed) delete host;
  return whole;
}
