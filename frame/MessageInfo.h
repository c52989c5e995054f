// The host's request record, as the handlers read it.
//
// The host builds and owns one record per request and hands the handler a
// pointer to it for the duration of the call; the handlers keep no pointer to
// it afterwards. The fields the handlers read, and their order, are fixed:
//
//   socket            the client's connection; every reply goes out on it
//   secureSocket      the connection's secure channel (texts sent back
//                     encrypted, for example NDMP login names)
//   userId            the requesting user's id
//   userName          the requesting user's login name (NUL-terminated)
//   requestKind       kind of request; kind 16 is exempt from the force-close
//                     rule of the configuration session
//   autoRefreshGuiId  the console id given to automatic-refresh notices;
//                     directly follows requestKind
//   origin            where the request comes from (the tape-library listing
//                     works on a private configuration for origin 13)
//   -- request body, contiguous, starting on an 8-byte boundary --
//   sequenceNumber    the client's 64-bit request sequence number, echoed by
//                     every reply; its top 16 bits carry the client's locale id
//   objectHandle      in a request about one object: its 64-bit handle. It
//                     shares its 8 bytes with the next two fields.
//   firstWord         in an element-stream request: a fixed first word (the
//                     Tarnfold id; the configuration lock's rights argument)
//   elementCount      the number of elements in the stream (the lock
//                     operation in the configuration lock request; the first
//                     parameter of simple requests)
//   elementStream     63,536 bytes: the element stream, or a fixed payload
//
// Fixed payloads: byte positions inside a fixed payload are counted from the
// first fixed field (`firstWord`), so position 4 is `elementCount` and
// position 8 the first byte of `elementStream`. The payload accessors below
// read and write such positions with bounds checks: a read outside the body
// yields 0 or the empty text, and a text is never read past its field or the
// end of the body, terminated or not. The forms in use:
//
//   request                                  position  read with
//   properties of one object                 0  u64    objectHandle
//   simple request with one parameter        4  u32    elementCount
//   FLR consistency points / snapshots       4  u32    elementCount (FLR set id)
//                                            8  u32    payloadWord(8)
//   source volumes                           4  text   payloadText(4) (snapshot id)
//   NDMP server properties                   4  text   ndmpClientName() (256-byte field)
//                                          260  u32    ndmpClientId()
//   disk devices of a disk library           0  u64    objectHandle
//                                           12  u32    payloadWord(12) (filter)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "frame/CWySocket.h"
#include "platform/external/Cipher.h"

// The secure channel of a client connection. The handlers use it to send a
// text back encrypted (the console decrypts it with the reversible cipher of
// the wire). A connection without an established secure channel refuses to
// encrypt.
class CBaseSecureSocket {
 public:
  CBaseSecureSocket() = default;
  explicit CBaseSecureSocket(bool established) : m_bEstablished(established) {}

  bool IsEstablished() const { return m_bEstablished; }
  void SetEstablished(bool established) { m_bEstablished = established; }

  // Encrypts `length` bytes of `plain` for the client.
  //  - `out` null: stores the number of bytes the encrypted form needs in
  //    *outLength and returns 0.
  //  - `out` given: *outLength holds the buffer's size on entry; on success
  //    the encrypted bytes (not NUL-terminated) are written and *outLength
  //    receives their number.
  // Returns 0 on success, -1 when the channel is not established, an argument
  // is missing or the buffer is too small (nothing is written then).
  int EncryptData(const void* plain, unsigned int length, void* out, unsigned int* outLength) const {
    if (!m_bEstablished || outLength == nullptr || (plain == nullptr && length != 0)) return -1;
    const std::string encrypted =
        tkcipher::encrypt(std::string(static_cast<const char*>(plain), plain == nullptr ? 0 : length));
    if (out == nullptr) {
      *outLength = static_cast<unsigned int>(encrypted.size());
      return 0;
    }
    if (*outLength < encrypted.size()) return -1;
    std::memcpy(out, encrypted.data(), encrypted.size());
    *outLength = static_cast<unsigned int>(encrypted.size());
    return 0;
  }

 private:
  bool m_bEstablished = false;
};

// Size of the element-stream area of a request.
inline constexpr std::size_t kMessageStreamSize = 63536;
// Size of the user-name field: a login name of at most 1,024 characters and
// its terminator.
inline constexpr std::size_t kMessageUserNameSize = 1025;
// Request kind that is exempt from the force-close rule.
inline constexpr uint32_t kRequestKindExempt = 16;
// Origin value of requests that the tape-library listing serves from a
// private configuration instance.
inline constexpr uint32_t kRequestOriginPrivateConfig = 13;

// Fixed payload of the NDMP server properties request: after the Tarnfold
// id, the client's name (NUL-terminated, in a 256-byte field), then the
// client's id.
inline constexpr std::size_t kNdmpPropsClientNameOffset = 4;
inline constexpr std::size_t kNdmpPropsClientNameSize = 256;
inline constexpr std::size_t kNdmpPropsClientIdOffset = kNdmpPropsClientNameOffset + kNdmpPropsClientNameSize;

struct MessageInfo {
  // ---- host part ----
  CWySocket socket;
  CBaseSecureSocket secureSocket;
  uint32_t userId = 0;
  char userName[kMessageUserNameSize] = {};
  uint32_t requestKind = 0;
  uint32_t autoRefreshGuiId = 0;
  uint32_t origin = 0;

  // ---- request body ----
  alignas(8) int64_t sequenceNumber = 0;
  union {
    uint64_t objectHandle = 0;
    struct {
      uint32_t firstWord;
      uint32_t elementCount;
    };
  };
  char elementStream[kMessageStreamSize] = {};

  // Size of the fixed payload: from `firstWord` to the end of the stream area.
  static constexpr std::size_t kPayloadSize = 8 + kMessageStreamSize;

  // The Tarnfold id of an element-stream or simple request.
  uint32_t tarnfoldId() const { return firstWord; }

  // The client's locale id: the top 16 bits of the sequence number.
  uint16_t localeId() const {
    return static_cast<uint16_t>(static_cast<uint64_t>(sequenceNumber) >> 48);
  }

  // The login name, never read past its field.
  std::string loginName() const { return std::string(userName, strnlen(userName, sizeof userName)); }
  // Stores a login name, cut to 1,024 characters; the field stays terminated.
  void setLoginName(const std::string& name) {
    std::memset(userName, 0, sizeof userName);
    std::memcpy(userName, name.data(), name.size() < sizeof userName ? name.size() : sizeof userName - 1);
  }

  // The fixed payload, from the first fixed field on.
  const unsigned char* payload() const { return reinterpret_cast<const unsigned char*>(&objectHandle); }
  unsigned char* payload() { return reinterpret_cast<unsigned char*>(&objectHandle); }

  // The 32-bit word at a payload position; 0 when it does not lie within the body.
  uint32_t payloadWord(std::size_t offset) const {
    uint32_t word = 0;
    if (offset <= kPayloadSize && kPayloadSize - offset >= sizeof word) std::memcpy(&word, payload() + offset, sizeof word);
    return word;
  }
  // The 64-bit value at a payload position; 0 when it does not lie within the body.
  uint64_t payloadU64(std::size_t offset) const {
    uint64_t value = 0;
    if (offset <= kPayloadSize && kPayloadSize - offset >= sizeof value) std::memcpy(&value, payload() + offset, sizeof value);
    return value;
  }
  // The NUL-terminated text at a payload position, read within a field of
  // `fieldSize` bytes (0: up to the end of the body) and never past the body.
  std::string payloadText(std::size_t offset, std::size_t fieldSize = 0) const {
    if (offset >= kPayloadSize) return std::string();
    std::size_t room = kPayloadSize - offset;
    if (fieldSize != 0 && fieldSize < room) room = fieldSize;
    const char* start = reinterpret_cast<const char*>(payload() + offset);
    return std::string(start, strnlen(start, room));
  }

  // Writers for the host and the tests; false when the value does not fit.
  bool setPayloadWord(std::size_t offset, uint32_t word) {
    if (offset > kPayloadSize || kPayloadSize - offset < sizeof word) return false;
    std::memcpy(payload() + offset, &word, sizeof word);
    return true;
  }
  bool setPayloadU64(std::size_t offset, uint64_t value) {
    if (offset > kPayloadSize || kPayloadSize - offset < sizeof value) return false;
    std::memcpy(payload() + offset, &value, sizeof value);
    return true;
  }
  // Writes the text and its terminator into a field of `fieldSize` bytes (0:
  // up to the end of the body); the rest of the field is zeroed. False, with
  // nothing written, when text and terminator do not fit.
  bool setPayloadText(std::size_t offset, const std::string& text, std::size_t fieldSize = 0) {
    if (offset >= kPayloadSize) return false;
    std::size_t room = kPayloadSize - offset;
    if (fieldSize != 0 && fieldSize < room) room = fieldSize;
    if (text.size() + 1 > room) return false;
    std::memset(payload() + offset, 0, room);
    std::memcpy(payload() + offset, text.data(), text.size());
    return true;
  }

  // The NDMP server properties request.
  std::string ndmpClientName() const { return payloadText(kNdmpPropsClientNameOffset, kNdmpPropsClientNameSize); }
  uint32_t ndmpClientId() const { return payloadWord(kNdmpPropsClientIdOffset); }
};

// The layout the handlers and the host rely on.
static_assert(offsetof(MessageInfo, socket) < offsetof(MessageInfo, userId));
static_assert(offsetof(MessageInfo, userId) < offsetof(MessageInfo, requestKind));
static_assert(offsetof(MessageInfo, autoRefreshGuiId) == offsetof(MessageInfo, requestKind) + 4,
              "autoRefreshGuiId directly follows requestKind");
static_assert(offsetof(MessageInfo, sequenceNumber) % 8 == 0, "the request body starts on an 8-byte boundary");
static_assert(sizeof(MessageInfo::sequenceNumber) == 8 && sizeof(MessageInfo::objectHandle) == 8);
static_assert(sizeof(MessageInfo::firstWord) == 4 && sizeof(MessageInfo::elementCount) == 4);
static_assert(offsetof(MessageInfo, objectHandle) == offsetof(MessageInfo, sequenceNumber) + 8);
static_assert(offsetof(MessageInfo, firstWord) == offsetof(MessageInfo, objectHandle),
              "firstWord shares the first half of the object handle");
static_assert(offsetof(MessageInfo, elementCount) == offsetof(MessageInfo, objectHandle) + 4,
              "elementCount shares the second half of the object handle");
static_assert(offsetof(MessageInfo, elementStream) == offsetof(MessageInfo, sequenceNumber) + 16);
static_assert(sizeof(MessageInfo::elementStream) == 63536);
static_assert(kNdmpPropsClientIdOffset + 4 <= MessageInfo::kPayloadSize);
