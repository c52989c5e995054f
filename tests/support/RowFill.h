// Whole rows of a binding, through its column table: every field filled with
// a value of its own, two rows compared field by field, a row as a procedure
// body yields it, and the round trips of full rows through a table or a
// procedure binding.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Db/ZQDBBinding.h"
#include "platform/db/DBValue.h"
#include "platform/testkit/db.h"
#include "tests/support/BindingChecks.h"

namespace tktest {

// A text of exactly `length` bytes that names its column and seed and
// carries a quote, a doubled quote, printf conversions and both letter cases.
inline std::string fillText(const char* column, int seed, size_t length) {
  std::string text = std::string(column) + "-" + std::to_string(seed) + " O'Neil''s %s %d ";
  const std::string filler = "AbCdEfGhIj";
  while (text.size() < length) text += filler[text.size() % filler.size()];
  text.resize(length);
  return text;
}

// Every field but `skip` set, different per column and seed: integers of
// both signs and near the 32-bit limit, 64-bit values beyond 32 bits of both
// signs, fixed texts to their full width, heap texts longer than any fixed
// field, date-times of their own.
template <class Row>
void fillRow(Row& row, int seed, const char* skip = nullptr) {
  const ZQDBColumns& cols = Row::zqdbColumns();
  char* base = reinterpret_cast<char*>(&row);
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    if (skip != nullptr && std::strcmp(skip, c.name) == 0) continue;
    char* field = base + c.offset;
    switch (c.field) {
      case ZQDBFieldKind::Int32: {
        int v = (i % 3 == 2 ? -1 : 1) * (seed * 1000 + i + 1);
        if (i % 7 == 6) v = INT_MAX - i;
        std::memcpy(field, &v, sizeof v);
        break;
      }
      case ZQDBFieldKind::Int64: {
        long long v = (1LL << 40) * (i + 1) + seed;
        if (i % 2 == 1) v = -v;
        std::memcpy(field, &v, sizeof v);
        break;
      }
      case ZQDBFieldKind::FixedText: {
        std::string text = fillText(c.name, seed, c.size - 1);
        std::memcpy(field, text.c_str(), text.size() + 1);
        break;
      }
      case ZQDBFieldKind::HeapText: {
        std::string text = fillText(c.name, seed, 5000 + static_cast<size_t>(i));
        char*& heap = *reinterpret_cast<char**>(field);
        delete[] heap;
        heap = new char[text.size() + 1];
        std::memcpy(heap, text.c_str(), text.size() + 1);
        break;
      }
      case ZQDBFieldKind::DateTime:
        *reinterpret_cast<DB_DATETIME*>(field) =
            tagTIMESTAMP_STRUCT{static_cast<int16_t>(2000 + seed), static_cast<uint16_t>(1 + i % 12),
                                static_cast<uint16_t>(1 + i % 28), static_cast<uint16_t>(i % 24),
                                static_cast<uint16_t>(seed % 60), static_cast<uint16_t>(i % 60), 0};
        break;
    }
  }
}

// Every column of the two rows equal but `skip` (date-times by their seven
// parts, heap texts by text or both null).
template <class Row>
void expectSameRow(const Row& want, const Row& got, const char* skip = nullptr) {
  const ZQDBColumns& cols = Row::zqdbColumns();
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    if (skip != nullptr && std::strcmp(skip, c.name) == 0) continue;
    SCOPED_TRACE(c.name);
    const char* a = reinterpret_cast<const char*>(&want) + c.offset;
    const char* b = reinterpret_cast<const char*>(&got) + c.offset;
    switch (c.field) {
      case ZQDBFieldKind::Int32: EXPECT_EQ(*reinterpret_cast<const int*>(a), *reinterpret_cast<const int*>(b)); break;
      case ZQDBFieldKind::Int64:
        EXPECT_EQ(*reinterpret_cast<const long long*>(a), *reinterpret_cast<const long long*>(b));
        break;
      case ZQDBFieldKind::FixedText: EXPECT_EQ(std::string(a), std::string(b)); break;
      case ZQDBFieldKind::HeapText: {
        const char* x = *reinterpret_cast<char* const*>(a);
        const char* y = *reinterpret_cast<char* const*>(b);
        ASSERT_EQ(x == nullptr, y == nullptr);
        if (x != nullptr) {
          EXPECT_STREQ(x, y);
        }
        break;
      }
      case ZQDBFieldKind::DateTime: {
        const auto* x = reinterpret_cast<const DB_DATETIME*>(a);
        const auto* y = reinterpret_cast<const DB_DATETIME*>(b);
        EXPECT_EQ(0, std::memcmp(x, y, sizeof(tagTIMESTAMP_STRUCT))) << x->year << "-" << x->month << "-" << x->day;
        break;
      }
    }
  }
}

// The row as a procedure body (or a test's override) yields it.
template <class Row>
tkdb::DbRow rowValues(const Row& row) {
  const ZQDBColumns& cols = Row::zqdbColumns();
  tkdb::DbRow values;
  for (int i = 0; i < cols.count; ++i) {
    const char* field = reinterpret_cast<const char*>(&row) + cols.cols[i].offset;
    switch (cols.cols[i].field) {
      case ZQDBFieldKind::Int32: values.emplace_back(*reinterpret_cast<const int*>(field)); break;
      case ZQDBFieldKind::Int64: values.emplace_back(*reinterpret_cast<const long long*>(field)); break;
      case ZQDBFieldKind::FixedText: values.emplace_back(std::string(field)); break;
      case ZQDBFieldKind::HeapText: values.emplace_back(*reinterpret_cast<char* const*>(field)); break;
      case ZQDBFieldKind::DateTime: {
        const auto* d = reinterpret_cast<const DB_DATETIME*>(field);
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", d->year, d->month, d->day, d->hour,
                      d->minute, d->second);
        values.emplace_back(std::string(text));
        break;
      }
    }
  }
  return values;
}

// The 32-bit field of `column`.
template <class Row>
int& intField(Row& row, const char* column) {
  const ZQDBColumns& cols = Row::zqdbColumns();
  for (int i = 0; i < cols.count; ++i) {
    if (std::strcmp(cols.cols[i].name, column) == 0) {
      return *reinterpret_cast<int*>(reinterpret_cast<char*>(&row) + cols.cols[i].offset);
    }
  }
  ADD_FAILURE() << "no column " << column;
  static int none = 0;
  return none;
}

// A full row written through one `Table` object and read back through
// another by `key`, every column compared. `givenKey` is written as the key
// (tables without a serial column); otherwise the database assigns it.
// Returns the key.
template <class Table>
int expectTableRoundTrip(const char* key, int seed, int givenKey = 0) {
  SCOPED_TRACE(std::string(key) + " of seed " + std::to_string(seed));
  Table writer(nullptr);
  auto& written = *writer.getDataPtr();
  fillRow(written, seed);
  if (givenKey != 0) intField(written, key) = givenKey;
  EXPECT_EQ(0, writer.rowInsert(true));
  const int id = intField(written, key);
  EXPECT_GT(id, 0);
  Table reader(nullptr);
  reader.setWhere("%s = %d", key, id);
  EXPECT_EQ(0, getOneRow(&reader, false, -1, 0));
  expectSameRow(written, *reader.getDataPtr());
  return id;
}

// A full row as the body of `name` yields it reaches every field of the
// procedure's (or cursor's) row, texts to the full width of their fields, in
// both modes, and in the typed mode every value object.
template <class Proc, class Bind>
void expectProcedureRoundTrip(const char* name, int seed, Bind bind) {
  SCOPED_TRACE(name);
  using Row = typename BindingOf<Proc>::Row;
  Row expected;
  fillRow(expected, seed);
  testkit::db::overrideProcedure(name, {rowValues(expected)});
  forBothModes([&](int mode) {
    Proc proc(nullptr);
    bind(proc);
    ASSERT_EQ(0, getOneRow(&proc, false, -1, 0));
    expectSameRow(expected, *proc.getDataPtr());
    if (mode == 0) return;
    std::vector<ZQDBDataTypeBase*> values = proc.getCatalogue()->getData();
    const ZQDBColumns& cols = Row::zqdbColumns();
    ASSERT_EQ(static_cast<size_t>(cols.count), values.size());
    for (int i = 0; i < cols.count; ++i) {
      SCOPED_TRACE(cols.cols[i].name);
      ZQDBDataTypeBase* v = values[static_cast<size_t>(i)];
      EXPECT_FALSE(v->isNull());
      const char* field = reinterpret_cast<const char*>(proc.getDataPtr()) + cols.cols[i].offset;
      if (auto* n = dynamic_cast<ZQDB_int*>(v)) {
        EXPECT_EQ(*reinterpret_cast<const int*>(field), n->getValue());
      }
      if (auto* n = dynamic_cast<ZQDB_int64*>(v)) {
        EXPECT_EQ(*reinterpret_cast<const long long*>(field), n->getValue());
      }
    }
  });
  testkit::db::clearProcedureOverrides();
}

}  // namespace tktest
