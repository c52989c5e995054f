// The NAS words of the console (see NasCommands.h).
#include "console/NasCommands.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "console/CommandLine.h"
#include "frame/ElementTags.h"
#include "platform/external/Cipher.h"

namespace tkconsole {
namespace {

constexpr const char* kTarnfold = "first=2";
constexpr std::size_t kClientNameField = 256;
constexpr uint32_t kItemLogin = tktag::kNdmpLogin;
constexpr uint32_t kItemClient = tktag::kClient;
constexpr const char* kNasClientsHandler = "onMsgGetNASClients";

std::string hexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

}  // namespace

bool expandNasCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  std::size_t at = 0;
  while (at < words.size() && words[at].compare(0, 2, "--") == 0) at += 2;
  if (at >= words.size()) return true;
  const std::string word = uq(words[at]);
  const std::size_t arguments = words.size() - at - 1;
  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  uint64_t n = 0;
  if (word == "ndmp-servers") {
    if (arguments > 1 || (arguments == 1 && !parseNumber(uq(words[at + 1]), UINT32_MAX, n))) {
      error = "ndmp-servers takes at most a filter word (a number)";
      return false;
    }
    out.insert(out.end(), {"onMsgGetMMNDMPServers", kTarnfold, "count=" + std::to_string(arguments == 1 ? n : 1)});
  } else if (word == "ndmp-server") {
    if (arguments < 1 || arguments > 2 || !parseNumber(uq(words[at + 1]), UINT32_MAX, n)) {
      error = "ndmp-server takes the client id (a number) and optionally its name";
      return false;
    }
    const std::string name = arguments == 2 ? uq(words[at + 2]) : std::string();
    if (name.size() >= kClientNameField) {
      error = "ndmp-server takes a client name of at most 255 characters";
      return false;
    }
    std::string body = name;
    body.resize(kClientNameField, '\0');
    for (int i = 0; i < 4; ++i) body += static_cast<char>((n >> (8 * i)) & 0xFF);
    out.insert(out.end(), {"onMsgGetMMNDMPServerProperties", kTarnfold, "body=hex:" + hexOf(body)});
  } else if (word == "media-agents" || word == "nas-clients") {
    if (arguments != 0) {
      error = word + " takes no argument";
      return false;
    }
    out.insert(out.end(), {word == "media-agents" ? "onMsgGetMMMediaAgents" : "onMsgGetNASClients", kTarnfold});
  } else if (word == "nas-remove" || word == "nas-restore") {
    if (arguments != 3 || !parseNumber(uq(words[at + 1]), UINT32_MAX, n)) {
      error = word + " takes the client id, the client name and the proxy media agent";
      return false;
    }
    out.insert(out.end(), {"onMsgSetNASClient", "4106=2", word == "nas-remove" ? "4001=2" : "4001=56",
                           "2009=idtext:" + std::to_string(n) + ":" + uq(words[at + 2]),
                           "2048=idtext:0:" + uq(words[at + 3]), "2052=0"});
  } else {
    return true;
  }
  words = std::move(out);
  return true;
}

std::string describeNasItem(const std::string& handler, const tkwire::Item& item) {
  if (handler == kNasClientsHandler && item.tag == kItemClient && item.bytes.size() >= 4 && item.u32() == 0) {
    std::string name = item.bytes.substr(4);
    while (!name.empty() && name.back() == '\0') name.pop_back();
    bool printable = true;
    for (const unsigned char c : name) printable = printable && c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
    return printable ? "(no id listed) \"" + name + "\"" : std::string();
  }
  if (item.tag != kItemLogin) return std::string();
  std::string plain;
  if (!tkcipher::decrypt(item.bytes, plain)) return "login (not decryptable)";
  return "login \"" + plain + "\"";
}

}  // namespace tkconsole
