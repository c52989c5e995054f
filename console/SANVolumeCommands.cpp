// The SAN volume words of the console (see SANVolumeCommands.h).
#include "console/SANVolumeCommands.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "console/CommandLine.h"

namespace tkconsole {

bool expandSANVolumeCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size()) return true;
  const std::string word = uq(words[at]);
  const std::size_t arguments = words.size() - at - 1;
  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  uint64_t hostId = 0;
  if (word == "san-hosts") {
    if (arguments != 0) {
      error = "san-hosts takes no argument";
      return false;
    }
    out.push_back("onMsgGetSANVolumeHosts");
  } else if (word == "san-volumes") {
    if (arguments != 1 || !parseNumber(uq(words[at + 1]), UINT32_MAX, hostId)) {
      error = "san-volumes takes the client id of the host (a number)";
      return false;
    }
    out.push_back("onMsgGetSANVolumes");
    out.push_back("count=" + std::to_string(hostId));
  } else if (word == "san-discover") {
    const bool mountPaths = arguments == 3 && uq(words[at + 3]) == "mount-paths";
    if ((arguments != 2 && !mountPaths) || !parseNumber(uq(words[at + 1]), UINT32_MAX, hostId)) {
      error = "san-discover takes the client id and name of the host, and mount-paths for the mount paths only";
      return false;
    }
    out.push_back("onMsgSetSANVolumeHost");
    out.push_back("11602=idtext:" + std::to_string(hostId) + ":" + uq(words[at + 2]));
    out.push_back(mountPaths ? "4001=47" : "4001=58");
    out.push_back("2052=0");
  } else {
    return true;
  }
  words = std::move(out);
  return true;
}

}  // namespace tkconsole
