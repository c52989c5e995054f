// The handler class's construction, its class-wide state, the cache of
// media-configuration instances with the force-close rule and pruning, the
// pins that keep an instance in use from being pruned, and the one-time
// initialisation.
#include <poll.h>
#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <mutex>
#include <new>
#include <unordered_map>

#include "frame/EvEvent.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/ZqCriticalSection.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/clock/Clock.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mountd/ZqMountd.h"

// ---- class-wide state ----

std::list<MediaConfigContainer> EvMMConfigMgr::m_tMediaConfigList;
EvSessionSocket EvMMConfigMgr::m_socketId;
std::atomic<unsigned long> EvMMConfigMgr::m_ulUserId{0};
std::atomic<unsigned long> EvMMConfigMgr::m_ulLockedMMConfig{0};
std::atomic<long long> EvMMConfigMgr::m_serverSequenceNumber{0};
std::atomic<long long> EvMMConfigMgr::m_guiClientSequenceNumber{-1};
std::atomic<bool> EvMMConfigMgr::m_initialized{false};
std::atomic<bool> EvMMConfigMgr::m_bInitLogFile{false};
EvDebugFileInstance EvMMConfigMgr::m_libHandlerLogFileInstance;
std::list<std::string> EvMMConfigMgr::m_detectMediaAgentList;

char g_sLastLoginName[kLastLoginNameSize] = {};
std::atomic<uint32_t> g_ulSteps{0};
std::atomic<uint32_t> g_ulTotalSteps{0};

namespace {

constexpr const char* kGetCurrentTag = "EvMMConfigMgr::GetCurrentMediaConfig";
// Catalogue text of the force-close notice (argument: the login name).
constexpr unsigned long kForceClosedText = 0x240002FA;
// Catalogue text of the same notice where nobody held the configuration
// (no argument): it names nobody.
constexpr unsigned long kTextNobodyHolds = 0x24000F04;
// Code of item 11102 in the force-close notice.
constexpr unsigned long kForceClosedCode = 4;
constexpr std::size_t kForceClosedTextSize = 512;

// The session lock. Changing the cache or the holder takes it exclusively
// (SessionLock, recursive on its thread); handing out the newest instance to
// a request that may have it, and pinning, share it (SessionReadLock), so
// that consoles listing at once do not wait for one another. A writer
// waiting for the lock goes before readers that come after it, so that a
// stream of listings never holds up a console taking the lock or a
// connection that closes. Each thread counts what it holds: a shared lock
// inside an exclusive one (or inside another shared one) is already held,
// and is never taken twice (which a waiting writer would turn into a
// deadlock).
class SessionMutex {
 public:
  SessionMutex() {
    pthread_rwlockattr_t attributes;
    pthread_rwlockattr_init(&attributes);
    pthread_rwlockattr_setkind_np(&attributes, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
    pthread_rwlock_init(&m_lock, &attributes);
    pthread_rwlockattr_destroy(&attributes);
  }
  void lock() { pthread_rwlock_wrlock(&m_lock); }
  void lockShared() { pthread_rwlock_rdlock(&m_lock); }
  void unlock() { pthread_rwlock_unlock(&m_lock); }

 private:
  pthread_rwlock_t m_lock;
};

SessionMutex& sessionMutex() {
  static auto* m = new SessionMutex();  // lives for the whole process
  return *m;
}
thread_local int t_exclusiveDepth = 0;
thread_local int t_sharedDepth = 0;

class SessionReadLock {
 public:
  SessionReadLock() : m_taken(t_exclusiveDepth == 0 && t_sharedDepth == 0) {
    if (m_taken) sessionMutex().lockShared();
    ++t_sharedDepth;
  }
  ~SessionReadLock() {
    --t_sharedDepth;
    if (m_taken) sessionMutex().unlock();
  }
  SessionReadLock(const SessionReadLock&) = delete;
  SessionReadLock& operator=(const SessionReadLock&) = delete;

 private:
  bool m_taken;
};

// Holds a lockable resource for the rest of the scope, however it is left.
class ResourceLock {
 public:
  explicit ResourceLock(FXLockableResource& resource) : m_resource(resource) { m_resource.Lock(); }
  ~ResourceLock() { m_resource.Unlock(); }
  ResourceLock(const ResourceLock&) = delete;
  ResourceLock& operator=(const ResourceLock&) = delete;

 private:
  FXLockableResource& m_resource;
};

// Guards g_sLastLoginName; taken on its own, never while waiting for another
// lock.
std::mutex& lastLoginNameMutex() {
  static std::mutex m;
  return m;
}

// The local-time text of a time ("Mon Jan  1 00:00:00 2024"), formatted
// into the caller's buffer: each time gets a buffer of its own, so two
// times in one log line are two texts, on any thread.
const char* localTimeText(int64_t seconds, char (&buffer)[64]) {
  const time_t value = static_cast<time_t>(seconds);
  struct tm parts;
  if (localtime_r(&value, &parts) == nullptr || std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y", &parts) == 0)
    std::snprintf(buffer, sizeof buffer, "(time %lld)", static_cast<long long>(seconds));
  return buffer;
}

// Finds the cache entry of an instance; under the session lock.
MediaConfigContainer* findEntryLocked(const ZQMACMediaConfig* config) {
  if (config == nullptr) return nullptr;
  for (MediaConfigContainer& entry : EvMMConfigMgr::m_tMediaConfigList)
    if (entry.GetMediaConfig() == config) return &entry;
  return nullptr;
}

// Descriptors that own a cache entry, one bit per descriptor number modulo
// 64: a connection whose bit is clear owns none, and its closing costs no
// lock. Bits are set under the session lock when an entry gets its owner
// and recomputed there when owners go; a stale bit only costs a lock.
std::atomic<uint64_t> g_ownerBits{0};

uint64_t ownerBit(CWySocket socket) {
  return uint64_t{1} << (static_cast<unsigned>(static_cast<int>(socket.GetSocketDescriptor())) % 64u);
}

// How many connections have closed on each descriptor number. A holder is
// known by its number and this count when it was the holder: a later
// connection that the system gives the same number is another connection,
// never taken for it. Grows with the distinct numbers only.
struct ClosedConnections {
  std::mutex mutex;
  std::unordered_map<int, unsigned long long> counts;
};
ClosedConnections& closedConnections() {
  static ClosedConnections* closed = new ClosedConnections();  // lives through static destruction
  return *closed;
}
unsigned long long connectionOf(CWySocket socket) {
  ClosedConnections& closed = closedConnections();
  std::lock_guard<std::mutex> guard(closed.mutex);
  const auto it = closed.counts.find(static_cast<int>(socket.GetSocketDescriptor()));
  return it == closed.counts.end() ? 0 : it->second;
}

// Under the session lock.
void recomputeOwnerBitsLocked() {
  uint64_t bits = 0;
  for (const MediaConfigContainer& entry : EvMMConfigMgr::m_tMediaConfigList)
    if (entry.GetOwner().IsValid()) bits |= ownerBit(entry.GetOwner());
  g_ownerBits.store(bits, std::memory_order_relaxed);
}

// Logs both times of an entry about to be dropped (formatted only when
// the line is written: local time takes a process-wide lock).
void logDropped(const MediaConfigContainer& entry) {
  if (!EvDebug::Enabled(kEvDebugDebug)) return;
  char created[64];
  char expires[64];
  EvDebug::Debug(kGetCurrentTag, "Old instance creation timestamp = %s, expired timestamp = %s.",
                 localTimeText(entry.GetCreattionTimeStamp(), created),
                 localTimeText(entry.GetExpiredTimeStamp(), expires));
}

// Step 7 of a new instance: `oldCount` entries were there before the new
// one, which is in front. Every request is handed the front entry, so an
// instance behind the one just superseded is reached by nobody but a
// handler that pinned it: each such entry is dropped unless pinned, and a
// console that re-reads or locks for ever keeps two instances, not one per
// request. The one just superseded stays for whoever was told of its end,
// until it expires. An entry a handler has pinned stays either way. Only
// the entries dropped have their times logged: pruning costs next to
// nothing for what it keeps. Under the session lock.
void pruneLocked(std::size_t oldCount) {
  EvDebug::Debug(kGetCurrentTag, "the number of old instances = %zu.", oldCount);
  const int64_t now = static_cast<int64_t>(tkclock::now());
  auto& list = EvMMConfigMgr::m_tMediaConfigList;
  bool expired = false;
  std::size_t keptExpired = 0;
  std::size_t position = 1;  // behind the new entry
  for (auto it = std::next(list.begin()); it != list.end(); ++position) {
    if (!expired && now > it->GetExpiredTimeStamp()) expired = true;
    const bool unreachable = position >= 2;
    if ((!expired && !unreachable) || it->IsPinned()) {
      if (expired) ++keptExpired;
      ++it;
      continue;
    }
    logDropped(*it);
    it = list.erase(it);
  }
  recomputeOwnerBitsLocked();
  if (!expired) return;
  EvDebug::Debug(kGetCurrentTag, "%s", "Deleted expired instances.");
  if (keptExpired != 0)
    EvDebug::Debug(kGetCurrentTag, "Kept [%zu] expired instances that handlers still use.", keptExpired);
}

// Sends the force-close notice to the request's client: who took the
// configuration over, or, where nobody held it, that nobody holds it (the
// same reply and code, so that a client reads it as it reads the notice).
void sendForceClosedNotice(const MessageInfo& request, const std::string& forcedBy) {
  char text[kForceClosedTextSize];
  EvEvent event(kGetCurrentTag);
  if (forcedBy.empty() && EvMMConfigMgr::NobodyHeldTheConfiguration()) {
    event.evPrintf(kTextNobodyHolds, text, sizeof text, request.sequenceNumber);
    EvDebug::Debug(kGetCurrentTag, "%s", "L&DC is not open: nobody holds the configuration.");
    EvMMConfigMgr::sendStatusResponse(request.sequenceNumber, request.socket, text, kForceClosedCode);
    return;
  }
  event << forcedBy.c_str();
  event.evPrintf(kForceClosedText, text, sizeof text, request.sequenceNumber);
  EvDebug::Debug(kGetCurrentTag, "L&DC is force-closed by [%s]", forcedBy.c_str());
  EvMMConfigMgr::sendStatusResponse(request.sequenceNumber, request.socket, text, kForceClosedCode);
  EvDebug::Debug(kGetCurrentTag, "Force exit Library and Drive Configuration by [%s]", forcedBy.c_str());
}

}  // namespace

// ---- construction ----

EvMMConfigMgr::EvMMConfigMgr() : EvReturnData(0, 0, nullptr, 0, nullptr) {
  ZqCriticalSectionLock lock(&gCriticalSectionCTOR);
  if (!m_bInitLogFile.load()) m_bInitLogFile.store(ZQMACBase::SetEvDebugFile(&m_libHandlerLogFileInstance, "TK_ZQMMInst"));
}

EvMMConfigMgr::~EvMMConfigMgr() = default;

// ---- session lock ----

EvMMConfigMgr::SessionLock::SessionLock() {
  if (t_exclusiveDepth++ == 0) sessionMutex().lock();
}

EvMMConfigMgr::SessionLock::~SessionLock() {
  if (--t_exclusiveDepth == 0) sessionMutex().unlock();
}

// ---- the cache ----

ZQMACMediaConfig* EvMMConfigMgr::currentMediaConfig(MessageInfo* request, bool bNew, MediaConfigPin* pin) {
  if (request == nullptr) return nullptr;
  if (!bNew) {
    // The common case changes nothing but the front entry's expiry and
    // pins: the session lock is shared. Everything else is decided again
    // below under the lock held exclusively.
    SessionReadLock lock;
    const bool holder = !(request->socket != EvMMConfigMgr::m_socketId.Get());
    auto& list = EvMMConfigMgr::m_tMediaConfigList;
    if ((holder || request->requestKind == kRequestKindExempt) && !list.empty()) {
      MediaConfigContainer& front = list.front();
      front.SetExpiredTimeStamp();
      if (pin != nullptr) pin->attachLocked(front);
      return front.GetMediaConfig();
    }
  }
  {
    // The holder test and every use of the cache and the holder run under
    // the session lock, so that no other session can start between the
    // test and the hand-out.
    EvMMConfigMgr::SessionLock lock;
    const bool holder = !(request->socket != EvMMConfigMgr::m_socketId.Get());
    if (bNew || holder || request->requestKind == kRequestKindExempt) {
      auto& list = EvMMConfigMgr::m_tMediaConfigList;
      const std::size_t count = list.size();
      if (bNew || count == 0) {
        try {
          list.emplace_front();
        } catch (const std::bad_alloc&) {
          EvDebug::Error(kGetCurrentTag, "%s", "Memory allocation failed.");
          return nullptr;
        }
        list.front().SetOwner(request->socket);
        if (request->socket.IsValid())
          g_ownerBits.fetch_or(ownerBit(request->socket), std::memory_order_relaxed);
        EvMMConfigMgr::m_socketId = request->socket;
        EvMMConfigMgr::m_ulUserId.store(request->userId);
        if (count != 0) pruneLocked(count);
      }
      MediaConfigContainer& front = list.front();
      front.SetExpiredTimeStamp();
      if (pin != nullptr) pin->attachLocked(front);
      return front.GetMediaConfig();
    }
  }
  // Not the holder: the notice goes out after the session lock is left, so
  // a slow client never holds up the session.
  sendForceClosedNotice(*request, EvMMConfigMgr::TakenOverBy());
  return nullptr;
}


ZQMACMediaConfig* EvMMConfigMgr::GetCurrentMediaConfig(MessageInfo* request, bool bNew) {
  return currentMediaConfig(request, bNew, nullptr);
}

ZQMACMediaConfig* EvMMConfigMgr::GetCurrentMediaConfig(MessageInfo* request, bool bNew, MediaConfigPin& pin) {
  pin.release();
  return currentMediaConfig(request, bNew, &pin);
}

ZQMACMediaConfig* EvMMConfigMgr::GetNewestMediaConfig(MediaConfigPin& pin) {
  pin.release();
  SessionReadLock lock;
  if (m_tMediaConfigList.empty()) return nullptr;
  pin.attachLocked(m_tMediaConfigList.front());
  return m_tMediaConfigList.front().GetMediaConfig();
}

void EvMMConfigMgr::ConnectionClosed(CWySocket socket) {
  if (socket.IsValid()) {
    ClosedConnections& closed = closedConnections();
    std::lock_guard<std::mutex> guard(closed.mutex);
    ++closed.counts[static_cast<int>(socket.GetSocketDescriptor())];
  }
  // Most connections never held the session: they cost no session lock.
  if (!socket.IsValid() || (g_ownerBits.load(std::memory_order_relaxed) & ownerBit(socket)) == 0) return;
  SessionLock lock;
  const bool holder = m_socketId == socket;
  if (holder) m_socketId = CWySocket();
  // Every instance made for the connection ends with it. The front one stays
  // (requests of the exempt kind still read it); behind it nobody reaches
  // them any more, so those no handler uses right now go at once.
  std::size_t owned = 0;
  std::size_t dropped = 0;
  for (auto it = m_tMediaConfigList.begin(); it != m_tMediaConfigList.end();) {
    if (it->GetOwner() != socket) {
      ++it;
      continue;
    }
    ++owned;
    it->EndSession();
    if (it == m_tMediaConfigList.begin() || it->IsPinned()) {
      ++it;
      continue;
    }
    logDropped(*it);
    it = m_tMediaConfigList.erase(it);
    ++dropped;
  }
  recomputeOwnerBitsLocked();
  if (!holder && owned == 0) return;
  EvDebug::Debug(kGetCurrentTag,
                 "The connection %d has closed: [%zu] of its instances ended, [%zu] freed, [%zu] instances cached.",
                 static_cast<int>(socket.GetSocketDescriptor()), owned, dropped, m_tMediaConfigList.size());
  if (holder)
    EvDebug::Debug(kGetCurrentTag, "The session holder's connection %d has closed.",
                   static_cast<int>(socket.GetSocketDescriptor()));
}

EvMMConfigMgr::SessionHolder EvMMConfigMgr::CurrentHolder() {
  SessionReadLock lock;
  const CWySocket holder = m_socketId.Get();
  return SessionHolder{holder, m_ulUserId.load(), holder.IsValid() ? connectionOf(holder) : 0};
}

void EvMMConfigMgr::WithdrawSession(const MessageInfo& request, const ZQMACMediaConfig* config,
                                    const SessionHolder& previous) {
  SessionLock lock;
  auto& list = m_tMediaConfigList;
  // Only the session this lock started, while it is still the newest.
  if (config == nullptr || list.empty() || list.front().GetMediaConfig() != config || m_socketId != request.socket)
    return;
  MediaConfigContainer& withdrawn = list.front();
  withdrawn.EndSession();
  if (withdrawn.IsPinned()) {
    // A request of the exempt kind still reads it: it goes last, where the
    // next pruning drops it once it is no longer used.
    list.splice(list.end(), list, list.begin());
  } else {
    logDropped(withdrawn);
    list.pop_front();
  }
  // The previous holder gets its session back only while its connection is
  // the one that held it and is open (its instances are not ended): a closed
  // holder's descriptor number may already serve somebody else. The
  // requester itself gets none back: after a failed lock its connection
  // holds no session.
  bool previousOpen = false;
  if (previous.socket.IsValid() && previous.socket != request.socket &&
      connectionOf(previous.socket) == previous.connection)
    for (const MediaConfigContainer& entry : list)
      if (entry.GetOwner() == previous.socket && !entry.IsSessionEnded()) previousOpen = true;
  m_socketId = previousOpen ? previous.socket : CWySocket();
  m_ulUserId.store(previous.userId);
  recomputeOwnerBitsLocked();
  EvDebug::Debug(kGetCurrentTag,
                 "The session of connection %d is withdrawn: its configuration could not be read. [%zu] instances "
                 "cached; the session holder is connection %d.",
                 static_cast<int>(request.socket.GetSocketDescriptor()), list.size(),
                 static_cast<int>(m_socketId.GetSocketDescriptor()));
}

bool EvMMConfigMgr::ConnectionGone(CWySocket socket) {
  const int fd = static_cast<int>(socket.GetSocketDescriptor());
  if (fd < 0) return false;
  pollfd probe{fd, 0, 0};
  if (::poll(&probe, 1, 0) != 1) return false;
  // POLLHUP: the peer has closed both ways; a descriptor that is not open
  // (POLLNVAL) is not taken for a client that left.
  return (probe.revents & (POLLHUP | POLLERR)) != 0;
}

int EvMMConfigMgr::GetSocket(CWySocket* out) {
  if (m_ulLockedMMConfig.load() != 1) return 0;
  if (out != nullptr) *out = m_socketId.Get();
  return 1;
}

int EvMMConfigMgr::GetServerSequenceNumber(long long* out) {
  if (m_ulLockedMMConfig.load() != 1) return 0;
  if (out != nullptr) *out = m_serverSequenceNumber.load();
  return 1;
}

void EvMMConfigMgr::SetLastLoginName(const char* loginName) {
  std::lock_guard<std::mutex> guard(lastLoginNameMutex());
  const std::size_t length = loginName != nullptr ? strnlen(loginName, kLastLoginNameSize - 1) : 0;
  std::memset(g_sLastLoginName, 0, sizeof g_sLastLoginName);
  if (length != 0) std::memcpy(g_sLastLoginName, loginName, length);
}

std::string EvMMConfigMgr::GetLastLoginName() {
  std::lock_guard<std::mutex> guard(lastLoginNameMutex());
  return std::string(g_sLastLoginName, strnlen(g_sLastLoginName, sizeof g_sLastLoginName));
}

std::string EvMMConfigMgr::TakenOverBy() {
  std::string login = GetLastLoginName();
  if (!login.empty()) return login;
  return LoginNameOf(m_ulUserId.load());
}

bool EvMMConfigMgr::NobodyHeldTheConfiguration() {
  const SessionHolder holder = CurrentHolder();
  return !holder.socket.IsValid() && holder.userId == 0 && TakenOverBy().empty();
}

std::string EvMMConfigMgr::LoginNameOf(unsigned long userId) {
  char login[kLastLoginNameSize];
  std::memset(login, 0, sizeof login);
  EvExternal services(0);
  services.getUserLogin(static_cast<int>(userId), login, nullptr, nullptr);
  login[sizeof login - 1] = '\0';
  return std::string(login);
}

// ---- one-time initialisation ----

int EvMMConfigMgr::Initialize() {
  char name[128];
  std::snprintf(name, sizeof name, "%s_%p", "EvMMConfigMgr::Initialize()", static_cast<void*>(&m_initialized));
  FXNamedMutex mutex(name);
  ResourceLock guard(mutex);
  if (!m_initialized.load()) {
    ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, 0);
    SetLastLoginName("");
    if (ZqMountd::RegisterSubsystem() != 0)
      EvDebug::Error("EvMMConfigMgr::Initialize", "%s", "Could not register with the mount service.");
    // Set last, so that a caller who sees the flag finds the work done.
    m_initialized.store(true);
  }
  return 1;
}

// ---- pins ----

MediaConfigPin::MediaConfigPin(ZQMACMediaConfig* config) { pin(config); }

MediaConfigPin::~MediaConfigPin() { release(); }

bool MediaConfigPin::pin(ZQMACMediaConfig* config) {
  release();
  if (config == nullptr) return false;
  SessionReadLock lock;
  MediaConfigContainer* entry = findEntryLocked(config);
  if (entry == nullptr) return false;
  attachLocked(*entry);
  return true;
}

void MediaConfigPin::attachLocked(MediaConfigContainer& entry) {
  entry.AddPin();
  m_config = entry.GetMediaConfig();
}

void MediaConfigPin::release() {
  if (m_config == nullptr) return;
  SessionReadLock lock;
  MediaConfigContainer* entry = findEntryLocked(m_config);
  if (entry != nullptr) entry->DropPin();
  m_config = nullptr;
}
