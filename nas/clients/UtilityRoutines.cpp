// Sending, receiving and releasing NAS-client protocol messages (see
// UtilityRoutines.h). A failed send or receive aborts the connection: the
// far end's state after a broken exchange is unknown, so the next operation
// must attach anew.
#include "nas/clients/UtilityRoutines.h"

#include "platform/network/CZqNetwork.h"

namespace {

constexpr int kNoTimeout = -1;

void abortAfter(CZqNetwork& connection, const CWyError& error) {
  zqsAbortStatus status;
  status.kind = 2;
  status.code = error.GetCode();
  status.severity = 2;
  int flag = 0;
  connection.AbortConnection(status, kNoTimeout, flag);
}

// A wrapper over the caller's body; never owns it.
void wrap(zqsDatabuf_v2& buffer, void* body, int length) {
  buffer.setExternalBuffer(body, body != nullptr && length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace

CWyError UtilSendMessage(CZqNetwork& connection, unsigned long type, void* body, int length) {
  zqsDatabuf_v2 buffer;
  wrap(buffer, body, length);
  int flag = 0;
  CWyError error = connection.SendXDRMessage(type, buffer, 0, kNoTimeout, flag);
  if (error.IsError()) abortAfter(connection, error);
  return error;
}

CWyError UtilReceiveMessage(CZqNetwork& connection, unsigned long type, void* body, int length, int timeout,
                            int* received) {
  zqsDatabuf_v2 buffer;
  wrap(buffer, body, length);
  unsigned long expected = type;
  int flag = 0;
  CWyError error = connection.ReceiveXDRMessage(&expected, buffer, nullptr, 0, timeout, flag);
  if (received != nullptr) *received = error.IsError() ? 0 : 1;
  if (error.IsError()) abortAfter(connection, error);
  return error;
}

bool UtilFreeMessage(CZqNetwork& connection, unsigned long type, void* body, int length) {
  zqsDatabuf_v2 buffer;
  wrap(buffer, body, length);
  return !connection.FreeReceivedMessage(type, buffer).IsError();
}

bool UtilDisconnectSession(CZqNetwork& connection) {
  if (!connection.IsConnected()) return true;
  return !connection.Disconnect(120).IsError();
}
