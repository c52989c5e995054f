// scripts/unity-groups, which puts test sources into one translation unit
// only where none of them can see what another declares: for each pair of
// sources, whether they share a batch (a wrong "yes" would let a test
// compile to other code than alone, a wrong "no" only costs time).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

struct Pair {
  const char* what;
  std::string first;   // a.cpp
  std::string second;  // b.cpp
  std::string header;  // h.h, which a.cpp includes when it names it
  bool together;
  std::string shared = "";  // s.h, for both
};

std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  const int status = pclose(pipe);
  if (status != 0) out += "exit status " + std::to_string(status);
  return out;
}

void write(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
}

std::string anon(const std::string& body) { return "namespace {\n" + body + "\n}  // namespace\n"; }

TEST(UnityGroups, TwoSourcesShareABatchOnlyIfNeitherCanSeeWhatTheOtherDeclares) {
  const std::vector<Pair> pairs = {
      {"names of their own", anon("int helperA(int v) { return v; }\nTEST(A, X) { EXPECT_EQ(1, helperA(1)); }"),
       anon("long helperB(long v) { return v; }\nTEST(B, X) { EXPECT_EQ(1, helperB(1)); }"), "", true},
      {"an overload of a helper the other calls",
       anon("int helper(int v) { return v; }\nTEST(A, X) { EXPECT_EQ(1, helper(1)); }"),
       anon("long helper(long v) { return v; }\nTEST(B, X) { EXPECT_EQ(1, helper(1L)); }"), "", false},
      {"a constant the other names", anon("constexpr int kLimit = 3;\nTEST(A, X) { EXPECT_EQ(3, kLimit); }"),
       anon("TEST(B, X) { int kLimit = 4; EXPECT_EQ(4, kLimit); }"), "", false},
      {"a constant behind a number with digit separators",
       anon("constexpr int kSmall = 1'000, kLarge = 20'000;\nTEST(A, X) { EXPECT_LT(kSmall, kLarge); }"),
       anon("TEST(B, X) { int kLarge = 4; EXPECT_EQ(4, kLarge); }"), "", false},
      {"an enumerator the other names", anon("enum Kind { kDisk, kTape };\nTEST(A, X) { EXPECT_EQ(0, kDisk); }"),
       anon("TEST(B, X) { const int kTape = 7; EXPECT_EQ(7, kTape); }"), "", false},
      {"a class the other names", anon("struct Row { int id; };\nTEST(A, X) { Row r{1}; EXPECT_EQ(1, r.id); }"),
       anon("TEST(B, X) { struct Row { long id; } r{2}; EXPECT_EQ(2, r.id); }"), "", false},
      {"a variable after a class body", anon("struct { int id; } gRow;\nTEST(A, X) { EXPECT_EQ(0, gRow.id); }"),
       anon("TEST(B, X) { int gRow = 1; EXPECT_EQ(1, gRow); }"), "", false},
      {"a macro the other names", "#define LIMIT 3\n" + anon("TEST(A, X) { EXPECT_EQ(3, LIMIT); }"),
       anon("TEST(B, X) { int LIMIT = 4; EXPECT_EQ(4, LIMIT); }"), "", false},
      {"a using-directive on one side only", "using namespace std::string_literals;\n" + anon("TEST(A, X) {}"),
       anon("TEST(B, X) {}"), "", false},
      {"the same using-declaration on both sides",
       "#include <string>\n" + anon("using std::string;\nTEST(A, X) { string s; EXPECT_TRUE(s.empty()); }"),
       "#include <string>\n" + anon("using std::string;\nTEST(B, X) { string s; EXPECT_TRUE(s.empty()); }"), "", true},
      {"a member of the same name", anon("int size(int v) { return v; }\nTEST(A, X) { EXPECT_EQ(1, size(1)); }"),
       "#include <string>\n" + anon("TEST(B, X) { std::string s; EXPECT_EQ(0u, s.size()); }"), "", true},
      {"a header of its own declaring what the other calls",
       "#include \"h.h\"\n" + anon("TEST(A, X) { EXPECT_EQ(1, shared(1)); }"),
       anon("int shared(long v) { return static_cast<int>(v); }\nTEST(B, X) { EXPECT_EQ(1, shared(1L)); }"),
       "#pragma once\ninline int shared(int v) { return v; }\n", false},
      {"a name of a named namespace used as a member",
       "#include \"h.h\"\n" + anon("TEST(A, X) { EXPECT_EQ(\"a\", journal::text(\"a\")); }"),
       "#include <string>\n" + anon("struct Line { std::string text; };\nTEST(B, X) { Line l; EXPECT_EQ(\"\", l.text); }"),
       "#pragma once\n#include <string>\nnamespace journal {\ninline std::string text(const char* v) { return v; }\n}\n",
       true},
      {"a name of a named namespace called without a qualifier",
       "#include \"h.h\"\n" + anon("TEST(A, X) { EXPECT_EQ(\"a\", journal::text(\"a\")); }"),
       anon("const char* text(const char* v) { return v; }\nTEST(B, X) { EXPECT_STREQ(\"b\", text(\"b\")); }"),
       "#pragma once\n#include <string>\nnamespace journal {\ninline std::string text(const char* v) { return v; }\n}\n",
       false},
      {"an overload that argument-dependent lookup finds in a header of its own",
       "#include \"s.h\"\n#include \"h.h\"\n" + anon("TEST(A, X) { EXPECT_EQ(1, journal::text(makeEntry())); }"),
       "#include \"s.h\"\n" + anon("TEST(B, X) { auto e = makeEntry(); EXPECT_EQ(1, text(e)); }"),
       "#pragma once\n#include \"s.h\"\nnamespace journal {\ninline int text(Entry&) { return 2; }\n}\n", false,
       "#pragma once\nnamespace journal {\nstruct Entry {};\ninline int text(const Entry&) { return 1; }\n}\n"
       "inline journal::Entry makeEntry() { return {}; }\n"},
      {"a system header of the C library on one side only",
       "#include <sys/socket.h>\n" + anon("TEST(A, X) { EXPECT_GT(SOMAXCONN, 0); }"), anon("TEST(B, X) {}"), "", false},
      {"a header of the C++ library on one side only", "#include <thread>\n" + anon("TEST(A, X) {}"),
       anon("TEST(B, X) {}"), "", true},
      {"an operator for a type the other names",
       "#include <ostream>\n" + anon("struct Item { int id; };\nstd::ostream& operator<<(std::ostream& os, const Item& i) "
                                     "{ return os << i.id; }\nTEST(A, X) {}"),
       anon("TEST(B, X) { struct Item { int id; } i{1}; EXPECT_EQ(1, i.id); }"), "", false},
      {"diagnostics pushed and popped",
       "#pragma GCC diagnostic push\n#pragma GCC diagnostic ignored \"-Wformat-nonliteral\"\n" + anon("TEST(A, X) {}") +
           "#pragma GCC diagnostic pop\n",
       anon("TEST(B, X) {}"), "", true},
      {"diagnostics turned off for the rest", "#pragma GCC diagnostic ignored \"-Wformat-nonliteral\"\n" + anon("TEST(A, X) {}"),
       anon("TEST(B, X) {}"), "", false},
      {"a test outside the anonymous namespace", anon("struct Fixture : ::testing::Test {};") + "TEST_F(Fixture, X) {}\n",
       anon("TEST(B, X) {}"), "", false},
  };
  for (const Pair& pair : pairs) {
    SCOPED_TRACE(pair.what);
    tktest::TempDir dir;
    const std::string area = dir.file("area");
    ASSERT_EQ(0, system(("mkdir -p '" + area + "'").c_str()));
    write(area + "/a.cpp", "#include <gtest/gtest.h>\n" + pair.first);
    write(area + "/b.cpp", "#include <gtest/gtest.h>\n" + pair.second);
    if (!pair.header.empty()) write(area + "/h.h", pair.header);
    if (!pair.shared.empty()) write(area + "/s.h", pair.shared);
    const std::string out = run("perl '" TK_SOURCE_DIR "/scripts/unity-groups' '" + dir.path() + "' 8 '" + area + "'");
    const std::string batch = "set_source_files_properties(" + area + "/a.cpp " + area + "/b.cpp PROPERTIES UNITY_GROUP area_1)\n";
    EXPECT_EQ(pair.together ? batch : "", out);
  }
}

TEST(UnityGroups, NoBatchHoldsMoreSourcesThanAsked) {
  tktest::TempDir dir;
  const std::string area = dir.file("area");
  ASSERT_EQ(0, system(("mkdir -p '" + area + "'").c_str()));
  for (const char* name : {"a", "b", "c"}) {
    write(area + "/" + name + ".cpp", "#include <gtest/gtest.h>\n" + anon(std::string("TEST(") + name + ", X) {}"));
  }
  const std::string out = run("perl '" TK_SOURCE_DIR "/scripts/unity-groups' '" + dir.path() + "' 2 '" + area + "'");
  EXPECT_EQ("set_source_files_properties(" + area + "/a.cpp " + area + "/b.cpp PROPERTIES UNITY_GROUP area_1)\n", out);
}

}  // namespace
