// A transaction wrapper: works in the caller's transaction when one is given,
// or opens one of its own and commits only that one. The bodies are the
// platform's (platform/tran/).
#pragma once

#include <string>

class DBtran;

class TranWrapper {
 public:
  TranWrapper(DBtran* tran, const std::string& name);
  ~TranWrapper();
  TranWrapper(const TranWrapper&) = delete;
  TranWrapper& operator=(const TranWrapper&) = delete;

  // Makes sure a transaction is open: the caller's, or one of its own when
  // none was given. 0 on success; otherwise `error`, when given, gets the text.
  int ensureTran(std::string* error);
  // Commits the transaction when it is the wrapper's own; the caller's is
  // left to the caller. 0 on success.
  int commitIfOwnTran(std::string* error);

  DBtran* tran() const { return m_tran; }
  bool ownsTran() const { return m_ownTran; }
  const std::string& name() const { return m_name; }

 private:
  DBtran* m_tran;
  std::string m_name;
  bool m_ownTran = false;
};
