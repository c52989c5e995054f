// The XDR forms of the replies that tools on clients send back through a
// remote session, one routine per message type, and the memory that
// decoding allocates for the texts inside a reply.
//
//   0x37000001 snapshot discovery: u_hyper application code, u_int value
//   0x37000002 FLR discovery: optional string application name (bool, then
//              the string), u_int path count, that many strings
//
// Encoders serve the in-process services and the tests; the session
// (CZqNetwork) decodes through decodeReply, which knows only these types.
// A decoder never reads past the bytes it is given: a length or count that
// the remaining bytes cannot hold, or bytes left over, fail the decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/network/RemoteToolReplies.h"

namespace tknetwork {

inline constexpr uint32_t kSnapDiscoveryReply = 0x37000001;
inline constexpr uint32_t kFLRDiscoveryReply = 0x37000002;

using Bytes = std::vector<uint8_t>;

// What a decode allocated: the texts and pointer arrays a decoded reply
// points into. Cleared, everything goes.
class DecodedMemory {
 public:
  const char* keepText(const std::string& text);
  const char* const* keepArray(const std::vector<const char*>& pointers);
  void clear() {
    m_texts.clear();
    m_arrays.clear();
  }
  bool empty() const { return m_texts.empty() && m_arrays.empty(); }

 private:
  std::vector<std::unique_ptr<char[]>> m_texts;
  std::vector<std::unique_ptr<const char*[]>> m_arrays;
};

Bytes encodeSnapDiscovery(const snapDiscoveryResp& reply);
// A null name is sent as absent.
Bytes encodeFLRDiscovery(const char* applicationName, const std::vector<std::string>& paths);

// Whether a decoding routine exists for the message type.
bool hasDecoder(uint32_t type);
// The size of the structure a reply of the type decodes into (0 for an
// unknown type).
std::size_t replySize(uint32_t type);
// Decodes the reply of `type` into the structure at `out` (`outLength`
// bytes, which must hold the structure); its texts go into `memory`. False
// with `error` set when the type is unknown, the buffer too small or the
// bytes malformed; `out` is then zeroed.
bool decodeReply(uint32_t type, const uint8_t* bytes, std::size_t length, void* out, std::size_t outLength,
                 DecodedMemory& memory, std::string& error);

// The answer of a remote command run (carried privately by
// ExecRemoteCmdAndWait): int error code, int value, hyper value.
Bytes encodeExecResponse(const zqsRemoteExecuteResponseType& response);
bool decodeExecResponse(const uint8_t* bytes, std::size_t length, zqsRemoteExecuteResponseType& out,
                        std::string& error);

}  // namespace tknetwork
