// The aging rule and disk threshold that the setup wizards give a storage
// policy: the retention of the policy's default copy (days, cycles and the
// rule's flag bits; 8 lets the library's disk space be managed
// automatically) and the library's threshold percentage, as the disk-library
// list procedure reports them.
//
//   if (!SetAgingRuleAndThreshold(policyId, days, 1, autoManage ? 8 : 0, libraryId, capacity)) ...
//
// Journal (tkarchivemgr::journal()): "SetAgingRuleAndThreshold" with the six
// arguments; a failure injected into that name makes the next call answer
// false with nothing written.
#pragma once

class DBtran;

// True when both were written; false (nothing written) for a policy without
// a default copy or a database failure. A library id below 1 leaves every
// library's threshold alone.
bool SetAgingRuleAndThreshold(int storagePolicyId, int retentionDays, int retentionCycles, int flags, int libraryId,
                              int threshold);

// The aging rule of one storage-policy copy, read from the database:
//
//   AMAgingRule rule(copyId, nullptr);
//   if (rule.lookupAgingRule() == 0) days = rule.getDays();
//
// Journal (tkarchivemgr::journal()): "lookupAgingRule" with the copy id; a
// failure injected into that name makes the next lookup answer its code.
class AMAgingRule {
 public:
  // `tran` is the caller's transaction (null: a read of its own).
  AMAgingRule(int copyId, DBtran* tran) : m_copyId(copyId), m_tran(tran) {}
  // 0 with the rule read; otherwise an error code (a copy without a rule,
  // a database failure) and the values stay 0.
  int lookupAgingRule();
  int getDays() const { return m_days; }
  int getCycles() const { return m_cycles; }
  int getFlags() const { return m_flags; }

 private:
  int m_copyId;
  DBtran* m_tran;
  int m_days = 0;
  int m_cycles = 0;
  int m_flags = 0;
};
