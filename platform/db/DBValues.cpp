// The engine's parts of the column value types, the date-time text form,
// the result texts, log_error and strncpy_s.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/db/DBRowBase.h"
#include "platform/db/DBInternal.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

const char* const ZQDB_int_format = "%d";
const char* const ZQDB___int64_format = "%lld";

// Never destroyed: catalogues may be built until the process ends.
ZQSimpleDBSem* ZQDBRowBase::s_semColumnVec = new ZQSimpleDBSem(1);

namespace {

std::string sqlQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

}  // namespace

std::string ZQDBDataTypeBase::toString(int style) const {
  if (m_isNull) return "NULL";
  switch (getDataType()) {
    case ZQDB_TYPE_INT: {
      auto* self = dynamic_cast<const ZQDB_int*>(this);
      return self != nullptr ? std::to_string(self->getValue()) : std::string();
    }
    case ZQDB_TYPE_INT64: {
      auto* self = dynamic_cast<const ZQDB_int64*>(this);
      return self != nullptr ? std::to_string(self->getValue()) : std::string();
    }
    case ZQDB_TYPE_DATETIME: {
      auto* self = dynamic_cast<const ZQDBDateTimeValue*>(this);
      if (self == nullptr) return std::string();
      std::string text = tkdb::dateTimeText(self->getValue());
      return style == 1 ? sqlQuoted(text) : text;
    }
    case ZQDB_TYPE_STRING: {
      auto* self = dynamic_cast<const ZQDBStringValue*>(this);
      if (self == nullptr) return std::string();
      return style == 1 ? sqlQuoted(self->getValue()) : self->getValue();
    }
    default: return std::string();
  }
}

// A text value: offset 0 replaces the text, a larger offset keeps that many
// bytes and appends.
template <>
bool ZQDBStringValue::setData(const char* data, int offset, int length, bool /*flag*/) {
  if (offset < 0 || length < 0 || (data == nullptr && length > 0)) return false;
  if (static_cast<size_t>(offset) < m_value.size()) m_value.resize(static_cast<size_t>(offset));
  if (length > 0) m_value.append(data, static_cast<size_t>(length));
  m_stringSet = false;
  return true;
}

template <>
void ZQDBStringValue::setString() const {
  m_string = m_value;
  m_stringSet = true;
}

template <>
bool ZQDBDateTimeValue::setData(const char* data, int offset, int length, bool /*flag*/) {
  if (data == nullptr || offset < 0 || length < 0 ||
      static_cast<size_t>(offset) + static_cast<size_t>(length) > sizeof(ZQTIMESTAMP_STRUCT)) {
    return false;
  }
  std::memcpy(reinterpret_cast<char*>(&m_value) + offset, data, static_cast<size_t>(length));
  m_stringSet = false;
  return true;
}

template <>
void ZQDBDateTimeValue::setString() const {
  m_string = tkdb::dateTimeText(m_value);
  m_stringSet = true;
}

namespace tkdb {

namespace {

// `digits` decimal digits of `value` (which has no more) into `out`.
char* putDigits(char* out, unsigned value, int digits) {
  for (int k = digits - 1; k >= 0; --k) {
    out[k] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + digits;
}

}  // namespace

size_t putDateTimeText(const tagTIMESTAMP_STRUCT& ts, char (&out)[64]) {
  const bool wholeMilliseconds = ts.fraction % 1'000'000u == 0;
  // Every date and time the engine reads or writes has parts of their usual
  // widths; they are written digit by digit, as fetching a row of several
  // date-times would otherwise spend its time in the formatter. A value
  // with wider parts (made by a caller) takes the printf form, which shows
  // them whole.
  if (ts.year >= 0 && ts.year <= 9999 && ts.month <= 99 && ts.day <= 99 && ts.hour <= 99 && ts.minute <= 99 &&
      ts.second <= 99 && ts.fraction < 1'000'000'000u) {
    char* p = putDigits(out, static_cast<unsigned>(ts.year), 4);
    *p++ = '-';
    p = putDigits(p, ts.month, 2);
    *p++ = '-';
    p = putDigits(p, ts.day, 2);
    *p++ = ' ';
    p = putDigits(p, ts.hour, 2);
    *p++ = ':';
    p = putDigits(p, ts.minute, 2);
    *p++ = ':';
    p = putDigits(p, ts.second, 2);
    *p++ = '.';
    p = wholeMilliseconds ? putDigits(p, ts.fraction / 1'000'000u, 3) : putDigits(p, ts.fraction, 9);
    *p = '\0';
    return static_cast<size_t>(p - out);
  }
  int n;
  if (wholeMilliseconds) {
    n = std::snprintf(out, sizeof out, "%04d-%02u-%02u %02u:%02u:%02u.%03u", static_cast<int>(ts.year),
                      static_cast<unsigned>(ts.month), static_cast<unsigned>(ts.day), static_cast<unsigned>(ts.hour),
                      static_cast<unsigned>(ts.minute), static_cast<unsigned>(ts.second),
                      static_cast<unsigned>(ts.fraction / 1'000'000u));
  } else {
    n = std::snprintf(out, sizeof out, "%04d-%02u-%02u %02u:%02u:%02u.%09u", static_cast<int>(ts.year),
                      static_cast<unsigned>(ts.month), static_cast<unsigned>(ts.day), static_cast<unsigned>(ts.hour),
                      static_cast<unsigned>(ts.minute), static_cast<unsigned>(ts.second),
                      static_cast<unsigned>(ts.fraction));
  }
  return n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof out - 1);
}

std::string dateTimeText(const tagTIMESTAMP_STRUCT& ts) {
  char text[64];
  const size_t n = putDateTimeText(ts, text);
  return std::string(text, n);
}

namespace {

// Reads a text form between `p` and `end` (a NUL ends it early too).
class DateTimeReader {
 public:
  DateTimeReader(const char* p, const char* end) : m_p(p), m_end(end) {}
  char peek() const { return m_p < m_end ? *m_p : '\0'; }
  char take() { return m_p < m_end ? *m_p++ : '\0'; }
  bool number(int digits, unsigned& out) {
    out = 0;
    for (int k = 0; k < digits; ++k) {
      const char c = peek();
      if (c < '0' || c > '9') return false;
      out = out * 10 + static_cast<unsigned>(c - '0');
      ++m_p;
    }
    return true;
  }

 private:
  const char* m_p;
  const char* m_end;
};

bool parseDateTimeText(std::string_view text, tagTIMESTAMP_STRUCT& ts) {
  DateTimeReader r(text.data(), text.data() + text.size());
  while (r.peek() == ' ') r.take();
  unsigned y, mo, d, h = 0, mi = 0, s = 0;
  if (!r.number(4, y) || r.take() != '-' || !r.number(2, mo) || r.take() != '-' || !r.number(2, d)) {
    return false;
  }
  uint32_t fraction = 0;
  if (r.peek() == ' ' || r.peek() == 'T') {
    r.take();
    if (!r.number(2, h) || r.take() != ':' || !r.number(2, mi)) return false;
    if (r.peek() == ':') {
      r.take();
      if (!r.number(2, s)) return false;
      if (r.peek() == '.') {
        r.take();
        uint32_t scale = 100'000'000u;
        while (r.peek() >= '0' && r.peek() <= '9') {
          fraction += static_cast<uint32_t>(r.take() - '0') * scale;
          scale /= 10;
        }
      }
    }
  }
  while (r.peek() == ' ') r.take();
  if (r.peek() != '\0' || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
  ts.year = static_cast<int16_t>(y);
  ts.month = static_cast<uint16_t>(mo);
  ts.day = static_cast<uint16_t>(d);
  ts.hour = static_cast<uint16_t>(h);
  ts.minute = static_cast<uint16_t>(mi);
  ts.second = static_cast<uint16_t>(s);
  ts.fraction = fraction;
  return true;
}

bool parseDateTimeSeconds(time_t seconds, tagTIMESTAMP_STRUCT& ts) {
  struct tm parts {};
  if (gmtime_r(&seconds, &parts) == nullptr) return false;
  ts.year = static_cast<int16_t>(parts.tm_year + 1900);
  ts.month = static_cast<uint16_t>(parts.tm_mon + 1);
  ts.day = static_cast<uint16_t>(parts.tm_mday);
  ts.hour = static_cast<uint16_t>(parts.tm_hour);
  ts.minute = static_cast<uint16_t>(parts.tm_min);
  ts.second = static_cast<uint16_t>(parts.tm_sec);
  return true;
}

}  // namespace

bool parseDateTime(const DbCell& value, tagTIMESTAMP_STRUCT& ts) {
  ts = tagTIMESTAMP_STRUCT{0, 0, 0, 0, 0, 0, 0};
  switch (value.type) {
    case DbValue::Type::Int: return parseDateTimeSeconds(static_cast<time_t>(value.i), ts);
    case DbValue::Type::Real: return parseDateTimeSeconds(static_cast<time_t>(value.r), ts);
    case DbValue::Type::Text: return parseDateTimeText(value.text, ts);
    case DbValue::Type::Null: break;
  }
  return false;
}

bool parseDateTime(const DbValue& value, tagTIMESTAMP_STRUCT& ts) { return parseDateTime(cellOf(value), ts); }

}  // namespace tkdb

// --- result texts --------------------------------------------------------------------

const char* DBtable::getErrorStr(int code) {
  switch (code) {
    case DB_OK: return "Success";
    case DB_NO_ROW: return "No row matched";
    case DB_ERR_GENERAL: return "The database engine failed";
    case DB_ERR_OPEN: return "The database could not be opened";
    case DB_ERR_SQL: return "The statement is not valid for the database";
    case DB_ERR_CONSTRAINT: return "The change breaks a key or a constraint of the table";
    case DB_ERR_BUSY: return "The database stayed locked until the time-out";
    case DB_ERR_IO: return "The database file could not be read or written";
    case DB_ERR_FULL: return "The database or its disk is full";
    case DB_ERR_READONLY: return "The database is read-only";
    case DB_ERR_NO_PROC: return "The stored procedure does not exist";
    case DB_ERR_PROC: return "The stored procedure failed";
    case DB_ERR_STATE: return "The operation does not apply to this database object";
    case DB_ERR_CONVERT: return "A value does not fit its column";
    case DB_ERR_NOMEM: return "The database engine ran out of memory";
    case DB_ERR_INPUT: return "The procedure inputs could not be read";
    case DB_ERR_NO_WHERE: return "An update or a delete without a where clause is refused";
    case DB_ERR_COMMIT: return "The transaction could not be committed";
    case DB_ERR_ROLLBACK: return "The transaction could not be rolled back";
    case DB_ERR_BEGIN: return "The transaction could not be started";
    case DB_ERR_NO_TRAN: return "No transaction is open";
    case DB_ERR_TRAN_OPEN: return "The transaction is already open";
    default: break;
  }
  // Codes of procedures and of callers: a text that names the code. A few
  // buffers per thread, so that several texts can stand in one log call.
  thread_local char buffers[4][48];
  thread_local unsigned next = 0;
  char* buffer = buffers[next++ % 4];
  std::snprintf(buffer, sizeof buffers[0], "Database error %d", code);
  return buffer;
}

// --- reading values into row fields ----------------------------------------------------

namespace tkdb {

bool integerOf(const DbValue& value, long long& out, bool blanksAround) {
  switch (value.type) {
    case DbValue::Type::Null: out = 0; return true;
    case DbValue::Type::Int: out = value.i; return true;
    case DbValue::Type::Real:
      if (value.r < -9.2e18 || value.r > 9.2e18) return false;
      out = static_cast<long long>(value.r);
      return true;
    case DbValue::Type::Text: {
      const char* s = value.s.c_str();
      if (blanksAround) {
        while (std::isspace(static_cast<unsigned char>(*s)) != 0) ++s;
      }
      if (*s == '\0') {
        out = 0;
        return true;
      }
      char* end = nullptr;
      errno = 0;
      long long n = std::strtoll(s, &end, 10);
      if (errno != 0 || end == s) return false;
      if (blanksAround) {
        while (std::isspace(static_cast<unsigned char>(*end)) != 0) ++end;
      }
      if (*end != '\0') return false;
      out = n;
      return true;
    }
  }
  return false;
}

std::string textOf(const DbValue& value) {
  switch (value.type) {
    case DbValue::Type::Null: return std::string();
    case DbValue::Type::Int: return std::to_string(value.i);
    case DbValue::Type::Real: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.17g", value.r);
      return buf;
    }
    case DbValue::Type::Text: return value.s;
  }
  return std::string();
}

DbValue fieldValue(const ZQDBColumnDesc& column, const void* row) {
  const char* field = static_cast<const char*>(row) + column.offset;
  switch (column.field) {
    case ZQDBFieldKind::Int32: {
      int n;
      std::memcpy(&n, field, sizeof n);
      return DbValue(n);
    }
    case ZQDBFieldKind::Int64: {
      long long n;
      std::memcpy(&n, field, sizeof n);
      return DbValue(n);
    }
    case ZQDBFieldKind::DateTime: {
      const auto* dt = reinterpret_cast<const DB_DATETIME*>(field);
      return dt->isCleared() ? DbValue() : DbValue(dateTimeText(dt->timestamp()));
    }
    case ZQDBFieldKind::FixedText:
      return DbValue(std::string(field, strnlen(field, column.size)));
    case ZQDBFieldKind::HeapText:
      return DbValue(*reinterpret_cast<const char* const*>(field));
  }
  return DbValue();
}

namespace {

// The text into the field, then zeros from its end up to and with byte
// `last` (size - 1: the whole field); the text's length.
inline std::size_t putTextZeroing(char* field, std::size_t size, std::string_view text, std::size_t last) {
  const std::size_t n = cutOnCharacter(text, size - 1);
  if (n > 0) std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, std::max(last, n) + 1 - n);
  return n;
}

}  // namespace

std::size_t putFixedText(char* field, std::size_t size, std::string_view text) {
  if (field == nullptr || size == 0) return 0;
  return putTextZeroing(field, size, text, size - 1);
}

std::size_t putFixedText(char* field, std::size_t size, std::string_view text, std::size_t& extent) {
  if (field == nullptr || size == 0) return 0;
  // Behind the old extent the field is still zero, unless a longer text
  // was written over it since.
  if (extent >= size || field[extent] != '\0') extent = size - 1;
  extent = putTextZeroing(field, size, text, extent);
  return extent;
}

void putHeapText(char*& heap, const DbValue& value) {
  if (value.isNull()) {
    delete[] heap;
    heap = nullptr;
    return;
  }
  if (value.type == DbValue::Type::Text) {
    putHeapText(heap, std::string_view(value.s));
  } else {
    putHeapText(heap, std::string_view(textOf(value)));
  }
}

void putHeapText(char*& heap, std::string_view text) {
  char* fresh = new char[text.size() + 1];
  if (!text.empty()) std::memcpy(fresh, text.data(), text.size());
  fresh[text.size()] = '\0';
  delete[] heap;
  heap = fresh;
}

std::size_t cutOnCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace tkdb

// --- log_error, strncpy_s ------------------------------------------------------------

void log_error(const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = tkVFormat(format, args);
  va_end(args);
  EvDebug::Error("log_error", "%s(%d): %s", file != nullptr ? file : "", line, text.c_str());
}

int strncpy_s(char* dest, size_t destSize, const char* src, size_t count) {
  if (dest == nullptr || destSize == 0) return EINVAL;
  if (src == nullptr) {
    dest[0] = '\0';
    return EINVAL;
  }
  size_t n = strnlen(src, count);
  if (n >= destSize) {
    dest[0] = '\0';
    return ERANGE;
  }
  std::memcpy(dest, src, n);
  dest[n] = '\0';
  return 0;
}
