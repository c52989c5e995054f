// References between stored objects: the columns of a kind's row that name
// another object, and whether the object a change names is there. A change
// that would store a reference to nothing (an id never stored, or one
// removed since the session read it) is refused naming what is missing,
// asked on the change's own connection and so inside its transaction.
//
//   if (checkStoredReferences(s, MMStoredKind::DrivePool, id, settings, refusal) == DB_NO_ROW) ...
#pragma once

#include <string>
#include <vector>

#include "platform/mmdb/MMStoredKinds.h"

namespace tkdb {
class Session;
}
struct MMStoredColumn;

// Whether kind `kind` has an object of id `id` (its table and key as the
// registry of kinds gives them): DB_OK when it has, DB_NO_ROW when not,
// else the engine's code.
int storedObjectExists(tkdb::Session& session, MMStoredKind kind, long long id);

// A column of a kind's row that names another object; a value of 0 or
// below names none.
struct MMStoredReference {
  MMStoredKind kind;   // whose row holds the column
  const char* column;
  // What it names: a stored kind; where the object is not one of the
  // kinds, `table` and `key` say where it is and `refers` is not read.
  MMStoredKind refers;
  const char* what;   // for texts: "copy manager", ...
  const char* table;  // null: the kind's table and key
  const char* key;
};

// Every reference a change may set, in the order of the kinds.
const std::vector<MMStoredReference>& storedReferences();

// The references among `settings` (a change of the object `id` of
// `kind`, or the values of a new row of it with `id` 0) that change: each
// names an object that exists. DB_OK when they all do; DB_NO_ROW with
// `refusal` naming the first missing object; else the engine's code. A
// reference stored already and written again unchanged is not asked for: a
// change elsewhere in the row does not depend on it.
int checkStoredReferences(tkdb::Session& session, MMStoredKind kind, int id,
                          const std::vector<MMStoredColumn>& settings, std::string& refusal);

// The refusal's text: the kind and the id that is not there.
std::string missingReferenceText(const char* what, long long id);
