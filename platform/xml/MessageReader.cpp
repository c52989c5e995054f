// The reader of a message's element: fields by the registry, the rest kept as
// read.
#include <algorithm>

#include "platform/xml/Registry.h"
#include "platform/xml/detail/Body.h"
#include "platform/xml/detail/MessageText.h"
#include "platform/xml/detail/ValueForms.h"

using tkxml::ClassInfoPtr;
using tkxml::FieldDef;
using tkxml::FieldKind;
using Access = CNMessageBase::Access;
using namespace tkxml::detail;

namespace {

struct Reader {
  std::string why;

  int fail(int code, std::string text) {
    why = std::move(text);
    return code;
  }

  // Takes the values out of the tree (moved, not copied).
  int message(XNode& node, CNMessageBase& m) {
    const ClassInfoPtr info = tkxml::findClass(m.getNamespace(), m.getClassNumber());
    const std::string unregistered = info ? std::string() : tkxml::elementName(m.getNamespace(), m.getClassNumber());
    const std::string& element = info ? info->element : unregistered;
    if (node.name != element) return fail(tkxml::kErrWrongClass, "element " + node.name + " where " + element + " belongs");
    if (!node.text.empty()) return fail(tkxml::kErrBadDocument, "text inside " + element);
    Body& b = Access::body(m);

    for (auto& [name, value] : node.attrs) {
      if (name == "tag") continue;
      char letter = 0;
      unsigned tag = 0;
      const FieldDef* f = nullptr;
      if (info && parseFieldAttr(name, letter, tag)) f = info->byTag(tag);
      if (f == nullptr) {
        b.rawAttrs.emplace_back(std::move(name), std::move(value));
        continue;
      }
      if (kindLetter(f->kind) != letter) {
        return fail(tkxml::kErrBadValue, "attribute " + name + " of " + element + " for a field that is a " +
                                             tkxml::kindName(f->kind));
      }
      if (b.fields.count(tag) != 0) return fail(tkxml::kErrBadValue, "field tag " + std::to_string(tag) + " twice");
      switch (f->kind) {
        case FieldKind::Int64: {
          long long v = 0;
          if (!parseInt64(value, v)) return fail(tkxml::kErrBadValue, "attribute " + name + " is not a 64-bit number");
          b.fields.emplace(tag, v);
          break;
        }
        case FieldKind::String: b.fields.emplace(tag, std::move(value)); break;
        case FieldKind::BString: b.fields.emplace(tag, bstring(value)); break;
        case FieldKind::PString: {
          pstring p;
          if (!parsePString(value, p)) return fail(tkxml::kErrBadValue, "attribute " + name + " is not a protected text");
          b.fields.emplace(tag, std::move(p));
          break;
        }
        case FieldKind::IntList: {
          IntListSlot slot;
          slot.marked = true;
          if (!parseIntList(value, slot.values)) return fail(tkxml::kErrBadValue, "attribute " + name + " is not a list of numbers");
          b.fields.emplace(tag, std::move(slot));
          break;
        }
        case FieldKind::Object:
        case FieldKind::ObjectList: break;  // no letter names them
      }
    }
    std::sort(b.rawAttrs.begin(), b.rawAttrs.end());

    for (XNode& child : node.children) {
      const std::string* tagText = child.attr("tag");
      unsigned tag = 0;
      const FieldDef* f = nullptr;
      if (info && tagText != nullptr && parseTag(*tagText, tag)) f = info->byTag(tag);
      if (f == nullptr) {
        b.rawChildren.push_back(std::move(child));
        continue;
      }
      if (b.fields.count(tag) != 0) return fail(tkxml::kErrBadValue, "field tag " + std::to_string(tag) + " twice");
      if (child.name == "list") {
        if (f->kind != FieldKind::ObjectList) return fail(tkxml::kErrBadValue, "a list for field tag " + std::to_string(tag));
        if (child.attrs.size() != 1 || !child.text.empty()) return fail(tkxml::kErrBadDocument, "a list with more than its tag");
        ListSlot slot{tkxml::MessageList(f->ns, f->cls), true};
        auto& items = Body::items(slot.list);
        items.reserve(child.children.size());
        for (XNode& itemNode : child.children) {
          CNMessageBase item(f->ns, f->cls);
          if (int rc = message(itemNode, item); rc != tkxml::kOk) return rc;
          items.push_back(std::move(item));
        }
        b.fields.emplace(tag, std::move(slot));
      } else {
        if (f->kind != FieldKind::Object) return fail(tkxml::kErrBadValue, "a message for field tag " + std::to_string(tag));
        auto nested = std::make_unique<CNMessageBase>(f->ns, f->cls);
        if (int rc = message(child, *nested); rc != tkxml::kOk) return rc;
        b.fields.emplace(tag, ObjectSlot(std::move(nested)));
      }
    }
    return tkxml::kOk;
  }
};

}  // namespace

namespace tkxml::detail {

int readMessage(XNode& node, CNMessageBase& m, std::string& why) {
  Reader reader;
  int rc = reader.message(node, m);
  why = reader.why;
  return rc;
}

}  // namespace tkxml::detail
