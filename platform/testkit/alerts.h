// Test control of the alert service.
//
//   testkit::alerts::reset();
//   ... code under test ...
//   auto alerts = testkit::alerts::sent();  // alert id, condition, whom id, message
//
// journal().injectFailure("sendAlert", code, text) makes the next send fail.
#pragma once

#include "platform/alerts/AlertService.h"

namespace testkit::alerts {

using SentAlert = tkalerts::SentAlert;

inline std::vector<SentAlert> sent() { return tkalerts::sent(); }
inline tkjournal::Journal& journal() { return tkalerts::journal(); }
inline void reset() {
  tkalerts::clearSent();
  tkalerts::journal().reset();
}

}  // namespace testkit::alerts
