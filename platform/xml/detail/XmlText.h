// Inside the XML message library: reading a document with Xerces-C into a
// handler of its elements (the message reader, or the element tree kept for
// elements the registry does not know and for listings), and the escaping of
// values for the writer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tkxml::detail {

// One element as read: name, attributes in document order, its text (kept
// only when it holds more than white space) and its child elements.
struct XNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attrs;
  std::string text;
  std::vector<XNode> children;

  const std::string* attr(const std::string& key) const;
};

// Equality as the writer sees it: attributes compared as sets.
bool sameNode(const XNode& a, const XNode& b);

// A name or an attribute's value as the parser holds it: UTF-16, already
// checked to be text and within the limits, and valid only during the
// handler's call. Most are ASCII; a handler compares them, parses them or
// turns them into what it keeps (a number, the field's own text) without a
// text of their own in between.
struct ParsedText {
  const char16_t* units = nullptr;
  std::size_t length = 0;
  bool ascii = true;  // every unit is below 0x80: each unit is its byte

  std::u16string_view view() const { return {units, length}; }
  // Appends the bytes (U+F700 + byte gives back the byte).
  void appendTo(std::string& out) const;
  std::string bytes() const {
    std::string out;
    appendTo(out);
    return out;
  }
  // Whether the bytes are these (inline: every attribute is asked whether
  // it is the tag).
  bool is(std::string_view bytes) const {
    if (!ascii) return this->bytes() == bytes;
    if (length != bytes.size()) return false;
    for (std::size_t i = 0; i < length; ++i) {
      if (units[i] != static_cast<unsigned char>(bytes[i])) return false;
    }
    return true;
  }
};

struct Attribute {
  ParsedText name;
  ParsedText value;
};
using Attributes = std::vector<Attribute>;

// Fills `node` as an element just started: its name and attributes.
void openNode(XNode& node, const ParsedText& name, const Attributes& attrs);
// Whether the text is empty or only white space between elements.
bool onlyWhiteSpace(std::string_view text);
// Ends the element: text that is only white space is not kept.
void closeNode(XNode& node);

// What is done with a document's elements as the parser reads them. The
// parser has checked the limits and that every name, value and text decodes
// before a call; the handler only builds.
class ElementHandler {
 public:
  virtual ~ElementHandler() = default;
  // An element starts; `attrs` holds its attributes in document order.
  virtual void start(const ParsedText& name, const Attributes& attrs) = 0;
  // A piece of the text directly inside the innermost open element.
  virtual void text(const std::string& piece) = 0;
  // The innermost open element ends.
  virtual void end() = 0;
};

// Initialises Xerces-C once per process (never terminated). 0 or kErrInitialize.
int ensureParser();

// Reads a whole document into the handler. 0 or an error code of
// CNMessageBase.h (the handler's own refusals are its business); `why` says
// what was refused (never a value). After a failure the handler has seen
// only part of the document.
int parseDocument(const std::string& text, ElementHandler& handler, std::string& why);

// Reads a whole document into `root`.
int parseDocument(const std::string& text, XNode& root, std::string& why);

// Appends the bytes as attribute or text content: entities for & < > ",
// character references for tab, line feed and carriage return, and U+F700 +
// byte for every byte that is not part of a character XML can carry.
void appendEscaped(std::string& out, std::string_view bytes);

// Writes an element kept as read (attributes by name).
void writeNode(std::string& out, const XNode& node, bool pretty, int indent);

}  // namespace tkxml::detail
