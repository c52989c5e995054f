// XDR routines of the remote-tool replies, over libtirpc's memory streams.
#include "platform/network/RemoteReplyXdr.h"

#include <rpc/xdr.h>

#include <cstdio>
#include <cstring>
#include <functional>

namespace tknetwork {

const char* DecodedMemory::keepText(const std::string& text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.data(), text.size());
  copy[text.size()] = '\0';
  m_texts.push_back(std::move(copy));
  return m_texts.back().get();
}

const char* const* DecodedMemory::keepArray(const std::vector<const char*>& pointers) {
  auto copy = std::make_unique<const char*[]>(pointers.size() + 1);
  for (std::size_t i = 0; i < pointers.size(); ++i) copy[i] = pointers[i];
  copy[pointers.size()] = nullptr;
  m_arrays.push_back(std::move(copy));
  return m_arrays.back().get();
}

namespace {

constexpr std::size_t kUnit = 4;

std::size_t padded(std::size_t length) { return (length + kUnit - 1) / kUnit * kUnit; }

// An XDR memory stream over a byte range, destroyed with its owner.
class Stream {
 public:
  Stream(uint8_t* bytes, std::size_t length, xdr_op op) : m_length(length) {
    xdrmem_create(&m_xdr, reinterpret_cast<char*>(bytes), static_cast<u_int>(length), op);
  }
  ~Stream() { xdr_destroy(&m_xdr); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  XDR* get() { return &m_xdr; }
  std::size_t remaining() { return m_length - xdr_getpos(&m_xdr); }

 private:
  XDR m_xdr{};
  std::size_t m_length;
};

bool putString(Stream& s, const std::string& text) {
  u_int length = static_cast<u_int>(text.size());
  std::string copy = text;
  return xdr_u_int(s.get(), &length) && xdr_opaque(s.get(), copy.data(), length);
}

// Reads a string whose length the remaining bytes must hold.
bool getString(Stream& s, std::string& text, std::string& error) {
  u_int length = 0;
  if (!xdr_u_int(s.get(), &length)) {
    error = "the message ends before a text's length";
    return false;
  }
  if (padded(length) > s.remaining()) {
    error = "a text of " + std::to_string(length) + " bytes is longer than the message";
    return false;
  }
  text.assign(length, '\0');
  if (!xdr_opaque(s.get(), text.data(), length)) {
    error = "a text could not be read";
    return false;
  }
  return true;
}

Bytes encode(std::size_t size, const std::function<bool(Stream&)>& write) {
  Bytes bytes(size);
  Stream s(bytes.data(), bytes.size(), XDR_ENCODE);
  if (!write(s) || s.remaining() != 0) return {};
  return bytes;
}

bool decodeSnap(Stream& s, void* out, DecodedMemory&, std::string& error) {
  auto& reply = *static_cast<snapDiscoveryResp*>(out);
  u_quad_t code = 0;
  u_int value = 0;
  if (!xdr_u_hyper(s.get(), &code) || !xdr_u_int(s.get(), &value)) {
    error = "the snapshot discovery reply is cut short";
    return false;
  }
  reply.applicationCode = code;
  reply.value = value;
  reply.reserved = 0;
  return true;
}

bool decodeFLR(Stream& s, void* out, DecodedMemory& memory, std::string& error) {
  auto& reply = *static_cast<FLRDiscoveryAppsResp*>(out);
  bool_t present = 0;
  if (!xdr_bool(s.get(), &present)) {
    error = "the FLR discovery reply is cut short";
    return false;
  }
  const char* name = nullptr;
  if (present) {
    std::string text;
    if (!getString(s, text, error)) return false;
    name = memory.keepText(text);
  }
  u_int count = 0;
  if (!xdr_u_int(s.get(), &count)) {
    error = "the FLR discovery reply ends before its path count";
    return false;
  }
  // Every path takes at least its length word.
  if (count > s.remaining() / kUnit) {
    error = "a path count of " + std::to_string(count) + " is more than the message holds";
    return false;
  }
  std::vector<const char*> paths;
  paths.reserve(count);
  for (u_int i = 0; i < count; ++i) {
    std::string text;
    if (!getString(s, text, error)) return false;
    paths.push_back(memory.keepText(text));
  }
  reply.applicationName = name;
  reply.pathCount = count;
  reply.paths = count != 0 ? memory.keepArray(paths) : nullptr;
  return true;
}

struct Routine {
  uint32_t type;
  std::size_t size;
  bool (*decode)(Stream&, void*, DecodedMemory&, std::string&);
};

constexpr Routine kRoutines[] = {
    {kSnapDiscoveryReply, sizeof(snapDiscoveryResp), decodeSnap},
    {kFLRDiscoveryReply, sizeof(FLRDiscoveryAppsResp), decodeFLR},
};

const Routine* routineFor(uint32_t type) {
  for (const Routine& r : kRoutines)
    if (r.type == type) return &r;
  return nullptr;
}

std::string hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

Bytes encodeSnapDiscovery(const snapDiscoveryResp& reply) {
  return encode(12, [&](Stream& s) {
    u_quad_t code = reply.applicationCode;
    u_int value = reply.value;
    return xdr_u_hyper(s.get(), &code) && xdr_u_int(s.get(), &value);
  });
}

Bytes encodeFLRDiscovery(const char* applicationName, const std::vector<std::string>& paths) {
  std::size_t size = kUnit + kUnit;
  if (applicationName != nullptr) size += kUnit + padded(std::strlen(applicationName));
  for (const auto& p : paths) size += kUnit + padded(p.size());
  return encode(size, [&](Stream& s) {
    bool_t present = applicationName != nullptr;
    if (!xdr_bool(s.get(), &present)) return false;
    if (present && !putString(s, applicationName)) return false;
    u_int count = static_cast<u_int>(paths.size());
    if (!xdr_u_int(s.get(), &count)) return false;
    for (const auto& p : paths)
      if (!putString(s, p)) return false;
    return true;
  });
}

bool hasDecoder(uint32_t type) { return routineFor(type) != nullptr; }

std::size_t replySize(uint32_t type) {
  const Routine* routine = routineFor(type);
  return routine != nullptr ? routine->size : 0;
}

bool decodeReply(uint32_t type, const uint8_t* bytes, std::size_t length, void* out, std::size_t outLength,
                 DecodedMemory& memory, std::string& error) {
  const Routine* routine = routineFor(type);
  if (routine == nullptr) {
    error = "no XDR routine for message type " + hex(type);
    return false;
  }
  if (out == nullptr || outLength < routine->size) {
    error = "the receive buffer of " + std::to_string(outLength) + " bytes cannot hold message type " + hex(type);
    return false;
  }
  std::memset(out, 0, routine->size);
  Bytes copy(bytes, bytes + length);  // the stream wants writable memory
  Stream s(copy.data(), copy.size(), XDR_DECODE);
  bool ok = routine->decode(s, out, memory, error);
  if (ok && s.remaining() != 0) {
    error = std::to_string(s.remaining()) + " bytes follow the message of type " + hex(type);
    ok = false;
  }
  if (!ok) {
    std::memset(out, 0, routine->size);
    memory.clear();
  }
  return ok;
}

Bytes encodeExecResponse(const zqsRemoteExecuteResponseType& response) {
  return encode(16, [&](Stream& s) {
    int code = response.errorCode;
    int value = response.value;
    quad_t value64 = response.value64;
    return xdr_int(s.get(), &code) && xdr_int(s.get(), &value) && xdr_hyper(s.get(), &value64);
  });
}

bool decodeExecResponse(const uint8_t* bytes, std::size_t length, zqsRemoteExecuteResponseType& out,
                        std::string& error) {
  out = zqsRemoteExecuteResponseType{};
  if (length != 16) {
    error = "the answer of the remote run has " + std::to_string(length) + " bytes, not 16";
    return false;
  }
  Bytes copy(bytes, bytes + length);
  Stream s(copy.data(), copy.size(), XDR_DECODE);
  int code = 0;
  int value = 0;
  quad_t value64 = 0;
  if (!xdr_int(s.get(), &code) || !xdr_int(s.get(), &value) || !xdr_hyper(s.get(), &value64)) {
    error = "the answer of the remote run could not be read";
    return false;
  }
  out.errorCode = code;
  out.value = value;
  out.value64 = value64;
  return true;
}

}  // namespace tknetwork
