// The disk-library setup wizard's opening question
// (ZQGui::EZGetMagneticLibrariesReq): which disk library is set up already,
// so that the wizard shows it and its storage policy instead of starting
// from nothing. The answer holds at most one library: the first shown disk
// library of the console's cached configuration that has a mount path and a
// storage policy.
//
// The request's media agents become the shown ones (all of them for an empty
// list) on the shared cached configuration, and stay so after the request:
// two consoles listing at once see each other's choice. A disk library is
// shown while its media agent is. No lock, no rights check. A failed policy
// query is logged and answers the library found so far, without its policy.
#include <string>

#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "ezconfig/EzWizardFrame.h"
#include "ezconfig/diskwizard/EZMagneticLibraryRecord.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/xml/EZWizardMessages.h"

namespace {

using tkezconfig::WizardFrame;
using Record = ZQGui::EZMagneticLibrary;
using Request = ZQGui::EZGetMagneticLibrariesReq;
using Response = ZQGui::EZGetMagneticLibrariesResp;

constexpr const char* kTag = "EvMMConfigMgr::onMsgEZGetMagneticLibrary";
// Mode of the library list procedure when a library is reported.
constexpr int kListForReport = 1;

void showMediaAgents(ZQMACMediaConfig& config, const tkxml::IntList& ids) {
  ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetMediaAgentList();
  for (ZQMACMediaAgent* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
    bool listed = ids.empty();
    for (long long id : ids) listed = listed || id == static_cast<long long>(agent->GetId());
    agent->SetShown(listed);
  }
}

void list(WizardFrame& frame, Request& request, Response& response) {
  ZQMACMediaConfig& config = *frame.config();
  showMediaAgents(config, request.getlistint(Request::kMediaAgentIds.ordinal, Request::kMediaAgentIds.tag,
                                             Request::kClassHash, Request::kMediaAgentIds.hash, false));
  tkxml::MessageList& found = response.getlistobject(Response::kLibraries.ordinal, Response::kLibraries.tag,
                                                     Response::kClassHash, Response::kLibraries.hash);
  MMS2getArchGrpNCopyListByLibIdEZ policies(nullptr);
  ZQMACLinkedList<ZQMACMagLib> libraries = config.GetMagLibList();
  for (ZQMACMagLib* library = libraries.GetFirstNode(); library != nullptr; library = libraries.GetNextNode()) {
    if (!library->IsShown()) continue;
    const ZQMACMountPath* path = library->GetMountPathList().GetFirstNode();
    if (path == nullptr) continue;
    const unsigned int id = library->GetId();
    if (id == 0) continue;

    Record record;
    tkezconfig::putLibrary(record, config, *library);
    tkezconfig::putMountPath(record, path);
    for (const tkxml::FieldDef* field : {&Record::kPolicyId, &Record::kAutoManageDisk, &Record::kDiskCapacity,
                                         &Record::kRetentionDays, &Record::kDedupCopies})
      tkezconfig::putNumber(record, *field, 0);

    policies.setValues(static_cast<int>(id), kListForReport);
    int count = 0;
    const int rc = getNextRow(&policies, &count, -1, 0);
    if (rc == DB_NO_ROW) {
      EvDebug::Debug(kTag, "No archGrpNCopy list returned for lib [%s].", library->GetAliasName().c_str());
      continue;
    }
    if (rc == 0) {
      tkezconfig::putPolicy(record, *policies.getDataPtr());
    } else {
      EvDebug::Error(kTag, "Error fetching archGrpNCopy list for lib [%s]. Error [%s]", library->GetAliasName().c_str(),
                     DBtable::getErrorStr(rc));
    }
    found.push_back(record);
    return;
  }
}

}  // namespace

int EvMMConfigMgr::onMsgEZGetMagneticLibrary(MessageInfo* request, std::string& xml) {
  WizardFrame frame(request, xml, kTag);
  Request message;
  Response response;
  if (frame.open(message, "ZQGui::EZGetMagneticLibrariesReq")) {
    const unsigned long refused = frame.config()->GetHandlesRefused();
    list(frame, message, response);
    frame.failOnHandlesRefused(*frame.config(), refused);
  }
  frame.answer(response, "ZQGui::EZGetMagneticLibraryResp");
  return 0;
}
