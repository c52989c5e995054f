// The detection words of the console (see DetectionCommands.h).
#include "console/DetectionCommands.h"

#include <cstddef>
#include <utility>

#include "console/CommandLine.h"

namespace tkconsole {

bool expandDetectionCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size()) return true;
  const std::string word = uq(words[at]);
  const std::size_t arguments = words.size() - at - 1;
  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  if (word == "detect" || word == "detect-keep") {
    if (arguments == 0) {
      error = word + " takes the names of the media agents to detect with";
      return false;
    }
    out.push_back("onMsgMMAutoDetect");
    for (std::size_t i = at + 1; i < words.size(); ++i) out.push_back("2048=idtext:0:" + uq(words[i]));
    if (word == "detect-keep") out.push_back("11033=1");
    out.push_back("2052=0");
  } else if (word == "detected-libraries" || word == "detected-drives") {
    if (arguments != 0) {
      error = word + " takes no argument";
      return false;
    }
    out.push_back(word == "detected-libraries" ? "onMsgGetMMDetectedLibraries" : "onMsgGetMMDetectedDrives");
  } else {
    return true;
  }
  words = std::move(out);
  return true;
}

}  // namespace tkconsole
