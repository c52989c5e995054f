// The NAS-client list items (see NasClientItems.h).
#include "nas/clients/NasClientItems.h"

#include <cstdlib>
#include <cstring>

const char* NameIdItem::replaceText(char*& field, const char* text) {
  char* copy = text != nullptr ? ::strdup(text) : nullptr;
  std::free(field);
  field = copy;
  return field;
}

NameIdItem::NameIdItem(const char* name, int id) : id(id) { replaceText(this->name, name); }

NameIdItem::~NameIdItem() { std::free(name); }

const char* NameIdItem::SetName(const char* name) { return replaceText(this->name, name); }

NameIdHostItem::NameIdHostItem(const char* name, int id, const char* host) : NameIdItem(name, id) {
  replaceText(hostName, host);
}

NameIdHostItem::~NameIdHostItem() { std::free(hostName); }
