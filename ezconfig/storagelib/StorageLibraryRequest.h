// The working record of one storage-library request
// (EvMMConfigMgr::onMsgConfigStorageLibrary): the request and response
// messages, the values read from the request and resolved from names, the
// prepared credentials, the cloud storage provisioned for it, the audit
// record, the named library lock, and the answer.
//
// The frame (ezconfig/storagelib/EvMMConfigMgrStorageLibrary.cpp) fills it through
// admission and preparation (ezconfig/storagelib/StorageLibPrepare.cpp), hands it to
// the operation of the request's code, and completes the request from it.
// An operation reads and changes the working values, sets the answer on
// failure (fail) and reports its outcome (StorageLibOutcome). The record
// releases a lock still held when it goes, so no path leaves one behind.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "ezconfig/RequestLibraryLock.h"
#include "frame/EvGuiAudit.h"
#include "platform/cloud/AMFerrane.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/StorageLibraryMessages.h"

class ZQMACMediaConfig;
namespace tktran {
class StoreStep;
}
struct MessageInfo;

namespace tkezconfig {

// Operation codes of the request (tag 43), each a single bit.
enum StorageLibOperation : long long {
  kOpCreateLibrary = 1,
  kOpDeleteLibrary = 2,
  kOpAddMountPath = 4,
  kOpMountPathProperties = 8,
  kOpDeleteMountPath = 16,
  kOpModifyLibrary = 32,
  kOpShareMountPath = 64,
  kOpUnshareMountPath = 128,
  kOpCreateDevice = 256,
  kOpDriveMaintenance = 512,
  kOpForceDeleteMountPath = 1024,
  kOpVaultLock = 4096,
  kOpForceDeleteLibrary = 8192,
  kOpAddMountPathShared = 16384,
};

// How an operation ended.
enum class StorageLibOutcome {
  kSuccess,             // the success response is filled and answered
  kFailure,             // the answer's code and text are set
  kForceDeleteSuccess,  // answered with the success response, left unfilled
};

struct StorageLibResult {
  StorageLibOutcome outcome = StorageLibOutcome::kSuccess;
  // The operation made a library or a mount path: cloud storage provisioned
  // for the request is then in use and stays, whatever the outcome.
  bool created = false;
};

// Sizes of the prepared credential buffers (terminator included).
inline constexpr std::size_t kUserNameBufferSize = 2048;
inline constexpr std::size_t kPasswordBufferSize = 1024;

struct StorageLibraryRequest {
  explicit StorageLibraryRequest(MessageInfo& record);
  ~StorageLibraryRequest();
  StorageLibraryRequest(const StorageLibraryRequest&) = delete;
  StorageLibraryRequest& operator=(const StorageLibraryRequest&) = delete;

  // The request as the host gave it, its locale and when it started.
  MessageInfo& record;
  unsigned long locale = 0;
  long startTime = 0;

  // Messages.
  EVGui::ConfigureStorageLibraryReq request;
  EVGui::ConfigureStorageLibraryResp response;
  App::FerraneStorageContainer container;
  // The two descriptions inside `request` (valid while it is not read again).
  CNMessageBase* library = nullptr;
  CNMessageBase* second = nullptr;

  // The answer: 0 until a failure sets -1 (or an operation's own code).
  long long code = 0;
  std::string text;
  // Sets the answer's code and text.
  void fail(const std::string& failureText, long long failureCode = -1) {
    code = failureCode;
    text = failureText;
  }

  // Working values.
  long long operation = 0;
  int libraryId = 0;
  int mediaAgentId = 0;
  int secondMediaAgentId = 0;
  int mountPathId = 0;
  int mountPathType = 0;
  int libraryTypeId = 0;
  int deviceId = 0;
  int storageVendorType = 0;
  int distributedStorageId = 0;
  int provisionedStorageType = 0;
  std::string libraryName;
  std::string secondLibraryName;
  std::string mediaAgentName;
  std::string secondMediaAgentName;
  std::string mountPathName;
  std::string secondMountPathName;
  std::string autoConfigText;  // tag 48
  std::string serialNumber;    // upper-cased by the create operation
  std::string deviceAliasName;
  std::string deviceName;

  // Prepared credentials (NUL-terminated, within the buffer sizes above).
  std::string userName;
  std::string password;
  std::string secondUserName;
  std::string secondPassword;

  // The request's own media-configuration model, made by the preparation.
  std::unique_ptr<ZQMACMediaConfig> config;
  // The cloud-storage service of this request.
  AMFerrane ferrane;
  // The audit record; its entity is the library id as sent.
  EvGuiAudit audit{nullptr};

  // The named library lock, released when the record goes.
  RequestLibraryLock lock;
};

// Completes the request into `xml` and releases its lock: a success answers
// EVGui::ConfigureStorageLibraryResp (with the description filled from the
// working values, unless it is a force delete's), a failure EVGui::GenericResp
// with the code and text (code -1 when the failure carried 0), after
// deleting the cloud storage provisioned for a create or an add that made
// nothing. `xml` is emptied when the answer cannot be written.
void completeStorageLibRequest(StorageLibraryRequest& work, const StorageLibResult& result, std::string& xml);

// The writes of one operation as one change, so that a refusal after some
// of them keeps none: begin() opens a transaction of the request's thread
// (every write of the thread joins it, the model's included), commit()
// keeps it, and a change that goes uncommitted is rolled back with the
// objects the request's model made for it (the model goes too). The
// model's reads belong before begin(): a read inside a transaction cannot
// build on what earlier reads kept and reads every row. begin() and
// commit() set the answer when they fail.
class OperationChange {
 public:
  OperationChange(StorageLibraryRequest& work, const char* tag);
  ~OperationChange();
  OperationChange(const OperationChange&) = delete;
  OperationChange& operator=(const OperationChange&) = delete;

  bool begin();
  bool commit();

 private:
  StorageLibraryRequest& m_work;
  const char* m_tag;
  std::unique_ptr<tktran::StoreStep> m_step;
};

// Whether the request's media agent may be used as to its power: kUnread
// when its power state cannot be read, kPoweredOff when the cloud VM
// management powered it off; each logged under `tag`. The caller refuses
// with its own text.
enum class MediaAgentPower { kUsable, kUnread, kPoweredOff };
MediaAgentPower mediaAgentPower(const StorageLibraryRequest& work, const char* tag);

// Shared by the operations that deconfigure a whole library
// (StorageLibDeletion.cpp): the model's deconfiguration of the request's
// library (false with the model's reason logged and in `reason`), and its
// audit record (0x54000070 with the library's name).
bool deconfigureLibrary(StorageLibraryRequest& work, std::string& reason);
void auditLibraryDeconfigured(unsigned long userId, const std::string& libraryName);

}  // namespace tkezconfig
