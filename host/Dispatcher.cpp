#include "host/Dispatcher.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "frame/EvExternal.h"
#include "frame/MessageInfo.h"
#include "host/HostLog.h"
#include "host/Memory.h"
#include "host/RequestRecord.h"
#include "platform/db/DBSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/ReplyChannel.h"
#include "platform/security/Rights.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "wire/FrameReader.h"
#include "wire/WireCodec.h"

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

// The users table's answer to a request, asked once before any handler runs
// (with the users table as the source of rights; the scripted rules of the
// tests are asked by the handlers alone). A user the table does not know is
// refused every request, a user no right of whom allows a change every
// request that changes. Empty when the request may go on; the handlers ask
// their own per-object questions. `rights` keeps the answer for the
// handler's questions of the same request.
// A change is also refused while the database lacks a trigger that records
// changes and it could not be made again: the change would go unseen by
// the rights and the configuration reads.
std::string refusalOf(const TkHandlerEntry& entry, uint32_t userId, unsigned long messageId, const std::string* xml,
                      std::optional<tksecurity::RequestRights>& rights) {
  if (tksecurity::usesUsersTable()) {
    rights.emplace(userId);
    const tksecurity::RequestUser& user = rights->user();
    if (!user.readable) return "The rights of user [" + std::to_string(userId) + "] could not be read.";
    if (!user.known) return "User [" + std::to_string(userId) + "] is not a user of this installation.";
  }
  uint32_t access = entry.access;
  if (access == kTkAccessPerRequest)
    access = entry.accessOf != nullptr && xml != nullptr ? entry.accessOf(messageId, *xml) : kTkAccessChanges;
  if (access == kTkAccessLooks) return std::string();
  if (rights && !rights->user().mayChange)
    return "User [" + rights->user().login + "] may not change anything in this installation.";
  return tkdb::schemaRefusal();
}

// Why the request for `handler` on connection `fd` is refused before
// anything else is asked: the database file was removed or replaced while
// the host ran (tkdb::holdDatabaseFile). Reads are refused too: their
// answers would come from a file no restart finds. Empty while the file is
// in place (one stat of its path); the host's log says it once as an error
// each time the file goes.
std::string databaseFileGone(const char* handler, int fd) {
  static std::atomic<bool> gone{false};
  std::string reason = tkdb::databaseFileRefusal();
  if (reason.empty()) {
    if (gone.load(std::memory_order_relaxed)) gone.store(false, std::memory_order_relaxed);
    return reason;
  }
  if (!gone.exchange(true))
    logLine(kLogError, "%s Every request is refused until the file is put back or the host is restarted.",
            reason.c_str());
  logLine(1, "refused %s on connection %d: %s", handler, fd, reason.c_str());
  return reason;
}

// Says in the host's log that the answer of the request `body` did not
// reach its client, naming the connection, the user and the request: the
// client stopped reading (the connection is dropped), or left.
void reportUndelivered(const std::string& body, int fd, int64_t sequence, const tkreply::ThreadWrites& before,
                       const tkreply::ThreadWrites& after) {
  std::string handler = "(an unreadable request)";
  uint32_t userId = 0;
  if (std::optional<tkwire::DecodedRequest> decoded = tkwire::decodeRequest(body)) {
    const bool stream = decoded->kind == tkwire::kRequestStream;
    handler = printable(stream ? decoded->stream.handler : decoded->xml.handler);
    userId = stream ? decoded->stream.userId : decoded->xml.userId;
  }
  char login[kMessageUserNameSize] = {};
  int size = static_cast<int>(sizeof login);
  EvExternal services(0);
  const std::string user = std::to_string(userId) +
                           (services.getUserLogin(static_cast<int>(userId), login, &size, nullptr) == 0 && login[0] != '\0'
                                ? " (" + printable(login) + ")"
                                : std::string());
  const unsigned long long frames = after.frames - before.frames;
  const unsigned long long lost = after.lost - before.lost;
  if (after.stalled != before.stalled)
    logLine(0,
            "warning: connection %d dropped: user %s stopped reading the answer to request %" PRId64
            " (%s); %llu of its %llu frames were not delivered",
            fd, user.c_str(), sequence, handler.c_str(), lost, frames);
  else
    logLine(1, "connection %d: user %s left before the answer to request %" PRId64 " (%s) was delivered", fd,
            user.c_str(), sequence, handler.c_str());
}

// Raises the rights alert and logs the refusal.
void reportRefusal(const TkHandlerEntry& entry, uint32_t userId, int fd, const std::string& reason) {
  tksecurity::sendRefusalAlert(userId, reason);
  logLine(1, "refused %s for user %u on connection %d: %s", entry.name, userId, fd, reason.c_str());
}

// The XML form of a refusal: the generic response of the request's message
// family (the namespace in the top byte of its id) with code -1 and the
// reason, as the handlers answer theirs.
template <class Response>
std::string genericRefusal(const std::string& reason) {
  Response response;
  response.setint64(Response::kCode.ordinal, Response::kCode.tag, ZQGui::GenericResp::kCodeFailure,
                    Response::kClassHash, Response::kCode.hash);
  response.setstring(Response::kText.ordinal, Response::kText.tag, reason, Response::kClassHash,
                     Response::kText.hash);
  std::string text;
  response.serialize(text);
  return text;
}

std::string xmlRefusal(unsigned long messageId, const std::string& reason) {
  if ((messageId >> 24) == ZQGui::GenericResp::kNamespace) return genericRefusal<ZQGui::GenericResp>(reason);
  return genericRefusal<EVGui::GenericResp>(reason);
}

// Runs a handler call; a handler that throws is logged and answered with a
// status reply, and the connection goes on.
template <class Call>
int64_t runHandler(const TkHandlerEntry& entry, int fd, int64_t sequence, Call&& call) {
  std::string failure;
  try {
    return call();
  } catch (const char* text) {
    failure = text != nullptr ? text : "";
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "unknown exception";
  }
  logLine(kLogError, "handler %s failed on connection %d: %s", entry.name, fd, printable(failure).c_str());
  refuse(fd, sequence, std::string("handler ") + entry.name + " failed");
  return tkwire::kRefusedResult;
}

int64_t callStream(const TkHandlerEntry& entry, const tkwire::StreamRequest& request, int fd, TkHandlers* handlers) {
  std::string refusal;
  std::optional<tksecurity::RequestRights> rights;
  MessageInfo* record = nullptr;
  try {
    refusal = databaseFileGone(entry.name, fd);
    if (!refusal.empty()) {
      refuse(fd, request.sequence, refusal);
      return tkwire::kRefusedResult;
    }
    refusal = refusalOf(entry, request.userId, 0, nullptr, rights);
    if (!refusal.empty()) {
      reportRefusal(entry, request.userId, fd, refusal);
      refuse(fd, request.sequence, refusal);
      return tkwire::kRefusedResult;
    }
    MessageInfo& fresh = freshThreadRecord();
    if (fillStreamRecord(fresh, request, fd, refusal)) {
      record = &fresh;
      fillLoginName(*record);
    }
  } catch (const std::bad_alloc&) {
    refusal = "not enough memory for the request";
  }
  if (record == nullptr) {
    logLine(1, "refused %s on connection %d: %s", printable(request.handler).c_str(), fd, refusal.c_str());
    refuse(fd, request.sequence, refusal);
    return tkwire::kRefusedResult;
  }
  logLine(2, "connection %d: %s user %u seq %" PRId64 " first 0x%016" PRIx64 " stream %zu bytes", fd,
          entry.name, request.userId, request.sequence, request.firstField, request.stream.size());
  return runHandler(entry, fd, request.sequence, [&]() -> int64_t {
    EvDebugConnectionScope scope(fd);
    const unsigned long long framesBefore = tkreply::threadWrites().frames;
    int result = entry.stream(handlers, record);
    logLine(2, "connection %d: %s returned %d", fd, entry.name, result);
    // The console waits for an answer that never comes and learns only of
    // the request's end: the host's log says which request it was.
    if (tkreply::threadWrites().frames == framesBefore)
      logLine(0, "warning: %s answered nothing to request %" PRId64 " of user %u on connection %d (it returned %d)",
              entry.name, request.sequence, request.userId, fd, result);
    return result;
  });
}

int64_t callXml(const TkHandlerEntry& entry, const tkwire::XmlRequest& request, int fd, TkHandlers* handlers,
                TkHostAnswerLostFn lost) {
  std::optional<tksecurity::RequestRights> rights;
  MessageInfo* record = nullptr;
  try {
    const std::string gone = databaseFileGone(entry.name, fd);
    const std::string refusal =
        gone.empty() ? refusalOf(entry, request.userId, request.messageId, &request.xml, rights) : gone;
    if (!refusal.empty()) {
      if (gone.empty()) reportRefusal(entry, request.userId, fd, refusal);
      // Answered as the XML handlers answer a refusal: a response written,
      // so the answer's result is 0; the end frame says the host refused.
      tkreply::writeFrame(fd, tkwire::encodeXmlAnswer(request.messageId, request.sequence, 0,
                                                      xmlRefusal(request.messageId, refusal)));
      return tkwire::kRefusedResult;
    }
    record = &freshThreadRecord();
    fillRecord(*record, request, fd);
    fillLoginName(*record);
  } catch (const std::bad_alloc&) {
    refuse(fd, request.sequence, "not enough memory for the request");
    return tkwire::kRefusedResult;
  }
  logLine(2, "connection %d: %s message 0x%08X user %u seq %" PRId64 " text %zu bytes", fd, entry.name,
          request.messageId, request.userId, request.sequence, request.xml.size());
  return runHandler(entry, fd, request.sequence, [&]() -> int64_t {
    EvDebugConnectionScope scope(fd);
    std::string text = request.xml;
    long long result = entry.xml(handlers, record, request.messageId, text);
    logLine(2, "connection %d: %s returned %lld with %zu bytes", fd, entry.name, result, text.size());
    // The handler cannot see whether its answer reached the client; what it
    // granted on the strength of that answer (a lock) is withdrawn when not.
    if (!tkreply::writeFrame(fd, tkwire::encodeXmlAnswer(request.messageId, request.sequence, result, text)) &&
        lost != nullptr)
      lost(fd);
    return result;
  });
}

// The number of single-character edits that turn `a` into `b`.
size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
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
    if (e.access != kTkAccessChanges && e.access != kTkAccessLooks &&
        (e.access != kTkAccessPerRequest || e.kind != kTkHandlerXml || e.accessOf == nullptr)) {
      error = where + " has an unusable access " + std::to_string(e.access);
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
  int64_t sequence = tkwire::peekRequestSequence(body).value_or(0);
  const tkreply::ThreadWrites before = tkreply::threadWrites();
  const unsigned long long bytesBefore = before.bytes;
  int64_t result = answer(body, fd, handlers, sequence);
  tkreply::writeFrame(fd, tkwire::encodeRequestEnd(sequence, result));
  const tkreply::ThreadWrites after = tkreply::threadWrites();
  if (after.lost != before.lost) reportUndelivered(body, fd, sequence, before, after);
  const unsigned long long answered = after.bytes - bytesBefore;
  if (answerWritten(answered)) logLine(2, "memory given back after an answer of %llu bytes", answered);
}

int64_t Dispatcher::answer(const std::string& body, int fd, TkHandlers* handlers, int64_t sequence) const {
  std::optional<tkwire::DecodedRequest> decoded = tkwire::decodeRequest(body);
  if (!decoded) {
    logLine(1, "refused a malformed request frame of %zu bytes on connection %d", body.size(), fd);
    refuse(fd, sequence, "malformed request frame");
    return tkwire::kRefusedResult;
  }
  if (decoded->kind == tkwire::kRequestStream) {
    const tkwire::StreamRequest& request = decoded->stream;
    if (request.stream.size() > tkwire::kMaxElementStream) {
      std::string reason = "element stream too long: " + std::to_string(request.stream.size()) +
                           " bytes, at most " + std::to_string(tkwire::kMaxElementStream);
      logLine(1, "refused %s on connection %d: %s", printable(request.handler).c_str(), fd, reason.c_str());
      refuse(fd, request.sequence, reason);
      return tkwire::kRefusedResult;
    }
    if (request.handler == tkwire::kListHandlersName) {
      tkreply::writeFrame(fd, handlerList(request.sequence));
      return 0;
    }
    const TkHandlerEntry* entry = find(request.handler);
    if (entry == nullptr) return refuseUnknown(request.handler, fd, request.sequence);
    if (entry->kind != kTkHandlerStream) {
      logLine(1, "refused an element-stream request for %s on connection %d", entry->name, fd);
      refuse(fd, request.sequence, "handler " + request.handler + " takes XML requests");
      return tkwire::kRefusedResult;
    }
    return callStream(*entry, request, fd, handlers);
  }

  const tkwire::XmlRequest& request = decoded->xml;
  const TkHandlerEntry* entry = find(request.handler);
  if (entry == nullptr) return refuseUnknown(request.handler, fd, request.sequence);
  if (entry->kind != kTkHandlerXml) {
    logLine(1, "refused an XML request for %s on connection %d", entry->name, fd);
    refuse(fd, request.sequence, "handler " + request.handler + " takes element-stream requests");
    return tkwire::kRefusedResult;
  }
  if (entry->messageId != 0 && entry->messageId != request.messageId) {
    char reason[160];
    std::snprintf(reason, sizeof reason, "handler %s does not take message id 0x%08X", entry->name,
                  request.messageId);
    logLine(1, "refused on connection %d: %s", fd, reason);
    refuse(fd, request.sequence, reason);
    return tkwire::kRefusedResult;
  }
  return callXml(*entry, request, fd, handlers, m_api.lost);
}

int64_t Dispatcher::refuseUnknown(const std::string& name, int fd, int64_t sequence) const {
  logLine(1, "refused unknown handler %s on connection %d", printable(name).c_str(), fd);
  std::string reason = "unknown handler " + name;
  std::vector<std::string> near = closestNames(name);
  for (size_t i = 0; i < near.size(); ++i) reason += (i == 0 ? "; did you mean " : " or ") + near[i];
  if (!near.empty()) reason += "?";
  refuse(fd, sequence, reason);
  return tkwire::kRefusedResult;
}

std::vector<std::string> Dispatcher::closestNames(const std::string& name) const {
  // Names within a few edits (letter case ignored) of the one asked for, or
  // that contain it: a typing slip or a part of the name.
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string wanted = lower(name);
  const size_t limit = std::max<size_t>(2, wanted.size() / 4);
  std::vector<std::pair<size_t, std::string>> found;
  if (wanted.empty() || wanted.size() > 256) return {};
  for (size_t i = 0; i < m_api.count; ++i) {
    const std::string candidate = m_api.table[i].name;
    const std::string key = lower(candidate);
    size_t distance = editDistance(wanted, key);
    if (distance <= limit || (wanted.size() >= 4 && key.find(wanted) != std::string::npos))
      found.emplace_back(distance, candidate);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (size_t i = 0; i < found.size() && i < 3; ++i) names.push_back(found[i].second);
  return names;
}

std::string Dispatcher::handlerList(int64_t sequence) const {
  std::vector<tkwire::HandlerInfo> handlers;
  for (size_t i = 0; i < m_api.count; ++i) {
    const TkHandlerEntry& e = m_api.table[i];
    handlers.push_back({e.name, e.kind == kTkHandlerXml ? tkwire::kRequestXml : tkwire::kRequestStream,
                        e.kind == kTkHandlerXml ? static_cast<uint32_t>(e.messageId) : 0});
  }
  return tkwire::encodeHandlerList(sequence, handlers);
}
void serveConnection(int fd, const Dispatcher& dispatcher, int frameDeadlineMs) {
  const HandlerApi& api = dispatcher.api();
  TkHandlers* handlers = api.create();
  if (handlers == nullptr) {
    logLine(kLogError, "connection %d: the handler objects could not be made", fd);
    refuse(fd, 0, "the host could not make its handler objects");
    if (api.closed != nullptr) api.closed(fd);
    return;
  }
  // A frame of the largest size may leave this much behind; beyond it the
  // buffer is given back after the frame is served.
  constexpr size_t kKeptBodyCapacity = 1u << 20;
  std::string body;
  tkwire::FrameReader reader(fd);
  for (;;) {
    try {
      tkwire::ReadStatus status = reader.next(-1, frameDeadlineMs, body);
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
      logLine(kLogError, "connection %d: %s; closing", fd, e.what());
      refuse(fd, 0, "the host cannot serve this connection any longer");
    }
    break;  // closed by the peer, shut down, too slow, or failed
  }
  if (api.closed != nullptr) api.closed(fd);
  api.destroy(handlers);
}

}  // namespace tkhost
