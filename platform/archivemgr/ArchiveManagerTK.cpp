// The archive manager stand-in: scripted answers, journaled calls.
#include "platform/archivemgr/ArchiveManagerTK.h"

#include <deque>
#include <mutex>

#include "platform/debuglog/EvDebug.h"

namespace tkarchivemgr {
namespace {

struct State {
  std::mutex mutex;
  std::deque<ShareResult> scripted;
  std::vector<ShareCall> calls;
};

State& state() {
  static State s;
  return s;
}

}  // namespace

void scriptShare(const ShareResult& result) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().scripted.push_back(result);
}

std::vector<ShareCall> shareCalls() {
  std::lock_guard<std::mutex> guard(state().mutex);
  return state().calls;
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void reset() {
  {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().scripted.clear();
    state().calls.clear();
  }
  journal().reset();
}

}  // namespace tkarchivemgr

ArchiveManagerTK::ArchiveManagerTK(ZqSessionSend* session) : m_session(session) {}

ArchiveManagerTK::~ArchiveManagerTK() = default;

bool ArchiveManagerTK::ShareMediaAgentsInStoragePool(int first, int second, int mountPathId, std::string name,
                                                     unsigned long locale, unsigned long userId, bool flag,
                                                     int& errorCode, std::string& errorText,
                                                     std::string& resultText, SharedMediaAgentMap& added,
                                                     DBtran* tran, std::string controllerInfo, int last) {
  static const char* const kTag = "ArchiveManagerTK::ShareMediaAgentsInStoragePool";
  tkarchivemgr::journal().record("ShareMediaAgentsInStoragePool", first, second, mountPathId, name, locale, userId,
                                 flag, tran != nullptr, controllerInfo, last);

  tkarchivemgr::ShareResult result;
  {
    std::lock_guard<std::mutex> guard(tkarchivemgr::state().mutex);
    // The calls are kept only for the tests that read them.
    if (tkjournal::recording()) {
      tkarchivemgr::ShareCall call;
      call.first = first;
      call.second = second;
      call.mountPathId = mountPathId;
      call.name = name;
      call.locale = locale;
      call.userId = userId;
      call.flag = flag;
      call.hadTransaction = tran != nullptr;
      call.controllerInfo = controllerInfo;
      call.last = last;
      tkarchivemgr::state().calls.push_back(std::move(call));
    }
    tkjournal::Failure failure;
    if (tkarchivemgr::journal().takeFailure("ShareMediaAgentsInStoragePool", failure)) {
      result.ok = false;
      result.errorCode = failure.code;
      result.errorText = failure.text;
    } else if (!tkarchivemgr::state().scripted.empty()) {
      result = tkarchivemgr::state().scripted.front();
      tkarchivemgr::state().scripted.pop_front();
    }
  }

  if (!result.ok) {
    errorCode = result.errorCode;
    errorText = result.errorText;
    EvDebug::Error(kTag, "Sharing the media agents of mount path [%d] failed [%d]: %s", mountPathId, errorCode,
                   errorText.c_str());
    return false;
  }
  added = result.added;
  resultText = result.resultText;
  EvDebug::Debug(kTag, "Shared the media agents of mount path [%d] into [%zu] storage pools.", mountPathId,
                 added.size());
  return true;
}
