// The installation name of the server.
#include "platform/focus/ZQPI_Focus.h"

#include <mutex>

namespace tkfocus {
namespace {

struct State {
  std::mutex mutex;
  std::string name = kDefaultFocus;
};

State& state() {
  static State* s = new State();  // lives for the whole process
  return *s;
}

}  // namespace

void setFocus(const std::string& name) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.name = name.empty() ? std::string(kDefaultFocus) : name;
}

tkjournal::Journal& journal() {
  static tkjournal::Journal* j = new tkjournal::Journal();  // lives for the whole process
  return *j;
}

}  // namespace tkfocus

std::string ZQPI_Focus::getFocus() {
  std::string name;
  {
    tkfocus::State& s = tkfocus::state();
    std::lock_guard<std::mutex> guard(s.mutex);
    name = s.name;
  }
  tkjournal::Failure failure;
  // A setting that cannot be read gives the default name.
  if (tkfocus::journal().takeFailure("getFocus", failure)) name = tkfocus::kDefaultFocus;
  tkfocus::journal().record("getFocus", name);
  return name;
}
