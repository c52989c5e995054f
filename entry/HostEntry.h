// The entry points through which the host process (tkhost) drives the handler
// library after loading it with dlopen.
//
// The library exports, with C linkage, the functions named below:
//   TkHostEntryVersion   the layout version of this header (kTkHostEntryVersion);
//                        the host refuses a library built against another one
//   TkHostCreateHandlers constructs one set of handler objects; the host makes
//                        one set per connection, so that the reply state the
//                        handler classes inherit from their reply builder is
//                        never shared by two threads
//   TkHostDestroyHandlers destroys a set made by TkHostCreateHandlers
//   TkHostHandlerTable   the dispatch table: one entry per handler the host may
//                        call by name (see TkHandlerEntry)
//   TkHostSeedDemo       fills an empty database with the demonstration
//                        installation; returns the number of objects it made
//                        (0 when there was nothing to make), or -1 on failure
//                        with a reason in the buffer
//   TkHostConnectionClosed the connection on descriptor `fd` has ended; the
//                        host calls it before it closes the descriptor, so
//                        the library forgets the client before another one
//                        can get the same number
//   TkHostAnswerLost     the answer of the XML request the host has just
//                        served on `fd` could not be written; called on the
//                        thread that served it, before the connection's next
//                        request
//
// Each entry says what its requests do to the configuration (its access),
// so that the host can refuse a change to a user who may change nothing
// before any handler runs; the handlers ask their own per-object questions.
//
// Element-stream handlers receive the request record the host filled for the
// request and answer on its socket themselves; their int result is only logged.
// XML handlers receive the request record (socket, user, sequence number), the
// message id and one text buffer that holds the request on entry and the
// response on return; the host sends the buffer back with the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MessageInfo;

extern "C" {

// The handler objects of one connection (defined by the library).
struct TkHandlers;

enum TkHandlerKind : uint32_t {
  kTkHandlerStream = 1,  // element-stream request: fn(handlers, request)
  kTkHandlerXml = 2,     // XML request: xml(handlers, request, message id, text)
};

// What the requests of an entry do. An entry that does not say changes:
// a forgotten line is refused to a user who may only look, not served.
enum TkHandlerAccess : uint32_t {
  kTkAccessChanges = 0,     // every request may change the configuration
  kTkAccessLooks = 1,       // no request changes it (listings, properties,
                            // checks, and the configuration lock, which asks
                            // its own rights question)
  kTkAccessPerRequest = 2,  // XML only: `accessOf` tells per request
};

typedef int (*TkStreamHandlerFn)(TkHandlers* handlers, MessageInfo* request);
// The access of one XML request of a kTkAccessPerRequest entry: by message
// id, and where one message both lists and changes, by its operation.
// Returns kTkAccessChanges or kTkAccessLooks; a text it cannot read changes.
typedef uint32_t (*TkXmlAccessFn)(unsigned long messageId, const std::string& text);
typedef long long (*TkXmlHandlerFn)(TkHandlers* handlers, MessageInfo* request, unsigned long messageId,
                                    std::string& text);

struct TkHandlerEntry {
  const char* name;        // the name a console asks for, e.g. "LockMMConfiguration"
  uint32_t kind;           // TkHandlerKind
  TkStreamHandlerFn stream;  // kTkHandlerStream: the handler
  TkXmlHandlerFn xml;        // kTkHandlerXml: the handler
  // kTkHandlerXml only: the one message id the entry takes, or 0 when the entry
  // is a dispatcher that takes every id and selects the handler itself.
  unsigned long messageId;
  uint32_t access = kTkAccessChanges;  // TkHandlerAccess
  TkXmlAccessFn accessOf = nullptr;    // kTkAccessPerRequest: the access of a request
};

typedef uint32_t (*TkHostEntryVersionFn)(void);
typedef TkHandlers* (*TkHostCreateHandlersFn)(void);
typedef void (*TkHostDestroyHandlersFn)(TkHandlers* handlers);
typedef const TkHandlerEntry* (*TkHostHandlerTableFn)(size_t* count);
typedef int (*TkHostSeedDemoFn)(char* reason, size_t reasonSize);
typedef void (*TkHostConnectionClosedFn)(int fd);
typedef void (*TkHostAnswerLostFn)(int fd);

uint32_t TkHostEntryVersion(void);
TkHandlers* TkHostCreateHandlers(void);
void TkHostDestroyHandlers(TkHandlers* handlers);
const TkHandlerEntry* TkHostHandlerTable(size_t* count);
int TkHostSeedDemo(char* reason, size_t reasonSize);
void TkHostConnectionClosed(int fd);
void TkHostAnswerLost(int fd);

}  // extern "C"

inline constexpr uint32_t kTkHostEntryVersion = 4;

inline constexpr const char* kTkHostEntryVersionSymbol = "TkHostEntryVersion";
inline constexpr const char* kTkHostCreateHandlersSymbol = "TkHostCreateHandlers";
inline constexpr const char* kTkHostDestroyHandlersSymbol = "TkHostDestroyHandlers";
inline constexpr const char* kTkHostHandlerTableSymbol = "TkHostHandlerTable";
inline constexpr const char* kTkHostSeedDemoSymbol = "TkHostSeedDemo";
inline constexpr const char* kTkHostConnectionClosedSymbol = "TkHostConnectionClosed";
inline constexpr const char* kTkHostAnswerLostSymbol = "TkHostAnswerLost";
