// The string object of the XML library, the text copy and the C-string
// helpers of the XML handlers.
#include <gtest/gtest.h>

#include <barrier>
#include <cstring>
#include <string>
#include <thread>

#include "frame/TextHelpers.h"

namespace {

TEST(Bstring, HoldsACopyOfItsText) {
  std::string source = "secret";
  bstring b(source);
  source[0] = 'X';
  EXPECT_STREQ(b.c_str(), "secret");
  EXPECT_EQ(b.size(), 6u);
  EXPECT_FALSE(b.empty());
  EXPECT_TRUE(bstring(std::string()).empty());
  bstring copy = b;
  EXPECT_STREQ(copy.c_str(), "secret");
}

TEST(FXStringToString, CopiesByteForByte) {
  const std::string bytes("a\0b\xC3\xA9\xFF", 6);
  EXPECT_EQ(FXString::ToString(bytes), bytes);
  EXPECT_EQ(FXString::ToString("plain"), "plain");
  EXPECT_EQ(FXString::ToString(static_cast<const char*>(nullptr)), "");
}

// Both helpers behave alike; run every case through each.
struct Helper {
  const char* name;
  char* (*call)(std::string&);
};
char* callLocal(std::string& s) { return MyLocalText(s); }
char* callUtf8(std::string& s) { return MyUTF8Text(s); }
const Helper kHelpers[] = {{"MyLocalText", callLocal}, {"MyUTF8Text", callUtf8}};

TEST(MyText, EmptyTextOddBytesAndTheNextCallOfTheSameThread) {
  for (const Helper& h : kHelpers) {
    SCOPED_TRACE(h.name);
    std::string big(100, 'z');
    h.call(big);
    std::string empty;
    char* out = h.call(empty);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(std::string(out, kMyTextBufferSize), std::string(kMyTextBufferSize, '\0')) << "the whole buffer is zero";

    std::string text = "caf\xC3\xA9 \xFF\x80";
    const std::string before = text;
    EXPECT_EQ(std::string(h.call(text)), before) << "bytes above 127 are unchanged";
    EXPECT_EQ(text, before) << "the argument is never modified";

    std::string first = "first text";
    std::string second = "2nd";
    char* a = h.call(first);
    char* b = h.call(second);
    EXPECT_EQ(a, b) << "the next call overwrites the result";
    EXPECT_STREQ(a, "2nd");
    EXPECT_EQ(a[4], '\0') << "the rest of the old text is gone";
  }
  std::string one = "one";
  std::string two = "two";
  char* a = MyLocalText(one);
  char* b = MyUTF8Text(two);
  EXPECT_NE(a, b) << "the two helpers have distinct buffers";
  EXPECT_STREQ(a, "one");
  EXPECT_STREQ(b, "two");
}

TEST(MyText, ALongReplyTextIsCutTo4095BytesAndARequestTextIsKeptWhole) {
  for (const Helper& h : kHelpers) {
    const bool whole = std::string(h.name) == "MyUTF8Text";
    const struct {
      size_t length;
      size_t cut;
    } cases[] = {{4094, 4094}, {4095, 4095}, {4096, 4095}, {100000, 4095}};
    for (const auto& c : cases) {
      std::string text(c.length, 'a');
      text.back() = 'z';
      const size_t kept = whole ? c.length : c.cut;
      char* out = h.call(text);
      EXPECT_EQ(std::strlen(out), kept) << h.name << " " << c.length;
      EXPECT_EQ(out[kMyTextBufferSize - 1], kept >= kMyTextBufferSize ? text[kMyTextBufferSize - 1] : '\0') << h.name << " " << c.length;
      EXPECT_EQ(out[kept - 1], kept == c.length ? 'z' : 'a') << h.name << " " << c.length;
    }
    std::string shorter = "after";
    EXPECT_STREQ(h.call(shorter), "after") << h.name << ": a long text leaves nothing behind";
  }
}

TEST(MyText, EachThreadKeepsItsOwnResult) {
  for (const Helper& h : kHelpers) {
    std::barrier sync(2);
    std::string seenByA;
    std::string seenByB;
    char* bufferA = nullptr;
    char* bufferB = nullptr;
    std::thread a([&] {
      std::string text = "text of thread A";
      bufferA = h.call(text);
      sync.arrive_and_wait();  // B calls now
      sync.arrive_and_wait();
      seenByA = bufferA;
    });
    std::thread b([&] {
      sync.arrive_and_wait();
      std::string text = "B";
      bufferB = h.call(text);
      seenByB = bufferB;
      sync.arrive_and_wait();
    });
    a.join();
    b.join();
    EXPECT_EQ(seenByA, "text of thread A") << h.name;
    EXPECT_EQ(seenByB, "B") << h.name;
    EXPECT_NE(bufferA, bufferB) << h.name;
  }
}

}  // namespace
