// Test control of the client table:
//   testkit::client::setDisplayName(2, "ma1 (media agent)");
//   journal().calls("getDisplayName")   // client id, result
//   journal().injectFailure("getDisplayName", code, text)  // next lookup fails
#pragma once

#include "platform/client/ZQClient.h"

namespace testkit::client {

inline void setDisplayName(unsigned long clientId, const std::string& name) {
  tkclient::setDisplayName(clientId, name);
}
inline tkjournal::Journal& journal() { return tkclient::journal(); }
inline void reset() { tkclient::reset(); }

}  // namespace testkit::client
