// Console words for the drive side of libraries, mount paths and the
// catalogues. A request (command line or script line) whose handler word is
//
//   children LIB [drives]      controller node, master pools (or drives), empty bays
//   empty-bays LIB             the empty drive bays of a library
//   master-pools LIB | master-pool H
//   drive-pools LIB | drive-pools MASTER master | drive-pool H
//   drive-paths POOL|DRIVE     the drive paths with their records
//   drive-paths H short        the short list of any object of a library
//   drive-path H | drive H     one drive path's or one drive's record
//   drive-ids CONTROLLER       the drive ids an ACSLS server reports
//   mount-paths DISKLIB | mount-path H
//   media-types LIBRARY-ID     the media types of a library (by database id)
//   drive-vendors | library-vendors [1]
//   serial-check [on|off]      read (or set for the whole server) the serial-number check
//
// is sent as the request it stands for; handles come from the lists (item
// 11003). Options before the word are kept. Like every listing, these
// answer the console that holds the configuration session.
#pragma once

#include <string>
#include <vector>

namespace tkconsole {

// Replaces a drive word in `words` by the request words it stands for;
// `payload` receives the bytes the request carries behind its element
// count (fixed words of the request; empty when it has none), which the
// caller puts in the request's stream after parsing it. Other words, and
// `payload` with them, are left alone. False with the reason when the drive
// word is wrong.
bool expandDriveCommand(std::vector<std::string>& words, bool fromShell, std::string& error, std::string& payload);

}  // namespace tkconsole
