// The archive manager of the central server, as the handlers use it: the
// service that shares the media agents of a mount path into the storage
// pools (storage policies) that write to it.
//
// The stand-in keeps no storage policies of its own: a test (or the host's
// demo) scripts what the next calls answer, and every call is journaled with
// its arguments (platform/testkit/archivemgr.h). Without a script a call
// succeeds and reports that nothing was added.
#pragma once

#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/journal/Journal.h"

class DBtran;
class ZqSessionSend;
struct CreateArchGroupCopyArgs_t;
struct CreateArchGroupCopyRet_t;

// What the tape-library wizard asks a library's default storage policy with.
struct CreateStoragePolicyForLibraryArgs_t {
  int libraryId = 0;
  int flags = 0;  // the policy's flags
  int userId;     // left to the caller
};

// The answer: the new policy, its default copy, and the result with its text.
struct CreateStoragePolicyForLibraryRet_t {
  int storagePolicyId = 0;
  std::string storagePolicyName;
  int copyId = 0;
  std::string copyName;
  int errorCode = 0;
  std::string errorText;
};

class ArchiveManagerTK {
 public:
  // Media agents added by a share: per storage pool (keyed by an integer),
  // the added agents in order, each as (client id, text).
  using SharedMediaAgents = std::list<std::pair<int, std::string>>;
  using SharedMediaAgentMap = std::map<int, SharedMediaAgents>;

  // `session` null: the archive manager of the server the handlers run in.
  explicit ArchiveManagerTK(ZqSessionSend* session);
  virtual ~ArchiveManagerTK();
  ArchiveManagerTK(const ArchiveManagerTK&) = delete;
  ArchiveManagerTK& operator=(const ArchiveManagerTK&) = delete;

  // Shares the media agents of mount path `mountPathId` into the storage
  // pools that use it. On success returns true, fills `added` (replacing
  // what it held) and `resultText`. On failure returns false with the code
  // and text in `errorCode` and `errorText`; `added` and `resultText` are
  // left as they were. `controllerInfo` is passed through as given.
  bool ShareMediaAgentsInStoragePool(int first, int second, int mountPathId, std::string name,
                                     unsigned long locale, unsigned long userId, bool flag, int& errorCode,
                                     std::string& errorText, std::string& resultText, SharedMediaAgentMap& added,
                                     DBtran* tran, std::string controllerInfo, int last);

  // ---- copies of a storage policy (platform/archivemgr/ArchGroupCopy.cpp) ----
  // Adds a copy to storage policy `args.storagePolicyId`, written in
  // `args.transaction` (its own when null): the copy's name, type and flags
  // come from the record (platform/archivemgr/ArchGroupCopyRecords.h). 0
  // with the new copy's id in `result.copyId`; otherwise an error code with
  // its text in `result.errorText` (nothing written): an unknown policy, a
  // database failure. `text` and `flag` are passed through unread.
  int createArchGroupCopy(CreateArchGroupCopyArgs_t& args, CreateArchGroupCopyRet_t& result, std::string text,
                          bool flag);
  // The block-level replication copy of storage policy `storagePolicyId`
  // (its first, when it has several): 0 with its id in `copyId`; otherwise
  // an error code (no such copy, a database failure) and `copyId` as it was.
  int getBlockLevelReplicationCopyForPolicy(int storagePolicyId, int& copyId);
  // ---- end of copies ----

  // ---- storage policies of new disk libraries (platform/archivemgr/StoragePolicySetup.cpp) ----
  // Gives library `libraryId` (named `libraryName`) a storage policy
  // "SP_<name>" whose default copy "Primary" writes to it through the media
  // agent `mediaAgentId`, with a default aging rule (kDefaultRetentionDays,
  // kDefaultRetentionCycles), written in `tran` (its own when null), all or
  // nothing. 0 with the policy's id; otherwise an error code with its text
  // (nothing written).
  static constexpr int kDefaultRetentionDays = 30;
  static constexpr int kDefaultRetentionCycles = 1;
  int CreateStoragePolicyForLibrary(int libraryId, const std::string& libraryName, int mediaAgentId, DBtran* tran,
                                    int& storagePolicyId, std::string& errorText);
  // The same for a stored tape library, named by its alias name, with the
  // policy flags of `args`; the policy's copy writes through the library's
  // first drive pool (a new one of no media agent when it has none). 0 with
  // the policy and copy in `result`; otherwise the error code, also in
  // `result` with its text (nothing written). Journal
  // "CreateStoragePolicyForLibraryArgs" with library id, flags, user id.
  int CreateStoragePolicyForLibrary(const CreateStoragePolicyForLibraryArgs_t& args,
                                    CreateStoragePolicyForLibraryRet_t& result);
  // ---- end of new-library storage policies ----

  ZqSessionSend* session() const { return m_session; }

 private:
  ZqSessionSend* m_session;
};

namespace tkarchivemgr {

// What one ShareMediaAgentsInStoragePool call answers.
struct ShareResult {
  bool ok = true;
  int errorCode = 0;                                 // on failure
  std::string errorText;                             // on failure
  std::string resultText;                            // on success
  ArchiveManagerTK::SharedMediaAgentMap added;       // on success
};

// The arguments of one call, as given.
struct ShareCall {
  int first = 0;
  int second = 0;
  int mountPathId = 0;
  std::string name;
  unsigned long locale = 0;
  unsigned long userId = 0;
  bool flag = false;
  bool hadTransaction = false;
  std::string controllerInfo;
  int last = 0;
};

// Queues the answer of the next call (answers are used in order).
void scriptShare(const ShareResult& result);
std::vector<ShareCall> shareCalls();
// Journal: "ShareMediaAgentsInStoragePool" with first, second, mount path
// id, name, locale, user id, flag, transaction given, controller info, last.
// A failure injected into that name makes the next call fail with its code
// and text (before any scripted answer is used).
tkjournal::Journal& journal();
// Forgets scripts, calls and failures.
void reset();
// Journal: "createArchGroupCopy" with the record's values as "offset=value"
// texts read from the record's bytes at their offsets (the policy id at 0
// ... 536, the copy name as "48=<name>", "544=tran" or "544=null"). A
// failure injected into that name makes the next call fail with its code
// and text (nothing written). "getBlockLevelReplicationCopyForPolicy" with
// the policy id; a failure injected into it makes the next lookup fail with
// its code.

}  // namespace tkarchivemgr
