// The reply item forms of the SAN-volume, replica and recovery listings.
//
// Every item value is built in a fixed 4,104-byte buffer, as the handlers
// have always built them, so a text is cut where it and its terminator no
// longer fit; the item's length always comes from the cut text, and the
// terminator is never sent. Numbers are little-endian (host order).
//
//   form         bytes                                  length          text cut at
//   u32          the number                             4               -
//   u64          the number                             8               -
//   flag         u32 1 or 0                             4               -
//   text         the characters                         text length     4,103
//   id+text      u32 id, the characters                 text length+4   4,099
//   hdr12+text   u32 id, u32 client id, u32 flags, text text length+12  4,091
//
// A listing adds its items to the handler object's begun reply and closes
// every object with endRecord (item 2052, u32 0):
//
//   tksanvol::addIdText(*this, 11642, policy.policyId, policy.policyName);
//   tksanvol::addU32(*this, 11644, policy.retentionPeriod);
//   tksanvol::endRecord(*this);
//
// A ReplyItem is the same value held for later, e.g. as the last item of an
// inline operation reply (EvSANVolMgr::sendOperationResponseWith).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame/ElementTags.h"

class EvReturnData;

namespace tksanvol {

// Size of the buffer in which an item value is built.
inline constexpr std::size_t kItemBufferSize = 4104;
// Longest text of each form (the buffer less the header and the terminator).
inline constexpr std::size_t kTextItemMax = kItemBufferSize - 1;          // 4,103
inline constexpr std::size_t kIdTextItemMax = kItemBufferSize - 4 - 1;    // 4,099
inline constexpr std::size_t kHdr12TextItemMax = kItemBufferSize - 12 - 1;  // 4,091

// The item that closes every listed object.
inline constexpr unsigned long kItemEndOfRecord = tktag::kEndOfRecord;

// A null C text is the empty text.
inline std::string_view textOf(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

class ReplyItem {
 public:
  static ReplyItem u32(uint32_t value);
  static ReplyItem u64(uint64_t value);
  static ReplyItem flag(bool value) { return u32(value ? 1u : 0u); }
  static ReplyItem text(std::string_view text);
  static ReplyItem idText(uint32_t id, std::string_view text);
  static ReplyItem hdr12Text(uint32_t id, uint32_t clientId, uint32_t flags, std::string_view text);

  const char* data() const { return m_bytes; }
  unsigned long length() const { return m_length; }

  // Adds the item to the reply being built; false when the reply refused it.
  bool addTo(EvReturnData& reply, unsigned long tag) const;
  // Adds it as the last item and writes the reply.
  bool sendOn(EvReturnData& reply, unsigned long tag) const;

 private:
  ReplyItem() = default;
  // The header words, then the text cut to the room left; sets the length.
  void fill(const uint32_t* words, std::size_t wordCount, std::string_view text);

  char m_bytes[kItemBufferSize];
  unsigned long m_length = 0;
};

// Shorthands that add one item to a reply being built.
bool addU32(EvReturnData& reply, unsigned long tag, uint32_t value);
bool addU64(EvReturnData& reply, unsigned long tag, uint64_t value);
bool addFlag(EvReturnData& reply, unsigned long tag, bool value);
bool addText(EvReturnData& reply, unsigned long tag, std::string_view text);
bool addIdText(EvReturnData& reply, unsigned long tag, uint32_t id, std::string_view text);
bool addHdr12Text(EvReturnData& reply, unsigned long tag, uint32_t id, uint32_t clientId, uint32_t flags,
                  std::string_view text);
// Item 2052 with u32 0: the end of one listed object.
bool endRecord(EvReturnData& reply);

}  // namespace tksanvol
