// Builds request records for tests: an element stream of typed elements and
// the record fields around it, produced as a heap MessageInfo.
//
//   auto msg = tktest::StreamBuilder()
//                  .user(7, "alice").sequence(42).locale(0).socket(fd)
//                  .op(3).handle(h).u32(11019, 5).text(11004, "Pool A").end()
//                  .build();
//   handler.onMsgSetMMDrivePool(msg.get());
//
// Elements are written little-endian exactly as the wire carries them. The
// element count is the number of elements added unless `count` overrides it.
// `build` throws std::length_error when the elements do not fit in the
// 63,536-byte stream area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame/MessageInfo.h"

namespace tktest {

class StreamBuilder {
 public:
  StreamBuilder() = default;

  // ---- elements ----
  StreamBuilder& u32(uint32_t type, uint32_t value);
  StreamBuilder& i32(uint32_t type, int32_t value) { return u32(type, static_cast<uint32_t>(value)); }
  StreamBuilder& u64(uint32_t type, uint64_t value);
  // A text: its bytes, and the terminating zero too when `withNul` is set.
  StreamBuilder& text(uint32_t type, const std::string& text, bool withNul = false);
  // A pair: a 32-bit id followed by a text (with its zero when `withNul`).
  StreamBuilder& pair(uint32_t type, uint32_t id, const std::string& text, bool withNul = false);
  // Any bytes as the value.
  StreamBuilder& raw(uint32_t type, const void* bytes, std::size_t length);
  StreamBuilder& raw(uint32_t type, const std::string& bytes) { return raw(type, bytes.data(), bytes.size()); }
  // A header that declares `declaredLength` followed by only the given bytes:
  // for malformed streams.
  StreamBuilder& header(uint32_t type, uint32_t declaredLength);
  // Bytes appended to the stream as they are (no header; not counted).
  StreamBuilder& bytes(const void* data, std::size_t length);

  // Common elements: 4001 operation type, 11003 object handle, 2052 end of record.
  StreamBuilder& op(uint32_t operation) { return u32(4001, operation); }
  StreamBuilder& handle(uint64_t objectHandle) { return u64(11003, objectHandle); }
  StreamBuilder& end() { return u32(2052, 0); }

  // ---- record fields ----
  StreamBuilder& socket(int descriptor);
  StreamBuilder& secure(bool established);
  StreamBuilder& user(uint32_t userId, const std::string& loginName = std::string());
  StreamBuilder& kind(uint32_t requestKind);
  StreamBuilder& guiId(uint32_t autoRefreshGuiId);
  StreamBuilder& origin(uint32_t originValue);
  // The whole 64-bit sequence number (locale bits included).
  StreamBuilder& sequence(int64_t sequenceNumber);
  // The locale id in the top 16 bits of the sequence number; the low 48 bits stay.
  StreamBuilder& locale(uint16_t localeId);
  StreamBuilder& firstWord(uint32_t word);
  // The object handle in the first fixed field (replaces firstWord and the count).
  StreamBuilder& objectHandle(uint64_t objectHandle);
  // Overrides the element count written into the record.
  StreamBuilder& count(uint32_t elementCount);
  // Fixed payload writes at positions counted from the first fixed field,
  // applied after the stream was copied in (they overwrite it).
  StreamBuilder& payloadWord(std::size_t offset, uint32_t word);
  StreamBuilder& payloadText(std::size_t offset, const std::string& text, std::size_t fieldSize = 0);

  // ---- results ----
  std::unique_ptr<MessageInfo> build() const;
  const std::vector<unsigned char>& stream() const { return m_stream; }
  uint32_t elementsAdded() const { return m_elements; }

 private:
  void putWord(uint32_t word);

  struct PayloadWrite {
    std::size_t offset;
    bool isText;
    uint32_t word;
    std::string text;
    std::size_t fieldSize;
  };

  std::vector<unsigned char> m_stream;
  uint32_t m_elements = 0;
  bool m_hasCount = false;
  uint32_t m_count = 0;
  bool m_hasHandle = false;
  uint64_t m_handle = 0;
  uint32_t m_firstWord = 0;
  int m_socket = -1;
  bool m_secure = false;
  uint32_t m_userId = 0;
  std::string m_login;
  uint32_t m_kind = 0;
  uint32_t m_guiId = 0;
  uint32_t m_origin = 0;
  int64_t m_sequence = 0;
  std::vector<PayloadWrite> m_payload;
};

}  // namespace tktest
