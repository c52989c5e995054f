// One NDMP server change request (EvNASConfigMgr::onMsgSetMMNDMPServer) as
// the element-stream frame walks it: the values of its elements, kept for
// the whole request (a later record inherits what an earlier one set), and
// the four operations with the steps they share.
//
//   tknas::NdmpServerRequest handler(nas);   // nas: the handler object, for the detect reply
//   return tksanvol::runElementStream(request, rules, handler);
//
// Add and update are in nas/ndmpserver/EvNASConfigMgrNDMPServerAdd.cpp, delete and
// detect in nas/ndmpserver/EvNASConfigMgrNDMPServerDelete.cpp, the walk and the shared
// steps in nas/ndmpserver/EvNASConfigMgrNDMPServer.cpp. Internal to nas/.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "frame/SANVolFrame.h"

class DBtran;
class EvEvent;
class EvNASConfigMgr;
class LibNdmpClientAccess;
class MMNDMPHostInfoDB;
struct MMNDMPHostInfo_t;
namespace tktran {
class StoreStep;
}

namespace tknas {

inline constexpr const char* kTag = "EvNASConfigMgr::onMsgSetMMNDMPServer";

// OS types that the changes treat specially.
inline constexpr uint32_t kOsFileSystemAgent = 5;  // proved by a second login
inline constexpr uint32_t kOsAnyNdmp = 10;         // detect accepts what the filer reports
inline constexpr uint32_t kOsNdmpComponent = 12;
inline constexpr uint32_t kOsCentera = 14;  // a NAS client without a filer
inline constexpr uint32_t kOsMediaAgent = 16;
inline constexpr uint32_t kOsNoFilerLogin = 20;
inline constexpr int kClientOsCentera = 55;
inline constexpr uint32_t kDefaultPort = 10000;

// What fits the row's fields.
inline constexpr std::size_t kLoginMax = 1024;
inline constexpr std::size_t kPasswordMax = 2048;
inline constexpr std::size_t kFirmwareMax = 32;

// Statuses of the operation reply.
inline constexpr unsigned long kStatusFailure = 0;
inline constexpr unsigned long kStatusSuccess = 1;
inline constexpr unsigned long kStatusWarning = 2;

// The values of the request's elements with their received marks.
struct NdmpServerFields {
  std::string host;        // 2009, 9032, 11058
  std::string hostString;  // 9032 only
  int32_t clientId = -1;
  std::string login;            // plain
  std::string password;         // stored (encrypted) form
  std::string passwordRefusal;  // why the last password cannot be stored
  std::string currentPassword;  // stored form
  uint32_t osType = 0;
  uint32_t port = 0;
  std::string firmware;
  std::string centeraResource;
  bool hasHost = false;
  bool hasLogin = false;
  bool hasPassword = false;
  bool hasOsType = false;
  bool hasPort = false;
  bool hasFirmware = false;
};

// A client as update, delete and detect resolve it.
struct ResolvedClient {
  int32_t id = 0;
  std::string name;
  std::string networkHost;
  int osType = 0;
  bool isCentera() const { return osType == kClientOsCentera; }
};

class NdmpServerRequest final : public tksanvol::StreamHandler {
 public:
  explicit NdmpServerRequest(EvNASConfigMgr& replies) : m_replies(replies) {}

  bool takeElement(tksanvol::StreamContext& context, unsigned int type, const char* value,
                   unsigned int length) override;
  // Every operation reaches onRecord, which answers the unknown ones itself.
  bool supportsOperation(unsigned long long) const override { return true; }
  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override;

 private:
  using Outcome = tksanvol::RecordOutcome;

  Outcome add(tksanvol::StreamContext& context);
  Outcome update(tksanvol::StreamContext& context);
  Outcome remove(tksanvol::StreamContext& context);
  Outcome detect(tksanvol::StreamContext& context);

  // ---- shared steps (EvNASConfigMgrNDMPServer.cpp)

  // Answers the operation with the catalogue text of `messageId` and its
  // text arguments; returns Outcome::Failed.
  Outcome fail(tksanvol::StreamContext& context, unsigned long messageId,
               std::initializer_list<std::string> arguments = {}, unsigned long status = kStatusFailure);
  // The same with the arguments already pushed into `event`.
  Outcome failWith(tksanvol::StreamContext& context, EvEvent& event, unsigned long messageId,
                   unsigned long status = kStatusFailure);
  // Answers the operation with `text` itself; returns Outcome::Failed.
  Outcome failText(tksanvol::StreamContext& context, const std::string& text);
  Outcome succeed(tksanvol::StreamContext& context);
  // The client named by the client id, else by the host text (looked up
  // with `lookupFlag`); `retry` makes one more attempt by the host text
  // (flag false) when the first found none. A client that does not exist
  // resolves to id 0; false (logged) when a client that exists could not be
  // read.
  bool resolveClient(bool lookupFlag, bool retry, ResolvedClient& resolved);
  // The rights check: permission 2018 on the Tarnfold when `clientId` is 0,
  // else 2009 on the client. A refusal is answered (alert, status reply).
  bool allowed(tksanvol::StreamContext& context, int32_t clientId);
  // The filer login of add and update; on failure the reason is answered,
  // the filer logged off and false returned. An OS type 5 server is let
  // through a refused login. `filerOsType` receives what the filer reports.
  bool loginToFiler(tksanvol::StreamContext& context, LibNdmpClientAccess& filer, const std::string& clientName,
                    const std::string& host, const std::string& login, const std::string& password, int port,
                    uint32_t osType, int& filerOsType);
  // The answer to a failed (second) login, by how far it got; `authenticated`
  // picks 0x2400005C over 0x24000059 for a connected filer.
  Outcome failLogin(tksanvol::StreamContext& context, LibNdmpClientAccess& filer, const std::string& host);
  // Reads the client's row: by client id and OS type when the OS type was
  // received and is 5, 12 or 16 (`anyType`: any type but 0), else by client
  // id. 0 read, 1 none, -1 failed (logged).
  int readRow(MMNDMPHostInfoDB& table, int32_t clientId, MMNDMPHostInfo_t& row, bool anyType,
              DBtran* tran = nullptr);
  // The row that add (and an update that finds none) creates: the
  // request's login, password and firmware, port (0: 10000), settings 2
  // and 1, tag " ".
  void fillNewRow(MMNDMPHostInfo_t& row, int32_t clientId, uint32_t osType, uint32_t port, unsigned int flags) const;
  // Begins the change's store step; false (answered with the code and the
  // step's text, which names the database's reason) when it cannot begin.
  bool beginStep(tksanvol::StreamContext& context, tktran::StoreStep& step);
  // Commits the step; false when the database refused: the writes are
  // rolled back, then the commit failure is answered with its catalogue
  // text followed by the step's text, which names the database's reason.
  bool commitStep(tksanvol::StreamContext& context, tktran::StoreStep& step);
  // Refuses (answered, naming the limit) a login or firmware text that
  // does not fit the row whole (a password is refused by the password
  // policy as it arrives).
  bool textsFit(tksanvol::StreamContext& context);
  // The log text of the request's settings: "Login[received,root]
  // Password[received] OSType[none,0] Port[...] Firmware[...]" (passwords
  // only ever as received or none).
  std::string settingsText() const;
  const char* mark(bool received) const { return received ? "received" : "none"; }

  EvNASConfigMgr& m_replies;
  NdmpServerFields m_fields;
};

}  // namespace tknas
