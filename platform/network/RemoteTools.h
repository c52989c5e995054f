// The programs that clients run for a remote session, as in-process
// services: per host and program a script says whether attaching fails,
// which replies the tool sends (already in their XDR form), where the
// stream breaks off, and how a run as a user ends. A session connects to a
// tool over a Unix socket pair inside this process; the tool writes its
// replies from a thread of its own and closes its end.
//
// Hosts compare without regard to letter case. A host nobody declared is
// unknown; a known host without a script for a program has no such tool.
// Scripted through platform/testkit/network.h. Thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/journal/Journal.h"
#include "platform/network/CWyError.h"
#include "platform/network/Descriptor.h"
#include "platform/network/RemoteReplyXdr.h"

namespace tknetwork {

// Frame type of the answer of a run as a user (never a reply type).
inline constexpr uint32_t kExecAnswer = 0;

struct ToolReply {
  uint32_t type = 0;
  Bytes bytes;
};

struct ToolScript {
  // Non-zero: attaching to the tool fails with this code and text.
  int attachCode = 0;
  std::string attachText;
  // The replies, in order.
  std::vector<ToolReply> replies;
  // When not negative: after this many replies the tool sends a frame cut
  // short and stops (a receive fails in the middle of the list).
  int cutAfter = -1;
  // A run as a user: non-zero runCode fails the run with runText; else the
  // tool ends with exitCode.
  int runCode = 0;
  std::string runText;
  int32_t exitCode = 0;
};

// Error codes of the remote sessions.
enum NetworkError : int {
  kErrUnknownHost = 0x37000101,
  kErrNoTool = 0x37000102,
  kErrNotConnected = 0x37000103,
  kErrReceive = 0x37000104,
  kErrBadType = 0x37000105,
  kErrBadMessage = 0x37000106,
  kErrSocket = 0x37000107,
  kErrNoFree = 0x37000108,
};

void addHost(const std::string& host);
void scriptTool(const std::string& host, const std::string& program, const ToolScript& script);
// Forgets hosts and tools.
void resetTools();
// The script of a tool, or the error of a host or tool that is not there.
CWyError findTool(const std::string& host, const std::string& program, ToolScript& script);

// One frame on a session's socket: u32 type, u32 length (both big-endian),
// then the bytes.
Bytes frame(uint32_t type, const Bytes& bytes);

// A running tool: the session's end of the socket pair and the thread that
// writes `output` into the other end. Joined when destroyed (after the
// session's end is closed, so a tool blocked on a full socket ends too).
class ToolConnection {
 public:
  ToolConnection() = default;
  ~ToolConnection() { close(); }
  ToolConnection(const ToolConnection&) = delete;
  ToolConnection& operator=(const ToolConnection&) = delete;

  CWyError start(Bytes output);
  int fd() const { return m_fd.get(); }
  bool open() const { return static_cast<bool>(m_fd); }
  void close();

 private:
  Descriptor m_fd;
  std::thread m_writer;
};

// Journal: "Attach_RemoteCommand" (host, program, arguments, local name,
// time-out), "ReceiveXDRMessage" (expected type, time-out),
// "FreeReceivedMessage" (type), "ReplyDisconnect" (time-out),
// "ExecRemoteCmdAndWait" (host, program, arguments, local name, wait).
// A failure injected into any of them makes the next such call fail.
tkjournal::Journal& journal();

}  // namespace tknetwork
