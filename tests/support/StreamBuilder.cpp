#include "tests/support/StreamBuilder.h"

#include <cstring>
#include <stdexcept>

namespace tktest {

void StreamBuilder::putWord(uint32_t word) {
  unsigned char bytes[4];
  std::memcpy(bytes, &word, sizeof bytes);  // host order: little-endian
  m_stream.insert(m_stream.end(), bytes, bytes + sizeof bytes);
}

StreamBuilder& StreamBuilder::u32(uint32_t type, uint32_t value) { return raw(type, &value, sizeof value); }

StreamBuilder& StreamBuilder::u64(uint32_t type, uint64_t value) { return raw(type, &value, sizeof value); }

StreamBuilder& StreamBuilder::text(uint32_t type, const std::string& text, bool withNul) {
  return raw(type, text.c_str(), text.size() + (withNul ? 1 : 0));
}

StreamBuilder& StreamBuilder::pair(uint32_t type, uint32_t id, const std::string& text, bool withNul) {
  std::string value(4, '\0');
  std::memcpy(value.data(), &id, sizeof id);
  value += text;
  if (withNul) value.push_back('\0');
  return raw(type, value);
}

StreamBuilder& StreamBuilder::raw(uint32_t type, const void* bytes, std::size_t length) {
  putWord(type);
  putWord(static_cast<uint32_t>(length));
  const unsigned char* data = static_cast<const unsigned char*>(bytes);
  if (length != 0) m_stream.insert(m_stream.end(), data, data + length);
  ++m_elements;
  return *this;
}

StreamBuilder& StreamBuilder::header(uint32_t type, uint32_t declaredLength) {
  putWord(type);
  putWord(declaredLength);
  ++m_elements;
  return *this;
}

StreamBuilder& StreamBuilder::bytes(const void* data, std::size_t length) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  if (length != 0) m_stream.insert(m_stream.end(), p, p + length);
  return *this;
}

StreamBuilder& StreamBuilder::socket(int descriptor) {
  m_socket = descriptor;
  return *this;
}

StreamBuilder& StreamBuilder::secure(bool established) {
  m_secure = established;
  return *this;
}

StreamBuilder& StreamBuilder::user(uint32_t userId, const std::string& loginName) {
  m_userId = userId;
  m_login = loginName;
  return *this;
}

StreamBuilder& StreamBuilder::kind(uint32_t requestKind) {
  m_kind = requestKind;
  return *this;
}

StreamBuilder& StreamBuilder::guiId(uint32_t autoRefreshGuiId) {
  m_guiId = autoRefreshGuiId;
  return *this;
}

StreamBuilder& StreamBuilder::origin(uint32_t originValue) {
  m_origin = originValue;
  return *this;
}

StreamBuilder& StreamBuilder::sequence(int64_t sequenceNumber) {
  m_sequence = sequenceNumber;
  return *this;
}

StreamBuilder& StreamBuilder::locale(uint16_t localeId) {
  const uint64_t low = static_cast<uint64_t>(m_sequence) & 0x0000FFFFFFFFFFFFull;
  m_sequence = static_cast<int64_t>(low | (static_cast<uint64_t>(localeId) << 48));
  return *this;
}

StreamBuilder& StreamBuilder::firstWord(uint32_t word) {
  m_firstWord = word;
  return *this;
}

StreamBuilder& StreamBuilder::objectHandle(uint64_t objectHandle) {
  m_hasHandle = true;
  m_handle = objectHandle;
  return *this;
}

StreamBuilder& StreamBuilder::count(uint32_t elementCount) {
  m_hasCount = true;
  m_count = elementCount;
  return *this;
}

StreamBuilder& StreamBuilder::payloadWord(std::size_t offset, uint32_t word) {
  m_payload.push_back(PayloadWrite{offset, false, word, std::string(), 0});
  return *this;
}

StreamBuilder& StreamBuilder::payloadText(std::size_t offset, const std::string& text, std::size_t fieldSize) {
  m_payload.push_back(PayloadWrite{offset, true, 0, text, fieldSize});
  return *this;
}

std::unique_ptr<MessageInfo> StreamBuilder::build() const {
  if (m_stream.size() > kMessageStreamSize) {
    throw std::length_error("element stream of " + std::to_string(m_stream.size()) + " bytes exceeds the " +
                            std::to_string(kMessageStreamSize) + "-byte stream area");
  }
  auto msg = std::make_unique<MessageInfo>();
  msg->socket = CWySocket(m_socket);
  msg->secureSocket.SetEstablished(m_secure);
  msg->userId = m_userId;
  msg->setLoginName(m_login);
  msg->requestKind = m_kind;
  msg->autoRefreshGuiId = m_guiId;
  msg->origin = m_origin;
  msg->sequenceNumber = m_sequence;
  if (m_hasHandle) {
    msg->objectHandle = m_handle;
  } else {
    msg->firstWord = m_firstWord;
    msg->elementCount = m_hasCount ? m_count : m_elements;
  }
  if (!m_stream.empty()) std::memcpy(msg->elementStream, m_stream.data(), m_stream.size());
  for (const PayloadWrite& write : m_payload) {
    const bool ok = write.isText ? msg->setPayloadText(write.offset, write.text, write.fieldSize)
                                 : msg->setPayloadWord(write.offset, write.word);
    if (!ok) throw std::length_error("fixed payload write at " + std::to_string(write.offset) + " does not fit");
  }
  return msg;
}

}  // namespace tktest
