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
//  - The cache (m_tMediaConfigList), the holder's socket and user id are
//    changed only under the session lock held exclusively (SessionLock;
//    recursive). Handing out the newest instance to its holder (or to a
//    request of the exempt kind) and pinning change nothing but an entry's
//    expiry and pin count, which are atomics: they share the session lock,
//    so that consoles reading at once never wait for one another.
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
// the newest cached instance. Whenever a new instance is made, the cache
// drops the older ones nobody reaches any more (all but the one just
// superseded) and that one once it has not been handed out for 7,200
// seconds; a closing connection takes its older instances with it. So a
// handler that works on an instance for long (detections, the control
// request, long listings) pins it while it uses it:
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
#include <map>
#include <string>
#include <vector>

#include "frame/CWySocket.h"
#include "frame/EvDebugFileInstance.h"
#include "frame/FXLockableResource.h"
#include "frame/MediaConfigContainer.h"
#include "platform/reply/EvReturnData.h"
#include "platform/xml/EVGuiMessages.h"

class DBtran;
class MDLock;
class ZQMACMediaConfig;
class ZQMACLms;
class ZQMACMediaAgent;
class ZQMACInterface;
class ZQMACMagLib;
class MediaConfigPin;
struct MessageInfo;
class EvGuiAudit;
class CNMessageBase;
struct MMLibrary_t;
namespace tkxml {
class MessageList;
}

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

// ---- XML dispatch and storage libraries (ezconfig/) ----
namespace tkezconfig {
struct StorageLibraryRequest;
struct StorageLibResult;
struct MountPathShareWork;
}  // namespace tkezconfig
// A backup that a forced mount-path deletion removed with the content: the
// job id (the value the audit shows) and four values carried unchanged.
struct MMDeletedJob {
  int jobId = 0;
  int appId = 0;
  int archGroupId = 0;
  int copyId = 0;
  int mediaId = 0;
};
// How much a mount-path deletion removes.
enum HardDeleteLevel : int {
  kHardDeleteMountPath = 1,  // one mount path
  kHardDeleteLibrary = 2,    // the whole library
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
  // becomes the holder; unpinned instances that no client can reach any
  // more are dropped: every one older than the instance just superseded
  // (requests are handed the newest only), and that one once it has
  // expired. Every instance handed out has its expiry renewed.
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
  // holder. Every instance made for it is marked ended; those behind the
  // newest that no handler has pinned are freed at once. The configuration
  // lock itself stays as it is: held until it is unlocked or forced.
  static void ConnectionClosed(CWySocket socket);

  // The session holder as it stands: a lock takes it before it starts a new
  // session, so that a lock that could not read the configuration can leave
  // the session as it found it (WithdrawSession).
  struct SessionHolder {
    CWySocket socket;
    unsigned long userId = 0;
    // Which connection on that descriptor number: how many had closed on
    // it before (numbers are reused, connections are not).
    unsigned long long connection = 0;
  };
  static SessionHolder CurrentHolder();
  // A lock that could not read the configuration withdraws the session it
  // started for `request` with the instance `config`: a connection holds a
  // session only after a lock that read the configuration, so that no
  // change is made on an instance that was never read. The instance leaves
  // the cache (put last, to be pruned, while a handler still uses it) and
  // the holder is `previous` again while that holder's connection is open,
  // else nobody. Nothing changes once another session has started. Call it
  // with no pin of your own on `config`.
  static void WithdrawSession(const MessageInfo& request, const ZQMACMediaConfig* config,
                              const SessionHolder& previous);
  // True when the client of `socket` has closed its connection: an answer
  // can no longer reach it. False for a connection that is open (or that is
  // no socket this process can ask).
  static bool ConnectionGone(CWySocket socket);
  // The host could not write the answer of the XML request it has just
  // served on `socket`: a lock that request granted is released again, as
  // the element-stream form releases one whose answer it could not send.
  static void AnswerLost(CWySocket socket);

  // One-time initialisation of the frame; runs once however many threads
  // call it. Returns 1.
  static int Initialize();

  // The login name of the user who last forced the configuration lock.
  static void SetLastLoginName(const char* loginName);
  static std::string GetLastLoginName();
  // The login name a force-close notice names: the user who last forced
  // the lock or, while nobody has forced it, the user holding the session
  // (the one whose session the requester is not in), so that the notice
  // never names nobody.
  static std::string TakenOverBy();
  // True where nobody held the configuration (a host on which no session
  // was taken): no connection holds the session, no session was started for
  // a user, and nobody forced the lock, so that a refusal has nobody to
  // name. Call it without the session lock.
  static bool NobodyHeldTheConfiguration();
  // A user's login name from the host services; empty for an unknown user.
  static std::string LoginNameOf(unsigned long userId);

  // The session lock held exclusively (see the top of this file).
  // Recursive; hold it only around short work: the callbacks never wait for
  // it. A thread that shares the lock must not take it exclusively.
  class SessionLock {
   public:
    SessionLock();
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;
  };

  // ---- configuration lock ----
  // Lock operations, the same in both forms.
  static constexpr unsigned long kLockOpUnlock = 0;         // unlock, refused while a detected library is unconfigured
  static constexpr unsigned long kLockOpLock = 1;           // lock
  static constexpr unsigned long kLockOpUnlockNoCheck = 2;  // unlock without that test
  static constexpr unsigned long kLockOpForceLock = 3;      // take the lock over from its holder
  // Message id (and class key) of the XML form's request.
  static constexpr unsigned long kLockUnlockXmlMessageId = EVGui::MMConfigurationLockUnlockReq::kClassHash;

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

  // ---- XML dispatch and storage libraries (ezconfig/) ----
  // The XML entry of the host: runs the handler of `messageId` (compared as
  // a whole 64-bit value) on `xml`, which holds the request on entry and the
  // response on return. An id without a handler leaves `xml` as it came.
  // -1 when `xml` is empty afterwards, else 0. The three values before the
  // message id are not read.
  long long HandleMMConfigMgrXmlMsg(MessageInfo* request, unsigned long, unsigned long, unsigned long,
                                    unsigned long messageId, std::string& xml);
  // EVGui::ConfigureStorageLibraryReq (0x0D130098): one operation on a
  // storage library; answers EVGui::ConfigureStorageLibraryResp, or
  // EVGui::GenericResp with code -1 and a text; `xml` is emptied when no
  // answer can be written. Always 0.
  int onMsgConfigStorageLibrary(MessageInfo* request, std::string& xml);
  // The preparation shared by the storage-library operations: the request's
  // model, credentials, mount path, device and cloud storage. False (the
  // answer set) when the request is refused.
  bool StorageLibPrepare(tkezconfig::StorageLibraryRequest& work);
  // One member per storage-library operation.
  using StorageLibOperationFn = tkezconfig::StorageLibResult (EvMMConfigMgr::*)(tkezconfig::StorageLibraryRequest&);
  // ---- library operations (ezconfig/storagelib/StorageLib{Create,Delete,Modify}Library.cpp) ----
  // Creates a library on the media agent from a mount path, a serial number
  // or a device alias (operation 1).
  tkezconfig::StorageLibResult StorageLibCreateLibrary(tkezconfig::StorageLibraryRequest& work);
  // Removes a library, or only the parts of one media agent (operation 2).
  tkezconfig::StorageLibResult StorageLibDeleteLibrary(tkezconfig::StorageLibraryRequest& work);
  // Changes a library's name, thresholds, attributes, writers, hybrid-cloud
  // pairing and active controller (operation 32).
  tkezconfig::StorageLibResult StorageLibModifyLibrary(tkezconfig::StorageLibraryRequest& work);
  // ---- end of library operations ----
  // ---- device, vault-lock and drive operations (ezconfig/storagelib/StorageLib{CreateDevice,VaultLock,DriveMaintenance}.cpp) ----
  // Gives the media agent a volume of a disk device, found by name or made
  // as a new network disk device (operation 256).
  tkezconfig::StorageLibResult StorageLibCreateDevice(tkezconfig::StorageLibraryRequest& work);
  // Locks the vault of the first volume of a mount path's or a device's
  // disk device (operation 4096).
  tkezconfig::StorageLibResult StorageLibSetVaultLock(tkezconfig::StorageLibraryRequest& work);
  // Records a drive of the library as replaced, cleaned or fixed (operation 512).
  tkezconfig::StorageLibResult StorageLibDriveMaintenance(tkezconfig::StorageLibraryRequest& work);
  // For every device path of the library's mount paths, the data-server
  // type of its access value into `types` under its device id (a later row
  // for a device replaces an earlier one). 1 when every list and fetch
  // succeeded, else 0; entries written before a failure stay. The two
  // numbers are not used. No request handler calls it.
  static int CheckAndGetDataServerTypeConfiguredInLibrary(int libraryId, unsigned long long, unsigned long long,
                                                          std::map<int, int>& types);
  // ---- end of device, vault-lock and drive operations ----
  // ---- mount-path operations (ezconfig/mountpath/EvMMConfigMgrMountPath*.cpp) ----
  // Adds a mount path for the request's media agent (operations 4, 16384).
  tkezconfig::StorageLibResult StorageLibAddMountPath(tkezconfig::StorageLibraryRequest& work);
  // Shares (64) or unshares (128) a mount path with the second media agent,
  // or changes its properties and device path (8).
  tkezconfig::StorageLibResult StorageLibShareMountPath(tkezconfig::StorageLibraryRequest& work);
  // The property steps of operation 8; false (the answer set) when refused.
  bool StorageLibMountPathProperties(tkezconfig::StorageLibraryRequest& work, tkezconfig::MountPathShareWork& share);
  // Audit records of mount paths: added (operation 0x5400006E; `mountPath`
  // becomes "[<media agent>] <mount path>"; the credential name may be
  // null) and deleted (operation 0x5400006F, the library as entity, the
  // mount paths in ascending id order, and with `force` the level).
  static void auditMountPathAdd(unsigned long userId, const std::string& libraryName, std::string& mountPath,
                                const std::string& mediaAgentName, const char* credentialName);
  static void auditMountPathDel(unsigned long userId, int libraryId, const std::string& libraryName,
                                std::map<int, std::string> mountPaths, HardDeleteLevel level, bool force);

  // ---- mount-path deletion (ezconfig/mountpath/MountPathDeletion*.cpp,
  // ezconfig/storagelib/StorageLibDeletion.cpp) ----
  // Deletes one mount path (level 1) or every mount path of the library
  // (level 2; the id then only goes to the kill step). A forced deletion
  // (force, and the parameter MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG 1 or
  // unset) takes the mount paths offline, kills their jobs, checks each,
  // deletes its content (pre-phase), deconfigures it, and starts
  // verification jobs afterwards (post-phase); a failure sets the mount
  // paths it took offline and did not delete online again. 0, or -1 or the
  // client object's result with `errorCode` and `errorText` set.
  static int DeleteMountPath(int mountPathId, std::string mountPathName, int libraryId, std::string libraryName,
                             unsigned int userId, int localeId, bool force, HardDeleteLevel level, int& errorCode,
                             std::string& errorText);
  // Kills the jobs running on the mount path (or the library, level 2) and
  // waits until they have left the job table: 0 (with the killed jobs as
  // "1,2,3" in `killedJobs` when there were any), 804 (the central server's
  // host is unknown) or 44055 (the job controller failed or the jobs stayed).
  static int KillRunningJobsForMountPath(int mountPathId, int libraryId, HardDeleteLevel level,
                                         std::string& killedJobs);
  static void AuditKilledJobsForForceDeleteMP(unsigned int userId, int libraryId, std::string libraryName,
                                              std::map<int, std::string> mountPaths, HardDeleteLevel level,
                                              std::string killedJobs);
  // Whether the mount path needs the forced treatment: 0 with `code` 0 (no)
  // or the procedure's code, message and store list; 261 when it cannot tell.
  static int CheckMountPathCanDelete(int mountPathId, int libraryId, int localeId, int& code, std::string& message,
                                     std::string& storeList);
  // The pre-phase of one mount path, in one transaction: content deletion
  // (code bit 2) with its audit and the stores' marks, the physical-cleanup
  // record (bit 1 clear). 0, 261, 290, 254 or the content deletion's code.
  static int DoPrePhaseForceDeleteMountPath(int libraryId, int mountPathId, HardDeleteLevel level, unsigned int userId,
                                            std::string libraryName, std::string mountPathName, int checkCode,
                                            std::string storeList);
  static int DeleteMountpathContent(int mountPathId, std::vector<MMDeletedJob>& jobs, DBtran& tran);
  static void AuditMountPathDeleteContent(unsigned int userId, int libraryId, std::string libraryName,
                                          std::string mountPathName, HardDeleteLevel level,
                                          std::vector<MMDeletedJob> jobs, DBtran& tran);
  static int MarkDDBBadAndRemoveVolumeRef(int mountPathId, std::string storeList, DBtran& tran);
  static int PopulateMountPathInfoForPhysicalCleanup(int mountPathId, DBtran& tran);
  // Starts one verification job per deduplication database of the deleted
  // mount paths and audits them; the last row-read code (100 after the last).
  static int DoPostPhaseForceDeleteMountPath(std::map<int, std::string> mountPaths, unsigned int userId,
                                             std::string libraryName, HardDeleteLevel level);
  // 0 with `jobId` set, 0xB0001 (no message library), or the code of the
  // request's serialisation or of the task service.
  static int StartDV2Job(int storeId, int copyId, int storagePolicyId, int& jobId, int userId);
  static void AuditSubmittedJobsForForceDeleteMP(unsigned int userId, std::string libraryName,
                                                 std::map<int, std::string> mountPaths, HardDeleteLevel level,
                                                 std::string submittedJobs);
  // Operations 16 and 1024 (delete mount path) and 8192 (force delete
  // library) of the storage-library request.
  tkezconfig::StorageLibResult StorageLibDeleteMountPath(tkezconfig::StorageLibraryRequest& work);
  tkezconfig::StorageLibResult StorageLibForceDeleteLibrary(tkezconfig::StorageLibraryRequest& work);
  // EVGui::CanDeleteLibraryMountPathReq (0x0DF856C0): the deletion check of
  // a mount path, answered EVGui::GenericResp with its code and message.
  int onMsgCanDeleteLibraryMountpath(MessageInfo* request, std::string& xml);
  // Asks the platform to seal a deduplication database of a copy: 0, -1
  // (the request cannot be written) or the adapter's code.
  static int SealSIDBStore(int storeId, int copyId, int storagePolicyId, int value);
  // ---- end of mount-path deletion ----
  // ---- replication-store libraries (ezconfig/rpstore/EvMMConfigMgrRPStore.cpp, RPStore*.cpp) ----
  // EVGui::RPStoreLibraryReq (0x0D64B786): one operation on a
  // replication-store library; answers EVGui::RPStoreLibraryResp, or
  // EVGui::GenericResp with code -1 and a text; `xml` is emptied when no
  // answer can be written. Always 0.
  int onMsgConfigRPStoreLibrary(MessageInfo* request, std::string& xml);
  // (The off-peak schedule writer returns the frame's CWyError, whose name
  // the network sessions' error shares; it is declared with the request's
  // record, ezconfig/rpstore/RPStoreRequest.h, to keep this header free of both.)
  // Gives storage policy `storagePolicyId` a block-level replication copy
  // named `copyName` on the library, a failover candidate for the library's
  // first drive pool on the media agent (0 without one), in one transaction.
  // 0 on success, -1 on any failure (nothing kept).
  static int configBlockLevelReplCopy(int storagePolicyId, int libraryId, int mediaAgentId, std::string copyName);

  // ---- disk-library setup wizard (ezconfig/diskwizard/EvMMConfigMgrEZMagneticLibrary*.cpp) ----
  // ZQGui::EZConfigureMagneticLibraryReq (0x01000BBC): creates a disk
  // library, adds its first mount path or changes that path's credentials,
  // and sets up its storage policy; answers
  // ZQGui::EZConfigureMagneticLibraryResp, or ZQGui::GenericResp with -1 and
  // a text. No transaction: steps done before a failing one stay.
  int onMsgEZConfigureMagneticLibrary(MessageInfo* request, std::string& xml);
  // ZQGui::EZGetMagneticLibrariesReq (0x01000BBA): marks the media agents of
  // the request shown (all for an empty list; the flags stay) and answers
  // ZQGui::EZGetMagneticLibrariesResp with the first shown disk library that
  // has a mount path and a storage policy. Both always return 0; `xml` is
  // emptied when no answer can be written.
  int onMsgEZGetMagneticLibrary(MessageInfo* request, std::string& xml);
  // ---- end of the disk-library setup wizard ----
  // ---- tape-library setup wizard (ezconfig/tapewizard/EvMMConfigMgrEZTapeLibrary*.cpp) ----
  // ZQGui::EZGetTapeLibrariesReq (0x01000BBF): marks the request's media
  // agents shown, optionally detects on them, and answers
  // ZQGui::EZGetTapeLibrariesResp with the shown tape libraries, their
  // shown drives and policies. Origin 13 lists from a configuration of its
  // own (rights checked), whose handles never resolve later.
  int onMsgEZGetTapeLibrary(MessageInfo* request, std::string& xml);
  // ZQGui::EZConfigureTapeLibraryReq (0x01000BC1): optionally configures the
  // library, then sets its storage policy's retention.
  int onMsgEZConfigureTapeLibrary(MessageInfo* request, std::string& xml);
  // ZQGui::EZConfigureTapeLibraryDrivesReq (0x015845CD): checks rights on
  // the first drive's library, configures the drives of that library, gives
  // the user the library and asks for its default storage policy.
  int onMsgEZConfigureTapeLibraryDrives(MessageInfo* request, std::string& xml);
  // ZQGui::EZSetTapeLibraryAliasNameReq (0x01A8EB4F): renames a listed
  // library or drive. All four answer ZQGui::GenericResp on failure (and
  // but the listing, on success) and return 0.
  int onMsgEZSetTapeLibraryAliasNameReq(MessageInfo* request, std::string& xml);
  // The default storage policy of a tape library (flags 0x4000); the archive
  // manager's result, 0 on success; failures are logged.
  static int CreateDefaultStoragePolicyForTapeLib(int libraryId, std::string libraryName, int userId);
  // ---- end of the tape-library setup wizard ----
  // ---- device paths: texts, audits, hybrid-cloud sharing (ezconfig/devicepath/DevicePath*.cpp,
  // ezconfig/devicepath/HybridCloudAutoShare.cpp) ----
  // Access-type bits of a device path.
  static constexpr int kAccessFirstKind = 2;     // text 0x24000344
  static constexpr int kAccessSecondKind = 4;    // text 0x24000345, only without the first
  static constexpr int kAccessPreferred = 8;     // text 0x24000343 before the kind's text
  static constexpr int kDataServerIp = 16;       // text 0x23000C67
  static constexpr int kDataServerSan = 32;      // text 0x23000C66
  static constexpr int kDataServerIscsi = 128;   // text 0x23000C68
  // The data-server type of an access type: 16, else 32, else 128 (the
  // first of its bits that is set), else 0.
  static void IdentifyDataServerType(int accessType, int& type);
  // For an access type with a data-server type, `text` becomes that type's
  // text in the locale (at most 1,024 bytes); otherwise it stays as given.
  static void getDataServerString(int accessType, std::string& text, unsigned long locale);
  // The access kind's text ("Unknown" without bit 2 or 4), with the
  // preferred text and a blank before it under bit 8; at most 1,023 bytes.
  static std::string getDeviceAccessTypeText(int accessType, unsigned long locale);
  // Both texts empty for equal types; else the access-type texts of each.
  static void getDeviceAccessTypeChangeInfo(int oldType, int newType, std::string& oldText, std::string& newText,
                                            unsigned long locale);
  // Fills, and does not write, the record of sharing (share type 1) or
  // unsharing (3) mount path `mountPathId` with media agent `clientId`:
  // operation 0x5400020E or 0x5400020D (none for another share type), then
  // the library name, the mount path's name (empty when it cannot be read),
  // "[media agent] (path)" and, with a credential name, that name.
  // `pathText` (the device path's folder) is replaced by the data-server
  // type's text when the access type has one. The record's entity is left
  // as the caller set it.
  static void buildAuditForMPShare(int shareType, int accessType, unsigned int userId, EvGuiAudit& audit,
                                   const std::string& libraryName, std::string& pathText, int clientId,
                                   int mountPathId, unsigned long locale, const char* credentialName);
  // One entry of a device-path request for the audit pass: an
  // EVGui::MMDevicePathInfo, and whether it went into the list update.
  struct DevicePathAuditEntry {
    const CNMessageBase* info = nullptr;
    bool accepted = false;
  };
  // The audit pass after a successful device-path list update: one record
  // per accepted entry, in request order (entity: the mount path). Adding
  // and removing are share records; a change (operation 2) is compared with
  // its previous values: `previousValues` holds one EVGui::MMDevicePathInfo
  // per operation-2 entry of the request, accepted or not, in request order.
  // Lookups that fail only empty or replace texts; nothing is reported.
  static void auditDevicePathChanges(const std::vector<DevicePathAuditEntry>& entries,
                                     const tkxml::MessageList& previousValues, const MMLibrary_t& library,
                                     int mountPathId, unsigned int userId, unsigned long locale);
  // Gives the media agents of cloud library `libraryId` the device paths they
  // lack to the devices of its hybrid-cloud disk library: one list update
  // per run of rows of a device. Best effort: every failure is only logged,
  // a failed device does not stop the next, and a path whose folder, user
  // name or password would not fit its record is skipped.
  static void autoShareMAsForHybridDisk(int libraryId);
  // ---- device paths of a mount path (ezconfig/devicepath/EvMMConfigMgrDevicePaths.cpp) ----
  // EVGui::MMDevicePathInfoReq (0x0D9DA735): adds, changes and removes the
  // device paths of one mount path in one list update; answers
  // EVGui::MMDevicePathInfoResp (code 0, or the failure's code and text);
  // `xml` is emptied when no answer can be written. Returns the list
  // update's result (0 when it succeeded or did not run).
  int onMsgDevicePathInfoReq(MessageInfo* request, std::string& xml);
  // Splits a stored cloud user name user!!host[:port]@proxyUser[:proxyPassword]:
  // `userName` keeps the part before the last "!!"; the rest fills host,
  // port, proxy user and proxy password (empty and 0 where absent). A name
  // without "!!" is left alone; one without "@" after it yields no proxy.
  static void GetProxyInfoFromUserName(std::string& userName, std::string& host, int& port, std::string& proxyUser,
                                       std::string& proxyPassword);
  // ---- drive pools, drives and library children (mmconfig/EvMMConfigMgrDrives.cpp) ----
  // Each answers one reply block through the Get wrapper: an empty block
  // for a client whose session was taken over, and for a handle that does
  // not name an object of the kind the request is about. The first fixed
  // field carries the handle; further fixed words are read where said.
  // Reply 11014: the master drive pools of a library (handle + record each).
  bool onMsgGetMMMasterDrivePools(MessageInfo* request);
  // Reply 11014: the record of one master drive pool.
  bool onMsgGetMMMasterDrivePoolProperties(MessageInfo* request);
  // Reply 11017: the drive pools of a master drive pool (u32 at payload
  // position 16 not 0) or of a library (0), handle + record each.
  bool onMsgGetMMDrivePools(MessageInfo* request);
  // Reply 11017: the record of one drive pool.
  bool onMsgGetMMDrivePoolProperties(MessageInfo* request);
  // Reply 11022: the drive paths of a drive pool or drive with their
  // records, or (u32 at payload position 12 = 0xFFFFFFFE) the short list of
  // the drive paths of a library, library child, master pool, pool or drive.
  bool onMsgGetMMDrives(MessageInfo* request);
  // Reply 11022: the full record of one drive path.
  bool onMsgGetMMDriveProperties(MessageInfo* request);
  // Reply 11227: the full record of one drive.
  bool onMsgGetMMDriveDeviceProperties(MessageInfo* request);
  // Reply 11047: a library's controller node (unless it is stand-alone),
  // then its drives (u32 at payload position 16 not 0) or master drive
  // pools (0), then its empty drive bays.
  bool onMsgGetMMLibraryChildren(MessageInfo* request);
  // Reply 11045: the empty drive bays of a library.
  bool onMsgGetMMEmptyDrives(MessageInfo* request);
  // Reply 11224: the drive ids that the ACSLS server reports through one
  // library controller.
  bool onMsgGetDriveIdList(MessageInfo* request);

  // ---- mount paths (mmconfig/EvMMConfigMgrMountPaths.cpp) ----
  // Reply 11027: the mount paths of a disk library, or the record of one
  // mount path; the records are read under gCriticalSectionCTOR.
  bool onMsgGetMMMountPaths(MessageInfo* request);
  bool onMsgGetMMMountPathProperties(MessageInfo* request);

  // ---- detection (mmconfig/detection/EvMMConfigMgrDetection.cpp) ----
  // Replies 11097 and 11099: the library controllers and the drive paths of
  // the media agents chosen for detection (m_detectMediaAgentList), once
  // per time the agent's name was chosen; agents of another installation
  // are left out.
  bool onMsgGetMMDetectedLibraries(MessageInfo* request);
  bool onMsgGetMMDetectedDrives(MessageInfo* request);
  bool lookupMMDetectedLibraries(MessageInfo* request, ZQMACMediaConfig* config);
  bool lookupMMDetectedDrives(MessageInfo* request, ZQMACMediaConfig* config);
  // Reply 11152: the devices detected that could be the drive path,
  // controller or drive whose handle is in the first fixed field; an empty
  // block for any other handle.
  bool onMsgGetMMDetectedDevices(MessageInfo* request);
  bool lookupMMDetectedDevices(MessageInfo* request, ZQMACInterface* object, ZQMACMediaConfig* config);
  // Operation 47 of an element stream (mmconfig/detection/EvMMConfigMgrAutoDetect.cpp):
  // detects devices through the chosen agents or hosts, with progress and
  // status texts to the session holder while it runs.
  bool onMsgMMAutoDetect(MessageInfo* request);
  // Sends a status warning (code 3) for each configuration problem of a
  // detected agent; nothing for null.
  void CheckMediaAgent(ZQMACMediaAgent* agent, MessageInfo* request, ZQMACMediaConfig* config);
  // Operation 47 of an element stream (mmconfig/detection/EvMMConfigMgrExhaustiveDetect.cpp):
  // exhaustive detection over the chosen agents, or of the record's object.
  bool onMsgMMExaustiveDetect(MessageInfo* request);

  // ---- catalogues and media-configuration parameters (mmconfig/EvMMConfigMgrCatalogues.cpp) ----
  // Replies 11050 and 11052: empty blocks.
  bool onMsgGetMMLibraryTypes(MessageInfo* request);
  bool onMsgGetMMDriveTypes(MessageInfo* request);
  // Reply 11070: the drive vendors and models.
  bool onMsgGetMMDriveVendorModelTypes(MessageInfo* request);
  // Reply 11091: the library vendors of the table the u32 at payload
  // position 4 selects.
  bool onMsgGetMMLibraryVendors(MessageInfo* request);
  // Reply 11076: the media types of the library whose id is the u32 at
  // payload position 4; false (an empty block) when they cannot be had.
  bool onMsgGetMMLibraryMediaTypes(MessageInfo* request);
  // Reply 11084: one empty record.
  bool onMsgGetMMMediaConfigInfo(MessageInfo* request);
  // Reply 11081: the serial-number check (process-wide).
  bool onMsgGetMMMediaConfigParam(MessageInfo* request);
  // Operation 3 of an element stream: sets the serial-number check from
  // element 11077 (when it came); one operation response per record.
  bool onMsgSetMMMediaConfigParam(MessageInfo* request);
  // ---- control request (mmconfig/control/EvMMConfigMgrControl.cpp) ----
  // The multi-operation Set: each record (element 4001) re-reads or
  // replaces the session's instance, aborts a long operation, or acts on
  // the object of element 11003 (configure it, run its long operation with
  // progress to the session holder, ...); one operation response per
  // record. False after an answered failure (the request ends there) and
  // for a null request; true otherwise, also after "Close" and after the
  // drive-use warning, which ends the request.
  bool onMsgSetMMControl(MessageInfo* request);
  // ---- hybrid-cloud association check (mmconfig/EvMMConfigMgrHybridCloud.cpp) ----
  // Which cloud libraries cache deduplication metadata on the disk
  // library: true when the database answered, with `associated` set (never
  // cleared: the caller clears it) and their alias names appended to
  // `libraries`, joined by ", ". False when the database failed: its text
  // is appended to `error`; the flag and names hold what the rows read so
  // far gave.
  static bool checkForHybridCloudAssociations(unsigned long libraryId, bool& associated, std::string& libraries,
                                              std::string& error);
  // ---- end of the hybrid-cloud check ----
  // ---- library changes and drag and drop
  // (mmconfig/EvMMConfigMgrLibraryChanges.cpp, EvMMConfigMgrDragDrop.cpp) ----
  // The library Set: each record (element 4001) changes a tape or optical
  // library of the session's instance (3), runs an object's action (12),
  // identifies new media (35), or sets automatic discovery (84) or its
  // schedule (85); one operation response per record, and 35, 84 and 85
  // end the request. False after an answered failure or refusal and for a
  // null request; true otherwise.
  bool onMsgSetMMLibrary(MessageInfo* request);
  // One drag-and-drop gesture (fixed payload: source handle, target handle,
  // drop mode at position 20); a drive or drive path dropped on nothing
  // with a drop mode also configures its library. One operation response
  // of operation 52; false after a failure answer.
  bool onMsgMMDragNDrop(MessageInfo* request);
  // ---- library controllers (mmconfig/EvMMConfigMgrLibraryControllers.cpp) ----
  // Reply 11173: handle and record of each controller of the tape or
  // optical library whose handle is in the first fixed field, or the record
  // of the controller whose handle is there; an empty block for any other
  // handle.
  bool onMsgGetMMLibraryControllers(MessageInfo* request);
  bool onMsgGetMMLibraryControllerProperties(MessageInfo* request);
  // Operation 3 of an element stream: the controller of 11003 takes the
  // SCSI bus of the controller named by 11007; one operation response per
  // record.
  bool onMsgSetMMLibraryController(MessageInfo* request);
  // ---- end of library controllers ----
  // ---- media agents (mmconfig/EvMMConfigMgrMediaAgents.cpp) ----
  // Reply 11072: the media agents the requesting user may configure
  // libraries and drives on; false, after a status-0 answer, when the user
  // may use none.
  bool onMsgGetMMMediaAgents2(MessageInfo* request);
  // Reply 11072: the agents a new software copy manager can go to.
  bool onMsgGetMMSoftwareCMMediaAgents(MessageInfo* request);
  // Reply 11147: the agents that can take a plug-and-play disk of the
  // library whose handle is in the first fixed field.
  bool onMsgGetMMMediaAgentsForLib(MessageInfo* request);
  // Replies 11145 and 11143: the candidates of the library controller or
  // drive path whose handle is in the first fixed field.
  bool onMsgGetMMLibraryCandidates(MessageInfo* request);
  bool onMsgGetMMDriveCandidates(MessageInfo* request);
  // Reply 11156: the library-server names of a host for a library vendor,
  // or every agent usable as a library server (host "ZQ", index 1000).
  bool onMsgGetMMLibraryHosts(MessageInfo* request);
  // Operations 1 (plug-and-play disks for the agents of the request) and
  // 15 (the agents the configuration shows); one operation response per
  // record.
  bool onMsgSetMMMediaAgents(MessageInfo* request);
  // ---- end of media agents ----
  // ---- copy managers (mmconfig/EvMMConfigMgrCopyManagerDevices.cpp) ----
  // Reply 11118: handle and record of each shown copy-manager device, or
  // the record of the device whose handle is in the first fixed field.
  bool onMsgGetMMCMDevices(MessageInfo* request);
  bool onMsgGetMMCMDeviceProperties(MessageInfo* request);
  // Reply 11122: handle and record of each controller of the device whose
  // handle is in the first fixed field, or the record of one controller.
  bool onMsgGetMMCMControllers(MessageInfo* request);
  bool onMsgGetMMCMControllerProperties(MessageInfo* request);
  // Operation 3: renames a device and sets its concurrency limit.
  bool onMsgSetMMCMDevice(MessageInfo* request);
  // Operation 1: adds a software copy manager to the named media agent.
  bool onMsgSetMMCMController(MessageInfo* request);
  // ---- end of copy managers ----

  // ---- drive pools: changes and creation (mmconfig/EvMMConfigMgrPoolChanges.cpp) ----
  // Set master drive pool / drive pool: operation 3 renames the pool of
  // 11003 (8258 / 8260); a drive pool also takes its proxy client host
  // (11019), copy manager (11132) and cost category (11217). One operation
  // response per record; false after an answered failure and for a null
  // request.
  bool onMsgSetMMMasterDrivePool(MessageInfo* request);
  bool onMsgSetMMDrivePool(MessageInfo* request);
  // Add master drive pool (fixed payload: the library's handle) / drive
  // pool (the master pool's handle, the media agent's id at position 12):
  // one operation response of operation 1; false after a failure answer
  // and for a null request.
  bool onMsgAddMasterDrivePool(MessageInfo* request);
  bool onMsgAddDrivePool(MessageInfo* request);
  // ---- end of the drive pools ----

  // ---- disk libraries (mmconfig/EvMMConfigMgrDiskLibraries.cpp) ----
  // Operation 1 creates and stores a disk library (answered with reply
  // 11101 before "Success"); operation 3 changes the alias, low watermark
  // or attribute word of the one of 11003. False after an answered failure
  // and for a null request.
  bool onMsgSetMMMagneticLibrary(MessageInfo* request);
  // ---- end of the disk libraries ----

  // ---- drives (mmconfig/EvMMConfigMgrDriveChanges.cpp) ----
  // Operation 3 changes the drive or drive path of 11003; 12 runs its
  // object action with an audit record. False after an answered failure
  // and for a null request.
  bool onMsgSetMMDrive(MessageInfo* request);
  // ---- end of the drives ----

  // ---- mount paths (mmconfig/EvMMConfigMgrMountPathChanges.cpp) ----
  // Operation 3 changes the credentials (2401, 2402, encrypted) and the
  // name (11041) of the mount path of 11003. False after an answered
  // failure and for a null request.
  bool onMsgSetMMMountPath(MessageInfo* request);
  // ---- end of the mount paths ----

  // ---- DRU hosts (mmconfig/staged/EvMMConfigMgrDRUHosts.cpp) ----
  // Reply 11422: the "none" entry, then id and name of every DRU host.
  bool onMsgGetDRUHostList(MessageInfo* request);
  // Reply 11424: id and name, user name and port of the host whose id is
  // in the element-count field (none for an unknown id), then 2052.
  bool onMsgGetDRUHostProperties(MessageInfo* request);
  // Operations 48 (add), 2 (remove) and 3 (change); one operation response
  // per record; false when a record failed and for a null request.
  bool onMsgSetDRUHost(MessageInfo* request);
  // ---- end of DRU hosts ----

  // ---- archive clusters (mmconfig/staged/EvMMConfigMgrCenteraClusters.cpp) ----
  // Reply 11402: id and name of every cluster.
  bool onMsgGetCenteraClusterList(MessageInfo* request);
  // Reply 11404: the cluster whose id is in the element-count field (none
  // for an unknown id), the shown Centera agents, then 2052.
  bool onMsgGetCenteraClusterProperties(MessageInfo* request);
  // Reply 11404: what the cluster behind the address (text behind the
  // element count) tells the agent whose id is in the element-count field,
  // or 2051 with the reason; then 2052. False when it failed.
  bool onMsgDetectCenteraCluster(MessageInfo* request);
  // Reply 11413: the Centera agents the user may use.
  bool onMsgGetCenteraMediaAgents(MessageInfo* request);
  // Operations 48 (add), 2 (remove) and 3 (change); one operation response
  // per record; false when a record failed and for a null request.
  bool onMsgSetCenteraCluster(MessageInfo* request);
  // ---- end of archive clusters ----

  // ---- disk devices and volumes (mmconfig/disk/EvMMConfigMgrDiskDevices.cpp,
  // EvMMConfigMgrDiskVolumes.cpp, EvMMConfigMgrCloudOperation.cpp) ----
  // Reply 11211: one 11192 [id][text] per disk device that passes the
  // filter (element-count field), or the filter (payload word 12) and the
  // conditions of the disk library whose handle is in the first fixed field.
  bool onMsgGetDiskDeviceList(MessageInfo* request);
  bool onMsgGetDiskDeviceListWithMagLibrary(MessageInfo* request);
  // Reply 11198: the kinds of devices and handle and record of every
  // device, or the record of the device whose handle is in the first field.
  bool onMsgGetDiskDevices(MessageInfo* request);
  bool onMsgGetDiskDeviceProperties(MessageInfo* request);
  // Reply 11199: handle and record of each volume of the device whose
  // handle is in the first fixed field, or the record of one volume.
  bool onMsgGetDiskVolumes(MessageInfo* request);
  bool onMsgGetDiskVolumeProperties(MessageInfo* request);
  // Operation 3: renames the disk device of 11003 and ties it to a DRU host.
  bool onMsgSetDiskDevice(MessageInfo* request);
  // Operations 1 (add a network disk volume), 16 (share a disk with a
  // further media agent) and 3 (change a volume's path and credentials).
  bool onMsgSetDiskVolume(MessageInfo* request);
  // Reply 11841: verifies a cloud or network target built from each record;
  // also serves clients that do not hold the session. True when every
  // record verified.
  bool onMsgCloudOperation(MessageInfo* request);
  // ---- end of disk devices and volumes ----

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
  // Read and written only through mmconfig/detection/DetectAgents.h, which holds its
  // lock: listings of other consoles read it while a detection writes it.
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
