// XDR routines of the NAS-client service protocol's bodies (see
// NasClientXdr.h), written as ordinary XDR procedures so that one routine
// encodes, decodes and (through xdr_free) releases each body.
#include "platform/nasclient/NasClientXdr.h"

#include <rpc/xdr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/nasclient/NasClientMessages.h"

namespace tknasclient {
namespace {

// Every list entry takes at least three words on the wire.
constexpr u_int kMinEntryBytes = 12;

// A text's bytes and padding read from `x` into a new C string; null when
// the stream cannot give them. The system's xdr_string reads a text's
// padding into one static buffer of the library, which every thread that
// decodes at the same time writes: here it goes to the caller's stack.
char* decodeText(XDR* x) {
  u_int size = 0;
  if (!xdr_u_int(x, &size) || size > kMaxText) return nullptr;
  char* text = static_cast<char*>(std::malloc(size + 1));
  if (text == nullptr) return nullptr;
  char padding[BYTES_PER_XDR_UNIT];
  const u_int padded = (BYTES_PER_XDR_UNIT - size % BYTES_PER_XDR_UNIT) % BYTES_PER_XDR_UNIT;
  if ((size > 0 && !XDR_GETBYTES(x, text, size)) || (padded > 0 && !XDR_GETBYTES(x, padding, padded))) {
    std::free(text);
    return nullptr;
  }
  text[size] = '\0';
  return text;
}

// A text that may be absent. Decoded texts are the C allocator's, as
// xdr_string's are: xdr_free releases them through it.
bool_t xdrText(XDR* x, char** text) {
  bool_t present = *text != nullptr;
  if (!xdr_bool(x, &present)) return FALSE;
  if (x->x_op == XDR_DECODE) *text = nullptr;
  if (!present) return TRUE;
  if (x->x_op != XDR_DECODE) return xdr_string(x, text, kMaxText);
  *text = decodeText(x);
  return *text != nullptr;
}

bool_t xdrEntry(XDR* x, ncwNasMediaAgentEntry* e) {
  return xdrText(x, &e->name) && xdrText(x, &e->hostName) && xdr_int(x, &e->id);
}
bool_t xdrEntry(XDR* x, ncwStoragePolicyEntry* e) {
  return xdrText(x, &e->name) && xdr_int(x, &e->id) && xdr_int(x, &e->type);
}
bool_t xdrEntry(XDR* x, ncwNasClientEntry* e) {
  return xdrText(x, &e->name) && xdrText(x, &e->proxyMediaAgent) && xdr_u_int(x, &e->flags);
}

// The entries of a list, `count` of them when present. An array travels only
// when it holds entries; a decoded array is calloc'ed whole before any entry
// is read, so that xdr_free can walk it after a decode that failed midway.
template <class Entry>
bool_t xdrEntries(XDR* x, Entry** entries, u_int count) {
  bool_t present = *entries != nullptr && count != 0;
  if (x->x_op == XDR_FREE) {
    if (*entries == nullptr) return TRUE;
    for (u_int i = 0; i < count; ++i) xdrEntry(x, &(*entries)[i]);
    std::free(*entries);
    *entries = nullptr;
    return TRUE;
  }
  if (!xdr_bool(x, &present)) return FALSE;
  if (x->x_op == XDR_DECODE) {
    *entries = nullptr;
    if (!present) return TRUE;
    // For a memory stream x_handy is what is left to read.
    if (count == 0 || count > x->x_handy / kMinEntryBytes) return FALSE;
    *entries = static_cast<Entry*>(std::calloc(count, sizeof(Entry)));
    if (*entries == nullptr) return FALSE;
  }
  if (!present) return TRUE;
  for (u_int i = 0; i < count; ++i)
    if (!xdrEntry(x, &(*entries)[i])) return FALSE;
  return TRUE;
}

template <class Entry>
bool_t xdrList(XDR* x, ncwList<Entry>* list) {
  return xdrText(x, &list->errorText) && xdr_u_int(x, &list->errorCode) && xdr_u_int(x, &list->count) &&
         xdrEntries(x, &list->entries, list->count);
}

bool_t xdrConfigure(XDR* x, ncwConfigureNasClientRequest* r) {
  return xdrText(x, &r->text1) && xdrText(x, &r->text2) && xdrText(x, &r->text3) && xdr_int(x, &r->number1) &&
         xdr_int(x, &r->number2) && xdr_int(x, &r->number3);
}
bool_t xdrRemove(XDR* x, ncwRemoveNasClientRequest* r) { return xdrText(x, &r->clientName); }
bool_t xdrUndelete(XDR* x, ncwUndeleteNasClientRequest* r) {
  return xdrText(x, &r->proxyMediaAgent) && xdrText(x, &r->clientName);
}
bool_t xdrAddResponse(XDR* x, ncwAddNasClientResponse* r) {
  return xdr_u_int(x, &r->value) && xdrText(x, &r->errorText) && xdr_u_int(x, &r->errorCode);
}
bool_t xdrResponse(XDR* x, ncwNasResponse* r) { return xdrText(x, &r->errorText) && xdr_u_int(x, &r->errorCode); }

// The routines take their body as void* so that one table holds them all.
template <class Body, bool_t (*Routine)(XDR*, Body*)>
bool_t routine(XDR* x, void* body) {
  return Routine(x, static_cast<Body*>(body));
}

struct Entry {
  uint32_t type;
  std::size_t size;  // 0: no body
  bool_t (*xdr)(XDR*, void*);
};

const Entry kTable[] = {
    {tknas::kGetMediaAgents, 0, nullptr},
    {tknas::kMediaAgentList, sizeof(ncwNasMediaAgentList), routine<ncwNasMediaAgentList, xdrList>},
    {tknas::kGetStoragePolicies, 0, nullptr},
    {tknas::kStoragePolicyList, sizeof(ncwStoragePolicyList), routine<ncwStoragePolicyList, xdrList>},
    {tknas::kGetNasClients, 0, nullptr},
    {tknas::kNasClientList, sizeof(ncwNasClientList), routine<ncwNasClientList, xdrList>},
    {tknas::kConfigureAtTarnkeep, sizeof(ncwConfigureNasClientRequest),
     routine<ncwConfigureNasClientRequest, xdrConfigure>},
    {tknas::kConfigureAtTarnkeepReply, sizeof(ncwAddNasClientResponse),
     routine<ncwAddNasClientResponse, xdrAddResponse>},
    {tknas::kConfigureAtMediaAgent, sizeof(ncwConfigureNasClientRequest),
     routine<ncwConfigureNasClientRequest, xdrConfigure>},
    {tknas::kConfigureAtMediaAgentReply, sizeof(ncwNasResponse), routine<ncwNasResponse, xdrResponse>},
    {tknas::kRemoveNasClient, sizeof(ncwRemoveNasClientRequest), routine<ncwRemoveNasClientRequest, xdrRemove>},
    {tknas::kRemoveNasClientReply, sizeof(ncwNasResponse), routine<ncwNasResponse, xdrResponse>},
    {tknas::kUndeleteNasClient, sizeof(ncwUndeleteNasClientRequest),
     routine<ncwUndeleteNasClientRequest, xdrUndelete>},
    {tknas::kUndeleteNasClientReply, sizeof(ncwNasResponse), routine<ncwNasResponse, xdrResponse>},
};

const Entry* entryFor(uint32_t type) {
  for (const Entry& e : kTable)
    if (e.type == type) return &e;
  return nullptr;
}

std::string hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// An XDR memory stream, destroyed with its owner.
class Stream {
 public:
  Stream(char* bytes, std::size_t length, xdr_op op) {
    xdrmem_create(&m_xdr, bytes, static_cast<u_int>(length), op);
  }
  ~Stream() { xdr_destroy(&m_xdr); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  XDR* get() { return &m_xdr; }

 private:
  XDR m_xdr{};
};

void release(const Entry& entry, void* body) {
  xdr_free(reinterpret_cast<xdrproc_t>(entry.xdr), body);
  std::memset(body, 0, entry.size);
}

}  // namespace

bool isKnownType(uint32_t type) { return entryFor(type) != nullptr; }

std::size_t bodySize(uint32_t type) {
  const Entry* entry = entryFor(type);
  return entry != nullptr ? entry->size : 0;
}

bool encodeBody(uint32_t type, const void* body, std::size_t length, Bytes& out, std::string& error) {
  out.clear();
  const Entry* entry = entryFor(type);
  if (entry == nullptr) {
    error = "no XDR routine for message type " + hex(type);
    return false;
  }
  if (entry->size == 0) {
    if (body != nullptr && length != 0) {
      error = "message type " + hex(type) + " carries no body";
      return false;
    }
    return true;
  }
  if (body == nullptr || length < entry->size) {
    error = "a body of " + std::to_string(length) + " bytes cannot hold message type " + hex(type);
    return false;
  }
  // The routines take a writable body but leave it alone when encoding.
  void* writable = const_cast<void*>(body);
  // Sized by a first pass; a text over kMaxText fails the second.
  u_long size = xdr_sizeof(reinterpret_cast<xdrproc_t>(entry->xdr), writable);
  if (size == 0 || size > (1u << 30)) {
    error = "the body of message type " + hex(type) + " cannot be encoded";
    return false;
  }
  out.assign(size, 0);
  Stream s(reinterpret_cast<char*>(out.data()), out.size(), XDR_ENCODE);
  if (!entry->xdr(s.get(), writable) || xdr_getpos(s.get()) != size) {
    out.clear();
    error = "the body of message type " + hex(type) + " cannot be encoded";
    return false;
  }
  return true;
}

bool decodeBody(uint32_t type, const uint8_t* bytes, std::size_t length, void* out, std::size_t outLength,
                std::string& error) {
  const Entry* entry = entryFor(type);
  if (entry == nullptr) {
    error = "no XDR routine for message type " + hex(type);
    return false;
  }
  if (entry->size == 0) {
    if (length != 0) {
      error = "message type " + hex(type) + " carries no body, but " + std::to_string(length) + " bytes came";
      return false;
    }
    return true;
  }
  if (out == nullptr || outLength < entry->size) {
    error = "a buffer of " + std::to_string(outLength) + " bytes cannot hold message type " + hex(type);
    return false;
  }
  std::memset(out, 0, entry->size);
  if (length > UINT32_MAX) {
    error = "a message of " + std::to_string(length) + " bytes is too long";
    return false;
  }
  // A decoding stream only reads its bytes.
  Stream s(reinterpret_cast<char*>(const_cast<uint8_t*>(bytes)), length, XDR_DECODE);
  if (!entry->xdr(s.get(), out)) {
    release(*entry, out);
    error = "the body of message type " + hex(type) + " is malformed or cut short";
    return false;
  }
  const std::size_t used = xdr_getpos(s.get());
  if (used != length) {
    release(*entry, out);
    error = std::to_string(length - used) + " bytes follow the body of message type " + hex(type);
    return false;
  }
  return true;
}

void freeBody(uint32_t type, void* body) {
  const Entry* entry = entryFor(type);
  if (entry == nullptr || entry->size == 0 || body == nullptr) return;
  release(*entry, body);
}

}  // namespace tknasclient
