// Inside the XML message library: what a message holds. A message's body keeps
// each field's value in a flat slot of its class's layout; attributes and
// elements the registry does not know are kept as read. Every part of the
// library (the message, the reader, the writer, the password helpers) works on
// this one form.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"
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
  // The body, laid out by the class entry `info` (looked up at the registry's
  // generation `stamp`) when the message has none yet: the reader has looked
  // the class up already.
  static tkxml::detail::Body& body(CNMessageBase& m, const tkxml::ClassInfo* info, unsigned long long stamp);
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

// The list lies behind a pointer: most fields are numbers and texts, and a
// field's slot is as large as the largest value it can hold.
struct ListSlot {
  std::unique_ptr<MessageList> list;  // never null
  bool marked = false;                // part of the message even while empty

  ListSlot(unsigned ns, unsigned cls, bool marked_) : list(std::make_unique<MessageList>(ns, cls)), marked(marked_) {}
  ListSlot(const ListSlot& other) : list(std::make_unique<MessageList>(*other.list)), marked(other.marked) {}
  ListSlot& operator=(const ListSlot& other) {
    if (this != &other) {
      *list = *other.list;
      marked = other.marked;
    }
    return *this;
  }
  ListSlot(ListSlot&&) noexcept = default;
  ListSlot& operator=(ListSlot&&) noexcept = default;
};

struct IntListSlot {
  IntList values;
  bool marked = false;
};

// A value kept behind a pointer, copied with its holder: protected and binary
// texts are rare and larger than a text, and a slot is as large as the
// largest value it can hold.
template <class T>
struct Boxed {
  std::unique_ptr<T> held;  // null only once moved from

  explicit Boxed(T value) : held(std::make_unique<T>(std::move(value))) {}
  Boxed(const Boxed& other) : held(std::make_unique<T>(*other.held)) {}
  Boxed& operator=(const Boxed& other) {
    if (this != &other) *held = *other.held;
    return *this;
  }
  Boxed(Boxed&&) noexcept = default;
  Boxed& operator=(Boxed&&) noexcept = default;

  T& operator*() { return *held; }
  const T& operator*() const { return *held; }
  T* operator->() { return held.get(); }
  const T* operator->() const { return held.get(); }
};
using PStringSlot = Boxed<pstring>;
using BStringSlot = Boxed<bstring>;

using Value = std::variant<std::monostate, long long, std::string, PStringSlot, BStringSlot, ObjectSlot, ListSlot,
                           IntListSlot>;

inline bool absent(const Value& v) { return std::holds_alternative<std::monostate>(v); }

struct Field {
  unsigned tag = 0;
  Value value;  // std::monostate while the field is absent
};
static_assert(std::is_trivially_destructible_v<std::monostate> && std::is_trivially_destructible_v<long long>);

// What few messages hold besides their fields, kept apart so that the body
// of each of a long list's messages stays small.
struct BodyExtras {
  // Fields the class gained in the registry after the body was laid out.
  std::map<unsigned, Value> fields;
  std::vector<std::pair<std::string, std::string>> rawAttrs;  // by name
  std::vector<XNode> rawChildren;                             // as read
  // Handed out by calls whose numbers were wrong; never written, never copied.
  std::vector<std::unique_ptr<CNMessageBase>> sinkMessages;
  std::vector<std::unique_ptr<MessageList>> sinkLists;
  std::vector<std::unique_ptr<IntList>> sinkIntLists;
};

// A body and its slots are one allocation (made by make and copy, freed by
// delete): a long list holds many small messages, and each costs one block.
struct Body {
  // The entry the slots were laid out by: one slot per field, in its order
  // (ascending tag). Never resized, so a reference to one field's value stays
  // valid while others are written.
  const ClassInfo* layout = nullptr;
  // The registry's generation (registryGeneration) read before `layout` was
  // looked up: while the registry still counts this, `layout` is the class's
  // entry and an accessor need not look it up again.
  unsigned long long stamp = ~0ull;
  // Made at the first of them that the body holds.
  std::unique_ptr<BodyExtras> extras;

  // A body without slots (for a class that is not registered, or as an empty
  // stand-in); bodies with slots come from make and copy.
  Body() = default;
  Body(const Body&) = delete;
  Body& operator=(const Body&) = delete;
  ~Body() {
    // Absent fields and numbers own nothing: most slots of a long list's
    // messages are left without a call.
    Field* f = fields();
    for (std::size_t i = count; i > 0; --i) {
      if (f[i - 1].value.index() > 1) f[i - 1].~Field();
    }
  }

  // A body with one absent slot per field of the entry (none for null),
  // looked up at the registry's generation `stamp`.
  static std::unique_ptr<Body> make(const ClassInfo* info, unsigned long long stamp) {
    const std::size_t n = info != nullptr ? info->fields.size() : 0;
    std::unique_ptr<Body> b(new (::operator new(sizeof(Body) + n * sizeof(Field))) Body());
    b->layout = info;
    b->stamp = stamp;
    Field* f = b->fields();
    for (; b->count < n; ++b->count) new (f + b->count) Field{info->fields[b->count].tag, Value()};
    return b;
  }
  // A copy of the slots, the fields gained later and what was kept as read.
  static std::unique_ptr<Body> copy(const Body& other) {
    std::unique_ptr<Body> b(new (::operator new(sizeof(Body) + other.count * sizeof(Field))) Body());
    b->layout = other.layout;
    b->stamp = other.stamp;
    const Field* from = other.fields();
    Field* f = b->fields();
    // Counted as they are made: a copy that fails part way frees what it made.
    for (; b->count < other.count; ++b->count) new (f + b->count) Field(from[b->count]);
    if (other.extras) {
      b->extras = std::make_unique<BodyExtras>();
      b->extras->fields = other.extras->fields;
      b->extras->rawAttrs = other.extras->rawAttrs;
      b->extras->rawChildren = other.extras->rawChildren;
    }
    return b;
  }
  static void operator delete(void* p) { ::operator delete(p); }

  std::span<Field> slots() { return {fields(), count}; }
  std::span<const Field> slots() const { return {fields(), count}; }

  // The extras, made when the body has none yet.
  BodyExtras& extrasMade() {
    if (!extras) extras = std::make_unique<BodyExtras>();
    return *extras;
  }
  // Attributes and elements kept as read (empty when there are none).
  const std::vector<std::pair<std::string, std::string>>& rawAttrs() const {
    return extras ? extras->rawAttrs : kNoExtras.rawAttrs;
  }
  const std::vector<XNode>& rawChildren() const { return extras ? extras->rawChildren : kNoExtras.rawChildren; }

  // The holder of the field `f` of the class entry `info`; null when the
  // body has none (it may hold std::monostate: the field is absent).
  Value* find(const ClassInfo& info, const FieldDef& f) {
    // The field definition lies in the entry at the index of its slot.
    if (layout == &info) return &fields()[static_cast<std::size_t>(&f - info.fields.data())].value;
    return findElsewhere(f.tag);
  }
  const Value* find(const ClassInfo& info, const FieldDef& f) const {
    return const_cast<Body*>(this)->find(info, f);
  }
  // The holder of the field, made (absent) when the body has none.
  Value& slot(const ClassInfo& info, const FieldDef& f) {
    if (Value* v = find(info, f)) return *v;
    return extrasMade().fields[f.tag];
  }
  // Whether a field with this tag holds a value.
  bool holds(unsigned tag) const;

  // Calls fn(tag, value) for every field that holds a value, by ascending tag.
  template <class Fn>
  void forEach(Fn&& fn) const {
    visit(*this, fn);
  }
  template <class Fn>
  void forEach(Fn&& fn) {
    visit(*this, fn);
  }

  static std::vector<CNMessageBase>& items(MessageList& list) { return list.m_items; }

 private:
  inline static const BodyExtras kNoExtras{};

  // The slots follow the header in the same block.
  Field* fields() { return reinterpret_cast<Field*>(this + 1); }
  const Field* fields() const { return reinterpret_cast<const Field*>(this + 1); }
  // The holder by tag, among the slots of another entry's layout and the
  // fields gained later.
  Value* findElsewhere(unsigned tag);

  std::size_t count = 0;  // slots made

  template <class Self, class Fn>
  static void visit(Self& b, Fn& fn) {
    if (!b.extras) {
      for (auto& s : b.slots()) {
        if (!absent(s.value)) fn(s.tag, s.value);
      }
      return;
    }
    auto& extra = b.extras->fields;
    auto e = extra.begin();
    for (auto& s : b.slots()) {
      for (; e != extra.end() && e->first < s.tag; ++e) {
        if (!absent(e->second)) fn(e->first, e->second);
      }
      if (!absent(s.value)) fn(s.tag, s.value);
    }
    for (; e != extra.end(); ++e) {
      if (!absent(e->second)) fn(e->first, e->second);
    }
  }
};

static_assert(sizeof(Body) % alignof(Field) == 0 && alignof(Body) >= alignof(Field));

}  // namespace tkxml::detail

inline tkxml::detail::Body& CNMessageBase::Access::body(CNMessageBase& m, const tkxml::ClassInfo* info,
                                                        unsigned long long stamp) {
  if (!m.m_body) m.m_body = tkxml::detail::Body::make(info, stamp);
  return *m.m_body;
}

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
