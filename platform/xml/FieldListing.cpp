// Listing of a message text with its fields' names (see FieldListing.h).
#include "platform/xml/FieldListing.h"

#include <cstdio>

#include "platform/xml/Registry.h"
#include "platform/xml/detail/ValueForms.h"
#include "platform/xml/detail/XmlText.h"

namespace tkxml {
namespace {

using detail::XNode;

constexpr const char* kStep = "  ";

std::string quoted(const std::string& value) {
  std::string out = "\"";
  for (const unsigned char c : value) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// "<label> (<name>)", or the label alone when the field has no name.
std::string labelled(const std::string& label, const ClassInfo* info, unsigned tag) {
  const char* name = info != nullptr ? info->fieldName(tag) : nullptr;
  return name != nullptr ? label + " (" + name + ")" : label;
}

struct Listing {
  ValueNamer names;
  std::string& out;

  // A field's value: a number as it stands (with its name when it has one),
  // anything else quoted.
  std::string value(const ClassInfo* info, char letter, unsigned tag, const std::string& text) const {
    if (letter == 'l') return text;
    if (letter != 'i') return quoted(text);
    long long number = 0;
    if (names == nullptr || info == nullptr || !detail::parseInt64(text, number)) return text;
    const std::string name = names(*info, tag, number);
    return name.empty() ? text : text + " (" + name + ")";
  }

  void element(const XNode& node, const std::string& indent, const std::string& head);
  void body(const XNode& node, const std::string& indent);
};

// The attributes and children of a message element, one level below `indent`.
void Listing::body(const XNode& node, const std::string& indent) {
  const ClassInfoPtr info = findClassByElement(node.name);
  const std::string inner = indent + kStep;
  for (const auto& [name, text] : node.attrs) {
    if (name == "tag") continue;
    char letter = 0;
    unsigned tag = 0;
    if (detail::parseFieldAttr(name, letter, tag))
      out += inner + labelled(name, info.get(), tag) + ": " + value(info.get(), letter, tag, text) + "\n";
    else
      out += inner + name + ": " + quoted(text) + "\n";
  }
  for (const XNode& child : node.children) {
    const std::string* tagText = child.attr("tag");
    unsigned tag = 0;
    const bool tagged = tagText != nullptr && detail::parseTag(*tagText, tag);
    const std::string head = tagged ? labelled(*tagText, info.get(), tag) + ": " : std::string();
    if (child.name == "list") {
      out += inner + head + "list\n";
      for (const XNode& entry : child.children) element(entry, inner + kStep, std::string());
    } else {
      element(child, inner, head);
    }
  }
  if (!node.text.empty()) out += inner + "text: " + quoted(node.text) + "\n";
}

void Listing::element(const XNode& node, const std::string& indent, const std::string& head) {
  out += indent + head + node.name + "\n";
  body(node, indent);
}

}  // namespace

bool listFields(const std::string& text, const std::string& indent, std::string& out, ValueNamer names) {
  out.clear();
  XNode root;
  std::string why;
  if (detail::parseDocument(text, root, why) != 0) return false;
  Listing{names, out}.element(root, indent, std::string());
  return true;
}

}  // namespace tkxml
