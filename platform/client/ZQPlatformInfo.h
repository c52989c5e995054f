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
