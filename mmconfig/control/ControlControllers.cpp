// The control request's operation 55 (mmconfig/control/ControlOperations.h): a
// library reached from every media agent shown to the user. Each shown
// agent without a controller of the library gets an IP library controller
// copied from the library's first IP controller (its template), attached
// to the library and configured; each one configured is audited
// (0x540000B6) against the library of element 4108.
//
// A library without a template, or an object without a library part, is
// refused with a plain text before anything is added. A controller that
// cannot be attached or configured is taken out of the session again (the
// ones before it stay configured), so a failure leaves no controller that
// belongs to an agent but to no library; each agent's controller is stored
// with its configuration in one step.
#include <cstdint>
#include <memory>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/control/ControlOperations.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/tran/StoreStep.h"

namespace tkmm::control {
namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMControl";
constexpr int kAuditControllerAdded = 0x540000B6;
constexpr const char* kAnyHost = "__Any_Host__";
constexpr const char* kNoLibrary = "The object does not belong to a library.";
constexpr const char* kNoTemplate = "The library has no IP library controller to copy.";

ZQMACIPLibController* templateOf(ZQMACLms& lms) {
  ZQMACLinkedList<ZQMACLibController> controllers = lms.GetLibControllerList();
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode())
    if (auto* ip = dynamic_cast<ZQMACIPLibController*>(c)) return ip;
  return nullptr;
}

}  // namespace

SetOutcome addControllersForShownAgents(Record& record, uint32_t operation) {
  if (record.object == nullptr) return record.succeed();
  ZQMACInterface& object = *record.object;
  ZQMACLms* lms = object.GetLms();
  EvMMConfigMgr::SetClientSequenceNumber(record.sequence());
  ZQMACIPLibController* source = lms != nullptr ? templateOf(*lms) : nullptr;
  if (source == nullptr) {
    const char* text = lms == nullptr ? kNoLibrary : kNoTemplate;
    EvDebug::Error(kTag, "%s", text);
    return record.answer(operation, AnswerStatus::kFailure, text);
  }

  ZQMACLinkedList<ZQMACMediaAgent> agents = record.config.GetMediaAgentList();
  for (ZQMACMediaAgent* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
    if (!agent->IsShown() || lms->FindMediaAgent(agent, kAnyHost)) continue;
    // An agent's controller is added and configured in one store step: a
    // failure (or a kill) between the two keeps neither.
    tktran::StoreStep step(kTag);
    if (!step.begin()) return record.fail(operation, step.error());
    auto copy = std::make_unique<ZQMACIPLibController>(*source);
    if (!agent->AddLibController(copy.get())) return record.failWithLastError(operation, *agent);
    ZQMACIPLibController* controller = copy.release();  // the agent's now
    const bool attached = controller->AttachToLibrary(lms, true);
    if (attached)
      EvDebug::Debug(kTag, "Add new library controller for LIB [%d] on MediaAgent[%s]",
                     static_cast<int>(object.GetId()), agent->GetDisplayName().c_str());
    if (!attached || !controller->Configure(0) || !step.commit()) {
      const std::string text = step.error().empty() ? controller->GetLastError() : step.error();
      record.config.DeleteObject(controller);
      return record.fail(operation, text);
    }
    writeAuditRecord(kAuditControllerAdded, static_cast<int>(record.libraryId), {objectParameter(*controller)});
  }
  if (record.autoRefresh) {
    const unsigned int type = object.GetObjectType();
    if (type == ZQMAC_OBJ_LMS || type == ZQMAC_OBJ_MAGLIB) record.sendRefreshNotice(ZqEntities::ENTITY_LIBRARY);
  }
  return record.succeed();
}

}  // namespace tkmm::control
