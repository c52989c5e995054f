// What a generated binding tells the database engine about its database
// object: the columns of its row (name, schema code, where the field lies in
// the row struct) and the object's identity (kind, names, keys, serial column,
// foreign keys, view body). The binding pattern in Db/ZQDBBinding.h builds
// both from one declarative column table, so the select list, the schema
// string, the field bindings and the CREATE statement come from one source.
#pragma once

#include <cctype>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/DBValue.h"

// How a row field is laid out.
enum class ZQDBFieldKind : unsigned char {
  Int32,      // int
  Int64,      // long long
  DateTime,   // DB_DATETIME
  FixedText,  // char[N]: a NUL-terminated text of at most N-1 bytes
  HeapText,   // char*: an owned array-allocated text, or null
};

// One column of a binding, in column order.
struct ZQDBColumnDesc {
  const char* name = nullptr;  // column name, exactly as the row field
  char code = 0;               // schema letter: i, b, x, t, s or u
  int length = 0;              // N of sN / uN; 0 for every other code
  size_t offset = 0;           // offset of the field in the row struct
  size_t size = 0;             // size of the field in bytes
  ZQDBFieldKind field = ZQDBFieldKind::Int32;
};

struct ZQDBColumns {
  const ZQDBColumnDesc* cols = nullptr;
  int count = 0;
};

// Header types of the catalogue; the engine's object kind follows from it
// (tables and views 1, procedures 2, cursors 3).
enum ZQDBHeaderType {
  ZQDB_HEADER_TABLE = 1,
  ZQDB_HEADER_PROCEDURE = 2,
  ZQDB_HEADER_CURSOR = 3,
  ZQDB_HEADER_VIEW = 4,
};

enum ZQDBObjectKind {
  ZQDB_KIND_TABLE = 1,
  ZQDB_KIND_PROCEDURE = 2,
  ZQDB_KIND_CURSOR = 3,
};

constexpr int ZQDBObjectKindOf(int headerType) {
  return headerType == ZQDB_HEADER_PROCEDURE ? ZQDB_KIND_PROCEDURE
         : headerType == ZQDB_HEADER_CURSOR  ? ZQDB_KIND_CURSOR
                                             : ZQDB_KIND_TABLE;
}

// The identity of one binding. Lists are texts so that a declaration stays
// one short aggregate:
//   primaryKey  "jobId, tarnfoldId"          (key order)
//   foreignKeys "archGroup: archGroupId = id; archTask: sealStoreTaskId = id"
struct ZQDBBindingInfo {
  int headerType = ZQDB_HEADER_TABLE;
  const char* dbName = "";       // database object name, e.g. "archTask"
  const char* className = "";    // binding class name, e.g. "ArchTask"
  const char* version = "";      // dotted version (tables, views) or 20-digit stamp (procedures)
  const char* primaryKey = "";   // primary-key column names, comma separated
  const char* serial = "";       // serial (identity) column, or empty
  const char* foreignKeys = "";  // referenced object: local = referenced, ...; next object ...
  const char* indexes = "";      // tables: the columns of an index, comma separated; next index ...
  const char* header = "";       // header path named in the registration log
  int line = 0;                  // line named in the registration log
  const char* viewSql = "";      // views: the SELECT that defines the view (SQLite dialect)
  const char* orderBy = nullptr; // overrides the default sort order when set
};

namespace tkdb {

// "a, b,c" -> {"a", "b", "c"}; blanks around names are dropped.
inline std::vector<std::string> splitNames(const char* list, char separator = ',') {
  std::vector<std::string> out;
  if (list == nullptr) return out;
  std::string current;
  auto flush = [&]() {
    size_t b = 0;
    size_t e = current.size();
    while (b < e && std::isspace(static_cast<unsigned char>(current[b])) != 0) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(current[e - 1])) != 0) --e;
    if (e > b) out.push_back(current.substr(b, e - b));
    current.clear();
  };
  for (const char* p = list; *p != '\0'; ++p) {
    if (*p == separator) {
      flush();
    } else {
      current += *p;
    }
  }
  flush();
  return out;
}

// "archGroup: archGroupId = id; archTask: sealStoreTaskId = id" ->
// {"archGroup": {"archGroupId": "id"}, "archTask": {"sealStoreTaskId": "id"}}.
// Several pairs of one referenced object are separated by commas.
inline std::map<std::string, std::map<std::string, std::string>> parseForeignKeys(const char* list) {
  std::map<std::string, std::map<std::string, std::string>> out;
  for (const std::string& entry : splitNames(list, ';')) {
    size_t colon = entry.find(':');
    if (colon == std::string::npos) continue;
    std::vector<std::string> object = splitNames(entry.substr(0, colon).c_str());
    if (object.empty()) continue;
    std::map<std::string, std::string> pairs;
    for (const std::string& pair : splitNames(entry.substr(colon + 1).c_str())) {
      std::vector<std::string> sides = splitNames(pair.c_str(), '=');
      if (sides.size() == 2) pairs[sides[0]] = sides[1];
    }
    out[object.front()] = pairs;
  }
  return out;
}

// The CREATE statement of a table or view binding (empty for procedures and
// cursors): text columns compare without regard to case, the serial column
// (or else a primary key of one integer column) is the identity (never
// reused), a primary key other than the serial column is unique.
std::string createStatement(const ZQDBColumns& columns, const ZQDBBindingInfo& info);

// Adds the CREATE statement of a table or view binding to the schema
// registry (procedures and cursors add nothing). Called once per binding
// when the library that holds it is loaded; a second call for the same
// object is ignored. Returns true so that it can initialise a variable.
bool registerBinding(const ZQDBColumns& columns, const ZQDBBindingInfo& info);

// A reference of rows of one table to rows of another: the columns of
// `table` that name a row of `referenced` (local column, referenced
// column). A value of 0 or NULL names no row. Tables declare them so that
// deletions can be checked for rows left pointing at nothing; the database
// does not enforce them (0 stands for "none" in the columns, which a
// foreign key would refuse).
struct TableReference {
  std::string table;
  std::string referenced;
  std::map<std::string, std::string> columns;
};
// Adds the references of `table`, in the form of a binding's foreignKeys
// ("MMDrive: DriveId = DriveId; ..."); a binding's own are added with it.
void registerReferences(const std::string& table, const char* references);
// Every reference registered, in registration order.
std::vector<TableReference> tableReferences();

// The value of one field of a row, as it is written to its column: the
// integer, the text of a fixed text (never read past the field), the heap
// text (NULL when null), the date and time as text (NULL when cleared).
DbValue fieldValue(const ZQDBColumnDesc& column, const void* row);
// Puts `text` into a fixed text field of `size` bytes: cut to size - 1
// bytes on a character boundary, the rest of the field zeros. Returns the
// bytes put.
std::size_t putFixedText(char* field, std::size_t size, std::string_view text);
// The same for a field that this engine filled last, leaving zeros from
// byte `extent` on (its text's length then; `size` or more when that is not
// known): only bytes before the old extent are zeroed again, and `extent`
// becomes the new text's length. A field written since whose old extent
// byte is no longer zero, as any longer text written over it leaves it, is
// zeroed whole. Rows fetched one after another into one field thus do not
// clear a field of kilobytes for a text of a few bytes.
std::size_t putFixedText(char* field, std::size_t size, std::string_view text, std::size_t& extent);
// Replaces an owned heap text (array-allocated) with the text of `value`,
// or null for NULL; the old text is released.
void putHeapText(char*& heap, const DbValue& value);
// The same with the text itself (never null).
void putHeapText(char*& heap, std::string_view text);

}  // namespace tkdb
