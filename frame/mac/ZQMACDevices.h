// Further devices of the configuration: copy-manager devices and
// controllers, Centera archive clusters and DRU hosts.
#pragma once

#include <string>

#include "frame/mac/ZQMACBase.h"

class ZQMACCopyMgrDevice : public ZQMACInterface {
 public:
  ZQMACCopyMgrDevice() = default;
  ZQMACCopyMgrDevice(const ZQMACCopyMgrDevice&) = default;
  ~ZQMACCopyMgrDevice() override;

  int GetConcurrencyLimit() { return m_iConcurrencyLimit; }

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

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObject(const void* address) override;

  ZQMACMediaAgent* m_pMediaAgent = nullptr;
  ZQMACCopyMgrDevice* m_pCopyMgrDevice = nullptr;
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

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;

  std::string m_sClusterName;
  std::string m_sClusterId;
  long long m_llCapacity = 0;
  std::string m_sVersion;
};

// A DRU host.
class ZQMACHost : public ZQMACInterface {
 public:
  ZQMACHost() = default;
  ZQMACHost(const ZQMACHost&) = default;
  ~ZQMACHost() override;

  const std::string& GetUserName() const { return m_sUserName; }
  void SetUserName(const std::string& userName) { m_sUserName = userName; }
  const std::string& GetUserPassword() const { return m_sPassword; }
  void SetUserPassword(const std::string& password) { m_sPassword = password; }
  int GetPort() const { return m_iPort; }
  void SetPort(int port) { m_iPort = port; }

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;

  std::string m_sUserName;
  std::string m_sPassword;
  int m_iPort = 0;
};

#include "frame/mac/ZQMACObjects.h"
