// The drive words of the console (see DriveCommands.h).
#include "console/DriveCommands.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "console/CommandLine.h"

namespace tkconsole {
namespace {

// What the single argument of a word is.
enum class Argument { None, Handle, Number, OptionalNumber, Switch };

struct DriveWord {
  const char* word;
  const char* handler;
  Argument argument;
  // An optional second word and the fixed payload word it sets.
  const char* option;
  std::size_t position;  // from the first fixed field
  uint32_t value;
};

constexpr uint32_t kShortList = 0xFFFFFFFE;

const DriveWord kDriveWords[] = {
    {"children", "onMsgGetMMLibraryChildren", Argument::Handle, "drives", 16, 1},
    {"empty-bays", "onMsgGetMMEmptyDrives", Argument::Handle, nullptr, 0, 0},
    {"master-pools", "onMsgGetMMMasterDrivePools", Argument::Handle, nullptr, 0, 0},
    {"master-pool", "onMsgGetMMMasterDrivePoolProperties", Argument::Handle, nullptr, 0, 0},
    {"drive-pools", "onMsgGetMMDrivePools", Argument::Handle, "master", 16, 1},
    {"drive-pool", "onMsgGetMMDrivePoolProperties", Argument::Handle, nullptr, 0, 0},
    {"drive-paths", "onMsgGetMMDrives", Argument::Handle, "short", 12, kShortList},
    {"drive-path", "onMsgGetMMDriveProperties", Argument::Handle, nullptr, 0, 0},
    {"drive", "onMsgGetMMDriveDeviceProperties", Argument::Handle, nullptr, 0, 0},
    {"drive-ids", "onMsgGetDriveIdList", Argument::Handle, nullptr, 0, 0},
    {"mount-paths", "onMsgGetMMMountPaths", Argument::Handle, nullptr, 0, 0},
    {"mount-path", "onMsgGetMMMountPathProperties", Argument::Handle, nullptr, 0, 0},
    {"media-types", "onMsgGetMMLibraryMediaTypes", Argument::Number, nullptr, 0, 0},
    {"drive-vendors", "onMsgGetMMDriveVendorModelTypes", Argument::None, nullptr, 0, 0},
    {"library-vendors", "onMsgGetMMLibraryVendors", Argument::OptionalNumber, nullptr, 0, 0},
    {"serial-check", "onMsgGetMMMediaConfigParam", Argument::Switch, nullptr, 0, 0},
};

// The payload behind the element count with `value` at `position` (from
// the first fixed field; the stream starts at position 8).
std::string payloadWith(std::size_t position, uint32_t value) {
  std::string bytes(position - 8 + 4, '\0');
  for (std::size_t i = 0; i < 4; ++i) bytes[position - 8 + i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

}  // namespace

bool expandDriveCommand(std::vector<std::string>& words, bool fromShell, std::string& error, std::string& payload) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size()) return true;
  const std::string word = uq(words[at]);
  const DriveWord* entry = nullptr;
  for (const DriveWord& candidate : kDriveWords)
    if (word == candidate.word) entry = &candidate;
  if (entry == nullptr) return true;

  std::vector<std::string> args;
  for (std::size_t i = at + 1; i < words.size(); ++i) args.push_back(uq(words[i]));
  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  uint64_t n = 0;
  switch (entry->argument) {
    case Argument::Handle: {
      const bool withOption = entry->option != nullptr && args.size() == 2 && args[1] == entry->option;
      if (args.empty() || (args.size() > 1 && !withOption) || !parseNumber(args[0], UINT64_MAX, n)) {
        error = word + " takes one handle (a number) from a list" +
                (entry->option != nullptr ? std::string(", and optionally ") + entry->option : std::string());
        return false;
      }
      out.push_back(entry->handler);
      out.push_back("handle=" + std::to_string(n));
      payload = withOption ? payloadWith(entry->position, entry->value) : std::string();
      break;
    }
    case Argument::Number:
    case Argument::OptionalNumber:
      if (args.size() > 1 || (args.empty() && entry->argument == Argument::Number) ||
          (args.size() == 1 && !parseNumber(args[0], UINT32_MAX, n))) {
        error = word + (entry->argument == Argument::Number ? " takes one number" : " takes at most one number");
        return false;
      }
      out.push_back(entry->handler);
      out.push_back("count=" + std::to_string(n));
      break;
    case Argument::None:
      if (!args.empty()) {
        error = word + " takes no argument";
        return false;
      }
      out.push_back(entry->handler);
      break;
    case Argument::Switch:
      if (args.empty()) {
        out.push_back(entry->handler);
      } else if (args.size() == 1 && (args[0] == "on" || args[0] == "off")) {
        out.push_back("onMsgSetMMMediaConfigParam");
        out.push_back("4001=3");
        out.push_back(std::string("11077=") + (args[0] == "on" ? "1" : "0"));
        out.push_back("2052=0");
      } else {
        error = word + " takes nothing, on or off";
        return false;
      }
      break;
  }
  words = std::move(out);
  return true;
}

}  // namespace tkconsole
