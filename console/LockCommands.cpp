#include "console/LockCommands.h"

#include <cstdint>
#include <optional>

#include "console/CommandLine.h"
#include "console/LockAdvice.h"
#include "console/MessageFields.h"
#include "platform/xml/EVGuiMessages.h"

namespace tkconsole {
namespace {

struct LockWord {
  const char* word;
  uint32_t operation;
};

const LockWord kLockWords[] = {
    {"lock", kLockLock},
    {"force-lock", kLockForce},
    {"unlock", kLockUnlock},
    {"unlock-anyway", kLockUnlockAnyway},
};

// A signed 64-bit number: N, 0xN or -N.
bool parseSigned(const std::string& text, long long& value) {
  uint64_t magnitude = 0;
  if (!text.empty() && text[0] == '-') {
    if (!parseNumber(text.substr(1), static_cast<uint64_t>(INT64_MAX) + 1, magnitude)) return false;
    value = magnitude == static_cast<uint64_t>(INT64_MAX) + 1 ? INT64_MIN : -static_cast<long long>(magnitude);
    return true;
  }
  if (!parseNumber(text, static_cast<uint64_t>(INT64_MAX), magnitude)) return false;
  value = static_cast<long long>(magnitude);
  return true;
}

}  // namespace

bool expandLockCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size()) return true;
  const std::string word = uq(words[at]);
  const LockWord* lock = nullptr;
  for (const LockWord& candidate : kLockWords)
    if (word == candidate.word) lock = &candidate;
  if (lock == nullptr) return true;

  bool xml = false;
  std::optional<uint64_t> rights;
  std::optional<long long> serverSequence;
  for (std::size_t i = at + 1; i < words.size(); ++i) {
    const std::string arg = uq(words[i]);
    if (arg == "xml") {
      xml = true;
    } else if (arg.compare(0, 7, "rights=") == 0) {
      uint64_t n = 0;
      if (!parseNumber(arg.substr(7), UINT32_MAX, n)) {
        error = "rights= takes a 32-bit number, not " + arg.substr(7);
        return false;
      }
      rights = n;
    } else if (arg.compare(0, 11, "server-seq=") == 0) {
      long long n = 0;
      if (!parseSigned(arg.substr(11), n)) {
        error = "server-seq= takes a 64-bit number, not " + arg.substr(11);
        return false;
      }
      serverSequence = n;
    } else {
      error = word + " takes only xml, rights=N and server-seq=N, not " + arg;
      return false;
    }
  }
  if (xml && rights) {
    error = "rights= is for the element-stream form (the XML form always asks with 2)";
    return false;
  }
  if (!xml && serverSequence) {
    error = "server-seq= is for the XML form (the host gives it in the element-stream form)";
    return false;
  }

  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  if (!xml) {
    out.push_back("LockMMConfiguration");
    out.push_back("first=" + std::to_string(rights.value_or(2)));
    out.push_back("count=" + std::to_string(lock->operation));
  } else {
    std::string text = "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\"";
    if (serverSequence) text += " i1=\"" + std::to_string(*serverSequence) + "\"";
    text += " i2=\"" + std::to_string(lock->operation) + "\"/></EVGui_MMConfigurationLockUnlockReq>";
    out.push_back("--xml");
    out.push_back(xmlMessageIdWord(EVGui::MMConfigurationLockUnlockReq::kClassHash));
    out.push_back("HandleMMConfigMgrXmlMsg");
    // A script word keeps its quotes; the text has no single quote.
    out.push_back(fromShell ? text : "'" + text + "'");
  }
  words = std::move(out);
  return true;
}

}  // namespace tkconsole
