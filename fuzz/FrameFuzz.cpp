// Fuzz target of the host's reading of request frames: the input is what a
// console sends on its connection. The bytes arrive on a socket, are cut into
// frames by the length prefix as the host cuts them (its buffered reader,
// checked against readFrame), and each frame body is decoded and turned into
// a request record as the host does.
//
// A body that decodes must be exactly what the encoder makes of the decoded
// request (the frame format has one form per request), and its record must
// carry the request's head and stream.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "host/RequestRecord.h"
#include "wire/FrameReader.h"
#include "wire/WireCodec.h"

namespace {

// Large enough for any frame the fuzzer makes; the host reads the same bytes
// however they are cut into reads.
constexpr size_t kMaxInput = 64 * 1024;
constexpr int kConnectionFd = 77;

void require(bool condition) {
  if (!condition) std::abort();
}

std::string withoutPrefix(const std::string& frame) { return frame.substr(4); }

void serve(const std::string& body) {
  std::optional<tkwire::DecodedRequest> decoded = tkwire::decodeRequest(body);
  std::optional<int64_t> sequence = tkwire::peekRequestSequence(body);
  if (!decoded) return;
  require(sequence.has_value());
  if (decoded->kind == tkwire::kRequestStream) {
    const tkwire::StreamRequest& request = decoded->stream;
    require(*sequence == request.sequence);
    require(withoutPrefix(tkwire::encodeStreamRequest(request)) == body);
    std::string refusal;
    // The record as the host makes it: the thread's own, made fresh.
    MessageInfo* record = &tkhost::freshThreadRecord();
    const bool filled = tkhost::fillStreamRecord(*record, request, kConnectionFd, refusal);
    if (request.stream.size() > sizeof(MessageInfo::elementStream)) {
      require(!filled && !refusal.empty());
      return;
    }
    require(filled);
    require(record->sequenceNumber == request.sequence && record->objectHandle == request.firstField);
    require(record->userId == request.userId && record->origin == request.origin);
    require(std::memcmp(record->elementStream, request.stream.data(), request.stream.size()) == 0);
  } else {
    const tkwire::XmlRequest& request = decoded->xml;
    require(decoded->kind == tkwire::kRequestXml);
    require(*sequence == request.sequence);
    require(withoutPrefix(tkwire::encodeXmlRequest(request)) == body);
    MessageInfo* record = &tkhost::freshThreadRecord();
    tkhost::fillRecord(*record, request, kConnectionFd);
    require(record->sequenceNumber == request.sequence && record->objectHandle == request.firstField);
  }
}

// A socket pair whose console side has sent `data` and closed.
void sentAndClosed(const uint8_t* data, size_t size, int (&fds)[2]) {
  require(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
  size_t sent = 0;
  while (sent < size) {
    ssize_t n = ::send(fds[1], data + sent, size - sent, MSG_NOSIGNAL);
    require(n > 0);
    sent += static_cast<size_t>(n);
  }
  ::close(fds[1]);  // the console is done: the host sees the end after the last byte
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  // The host's buffered reader, and readFrame on the same bytes: both cut
  // the same frames and end alike.
  int buffered[2];
  int plain[2];
  sentAndClosed(data, size, buffered);
  sentAndClosed(data, size, plain);
  tkwire::FrameReader reader(buffered[0]);
  std::string body;
  std::string expected;
  for (;;) {
    tkwire::ReadStatus status = reader.next(0, 1000, body);
    require(tkwire::readFrame(plain[0], 0, expected) == status);
    if (status != tkwire::ReadStatus::Ok) {
      require(status == tkwire::ReadStatus::Closed || status == tkwire::ReadStatus::TooLong);
      break;
    }
    require(body == expected);
    serve(body);
  }
  ::close(buffered[0]);
  ::close(plain[0]);
  return 0;
}
