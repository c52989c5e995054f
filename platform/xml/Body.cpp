// What a message holds: presence of messages and fields, and the texts that
// name a class in logs.
#include "platform/xml/detail/Body.h"

#include <algorithm>
#include <cstdio>

#include "platform/xml/Registry.h"

namespace tkxml::detail {

using Access = CNMessageBase::Access;

namespace {

bool hasContent(const CNMessageBase& m) {
  const Body* b = Access::bodyIfAny(m);
  if (b == nullptr) return false;
  if (!b->rawAttrs().empty() || !b->rawChildren().empty()) return true;
  bool any = false;
  b->forEach([&](unsigned, const Value& value) { any = any || fieldPresent(value); });
  return any;
}

template <class Slots>
auto* slotByTag(Slots slots, unsigned tag) {
  auto it = std::lower_bound(slots.begin(), slots.end(), tag, [](const Field& s, unsigned t) { return s.tag < t; });
  return it != slots.end() && it->tag == tag ? &it->value : nullptr;
}

}  // namespace

Value* Body::findElsewhere(unsigned tag) {
  if (Value* v = slotByTag(slots(), tag)) return v;
  if (!extras) return nullptr;
  auto it = extras->fields.find(tag);
  return it != extras->fields.end() ? &it->second : nullptr;
}

bool Body::holds(unsigned tag) const {
  const Value* v = slotByTag(slots(), tag);
  if (v == nullptr && extras) {
    auto it = extras->fields.find(tag);
    v = it != extras->fields.end() ? &it->second : nullptr;
  }
  return v != nullptr && !absent(*v);
}

std::string hex(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

std::string describeClass(unsigned ns, unsigned cls) {
  ClassInfoPtr info = tkxml::findClass(ns, cls);
  std::string text = info ? info->name : std::string("unregistered class");
  text += " (" + std::to_string(ns) + ":" + std::to_string(cls);
  if (info) text += ", class hash " + hex(info->classHash);
  return text + ")";
}

bool fieldPresent(const Value& v) {
  if (absent(v)) return false;
  if (auto* o = std::get_if<ObjectSlot>(&v)) return o->msg && present(*o->msg);
  if (auto* l = std::get_if<ListSlot>(&v)) return l->marked || !l->list->empty();
  if (auto* l = std::get_if<IntListSlot>(&v)) return l->marked || !l->values.empty();
  return true;
}

bool present(const CNMessageBase& m) { return Access::materialised(m) || hasContent(m); }

std::string bytesOf(const bstring& b) { return std::string(b.c_str(), b.size()); }

}  // namespace tkxml::detail
