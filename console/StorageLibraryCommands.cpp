// The storage-library word of the console (see StorageLibraryCommands.h).
#include "console/StorageLibraryCommands.h"

#include <cstddef>
#include <cstdint>

#include "console/CommandLine.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace tkconsole {
namespace {

using Info = EVGui::StorageLibraryInfo;
using Req = EVGui::ConfigureStorageLibraryReq;

constexpr const char* kWord = "storage-library";
constexpr const char* kSecondPrefix = "second.";

// Sets one TAG=VALUE into the description. False with the reason.
bool setField(CNMessageBase& info, const std::string& assignment, std::string& error) {
  const std::size_t equals = assignment.find('=');
  uint64_t tag = 0;
  if (equals == std::string::npos || !parseNumber(assignment.substr(0, equals), UINT32_MAX, tag)) {
    error = std::string(kWord) + " takes TAG=VALUE or second.TAG=VALUE, not " + assignment;
    return false;
  }
  const std::string value = assignment.substr(equals + 1);
  const tkxml::ClassInfoPtr cls = tkxml::findClass(Info::kNamespace, Info::kClassNumber);
  const tkxml::FieldDef* field = cls ? cls->byTag(static_cast<unsigned>(tag)) : nullptr;
  if (field == nullptr) {
    error = "a library description has no field with tag " + std::to_string(tag);
    return false;
  }
  switch (field->kind) {
    case tkxml::FieldKind::Int64: {
      uint64_t magnitude = 0;
      const bool negative = !value.empty() && value[0] == '-';
      if (!parseNumber(negative ? value.substr(1) : value, static_cast<uint64_t>(INT64_MAX), magnitude)) {
        error = "tag " + std::to_string(tag) + " takes a number, not " + value;
        return false;
      }
      const long long number = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
      info.setint64(field->ordinal, field->tag, number, Info::kClassHash, field->hash);
      return true;
    }
    case tkxml::FieldKind::String:
      info.setstring(field->ordinal, field->tag, value, Info::kClassHash, field->hash);
      return true;
    case tkxml::FieldKind::PString:
      info.setpstringobject(field->ordinal, field->tag, value, tkxml::kPlainText, Info::kClassHash, field->hash);
      return true;
    default:
      error = "tag " + std::to_string(tag) + " holds a message, which the console cannot set";
      return false;
  }
}

CNMessageBase& description(Req& request, const tkxml::FieldDef& field) {
  return request.getObjectAccessor(true, true, field.ordinal, field.tag, Req::kClassHash, field.hash, field.ns,
                                   field.cls);
}

// A script word keeps its quotes: the text goes in single quotes, so a
// single quote inside it is written as the entity XML reads back.
std::string scriptWord(const std::string& xml) {
  std::string out = "'";
  for (char c : xml) {
    if (c == '\'')
      out += "&apos;";
    else
      out += c;
  }
  return out + "'";
}

}  // namespace

bool expandStorageLibraryCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  std::size_t at = 0;
  while (at < words.size() && words[at].compare(0, 2, "--") == 0) at += 2;
  if (at >= words.size() || uq(words[at]) != kWord) return true;

  Req request;
  const std::string prefix = kSecondPrefix;
  for (std::size_t i = at + 1; i < words.size(); ++i) {
    const std::string word = uq(words[i]);
    const bool second = word.compare(0, prefix.size(), prefix) == 0;
    CNMessageBase& info = description(request, second ? Req::kSecond : Req::kLibrary);
    if (!setField(info, second ? word.substr(prefix.size()) : word, error)) return false;
  }
  description(request, Req::kLibrary);  // always present, if only empty
  std::string xml;
  if (request.serialize(xml) != 0) {
    error = "the request cannot be written as XML";
    return false;
  }
  std::vector<std::string> out(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at));
  out.push_back("--xml");
  out.push_back("0x0D130098");
  out.push_back("HandleMMConfigMgrXmlMsg");
  out.push_back(fromShell ? xml : scriptWord(xml));
  words = std::move(out);
  return true;
}

}  // namespace tkconsole
