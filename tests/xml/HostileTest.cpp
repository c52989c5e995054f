// Hostile and broken input gives an error code, never a crash, and leaves the
// message as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "platform/testkit/debuglog.h"
#include "platform/testkit/xml.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/support/TempDir.h"
#include "tests/xml/TestClasses.h"

using namespace xmltest;

namespace {

class XmlHostile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CNMessageBase::Initialize(), 0); }
  void TearDown() override { EXPECT_EQ(testkit::xml::mismatchCount(), 0); }
  testkit::xml::Scope scope;
};

// Reads `text` into a message that already holds a value, checks the code and
// that the message kept its value.
void expectRefused(unsigned ns, unsigned cls, const std::string& text, int code) {
  CNMessageBase m(ns, cls);
  ASSERT_EQ(m.unserialize(ns == kNs ? "<TkTest_Outer s2=\"before\"/>" : "<ZQGui_GenericResp s2=\"before\"/>"), 0);
  CNMessageBase before(m);
  EXPECT_EQ(m.unserialize(text), code) << text.substr(0, 200);
  EXPECT_TRUE(m == before);
}

TEST_F(XmlHostile, DocumentsWithADoctypeAreRefused) {
  const std::string cases[] = {
      "<!DOCTYPE ZQGui_GenericResp><ZQGui_GenericResp/>",
      "<!DOCTYPE ZQGui_GenericResp [<!ENTITY x \"expanded\">]><ZQGui_GenericResp s2=\"&x;\"/>",
      "<?xml version=\"1.0\"?><!DOCTYPE ZQGui_GenericResp SYSTEM \"http://127.0.0.1:9/x.dtd\"><ZQGui_GenericResp/>",
      "<!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
      "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]><ZQGui_GenericResp s2=\"&lol3;\"/>",
  };
  for (const std::string& text : cases) expectRefused(1, 0, text, tkxml::kErrDoctype);
}

TEST_F(XmlHostile, ExternalEntitiesAreNeverRead) {
  tktest::TempDir dir;
  const std::string secretFile = dir.file("secret.txt");
  std::ofstream(secretFile) << "the-secret-content";
  const std::string text = "<!DOCTYPE ZQGui_GenericResp [<!ENTITY ext SYSTEM \"file://" + secretFile +
                           "\">]><ZQGui_GenericResp s2=\"&ext;\"/>";
  ZQGui::GenericResp m;
  EXPECT_EQ(m.unserialize(text), tkxml::kErrDoctype);
  EXPECT_EQ(m.getstring(2, 2, 0x010003F0, 0xB7ECDF), "");
  // Without a DOCTYPE no entity but the five predefined ones exists.
  expectRefused(1, 0, "<ZQGui_GenericResp s2=\"&ext;\"/>", tkxml::kErrMalformed);
}

TEST_F(XmlHostile, DeepNestingStopsAtTheLimitWithoutRecursion) {
  // Elements the registry does not know, far below the limit of the parser.
  std::string deep = "<ZQGui_GenericResp>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  for (int i = 0; i < 100000; ++i) deep += "</a>";
  deep += "</ZQGui_GenericResp>";
  expectRefused(1, 0, deep, tkxml::kErrTooDeep);

  // Registered messages nested in themselves: the limit holds exactly.
  auto nested = [](int levels) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
      open += i == 0 ? "<TkTest_Outer>" : "<TkTest_Outer tag=\"9\">";
      close = "</TkTest_Outer>" + close;
    }
    return open + close;
  };
  CNMessageBase ok(kNs, kOuter);
  EXPECT_EQ(ok.unserialize(nested(tkxml::kMaxDepth)), 0);
  expectRefused(kNs, kOuter, nested(tkxml::kMaxDepth + 1), tkxml::kErrTooDeep);

  // The writer refuses what the reader would.
  CNMessageBase top(kNs, kOuter);
  CNMessageBase* at = &top;
  for (int i = 1; i < tkxml::kMaxDepth + 1; ++i) {
    at = &at->getObjectAccessor(true, true, kSelf.ordinal, kSelf.tag, kOuterHash, kSelf.hash, kNs, kOuter);
  }
  std::string text = "stale";
  EXPECT_EQ(top.serialize(text), tkxml::kErrTooDeep);
  EXPECT_EQ(text, "");
  std::string fits;
  EXPECT_EQ(top.getObjectAccessor(true, true, kSelf.ordinal, kSelf.tag, kOuterHash, kSelf.hash, kNs, kOuter).serialize(fits), 0);
  CNMessageBase back(kNs, kOuter);
  EXPECT_EQ(back.unserialize(fits), 0);
}

TEST_F(XmlHostile, HugeValuesAndTextsAreRefusedAtTheirLimits) {
  const std::string atLimit(tkxml::kMaxValueBytes, 'x');
  ZQGui::GenericResp m;
  ASSERT_EQ(m.unserialize("<ZQGui_GenericResp s2=\"" + atLimit + "\"/>"), 0);
  EXPECT_EQ(m.getstringByRef(2, 2, 0x010003F0, 0xB7ECDF).size(), tkxml::kMaxValueBytes);

  expectRefused(1, 0, "<ZQGui_GenericResp s2=\"" + atLimit + "x\"/>", tkxml::kErrTooLarge);
  expectRefused(1, 0, "<ZQGui_GenericResp unknown=\"" + std::string(2 * tkxml::kMaxValueBytes, 'y') + "\"/>",
                tkxml::kErrTooLarge);
  expectRefused(1, 0, "<ZQGui_GenericResp><x>" + std::string(tkxml::kMaxValueBytes + 1, 't') + "</x></ZQGui_GenericResp>",
                tkxml::kErrTooLarge);
  expectRefused(1, 0, "<ZQGui_GenericResp/>" + std::string(tkxml::kMaxTextBytes, ' '), tkxml::kErrTooLarge);

  std::string many = "<ZQGui_GenericResp>";
  for (size_t i = 0; i < tkxml::kMaxElements; ++i) many += "<a/>";
  many += "</ZQGui_GenericResp>";
  expectRefused(1, 0, many, tkxml::kErrTooLarge);

  // The writer refuses a value the reader would refuse.
  ZQGui::GenericResp big;
  big.setstring(2, 2, atLimit + "x", 0x010003F0, 0xB7ECDF);
  std::string text = "stale";
  EXPECT_EQ(big.serialize(text), tkxml::kErrTooLarge);
  EXPECT_EQ(text, "");
}

TEST_F(XmlHostile, EveryTruncationOfAValidTextIsRefused) {
  CNMessageBase full(kNs, kOuter);
  fillAll(full, 2, 3);
  std::string text;
  ASSERT_EQ(full.serialize(text), 0);
  ASSERT_GT(text.size(), 1000u);
  CNMessageBase m(kNs, kOuter);
  for (size_t n = 0; n < text.size(); n += (n < 200 || text.size() - n < 200) ? 1 : 37) {
    EXPECT_NE(m.unserialize(text.substr(0, n)), 0) << n;
  }
  EXPECT_EQ(m.unserialize(text), 0);
  EXPECT_TRUE(m == full);
}

TEST_F(XmlHostile, MalformedAndMisshapenTextsGiveTheirCodes) {
  struct Case {
    std::string text;
    int code;
  } cases[] = {
      {"", tkxml::kErrMalformed},
      {"not xml", tkxml::kErrMalformed},
      {"<ZQGui_GenericResp s2=\"\xff\"/>", tkxml::kErrMalformed},
      {"<ZQGui_GenericResp s2=\"&#1;\"/>", tkxml::kErrMalformed},
      {"<ZQGui_GenericResp/><ZQGui_GenericResp/>", tkxml::kErrMalformed},
      {"<ZQGui_GenericResp i1=\"1\" i1=\"2\"/>", tkxml::kErrMalformed},
      {"<EVGui_GenericResp/>", tkxml::kErrWrongRoot},
      {"<TkTest_Outer/>", tkxml::kErrWrongRoot},
      {"<ZQGui_GenericResp i1=\"12x\"/>", tkxml::kErrBadValue},
      {"<ZQGui_GenericResp i1=\"\"/>", tkxml::kErrBadValue},
      {"<ZQGui_GenericResp i1=\"+1\"/>", tkxml::kErrBadValue},
      {"<ZQGui_GenericResp i1=\"9223372036854775808\"/>", tkxml::kErrBadValue},
      {"<ZQGui_GenericResp i1=\"-9223372036854775809\"/>", tkxml::kErrBadValue},
      {"<ZQGui_GenericResp s1=\"1\"/>", tkxml::kErrBadValue},
      {"<ZQGui_GenericResp i2=\"1\"/>", tkxml::kErrBadValue},
      {"<ZQGui_GenericResp>text</ZQGui_GenericResp>", tkxml::kErrBadDocument},
  };
  for (const Case& c : cases) expectRefused(1, 0, c.text, c.code);

  Case outer[] = {
      {"<TkTest_Outer p3=\"2:x\"/>", tkxml::kErrBadValue},
      {"<TkTest_Outer p3=\"nocolon\"/>", tkxml::kErrBadValue},
      {"<TkTest_Outer l5=\"1,2\"/>", tkxml::kErrBadValue},
      {"<TkTest_Outer i7=\"1\"/>", tkxml::kErrBadValue},
      {"<TkTest_Outer><TkTest_Inner tag=\"7\"/><TkTest_Inner tag=\"7\"/></TkTest_Outer>", tkxml::kErrBadValue},
      {"<TkTest_Outer><TkTest_Leaf tag=\"7\"/></TkTest_Outer>", tkxml::kErrWrongClass},
      {"<TkTest_Outer><list tag=\"8\"><TkTest_Leaf/></list></TkTest_Outer>", tkxml::kErrWrongClass},
      {"<TkTest_Outer><list tag=\"7\"/></TkTest_Outer>", tkxml::kErrBadValue},
      {"<TkTest_Outer><TkTest_Inner tag=\"8\"/></TkTest_Outer>", tkxml::kErrBadValue},
      {"<TkTest_Outer><list tag=\"8\" x=\"1\"/></TkTest_Outer>", tkxml::kErrBadDocument},
      {"<TkTest_Outer><list tag=\"8\"/><list tag=\"8\"/></TkTest_Outer>", tkxml::kErrBadValue},
      {"<TkTest_Outer><TkTest_Inner tag=\"7\"><TkTest_Leaf tag=\"3\"/></TkTest_Inner></TkTest_Outer>",
       tkxml::kErrBadValue},
  };
  for (const Case& c : outer) expectRefused(kNs, kOuter, c.text, c.code);

  // A nested message of another class through the lock request itself.
  EVGui::MMConfigurationLockUnlockReq req;
  EXPECT_EQ(req.unserialize("<EVGui_MMConfigurationLockUnlockReq><ZQGui_GenericResp tag=\"1\"/>"
                            "</EVGui_MMConfigurationLockUnlockReq>"),
            tkxml::kErrWrongClass);
  EXPECT_EQ(req.unserialize(static_cast<const char*>(nullptr)), tkxml::kErrMalformed);
}

// A digit may also be written as U+F700 + its byte: a nested message's tag
// given both ways names one field twice, whichever spelling comes first.
// (Attribute names cannot carry the escaped form: the text is not
// well-formed then.)
TEST_F(XmlHostile, OneFieldGivenTwiceInTwoSpellingsIsRefused) {
  const std::string seven = "\xEF\x9C\xB7";  // U+F737, the byte '7'
  const std::string child = "<TkTest_Inner tag=\"7\"/>";
  const std::string escaped = "<TkTest_Inner tag=\"" + seven + "\"/>";
  const std::string reference = "<TkTest_Inner tag=\"&#xF737;\"/>";
  struct Case {
    const char* name;
    std::string children;
  } cases[] = {
      {"plain, then escaped", child + escaped},
      {"escaped, then plain", escaped + child},
      {"a character reference, then plain", reference + child},
      {"escaped, then a character reference", escaped + reference},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectRefused(kNs, kOuter, "<TkTest_Outer>" + c.children + "</TkTest_Outer>", tkxml::kErrBadValue);
  }
  // Each spelling alone is the field.
  CNMessageBase plain(kNs, kOuter);
  ASSERT_EQ(plain.unserialize("<TkTest_Outer>" + child + "</TkTest_Outer>"), 0);
  for (const std::string& other : {escaped, reference}) {
    CNMessageBase read(kNs, kOuter);
    ASSERT_EQ(read.unserialize("<TkTest_Outer>" + other + "</TkTest_Outer>"), 0);
    EXPECT_TRUE(read == plain);
  }
}

// Reading stops building at the first refusal but reads on: the code is the
// one of the first fault in the order a reader of the whole text meets them:
// not well-formed or over a limit anywhere first, then per element its class,
// its text, its attributes and its children in order.
TEST_F(XmlHostile, TheFirstFaultOfTheWholeTextGivesTheCode) {
  const std::string deep = [] {
    std::string open, close;
    for (int i = 0; i <= tkxml::kMaxDepth; ++i) {
      open += "<a>";
      close += "</a>";
    }
    return open + close;
  }();
  struct Case {
    std::string text;
    int code;
  } cases[] = {
      // A refusal of the layout, and the text is broken further on.
      {"<TkTest_Outer i1=\"x\"><a></b></TkTest_Outer>", tkxml::kErrMalformed},
      {"<TkTest_Outer><TkTest_Leaf tag=\"7\"/>" + deep + "</TkTest_Outer>", tkxml::kErrTooDeep},
      {"<EVGui_GenericResp/><x/>", tkxml::kErrMalformed},
      {"<TkTest_Outer i1=\"x\"><a b=\"" + std::string(tkxml::kMaxValueBytes + 1, 'v') + "\"/></TkTest_Outer>",
       tkxml::kErrTooLarge},
      {"<TkTest_Outer><TkTest_Inner tag=\"7\" i1=\"x\"/><a>" + std::string(tkxml::kMaxValueBytes + 1, 't') +
           "</a></TkTest_Outer>",
       tkxml::kErrTooLarge},
      // Text inside a message is met before its attributes and children,
      // wherever it stands.
      {"<TkTest_Outer i1=\"x\">text</TkTest_Outer>", tkxml::kErrBadDocument},
      {"<TkTest_Outer><TkTest_Inner tag=\"7\" i1=\"x\"/>text</TkTest_Outer>", tkxml::kErrBadDocument},
      {"<TkTest_Outer><TkTest_Inner tag=\"7\"><TkTest_Leaf/></TkTest_Inner> text</TkTest_Outer>",
       tkxml::kErrBadDocument},
      {"<TkTest_Outer><list tag=\"8\"><TkTest_Inner i1=\"x\"/>text</list></TkTest_Outer>", tkxml::kErrBadDocument},
      {"<TkTest_Outer><TkTest_Outer tag=\"9\"><TkTest_Inner tag=\"7\" i1=\"x\"/></TkTest_Outer>text</TkTest_Outer>",
       tkxml::kErrBadDocument},
      // ... but after its class, and only its own and its parents' text.
      {"<EVGui_GenericResp>text</EVGui_GenericResp>", tkxml::kErrWrongRoot},
      {"<TkTest_Outer><TkTest_Leaf tag=\"7\">text</TkTest_Leaf></TkTest_Outer>", tkxml::kErrWrongClass},
      {"<TkTest_Outer><list tag=\"8\"><TkTest_Leaf>text</TkTest_Leaf></list></TkTest_Outer>", tkxml::kErrWrongClass},
      {"<TkTest_Outer><TkTest_Inner tag=\"7\"/><TkTest_Inner tag=\"7\">text</TkTest_Inner></TkTest_Outer>",
       tkxml::kErrBadValue},
      {"<TkTest_Outer><list tag=\"7\">text</list></TkTest_Outer>", tkxml::kErrBadValue},
      {"<TkTest_Outer><TkTest_Inner tag=\"7\" i1=\"x\"/><TkTest_Outer tag=\"9\">text</TkTest_Outer></TkTest_Outer>",
       tkxml::kErrBadValue},
      {"<TkTest_Outer i1=\"x\"><unknown>text</unknown></TkTest_Outer>", tkxml::kErrBadValue},
      {"<TkTest_Outer l5=\"1,2\" i1=\"x\"/>", tkxml::kErrBadValue},
      {"<TkTest_Outer><TkTest_Leaf tag=\"7\"/><TkTest_Inner tag=\"8\"/></TkTest_Outer>", tkxml::kErrWrongClass},
      {"<TkTest_Outer><TkTest_Inner tag=\"8\"/><TkTest_Leaf tag=\"7\"/></TkTest_Outer>", tkxml::kErrBadValue},
  };
  for (const Case& c : cases) expectRefused(kNs, kOuter, c.text, c.code);

  // Text kept inside elements the registry does not know is no fault.
  CNMessageBase m(kNs, kOuter);
  const std::string kept = "<TkTest_Outer i1=\"1\"><unknown a=\"1\">text</unknown><more/></TkTest_Outer>";
  ASSERT_EQ(m.unserialize(kept), 0);
  std::string text;
  EXPECT_EQ(m.serialize(text), 0);
  EXPECT_EQ(text, kept);
}

TEST_F(XmlHostile, FailuresAreLoggedWithTheClassButWithoutValues) {
  testkit::debuglog::Capture log;
  ZQGui::GenericResp m;
  EXPECT_EQ(m.unserialize("<ZQGui_GenericResp i1=\"hunter2\"/>"), tkxml::kErrBadValue);
  ASSERT_FALSE(log.lines().empty());
  EXPECT_TRUE(log.contains("CNMessageBase::unserialize", "ZQGui::GenericResp"));
  for (const auto& line : log.lines()) EXPECT_EQ(line.text.find("hunter2"), std::string::npos);
}

}  // namespace
