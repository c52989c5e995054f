// The job controller and the task service (see JobServices.h). Killed jobs
// whose rows are to stay a while are kept as pending, and the clock's sleep
// observer counts them down.
#include "platform/jobs/JobServices.h"

#include <deque>
#include <mutex>

#include "Db/Tbl/JMJobInfo.h"
#include "platform/clock/ClockSeam.h"
#include "platform/db/DBSession.h"

namespace tkjobs {
namespace {

struct PendingKill {
  std::string jobList;  // "1,2,3"
  int sleepsLeft = 0;
};

struct State {
  std::mutex mutex;
  int sleepsUntilGone = 0;
  std::vector<PendingKill> pending;
  std::deque<int64_t> scriptedIds;
  int64_t nextId = 1001;
};

State& state() {
  static State s;
  return s;
}

void removeRows(const std::string& jobList) {
  // The ids are numbers this process joined; nothing of a caller's text
  // reaches the statement.
  tkdb::Session session;
  session.exec("DELETE FROM \"JMJobInfo\" WHERE \"jobId\" IN (" + jobList + ")");
}

// After every sleep: the kills whose time has come take effect.
void afterSleep() {
  std::vector<std::string> due;
  {
    std::lock_guard<std::mutex> guard(state().mutex);
    auto& pending = state().pending;
    for (auto it = pending.begin(); it != pending.end();) {
      if (it->sleepsLeft > 0 && --it->sleepsLeft == 0) {
        due.push_back(it->jobList);
        it = pending.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const std::string& list : due) removeRows(list);
}

}  // namespace

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void setSleepsUntilGone(int sleeps) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().sleepsUntilGone = sleeps;
}

void scriptJobIds(std::vector<int64_t> ids) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().scriptedIds.assign(ids.begin(), ids.end());
}

void reset() {
  {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().sleepsUntilGone = 0;
    state().pending.clear();
    state().scriptedIds.clear();
    state().nextId = 1001;
  }
  journal().reset();
}

}  // namespace tkjobs

bool ZQJobCtrlGUIAPI::init(const char* hostName) {
  tkjobs::journal().record("init", hostName != nullptr ? hostName : "");
  tkjournal::Failure failure;
  m_ready = hostName != nullptr && hostName[0] != '\0' && !tkjobs::journal().takeFailure("init", failure);
  return m_ready;
}

void ZQJobCtrlGUIAPI::setUserEntredFailureReason(unsigned long reasonId) {
  tkjobs::journal().record("setUserEntredFailureReason", reasonId);
  m_reason = reasonId;
}

void ZQJobCtrlGUIAPI::add(int jobId) { m_jobs.push_back(jobId); }

bool ZQJobCtrlGUIAPI::kill(int /*flags*/) {
  const std::string list = jobInfoIdList(m_jobs);
  m_jobs.clear();
  tkjobs::journal().record("kill", list, m_reason);
  tkjournal::Failure failure;
  if (!m_ready || tkjobs::journal().takeFailure("kill", failure)) return false;
  if (list.empty()) return true;
  int sleeps = 0;
  {
    std::lock_guard<std::mutex> guard(tkjobs::state().mutex);
    sleeps = tkjobs::state().sleepsUntilGone;
    if (sleeps != 0) tkjobs::state().pending.push_back({list, sleeps});
  }
  if (sleeps == 0) {
    tkjobs::removeRows(list);
  } else {
    static const bool observing = [] {
      tkclock::seam::setSleepObserver(tkjobs::afterSleep);
      return true;
    }();
    (void)observing;
  }
  return true;
}

int EvTask::CreateTask(const std::string& request, std::vector<int64_t>& jobIds, int& taskId, unsigned long userId,
                       std::string& response, int, int, bool, bool) {
  tkjobs::journal().record("CreateTask", userId, request);
  jobIds.clear();
  response.clear();
  tkjournal::Failure failure;
  if (tkjobs::journal().takeFailure("CreateTask", failure)) {
    response = failure.text;
    return failure.code != 0 ? failure.code : 1;
  }
  int64_t id = 0;
  {
    std::lock_guard<std::mutex> guard(tkjobs::state().mutex);
    auto& s = tkjobs::state();
    if (!s.scriptedIds.empty()) {
      id = s.scriptedIds.front();
      s.scriptedIds.pop_front();
    } else {
      id = s.nextId++;
    }
  }
  if (id != 0) jobIds.push_back(id);
  taskId = static_cast<int>(id);
  response = "<TMMsg_CreateTaskResp/>";
  return 0;
}
