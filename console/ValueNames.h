// Numbers in answers that stand for something, printed with their names
// beside them, the number kept: "11 (tape or optical library, not
// configured)", "6 (NAS Filer)", "2 (delete library)". Printing only: what
// the host sent is shown whole, and a number without a name stays a bare
// number.
//
// Reply items, by tag: the icon number (11116: ten times the object type,
// plus 1 while the object is not configured), the OS type of an NDMP server
// (11064), the drive-pool type (8227; 3 an NDMP pool) and the library type
// (8081; 3 a disk library, 10 a replication-store library).
//
// XML fields, by class and tag: the operation of the lock request, the
// operation code, storage vendor type and drive option of a library
// description, the operation of a device path, and the code of a generic
// response.
#pragma once

#include <string>

#include "platform/xml/Registry.h"
#include "wire/WireCodec.h"

namespace tkconsole {

// "N (name)" for an item whose number has a name; empty otherwise.
std::string describeNamedValue(const tkwire::Item& item);

// The drive options of drive maintenance with their names: "1 replaced,
// 2 cleaned, 3 fixed".
std::string driveOptionNames();

// The name of `value` in field `tag` of the message class; empty when it
// has none. Made to be handed to tkxml::listFields.
std::string xmlValueName(const tkxml::ClassInfo& info, unsigned tag, long long value);

}  // namespace tkconsole
