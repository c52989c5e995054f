// The storage-library word of the console (see StorageLibraryCommands.h).
#include "console/StorageLibraryCommands.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "console/CommandLine.h"
#include "console/MessageFields.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"
#include "platform/xml/TaskMessages.h"

namespace tkconsole {
namespace {

using Info = EVGui::StorageLibraryInfo;
using Req = EVGui::ConfigureStorageLibraryReq;

constexpr const char* kWord = "storage-library";
constexpr const char* kSecondPrefix = "second.";
// Fields of the request itself (6: delete-enable).
constexpr const char* kRequestPrefix = "request.";
// The operation code (tag 43) of a library delete.
constexpr long long kDeleteLibrary = 2;

// The operation codes the storage-library request serves. The handler
// answers a request without one, or with one it has no operation for, with
// a success that did nothing: the console refuses those before sending.
struct Operation {
  long long code;
  const char* name;
};
constexpr Operation kOperations[] = {
    {1, "create library"},
    {2, "delete library"},
    {4, "add mount path"},
    {8, "change mount-path properties"},
    {16, "delete mount path"},
    {32, "modify library"},
    {64, "share mount path"},
    {128, "unshare mount path"},
    {256, "create device"},
    {512, "drive maintenance"},
    {1024, "force delete mount path"},
    {4096, "set vault lock"},
    {8192, "force delete library"},
    {16384, "add shared mount path"},
};

std::string operationList() {
  std::string list;
  for (const Operation& op : kOperations)
    list += (list.empty() ? "" : ", ") + std::to_string(op.code) + " " + op.name;
  return list;
}

const Operation* findOperation(long long code) {
  for (const Operation& op : kOperations)
    if (op.code == code) return &op;
  return nullptr;
}

bool knownOperation(const CNMessageBase& library, std::string& error) {
  if (!library.isSet(Info::kOperation.ordinal, Info::kClassHash, Info::kOperation.hash)) {
    error = "storage-library needs its operation, 43=CODE (" + operationList() + ")";
    return false;
  }
  const long long code = library.getint64(Info::kOperation.tag, Info::kClassHash, Info::kOperation.hash);
  if (findOperation(code) != nullptr) return true;
  error = "storage-library has no operation " + std::to_string(code) + "; 43= takes " + operationList();
  return false;
}

CNMessageBase& description(Req& request, const tkxml::FieldDef& field) {
  return request.getObjectAccessor(true, true, field.ordinal, field.tag, Req::kClassHash, field.hash, field.ns,
                                   field.cls);
}

}  // namespace

const char* storageLibraryOperationName(long long code) {
  const Operation* op = findOperation(code);
  return op != nullptr ? op->name : nullptr;
}

bool expandStorageLibraryCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size() || uq(words[at]) != kWord) return true;

  Req request;
  const std::string prefix = kSecondPrefix;
  for (std::size_t i = at + 1; i < words.size(); ++i) {
    const std::string word = uq(words[i]);
    const std::string requestPrefix = kRequestPrefix;
    if (word.compare(0, requestPrefix.size(), requestPrefix) == 0) {
      if (!setMessageField(request, Req::kNamespace, Req::kClassNumber, word.substr(requestPrefix.size()),
                           "the storage-library request", error))
        return false;
      continue;
    }
    const bool second = word.compare(0, prefix.size(), prefix) == 0;
    CNMessageBase& info = description(request, second ? Req::kSecond : Req::kLibrary);
    if (!setMessageField(info, Info::kNamespace, Info::kClassNumber, second ? word.substr(prefix.size()) : word,
                         "a library description", error))
      return false;
  }
  if (!knownOperation(description(request, Req::kLibrary), error)) return false;
  std::string xml;
  if (request.serialize(xml) != 0) {
    error = "the request cannot be written as XML";
    return false;
  }
  replaceByXmlRequest(words, at, Req::kClassHash, xml, fromShell);
  return true;
}

bool expandCanDeleteCommand(std::vector<std::string>& words, bool fromShell, std::string& error) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  const std::size_t at = handlerWordAt(words);
  if (at >= words.size() || uq(words[at]) != "can-delete") return true;
  using Question = EVGui::CanDeleteLibraryMountPathReq;
  uint64_t mountPathId = 0;
  uint64_t libraryId = 0;
  if (words.size() != at + 3 || !parseNumber(uq(words[at + 1]), INT32_MAX, mountPathId) ||
      !parseNumber(uq(words[at + 2]), INT32_MAX, libraryId)) {
    error = "can-delete takes a mount-path id (0: the whole library) and a library id";
    return false;
  }
  Question question;
  question.setint64(Question::kMountPathId.ordinal, Question::kMountPathId.tag, static_cast<long long>(mountPathId),
                    Question::kClassHash, Question::kMountPathId.hash);
  question.setint64(Question::kLibraryId.ordinal, Question::kLibraryId.tag, static_cast<long long>(libraryId),
                    Question::kClassHash, Question::kLibraryId.hash);
  std::string xml;
  if (question.serialize(xml) != 0) {
    error = "the request cannot be written as XML";
    return false;
  }
  replaceByXmlRequest(words, at, Question::kClassHash, xml, fromShell);
  return true;
}

}  // namespace tkconsole

namespace tkconsole {

const char* storageLibraryDeleteHint(const Request& request, const tkwire::Reply& reply) {
  using Resp = EVGui::ConfigureStorageLibraryResp;
  if (!request.xml || request.xmlRequest.messageId != Req::kClassHash) return nullptr;
  Req sent;
  if (sent.unserialize(request.xmlRequest.xml) != 0) return nullptr;
  const CNMessageBase& library = description(sent, Req::kLibrary);
  if (library.getint64(Info::kOperation.tag, Info::kClassHash, Info::kOperation.hash) != kDeleteLibrary)
    return nullptr;
  // With delete-enable set the delete was done: one limited to a media
  // agent's parts answers with the library that stays.
  if (sent.getint64(Req::kDeleteEnable.tag, Req::kClassHash, Req::kDeleteEnable.hash) != 0) return nullptr;
  // A library that is deleted goes without its description in the answer;
  // one that delete-enable kept comes back with it.
  std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
  Resp response;
  if (!answer || answer->result != 0 || response.unserialize(answer->text) != 0) return nullptr;
  if (!response.isSet(Resp::kLibrary.ordinal, Resp::kClassHash, Resp::kLibrary.hash)) return nullptr;
  return "nothing was deleted: the request's delete-enable field is 0; add request.6=1 to delete the library";
}

}  // namespace tkconsole
