// The device-paths word of the console (see DevicePathCommands.h).
#include "console/DevicePathCommands.h"

#include <cstddef>
#include <cstdint>

#include "console/CommandLine.h"
#include "console/MessageFields.h"
#include "platform/xml/DevicePathMessages.h"

namespace tkconsole {
namespace {

using Path = EVGui::MMDevicePathInfo;
using Req = EVGui::MMDevicePathInfoReq;

constexpr const char* kWord = "device-paths";
constexpr const char* kAgentPrefix = "agent=";

// Sets the media agent of a device path from the text after "agent=".
bool setAgent(CNMessageBase& path, const std::string& value, std::string& error) {
  uint64_t id = 0;
  if (!parseNumber(value, static_cast<uint64_t>(INT64_MAX), id)) {
    error = std::string(kWord) + ": agent takes a media-agent id, not " + value;
    return false;
  }
  CNMessageBase& agent = path.getObjectAccessor(true, true, Path::kMediaAgent.ordinal, Path::kMediaAgent.tag,
                                                Path::kClassHash, Path::kMediaAgent.hash, Path::kMediaAgent.ns,
                                                Path::kMediaAgent.cls);
  agent.setint64(EVGui::IdName::kId.ordinal, EVGui::IdName::kId.tag, static_cast<long long>(id),
                 EVGui::IdName::kClassHash, EVGui::IdName::kId.hash);
  return true;
}

}  // namespace

bool expandDevicePathCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size() || uq(words[at]) != kWord) return true;

  uint64_t mountPathId = 0;
  if (at + 1 >= words.size() || !parseNumber(uq(words[at + 1]), static_cast<uint64_t>(INT64_MAX), mountPathId)) {
    error = std::string(kWord) + " takes a mount-path id first";
    return false;
  }
  Req request;
  request.setint64(Req::kMountPathId.ordinal, Req::kMountPathId.tag, static_cast<long long>(mountPathId),
                   Req::kClassHash, Req::kMountPathId.hash);
  tkxml::MessageList& paths =
      request.getlistobject(Req::kInfoList.ordinal, Req::kInfoList.tag, Req::kClassHash, Req::kInfoList.hash);
  const std::string agentPrefix = kAgentPrefix;
  for (std::size_t i = at + 2; i < words.size(); ++i) {
    const std::string word = uq(words[i]);
    if (word == "path") {
      paths.push_back(Path());
      continue;
    }
    if (paths.empty()) {
      error = std::string(kWord) + ": each device path begins with the word path, before " + word;
      return false;
    }
    CNMessageBase& path = paths[paths.size() - 1];
    const bool ok = word.compare(0, agentPrefix.size(), agentPrefix) == 0
                        ? setAgent(path, word.substr(agentPrefix.size()), error)
                        : setMessageField(path, Path::kNamespace, Path::kClassNumber, word, "a device path", error);
    if (!ok) return false;
  }
  std::string xml;
  if (request.serialize(xml) != 0) {
    error = "the request cannot be written as XML";
    return false;
  }
  replaceByXmlRequest(words, at, Req::kClassHash, xml, fromShell);
  return true;
}

}  // namespace tkconsole
