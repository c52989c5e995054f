// A message text as a person reads it: each element on a line of its own,
// each field under it with the name its message class gives the field
// beside the attribute that carries it. For consoles and logs only: the text
// itself is neither checked against the registry nor changed.
//
//   <EVGui_GenericResp i1="-1" s2="refused"/>
//
// is listed (with the indent "  ") as
//
//   EVGui_GenericResp
//     i1 (code): -1
//     s2 (text): "refused"
//
// A nested message is listed under the field that holds it ("2 (library
// description): EVGui_StorageLibraryInfo"), a list under its field with
// its messages below. Texts are quoted; a quote, a backslash and control
// characters are written as \", \\ and \xNN. An attribute of a class
// or field the registry does not know, or of a field without a name, is
// listed without a name. A caller that knows what the numbers of a field
// stand for names them through `ValueNamer` ("i2 (operation): 1 (lock)").
#pragma once

#include <string>

#include "platform/xml/Registry.h"

namespace tkxml {

// The name of `value` in field `tag` of the class; empty for none.
using ValueNamer = std::string (*)(const ClassInfo& info, unsigned tag, long long value);

// The lines of `text`, each one beginning with `indent` and ending with a
// line feed. False, with `out` left empty, when the text is not one XML
// document (the caller shows it as it is).
bool listFields(const std::string& text, const std::string& indent, std::string& out, ValueNamer names = nullptr);

}  // namespace tkxml
