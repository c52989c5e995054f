// The DRU hosts of the cached configuration: the list a client picks a host
// from (onMsgGetDRUHostList: the "none" entry first, then every host), the
// properties of one host (onMsgGetDRUHostProperties: id in the
// element-count field; the password is never sent) and the Set request that
// adds (48), removes (2) or changes (3) a host (onMsgSetDRUHost).
//
// Set elements: 11420 id+text (the id of the host to remove or change, and
// the name), 11425 user name, 11426 password (encrypted), 11427 port. They
// fill a staging host; a change takes from it the name, and the user name,
// password and port when given (an empty text or a negative port keeps the
// stored value). A change the host refuses leaves it as it was, in memory
// as in the database.
#include <cstdint>
#include <memory>
#include <string>

#include "frame/CredentialElements.h"
#include "frame/ElementTags.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"
#include "mmconfig/staged/StagedObjectSet.h"
#include "mmconfig/staged/StagedObjectSteps.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/EvReturnData.h"

namespace {

constexpr const char* kListTag = "EvMMConfigMgr::lookupDRUHostList";
constexpr const char* kPropertiesTag = "EvMMConfigMgr::lookupDRUHost";
constexpr const char* kSetTag = "EvMMConfigMgr::onMsgSetDRUHost";

constexpr unsigned long kReplyList = tktag::kReplyDRUHosts;
constexpr unsigned long kReplyProperties = tktag::kReplyDRUHostProperties;

constexpr uint32_t kItemHost = tktag::kDRUHost;
constexpr uint32_t kItemUserName = tktag::kDRUUserName;
constexpr uint32_t kItemPassword = tktag::kDRUPassword;
constexpr uint32_t kItemPort = tktag::kDRUPort;

constexpr unsigned long kTextNone = 0x240002F5;
constexpr unsigned long kTextAddRefused = 0x240002F2;
constexpr unsigned long kTextRemoveRefused = 0x240002F3;
constexpr unsigned long kTextChangeRefused = 0x240002F4;
constexpr const char* kNotFound = "DRU Host not found!";

class DRUHostSet : public tkmm::StagedObjectSet {
 public:
  explicit DRUHostSet(MessageInfo& request) : StagedObjectSet(request, kSetTag), m_services(0) {}
  ~DRUHostSet() override { tkmm::wipe(m_password); }

  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    switch (type) {
      case kItemHost:
        m_id = static_cast<int>(MessageWalker::readPairId(value, length));
        m_name = MessageWalker::readPairText(value, length);
        staging().AssignName(m_name);
        return true;
      case kItemUserName:
        m_userName = MessageWalker::readText(value, length);
        staging().SetUserName(m_userName);
        return true;
      case kItemPassword: {
        std::string password;
        std::string refusal;
        if (tkmm::decryptPasswordForStorage(m_services, &m_request, value, length, kSetTag, password, refusal)) {
          tkmm::wipe(m_password);
          m_password = password;
          staging().SetUserPassword(password);
        } else if (!refusal.empty()) {
          refuseValue(refusal);
        }
        tkmm::wipe(password);
        return true;
      }
      case kItemPort:
        m_port = MessageWalker::readI32(value, length);
        staging().SetPort(m_port);
        return true;
      default:
        return false;
    }
  }

 protected:
  bool add(ZQMACMediaConfig& config, std::string& text) override {
    staging();  // made from the record's values when no element made it yet
    return tkmm::addStaged(config, m_staging, &ZQMACMediaConfig::AddDRUHost, kTextAddRefused, text);
  }

  bool remove(ZQMACMediaConfig& config, std::string& text) override {
    return tkmm::removeById(config, m_id, &ZQMACMediaConfig::RemoveDRUHost, kNotFound, kTextRemoveRefused, text);
  }

  bool change(ZQMACMediaConfig& config, std::string& text) override {
    ZQMACHost* host = config.FindDBNode<ZQMACHost>(m_id);
    if (host == nullptr) {
      text = kNotFound;
      return false;
    }
    ZQMACHost& from = staging();
    const ZQMACHost before(*host);  // the values to put back when the change is refused
    bool ok = host->AssignName(from.GetName());
    if (ok) {
      if (!from.GetUserName().empty()) host->SetUserName(from.GetUserName());
      if (!from.GetUserPassword().empty()) host->SetUserPassword(from.GetUserPassword());
      if (from.GetPort() >= 0) host->SetPort(from.GetPort());
      ok = host->UpdateDb();
    }
    if (ok) return true;
    text = ZQMACBase::GetMessageString(kTextChangeRefused, from.GetName().c_str(), host->GetLastError().c_str());
    host->AssignName(before.GetName());
    host->SetUserName(before.GetUserName());
    host->SetUserPassword(before.GetUserPassword());
    host->SetPort(before.GetPort());
    return false;
  }

 private:
  // The host the elements fill: a fresh one after a successful add, which
  // takes the values the request has sent so far.
  ZQMACHost& staging() {
    if (m_staging == nullptr) {
      m_staging = std::make_unique<ZQMACHost>();
      m_staging->SetPort(-1);  // not set
      if (!m_name.empty()) m_staging->AssignName(m_name);
      m_staging->SetUserName(m_userName);
      m_staging->SetUserPassword(m_password);
      if (m_port >= 0) m_staging->SetPort(m_port);
    }
    return *m_staging;
  }

  EvExternal m_services;
  std::unique_ptr<ZQMACHost> m_staging;
  int m_id = -1;
  std::string m_name;
  std::string m_userName;
  std::string m_password;
  int m_port = -1;
};

}  // namespace

bool EvMMConfigMgr::onMsgGetDRUHostList(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyList, kListTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    out.idText(kItemHost, 0, ZQMACBase::GetMessageString(kTextNone));
    ZQMACLinkedList<ZQMACHost> hosts = config.GetDRUHostList();
    for (ZQMACHost* host = hosts.GetFirstNode(); host != nullptr; host = hosts.GetNextNode())
      out.idText(kItemHost, host->GetId(), host->GetName());
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetDRUHostProperties(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyProperties, kPropertiesTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    if (ZQMACHost* host = config.FindDBNode<ZQMACHost>(static_cast<int>(request->elementCount))) {
      out.idText(kItemHost, host->GetId(), host->GetName());
      out.text(kItemUserName, host->GetUserName());
      out.u32(kItemPort, static_cast<uint32_t>(host->GetPort()));
    }
    out.endOfRecord();
    return true;
  });
}

bool EvMMConfigMgr::onMsgSetDRUHost(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Error(kSetTag, "Bad Parameter Received.");
    return false;
  }
  DRUHostSet set(*request);
  return tkmm::runStagedSet(request, kSetTag, set);
}
