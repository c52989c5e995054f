// This server's own client name for remote runs (see LocalClientName.h).
#include "sanvol/LocalClientName.h"

#include <cstddef>

#include "platform/client/ZQPlatformInfo.h"

namespace tksanvol {
namespace {
constexpr std::size_t kClientNameSize = 256;
}  // namespace

std::string localClientName() {
  ZQPlatformInfo info;
  if ((info.getZQPlatformType() & 1) != 0) {
    char name[kClientNameSize] = {};
    info.getTarnkeeperClientName(name, sizeof name);
    return std::string(name);
  }
  return info.getPhysicalMachine().substr(0, kClientNameSize - 1);
}

}  // namespace tksanvol
