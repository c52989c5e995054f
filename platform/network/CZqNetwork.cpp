// The remote session over in-process tool services (see CZqNetwork.h).
#include "platform/network/CZqNetwork.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/network/CNSessionMessages.h"
#include "platform/network/RemoteTools.h"

namespace {

using tknetwork::Bytes;

// Bounds of what a session accepts from a tool.
constexpr std::size_t kMaxFrame = 1 << 20;
constexpr int kLongestWaitSeconds = 120;

std::string hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08lX", value);
  return text;
}

CWyError fromFailure(const tkjournal::Failure& failure) {
  return CWyError(failure.code != 0 ? failure.code : -1, failure.text);
}

// Reads exactly `length` bytes; false at the end of the stream, on a
// time-out or an error (with `error` set).
bool readExactly(int fd, uint8_t* out, std::size_t length, int timeoutSeconds, std::string& error) {
  const int waitMs = (timeoutSeconds < 0 || timeoutSeconds > kLongestWaitSeconds ? kLongestWaitSeconds
                                                                                  : timeoutSeconds) *
                     1000;
  std::size_t got = 0;
  while (got < length) {
    pollfd p{fd, POLLIN, 0};
    int ready = ::poll(&p, 1, waitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      error = "no message within the time-out";
      return false;
    }
    if (ready < 0) {
      error = std::string("waiting for a message failed: ") + std::strerror(errno);
      return false;
    }
    ssize_t n = ::recv(fd, out + got, length - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::string("receiving failed: ") + std::strerror(errno);
      return false;
    }
    if (n == 0) {
      error = got == 0 ? "the connection was closed" : "the connection was closed in the middle of a message";
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

uint32_t wordAt(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// The program and arguments of a command line message.
template <class Line>
void commandLine(CNMessageBase& message, std::string& program, std::string& arguments) {
  program = message.getstring(Line::kProgram.ordinal, Line::kProgram.tag, Line::kClassHash, Line::kProgram.hash);
  arguments =
      message.getstring(Line::kArguments.ordinal, Line::kArguments.tag, Line::kClassHash, Line::kArguments.hash);
}

}  // namespace

struct CZqNetwork::Impl {
  tknetwork::ToolConnection connection;
  std::string peer;
  tknetwork::DecodedMemory decoded;
  const char* decodedBuffer = nullptr;  // the buffer the decoded reply lies in
  unsigned long decodedType = 0;

  void freeDecoded() {
    decoded.clear();
    decodedBuffer = nullptr;
    decodedType = 0;
  }
  void disconnect() {
    freeDecoded();
    connection.close();
    peer.clear();
  }
  // Reads one frame.
  CWyError readFrame(int timeout, uint32_t& type, Bytes& bytes) {
    uint8_t head[8];
    std::string error;
    if (!readExactly(connection.fd(), head, sizeof head, timeout, error))
      return CWyError(tknetwork::kErrReceive, "Receiving from [" + peer + "] failed: " + error + ".");
    type = wordAt(head);
    const uint32_t length = wordAt(head + 4);
    if (length > kMaxFrame)
      return CWyError(tknetwork::kErrBadMessage, "A message of " + std::to_string(length) + " bytes from [" + peer +
                                                     "] is longer than allowed.");
    bytes.assign(length, 0);
    if (length != 0 && !readExactly(connection.fd(), bytes.data(), length, timeout, error))
      return CWyError(tknetwork::kErrReceive, "Receiving from [" + peer + "] failed: " + error + ".");
    return CWyError();
  }
};

CZqNetwork::CZqNetwork() : m_impl(std::make_unique<Impl>()) {}

CZqNetwork::~CZqNetwork() { m_impl->disconnect(); }

bool CZqNetwork::IsConnected() const { return m_impl->connection.open() || libraryConnected(); }

const std::string& CZqNetwork::GetPeerName() const {
  const std::string* peer = libraryPeer();
  return peer != nullptr ? *peer : m_impl->peer;
}

CWyError CZqNetwork::Attach_RemoteCommand(const std::string& host, CNMessageBase& command, const char* /*user*/,
                                          const std::string& localName, int timeout, int& flag) {
  using Command = CNSession::zqsExecuteRemoteCommandType;
  std::string program, arguments;
  const bool isCommand =
      command.getNamespace() == Command::kNamespace && command.getClassNumber() == Command::kClassNumber;
  if (isCommand) commandLine<Command>(command, program, arguments);
  tknetwork::journal().record("Attach_RemoteCommand", host, program, arguments, localName, timeout);
  flag = 1;
  m_impl->disconnect();
  tkjournal::Failure failure;
  if (tknetwork::journal().takeFailure("Attach_RemoteCommand", failure)) return fromFailure(failure);
  if (!isCommand) return CWyError(tknetwork::kErrBadMessage, "The message is not a remote command.");
  tknetwork::ToolScript script;
  CWyError error = tknetwork::findTool(host, program, script);
  if (error.IsError()) return error;
  if (script.attachCode != 0) return CWyError(script.attachCode, script.attachText);
  Bytes output;
  for (std::size_t i = 0; i < script.replies.size(); ++i) {
    const Bytes f = tknetwork::frame(script.replies[i].type, script.replies[i].bytes);
    if (script.cutAfter >= 0 && i == static_cast<std::size_t>(script.cutAfter)) {
      output.insert(output.end(), f.begin(), f.begin() + static_cast<long>(f.size() / 2));
      break;
    }
    output.insert(output.end(), f.begin(), f.end());
  }
  if (script.cutAfter >= 0 && static_cast<std::size_t>(script.cutAfter) >= script.replies.size()) {
    const uint8_t partial[] = {0x37, 0x00};  // a frame header cut short
    output.insert(output.end(), partial, partial + sizeof partial);
  }
  error = m_impl->connection.start(std::move(output));
  if (error.IsError()) return error;
  m_impl->peer = host;
  flag = 0;
  return CWyError();
}

CWyError CZqNetwork::ReceiveXDRMessage(unsigned long* type, zqsDatabuf_v2& buffer, void* /*header*/, int /*flags*/,
                                       int timeout, int& flag) {
  if (libraryConnected()) return receiveFromLibrary(type, buffer, timeout, flag);
  const unsigned long expected = type != nullptr ? *type : 0;
  tknetwork::journal().record("ReceiveXDRMessage", hex(expected), timeout);
  flag = 1;
  // What the previous reply allocated goes now.
  m_impl->freeDecoded();
  tkjournal::Failure failure;
  if (tknetwork::journal().takeFailure("ReceiveXDRMessage", failure)) return fromFailure(failure);
  if (type == nullptr || !tknetwork::hasDecoder(static_cast<uint32_t>(expected)) || expected > UINT32_MAX)
    return CWyError(tknetwork::kErrBadType, "No XDR routine for message type " + hex(expected) + ".");
  if (!IsConnected()) return CWyError(tknetwork::kErrNotConnected, "The session is not connected.");
  uint32_t received = 0;
  Bytes bytes;
  CWyError error = m_impl->readFrame(timeout, received, bytes);
  if (error.IsError()) return error;
  if (received != expected)
    return CWyError(tknetwork::kErrBadType, "Received message type " + hex(received) + " from [" + m_impl->peer +
                                                "] where " + hex(expected) + " was expected.");
  std::string text;
  if (!tknetwork::decodeReply(received, bytes.data(), bytes.size(), buffer.getBuffer(), buffer.getLength(),
                              m_impl->decoded, text))
    return CWyError(tknetwork::kErrBadMessage, "A message from [" + m_impl->peer + "] could not be decoded: " + text +
                                                   ".");
  m_impl->decodedBuffer = buffer.getBuffer();
  m_impl->decodedType = received;
  *type = received;
  flag = 0;
  return CWyError();
}

CWyError CZqNetwork::FreeReceivedMessage(unsigned long type, zqsDatabuf_v2& buffer) {
  if (holdsLibraryMessage(type, buffer)) return freeLibraryMessage(type, buffer);
  tknetwork::journal().record("FreeReceivedMessage", hex(type));
  const std::size_t size = tknetwork::replySize(static_cast<uint32_t>(m_impl->decodedType));
  if (buffer.getBuffer() == nullptr || buffer.getBuffer() != m_impl->decodedBuffer || type != m_impl->decodedType ||
      buffer.getLength() < size)
    return CWyError(tknetwork::kErrNoFree, "The buffer holds no decoded message of type " + hex(type) + ".");
  // The reply's pointers would dangle: zero the structure with the memory.
  std::memset(buffer.getBuffer(), 0, size);
  m_impl->freeDecoded();
  return CWyError();
}

CWyError CZqNetwork::ReplyDisconnect(int timeout, int& flag) {
  tknetwork::journal().record("ReplyDisconnect", timeout);
  const bool wasConnected = IsConnected();
  m_impl->disconnect();
  flag = 1;
  tkjournal::Failure failure;
  if (tknetwork::journal().takeFailure("ReplyDisconnect", failure)) return fromFailure(failure);
  if (!wasConnected) return CWyError(tknetwork::kErrNotConnected, "The session is not connected.");
  flag = 0;
  return CWyError();
}

CWyError CZqNetwork::ExecRemoteCmdAndWait(const std::string& host, CNMessageBase& request,
                                          const std::string& localName, zqsRemoteExecuteResponseType& response,
                                          int wait, int& flag) {
  using Request = CNSession::zqsRemoteExecuteAsUserRequestType;
  using Line = CNSession::zqsRemoteCommandLineType;
  response = zqsRemoteExecuteResponseType{};
  std::string program, arguments;
  const bool isRequest =
      request.getNamespace() == Request::kNamespace && request.getClassNumber() == Request::kClassNumber;
  if (isRequest) {
    CNMessageBase& line = request.getObjectAccessor(true, false, Request::kCommand.ordinal, Request::kCommand.tag,
                                                    Request::kClassHash, Request::kCommand.hash,
                                                    Line::kNamespace, Line::kClassNumber);
    if (!line.isNull()) commandLine<Line>(line, program, arguments);
  }
  tknetwork::journal().record("ExecRemoteCmdAndWait", host, program, arguments, localName, wait);
  flag = 1;
  tkjournal::Failure failure;
  if (tknetwork::journal().takeFailure("ExecRemoteCmdAndWait", failure)) return fromFailure(failure);
  if (!isRequest) return CWyError(tknetwork::kErrBadMessage, "The message is not a remote run request.");
  tknetwork::ToolScript script;
  CWyError error = tknetwork::findTool(host, program, script);
  if (error.IsError()) return error;
  if (script.runCode != 0) return CWyError(script.runCode, script.runText);
  zqsRemoteExecuteResponseType answer;
  answer.errorCode = script.exitCode;
  // A run of its own: the session's attached tool, if any, is left alone.
  tknetwork::ToolConnection run;
  error = run.start(tknetwork::frame(tknetwork::kExecAnswer, tknetwork::encodeExecResponse(answer)));
  if (error.IsError()) return error;
  uint8_t head[8];
  std::string text;
  if (!readExactly(run.fd(), head, sizeof head, wait, text))
    return CWyError(tknetwork::kErrReceive, "No answer from [" + program + "] on [" + host + "]: " + text + ".");
  const uint32_t length = wordAt(head + 4);
  if (wordAt(head) != tknetwork::kExecAnswer || length > kMaxFrame)
    return CWyError(tknetwork::kErrBadMessage, "The answer from [" + host + "] is not a run's answer.");
  Bytes bytes(length);
  if (length != 0 && !readExactly(run.fd(), bytes.data(), length, wait, text))
    return CWyError(tknetwork::kErrReceive, "No answer from [" + program + "] on [" + host + "]: " + text + ".");
  if (!tknetwork::decodeExecResponse(bytes.data(), bytes.size(), response, text))
    return CWyError(tknetwork::kErrBadMessage, "The answer from [" + host + "] could not be decoded: " + text + ".");
  flag = 0;
  return CWyError();
}
