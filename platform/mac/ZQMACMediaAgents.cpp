// Bodies of the object model that the media-agent requests use: the agents
// offered for a new software copy manager or a plug-and-play disk, the
// candidates of a library controller or drive path, the names a library
// server offers, the plug-and-play disk itself, the test for agents not
// stored yet and the kept choice of the agents shown. What a library server
// offers is scripted per host (tkmac::setLibServerNames), else it is the
// libraries of the vendor and product attached to the host; every other
// answer is read from the graph.
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mac/ZQMACVendorCatalogue.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/tran/StoreStep.h"

namespace {

std::mutex& serverMutex() {
  static std::mutex* mutex = new std::mutex;  // lives for the whole process
  return *mutex;
}
std::map<std::string, std::vector<std::string>>& serverNames() {
  static auto* names = new std::map<std::string, std::vector<std::string>>;  // lives for the whole process
  return *names;
}

template <class T, class Keep>
ZQMACLinkedList<T> filtered(ZQMACLinkedList<T> list, Keep keep) {
  ZQMACLinkedList<T> out;
  for (T* element = list.GetFirstNode(); element != nullptr; element = list.GetNextNode())
    if (keep(*element)) out.AddNode(element);
  return out;
}

// The agent's objects other than `self` that are not configured.
template <class T>
ZQMACLinkedList<ZQMACInterface> unconfiguredOthers(ZQMACLinkedList<T> list, const T* self) {
  ZQMACLinkedList<ZQMACInterface> out;
  for (T* element = list.GetFirstNode(); element != nullptr; element = list.GetNextNode())
    if (element != self && !element->TestStateA()) out.AddNode(element);
  return out;
}

}  // namespace

void tkmac::setLibServerNames(const std::string& host, std::vector<std::string> names) {
  std::lock_guard<std::mutex> guard(serverMutex());
  if (names.empty())
    serverNames().erase(host);
  else
    serverNames()[host] = std::move(names);
}

void tkmac::clearLibServerNames() {
  std::lock_guard<std::mutex> guard(serverMutex());
  serverNames().clear();
}

// ---------------------------------------------------------------- media agent

ZQMACLinkedList<ZQMACInterface> ZQMACMediaAgent::GetCandidateList(ZQMACLibController* controller) {
  if (controller == nullptr) return {};
  return unconfiguredOthers<ZQMACLibController>(m_libControllerList, controller);
}

ZQMACLinkedList<ZQMACInterface> ZQMACMediaAgent::GetCandidateList(ZQMACDms* drivePath) {
  if (drivePath == nullptr) return {};
  return unconfiguredOthers<ZQMACDms>(m_dmsList, drivePath);
}

std::vector<std::string> ZQMACMediaAgent::GetLibServerNameList(const std::string& vendor, const std::string& product) {
  tkmac::journal().record("GetLibServerNameList", GetName(), vendor, product);
  if (tkmac::failed(*this, "GetLibServerNameList")) return {};
  {
    std::lock_guard<std::mutex> guard(serverMutex());
    auto it = serverNames().find(GetName());
    if (it != serverNames().end()) return it->second;
  }
  std::vector<std::string> names;
  std::string error;
  if (!tkmac::attachedLibraryServerNames(GetName(), vendor, product, names, error)) {
    SetLastError(tkmac::kErrorDatabase, error);
    return {};
  }
  return names;
}

bool ZQMACMediaAgent::ChooseShown(ZQMACMediaConfig& config, ZQMACLinkedList<ZQMACInterface>& chosen) {
  // What every agent was, to be laid back when the choice is not stored.
  struct Was {
    ZQMACMediaAgent* agent;
    bool shown;
    int attribute;
    int id;
  };
  std::vector<Was> was;
  ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetMediaAgentList();
  for (ZQMACMediaAgent* a = agents.GetFirstNode(); a != nullptr; a = agents.GetNextNode())
    was.push_back({a, a->m_bShown, a->m_iAttribute, a->m_iId});
  ZQMACLinkedList<ZQMACInterface> list = chosen;
  auto isChosen = [&](const ZQMACMediaAgent* agent) {
    for (ZQMACInterface* o = list.GetFirstNode(); o != nullptr; o = list.GetNextNode())
      if (o == agent) return true;
    return false;
  };
  ZQMACMediaAgent* failed = nullptr;
  tktran::StoreStep step(__func__);
  if (!step.begin()) {
    config.SetLastError(tkmac::kErrorDatabase,
                        "The media agents shown could not be stored: " + step.error());
    return false;
  }
  for (const Was& w : was) {
    ZQMACMediaAgent* a = w.agent;
    const bool shown = isChosen(a);
    a->Touch();
    a->m_bShown = shown;
    // The hidden bit is what the stored agent keeps of its shown state.
    a->m_iAttribute = shown ? (w.attribute & ~kMMHiddenAttribute) : (w.attribute | kMMHiddenAttribute);
    a->MarkChanged(&a->m_iAttribute);
    const bool stored = a->m_iId < 0 ? ZQMACGraph::InsertMediaAgent(a) : tkmac::storeChanges(*a);
    if (!stored) {
      failed = a;
      break;
    }
  }
  if (failed == nullptr) {
    if (step.commit()) return true;
    config.SetLastError(tkmac::kErrorDatabase,
                        "The media agents shown could not be stored: " + step.error());
  } else {
    std::string text;
    const unsigned int code = failed->GetLastError(text);
    config.SetLastError(code, text);
  }
  // The transaction rolls back: every agent is as it was, a new one not
  // stored again.
  for (const Was& w : was) {
    w.agent->m_bShown = w.shown;
    w.agent->m_iAttribute = w.attribute;
    w.agent->ForgetChanged(&w.agent->m_iAttribute);
    if (w.agent->m_iId != w.id) ZQMACGraph::SetId(w.agent, w.id);
  }
  return false;
}

// ---------------------------------------------------------------- configuration

ZQMACLinkedList<ZQMACMediaAgent> ZQMACMediaConfig::GetAvailableMediaAgentForNewSoftwareCopyManagerList() const {
  return filtered(m_mediaAgentList, [](ZQMACMediaAgent& agent) {
    return agent.IsShown() && agent.GetCopyMgrControllerList().GetListCount() == 0;
  });
}

ZQMACLinkedList<ZQMACMediaAgent> ZQMACMediaConfig::GetAvailableMediaAgentsForPnpDisk(ZQMACLms* library) const {
  return filtered(m_mediaAgentList, [&](ZQMACMediaAgent& agent) {
    if (!agent.IsShown()) return false;
    if (library == nullptr) return true;
    ZQMACLinkedList<ZQMACLibController> controllers = agent.GetLibControllerList();
    for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode())
      if (c->GetLms() == library) return false;
    return true;
  });
}

bool ZQMACMediaConfig::AddPnpDisk(ZQMACLms* library, const std::vector<std::string>& mediaAgentNames) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  std::string joined;
  for (const std::string& name : mediaAgentNames) joined += (joined.empty() ? "" : ",") + name;
  tkmac::journal().record("AddPnpDisk", GetHandle(library), joined);
  if (tkmac::failed(*this, "AddPnpDisk")) return false;
  if (library == nullptr || !OwnsObject(library)) {
    SetLastError(tkmac::kErrorInvalidValue, "The library for the plug-and-play disk does not exist.");
    return false;
  }
  return true;
}

bool ZQMACMediaConfig::IsAnyNewAgent(ZQMACLinkedList<ZQMACInterface>& agents) const {
  ZQMACLinkedList<ZQMACInterface> list = agents;
  for (ZQMACInterface* object = list.GetFirstNode(); object != nullptr; object = list.GetNextNode())
    if (dynamic_cast<ZQMACMediaAgent*>(object) != nullptr && object->GetId() == 0xFFFFFFFFu) return true;
  return false;
}
