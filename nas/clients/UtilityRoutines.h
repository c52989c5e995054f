// The routines of the NAS-client service protocol that the configuration
// interface uses: sending, receiving and releasing typed messages on a
// remote-library connection, ending a session, and making error texts.
//
//   ncwNasResponse reply{};
//   CWyError error = UtilSendMessage(network, tknas::kRemoveNasClient, &request, sizeof request);
//   int received = 0;
//   if (!error.IsError())
//     error = UtilReceiveMessage(network, tknas::kRemoveNasClientReply, &reply, sizeof reply, 480, &received);
//   UtilFreeMessage(network, tknas::kRemoveNasClientReply, &reply, sizeof reply);
//
// A failed send or receive aborts the connection before it returns. The
// error texts live in a heap buffer of the caller's (`text`, `capacity`),
// released with free; the routines are safe on several threads at once as
// long as each thread has its own buffer.
#pragma once

#include "platform/network/CWyError.h"

class CZqNetwork;
class EvEvent;

// Receive time-out that every caller gives, in seconds.
inline constexpr int kNasReplyTimeout = 480;

// Sends the message with its body (null and 0 for none).
CWyError UtilSendMessage(CZqNetwork& connection, unsigned long type, void* body, int length);
// Receives the message of `type` into `body`; `*received` is 1 on success,
// else 0. The body's texts stay the connection's until UtilFreeMessage.
CWyError UtilReceiveMessage(CZqNetwork& connection, unsigned long type, void* body, int length, int timeout,
                            int* received);
// Releases what receiving allocated inside `body`; true when that worked.
bool UtilFreeMessage(CZqNetwork& connection, unsigned long type, void* body, int length);
// Ends the session (true when it was not connected or ended cleanly).
bool UtilDisconnectSession(CZqNetwork& connection);

// Copies `source` (null: an empty text, when a buffer exists) into the
// caller's buffer, allocating or growing it as needed; the capacity never
// shrinks. On an allocation failure the old buffer stays, emptied.
void UtilCopyErrorText(unsigned long& capacity, char*& text, const char* source);
// The catalogue text of message `code` with the event's arguments, copied
// into the caller's buffer (emptied when formatting fails). Returns `text`.
char* UtilErrorText(unsigned long& capacity, char*& text, unsigned long code, EvEvent& event);
