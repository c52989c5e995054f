// Writing whole frames on a client's connection. Every writer of a connection
// (the reply builder, status callbacks on other threads, the host's own
// answers) goes through here, so frames never interleave on one socket.
#pragma once

#include <string>

namespace tkreply {

// Writes the frame (length prefix included) under the connection's write lock.
// False when the descriptor is invalid or the peer is gone; never raises SIGPIPE.
bool writeFrame(int fd, const std::string& frame);

}  // namespace tkreply
