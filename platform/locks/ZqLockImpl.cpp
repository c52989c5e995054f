#include "platform/locks/ZqLockImpl.h"

#include <chrono>
#include <map>
#include <thread>

ZqCriticalSectionH::ZqCriticalSectionH() = default;
ZqCriticalSectionH::~ZqCriticalSectionH() = default;
void ZqCriticalSectionH::enter(bool) {
  if (m_mutex.try_lock()) return;
  m_waiting.fetch_add(1, std::memory_order_release);
  m_mutex.lock();
  m_waiting.fetch_sub(1, std::memory_order_relaxed);
}
void ZqCriticalSectionH::leave() { m_mutex.unlock(); }

ZqSemaphoreH::ZqSemaphoreH(int initialCount) : m_count(initialCount) {}
ZqSemaphoreH::~ZqSemaphoreH() = default;

void ZqSemaphoreH::wait() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_count <= 0) {
    m_waiting.fetch_add(1, std::memory_order_release);
    m_cv.wait(lock, [this] { return m_count > 0; });
    m_waiting.fetch_sub(1, std::memory_order_relaxed);
  }
  --m_count;
}

void ZqSemaphoreH::release(int count) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_count += count;
  }
  m_cv.notify_all();
}

struct ZqNamedMutexState {
  std::mutex mutex;
  std::condition_variable cv;
  std::thread::id owner;
  int depth = 0;
};

namespace {

std::shared_ptr<ZqNamedMutexState> namedState(const std::string& name) {
  static std::mutex registryMutex;
  static auto* registry = new std::map<std::string, std::weak_ptr<ZqNamedMutexState>>();
  std::lock_guard<std::mutex> guard(registryMutex);
  auto& slot = (*registry)[name];
  std::shared_ptr<ZqNamedMutexState> state = slot.lock();
  if (!state) {
    state = std::make_shared<ZqNamedMutexState>();
    slot = state;
  }
  return state;
}

}  // namespace

ZqNamedMutex::ZqNamedMutex(const char* name) : m_state(namedState(name != nullptr ? name : "")) {}

ZqNamedMutex::~ZqNamedMutex() = default;

bool ZqNamedMutex::lock(unsigned long milliseconds) {
  if (milliseconds > (1ul << 40)) {
    lock();
    return true;
  }
  ZqNamedMutexState& s = *m_state;
  std::unique_lock<std::mutex> guard(s.mutex);
  const auto self = std::this_thread::get_id();
  bool free = s.cv.wait_for(guard, std::chrono::milliseconds(milliseconds),
                            [&] { return s.depth == 0 || s.owner == self; });
  if (!free) return false;
  s.owner = self;
  ++s.depth;
  ++m_lockCnt;
  return true;
}

void ZqNamedMutex::lock() {
  ZqNamedMutexState& s = *m_state;
  std::unique_lock<std::mutex> guard(s.mutex);
  const auto self = std::this_thread::get_id();
  s.cv.wait(guard, [&] { return s.depth == 0 || s.owner == self; });
  s.owner = self;
  ++s.depth;
  ++m_lockCnt;
}

void ZqNamedMutex::unlock() {
  ZqNamedMutexState& s = *m_state;
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    if (s.depth == 0 || s.owner != std::this_thread::get_id() || m_lockCnt.load() == 0) return;
    --m_lockCnt;
    if (--s.depth == 0) s.owner = std::thread::id();
  }
  s.cv.notify_all();
}
