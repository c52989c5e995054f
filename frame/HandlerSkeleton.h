// The two shapes of the element-stream handlers of EvMMConfigMgr.
//
// Get: the handler answers with one reply block of items.
//
//   bool EvMMConfigMgr::onMsgGetMMThings(MessageInfo* msg) {
//     return tkmm::runGet(*this, msg, kReplyId, kTag,
//                         [&](ZQMACMediaConfig& config) { return lookupMMThings(msg, &config); });
//   }
//
// runGet takes the session's instance (GetCurrentMediaConfig with false,
// pinned for the call), begins the reply, runs the lookup only when there
// is an instance, ends the reply and returns the lookup's result (true
// without an instance: a client whose session was taken over has had the
// force-close notice and gets an empty block). runPropertyGet also takes
// the object handle from the first fixed field and runs the lookup only for
// an object of this instance; an unknown handle gives an empty block.
//
// Set: the handler walks the element stream record by record and answers
// each record with one operation response (reply 1024). runSet owns the
// walk and the fixed answers; a SetRecordHandler adds the operations it
// serves, its own elements and the action. At each end of record (2052),
// in this order:
//   a. no instance (the session was taken over): status 1 "Close" with the
//      operation received so far; the request ends, result true;
//   b. an operation the handler does not serve (a record without 4001 is
//      operation 0): sendResponse status 0 "Received invalid operation
//      type"; result false;
//   c. the operation needs an object and no 11003 came: status 0 with the
//      catalogue text 0x240001F3; result false;
//   c2. the record's handle names an object whose row another connection
//      removed since the session read it: status 0 with the store's text
//      ("No library with id [3]."), and the session reads again what
//      changed, which drops the object; result false;
//   d. the handler's action (apply), which looks the object up itself
//      (SetRecord::object<T>: null for an unknown handle or an object of
//      another class) and returns an outcome: success (status 1
//      "Success", the walk goes on), failure (status 0 with a text, result
//      false), or its own answer.
// Elements 4001 (operation), 4106 (installation id) and 11003 (handle) and
// the handler's own keep their values for the whole request: a later record
// sees those of earlier ones unless it sends them again. Any other element
// is logged ("Has received an unprocessed element type [%d-%s]") and
// skipped. A null request is logged ("Bad Parameter Received.") and
// refused without an answer. After the last element the result is true.
//
// Why this is not the frame of frame/SANVolFrame.h: these handlers work on
// the session's media-configuration instance. Get pins that instance for
// the call; Set answers "Close" when the session was taken over, resolves
// the record's object handle (11003) in that instance and checks it before
// the action, and treats every unknown element alike. The SAN-volume and
// NAS handlers have no instance and differ from each other in how they meet
// unknown elements and records without an operation, which their frame
// takes as rules. Folding the two loops into one would change what one of
// the two families answers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "frame/ElementTags.h"

class EvReturnData;
class ZQMACBase;
class ZQMACInterface;
class ZQMACMediaConfig;
struct MessageInfo;

namespace tkmm {

// One element's value in a Set record, and whether it came.
template <class T>
struct ElementValue {
  bool has = false;
  T value{};
  void set(T v) {
    value = std::move(v);
    has = true;
  }
};

// ---------------------------------------------------------------- Get

using ListLookup = std::function<bool(ZQMACMediaConfig& config)>;
using ObjectLookup = std::function<bool(ZQMACMediaConfig& config, ZQMACInterface& object)>;

// `reply` is the handler object (its reply base). False for a null request
// (nothing is sent) and when the reply cannot be begun (the client then
// gets status 0 with the allocation-failure text); otherwise the lookup's
// result, or true when it did not run.
bool runGet(EvReturnData& reply, MessageInfo* request, unsigned long replyId, const char* tag,
            const ListLookup& lookup);
bool runPropertyGet(EvReturnData& reply, MessageInfo* request, unsigned long replyId, const char* tag,
                    const ObjectLookup& lookup);

// A reply that could not be begun: logs it and tells the client (status
// 0 with the catalogue's allocation-failure text, through sendResponse).
void answerAllocationFailure(const char* tag, const MessageInfo& request);

// ---------------------------------------------------------------- Set

// Element types of every Set handler.
inline constexpr uint32_t kElementOperation = tktag::kOperation;
inline constexpr uint32_t kElementInstallationId = tktag::kTarnfoldId;
inline constexpr uint32_t kElementObjectHandle = tktag::kObjectHandle;
inline constexpr uint32_t kElementEndOfRecord = tktag::kEndOfRecord;
// Catalogue text of a Set record without its object handle.
inline constexpr unsigned long kTextNoObjectHandle = 0x240001F3;

// What the loop knows when a record ends.
struct SetRecord {
  MessageInfo& request;
  ZQMACMediaConfig& config;
  uint32_t operation = 0;
  bool hasHandle = false;
  unsigned long long handle = 0;
  bool hasInstallationId = false;
  uint32_t installationId = 0;

  // The live object of the record's handle, or null (no handle, unknown
  // handle).
  ZQMACInterface* anyObject() const;
  // The same, but only an object of class T (or derived): a handle of
  // another kind of object is an unknown handle.
  template <class T>
  T* object() const {
    return dynamic_cast<T*>(anyObject());
  }
};

// How a record ended.
class SetOutcome {
 public:
  enum class Kind { Success, Failure, Answered };

  // Answer status 1 "Success"; go on with the next element.
  static SetOutcome success() { return SetOutcome(Kind::Success, std::string(), true, true); }
  // Answer status 0 with the text; end the request with false.
  static SetOutcome failure(std::string text) { return SetOutcome(Kind::Failure, std::move(text), false, false); }
  // The object's last-error text as the failure.
  static SetOutcome lastError(const ZQMACBase& object);
  // The handler has answered itself; go on, or end with `result`.
  static SetOutcome answered(bool goOn, bool result) { return SetOutcome(Kind::Answered, std::string(), goOn, result); }

  Kind kind() const { return m_kind; }
  const std::string& text() const { return m_text; }
  bool goOn() const { return m_goOn; }
  bool result() const { return m_result; }

 private:
  SetOutcome(Kind kind, std::string text, bool goOn, bool result)
      : m_kind(kind), m_text(std::move(text)), m_goOn(goOn), m_result(result) {}

  Kind m_kind;
  std::string m_text;
  bool m_goOn;
  bool m_result;
};

// Runs a record's steps in one transaction, so that they are stored together
// or not at all: a step's failure rolls back what the steps before it
// stored. A transaction that cannot begin or be committed is the record's
// failure, logged under `tag` (`what` names what was stored, as in "the
// drive's changes").
SetOutcome storedTogether(const char* tag, const char* what, const std::function<SetOutcome()>& steps);

// Runs a record's steps in one transaction for a request whose earlier
// steps keep their changes when a later one is refused: the session keeps
// them, and so does the store. What the steps stored is committed once,
// whether the record ends in success or in a step's refusal (answered with
// the refusal's text). A transaction that cannot begin is the record's
// failure; one that cannot be committed after a success is too, and after
// a refusal the refusal is answered and the commit's failure logged. When
// the commit fails, `objects` (the session's objects the steps may change)
// are given back their names and stored values as they were before the
// steps, as the store still holds them.
SetOutcome storedAsKept(const char* tag, const char* what, const std::vector<ZQMACInterface*>& objects,
                        const std::function<SetOutcome()>& steps);

// What one Set handler adds to the loop.
class SetRecordHandler {
 public:
  virtual ~SetRecordHandler() = default;
  // The operation types the handler serves.
  virtual bool servesOperation(uint32_t operation) const = 0;
  // Whether the operation needs an object handle (11003) in its record.
  virtual bool needsObject(uint32_t /*operation*/) const { return true; }
  // Takes one of the handler's own elements (value read by its length,
  // never past it); false when the type is not one of them.
  virtual bool takeElement(uint32_t /*type*/, const char* /*value*/, unsigned int /*length*/) { return false; }
  // The record's action (after the fixed checks).
  virtual SetOutcome apply(const SetRecord& record) = 0;
};

// The loop; `tag` is the handler's qualified name for the log.
bool runSet(MessageInfo* request, const char* tag, SetRecordHandler& handler);

}  // namespace tkmm
