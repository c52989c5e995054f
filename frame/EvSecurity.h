// Rights checks of the security service.
//
// EvSecurityMgr and EvSecurityCheck are made per request with its sequence
// number (which carries the client's locale) and answer the rights questions
// true (allowed) or false (refused, with the reason in getResponseString()).
// EvSecurityNew answers permission questions over the caller's transaction.
// The layouts, constructors and destructors are the system's; the questions
// are the security service's (platform/security/).
//
// A rights checker keeps a transaction of its own from construction to
// destruction; the rights questions run inside it, and the destructor rolls
// it back while it is still open. It is a private transaction of the engine
// (DBtran::makePrivate): deferred, on a connection of its own, never joined
// by the calls that the handler makes without a transaction, so the
// handler's own writes neither wait on it nor go with its roll-back.
#pragma once

#include <cstdint>
#include <string>

#include "frame/EvEvent.h"
#include "frame/TextHelpers.h"
#include "frame/TranWrapper.h"
#include "platform/db/DBtable.h"
#include "platform/reply/EvReturnData.h"

class EvSecurityMgr : public EvReturnData {
 public:
  explicit EvSecurityMgr(long long sequenceNumber)
      : EvReturnData(0, 0, nullptr, 0, nullptr),
        m_status(0),
        m_mode(2),
        m_flag(false),
        m_tran(false),
        m_trailing(0),
        m_locale(static_cast<int64_t>(returnLocaleId(sequenceNumber))) {
    m_responseString[0] = '\0';
    m_userName[0] = '\0';
    m_tran.makePrivate();
    m_tran.startTran();
  }
  // Rolls the checker's transaction back while it is still open (state bit 4).
  ~EvSecurityMgr() override {
    m_trailing = 0;
    if ((m_tran.getState() & DBtable::kStateOpen) != 0) m_tran.rollbackTran();
  }
  EvSecurityMgr(const EvSecurityMgr&) = delete;
  EvSecurityMgr& operator=(const EvSecurityMgr&) = delete;

  // The rights questions; true when allowed. A refusal leaves its reason in
  // getResponseString().
  bool canManageTarnkeep(unsigned long userId, unsigned long right);
  bool canManageMediaAgent(unsigned long userId, unsigned long right, unsigned long mediaAgentId);
  bool canAdminLibrary(unsigned long userId, unsigned long right, unsigned long libraryId);
  bool canManageClient(unsigned long userId, unsigned long tarnfoldId, unsigned long clientId);
  bool userHasRight(unsigned long userId, int entityKind, bool flag, unsigned long permission,
                    unsigned long entityId, long arg6, long arg7, long arg8, long arg9, long arg10, long arg11,
                    int arg12, bool arg13);
  bool canBrowse(unsigned long userId, unsigned long tarnfoldId, unsigned long clientId, int applicationType,
                 int instanceId, unsigned long long flrSetId, int subclientId, bool flag, const std::string& text);
  bool canRestore(unsigned long userId, unsigned long tarnfoldId, unsigned long clientId, long arg4, long arg5,
                  long arg6, long arg7, long arg8, bool flag1, bool flag2, bool flag3, const std::string& text1,
                  const std::string& text2);
  // Associates the user with the library. `error` receives the reason of a
  // failure and is left empty on success; 0 on success.
  int addUserToLibrary(unsigned long userId, unsigned long locale, unsigned long libraryId, std::string& error,
                       DBtran* tran);

  // The reason of the last refusal (empty while nothing was refused).
  const char* getResponseString() const { return m_responseString; }
  unsigned long getLocale() const { return static_cast<unsigned long>(m_locale); }
  // The checker's own transaction.
  DBtran* getTransaction() { return &m_tran; }

 protected:
  void setResponseString(const std::string& text);

 private:
  // Part of the system's layout; nothing reads them here.
  [[maybe_unused]] int32_t m_status;
  [[maybe_unused]] int64_t m_mode;
  [[maybe_unused]] bool m_flag;
  DBtran m_tran;  // made with DBtran(false), started by the constructor
  char m_responseString[256];
  char m_userName[256];
  int64_t m_trailing;
  int64_t m_locale;
};

// The rights checker made with the request's sequence number.
class EvSecurityCheck : public EvSecurityMgr {
 public:
  explicit EvSecurityCheck(long long sequenceNumber) : EvSecurityMgr(sequenceNumber) {}
  ~EvSecurityCheck() override = default;
};

class EvSecurityNew {
 public:
  // `tran` is the caller's transaction (callers pass null: the checker then
  // opens its own); `locale` the request's locale.
  EvSecurityNew(DBtran* tran, int locale) : m_tranStatus(0), m_locale(locale), m_tran(tran, "EvSecurityNew") {
    std::string scratch;
    m_tranStatus = m_tran.ensureTran(&scratch);
  }
  virtual ~EvSecurityNew() {
    try {
      std::string scratch;
      m_tran.commitIfOwnTran(&scratch);
    } catch (...) {
    }
  }
  EvSecurityNew(const EvSecurityNew&) = delete;
  EvSecurityNew& operator=(const EvSecurityNew&) = delete;

  // Writes true into `allowed` when the user has the permission on the
  // entity; a refusal leaves `allowed` false and its reason in
  // getUTF8ErrorMessage(). 0 when the question was answered.
  int hasPermissionForUserOnEntity(bool& allowed, int permission, int userId, int entityType, int entityId,
                                   int arg6, int arg7, int arg8, int arg9, int arg10, int arg11, int arg12,
                                   int arg13);

  std::string getUTF8ErrorMessage() const { return FXString::ToString(m_errorMessage); }
  int tranStatus() const { return m_tranStatus; }
  int locale() const { return m_locale; }
  // The transaction the questions run in: the caller's, or the checker's own.
  DBtran* getTransaction() const { return m_tran.tran(); }

 private:
  int32_t m_tranStatus;
  int32_t m_locale;
  std::string m_errorMessage;
  EvEvent m_event;
  TranWrapper m_tran;
};
