// The deletion of mount paths of a disk library: one mount path, or every
// mount path of a library. A plain deletion only deconfigures them. A
// forced one runs in phases around that: the mount paths go offline, the
// jobs running on them are killed (and waited for), each mount path is
// checked and, when it needs it, its content is deleted and it is
// registered for physical cleanup (MountPathDeletionPhases.cpp); after the
// last one the deduplication databases that used them get verification
// jobs. Whatever fails, the mount paths this call took offline and did not
// delete go online again; those it deleted stay deleted.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Db/Proc/MMGetRunningJobsForMountPath.h"
#include "Db/Tbl/JMJobInfo.h"
#include "ezconfig/ObjectOwnership.h"
#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/client/ZQPlatformInfo.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/jobs/JobServices.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/MMConfigsDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::ForceDeleteMountPath";
constexpr const char* kForceParameter = "MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG";

constexpr unsigned long kTextLibraryMountPathsUnread = 0x230008B5;
constexpr unsigned long kTextCheckFailed = 0x230001E3;
constexpr std::size_t kErrorTextSize = 2048;
constexpr std::size_t kCatalogueTextSize = 1024;

// Results of the kill step.
constexpr int kKillHostUnknown = 804;
constexpr int kKillFailed = 44055;
// Failure reasons the killed jobs show, and the audit's messages.
constexpr unsigned long kReasonMountPath = 0x550006F8;
constexpr unsigned long kReasonLibrary = 0x55000723;
constexpr int kAuditJobsKilled = 0x54000056;
constexpr int kParamLibrary = 0x550000BF;
constexpr int kParamMountPath = 0x550000C4;
constexpr int kParamKilledMountPathJobs = 0x550006F9;
constexpr int kParamKilledLibraryJobs = 0x55000724;

// Codes of the client object that a deletion without the forced phases
// answers with 1: the console may then offer the forced deletion.
constexpr int kCodeHasContent = 470;
constexpr int kCodeInUse = 419;
constexpr int kCodeHasJobs = 448;

std::string catalogueText(unsigned long id, int locale) {
  char buffer[kCatalogueTextSize];
  EvGetLocText(id, buffer, sizeof buffer, static_cast<unsigned long long>(locale));
  return buffer;
}

// The parameter that allows the forced phases: 1 when unset, 0 when it
// cannot be read.
int forceEnabledValue(int mountPathId) {
  MMConfigsDB configs;
  int value = 1;
  if (configs.getConfigParamValue(kForceParameter, value) != 0) {
    if (configs.getDBError() == DB_NO_ROW) return 1;
    EvDebug::Error(kTag,
                   "Unable to get config param MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG value. So assigning default "
                   "value. MountPath[%d]",
                   mountPathId);
    return 0;
  }
  return value;
}

// The error translation of a code in the locale; `fallback` when it has no
// text for it (a failure is never answered without one).
std::string translated(int code, int locale, const char* fallback) {
  char text[kErrorTextSize];
  std::string out = ErrorTrans::getErrorString(code, text, sizeof text, static_cast<unsigned long>(locale));
  return out.empty() ? fallback : out;
}

// Appends `extra` to `text` without letting it pass the error buffer's size.
void appendWithin(std::string& text, const char* extra) {
  const std::size_t room = kErrorTextSize - 1 > text.size() ? kErrorTextSize - 1 - text.size() : 0;
  text.append(extra, std::min(room, std::strlen(extra)));
}

}  // namespace

int EvMMConfigMgr::DeleteMountPath(int mountPathId, std::string mountPathName, int libraryId, std::string libraryName,
                                   unsigned int userId, int localeId, bool force, HardDeleteLevel level,
                                   int& errorCode, std::string& errorText) {
  // 1. The mount paths to delete, in ascending id order.
  std::map<int, std::string> mountPaths;
  MMMountPathDB table;
  if (level == kHardDeleteLibrary) {
    MMMountPath_t* rows = nullptr;
    int count = 0;
    const int listed = table.getListForLibrary(libraryId, rows, count);
    for (int i = 0; listed != -1 && i < count; ++i) mountPaths[rows[i].MountPathId] = rows[i].MountPathName;
    MMMountPathDB::DeleteList(rows, __FILE__, __LINE__);
    if (listed == -1) {
      char text[kErrorTextSize];
      EvDebug::Error(kTag, "Failed to get mount path list for library [%d]. Error[%d,%s]", libraryId,
                     table.getErrorCode(), table.getLastError(text, sizeof text));
      errorText = catalogueText(kTextLibraryMountPathsUnread, localeId);
      errorCode = -1;
      return -1;
    }
  } else {
    // One mount path is deleted only as one of the library named: the
    // table access deletes by id alone, and the forced phases would take
    // another library's mount path offline and kill its jobs first.
    std::string refusal;
    if (tkezconfig::mountPathOfLibrary(mountPathId, libraryId, libraryName, static_cast<unsigned long>(localeId),
                                       refusal) != tkezconfig::Ownership::kOwn) {
      errorText = refusal;
      errorCode = -1;
      return -1;
    }
    mountPaths[mountPathId] = mountPathName;
  }

  // 2. Whether the forced phases run.
  const int forceEnabled = forceEnabledValue(mountPathId);
  const bool forced = force && forceEnabled == 1;

  std::set<int> offline;
  int result = 0;
  // Step 8 on every way out: what went offline here and was not deleted
  // goes online again, in ascending order.
  struct OnlineAgain {
    std::set<int>& ids;
    MMMountPathDB& table;
    ~OnlineAgain() {
      for (int id : ids) {
        EvDebug::Debug(kTag, ":%s:%d: Reverting back Mountpath[%d] as online...", __FILE__, __LINE__, id);
        if (table.setOnline(id) != 0)
          EvDebug::Error(kTag, ":%s:%d: Failed to mark online for mountpath[%d]. ", __FILE__, __LINE__, id);
      }
    }
  } onlineAgain{offline, table};

  if (forced) {
    // 3. Offline, each with the deletion as its reason.
    for (const auto& [id, name] : mountPaths) {
      EvDebug::Debug(kTag, ":%s:%d: Mountpath[%d, %s] marking as offline...", __FILE__, __LINE__, id, name.c_str());
      if (table.setOffline(id, MOUNTPATH_OFFLINE_FOR_DELETION) != 0) {
        // The database's reason, as every other step answers it.
        errorCode = table.getErrorCode();
        errorText = table.lastErrorText();
        EvDebug::Error(kTag, ":%s:%d: Failed to mark offline for mountpath[%d, %s]. ", __FILE__, __LINE__, id,
                       name.c_str());
        return -1;
      }
      offline.insert(id);
    }
    // 4. The jobs that run on them.
    std::string killedJobs;
    const int killed = KillRunningJobsForMountPath(mountPathId, libraryId, level, killedJobs);
    if (killed != 0) {
      errorCode = killed;
      errorText = translated(killed, localeId, "Failed to kill the running jobs of the mount path");
      return -1;
    }
    if (!killedJobs.empty())
      AuditKilledJobsForForceDeleteMP(userId, libraryId, libraryName, mountPaths, level, killedJobs);
  }

  // 5. Each mount path in turn.
  for (const auto& [id, name] : mountPaths) {
    if (forced) {
      int code = 0;
      std::string message;
      std::string storeList;
      if (const int checked = CheckMountPathCanDelete(id, libraryId, localeId, code, message, storeList);
          checked != 0) {
        errorText = catalogueText(kTextCheckFailed, localeId);
        errorCode = checked;
        return -1;
      }
      if (code > 0) {
        const int pre = DoPrePhaseForceDeleteMountPath(libraryId, id, level, userId, libraryName, name, code, storeList);
        if (pre != 0) {
          errorText = translated(pre, localeId, "Failed to delete the content of the mount path");
          errorCode = pre;
          return -1;
        }
      }
    }
    MMSMountpathInfo info{};
    info.mountPathId = id;
    info.libraryId = libraryId;
    ZQMMmountPath client(info, 1);
    const int deleted = client.delMountPath(id, force);
    if (deleted == 0) {
      EvDebug::Debug(kTag, "Deconfiguring MountPath for Library[%s] Folder[%s] succeed.", libraryName.c_str(),
                     name.c_str());
      offline.erase(id);
      continue;
    }
    int code = 0;
    char text[kErrorTextSize] = {};
    client.GetLastError(code, text, static_cast<int>(sizeof text));
    EvDebug::Error(kTag, "Error [%d, %s] occurred while deleting the mountPath[%d, %s]", code, text, id, name.c_str());
    std::string failure = text;
    if (forceEnabled == 1) {
      // A client object that failed without a code of its own must not be
      // taken for a success by the caller.
      errorCode = code != 0 ? code : -1;
    } else {
      errorCode = -1;
      if (!failure.empty() && code == kCodeHasContent) {
        char advice[kErrorTextSize - 1] = {};
        ErrorTrans::getAdvise(kCodeHasContent, advice, sizeof advice, 0);
        appendWithin(failure, advice);
      }
      if (force || code == kCodeHasContent || code == kCodeInUse || code == kCodeHasJobs) errorCode = 1;
    }
    if (failure.empty()) failure = "Error occurred while deleting mountPath";
    errorText = failure;
    result = deleted;
    return result;
  }

  // 6, 7. Every mount path is gone.
  if (forced) DoPostPhaseForceDeleteMountPath(mountPaths, userId, libraryName, level);
  auditMountPathDel(userId, libraryId, libraryName, mountPaths, level, force);
  return 0;
}

// ------------------------------------------------------------ running jobs

int EvMMConfigMgr::KillRunningJobsForMountPath(int mountPathId, int libraryId, HardDeleteLevel level,
                                               std::string& killedJobs) {
  std::vector<int> jobs;
  runningJobsOfMountPath(mountPathId, libraryId, level, jobs);
  if (jobs.empty()) return 0;

  char host[1024] = {};
  ZQPI_Tarnkeeper tarnkeeper;
  if (!tarnkeeper.getTarnkeepHostName(host, sizeof host)) {
    EvDebug::Error(kTag, "The central server's host name is not known; the jobs of mountpath[%d] cannot be killed.",
                   mountPathId);
    return kKillHostUnknown;
  }
  ZQJobCtrlGUIAPI controller;
  const bool ready = controller.init(host);
  controller.setUserEntredFailureReason(level == kHardDeleteMountPath ? kReasonMountPath : kReasonLibrary);
  if (!ready) {
    EvDebug::Error(kTag, "%s", "Failed to initialize job controller object, So unable to kill the running jobs.");
    return kKillFailed;
  }
  for (int job : jobs) controller.add(job);
  const std::string list = jobInfoIdList(jobs);
  EvDebug::DebugLvl(3, kTag, ":%s:%d: Attempting to kill the running jobs[%s] for mountpath[%d]", __FILE__, __LINE__,
                    list.c_str(), mountPathId);
  if (!controller.kill(0)) {
    EvDebug::Error(kTag, "Unable to kill running jobs[%s].", list.c_str());
    return kKillFailed;
  }
  for (int job : jobs) controller.add(job);
  if (!controller.kill(0)) {
    EvDebug::Error(kTag, "Unable to kill running jobs on 2nd attempt[%s].", list.c_str());
    return kKillFailed;
  }
  int polled = 0;
  switch (waitForJobsGone(jobs, tkclock::now(), &polled)) {
    case JobWait::Gone:
      EvDebug::DebugLvl(3, kTag, ":%s:%d: Killed jobs[%s] for mountpath[%d]", __FILE__, __LINE__, list.c_str(),
                        mountPathId);
      killedJobs = list;
      return 0;
    case JobWait::TimedOut:
      EvDebug::Error(kTag, "Unable to kill all jobs[%s]. Time limit exceeds...", list.c_str());
      return kKillFailed;
    case JobWait::Unverifiable:
      break;
  }
  EvDebug::Error(kTag, "Unable to verify the jobs status[%s].", list.c_str());
  return kKillFailed;
}

void EvMMConfigMgr::AuditKilledJobsForForceDeleteMP(unsigned int userId, int libraryId, std::string libraryName,
                                                    std::map<int, std::string> mountPaths, HardDeleteLevel level,
                                                    std::string killedJobs) {
  EvGuiAudit audit(nullptr);
  audit.SetEntityParam(ZqEntities::ENTITY_LIBRARY, libraryId);
  audit.setGUIAuditOperation(kAuditJobsKilled, static_cast<int>(userId));
  EvMessageContainer message;
  auto add = [&](int id, const std::string* argument) {
    message.SetMessageID(id, true);
    if (argument != nullptr) message << argument->c_str();
    audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  };
  add(kParamLibrary, &libraryName);
  for (const auto& entry : mountPaths) add(kParamMountPath, &entry.second);
  const bool one = level == kHardDeleteMountPath;
  add(static_cast<int>(one ? kReasonMountPath : kReasonLibrary), nullptr);
  add(one ? kParamKilledMountPathJobs : kParamKilledLibraryJobs, &killedJobs);
  audit.guiAudit(0);
}
