// Passwords kept out of what the console prints (see Passwords.h).
#include "console/Passwords.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "console/CommandLine.h"
#include "frame/ElementTags.h"
#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace tkconsole {
namespace {

// The elements whose whole value is a password.
constexpr uint32_t kPasswordElements[] = {tktag::kPassword, tktag::kProxyPassword, tktag::kDRUPassword,
                                          tktag::kNdmpPassword};
// The forms of a value (see parseValue) that keep the text they send readable
// behind their prefix.
constexpr const char* kTextForms[] = {"enc:", "s:"};

// Where the TAG of a word's TAG=VALUE points: an element of the request, or
// a field of the message class a console word builds.
struct FieldsOf {
  bool elements = true;
  unsigned ns = 0;
  unsigned cls = 0;
};

bool isPasswordField(const tkxml::FieldDef& field) {
  return field.kind == tkxml::FieldKind::PString ||
         (field.name != nullptr && std::strstr(field.name, "password") != nullptr);
}

bool isPasswordFieldOf(unsigned ns, unsigned cls, unsigned tag) {
  const tkxml::ClassInfoPtr info = tkxml::findClass(ns, cls);
  const tkxml::FieldDef* field = info ? info->byTag(tag) : nullptr;
  return field != nullptr && isPasswordField(*field);
}

bool allDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// An XML text with the value of every attribute that holds a password
// field of its element's class replaced; each value replaced goes to
// `secrets`.
std::string xmlWithoutPasswords(const std::string& text, std::vector<std::string>& secrets) {
  std::string out;
  size_t at = 0;
  for (size_t open; (open = text.find('<', at)) != std::string::npos;) {
    size_t i = open + 1;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) ++i;
    const tkxml::ClassInfoPtr info = tkxml::findClassByElement(text.substr(open + 1, i - open - 1));
    out += text.substr(at, i - at);
    at = i;
    // The attributes, up to the end of the start tag.
    for (;;) {
      while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
      const size_t nameFrom = i;
      while (i < text.size() && text[i] != '=' && text[i] != '>' && text[i] != '<' &&
             !std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
      if (i + 1 >= text.size() || text[i] != '=' || (text[i + 1] != '"' && text[i + 1] != '\'')) break;
      const std::string name = text.substr(nameFrom, i - nameFrom);
      const char quote = text[i + 1];
      const size_t valueFrom = i + 2;
      const size_t valueTo = text.find(quote, valueFrom);
      if (valueTo == std::string::npos) break;
      const std::string tag = name.size() > 1 ? name.substr(1) : std::string();
      const bool hidden = info && allDigits(tag) && tag.size() < 10 && info->byTag(std::stoul(tag)) != nullptr &&
                          isPasswordField(*info->byTag(std::stoul(tag)));
      out += text.substr(at, valueFrom - at);
      if (hidden) {
        secrets.push_back(text.substr(valueFrom, valueTo - valueFrom));
        out += kHiddenPassword;
      } else {
        out += text.substr(valueFrom, valueTo - valueFrom);
      }
      at = valueTo;
      i = valueTo + 1;
    }
  }
  return out + text.substr(at);
}

// The value of a password element as shown: *** for the whole of it, except
// a user name, whose proxy password alone (behind the colon of USER:PROXY)
// is one.
std::string hiddenElementValue(uint32_t tag, const std::string& value, std::vector<std::string>& secrets) {
  if (tag != tktag::kUserName) {
    secrets.push_back(value);
    return kHiddenPassword;
  }
  std::string form;
  std::string text = value;
  for (const char* prefix : kTextForms)
    if (text.compare(0, std::strlen(prefix), prefix) == 0) {
      form = prefix;
      text = text.substr(form.size());
    }
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return value;
  secrets.push_back(text.substr(colon + 1));
  return form + text.substr(0, colon + 1) + kHiddenPassword;
}

// One word with its password hidden; the texts hidden go to `secrets`.
std::string wordWithoutPassword(const std::string& word, const FieldsOf& fields, std::vector<std::string>& secrets) {
  const std::string plain = unquote(word);
  if (!plain.empty() && plain[0] == '<') {
    const size_t before = secrets.size();
    const std::string shown = xmlWithoutPasswords(word, secrets);
    if (secrets.size() > before) secrets.push_back(word);
    return shown;
  }
  const size_t equals = plain.find('=');
  if (equals == std::string::npos) return word;
  // A field of a storage-library word's parts is named with the part first.
  std::string prefix;
  unsigned ns = fields.ns;
  unsigned cls = fields.cls;
  std::string tag = plain.substr(0, equals);
  if (!fields.elements) {
    const size_t dot = tag.find('.');
    if (dot != std::string::npos) {
      prefix = tag.substr(0, dot + 1);
      tag = tag.substr(dot + 1);
      if (prefix == "request.") {
        ns = EVGui::ConfigureStorageLibraryReq::kNamespace;
        cls = EVGui::ConfigureStorageLibraryReq::kClassNumber;
      }
    }
  }
  if (!allDigits(tag) || tag.size() > 9) return word;
  const uint32_t number = static_cast<uint32_t>(std::stoul(tag));
  const std::string value = plain.substr(equals + 1);
  const size_t before = secrets.size();
  std::string shown;
  if (fields.elements) {
    const bool password = number == tktag::kUserName ||
                          std::find(std::begin(kPasswordElements), std::end(kPasswordElements), number) !=
                              std::end(kPasswordElements);
    if (!password) return word;
    shown = hiddenElementValue(number, value, secrets);
  } else {
    if (!isPasswordFieldOf(ns, cls, number)) return word;
    secrets.push_back(value);
    shown = kHiddenPassword;
  }
  if (secrets.size() == before) return word;
  // The value as written (quotes and all) is a secret too.
  secrets.push_back(word.substr(std::min(word.size(), word.find('=') + 1)));
  return prefix + tag + "=" + shown;
}

std::vector<std::string> hideAll(const std::vector<std::string>& words, std::vector<std::string>& secrets) {
  const size_t at = handlerWordAt(words);
  FieldsOf fields;
  if (at < words.size()) {
    const std::string word = unquote(words[at]);
    if (word == "storage-library") {
      fields = {false, EVGui::StorageLibraryInfo::kNamespace, EVGui::StorageLibraryInfo::kClassNumber};
    } else if (word == "device-paths") {
      fields = {false, EVGui::MMDevicePathInfo::kNamespace, EVGui::MMDevicePathInfo::kClassNumber};
    }
  }
  std::vector<std::string> shown;
  shown.reserve(words.size());
  for (const std::string& word : words) shown.push_back(wordWithoutPassword(word, fields, secrets));
  return shown;
}

}  // namespace

std::vector<std::string> wordsWithoutPasswords(const std::vector<std::string>& words) {
  std::vector<std::string> secrets;
  return hideAll(words, secrets);
}

std::string lineWithoutPasswords(const std::string& line) {
  std::vector<std::string> words;
  std::string error;
  if (!splitLine(line, words, error)) {
    // A line that cannot be read is shown only up to its open quote.
    const size_t open = line.find_first_of("\"'");
    return line.substr(0, open) + (open == std::string::npos ? "" : kHiddenPassword);
  }
  const std::vector<std::string> shown = wordsWithoutPasswords(words);
  std::string out;
  size_t at = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    const size_t found = line.find(words[i], at);
    if (found == std::string::npos) {
      // Not where it was written: the words alone, one blank apart.
      std::string joined;
      for (const std::string& word : shown) joined += (joined.empty() ? "" : " ") + word;
      return joined;
    }
    out += line.substr(at, found - at) + shown[i];
    at = found + words[i].size();
  }
  return out + line.substr(at);
}

std::string textWithoutPasswords(const std::string& text, const std::vector<std::string>& words) {
  std::vector<std::string> secrets;
  hideAll(words, secrets);
  // The longest first: a password's written form holds the password.
  std::sort(secrets.begin(), secrets.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  std::string out = text;
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    for (size_t at = 0; (at = out.find(secret, at)) != std::string::npos; at += std::strlen(kHiddenPassword))
      out.replace(at, secret.size(), kHiddenPassword);
  }
  return out;
}

}  // namespace tkconsole
