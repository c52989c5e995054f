// How the console reads the answers to a request: what a status code means
// and whether an answer reports a failure. The exit status of tkconsole
// (3 when any answer reports a failure or refusal) is judged here.
//
// An answer reports a failure when it carries a status item (2051) whose
// status is not 1 (success; for an answer whose status is an id, when it is
// 0), when an XML answer's result is not 0, when an element of an XML
// answer carries a code other than 0 in the field that says whether the
// request was served (the code of a generic response, of the device-path
// answer's error object, of the device-list answer and of each of its
// volumes, the result code of a library description; the can-delete
// answer's code above 0 is its answer, not a failure), or when the host's
// end frame carries a result below 0 (a request the host refused, or a
// handler that failed). An XML answer is read with the host's own XML
// reader. An XML request handed back as it was sent (isHandedBack) was
// answered by no handler: the console counts it as failed as well.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "frame/ElementTags.h"
#include "wire/WireCodec.h"

namespace tkconsole {

// The status item of element-stream answers: a u32 status and a text.
inline constexpr uint32_t kStatusItem = tktag::kStatus;

// Most answers carry 1 in their status for a success; a few carry an id in
// its place, as the answer of `handler` to its operation `operation` (item
// 4001 of the answer) says: onMsgSetDiskVolume's operation 16 answers the
// disk device's id. What the id is ("disk device id"), or null for an
// answer whose status is a code.
const char* statusIdOf(const std::string& handler, std::optional<uint32_t> operation);

// The operation an answer names (its item 4001), if it names one.
std::optional<uint32_t> operationOf(const tkwire::Reply& reply);

// The meaning of `status` in an answer of `handler` to `operation`
// ("success", "held", "disk device id", ...); the general meaning when the
// handler gives the number none of its own.
const char* statusMeaning(const std::string& handler, std::optional<uint32_t> operation, uint32_t status);

// A status item shown with its meaning: `3 (held) "text"`, `7 (disk device
// id) "Success"`.
std::string describeStatus(const std::string& handler, std::optional<uint32_t> operation, const tkwire::Item& item);

// The host's answer to an XML request as the console prints it: its lines
// (tkwire::describeXmlAnswer), then its fields, each with the name its
// message class gives it (platform/xml/FieldListing.h), indented under
// them (none when the answer holds no XML document); its passwords, in the
// text and in the fields, shown as *** (see Passwords.h).
std::string describeXmlAnswer(const tkwire::Reply& reply);

// Whether `reply`, the host's answer to an XML request of `requestText`, is
// that request handed back: the text as it was sent, with the result 0, is
// what the host answers when no handler took the message id (the
// dispatcher runs nothing for an id it has no handler of). Nothing was done.
bool isHandedBack(const tkwire::Reply& reply, const std::string& requestText);

// What the console says under a request handed back (isHandedBack).
std::string handedBackNote(uint32_t messageId);

// Whether `reply`, an answer to a request of `handler`, reports a failure or
// refusal. `xmlAnswer`: the reply is the host's answer to an XML request.
bool reportsFailure(const tkwire::Reply& reply, bool xmlAnswer, const std::string& handler = std::string());

// Whether `reply`, one frame of `frameBytes` bytes of an element-stream
// answer, ends cut short: a record begun after the last end of record
// (2052) with no status item behind it, or a frame filled up to the frame
// limit that ends neither with an end of record nor with a status. Such an
// answer is not whole, whatever it says.
bool endsCutShort(const tkwire::Reply& reply, std::size_t frameBytes);

// The text of the failure `reply` reports (its status text, or the text
// beside an XML answer's failed code); empty when it reports none or names
// no reason.
std::string failureText(const tkwire::Reply& reply, bool xmlAnswer, const std::string& handler = std::string());

}  // namespace tkconsole
