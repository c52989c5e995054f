#include "tests/xml/TestClasses.h"

#include <climits>

namespace xmltest {
namespace {

using tkxml::FieldKind;

const tkxml::Registrar kRegistrar{
    {"TkTest::Outer", kNs, kOuter, kOuterHash,
     {
         {kNumber.tag, kNumber.ordinal, kNumber.hash, FieldKind::Int64},
         {kText.tag, kText.ordinal, kText.hash, FieldKind::String},
         {kSecret.tag, kSecret.ordinal, kSecret.hash, FieldKind::PString},
         {kBlob.tag, kBlob.ordinal, kBlob.hash, FieldKind::BString},
         {kNumbers.tag, kNumbers.ordinal, kNumbers.hash, FieldKind::IntList},
         {kChild.tag, kChild.ordinal, kChild.hash, FieldKind::Object, kNs, kInner},
         {kChildren.tag, kChildren.ordinal, kChildren.hash, FieldKind::ObjectList, kNs, kInner},
         {kSelf.tag, kSelf.ordinal, kSelf.hash, FieldKind::Object, kNs, kOuter},
         {kOddOrdinal.tag, kOddOrdinal.ordinal, kOddOrdinal.hash, FieldKind::Int64},
     }},
    {"TkTest::Inner", kNs, kInner, kInnerHash,
     {
         {kInnerNumber.tag, kInnerNumber.ordinal, kInnerNumber.hash, FieldKind::Int64},
         {kInnerText.tag, kInnerText.ordinal, kInnerText.hash, FieldKind::String},
         {kLeaves.tag, kLeaves.ordinal, kLeaves.hash, FieldKind::ObjectList, kNs, kLeaf},
     }},
    {"TkTest::Leaf", kNs, kLeaf, kLeafHash,
     {
         {kLeafNumber.tag, kLeafNumber.ordinal, kLeafNumber.hash, FieldKind::Int64},
         {kLeafText.tag, kLeafText.ordinal, kLeafText.hash, FieldKind::String},
     }},
};

long long numberFor(int seed, unsigned tag) {
  switch ((seed + static_cast<int>(tag)) % 4) {
    case 0: return LLONG_MIN;
    case 1: return LLONG_MAX;
    case 2: return -1;
    default: return 0x123456789ABCDEFLL + seed;
  }
}

}  // namespace

std::string awkwardText(int seed) {
  std::string s = "a&b<c>d\"e'f\tg\nh\r\ni";
  s += std::string("\x00\x01\x1f\x7f", 4);
  s += "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80";  // two- three- and four-byte characters
  s += "\xff\xfe\xc0\xaf\xed\xa0\x80\xe0\x80";   // not UTF-8: stray, overlong, surrogate, truncated
  s += "\xef\x9c\x80\xef\x9f\xbf";               // U+F700 and U+F7FF themselves
  s += "\xef\xbf\xbe\xef\xbf\xbf";               // U+FFFE and U+FFFF
  s += "]]> &amp; &#9;";
  s += std::to_string(seed);
  return s;
}

void fillAll(CNMessageBase& m, int depth, int seed) {
  tkxml::ClassInfoPtr info = tkxml::findClass(m.getNamespace(), m.getClassNumber());
  if (!info) return;
  for (const tkxml::FieldDef& f : info->fields) {
    switch (f.kind) {
      case FieldKind::Int64:
        m.setint64(f.ordinal, f.tag, numberFor(seed, f.tag), info->classHash, f.hash);
        break;
      case FieldKind::String:
        m.setstring(f.ordinal, f.tag, awkwardText(seed + static_cast<int>(f.tag)), info->classHash, f.hash);
        break;
      case FieldKind::PString:
        m.setpstringobject(f.ordinal, f.tag, "pa&ss<" + std::to_string(seed), tkxml::kCipherText, info->classHash,
                           f.hash);
        break;
      case FieldKind::BString: {
        std::string bytes;
        for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>((b + seed) & 0xFF));
        m.setbstringobject(f.ordinal, f.tag, bstring(bytes), info->classHash, f.hash);
        break;
      }
      case FieldKind::IntList:
        m.getlistint(f.ordinal, f.tag, info->classHash, f.hash) = {LLONG_MIN, -1, 0, 1, LLONG_MAX, seed};
        break;
      case FieldKind::Object:
        if (depth > 0) {
          CNMessageBase& child = m.getObjectAccessor(true, true, f.ordinal, f.tag, info->classHash, f.hash, f.ns, f.cls);
          fillAll(child, depth - 1, seed + 1);
        }
        break;
      case FieldKind::ObjectList: {
        tkxml::MessageList& list = m.getlistobject(f.ordinal, f.tag, info->classHash, f.hash, true);
        if (depth > 0) {
          for (int i = 0; i < 2; ++i) {
            CNMessageBase item(f.ns, f.cls);
            fillAll(item, depth - 1, seed + 10 + i);
            list.push_back(item);
          }
        }
        break;
      }
    }
  }
}

}  // namespace xmltest
