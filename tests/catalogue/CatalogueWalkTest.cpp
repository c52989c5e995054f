// Every message id the product hands to the catalogue has a text there, so a
// console never shows a bare "message 0x…" for something a handler says.
//
// The walk reads the product's sources and collects the ids they name for
// the catalogue, by the rules the code follows:
//   - a constant named kText… (any message family);
//   - any named constant of the handlers' message families 0x23 and 0x24
//     (texts, reasons, events and the codes whose texts a handler answers);
//   - a literal id passed straight to a catalogue call (GetMessageString,
//     evPrintf, render).
// The model's own error codes (kError… of 0x1F) are codes, not texts, and
// audit operation and parameter ids are stored as numbers: neither is
// looked up.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/catalogue/Catalogue.h"

namespace {

namespace fs = std::filesystem;

// Where each id is named: "file:line" texts, the first few.
using Sightings = std::map<uint32_t, std::vector<std::string>>;

bool productSource(const fs::path& path) {
  const std::string text = path.generic_string();
  const std::string extension = path.extension().string();
  if (extension != ".cpp" && extension != ".h") return false;
  return text.find("/platform/catalogue/") == std::string::npos &&
         text.find("/platform/testkit/") == std::string::npos;
}

// The line without a trailing // comment (a comment may name ids it does
// not pass).
std::string codeOf(const std::string& line) {
  const std::size_t comment = line.find("//");
  return comment == std::string::npos ? line : line.substr(0, comment);
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool isWord(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// The identifier that ends just before `end` in `code`, skipping blanks.
std::string identifierBefore(const std::string& code, std::size_t end) {
  while (end > 0 && code[end - 1] == ' ') --end;
  std::size_t begin = end;
  while (begin > 0 && isWord(code[begin - 1])) --begin;
  return code.substr(begin, end - begin);
}

// True when the id written at `at` in `code` is named for the catalogue by
// the rules above.
bool namedForCatalogue(const std::string& code, std::size_t at, uint32_t id) {
  std::size_t before = at;
  while (before > 0 && code[before - 1] == ' ') --before;
  if (before == 0) return false;
  const char sign = code[before - 1];
  const std::string name = identifierBefore(code, before - 1);
  if (sign == '=') {
    if (name.size() < 2 || name[0] != 'k' || !std::isupper(static_cast<unsigned char>(name[1]))) return false;
    const uint32_t family = id >> 24;
    return name.rfind("kText", 0) == 0 || family == 0x23 || family == 0x24;
  }
  if (sign == '(') return name == "GetMessageString" || name == "evPrintf" || name == "render";
  return false;
}

Sightings walkProductSources() {
  Sightings seen;
  const fs::path root(TK_SOURCE_DIR);
  for (const char* folder : {"frame", "Db", "mmconfig", "ezconfig", "nas", "sanvol", "platform", "host", "console"}) {
    if (!fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      if (!entry.is_regular_file() || !productSource(entry.path())) continue;
      std::ifstream in(entry.path());
      int number = 0;
      for (std::string line; std::getline(in, line);) {
        ++number;
        const std::string code = codeOf(line);
        for (std::size_t at = code.find("0x"); at != std::string::npos; at = code.find("0x", at + 2)) {
          const std::size_t digits = at + 2;
          if (digits + 8 > code.size() || (at > 0 && isWord(code[at - 1]))) continue;
          bool hex = true;
          for (std::size_t i = digits; i < digits + 8; ++i) hex = hex && isHex(code[i]);
          if (!hex || (digits + 8 < code.size() && isWord(code[digits + 8]))) continue;
          const uint32_t id = static_cast<uint32_t>(std::stoul(code.substr(digits, 8), nullptr, 16));
          if (!namedForCatalogue(code, at, id)) continue;
          const std::string place = fs::relative(entry.path(), root).generic_string() + ":" + std::to_string(number);
          auto& where = seen[id];
          if (where.size() < 3 && (where.empty() || where.back() != place)) where.push_back(place);
        }
      }
    }
  }
  return seen;
}

TEST(CatalogueWalk, EveryIdTheProductNamesForTheCatalogueHasAText) {
  const Sightings seen = walkProductSources();
  // The walk itself works: it finds the ids it must (the force-close
  // notice, a storage-library refusal, a model text) among many.
  ASSERT_GT(seen.size(), 150u);
  for (uint32_t known : {0x240002FAu, 0x230008B0u, 0x23000002u}) EXPECT_EQ(seen.count(known), 1u) << std::hex << known;

  std::string missing;
  for (const auto& [id, where] : seen) {
    if (tkcatalogue::has(id)) continue;
    char name[16];
    std::snprintf(name, sizeof name, "0x%08X", id);
    missing += std::string(name) + " named at";
    for (const std::string& place : where) missing += " " + place;
    missing += "\n";
  }
  EXPECT_TRUE(missing.empty()) << "ids without a catalogue text:\n" << missing;
}

TEST(CatalogueWalk, AnIdWithoutATextStillSaysWhichMessageWasMeant) {
  // What a console shows for an id the walk would have caught.
  ASSERT_FALSE(tkcatalogue::has(0x23FFFFFEu));
  EXPECT_EQ(tkcatalogue::render(0x23FFFFFEu, 0, {"a"}).rfind("message 0x23FFFFFE", 0), 0u);
}

}  // namespace
