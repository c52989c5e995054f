// Fuzz target of the XML message reader: the input is read as each of the
// registered classes of the configuration lock and its answers.
//
// Reading refuses what it cannot take (with an error code, never a crash).
// What it takes, the writer must write, and the text written must read back
// into an equal message that writes the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

template <class Message>
void readAs(const std::string& text) {
  Message message;
  if (message.unserialize(text) != tkxml::kOk) return;
  std::string written;
  require(message.serialize(written) == tkxml::kOk);
  Message again;
  require(again.unserialize(written) == tkxml::kOk);
  require(again == message);
  std::string rewritten;
  require(again.serialize(rewritten) == tkxml::kOk && rewritten == written);
  std::string pretty;
  require(message.serialize(pretty, true) == tkxml::kOk);
  Message fromPretty;
  require(fromPretty.unserialize(pretty) == tkxml::kOk && fromPretty == message);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  require(CNMessageBase::Initialize() == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  readAs<EVGui::MMConfigurationLockUnlockReq>(text);
  readAs<EVGui::MMConfigurationLockUnlockInfo>(text);
  readAs<EVGui::GenericResp>(text);
  readAs<ZQGui::GenericResp>(text);
  return 0;
}
