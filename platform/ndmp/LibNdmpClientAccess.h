// Access to a NAS filer over NDMP: log in with the NDMP host's credentials,
// ask the filer what it is (OS type, OS version, capability flags) and what
// mount points it serves, log off.
//
//   LibNdmpClientAccess filer(0);
//   filer.setFilerHostname(entry.hostName);
//   filer.setLogin(entry.loginName);
//   filer.setEncryptedPassword(entry.encryptedPassword);   // still encrypted
//   if (!filer.LoginToFiler()) { ... filer.getLastError(text) ... }
//   std::vector<LncaMountPointInfo> points;
//   bool read = filer.configGetMountPointList(points);
//   filer.LogOffFiler();
//
// The filers are in memory, keyed by host name without regard to letter
// case (platform/ndmp/NdmpFilers.h, seeded and scripted through
// platform/testkit/ndmp.h). A host nobody seeded does not answer. One
// object per operation; the destructor logs off a filer still logged in.
#pragma once

#include <string>
#include <vector>

#include "platform/ndmp/NasHostTypes.h"

class LibNdmpClientAccess {
 public:
  explicit LibNdmpClientAccess(int value = 0);
  ~LibNdmpClientAccess();
  LibNdmpClientAccess(const LibNdmpClientAccess&) = delete;
  LibNdmpClientAccess& operator=(const LibNdmpClientAccess&) = delete;

  // Settings of the next login; a null text is the empty text.
  void setFilerClientname(const char* name);
  void setFilerHostname(const char* host);
  void setLogin(const char* login);
  void setEncryptedPassword(const char* password);
  void setPort(int port);

  // Connects and authenticates; true when logged in. The three flags below
  // tell how far the last login got.
  bool LoginToFiler();
  bool connectSuccess() const { return m_connected; }
  bool authenticateSuccess() const { return m_authenticated; }
  bool isLoggedIn() const { return m_loggedIn; }
  void LogOffFiler();

  // The filer's OS type, known once connected (also when the login was
  // refused); false when not connected or when the filer does not answer.
  bool getOsType(int& osType);
  // What the logged-in filer reports; false when not logged in or when the
  // filer does not answer.
  bool getOsVersion(std::string& version);
  bool configGetMountPointList(std::vector<LncaMountPointInfo>& mountPoints);
  // The capability flags of a filer of that OS type and firmware: `flags`
  // as given, with the flags the logged-in filer adds.
  void detectCapabilityFlags(unsigned int& flags, int osType, const char* firmware);

  // The code of the last failure (0 after success) with its text.
  int getLastError(const char*& text) const;

 private:
  // Records a failure of `call` and returns false.
  bool fail(int code, std::string text);
  // Journals `call` and takes its scripted failure; false when it fails.
  bool begin(const char* call, std::vector<std::string> arguments);

  std::string m_clientName;
  std::string m_host;
  std::string m_login;
  std::string m_password;
  int m_port = 0;
  bool m_connected = false;
  bool m_authenticated = false;
  bool m_loggedIn = false;
  int m_lastCode = 0;
  std::string m_lastText;
};
