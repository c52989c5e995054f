// The messages of the NAS-client service protocol: the request types (each
// answered by the type 0x100 above it), the bodies as the caller lays them
// out in memory, and the error codes of the configuration interface.
//
// Texts are NUL-terminated C strings. In a body the caller sends they belong
// to the caller; in a received body they were allocated by the transport's
// decoder and are released by UtilFreeMessage (never by the caller). The
// XDR forms of these bodies are in platform/nasclient/NasClientXdr.h.
#pragma once

#include <cstdint>

namespace tknas {

// Message types.
inline constexpr uint32_t kGetMediaAgents = 0x29000100;
inline constexpr uint32_t kMediaAgentList = 0x29000200;
inline constexpr uint32_t kGetStoragePolicies = 0x29000300;
inline constexpr uint32_t kStoragePolicyList = 0x29000400;
inline constexpr uint32_t kGetNasClients = 0x29000500;
inline constexpr uint32_t kNasClientList = 0x29000600;
inline constexpr uint32_t kConfigureAtTarnkeep = 0x29000702;
inline constexpr uint32_t kConfigureAtTarnkeepReply = 0x29000800;
inline constexpr uint32_t kConfigureAtMediaAgent = 0x29000902;
inline constexpr uint32_t kConfigureAtMediaAgentReply = 0x29000A00;
inline constexpr uint32_t kRemoveNasClient = 0x29000B00;
inline constexpr uint32_t kRemoveNasClientReply = 0x29000C00;
inline constexpr uint32_t kUndeleteNasClient = 0x29000F00;
inline constexpr uint32_t kUndeleteNasClientReply = 0x29001000;

// Error codes; each is also the catalogue id of its text.
inline constexpr uint32_t kErrInvalidArguments = 0x29000001;      // no arguments
inline constexpr uint32_t kErrAttachTarnkeep = 0x29000002;        // peer, Tarnkeep host, transport text
inline constexpr uint32_t kErrAttachMediaAgent = 0x29000003;      // peer, transport text
inline constexpr uint32_t kErrNoMemory = 0x29000004;              // no arguments
inline constexpr uint32_t kErrNoReplyTarnkeep = 0x29000005;       // peer
inline constexpr uint32_t kErrNoReplyMediaAgent = 0x29000006;     // peer
inline constexpr uint32_t kErrTransportTarnkeep = 0x29000007;     // peer, transport text
inline constexpr uint32_t kErrTransportMediaAgent = 0x29000008;   // peer, transport text

}  // namespace tknas

struct ncwNasMediaAgentEntry {
  char* name = nullptr;
  char* hostName = nullptr;
  int32_t id = 0;
};

struct ncwStoragePolicyEntry {
  char* name = nullptr;
  int32_t id = 0;
  int32_t type = 0;
};

// Bit 0 of `flags`: the client is deleted.
struct ncwNasClientEntry {
  char* name = nullptr;
  char* proxyMediaAgent = nullptr;
  uint32_t flags = 0;
};

// The three list replies share one shape: an error (code 0 = success) and
// `count` entries (a null `entries` or a count of 0 is an empty list).
template <class Entry>
struct ncwList {
  char* errorText = nullptr;
  uint32_t errorCode = 0;
  uint32_t count = 0;
  Entry* entries = nullptr;
};
using ncwNasMediaAgentList = ncwList<ncwNasMediaAgentEntry>;
using ncwStoragePolicyList = ncwList<ncwStoragePolicyEntry>;
using ncwNasClientList = ncwList<ncwNasClientEntry>;

// `text1` names the host that is attached as the media agent; `text3` is
// optional (null when absent).
struct ncwConfigureNasClientRequest {
  char* text1 = nullptr;
  char* text2 = nullptr;
  char* text3 = nullptr;
  int32_t number1 = 0;
  int32_t number2 = 0;
  int32_t number3 = 0;
};

struct ncwRemoveNasClientRequest {
  char* clientName = nullptr;
};

struct ncwUndeleteNasClientRequest {
  char* proxyMediaAgent = nullptr;
  char* clientName = nullptr;
};

struct ncwAddNasClientResponse {
  uint32_t value = 0;  // not read
  char* errorText = nullptr;
  uint32_t errorCode = 0;
};

struct ncwNasResponse {
  char* errorText = nullptr;
  uint32_t errorCode = 0;
};
