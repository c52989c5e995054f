// The tape-library setup wizard's listing (ZQGui::EZGetTapeLibrariesReq):
// which tape libraries and drives the chosen media agents see, optionally
// after a fresh detection on them. One ZQGui::EZTapeLibrary per shown tape
// library, with the drives its shown media agents reach and, for a stored
// library, its primary storage policy and retention.
//
// The chosen media agents become the shown ones of the configuration in use
// (all of them when none is chosen) and stay so on the console's cached
// configuration. A request of origin 13 is served from a configuration of
// its own, read for the request after a rights check and freed with it: its
// handles name objects of that configuration only and never resolve later.
// No lock. Policy and aging-rule errors are logged; the library is listed.
#include <list>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

#include "ezconfig/EzWizardFrame.h"
#include "ezconfig/tapewizard/EZTapeLibraryPolicy.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/archivemgr/AgingRule.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/focus/ZQPI_Focus.h"
#include "platform/xml/EZTapeWizardMessages.h"

namespace {

using tkezconfig::WizardFrame;
using Record = ZQGui::EZTapeLibrary;
using Drive = ZQGui::EZTapeDrive;
using Request = ZQGui::EZGetTapeLibrariesReq;
using Response = ZQGui::EZGetTapeLibrariesResp;

constexpr const char* kTag = "EvMMConfigMgr::onMsgEZGetTapeLibrary";
constexpr unsigned long kRightManageTarnkeep = 2;

// A media agent the console chose: by id, or (id 0) by name.
struct Entry {
  long long id = 0;
  std::string name;
};

// A database id as the records carry it: 0 for an object not stored.
long long storedId(const ZQMACInterface& object) {
  const unsigned int id = object.GetId();
  return id == 0xFFFFFFFFu ? 0 : id;
}

template <class Message>
void putNumber(CNMessageBase& record, const tkxml::FieldDef& field, long long value) {
  record.setint64(field.ordinal, field.tag, value, Message::kClassHash, field.hash);
}
template <class Message>
void putText(CNMessageBase& record, const tkxml::FieldDef& field, const std::string& text) {
  record.setstring(field.ordinal, field.tag, MyLocalText(text), Message::kClassHash, field.hash);
}

std::vector<Entry> entriesOf(Request& request) {
  std::vector<Entry> entries;
  const tkxml::IntList& ids = request.getlistint(Request::kMediaAgentIds.ordinal, Request::kMediaAgentIds.tag,
                                                 Request::kClassHash, Request::kMediaAgentIds.hash, false);
  if (!ids.empty()) {
    for (long long id : ids) entries.push_back({static_cast<int>(id), std::string()});
    return entries;
  }
  using N = ZQGui::IdName;
  for (const CNMessageBase& item : request.getlistobject(Request::kMediaAgents.ordinal, Request::kMediaAgents.tag,
                                                         Request::kClassHash, Request::kMediaAgents.hash, false))
    entries.push_back({static_cast<int>(item.getint64(N::kId.tag, N::kClassHash, N::kId.hash)),
                       item.getstring(N::kIdName.ordinal, N::kIdName.tag, N::kClassHash, N::kIdName.hash)});
  return entries;
}

bool matches(const std::vector<Entry>& entries, ZQMACMediaAgent& agent) {
  for (const Entry& e : entries) {
    if (e.id != 0) {
      if (e.id == static_cast<long long>(agent.GetId())) return true;
      continue;
    }
    if (e.name.empty()) continue;
    EvDebug::Error(kTag, "Media Manager Name: %s", e.name.c_str());
    if (strcasecmp(e.name.c_str(), agent.GetName().c_str()) == 0) return true;
  }
  return false;
}

// Marks the chosen agents shown, the others not; the names of the shown.
std::list<std::string> showMediaAgents(ZQMACMediaConfig& config, const std::vector<Entry>& entries) {
  std::list<std::string> names;
  ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetMediaAgentList();
  for (ZQMACMediaAgent* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
    const bool shown = entries.empty() || matches(entries, *agent);
    agent->SetShown(shown);
    if (shown) names.push_back(agent->GetName());
  }
  return names;
}

bool agentShown(const ZQMACScsiUnit& unit) {
  ZQMACMediaAgent* agent = unit.GetMediaAgent();
  return agent != nullptr && agent->IsShown();
}

void putDrives(ZQMACMediaConfig& config, ZQMACLms& lms, CNMessageBase& record) {
  tkxml::MessageList& drives =
      record.getlistobject(Record::kDrives.ordinal, Record::kDrives.tag, Record::kClassHash, Record::kDrives.hash);
  ZQMACLinkedList<ZQMACDms> paths = lms.GetDmsList();
  for (ZQMACDms* path = paths.GetFirstNode(); path != nullptr; path = paths.GetNextNode()) {
    if (!agentShown(*path)) continue;
    const ZQMACDrive* drive = path->GetDrive();
    Drive item;
    putNumber<Drive>(item, Drive::kDriveId, drive != nullptr ? storedId(*drive) : 0);
    putText<Drive>(item, Drive::kDriveName, drive != nullptr ? drive->GetName() : path->GetName());
    putText<Drive>(item, Drive::kDescription, path->GetTextA(true));
    putNumber<Drive>(item, Drive::kIconId, config.GetIconId(path));
    putNumber<Drive>(item, Drive::kHandle, static_cast<long long>(config.GetHandle(path)));
    drives.push_back(item);
  }
}

void putPolicy(int libraryId, const std::string& name, CNMessageBase& record) {
  putNumber<Record>(record, Record::kPolicyId, 0);
  putText<Record>(record, Record::kPolicyName, std::string());
  putNumber<Record>(record, Record::kRetentionDays, 0);
  if (libraryId <= 0) return;
  tkezconfig::TapePolicy policy;
  if (tkezconfig::findTapePolicy(libraryId, name, kTag, policy) != tkezconfig::PolicySearch::kFound) return;
  AMAgingRule rule(policy.copyId, nullptr);
  if (rule.lookupAgingRule() != 0) {
    EvDebug::Error(kTag, "Error fetching archAgingRule Info for copy [%s].", policy.copyName.c_str());
    return;
  }
  putNumber<Record>(record, Record::kPolicyId, policy.groupId);
  putText<Record>(record, Record::kPolicyName, policy.groupName);
  putNumber<Record>(record, Record::kRetentionDays, rule.getDays());
}

void list(ZQMACMediaConfig& config, Request& request, Response& response) {
  std::list<std::string> names = showMediaAgents(config, entriesOf(request));
  if (request.getint64(Request::kDetect.tag, Request::kClassHash, Request::kDetect.hash) != 0) {
    int libraries = 0;
    int drives = 0;
    config.AutoDetect(names, libraries, drives, true);
  }
  tkxml::MessageList& found = response.getlistobject(Response::kLibraries.ordinal, Response::kLibraries.tag,
                                                     Response::kClassHash, Response::kLibraries.hash);
  ZQMACLinkedList<ZQMACLms> shown = config.GetShownLmsList();
  for (ZQMACLms* lms = shown.GetFirstNode(); lms != nullptr; lms = shown.GetNextNode()) {
    const long long id = storedId(*lms);
    Record record;
    putNumber<Record>(record, Record::kLibraryId, id);
    putNumber<Record>(record, Record::kHandle, static_cast<long long>(config.GetHandle(lms)));
    putText<Record>(record, Record::kLibraryName, lms->GetName());
    putText<Record>(record, Record::kDescription, lms->GetTextA(true));
    putDrives(config, *lms, record);
    const ZQMACLibrary* library = lms->GetLibrary();
    putNumber<Record>(record, Record::kStandAlone, library != nullptr && library->IsStandAlone() ? 1 : 0);
    putNumber<Record>(record, Record::kDriveIdsPresent,
                      library != nullptr && library->IsDriveIdentifierPresent(0) ? 1 : 0);
    putNumber<Record>(record, Record::kConfigured, id > 0 ? 1 : 0);
    putNumber<Record>(record, Record::kIconId, config.GetIconId(lms));
    ZQMACLibController* first = lms->GetLibControllerList().GetFirstNode();
    putNumber<Record>(record, Record::kControllerFlag, first != nullptr && first->TestStateB() ? 1 : 0);
    putPolicy(static_cast<int>(id), lms->GetName(), record);
    found.push_back(record);
  }
}

// Origin 13: rights, then a configuration read for this request alone.
std::unique_ptr<ZQMACMediaConfig> privateConfig(WizardFrame& frame) {
  MessageInfo& message = frame.record();
  if (!EvMMConfigMgr::doMACheck()) {
    EvSecurityCheck security(static_cast<long long>(message.sequenceNumber));
    if (!security.canManageTarnkeep(message.userId, kRightManageTarnkeep)) {
      EvDebug::Error(kTag, "%s", security.getResponseString());
      frame.fail(security.getResponseString());
      return nullptr;
    }
  }
  auto config = std::make_unique<ZQMACMediaConfig>();
  ZQMACBase::SetLocale(frame.locale());
  if (!config->Initialize(ZQPI_Focus::getFocus()) || !config->ReadCurrentConfig(false)) {
    EvDebug::Error(kTag, "%s", "ReadCurrentConfig - Failed to read from DB.");
    frame.fail("Failed to read from DB");
    return nullptr;
  }
  return config;
}

}  // namespace

int EvMMConfigMgr::onMsgEZGetTapeLibrary(MessageInfo* request, std::string& xml) {
  WizardFrame frame(request, xml, kTag);
  Request message;
  Response response;
  if (frame.read(message, "ZQGui::EZGetTapeLibrariesReq")) {
    if (request->origin == kRequestOriginPrivateConfig) {
      std::unique_ptr<ZQMACMediaConfig> own = privateConfig(frame);
      if (own != nullptr) {
        list(*own, message, response);
        frame.failOnHandlesRefused(*own, 0);
      }
    } else if (frame.useCachedConfig()) {
      const unsigned long refused = frame.config()->GetHandlesRefused();
      list(*frame.config(), message, response);
      frame.failOnHandlesRefused(*frame.config(), refused);
    }
  }
  frame.answer(response, "ZQGui::EZGetTapeLibraryResp");
  return 0;
}
