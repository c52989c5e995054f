// Accessors: checks against the registry, write-through of nested accessors,
// null accessors, isSet, lists and protected texts.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "frame/TextHelpers.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/xml.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/xml/TestClasses.h"

using namespace xmltest;

namespace {

constexpr unsigned kReqHash = 0x0DF9BE39;
constexpr unsigned kInfoHash = 0x0D17D425;
constexpr unsigned kRespHash = 0x010003F0;

class XmlAccessors : public ::testing::Test {
 protected:
  testkit::xml::Scope scope;
};

std::string text(const CNMessageBase& m) {
  std::string t;
  EXPECT_EQ(m.serialize(t), 0);
  return t;
}

// Each case is one call with one wrong number; it must be logged, counted
// once, and leave the message as it was.
TEST_F(XmlAccessors, EveryWrongNumberIsDetectedAndChangesNothing) {
  struct Case {
    const char* name;
    std::function<void(CNMessageBase&)> call;
    const char* expectedInLog;
  };
  const Case cases[] = {
      {"wrong class hash", [](CNMessageBase& m) { EXPECT_EQ(m.getint64(kNumber.tag, 0xF0000009, kNumber.hash), 0); },
       "wrong class hash"},
      {"wrong tag", [](CNMessageBase& m) { EXPECT_EQ(m.getint64(6, kOuterHash, kNumber.hash), 0); },
       "no field with that tag"},
      {"wrong field hash",
       [](CNMessageBase& m) { EXPECT_EQ(m.getint64(kNumber.tag, kOuterHash, kNumber.hash + 1), 0); },
       "the field's hash is 11"},
      {"wrong ordinal on a setter",
       [](CNMessageBase& m) { EXPECT_NE(m.setint64(kOddOrdinal.tag, kOddOrdinal.tag, 9, kOuterHash, kOddOrdinal.hash), 0); },
       "the field's ordinal is 12"},
      {"wrong kind",
       [](CNMessageBase& m) { EXPECT_EQ(m.getstring(kNumber.ordinal, kNumber.tag, kOuterHash, kNumber.hash), ""); },
       "the field is a int64"},
      {"string setter on a protected field",
       [](CNMessageBase& m) { EXPECT_NE(m.setstring(kSecret.ordinal, kSecret.tag, "x", kOuterHash, kSecret.hash), 0); },
       "the field is a pstring"},
      {"isSet with a wrong ordinal",
       [](CNMessageBase& m) { EXPECT_FALSE(m.isSet(kOddOrdinal.tag, kOuterHash, kOddOrdinal.hash)); },
       "no field with that ordinal and field hash"},
      {"isSet with a wrong class hash",
       [](CNMessageBase& m) { EXPECT_FALSE(m.isSet(kNumber.ordinal, kInnerHash, kNumber.hash)); }, "wrong class hash"},
      {"accessor for another nested class",
       [](CNMessageBase& m) {
         CNMessageBase& c = m.getObjectAccessor(true, true, kChild.ordinal, kChild.tag, kOuterHash, kChild.hash, kNs, kLeaf);
         c.setint64(kLeafNumber.ordinal, kLeafNumber.tag, 1, kLeafHash, kLeafNumber.hash);  // goes nowhere
       },
       "the field holds class 240:2"},
      {"accessor on a value field",
       [](CNMessageBase& m) { m.getObjectAccessor(true, true, kNumber.ordinal, kNumber.tag, kOuterHash, kNumber.hash, kNs, kInner); },
       "the field is a int64"},
      {"list of a value field",
       [](CNMessageBase& m) {
         m.getlistobject(kText.ordinal, kText.tag, kOuterHash, kText.hash).push_back(CNMessageBase(kNs, kInner));
       },
       "the field is a string"},
      {"number list with a wrong hash",
       [](CNMessageBase& m) { m.getlistint(kNumbers.ordinal, kNumbers.tag, kOuterHash, 0).push_back(1); },
       "the field's hash is 15"},
      {"unknown encryption type",
       [](CNMessageBase& m) { EXPECT_NE(m.setpstringobject(kSecret.ordinal, kSecret.tag, "x", 7, kOuterHash, kSecret.hash), 0); },
       "unknown encryption type 7"},
      {"copy of another class into a nested field",
       [](CNMessageBase& m) {
         EXPECT_NE(m.setObjectAccessor(CNMessageBase(kNs, kLeaf), kChild.ordinal, kChild.tag, kOuterHash, kChild.hash), 0);
       },
       "for a field of class 240:2"},
  };
  CNMessageBase original(kNs, kOuter);
  original.setint64(kNumber.ordinal, kNumber.tag, 42, kOuterHash, kNumber.hash);
  const std::string before = text(original);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::xml::resetMismatches();
    testkit::debuglog::Capture log;
    CNMessageBase m(original);
    c.call(m);
    EXPECT_EQ(testkit::xml::mismatchCount(), 1);
    EXPECT_TRUE(log.contains(c.expectedInLog)) << ::testing::PrintToString(testkit::xml::mismatches());
    EXPECT_EQ(text(m), before);
  }
}

TEST_F(XmlAccessors, AnUnregisteredClassAnswersEmptyAndCounts) {
  CNMessageBase m(13, 4000);
  EXPECT_EQ(m.getTagID(), 0u);
  EXPECT_EQ(m.getint64(1, 0x0D000FA0, 1), 0);
  EXPECT_EQ(testkit::xml::mismatchCount(), 2);
  EXPECT_EQ(text(m), "<Message_13_4000/>");
  CNMessageBase back(13, 4000);
  EXPECT_EQ(back.unserialize("<Message_13_4000 x=\"1\"/>"), 0);
  EXPECT_EQ(text(back), "<Message_13_4000 x=\"1\"/>");
}

TEST_F(XmlAccessors, NestedAccessorsWriteThroughToTheirParents) {
  CNMessageBase outer(kNs, kOuter);
  CNMessageBase& child = outer.getObjectAccessor(true, true, kChild.ordinal, kChild.tag, kOuterHash, kChild.hash, kNs, kInner);
  child.setint64(kInnerNumber.ordinal, kInnerNumber.tag, 7, kInnerHash, kInnerNumber.hash);
  tkxml::MessageList& leaves = child.getlistobject(kLeaves.ordinal, kLeaves.tag, kInnerHash, kLeaves.hash);
  CNMessageBase leaf(kNs, kLeaf);
  leaf.setstring(kLeafText.ordinal, kLeafText.tag, "first", kLeafHash, kLeafText.hash);
  leaves.push_back(leaf);
  leaf.setstring(kLeafText.ordinal, kLeafText.tag, "changed after the copy", kLeafHash, kLeafText.hash);
  leaves[0].setint64(kLeafNumber.ordinal, kLeafNumber.tag, 3, kLeafHash, kLeafNumber.hash);
  // The same accessor again is the same child.
  CNMessageBase& again = outer.getObjectAccessor(true, false, kChild.ordinal, kChild.tag, kOuterHash, kChild.hash, kNs, kInner);
  EXPECT_EQ(&again, &child);
  // A copy set in later replaces the content but keeps the reference valid.
  CNMessageBase replacement(kNs, kInner);
  replacement.setstring(kInnerText.ordinal, kInnerText.tag, "set in", kInnerHash, kInnerText.hash);
  CNMessageBase& viaSelf = outer.getObjectAccessor(true, true, kSelf.ordinal, kSelf.tag, kOuterHash, kSelf.hash, kNs, kOuter);
  viaSelf.setint64(kNumber.ordinal, kNumber.tag, 1, kOuterHash, kNumber.hash);
  EXPECT_EQ(text(outer),
            "<TkTest_Outer><TkTest_Inner tag=\"7\" i1=\"7\"><list tag=\"3\"><TkTest_Leaf i0=\"3\" s5=\"first\"/></list>"
            "</TkTest_Inner><TkTest_Outer tag=\"9\" i1=\"1\"/></TkTest_Outer>");
  EXPECT_EQ(outer.setObjectAccessor(replacement, kChild.ordinal, kChild.tag, kOuterHash, kChild.hash), 0);
  EXPECT_EQ(child.getstring(kInnerText.ordinal, kInnerText.tag, kInnerHash, kInnerText.hash), "set in");
  EXPECT_FALSE(child.isSet(kInnerNumber.ordinal, kInnerHash, kInnerNumber.hash));
  // A message set into itself through its own child is copied first.
  EXPECT_EQ(viaSelf.setObjectAccessor(viaSelf, kSelf.ordinal, kSelf.tag, kOuterHash, kSelf.hash), 0);
  EXPECT_EQ(text(viaSelf), "<TkTest_Outer i1=\"1\"><TkTest_Outer tag=\"9\" i1=\"1\"/></TkTest_Outer>");
  EXPECT_EQ(testkit::xml::mismatchCount(), 0);
}

TEST_F(XmlAccessors, ANullAccessorWritesNothingButATopLevelMessageAlwaysWritesItsElement) {
  EVGui::MMConfigurationLockUnlockReq req;
  CNMessageBase& info = req.getObjectAccessor(true, false, 1, 1, kReqHash, 0x37931, 13, 959);
  EXPECT_TRUE(info.isNull());
  EXPECT_EQ(info.getint64(2, kInfoHash, 0xCE3B05), 0);
  std::string t = "stale";
  EXPECT_EQ(info.serialize(t), 0);
  EXPECT_EQ(t, "");
  EXPECT_FALSE(req.isSet(1, kReqHash, 0x37931));
  EXPECT_EQ(text(req), "<EVGui_MMConfigurationLockUnlockReq/>");

  // A copy of a null accessor is a message of its own.
  CNMessageBase copy(info);
  EXPECT_EQ(text(copy), "<EVGui_MMConfigurationLockUnlockInfo/>");

  // Writing into the null accessor makes it part of its parent.
  info.setint64(2, 2, 1, kInfoHash, 0xCE3B05);
  EXPECT_FALSE(info.isNull());
  EXPECT_TRUE(req.isSet(1, kReqHash, 0x37931));
  EXPECT_EQ(text(req),
            "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i2=\"1\"/>"
            "</EVGui_MMConfigurationLockUnlockReq>");

  // With `create` an absent child is present at once, empty.
  EVGui::MMConfigurationLockUnlockReq created;
  created.getObjectAccessor(true, true, 1, 1, kReqHash, 0x37931, 13, 959);
  EXPECT_TRUE(created.isSet(1, kReqHash, 0x37931));
  EXPECT_EQ(text(created),
            "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\"/>"
            "</EVGui_MMConfigurationLockUnlockReq>");

  // Null accessors two levels down become present through their grandparent.
  CNMessageBase outer(kNs, kOuter);
  CNMessageBase& inner = outer.getObjectAccessor(true, false, kChild.ordinal, kChild.tag, kOuterHash, kChild.hash, kNs, kInner);
  tkxml::MessageList& leaves = inner.getlistobject(kLeaves.ordinal, kLeaves.tag, kInnerHash, kLeaves.hash, false);
  EXPECT_EQ(text(outer), "<TkTest_Outer/>");
  leaves.push_back(CNMessageBase(kNs, kLeaf));
  EXPECT_EQ(text(outer), "<TkTest_Outer><TkTest_Inner tag=\"7\"><list tag=\"3\"><TkTest_Leaf/></list></TkTest_Inner></TkTest_Outer>");
  EXPECT_EQ(testkit::xml::mismatchCount(), 0);
}

TEST_F(XmlAccessors, IsSetTellsWhatTheTextCarried) {
  struct Case {
    std::string info;
    bool sequenceSet;
    bool operationSet;
  } cases[] = {
      {"<EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i2=\"1\"/>", false, true},
      {"<EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i1=\"0\" i2=\"0\"/>", true, true},
      {"<EVGui_MMConfigurationLockUnlockInfo tag=\"1\"/>", false, false},
  };
  for (const Case& c : cases) {
    EVGui::MMConfigurationLockUnlockReq req;
    ASSERT_EQ(req.unserialize("<EVGui_MMConfigurationLockUnlockReq>" + c.info + "</EVGui_MMConfigurationLockUnlockReq>"), 0);
    EXPECT_TRUE(req.isSet(1, kReqHash, 0x37931));
    CNMessageBase& info = req.getObjectAccessor(true, false, 1, 1, kReqHash, 0x37931, 13, 959);
    EXPECT_EQ(info.isSet(1, kInfoHash, 0x3A3E51), c.sequenceSet) << c.info;
    EXPECT_EQ(info.isSet(2, kInfoHash, 0xCE3B05), c.operationSet) << c.info;
  }
  EVGui::MMConfigurationLockUnlockReq empty;
  ASSERT_EQ(empty.unserialize("<EVGui_MMConfigurationLockUnlockReq/>"), 0);
  EXPECT_FALSE(empty.isSet(1, kReqHash, 0x37931));

  // Lists: present once read or asked for with `create`, or once non-empty.
  CNMessageBase o(kNs, kOuter);
  EXPECT_FALSE(o.isSet(kNumbers.ordinal, kOuterHash, kNumbers.hash));
  o.getlistint(kNumbers.ordinal, kNumbers.tag, kOuterHash, kNumbers.hash, false);
  EXPECT_FALSE(o.isSet(kNumbers.ordinal, kOuterHash, kNumbers.hash));
  o.getlistint(kNumbers.ordinal, kNumbers.tag, kOuterHash, kNumbers.hash, true);
  EXPECT_TRUE(o.isSet(kNumbers.ordinal, kOuterHash, kNumbers.hash));
  EXPECT_EQ(text(o), "<TkTest_Outer l5=\"\"/>");
  EXPECT_EQ(testkit::xml::mismatchCount(), 0);
}

TEST_F(XmlAccessors, StringsByReferenceFitTheTextHelpersAndNeverInventAField) {
  ZQGui::GenericResp r;
  r.setstring(2, 2, "abc", kRespHash, 0xB7ECDF);
  EXPECT_STREQ(MyUTF8Text(r.getstringByRef(2, 2, kRespHash, 0xB7ECDF)), "abc");
  r.getstringByRef(2, 2, kRespHash, 0xB7ECDF) += "d";  // the field's own text
  EXPECT_EQ(r.getstring(2, 2, kRespHash, 0xB7ECDF), "abcd");

  ZQGui::GenericResp e;
  std::string& absent = e.getstringByRef(2, 2, kRespHash, 0xB7ECDF);
  EXPECT_EQ(absent, "");
  absent = "scribbled";
  EXPECT_FALSE(e.isSet(2, kRespHash, 0xB7ECDF));
  EXPECT_EQ(e.getstringByRef(2, 2, kRespHash, 0xB7ECDF), "");
  EXPECT_EQ(text(e), "<ZQGui_GenericResp/>");
  EXPECT_EQ(testkit::xml::mismatchCount(), 0);
}

TEST_F(XmlAccessors, ListsTakeOnlyTheirClassAndCountIndexesOutOfRange) {
  CNMessageBase o(kNs, kOuter);
  tkxml::MessageList& list = o.getlistobject(kChildren.ordinal, kChildren.tag, kOuterHash, kChildren.hash);
  EXPECT_EQ(list.elementNamespace(), kNs);
  EXPECT_EQ(list.elementClass(), kInner);
  list.push_back(CNMessageBase(kNs, kLeaf));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(testkit::xml::mismatchCount(), 1);
  list.push_back(CNMessageBase(kNs, kInner));
  CNMessageBase& outOfRange = list[5];
  EXPECT_EQ(testkit::xml::mismatchCount(), 2);
  outOfRange.setint64(kInnerNumber.ordinal, kInnerNumber.tag, 1, kInnerHash, kInnerNumber.hash);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(text(o), "<TkTest_Outer><list tag=\"8\"><TkTest_Inner/></list></TkTest_Outer>");
  const tkxml::MessageList& constList = list;
  EXPECT_EQ(constList[9].getNamespace(), 0u);
  EXPECT_EQ(testkit::xml::mismatchCount(), 3);
  // A message of another class put into a list by assignment is refused when written.
  list[0] = CNMessageBase(kNs, kLeaf);
  std::string t = "stale";
  EXPECT_EQ(o.serialize(t), tkxml::kErrWrongClass);
  EXPECT_EQ(t, "");
}

TEST_F(XmlAccessors, ProtectedTextsTravelEncryptedReadPlainAndArePreparedWhenReadFromAText) {
  CNMessageBase o(kNs, kOuter);
  ASSERT_EQ(o.setpstringobject(kSecret.ordinal, kSecret.tag, "S3cret&", tkxml::kCipherText, kOuterHash, kSecret.hash), 0);
  std::string t = text(o);
  EXPECT_EQ(t.find("S3cret"), std::string::npos) << t;
  EXPECT_NE(t.find("p3=\"1:E"), std::string::npos) << t;
  CNMessageBase back(kNs, kOuter);
  ASSERT_EQ(back.unserialize(t), 0);
  const pstring& p = back.getpstringobjectByRef(kSecret.ordinal, kSecret.tag, kOuterHash, kSecret.hash);
  EXPECT_EQ(p.getEncryptionType(), tkxml::kCipherText);
  EXPECT_STREQ(p.getPlainPassword().c_str(), "S3cret&");

  // Absent: empty plain text, no mismatch.
  CNMessageBase none(kNs, kOuter);
  EXPECT_TRUE(none.getpstringobjectByRef(kSecret.ordinal, kSecret.tag, kOuterHash, kSecret.hash).getPlainPassword().empty());

  testkit::debuglog::Capture log;
  // Plain on the wire: turned into the encrypted form, plain text unchanged.
  CNMessageBase m(kNs, kOuter);
  std::string xml =
      "<TkTest_Outer p3=\"0:pl&amp;in\"><TkTest_Outer tag=\"9\" p3=\"1:" + std::string("E") + "\"/></TkTest_Outer>";
  ASSERT_EQ(tkxml::preProcessXMLStringForPassword(nullptr, m, xml), 0);
  const pstring& prepared = m.getpstringobjectByRef(kSecret.ordinal, kSecret.tag, kOuterHash, kSecret.hash);
  EXPECT_EQ(prepared.getEncryptionType(), tkxml::kCipherText);
  EXPECT_STREQ(prepared.getPlainPassword().c_str(), "pl&in");
  EXPECT_EQ(text(m).find("pl&amp;in"), std::string::npos);

  // Encrypted form that does not decrypt: reported, read all the same, never logged.
  CNMessageBase bad(kNs, kOuter);
  std::string badXml = "<TkTest_Outer s2=\"kept\" p3=\"1:Ezz-topsecret\"/>";
  EXPECT_EQ(tkxml::preProcessXMLStringForPassword(nullptr, bad, badXml), tkxml::kErrPassword);
  EXPECT_EQ(bad.getstring(kText.ordinal, kText.tag, kOuterHash, kText.hash), "kept");
  EXPECT_TRUE(bad.getpstringobjectByRef(kSecret.ordinal, kSecret.tag, kOuterHash, kSecret.hash).getPlainPassword().empty());
  EXPECT_TRUE(log.contains("does not decrypt"));
  for (const auto& line : log.lines()) EXPECT_EQ(line.text.find("topsecret"), std::string::npos) << line.text;

  // A text that does not read gives unserialize's code and leaves the message.
  std::string broken = "<TkTest_Outer";
  EXPECT_EQ(tkxml::preProcessXMLStringForPassword(nullptr, bad, broken), tkxml::kErrMalformed);
  EXPECT_EQ(bad.getstring(kText.ordinal, kText.tag, kOuterHash, kText.hash), "kept");
  EXPECT_EQ(testkit::xml::mismatchCount(), 0);
}

// A reference to a field's value stays good while other fields are written,
// in any order, also fields the class gained in the registry after the
// message was first written; the text lists the fields by tag all the same.
TEST_F(XmlAccessors, ReferencesToFieldsHoldWhileOtherFieldsAreWritten) {
  CNMessageBase m(kNs, kOuter);
  tkxml::MessageList& children = m.getlistobject(kChildren.ordinal, kChildren.tag, kOuterHash, kChildren.hash);
  tkxml::IntList& numbers = m.getlistint(kNumbers.ordinal, kNumbers.tag, kOuterHash, kNumbers.hash);
  ASSERT_EQ(m.setstring(kText.ordinal, kText.tag, "text", kOuterHash, kText.hash), 0);
  std::string& textRef = m.getstringByRef(kText.ordinal, kText.tag, kOuterHash, kText.hash);
  ASSERT_EQ(m.setint64(kOddOrdinal.ordinal, kOddOrdinal.tag, 20, kOuterHash, kOddOrdinal.hash), 0);
  ASSERT_EQ(m.setint64(kNumber.ordinal, kNumber.tag, 1, kOuterHash, kNumber.hash), 0);
  m.getObjectAccessor(true, true, kChild.ordinal, kChild.tag, kOuterHash, kChild.hash, kNs, kInner);
  children.push_back(CNMessageBase(kNs, kInner));
  numbers.push_back(5);
  textRef += " changed";
  EXPECT_EQ(text(m),
            "<TkTest_Outer i1=\"1\" s2=\"text changed\" l5=\"5\" i20=\"20\"><TkTest_Inner tag=\"7\"/>"
            "<list tag=\"8\"><TkTest_Inner/></list></TkTest_Outer>");

  // A class of its own per run: the message is written before the class
  // gains fields on both sides of the one it had.
  static unsigned run = 0;
  const unsigned cls = ++run;
  const unsigned hash = 0xF3000000 | cls;
  const std::string name = "TkTestGrow::A" + std::to_string(cls);
  ASSERT_TRUE(tkxml::registerClass({name.c_str(), 243, cls, hash, {{2, 2, 22, tkxml::FieldKind::String}}}));
  CNMessageBase grown(243, cls);
  ASSERT_EQ(grown.setstring(2, 2, "two", hash, 22), 0);
  std::string& two = grown.getstringByRef(2, 2, hash, 22);
  ASSERT_TRUE(tkxml::registerClass({name.c_str(), 243, cls, hash,
                                    {{1, 1, 21, tkxml::FieldKind::Int64}, {3, 3, 23, tkxml::FieldKind::IntList}}}));
  ASSERT_EQ(grown.setint64(1, 1, 1, hash, 21), 0);
  grown.getlistint(3, 3, hash, 23) = {3, 4};
  two += "!";
  const std::string element = "TkTestGrow_A" + std::to_string(cls);
  EXPECT_EQ(text(grown), "<" + element + " i1=\"1\" s2=\"two!\" l3=\"3 4\"/>");
  CNMessageBase read(243, cls);
  ASSERT_EQ(read.unserialize(text(grown)), 0);
  EXPECT_TRUE(read == grown);
  EXPECT_EQ(read.getint64(1, hash, 21), 1);
  EXPECT_EQ(grown.getstring(2, 2, hash, 22), "two!");
}

}  // namespace
