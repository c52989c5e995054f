// Test control of the block-level replication stand-ins:
//   testkit::blr::reset();
//   testkit::blr::journal().injectFailure("getPairs", 5, "service down");
//   testkit::blr::failOnHost("applyRepCfg", "proxy1.example.net");  // that host's next call fails
//   testkit::blr::journal().calls("applyRepCfg")   // host, machine UUID, "pair,ids"
#pragma once

#include "platform/blr/BlrCtrl.h"
#include "platform/blr/BlrTypes.h"

namespace testkit::blr {

inline tkjournal::Journal& journal() { return tkblr::journal(); }
inline void failOnHost(const std::string& call, const std::string& host, int times = 1) {
  tkblr::failOnHost(call, host, times);
}
inline void reset() { tkblr::reset(); }

}  // namespace testkit::blr
