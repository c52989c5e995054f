// The phases of a forced mount-path deletion (MountPathDeletion.cpp).
//
// The check asks the database whether a mount path needs the forced
// treatment and how: bit 2 of its code asks for the content to be deleted,
// bit 1 clear for a physical-cleanup record. The pre-phase does that for one
// mount path in one transaction of its own: the deleted backups, their
// audit record, the marks of the deduplication databases and the cleanup
// record commit together or not at all. The post-phase, after the last
// mount path is gone, starts one verification job per deduplication
// database that used them and audits the jobs it started.
#include <map>
#include <string>
#include <vector>

#include "Db/Proc/MMCheckMPCanDelete.h"
#include "Db/Proc/MMGetDDBListForDeletedMP.h"
#include "Db/Proc/MMInsertDeletedMPToDDB.h"
#include "Db/Proc/MMInsertDeletedMPToPhysicalCleanup.h"
#include "Db/Tbl/archTask.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/ZqCriticalSection.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/jobs/JobServices.h"
#include "platform/mmdb/MMMediaDB.h"
#include "platform/xml/TaskMessages.h"
#include "platform/tran/StoreStep.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::ForceDeleteMountPath";

// Results of the pre-phase.
constexpr int kPhaseFailed = 261;
constexpr int kStartFailed = 290;
constexpr int kCommitFailed = 254;
// Bits of the check's code.
constexpr int kCodeDeleteContent = 2;
constexpr int kCodeNoCleanupRecord = 1;
// The message library could not be made ready for a job request.
constexpr int kMessagesUnavailable = 0xB0001;

// Audit operations and parameter messages.
constexpr int kAuditContentDeleted = 0x54000036;
constexpr int kAuditJobsSubmitted = 0x5400028E;
constexpr int kParamLibrary = 0x550000BF;
constexpr int kParamMountPath = 0x550000C4;
constexpr int kParamMountPathLevel = 0x550006F8;
constexpr int kParamLibraryLevel = 0x55000723;
constexpr int kParamDeletedJobs = 0x550006FA;
constexpr int kParamJobIds = 0x55000003;
constexpr int kParamSubmittedJobs = 0x55000725;
// Job ids per parameter of the content-deletion audit.
constexpr std::size_t kJobIdsPerParam = 50;

// One parameter of an audit record: a message, with a text argument or none.
void addParam(EvGuiAudit& audit, EvMessageContainer& message, int id, const std::string* argument = nullptr) {
  message.SetMessageID(id, true);
  if (argument != nullptr) message << argument->c_str();
  audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
}

int levelParam(HardDeleteLevel level) { return level == kHardDeleteMountPath ? kParamMountPathLevel : kParamLibraryLevel; }

void setNumber(CNMessageBase& message, unsigned classHash, const tkxml::FieldDef& field, long long value) {
  message.setint64(field.ordinal, field.tag, value, classHash, field.hash);
}

CNMessageBase& child(CNMessageBase& message, unsigned classHash, const tkxml::FieldDef& field) {
  return message.getObjectAccessor(true, true, field.ordinal, field.tag, classHash, field.hash, field.ns, field.cls);
}

tkxml::MessageList& list(CNMessageBase& message, unsigned classHash, const tkxml::FieldDef& field) {
  return message.getlistobject(field.ordinal, field.tag, classHash, field.hash);
}

// The create-task request of one verification job of a deduplication
// database, as XML text: 0, or the code of the serialisation.
int verificationJobRequest(int storeId, int copyId, int storagePolicyId, std::string& text) {
  using namespace TMMsg;
  using ZqEntities::GenericEntity;
  CreateTaskReq request;
  CNMessageBase& info = child(request, CreateTaskReq::kClassHash, CreateTaskReq::kTaskInfo);
  CNMessageBase& task = child(info, TaskInfo::kClassHash, TaskInfo::kTask);
  setNumber(task, Task::kClassHash, Task::kTaskType, 1);
  setNumber(task, Task::kClassHash, Task::kInitiatedFrom, 3);

  SubTaskInfo subTaskInfo;
  CNMessageBase& subTask = child(subTaskInfo, SubTaskInfo::kClassHash, SubTaskInfo::kSubTask);
  setNumber(subTask, SubTask::kClassHash, SubTask::kSubTaskType, 1);
  setNumber(subTask, SubTask::kClassHash, SubTask::kOperationType, 4007);
  CNMessageBase& jobOption = child(subTaskInfo, SubTaskInfo::kClassHash, SubTaskInfo::kJobOption);
  CNMessageBase& adminOption = child(jobOption, JobOption::kClassHash, JobOption::kAdminOption);
  CNMessageBase& check = child(adminOption, AdminOption::kClassHash, AdminOption::kArchiveCheckOption);
  setNumber(check, ArchiveCheckOption::kClassHash, ArchiveCheckOption::kCheckType, 1);
  setNumber(check, ArchiveCheckOption::kClassHash, ArchiveCheckOption::kCheckScope, 1);
  list(info, TaskInfo::kClassHash, TaskInfo::kSubTasks).push_back(subTaskInfo);

  GenericEntity entity;
  setNumber(entity, GenericEntity::kClassHash, GenericEntity::kDedupDatabaseId, storeId);
  setNumber(entity, GenericEntity::kClassHash, GenericEntity::kCopyId, copyId);
  setNumber(entity, GenericEntity::kClassHash, GenericEntity::kStoragePolicyId, storagePolicyId);
  list(info, TaskInfo::kClassHash, TaskInfo::kEntities).push_back(entity);
  return request.serialize(text);
}

}  // namespace

// ------------------------------------------------------------ the check

int EvMMConfigMgr::CheckMountPathCanDelete(int mountPathId, int libraryId, int localeId, int& code,
                                           std::string& message, std::string& storeList) {
  code = 0;
  EvDebug::Debug(kTag, ":%s:%d: Validating Mountpath[%d] for deletion...", __FILE__, __LINE__, mountPathId);
  int found = 0;
  std::string text;
  std::string list;
  int checkCode = 0;
  if (checkMountPathCanDelete(mountPathId, libraryId, localeId, checkCode, text, list, &found) != 0) {
    message = text;
    EvDebug::Error(kTag, ":%s:%d: Failed to check the mountpath[%d] can delete. Error : [%d, %s].", __FILE__,
                   __LINE__, mountPathId, found, message.c_str());
    return kPhaseFailed;
  }
  if (checkCode != 0) {
    EvDebug::Debug(kTag, ":%s:%d: Mountpath[%d] needs force delete confirmation return code[%d, %s]...", __FILE__,
                   __LINE__, mountPathId, checkCode, text.c_str());
    code = checkCode;
    message = text;
    if (!list.empty()) storeList = list;
  }
  return 0;
}

// ------------------------------------------------------------ pre-phase

int EvMMConfigMgr::DoPrePhaseForceDeleteMountPath(int libraryId, int mountPathId, HardDeleteLevel level,
                                                  unsigned int userId, std::string libraryName,
                                                  std::string mountPathName, int checkCode, std::string storeList) {
  EvDebug::DebugLvl(3, kTag, ":%s:%d: Prephase operations force delete mountpath[%d]...", __FILE__, __LINE__,
                    mountPathId);
  tktran::StoreStep step(kTag);
  if (!step.begin()) {
    EvDebug::Error(kTag, ":%s:%d: mountpath[%d] deletion: %s", __FILE__, __LINE__, mountPathId,
                   step.error().c_str());
    return kStartFailed;
  }
  DBtran& tran = *step.tran();
  tran.setArithAbort(true);
  // A failed step leaves with the store step open: it rolls back as it
  // goes, and everything of this pre-phase with it.
  if ((checkCode & kCodeDeleteContent) != 0) {
    std::vector<MMDeletedJob> jobs;
    if (const int deleted = DeleteMountpathContent(mountPathId, jobs, tran); deleted != 0) return deleted;
    AuditMountPathDeleteContent(userId, libraryId, libraryName, mountPathName, level, jobs, tran);
    if (!storeList.empty()) {
      if (const int marked = MarkDDBBadAndRemoveVolumeRef(mountPathId, storeList, tran); marked != 0) return marked;
    }
  }
  if ((checkCode & kCodeNoCleanupRecord) == 0) {
    if (const int registered = PopulateMountPathInfoForPhysicalCleanup(mountPathId, tran); registered != 0)
      return registered;
  }
  if (!step.commit()) {
    EvDebug::Error(kTag, ":%s:%d: mountpath[%d] deletion: %s", __FILE__, __LINE__, mountPathId,
                   step.error().c_str());
    return kCommitFailed;
  }
  return 0;
}

int EvMMConfigMgr::DeleteMountpathContent(int mountPathId, std::vector<MMDeletedJob>& jobs, DBtran& tran) {
  MMMediaDB media;
  MMMedia_t row;
  if (media.getInfoByMountPathId(mountPathId, row, &tran) != 0) {
    char text[2048];
    EvDebug::Error(kTag, ":%s:%d: Failed to get MediaInfo for mountpath %d due to error [%d, %s].", __FILE__,
                   __LINE__, mountPathId, media.getErrorCode(), media.getLastError(text, sizeof text));
    return kPhaseFailed;
  }
  const int mediaId = row.MediaId;
  EvDebug::DebugLvl(3, kTag, ":%s:%d: Delete Media Content for mountpath[%d], media[%d]...", __FILE__, __LINE__,
                    mountPathId, mediaId);
  bool mediaEmpty = false;
  int deletedCount = 0;
  std::vector<ArchDeleteBackupByMedia_t> deleted;
  int result = 0;
  {
    // Two deletions of media content never run at once in this process.
    ZqCriticalSectionLock section(&deleteMediaContent);
    result = media.deleteAllBackupsFromOldMedia(mediaId, -1, mediaEmpty, deletedCount, true, true, &tran, deleted);
  }
  if (result != 0) {
    char text[2048];
    const int code = media.getErrorCode();
    EvDebug::Error(kTag, ":%s:%d: Failed to delete media content for media %d due to error %d, string: %s", __FILE__,
                   __LINE__, mediaId, code, media.getLastError(text, sizeof text));
    return code != 0 ? code : kPhaseFailed;
  }
  for (const ArchDeleteBackupByMedia_t& d : deleted)
    jobs.push_back(MMDeletedJob{d.jobId, d.appId, d.archGroupId, d.copyId, d.mediaId});
  return 0;
}

void EvMMConfigMgr::AuditMountPathDeleteContent(unsigned int userId, int libraryId, std::string libraryName,
                                                std::string mountPathName, HardDeleteLevel level,
                                                std::vector<MMDeletedJob> jobs, DBtran& tran) {
  EvGuiAudit audit(&tran);
  audit.SetEntityParam(ZqEntities::ENTITY_LIBRARY, libraryId);
  audit.setGUIAuditOperation(kAuditContentDeleted, static_cast<int>(userId));
  EvMessageContainer message;
  addParam(audit, message, kParamLibrary, &libraryName);
  addParam(audit, message, kParamMountPath, &mountPathName);
  addParam(audit, message, levelParam(level));
  if (!jobs.empty()) {
    addParam(audit, message, kParamDeletedJobs);
    std::string chunk;
    std::size_t inChunk = 0;
    for (const MMDeletedJob& job : jobs) {
      if (inChunk > 0) chunk += ", ";
      chunk += std::to_string(job.jobId);
      if (++inChunk == kJobIdsPerParam) {
        addParam(audit, message, kParamJobIds, &chunk);
        chunk.clear();
        inChunk = 0;
      }
    }
    if (inChunk > 0) addParam(audit, message, kParamJobIds, &chunk);
  }
  audit.guiAudit(0);
}

int EvMMConfigMgr::MarkDDBBadAndRemoveVolumeRef(int mountPathId, std::string storeList, DBtran& tran) {
  EvDebug::Debug(kTag,
                 ":%s:%d: Populating mountpath[%d] information to mark DDB bad and Removing SIDB reference in volume "
                 "table...",
                 __FILE__, __LINE__, mountPathId);
  int error = 0;
  if (markDeletedMountPathInDDBs(mountPathId, storeList, tran, &error) == 0) return 0;
  EvDebug::Error(kTag,
                 ":%s:%d: Failed to add deleting mountpath to DDB association and removing MMVolume entry for "
                 "Mountpath [%d]. Error : [%d, %s].",
                 __FILE__, __LINE__, mountPathId, error, DBtable::getErrorStr(error));
  return kPhaseFailed;
}

int EvMMConfigMgr::PopulateMountPathInfoForPhysicalCleanup(int mountPathId, DBtran& tran) {
  EvDebug::Debug(kTag, ":%s:%d: Populating mountpath[%d] for physical cleanup...", __FILE__, __LINE__, mountPathId);
  int error = 0;
  if (registerMountPathForPhysicalCleanup(mountPathId, tran, &error) == 0) return 0;
  EvDebug::Error(kTag,
                 ":%s:%d: Failed to add deleting mountpath to physical cleanup for Mountpath [%d]. Error : [%d, %s].",
                 __FILE__, __LINE__, mountPathId, error, DBtable::getErrorStr(error));
  return kPhaseFailed;
}

// ------------------------------------------------------------ post-phase

int EvMMConfigMgr::DoPostPhaseForceDeleteMountPath(std::map<int, std::string> mountPaths, unsigned int userId,
                                                   std::string libraryName, HardDeleteLevel level) {
  std::vector<int> ids;
  for (const auto& entry : mountPaths) ids.push_back(entry.first);
  const std::string list = deletedMountPathList(ids);
  std::string submitted;
  const int walked = forEachDDBOfDeletedMountPaths(list, [&](const MMGetDDBListForDeletedMP_t& row) {
    int jobId = 0;
    StartDV2Job(row.o_SIDBStoreId, row.o_CopyId, row.o_StoragePolicyId, jobId, static_cast<int>(userId));
    if (jobId != 0) {
      if (!submitted.empty()) submitted += ",";
      submitted += std::to_string(jobId);
    }
  });
  if (!submitted.empty())
    EvDebug::Debug(kTag, ":%s:%d: DV2 JobsList[%s] started for Force delete MPs [%s]...", __FILE__, __LINE__,
                   submitted.c_str(), list.c_str());
  AuditSubmittedJobsForForceDeleteMP(userId, libraryName, mountPaths, level, submitted);
  return walked;
}

int EvMMConfigMgr::StartDV2Job(int storeId, int copyId, int storagePolicyId, int& jobId, int userId) {
  if (CNMessageBase::Initialize() != 0) return kMessagesUnavailable;
  std::string request;
  if (const int written = verificationJobRequest(storeId, copyId, storagePolicyId, request);
      written != 0) {
    EvDebug::Error(kTag, "Failed to serialize DV2 Job create task request. Error: %d", written);
    return written;
  }
  EvDebug::Debug(kTag, "%s", request.c_str());
  EvTask task(0, 0, nullptr, false);
  std::vector<int64_t> jobIds;
  int taskId = 0;
  std::string response;
  const int created = task.CreateTask(request, jobIds, taskId, static_cast<unsigned long>(userId), response, 0, 0,
                                      false, false);
  if (created != 0) {
    EvDebug::Error(kTag, "Error: Failed to create task.\nResponse:[%s]", response.c_str());
    return created;
  }
  // A start that names no job started nothing.
  if (jobIds.empty() || jobIds.front() == 0) {
    EvDebug::Error(kTag, "Error: Failed to create task.\nResponse:[%s]", response.c_str());
    return -1;
  }
  jobId = static_cast<int>(static_cast<uint32_t>(jobIds.front() & 0xFFFFFFFF));
  return 0;
}

void EvMMConfigMgr::AuditSubmittedJobsForForceDeleteMP(unsigned int userId, std::string libraryName,
                                                       std::map<int, std::string> mountPaths, HardDeleteLevel level,
                                                       std::string submittedJobs) {
  EvGuiAudit audit(nullptr);
  audit.setGUIAuditOperation(kAuditJobsSubmitted, static_cast<int>(userId));
  EvMessageContainer message;
  addParam(audit, message, kParamLibrary, &libraryName);
  for (const auto& entry : mountPaths) addParam(audit, message, kParamMountPath, &entry.second);
  addParam(audit, message, levelParam(level));
  addParam(audit, message, kParamSubmittedJobs, &submittedJobs);
  audit.guiAudit(0);
}
