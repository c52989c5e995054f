// Message classes registered only in this test executable (namespace 240), so
// that every field kind is exercised, and a filler that sets every field of
// any registered class from the registry.
#pragma once

#include <string>

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace xmltest {

// TkTest::Outer (240:1): every kind of field.
inline constexpr unsigned kNs = 240;
inline constexpr unsigned kOuter = 1;
inline constexpr unsigned kOuterHash = 0xF0000001;
inline constexpr unsigned kInner = 2;
inline constexpr unsigned kInnerHash = 0xF0000002;
inline constexpr unsigned kLeaf = 3;
inline constexpr unsigned kLeafHash = 0xF0000003;

// Fields of Outer: {tag, ordinal, hash}.
struct F {
  unsigned tag;
  unsigned ordinal;
  unsigned hash;
};
inline constexpr F kNumber{1, 1, 11};        // int64
inline constexpr F kText{2, 2, 12};          // string
inline constexpr F kSecret{3, 3, 13};        // pstring
inline constexpr F kBlob{4, 4, 14};          // bstring
inline constexpr F kNumbers{5, 5, 15};       // int list
inline constexpr F kChild{7, 6, 16};         // object of Inner
inline constexpr F kChildren{8, 7, 17};      // list of Inner
inline constexpr F kSelf{9, 9, 18};          // object of Outer (recursive)
inline constexpr F kOddOrdinal{20, 12, 10268693};  // int64 whose ordinal is not its tag
// Fields of Inner.
inline constexpr F kInnerNumber{1, 1, 101};
inline constexpr F kInnerText{2, 2, 102};
inline constexpr F kLeaves{3, 3, 103};       // list of Leaf
// Fields of Leaf.
inline constexpr F kLeafNumber{0, 1, 201};   // tag 0
inline constexpr F kLeafText{5, 2, 202};

// Sets every field the registry lists for the message's class, nesting
// messages `depth` levels at most. `seed` varies the values.
void fillAll(CNMessageBase& m, int depth, int seed);

// A text holding every kind of awkward byte: XML specials, control
// characters, invalid UTF-8, U+F7xx, U+FFFE, multi-byte characters.
std::string awkwardText(int seed);

}  // namespace xmltest
