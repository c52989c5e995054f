// Inside the XML message library: the element tree that the reader builds with
// Xerces-C, and the escaping of values for the writer.
#pragma once

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

// Initialises Xerces-C once per process (never terminated). 0 or kErrInitialize.
int ensureParser();

// Reads a whole document into `root`. 0 or an error code of CNMessageBase.h;
// `why` says what was refused (never a value).
int parseDocument(const std::string& text, XNode& root, std::string& why);

// Appends the bytes as attribute or text content: entities for & < > ",
// character references for tab, line feed and carriage return, and U+F700 +
// byte for every byte that is not part of a character XML can carry.
void appendEscaped(std::string& out, std::string_view bytes);

// Writes an element kept as read (attributes by name).
void writeNode(std::string& out, const XNode& node, bool pretty, int indent);

}  // namespace tkxml::detail
