// The SAN volume words of the console (see SANVolumeCommands.h).
#include "console/SANVolumeCommands.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "console/CommandLine.h"
#include "frame/ElementTags.h"

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

std::string describeSANVolumeItem(const tkwire::Item& item) {
  constexpr uint32_t kItemDeviceName = tktag::kDeviceName;
  constexpr uint32_t kItemMountPoint = tktag::kVolumeMountPoint;
  if ((item.tag != kItemDeviceName && item.tag != kItemMountPoint) || item.bytes.size() < 12) return std::string();
  auto word = [&item](std::size_t at) { return tkwire::u32At(item.bytes, at); };
  std::string name = "\"";
  for (std::size_t i = 12; i < item.bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(item.bytes[i]);
    if (c == '"' || c == '\\') {
      name += '\\';
      name += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      name += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      name += escaped;
    }
  }
  name += "\"";
  return "id " + std::to_string(static_cast<int32_t>(word(0))) + ", client " + std::to_string(word(4)) +
         ", flags " + std::to_string(word(8)) + ": " + name;
}

}  // namespace tkconsole
