// The working record of one replication-store library request
// (EvMMConfigMgr::onMsgConfigRPStoreLibrary): the request and response
// messages, the values the front read from the request and resolved from
// names, the prepared credentials, the request's own configuration model,
// the named library lock, and the answer.
//
// The front (ezconfig/rpstore/EvMMConfigMgrRPStore.cpp) fills it, hands it to the
// operation of the request's code, and answers from it. An operation reads
// the working values, fills `response` on success and calls refuse or fail
// on failure. The record releases a lock still held when it goes, so no path
// leaves one behind.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "ezconfig/RequestLibraryLock.h"
#include "frame/CWyError.h"
#include "platform/xml/RPStoreMessages.h"

class DBtran;
class MMTableAccess;
class ZQMACMediaConfig;
struct MessageInfo;

namespace tkezconfig {

// Operation codes of the request (tag 4).
enum RPStoreOperation : long long {
  kRPStoreCreate = 1,
  kRPStoreDelete = 2,
  kRPStoreUpdate = 4,
  kRPStoreGet = 8,
  kRPStoreGetCopy = 16,
  kRPStoreAddCopy = 32,
  kRPStoreCreateWithCopy = 64,
};

// The log tag of the request and of its operations.
inline constexpr const char* kRPStoreTag = "EvMMConfigMgr::onMsgConfigRPStoreLibrary";
// Catalogue text of a store or library step that failed.
inline constexpr unsigned long kTextRPStoreFailed = 0x240001BE;
// Catalogue text of a block-level replication copy that was not made.
inline constexpr unsigned long kTextReplicationCopyFailed = 0x24000141;

struct RPStoreRequest {
  explicit RPStoreRequest(MessageInfo& record);
  ~RPStoreRequest();
  RPStoreRequest(const RPStoreRequest&) = delete;
  RPStoreRequest& operator=(const RPStoreRequest&) = delete;

  // The request as the host gave it, its locale and when it started.
  MessageInfo& record;
  unsigned long locale = 0;
  long startTime = 0;

  EVGui::RPStoreLibraryReq request;
  EVGui::RPStoreLibraryResp response;
  // The store part and the library part inside `request` (valid while it is
  // not read again; an absent part reads as empty).
  CNMessageBase* store = nullptr;
  CNMessageBase* library = nullptr;
  long long operation = 0;

  // The answer: success until refuse or fail.
  bool failed = false;
  std::string text;
  // Answers -1 with the text.
  void fail(const std::string& failureText) {
    failed = true;
    text = failureText;
  }
  // Answers -1 with catalogue text `id` in the request's locale.
  void refuse(unsigned long id, const std::vector<std::string>& arguments = {});

  // Working values: from the library part, names resolved by the front.
  int mediaAgentId = 0;
  int libraryId = 0;
  int mountPathId = 0;
  std::string libraryName;
  std::string mountPath;
  std::string mediaAgentName;
  std::string deviceAliasName;
  std::string deviceName;
  int deviceId = 0;
  // Prepared credentials: the user name with the encrypted proxy password,
  // the password plain (creating operations) or encrypted.
  std::string userName;
  std::string password;

  // The request's own configuration model, made by the front.
  std::unique_ptr<ZQMACMediaConfig> config;

  // The named library lock ("MAID<media agent id>").
  RequestLibraryLock lock;

  // Reads a number of the store part or the library part.
  long long storeNumber(const tkxml::FieldDef& field) const;
  long long libraryNumber(const tkxml::FieldDef& field) const;
  std::string libraryText(const tkxml::FieldDef& field) const;
};

// The code text of a table-access object's last failure (for the logs).
std::string tableErrorText(const MMTableAccess& access);

// A list read through the table access, released with the access class's
// DeleteList on every path.
template <class Row, class Access>
struct TableList {
  Row* rows = nullptr;
  int count = 0;
  TableList() = default;
  TableList(const TableList&) = delete;
  TableList& operator=(const TableList&) = delete;
  ~TableList() {
    if (rows != nullptr) Access::DeleteList(rows, __FILE__, __LINE__);
  }
};

// Stores the store part's off-peak schedule (field 10, serialised) as the
// property "OffPeak Schedule" of store `rpStoreId` in `tran`; a store part
// without a schedule stores nothing. Success, error 71 (the schedule does not
// serialise) or error 5 (the property was not saved), each with its text.
CWyError WriteRpStoreOffPeakScheduleInfo(EVGui::RPStoreLibraryInfo& store, int rpStoreId, DBtran& tran);

// ---- operations (one function each; the front holds the lock) ----
// 1 and 64: a new replication-store library, and for 64 a block-level
// replication copy of a storage policy on it (ezconfig/rpstore/RPStoreCreate.cpp).
void rpStoreCreateLibrary(RPStoreRequest& work);
// 32: a block-level replication copy of a storage policy on the library
// (ezconfig/rpstore/RPStoreReplicationCopy.cpp).
void rpStoreAddReplicationCopy(RPStoreRequest& work);
// 2: a replication-store library with its mount paths and stores, or the
// one mount path the request names (ezconfig/rpstore/RPStoreDelete.cpp).
void rpStoreDeleteLibrary(RPStoreRequest& work);
// 8: the stores of one store or of one library, with the library; 16: the
// block-level replication copy of a storage policy (ezconfig/rpstore/RPStoreGet.cpp).
void rpStoreGet(RPStoreRequest& work);
void rpStoreGetReplicationCopy(RPStoreRequest& work);
// 4: the library's stores (or the one named) and the library as the update
// mask selects, in one transaction, then the pairs of each changed store
// told (ezconfig/rpstore/RPStoreUpdate.cpp).
void rpStoreUpdate(RPStoreRequest& work);

// Tells the block-level replication pairs of store `rpStoreId` of its new
// configuration, through each head proxy's replication controller: success,
// or error number 8 when the pairs could not be read or any head proxy or
// group could not be told (the others are told all the same).
CWyError NotifyBlrSvcOfRpStoreUpdate(int rpStoreId);
// The mangled network host name of client `clientId`, by which its
// replication controller is reached: success, or error number 8 when the
// client has none.
CWyError FindHeadProxyMangledName(int clientId, std::string& name);

}  // namespace tkezconfig
