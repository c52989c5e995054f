// The replies of tools run on clients: the snapshot discovery tool, the
// file-level-recovery discovery tool, and a remote command run. Each is read
// from a receive buffer that is zeroed before every message, so the
// constructors zero every field.
#pragma once

#include <cstdint>

// One discovered application: its code (bit 0x20000000 is a flag carried
// into the reply; the other bits name the application; 0 ends the list)
// and a 32-bit value sent as item 11618. 16 bytes, as the tool writes it.
struct snapDiscoveryResp {
  static constexpr uint64_t kApplicationFlag = 0x20000000;

  uint64_t applicationCode = 0;
  uint32_t value = 0;
  uint32_t reserved = 0;
};
static_assert(sizeof(snapDiscoveryResp) == 16);

// One application that supports file-level recovery, with its paths. The
// texts point into the decoded message; null when absent.
struct FLRDiscoveryAppsResp {
  const char* applicationName = nullptr;
  uint32_t pathCount = 0;
  const char* const* paths = nullptr;
};

// The answer of a remote command run: the tool's error code first (0 =
// success).
struct zqsRemoteExecuteResponseType {
  int32_t errorCode = 0;
  int32_t value = 0;
  int64_t value64 = 0;
};
