// Writing whole frames on a client's connection. Every writer of a connection
// (the reply builder, status callbacks on other threads, the host's own
// answers) goes through here, so frames never interleave on one socket.
#pragma once

#include <string>

namespace tkreply {

// Writes the frame (length prefix included) under the connection's write lock.
// False when the descriptor is invalid or the peer is gone; never raises SIGPIPE.
bool writeFrame(int fd, const std::string& frame);

// Where the reply channel reports an answer it could not send as built (a
// message larger than a frame may be): the host passes its own log, so that
// such a failure is seen without the handlers' debug log. Null (the default):
// reported to the debug log only. The function may be called from any thread.
using ProblemLog = void (*)(const char* text);
void setProblemLog(ProblemLog log);

// What the calling thread has written so far on any connection, or tried
// to (a frame counts once it is handed to the socket, whether or not the
// peer took it): the host compares the counts around a handler call to
// tell a request that got no answer at all, and one whose answer was large.
// `stalled` counts the frames not written because the peer stopped reading
// (the socket stayed full past its send time-out; the connection is ended),
// `lost` every frame not written whole, those included.
struct ThreadWrites {
  unsigned long long frames = 0;
  unsigned long long bytes = 0;
  unsigned long long stalled = 0;
  unsigned long long lost = 0;
};
ThreadWrites threadWrites();

}  // namespace tkreply
