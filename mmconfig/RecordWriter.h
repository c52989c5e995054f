// The items of an object record, written into a reply that a Get handler
// has begun. Every element-stream Get of the media-management handlers
// writes its records through one of these, so the item layouts live here
// once:
//
//   layout      bytes sent      built from
//   u32         4               a number; a bool as 0 or 1
//   handle      8               an object handle (item 11003 and the like)
//   text        strlen          the text without its terminator
//   id+text     strlen + 4      [u32 id][text], the terminator not counted
//   record end  4               item 2052 with u32 0
//
// Texts are sent as if through a working buffer of 4,104 bytes per item: a
// text is taken up to its first zero byte, as a C string would be, and one that
// does not fit is cut (4,103 characters for a bare text, 4,099 behind an
// id). Numbers are little-endian, as the element stream is.
//
// The common header items of object records (11031, 11149, 11150, 11162 and
// 11116) have a writer each; a record puts them where its own order says.
//
//   tkmm::RecordWriter out(*this);            // the handler's reply
//   out.idText(2049, library->GetId(), library->GetName());
//   ...
//   out.headerTail(*config, *library);        // 11149, 11150, 11162, 11116
//   out.endOfRecord();
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame/ElementTags.h"

class EvReturnData;
class ZQMACInterface;
class ZQMACMediaConfig;

namespace tkmm {

// Items with one meaning in every record.
inline constexpr unsigned long kItemObjectHandle = tktag::kObjectHandle;
inline constexpr unsigned long kItemEndOfRecord = tktag::kEndOfRecord;
inline constexpr unsigned long kItemTextA = tktag::kDescription;
inline constexpr unsigned long kItemStateB = tktag::kStateB;
inline constexpr unsigned long kItemTextB = tktag::kDetail;
inline constexpr unsigned long kItemShown = tktag::kShown;
inline constexpr unsigned long kItemIcon = tktag::kIcon;

// The working buffer of one text item and the longest texts it carries.
inline constexpr std::size_t kItemTextBufferSize = 4104;
inline constexpr std::size_t kItemBareTextMax = kItemTextBufferSize - 1;           // 4,103
inline constexpr std::size_t kItemIdTextMax = kItemTextBufferSize - 1 - sizeof(uint32_t);  // 4,099

// The object `part` points at, or else a blank one made in `spare`: the
// empty form of what a missing part of a record gives. A record's parts are
// seldom missing, so the blank is made only then (on the heap: an empty
// std::optional of an object this size costs zeroing it).
template <class T>
T& orBlank(T* part, std::unique_ptr<T>& spare) {
  if (part != nullptr) return *part;
  spare = std::make_unique<T>();
  return *spare;
}

// The handles of the objects of a list (a ZQMACLinkedList copy), in order.
// Listings collect them first and look each object up again when its record
// is due, so an object that has gone meanwhile is skipped.
template <class List, class Config>
std::vector<unsigned long long> handlesOf(List list, const Config& config) {
  std::vector<unsigned long long> handles;
  for (auto* object = list.GetFirstNode(); object != nullptr; object = list.GetNextNode())
    handles.push_back(config.GetHandle(object));
  return handles;
}

class RecordWriter {
 public:
  // Items go into `reply`, which must have a message open (begin).
  explicit RecordWriter(EvReturnData& reply) : m_reply(reply) {}
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  void u32(unsigned long tag, uint32_t value);
  void flag(unsigned long tag, bool value) { u32(tag, value ? 1u : 0u); }
  void handle(unsigned long tag, unsigned long long handle);
  void text(unsigned long tag, const std::string& text);
  void idText(unsigned long tag, uint32_t id, const std::string& text);
  // `count` zero bytes (at most 8).
  void zeros(unsigned long tag, std::size_t count);
  void endOfRecord() { u32(kItemEndOfRecord, 0); }

  // ---- common header items ----
  void textA(ZQMACInterface& object);                             // 11031 GetTextA(true)
  void stateB(ZQMACInterface& object);                            // 11149 TestStateB
  void textB(ZQMACInterface& object);                             // 11150 GetTextB(false)
  void shown(ZQMACInterface& object);                             // 11162 IsShown
  void icon(const ZQMACMediaConfig& config, ZQMACInterface& object);  // 11116 GetIconId
  // 11149, 11150, 11162 and 11116, in that order.
  void headerTail(const ZQMACMediaConfig& config, ZQMACInterface& object);

 private:
  EvReturnData& m_reply;
};

}  // namespace tkmm
