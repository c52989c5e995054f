// The XML entry of the media-management handlers: the host hands every XML
// request here with its message id and one text buffer, and the handler of
// that id reads the request from the buffer and writes its response back
// into it. The ids and their handlers are a table (kXmlHandlers); each XML
// handler adds its own row. The dispatcher keeps no state, takes no lock
// and writes no log: what the handlers share is guarded by the handlers.
//
// An id without a row runs nothing and leaves the buffer as it came, so the
// host gets the request text back with 0 (or -1 for an empty text).
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/EZTapeWizardMessages.h"
#include "platform/xml/EZWizardMessages.h"
#include "platform/xml/RPStoreMessages.h"
#include "platform/xml/StorageLibraryMessages.h"
#include "platform/xml/TaskMessages.h"

namespace {

// A handler of one message id; its own result is not used.
using XmlHandler = int (EvMMConfigMgr::*)(MessageInfo*, std::string&);

struct XmlRow {
  unsigned long messageId;  // the class hash of the request message
  XmlHandler handler;
};

// One row per XML request.
constexpr XmlRow kXmlHandlers[] = {
    // EVGui::ConfigureStorageLibraryReq (13:27).
    {EVGui::ConfigureStorageLibraryReq::kClassHash, &EvMMConfigMgr::onMsgConfigStorageLibrary},
    // EVGui::CanDeleteLibraryMountPathReq (13:1096).
    {EVGui::CanDeleteLibraryMountPathReq::kClassHash, &EvMMConfigMgr::onMsgCanDeleteLibraryMountpath},
    // EVGui::MMDevicePathInfoReq (13:812).
    {EVGui::MMDevicePathInfoReq::kClassHash, &EvMMConfigMgr::onMsgDevicePathInfoReq},
    // EVGui::RPStoreLibraryReq (13:975).
    {EVGui::RPStoreLibraryReq::kClassHash, &EvMMConfigMgr::onMsgConfigRPStoreLibrary},
    // ZQGui::EZConfigureMagneticLibraryReq (1:104) and EZGetMagneticLibrariesReq (1:42).
    {ZQGui::EZConfigureMagneticLibraryReq::kClassHash, &EvMMConfigMgr::onMsgEZConfigureMagneticLibrary},
    {ZQGui::EZGetMagneticLibrariesReq::kClassHash, &EvMMConfigMgr::onMsgEZGetMagneticLibrary},
    // ZQGui::EZGetTapeLibrariesReq (1:6), EZConfigureTapeLibraryReq (1:57),
    // EZConfigureTapeLibraryDrivesReq (1:163), EZSetTapeLibraryAliasNameReq (1:91).
    {ZQGui::EZGetTapeLibrariesReq::kClassHash, &EvMMConfigMgr::onMsgEZGetTapeLibrary},
    {ZQGui::EZConfigureTapeLibraryReq::kClassHash, &EvMMConfigMgr::onMsgEZConfigureTapeLibrary},
    {ZQGui::EZConfigureTapeLibraryDrivesReq::kClassHash, &EvMMConfigMgr::onMsgEZConfigureTapeLibraryDrives},
    {ZQGui::EZSetTapeLibraryAliasNameReq::kClassHash, &EvMMConfigMgr::onMsgEZSetTapeLibraryAliasNameReq},
    // EVGui::MMConfigurationLockUnlockReq (13:960).
    {EvMMConfigMgr::kLockUnlockXmlMessageId, &EvMMConfigMgr::OnMsgLockUnlockMMConfigurationXML},
};

}  // namespace

long long EvMMConfigMgr::HandleMMConfigMgrXmlMsg(MessageInfo* request, unsigned long, unsigned long, unsigned long,
                                                 unsigned long messageId, std::string& xml) {
  for (const XmlRow& row : kXmlHandlers) {
    if (row.messageId == messageId) {
      (this->*row.handler)(request, xml);
      break;
    }
  }
  return xml.empty() ? -1 : 0;
}
