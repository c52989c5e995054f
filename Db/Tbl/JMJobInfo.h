// Binding of the table JMJobInfo: the job manager's table of jobs, one row
// per job id and installation id. The system only asks whether jobs that it
// had the job manager kill still have a row. The mount-path deletion, after
// killing the jobs of a mount path, waits for their rows to go:
//
//   switch (waitForJobsGone(jobIds, killTime, &result)) {
//     case JobWait::Gone: ... the jobs are killed ...
//     case JobWait::TimedOut: ... a job was still there after 600 seconds ...
//     case JobWait::Unverifiable: ... DBtable::getErrorStr(result) ...
//   }
//
// The row owns eleven heap texts and is never copied.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "Db/ZQDBProcBinding.h"
#include "platform/clock/Clock.h"

#define JMJOBINFO_COLUMNS(COL)           \
  COL(jobId, i, 0)                       \
  COL(initFrom, i, 0)                    \
  COL(opType, i, 0)                      \
  COL(userId, i, 0)                      \
  COL(clientPriority, i, 0)              \
  COL(opPriority, i, 0)                  \
  COL(appPriority, i, 0)                 \
  COL(combPriority, i, 0)                \
  COL(currentPhase, i, 0)                \
  COL(jobStartTime, i, 0)                \
  COL(attemptStartTime, i, 0)            \
  COL(serverEndTime, i, 0)               \
  COL(jobElapsedTime, i, 0)              \
  COL(elapsedTime, i, 0)                 \
  COL(lastStartOrRun, i, 0)              \
  COL(phaseParams, s, 0)                 \
  COL(restartString, s, 0)               \
  COL(startAttempts, i, 0)               \
  COL(runAttempts, i, 0)                 \
  COL(state, i, 0)                       \
  COL(pendingCause, i, 0)                \
  COL(restartable, i, 0)                 \
  COL(appArgs, s, 0)                     \
  COL(numOfFailures, i, 0)               \
  COL(failureReason, s, 257)             \
  COL(preemptable, i, 0)                 \
  COL(taskLinkID, i, 0)                  \
  COL(percentcomplete, i, 0)             \
  COL(displayState, i, 0)                \
  COL(tarnfoldId, i, 0)                  \
  COL(resourcesAllocated, i, 0)          \
  COL(currentContext, i, 0)              \
  COL(libraryList, s, 0)                 \
  COL(driveList, s, 0)                   \
  COL(opUsername, s, 0)                  \
  COL(phaseOnSuccess, i, 0)              \
  COL(interruptedPhase, i, 0)            \
  COL(errorType, i, 0)                   \
  COL(currentPhaseName, s, 0)            \
  COL(timeToComplete, i, 0)              \
  COL(lastUpdateFromClient, i, 0)        \
  COL(lastStateChangeTime, b, 0)         \
  COL(jobCategory, i, 0)                 \
  COL(recoveredFromServiceRestart, i, 0) \
  COL(noOfGUIMonitors, i, 0)             \
  COL(isScheduledAlert, i, 0)            \
  COL(jobBasedAlertId, i, 0)             \
  COL(alertName, s, 257)                 \
  COL(shortMediaAgent, s, 0)             \
  COL(seqNumber, b, 0)                   \
  COL(activeFile, u, 0)                  \
  COL(guiAlertColorLevel, i, 0)          \
  COL(jobDescription, s, 0)              \
  COL(xmlJobInfo, s, 0)                  \
  COL(subOpType, i, 0)                   \
  COL(foreignToken, s, 4097)             \
  COL(preparedJobId, i, 0)

inline constexpr ZQDBBindingInfo JMJobInfo_info{.headerType = ZQDB_HEADER_TABLE,
                                                .dbName = "JMJobInfo",
                                                .className = "JMJobInfo",
                                                .version = "1.63.208.5",
                                                .primaryKey = "jobId, tarnfoldId",
                                                .foreignKeys = "JMJobStats: jobId = jobId, tarnfoldId = tarnfoldId",
                                                .header = "Db/Tbl/JMJobInfo",
                                                .line = 1348};

struct JMJobInfo_t {
  JMJOBINFO_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(JMJobInfo_t, JMJOBINFO_COLUMNS)
};

class JMJobInfo_t2 : public ZQDBCatalogue<JMJobInfo_t2, JMJobInfo_t, JMJobInfo_info> {
 public:
  JMJobInfo_t2() = default;
  JMJobInfo_t2(const JMJobInfo_t2&) = delete;
  JMJobInfo_t2& operator=(const JMJobInfo_t2&) = delete;
};

class JMJobInfo : public ZQDBTable<JMJobInfo_t, JMJobInfo_t2, JMJobInfo_info> {
 public:
  explicit JMJobInfo(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(JMJobInfo_t, JMJobInfo_info);

// --- what the callers make of the rows ---------------------------------------------

// The job ids in decimal joined by "," (no blanks, no trailing comma): the
// text that stands in "JobId in (%s)" and in the killed-jobs log lines.
inline std::string jobInfoIdList(const std::vector<int>& jobIds) {
  std::string text;
  for (size_t i = 0; i < jobIds.size(); ++i) {
    if (i > 0) text += ",";
    text += std::to_string(jobIds[i]);
  }
  return text;
}

// One poll of "JobId in (...)".
enum class JobPoll {
  StillThere,    // 0: a listed job still has a row
  Gone,          // 100: no listed job has a row
  Unverifiable,  // anything else: the jobs' state cannot be told
};

constexpr JobPoll jobInfoPollOf(int result) {
  return result == 0 ? JobPoll::StillThere : result == DB_NO_ROW ? JobPoll::Gone : JobPoll::Unverifiable;
}

enum class JobWait { Gone, TimedOut, Unverifiable };

// Milliseconds between two polls, and the seconds after the kill within
// which a poll is still made.
inline constexpr unsigned kJobPollIntervalMs = 5000;
inline constexpr time_t kJobWaitLimitSeconds = 600;

// Waits until no job of the list has a row (no transaction): polls while
// fewer than 600 seconds have passed since `killTime` (tkclock seconds),
// sleeping 5,000 ms after each poll that still finds a row; after the poll
// that finds none it sleeps 5,000 ms once more and answers Gone. A database
// error ends the wait at once (Unverifiable, `result` gets the code); a job
// still there at the last poll within the limit ends it with TimedOut. An
// empty list is gone at once.
inline JobWait waitForJobsGone(const std::vector<int>& jobIds, time_t killTime, int* result = nullptr) {
  if (result != nullptr) *result = 0;
  if (jobIds.empty()) return JobWait::Gone;
  const std::string list = jobInfoIdList(jobIds);
  JMJobInfo jobs(nullptr);
  jobs.setIsolationType(4);
  jobs.setWhere("JobId in (%s)", list.c_str());
  while (tkclock::now() - killTime < kJobWaitLimitSeconds) {
    int code = getOneRow(&jobs, false, -1, 0);
    if (result != nullptr) *result = code;
    switch (jobInfoPollOf(code)) {
      case JobPoll::Gone:
        WYSLEEP_InTeRnAl(kJobPollIntervalMs);
        return JobWait::Gone;
      case JobPoll::StillThere:
        WYSLEEP_InTeRnAl(kJobPollIntervalMs);
        break;
      case JobPoll::Unverifiable:
        return JobWait::Unverifiable;
    }
  }
  return JobWait::TimedOut;
}
