// The library words of the console (see LibraryCommands.h).
#include "console/LibraryCommands.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "console/CommandLine.h"

namespace tkconsole {

bool expandLibraryCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size()) return true;
  const std::string word = uq(words[at]);
  const std::size_t arguments = words.size() - at - 1;
  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  if (word == "libraries") {
    if (arguments != 0) {
      error = "libraries takes no argument";
      return false;
    }
    out.push_back("onMsgGetMMLibraries");
  } else if (word == "library") {
    uint64_t handle = 0;
    if (arguments != 1 || !parseNumber(uq(words[at + 1]), UINT64_MAX, handle)) {
      error = "library takes one library handle (a number), as the listing gives it";
      return false;
    }
    out.push_back("onMsgGetMMLibraryProperties");
    out.push_back("handle=" + std::to_string(handle));
  } else {
    return true;
  }
  words = std::move(out);
  return true;
}

}  // namespace tkconsole
