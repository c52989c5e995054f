// The storage-library word of the console (see StorageLibraryCommands.h).
#include "console/StorageLibraryCommands.h"

#include <cstddef>

#include "console/CommandLine.h"
#include "console/MessageFields.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace tkconsole {
namespace {

using Info = EVGui::StorageLibraryInfo;
using Req = EVGui::ConfigureStorageLibraryReq;

constexpr const char* kWord = "storage-library";
constexpr const char* kSecondPrefix = "second.";

CNMessageBase& description(Req& request, const tkxml::FieldDef& field) {
  return request.getObjectAccessor(true, true, field.ordinal, field.tag, Req::kClassHash, field.hash, field.ns,
                                   field.cls);
}

}  // namespace

bool expandStorageLibraryCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size() || uq(words[at]) != kWord) return true;

  Req request;
  const std::string prefix = kSecondPrefix;
  for (std::size_t i = at + 1; i < words.size(); ++i) {
    const std::string word = uq(words[i]);
    const bool second = word.compare(0, prefix.size(), prefix) == 0;
    CNMessageBase& info = description(request, second ? Req::kSecond : Req::kLibrary);
    if (!setMessageField(info, Info::kNamespace, Info::kClassNumber, second ? word.substr(prefix.size()) : word,
                         "a library description", error))
      return false;
  }
  description(request, Req::kLibrary);  // always present, if only empty
  std::string xml;
  if (request.serialize(xml) != 0) {
    error = "the request cannot be written as XML";
    return false;
  }
  replaceByXmlRequest(words, at, "0x0D130098", xml, fromShell);
  return true;
}

}  // namespace tkconsole
