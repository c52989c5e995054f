// How the host turns a decoded request frame into the request record it hands
// to a handler.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "frame/MessageInfo.h"
#include "wire/WireCodec.h"

namespace tkhost {

// A zeroed record on the connection `fd` with the request's head filled in.
inline std::unique_ptr<MessageInfo> makeRecord(const tkwire::RequestHead& request, int fd) {
  auto record = std::make_unique<MessageInfo>();
  record->socket = CWySocket(fd);
  record->secureSocket.SetEstablished(true);
  record->userId = request.userId;
  record->requestKind = request.requestKind;
  record->autoRefreshGuiId = request.autoRefreshGuiId;
  record->origin = request.origin;
  record->sequenceNumber = request.sequence;
  record->objectHandle = request.firstField;  // firstWord and elementCount share these bytes
  return record;
}

// The record of an element-stream request on the connection `fd`: a fresh,
// zeroed record with the connection's descriptor as its socket, the body
// fields from the frame and the element stream copied into the stream area.
// Null, with the reason in `refusal`, when the stream does not fit the area.
inline std::unique_ptr<MessageInfo> makeStreamRecord(const tkwire::StreamRequest& request, int fd,
                                                     std::string& refusal) {
  static_assert(sizeof(MessageInfo::elementStream) == tkwire::kMaxElementStream,
                "the wire limit is the stream area of the request record");
  if (request.stream.size() > sizeof(MessageInfo::elementStream)) {
    refusal = "element stream too long: " + std::to_string(request.stream.size()) + " bytes, at most " +
              std::to_string(sizeof(MessageInfo::elementStream));
    return nullptr;
  }
  std::unique_ptr<MessageInfo> record = makeRecord(request, fd);
  if (!request.stream.empty()) std::memcpy(record->elementStream, request.stream.data(), request.stream.size());
  return record;
}

// The record of an XML request on the connection `fd`: as above, with no
// element stream (the XML text travels in its own buffer).
inline std::unique_ptr<MessageInfo> makeXmlRecord(const tkwire::XmlRequest& request, int fd) {
  return makeRecord(request, fd);
}

}  // namespace tkhost
