#include "console/Answers.h"

#include <cstdlib>

#include "console/ValueNames.h"
#include "platform/reply/ReplyFrame.h"
#include "platform/xml/FieldListing.h"

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

// The code (attribute i1) of the element that opens at `start` when its name
// ends with `suffix`; 0 otherwise or without a code.
long codeOfElement(const std::string& text, size_t start, const std::string& suffix) {
  const size_t nameEnd = text.find_first_of(" \t\r\n/>", start);
  if (nameEnd == std::string::npos) return 0;
  const std::string name = text.substr(start + 1, nameEnd - start - 1);
  if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return 0;
  const size_t close = text.find('>', start);
  const size_t code = text.find(" i1=\"", start);
  if (code == std::string::npos || code > close) return 0;
  return std::strtol(text.c_str() + code + 5, nullptr, 10);
}

// Below 0 when an XML answer reports a failure or refusal: a generic
// response with a code below 0, or an error object (an element named
// ..._ErrorInfo) anywhere in it with a code below 0.
long xmlFailureCode(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos || text[start] != '<') return 0;
  const long generic = codeOfElement(text, start, "_GenericResp");
  if (generic < 0) return generic;
  for (size_t at = text.find('<', start + 1); at != std::string::npos; at = text.find('<', at + 1)) {
    const long code = codeOfElement(text, at, "_ErrorInfo");
    if (code < 0) return code;
  }
  return 0;
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

std::string describeXmlFields(const tkwire::Reply& reply) {
  const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
  std::string lines;
  if (!answer || !tkxml::listFields(answer->text, "  ", lines, xmlValueName)) return std::string();
  return lines;
}

bool reportsFailure(const tkwire::Reply& reply, bool xmlAnswer, const std::string& handler) {
  if (reply.isEnd()) return reply.endResult() < 0;
  if (xmlAnswer) {
    std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
    // An XML handler answers 0 when it served the request; a handler that
    // passes its reply's own code on answers that code when it did not.
    return !answer || answer->result != 0 || xmlFailureCode(answer->text) < 0;
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
    // The error text: the value of the first text attribute (s2 of a
    // generic response, or of an error object).
    const size_t at = answer->text.find(" s2=\"");
    if (at == std::string::npos) return std::string();
    const size_t end = answer->text.find('"', at + 5);
    return end == std::string::npos ? std::string() : answer->text.substr(at + 5, end - at - 5);
  }
  const std::optional<uint32_t> operation = operationOf(reply);
  for (const tkwire::Item& item : reply.items)
    if (item.tag == kStatusItem && item.bytes.size() >= 4 && !isSuccessStatus(handler, operation, item.statusCode()))
      return item.statusText();
  return std::string();
}

}  // namespace tkconsole
