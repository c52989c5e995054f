// The base of every column catalogue (the X_t2 class of a binding): one
// value object per column, keyed by column name and in column order, the
// primary-key names and the serial column of the instance, and the virtual
// operations through which the engine reads the class-wide metadata that
// each catalogue class fills once (Db/ZQDBBinding.h). Handlers include it
// as Db/ZQDBRowBase.h.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/DBDataType.h"

class ZQDBRowBase {
 public:
  ZQDBRowBase() : m_sem(std::make_unique<ZQSimpleDBSem>(1)) {}
  ZQDBRowBase(const ZQDBRowBase&) = delete;

  // Slot order of the virtual operations is part of the pattern.
  virtual void lock() { s_semColumnVec->wait(); }
  virtual void unLock() { s_semColumnVec->release(1); }
  virtual ~ZQDBRowBase() {
    for (ZQDBDataTypeBase* value : m_columnVec) {
      if (value != nullptr) delete value;
    }
  }
  // The name of column i, or an empty text when i is not a column.
  virtual std::string getColumnName(const int& i) {
    const char* name = getColumnName_t2(i);
    return name != nullptr ? std::string(name) : std::string();
  }
  // The value objects in column order; the catalogue keeps ownership.
  virtual std::vector<ZQDBDataTypeBase*> getData() { return m_columnVec; }
  virtual int getSerialColNum() = 0;
  virtual std::string getTableName() = 0;
  virtual std::string getPrimaryWhere() = 0;
  virtual std::vector<ZQDBDataTypeBase*> getPrimaryData() = 0;
  virtual std::string getStructDef() { return std::string(); }
  virtual void setTableName(std::string name) = 0;
  // The name of column i, or null when i lies outside 0..count-1.
  virtual const char* getColumnName_t2(const int& i) const = 0;
  virtual void pushColumnName(const char* name) = 0;
  virtual int getHeaderType() { return -1; }
  virtual int searchForeignKey(std::string /*name*/) { return 0; }
  // Copies nothing: a catalogue owns its value objects.
  virtual ZQDBRowBase& operator=(ZQDBRowBase& /*other*/) { return *this; }

  // The schema text with every x turned into b; nothing else changes.
  std::string fillForTime(const char* schema) {
    if (schema == nullptr) return std::string();
    std::string text(schema);
    for (char& c : text) {
      if (c == 'x') c = 'b';
    }
    return text;
  }

  bool isGenerated() const { return m_isGenerated; }
  const std::map<std::string, ZQDBDataTypeBase*>& columnMap() const { return m_columnMap; }
  const std::vector<std::string>& primaryKeyNames() const { return m_primaryKeyVec; }
  const std::string& serialColName() const { return m_serialColName; }

  // Guards the once-per-class filling of every catalogue class; the engine's.
  static ZQSimpleDBSem* s_semColumnVec;

 protected:
  bool m_isGenerated = false;
  std::map<std::string, ZQDBDataTypeBase*> m_columnMap;
  std::vector<ZQDBDataTypeBase*> m_columnVec;
  std::string m_serialColName;
  std::vector<std::string> m_primaryKeyVec;
  std::unique_ptr<ZQSimpleDBSem> m_sem;
  void* m_reserved[3] = {nullptr, nullptr, nullptr};
};
