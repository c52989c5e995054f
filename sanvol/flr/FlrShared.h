// What the file-level-recovery handlers share (discovery, listings, mounts,
// shares and the fan-in requests): the credentials under which an FLR set's
// storage is mounted, the client host that mounts go to, the device name of
// a snapshot, the "Reason: " text of a failed client call, the answers that
// differ from the frame's, and the numbers every FLR handler names.
//
//   std::string user, password;
//   tksanvol::flr::GetImpersonation(flrSetId, user, password);
//   session.addVolumeMountPointOntap(..., user, password, &chosen, 0, locale);
//
// The credentials are lock data of backup sets, fetched at each call; they
// are never logged, journaled or sent to a client.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "frame/ElementTags.h"
#include "frame/SANVolFrame.h"

namespace tksanvol::flr {

// The application type of file replication, whose backup sets are the FLR
// sets.
inline constexpr int kAppTypeFileReplication = 84;
// The default instance of an application on a client.
inline constexpr int kDefaultInstanceId = 0;

// Elements of the mount and share requests.
inline constexpr unsigned int kElementClient = tktag::kSanVolumeHost;      // u32 client id, then the client name
inline constexpr unsigned int kElementSnapId = tktag::kSnapshotId;      // u32
inline constexpr unsigned int kElementSnapName = tktag::kSnapshotName;    // text
inline constexpr unsigned int kElementMountPoint = tktag::kSnapshotMountPoint;  // u32 mount-point id, then the mount path
inline constexpr unsigned int kElementShare = tktag::kNetworkShare;       // u32 share id, then the share name
inline constexpr unsigned int kElementSnapVolume = tktag::kSnapshotVolumeOrPath;  // text

// Operations of the mount and share requests.
inline constexpr unsigned long long kOperationAdd = 1;
inline constexpr unsigned long long kOperationRemove = 2;

// The user name and password of an FLR set's lock data. Set id 0: 0, and
// both texts left as they are. Otherwise 1: when the set's destination
// client has another set of file replication marked default, that set's
// credentials are taken; when that leaves the user name empty, the set's
// own. Whatever the backup-set calls throw ends the routine with 1 and what
// was filled so far.
int GetImpersonation(unsigned long long flrSetId, std::string& userName, std::string& password);

// A value with a leading 32-bit number and a text (client, mount point,
// share): a value shorter than its number reads the number as 0 and an
// empty text; the text is cut at 4,099 characters.
IdText readLeadingIdText(const char* value, unsigned int length);

// The reason of a failed client call: "Reason: " and the client's error
// text, or the empty text when the client gave none.
std::string reasonOf(const std::string& lastErrorString);

// printf into a text of any length (the caller cuts where it must).
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Whether a text begins with another.
inline bool beginsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The host a client-side call of a mount goes to: the client's network host
// name, or its client name when it has none (or it cannot be read).
std::string clientHostOf(int32_t clientId, const std::string& clientName);

// A snapshot name as the client's volume service names the device: "QSV"
// in front of a name that begins with "{".
std::string deviceNameOf(const std::string& snapshotName);

// What the client's volume service puts in front of the name of a VSS
// snapshot to mount it.
inline constexpr const char* kVSSMoniker = "VSS_SNAP_SSID_MONIKER\x15";

// The device text under which the client unmounts an ONTAP snapshot.
std::string ontapDeviceText(const std::string& snapshotName, const std::string& mountPath);

// The filer of an ONTAP snapshot: its source text up to the first " / "
// (the whole text when it has none).
std::string serverPartOf(const std::string& source);

// The last part of a share path: what follows its last backslash (the whole
// text when it has none).
std::string leafOf(const std::string& text);

// The user name and password of the lock data of one FLR set, as stored
// (no default set taken instead). What the backup-set calls throw leaves
// the texts as far as they were filled.
void lockDataOf(unsigned long long flrSetId, std::string& userName, std::string& password);

// The rules of the mount and share requests: operations judged by the
// handler (invalidOperation answers the others), unknown elements logged
// and skipped.
StreamRules mountRules(const char* tag);
// An operation other than 1 and 2: logged, answered with the literal
// "Received invalid operation type" (no catalogue text).
RecordOutcome invalidOperation(StreamContext& context);
// A failure answered with a text of its own instead of a catalogue text:
// into the answer buffer (cut at 1,023 characters), logged at error level,
// sent with status 0.
RecordOutcome answerWithText(RequestAnswer& answer, const std::string& text, AnswerForm form = AnswerForm::Response,
                             unsigned long long operation = 0);
// A failure answered with the catalogue text of `messageId`, the texts
// given as its arguments.
RecordOutcome failWith(RequestAnswer& answer, unsigned long messageId, const std::string& explanation,
                       std::initializer_list<std::string> arguments);

}  // namespace tksanvol::flr
