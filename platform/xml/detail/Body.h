// Inside the XML message library: what a message holds. A message's body maps
// each field's tag to its value; attributes and elements the registry does not
// know are kept as read. Every part of the library (the message, the reader,
// the writer, the password helpers) works on this one form.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/detail/XmlText.h"

namespace tkxml::detail {

struct ObjectSlot;
struct ListSlot;
struct IntListSlot;

}  // namespace tkxml::detail

// Private helpers of CNMessageBase that the rest of the library uses.
struct CNMessageBase::Access {
  static bool materialised(const CNMessageBase& m) { return m.m_materialised; }
  static void setMaterialised(CNMessageBase& m, bool value) { m.m_materialised = value; }
  static tkxml::detail::Body& body(CNMessageBase& m) { return m.body(); }
  static const tkxml::detail::Body* bodyIfAny(const CNMessageBase& m) { return m.bodyOrNull(); }
  // A copy that keeps whether it is part of its parent (a plain copy always is).
  static std::unique_ptr<CNMessageBase> clone(const CNMessageBase& m) {
    auto copy = std::make_unique<CNMessageBase>(m);
    copy->m_materialised = m.m_materialised;
    return copy;
  }
};

namespace tkxml::detail {

struct ObjectSlot {
  std::unique_ptr<CNMessageBase> msg;

  ObjectSlot() = default;
  explicit ObjectSlot(std::unique_ptr<CNMessageBase> m) : msg(std::move(m)) {}
  ObjectSlot(const ObjectSlot& other) : msg(other.msg ? CNMessageBase::Access::clone(*other.msg) : nullptr) {}
  ObjectSlot& operator=(const ObjectSlot& other) {
    if (this != &other) msg = other.msg ? CNMessageBase::Access::clone(*other.msg) : nullptr;
    return *this;
  }
  ObjectSlot(ObjectSlot&&) noexcept = default;
  ObjectSlot& operator=(ObjectSlot&&) noexcept = default;
};

struct ListSlot {
  MessageList list;
  bool marked = false;  // part of the message even while empty
};

struct IntListSlot {
  IntList values;
  bool marked = false;
};

using Value = std::variant<long long, std::string, pstring, bstring, ObjectSlot, ListSlot, IntListSlot>;

struct Body {
  std::map<unsigned, Value> fields;
  std::vector<std::pair<std::string, std::string>> rawAttrs;  // by name
  std::vector<XNode> rawChildren;                             // as read
  // Handed out by calls whose numbers were wrong; never written, never copied.
  std::vector<std::unique_ptr<CNMessageBase>> sinkMessages;
  std::vector<std::unique_ptr<MessageList>> sinkLists;
  std::vector<std::unique_ptr<IntList>> sinkIntLists;

  Body() = default;
  Body(const Body& other) : fields(other.fields), rawAttrs(other.rawAttrs), rawChildren(other.rawChildren) {}
  Body& operator=(const Body&) = delete;

  static std::vector<CNMessageBase>& items(MessageList& list) { return list.m_items; }
};

}  // namespace tkxml::detail

namespace tkxml::detail {

// The ordinal or tag of an accessor call that names the field by the other.
inline constexpr long long kNotGiven = -1;

std::string hex(unsigned value);
// "<name> (<ns>:<cls>, class hash 0x...)" for logs and mismatch texts.
std::string describeClass(unsigned ns, unsigned cls);
// Whether the message is part of its parent: made with `create`, written
// since, or holding anything.
bool present(const CNMessageBase& m);
bool fieldPresent(const Value& v);
std::string bytesOf(const bstring& b);

}  // namespace tkxml::detail
