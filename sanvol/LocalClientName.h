// The name under which this server introduces itself to a client when it
// runs a tool there: the central server's client name where this process
// runs on the central server (bit 0 of the platform type), else the
// physical machine's name. Either fits a 256-byte field: the physical
// machine's name is cut at 255 characters.
//
//   network.ExecRemoteCmdAndWait(host, request, tksanvol::localClientName(), response, 120, flag);
#pragma once

#include <string>

namespace tksanvol {

std::string localClientName();

}  // namespace tksanvol
