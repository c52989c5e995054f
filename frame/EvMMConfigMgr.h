// The media-management configuration handler class.
//
// The host constructs it and calls its handler methods. An object keeps only
// the reply it is building (its EvReturnData base); everything that lasts
// between requests is class-wide: the cache of media-configuration
// instances, the client that holds the configuration session, the
// configuration lock's state and the one-time initialisation.
//
// Session state and threads. The host calls handlers from several threads,
// and the object model calls the status and progress callbacks from its own
// threads. Therefore:
//  - The cache (m_tMediaConfigList), the holder's socket and user id, and
//    the pins are changed only under the session lock (SessionLock, the
//    named mutex "EvMMConfigMgr::GetCurrentMediaConfig"; recursive).
//  - The numbers and flags read by other threads (sequence numbers, lock
//    flag, user id, step counters, initialisation flags) are atomics, and
//    the holder's socket is an EvSessionSocket; they can be read anywhere
//    without a lock. Read them as values (`m_ulUserId.load()` or a
//    conversion), e.g. for printf arguments.
//  - The callbacks take no lock of the session, so code that holds the
//    session lock (a force lock reporting the old session complete) may run
//    them.
//  - The last login name is written with SetLastLoginName and read with
//    GetLastLoginName (a small lock of its own, taken on its own).
//
// Using the instance (for handler authors). GetCurrentMediaConfig hands out
// the newest cached instance. The cache drops instances that have not been
// handed out for 7,200 seconds whenever a new session starts, so a handler
// that works on an instance for long (detections, the control request, long
// listings) pins it while it uses it:
//
//     MediaConfigPin pin;
//     ZQMACMediaConfig* config = GetCurrentMediaConfig(msg, false, pin);
//     if (config == nullptr) { ... force-closed or no request ... }
//     ... use config; the pin keeps it in the cache until the scope ends ...
//
// or pin an instance already in hand with `MediaConfigPin pin(config);`
// (the pin is empty when the instance is no longer cached). Pins never keep
// a session alive: they only keep pruning from deleting the instance.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <string>

#include "frame/CWySocket.h"
#include "frame/EvDebugFileInstance.h"
#include "frame/FXLockableResource.h"
#include "frame/MediaConfigContainer.h"
#include "platform/reply/EvReturnData.h"

class MDLock;
class ZQMACMediaConfig;
class ZQMACLms;
class ZQMACMagLib;
class MediaConfigPin;
struct MessageInfo;

// The session holder's socket: a CWySocket that any thread may read while
// the session code changes it. Compares with and converts to CWySocket.
class EvSessionSocket {
 public:
  EvSessionSocket() = default;
  EvSessionSocket(const EvSessionSocket&) = delete;
  EvSessionSocket& operator=(const EvSessionSocket&) = delete;
  EvSessionSocket& operator=(const CWySocket& socket) {
    m_descriptor.store(static_cast<int>(socket.GetSocketDescriptor()), std::memory_order_release);
    return *this;
  }

  CWySocket Get() const { return CWySocket(m_descriptor.load(std::memory_order_acquire)); }
  operator CWySocket() const { return Get(); }  // NOLINT: a socket value by design
  CWySocketDescriptor GetSocketDescriptor() const { return Get().GetSocketDescriptor(); }
  bool IsValid() const { return Get().IsValid(); }
  bool operator==(const CWySocket& other) const { return Get() == other; }
  bool operator!=(const CWySocket& other) const { return !(Get() == other); }

 private:
  std::atomic<int> m_descriptor{-1};
};

class EvMMConfigMgr : public EvReturnData {
 public:
  // Opens the handler library's debug log instance once per process (a
  // failed opening is tried again by the next construction).
  EvMMConfigMgr();
  // Destroys the reply base only; the class-wide state stays.
  ~EvMMConfigMgr() override;
  EvMMConfigMgr(const EvMMConfigMgr&) = delete;
  EvMMConfigMgr& operator=(const EvMMConfigMgr&) = delete;

  // ---- replies ----
  // Reply 1024: item 4001 (operation), item 4117 (count, only with status 2
  // and a count of at least 1), last item 2051 ([u32 status][text], length
  // text length + 4; a null text sends the empty text; cut to 4,107
  // characters). A non-null text is also logged at error level. 1 when the
  // reply was made, 0 when the reply object could not be made (the client
  // then gets the allocation-failure text through sendResponse).
  static int sendOperationResponse(long long sequenceNumber, CWySocket socket, unsigned long operation,
                                   unsigned long status, const char* text, int count);
  // Reply 11055 with item 4151 (the bare text, cut to 4,111 characters); a
  // null text sends nothing. 1, or 0 when the reply object could not be made.
  static int sendStatusResponse(long long sequenceNumber, CWySocket socket, const char* text);
  // Reply 11055 with item 11102 ([u32 code][text], length text length + 4,
  // cut to 4,107 characters); a null text sends nothing. 1, or 0 as above.
  static int sendStatusResponse(long long sequenceNumber, CWySocket socket, const char* text, unsigned long code);

  // The sequence number under which the status and progress callbacks
  // answer; -1 (no long operation waits for them) silences them.
  static long long GetClientSequenceNumber() { return m_guiClientSequenceNumber.load(); }
  static void SetClientSequenceNumber(long long sequenceNumber) { m_guiClientSequenceNumber.store(sequenceNumber); }
  static void ResetClientSequenceNumber() { m_guiClientSequenceNumber.store(-1); }
  // A copy of the session holder's socket.
  static CWySocket GetSocketId() { return m_socketId.Get(); }
  // While the configuration lock is held: copies the holder's socket (the
  // server sequence number) into `out` and returns 1; otherwise returns 0
  // and leaves `out` alone.
  static int GetSocket(CWySocket* out);
  static int GetServerSequenceNumber(long long* out);

  // ---- configuration session ----
  // The instance to work on, or null. Null for a null request. With `bNew`
  // false: a request from a socket other than the session holder's (and of
  // a request kind other than 16) is force-closed: it gets the notice
  // 11055/11102 [u32 4][text of 0x240002FA with the last login name] on its
  // own socket, and null. Otherwise the newest cached instance (a new one,
  // with the caller as holder, when the cache is empty). With `bNew` true: a
  // new, not yet initialised instance is put in front and the caller
  // becomes the holder; expired unpinned instances are dropped, and so are
  // unpinned ones that no client can reach any more: their session has
  // ended (unlocked or forced: the instance's terminate flag is set; or the
  // holder's connection closed) and they are older than the instance just
  // superseded, which stays one more session. Every instance handed out has
  // its expiry renewed.
  static ZQMACMediaConfig* GetCurrentMediaConfig(MessageInfo* request, bool bNew);
  // The same, and pins the instance handed out (under the session lock, so
  // no pruning can come between). The pin is released first.
  static ZQMACMediaConfig* GetCurrentMediaConfig(MessageInfo* request, bool bNew, MediaConfigPin& pin);
  // The newest cached instance without making one and without the
  // force-close test, pinned into `pin`; null when the cache is empty.
  static ZQMACMediaConfig* GetNewestMediaConfig(MediaConfigPin& pin);
  // The client on `socket` has gone (the host calls this before it closes
  // the descriptor). When it holds the session, the session forgets it: no
  // later client that gets the same descriptor number is taken for the
  // holder, and its instance is dropped as one whose session has ended. The configuration lock itself stays as it is:
  // held until it is unlocked or forced.
  static void ConnectionClosed(CWySocket socket);

  // One-time initialisation of the frame; runs once however many threads
  // call it. Returns 1.
  static int Initialize();

  // The login name of the user who last forced the configuration lock.
  static void SetLastLoginName(const char* loginName);
  static std::string GetLastLoginName();

  // The session lock (see the top of this file). Recursive; hold it only
  // around short work: the callbacks never wait for it.
  class SessionLock {
   public:
    SessionLock();
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

   private:
    FXNamedMutex m_mutex;
  };
  static constexpr const char* kSessionMutexName = "EvMMConfigMgr::GetCurrentMediaConfig";

  // ---- configuration lock ----
  // Lock operations, the same in both forms.
  static constexpr unsigned long kLockOpUnlock = 0;         // unlock, refused while a detected library is unconfigured
  static constexpr unsigned long kLockOpLock = 1;           // lock
  static constexpr unsigned long kLockOpUnlockNoCheck = 2;  // unlock without that test
  static constexpr unsigned long kLockOpForceLock = 3;      // take the lock over from its holder
  // Message id (and class key) of the XML form's request.
  static constexpr unsigned long kLockUnlockXmlMessageId = 0x0DF9BE39;

  // The element-stream form: `firstWord` of the request is the rights
  // argument, `elementCount` the lock operation. Answers with one status
  // reply (sendResponse): 0 failure, 1 success, 2 unlock refused, 3 held by
  // another user; an unknown operation is not answered. Returns 1 or 0 to
  // the host. `serverSequenceNumber` is stored with the lock; with
  // `bHonourLock` false a lock request takes the lock over without notice.
  int LockMMConfiguration(MessageInfo* request, long long serverSequenceNumber, bool bHonourLock);
  // The XML form: reads EVGui::MMConfigurationLockUnlockReq from `xml` and
  // writes ZQGui::GenericResp (code 0, or -1 with a text) back into it;
  // `xml` is emptied when no response can be written (also for a null
  // request). Always returns 0. Both forms share one state, and lock
  // operations of either form never run at the same time.
  int OnMsgLockUnlockMMConfigurationXML(MessageInfo* request, std::string& xml);
  // True when the media-management parameter "MMS2_CONFIG_CHECK_USER_MA_RIGHT"
  // reads without error and is not 0: rights are then checked per media
  // agent, and the lock skips its own rights check. Reads the database on
  // every call.
  static bool doMACheck();

  // ---- storage pools ----
  // Shares the media agents of mount path `mountPathId` into the storage
  // pools that use it through the archive manager, and writes one audit
  // record (operation 0x540001EF, one parameter 0x5500056F per media agent
  // added). True on success; false with the archive manager's code and
  // text in `errorCode` and `errorText` (no audit record then).
  // `controllerInfo` goes to the archive manager unchanged.
  static bool AddMediaAgentToStoragePool(int mountPathId, unsigned long locale, unsigned long userId,
                                         int& errorCode, std::string& errorText, std::string controllerInfo);

  // ---- named library locks ----
  // Named library locks. A key is "LibID<library id>" or "MAID<media agent id>";
  // the lock is shared by every thread and process of the server.
  //
  // Takes the lock of the key, waiting while another holder has it. Null when
  // the lock cannot be made (or the key does not fit the lock name).
  static MDLock* lockConfigLibrary(const char* key);
  // Releases and deletes the lock and nulls the handle; a null handle is left alone.
  static void unlockConfigLibrary(MDLock*& handle);
  // True when some holder has the lock of the key right now.
  static bool isConfigLibraryLocked(const char* key);

  // The edition parameter "Ostravel" of the global parameters, 0 when absent.
  int isOstravel();

  // ---- libraries (mmconfig/EvMMConfigMgrLibraries.cpp) ----
  // Reply 11002: the configuration-wide items, then handle (11003) and
  // record of every shown tape or optical library and every shown disk
  // library, until the configuration's terminate flag is set. An empty
  // block for a client whose session was taken over.
  bool onMsgGetMMLibraries(MessageInfo* request);
  // Reply 11002 with the record of the library whose handle is in the
  // first fixed field; an empty block for any other handle.
  bool onMsgGetMMLibraryProperties(MessageInfo* request);
  // The workers: they add items to the reply begun by the handlers, and
  // send nothing for an object the configuration does not hold. True.
  bool lookupMMLibraries(MessageInfo* request, ZQMACMediaConfig* config);
  bool lookupMMLibraryProperties(MessageInfo* request, ZQMACLms* library, ZQMACMediaConfig* config);
  bool lookupMMMagneticLibraryProperties(MessageInfo* request, unsigned long unused, ZQMACMagLib* library,
                                         ZQMACMediaConfig* config);

  // ---- control request (mmconfig/EvMMConfigMgrControl.cpp) ----
  // The multi-operation Set: each record (element 4001) re-reads or
  // replaces the session's instance, aborts a long operation, or acts on
  // the object of element 11003 (configure it, run its long operation with
  // progress to the session holder, ...); one operation response per
  // record. False after an answered failure (the request ends there) and
  // for a null request; true otherwise, also after "Close" and after the
  // drive-use warning, which ends the request.
  bool onMsgSetMMControl(MessageInfo* request);

  // ---- class-wide state ----
  // The cache, newest first; under the session lock only.
  static std::list<MediaConfigContainer> m_tMediaConfigList;
  // The session holder: the client for which the newest instance was made.
  // Written under the session lock.
  static EvSessionSocket m_socketId;
  static std::atomic<unsigned long> m_ulUserId;
  // The configuration lock: 1 while held, with the sequence number given
  // with it.
  static std::atomic<unsigned long> m_ulLockedMMConfig;
  static std::atomic<long long> m_serverSequenceNumber;
  // Sequence number of the status and progress callbacks; -1 = silent.
  static std::atomic<long long> m_guiClientSequenceNumber;
  static std::atomic<bool> m_initialized;
  static std::atomic<bool> m_bInitLogFile;
  static EvDebugFileInstance m_libHandlerLogFileInstance;
  // Media agents chosen for detection; kept by the detection handlers.
  static std::list<std::string> m_detectMediaAgentList;

 private:
  // GetCurrentMediaConfig, pinning into `pin` when one is given.
  static ZQMACMediaConfig* currentMediaConfig(MessageInfo* request, bool bNew, MediaConfigPin* pin);
};

// Keeps one cached instance from being pruned while a handler uses it
// (see the top of this file). Not copyable; releases at the end of scope.
class MediaConfigPin {
 public:
  MediaConfigPin() = default;
  // Pins `config` when it is a cached instance; otherwise the pin stays empty.
  explicit MediaConfigPin(ZQMACMediaConfig* config);
  ~MediaConfigPin();
  MediaConfigPin(const MediaConfigPin&) = delete;
  MediaConfigPin& operator=(const MediaConfigPin&) = delete;

  // Releases what was pinned, then pins `config`; false (pin empty) when
  // `config` is not a cached instance.
  bool pin(ZQMACMediaConfig* config);
  void release();
  ZQMACMediaConfig* get() const { return m_config; }
  explicit operator bool() const { return m_config != nullptr; }

 private:
  friend class EvMMConfigMgr;
  // Under the session lock: pins the entry.
  void attachLocked(MediaConfigContainer& entry);

  ZQMACMediaConfig* m_config = nullptr;
};

// Size of g_sLastLoginName: a login name of up to 1,024 characters.
inline constexpr std::size_t kLastLoginNameSize = 1025;
// The login name of the user who last forced the configuration lock; write
// it with EvMMConfigMgr::SetLastLoginName.
extern char g_sLastLoginName[kLastLoginNameSize];
// Progress counters of operation 50 (the control request's steps).
extern std::atomic<uint32_t> g_ulSteps;
extern std::atomic<uint32_t> g_ulTotalSteps;

// Status callback of the media-configuration library: while a long
// operation waits for them (client sequence number not -1) and the holder's
// socket is valid, a non-empty text goes to the holder as reply 11055 with
// item 11102 [u32 code][text].
void sendStatusResponse(const std::string& text, int code);
// Progress callback: reply 1017 with item 4001 (operation) and item 2036
// (value) to the holder under the same conditions. Operations 47 and 105
// send the value; 50 counts one step and sends steps / total * 25 (single
// precision, truncated; the value itself while the total is 0); any other
// operation sends nothing.
void sendProgressResponse(int value, int operation);
