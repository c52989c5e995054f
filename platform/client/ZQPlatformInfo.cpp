// Installation facts, kept in memory.
#include "platform/client/ZQPlatformInfo.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/client/ZQClient.h"

namespace {

struct State {
  std::mutex mutex;
  tkclient::PlatformSettings settings;
};

State& state() {
  static State s;
  return s;
}

std::string machineName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

tkclient::PlatformSettings current() {
  std::lock_guard<std::mutex> guard(state().mutex);
  return state().settings;
}

std::string orMachine(const std::string& name) { return name.empty() ? machineName() : name; }

int copyOut(const std::string& text, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return -1;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return 0;
}

}  // namespace

unsigned long ZQPlatformInfo::getZQPlatformType() const {
  tkclient::journal().record("getZQPlatformType", std::vector<std::string>{});
  return current().platformType;
}

int ZQPlatformInfo::getTarnkeeperClientName(char* buffer, std::size_t size) const {
  tkclient::journal().record("getTarnkeeperClientName", size);
  tkjournal::Failure failure;
  if (tkclient::journal().takeFailure("getTarnkeeperClientName", failure)) return failure.code != 0 ? failure.code : -1;
  return copyOut(orMachine(current().tarnkeeperClientName), buffer, size);
}

int ZQPlatformInfo::getTarnkeeperHostName(char* buffer, std::size_t size) const {
  tkclient::journal().record("getTarnkeeperHostName", size);
  tkjournal::Failure failure;
  if (tkclient::journal().takeFailure("getTarnkeeperHostName", failure)) return failure.code != 0 ? failure.code : -1;
  return copyOut(orMachine(current().tarnkeeperHostName), buffer, size);
}

bool ZQPI_PlatformBase::getTarnkeepHostName(char* buffer, std::size_t size) const {
  tkclient::journal().record("getTarnkeepHostName", size);
  tkjournal::Failure failure;
  if (tkclient::journal().takeFailure("getTarnkeepHostName", failure)) return false;
  return copyOut(orMachine(current().tarnkeeperHostName), buffer, size) == 0;
}

std::string ZQPlatformInfo::getPhysicalMachine() const {
  tkclient::journal().record("getPhysicalMachine", std::vector<std::string>{});
  return orMachine(current().physicalMachine);
}

namespace tkclient {

void setPlatformInfo(const PlatformSettings& settings) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().settings = settings;
}

void resetPlatformInfo() { setPlatformInfo(PlatformSettings{}); }

}  // namespace tkclient
