// Block-level replication copies: a storage policy gets a copy on a
// replication-store library. The archive manager makes the copy and the copy
// becomes a copy-failover candidate for the library's drive pool on the
// media agent, all in one transaction that the archive manager receives in
// its argument record: any failure leaves nothing of it. Operation 32 of the
// replication-store library request asks for a copy alone; operation 64
// (RPStoreCreate.cpp) after making the library.
#include <climits>
#include <string>

#include "ezconfig/rpstore/RPStoreRequest.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/archivemgr/ArchGroupCopyRecords.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDriveDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"
#include "platform/tran/StoreStep.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::configBlockLevelReplCopy";

// What the archive manager takes for a block-level replication copy.
constexpr long long kCopyTypeBlockLevel = 9;
constexpr long long kCopyFlagsBlockLevel = 16384;
constexpr int kCopyDefaults = 10001;
constexpr int kCandidatePriority = 1;
constexpr std::size_t kErrorTextSize = 2048;

// Releases a drive-pool list of the table access on every path.
struct DrivePoolList {
  MMDrivePool_t* rows = nullptr;
  int count = 0;
  ~DrivePoolList() {
    if (rows != nullptr) MMDrivePoolDB::DeleteList(rows, __FILE__, __LINE__);
  }
};

}  // namespace

int EvMMConfigMgr::configBlockLevelReplCopy(int storagePolicyId, int libraryId, int mediaAgentId,
                                            std::string copyName) {
  tktran::StoreStep step(kTag);
  if (!step.begin()) return -1;
  DBtran& tran = *step.tran();
  CreateArchGroupCopyArgs_t args;
  args.storagePolicyId = storagePolicyId;
  args.at8 = 0;
  args.at16 = 0;
  args.transaction = &tran;
  args.copyName = copyName;
  args.at32 = 0;
  args.copyType = kCopyTypeBlockLevel;
  args.at176 = -1;
  args.copyFlags = kCopyFlagsBlockLevel;
  args.at128 = 0;
  args.at216 = 0;
  args.at232 = 0;
  args.at224 = 0;
  args.at240 = 1;
  args.at200 = 1;
  args.at204 = 0;
  args.at208 = 0;
  args.at296 = 0;
  args.at300 = 0;

  DrivePoolList pools;
  MMDrivePoolDB poolAccess;
  if (poolAccess.getList(libraryId, mediaAgentId, pools.rows, pools.count) != 0) {
    char text[kErrorTextSize];
    const int code = poolAccess.getErrorCode();
    EvDebug::Error(kTag, "Failed to get drive pool for library[%d] Error[%d, %s] dbErr[%d]", libraryId, code,
                   MMS2BaseError::getErrorStringForCode(code, text, sizeof text, 0), poolAccess.getDBError());
    return -1;
  }
  if (pools.rows != nullptr && pools.count > 0) args.drivePoolId = pools.rows[0].DrivePoolId;

  args.at112 = 0;
  args.at184 = 0;
  args.at188 = 0;
  args.at40 = kCopyDefaults;
  args.at44 = kCopyDefaults;
  args.at116 = false;
  args.at32 = 0;

  ArchiveManagerTK archiveManager(nullptr);
  CreateArchGroupCopyRet_t result;
  const int created = archiveManager.createArchGroupCopy(args, result, "", false);
  if (created != 0) {
    EvDebug::Error(kTag, "Error occurred while configuring block replication copy for AG[%d] lib[%d] MA[%d] Err[%d]",
                   storagePolicyId, libraryId, mediaAgentId, created);
    return -1;
  }
  EvDebug::Debug(kTag, "Created block level replication copy on AGId[%d] copy[%lu]", storagePolicyId,
                 static_cast<unsigned long>(result.copyId));

  // A copy that cannot be a failover candidate is still a copy.
  ZQMMDBCopyFailover failover(1);
  if (failover.addCFCandidate(static_cast<int>(result.copyId), static_cast<int>(args.drivePoolId), mediaAgentId,
                              kCandidatePriority, 0, false, &tran) != 0) {
    char text[kErrorTextSize];
    EvDebug::Error(kTag, "Add copy failover failed [%s]", failover.getLastError(text, sizeof text));
  }
  if (!step.commit()) return -1;
  return 0;
}

namespace tkezconfig {

// Operation 32. The library and media agent are those of the request, or,
// where it gives none (below 1), those the front resolved by name.
void rpStoreAddReplicationCopy(RPStoreRequest& w) {
  using Info = EVGui::StorageLibraryInfo;
  const long long policy = w.libraryNumber(Info::kStoragePolicyId);
  const std::string copyName = w.libraryText(Info::kCopyName);
  if (policy <= 0) return;
  if (policy > INT_MAX ||
      EvMMConfigMgr::configBlockLevelReplCopy(static_cast<int>(policy), w.libraryId, w.mediaAgentId, copyName) != 0) {
    EvDebug::Error(kRPStoreTag, "Error while creating block level repl copy Library [%d] archGroupId[%lld] MA[%d]",
                   w.libraryId, policy, w.mediaAgentId);
    w.refuse(kTextReplicationCopyFailed);
  }
}

}  // namespace tkezconfig
