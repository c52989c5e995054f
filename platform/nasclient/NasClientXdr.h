// The XDR forms of the NAS-client service protocol's bodies, one routine
// per message type, over libtirpc. Both ends use them: the session encodes
// what it sends and decodes what it receives, the in-process services the
// other way round.
//
//   text          bool present, then (when present) u_int length and the
//                 bytes padded to 4 (a null pointer travels as absent)
//   list reply    text errorText, u_int errorCode, u_int count, bool
//                 entries present, then `count` entries
//     media agent   text name, text hostName, int id
//     policy        text name, int id, int type
//     NAS client    text name, text proxyMediaAgent, u_int flags
//   configure     text text1, text text2, text text3, int number1..3
//   remove        text clientName
//   undelete      text proxyMediaAgent, text clientName
//   add reply     u_int value, text errorText, u_int errorCode
//   reply         text errorText, u_int errorCode
//   the three list requests carry no body (0 bytes).
//
// Decoding allocates the texts and entry arrays with the C allocator, as
// XDR does; freeBody releases them through xdr_free and zeroes the body. A
// decoder never reads past its bytes: a text or a count the remaining bytes
// cannot hold, a text over kMaxText bytes, or bytes left over fail the
// decode, and what was allocated so far is released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tknasclient {

using Bytes = std::vector<uint8_t>;

inline constexpr std::size_t kMaxText = 65535;

// Whether the type is one of the protocol's.
bool isKnownType(uint32_t type);
// The size of the body structure of the type (0 for the bodiless list
// requests and for unknown types).
std::size_t bodySize(uint32_t type);

// Encodes the body of `type` that lies at `body` (`length` bytes, which must
// hold the structure; null and 0 for a bodiless type). False with `error`
// set for an unknown type, a short buffer or a body that cannot be encoded.
bool encodeBody(uint32_t type, const void* body, std::size_t length, Bytes& out, std::string& error);
// Decodes into the structure at `out` (`outLength` bytes), zeroed first. On
// failure `out` is zeroed and nothing stays allocated.
bool decodeBody(uint32_t type, const uint8_t* bytes, std::size_t length, void* out, std::size_t outLength,
                std::string& error);
// Releases what decoding allocated inside the body and zeroes it.
void freeBody(uint32_t type, void* body);

}  // namespace tknasclient
