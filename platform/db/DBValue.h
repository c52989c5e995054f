// A column or parameter value as the database engine moves it between SQLite,
// stored-procedure bodies and the rows of the bindings: NULL, an integer, a
// real number or a text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tkdb {

struct DbValue {
  enum class Type { Null, Int, Real, Text };

  Type type = Type::Null;
  long long i = 0;
  double r = 0.0;
  std::string s;

  DbValue() = default;
  DbValue(std::nullptr_t) {}
  DbValue(int v) : type(Type::Int), i(v) {}
  DbValue(long v) : type(Type::Int), i(v) {}
  DbValue(long long v) : type(Type::Int), i(v) {}
  DbValue(unsigned int v) : type(Type::Int), i(v) {}
  DbValue(unsigned long v) : type(Type::Int), i(static_cast<long long>(v)) {}
  DbValue(unsigned long long v) : type(Type::Int), i(static_cast<long long>(v)) {}
  DbValue(double v) : type(Type::Real), r(v) {}
  DbValue(const char* v) {
    if (v != nullptr) {
      type = Type::Text;
      s = v;
    }
  }
  DbValue(std::string v) : type(Type::Text), s(std::move(v)) {}

  bool isNull() const { return type == Type::Null; }
  bool operator==(const DbValue& o) const {
    if (type != o.type) return false;
    switch (type) {
      case Type::Null: return true;
      case Type::Int: return i == o.i;
      case Type::Real: return r == o.r;
      case Type::Text: return s == o.s;
    }
    return false;
  }
  // A readable form for test messages and journals: NULL, 12, 1.5 or 'text'.
  std::string describe() const {
    switch (type) {
      case Type::Null: return "NULL";
      case Type::Int: return std::to_string(i);
      case Type::Real: return std::to_string(r);
      case Type::Text: return "'" + s + "'";
    }
    return "";
  }
};

using DbRow = std::vector<DbValue>;
using DbRows = std::vector<DbRow>;

// One column value of a row read in place: a text points into the engine's
// buffer (or the row held in memory) and lasts until the next row.
struct DbCell {
  DbValue::Type type = DbValue::Type::Null;
  long long i = 0;
  double r = 0.0;
  std::string_view text;

  bool isNull() const { return type == DbValue::Type::Null; }
  // The value as the engine's own (a copy), for the uncommon conversions.
  DbValue value() const {
    switch (type) {
      case DbValue::Type::Null: return DbValue();
      case DbValue::Type::Int: return DbValue(i);
      case DbValue::Type::Real: return DbValue(r);
      case DbValue::Type::Text: return DbValue(std::string(text));
    }
    return DbValue();
  }
};

// A value held in memory read as a cell: its text stays where the value
// keeps it.
inline DbCell cellOf(const DbValue& value) {
  DbCell cell;
  cell.type = value.type;
  cell.i = value.i;
  cell.r = value.r;
  if (value.type == DbValue::Type::Text) cell.text = value.s;
  return cell;
}

// Reading a value into a row field (the engine's rows, the table access's
// records).
//
// The value as an integer: NULL and the empty text read 0, a real is cut
// toward zero (false beyond the 64-bit range), a text must hold one decimal
// number that fits 64 bits; with `blanksAround` blanks around it are
// allowed too and an all-blank text reads 0. False when it is no number.
bool integerOf(const DbValue& value, long long& out, bool blanksAround);
// The same for a value read in place.
inline bool integerOf(const DbCell& value, long long& out, bool blanksAround) {
  switch (value.type) {
    case DbValue::Type::Null: out = 0; return true;
    case DbValue::Type::Int: out = value.i; return true;
    // A real or a text in a number's column is rare: read as the engine's
    // own value.
    case DbValue::Type::Real:
    case DbValue::Type::Text: return integerOf(value.value(), out, blanksAround);
  }
  return false;
}
// The value as text: NULL reads empty, an integer in decimal, a real with
// 17 significant digits.
std::string textOf(const DbValue& value);
// The length of the longest prefix of `text` of at most `limit` bytes that
// does not end inside a UTF-8 character.
std::size_t cutOnCharacter(std::string_view text, std::size_t limit);

}  // namespace tkdb
