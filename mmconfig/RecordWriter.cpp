// The item layouts of object records (see RecordWriter.h).
#include "mmconfig/RecordWriter.h"

#include <cstring>

#include "frame/mac/ZQMACObjects.h"
#include "platform/reply/EvReturnData.h"

namespace tkmm {

namespace {

// The text up to its first zero byte, cut to `max` characters.
std::size_t cutLength(const std::string& text, std::size_t max) { return strnlen(text.c_str(), max); }

}  // namespace

void RecordWriter::u32(unsigned long tag, uint32_t value) {
  unsigned char bytes[sizeof value];
  for (std::size_t i = 0; i < sizeof value; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  m_reply.add(tag, bytes, sizeof bytes);
}

void RecordWriter::handle(unsigned long tag, unsigned long long handle) {
  unsigned char bytes[8];
  for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(handle >> (8 * i));
  m_reply.add(tag, bytes, sizeof bytes);
}

// Only the bytes that are sent are written: a listing puts thousands of
// texts, and the rest of the working buffer never leaves it.
void RecordWriter::text(unsigned long tag, const std::string& text) {
  m_reply.add(tag, text.data(), static_cast<unsigned long>(cutLength(text, kItemBareTextMax)));
}

void RecordWriter::idText(unsigned long tag, uint32_t id, const std::string& text) {
  char buffer[kItemTextBufferSize];
  for (std::size_t i = 0; i < sizeof id; ++i) buffer[i] = static_cast<char>(id >> (8 * i));
  const std::size_t length = cutLength(text, kItemIdTextMax);
  std::memcpy(buffer + sizeof id, text.data(), length);
  m_reply.add(tag, buffer, static_cast<unsigned long>(length + sizeof id));
}

void RecordWriter::zeros(unsigned long tag, std::size_t count) {
  const unsigned char bytes[8] = {};
  m_reply.add(tag, bytes, static_cast<unsigned long>(count < sizeof bytes ? count : sizeof bytes));
}

void RecordWriter::textA(ZQMACInterface& object) { text(kItemTextA, object.GetTextA(true)); }

void RecordWriter::stateB(ZQMACInterface& object) { flag(kItemStateB, object.TestStateB()); }

void RecordWriter::textB(ZQMACInterface& object) { text(kItemTextB, object.GetTextB(false)); }

void RecordWriter::shown(ZQMACInterface& object) { flag(kItemShown, object.IsShown()); }

void RecordWriter::icon(const ZQMACMediaConfig& config, ZQMACInterface& object) {
  u32(kItemIcon, config.GetIconId(&object));
}

void RecordWriter::headerTail(const ZQMACMediaConfig& config, ZQMACInterface& object) {
  stateB(object);
  textB(object);
  shown(object);
  icon(config, object);
}

}  // namespace tkmm
