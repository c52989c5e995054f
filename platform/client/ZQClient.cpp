// The client table stand-in: display names by client id.
#include "platform/client/ZQClient.h"

#include <map>
#include <mutex>

namespace tkclient {
namespace {

struct State {
  std::mutex mutex;
  std::map<unsigned long, std::string> names;
};

State& state() {
  static State s;
  return s;
}

}  // namespace

void setDisplayName(unsigned long clientId, const std::string& name) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().names[clientId] = name;
}

void clearDisplayNames() {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().names.clear();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void reset() {
  clearDisplayNames();
  journal().reset();
}

}  // namespace tkclient

ZQClient::ZQClient(unsigned long clientId) : m_clientId(clientId) {}

ZQClient::~ZQClient() = default;

int ZQClient::getDisplayName(std::string& name, void* /*tran*/) {
  int result = 0;
  tkjournal::Failure failure;
  if (tkclient::journal().takeFailure("getDisplayName", failure)) {
    result = failure.code != 0 ? failure.code : -1;
    name.clear();
  } else {
    std::lock_guard<std::mutex> guard(tkclient::state().mutex);
    auto it = tkclient::state().names.find(m_clientId);
    if (it == tkclient::state().names.end()) {
      result = tkclient::kErrorUnknownClient;
      name.clear();
    } else {
      name = it->second;
    }
  }
  tkclient::journal().record("getDisplayName", m_clientId, result);
  return result;
}
