// The library-change, controller and drag words of the console (see
// LibraryChangeCommands.h).
#include "console/LibraryChangeCommands.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "console/CommandLine.h"

namespace tkconsole {
namespace {

// A text element: TAG=s:TEXT keeps the text whatever it looks like.
std::string textElement(uint32_t tag, const std::string& text) { return std::to_string(tag) + "=s:" + text; }

void putLe32(std::string& bytes, uint64_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool expandLibraryChangeCommand(std::vector<std::string>& words, bool fromShell, std::string& error,
                                std::string& payload) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size()) return true;
  const std::string word = uq(words[at]);
  std::vector<std::string> args;
  for (std::size_t i = at + 1; i < words.size(); ++i) args.push_back(uq(words[i]));
  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  // Words after the positional arguments pass on as they came (TAG=VALUE).
  auto passOn = [&](std::size_t from) {
    for (std::size_t i = at + 1 + from; i < words.size(); ++i) out.push_back(words[i]);
  };
  uint64_t a = 0;
  uint64_t b = 0;
  uint64_t c = 0;

  if (word == "change-library") {
    if (args.size() < 2 || !parseNumber(args[0], UINT32_MAX, a) || !parseNumber(args[1], UINT64_MAX, b)) {
      error = "change-library takes an operation code and a library handle (numbers), then TAG=VALUE elements";
      return false;
    }
    out.push_back("onMsgSetMMLibrary");
    out.push_back("4001=" + std::to_string(a));
    out.push_back("11003=u64:" + std::to_string(b));
    passOn(2);
  } else if (word == "probe-ndmp") {
    if (args.size() < 2 || args.size() > 3) {
      error = "probe-ndmp takes the NDMP server, the access path and optionally a media agent";
      return false;
    }
    out.push_back("onMsgSetMMLibrary");
    out.push_back("4001=58");
    out.push_back(textElement(11058, args[0]));
    out.push_back(textElement(11088, args[1]));
    if (args.size() == 3) out.push_back("2048=idtext:0:" + args[2]);
  } else if (word == "library-server") {
    if (args.size() != 1) {
      error = "library-server takes the library server's host name";
      return false;
    }
    out.push_back("onMsgSetMMLibrary");
    out.push_back("4001=58");
    out.push_back(textElement(11089, args[0]));
  } else if (word == "add-ndmp-controller" || word == "add-ip-controller") {
    const bool ndmp = word == "add-ndmp-controller";
    const std::size_t texts = ndmp ? 6 : 5;  // then base address and drive count
    if (args.size() < texts + 2 || (ndmp && args.size() != texts + 2) ||
        !parseNumber(args[texts], UINT32_MAX, a) || !parseNumber(args[texts + 1], UINT32_MAX, b)) {
      error = ndmp ? "add-ndmp-controller takes AGENT SERVER PATH VENDOR PRODUCT ID BASE DRIVES"
                   : "add-ip-controller takes AGENT HOST VENDOR PRODUCT ID BASE DRIVES, then TAG=VALUE elements";
      return false;
    }
    out.push_back("onMsgSetMMLibrary");
    out.push_back(ndmp ? "4001=54" : "4001=55");
    out.push_back("2048=idtext:0:" + args[0]);
    std::size_t next = 1;
    if (ndmp) {
      out.push_back(textElement(11058, args[next++]));
      out.push_back(textElement(11088, args[next++]));
    } else {
      out.push_back(textElement(11089, args[next++]));
    }
    out.push_back(textElement(11086, args[next++]));
    out.push_back(textElement(11087, args[next++]));
    out.push_back(textElement(11031, args[next++]));
    out.push_back("11008=" + std::to_string(a));
    out.push_back("11009=" + std::to_string(b));
    passOn(texts + 2);
  } else if (word == "drag") {
    if (args.empty() || args.size() > 3 || !parseNumber(args[0], UINT64_MAX, a) ||
        (args.size() > 1 && !parseNumber(args[1], UINT64_MAX, b)) ||
        (args.size() > 2 && !parseNumber(args[2], UINT32_MAX, c))) {
      error = "drag takes the handle of the object dragged, optionally the handle it is dropped on and a drop mode";
      return false;
    }
    // Behind the dragged object's handle: the target's handle, four unread
    // bytes and the mode.
    out.push_back("onMsgMMDragNDrop");
    out.push_back("handle=" + std::to_string(a));
    payload.clear();
    putLe32(payload, b & 0xFFFFFFFFu);
    putLe32(payload, b >> 32);
    putLe32(payload, 0);
    putLe32(payload, c);
    words = std::move(out);
    return true;
  } else {
    return true;
  }
  out.push_back("2052=0");
  words = std::move(out);
  return true;
}

}  // namespace tkconsole
