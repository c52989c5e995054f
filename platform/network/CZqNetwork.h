// A remote session with a program on a client: attach to a tool with a
// remote command message, receive its typed XDR replies, disconnect; or run
// a command as a user and wait for its answer.
//
//   CZqNetwork network;
//   int flag = 0;
//   CWyError error = network.Attach_RemoteCommand(host, command, nullptr, localName, 120, flag);
//   snapDiscoveryResp reply;
//   zqsDatabuf_v2 buffer;
//   buffer.setExternalBuffer(&reply, sizeof reply);
//   unsigned long type = 0x37000001;
//   error = network.ReceiveXDRMessage(&type, buffer, nullptr, 0, -1, flag);
//   network.ReplyDisconnect(120, flag);
//
// Replies are decoded through a table of XDR routines keyed by message type
// (platform/network/RemoteReplyXdr.h); the texts of a decoded reply belong
// to the session and stay valid until FreeReceivedMessage, the next
// receive or the disconnect, whichever comes first; they are freed once.
// Time-outs are in seconds; a negative one, or one above 120, waits 120
// seconds at most (the in-process tools close their end when done, so a
// wait ends at once after the last reply). `flag` is set to 1 when the
// call failed, else 0.
//
// One session per object and thread; sessions of several threads run at
// once. The tools are in-process services (platform/network/RemoteTools.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/network/CWyError.h"
#include "platform/network/RemoteToolReplies.h"
#include "platform/network/zqsDatabuf.h"

class CNMessageBase;

// The names of a remote library to attach to: the library and its process.
struct zqsRemoteDLLRequest {
  char library[256] = {};
  char process[256] = {};
};

// Why a connection is aborted: {kind, code, severity}.
struct zqsAbortStatus {
  int kind = 0;
  int code = 0;
  int severity = 0;
};

class CZqNetwork {
 public:
  CZqNetwork();
  ~CZqNetwork();
  CZqNetwork(const CZqNetwork&) = delete;
  CZqNetwork& operator=(const CZqNetwork&) = delete;

  // Starts the program that the remote command (a
  // CNSession::zqsExecuteRemoteCommandType: program in field 2, arguments
  // in field 3) names on `host`. `user` is accepted and unused.
  CWyError Attach_RemoteCommand(const std::string& host, CNMessageBase& command, const char* user,
                                const std::string& localName, int timeout, int& flag);
  // Receives the next reply, which must be of the type `*type` names, and
  // decodes it into the buffer (which must hold the reply's structure).
  // `header` and `flags` are accepted and unused.
  CWyError ReceiveXDRMessage(unsigned long* type, zqsDatabuf_v2& buffer, void* header, int flags, int timeout,
                             int& flag);
  // Frees what decoding the last reply allocated, when `buffer` holds it,
  // and zeroes the reply's structure; a buffer that holds nothing decoded is
  // an error (nothing is freed twice).
  CWyError FreeReceivedMessage(unsigned long type, zqsDatabuf_v2& buffer);
  // Ends the session of Attach_RemoteCommand.
  CWyError ReplyDisconnect(int timeout, int& flag);
  // Runs the command line of `request` (a
  // CNSession::zqsRemoteExecuteAsUserRequestType) on `host` and waits for
  // its answer, zeroed first.
  CWyError ExecRemoteCmdAndWait(const std::string& host, CNMessageBase& request, const std::string& localName,
                                zqsRemoteExecuteResponseType& response, int wait, int& flag);

  // Remote-library sessions (platform/network/CZqNetworkLibrary.cpp): a
  // connection to a named library on a host that exchanges typed request
  // and reply messages, their bodies encoded by the table of
  // platform/nasclient/NasClientXdr.h. The attach succeeds with code 1
  // (CWyError::attached); ReceiveXDRMessage and FreeReceivedMessage serve
  // both kinds of session. A received body's texts are the caller's to
  // release with FreeReceivedMessage, also after the connection is gone.
  CWyError Attach_RemoteDLL(const std::string& host, const zqsRemoteDLLRequest& request, const char* localName,
                            int timeout, int& flag);
  // Encodes the body (null buffer: none) and sends it.
  CWyError SendXDRMessage(unsigned long type, zqsDatabuf_v2& buffer, int flags, int timeout, int& flag);
  // Drops the connection at once.
  CWyError AbortConnection(const zqsAbortStatus& status, int timeout, int& flag);
  // Ends the connection; an error when there was none.
  CWyError Disconnect(int timeout);

  bool IsConnected() const;
  // The host of the session, or empty.
  const std::string& GetPeerName() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;

  struct LibrarySession;
  struct LibrarySessionDeleter {
    void operator()(LibrarySession* session) const;
  };
  std::unique_ptr<LibrarySession, LibrarySessionDeleter> m_library;
  LibrarySession& library();
  bool libraryConnected() const;
  const std::string* libraryPeer() const;
  CWyError receiveFromLibrary(unsigned long* type, zqsDatabuf_v2& buffer, int timeout, int& flag);
  bool holdsLibraryMessage(unsigned long type, const zqsDatabuf_v2& buffer) const;
  CWyError freeLibraryMessage(unsigned long type, zqsDatabuf_v2& buffer);
};
