// The console word of the storage-library request. A request (command line
// or script line) whose handler word is
//
//   storage-library TAG=VALUE ... second.TAG=VALUE ... request.TAG=VALUE ...
//
// is sent as EVGui::ConfigureStorageLibraryReq through the XML dispatcher:
//
//   --xml 0x0D130098 HandleMMConfigMgrXmlMsg '<request>'
//
// TAG is a field tag of the library description (EVGui::StorageLibraryInfo;
// 43 the operation code, 1 the library id, 7 the media-agent id, 8 the
// library name, 24 the mount path, ...); `second.TAG` sets the field in the
// second description (new values, a second media agent), `request.TAG` a
// field of the request itself (request.6=1: delete-enable, without which a
// library delete deletes nothing). A number field
// takes N or -N (or 0xN), a text field any text, a password field its plain
// text. Fields that hold messages cannot be set from the console.
#pragma once

#include <string>
#include <vector>

#include "console/CommandLine.h"

namespace tkconsole {

// Replaces a storage-library command in `words` by the request words it
// stands for (words of a script line keep their quotes: fromShell false).
// Other words are left alone. False with the reason when the command is wrong.
bool expandStorageLibraryCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

// The name of a storage-library operation code (tag 43: "delete library"
// for 2), or null for a code the request has no operation for.
const char* storageLibraryOperationName(long long code);

// The note the console prints under the answer to a library delete (43=2)
// that deleted nothing because the request's delete-enable field was 0 (the
// answer carries the library's description, which a delete drops); null for
// any other answer.
const char* storageLibraryDeleteHint(const Request& request, const tkwire::Reply& reply);

// The can-delete word beside it:
//
//   can-delete MOUNT-PATH-ID LIBRARY-ID
//
// is sent as EVGui::CanDeleteLibraryMountPathReq (--xml 0x0DF856C0): whether
// deleting the mount path (0: the whole library) needs the forced treatment.
bool expandCanDeleteCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

}  // namespace tkconsole
