// The mount paths (storage folders) of a disk library for the configuration
// tree: all mount paths of one disk library (onMsgGetMMMountPaths) or the
// record of one mount path (onMsgGetMMMountPathProperties), both reply
// 11027 through the Get wrapper (HandlerSkeleton.h).
//
// Lock: the records are read while the handler holds the process-wide
// section gCriticalSectionCTOR, taken only when the session has an
// instance (and, for one mount path, only when the handle names one) and
// left as soon as the records are written, before the reply ends: a client
// that is force-closed never waits for it, and the reply's write never
// happens under it.
//
// A handle of an object other than a disk library (list) or a mount path
// (record) is an unknown handle: an empty block. Every mount path of the
// library is listed; the record carries no user name and no credential.
#include <cstdint>
#include <string>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/ZqCriticalSection.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"

namespace {

constexpr const char* kListTag = "EvMMConfigMgr::onMsgGetMMMountPaths";
constexpr const char* kPropertiesTag = "EvMMConfigMgr::onMsgGetMMMountPathProperties";

constexpr unsigned long kReplyMountPaths = tktag::kReplyMountPaths;

constexpr unsigned long kItemMountPath = tktag::kMountPath;
constexpr unsigned long kItemMountPathType = tktag::kMountPathType;
constexpr unsigned long kItemForeignAgent = tktag::kForeignAgentId;

void mountPathRecord(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, ZQMACMountPath& path) {
  out.idText(kItemMountPath, path.GetId(), path.GetDisplayName());
  out.textA(path);
  out.u32(kItemMountPathType, static_cast<uint32_t>(path.GetMountPathType()));
  out.u32(kItemForeignAgent, static_cast<uint32_t>(path.GetForeignAgantId()));
  out.textB(path);
  out.shown(path);
  out.icon(config, path);
  out.endOfRecord();
}

}  // namespace

bool EvMMConfigMgr::onMsgGetMMMountPaths(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyMountPaths, kListTag, [&](ZQMACMediaConfig& config) {
    ZqCriticalSectionLock section(&gCriticalSectionCTOR);
    ZQMACMagLib* library = config.FindObject<ZQMACMagLib>(request->objectHandle);
    if (library == nullptr) return true;
    tkmm::RecordWriter out(*this);
    for (unsigned long long handle : tkmm::handlesOf(library->GetMountPathList(), config)) {
      ZQMACMountPath* path = config.FindObject<ZQMACMountPath>(handle);
      if (path == nullptr) continue;
      out.handle(tkmm::kItemObjectHandle, handle);
      mountPathRecord(out, config, *path);
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMMountPathProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyMountPaths, kPropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                auto* path = dynamic_cast<ZQMACMountPath*>(&object);
                                if (path == nullptr) return true;
                                ZqCriticalSectionLock section(&gCriticalSectionCTOR);
                                tkmm::RecordWriter out(*this);
                                mountPathRecord(out, config, *path);
                                return true;
                              });
}
