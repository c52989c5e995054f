// The tape-library setup wizard's rename (ZQGui::EZSetTapeLibraryAliasNameReq):
// the alias name of a listed library (by the handle of its
// library-management object) or drive (by the handle of a drive path), on
// the console's cached configuration. The name goes to the model as it
// came; whether it is taken is the model's business. No lock, no rights
// check; ZQGui::GenericResp answers either way.
#include <string>

#include "ezconfig/EzWizardFrame.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/xml/EZTapeWizardMessages.h"

namespace {

using tkezconfig::WizardFrame;
using Request = ZQGui::EZSetTapeLibraryAliasNameReq;

constexpr const char* kTag = "EvMMConfigMgr::onMsgEZSetTapeLibraryAliasNameReq";
constexpr unsigned long kTextXmlUnreadable = 0x23000452;

void refuse(WizardFrame& frame, const std::string& text) {
  EvDebug::Error(kTag, "Failed to rename, due to Error: %s.", text.c_str());
  frame.fail(text);
}

void rename(WizardFrame& frame, Request& request) {
  ZQMACMediaConfig& config = *frame.config();
  const auto handle = static_cast<unsigned long long>(
      request.getint64(Request::kHandle.tag, Request::kClassHash, Request::kHandle.hash));
  std::string text = request.getstring(Request::kAliasName.ordinal, Request::kAliasName.tag, Request::kClassHash,
                                       Request::kAliasName.hash);
  // A NUL would end the name early: the object would get a name nobody
  // asked for. (Its length is the object's to judge: the conversion keeps
  // it whole, and each kind refuses a name longer than its column.)
  if (text.find('\0') != std::string::npos) {
    EvDebug::Error(kTag, "%s", "The alias name of the request holds a NUL.");
    frame.failWith(kTextXmlUnreadable);
    return;
  }
  const std::string alias = MyUTF8Text(text);
  ZQMACInterface* object = config.FindObject(handle);
  if (object == nullptr) {
    refuse(frame, "Invalid object address.");
    return;
  }
  bool renamed = false;
  std::string error;
  if (object->GetObjectType() == ZQMAC_OBJ_LMS) {
    ZQMACLibrary* library = static_cast<ZQMACLms*>(object)->GetLibrary();
    renamed = library != nullptr && library->SetAliasName(alias);
    if (library != nullptr) error = library->GetLastError();
  } else if (object->GetObjectType() == ZQMAC_OBJ_DMS) {
    ZQMACDrive* drive = static_cast<ZQMACDms*>(object)->GetDrive();
    renamed = drive != nullptr && drive->SetAliasName(alias);
    if (drive != nullptr) error = drive->GetLastError();
  } else {
    refuse(frame, "Unknow object type.");
    return;
  }
  if (!renamed) {
    EvDebug::Error(kTag, "Failed to rename [%s] to [%s]: %s", object->GetName().c_str(), alias.c_str(),
                   error.c_str());
    // The model leaves the reason on the object; the instance's last error
    // may be an older one of another request.
    frame.fail(!error.empty() ? error : config.GetLastError());
  }
}

}  // namespace

int EvMMConfigMgr::onMsgEZSetTapeLibraryAliasNameReq(MessageInfo* request, std::string& xml) {
  WizardFrame frame(request, xml, kTag);
  Request message;
  if (frame.open(message, "ZQGui::EZSetTapeLibraryAliasNameReq")) rename(frame, message);
  tkezconfig::answerDone(frame);
  return 0;
}
