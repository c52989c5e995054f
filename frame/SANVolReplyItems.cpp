// The reply item forms; see SANVolReplyItems.h for the table of forms.
#include "frame/SANVolReplyItems.h"

#include <cstring>

#include "platform/reply/EvReturnData.h"

namespace tksanvol {

void ReplyItem::fill(const uint32_t* words, std::size_t wordCount, std::string_view text) {
  const std::size_t header = wordCount * sizeof(uint32_t);
  if (header != 0) std::memcpy(m_bytes, words, header);
  // Room for the text: what is left of the buffer after the header and the
  // terminator.
  const std::size_t room = kItemBufferSize - header - 1;
  const std::size_t length = text.size() < room ? text.size() : room;
  if (length != 0) std::memcpy(m_bytes + header, text.data(), length);
  m_bytes[header + length] = '\0';
  m_length = static_cast<unsigned long>(header + length);
}

ReplyItem ReplyItem::u32(uint32_t value) {
  ReplyItem item;
  std::memcpy(item.m_bytes, &value, sizeof value);
  item.m_length = sizeof value;
  return item;
}

ReplyItem ReplyItem::u64(uint64_t value) {
  ReplyItem item;
  std::memcpy(item.m_bytes, &value, sizeof value);
  item.m_length = sizeof value;
  return item;
}

ReplyItem ReplyItem::text(std::string_view text) {
  ReplyItem item;
  item.fill(nullptr, 0, text);
  return item;
}

ReplyItem ReplyItem::idText(uint32_t id, std::string_view text) {
  ReplyItem item;
  item.fill(&id, 1, text);
  return item;
}

ReplyItem ReplyItem::hdr12Text(uint32_t id, uint32_t clientId, uint32_t flags, std::string_view text) {
  ReplyItem item;
  const uint32_t words[3] = {id, clientId, flags};
  item.fill(words, 3, text);
  return item;
}

bool ReplyItem::addTo(EvReturnData& reply, unsigned long tag) const { return reply.add(tag, m_bytes, m_length); }
bool ReplyItem::sendOn(EvReturnData& reply, unsigned long tag) const { return reply.send(tag, m_bytes, m_length); }

// Numbers need no text buffer: they go out from a local word.
bool addU32(EvReturnData& reply, unsigned long tag, uint32_t value) { return reply.add(tag, &value, sizeof value); }
bool addU64(EvReturnData& reply, unsigned long tag, uint64_t value) { return reply.add(tag, &value, sizeof value); }
bool addFlag(EvReturnData& reply, unsigned long tag, bool value) { return addU32(reply, tag, value ? 1u : 0u); }

bool addText(EvReturnData& reply, unsigned long tag, std::string_view text) {
  // The text goes out as it stands when it fits; only a longer one is cut.
  const std::size_t length = text.size() < kTextItemMax ? text.size() : kTextItemMax;
  return reply.add(tag, length != 0 ? text.data() : "", static_cast<unsigned long>(length));
}

bool addIdText(EvReturnData& reply, unsigned long tag, uint32_t id, std::string_view text) {
  return ReplyItem::idText(id, text).addTo(reply, tag);
}

bool addHdr12Text(EvReturnData& reply, unsigned long tag, uint32_t id, uint32_t clientId, uint32_t flags,
                  std::string_view text) {
  return ReplyItem::hdr12Text(id, clientId, flags, text).addTo(reply, tag);
}

bool endRecord(EvReturnData& reply) { return addU32(reply, kItemEndOfRecord, 0u); }

}  // namespace tksanvol
