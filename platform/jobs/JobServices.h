// The central server's job services as the handlers call them: the job
// controller that kills running jobs, and the task service that starts new
// ones. Both stand in for services of other processes.
//
//   ZQJobCtrlGUIAPI controller;
//   if (!controller.init(host)) ... no job controller ...
//   controller.setUserEntredFailureReason(0x550006F8);
//   for (int job : jobs) controller.add(job);
//   if (!controller.kill(0)) ... refused ...
//
//   EvTask task(0, 0, nullptr, false);
//   std::vector<int64_t> jobIds;
//   int taskId = 0;
//   std::string response;
//   if (task.CreateTask(request, jobIds, taskId, userId, response, 0, 0, false, false) == 0) ... jobIds[0] ...
//
// A killed job ends in the job manager's own time: its row leaves the
// job-information table (JMJobInfo) after the number of the killer's sleeps
// that the test control scripts (platform/testkit/jobs.h; at once unless
// scripted). Every call is journaled and those that can fail can be made to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/journal/Journal.h"

class ZQJobCtrlGUIAPI {
 public:
  ZQJobCtrlGUIAPI() = default;
  ZQJobCtrlGUIAPI(const ZQJobCtrlGUIAPI&) = delete;
  ZQJobCtrlGUIAPI& operator=(const ZQJobCtrlGUIAPI&) = delete;

  // Connects to the job manager of `hostName`; false when it cannot.
  bool init(const char* hostName);
  // The catalogue message the killed jobs show as their failure reason.
  void setUserEntredFailureReason(unsigned long reasonId);
  // Adds a job to the next kill.
  void add(int jobId);
  // Asks the job manager to kill the added jobs (the list is then empty);
  // false when it refuses or the controller was never initialised.
  bool kill(int flags);

 private:
  bool m_ready = false;
  unsigned long m_reason = 0;
  std::vector<int> m_jobs;
};

class EvTask {
 public:
  EvTask(int, int, void*, bool) {}
  // Submits a create-task request (its XML text) for the user: 0 and the new
  // job's id first in `jobIds`, or the service's error code with its text
  // in `response`.
  int CreateTask(const std::string& request, std::vector<int64_t>& jobIds, int& taskId, unsigned long userId,
                 std::string& response, int, int, bool, bool);
};

namespace tkjobs {

// Calls: "init" (host), "setUserEntredFailureReason" (id), "kill" (job ids
// joined by ",", failure reason), "CreateTask" (user id, request text).
// "init", "kill" and "CreateTask" fail on an injected failure (CreateTask
// answers its code, 1 when it has none, and the text as its response).
tkjournal::Journal& journal();
// Killed jobs leave JMJobInfo after `sleeps` sleeps of the killing thread
// (0: at the kill; -1: never).
void setSleepsUntilGone(int sleeps);
// The job ids CreateTask hands out, in order; afterwards 1001, 1002, ...
// An id of 0 is handed out as a success without a job.
void scriptJobIds(std::vector<int64_t> ids);
void reset();

}  // namespace tkjobs
