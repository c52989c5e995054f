// Drag and drop in the configuration tree (onMsgMMDragNDrop): an object of
// the session's instance dropped on another (or on nothing); the object
// model decides what the gesture means (ZQMACMediaConfig::DragNDrop).
//
// Fixed payload from the first fixed field: u64 source handle at 0, u64
// target handle at 8 (0 = dropped on nothing), u32 drop mode at 20 (bytes
// 16 to 19 are not read). A drive (its first drive path) or a drive path
// dropped on nothing with a non-zero drop mode also has its library
// configured through the library's first controller, audited, and, under
// per-media-agent rights, a library stored for the first time is granted
// to the requesting user.
//
// One answer of operation 52: "Close" without an instance; status 3 for a
// drop the model refuses as meaningless (0x1F000003), 0 for any other
// refusal, both with the model's text; status 0 with a text when the drive
// path to configure belongs to no library or its library has no controller
// (nothing is configured then; the drop itself stands); "Success" otherwise.
#include <cstdint>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgMMDragNDrop";

constexpr uint32_t kOpDragNDrop = 52;
// Payload positions.
constexpr std::size_t kAtSource = 0;
constexpr std::size_t kAtTarget = 8;
constexpr std::size_t kAtMode = 20;

// The model's code of a drop that means nothing for the objects.
constexpr unsigned int kErrorDropRefused = 0x1F000003;

// Catalogue texts.
constexpr unsigned long kTextAddUserFailed = 0x24000330;  // %1 the controller's name
constexpr unsigned long kTextNoLibrary = 0x24000F01;      // %1 the drive path's name
constexpr unsigned long kTextNoController = 0x24000F02;   // %1 the library's name

// Audit of a configured library.
constexpr int kAuditConfigureMode = 0x540000B6;
constexpr int kParamObject = 0x5500018B;  // display name, text A

constexpr unsigned int kNotStored = 0xFFFFFFFFu;

// Answers operation 52 and gives the handler's result.
bool answer(const MessageInfo& request, unsigned long status, const std::string& text) {
  EvMMConfigMgr::sendOperationResponse(request.sequenceNumber, request.socket, kOpDragNDrop, status, text.c_str(), 0);
  return status == 1;
}

bool fail(const MessageInfo& request, unsigned long status, const std::string& text) {
  EvDebug::Error(kTag, "%s", text.c_str());
  return answer(request, status, text);
}

// The drive path whose library a drop on nothing configures: the source
// itself, or a drive's first drive path; null for anything else.
ZQMACDms* drivePathToConfigure(ZQMACMediaConfig& config, unsigned long long source) {
  ZQMACInterface* object = config.FindObject(source);
  if (object == nullptr) return nullptr;
  switch (object->GetObjectType()) {
    case ZQMAC_OBJ_DMS: return dynamic_cast<ZQMACDms*>(object);
    case ZQMAC_OBJ_DRIVE: {
      auto* drive = dynamic_cast<ZQMACDrive*>(object);
      return drive == nullptr ? nullptr : drive->GetDmsList().GetFirstNode();
    }
    default: return nullptr;
  }
}

}  // namespace

bool EvMMConfigMgr::onMsgMMDragNDrop(MessageInfo* request) {
  MediaConfigPin pin;
  ZQMACMediaConfig* config = GetCurrentMediaConfig(request, false, pin);
  if (request == nullptr) {
    EvDebug::Debug(kTag, "%s", "Bad Parameter Received.");
    return false;
  }
  if (config == nullptr) return answer(*request, 1, "Close");
  ZQMACBase::SetLocale(EvReturnData::returnLocaleId(request->sequenceNumber));

  const unsigned long long source = request->payloadU64(kAtSource);
  const unsigned long long target = request->payloadU64(kAtTarget);
  const uint32_t mode = request->payloadWord(kAtMode);

  // Only a drop on nothing with a drop mode configures a library.
  ZQMACDms* path = target == 0 && mode != 0 ? drivePathToConfigure(*config, source) : nullptr;
  // The drive path is looked up again after the drop: the model may have
  // replaced or removed it.
  const unsigned long long pathHandle = config->GetHandle(path);

  if (!config->DragNDrop(source, target, mode)) {
    std::string text;
    const unsigned int code = config->GetLastError(text);
    return fail(*request, code == kErrorDropRefused ? 3 : 0, text);
  }
  if (pathHandle == 0) return answer(*request, 1, "Success");
  path = config->FindObject<ZQMACDms>(pathHandle);
  if (path == nullptr) return answer(*request, 1, "Success");

  ZQMACLms* lms = path->GetLms();
  if (lms == nullptr) return fail(*request, 0, ZQMACBase::GetMessageString(kTextNoLibrary, path->GetName().c_str()));
  ZQMACLinkedList<ZQMACLibController> controllers = lms->GetLibControllerList();
  ZQMACLibController* controller = controllers.GetFirstNode();
  if (controller == nullptr)
    return fail(*request, 0, ZQMACBase::GetMessageString(kTextNoController, lms->GetName().c_str()));

  const bool newLibrary = controller->GetId() == kNotStored;
  if (newLibrary)
    EvDebug::Debug(kTag, "%s", "CREATE NEW LIB");
  else
    EvDebug::Debug(kTag, "CONFIG EXISTING LIB [%d]", static_cast<int>(controller->GetId()));
  if (!controller->Configure(true)) return fail(*request, 0, controller->GetLastError());

  const ZQMACLibrary* library = controller->GetLibrary();
  tkmm::writeAuditRecord(kAuditConfigureMode, library != nullptr ? static_cast<int>(library->GetId()) : 0,
                         {{kParamObject, {controller->GetDisplayName(), controller->GetTextA(false)}}});

  const unsigned int id = controller->GetId();
  if (doMACheck() && newLibrary && id != 0 && id != kNotStored) {
    EvSecurityCheck security(request->sequenceNumber);
    std::string error;
    const int added = security.addUserToLibrary(request->userId, EvReturnData::returnLocaleId(request->sequenceNumber),
                                                id, error, nullptr);
    if (added != 0 || !error.empty()) {
      EvDebug::Error(kTag, "Failed to add user to library with error [%s]", error.c_str());
      return fail(*request, 0, ZQMACBase::GetMessageString(kTextAddUserFailed, controller->GetName().c_str()));
    }
  }
  return answer(*request, 1, "Success");
}
