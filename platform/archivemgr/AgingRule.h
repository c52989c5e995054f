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

// True when both were written; false (nothing written) for a policy without
// a default copy or a database failure. A library id below 1 leaves every
// library's threshold alone.
bool SetAgingRuleAndThreshold(int storagePolicyId, int retentionDays, int retentionCycles, int flags, int libraryId,
                              int threshold);
