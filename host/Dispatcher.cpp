#include "host/Dispatcher.h"

#include <cinttypes>
#include <cstdio>
#include <exception>
#include <memory>

#include "frame/EvExternal.h"
#include "frame/MessageInfo.h"
#include "host/HostLog.h"
#include "host/RequestRecord.h"
#include "platform/reply/ReplyChannel.h"
#include "tests/support/wire/WireCodec.h"

namespace tkhost {
namespace {

// The requesting user's login name, from the server's table of users; empty
// when the user is not known.
void fillLoginName(MessageInfo& record) {
  char login[kMessageUserNameSize] = {};
  int size = static_cast<int>(sizeof login);
  EvExternal services(0);
  if (services.getUserLogin(static_cast<int>(record.userId), login, &size, nullptr) == 0) record.setLoginName(login);
}

// Runs a handler call; a handler that throws is logged and answered with a
// status reply, and the connection goes on.
template <class Call>
void runHandler(const TkHandlerEntry& entry, int fd, int64_t sequence, Call&& call) {
  std::string failure;
  try {
    call();
    return;
  } catch (const char* text) {
    failure = text != nullptr ? text : "";
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "unknown exception";
  }
  logLine(0, "handler %s failed on connection %d: %s", entry.name, fd, printable(failure).c_str());
  refuse(fd, sequence, std::string("handler ") + entry.name + " failed");
}

void callStream(const TkHandlerEntry& entry, const tkwire::StreamRequest& request, int fd, TkHandlers* handlers) {
  std::string refusal;
  std::unique_ptr<MessageInfo> record;
  try {
    record = makeStreamRecord(request, fd, refusal);
    if (record) fillLoginName(*record);
  } catch (const std::bad_alloc&) {
    refusal = "not enough memory for the request";
  }
  if (!record) {
    logLine(1, "refused %s on connection %d: %s", printable(request.handler).c_str(), fd, refusal.c_str());
    refuse(fd, request.sequence, refusal);
    return;
  }
  logLine(2, "connection %d: %s user %u seq %" PRId64 " first 0x%016" PRIx64 " stream %zu bytes", fd,
          entry.name, request.userId, request.sequence, request.firstField, request.stream.size());
  runHandler(entry, fd, request.sequence, [&] {
    int result = entry.stream(handlers, record.get());
    logLine(2, "connection %d: %s returned %d", fd, entry.name, result);
  });
}

void callXml(const TkHandlerEntry& entry, const tkwire::XmlRequest& request, int fd, TkHandlers* handlers) {
  std::unique_ptr<MessageInfo> record;
  try {
    record = makeXmlRecord(request, fd);
    fillLoginName(*record);
  } catch (const std::bad_alloc&) {
    refuse(fd, request.sequence, "not enough memory for the request");
    return;
  }
  logLine(2, "connection %d: %s message 0x%08X user %u seq %" PRId64 " text %zu bytes", fd, entry.name,
          request.messageId, request.userId, request.sequence, request.xml.size());
  runHandler(entry, fd, request.sequence, [&] {
    std::string text = request.xml;
    long long result = entry.xml(handlers, record.get(), request.messageId, text);
    logLine(2, "connection %d: %s returned %lld with %zu bytes", fd, entry.name, result, text.size());
    tkreply::writeFrame(fd, tkwire::encodeXmlAnswer(request.messageId, request.sequence, result, text));
  });
}

}  // namespace

bool refuse(int fd, int64_t sequence, const std::string& reason) {
  return tkreply::writeFrame(fd, tkwire::encodeStatusReply(sequence, 0, reason));
}

bool Dispatcher::init(const HandlerApi& api, std::string& error) {
  m_api = api;
  m_byName.clear();
  if (api.create == nullptr || api.destroy == nullptr || (api.table == nullptr && api.count != 0)) {
    error = "the handler library lacks an entry point";
    return false;
  }
  for (size_t i = 0; i < api.count; ++i) {
    const TkHandlerEntry& e = api.table[i];
    std::string where = "dispatch table entry " + std::to_string(i);
    if (e.name == nullptr || *e.name == '\0') {
      error = where + " has no name";
      return false;
    }
    where += " (" + std::string(e.name) + ")";
    if (e.kind == kTkHandlerStream) {
      if (e.stream == nullptr) {
        error = where + " has no element-stream function";
        return false;
      }
    } else if (e.kind == kTkHandlerXml) {
      if (e.xml == nullptr) {
        error = where + " has no XML function";
        return false;
      }
    } else {
      error = where + " has an unknown kind " + std::to_string(e.kind);
      return false;
    }
    if (!m_byName.emplace(e.name, &e).second) {
      error = where + " repeats a name";
      return false;
    }
  }
  return true;
}

const TkHandlerEntry* Dispatcher::find(const std::string& name) const {
  auto it = m_byName.find(name);
  return it == m_byName.end() ? nullptr : it->second;
}

void Dispatcher::serve(const std::string& body, int fd, TkHandlers* handlers) const {
  std::optional<tkwire::DecodedRequest> decoded = tkwire::decodeRequest(body);
  if (!decoded) {
    int64_t sequence = tkwire::peekRequestSequence(body).value_or(0);
    logLine(1, "refused a malformed request frame of %zu bytes on connection %d", body.size(), fd);
    refuse(fd, sequence, "malformed request frame");
    return;
  }
  if (decoded->kind == tkwire::kRequestStream) {
    const tkwire::StreamRequest& request = decoded->stream;
    if (request.stream.size() > tkwire::kMaxElementStream) {
      std::string reason = "element stream too long: " + std::to_string(request.stream.size()) +
                           " bytes, at most " + std::to_string(tkwire::kMaxElementStream);
      logLine(1, "refused %s on connection %d: %s", printable(request.handler).c_str(), fd, reason.c_str());
      refuse(fd, request.sequence, reason);
      return;
    }
    const TkHandlerEntry* entry = find(request.handler);
    if (entry == nullptr) {
      logLine(1, "refused unknown handler %s on connection %d", printable(request.handler).c_str(), fd);
      refuse(fd, request.sequence, "unknown handler " + request.handler);
      return;
    }
    if (entry->kind != kTkHandlerStream) {
      logLine(1, "refused an element-stream request for %s on connection %d", entry->name, fd);
      refuse(fd, request.sequence, "handler " + request.handler + " takes XML requests");
      return;
    }
    callStream(*entry, request, fd, handlers);
    return;
  }

  const tkwire::XmlRequest& request = decoded->xml;
  const TkHandlerEntry* entry = find(request.handler);
  if (entry == nullptr) {
    logLine(1, "refused unknown handler %s on connection %d", printable(request.handler).c_str(), fd);
    refuse(fd, request.sequence, "unknown handler " + request.handler);
    return;
  }
  if (entry->kind != kTkHandlerXml) {
    logLine(1, "refused an XML request for %s on connection %d", entry->name, fd);
    refuse(fd, request.sequence, "handler " + request.handler + " takes element-stream requests");
    return;
  }
  if (entry->messageId != 0 && entry->messageId != request.messageId) {
    char reason[160];
    std::snprintf(reason, sizeof reason, "handler %s does not take message id 0x%08X", entry->name,
                  request.messageId);
    logLine(1, "refused on connection %d: %s", fd, reason);
    refuse(fd, request.sequence, reason);
    return;
  }
  callXml(*entry, request, fd, handlers);
}

void serveConnection(int fd, const Dispatcher& dispatcher, int frameDeadlineMs) {
  const HandlerApi& api = dispatcher.api();
  TkHandlers* handlers = api.create();
  if (handlers == nullptr) {
    logLine(0, "connection %d: the handler objects could not be made", fd);
    refuse(fd, 0, "the host could not make its handler objects");
    if (api.closed != nullptr) api.closed(fd);
    return;
  }
  // A frame of the largest size may leave this much behind; beyond it the
  // buffer is given back after the frame is served.
  constexpr size_t kKeptBodyCapacity = 1u << 20;
  std::string body;
  for (;;) {
    try {
      tkwire::ReadStatus status = tkwire::readFrame(fd, -1, frameDeadlineMs, body);
      if (status == tkwire::ReadStatus::Ok) {
        dispatcher.serve(body, fd, handlers);
        if (body.capacity() > kKeptBodyCapacity) std::string().swap(body);
        continue;
      }
      if (status == tkwire::ReadStatus::TooLong) {
        logLine(1, "connection %d: request frame longer than %u bytes; closing", fd, tkwire::kMaxFrameBytes);
        refuse(fd, 0, "request frame too long: at most " + std::to_string(tkwire::kMaxFrameBytes) + " bytes");
      } else if (status == tkwire::ReadStatus::Timeout) {
        // Half a frame and then nothing: the connection holds a thread and a
        // place among the connections, so it goes.
        logLine(1, "connection %d: request frame not complete within %d ms; closing", fd, frameDeadlineMs);
        refuse(fd, 0, "request frame not complete within " + std::to_string(frameDeadlineMs) + " ms");
      }
    } catch (const std::exception& e) {
      // Out of memory for a frame (handlers' own failures are caught around
      // their calls): the connection cannot be followed any further.
      logLine(0, "connection %d: %s; closing", fd, e.what());
      refuse(fd, 0, "the host cannot serve this connection any longer");
    }
    break;  // closed by the peer, shut down, too slow, or failed
  }
  if (api.closed != nullptr) api.closed(fd);
  api.destroy(handlers);
}

}  // namespace tkhost
