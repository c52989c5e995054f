// The control word of the console (see ControlCommands.h).
#include "console/ControlCommands.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "console/CommandLine.h"

namespace tkconsole {

bool expandControlCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size() || uq(words[at]) != "control") return true;
  const std::size_t arguments = words.size() - at - 1;
  uint64_t operation = 0;
  uint64_t handle = 0;
  if (arguments < 1 || arguments > 2 || !parseNumber(uq(words[at + 1]), UINT32_MAX, operation) ||
      (arguments == 2 && !parseNumber(uq(words[at + 2]), UINT64_MAX, handle))) {
    error = "control takes an operation code and, for an operation on one object, its handle (numbers)";
    return false;
  }
  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  out.push_back("onMsgSetMMControl");
  out.push_back("4001=" + std::to_string(operation));
  if (arguments == 2) out.push_back("11003=u64:" + std::to_string(handle));
  out.push_back("2052=0");
  words = std::move(out);
  return true;
}

}  // namespace tkconsole
