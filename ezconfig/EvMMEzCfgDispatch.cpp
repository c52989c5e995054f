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
    {0x0D130098, &EvMMConfigMgr::onMsgConfigStorageLibrary},
    // EVGui::CanDeleteLibraryMountPathReq (13:1096).
    {0x0DF856C0, &EvMMConfigMgr::onMsgCanDeleteLibraryMountpath},
    // EVGui::MMDevicePathInfoReq (13:812).
    {0x0D9DA735, &EvMMConfigMgr::onMsgDevicePathInfoReq},
    // EVGui::RPStoreLibraryReq (13:975).
    {0x0D64B786, &EvMMConfigMgr::onMsgConfigRPStoreLibrary},
    // ZQGui::EZConfigureMagneticLibraryReq (1:104) and EZGetMagneticLibrariesReq (1:42).
    {0x01000BBC, &EvMMConfigMgr::onMsgEZConfigureMagneticLibrary},
    {0x01000BBA, &EvMMConfigMgr::onMsgEZGetMagneticLibrary},
    // ZQGui::EZGetTapeLibrariesReq (1:6), EZConfigureTapeLibraryReq (1:57),
    // EZConfigureTapeLibraryDrivesReq (1:163), EZSetTapeLibraryAliasNameReq (1:91).
    {0x01000BBF, &EvMMConfigMgr::onMsgEZGetTapeLibrary},
    {0x01000BC1, &EvMMConfigMgr::onMsgEZConfigureTapeLibrary},
    {0x015845CD, &EvMMConfigMgr::onMsgEZConfigureTapeLibraryDrives},
    {0x01A8EB4F, &EvMMConfigMgr::onMsgEZSetTapeLibraryAliasNameReq},
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
