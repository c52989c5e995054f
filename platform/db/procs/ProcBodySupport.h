// Small helpers shared by the stored-procedure bodies of the device-path,
// mount-path deletion, hybrid-cloud and client-properties objects: reading
// integer inputs, reading the id attributes of the XML lists the
// procedures take, and asking which columns a table has in this database.
// Inside platform/db/procs only.
#pragma once

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/db/DBValue.h"

namespace tkprocs {

// The inputs as integers: exactly `count` of them, each an integer.
inline bool intInputs(const std::vector<tkdb::DbValue>& inputs, size_t count, std::vector<long long>& out) {
  if (inputs.size() != count) return false;
  out.clear();
  for (const tkdb::DbValue& v : inputs) {
    if (v.type != tkdb::DbValue::Type::Int) return false;
    out.push_back(v.i);
  }
  return true;
}

// The one text input at `index` (a NULL reads as the empty text); false
// when it is neither text nor NULL.
inline bool textInput(const std::vector<tkdb::DbValue>& inputs, size_t index, std::string& out) {
  if (index >= inputs.size()) return false;
  const tkdb::DbValue& v = inputs[index];
  if (v.type == tkdb::DbValue::Type::Null) {
    out.clear();
    return true;
  }
  if (v.type != tkdb::DbValue::Type::Text) return false;
  out = v.s;
  return true;
}

// Reads a list of the form <List><Element id="1"/><Element id="2"/></List>:
// the ids of every `element` in document order. Blanks between the parts
// are allowed; the empty text is the empty list. Anything else (another
// element, a missing or non-numeric id, an id outside 1..INT_MAX, text
// after the list) makes it fail, so that a damaged list is refused whole
// and never read in part.
inline bool readIdList(const std::string& text, const char* list, const char* element, std::vector<long long>& ids) {
  ids.clear();
  size_t i = 0;
  auto blanks = [&]() {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
  };
  auto take = [&](const std::string& word) {
    if (text.compare(i, word.size(), word) != 0) return false;
    i += word.size();
    return true;
  };
  blanks();
  if (i == text.size()) return true;
  if (!take(std::string("<") + list + ">")) return false;
  const std::string open = std::string("<") + element;
  const std::string close = std::string("</") + list + ">";
  while (true) {
    blanks();
    if (take(close)) break;
    if (!take(open)) return false;
    if (i >= text.size() || std::isspace(static_cast<unsigned char>(text[i])) == 0) return false;
    blanks();
    if (!take("id")) return false;
    blanks();
    if (!take("=")) return false;
    blanks();
    if (!take("\"")) return false;
    size_t start = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) ++i;
    if (i == start || i - start > 10) return false;
    errno = 0;
    long long id = std::strtoll(text.substr(start, i - start).c_str(), nullptr, 10);
    if (errno != 0 || id < 1 || id > INT_MAX) return false;
    if (!take("\"")) return false;
    blanks();
    if (!take("/>")) return false;
    ids.push_back(id);
  }
  blanks();
  return i == text.size();
}

// Writes a list of the form readIdList reads.
inline std::string writeIdList(const char* list, const char* element, const std::vector<long long>& ids) {
  if (ids.empty()) return std::string();
  std::string text = std::string("<") + list + ">";
  for (long long id : ids) text += std::string("<") + element + " id=\"" + std::to_string(id) + "\"/>";
  text += std::string("</") + list + ">";
  return text;
}

// The columns a table has in this database, in lower case.
inline int columnsOf(tkdb::Session& session, const std::string& table, std::set<std::string>& names) {
  names.clear();
  tkdb::DbRows rows;
  int code = session.query("SELECT name FROM pragma_table_info(?)", {table}, rows);
  if (code != 0) return code;
  for (const tkdb::DbRow& row : rows) {
    if (row.empty() || row[0].type != tkdb::DbValue::Type::Text) continue;
    std::string name = row[0].s;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    names.insert(name);
  }
  return 0;
}

// "?, ?, ?" for `count` parameters.
inline std::string marks(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += i == 0 ? "?" : ", ?";
  return text;
}

}  // namespace tkprocs
