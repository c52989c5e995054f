// Fields of XML requests from the console's words (see MessageFields.h).
#include "console/MessageFields.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "console/CommandLine.h"
#include "console/Passwords.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace tkconsole {

bool setMessageField(CNMessageBase& message, unsigned ns, unsigned cls, const std::string& assignment,
                     const char* what, std::string& error) {
  const std::size_t equals = assignment.find('=');
  uint32_t tag = 0;
  if (equals == std::string::npos || !parseTag(assignment.substr(0, equals), tag)) {
    // What stands before the =: its value may be a password whose tag was
    // mistyped.
    error = std::string(what) + " takes TAG=VALUE, not " +
            (equals == std::string::npos ? assignment : assignment.substr(0, equals) + "=" + kHiddenPassword);
    return false;
  }
  const std::string value = assignment.substr(equals + 1);
  const tkxml::ClassInfoPtr info = tkxml::findClass(ns, cls);
  const tkxml::FieldDef* field = info ? info->byTag(tag) : nullptr;
  if (field == nullptr) {
    error = std::string(what) + " has no field with tag " + std::to_string(tag);
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
      message.setint64(field->ordinal, field->tag, number, info->classHash, field->hash);
      return true;
    }
    case tkxml::FieldKind::String:
      message.setstring(field->ordinal, field->tag, value, info->classHash, field->hash);
      return true;
    case tkxml::FieldKind::PString:
      message.setpstringobject(field->ordinal, field->tag, value, tkxml::kPlainText, info->classHash, field->hash);
      return true;
    default:
      error = "tag " + std::to_string(tag) + " holds a message, which the console cannot set";
      return false;
  }
}

std::string xmlMessageIdWord(unsigned classHash) {
  char word[16];
  std::snprintf(word, sizeof word, "0x%08X", classHash);
  return word;
}

void replaceByXmlRequest(std::vector<std::string>& words, std::size_t at, unsigned messageId,
                         const std::string& xml, bool fromShell) {
  std::string text = xml;
  if (!fromShell) {
    text = "'";
    for (char c : xml) {
      if (c == '\'')
        text += "&apos;";
      else
        text += c;
    }
    text += "'";
  }
  words.resize(at);
  words.push_back("--xml");
  words.push_back(xmlMessageIdWord(messageId));
  words.push_back("HandleMMConfigMgrXmlMsg");
  words.push_back(std::move(text));
}

}  // namespace tkconsole
