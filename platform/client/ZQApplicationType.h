// The application types of a client as the install manager knows them: a
// chain over virtual bases ending in ZQApplicationType, one class per kind
// of file-system agent the NAS handlers deal with. An object names one
// client and one application type id; what a type keeps about its client
// lives with the client's properties.
//
//   ApplicationTypeCenteraFS centera(clientId, 88);
//   std::string name;
//   if (centera.getCenteraResourceFileName(name) == 0 && name != wanted)
//     code = centera.setCenteraResourceFileName(wanted, &tran);
//   ... ZQApplicationType::getErrorString(code) ...
#pragma once

#include <string>

class DBtran;

class ZQApplicationType {
 public:
  ZQApplicationType(unsigned long clientId, int appTypeId) : m_clientId(clientId), m_appTypeId(appTypeId) {}
  virtual ~ZQApplicationType() = default;
  ZQApplicationType(const ZQApplicationType&) = delete;
  ZQApplicationType& operator=(const ZQApplicationType&) = delete;

  unsigned long getClientId() const { return m_clientId; }
  int getAppTypeId() const { return m_appTypeId; }
  // The text of a code of these calls (the client stand-ins' texts).
  static std::string getErrorString(int code);

 private:
  unsigned long m_clientId;
  int m_appTypeId;
};

// A file-system agent of the client.
class ApplicationTypeFS : public virtual ZQApplicationType {
 public:
  ApplicationTypeFS(unsigned long clientId, int appTypeId) : ZQApplicationType(clientId, appTypeId) {}
  ~ApplicationTypeFS() override = default;
};

// The file-system agent of a network file server.
class ApplicationTypeNetwareFS : public virtual ApplicationTypeFS {
 public:
  ApplicationTypeNetwareFS(unsigned long clientId, int appTypeId)
      : ZQApplicationType(clientId, appTypeId), ApplicationTypeFS(clientId, appTypeId) {}
  ~ApplicationTypeNetwareFS() override = default;
};

// The file-system agent of an archive cluster.
class ApplicationTypeCenteraFS : public virtual ApplicationTypeNetwareFS {
 public:
  ApplicationTypeCenteraFS(unsigned long clientId, int appTypeId)
      : ZQApplicationType(clientId, appTypeId),
        ApplicationTypeFS(clientId, appTypeId),
        ApplicationTypeNetwareFS(clientId, appTypeId) {}
  ~ApplicationTypeCenteraFS() override = default;

  // The resource file through which the cluster is reached, kept as a
  // property of the client ("Centera Resource File Name"; the empty text
  // when none is set). 0, or an error code of platform/client/ZQClient.h
  // (kErrorUnknownClient for a client that is not there). The setter works
  // in `tran` when it is open, else on its own; the empty text removes the
  // property. Journaled as "getCenteraResourceFileName" (client, result) and
  // "setCenteraResourceFileName" (client, name, result).
  int getCenteraResourceFileName(std::string& name);
  int setCenteraResourceFileName(const std::string& name, DBtran* tran);
};
