// Copy-manager devices and their controllers: the shown devices
// (onMsgGetMMCMDevices), one device's record, the controllers of a device
// and one controller's record (replies 11118 and 11122 through the Get
// wrapper, HandlerSkeleton.h); renaming a device and setting its
// concurrency limit (onMsgSetMMCMDevice, operation 3); and adding a
// software copy manager to a media agent by name (onMsgSetMMCMController,
// operation 1).
//
// A handle of another kind of object than the request is about gives an
// empty block. A device change is whole or nothing: the rename and the
// limit are stored in one step, and when either is refused (or the step
// cannot be committed) the device keeps its old name and limit.
#include <cstdint>
#include <string>
#include <utility>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/tran/StoreStep.h"

namespace {

constexpr const char* kDevicesTag = "EvMMConfigMgr::onMsgGetMMCMDevices";
constexpr const char* kDevicePropertiesTag = "EvMMConfigMgr::onMsgGetMMCMDeviceProperties";
constexpr const char* kControllersTag = "EvMMConfigMgr::onMsgGetMMCMControllers";
constexpr const char* kControllerPropertiesTag = "EvMMConfigMgr::onMsgGetMMCMControllerProperties";
constexpr const char* kSetDeviceTag = "EvMMConfigMgr::onMsgSetMMCMDevice";
constexpr const char* kSetControllerTag = "EvMMConfigMgr::onMsgSetMMCMController";

constexpr unsigned long kReplyDevices = tktag::kReplyCopyManagerDevices;
constexpr unsigned long kReplyControllers = tktag::kReplyCopyManagerDeviceControllers;

constexpr unsigned long kItemAgent = tktag::kMediaAgent;
constexpr unsigned long kItemUnitText = tktag::kPoolText;
constexpr unsigned long kItemDevice = tktag::kCopyManagerController;
constexpr unsigned long kItemConcurrencyLimit = tktag::kConcurrencyLimit;
constexpr unsigned long kItemController = tktag::kCopyManagerChoice;
constexpr unsigned long kItemVendor = tktag::kCopyManagerVendor;
constexpr unsigned long kItemProduct = tktag::kCopyManagerProduct;
constexpr unsigned long kItemDeviceTextA = tktag::kCopyManagerDeviceTextA;
constexpr unsigned long kItemDeviceTextB = tktag::kCopyManagerDeviceTextB;
constexpr unsigned long kItemDeviceTextC = tktag::kCopyManagerDeviceTextC;
constexpr unsigned long kItemCopyManagerText = tktag::kCopyManagerText;

constexpr uint32_t kOpModify = 3;
constexpr uint32_t kOpAdd = 1;
constexpr uint32_t kElementAgentName = tktag::kMediaAgent;   // [u32][name]
constexpr uint32_t kElementName = tktag::kCopyManagerController;       // [u32][new name]
constexpr uint32_t kElementLimit = tktag::kLimit;

// The tail of both records: 11150, 11162, 11116 and the record end.
void recordTail(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACInterface& object) {
  out.textB(object);
  out.shown(object);
  out.icon(config, object);
  out.endOfRecord();
}

void deviceRecord(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACCopyMgrDevice& device) {
  out.idText(kItemDevice, device.GetId(), device.GetDisplayName());
  out.textA(device);
  out.idText(kItemVendor, 0, device.GetVendor());
  out.idText(kItemProduct, 0, device.GetProduct());
  out.text(kItemDeviceTextA, device.GetDeviceTextA());
  out.text(kItemDeviceTextB, device.GetDeviceTextB());
  out.text(kItemDeviceTextC, device.GetDeviceTextC());
  out.u32(kItemConcurrencyLimit, static_cast<uint32_t>(device.GetConcurrencyLimit()));
  recordTail(out, config, device);
}

void controllerRecord(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACCopyMgrController& controller) {
  ZQMACMediaAgent noAgent;
  ZQMACMediaAgent* agent = controller.GetMediaAgent();
  const ZQMACMediaAgent& a = agent != nullptr ? *agent : noAgent;
  std::string copyManagerText;
  controller.GetCopyManagerText(copyManagerText);
  out.idText(kItemController, controller.GetId(), controller.GetDisplayName());
  out.textA(controller);
  out.idText(kItemAgent, a.GetId(), a.GetName());
  out.idText(kItemCopyManagerText, 0, copyManagerText);
  out.text(kItemUnitText, controller.GetUnitText());
  recordTail(out, config, controller);
}

template <class T>
using Value = tkmm::ElementValue<T>;

std::string pairText(const char* value, unsigned int length) {
  return length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length);
}

// Operation 3: rename and set the limit of the device of 11003.
class DeviceChange : public tkmm::SetRecordHandler {
 public:
  bool servesOperation(uint32_t operation) const override { return operation == kOpModify; }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    if (type == kElementName) m_name.set(pairText(value, length));
    else if (type == kElementLimit) m_limit.set(MessageWalker::readI32(value, length));
    else return false;
    return true;
  }
  tkmm::SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACCopyMgrDevice* device = record.object<ZQMACCopyMgrDevice>();
    if (device == nullptr) return tkmm::SetOutcome::success();
    const std::string oldName = device->GetName();
    const int oldLimit = device->GetConcurrencyLimit();
    // The new name and the new limit are one change: both writes go in one
    // store step, so that a refusal, a failed commit or a kill between them
    // keeps neither.
    tktran::StoreStep step(kSetDeviceTag);
    if (!step.begin()) return tkmm::SetOutcome::failure(step.error());
    if (m_name.has && !device->SetName(m_name.value)) return tkmm::SetOutcome::lastError(*device);
    const bool stored = m_limit.has ? device->SetConcurrencyLimit(m_limit.value)
                                    : !m_name.has || tkmac::storeCopyManager(*device, m_name.value,
                                                                            device->GetConcurrencyLimit());
    const tkmm::SetOutcome outcome =
        !stored ? tkmm::SetOutcome::lastError(*device)
                : step.commit() ? tkmm::SetOutcome::success() : tkmm::SetOutcome::failure(step.error());
    if (outcome.kind() == tkmm::SetOutcome::Kind::Success) return outcome;
    // Nothing was kept: the device shows what is stored again.
    step.rollBack();
    if (m_name.has) device->AssignName(oldName);
    if (m_limit.has && device->GetConcurrencyLimit() != oldLimit && !device->SetConcurrencyLimit(oldLimit))
      EvDebug::Error(kSetDeviceTag, "The old limit [%d] of the device could not be put back.", oldLimit);
    return outcome;
  }

 private:
  Value<std::string> m_name;
  Value<int> m_limit;
};

// Operation 1: a software copy manager for the named agent.
class ControllerAdd : public tkmm::SetRecordHandler {
 public:
  bool servesOperation(uint32_t operation) const override { return operation == kOpAdd; }
  bool needsObject(uint32_t) const override { return false; }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    if (type == kElementAgentName) m_agent.set(pairText(value, length));
    else if (type == kElementLimit) m_limit.set(MessageWalker::readI32(value, length));
    else return false;
    return true;
  }
  tkmm::SetOutcome apply(const tkmm::SetRecord& record) override {
    if (!record.hasInstallationId || !m_limit.has || !m_agent.has)
      return tkmm::SetOutcome::failure(ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle));
    ZQMACMediaAgent* agent = record.config.FindDBNode(m_agent.value);
    if (agent == nullptr) return tkmm::SetOutcome::failure("Failed to get mediaagent " + m_agent.value);
    if (!agent->AddSoftwareCopyManager(m_limit.value)) return tkmm::SetOutcome::lastError(*agent);
    return tkmm::SetOutcome::success();
  }

 private:
  Value<std::string> m_agent;
  Value<int> m_limit;
};

}  // namespace

bool EvMMConfigMgr::onMsgGetMMCMDevices(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDevices, kDevicesTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    for (unsigned long long handle : tkmm::handlesOf(config.GetShownCopyMgrDeviceList(), config)) {
      ZQMACCopyMgrDevice* device = config.FindObject<ZQMACCopyMgrDevice>(handle);
      if (device == nullptr) continue;
      out.handle(tkmm::kItemObjectHandle, handle);
      deviceRecord(out, config, *device);
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMCMDeviceProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyDevices, kDevicePropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* device = dynamic_cast<ZQMACCopyMgrDevice*>(&object))
                                  deviceRecord(out, config, *device);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgGetMMCMControllers(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyControllers, kControllersTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    ZQMACCopyMgrDevice* device = config.FindObject<ZQMACCopyMgrDevice>(request->objectHandle);
    if (device == nullptr) return true;
    for (unsigned long long handle : tkmm::handlesOf(device->GetControllerList(), config)) {
      ZQMACCopyMgrController* controller = config.FindObject<ZQMACCopyMgrController>(handle);
      if (controller == nullptr) continue;
      out.handle(tkmm::kItemObjectHandle, handle);
      controllerRecord(out, config, *controller);
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMCMControllerProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyControllers, kControllerPropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* controller = dynamic_cast<ZQMACCopyMgrController*>(&object))
                                  controllerRecord(out, config, *controller);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgSetMMCMDevice(MessageInfo* request) {
  DeviceChange change;
  return tkmm::runSet(request, kSetDeviceTag, change);
}

bool EvMMConfigMgr::onMsgSetMMCMController(MessageInfo* request) {
  ControllerAdd add;
  return tkmm::runSet(request, kSetControllerTag, add);
}
