// Facts about the installation this process runs in: whether it is the
// central server (bit 0 of the platform type), the central server's client
// and host names, and the physical machine.
//
//   ZQPlatformInfo info;
//   char name[256];
//   if (info.getZQPlatformType() & 1) info.getTarnkeeperClientName(name, sizeof name);
//
// The names default to this machine's host name; tests set them
// (platform/testkit/client.h). Thread-safe.
#pragma once

#include <cstddef>
#include <string>

class ZQPlatformInfo {
 public:
  unsigned long getZQPlatformType() const;
  // Copies the name, cut to fit and always terminated, into `buffer`; 0,
  // -1 for a null or empty buffer, or an injected failure's code (the
  // buffer untouched).
  int getTarnkeeperClientName(char* buffer, std::size_t size) const;
  int getTarnkeeperHostName(char* buffer, std::size_t size) const;
  std::string getPhysicalMachine() const;
};

// The platform-information component's view of the central server: its
// host name, as the job controller needs it.
//
//   ZQPI_Tarnkeeper tarnkeeper;
//   char host[1024];
//   if (!tarnkeeper.getTarnkeepHostName(host, sizeof host)) ... unknown ...
class ZQPI_PlatformBase {
 public:
  virtual ~ZQPI_PlatformBase() = default;
  // Copies the central server's host name, cut to fit and terminated, into
  // `buffer`; false when it is not known (or an injected failure), the
  // buffer then untouched.
  bool getTarnkeepHostName(char* buffer, std::size_t size) const;
};

class ZQPI_Tarnkeeper : public ZQPI_PlatformBase {};

namespace tkclient {

struct PlatformSettings {
  unsigned long platformType = 1;
  std::string tarnkeeperClientName;  // empty: the machine's host name
  std::string tarnkeeperHostName;
  std::string physicalMachine;
};

void setPlatformInfo(const PlatformSettings& settings);
void resetPlatformInfo();

}  // namespace tkclient
