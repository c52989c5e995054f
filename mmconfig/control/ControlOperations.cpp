// The answers shared by the control request's operations
// (mmconfig/control/ControlOperations.h).
#include "mmconfig/control/ControlOperations.h"

#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/debuglog/EvDebug.h"

namespace tkmm::control {

namespace {
constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMControl";
constexpr int kParamObject = 0x5500018B;
constexpr int kParamDriveDevice = 0x550000BE;
}  // namespace

AuditParameter objectParameter(ZQMACInterface& object) {
  return {kParamObject, {object.GetDisplayName(), object.GetTextA(false)}};
}

AuditParameter driveParameter(ZQMACInterface& object) {
  auto* drive = dynamic_cast<ZQMACDrive*>(&object);
  return {kParamDriveDevice, {drive != nullptr ? drive->GetDeviceTextB() : std::string()}};
}

SetOutcome answerFailure(MessageInfo& request, uint32_t operation, const std::string& text) {
  EvMMConfigMgr::sendOperationResponse(request.sequenceNumber, request.socket, operation,
                                       toWire(AnswerStatus::kFailure), text.c_str(), 0);
  EvMMConfigMgr::ResetClientSequenceNumber();
  return SetOutcome::answered(false, false);
}

long long Record::sequence() const { return request.sequenceNumber; }

SetOutcome Record::answer(uint32_t operation, AnswerStatus status, const std::string& text) const {
  if (status == AnswerStatus::kFailure) return answerFailure(request, operation, text);
  EvMMConfigMgr::sendOperationResponse(sequence(), request.socket, operation, toWire(status), text.c_str(), 0);
  EvMMConfigMgr::ResetClientSequenceNumber();
  return SetOutcome::answered(false, false);
}

SetOutcome Record::fail(uint32_t operation, const std::string& text) const {
  EvDebug::Error(kTag, "%s", text.c_str());
  return answerFailure(request, operation, text);
}

SetOutcome Record::failWithLastError(uint32_t operation, const ZQMACBase& failing) const {
  return fail(operation, failing.GetLastError());
}

SetOutcome Record::succeed() const {
  EvMMConfigMgr::ResetClientSequenceNumber();
  return SetOutcome::success();
}

void Record::sendRefreshNotice(ZqEntities::EntityType entity) const {
  services.sendAutoRefreshUpdateGUM(static_cast<int>(libraryId), entity, request.autoRefreshGuiId, &mediaAgentIds);
}

}  // namespace tkmm::control
