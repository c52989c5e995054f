// Passwords kept out of what the console prints (see Passwords.h).
//
// A word is looked at the way the request parser reads it: its quotes and
// escapes resolved (a script word keeps them as written, see splitLine), the
// tag of TAG=VALUE read as a number. What is hidden is found in that text,
// then hidden in the word as written, through the place each byte of the
// text came from, so that the rest of the word stays as it was typed.
#include "console/Passwords.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <utility>

#include "console/CommandLine.h"
#include "frame/ElementTags.h"
#include "platform/security/StoredPassword.h"
#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/ProxyUserNames.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"
#include "platform/xml/detail/XmlText.h"
#include "wire/WireCodec.h"

namespace tkconsole {
namespace {

// The elements whose whole value is a password.
constexpr uint32_t kPasswordElements[] = {tktag::kPassword, tktag::kProxyPassword, tktag::kDRUPassword,
                                          tktag::kNdmpPassword};
// The forms of a value (see parseValue) that keep the text they send readable
// behind their prefix; any other form (hex:, u64:, idtext:, ...) is hidden
// whole, as its text cannot be read apart.
constexpr const char* kTextForms[] = {"enc:", "s:"};
constexpr const char* kOtherForms[] = {"hex:", "u64:", "u32:", "idtext:", "hdr12:"};

// Where the TAG of a word's TAG=VALUE points: an element of the request, or
// a field of the message class a console word builds.
struct FieldsOf {
  bool elements = true;
  unsigned ns = 0;
  unsigned cls = 0;
};

// [from, to) of a text.
using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

bool isPasswordField(const tkxml::FieldDef& field) {
  return field.kind == tkxml::FieldKind::PString ||
         (field.name != nullptr && std::strstr(field.name, "password") != nullptr);
}

bool isPasswordFieldOf(unsigned ns, unsigned cls, uint32_t tag) {
  const tkxml::ClassInfoPtr info = tkxml::findClass(ns, cls);
  const tkxml::FieldDef* field = info ? info->byTag(tag) : nullptr;
  return field != nullptr && isPasswordField(*field);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool allDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A tag as the parser reads it, and also one it refuses for blanks around
// it: the refusal of such a word must not show its value either.
bool tagIn(std::string key, uint32_t& tag) {
  while (!key.empty() && isBlank(key.back())) key.pop_back();
  const std::size_t first = key.find_first_not_of(" \t\r\n");
  return first != std::string::npos && parseTag(key.substr(first), tag);
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// What an attribute of an XML element holds.
enum class Secret { None, Whole, UserName };

// What the attribute `name` of an element of class `info` holds: a
// password field, a user name that may carry a proxy password, or neither.
// The name is a kind letter and the field's tag in decimal, leading zeros
// or another letter than the field's kind allowed (the host refuses such an
// attribute, but it was written, and is shown).
Secret attributeSecret(const tkxml::ClassInfoPtr& info, const std::string& name) {
  if (!info || name.size() < 2 || std::strchr("ispbl", name[0]) == nullptr) return Secret::None;
  std::string digits = name.substr(1);
  if (!allDigits(digits)) return Secret::None;
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 10) return Secret::None;
  const unsigned long long tag = std::stoull(digits);
  const tkxml::FieldDef* field = tag <= UINT32_MAX ? info->byTag(static_cast<unsigned>(tag)) : nullptr;
  if (field == nullptr) return Secret::None;
  if (isPasswordField(*field)) return Secret::Whole;
  return tkxml::isProxyUserNameField(info->ns, info->cls, field->tag) ? Secret::UserName : Secret::None;
}

// The part of a user name `text` (from `from` on) that holds its proxy
// password: where the host finds one (tkpassword::proxyPasswordSpan) in a
// name that reaches its share through a proxy ("!!"); in any other name,
// the remote-host form USER:PROXY-PASSWORD, behind its first colon; else
// nothing.
std::pair<std::size_t, std::size_t> proxyPartOf(const std::string& text, std::size_t from, std::size_t to) {
  const std::string value = text.substr(from, to - from);
  std::size_t at = 0;
  std::size_t length = 0;
  if (tkpassword::proxyPasswordSpan(value, at, length)) return {from + at, from + at + length};
  const std::size_t colon = value.find(':');
  if (colon == std::string::npos || value.find("!!") != std::string::npos) return {to, to};
  return {from + colon + 1, to};
}

// An attribute's value, [from, to) of an XML text, as the host's XML reader
// hands it on: character references (&#58; &#x3A;) and the predefined
// entities (&amp; ...) decoded, a character of U+F700 to U+F7FF (how the
// message writer writes a byte that is no character) back to its byte, and
// a tab or a line end written as it stands read as a blank. at[i] is where
// byte i of the value was written; at[size] is `to`.
std::string xmlValueAsRead(const std::string& text, std::size_t from, std::size_t to, std::vector<std::size_t>& at) {
  static constexpr std::pair<const char*, char> kEntities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string value;
  at.clear();
  auto put = [&](unsigned long cp, std::size_t where) {
    if (cp >= 0xF700 && cp <= 0xF7FF) cp -= 0xF700;  // a byte
    else if (cp >= 0x80) {
      // As UTF-8: what matters here is where its bytes were written.
      const int tail = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
      value.push_back(static_cast<char>((tail == 1 ? 0xC0 : tail == 2 ? 0xE0 : 0xF0) | (cp >> (6 * tail))));
      at.push_back(where);
      for (int k = tail - 1; k >= 0; --k) {
        value.push_back(static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F)));
        at.push_back(where);
      }
      return;
    }
    value.push_back(static_cast<char>(cp));
    at.push_back(where);
  };
  for (std::size_t i = from; i < to;) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t used = 1;
    if (c == '&' && i + 2 < to && text[i + 1] == '#') {
      const bool hex = text[i + 2] == 'x' || text[i + 2] == 'X';
      std::size_t end = i + (hex ? 3 : 2);
      unsigned long cp = 0;
      while (end < to && std::isxdigit(static_cast<unsigned char>(text[end])) &&
             (hex || std::isdigit(static_cast<unsigned char>(text[end]))) && cp <= 0x10FFFF) {
        cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(std::isdigit(static_cast<unsigned char>(text[end]))
                                                                   ? text[end] - '0'
                                                                   : (text[end] | 0x20) - 'a' + 10);
        ++end;
      }
      if (end < to && text[end] == ';' && end > i + (hex ? 3 : 2) && cp <= 0x10FFFF) {
        put(cp, i);
        i = end + 1;
        continue;
      }
    } else if (c == '&') {
      const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities), [&](const auto& e) {
        return i + std::strlen(e.first) <= to && text.compare(i, std::strlen(e.first), e.first) == 0;
      });
      if (entity != std::end(kEntities)) {
        put(static_cast<unsigned char>(entity->second), i);
        i += std::strlen(entity->first);
        continue;
      }
    } else if (c == 0xEF && i + 2 < to && (static_cast<unsigned char>(text[i + 1]) & 0xFC) == 0x9C &&
               (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80) {
      // U+F700 to U+F7FF written as it stands.
      put(0xF000 | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
              (static_cast<unsigned char>(text[i + 2]) & 0x3Fu),
          i);
      i += 3;
      continue;
    } else if (c == '\r' && i + 1 < to && text[i + 1] == '\n') {
      used = 2;  // one line end
    }
    if (isBlank(static_cast<char>(c))) {
      value.push_back(' ');
      at.push_back(i);
    } else {
      value.push_back(static_cast<char>(c));
      at.push_back(i);
    }
    i += used;
  }
  at.push_back(to);
  return value;
}

// The part of an XML user name's value [from, to) that holds its proxy
// password (proxyPartOf), found in the value as the host reads it and
// hidden where it was written.
std::pair<std::size_t, std::size_t> xmlProxyPartOf(const std::string& text, std::size_t from, std::size_t to) {
  std::vector<std::size_t> at;
  const std::string value = xmlValueAsRead(text, from, to, at);
  const auto [first, last] = proxyPartOf(value, 0, value.size());
  return {at[first], at[last]};
}

// An XML text as the console reads it, to find what to hide in it: each
// start tag with its element's name and where each attribute's value was
// written, and every stretch of the text that is content rather than
// markup (attribute values, text between elements, the inside of comments,
// processing instructions, CDATA sections and declarations).
struct XmlReading {
  struct Attribute {
    std::string name;
    std::size_t from;  // the value, as written
    std::size_t to;
  };
  struct StartTag {
    std::string name;
    std::vector<Attribute> attributes;
  };
  std::vector<StartTag> tags;
  Ranges content;
};

// Reads the text the way an XML reader does where it is well-formed: a
// comment ends at "-->", a processing instruction at "?>", a CDATA section
// at "]]>", an attribute's value at its closing quote. Where it is not, it
// reads on as a person might have meant it, and whatever it cannot place
// is content: a construct that never closes, or a declaration (which the
// host refuses), runs to the end of the text; a word of a tag without its
// "=" is content too.
XmlReading readXml(const std::string& text) {
  XmlReading reading;
  const std::size_t n = text.size();
  auto skipBlanks = [&](std::size_t& i) {
    while (i < n && isBlank(text[i])) ++i;
  };
  auto nameChar = [&](std::size_t i) { return !isBlank(text[i]) && std::strchr("/>=<'\"", text[i]) == nullptr; };
  // Content [from, to), without the blanks around it.
  auto addContent = [&](std::size_t from, std::size_t to) {
    while (from < to && isBlank(text[from])) ++from;
    while (to > from && isBlank(text[to - 1])) --to;
    if (from < to) reading.content.emplace_back(from, to);
  };
  std::size_t i = 0;
  while (i < n) {
    const std::size_t open = std::min(text.find('<', i), n);
    addContent(i, open);
    if (open == n) break;
    i = open + 1;
    struct Section {
      const char* opening;
      const char* closing;
    };
    static constexpr Section kSections[] = {{"!--", "-->"}, {"![CDATA[", "]]>"}, {"?", "?>"}};
    const auto section = std::find_if(std::begin(kSections), std::end(kSections),
                                      [&](const Section& s) { return text.compare(i, std::strlen(s.opening), s.opening) == 0; });
    if (section != std::end(kSections)) {
      const std::size_t from = i + std::strlen(section->opening);
      const std::size_t close = std::min(text.find(section->closing, from), n);
      reading.content.emplace_back(from, close);
      i = close == n ? n : close + std::strlen(section->closing);
      continue;
    }
    if (i < n && text[i] == '!') {
      reading.content.emplace_back(i + 1, n);
      break;
    }
    const bool endTag = i < n && text[i] == '/';
    if (endTag) ++i;
    const std::size_t nameFrom = i;
    while (i < n && nameChar(i)) ++i;
    XmlReading::StartTag tag{text.substr(nameFrom, i - nameFrom), {}};
    // The attributes, up to the end of the tag.
    for (;;) {
      skipBlanks(i);
      if (i >= n || text[i] == '<') break;
      if (text[i] == '>') {
        ++i;
        break;
      }
      if (text[i] == '/' || text[i] == '=') {
        ++i;
        continue;
      }
      std::size_t valueFrom = i;
      std::size_t valueTo = i;
      std::string name;
      if (nameChar(i)) {
        const std::size_t attrFrom = i;
        while (i < n && nameChar(i)) ++i;
        const std::size_t attrTo = i;
        skipBlanks(i);
        if (i >= n || text[i] != '=') {
          // A word standing alone in a tag: not a name that is known.
          reading.content.emplace_back(attrFrom, attrTo);
          continue;
        }
        name = text.substr(attrFrom, attrTo - attrFrom);
        ++i;
        skipBlanks(i);
        valueFrom = valueTo = i;
      }
      if (i < n && (text[i] == '"' || text[i] == '\'')) {
        valueFrom = i + 1;
        valueTo = std::min(text.find(text[i], valueFrom), n);
        i = std::min(valueTo + 1, n);
      } else if (!name.empty()) {
        while (i < n && !isBlank(text[i]) && text[i] != '>' && text[i] != '<' && text.compare(i, 2, "/>") != 0) ++i;
        valueTo = i;
      }
      reading.content.emplace_back(valueFrom, valueTo);
      if (!name.empty() && !endTag) tag.attributes.push_back({name, valueFrom, valueTo});
    }
    if (!endTag) reading.tags.push_back(std::move(tag));
  }
  return reading;
}

// Whether `reading` found in `text` the very elements and attributes the
// host's XML reader finds in it, in the same order: each name, and each
// value as the reader hands it on.
bool readsAsTheHost(const std::string& text, const XmlReading& reading) {
  tkxml::detail::XNode root;
  std::string why;
  if (tkxml::detail::parseDocument(text, root, why) != 0) return false;
  std::vector<const tkxml::detail::XNode*> elements;
  std::vector<const tkxml::detail::XNode*> open{&root};
  while (!open.empty()) {
    const tkxml::detail::XNode* node = open.back();
    open.pop_back();
    elements.push_back(node);
    for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) open.push_back(&*child);
  }
  if (elements.size() != reading.tags.size()) return false;
  std::vector<std::size_t> at;
  for (std::size_t e = 0; e < elements.size(); ++e) {
    const tkxml::detail::XNode& element = *elements[e];
    const XmlReading::StartTag& tag = reading.tags[e];
    if (element.name != tag.name || element.attrs.size() != tag.attributes.size()) return false;
    for (std::size_t a = 0; a < element.attrs.size(); ++a) {
      const XmlReading::Attribute& attribute = tag.attributes[a];
      if (element.attrs[a].first != attribute.name ||
          element.attrs[a].second != xmlValueAsRead(text, attribute.from, attribute.to, at))
        return false;
    }
  }
  return true;
}

// What to hide of an XML text: the values of its attributes that hold a
// password field of their element's class (of a user name, its proxy
// password), found as the host's XML reader reads the text. A text the
// console cannot read as that reader does (one the reader refuses, or one
// whose reading here differs from the reader's) shows none of its content:
// every attribute value and text in it is hidden.
Ranges xmlPasswordRanges(const std::string& text) {
  const XmlReading reading = readXml(text);
  if (!readsAsTheHost(text, reading)) return reading.content;
  Ranges ranges;
  for (const XmlReading::StartTag& tag : reading.tags) {
    const tkxml::ClassInfoPtr info = tkxml::findClassByElement(tag.name);
    for (const XmlReading::Attribute& attribute : tag.attributes) {
      const Secret secret = attributeSecret(info, attribute.name);
      if (secret == Secret::Whole) ranges.emplace_back(attribute.from, attribute.to);
      if (secret == Secret::UserName) ranges.push_back(xmlProxyPartOf(text, attribute.from, attribute.to));
    }
  }
  return ranges;
}

// The part of a user name's value (from `from` of `plain`) that is its
// proxy password (proxyPartOf); the whole value in a form whose text cannot
// be read apart.
std::pair<std::size_t, std::size_t> proxyPasswordOf(const std::string& plain, std::size_t from) {
  const std::string value = plain.substr(from);
  for (const char* form : kOtherForms)
    if (startsWith(value, form)) return {from, plain.size()};
  std::size_t text = 0;
  for (const char* form : kTextForms)
    if (startsWith(value, form)) text = std::strlen(form);
  return proxyPartOf(plain, from + text, plain.size());
}

// The element of a raw body= stream (its bytes after the first parameter)
// whose value is a password, or a user name: where its secret lies in the
// body's bytes.
Ranges bodySecrets(const std::string& body) {
  Ranges ranges;
  for (std::size_t at = 4; at + 8 <= body.size();) {
    const uint32_t tag = tkwire::u32At(body, at);
    const std::size_t from = at + 8;
    const std::size_t to = std::min<std::size_t>(body.size(), from + tkwire::u32At(body, at + 4));
    if (tag == tktag::kUserName)
      ranges.push_back(proxyPartOf(body, from, to));
    else if (isPasswordElement(tag))
      ranges.emplace_back(from, to);
    at = to;
  }
  return ranges;
}

// One request's words with their passwords hidden; what was hidden, as
// written and as read, goes to `secrets`.
class Hider {
 public:
  Hider(const std::vector<std::string>& words, bool fromShell) : m_words(words), m_fromShell(fromShell) {
    const std::size_t at = handlerWordAt(words);
    if (at < words.size()) {
      const std::string word = fromShell ? words[at] : unquote(words[at]);
      if (word == "storage-library") {
        m_fields = {false, EVGui::StorageLibraryInfo::kNamespace, EVGui::StorageLibraryInfo::kClassNumber};
      } else if (word == "device-paths") {
        m_fields = {false, EVGui::MMDevicePathInfo::kNamespace, EVGui::MMDevicePathInfo::kClassNumber};
      }
    }
    findBodySecrets();
  }

  std::vector<std::string> shown(std::vector<std::string>& secrets) {
    std::vector<std::string> out;
    out.reserve(m_words.size());
    for (std::size_t i = 0; i < m_words.size(); ++i) out.push_back(shownWord(m_words[i], m_bodyRanges[i], secrets));
    return out;
  }

 private:
  // What the word after this one is, when a password's tag= and its value
  // were written apart (the parser refuses them; the refusal quotes them).
  enum class Next { Plain, WholeValue, AfterEquals };

  // The word as read (its quotes and escapes resolved), and where each of
  // its bytes was written.
  std::string plainOf(const std::string& word, std::vector<std::size_t>& from) const {
    if (!m_fromShell) return unquote(word, &from);
    from.resize(word.size());
    for (std::size_t i = 0; i < from.size(); ++i) from[i] = i;
    return word;
  }

  // The passwords of the raw bytes of body= words: the bytes of every such
  // word make one body, whose elements are walked as the host walks them;
  // a secret is hidden in the words that wrote its bytes, in the hex digits
  // or the characters that stand for them, or the whole value where a form
  // does not keep them apart.
  void findBodySecrets() {
    m_bodyRanges.assign(m_words.size(), Ranges());
    struct Piece {
      std::size_t word;
      std::size_t begin;   // of the piece in the body
      std::size_t size;
      std::size_t valueAt; // where the value begins in the word as read
      std::size_t first;   // where the first byte is written, 0 when not apart
      std::size_t width;   // characters per byte (0: not apart)
      std::size_t valueEnd;
    };
    std::vector<Piece> pieces;
    std::string body;
    for (std::size_t i = 0; i < m_words.size(); ++i) {
      std::vector<std::size_t> from;
      const std::string plain = plainOf(m_words[i], from);
      if (plain.compare(0, 5, "body=") != 0) continue;
      const std::size_t eq = m_words[i].find('=');
      std::string bytes;
      std::string error;
      if (eq == std::string::npos || !parseValue(m_words[i].substr(eq + 1), bytes, error, m_fromShell)) continue;
      const std::string value = plain.substr(5);
      Piece piece{i, body.size(), bytes.size(), 5, 0, 0, plain.size()};
      // A quoted value is its bytes as they stand (the last case).
      const char quote = eq + 1 < m_words[i].size() ? m_words[i][eq + 1] : '\0';
      const bool quoted = quote == '"' || quote == '\'';
      if (!quoted && startsWith(value, "s:") && value.size() - 2 == bytes.size()) {
        piece.first = 5 + 2;
        piece.width = 1;
      } else if (!quoted && startsWith(value, "hex:") && value.size() - 4 == 2 * bytes.size()) {
        piece.first = 5 + 4;
        piece.width = 2;
      } else if (value.size() == bytes.size() && value == bytes) {
        piece.first = 5;
        piece.width = 1;
      }
      pieces.push_back(piece);
      body += bytes;
    }
    if (body.size() < 4) return;
    for (const auto& [secretFrom, secretTo] : bodySecrets(body)) {
      for (const Piece& piece : pieces) {
        const std::size_t from = std::max(secretFrom, piece.begin);
        const std::size_t to = std::min(secretTo, piece.begin + piece.size);
        if (from >= to) continue;
        Ranges& ranges = m_bodyRanges[piece.word];
        if (piece.width == 0)
          ranges.emplace_back(piece.valueAt, piece.valueEnd);
        else
          ranges.emplace_back(piece.first + (from - piece.begin) * piece.width,
                              piece.first + (to - piece.begin) * piece.width);
      }
    }
  }

  std::string shownWord(const std::string& word, const Ranges& bodyRanges, std::vector<std::string>& secrets) {
    std::vector<std::size_t> from;
    const std::string plain = plainOf(word, from);
    const Next next = m_next;
    m_next = Next::Plain;
    Ranges ranges = bodyRanges;
    const std::size_t equals = plain.find('=');
    if (!bodyRanges.empty()) {
      // A body= word: its secrets are found above.
    } else if (next == Next::WholeValue) {
      ranges.emplace_back(0, plain.size());
    } else if (next == Next::AfterEquals && equals != std::string::npos) {
      ranges.emplace_back(equals + 1, plain.size());
      if (equals + 1 == plain.size()) m_next = Next::WholeValue;
    } else if (equals == std::string::npos) {
      // A tag standing alone, its = and value in the words after it; or a
      // tag and its value with the = left out or mistyped; or an XML text
      // with no = in it (its attributes written without one).
      if (isPasswordTag(plain) || isUserNameTag(plain)) m_next = Next::AfterEquals;
      else if (const std::size_t value = valueWithoutEquals(plain); value < plain.size())
        ranges.emplace_back(value, plain.size());
      else if (plain.find('<') != std::string::npos)
        ranges = xmlPasswordRanges(plain);
    } else if (isUserNameTag(plain.substr(0, equals))) {
      ranges.push_back(proxyPasswordOf(plain, equals + 1));
      if (equals + 1 == plain.size()) m_next = Next::WholeValue;
    } else if (isPasswordTag(plain.substr(0, equals))) {
      ranges.emplace_back(equals + 1, plain.size());
      if (equals + 1 == plain.size()) m_next = Next::WholeValue;
    } else if (plain.find('<') != std::string::npos) {
      ranges = xmlPasswordRanges(plain);
    }
    std::string shown = word;
    // From the last, so that the places before stay good.
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
      const auto [first, last] = *range;
      if (first >= last) continue;
      secrets.push_back(plain.substr(first, last - first));
      // A value hidden from its start is hidden from just after its = as
      // written (its quote too).
      std::size_t writtenFirst = first < from.size() ? from[first] : word.size();
      const bool wholeValue = equals != std::string::npos && first == equals + 1 && equals < from.size();
      if (wholeValue) writtenFirst = from[equals] + 1;
      // A part that ends the value ends where its last byte was written: the
      // value's closing quote stays.
      std::size_t writtenLast = last < from.size() ? from[last] : word.size();
      if (!wholeValue && last == plain.size() && last > 0 && last - 1 < from.size()) writtenLast = from[last - 1] + 1;
      if (writtenFirst >= writtenLast) continue;
      secrets.push_back(word.substr(writtenFirst, writtenLast - writtenFirst));
      shown.replace(writtenFirst, writtenLast - writtenFirst, kHiddenPassword);
    }
    return shown;
  }

  // The message class whose fields a key written with its part first
  // names (a storage-library field: second.TAG, request.TAG), the part
  // being the text before its first dot: the request's for request., the
  // word's message's for any other part.
  void classOfPart(const std::string& key, std::size_t dot, unsigned& ns, unsigned& cls) const {
    ns = m_fields.ns;
    cls = m_fields.cls;
    if (key.compare(0, dot + 1, "request.") == 0) {
      ns = EVGui::ConfigureStorageLibraryReq::kNamespace;
      cls = EVGui::ConfigureStorageLibraryReq::kClassNumber;
    }
  }

  // The field `key` (the TAG of TAG=VALUE) names in the word's message (a
  // storage-library field named with its part first: second.TAG,
  // request.TAG); false when it names none.
  bool fieldOf(const std::string& key, unsigned& ns, unsigned& cls, uint32_t& tag) const {
    const std::size_t dot = key.find('.');
    if (dot == std::string::npos) {
      ns = m_fields.ns;
      cls = m_fields.cls;
      return tagIn(key, tag);
    }
    classOfPart(key, dot, ns, cls);
    return tagIn(key.substr(dot + 1), tag);
  }

  // Whether `tag`, an element or a field of class ns:cls, carries a password
  // or a user name that may carry one.
  bool isSecretTag(uint32_t tag, unsigned ns, unsigned cls) const {
    if (m_fields.elements) return isPasswordElement(tag);
    return isPasswordFieldOf(ns, cls, tag) || tkxml::isProxyUserNameField(ns, cls, tag);
  }

  // Whether `key` names a password element, or a password field of the
  // word's message.
  bool isPasswordTag(const std::string& key) const {
    uint32_t tag = 0;
    if (m_fields.elements) return tagIn(key, tag) && isPasswordElement(tag);
    unsigned ns = 0;
    unsigned cls = 0;
    return fieldOf(key, ns, cls, tag) && isPasswordFieldOf(ns, cls, tag);
  }

  // Whether `key` names a user name that may carry a proxy password: element
  // 2401, or a field of the host's list of such names.
  bool isUserNameTag(const std::string& key) const {
    uint32_t tag = 0;
    if (m_fields.elements) return tagIn(key, tag) && tag == tktag::kUserName;
    unsigned ns = 0;
    unsigned cls = 0;
    return fieldOf(key, ns, cls, tag) && tkxml::isProxyUserNameField(ns, cls, tag);
  }

  // Whether `key` reads as a tag of the word's request (an element, or a
  // field of its message).
  bool readsAsTag(const std::string& key) const {
    uint32_t tag = 0;
    unsigned ns = 0;
    unsigned cls = 0;
    return m_fields.elements ? tagIn(key, tag) : fieldOf(key, ns, cls, tag);
  }

  // In a word without its = that does not read as a tag as a whole, where
  // the value of a password (or a user name) begins: behind the shortest
  // part of the word that reads as the tag of one ("11426:secret",
  // "0x20enc:secret", however many zeros lead the tag); the word's end when
  // it begins with no such tag. The parser refuses such a word, and its
  // refusal quotes the word. The tags the word begins with are read as the
  // parser reads a tag (NumberReader), after the blanks a quoted word may
  // begin with, and (of a storage-library field) after the part before
  // the first dot; each character is read once, so that a long word, an
  // XML text, costs no more than its length.
  std::size_t valueWithoutEquals(const std::string& plain) const {
    if (readsAsTag(plain)) return plain.size();
    std::size_t value = plain.size();
    auto shortestFrom = [&](std::size_t from, unsigned ns, unsigned cls) {
      from = std::min(plain.find_first_not_of(" \t\r\n", from), plain.size());
      for (NumberReader tag(plain, from, kLargestTag); tag.next();) {
        if (tag.end() < plain.size() && isSecretTag(static_cast<uint32_t>(tag.value()), ns, cls)) {
          value = std::min(value, tag.end());
          return;
        }
      }
    };
    shortestFrom(0, m_fields.ns, m_fields.cls);
    const std::size_t dot = plain.find('.');
    if (!m_fields.elements && dot != std::string::npos) {
      unsigned ns = 0;
      unsigned cls = 0;
      classOfPart(plain, dot, ns, cls);
      shortestFrom(dot + 1, ns, cls);
    }
    return value;
  }

  const std::vector<std::string>& m_words;
  const bool m_fromShell;
  FieldsOf m_fields;
  Next m_next = Next::Plain;
  // The secrets of each body= word, by word.
  std::vector<Ranges> m_bodyRanges;
};

}  // namespace

bool isPasswordElement(uint32_t tag) {
  return tag == tktag::kUserName || std::find(std::begin(kPasswordElements), std::end(kPasswordElements), tag) !=
                                        std::end(kPasswordElements);
}

std::vector<std::string> wordsWithoutPasswords(const std::vector<std::string>& words, bool fromShell) {
  std::vector<std::string> secrets;
  return Hider(words, fromShell).shown(secrets);
}

std::string lineWithoutPasswords(const std::string& line) {
  std::vector<std::string> words;
  std::string error;
  if (!splitLine(line, words, error)) {
    // A line that cannot be read is shown only up to its open quote.
    const size_t open = line.find_first_of("\"'");
    return line.substr(0, open) + (open == std::string::npos ? "" : kHiddenPassword);
  }
  const std::vector<std::string> shown = wordsWithoutPasswords(words, false);
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

std::string xmlWithoutPasswords(const std::string& text) {
  Ranges ranges = xmlPasswordRanges(text);
  // Ranges that overlap are hidden as one.
  std::sort(ranges.begin(), ranges.end());
  Ranges merged;
  for (const auto& [first, last] : ranges) {
    if (first >= last) continue;
    if (!merged.empty() && first < merged.back().second)
      merged.back().second = std::max(merged.back().second, last);
    else
      merged.emplace_back(first, last);
  }
  // From the last, so that the places before stay good.
  std::string shown = text;
  for (auto range = merged.rbegin(); range != merged.rend(); ++range)
    shown.replace(range->first, range->second - range->first, kHiddenPassword);
  return shown;
}

std::string textWithoutPasswords(const std::string& text, const std::vector<std::string>& words, bool fromShell) {
  std::vector<std::string> secrets;
  Hider(words, fromShell).shown(secrets);
  // The longest first: a password's written form holds the password.
  std::sort(secrets.begin(), secrets.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  std::string out = text;
  for (const std::string& secret : secrets) {
    if (secret.empty() || secret == kHiddenPassword) continue;
    for (size_t at = 0; (at = out.find(secret, at)) != std::string::npos; at += std::strlen(kHiddenPassword))
      out.replace(at, secret.size(), kHiddenPassword);
  }
  return out;
}

}  // namespace tkconsole
