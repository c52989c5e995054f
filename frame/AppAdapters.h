// Application-layer classes of the platform that the handlers make and
// destroy: the adapters (installation information, credentials, XML request
// adapter), the debug-socket classes, and the cloud-authentication helper.
// Inline parts here are the system's; the operations are the platform's
// (platform/adapters/).
#pragma once

#include <string>

#include "frame/EvDebugFileInstance.h"
#include "frame/EvEvent.h"
#include "platform/curl/ZQLibCurl.h"
#include "platform/debuglog/EvDebug.h"

class AdaptersInterface;

class AdaptersBase {
 public:
  AdaptersBase() = default;
  virtual AdaptersInterface* getAdaptersInterface();
  virtual ~AdaptersBase() {}
  // The text of the last failure of an operation of this adapter.
  virtual std::string getErrorString();
  // Information about the active application of a client; 0 when found.
  virtual int getActiveApplicationInfo(unsigned long clientId, const std::string& applicationName,
                                       unsigned long& applicationId, unsigned long& instanceId,
                                       std::string& version, void* context);

 protected:
  std::string m_errorString;
};

class AdaptersInterface {
 public:
  AdaptersInterface() = default;
  virtual ~AdaptersInterface() {}
  virtual int getPlatformInfo(unsigned long& clientId, unsigned long& kind, std::string& info, long& time,
                              void* context) = 0;
};

class AdaptersInterfaceDB : public AdaptersInterface {
 public:
  AdaptersInterfaceDB() : m_kind(2), m_text("") {}
  ~AdaptersInterfaceDB() override {}
  // Kind 2: the installation directory of the client (a media agent) into
  // `info`. 0 when found.
  int getPlatformInfo(unsigned long& clientId, unsigned long& kind, std::string& info, long& time,
                      void* context) override;

 private:
  [[maybe_unused]] int m_kind;  // part of the system's layout; nothing reads it here
  std::string m_text;
};

class CredentialMgrHelper : public AdaptersBase {
 public:
  CredentialMgrHelper() = default;
  ~CredentialMgrHelper() override {}
  // The name of a stored credential; 0 when found (the name is left empty otherwise).
  int getCredentialNameForId(int credentialId, std::string& name, void* context);
  // The credential of an association; 0 when found.
  int getCredentialIdFromAssocIdForEntity(int assocId, int& credentialId, int& entityType, int& entityId,
                                          void* context);
};

class XMLHandler : public AdaptersBase {
 public:
  XMLHandler() = default;
  ~XMLHandler() override {}
  // Hands an XML request to the service that answers it: `text` holds the
  // request on the way in and the response on the way out; `error` is filled
  // on failure. 0 on success.
  int handleXMLReq(unsigned long value, unsigned long classHash, std::string& text, std::string& error,
                   std::string further, unsigned long flags);
};

class EvSocket : public EvDebug {
 public:
  explicit EvSocket(EvDebugFileInstance* instance);
  ~EvSocket() override;
  EvDebugFileInstance* instance() const { return m_instance; }

 private:
  EvDebugFileInstance* m_instance;
};

class EvAuthentication : public EvSocket {
 public:
  EvAuthentication() : EvSocket(nullptr) {}
  ~EvAuthentication() override = default;
};

namespace ZQCloudAuth {
struct BaseParams {
  std::string name;
  std::string value;
};
}  // namespace ZQCloudAuth

class ZQCloudAuthLib {
 public:
  ZQCloudAuthLib() = default;
  ZQCloudAuthLib(ZQLibCurl* client, ZQCloudAuth::BaseParams* params) : m_client(client), m_params(params) {}
  ZQCloudAuthLib(const ZQCloudAuthLib&) = delete;
  ZQCloudAuthLib& operator=(const ZQCloudAuthLib&) = delete;
  // Releases the parameters, then the web-request client; the event goes last.
  virtual ~ZQCloudAuthLib() {
    delete m_params;
    m_params = nullptr;
    delete m_client;
    m_client = nullptr;
  }
  virtual int authenticate() = 0;

 protected:
  int m_reserved = 0;
  EvEvent m_event;
  ZQLibCurl* m_client = nullptr;
  ZQCloudAuth::BaseParams* m_params = nullptr;
};
