#include "platform/db/SqlText.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

namespace tkdb {

namespace {

std::string doubleQuotes(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// snprintf of one conversion whose format was taken apart by formatSqlV.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class T>
std::string one(const std::string& spec, bool hasWidth, int width, bool hasPrec, int prec, T value) {
  char small[128];
  int n;
  if (hasWidth && hasPrec) {
    n = std::snprintf(small, sizeof small, spec.c_str(), width, prec, value);
  } else if (hasWidth) {
    n = std::snprintf(small, sizeof small, spec.c_str(), width, value);
  } else if (hasPrec) {
    n = std::snprintf(small, sizeof small, spec.c_str(), prec, value);
  } else {
    n = std::snprintf(small, sizeof small, spec.c_str(), value);
  }
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  if (hasWidth && hasPrec) {
    std::snprintf(big.data(), big.size(), spec.c_str(), width, prec, value);
  } else if (hasWidth) {
    std::snprintf(big.data(), big.size(), spec.c_str(), width, value);
  } else if (hasPrec) {
    std::snprintf(big.data(), big.size(), spec.c_str(), prec, value);
  } else {
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
  }
  big.resize(static_cast<size_t>(n));
  return big;
}
#pragma GCC diagnostic pop

std::string pad(const std::string& text, bool hasWidth, int width, bool left) {
  if (!hasWidth) return text;
  if (width < 0) {
    left = true;
    width = -width;
  }
  if (text.size() >= static_cast<size_t>(width)) return text;
  std::string fill(static_cast<size_t>(width) - text.size(), ' ');
  return left ? text + fill : fill + text;
}

bool equalsNoCase(const std::string& text, const char* word) {
  size_t n = std::strlen(word);
  if (text.size() != n) return false;
  for (size_t k = 0; k < n; ++k) {
    if (std::toupper(static_cast<unsigned char>(text[k])) != std::toupper(static_cast<unsigned char>(word[k]))) {
      return false;
    }
  }
  return true;
}

bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '@' || c == '#'; }

bool matchWordAt(const std::string& s, size_t pos, const char* word) {
  size_t n = std::strlen(word);
  if (pos + n > s.size()) return false;
  for (size_t k = 0; k < n; ++k) {
    if (std::toupper(static_cast<unsigned char>(s[pos + k])) != word[k]) return false;
  }
  if (pos > 0 && isIdentChar(s[pos - 1])) return false;
  if (pos + n < s.size() && isIdentChar(s[pos + n])) return false;
  return true;
}

size_t skipSpace(const std::string& s, size_t pos) {
  while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos])) != 0) ++pos;
  return pos;
}

// Length of the quoted run starting at s[pos] (a quote char), closing quote included;
// a doubled quote inside is part of the run.
size_t quotedRun(const std::string& s, size_t pos, char close) {
  size_t k = pos + 1;
  while (k < s.size()) {
    if (s[k] == close) {
      if (k + 1 < s.size() && s[k + 1] == close) {
        k += 2;
        continue;
      }
      return k + 1 - pos;
    }
    ++k;
  }
  return s.size() - pos;  // unterminated: to the end
}

// WITH (NOLOCK) at pos (already known to start with WITH): length matched, or 0.
size_t nolockAt(const std::string& s, size_t pos) {
  if (!matchWordAt(s, pos, "WITH")) return 0;
  size_t k = skipSpace(s, pos + 4);
  if (k >= s.size() || s[k] != '(') return 0;
  k = skipSpace(s, k + 1);
  if (!matchWordAt(s, k, "NOLOCK")) return 0;
  k = skipSpace(s, k + 6);
  if (k >= s.size() || s[k] != ')') return 0;
  return k + 1 - pos;
}

// TOP n or TOP (n) at pos: sets the count text and returns the length matched, or 0.
size_t topAt(const std::string& s, size_t pos, std::string& count) {
  if (!matchWordAt(s, pos, "TOP")) return 0;
  size_t k = skipSpace(s, pos + 3);
  bool paren = false;
  if (k < s.size() && s[k] == '(') {
    paren = true;
    k = skipSpace(s, k + 1);
  }
  size_t start = k;
  while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k])) != 0) ++k;
  if (k == start) return 0;
  count = s.substr(start, k - start);
  if (paren) {
    k = skipSpace(s, k);
    if (k >= s.size() || s[k] != ')') return 0;
    ++k;
  }
  return k - pos;
}

}  // namespace

std::string formatSqlV(const char* format, va_list args) { return formatSqlV(format, args, nullptr); }

std::string formatSqlV(const char* format, va_list args, std::vector<DbValue>* values) {
  auto keep = [values](DbValue value) {
    if (values != nullptr) values->push_back(std::move(value));
  };
  std::string out;
  if (format == nullptr) return out;
  bool inLiteral = false;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out += *p;
      if (*p == '\'') inLiteral = !inLiteral;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      continue;
    }
    std::string flags;
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) flags += *p++;
    bool hasWidth = false;
    int width = 0;
    std::string widthText;
    if (*p == '*') {
      hasWidth = true;
      width = va_arg(args, int);
      widthText = "*";
      ++p;
    } else {
      while (std::isdigit(static_cast<unsigned char>(*p)) != 0) widthText += *p++;
    }
    bool hasPrec = false;
    int prec = -1;
    std::string precText;
    if (*p == '.') {
      ++p;
      precText = ".";
      if (*p == '*') {
        hasPrec = true;
        prec = va_arg(args, int);
        precText += "*";
        ++p;
      } else {
        std::string digits;
        while (std::isdigit(static_cast<unsigned char>(*p)) != 0) digits += *p++;
        precText += digits;
        prec = digits.empty() ? 0 : std::atoi(digits.c_str());
      }
    }
    std::string length;
    if (p[0] == 'h' && p[1] == 'h') {
      length = "hh";
      p += 2;
    } else if (p[0] == 'l' && p[1] == 'l') {
      length = "ll";
      p += 2;
    } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      length = "ll";  // the server's %I64d
      p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
      p += 3;
    } else if (*p != '\0' && std::strchr("hlLqjzt", *p) != nullptr) {
      length = std::string(1, *p == 'q' ? 'L' : *p);
      if (*p == 'q') length = "ll";
      ++p;
    }
    char conv = *p;
    if (conv == '\0') {
      out.append(start);
      break;
    }
    std::string spec = "%" + flags + widthText + precText;
    switch (conv) {
      case 'd':
      case 'i': {
        std::string s = spec + length + conv;
        if (length == "ll" || length == "j") {
          long long v = va_arg(args, long long);
          out += one(s, hasWidth, width, hasPrec, prec, v);
          keep(DbValue(v));
        } else if (length == "l" || length == "z" || length == "t") {
          long v = va_arg(args, long);
          out += one(s, hasWidth, width, hasPrec, prec, v);
          keep(DbValue(v));
        } else {
          int v = va_arg(args, int);
          out += one(s, hasWidth, width, hasPrec, prec, v);
          keep(DbValue(v));
        }
        break;
      }
      case 'u':
      case 'o':
      case 'x':
      case 'X': {
        std::string s = spec + length + conv;
        if (length == "ll" || length == "j") {
          unsigned long long v = va_arg(args, unsigned long long);
          out += one(s, hasWidth, width, hasPrec, prec, v);
          keep(DbValue(v));
        } else if (length == "l" || length == "z" || length == "t") {
          unsigned long v = va_arg(args, unsigned long);
          out += one(s, hasWidth, width, hasPrec, prec, v);
          keep(DbValue(v));
        } else {
          unsigned int v = va_arg(args, unsigned int);
          out += one(s, hasWidth, width, hasPrec, prec, v);
          keep(DbValue(v));
        }
        break;
      }
      case 'c': {
        int c = va_arg(args, int);
        std::string text(1, static_cast<char>(c));
        if (length == "l") {
          text = one("%lc", false, 0, false, 0, static_cast<wint_t>(c));
        }
        keep(DbValue(text));
        if (inLiteral) text = doubleQuotes(text);
        out += pad(text, hasWidth || !widthText.empty(), hasWidth ? width : std::atoi(widthText.c_str()),
                   flags.find('-') != std::string::npos);
        break;
      }
      case 's': {
        std::string text;
        if (length == "l") {
          const wchar_t* w = va_arg(args, const wchar_t*);
          if (w != nullptr) text = one("%ls", false, 0, false, 0, w);
        } else {
          const char* s = va_arg(args, const char*);
          if (s != nullptr) text = s;
        }
        if (!precText.empty() && prec >= 0 && text.size() > static_cast<size_t>(prec)) {
          text.resize(static_cast<size_t>(prec));
        }
        keep(DbValue(text));
        if (inLiteral) text = doubleQuotes(text);
        out += pad(text, hasWidth || !widthText.empty(), hasWidth ? width : std::atoi(widthText.c_str()),
                   flags.find('-') != std::string::npos);
        break;
      }
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A': {
        if (length == "L") {
          long double v = va_arg(args, long double);
          out += one(spec + "L" + conv, hasWidth, width, hasPrec, prec, v);
          keep(DbValue(static_cast<double>(v)));
        } else {
          double v = va_arg(args, double);
          out += one(spec + conv, hasWidth, width, hasPrec, prec, v);
          keep(DbValue(v));
        }
        break;
      }
      case 'p':
        out += one(spec + "p", hasWidth, width, hasPrec, prec, va_arg(args, void*));
        break;
      case 'n':
        (void)va_arg(args, void*);  // never written through
        break;
      default:
        // Not a conversion: copied as it stands; a quote in it still opens
        // or closes a literal.
        out.append(start, static_cast<size_t>(p - start + 1));
        if (conv == '\'') inLiteral = !inLiteral;
        break;
    }
  }
  return out;
}

std::string formatSql(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = formatSqlV(format, args);
  va_end(args);
  return out;
}

std::string translateDialect(const std::string& sql) {
  std::string out;
  out.reserve(sql.size() + 16);
  // Pending LIMIT per parenthesis depth (index = depth); empty when none.
  std::vector<std::string> limits(1);
  size_t depth = 0;
  auto closeScope = [&](size_t d) {
    if (d < limits.size() && !limits[d].empty()) {
      while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back())) != 0) out.pop_back();
      out += " LIMIT " + limits[d];
      limits[d].clear();
    }
  };
  size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (c == '\'' || c == '"') {
      size_t n = quotedRun(sql, i, c);
      out.append(sql, i, n);
      i += n;
      continue;
    }
    if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      size_t end = sql.find('\n', i);
      if (end == std::string::npos) end = sql.size();
      out.append(sql, i, end - i);
      i = end;
      continue;
    }
    if (c == '[') {
      size_t k = i + 1;
      std::string name;
      while (k < sql.size()) {
        if (sql[k] == ']') {
          if (k + 1 < sql.size() && sql[k + 1] == ']') {
            name += ']';
            k += 2;
            continue;
          }
          break;
        }
        name += sql[k++];
      }
      out += quoteIdent(name);
      i = (k < sql.size()) ? k + 1 : k;
      continue;
    }
    if (c == '(') {
      ++depth;
      if (limits.size() <= depth) limits.resize(depth + 1);
      out += c;
      ++i;
      continue;
    }
    if (c == ')') {
      closeScope(depth);
      if (depth > 0) --depth;
      out += c;
      ++i;
      continue;
    }
    if (c == ';') {
      closeScope(depth);
      out += c;
      ++i;
      continue;
    }
    if ((c == 'N' || c == 'n') && i + 1 < sql.size() && sql[i + 1] == '\'' && (i == 0 || !isIdentChar(sql[i - 1]))) {
      ++i;  // N'text' -> 'text'
      continue;
    }
    if ((c == 'W' || c == 'w')) {
      size_t n = nolockAt(sql, i);
      if (n > 0) {
        while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back())) != 0) out.pop_back();
        i += n;
        continue;
      }
    }
    if ((c == 'I' || c == 'i') && matchWordAt(sql, i, "ISNULL")) {
      size_t k = skipSpace(sql, i + 6);
      if (k < sql.size() && sql[k] == '(') {
        out += "IFNULL";
        i += 6;
        continue;
      }
    }
    if ((c == 'S' || c == 's') && matchWordAt(sql, i, "SELECT")) {
      out.append(sql, i, 6);
      size_t k = skipSpace(sql, i + 6);
      size_t afterDistinct = k;
      std::string distinct;
      if (matchWordAt(sql, k, "DISTINCT")) {
        distinct = sql.substr(k, 8);
        afterDistinct = skipSpace(sql, k + 8);
      }
      std::string count;
      size_t n = topAt(sql, afterDistinct, count);
      if (n > 0) {
        if (!distinct.empty()) out += " " + distinct;
        limits[depth] = count;
        i = afterDistinct + n;
        continue;
      }
      i += 6;
      continue;
    }
    if (isIdentChar(c)) {
      // Copy a whole word so that keyword tests only ever start at word boundaries.
      size_t k = i;
      while (k < sql.size() && isIdentChar(sql[k])) ++k;
      out.append(sql, i, k - i);
      i = k;
      continue;
    }
    out += c;
    ++i;
  }
  closeScope(depth);
  while (depth > 0) closeScope(--depth);
  return out;
}

std::string maskLiterals(const std::string& sql) {
  std::string out;
  out.reserve(sql.size());
  size_t i = 0;
  while (i < sql.size()) {
    if (sql[i] == '\'') {
      size_t n = quotedRun(sql, i, '\'');
      out += "'?'";
      i += n;
      continue;
    }
    out += sql[i++];
  }
  return out;
}

bool parseValuesClause(const std::string& clause, std::vector<DbValue>& out) {
  out.clear();
  size_t i = 0;
  auto skip = [&]() {
    while (i < clause.size() && std::isspace(static_cast<unsigned char>(clause[i])) != 0) ++i;
  };
  skip();
  if (i >= clause.size()) return true;
  while (true) {
    skip();
    if (i >= clause.size()) return false;
    if ((clause[i] == 'N' || clause[i] == 'n') && i + 1 < clause.size() && clause[i + 1] == '\'') ++i;
    if (clause[i] == '\'') {
      std::string text;
      ++i;
      bool closed = false;
      while (i < clause.size()) {
        if (clause[i] == '\'') {
          if (i + 1 < clause.size() && clause[i + 1] == '\'') {
            text += '\'';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        text += clause[i++];
      }
      if (!closed) return false;
      out.emplace_back(std::move(text));
    } else {
      size_t start = i;
      while (i < clause.size() && clause[i] != ',') ++i;
      std::string token = clause.substr(start, i - start);
      while (!token.empty() && std::isspace(static_cast<unsigned char>(token.back())) != 0) token.pop_back();
      if (equalsNoCase(token, "NULL")) {
        out.emplace_back();
      } else {
        char* end = nullptr;
        errno = 0;
        long long n = std::strtoll(token.c_str(), &end, 10);
        if (!token.empty() && errno == 0 && end != nullptr && *end == '\0') {
          out.emplace_back(n);
        } else {
          char* dend = nullptr;
          double d = std::strtod(token.c_str(), &dend);
          if (token.empty() || dend == nullptr || *dend != '\0') return false;
          out.emplace_back(d);
        }
      }
    }
    skip();
    if (i >= clause.size()) return true;
    if (clause[i] != ',') return false;
    ++i;
  }
}

std::string quoteIdent(const std::string& name) {
  std::string out;
  out.reserve(name.size() + 2);
  out += '"';
  if (name.find('"') == std::string::npos) {
    out += name;
  } else {
    for (char c : name) {
      out += c;
      if (c == '"') out += '"';
    }
  }
  out += '"';
  return out;
}

}  // namespace tkdb
