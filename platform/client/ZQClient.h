// A client (a machine the server knows: media agent, file server, ...) as the
// handlers look it up by id.
//
// The stand-in answers display names from a table that tests and the host's
// demo seed (platform/testkit/client.h); every lookup is journaled.
#pragma once

#include <string>

#include "platform/journal/Journal.h"

class ZQClient {
 public:
  explicit ZQClient(unsigned long clientId);
  virtual ~ZQClient();
  ZQClient(const ZQClient&) = delete;
  ZQClient& operator=(const ZQClient&) = delete;

  unsigned long getClientId() const { return m_clientId; }

  // The client's display name. 0 when the client is known; otherwise an
  // error code, with `name` emptied. `tran` is accepted and unused.
  int getDisplayName(std::string& name, void* tran);

 private:
  unsigned long m_clientId;
};

namespace tkclient {

// Error code of getDisplayName for a client id that is not in the table.
inline constexpr int kErrorUnknownClient = 0x2A000001;

void setDisplayName(unsigned long clientId, const std::string& name);
void clearDisplayNames();
// Journal: "getDisplayName" with the client id and the result. A failure
// injected into "getDisplayName" makes the next lookup fail with its code.
tkjournal::Journal& journal();
// Forgets names, calls and failures.
void reset();

}  // namespace tkclient
