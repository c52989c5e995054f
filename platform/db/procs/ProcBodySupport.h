// What the stored-procedure bodies share: registering a body at library
// load, reading and refusing inputs, answering with the rows of a query,
// and reading and writing the id lists of XML form that some procedures
// take and give. Inside platform/db/procs only.
//
// A body that is one query over its integer inputs is one line:
//
//   [[maybe_unused]] const bool kRegistered = tkprocs::registered(
//       kName, tkprocs::queryOverIntegers(kName, 1, "one integer (the mount-path id)", kSql));
//
// and a body of its own reads its inputs first:
//
//   std::vector<long long> in;
//   if (!tkprocs::integerInputs(call, kName, 3, "three integers (...)", in)) return DB_ERR_INPUT;
//   ...
//   return tkprocs::answer(call, sql, {in[0]});
#pragma once

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/db/DBValue.h"
#include "platform/db/DBtable.h"

namespace tkprocs {

// Registers the body of a procedure (or of a cursor's batch) under its
// name; true, for a namespace-scope constant that runs it at library load.
inline bool registered(const char* name, tkdb::ProcBody body) {
  tkdb::registerProcedure(name, std::move(body));
  return true;
}

// Refuses a call whose inputs do not fit: the error says what the
// procedure takes ("<name> takes <what>"); DB_ERR_INPUT.
inline int refuse(tkdb::ProcCall& call, const char* name, const std::string& what) {
  call.error = std::string(name) + " takes " + what;
  return DB_ERR_INPUT;
}

// A failure of the call's session: its text becomes the call's error; the
// code is returned.
inline int failed(tkdb::ProcCall& call, int code) {
  call.error = call.session.errorText();
  return code;
}

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

// The call's inputs as `count` integers; otherwise false, with the call
// refused as `refuse` does.
inline bool integerInputs(tkdb::ProcCall& call, const char* name, size_t count, const char* what,
                          std::vector<long long>& out) {
  if (intInputs(call.inputs, count, out)) return true;
  refuse(call, name, what);
  return false;
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

// True when the call has exactly `count` inputs (of any type); otherwise
// false, with the call refused as "<name> takes <what>, not <n>".
inline bool inputCount(tkdb::ProcCall& call, const char* name, size_t count, const char* what) {
  if (call.inputs.size() == count) return true;
  refuse(call, name, std::string(what) + ", not " + std::to_string(call.inputs.size()));
  return false;
}

// Answers the call with the rows of the query: the session's result, its
// text the call's error on failure.
inline int answer(tkdb::ProcCall& call, const std::string& sql, const std::vector<tkdb::DbValue>& params) {
  int code = call.session.query(sql, params, call.rows);
  return code != DB_OK ? failed(call, code) : code;
}

// The body of a procedure that is one query over `count` integer inputs,
// bound in input order (?1, ?2, ...); other inputs are refused with "<name>
// takes <what>".
inline tkdb::ProcBody queryOverIntegers(const char* name, size_t count, const char* what, const char* sql) {
  return [name, count, what, sql](tkdb::ProcCall& call) -> int {
    std::vector<long long> in;
    if (!integerInputs(call, name, count, what, in)) return DB_ERR_INPUT;
    return answer(call, sql, std::vector<tkdb::DbValue>(in.begin(), in.end()));
  };
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

// "?, ?, ?" for `count` parameters.
inline std::string marks(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += i == 0 ? "?" : ", ?";
  return text;
}

}  // namespace tkprocs
