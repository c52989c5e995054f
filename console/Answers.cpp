#include "console/Answers.h"

#include <cerrno>
#include <cstdlib>

#include "console/Passwords.h"
#include "console/ValueNames.h"
#include "platform/reply/ReplyFrame.h"
#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/FieldListing.h"
#include "platform/xml/StorageLibraryMessages.h"
#include "platform/xml/TaskMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "platform/xml/detail/XmlText.h"

namespace tkconsole {
namespace {

struct Meaning {
  const char* handler;  // null: every handler
  uint32_t status;
  const char* text;
};

// A handler's own meanings come before the general ones.
const Meaning kMeanings[] = {
    {"LockMMConfiguration", 2, "unlock refused: a detected library is not configured"},
    {"LockMMConfiguration", 3, "held"},
    {nullptr, 0, "failure"},
    {nullptr, 1, "success"},
    {nullptr, 2, "success with a warning"},
    {nullptr, 3, "refused"},
};

// The fields of the XML answers that say whether the request was served:
// 0 that it was, any other value that it was not (-1, or the code of the
// service that refused). Each is the code of the element that carries it,
// wherever that element stands in the answer; the text beside it, if any,
// says why.
struct CodeField {
  unsigned classHash;
  tkxml::FieldDef code;
  std::optional<tkxml::FieldDef> text;
};
const CodeField kCodeFields[] = {
    // The generic responses: failures and refusals of every XML handler.
    {ZQGui::GenericResp::kClassHash, ZQGui::GenericResp::kCode, ZQGui::GenericResp::kText},
    {EVGui::GenericResp::kClassHash, EVGui::GenericResp::kCode, EVGui::GenericResp::kText},
    // The error object of the device-path answer.
    {EVGui::ErrorInfo::kClassHash, EVGui::ErrorInfo::kErrorCode, EVGui::ErrorInfo::kErrorText},
    // The device-list answer, and each of its volumes.
    {EVGui::DKBFConfigureDevicesResponse::kClassHash, EVGui::DKBFConfigureDevicesResponse::kErrorCode, std::nullopt},
    {EVGui::DKBFConfigureDeviceRespEntry::kClassHash, EVGui::DKBFConfigureDeviceRespEntry::kErrorCode,
     EVGui::DKBFConfigureDeviceRespEntry::kErrorText},
    // The library description of the storage-library answer.
    {EVGui::StorageLibraryInfo::kClassHash, EVGui::StorageLibraryInfo::kResultCode, std::nullopt},
};

// The attribute that carries a number field.
std::string numberAttribute(const tkxml::FieldDef& field) { return "i" + std::to_string(field.tag); }

// Whether `code`, the code of the element of class `classHash` in the answer
// to the XML message `messageId`, says the request was not served. The
// can-delete question is answered with the generic response of namespace
// 13 whose code above 0 is its answer (the deletion needs a forced
// confirmation, and what it takes first), not a failure.
bool isFailureCode(unsigned long messageId, unsigned classHash, long long code) {
  if (messageId == EVGui::CanDeleteLibraryMountPathReq::kClassHash && classHash == EVGui::GenericResp::kClassHash)
    return code < 0;
  return code != 0;
}

// The first element of `node` (itself, then its children in document
// order) whose code says the request was not served, and its code field.
const tkxml::detail::XNode* failedElement(const tkxml::detail::XNode& node, unsigned long messageId,
                                          const CodeField*& field) {
  if (const tkxml::ClassInfoPtr info = tkxml::findClassByElement(node.name)) {
    for (const CodeField& f : kCodeFields) {
      if (f.classHash != info->classHash) continue;
      const std::string* value = node.attr(numberAttribute(f.code));
      if (value == nullptr) continue;
      char* end = nullptr;
      errno = 0;
      const long long code = std::strtoll(value->c_str(), &end, 10);
      // A code that is not a number says nothing of success.
      const bool number = !value->empty() && end == value->c_str() + value->size() && errno == 0;
      if (!number || isFailureCode(messageId, f.classHash, code)) {
        field = &f;
        return &node;
      }
    }
  }
  for (const tkxml::detail::XNode& child : node.children)
    if (const tkxml::detail::XNode* failed = failedElement(child, messageId, field)) return failed;
  return nullptr;
}

// The failure an XML answer's text reports: the element whose code says the
// request was not served, and the text beside that code (empty without
// one). Nothing for an answer whose codes all say it was served, or whose
// text the host's XML reader cannot read.
std::optional<std::string> xmlFailure(const tkwire::XmlAnswer& answer, unsigned long messageId) {
  tkxml::detail::XNode root;
  std::string why;
  if (tkxml::detail::parseDocument(answer.text, root, why) != 0) return std::nullopt;
  const CodeField* field = nullptr;
  const tkxml::detail::XNode* failed = failedElement(root, messageId, field);
  if (failed == nullptr) return std::nullopt;
  const std::string* text = field->text ? failed->attr("s" + std::to_string(field->text->tag)) : nullptr;
  return text != nullptr ? *text : std::string();
}

// The answers whose status carries an id in place of 1 on success (0 stays
// a failure).
struct StatusId {
  const char* handler;
  uint32_t operation;
  const char* name;
};
const StatusId kStatusIds[] = {
    {"onMsgSetDiskVolume", 16, "disk device id"},
};

bool isSuccessStatus(const std::string& handler, std::optional<uint32_t> operation, uint32_t status) {
  return statusIdOf(handler, operation) != nullptr ? status != 0 : status == 1;
}

}  // namespace

const char* statusIdOf(const std::string& handler, std::optional<uint32_t> operation) {
  if (!operation) return nullptr;
  for (const StatusId& id : kStatusIds)
    if (id.operation == *operation && handler == id.handler) return id.name;
  return nullptr;
}

std::optional<uint32_t> operationOf(const tkwire::Reply& reply) {
  const tkwire::Item* operation = reply.find(tktag::kOperation);
  if (operation == nullptr || operation->bytes.size() != 4) return std::nullopt;
  return operation->u32();
}

const char* statusMeaning(const std::string& handler, std::optional<uint32_t> operation, uint32_t status) {
  if (const char* id = statusIdOf(handler, operation); id != nullptr && status != 0) return id;
  for (const Meaning& m : kMeanings)
    if (m.status == status && (m.handler == nullptr || handler == m.handler)) return m.text;
  return "unknown status";
}

std::string describeStatus(const std::string& handler, std::optional<uint32_t> operation, const tkwire::Item& item) {
  if (item.bytes.size() < 4) return std::string();
  // The value as the codec shows it ("3 \"text\"", or "3" alone), with the
  // meaning put in after the number.
  tkwire::Reply one;
  one.kind = tkwire::kReplyItems;
  one.items.push_back(item);
  const std::string lines = tkwire::describe(one);
  const size_t colon = lines.find(": ", lines.find('\n'));
  if (colon == std::string::npos) return std::string();
  const std::string value = lines.substr(colon + 2, lines.size() - colon - 3);
  const std::string code = std::to_string(item.statusCode());
  if (value.compare(0, code.size(), code) != 0 || (value.size() > code.size() && value[code.size()] != ' '))
    return std::string();
  return code + " (" + statusMeaning(handler, operation, item.statusCode()) + ")" + value.substr(code.size());
}

std::string describeXmlAnswer(const tkwire::Reply& reply) {
  const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
  if (!answer) return tkwire::describeXmlAnswer(reply);
  const std::string shown = xmlWithoutPasswords(answer->text);
  std::string lines = tkwire::describeXmlAnswer(reply, &shown);
  std::string fields;
  if (tkxml::listFields(shown, "  ", fields, xmlValueName)) lines += fields;
  return lines;
}

bool isHandedBack(const tkwire::Reply& reply, const std::string& requestText) {
  const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
  return answer && answer->result == 0 && !answer->text.empty() && answer->text == requestText;
}

std::string handedBackNote(uint32_t messageId) {
  return "no handler answered message id " + tkwire::messageIdText(messageId) +
         ": the host handed the request back as it was sent, and nothing was done";
}

bool reportsFailure(const tkwire::Reply& reply, bool xmlAnswer, const std::string& handler) {
  if (reply.isEnd()) return reply.endResult() < 0;
  if (xmlAnswer) {
    std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
    // An XML handler answers 0 when it served the request; a handler that
    // passes its reply's own code on answers that code when it did not.
    return !answer || answer->result != 0 || xmlFailure(*answer, reply.messageId).has_value();
  }
  const std::optional<uint32_t> operation = operationOf(reply);
  for (const tkwire::Item& item : reply.items)
    if (item.tag == kStatusItem && (item.bytes.size() < 4 || !isSuccessStatus(handler, operation, item.statusCode())))
      return true;
  return false;
}

bool endsCutShort(const tkwire::Reply& reply, std::size_t frameBytes) {
  if (reply.kind != tkwire::kReplyItems || reply.items.empty()) return false;
  const uint32_t last = reply.items.back().tag;
  if (last == kStatusItem || last == tktag::kEndOfRecord) return false;
  for (const tkwire::Item& item : reply.items)
    if (item.tag == tktag::kEndOfRecord) return true;
  // A frame this near the limit was stopped by it, not ended.
  constexpr std::size_t kNearTheLimit = 64 * 1024;
  return frameBytes + kNearTheLimit >= tkwire::kMaxFrameBytes;
}

std::string failureText(const tkwire::Reply& reply, bool xmlAnswer, const std::string& handler) {
  if (!reportsFailure(reply, xmlAnswer, handler)) return std::string();
  if (xmlAnswer) {
    const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
    if (!answer) return std::string();
    return xmlFailure(*answer, reply.messageId).value_or(std::string());
  }
  const std::optional<uint32_t> operation = operationOf(reply);
  for (const tkwire::Item& item : reply.items)
    if (item.tag == kStatusItem && item.bytes.size() >= 4 && !isSuccessStatus(handler, operation, item.statusCode()))
      return item.statusText();
  return std::string();
}

}  // namespace tkconsole
