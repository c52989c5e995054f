// Filling every field of a row with a distinct value, and comparing two
// rows field by field, through the column table the binding declares: the
// round trips of whole rows use them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Db/ZQDBBinding.h"

namespace sptest {

// A text of exactly `length` characters that differs per column.
inline std::string columnText(int column, size_t length) {
  std::string s;
  s.reserve(length);
  const std::string stem = "c" + std::to_string(column) + "-";
  while (s.size() < length) s += stem[s.size() % stem.size()];
  return s;
}

// Every field set: integers from the seed (64-bit ones beyond 32 bits),
// fixed texts to their full length, heap texts to a text of the column,
// date-times to a date of the column. The serial column is left alone.
template <class Row>
void fillRow(Row& row, int seed, const char* serial = nullptr) {
  const ZQDBColumns& cols = Row::zqdbColumns();
  char* base = reinterpret_cast<char*>(&row);
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    if (serial != nullptr && std::strcmp(c.name, serial) == 0) continue;
    char* field = base + c.offset;
    switch (c.field) {
      case ZQDBFieldKind::Int32: {
        int v = seed * 100 + i + 1;
        if (i % 3 == 2) v = -v;  // signed columns keep their sign
        std::memcpy(field, &v, sizeof v);
        break;
      }
      case ZQDBFieldKind::Int64: {
        long long v = (static_cast<long long>(seed) << 36) + i + 1;
        std::memcpy(field, &v, sizeof v);
        break;
      }
      case ZQDBFieldKind::DateTime: {
        auto* dt = reinterpret_cast<DB_DATETIME*>(field);
        tagTIMESTAMP_STRUCT ts{static_cast<int16_t>(2000 + seed), static_cast<uint16_t>(1 + i % 12),
                               static_cast<uint16_t>(1 + i % 28), static_cast<uint16_t>(i % 24),
                               static_cast<uint16_t>(seed % 60), static_cast<uint16_t>(i % 60), 0};
        *dt = ts;
        break;
      }
      case ZQDBFieldKind::FixedText: {
        std::string text = columnText(i + seed, c.size - 1);
        std::memcpy(field, text.c_str(), text.size() + 1);
        break;
      }
      case ZQDBFieldKind::HeapText: {
        char*& heap = *reinterpret_cast<char**>(field);
        delete[] heap;
        std::string text = "heap text of column " + std::to_string(i) + " with 'quotes' and 100% of it";
        heap = new char[text.size() + 1];
        std::memcpy(heap, text.c_str(), text.size() + 1);
        break;
      }
    }
  }
}

// Field-by-field equality (date-times by their seven parts).
template <class Row>
void expectRowsEqual(const Row& want, const Row& got, const char* skip = nullptr) {
  const ZQDBColumns& cols = Row::zqdbColumns();
  const char* a = reinterpret_cast<const char*>(&want);
  const char* b = reinterpret_cast<const char*>(&got);
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    if (skip != nullptr && std::strcmp(c.name, skip) == 0) continue;
    SCOPED_TRACE(c.name);
    const char* fa = a + c.offset;
    const char* fb = b + c.offset;
    switch (c.field) {
      case ZQDBFieldKind::Int32: {
        int x, y;
        std::memcpy(&x, fa, sizeof x);
        std::memcpy(&y, fb, sizeof y);
        EXPECT_EQ(x, y);
        break;
      }
      case ZQDBFieldKind::Int64: {
        long long x, y;
        std::memcpy(&x, fa, sizeof x);
        std::memcpy(&y, fb, sizeof y);
        EXPECT_EQ(x, y);
        break;
      }
      case ZQDBFieldKind::DateTime: {
        const auto* x = reinterpret_cast<const DB_DATETIME*>(fa);
        const auto* y = reinterpret_cast<const DB_DATETIME*>(fb);
        EXPECT_EQ(x->year, y->year);
        EXPECT_EQ(x->month, y->month);
        EXPECT_EQ(x->day, y->day);
        EXPECT_EQ(x->hour, y->hour);
        EXPECT_EQ(x->minute, y->minute);
        EXPECT_EQ(x->second, y->second);
        EXPECT_EQ(x->fraction, y->fraction);
        break;
      }
      case ZQDBFieldKind::FixedText:
        EXPECT_EQ(std::string(fa), std::string(fb));
        break;
      case ZQDBFieldKind::HeapText: {
        const char* x = *reinterpret_cast<const char* const*>(fa);
        const char* y = *reinterpret_cast<const char* const*>(fb);
        ASSERT_EQ(x == nullptr, y == nullptr);
        if (x != nullptr) {
          EXPECT_STREQ(x, y);
        }
        break;
      }
    }
  }
}

}  // namespace sptest
