// Fills every field of a row with a value of its own (texts to their full
// width) and compares two rows field by field, through the row's column
// table, so that a round trip covers every column of a binding.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Db/ZQDBBinding.h"
#include "platform/db/DBValue.h"

namespace dbprocs {

// A text of `length` characters that names its column and seed.
inline std::string fillText(const char* column, int seed, size_t length) {
  std::string text = std::string(column) + "#" + std::to_string(seed) + ":";
  while (text.size() < length) text += static_cast<char>('a' + text.size() % 26);
  text.resize(length);
  return text;
}

// Every field but `skip` (the serial column, which the database assigns).
template <class Row>
void fillRow(Row& row, int seed, const char* skip = nullptr) {
  const ZQDBColumns& c = Row::zqdbColumns();
  char* base = reinterpret_cast<char*>(&row);
  for (int i = 0; i < c.count; ++i) {
    const ZQDBColumnDesc& col = c.cols[i];
    if (skip != nullptr && std::strcmp(skip, col.name) == 0) continue;
    char* field = base + col.offset;
    switch (col.field) {
      case ZQDBFieldKind::Int32: {
        int v = seed * 1000 + i * 7 - 3000;  // some negative
        std::memcpy(field, &v, sizeof v);
        break;
      }
      case ZQDBFieldKind::Int64: {
        long long v = 5'000'000'000LL * (i + 1) + seed;
        std::memcpy(field, &v, sizeof v);
        break;
      }
      case ZQDBFieldKind::FixedText: {
        std::string text = fillText(col.name, seed, col.size - 1);  // the full width
        std::memcpy(field, text.c_str(), text.size() + 1);
        break;
      }
      case ZQDBFieldKind::HeapText: {
        std::string text = fillText(col.name, seed, 40 + static_cast<size_t>(i) * 3) + "'quote";
        char*& heap = *reinterpret_cast<char**>(field);
        delete[] heap;
        heap = new char[text.size() + 1];
        std::memcpy(heap, text.c_str(), text.size() + 1);
        break;
      }
      case ZQDBFieldKind::DateTime: {
        auto* dt = reinterpret_cast<DB_DATETIME*>(field);
        *dt = tagTIMESTAMP_STRUCT{2024, 2, 29, 23, 59, 58, 0};
        break;
      }
    }
  }
}

template <class Row>
void expectSameRow(const Row& want, const Row& got, const char* skip = nullptr) {
  const ZQDBColumns& c = Row::zqdbColumns();
  const char* a = reinterpret_cast<const char*>(&want);
  const char* b = reinterpret_cast<const char*>(&got);
  for (int i = 0; i < c.count; ++i) {
    const ZQDBColumnDesc& col = c.cols[i];
    if (skip != nullptr && std::strcmp(skip, col.name) == 0) continue;
    SCOPED_TRACE(col.name);
    const char* fa = a + col.offset;
    const char* fb = b + col.offset;
    switch (col.field) {
      case ZQDBFieldKind::Int32:
        EXPECT_EQ(*reinterpret_cast<const int*>(fa), *reinterpret_cast<const int*>(fb));
        break;
      case ZQDBFieldKind::Int64:
        EXPECT_EQ(*reinterpret_cast<const long long*>(fa), *reinterpret_cast<const long long*>(fb));
        break;
      case ZQDBFieldKind::FixedText:
        EXPECT_STREQ(fa, fb);
        break;
      case ZQDBFieldKind::HeapText: {
        const char* ha = *reinterpret_cast<char* const*>(fa);
        const char* hb = *reinterpret_cast<char* const*>(fb);
        if (ha == nullptr || hb == nullptr) {
          EXPECT_EQ(ha, hb);
        } else {
          EXPECT_STREQ(ha, hb);
        }
        break;
      }
      case ZQDBFieldKind::DateTime: {
        auto* da = reinterpret_cast<const DB_DATETIME*>(fa);
        auto* db = reinterpret_cast<const DB_DATETIME*>(fb);
        EXPECT_EQ(da->year, db->year);
        EXPECT_EQ(da->second, db->second);
        break;
      }
    }
  }
}

// The row as a procedure body (or a test's override) would yield it.
template <class Row>
tkdb::DbRow rowValues(const Row& row) {
  const ZQDBColumns& c = Row::zqdbColumns();
  const char* base = reinterpret_cast<const char*>(&row);
  tkdb::DbRow values;
  for (int i = 0; i < c.count; ++i) {
    const char* field = base + c.cols[i].offset;
    switch (c.cols[i].field) {
      case ZQDBFieldKind::Int32:
        values.emplace_back(*reinterpret_cast<const int*>(field));
        break;
      case ZQDBFieldKind::Int64:
        values.emplace_back(*reinterpret_cast<const long long*>(field));
        break;
      case ZQDBFieldKind::FixedText:
        values.emplace_back(std::string(field));
        break;
      case ZQDBFieldKind::HeapText:
        values.emplace_back(*reinterpret_cast<char* const*>(field));
        break;
      case ZQDBFieldKind::DateTime:
        values.emplace_back();
        break;
    }
  }
  return values;
}

}  // namespace dbprocs
