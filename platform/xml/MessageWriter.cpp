// The writer of a message's element: attributes and children in the canonical
// order, refusing what the reader would refuse.
#include <algorithm>
#include <charconv>
#include <string_view>

#include "platform/xml/Registry.h"
#include "platform/xml/detail/Body.h"
#include "platform/xml/detail/ClassLookup.h"
#include "platform/xml/detail/Diagnostics.h"
#include "platform/xml/detail/MessageText.h"
#include "platform/xml/detail/ValueForms.h"

using tkxml::ClassInfo;
using tkxml::FieldDef;
using tkxml::FieldKind;
using Access = CNMessageBase::Access;
using namespace tkxml::detail;

namespace {

struct Writer {
  explicit Writer(std::string& text) : out(text) {}

  std::string& out;
  bool pretty = false;
  size_t elements = 0;
  std::string why;

  int fail(int code, std::string text) {
    why = std::move(text);
    return code;
  }

  void newLine(int depth) {
    if (!pretty) return;
    if (!out.empty()) out.push_back('\n');
    out.append(static_cast<size_t>(depth - 1) * 2, ' ');
  }

  int attr(const std::string& name, const std::string& value) {
    if (value.size() > tkxml::kMaxValueBytes) return fail(tkxml::kErrTooLarge, "the value of " + name + " is too long");
    out.push_back(' ');
    out += name;
    out += "=\"";
    tkxml::detail::appendEscaped(out, value);
    out.push_back('"');
    return tkxml::kOk;
  }

  void number(long long n) {
    char digits[24];
    out.append(digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits));
  }

  // ' <letter><tag>="' of a field's attribute.
  void fieldName(char letter, unsigned tag) {
    out.push_back(' ');
    out.push_back(letter);
    number(tag);
    out += "=\"";
  }

  // A field's attribute: its value's text is written as it stands (numbers:
  // nothing to escape) or escaped.
  int field(char letter, unsigned tag, std::string_view value) {
    if (value.size() > tkxml::kMaxValueBytes) {
      return fail(tkxml::kErrTooLarge, "the value of " + std::string(1, letter) + std::to_string(tag) + " is too long");
    }
    fieldName(letter, tag);
    tkxml::detail::appendEscaped(out, value);
    out.push_back('"');
    return tkxml::kOk;
  }

  int countElement(int depth) {
    if (depth > tkxml::kMaxDepth) return fail(tkxml::kErrTooDeep, "nested deeper than " + std::to_string(tkxml::kMaxDepth));
    if (++elements > tkxml::kMaxElements) return fail(tkxml::kErrTooLarge, "too many elements");
    return tkxml::kOk;
  }

  static int height(const XNode& node) {
    int h = 0;
    for (const XNode& child : node.children) h = std::max(h, height(child));
    return h + 1;
  }

  static size_t count(const XNode& node) {
    size_t n = 1;
    for (const XNode& child : node.children) n += count(child);
    return n;
  }

  int message(const CNMessageBase& m, long long tagAttr, int depth) {
    if (int rc = countElement(depth); rc != tkxml::kOk) return rc;
    const ClassInfo* info = classOf(m.getNamespace(), m.getClassNumber());
    const std::string unregistered = info ? std::string() : tkxml::elementName(m.getNamespace(), m.getClassNumber());
    const std::string& element = info ? info->element : unregistered;
    const Body* b = Access::bodyIfAny(m);

    newLine(depth);
    out.push_back('<');
    out += element;
    if (tagAttr != kNotGiven) {
      out += " tag=\"";
      number(tagAttr);
      out.push_back('"');
    }
    bool anyChild = false;
    if (b != nullptr) {
      int rc = tkxml::kOk;
      b->forEach([&](unsigned tag, const Value& value) {
        if (rc != tkxml::kOk || !fieldPresent(value)) return;
        if (auto* v = std::get_if<long long>(&value)) {
          fieldName('i', tag);
          number(*v);
          out.push_back('"');
        } else if (auto* s = std::get_if<std::string>(&value)) {
          rc = field('s', tag, *s);
        } else if (auto* p = std::get_if<PStringSlot>(&value)) {
          rc = field('p', tag, std::to_string((*p)->getEncryptionType()) + ":" + (*p)->getWireForm());
        } else if (auto* bs = std::get_if<BStringSlot>(&value)) {
          rc = field('b', tag, std::string_view((*bs)->c_str(), (*bs)->size()));
        } else if (auto* l = std::get_if<IntListSlot>(&value)) {
          const std::string t = std::to_string(tag);
          std::string text;
          for (size_t i = 0; i < l->values.size(); ++i) {
            if (i > 0) text.push_back(' ');
            text += std::to_string(l->values[i]);
            if (text.size() > tkxml::kMaxValueBytes) {
              rc = fail(tkxml::kErrTooLarge, "list l" + t + " is too long");
              return;
            }
          }
          rc = field('l', tag, text);
        } else {
          anyChild = true;
        }
      });
      if (rc != tkxml::kOk) return rc;
      for (const auto& [name, value] : b->rawAttrs()) {
        char letter = 0;
        unsigned tag = 0;
        if (name == "tag") continue;
        if (info && parseFieldAttr(name, letter, tag) && info->byTag(tag) != nullptr) continue;
        if (int rc = attr(name, value); rc != tkxml::kOk) return rc;
      }
      anyChild = anyChild || !b->rawChildren().empty();
    }
    if (!anyChild) {
      out += "/>";
      return tkxml::kOk;
    }
    out.push_back('>');
    bool childWritten = false;
    int rc = tkxml::kOk;
    b->forEach([&](unsigned tag, const Value& value) {
      if (rc != tkxml::kOk || !fieldPresent(value)) return;
      const FieldDef* f = info ? info->byTag(tag) : nullptr;
      if (auto* o = std::get_if<ObjectSlot>(&value)) {
        if (f == nullptr || o->msg->getNamespace() != f->ns || o->msg->getClassNumber() != f->cls) {
          rc = wrongClass(m, tag, *o->msg);
          return;
        }
        rc = message(*o->msg, tag, depth + 1);
        childWritten = true;
      } else if (auto* l = std::get_if<ListSlot>(&value)) {
        rc = list(m, f, tag, *l->list, depth + 1);
        childWritten = true;
      }
    });
    if (rc != tkxml::kOk) return rc;
    for (const XNode& raw : b->rawChildren()) {
      if (depth + height(raw) > tkxml::kMaxDepth) return fail(tkxml::kErrTooDeep, "nested deeper than the limit");
      elements += count(raw);
      if (elements > tkxml::kMaxElements) return fail(tkxml::kErrTooLarge, "too many elements");
      tkxml::detail::writeNode(out, raw, pretty, depth);
      childWritten = true;
    }
    if (childWritten) newLine(depth);
    out += "</";
    out += element;
    out.push_back('>');
    return tkxml::kOk;
  }

  // A field's list of messages: <list tag="N"> and its items.
  int list(const CNMessageBase& m, const FieldDef* f, unsigned tag, const tkxml::MessageList& items, int depth) {
    if (int rc = countElement(depth); rc != tkxml::kOk) return rc;
    newLine(depth);
    out += "<list tag=\"";
    number(tag);
    out.push_back('"');
    if (items.empty()) {
      out += "/>";
      return tkxml::kOk;
    }
    out.push_back('>');
    for (const CNMessageBase& item : items) {
      if (f == nullptr || item.getNamespace() != f->ns || item.getClassNumber() != f->cls) {
        return wrongClass(m, tag, item);
      }
      if (int rc = message(item, kNotGiven, depth + 1); rc != tkxml::kOk) return rc;
    }
    newLine(depth);
    out += "</list>";
    return tkxml::kOk;
  }

  int wrongClass(const CNMessageBase& m, unsigned tag, const CNMessageBase& child) {
    std::string text = "field tag " + std::to_string(tag) + " of " + describeClass(m.getNamespace(), m.getClassNumber()) +
                       " holds a message of " + describeClass(child.getNamespace(), child.getClassNumber());
    tkxml::detail::reportMismatch("CNMessageBase::serialize", text);
    return fail(tkxml::kErrWrongClass, text);
  }
};

}  // namespace

namespace tkxml::detail {

int writeMessage(const CNMessageBase& m, bool pretty, std::string& out, std::string& why) {
  out.clear();
  Writer writer(out);
  writer.pretty = pretty;
  int rc = writer.message(m, kNotGiven, 1);
  if (rc != kOk) why = writer.why;
  return rc;
}

}  // namespace tkxml::detail
