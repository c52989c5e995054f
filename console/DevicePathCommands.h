// The console word of the device-path request. A request (command line or
// script line) whose handler word is
//
//   device-paths MOUNT-PATH-ID path [agent=ID] TAG=VALUE ... [path ...]
//
// is sent as EVGui::MMDevicePathInfoReq through the XML dispatcher:
//
//   --xml 0x0D9DA735 HandleMMConfigMgrXmlMsg '<request>'
//
// Each `path` begins one device path of the mount path; `agent=ID` names
// its media agent, and TAG is a field tag of the device path
// (EVGui::MMDevicePathInfo: 17 the operation, 1 for add, 2 for change, 3 for
// remove; 1 the device id, 2 the device-controller id, 4 the folder, 8 the
// user name, 12 the password, 13 the access type, 16 enabled, ...). A
// number field takes N or -N (or 0xN), a text field any text, a password
// its plain text.
#pragma once

#include <string>
#include <vector>

namespace tkconsole {

// Replaces a device-paths command in `words` by the request words it
// stands for (words of a script line keep their quotes: fromShell false).
// Other words are left alone. False with the reason when the command is wrong.
bool expandDevicePathCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

}  // namespace tkconsole
