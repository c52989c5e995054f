// Includes run one way: the platform stands below the handler library and
// never includes it, the folders every handler folder shares (frame/, Db/)
// include no handler folder, and nothing that is built into a product
// includes tests/. A wrong include compiles without complaint, so the
// source tree itself is read here, with the failure naming each file and
// line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// Folders above the platform: the handler folders, the entry table, the
// host and the console.
const std::vector<std::string> kAboveThePlatform = {"mmconfig/", "ezconfig/", "nas/",  "sanvol/",
                                                    "entry/",    "host/",     "console/"};
const std::vector<std::string> kHandlerFolders = {"mmconfig/", "ezconfig/", "nas/", "sanvol/", "entry/"};
// Top-level folders that are not built into a product: tests and what runs
// only beside them, and build output.
const std::set<std::string> kNotProduct = {"tests", "bench", "fuzz", "build", "var", "scripts", "examples"};

struct Include {
  std::string file;  // relative to the scanned root
  int line = 0;
  std::string path;  // as written between the quotes or brackets
};

bool isSource(const fs::path& p) {
  const std::string ext = p.extension().string();
  return ext == ".h" || ext == ".hpp" || ext == ".cpp" || ext == ".cc" || ext == ".c";
}

// The path of an include directive (`#include "x"` or `<x>`, spaces
// allowed around the #), or empty for any other line.
std::string includedPath(const std::string& line) {
  std::size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos || line[i] != '#') return {};
  i = line.find_first_not_of(" \t", i + 1);
  if (i == std::string::npos || line.compare(i, 7, "include") != 0) return {};
  i = line.find_first_not_of(" \t", i + 7);
  if (i == std::string::npos || (line[i] != '"' && line[i] != '<')) return {};
  const std::size_t end = line.find(line[i] == '"' ? '"' : '>', i + 1);
  if (end == std::string::npos) return {};
  return line.substr(i + 1, end - i - 1);
}

// Every include of every source file under root/folder.
std::vector<Include> includesUnder(const fs::path& root, const std::string& folder) {
  std::vector<Include> out;
  const fs::path top = root / folder;
  if (!fs::is_directory(top)) return out;
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    if (!entry.is_regular_file() || !isSource(entry.path())) continue;
    std::ifstream in(entry.path());
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
      ++number;
      std::string path = includedPath(text);
      if (!path.empty()) out.push_back({fs::relative(entry.path(), root).generic_string(), number, std::move(path)});
    }
  }
  return out;
}

// The top-level folders under root that are built into a product.
std::vector<std::string> productFolders(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_directory() || name.empty() || name[0] == '.' || kNotProduct.count(name) != 0) continue;
    out.push_back(name);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// "file:line includes path" for each include of `folders` that begins with
// one of `forbidden`.
std::vector<std::string> violations(const fs::path& root, const std::vector<std::string>& folders,
                                    const std::vector<std::string>& forbidden) {
  std::vector<std::string> out;
  for (const auto& folder : folders) {
    for (const auto& inc : includesUnder(root, folder)) {
      for (const auto& prefix : forbidden) {
        if (inc.path.rfind(prefix, 0) == 0)
          out.push_back(inc.file + ":" + std::to_string(inc.line) + " includes " + inc.path);
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

const fs::path kSource(TK_SOURCE_DIR);

TEST(IncludeDirection, NoPlatformFileIncludesAHandlerFolderTheHostOrTheConsole) {
  const auto found = violations(kSource, {"platform"}, kAboveThePlatform);
  EXPECT_TRUE(found.empty()) << joined(found);
}

TEST(IncludeDirection, TheSharedFrameAndBindingsIncludeNoHandlerFolder) {
  const auto found = violations(kSource, {"frame", "Db"}, kHandlerFolders);
  EXPECT_TRUE(found.empty()) << joined(found);
}

TEST(IncludeDirection, NoProductFileIncludesTests) {
  const auto folders = productFolders(kSource);
  // The scan sees the product: the platform, the handler library, its entry
  // table, the host and console, and the wire codec they share.
  for (const char* expected : {"platform", "frame", "Db", "entry", "host", "console", "wire"})
    EXPECT_TRUE(std::find(folders.begin(), folders.end(), expected) != folders.end()) << expected;
  const auto found = violations(kSource, folders, {"tests/"});
  EXPECT_TRUE(found.empty()) << joined(found);
}

TEST(IncludeDirection, TheScanReadsTheRealTreeAndFindsItsIncludes) {
  // The entry table stands above the handler folders and includes them: if
  // the scan did not see that, it would see no violation either.
  const auto includes = includesUnder(kSource, "entry");
  EXPECT_TRUE(std::any_of(includes.begin(), includes.end(),
                          [](const Include& i) { return i.path == "sanvol/EvSANVolMgr.h"; }));
}

TEST(IncludeDirection, AWrongIncludeIsReportedWithItsFileAndLine) {
  tktest::TempDir dir;
  const fs::path root(dir.path());
  fs::create_directories(root / "platform/replicadb");
  fs::create_directories(root / "wire");
  fs::create_directories(root / "tests/support");
  fs::create_directories(root / "bench");
  std::ofstream(root / "platform/replicadb/Calls.h") << "#pragma once\n\n#include <string>\n"
                                                        "#include \"platform/replicadb/Records.h\"\n"
                                                        "  #  include \"sanvol/Records.h\"\n";
  std::ofstream(root / "wire/Codec.cpp") << "#include <tests/support/Helper.h>\n";
  // Tests and benchmarks may use the test support.
  std::ofstream(root / "bench/Bench.cpp") << "#include \"tests/support/Helper.h\"\n";
  std::ofstream(root / "tests/support/Helper.h") << "#include \"sanvol/Records.h\"\n";
  // Text that only looks like an include is not one.
  std::ofstream(root / "platform/replicadb/Notes.cpp") << "// see #include \"nas/Old.h\" in the history\n";

  EXPECT_EQ(violations(root, {"platform"}, kAboveThePlatform),
            (std::vector<std::string>{"platform/replicadb/Calls.h:5 includes sanvol/Records.h"}));
  EXPECT_EQ(productFolders(root), (std::vector<std::string>{"platform", "wire"}));
  EXPECT_EQ(violations(root, productFolders(root), {"tests/"}),
            (std::vector<std::string>{"wire/Codec.cpp:1 includes tests/support/Helper.h"}));
}

}  // namespace
