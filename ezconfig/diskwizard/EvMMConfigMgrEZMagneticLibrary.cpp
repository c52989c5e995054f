// The last step of the disk-library setup wizard
// (ZQGui::EZConfigureMagneticLibraryReq): one request names a media agent, a
// folder and the storage-policy settings of a disk library, on the console's
// cached configuration. By what the request's library handle finds:
//  - a library with a mount path: the path and its credentials change when
//    the request asks for it, and the policy of the request's record gets
//    its settings; the response is the request's record;
//  - no library: a new one on the named media agent, stored with a storage
//    policy of its own, gets the folder as its first mount path;
//  - a library without a mount path: the folder becomes its first one.
// The storage policy then gets its flags, optionally client-side
// deduplication with a seal-store task on its default copy, and its aging
// rule and disk threshold.
//
// No lock, no rights check of its own, no audit record. No transaction
// either: each step stands alone, and what a failing step finds done stays;
// a failure after the mount path was added names what stayed.
// Everything that can refuse the request as given (unreadable password,
// over-long or cut texts, missing names, an unknown agent) is checked before
// the first change.
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMMountPath.h"
#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "Db/Tbl/archTask.h"
#include "ezconfig/EzWizardFrame.h"
#include "ezconfig/diskwizard/EZMagneticLibraryRecord.h"
#include "frame/CredentialElements.h"
#include "frame/EvEvent.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/archivemgr/AgingRule.h"
#include "platform/db/DBtable.h"
#include "platform/db/TextWidth.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/security/StoredPassword.h"
#include "platform/xml/EZWizardMessages.h"
#include "platform/xml/ProxyUserNames.h"

namespace {

using tkezconfig::WizardFrame;
using Record = ZQGui::EZMagneticLibrary;
using Request = ZQGui::EZConfigureMagneticLibraryReq;
using Response = ZQGui::EZConfigureMagneticLibraryResp;

constexpr const char* kTag = "EvMMConfigMgr::onMsgEZConfigureMagneticLibrary";

// Catalogue texts.
constexpr unsigned long kTextXmlUnreadable = 0x23000452;
constexpr unsigned long kTextMediaAgentUnknown = 0x23000019;
constexpr unsigned long kTextMountPathEmpty = 0x240002C0;
constexpr unsigned long kTextSaveRefused = 0x24000176;
constexpr unsigned long kTextPathInUse = 0x2400005E;
constexpr unsigned long kTextPathUnreachable = 0x2400004B;
constexpr unsigned long kTextPolicyNotSet = 0x4100000E;  // %1 the library's alias or the policy's name

// Catalogue texts are fetched into a buffer of this size.
constexpr unsigned long kCatalogueTextSize = 1024;

// Storage-policy flags by the request's policy option, the copy's
// client-side deduplication bits, and the aging rule's flag for a library
// whose disk space is managed automatically.
constexpr int kPolicyFlagsOption = 0x220;
constexpr int kPolicyFlagsDefault = 0xA0;
constexpr int kClientSideDedup = 0xC0000;
constexpr int kAgingAutoManageDisk = 8;
constexpr int kRetentionCycles = 1;
// Mode of the library list procedure when a library is configured.
constexpr int kListForConfiguration = 0;
// The two settings of a new mount path (concurrent writers, reserved space).
constexpr int kMountPathSetting = 1000;
// What a mount-path description holds: the user name and the password.
constexpr std::size_t kUserNameMax = tkpassword::kUserNameWidth;
constexpr std::size_t kPasswordMax = tkpassword::kPasswordColumnWidth;
// A new mount path is the folder of its device's volume too: it is stored
// whole in both columns, or not at all.
constexpr std::size_t kNewFolderMax =
    std::min(TK_TEXT_WIDTH(MMMountPath_t, MountPathName), TK_TEXT_WIDTH(MMDeviceController_t, Folder));

// What the request says, read once.
struct Wanted {
  unsigned long long handle = 0;
  int libraryId = 0;
  std::string mediaAgent;
  std::string mountPath;
  std::string userName;
  bool passwordCame = false;
  std::string password;  // in its stored form; wiped when the request ends
  int policyId = 0;
  std::string policyName;
  int copyId = 0;
  std::string copyName;
  int autoManageDisk = 0;
  int diskCapacity = 0;
  int retentionDays = 0;
  int dedupCopies = 0;
  bool updateMountPath = false;
  long long policyOption = 0;

  ~Wanted() { tkmm::wipe(password); }
};

// The low 32 bits, as the wizard's numbers are used.
int low32(long long value) { return static_cast<int>(static_cast<unsigned int>(value)); }

// A request text as the handlers take texts in: refused (false, answered
// naming the limit) when it is longer than the wizard takes a text, or
// carries a NUL, which would end it early: a cut path names another folder.
bool takeText(WizardFrame& frame, const CNMessageBase& record, const tkxml::FieldDef& field, const char* what,
              std::string& out) {
  constexpr std::size_t kTextMax = kMyTextBufferSize - 1;
  std::string text = record.getstring(field.ordinal, field.tag, Record::kClassHash, field.hash);
  if (!tkdb::fitsWhole(text, kTextMax)) {
    EvDebug::Error(kTag, "The %s of the request is longer than %zu characters or holds a NUL.", what, kTextMax);
    frame.fail(tkdb::notWhole(what, text, kTextMax));
    return false;
  }
  out = MyUTF8Text(text);
  return true;
}

// Reads the request's values and puts the password in its stored form.
// False when refused.
bool readWanted(WizardFrame& frame, Request& request, Wanted& w) {
  const CNMessageBase& lib = request.getObjectAccessor(
      true, false, Request::kLibrary.ordinal, Request::kLibrary.tag, Request::kClassHash, Request::kLibrary.hash,
      Request::kLibrary.ns, Request::kLibrary.cls);
  auto number = [&](const tkxml::FieldDef& f) { return lib.getint64(f.tag, Record::kClassHash, f.hash); };
  w.handle = static_cast<unsigned long long>(number(Record::kHandle));
  w.libraryId = low32(number(Record::kLibraryId));
  w.policyId = low32(number(Record::kPolicyId));
  w.copyId = low32(number(Record::kCopyId));
  w.autoManageDisk = low32(number(Record::kAutoManageDisk));
  w.diskCapacity = low32(number(Record::kDiskCapacity));
  w.retentionDays = low32(number(Record::kRetentionDays));
  w.dedupCopies = low32(number(Record::kDedupCopies));
  w.updateMountPath =
      request.getint64(Request::kUpdateMountPath.tag, Request::kClassHash, Request::kUpdateMountPath.hash) != 0;
  w.policyOption = request.getint64(Request::kPolicyOption.tag, Request::kClassHash, Request::kPolicyOption.hash);
  if (!takeText(frame, lib, Record::kMediaAgentName, "media agent name", w.mediaAgent) ||
      !takeText(frame, lib, Record::kMountPath, "mount path", w.mountPath) ||
      !takeText(frame, lib, Record::kUserName, "user name", w.userName) ||
      !takeText(frame, lib, Record::kPolicyName, "storage policy name", w.policyName) ||
      !takeText(frame, lib, Record::kCopyName, "copy name", w.copyName))
    return false;
  // A proxy password written into the user name is kept, and answered, only
  // in the stored form, as on every other route that stores a user name.
  static_assert(tkxml::isProxyUserNameField<Record>(Record::kUserName), "a user name that may carry a proxy password");
  std::string storedName;
  std::string nameRefusal;
  // A user name the mount-path description cannot hold would be refused only
  // once a new library is stored.
  if (!tkpassword::storedUserNameIn(w.userName, kUserNameMax, storedName, nameRefusal)) {
    tkmm::wipe(w.userName);
    EvDebug::Error(kTag, "the user name was refused for storage: %s", nameRefusal.c_str());
    frame.fail(nameRefusal);
    return false;
  }
  tkmm::wipe(w.userName);
  w.userName = std::move(storedName);
  const bstring& encrypted = lib.getbstringobjectByRef(Record::kPassword.ordinal, Record::kPassword.tag,
                                                       Record::kClassHash, Record::kPassword.hash);
  if (encrypted.empty()) return true;
  w.passwordCame = true;
  EvExternal services(0);
  // Going on with a password that did not decrypt, or that its column
  // cannot hold, would store a wrong one (or none) and answer success.
  std::string refusal;
  if (!tkmm::decryptPasswordForStorage(services, frame.request(), encrypted.c_str(),
                                       static_cast<unsigned int>(encrypted.size()), kTag, w.password, refusal)) {
    if (!refusal.empty()) {
      frame.fail(refusal);
      return false;
    }
    EvDebug::Error(kTag, "%s", "failed to decrypt user password");
    frame.failWith(kTextXmlUnreadable);
    return false;
  }
  return true;
}

// What a failure of the policy's steps says was kept: the wizard has no
// transaction, so the library it made and the mount path it added (with the
// device the path lies on) stay. Empty when nothing was added (case A).
std::string keptBefore(ZQMACMediaConfig& config, ZQMACMagLib& library, bool newLibrary) {
  const ZQMACMountPath* path = library.GetMountPathList().GetFirstNode();
  if (path == nullptr) return std::string();
  const ZQMACDiskDevice* device =
      path->GetForeignAgantId() != 0 ? config.FindDBNode<ZQMACDiskDevice>(path->GetForeignAgantId()) : nullptr;
  std::vector<std::string> parts;
  if (newLibrary) parts.push_back("the library [" + library.GetName() + "]");
  parts.push_back("the mount path [" + path->GetName() + "]");
  if (device != nullptr) parts.push_back("the device [" + device->GetName() + "] it lies on");
  std::string kept;
  for (std::size_t i = 0; i < parts.size(); ++i)
    kept += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  kept[0] = 'T';
  return kept + (parts.size() > 1 ? " were kept." : " was kept.");
}

// The failure of a policy step: the catalogue's text naming the library's
// alias or the policy, then what was kept.
void policyNotSet(WizardFrame& frame, const std::string& name, const std::string& kept) {
  if (kept.empty()) return frame.failWith(kTextPolicyNotSet, {name});
  char buffer[kCatalogueTextSize];
  frame.fail(std::string(EvGetLocTextV(kTextPolicyNotSet, buffer, sizeof buffer, frame.locale(), {name})) + " " + kept);
}

// Case A: the path and credentials of the existing first mount path.
bool updateMountPath(WizardFrame& frame, ZQMACMountPath& path, const Wanted& w) {
  if (!path.SetName(w.mountPath)) {
    frame.fail(path.GetLastError());
    return false;
  }
  path.SetUserName(w.userName);
  if (w.passwordCame) path.SetUserPassword(w.password);
  // A refused change is answered: the console would otherwise show
  // credentials that were never stored.
  if (!path.UpdateNameAndPassword()) {
    EvDebug::Error(kTag, "Failed to update the credentials of mount path [%s]: %s", w.mountPath.c_str(),
                   path.GetLastError().c_str());
    frame.fail(path.GetLastError());
    return false;
  }
  return true;
}

// Case B: a new library on the named media agent, stored with its own
// storage policy; null when refused. A library whose save failed is freed
// before the failure is answered.
ZQMACMagLib* createLibrary(WizardFrame& frame, ZQMACMediaAgent& agent) {
  ZQMACMediaConfig& config = *frame.config();
  auto library = std::make_unique<ZQMACMagLib>();
  library->SetMediaConfig(&config);
  library->SetMediaAgent(&agent);
  library->SetAutoCreateStoragePolicy(true);
  if (library->Configure(false)) return library.release();  // the configuration owns it now
  std::string error;
  const unsigned int code = library->GetLastError(error);
  if (code == ZQMACMagLib::kErrorMagLibNameInUse || code == ZQMACMagLib::kErrorMagLibNoConfig) {
    frame.fail(ZQMACBase::GetMessageString(kTextSaveRefused));
  } else {
    EvDebug::Error(kTag, "Failed to configure MagneticLibrary using Media Agent [%s], due to Error: %s.",
                   agent.GetNetHostName().c_str(), error.c_str());
    frame.fail(error);
  }
  if (library->GetOwner() != nullptr) config.DeleteObject(library.release());
  return nullptr;
}

// Cases B and C: the folder becomes the library's first mount path. A
// password whose stored form is too long for the description is left out
// of it.
bool addMountPath(WizardFrame& frame, ZQMACMagLib& library, const Wanted& w) {
  MountPathInfo info{};
  info.libraryId = static_cast<int>(library.GetId());
  info.path = w.mountPath;
  info.maxConcurrentWriters = kMountPathSetting;
  info.reserveSpaceMB = kMountPathSetting;
  info.userName = w.userName;
  if (w.passwordCame && w.password.size() <= kPasswordMax) info.password = w.password;
  // On the library's media agent, the folder lies on a device of its own
  // (as a library made by the storage-library request), or a re-read would
  // find a library that no agent reaches.
  ZQMACMountPath* path = tkmac::addWizardMountPath(library, info);
  tkmm::wipe(info.password);
  if (path != nullptr) return true;
  std::string error;
  const unsigned int code = library.GetLastError(error);
  if (code == ZQMACMagLib::kErrorMountPathInUse) {
    frame.fail(ZQMACBase::GetMessageString(kTextPathInUse));
  } else if (code == ZQMACMagLib::kErrorMountPathNoDevice || code == ZQMACMagLib::kErrorMountPathUnreached) {
    frame.fail(ZQMACBase::GetMessageString(kTextPathUnreachable));
  } else {
    EvDebug::Error(kTag, "Failed to add MountPath [%s], due to Error: %s.", w.mountPath.c_str(), error.c_str());
    frame.fail(error);
  }
  return false;
}

// Cases B and C: the library's storage policy and default copy; a failure
// names what was kept.
bool readPolicy(WizardFrame& frame, ZQMACMagLib& library, Wanted& w, MMS2getArchGrpNCopyListByLibIdEZ& list,
                const std::string& kept) {
  list.setValues(static_cast<int>(library.GetId()), kListForConfiguration);
  int count = 0;
  const int rc = getNextRow(&list, &count, -1, 0);
  if (rc != 0) {
    if (rc == DB_NO_ROW)
      EvDebug::Debug(kTag, "No archGrpNCopy list returned for lib [%s].", library.GetAliasName().c_str());
    else
      EvDebug::Error(kTag, "Error fetching archGrpNCopy list for lib [%s]. Error [%s]", library.GetAliasName().c_str(),
                     DBtable::getErrorStr(rc));
    policyNotSet(frame, library.GetAliasName(), kept);
    return false;
  }
  const MMS2getArchGrpNCopyListByLibIdEZ_t* row = list.getDataPtr();
  w.libraryId = static_cast<int>(library.GetId());
  w.policyId = row->o_ArchGroupId;
  w.policyName = row->o_ArchGroupName;
  w.copyId = row->o_DefaultCopyId;
  w.copyName = row->o_DefaultCopyName;
  return true;
}

// Steps common to every case: policy flags, deduplication, aging rule; a
// failure names what was kept (`kept`, empty in case A).
bool setUpPolicy(WizardFrame& frame, const Wanted& w, bool logAging, const std::string& kept = std::string()) {
  const int flags = w.policyOption > 0 ? kPolicyFlagsOption : kPolicyFlagsDefault;
  ArchGroup policy(nullptr);
  policy.setWhere("id = %d", w.policyId);
  int rc = policy.rowUpdate("flags = flags | %d", flags);
  if (rc != 0) {
    EvDebug::Error(kTag, "Failed to set flags for storage policy [%d: %s] with error[%d]: %s", w.policyId,
                   w.policyName.c_str(), rc, DBtable::getErrorStr(rc));
    policyNotSet(frame, w.policyName, kept);
    return false;
  }
  if (w.dedupCopies > 0) {
    ArchTask task(nullptr);
    ArchTask_t row;  // every number 0, both times cleared
    task.setValues(&row);
    rc = task.rowInsert(true);
    if (rc != 0) {
      EvDebug::Error(kTag,
                     "Failed to set rules for sealing deduplication store for storage policy copy [%d: %s] with "
                     "error[%d]: %s",
                     w.copyId, w.copyName.c_str(), rc, DBtable::getErrorStr(rc));
      policyNotSet(frame, w.policyName, kept);
      return false;
    }
    const int taskId = task.getDataPtr()->id;
    ArchGroupCopy copy(nullptr);
    copy.setWhere("id = %d", w.copyId);
    rc = copy.rowUpdate("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d", kClientSideDedup, taskId);
    if (rc != 0) {
      EvDebug::Error(kTag,
                     "Failed to set ZQA_CLIENT_SIDE_DEDUP_FLAG for storage policy copy [%d: %s] with error[%d]: %s",
                     w.copyId, w.copyName.c_str(), rc, DBtable::getErrorStr(rc));
      policyNotSet(frame, w.policyName, kept);
      return false;
    }
  }
  if (!SetAgingRuleAndThreshold(w.policyId, w.retentionDays, kRetentionCycles,
                                w.autoManageDisk != 0 ? kAgingAutoManageDisk : 0, w.libraryId, w.diskCapacity)) {
    if (logAging)
      EvDebug::Error(kTag, "Failed to update archGroup [%s] and copy [%s]] properties.", w.policyName.c_str(),
                     w.copyName.c_str());
    policyNotSet(frame, w.policyName, kept);
    return false;
  }
  return true;
}

void configure(WizardFrame& frame, Request& request, Response& response) {
  Wanted w;
  if (!readWanted(frame, request, w)) return;
  ZQMACMediaConfig& config = *frame.config();
  // Only a disk library of this configuration: any other handle is unknown.
  ZQMACMagLib* library = config.FindObject<ZQMACMagLib>(w.handle);
  ZQMACMountPath* firstPath = library != nullptr ? library->GetMountPathList().GetFirstNode() : nullptr;

  if (library != nullptr && firstPath != nullptr) {
    if (w.updateMountPath && !updateMountPath(frame, *firstPath, w)) return;
    if (!setUpPolicy(frame, w, false)) return;
    response.setObjectAccessor(request.getObjectAccessor(true, false, Request::kLibrary.ordinal, Request::kLibrary.tag,
                                                         Request::kClassHash, Request::kLibrary.hash,
                                                         Request::kLibrary.ns, Request::kLibrary.cls),
                               Response::kLibrary.ordinal, Response::kLibrary.tag, Response::kClassHash,
                               Response::kLibrary.hash);
    // The request's record, but with the user name as it is kept: never a
    // proxy password in the clear.
    if (!w.userName.empty())
      tkezconfig::putText(response.getObjectAccessor(true, true, Response::kLibrary.ordinal, Response::kLibrary.tag,
                                                     Response::kClassHash, Response::kLibrary.hash,
                                                     Response::kLibrary.ns, Response::kLibrary.cls),
                          Record::kUserName, w.userName);
    return;
  }

  // The folder becomes a new mount path (of a new library or of one that
  // has none yet).
  if (!tkdb::fitsWhole(w.mountPath, kNewFolderMax)) {
    EvDebug::Error(kTag, "The mount path of the request is longer than %zu bytes.", kNewFolderMax);
    frame.fail(tkdb::notWhole("mount path", w.mountPath, kNewFolderMax));
    return;
  }
  bool newLibrary = false;
  if (library == nullptr) {
    if (w.mediaAgent.empty()) {
      EvDebug::Error(kTag, "%s", "Media Agent Name in request is empty.");
      frame.failWith(kTextMediaAgentUnknown);
      return;
    }
    if (w.mountPath.empty()) {
      EvDebug::Error(kTag, "%s", "Mount Path in request is empty.");
      frame.failWith(kTextMountPathEmpty);
      return;
    }
    ZQMACMediaAgent* agent = config.GetMediaAgentList().FindNode(w.mediaAgent.c_str());
    if (agent == nullptr) {
      EvDebug::Error(kTag, "Media agent [%s] in request is not found.", w.mediaAgent.c_str());
      frame.failWith(kTextMediaAgentUnknown);
      return;
    }
    library = createLibrary(frame, *agent);
    if (library == nullptr) return;
    newLibrary = true;
  }

  if (!addMountPath(frame, *library, w)) return;
  MMS2getArchGrpNCopyListByLibIdEZ list(nullptr);
  const std::string kept = keptBefore(config, *library, newLibrary);
  if (!readPolicy(frame, *library, w, list, kept) || !setUpPolicy(frame, w, true, kept)) return;

  CNMessageBase& record =
      response.getObjectAccessor(true, true, Response::kLibrary.ordinal, Response::kLibrary.tag, Response::kClassHash,
                                 Response::kLibrary.hash, Response::kLibrary.ns, Response::kLibrary.cls);
  tkezconfig::putLibrary(record, config, *library);
  tkezconfig::putMountPath(record, library->GetMountPathList().GetFirstNode());
  // The policy as the steps above left it: the row read before them still
  // holds the retention, threshold and deduplication they replaced. Should
  // the second read fail, the first row is what is known.
  MMS2getArchGrpNCopyListByLibIdEZ after(nullptr);
  after.setValues(w.libraryId, kListForConfiguration);
  int count = 0;
  const bool reread = getNextRow(&after, &count, -1, 0) == 0 && after.getDataPtr()->o_ArchGroupId == w.policyId;
  tkezconfig::putPolicy(record, reread ? *after.getDataPtr() : *list.getDataPtr());
  EvDebug::Debug(kTag, "Update archGroup [%s] and copy [%s]] properties successfully.", w.policyName.c_str(),
                 w.copyName.c_str());
}

}  // namespace

int EvMMConfigMgr::onMsgEZConfigureMagneticLibrary(MessageInfo* request, std::string& xml) {
  WizardFrame frame(request, xml, kTag);
  Request message;
  Response response;
  if (frame.open(message, "ZQGui::EZConfigureMagneticLibraryReq")) configure(frame, message, response);
  frame.answer(response, "ZQGui::EZGetMagneticLibraryResp");
  return 0;
}
