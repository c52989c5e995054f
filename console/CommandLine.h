// The console's request syntax, shared by the command line and script lines:
//
//   [--user N] [--seq N] [--kind N] [--gui N] [--origin N]
//       HANDLER [first=N] [count=N] [handle=N] [TAG=VALUE ...]
//   [--user N] [--seq N] ... --xml MSGID HANDLER 'xml text'   (or --xml-file F)
//
// VALUE: a decimal number (or 0x... hex, or -N) is a u32; u64:N a 64-bit
// number; "text", 'text' or s:text a text; hex:... raw bytes; idtext:ID:TEXT
// a u32 id and a text; hdr12:ID,CLIENT,FLAGS:TEXT three u32 and a text;
// anything else a text. first=N sets the first word, count=N the element count (default: the
// number of elements given), handle=N the 64-bit object handle in their place.
// body=VALUE (repeatable) sends raw bytes from the first-parameter place on,
// for requests that read words of the body instead of elements:
//   onMsgFLRGetCPs first=2 body=7 body=0 body=84   (client 7, no FLR set, type 84)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wire/WireCodec.h"

namespace tkconsole {

struct Request {
  bool xml = false;
  tkwire::StreamRequest stream;
  tkwire::XmlRequest xmlRequest;

  const std::string& handler() const { return xml ? xmlRequest.handler : stream.handler; }
  int64_t sequence() const { return xml ? xmlRequest.sequence : stream.sequence; }
  std::string encode() const;
};

// Values that apply to a request unless it names its own.
struct Defaults {
  uint32_t userId = 1;
  std::optional<int64_t> sequence;  // unset: the caller numbers the requests
  uint32_t requestKind = 0;
  uint32_t autoRefreshGuiId = 0;
  uint32_t origin = 0;
};

// Parses one request from its words; false with the reason when it is wrong.
// `nextSequence` is the number used when neither the words nor the defaults
// give one. Words of a script line (fromShell false) still carry their quotes
// (see splitLine); words of the command line (fromShell true) were unquoted by
// the shell, so only a value that still begins with a quote is unquoted.
bool parseRequest(const std::vector<std::string>& words, const Defaults& defaults, int64_t nextSequence,
                  Request& request, std::string& error, bool fromShell);

// Splits a script line into words the way a shell would for this syntax:
// blanks separate words, "..." and '...' group (the quotes stay in the word so
// that a quoted value stays a text), \ escapes the next character inside
// "...", and # outside quotes begins a comment. False on an open quote.
bool splitLine(const std::string& line, std::vector<std::string>& words, std::string& error);

// A word without its quotes, escapes resolved. With `from`, each byte of the
// result gets the index in `word` of the byte it came from (the backslash of
// an escape), so that a part found in the text can be found in the word as
// written.
std::string unquote(const std::string& word, std::vector<std::size_t>* from = nullptr);

// The bytes of an element value; false with the reason when it is wrong.
// enc:TEXT is the text encrypted with the connection cipher, the form in
// which logins and passwords travel. A reason is what is wrong, then ": "
// and the part of the value at fault, so that a caller can leave the value
// out of it (see valuelessReason).
bool parseValue(const std::string& word, std::string& bytes, std::string& error, bool fromShell);

// A number: decimal, or hex with 0x; false when it is not one or exceeds max.
bool parseNumber(const std::string& word, uint64_t max, uint64_t& value);

// The numbers a text begins with, read as parseNumber reads a number, one
// character at a time: each next() reads on to the next longer part of the
// text from `from` that parseNumber takes for a number not above `max`
// ("0", "0x2" and "0x20" of "0x20enc:x"). The reading stops at the first
// character that cannot go on a number there, or where the number would
// exceed max, since no longer part is a number then: it reads each
// character once, however many zeros lead. The text must outlive it.
class NumberReader {
 public:
  NumberReader(const std::string& text, std::size_t from, uint64_t max);
  // Reads on to the next part that is a number; false when none is.
  bool next();
  // The end of that part in the text, and its number.
  std::size_t end() const { return m_end; }
  uint64_t value() const { return m_value; }

 private:
  const std::string& m_text;
  const std::size_t m_from;
  const uint64_t m_max;
  std::size_t m_end;
  uint64_t m_value = 0;
  bool m_hex = false;
  bool m_done = false;
};

// The tag of a TAG=VALUE word, as the request is parsed: a 32-bit number,
// decimal or 0x hex (leading zeros allowed, as many as written).
bool parseTag(const std::string& key, uint32_t& tag);

// The greatest tag (parseTag); a NumberReader with it reads the tags a text
// begins with.
inline constexpr uint64_t kLargestTag = UINT32_MAX;

// A reason of parseValue without the value it quotes: what is wrong, and
// `shown` in place of the value.
std::string valuelessReason(const std::string& reason, const std::string& shown);

// Where the handler word of a request stands: the first word that is neither
// an option (--NAME) nor its value. words.size() when there is none.
std::size_t handlerWordAt(const std::vector<std::string>& words);

}  // namespace tkconsole
