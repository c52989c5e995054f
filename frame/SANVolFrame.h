// What every SAN-volume, replica and recovery handler shares, and the NAS
// handlers with them: reading its request elements, the one-call failure
// answer, the operation reply, the element-stream frame and the simple Get
// frame. A handler states only its own elements and operations; everything
// below is the same for all of them.
//
// Why this is not the Set loop of frame/HandlerSkeleton.h: these handlers
// work on the services (replica database, client agents, filers), not on
// the session's media-configuration instance. There is no instance to pin,
// no object handle (11003) to resolve and no "Close" answer for a session
// taken over; operations are 64-bit, every failure is a catalogue text,
// and what an unknown element or a record without 4001 gets differs from
// handler to handler (StreamRules), where the media-configuration handlers
// all answer alike. Folding the two loops into one would change what one of
// the two families answers.
//
// Element-stream handler. The handler collects its elements into its own
// state and acts at each end of record (2052):
//
//   class SetPolicy final : public tksanvol::StreamHandler {
//     bool takeElement(tksanvol::StreamContext& c, unsigned type, const char* v, unsigned n) override {
//       switch (type) {
//         case 11642: m_id = tksanvol::readI32(v, n); m_hasId = true; return true;
//         default: return false;                   // not one of mine
//       }
//     }
//     bool supportsOperation(unsigned long long op) const override { return op == 1 || op == 2; }
//     tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& c) override {
//       if (!m_hasId) return c.answer.missingInformation();  // 0x39000089
//       if (!lookup(...)) return c.answer.lookupFailed(ret.errorText.c_str());
//       ... the operation ...
//       c.answer.success(tksanvol::AnswerForm::OperationResponse, c.operation);
//       return tksanvol::RecordOutcome::GoOn;
//     }
//   };
//   SetPolicy handler;
//   return tksanvol::runElementStream(request, kStreamRules, handler);
//
// The frame keeps the Tarnfold id (4106) and the operation (4001) with
// their presence marks for the whole request: a later record of the same
// stream inherits what an earlier one set, as does the handler's own state.
// Records acted on before a failure keep their effects and their answers.
//
// Simple Get handler (no element stream). The reply is begun on the handler
// object's own reply base, the worker adds its items, and the reply is
// ended whether or not the worker succeeded:
//
//   return tksanvol::runGet(*this, request, kGetRules,
//                           [this](MessageInfo& m) { return lookupSANVolumes(&m); });
//
// Texts are always taken by (value, length): a value of the full 4,104
// bytes carries no terminator, and none is read past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "frame/CWySocket.h"
#include "frame/ElementTags.h"
#include "frame/EvEvent.h"

class EvReturnData;
struct MessageInfo;

namespace tksanvol {

// ---------------------------------------------------------------- catalogue ids

inline constexpr unsigned long kTextAllocationFailed = 0x23000002;
inline constexpr unsigned long kTextInvalidOperation = 0x23000318;   // %1 the operation type
inline constexpr unsigned long kTextUnprocessedElement = 0x23000332;  // %1 the type, %2 its name
inline constexpr unsigned long kTextLookupFailed = 0x39000006;
inline constexpr unsigned long kTextMissingInformation = 0x39000089;

// ---------------------------------------------------------------- element values

// Element types of every handler.
inline constexpr unsigned int kElementTarnfoldId = tktag::kTarnfoldId;

// Longest text of each element form: what fits the 4,104-byte value buffer
// with a terminator after it.
inline constexpr std::size_t kElementTextMax = 4103;
inline constexpr std::size_t kElementIdTextMax = 4099;
inline constexpr std::size_t kElementHdr12TextMax = 4091;

// Numbers from a value's first bytes; bytes beyond the value count as zero.
uint32_t readU32(const char* value, unsigned int length);
uint64_t readU64(const char* value, unsigned int length);
inline int32_t readI32(const char* value, unsigned int length) { return static_cast<int32_t>(readU32(value, length)); }
// A flag: any non-zero 32-bit value.
inline bool readFlag(const char* value, unsigned int length) { return readU32(value, length) != 0; }
// A text: the value's bytes up to the first zero, cut at 4,103 characters.
std::string readText(const char* value, unsigned int length);

// id+text: a 32-bit id followed by a text (cut at 4,099). A value shorter
// than its 4-byte header reads the missing bytes as 0 and an empty text.
struct IdText {
  uint32_t id = 0;
  std::string text;
};
IdText readIdText(const char* value, unsigned int length);

// hdr12+text: three 32-bit words (id, client id, flags) and a text (cut at
// 4,091). A value shorter than its 12-byte header reads the missing bytes as
// 0 and an empty text.
struct Hdr12Text {
  uint32_t id = 0;
  uint32_t clientId = 0;
  uint32_t flags = 0;
  std::string text;
};
Hdr12Text readHdr12Text(const char* value, unsigned int length);

// ---------------------------------------------------------------- answers

// The operation reply (reply 1024) of these handlers: item 4001 with the
// operation (left out when `operation` is empty), item 2051 with the status
// and the text, and with `withLastItem` the result as the last item
// `lastTag` with `lastLength` bytes of `lastData`. A reply that cannot be
// begun is logged and answered with the allocation-failure text (0x23000002)
// through sendResponse, under `logTag` (null: the SAN-volume handlers' own);
// false then. EvSANVolMgr::sendOperationResponse, sendOperationResponseWith
// and EvNASConfigMgr::sendOperationResponse are this reply.
bool operationReply(long long sequenceNumber, const CWySocket& socket, std::optional<unsigned long long> operation,
                    unsigned long long status, const char* text, unsigned long lastTag, const void* lastData,
                    unsigned long lastLength, bool withLastItem, const char* logTag = nullptr);

// How a failure or success reaches the client: the one-call status reply
// (sendResponse) or the operation reply (EvSANVolMgr::sendOperationResponse).
enum class AnswerForm { Response, OperationResponse };

// What a record's handling tells the frame.
enum class RecordOutcome {
  GoOn,     // walk on to the next element
  Handled,  // stop; the request is handled (result 1)
  Failed,   // stop; the request failed (result 0)
};

// The answers of one request: its event (given the request's locale), the
// 1,024-byte answer buffer and the one-call failure answer. Lives on the
// handler call's stack.
class RequestAnswer {
 public:
  RequestAnswer(MessageInfo& request, const char* tag);
  RequestAnswer(const RequestAnswer&) = delete;
  RequestAnswer& operator=(const RequestAnswer&) = delete;

  static constexpr std::size_t kAnswerBufferSize = 1024;

  const char* tag() const { return m_tag; }
  MessageInfo& request() { return m_request; }
  // Catalogue arguments are pushed here before a failure is answered.
  EvEvent& event() { return m_event; }
  // The answer buffer: the explanation of the last failure, or the
  // catalogue text that was sent for it.
  const char* buffer() const { return m_buffer; }
  // Puts a text into the answer buffer through "%s", cut at 1,023
  // characters (a service's error text may be of any length).
  void explain(const char* text);

  // The one-call failure answer: the explanation into the answer buffer,
  // logged at error level; the catalogue text of `messageId` (with the
  // arguments pushed into the event) fetched into the buffer and sent with
  // status 0. With AnswerForm::OperationResponse it goes out as an
  // operation reply for `operation`. Returns RecordOutcome::Failed.
  RecordOutcome fail(unsigned long messageId, const char* explanation, AnswerForm form = AnswerForm::Response,
                     unsigned long long operation = 0);
  // A required element is missing: 0x39000089, logged with `logText`.
  RecordOutcome missingInformation(const char* logText = kMissingInformationLog,
                                   AnswerForm form = AnswerForm::Response, unsigned long long operation = 0);
  // A lookup failed: its error text explains it; 0x39000006 unless the
  // handler has its own id.
  RecordOutcome lookupFailed(const char* serviceErrorText, unsigned long messageId = kTextLookupFailed,
                             AnswerForm form = AnswerForm::Response, unsigned long long operation = 0);
  // Success: status 1 and the text "Success".
  void success(AnswerForm form = AnswerForm::OperationResponse, unsigned long long operation = 0);

  static constexpr const char* kMissingInformationLog =
      "All information required to process this request was not received";

 private:
  // The catalogue text of the id into the buffer, sent with `status`.
  void send(unsigned long status, const char* text, AnswerForm form, unsigned long long operation);

  MessageInfo& m_request;
  const char* m_tag;
  EvEvent m_event;
  char m_buffer[kAnswerBufferSize] = {};
};

// ---------------------------------------------------------------- element-stream frame

// What a handler does with an element type that it does not know.
enum class UnknownElement {
  AnswerAndStop,       // answer 0x23000332 (status 0) and return 0: most handlers
  LogAndGoOn,          // log it and walk on
  LogAndStopSilently,  // log it and return 0 without an answer
  AnswerAndGoOn,       // answer 0x23000332 and walk on; the result is not changed
};

// What a handler with operations does with a record that came without 4001.
enum class MissingOperation {
  AnswerMissingInformation,  // 0x39000089 as an operation reply for operation 0; return 0
  AsOperationZero,           // operation 0, which supportsOperation then judges
};

struct StreamRules {
  const char* tag = "";  // the handler's qualified name, for every log line
  UnknownElement unknownElement = UnknownElement::AnswerAndStop;
  // False for handlers without operations: 4001 is then an unknown element
  // and records go to the handler unchecked.
  bool hasOperations = true;
  MissingOperation missingOperation = MissingOperation::AsOperationZero;
};

// The state of one element-stream request, kept for the whole walk.
struct StreamContext {
  StreamContext(MessageInfo& request, const char* tag) : answer(request, tag) {}

  RequestAnswer answer;
  MessageInfo& request() { return answer.request(); }
  unsigned long tarnfoldId = 0;
  bool hasTarnfoldId = false;
  unsigned long long operation = 0;  // kept as an unsigned 64-bit value
  bool hasOperation = false;
};

class StreamHandler {
 public:
  virtual ~StreamHandler() = default;
  // Takes one of the handler's own elements (logging it at level 7 with a
  // text that begins with Received); false when the type is not one of them.
  virtual bool takeElement(StreamContext& context, unsigned int type, const char* value, unsigned int length) = 0;
  // Whether the handler carries out the operation.
  virtual bool supportsOperation(unsigned long long operation) const = 0;
  // Acts on the record collected so far; answers the client itself.
  virtual RecordOutcome onRecord(StreamContext& context) = 0;
};

// Walks the request's element stream with the rules and the handler. Null
// request: "Bad Parameter Received." and 0, nothing sent. 1 when the walk
// ends (also without any 2052, which gets no answer), 0 when a record or an
// unknown element stopped it as failed.
long long runElementStream(MessageInfo* request, const StreamRules& rules, StreamHandler& handler);

// ---------------------------------------------------------------- simple Get frame

enum class GetLog {
  TarnfoldId,             // level 10 "Received TarnfoldId = %d"
  TarnfoldIdAndSANHostId  // level 7 "Received TarnfoldId = %d, SANHostId = %d"
};

struct GetRules {
  const char* tag = "";
  unsigned long replyId = 0;
  GetLog log = GetLog::TarnfoldId;
};

// Begins a listing reply on `reply` (the handler object itself). When the
// reply cannot be begun the client is told so (the catalogue text of
// 0x23000002 with status 0, "Memory allocation failed." logged) and the
// result is false: a listing is never silently lost.
bool beginReply(EvReturnData& reply, MessageInfo& request, unsigned long replyId, const char* tag);
// Logs and begins the reply on `reply` (the handler object itself); false
// for a null request ("Bad Parameter Received.", nothing sent) and for a
// reply that could not be begun (answered as beginReply says).
bool beginGet(EvReturnData& reply, MessageInfo* request, const GetRules& rules);
// Ends the reply, whatever the worker did. False when the listing was too
// large to be carried and the client got the failure naming the limit
// instead (see platform/reply/EvReturnData.h).
bool endGet(EvReturnData& reply);

// The Get frame: begin, the worker (long long(MessageInfo&), 1 or 0), end;
// returns the worker's result (0 for a null request, and for a listing that
// was answered as too large).
template <class Worker>
long long runGet(EvReturnData& reply, MessageInfo* request, const GetRules& rules, Worker&& worker) {
  if (!beginGet(reply, request, rules)) return 0;
  const long long result = worker(*request);
  return endGet(reply) ? result : 0;
}

}  // namespace tksanvol
