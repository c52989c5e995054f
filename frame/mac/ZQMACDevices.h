// Further devices of the configuration: copy-manager devices and
// controllers, Centera archive clusters and DRU hosts.
#pragma once

#include <set>
#include <string>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACDevicePart.h"
#include "frame/mac/ZQMACLinkedList.h"

class ZQMACCopyMgrController;

// A copy-manager device; its device part carries the identification texts.
class ZQMACCopyMgrDevice : public ZQMACInterface, public ZQMACDevicePart {
 public:
  ZQMACCopyMgrDevice() = default;
  ZQMACCopyMgrDevice(const ZQMACCopyMgrDevice&) = default;
  ~ZQMACCopyMgrDevice() override;

  int GetConcurrencyLimit() { return m_iConcurrencyLimit; }

  // ---- the device as the copy-manager requests ask it ----
  // (platform/mac/ZQMACCopyManagers.cpp) The controllers through which the
  // device is reached, in the instance's order.
  ZQMACLinkedList<ZQMACCopyMgrController> GetControllerList() const;
  // False (reason in the last error) for a negative limit or a refusal.
  bool SetConcurrencyLimit(int limit);
  // ---- end of the copy-manager block ----

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;

  int m_iConcurrencyLimit = 0;
};

class ZQMACCopyMgrController : public ZQMACInterface {
 public:
  ZQMACCopyMgrController() = default;
  ZQMACCopyMgrController(const ZQMACCopyMgrController&) = default;
  ~ZQMACCopyMgrController() override;

  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }
  ZQMACCopyMgrDevice* GetCopyMgrDevice() const { return m_pCopyMgrDevice; }

  // ---- the controller as the copy-manager requests show it ----
  // The copy manager's own text, written into `text`.
  void GetCopyManagerText(std::string& text) const { text = m_sCopyManagerText; }
  // The text of the unit by which the agent reaches the device.
  const std::string& GetUnitText() const { return m_sUnitText; }
  // ---- end of the copy-manager block ----

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  ZQMACMediaAgent* m_pMediaAgent = nullptr;
  ZQMACCopyMgrDevice* m_pCopyMgrDevice = nullptr;
  // ---- fields of the copy-manager block (a loader fills them) ----
  std::string m_sCopyManagerText;
  std::string m_sUnitText;
  // ---- end of the copy-manager fields ----
};

class ZQMACCenteraCluster : public ZQMACInterface {
 public:
  ZQMACCenteraCluster() = default;
  ZQMACCenteraCluster(const ZQMACCenteraCluster&) = default;
  ~ZQMACCenteraCluster() override;

  const std::string& GetClusterName() const { return m_sClusterName; }
  const std::string& GetClusterID() const { return m_sClusterId; }
  long long GetCapacity() const { return m_llCapacity; }
  const std::string& GetVersion() const { return m_sVersion; }

  // ---- the cluster as its requests change it (platform/mac/ZQMACCenteraClusters.cpp) ----
  // Each setter of a cluster of an instance loaded from the central
  // database writes through to its row; false (reason in the last error,
  // the value unchanged) for a value that does not fit or a refusal.
  // Names must be new among the instance's clusters (letter case aside).
  bool AssignName(const std::string& name) override;
  bool SetClusterName(const std::string& name);
  bool SetClusterID(const std::string& id);
  // The capacity in bytes (not negative); its text is that number in
  // decimal, which SetCapacityString takes (blanks around it allowed).
  bool SetCapacity(long long capacity);
  std::string GetCapacityString() const;
  bool SetCapacityString(const std::string& text);
  bool SetVersion(const std::string& version);
  // The access nodes (addresses), sorted. Adding one the cluster has is a
  // success; removing one it lacks is refused.
  std::set<std::string> GetAccessNodeStringList() const { return m_accessNodes; }
  bool AddAccessNode(const std::string& address);
  bool RemoveAccessNode(const std::string& address);
  // ---- end of the cluster block ----

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;

  std::string m_sClusterName;
  std::string m_sClusterId;
  long long m_llCapacity = 0;
  std::string m_sVersion;
  std::set<std::string> m_accessNodes;  // cluster block

 private:
  // ---- cluster block ----
  bool StoreValues();
  bool ChangeText(const char* what, std::string& field, const std::string& value);
  // ---- end of the cluster block ----
};

// A DRU host.
class ZQMACHost : public ZQMACInterface {
 public:
  ZQMACHost() = default;
  ZQMACHost(const ZQMACHost&) = default;
  ~ZQMACHost() override;

  const std::string& GetUserName() const { return m_sUserName; }
  void SetUserName(const std::string& userName) { Touch(); m_sUserName = userName; }
  const std::string& GetUserPassword() const { return m_sPassword; }
  void SetUserPassword(const std::string& password) { Touch(); m_sPassword = password; }
  int GetPort() const { return m_iPort; }
  void SetPort(int port) { Touch(); m_iPort = port; }

  // ---- the DRU host as its requests change it (platform/mac/ZQMACDRUHosts.cpp) ----
  // Stores the host's name, user name, password and port (a host of an
  // instance loaded from the central database, in its row); false with the
  // reason in the last error (a name another host carries, a row that is
  // gone, a database failure): nothing was stored then.
  bool UpdateDb();
  // ---- end of the DRU host block ----

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;

  std::string m_sUserName;
  std::string m_sPassword;
  int m_iPort = 0;
};

#include "frame/mac/ZQMACObjects.h"
