/*
 * The generated binding pattern: how a table, view, stored procedure or
 * cursor of the central database becomes three classes named after it.
 *
 *   X_t   the row struct: one plain field per column, in column order
 *   X_t2  the column catalogue (over ZQDBRowBase): one value object per
 *         column, plus class-wide metadata filled once per process
 *   X     the database object (over DBtable): embeds the row, tells the
 *         engine the object's name, kind, select list, version, serial
 *         column, order and description, builds the catalogue in the typed
 *         mode and registers itself in the caller's transaction
 *
 * HOW TO DECLARE A BINDING (one header under Db/Tbl, Db/TKView, Db/Proc or
 * Db/Cursor). Everything comes from one column table, so the select list,
 * the schema string, the field bindings and the CREATE statement cannot
 * disagree. COL(name, code, length): code i (int), b or x (long long),
 * t (DB_DATETIME), s or u with a length N (char[N]) or 0 (owned char*).
 *
 *   #define ARCHTASK_COLUMNS(COL)                                  \
 *     COL(id, i, 0)                                                \
 *     COL(type, i, 0)                                              \
 *     COL(dataSizeGB, b, 0)                                        \
 *     COL(lastEvent, t, 0)                                         \
 *     COL(name, u, 577)                                            \
 *     COL(description, u, 0)
 *
 *   inline constexpr ZQDBBindingInfo ArchTask_info{
 *       .headerType = ZQDB_HEADER_TABLE, .dbName = "archTask", .className = "ArchTask",
 *       .version = "1.3.2.1", .primaryKey = "id", .serial = "id",
 *       .header = "Db/Tbl/archTask", .line = 120};
 *
 *   struct ArchTask_t {
 *     ARCHTASK_COLUMNS(ZQDB_FIELD)
 *     ZQDB_ROW_WITH_ASSIGN(ArchTask_t, ARCHTASK_COLUMNS)  // or ZQDB_ROW: no copies
 *   };
 *   class ArchTask_t2 : public ZQDBCatalogue<ArchTask_t2, ArchTask_t, ArchTask_info> {};
 *   class ArchTask : public ZQDBTable<ArchTask_t, ArchTask_t2, ArchTask_info> {
 *    public:
 *     explicit ArchTask(DBtran* tran) : ZQDBTable(tran) {}
 *     void setValues(ArchTask_t* row) { *getDataPtr() = *row; }
 *   };
 *   ZQDB_REGISTER_SCHEMA(ArchTask_t, ArchTask_info);
 *
 * A stored procedure differs in its kind, its stamp and its inputs;
 * bindInputs does both engine modes (value objects, or the values clause):
 *
 *   inline constexpr ZQDBBindingInfo MMGetX_info{
 *       .headerType = ZQDB_HEADER_PROCEDURE, .dbName = "MMGetX", .className = "MMGetX",
 *       .version = "00010001000200070000", .header = "Db/Proc/MMGetX", .line = 90};
 *   class MMGetX : public ZQDBProcedure<MMGetX_t, MMGetX_t2, MMGetX_info> {
 *    public:
 *     explicit MMGetX(DBtran* tran) : ZQDBProcedure(tran) {}
 *     void setValues(int libraryId, const char* name) { bindInputs(libraryId, name); }
 *     void setZQDBValues(ZQDB_int* a, ZQDB_string* b) { bindValues(a, b); }
 *   };
 *
 * Its body is the platform's: tkdb::registerProcedure("MMGetX", ...)
 * (platform/db/DBSession.h). A view is a ZQDBTable with .headerType =
 * ZQDB_HEADER_VIEW and .viewSql, the SELECT behind it; the cursor is a
 * ZQDBCursor (.headerType = ZQDB_HEADER_CURSOR) whose setValues calls
 * querySizeCheck and CallDBsprintfWrapper with its SQL text (a string
 * literal macro, so the compiler checks the arguments; a body registered
 * under the cursor's name runs in place of a text the database cannot run).
 * Optional fields:
 * .foreignKeys = "archGroup: archGroupId = id; archTask: sealStoreTaskId = id"
 * and .orderBy. A procedure without output columns declares an empty
 * column macro. tests/db_engine/TestBindings.h shows every kind.
 *
 * Rows: ZQDB_ROW deletes the copy operations (a row that owns heap text
 * must never be copied by the compiler); ZQDB_ROW_WITH_ASSIGN generates a
 * field-by-field assignment (heap texts copied, date-times through
 * DB_DATETIME's assignment); a binding with an assignment of its own uses
 * ZQDB_ROW_CORE and writes it.
 *
 * ZQDB_REGISTER_SCHEMA adds the CREATE statement of a table or view to the
 * engine's schema when the library holding the header loads; every
 * database file gets it on first open. Text columns compare without regard
 * to letter case. Handlers then use the object as the engine describes
 * (platform/db/DBtable.h): setWhere("id = %d", id); getOneRow(&obj, false,
 * -1, 0); getNextRow(&obj, &count, -1, 0); rowInsert(true); rowUpdate(...).
 */
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Db/ZQDBDataType.h"
#include "Db/ZQDBRowBase.h"
#include "platform/db/DBColumns.h"
#include "platform/db/DBtable.h"

// --- row fields ------------------------------------------------------------------

template <char Code, int Length>
struct ZQDBFieldType;  // no such field: a schema code and length that do not go together

template <>
struct ZQDBFieldType<'i', 0> {
  using type = int;
  static constexpr ZQDBFieldKind kind = ZQDBFieldKind::Int32;
};
template <>
struct ZQDBFieldType<'b', 0> {
  using type = long long;
  static constexpr ZQDBFieldKind kind = ZQDBFieldKind::Int64;
};
template <>
struct ZQDBFieldType<'x', 0> {
  using type = long long;
  static constexpr ZQDBFieldKind kind = ZQDBFieldKind::Int64;
};
template <>
struct ZQDBFieldType<'t', 0> {
  using type = DB_DATETIME;
  static constexpr ZQDBFieldKind kind = ZQDBFieldKind::DateTime;
};
template <int N>
struct ZQDBFixedTextField {
  static_assert(N > 1, "a text column holds at least one character and its NUL");
  using type = char[N];
  static constexpr ZQDBFieldKind kind = ZQDBFieldKind::FixedText;
};
struct ZQDBHeapTextField {
  using type = char*;
  static constexpr ZQDBFieldKind kind = ZQDBFieldKind::HeapText;
};
template <int N>
struct ZQDBFieldType<'s', N> : ZQDBFixedTextField<N> {};
template <int N>
struct ZQDBFieldType<'u', N> : ZQDBFixedTextField<N> {};
template <>
struct ZQDBFieldType<'s', 0> : ZQDBHeapTextField {};
template <>
struct ZQDBFieldType<'u', 0> : ZQDBHeapTextField {};

inline void ZQDBFieldInit(int& field) { field = 0; }
inline void ZQDBFieldInit(long long& field) { field = 0; }
inline void ZQDBFieldInit(DB_DATETIME& /*field*/) {}  // constructed cleared
template <size_t N>
void ZQDBFieldInit(char (&field)[N]) {
  strncpy_s(field, N, "", N - 1);
}
inline void ZQDBFieldInit(char*& field) { field = nullptr; }

template <class T>
void ZQDBFieldFree(T& /*field*/) {}
inline void ZQDBFieldFree(char*& field) {
  delete[] field;
  field = nullptr;
}

inline void ZQDBFieldAssign(int& to, const int& from) { to = from; }
inline void ZQDBFieldAssign(long long& to, const long long& from) { to = from; }
inline void ZQDBFieldAssign(DB_DATETIME& to, const DB_DATETIME& from) { to = from; }
template <size_t N>
void ZQDBFieldAssign(char (&to)[N], const char (&from)[N]) {
  strncpy_s(to, N, from, N - 1);
}
inline void ZQDBFieldAssign(char*& to, char* const& from) {
  if (to == from) return;
  delete[] to;
  to = nullptr;
  if (from != nullptr) {
    size_t n = std::strlen(from);
    to = new char[n + 1];
    std::memcpy(to, from, n + 1);
  }
}

#define ZQDB_FIELD(name, code, length) ZQDBFieldType<#code[0], length>::type name;
#define ZQDB_FIELD_INIT_(name, code, length) ZQDBFieldInit(name);
#define ZQDB_FIELD_FREE_(name, code, length) ZQDBFieldFree(name);
#define ZQDB_FIELD_ASSIGN_(name, code, length) ZQDBFieldAssign(name, zqdbOther.name);
#define ZQDB_FIELD_COUNT_(name, code, length) +1
#define ZQDB_COLUMN_DESC_(name, code, length)                                                          \
  ZQDBColumnDesc{#name, #code[0], length, offsetof(ZQDBRowSelf, name), sizeof(ZQDBRowSelf::name), \
                 ZQDBFieldType<#code[0], length>::kind},

// Constructor (integers 0, fixed texts empty, heap texts null, date-times
// cleared), destructor (heap texts released), no copy construction, and the
// column table the engine binds.
#define ZQDB_ROW_CORE(Row, COLUMNS)                                                          \
  static constexpr int kColumnCount = 0 COLUMNS(ZQDB_FIELD_COUNT_);                          \
  Row() { COLUMNS(ZQDB_FIELD_INIT_) }                                                        \
  ~Row() { COLUMNS(ZQDB_FIELD_FREE_) }                                                       \
  Row(const Row&) = delete;                                                                  \
  static const ZQDBColumns& zqdbColumns() {                                                  \
    using ZQDBRowSelf [[maybe_unused]] = Row;                                                \
    static const ZQDBColumnDesc cols[] = {COLUMNS(ZQDB_COLUMN_DESC_) ZQDBColumnDesc{}};      \
    static const ZQDBColumns all{cols, kColumnCount};                                        \
    return all;                                                                              \
  }

#define ZQDB_ROW(Row, COLUMNS) \
  ZQDB_ROW_CORE(Row, COLUMNS)  \
  Row& operator=(const Row&) = delete;

#define ZQDB_ROW_WITH_ASSIGN(Row, COLUMNS)      \
  ZQDB_ROW_CORE(Row, COLUMNS)                   \
  Row& operator=(const Row& zqdbOther) {        \
    if (this != &zqdbOther) {                   \
      COLUMNS(ZQDB_FIELD_ASSIGN_)               \
    }                                           \
    return *this;                               \
  }

#define ZQDB_REGISTER_SCHEMA(Row, Info) \
  inline const bool zqdbSchemaOf_##Row = ::tkdb::registerBinding(Row::zqdbColumns(), Info)

// --- texts made from the column table, once per class ---------------------------------

// All column names in column order joined by ", ".
template <class Row>
const std::string& ZQDBSelectList() {
  static const std::string text = [] {
    std::string s;
    const ZQDBColumns& c = Row::zqdbColumns();
    for (int i = 0; i < c.count; ++i) {
      if (i > 0) s += ", ";
      s += c.cols[i].name;
    }
    return s;
  }();
  return text;
}

// One code per column, each followed by "|": "i|s129|u|x|".
template <class Row>
const std::string& ZQDBSchemaString() {
  static const std::string text = [] {
    std::string s;
    const ZQDBColumns& c = Row::zqdbColumns();
    for (int i = 0; i < c.count; ++i) {
      s += c.cols[i].code;
      if (c.cols[i].length > 0) s += std::to_string(c.cols[i].length);
      s += "|";
    }
    return s;
  }();
  return text;
}

// "Table X", "Procedure X" or "Cursor X".
template <const ZQDBBindingInfo& Info>
const std::string& ZQDBDescription() {
  // Appended in place: GCC 12 at -O2 takes a literal added to a string made
  // just before for a read past the string (-Warray-bounds).
  static const std::string text = [] {
    std::string s = Info.headerType == ZQDB_HEADER_PROCEDURE ? "Procedure "
                    : Info.headerType == ZQDB_HEADER_CURSOR  ? "Cursor "
                                                             : "Table ";
    s += Info.className;
    return s;
  }();
  return text;
}

// The serial column's name; without one the primary-key names joined by
// ", "; without either an empty text (unless the binding gives its own).
template <const ZQDBBindingInfo& Info>
const std::string& ZQDBDefaultOrder() {
  static const std::string text = [] {
    if (Info.orderBy != nullptr) return std::string(Info.orderBy);
    if (Info.serial != nullptr && *Info.serial != '\0') return std::string(Info.serial);
    std::string s;
    for (const std::string& k : tkdb::splitNames(Info.primaryKey)) {
      if (!s.empty()) s += ", ";
      s += k;
    }
    return s;
  }();
  return text;
}

inline ZQDBDataTypeBase* ZQDBNewValue(char code) {
  switch (code) {
    case 'i': return new ZQDB_int();
    case 'b':
    case 'x': return new ZQDB_int64();
    case 't': return new ZQDB_datetime();
    default: return new ZQDB_string();
  }
}

// --- the catalogue X_t2 ------------------------------------------------------------

template <class Self, class Row, const ZQDBBindingInfo& Info>
class ZQDBCatalogue : public ZQDBRowBase {
 public:
  using ForeignKeyMap = std::map<std::string, std::map<std::string, std::string>>;

  ZQDBCatalogue() {
    m_isGenerated = true;
    const ZQDBColumns& cols = Row::zqdbColumns();
    m_columnVec.reserve(static_cast<size_t>(cols.count));
    for (int i = 0; i < cols.count; ++i) {
      std::unique_ptr<ZQDBDataTypeBase> value(ZQDBNewValue(cols.cols[i].code));
      ZQDBDataTypeBase*& entry = m_columnMap[cols.cols[i].name];
      entry = value.get();
      m_columnVec.push_back(value.release());  // reserved: cannot throw
    }
    // The class-wide part, once per process. The flag is read without the
    // lock, so it is published with release after everything else and read
    // with acquire: whoever sees it set sees complete statics.
    if (!s_isInitialized.load(std::memory_order_acquire)) {
      lock();
      struct Unlock {
        ZQDBRowBase* self;
        ~Unlock() { self->unLock(); }
      } unlockOnExit{this};
      if (!s_isInitialized.load(std::memory_order_relaxed)) {
        m_staticColumnVec.clear();
        m_foreignKeyMap.clear();
        setTableName(Info.className);
        m_type = Info.headerType;
        structSchema = fillForTime(ZQDBSchemaString<Row>().c_str());
        std::map<std::string, std::string> pairs;
        for (const auto& [object, columns] : tkdb::parseForeignKeys(Info.foreignKeys)) {
          for (const auto& pair : columns) pairs[pair.first] = pair.second;
          m_foreignKeyMap[object] = pairs;
          pairs.clear();
        }
        for (int i = 0; i < cols.count; ++i) pushColumnName(cols.cols[i].name);
        s_isInitialized.store(true, std::memory_order_release);
      }
    }
    for (const std::string& key : tkdb::splitNames(Info.primaryKey)) m_primaryKeyVec.push_back(key);
    m_serialColName = Info.serial != nullptr ? Info.serial : "";
  }

  int getSerialColNum() override {
    int counter = 0;
    for (const std::string& name : m_staticColumnVec) {
      if (name == m_serialColName) return counter;
      ++counter;
    }
    return -1;
  }
  std::string getTableName() override { return m_name; }
  // Each key followed by " = ?", joined by "AND " (no blank before AND).
  std::string getPrimaryWhere() override {
    std::string where;
    for (size_t i = 0; i < m_primaryKeyVec.size(); ++i) {
      where += m_primaryKeyVec[i];
      where += " = ?";
      if (i + 1 < m_primaryKeyVec.size()) where += "AND ";
    }
    return where;
  }
  std::vector<ZQDBDataTypeBase*> getPrimaryData() override {
    std::vector<ZQDBDataTypeBase*> data;
    for (const std::string& key : m_primaryKeyVec) {
      auto it = m_columnMap.find(key);
      data.push_back(it != m_columnMap.end() ? it->second : nullptr);
    }
    return data;
  }
  std::string getStructDef() override { return structSchema; }
  void setTableName(std::string name) override { m_name = std::move(name); }
  const char* getColumnName_t2(const int& i) const override {
    if (i < 0 || static_cast<size_t>(i) >= m_staticColumnVec.size()) return nullptr;
    return m_staticColumnVec[static_cast<size_t>(i)].c_str();
  }
  void pushColumnName(const char* name) override { m_staticColumnVec.emplace_back(name != nullptr ? name : ""); }
  int getHeaderType() override { return m_type; }
  virtual ForeignKeyMap getForeignKeyMap() { return m_foreignKeyMap; }

  // Class-wide, shared by every catalogue of this binding.
  inline static std::string m_name;
  inline static int m_type = 0;
  inline static std::string structSchema;
  inline static std::vector<std::string> m_staticColumnVec;
  inline static ForeignKeyMap m_foreignKeyMap;
  inline static std::atomic<bool> s_isInitialized{false};
};

// --- the database objects X ------------------------------------------------------------

// The address of the serial column's field in the row, or null.
template <class Row>
void* ZQDBSerialField(Row& row, const char* serial) {
  if (serial == nullptr || *serial == '\0') return nullptr;
  const ZQDBColumns& c = Row::zqdbColumns();
  for (int i = 0; i < c.count; ++i) {
    if (std::strcmp(c.cols[i].name, serial) == 0) return reinterpret_cast<char*>(&row) + c.cols[i].offset;
  }
  return nullptr;
}

// Tables and views.
// What every binding object holds: its row, the row's indicator array and,
// in typed mode, its catalogue; the kinds below add what is theirs and then
// register the object in its transaction.
template <class Row, class Catalogue, const ZQDBBindingInfo& Info>
class ZQDBBoundObject : public DBtable {
 public:
  Row* getDataPtr() { return &m_row; }
  const long long* getIndicators() const { return m_indicators.data(); }

 protected:
  ZQDBBoundObject(DBtran* tran, int kind) : DBtable(Info.dbName, 0, tran) {
    m_kind = kind;
    m_selectList = ZQDBSelectList<Row>().c_str();
    m_description = ZQDBDescription<Info>().c_str();
    setRowBinding(&m_row, &Row::zqdbColumns());
    dataBindClearFirstTime();
    if constexpr (Row::kColumnCount > 0) setExtIndicatorArray(m_indicators.data());
    m_catalogue = b_newDBBase == 1 ? new Catalogue() : nullptr;
  }
  ~ZQDBBoundObject() override {
    if (m_catalogue != nullptr) delete m_catalogue;
    m_catalogue = nullptr;
  }

  Row m_row;

 private:
  std::array<long long, Row::kColumnCount> m_indicators{};
};

template <class Row, class Catalogue, const ZQDBBindingInfo& Info>
class ZQDBTable : public ZQDBBoundObject<Row, Catalogue, Info> {
  static_assert(Info.headerType == ZQDB_HEADER_TABLE || Info.headerType == ZQDB_HEADER_VIEW,
                "ZQDBTable binds tables and views");

 public:
  explicit ZQDBTable(DBtran* tran) : ZQDBBoundObject<Row, Catalogue, Info>(tran, ZQDB_KIND_TABLE) {
    this->m_version = Info.version;
    this->m_serialColName = Info.serial;
    this->m_serialField = ZQDBSerialField(this->m_row, Info.serial);
    this->setOrderBy(ZQDBDefaultOrder<Info>().c_str());
    this->registerInTransaction(Info.className, Info.header, Info.line);
  }
  ~ZQDBTable() override { this->dataBindClear(); }
};

// Inputs of a procedure binding.

// The input types a procedure takes. Texts arrive as const char* (a string
// literal or char* decays to it).
template <class T>
inline constexpr bool kZQDBProcInputType = std::is_same_v<T, int> || std::is_same_v<T, long long> ||
                                           std::is_same_v<T, const char*> || std::is_same_v<T, char*>;

template <class T>
constexpr std::string_view ZQDBValuesPiece() {
  if constexpr (std::is_same_v<T, int>) {
    return "%d";
  } else if constexpr (std::is_same_v<T, long long>) {
    return "%lld";
  } else {
    return "'%s'";
  }
}

// The values-clause format of a list of input types: "%d,'%s','%s'".
template <class... Args>
constexpr auto ZQDBMakeValuesFormat() {
  constexpr size_t kCommas = sizeof...(Args) > 0 ? sizeof...(Args) - 1 : 0;
  constexpr size_t kLength = (ZQDBValuesPiece<Args>().size() + ... + size_t{0}) + kCommas;
  std::array<char, kLength + 1> out{};
  size_t pos = 0;
  auto add = [&](std::string_view piece) {
    if (pos > 0) out[pos++] = ',';
    for (char c : piece) out[pos++] = c;
  };
  (add(ZQDBValuesPiece<Args>()), ...);
  (void)add;  // no inputs: nothing to add
  out[pos] = '\0';
  return out;
}

template <class... Args>
inline constexpr auto ZQDBValuesFormat = ZQDBMakeValuesFormat<Args...>();

// Characters one input takes in the values clause.
inline int ZQDBValuesSize(int) { return 14; }
inline int ZQDBValuesSize(long long) { return 21; }
inline int ZQDBValuesSize(const char* text) {
  if (text == nullptr) return 4;
  size_t length = std::strlen(text);
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\'') ++length;  // doubled inside the quotes
  }
  return static_cast<int>(length) + 4;
}

// Size of the whole values clause: the inputs and one per comma.
template <class... Args>
int ZQDBValuesClauseSize(Args... args) {
  static_assert((kZQDBProcInputType<Args> && ...), "procedure inputs are int, long long or const char*");
  int size = (ZQDBValuesSize(args) + ... + 0);
  if constexpr (sizeof...(Args) > 1) size += static_cast<int>(sizeof...(Args)) - 1;
  return size;
}

// Stored procedures.
template <class Row, class Catalogue, const ZQDBBindingInfo& Info>
class ZQDBProcedure : public ZQDBBoundObject<Row, Catalogue, Info> {
  static_assert(Info.headerType == ZQDB_HEADER_PROCEDURE, "ZQDBProcedure binds stored procedures");

 public:
  explicit ZQDBProcedure(DBtran* tran) : ZQDBBoundObject<Row, Catalogue, Info>(tran, ZQDB_KIND_PROCEDURE) {
    this->m_serialField = nullptr;
    this->m_serialColName = nullptr;
    strncpy_s(this->m_stamp, sizeof this->m_stamp, Info.version, sizeof this->m_stamp - 1);
    this->registerInTransaction(Info.className, Info.header, Info.line);
  }

 protected:
  // setZQDBValues: the value objects go to the engine, in parameter order.
  template <class... Values>
  void bindValues(Values*... values) {
    this->ClearBoundInputs();
    (this->BindInput(values), ...);
  }

  // setValues: typed mode binds one value object per input (int, long long
  // or text); text mode writes the values clause ("%d" per integer, '%s'
  // per text, joined by "," without blanks) after a size check of 14 per
  // integer, 21 per 64-bit integer, the escaped text's length plus 4 per text
  // (the engine doubles a quote inside the quotes), and 1 per comma. A null
  // text is passed as an empty text in both modes.
  template <class... Args>
  void bindInputs(Args... args) {
    static_assert((kZQDBProcInputType<Args> && ...), "procedure inputs are int, long long or const char*");
    if (DBtable::b_newDBBase) {
      std::array<std::unique_ptr<ZQDBDataTypeBase>, sizeof...(Args)> values{
          std::unique_ptr<ZQDBDataTypeBase>(makeInput(args))...};
      this->ClearBoundInputs();
      for (std::unique_ptr<ZQDBDataTypeBase>& value : values) {
        this->BindInput(value.get());  // the engine owns it from here
        value.release();
      }
      this->m_inputsBound = 1;
      return;
    }
    int size = ZQDBValuesClauseSize(text(args)...);
    if (size == 0) return;
    this->valuesClauseCheck(size);
    if constexpr (sizeof...(Args) > 0) {
      // The format is made from the inputs' own types, so that it matches them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
      this->CallDBsprintfWrapper(ZQDBValuesFormat<decltype(text(args))...>.data(), text(args)...);
#pragma GCC diagnostic pop
    }
  }

 private:
  static ZQDBDataTypeBase* makeInput(int v) { return new ZQDB_int(v); }
  static ZQDBDataTypeBase* makeInput(long long v) { return new ZQDB_int64(v); }
  static ZQDBDataTypeBase* makeInput(const char* v) { return new ZQDB_string(v != nullptr ? v : ""); }
  static int text(int v) { return v; }
  static long long text(long long v) { return v; }
  static const char* text(const char* v) { return v != nullptr ? v : ""; }
};

// The cursor.
template <class Row, class Catalogue, const ZQDBBindingInfo& Info>
class ZQDBCursor : public ZQDBBoundObject<Row, Catalogue, Info> {
  static_assert(Info.headerType == ZQDB_HEADER_CURSOR, "ZQDBCursor binds cursors");

 public:
  explicit ZQDBCursor(DBtran* tran) : ZQDBBoundObject<Row, Catalogue, Info>(tran, ZQDB_KIND_CURSOR) {
    this->m_serialField = nullptr;
    this->m_serialColName = nullptr;
    this->registerInTransaction(Info.className, Info.header, Info.line);
  }
};
