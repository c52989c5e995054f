// Text form: canonical bytes, round trips of every registered class, odd bytes,
// fields the registry does not know.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/testkit/xml.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/Registry.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/xml/TestClasses.h"

using namespace xmltest;

namespace {

class XmlRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CNMessageBase::Initialize(), 0); }
  void TearDown() override { EXPECT_EQ(testkit::xml::mismatchCount(), 0) << ::testing::PrintToString(testkit::xml::mismatches()); }
  testkit::xml::Scope scope;
};

// True when the text is valid UTF-8 without characters XML 1.0 cannot carry.
bool carriableUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') return false;
      ++i;
      continue;
    }
    int n = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (int k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

void expectRoundTrip(const CNMessageBase& m, bool pretty = false) {
  std::string text;
  ASSERT_EQ(m.serialize(text, pretty), 0);
  ASSERT_FALSE(text.empty());
  EXPECT_TRUE(carriableUtf8(text)) << m.getClassName();
  CNMessageBase back(m.getNamespace(), m.getClassNumber());
  ASSERT_EQ(back.unserialize(text), 0) << text;
  EXPECT_TRUE(back == m) << m.getClassName() << "\n" << text;
  std::string again;
  ASSERT_EQ(back.serialize(again, pretty), 0);
  EXPECT_EQ(again, text) << "the writer is not byte-stable for " << m.getClassName();
}

TEST_F(XmlRoundTrip, EveryRegisteredClassFilledAtEveryDepthComesBackEqual) {
  std::vector<tkxml::ClassInfoPtr> classes = tkxml::allClasses();
  ASSERT_GE(classes.size(), 7u);
  for (const tkxml::ClassInfoPtr& info : classes) {
    SCOPED_TRACE(info->name);
    for (int depth = 0; depth <= 3; ++depth) {
      CNMessageBase m(info->ns, info->cls);
      fillAll(m, depth, depth);
      expectRoundTrip(m);
      expectRoundTrip(m, true);
    }
    expectRoundTrip(CNMessageBase(info->ns, info->cls));  // no field set
  }
}

TEST_F(XmlRoundTrip, CanonicalTextsAreExact) {
  EVGui::MMConfigurationLockUnlockReq req;
  CNMessageBase& info = req.getObjectAccessor(true, true, 1, 1, 0x0DF9BE39, 0x37931, 13, 959);
  info.setint64(2, 2, 1, 0x0D17D425, 0xCE3B05);  // written out of tag order on purpose
  info.setint64(1, 1, -1, 0x0D17D425, 0x3A3E51);
  ZQGui::GenericResp zq;
  zq.setstring(2, 2, "Locked by \"admin\" & <others>", 0x010003F0, 0xB7ECDF);
  zq.setint64(1, 1, -1, 0x010003F0, 0x9CB015);
  EVGui::GenericResp ev;
  ev.setint64(1, 1, 0, 0x0DF2BE27, 10268693);
  const struct {
    const CNMessageBase* message;
    bool pretty;
    const char* text;
  } cases[] = {
      {&req, false,
       "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i1=\"-1\" i2=\"1\"/>"
       "</EVGui_MMConfigurationLockUnlockReq>"},
      {&req, true,
       "<EVGui_MMConfigurationLockUnlockReq>\n  <EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i1=\"-1\" i2=\"1\"/>\n"
       "</EVGui_MMConfigurationLockUnlockReq>"},
      {&zq, false, "<ZQGui_GenericResp i1=\"-1\" s2=\"Locked by &quot;admin&quot; &amp; &lt;others&gt;\"/>"},
      {&ev, false, "<EVGui_GenericResp i1=\"0\"/>"},
      {nullptr, false, "<ZQGui_GenericResp/>"},
  };
  for (const auto& c : cases) {
    std::string text;
    ASSERT_EQ(c.message ? c.message->serialize(text, c.pretty) : ZQGui::GenericResp().serialize(text), 0);
    EXPECT_EQ(text, c.text);
  }
}

TEST_F(XmlRoundTrip, EscapesAreExact) {
  const struct {
    std::string in;
    std::string attr;
  } cases[] = {
      {"&", "&amp;"},
      {"<", "&lt;"},
      {">", "&gt;"},
      {"\"", "&quot;"},
      {"'", "'"},
      {"\t", "&#9;"},
      {"\n", "&#10;"},
      {"\r", "&#13;"},
      {std::string(1, '\0'), "\xef\x9c\x80"},     // U+F700
      {"\x01", "\xef\x9c\x81"},                    // U+F701
      {"\x1f", "\xef\x9c\x9f"},
      {"\x7f", "\x7f"},
      {"\xff", "\xef\x9f\xbf"},                    // U+F7FF
      {"\xc3\xa9", "\xc3\xa9"},                    // é stays as it is
      {"\xc3", "\xef\x9f\x83"},                    // a lone lead byte
      {"\xef\x9c\x80", "\xef\x9f\xaf\xef\x9e\x9c\xef\x9e\x80"},  // U+F700 itself, byte by byte
      {"\xef\xbf\xbe", "\xef\x9f\xaf\xef\x9e\xbf\xef\x9e\xbe"},  // U+FFFE, byte by byte
      {"\xed\xa0\x80", "\xef\x9f\xad\xef\x9e\xa0\xef\x9e\x80"},  // an encoded surrogate
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},    // a four-byte character stays
  };
  for (const auto& c : cases) {
    ZQGui::GenericResp m;
    m.setstring(2, 2, c.in, 0x010003F0, 0xB7ECDF);
    std::string text;
    ASSERT_EQ(m.serialize(text), 0);
    EXPECT_EQ(text, "<ZQGui_GenericResp s2=\"" + c.attr + "\"/>");
    ZQGui::GenericResp back;
    ASSERT_EQ(back.unserialize(text), 0);
    EXPECT_EQ(back.getstringByRef(2, 2, 0x010003F0, 0xB7ECDF), c.in);
  }
}

// Names and values are read where the parser holds them when they are ASCII
// and from their bytes otherwise: every spelling of the same bytes (entities,
// character references, U+F700 + byte) reads the same, and whatever is not
// ASCII comes back as it was.
TEST_F(XmlRoundTrip, EverySpellingOfTheSameBytesReadsTheSame) {
  const std::string one = "\xef\x9c\xb1";  // U+F731: the byte '1'
  const struct {
    std::string in;
    int code;
    std::string out;  // the canonical text read back, when read
  } cases[] = {
      {"<ZQGui_GenericResp i1=\"&#x31;2\" s2=\"a&amp;&#65;\"/>", 0, "<ZQGui_GenericResp i1=\"12\" s2=\"a&amp;A\"/>"},
      {"<ZQGui_GenericResp i1=\"" + one + "2\"/>", 0, "<ZQGui_GenericResp i1=\"12\"/>"},
      {"<ZQGui_GenericResp i1=\"-" + one + "\"/>", 0, "<ZQGui_GenericResp i1=\"-1\"/>"},
      {"<ZQGui_GenericResp s2=\"\xc3\xa9\xf0\x9f\x98\x80\xef\x9c\x80\"/>", 0,
       "<ZQGui_GenericResp s2=\"\xc3\xa9\xf0\x9f\x98\x80\xef\x9c\x80\"/>"},
      {"<ZQGui_GenericResp \xc3\xa9=\"\xc3\xa9\" s2=\"x\"/>", 0, "<ZQGui_GenericResp s2=\"x\" \xc3\xa9=\"\xc3\xa9\"/>"},
      {"<ZQGui_GenericResp i1=\"1\xc3\xa9\"/>", tkxml::kErrBadValue, ""},
      {"<ZQGui_GenericResp i1=\"\xef\x9d\xa1\"/>", tkxml::kErrBadValue, ""},  // U+F761: 'a'
      {"<ZQGui_GenericResp\xc3\xa9/>", tkxml::kErrWrongRoot, ""},
      {"<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"" + one +
           "\" i2=\"&#51;\"/></EVGui_MMConfigurationLockUnlockReq>",
       0,
       "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i2=\"3\"/>"
       "</EVGui_MMConfigurationLockUnlockReq>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    const bool lock = c.in.rfind("<EVGui", 0) == 0;
    CNMessageBase m = lock ? CNMessageBase(EVGui::MMConfigurationLockUnlockReq()) : CNMessageBase(ZQGui::GenericResp());
    ASSERT_EQ(m.unserialize(c.in), c.code);
    if (c.code != 0) continue;
    std::string text;
    ASSERT_EQ(m.serialize(text), 0);
    EXPECT_EQ(text, c.out);
  }
}

// The writer makes its text in room of its own: a text written into a field
// of the very message written, or after a text too large to keep the room
// of, is whole.
TEST_F(XmlRoundTrip, ATextWrittenIntoAFieldOfItsOwnMessageOrAfterALargeOneIsWhole) {
  ZQGui::GenericResp m;
  m.setstring(2, 2, std::string(100 * 1024, 'x'), 0x010003F0, 0xB7ECDF);
  std::string large;
  ASSERT_EQ(m.serialize(large), 0);
  EXPECT_EQ(large, "<ZQGui_GenericResp s2=\"" + std::string(100 * 1024, 'x') + "\"/>");
  m.setstring(2, 2, "a<b", 0x010003F0, 0xB7ECDF);
  std::string& field = m.getstringByRef(2, 2, 0x010003F0, 0xB7ECDF);
  ASSERT_EQ(m.serialize(field), 0);
  EXPECT_EQ(m.getstringByRef(2, 2, 0x010003F0, 0xB7ECDF), "<ZQGui_GenericResp s2=\"a&lt;b\"/>");
  ASSERT_EQ(m.serialize(large), 0);
  EXPECT_EQ(large, "<ZQGui_GenericResp s2=\"&lt;ZQGui_GenericResp s2=&quot;a&amp;lt;b&quot;/&gt;\"/>");
}

TEST_F(XmlRoundTrip, EveryByteAndPseudoRandomByteStringsSurvive) {
  std::vector<std::string> samples;
  for (int b = 0; b < 256; ++b) samples.push_back(std::string(1, static_cast<char>(b)));
  uint32_t x = 12345;
  for (int n = 0; n < 300; ++n) {
    std::string s;
    int length = n % 40;
    for (int i = 0; i < length; ++i) {
      x = x * 1103515245u + 12345u;
      s.push_back(static_cast<char>(x >> 16));
    }
    samples.push_back(s);
  }
  samples.push_back(awkwardText(7));
  for (const std::string& s : samples) {
    CNMessageBase m(kNs, kOuter);
    m.setstring(kText.ordinal, kText.tag, s, kOuterHash, kText.hash);
    m.setbstringobject(kBlob.ordinal, kBlob.tag, bstring(s), kOuterHash, kBlob.hash);
    m.setpstringobject(kSecret.ordinal, kSecret.tag, s, tkxml::kPlainText, kOuterHash, kSecret.hash);
    std::string text;
    ASSERT_EQ(m.serialize(text), 0);
    ASSERT_TRUE(carriableUtf8(text));
    CNMessageBase back(kNs, kOuter);
    ASSERT_EQ(back.unserialize(text), 0);
    EXPECT_EQ(back.getstringByRef(kText.ordinal, kText.tag, kOuterHash, kText.hash), s);
    const bstring& blob = back.getbstringobjectByRef(kBlob.ordinal, kBlob.tag, kOuterHash, kBlob.hash);
    EXPECT_EQ(std::string(blob.c_str(), blob.size()), s);
    EXPECT_EQ(back.getpstringobjectByRef(kSecret.ordinal, kSecret.tag, kOuterHash, kSecret.hash).getWireForm(), s);
  }
}

TEST_F(XmlRoundTrip, NestedListsKeepOrderAndEmptyListsStayPresent) {
  CNMessageBase m(kNs, kOuter);
  tkxml::MessageList& children = m.getlistobject(kChildren.ordinal, kChildren.tag, kOuterHash, kChildren.hash);
  for (int i = 0; i < 3; ++i) {
    CNMessageBase inner(kNs, kInner);
    inner.setint64(kInnerNumber.ordinal, kInnerNumber.tag, i, kInnerHash, kInnerNumber.hash);
    tkxml::MessageList& leaves = inner.getlistobject(kLeaves.ordinal, kLeaves.tag, kInnerHash, kLeaves.hash, i != 1);
    for (int j = 0; j < i; ++j) {
      CNMessageBase leaf(kNs, kLeaf);
      leaf.setint64(kLeafNumber.ordinal, kLeafNumber.tag, 10 * i + j, kLeafHash, kLeafNumber.hash);
      leaves.push_back(leaf);
    }
    children.push_back(inner);
  }
  std::string text;
  ASSERT_EQ(m.serialize(text), 0);
  EXPECT_EQ(text,
            "<TkTest_Outer><list tag=\"8\">"
            "<TkTest_Inner i1=\"0\"><list tag=\"3\"/></TkTest_Inner>"
            "<TkTest_Inner i1=\"1\"><list tag=\"3\"><TkTest_Leaf i0=\"10\"/></list></TkTest_Inner>"
            "<TkTest_Inner i1=\"2\"><list tag=\"3\"><TkTest_Leaf i0=\"20\"/><TkTest_Leaf i0=\"21\"/></list></TkTest_Inner>"
            "</list></TkTest_Outer>");
  CNMessageBase back(kNs, kOuter);
  ASSERT_EQ(back.unserialize(text), 0);
  EXPECT_TRUE(back == m);
  const tkxml::MessageList& list = back.getlistobject(kChildren.ordinal, kChildren.tag, kOuterHash, kChildren.hash);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_TRUE(list[0].isSet(kLeaves.ordinal, kInnerHash, kLeaves.hash));  // empty, yet carried
  EXPECT_EQ(list[2].getint64(kInnerNumber.tag, kInnerHash, kInnerNumber.hash), 2);
}

TEST_F(XmlRoundTrip, FieldsTheRegistryDoesNotKnowSurviveInCanonicalOrder) {
  const std::string in =
      "<ZQGui_GenericResp zeta=\"z&amp;\" i1=\"0\" i99=\"7\" alpha=\"x\" tag=\"4\">"
      "<Newer tag=\"5\" b=\"2\" a=\"1\">note<Deep/></Newer>"
      "<list tag=\"9\"><Other s1=\"y\"/></list>"
      "</ZQGui_GenericResp>";
  ZQGui::GenericResp m;
  ASSERT_EQ(m.unserialize(in), 0);
  EXPECT_EQ(m.getint64(1, 0x010003F0, 0x9CB015), 0);
  EXPECT_TRUE(m.isSet(1, 0x010003F0, 0x9CB015));
  EXPECT_FALSE(m.isSet(2, 0x010003F0, 0xB7ECDF));
  std::string text;
  ASSERT_EQ(m.serialize(text), 0);
  EXPECT_EQ(text,
            "<ZQGui_GenericResp i1=\"0\" alpha=\"x\" i99=\"7\" zeta=\"z&amp;\">"
            "<Newer a=\"1\" b=\"2\" tag=\"5\">note<Deep/></Newer>"
            "<list tag=\"9\"><Other s1=\"y\"/></list>"
            "</ZQGui_GenericResp>");
  ZQGui::GenericResp back;
  ASSERT_EQ(back.unserialize(text), 0);
  EXPECT_TRUE(back == m);

  // Unknown fields travel with copies.
  ZQGui::GenericResp copy(m);
  EXPECT_TRUE(copy == m);
}

TEST_F(XmlRoundTrip, WhitespaceAndDeclarationsAreAccepted) {
  const std::string in =
      "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- a comment -->\n"
      "<EVGui_MMConfigurationLockUnlockReq>\n  <EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i2=\"3\"/>\n"
      "</EVGui_MMConfigurationLockUnlockReq>\n";
  EVGui::MMConfigurationLockUnlockReq req;
  ASSERT_EQ(req.unserialize(in), 0);
  CNMessageBase& info = req.getObjectAccessor(true, false, 1, 1, 0x0DF9BE39, 0x37931, 13, 959);
  EXPECT_EQ(info.getint64(2, 0x0D17D425, 0xCE3B05), 3);
  EXPECT_FALSE(info.isSet(1, 0x0D17D425, 0x3A3E51));
}

TEST_F(XmlRoundTrip, CopiesAreDeepAndAssignmentReplacesEverything) {
  CNMessageBase a(kNs, kOuter);
  fillAll(a, 2, 1);
  CNMessageBase b(a);
  EXPECT_TRUE(a == b);
  b.getObjectAccessor(true, true, kChild.ordinal, kChild.tag, kOuterHash, kChild.hash, kNs, kInner)
      .setint64(kInnerNumber.ordinal, kInnerNumber.tag, 99, kInnerHash, kInnerNumber.hash);
  EXPECT_FALSE(a == b);
  EXPECT_NE(a.getObjectAccessor(true, true, kChild.ordinal, kChild.tag, kOuterHash, kChild.hash, kNs, kInner)
                .getint64(kInnerNumber.tag, kInnerHash, kInnerNumber.hash),
            99);
  b = a;
  EXPECT_TRUE(a == b);
  CNMessageBase moved(std::move(b));
  EXPECT_TRUE(moved == a);
}

}  // namespace
