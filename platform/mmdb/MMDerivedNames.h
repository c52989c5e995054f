// The names the system makes of another object's name: a drive pool's of
// its media agent, a master pool's, medium's, folder device's and storage
// policy's of their library, a software copy manager's of its media agent,
// an NDMP drive's of its server. Every route that stores such a name takes
// it from here, so that each kind is spelled, and made to fit its column,
// in one place.
//
// Such a name is the system's label, never a text the user typed: the name
// it is made of is cut on a character boundary (never inside a UTF-8
// character) so that the whole holds in its column. Made to fit, it lets an
// agent or library of any name stored get its pools, media and devices,
// where a refusal would leave it unusable; stored whole, it reads back as
// it was written.
//
//   access.insertMasterPool(libraryId, tkmmdb::masterPoolName(library), id);
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tkmmdb {

// `prefix`, `source` and `suffix`, with `source` cut on a character
// boundary so that the whole holds in `width` bytes. Where `prefix` and
// `suffix` alone are wider, nothing of `source` is taken and the two are
// cut on a character boundary to `width`.
std::string derivedName(std::string_view prefix, std::string_view source, std::string_view suffix,
                        std::size_t width);

// "DrivePool(<agent>" and `tail` (")", ")_2", ...): a drive pool of the
// media agent (or, of no agent, of the library) in the width of
// MMDrivePool.DrivePoolName.
std::string drivePoolName(std::string_view agent, std::string_view tail = ")");
// "DrivePool(<agent>, <server>)": the drive pool of a media agent's drive
// paths to an NDMP server's drives.
std::string ndmpDrivePoolName(std::string_view agent, std::string_view server);
// "Drive<number> (<server>)": a drive an NDMP server serves, in the width
// of MMDrive's name and alias, which it is stored in both.
std::string ndmpDriveName(int number, std::string_view server);
std::size_t driveNameWidth();
// "MasterPool(<library>" and `tail`, in the width of
// MMMasterPool.MasterPoolName.
std::string masterPoolName(std::string_view library, std::string_view tail = ")");
// "<library> medium": the medium of a disk library's mount path, in the
// width of MMMedia.MediaName.
std::string mediumName(std::string_view library);
// "<library> device": the folder device a disk library is made with, in
// the width of MMDevice.AliasName.
std::string folderDeviceName(std::string_view library);
// "Software copy manager on <agent>", in the width of MMCopyManager's names.
std::string copyManagerName(std::string_view agent);
// "SP_<library>": the storage policy made for a new library, in the width of
// archGroup.name.
std::string storagePolicyName(std::string_view library);
// The default copy of such a policy.
inline constexpr const char* kPrimaryCopyName = "Primary";

}  // namespace tkmmdb
