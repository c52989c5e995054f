// An audit-trail record of a configuration change: an operation, the user
// who made it, the entity it concerns and one parameter per changed property.
//
// The record's layout, constructor, destructor and inline setters are the
// system's; setting the operation, adding parameters and writing the record
// are the audit library's (platform/audit/).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "frame/EvMessageContainer.h"
#include "frame/ZqEntities.h"

class DBtran;

// One audit parameter: a message with its arguments, two plain values and
// three texts.
class EvGuiParam {
 public:
  EvGuiParam() = default;
  EvGuiParam(const EvMessageContainer& message, int value1, int value2, const wchar_t* text1, const wchar_t* text2)
      : m_message(message),
        m_value1(value1),
        m_value2(value2),
        m_text1(text1 != nullptr ? text1 : L""),
        m_text2(text2 != nullptr ? text2 : L"") {}
  ~EvGuiParam() {}  // members go last first: the texts, then the message

  const EvMessageContainer& message() const { return m_message; }
  int value1() const { return m_value1; }
  int value2() const { return m_value2; }
  const std::wstring& text1() const { return m_text1; }
  const std::wstring& text2() const { return m_text2; }

 private:
  EvMessageContainer m_message;
  int32_t m_value1 = 0;
  int32_t m_value2 = 0;
  std::wstring m_text1;
  std::wstring m_text2;
  std::wstring m_text3;
};

class EvGuiAudit {
 public:
  // `tran` is the transaction the record is written in; null for none.
  explicit EvGuiAudit(DBtran* tran) : m_tran(tran) {}
  ~EvGuiAudit() {
    m_map.clear();
    m_params.clear();
  }
  EvGuiAudit(const EvGuiAudit&) = delete;
  EvGuiAudit& operator=(const EvGuiAudit&) = delete;

  void SetEntityParam(ZqEntities::EntityType type, int id) {
    m_entityType = type;
    m_entityId = id;
  }
  int numParam() const { return static_cast<int>(m_params.size()); }
  // No operation and no parameters, as after construction.
  void clear() {
    m_operationId = 0;
    m_params.clear();
  }

  // Platform operations.
  // The operation id (0x54 in the top byte) and the requesting user.
  void setGUIAuditOperation(int operationId, int userId);
  // Appends one parameter (a copy of the message).
  void addGUIAuditParam(EvMessageContainer message, int value1, int value2, const wchar_t* text1,
                        const wchar_t* text2);
  // Writes the record; 0 on success.
  int guiAudit(long flags);

  DBtran* transaction() const { return m_tran; }
  int operationId() const { return m_operationId; }
  int userId() const { return m_userId; }
  ZqEntities::EntityType entityType() const { return m_entityType; }
  int entityId() const { return m_entityId; }
  const std::vector<EvGuiParam>& params() const { return m_params; }

 private:
  DBtran* m_tran;
  int32_t m_operationId = 0;
  int32_t m_userId = 0;
  int32_t m_reserved = 0;
  // Set only by SetEntityParam; a record about no entity keeps 0 and 0.
  ZqEntities::EntityType m_entityType = ZqEntities::ENTITY_NONE;
  int32_t m_entityId = 0;
  std::map<int, int> m_map;
  std::vector<EvGuiParam> m_params;
  int32_t m_trailing = -1;
};
