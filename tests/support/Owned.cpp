#include "tests/support/Owned.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace tkowned {
namespace {

// Fixed tables, so that a signal handler can read them without allocating.
// A slot is free while its owner is 0.
constexpr int kProcesses = 512;
constexpr int kFolders = 256;
constexpr std::size_t kPathBytes = 256;

struct ProcessSlot {
  std::atomic<pid_t> owner{0};
  std::atomic<pid_t> pid{0};
  std::atomic<bool> works{true};
};
struct FolderSlot {
  std::atomic<pid_t> owner{0};  // set once the path is written
  char path[kPathBytes];
};

ProcessSlot g_processes[kProcesses];
FolderSlot g_folders[kFolders];
std::mutex g_entering;  // entries and forgetting, never the handler

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGABRT};

// Kills what this process entered and waits for it; async-signal-safe.
void killProcesses() {
  const pid_t self = ::getpid();
  for (ProcessSlot& slot : g_processes) {
    const pid_t pid = slot.pid.load();
    if (slot.owner.load() != self || pid <= 0) continue;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    slot.pid.store(0);
    slot.owner.store(0);
  }
}

// Removes the folders this process entered with rm -rf; async-signal-safe
// (fork, execve and waitpid are).
void removeFoldersFromHandler() {
  const pid_t self = ::getpid();
  char* argv[kFolders + 4];
  int n = 0;
  argv[n++] = const_cast<char*>("rm");
  argv[n++] = const_cast<char*>("-rf");
  argv[n++] = const_cast<char*>("--");
  for (FolderSlot& slot : g_folders)
    if (slot.owner.load() == self) argv[n++] = slot.path;
  argv[n] = nullptr;
  if (n == 3) return;
  const pid_t rm = ::fork();
  if (rm == 0) {
    char* const noEnv[] = {nullptr};
    ::execve("/bin/rm", argv, noEnv);
    ::_exit(127);
  }
  if (rm > 0) ::waitpid(rm, nullptr, 0);
}

void onSignal(int sig) {
  killProcesses();
  removeFoldersFromHandler();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void atExit() {
  killProcesses();
  const pid_t self = ::getpid();
  for (FolderSlot& slot : g_folders) {
    if (slot.owner.load() != self) continue;
    std::error_code ignored;
    std::filesystem::remove_all(slot.path, ignored);
    slot.owner.store(0);
  }
}

// Once per process (a forked child that enters again installs its own):
// the handlers where the signal's action is still the default one, so that
// a program's own handling is kept.
void installOnce() {
  static pid_t installedIn = 0;
  if (installedIn == ::getpid()) return;
  if (installedIn == 0) std::atexit(atExit);  // inherited by a forked child
  installedIn = ::getpid();
  for (const int sig : kSignals) {
    struct sigaction current {};
    if (::sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
  }
}

}  // namespace

void enterProcess(pid_t pid, bool works) {
  std::lock_guard<std::mutex> guard(g_entering);
  installOnce();
  for (ProcessSlot& slot : g_processes) {
    if (slot.owner.load() != 0) continue;
    slot.pid.store(pid);
    slot.works.store(works);
    slot.owner.store(::getpid());
    return;
  }
}

void forgetProcess(pid_t pid) {
  std::lock_guard<std::mutex> guard(g_entering);
  for (ProcessSlot& slot : g_processes)
    if (slot.owner.load() == ::getpid() && slot.pid.load() == pid) {
      slot.pid.store(0);
      slot.owner.store(0);
    }
}

void enterFolder(const std::string& path) {
  if (path.size() >= kPathBytes) return;
  std::lock_guard<std::mutex> guard(g_entering);
  installOnce();
  for (FolderSlot& slot : g_folders) {
    if (slot.owner.load() != 0) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.owner.store(::getpid());
    return;
  }
}

void forgetFolder(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_entering);
  for (FolderSlot& slot : g_folders)
    if (slot.owner.load() == ::getpid() && path == slot.path) slot.owner.store(0);
}

long long cpuTicksOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return -1;
  // The fields after the command's name, which ends at the last ')': the
  // state is the third field, utime and stime the 14th and 15th.
  const std::size_t name = text.rfind(')');
  if (name == std::string::npos) return -1;
  std::istringstream fields(text.substr(name + 1));
  std::string field;
  long long utime = -1;
  long long stime = -1;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 3 && field == "Z") return -1;
    if (i == 14) utime = std::atoll(field.c_str());
    if (i == 15) stime = std::atoll(field.c_str());
  }
  return utime < 0 || stime < 0 ? -1 : utime + stime;
}

long long cpuTicks() {
  const pid_t self = ::getpid();
  long long total = 0;
  for (ProcessSlot& slot : g_processes) {
    const pid_t pid = slot.pid.load();
    if (slot.owner.load() != self || pid <= 0 || !slot.works.load()) continue;
    const long long ticks = cpuTicksOf(pid);
    if (ticks > 0) total += ticks;
  }
  return total;
}

}  // namespace tkowned
