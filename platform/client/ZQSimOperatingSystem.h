// The operating-system catalogue of the installation (SimOperatingSystem),
// as the install-manager database interfaces read it.
//
//   ZQSimOperatingSystem systems(nullptr);
//   bool isNas = false;
//   if (systems.IsNAS(osType, isNas) == 0 && isNas) ... a NAS file server ...
//
// Calls are journaled in the client stand-ins' journal ("IsNAS": the OS
// type and the result) and can be made to fail (platform/testkit/client.h).
#pragma once

#include <string>

// The base of the install manager's database interfaces: its name, for log
// lines.
class ZqInstallManagerDBInterface {
 public:
  explicit ZqInstallManagerDBInterface(void* tran, const char* name) : m_tran(tran), m_name(name) {}
  virtual ~ZqInstallManagerDBInterface() = default;
  ZqInstallManagerDBInterface(const ZqInstallManagerDBInterface&) = delete;
  ZqInstallManagerDBInterface& operator=(const ZqInstallManagerDBInterface&) = delete;

 protected:
  [[maybe_unused]] void* m_tran;
  std::string m_name;
};

class ZqInstallManagerDBReaderInterface : public ZqInstallManagerDBInterface {
 public:
  using ZqInstallManagerDBInterface::ZqInstallManagerDBInterface;
  ~ZqInstallManagerDBReaderInterface() override = default;
};

class ZQSimOperatingSystem : private ZqInstallManagerDBReaderInterface {
 public:
  explicit ZQSimOperatingSystem(void* tran) : ZqInstallManagerDBReaderInterface(tran, "ZQSimOperatingSystem") {}
  ~ZQSimOperatingSystem() override = default;

  // 0 with `isNas` set when the catalogue knows the OS type (an unknown
  // type is not a NAS); an error code when it cannot be read.
  int IsNAS(unsigned int osType, bool& isNas);
};
