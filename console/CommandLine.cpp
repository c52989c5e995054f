#include "console/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/Passwords.h"
#include "console/TagNames.h"
#include "frame/ElementLimits.h"
#include "platform/external/Cipher.h"

namespace tkconsole {

// What body= may fill: the first parameter and the 63,536-byte stream area.
constexpr std::size_t kRawBodyBytes = 4 + 63536;
namespace {

void putLe(std::string& out, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool allDigits(const std::string& s, size_t from) {
  if (s.size() <= from) return false;
  for (size_t i = from; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A sequence number: a number up to 2^63-1, or -N.
bool parseSigned64(const std::string& word, int64_t& value) {
  uint64_t magnitude = 0;
  if (!word.empty() && word[0] == '-') {
    if (!parseNumber(word.substr(1), static_cast<uint64_t>(INT64_MAX) + 1, magnitude)) return false;
    value = magnitude == static_cast<uint64_t>(INT64_MAX) + 1 ? INT64_MIN : -static_cast<int64_t>(magnitude);
    return true;
  }
  if (!parseNumber(word, static_cast<uint64_t>(INT64_MAX), magnitude)) return false;
  value = static_cast<int64_t>(magnitude);
  return true;
}

// A 32-bit word of a compound value: a number (decimal or 0x hex) or -N,
// which is sent as its two's complement (ids of -1 mean "none").
bool parseWord32(const std::string& word, uint32_t& value) {
  uint64_t v = 0;
  if (word.size() > 1 && word[0] == '-') {
    if (!parseNumber(word.substr(1), static_cast<uint64_t>(INT32_MAX) + 1, v)) return false;
    value = static_cast<uint32_t>(-static_cast<int64_t>(v));
    return true;
  }
  if (!parseNumber(word, UINT32_MAX, v)) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

// The compound forms of the SAN-volume elements, the header words followed
// by the text's characters (no terminating zero is sent):
//   idtext:ID:TEXT                 u32 id, text
//   hdr12:ID,CLIENT,FLAGS:TEXT     u32 id, u32 client id, u32 flags, text
// The text is everything after the second colon, colons included.
bool parseCompound(const std::string& form, const std::string& rest, std::size_t words, std::string& bytes,
                   std::string& error) {
  const std::size_t colon = rest.find(':');
  if (colon == std::string::npos) {
    error = form + " needs a colon before its text: " + form + ":" + rest;
    return false;
  }
  std::vector<std::string> parts;
  std::string header = rest.substr(0, colon);
  for (std::size_t start = 0;;) {
    const std::size_t comma = header.find(',', start);
    parts.push_back(header.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() != words) {
    error = form + " takes " + std::to_string(words) + (words == 1 ? " number" : " numbers separated by commas") +
            " before its text: " + form + ":" + rest;
    return false;
  }
  for (const std::string& part : parts) {
    uint32_t word = 0;
    if (!parseWord32(part, word)) {
      error = "not a 32-bit number in " + form + ": " + part;
      return false;
    }
    putLe(bytes, word, 4);
  }
  bytes += rest.substr(colon + 1);
  return true;
}

// " (name)" of a tag the console knows by name; empty otherwise.
std::string describedTag(uint32_t tag) {
  const char* name = tagName(tag);
  return name != nullptr ? std::string(" (") + name + ")" : std::string();
}

bool readFile(const std::string& path, std::string& text) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream os;
  os << in.rdbuf();
  text = os.str();
  return true;
}

}  // namespace

std::string Request::encode() const {
  return xml ? tkwire::encodeXmlRequest(xmlRequest) : tkwire::encodeStreamRequest(stream);
}

NumberReader::NumberReader(const std::string& text, std::size_t from, uint64_t max)
    : m_text(text), m_from(from), m_max(max), m_end(from) {}

bool NumberReader::next() {
  while (!m_done && m_end < m_text.size()) {
    const char c = m_text[m_end];
    // "0x" begins a hex number: "0" alone is a number, "0x" is none.
    if (!m_hex && m_end == m_from + 1 && m_text[m_from] == '0' && (c == 'x' || c == 'X')) {
      m_hex = true;
      ++m_end;
      continue;
    }
    const int d = m_hex ? hexDigit(c) : c >= '0' && c <= '9' ? c - '0' : -1;
    if (d < 0 || (m_hex ? m_value > (m_max >> 4) : m_value > (m_max - static_cast<uint64_t>(d)) / 10)) break;
    m_value = m_hex ? (m_value << 4) | static_cast<uint64_t>(d) : m_value * 10 + static_cast<uint64_t>(d);
    if (m_value > m_max) break;
    ++m_end;
    return true;
  }
  m_done = true;
  return false;
}

bool parseNumber(const std::string& word, uint64_t max, uint64_t& value) {
  for (NumberReader number(word, 0, max); number.next();) {
    if (number.end() == word.size()) {
      value = number.value();
      return true;
    }
  }
  return false;
}

bool parseTag(const std::string& key, uint32_t& tag) {
  uint64_t v = 0;
  if (!parseNumber(key, kLargestTag, v)) return false;
  tag = static_cast<uint32_t>(v);
  return true;
}

std::string valuelessReason(const std::string& reason, const std::string& shown) {
  const size_t colon = reason.find(": ");
  return (colon == std::string::npos ? reason : reason.substr(0, colon)) + ": " + shown;
}

std::string unquote(const std::string& word, std::vector<std::size_t>* from) {
  std::string out;
  if (from != nullptr) from->clear();
  auto put = [&](char c, std::size_t at) {
    out.push_back(c);
    if (from != nullptr) from->push_back(at);
  };
  char quote = 0;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (quote == '\'') {
      if (c == '\'') quote = 0;
      else put(c, i);
    } else if (c == '\\' && i + 1 < word.size() && quote != '\'') {
      const size_t at = i;
      char n = word[++i];
      switch (n) {
        case 'n': put(quote ? '\n' : 'n', at); break;
        case 't': put(quote ? '\t' : 't', at); break;
        case 'r': put(quote ? '\r' : 'r', at); break;
        default: put(n, at);
      }
    } else if (quote == '"') {
      if (c == '"') quote = 0;
      else put(c, i);
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else {
      put(c, i);
    }
  }
  return out;
}

bool splitLine(const std::string& line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote != 0) {
      word.push_back(c);
      if (c == '\\' && quote == '"' && i + 1 < line.size()) {
        word.push_back(line[++i]);
      } else if (c == quote) {
        quote = 0;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      continue;
    }
    if (c == '#' && !inWord) break;
    inWord = true;
    word.push_back(c);
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '\\' && i + 1 < line.size()) {
      word.push_back(line[++i]);
    }
  }
  if (quote != 0) {
    error = std::string("unterminated ") + quote + " quote";
    return false;
  }
  if (inWord) words.push_back(word);
  return true;
}

bool parseValue(const std::string& word, std::string& bytes, std::string& error, bool fromShell) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  bytes.clear();
  if (!word.empty() && (word[0] == '"' || word[0] == '\'')) {
    bytes = unquote(word);
    return true;
  }
  if (word.compare(0, 2, "s:") == 0) {
    bytes = uq(word.substr(2));
    return true;
  }
  if (word.compare(0, 4, "u64:") == 0 || word.compare(0, 4, "u32:") == 0) {
    bool wide = word[1] == '6';
    uint64_t v = 0;
    if (!parseNumber(uq(word.substr(4)), wide ? UINT64_MAX : UINT32_MAX, v)) {
      error = "not a " + std::string(wide ? "64" : "32") + "-bit number: " + word;
      return false;
    }
    putLe(bytes, v, wide ? 8 : 4);
    return true;
  }
  if (word.compare(0, 4, "hex:") == 0) {
    std::string digits = uq(word.substr(4));
    if (digits.size() % 2 != 0) {
      error = "odd number of hex digits: " + word;
      return false;
    }
    for (size_t i = 0; i < digits.size(); i += 2) {
      int hi = hexDigit(digits[i]);
      int lo = hexDigit(digits[i + 1]);
      if (hi < 0 || lo < 0) {
        error = "not hex: " + word;
        return false;
      }
      bytes.push_back(static_cast<char>(hi << 4 | lo));
    }
    return true;
  }
  if (word.compare(0, 4, "enc:") == 0) {
    // Logins and passwords (11062, 11063, 2402) travel encrypted.
    bytes = tkcipher::encrypt(uq(word.substr(4)));
    return true;
  }
  if (word.compare(0, 7, "idtext:") == 0) return parseCompound("idtext", uq(word.substr(7)), 1, bytes, error);
  if (word.compare(0, 6, "hdr12:") == 0) return parseCompound("hdr12", uq(word.substr(6)), 3, bytes, error);
  std::string text = uq(word);
  uint64_t v = 0;
  if (text.size() > 1 && text[0] == '-' && allDigits(text, 1)) {
    if (!parseNumber(text.substr(1), static_cast<uint64_t>(INT32_MAX) + 1, v)) {
      error = "too small for a 32-bit number: " + word;
      return false;
    }
    putLe(bytes, static_cast<uint32_t>(-static_cast<int64_t>(v)), 4);
    return true;
  }
  bool numeric = allDigits(text, 0) || (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'));
  if (numeric) {
    if (!parseNumber(text, UINT32_MAX, v)) {
      error = "not a 32-bit number (write u64:N for a 64-bit one, s:TEXT for a text): " + word;
      return false;
    }
    putLe(bytes, v, 4);
    return true;
  }
  bytes = text;
  return true;
}

bool parseRequest(const std::vector<std::string>& words, const Defaults& defaults, int64_t nextSequence,
                  Request& request, std::string& error, bool fromShell) {
  auto uq = [fromShell](const std::string& w) { return fromShell ? w : unquote(w); };
  request = Request();
  uint32_t userId = defaults.userId, kind = defaults.requestKind, gui = defaults.autoRefreshGuiId,
           origin = defaults.origin;
  int64_t sequence = defaults.sequence.value_or(nextSequence);
  std::optional<uint32_t> messageId;
  std::optional<std::string> xmlText;
  std::optional<uint32_t> first, count;
  std::optional<uint64_t> handle;
  std::string handler;
  bool haveHandler = false;
  std::string stream;
  uint32_t elements = 0;
  // Raw bytes from the first-parameter place on (body=VALUE, repeated).
  std::optional<std::string> body;

  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.compare(0, 2, "--") == 0) {
      if (i + 1 >= words.size()) {
        error = w + " needs a value";
        return false;
      }
      std::string value = uq(words[++i]);
      uint64_t n = 0;
      if (w == "--user" || w == "--kind" || w == "--gui" || w == "--origin" || w == "--xml") {
        if (!parseNumber(value, UINT32_MAX, n)) {
          error = w + " takes a 32-bit number, not " + value;
          return false;
        }
        uint32_t v = static_cast<uint32_t>(n);
        if (w == "--user") userId = v;
        else if (w == "--kind") kind = v;
        else if (w == "--gui") gui = v;
        else if (w == "--origin") origin = v;
        else messageId = v;
      } else if (w == "--seq") {
        if (!parseSigned64(value, sequence)) {
          error = "--seq takes a 64-bit number, not " + value;
          return false;
        }
      } else if (w == "--xml-file") {
        std::string text;
        if (!readFile(value, text)) {
          error = "cannot read " + value;
          return false;
        }
        if (xmlText) {
          error = "more than one XML text";
          return false;
        }
        xmlText = text;
      } else {
        error = "unknown option " + w;
        return false;
      }
      continue;
    }
    if (!haveHandler) {
      handler = uq(w);
      haveHandler = true;
      continue;
    }
    size_t eq = w.find('=');
    std::string key = eq == std::string::npos ? std::string() : w.substr(0, eq);
    std::string value = eq == std::string::npos ? std::string() : w.substr(eq + 1);
    uint64_t n = 0;
    if (key == "first" || key == "count") {
      if (!parseNumber(uq(value), UINT32_MAX, n)) {
        error = key + "= takes a 32-bit number, not " + value;
        return false;
      }
      (key == "first" ? first : count) = static_cast<uint32_t>(n);
      continue;
    }
    if (key == "body") {
      std::string bytes;
      if (!parseValue(value, bytes, error, fromShell)) return false;
      body = body.value_or(std::string()) + bytes;
      if (body->size() > kRawBodyBytes) {
        error = "body= holds more than the request body";
        return false;
      }
      continue;
    }
    if (key == "handle") {
      if (!parseNumber(uq(value), UINT64_MAX, n)) {
        error = "handle= takes a 64-bit number, not " + value;
        return false;
      }
      handle = n;
      continue;
    }
    if (messageId) {
      // In an XML request the word after the handler is the text.
      if (xmlText) {
        error = "more than one XML text";
        return false;
      }
      xmlText = uq(w);
      continue;
    }
    uint32_t tag = 0;
    if (eq == std::string::npos || !parseTag(key, tag)) {
      // What stands before the =: its value may be a password whose tag
      // was mistyped.
      error = "expected TAG=VALUE, first=N, count=N or handle=N, not " +
              (eq == std::string::npos ? w : key + "=" + kHiddenPassword);
      return false;
    }
    std::string bytes;
    if (!parseValue(value, bytes, error, fromShell)) {
      if (isPasswordElement(tag)) error = valuelessReason(error, kHiddenPassword);
      return false;
    }
    // The host's walk over the elements ends, silently, at the first value
    // longer than it reads: the records behind it would never be acted on,
    // and the request would get no answer.
    if (bytes.size() > kMessageValueCapacity) {
      error = "element " + std::to_string(tag) + describedTag(tag) + " holds " + std::to_string(bytes.size()) +
              " bytes; the host reads at most " + std::to_string(kMessageValueCapacity) +
              " bytes of an element (nothing was sent)";
      return false;
    }
    tkwire::appendElement(stream, static_cast<uint32_t>(tag), bytes);
    ++elements;
  }

  if (!haveHandler || handler.empty()) {
    error = "no handler named";
    return false;
  }
  if (handle && (first || count)) {
    error = "handle= takes the place of first= and count=";
    return false;
  }
  if (body && (handle || count || elements != 0 || messageId)) {
    error = "body= takes the place of count=, handle= and the elements";
    return false;
  }
  if (body) {
    // The first four bytes are the first parameter (the element count's
    // place), the rest goes where the element stream would begin.
    std::string bytes = *body;
    if (bytes.size() < 4) bytes.resize(4, '\0');
    count = tkwire::u32At(bytes, 0);
    stream = bytes.substr(4);
  }
  if (messageId) {
    if (!xmlText) {
      error = "an XML request needs its text (or --xml-file)";
      return false;
    }
    request.xml = true;
    tkwire::XmlRequest& r = request.xmlRequest;
    r.handler = handler;
    r.userId = userId;
    r.requestKind = kind;
    r.autoRefreshGuiId = gui;
    r.origin = origin;
    r.sequence = sequence;
    r.firstField = handle ? *handle : tkwire::firstFieldOf(first.value_or(0), count.value_or(0));
    r.messageId = *messageId;
    r.xml = *xmlText;
    return true;
  }
  if (xmlText) {
    error = "--xml-file needs --xml MSGID";
    return false;
  }
  tkwire::StreamRequest& r = request.stream;
  r.handler = handler;
  r.userId = userId;
  r.requestKind = kind;
  r.autoRefreshGuiId = gui;
  r.origin = origin;
  r.sequence = sequence;
  r.firstField = handle ? *handle : tkwire::firstFieldOf(first.value_or(0), count.value_or(elements));
  r.stream = stream;
  return true;
}

std::size_t handlerWordAt(const std::vector<std::string>& words) {
  std::size_t at = 0;
  while (at < words.size() && words[at].compare(0, 2, "--") == 0) at += 2;
  return std::min(at, words.size());
}

}  // namespace tkconsole
