// Names of configuration objects as the object model compares them: without
// regard to letter case (ASCII), as the central database does.
#pragma once

#include <cctype>
#include <string>

#include "frame/mac/ZQMACLinkedList.h"
#include "platform/mmdb/MMLibraryName.h"

namespace tkmac {

// The name as sameName compares it: letters A-Z as a-z. Two names are the
// same name exactly when their folded forms are equal, so a map keyed by
// the folded form finds what sameName would.
inline std::string foldedName(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// Libraries' names compare so too (tkmmdb::sameLibraryName): one rule.
inline bool sameName(const std::string& a, const std::string& b) { return tkmmdb::sameLibraryName(a, b); }

// The object of the list other than `self` that carries the name, or null.
template <class T>
T* namedIn(ZQMACLinkedList<T> list, const std::string& name, const T* self) {
  for (T* object = list.GetFirstNode(); object != nullptr; object = list.GetNextNode())
    if (object != self && sameName(object->GetName(), name)) return object;
  return nullptr;
}

}  // namespace tkmac
