// Column value types of the generated database bindings.
//
// Each column of a binding exists twice: as a plain field of the row struct
// (X_t) that handlers read and write, and as a typed value object in the
// column catalogue (X_t2) through which the database engine moves data.
// This header holds the value objects, their base, the date-time field of
// the row structs and the small semaphore the catalogue base uses.
//
//   type code              value object          row field
//   ZQDB_TYPE_INT (1)      ZQDB_int              int            (schema i)
//   ZQDB_TYPE_INT64 (4)    ZQDB_int64            long long      (schema b, x)
//   ZQDB_TYPE_DATETIME (5) ZQDB_datetime         DB_DATETIME    (schema t)
//   ZQDB_TYPE_STRING (6)   ZQDB_string           char[N]/char*  (schema s, u)
//
// A value object starts NULL and not updated; made from a value it is not
// NULL and updated. setData, setString and toString of the composite types
// and toString of every type belong to the engine (platform/db). Handlers
// include it as Db/ZQDBDataType.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/locks/ZqLockImpl.h"

// The type codes of the value objects (getDataType), one per row-field kind.
enum ZQDBValueType : int {
  ZQDB_TYPE_INT = 1,
  ZQDB_TYPE_INT64 = 4,
  ZQDB_TYPE_DATETIME = 5,
  ZQDB_TYPE_STRING = 6,
};

// printf formats of one signed 32-bit and one signed 64-bit integer; texts of
// the database engine.
extern const char* const ZQDB_int_format;
extern const char* const ZQDB___int64_format;

// The ODBC timestamp record, and the engine's 16-byte copy of it.
struct tagTIMESTAMP_STRUCT {
  int16_t year;
  uint16_t month;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint32_t fraction;  // billionths of a second
};
using ZQTIMESTAMP_STRUCT = tagTIMESTAMP_STRUCT;
static_assert(sizeof(ZQTIMESTAMP_STRUCT) == 16, "the timestamp record is 16 bytes");

// The date-time field of a row struct.
struct DB_DATETIME {
  int16_t year;
  uint16_t month;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint32_t fraction;
  char text[40];       // a text form of the value, filled by the engine on fetch
  unsigned char flag;  // copied only between DB_DATETIME values

  DB_DATETIME() { clear(); }
  DB_DATETIME(const DB_DATETIME& other) {
    clear();
    *this = other;
  }
  ~DB_DATETIME() {}

  void clear() {
    year = 0;
    month = day = hour = minute = second = 0;
    fraction = 0;
    text[0] = '\0';
    flag = 0;
  }
  DB_DATETIME& operator=(const tagTIMESTAMP_STRUCT& ts) {
    text[0] = '\0';
    flag = 0;
    year = ts.year;
    month = ts.month;
    day = ts.day;
    hour = ts.hour;
    minute = ts.minute;
    second = ts.second;
    fraction = ts.fraction;
    return *this;
  }
  // The text is emptied, not copied; the flag is copied.
  DB_DATETIME& operator=(const DB_DATETIME& other) {
    *this = other.timestamp();
    flag = other.flag;
    return *this;
  }
  tagTIMESTAMP_STRUCT timestamp() const {
    return tagTIMESTAMP_STRUCT{year, month, day, hour, minute, second, fraction};
  }
  // True when every timestamp part is zero (the cleared value, stored as NULL).
  bool isCleared() const {
    return year == 0 && month == 0 && day == 0 && hour == 0 && minute == 0 && second == 0 && fraction == 0;
  }
};

// A counting semaphore over the platform's.
class ZQSimpleDBSem {
 public:
  // Throws the system's semaphore text when it cannot be made.
  explicit ZQSimpleDBSem(int count) : m_sem(new (std::nothrow) ZqSemaphoreH(count)) {
    if (!m_sem) throw "Not enough memory to initialize ZqSemaphore";
  }
  ZQSimpleDBSem(const ZQSimpleDBSem&) = delete;
  ZQSimpleDBSem& operator=(const ZQSimpleDBSem&) = delete;

  void wait() { m_sem->wait(); }
  // One unit whatever the argument: every caller releases what it took.
  void release(int /*count*/) { m_sem->release(1); }
  // Threads blocked in wait(), for tests.
  int waiting() const { return m_sem->waiting(); }

 private:
  std::unique_ptr<ZqSemaphoreH> m_sem;
};

enum UpdatedStatus : int32_t {
  ZQDB_NOT_UPDATED = 0,
  ZQDB_UPDATED = 1,
};

class ZQDBDataTypeBase {
 public:
  ZQDBDataTypeBase() = default;
  ZQDBDataTypeBase(const ZQDBDataTypeBase&) = delete;
  ZQDBDataTypeBase& operator=(const ZQDBDataTypeBase&) = delete;

  // Stores `length` bytes of `data` into the value starting at byte `offset`.
  virtual bool setData(const char* data, int offset, int length, bool flag) = 0;
  // What happens to the value when it becomes NULL; the base keeps it.
  virtual void clearMemoryOnNULL() {}
  // Renders the value into the string form (a cache, hence const).
  virtual void setString() const = 0;
  virtual const std::string& getStr() const { return m_string; }
  virtual ~ZQDBDataTypeBase() {}
  virtual int getDataType() const = 0;
  // A text of the value: style 0 the plain value ("NULL" when NULL), style 1
  // an SQL literal (quoted and escaped text). The engine's.
  virtual std::string toString(int style) const;

  void setInternalNull(bool isNull) {
    if (isNull == m_isNull) return;
    m_stringSet = false;
    m_isNull = isNull;
    if (isNull) clearMemoryOnNULL();
  }
  void setUpdated(UpdatedStatus status) { m_updated = status; }
  // Engine helper, after a fetched value was stored: the string form is
  // stale and the value is not NULL (what setInternalNull(false) leaves).
  // The flags are written only when they change: a row of many columns
  // does this once per column, and a line of memory that is only read
  // never has to be written back.
  void markFetched() {
    if (m_stringSet) m_stringSet = false;
    if (m_isNull) m_isNull = false;
  }

  bool isNull() const { return m_isNull; }
  UpdatedStatus getUpdated() const { return m_updated; }
  bool hasStringForm() const { return m_stringSet; }

 protected:
  bool m_isNull = true;
  UpdatedStatus m_updated = ZQDB_NOT_UPDATED;
  bool m_flag = false;
  mutable std::string m_string;
  std::string m_secondText;
  mutable bool m_stringSet = false;
  int64_t m_trailing = 0;
};

template <typename T, const char* const* Format, int Code>
class ZQDBPrimitiveType : public ZQDBDataTypeBase {
 public:
  ZQDBPrimitiveType() = default;
  explicit ZQDBPrimitiveType(T value) : m_value(value) {
    m_isNull = false;
    m_updated = ZQDB_UPDATED;
  }

  // Copies raw bytes into the number; a range outside the number is refused
  // (nothing is written) rather than written past it.
  bool setData(const char* data, int offset, int length, bool /*flag*/) override {
    if (data == nullptr || offset < 0 || length < 0 ||
        static_cast<size_t>(offset) + static_cast<size_t>(length) > sizeof(T)) {
      return false;
    }
    std::memcpy(reinterpret_cast<char*>(&m_value) + offset, data, static_cast<size_t>(length));
    m_stringSet = false;
    return true;
  }

  void setString() const override {
    char buffer[100];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(buffer, sizeof buffer, *Format, m_value);  // the format is the engine's constant
#pragma GCC diagnostic pop
    m_string = buffer;
  }

  int getDataType() const override { return Code; }
  static const char* getFormatString() { return *Format; }

  T getValue() const { return m_value; }
  // Engine helper: a fetched value, not NULL.
  void assign(T value) {
    m_value = value;
    markFetched();
  }

 private:
  T m_value{};
};

template <typename T, int Code>
class ZQDBCompositeType : public ZQDBDataTypeBase {
 public:
  ZQDBCompositeType() : m_value() {}
  explicit ZQDBCompositeType(const T& value) : m_value(value) {
    m_isNull = false;
    m_updated = ZQDB_UPDATED;
  }

  bool setData(const char* data, int offset, int length, bool flag) override;
  void setString() const override;
  int getDataType() const override { return Code; }

  const T& getValue() const { return m_value; }

 protected:
  T m_value;
};

using ZQDBStringValue = ZQDBCompositeType<std::string, ZQDB_TYPE_STRING>;
using ZQDBDateTimeValue = ZQDBCompositeType<ZQTIMESTAMP_STRUCT, ZQDB_TYPE_DATETIME>;

// The engine's parts of the two composite types (platform/db).
template <>
bool ZQDBStringValue::setData(const char* data, int offset, int length, bool flag);
template <>
void ZQDBStringValue::setString() const;
template <>
bool ZQDBDateTimeValue::setData(const char* data, int offset, int length, bool flag);
template <>
void ZQDBDateTimeValue::setString() const;

class ZQDB_string : public ZQDBStringValue {
 public:
  ZQDB_string() = default;
  // A null pointer makes a NULL value.
  explicit ZQDB_string(const char* text) : ZQDBStringValue(text != nullptr ? std::string(text) : std::string()) {
    if (text == nullptr) m_isNull = true;
  }
  void clearMemoryOnNULL() override { m_value = ""; }
  // Engine helper: a fetched text, not NULL: what setData(data, 0, size)
  // and setInternalNull(false) leave, without the call through the table.
  void assignText(const char* data, size_t size) {
    m_value.clear();
    m_value.append(data, size);
    markFetched();
  }
};

class ZQDB_datetime : public ZQDBDateTimeValue {
 public:
  ZQDB_datetime() { std::memset(&m_value, 0, sizeof m_value); }
  // Engine helper: a fetched date and time, not NULL: what setData of the
  // whole record and setInternalNull(false) leave, without the call through
  // the table.
  void assignTimestamp(const ZQTIMESTAMP_STRUCT& ts) {
    m_value = ts;
    markFetched();
  }
};

using ZQDB_int = ZQDBPrimitiveType<int, &ZQDB_int_format, ZQDB_TYPE_INT>;
using ZQDB_int64 = ZQDBPrimitiveType<long long, &ZQDB___int64_format, ZQDB_TYPE_INT64>;
