// The numbers of the element stream stand once, in frame/ElementTags.h.
// A handler, the console or a test that writes a tag or reply id as a bare
// number again compiles without complaint and drifts apart unseen, so the
// source tree itself is read here: the table states each number and name
// once and stays constants only, and no item, element or reply constant of
// the tree restates a number of the table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource(TK_SOURCE_DIR);
const std::vector<std::string> kUsers = {"mmconfig", "ezconfig", "nas",     "sanvol", "entry",
                                         "frame",    "platform", "console", "host",   "tests"};

struct Entry {
  std::string name;
  unsigned long value = 0;
  int line = 0;
};

// The constants of the table, in the order they stand.
std::vector<Entry> tableEntries(const fs::path& header) {
  static const std::regex kConstant(R"(^inline constexpr uint32_t (k\w+) = (\d+);)");
  std::vector<Entry> out;
  std::ifstream in(header);
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    std::smatch m;
    if (std::regex_search(text, m, kConstant)) out.push_back({m[1], std::stoul(m[2]), number});
  }
  return out;
}

// "file:line name = value" for each item, element or reply constant under
// root/folders (a constexpr definition or an enum member) that is given a
// bare number the table states.
std::vector<std::string> restatedNumbers(const fs::path& root, const std::vector<std::string>& folders,
                                         const std::vector<Entry>& table) {
  static const std::regex kDefinition(
      R"(^\s*(?:(?:inline|static)\s+)*(?:constexpr\s+[\w:\s]+?\s+)?(k(?:Item|Element|Reply)\w*)\s*=\s*(\d+)[uUlL]*\s*[;,])");
  std::map<unsigned long, std::string> known;
  for (const auto& e : table) known[e.value] = e.name;
  std::vector<std::string> out;
  for (const auto& folder : folders) {
    const fs::path top = root / folder;
    if (!fs::is_directory(top)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
      if (fs::relative(entry.path(), root).generic_string() == "frame/ElementTags.h") continue;  // the table itself
      std::ifstream in(entry.path());
      std::string text;
      int number = 0;
      while (std::getline(in, text)) {
        ++number;
        // Only a line that names such a constant and gives it a value can
        // match; the expression is slow, and most lines are neither.
        if (text.find('=') == std::string::npos ||
            (text.find("kItem") == std::string::npos && text.find("kElement") == std::string::npos &&
             text.find("kReply") == std::string::npos))
          continue;
        std::smatch m;
        if (std::regex_search(text, m, kDefinition) && known.count(std::stoul(m[2])) != 0)
          out.push_back(fs::relative(entry.path(), root).generic_string() + ":" + std::to_string(number) + " " +
                        m[1].str() + " = " + m[2].str());
      }
    }
  }
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += "\n  " + line;
  return out;
}

TEST(ElementTags, TheTableStatesEachNumberAndEachNameOnce) {
  const auto table = tableEntries(kSource / "frame/ElementTags.h");
  ASSERT_GT(table.size(), 300u);
  std::map<unsigned long, int> byValue;
  std::map<std::string, int> byName;
  for (const auto& e : table) {
    EXPECT_TRUE(byValue.emplace(e.value, e.line).second)
        << e.value << " at line " << e.line << " and line " << byValue[e.value];
    EXPECT_TRUE(byName.emplace(e.name, e.line).second) << e.name << " at line " << e.line;
  }
  // The scan reads what the compiler reads.
  EXPECT_EQ(byName.count("kMediaAgent"), 1u);
  EXPECT_EQ(tktag::kMediaAgent, 2048u);
}

TEST(ElementTags, TheTableIsConstantsOnlyAndIncludesOnlyCstdint) {
  std::ifstream in(kSource / "frame/ElementTags.h");
  std::string text;
  std::vector<std::string> includes;
  while (std::getline(in, text))
    if (text.rfind("#include", 0) == 0) includes.push_back(text);
  EXPECT_EQ(includes, (std::vector<std::string>{"#include <cstdint>"}));
}

TEST(ElementTags, NoItemElementOrReplyConstantRestatesANumberOfTheTable) {
  const auto found = restatedNumbers(kSource, kUsers, tableEntries(kSource / "frame/ElementTags.h"));
  EXPECT_TRUE(found.empty()) << joined(found);
}

TEST(ElementTags, ARestatedNumberIsReportedWithItsFileAndLine) {
  tktest::TempDir dir;
  const fs::path root(dir.path());
  fs::create_directories(root / "frame");
  fs::create_directories(root / "nas/clients");
  // The table is the one place its numbers stand.
  std::ofstream(root / "frame/ElementTags.h") << "#pragma once\n"
                                                 "inline constexpr uint32_t kMediaAgent = 2048;  // media agent\n"
                                                 "inline constexpr uint32_t kReplyNasClients = 11501;\n";
  std::ofstream(root / "nas/clients/Clients.cpp")
      << "constexpr unsigned long kItemMediaAgent = tktag::kMediaAgent;\n"
         "constexpr unsigned long kReplyNasClients = 11501;\n"
         "constexpr std::size_t kPasswordMax = 2048;\n"  // a size, not a tag
         "enum : unsigned int {\n"
         "  kElementAgent = 2048,\n"
         "};\n"
         "// kItemOld = 2048; stood here once\n";
  const auto table = tableEntries(root / "frame/ElementTags.h");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(restatedNumbers(root, {"frame", "nas"}, table),
            (std::vector<std::string>{"nas/clients/Clients.cpp:2 kReplyNasClients = 11501",
                                      "nas/clients/Clients.cpp:5 kElementAgent = 2048"}));
}

}  // namespace
