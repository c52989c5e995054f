// A configuration session loaded from the central database, as a console's
// first request makes it: the client becomes the session holder of a new
// instance, which is initialised and read from the tables. Handler tests
// that sweep faults start every run from such a session.
//
//   ZQMACMediaConfig* config = tktest::openDatabaseSession(client, kUser);
//   ASSERT_NE(config, nullptr);
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "tests/support/FrameSession.h"

namespace tktest {

// The new instance, or null (with the reason reported to the running test).
inline ZQMACMediaConfig* openDatabaseSession(const Connection& client, uint32_t user,
                                             const char* installation = "cs01.example.net") {
  auto request = client.request(1, 0, user);
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), true);
  if (config == nullptr) {
    ADD_FAILURE() << "no configuration instance";
    return nullptr;
  }
  if (!config->Initialize(installation) || !config->ReadCurrentConfig(false)) {
    ADD_FAILURE() << "the configuration could not be read: " << config->GetLastError();
    return nullptr;
  }
  return config;
}

}  // namespace tktest
