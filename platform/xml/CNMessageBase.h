// The XML message library: typed messages made by namespace and class number,
// with fields read and written by tag, ordinal and hash, read from and written
// to XML text.
//
// A message class (EVGui::GenericResp, ...) is a value type over CNMessageBase
// with no members of its own. Its fields are those the registry lists for it
// (platform/xml/Registry.h). Every accessor names the class hash, the field's
// tag and/or ordinal and the field hash; a call whose numbers disagree with the
// registry is logged at error level, counted (platform/testkit/xml.h) and
// answers an empty value (0, empty text, a detached scratch object), so a
// wrong constant in a handler shows up in its tests.
//
// Text layout (written by our own canonical writer, read with Xerces-C):
//
//   <EVGui_MMConfigurationLockUnlockReq>
//     <EVGui_MMConfigurationLockUnlockInfo tag="1" i1="-1" i2="1"/>
//   </EVGui_MMConfigurationLockUnlockReq>
//
//   - A message is one element named after its class ("::" becomes "_"; a
//     class that is not registered is "Message_<ns>_<cls>").
//   - Fields that hold values are attributes keyed by a kind letter and the
//     field's tag: iN signed 64-bit decimal; sN text; bN binary text; pN
//     protected text as "<encryption type>:<wire form>"; lN list of numbers,
//     decimal, separated by one space ("" is an empty list).
//   - A nested message is a child element named after its class with the
//     attribute tag="N". A list of messages is <list tag="N"> holding one
//     element per message, in order; an empty list is <list tag="N"/>.
//   - Attributes come in a fixed order: tag, then the fields by ascending tag,
//     then attributes the registry does not know, by name. Child elements come
//     by ascending tag, then elements the registry does not know, in the order
//     read. No XML declaration, no whitespace between elements (unless the
//     pretty form is asked for), "/>" for an element without children.
//   - In attribute values & < > " are written as entities, tab, line feed and
//     carriage return as character references. Bytes that are not valid UTF-8,
//     control characters XML cannot carry (0x00 to 0x1F but tab, line feed,
//     carriage return), U+FFFE and U+FFFF, and the characters U+F700 to U+F7FF
//     themselves are written byte by byte as the character U+F700 + byte;
//     reading turns every U+F700 to U+F7FF back into its byte. Any byte string
//     therefore comes back unchanged.
//   - Attributes and elements the registry does not know are kept and written
//     back, so fields of a newer console survive a round trip.
//   - Reading also takes an XML declaration, a byte order mark, comments and
//     white space between elements; the text is always taken as UTF-8.
//
// Reading refuses (with an error code, never a crash): a document with a
// DOCTYPE (so no DTD, no entity declarations, no external entities), text over
// kMaxTextBytes, an attribute or text over kMaxValueBytes, more than
// kMaxElements elements, nesting deeper than kMaxDepth elements, text that is
// not well-formed or not UTF-8, a root element of another class, a nested
// message of another class than its field's, a value of the wrong form for its
// field, and the same field twice. Writing refuses what reading would refuse,
// so every text it makes reads back.
//
// Thread safety: any number of threads may use the library at once (the
// registry, the counters and the failure hooks are guarded; each thread has
// a parser of its own, made at its first read and reused by the next ones).
// One message object is, like a standard container, used by one thread at a
// time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "frame/TextHelpers.h"

class CNMessageBase;

namespace tkxml {

using IntList = std::vector<long long>;
class MessageList;

// Results of Initialize, unserialize and serialize (0 is success).
enum Error : int {
  kOk = 0,
  kErrInitialize = 1,     // the XML parser could not be initialised
  kErrMalformed = 2,      // not well-formed XML, or not UTF-8
  kErrDoctype = 3,        // a DOCTYPE (DTD, entity declarations) was found
  kErrTooDeep = 4,        // nesting deeper than kMaxDepth
  kErrTooLarge = 5,       // text, a value or the element count over its limit
  kErrWrongRoot = 6,      // the root element is not this message's class
  kErrWrongClass = 7,     // a nested message is not of its field's class
  kErrBadValue = 8,       // a field value of the wrong form, or a field twice
  kErrBadDocument = 9,    // text or structure where the layout has none
  kErrPassword = 10,      // a protected field does not decrypt
  kErrMismatch = 11,      // a setter's numbers disagree with the registry
};

inline constexpr std::size_t kMaxTextBytes = 16u * 1024u * 1024u;
inline constexpr std::size_t kMaxValueBytes = 1024u * 1024u;
inline constexpr std::size_t kMaxElements = 200000;
inline constexpr int kMaxDepth = 64;

// Encryption types of protected texts.
inline constexpr int kPlainText = 0;   // the wire carries the text as it is
inline constexpr int kCipherText = 1;  // the wire carries the tkcipher form

// Reads `xml` into `msg` and prepares its protected fields: every protected
// text that came in plain form is turned into its encrypted form, and every
// encrypted one is checked to decrypt. Returns unserialize's result, or
// kErrPassword when a protected field does not decrypt (the message is read
// all the same; such a field gives an empty plain text). The request record is
// the host's and is not looked into. Never logs a password.
int preProcessXMLStringForPassword(void* requestRecord, CNMessageBase& msg, std::string& xml);

const char* errorText(int code);

namespace detail {
struct Body;
}

}  // namespace tkxml

// A protected text field: the wire form and its encryption type.
class pstring {
 public:
  pstring() = default;
  // The protected form of a plain text; false for an unknown encryption type.
  static bool fromPlain(const std::string& plain, int encryptionType, pstring& out);
  static pstring fromWire(int encryptionType, std::string wire);

  // The plain text; empty when the wire form does not decrypt.
  bstring getPlainPassword() const;
  // False when the wire form does not decrypt (`plain` is then emptied).
  bool getPlainPassword(std::string& plain) const;
  const std::string& getWireForm() const { return m_wire; }
  int getEncryptionType() const { return m_type; }
  bool empty() const { return m_wire.empty(); }

  friend bool operator==(const pstring& a, const pstring& b) {
    return a.m_type == b.m_type && a.m_wire == b.m_wire;
  }

 private:
  int m_type = tkxml::kPlainText;
  std::string m_wire;
};

class CNMessageBase {
 public:
  CNMessageBase(unsigned nameSpace, unsigned classNumber);
  CNMessageBase(const CNMessageBase& other);
  CNMessageBase(CNMessageBase&& other) noexcept;
  // Assignment copies class and content, and counts as a write: an accessor
  // that is assigned to becomes part of its parent.
  CNMessageBase& operator=(const CNMessageBase& other);
  CNMessageBase& operator=(CNMessageBase&& other) noexcept;
  virtual ~CNMessageBase();

  // Initialises the library (the XML parser once per process, never ended);
  // 0 on success. Handlers call it once per request before anything else;
  // reading initialises the parser itself when nobody has.
  static int Initialize();

  // Reads the text into this message, replacing its content; 0 on success.
  // On failure the message is left as it was.
  int unserialize(const std::string& text);
  int unserialize(const char* text);
  // Writes the message; 0 on success, the text emptied on failure. An
  // accessor whose field is absent writes the empty text; any other message
  // writes its element, even when it has no fields. `pretty` adds line breaks
  // and indentation for people to read; readers ignore them.
  int serialize(std::string& text, bool pretty = false) const;

  // The class hash.
  unsigned getTagID() const;
  unsigned getNamespace() const { return m_ns; }
  unsigned getClassNumber() const { return m_cls; }
  std::string getClassName() const;
  // True for an accessor whose field is absent and not written yet.
  bool isNull() const;

  long long getint64(unsigned tag, unsigned classHash, unsigned fieldHash) const;
  int setint64(unsigned ordinal, unsigned tag, long long value, unsigned classHash, unsigned fieldHash);

  std::string getstring(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash) const;
  // The field's own text (a write through the reference changes the field).
  // An absent field, or a call with wrong numbers, gives an empty text of the
  // calling thread's, emptied again at every such call; it is never part of
  // the message. The reference stays valid until the field is set again.
  std::string& getstringByRef(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash);
  const std::string& getstringByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                    unsigned fieldHash) const;
  int setstring(unsigned ordinal, unsigned tag, const std::string& text, unsigned classHash,
                unsigned fieldHash);
  // A null text sets the empty text.
  int setstring(unsigned ordinal, unsigned tag, const char* text, unsigned classHash, unsigned fieldHash);

  const pstring& getpstringobjectByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                       unsigned fieldHash) const;
  // Stores the plain text in its protected form of the given encryption type.
  int setpstringobject(unsigned ordinal, unsigned tag, const std::string& plain, int encryptionType,
                       unsigned classHash, unsigned fieldHash);

  const bstring& getbstringobjectByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                       unsigned fieldHash) const;
  int setbstringobject(unsigned ordinal, unsigned tag, const bstring& value, unsigned classHash,
                       unsigned fieldHash);

  // The nested message of the field, as a reference that writes through to
  // this message. `writeThrough` is kept for the callers' shape: the accessor
  // always refers to this message's own child. With `create`, an absent child
  // is made empty and is part of this message from then on (it is written as
  // an empty element). Without it, an absent child is handed out as a null
  // accessor: it reads as empty, writes the empty text, and becomes part of
  // this message as soon as anything is written into it. The reference stays
  // valid as long as this message is neither destroyed, assigned to nor read
  // into again (unserialize).
  CNMessageBase& getObjectAccessor(bool writeThrough, bool create, unsigned ordinal, unsigned tag,
                                   unsigned classHash, unsigned fieldHash, unsigned nameSpace,
                                   unsigned classNumber);
  // Copies the message into the field (replacing what it held).
  int setObjectAccessor(const CNMessageBase& message, unsigned ordinal, unsigned tag, unsigned classHash,
                        unsigned fieldHash);

  // The list of the field. With `create` the list is part of this message
  // even while it is empty; without it, only once it has an element.
  tkxml::MessageList& getlistobject(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash,
                                    bool create = true);
  tkxml::IntList& getlistint(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash,
                             bool create = true);

  // Whether the field is present (read from the text, or set).
  bool isSet(unsigned ordinal, unsigned classHash, unsigned fieldHash) const;

  // Same class, and the same present fields with the same values (unknown
  // attributes and elements included).
  friend bool operator==(const CNMessageBase& a, const CNMessageBase& b);

  // Inside the library only.
  struct Access;

 private:
  friend struct tkxml::detail::Body;
  friend class tkxml::MessageList;

  tkxml::detail::Body& body();
  const tkxml::detail::Body* bodyOrNull() const { return m_body.get(); }

  unsigned m_ns;
  unsigned m_cls;
  // False only for an accessor made without `create` and not written since.
  bool m_materialised = true;
  std::unique_ptr<tkxml::detail::Body> m_body;
};

namespace tkxml {

// The list of a field that holds messages: read by index, appended with
// push_back. Only messages of the field's class are taken.
class MessageList {
 public:
  using iterator = std::vector<CNMessageBase>::iterator;
  using const_iterator = std::vector<CNMessageBase>::const_iterator;

  MessageList(unsigned nameSpace, unsigned classNumber);
  MessageList(const MessageList& other);
  MessageList& operator=(const MessageList& other);
  MessageList(MessageList&&) noexcept;
  MessageList& operator=(MessageList&&) noexcept;
  ~MessageList();

  std::size_t size() const { return m_items.size(); }
  bool empty() const { return m_items.empty(); }
  // An index out of range is counted as a mismatch and answers a scratch
  // message that belongs to no list (of class 0:0 when read through a const
  // list).
  CNMessageBase& operator[](std::size_t index);
  const CNMessageBase& operator[](std::size_t index) const;
  CNMessageBase& at(std::size_t index) { return (*this)[index]; }
  const CNMessageBase& at(std::size_t index) const { return (*this)[index]; }
  // Appends a copy; a message of another class is counted and not appended.
  void push_back(const CNMessageBase& message);
  void clear() { m_items.clear(); }

  iterator begin() { return m_items.begin(); }
  iterator end() { return m_items.end(); }
  const_iterator begin() const { return m_items.begin(); }
  const_iterator end() const { return m_items.end(); }

  unsigned elementNamespace() const { return m_ns; }
  unsigned elementClass() const { return m_cls; }

  friend bool operator==(const MessageList& a, const MessageList& b) {
    return a.m_ns == b.m_ns && a.m_cls == b.m_cls && a.m_items == b.m_items;
  }

 private:
  friend class ::CNMessageBase;
  friend struct detail::Body;
  CNMessageBase& scratch();

  unsigned m_ns;
  unsigned m_cls;
  bool m_acceptAny = false;  // the scratch list handed out by a mismatched call
  std::vector<CNMessageBase> m_items;
  std::unique_ptr<CNMessageBase> m_scratch;
};

}  // namespace tkxml
