// Inside the XML message library: failure hooks, the mismatch counter and the
// call journal behind platform/testkit/xml.h.
#pragma once

#include <string>
#include <vector>

#include "platform/testkit/xml.h"

namespace tkxml::detail {

using testkit::xml::Call;

// The code a failure hook injects into this call, 0 for none. Consumes one of
// the "next N calls" when it answers from them.
int injectedFailure(Call call, unsigned ns, unsigned cls);
void recordCall(Call call, unsigned ns, unsigned cls, int result);
// Logs the text at error level under the tag and counts it.
void reportMismatch(const char* tag, const std::string& text);
void noteRegistryProblem(const std::string& text);
std::vector<std::string> registryProblemsNoted();

}  // namespace tkxml::detail
