// The registry of classes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "platform/testkit/xml.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/Registry.h"
#include "platform/xml/ZQGuiMessages.h"

using tkxml::FieldKind;

namespace {

// The identifiers of the lock's messages, as the handlers use them.
TEST(XmlRegistry, LockMessagesAreRegisteredWithTheirIdentifiers) {
  struct Field {
    unsigned tag, ordinal, hash;
    FieldKind kind;
    unsigned ns, cls;
  };
  struct Class {
    const char* name;
    unsigned ns, cls, hash;
    std::vector<Field> fields;
  } expected[] = {
      {"ZQGui::GenericResp", 1, 0, 0x010003F0, {{1, 1, 0x9CB015, FieldKind::Int64, 0, 0}, {2, 2, 0xB7ECDF, FieldKind::String, 0, 0}}},
      {"EVGui::GenericResp", 13, 1, 0x0DF2BE27, {{1, 1, 10268693, FieldKind::Int64, 0, 0}, {2, 2, 12053727, FieldKind::String, 0, 0}}},
      {"EVGui::MMConfigurationLockUnlockReq", 13, 960, 0x0DF9BE39, {{1, 1, 0x37931, FieldKind::Object, 13, 959}}},
      {"EVGui::MMConfigurationLockUnlockInfo", 13, 959, 0x0D17D425,
       {{1, 1, 0x3A3E51, FieldKind::Int64, 0, 0}, {2, 2, 0xCE3B05, FieldKind::Int64, 0, 0}}},
  };
  for (const Class& c : expected) {
    SCOPED_TRACE(c.name);
    tkxml::ClassInfoPtr info = tkxml::findClass(c.ns, c.cls);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, c.name);
    EXPECT_EQ(info->classHash, c.hash);
    EXPECT_EQ(tkxml::findClassByHash(c.hash), info);
    EXPECT_EQ(tkxml::findClassByElement(info->element), info);
    ASSERT_EQ(info->fields.size(), c.fields.size());
    for (size_t i = 0; i < c.fields.size(); ++i) {
      const tkxml::FieldDef& f = info->fields[i];
      const Field& e = c.fields[i];
      EXPECT_EQ(std::tie(f.tag, f.ordinal, f.hash, f.kind, f.ns, f.cls), std::tie(e.tag, e.ordinal, e.hash, e.kind, e.ns, e.cls)) << i;
    }
  }
  // The class declarations agree with the registry.
  EXPECT_EQ(ZQGui::GenericResp().getTagID(), ZQGui::GenericResp::kClassHash);
  EXPECT_EQ(EVGui::GenericResp().getTagID(), EVGui::GenericResp::kClassHash);
  EXPECT_EQ(EVGui::MMConfigurationLockUnlockReq().getTagID(), EVGui::MMConfigurationLockUnlockReq::kClassHash);
  EXPECT_EQ(EVGui::MMConfigurationLockUnlockInfo().getTagID(), EVGui::MMConfigurationLockUnlockInfo::kClassHash);
  static_assert(sizeof(EVGui::GenericResp) == sizeof(CNMessageBase), "message classes add no members");
  static_assert(sizeof(EVGui::MMConfigurationLockUnlockReq) == sizeof(CNMessageBase), "message classes add no members");
}

// The problems that name one of the definitions the test below refuses on
// purpose. The registry lives as long as the process and keeps each refusal,
// so the test counts those its own run adds.
int refusedTestDefinitions() {
  int refused = 0;
  for (const std::string& p : tkxml::registryProblems()) {
    if (p.find("TkTestBad") != std::string::npos || p.find("TkTestMerge") != std::string::npos ||
        p.find("TkTest<Bad>") != std::string::npos) {
      ++refused;
    }
  }
  return refused;
}

TEST(XmlRegistry, ContradictionsAreRefusedAndIdenticalDefinitionsMerge) {
  const int refusedBefore = refusedTestDefinitions();
  // Namespace 241 belongs to this test.
  EXPECT_FALSE(tkxml::registerClass({"TkTestBad::TopByte", 241, 1, 0x02000001, {}}));
  EXPECT_TRUE(tkxml::registerClass({"TkTestMerge::A", 241, 2, 0xF1000002, {{1, 1, 5, FieldKind::Int64}}}));
  EXPECT_TRUE(tkxml::registerClass({"TkTestMerge::A", 241, 2, 0xF1000002,
                                    {{1, 1, 5, FieldKind::Int64}, {2, 2, 6, FieldKind::String}}}));
  EXPECT_FALSE(tkxml::registerClass({"TkTestMerge::A", 241, 2, 0xF1000002, {{2, 2, 7, FieldKind::String}}}));
  EXPECT_FALSE(tkxml::registerClass({"TkTestBad::A", 241, 2, 0xF1000002, {}}));
  EXPECT_FALSE(tkxml::registerClass({"TkTestBad::SameHash", 241, 3, 0xF1000002, {}}));
  EXPECT_FALSE(tkxml::registerClass({"TkTestBad::TwoTags", 241, 4, 0xF1000004,
                                     {{1, 1, 5, FieldKind::Int64}, {1, 2, 6, FieldKind::Int64}}}));
  EXPECT_FALSE(tkxml::registerClass({"TkTestBad::Value", 241, 5, 0xF1000005, {{1, 1, 5, FieldKind::Int64, 1, 0}}}));
  EXPECT_FALSE(tkxml::registerClass({"TkTest<Bad>", 241, 6, 0xF1000006, {}}));
  tkxml::ClassInfoPtr merged = tkxml::findClass(241, 2);
  ASSERT_TRUE(merged);
  ASSERT_EQ(merged->fields.size(), 2u);
  EXPECT_EQ(merged->fields[1].hash, 6u);
  EXPECT_FALSE(tkxml::findClass(241, 3));

  EXPECT_TRUE(tkxml::registerClass({"TkTestDangling::A", 241, 7, 0xF1000007, {{1, 1, 5, FieldKind::Object, 241, 99}}}));
  int dangling = 0;
  for (const std::string& p : tkxml::registryProblems()) {
    if (p.find("TkTestDangling::A") != std::string::npos && p.find("241:99") != std::string::npos) ++dangling;
  }
  EXPECT_EQ(refusedTestDefinitions() - refusedBefore, 7);
  EXPECT_EQ(dangling, 1);
  // Every class that the system's areas register is consistent: only the
  // definitions this test refuses on purpose appear as problems.
  for (const std::string& p : tkxml::registryProblems()) {
    if (p.find("TkTest") == std::string::npos) ADD_FAILURE() << p;
  }
}

// A message laid out while its class had fewer fields keeps working after a
// later registration merged new ones into the class, whether the reader or
// an assignment laid it out (a setter: the accessor tests): its accessors
// find the new fields, and its text, copies and equality hold them in tag
// order.
TEST(XmlRegistry, AMessageLaidOutBeforeItsClassGainedFieldsTakesTheNewOnes) {
  ASSERT_EQ(CNMessageBase::Initialize(), 0);
  // Namespace 244 belongs to this test; each case (and each repetition of the
  // test) takes a class of its own, so that the merge comes after the layout.
  static unsigned lastClass = 0;
  struct Case {
    const char* name;
    std::function<void(CNMessageBase&, unsigned hash, const std::string& element)> layOut;
  };
  const Case cases[] = {
      {"laid out by reading a text",
       [](CNMessageBase& m, unsigned, const std::string& element) {
         EXPECT_EQ(m.unserialize("<" + element + " i1=\"7\"/>"), 0);
       }},
      {"laid out by assignment from a copy",
       [](CNMessageBase& m, unsigned hash, const std::string&) {
         CNMessageBase source(m.getNamespace(), m.getClassNumber());
         EXPECT_EQ(source.setint64(1, 1, 7, hash, 5), 0);
         m = source;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const unsigned cls = ++lastClass;
    const unsigned hash = 0xF4000000u + cls;
    const std::string name = "TkTestLate::C" + std::to_string(cls);
    const std::string element = "TkTestLate_C" + std::to_string(cls);
    ASSERT_TRUE(tkxml::registerClass({name.c_str(), 244, cls, hash,
                                      {{1, 1, 5, FieldKind::Int64}, {3, 3, 7, FieldKind::String}}}));
    CNMessageBase m(244, cls);
    c.layOut(m, hash, element);
    ASSERT_TRUE(tkxml::registerClass({name.c_str(), 244, cls, hash, {{2, 2, 6, FieldKind::String}}}));

    testkit::xml::resetMismatches();
    EXPECT_EQ(m.setstring(2, 2, "late", hash, 6), 0);
    EXPECT_EQ(m.setstring(3, 3, "last", hash, 7), 0);
    EXPECT_EQ(m.getint64(1, hash, 5), 7);
    EXPECT_EQ(m.getstring(2, 2, hash, 6), "late");
    EXPECT_TRUE(m.isSet(2, hash, 6));
    EXPECT_EQ(testkit::xml::mismatchCount(), 0) << ::testing::PrintToString(testkit::xml::mismatches());

    std::string text;
    ASSERT_EQ(m.serialize(text), 0);
    EXPECT_EQ(text, "<" + element + " i1=\"7\" s2=\"late\" s3=\"last\"/>");
    const CNMessageBase copy(m);
    EXPECT_TRUE(copy == m);
    EXPECT_EQ(copy.getstring(2, 2, hash, 6), "late");
    CNMessageBase back(244, cls);
    ASSERT_EQ(back.unserialize(text), 0);
    EXPECT_TRUE(back == m);
  }
}

}  // namespace
