#include "platform/xml/CNMessageBase.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string_view>
#include <utility>
#include <variant>

#include "platform/debuglog/EvDebug.h"
#include "platform/external/Cipher.h"
#include "platform/xml/Registry.h"
#include "platform/xml/detail/Diagnostics.h"
#include "platform/xml/detail/XmlText.h"

namespace tkxml::detail {

struct ObjectSlot;
struct ListSlot;
struct IntListSlot;

}  // namespace tkxml::detail

// Private helpers of CNMessageBase that the rest of this file uses.
struct CNMessageBase::Access {
  static bool materialised(const CNMessageBase& m) { return m.m_materialised; }
  static void setMaterialised(CNMessageBase& m, bool value) { m.m_materialised = value; }
  static tkxml::detail::Body& body(CNMessageBase& m) { return m.body(); }
  static const tkxml::detail::Body* bodyIfAny(const CNMessageBase& m) { return m.bodyOrNull(); }
  // A copy that keeps whether it is part of its parent (a plain copy always is).
  static std::unique_ptr<CNMessageBase> clone(const CNMessageBase& m) {
    auto copy = std::make_unique<CNMessageBase>(m);
    copy->m_materialised = m.m_materialised;
    return copy;
  }
};

namespace tkxml::detail {

struct ObjectSlot {
  std::unique_ptr<CNMessageBase> msg;

  ObjectSlot() = default;
  explicit ObjectSlot(std::unique_ptr<CNMessageBase> m) : msg(std::move(m)) {}
  ObjectSlot(const ObjectSlot& other) : msg(other.msg ? CNMessageBase::Access::clone(*other.msg) : nullptr) {}
  ObjectSlot& operator=(const ObjectSlot& other) {
    if (this != &other) msg = other.msg ? CNMessageBase::Access::clone(*other.msg) : nullptr;
    return *this;
  }
  ObjectSlot(ObjectSlot&&) noexcept = default;
  ObjectSlot& operator=(ObjectSlot&&) noexcept = default;
};

struct ListSlot {
  MessageList list;
  bool marked = false;  // part of the message even while empty
};

struct IntListSlot {
  IntList values;
  bool marked = false;
};

using Value = std::variant<long long, std::string, pstring, bstring, ObjectSlot, ListSlot, IntListSlot>;

struct Body {
  std::map<unsigned, Value> fields;
  std::vector<std::pair<std::string, std::string>> rawAttrs;  // by name
  std::vector<XNode> rawChildren;                             // as read
  // Handed out by calls whose numbers were wrong; never written, never copied.
  std::vector<std::unique_ptr<CNMessageBase>> sinkMessages;
  std::vector<std::unique_ptr<MessageList>> sinkLists;
  std::vector<std::unique_ptr<IntList>> sinkIntLists;

  Body() = default;
  Body(const Body& other) : fields(other.fields), rawAttrs(other.rawAttrs), rawChildren(other.rawChildren) {}
  Body& operator=(const Body&) = delete;

  static std::vector<CNMessageBase>& items(MessageList& list) { return list.m_items; }
};

}  // namespace tkxml::detail

using tkxml::ClassInfo;
using tkxml::ClassInfoPtr;
using tkxml::FieldDef;
using tkxml::FieldKind;
using tkxml::detail::Body;
using tkxml::detail::IntListSlot;
using tkxml::detail::ListSlot;
using tkxml::detail::ObjectSlot;
using tkxml::detail::Value;
using tkxml::detail::XNode;
using Access = CNMessageBase::Access;

namespace {

constexpr long long kNotGiven = -1;

std::string hex(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

std::string describeClass(unsigned ns, unsigned cls) {
  ClassInfoPtr info = tkxml::findClass(ns, cls);
  std::string text = info ? info->name : std::string("unregistered class");
  text += " (" + std::to_string(ns) + ":" + std::to_string(cls);
  if (info) text += ", class hash " + hex(info->classHash);
  return text + ")";
}

// Finds the field an accessor call names and checks every number of the call
// against the registry. Null (after reporting) when anything disagrees.
const FieldDef* resolve(const CNMessageBase& m, ClassInfoPtr& info, const char* api, const FieldKind* kind,
                        long long ordinal, long long tag, unsigned classHash, unsigned fieldHash,
                        const unsigned* nestedNs = nullptr, const unsigned* nestedCls = nullptr) {
  info = tkxml::findClass(m.getNamespace(), m.getClassNumber());
  auto fail = [&](const std::string& why) -> const FieldDef* {
    std::string call = std::string(api) + "(";
    if (ordinal != kNotGiven) call += "ordinal " + std::to_string(ordinal) + ", ";
    if (tag != kNotGiven) call += "tag " + std::to_string(tag) + ", ";
    call += "class hash " + hex(classHash) + ", field hash " + std::to_string(fieldHash);
    if (nestedNs != nullptr) call += ", class " + std::to_string(*nestedNs) + ":" + std::to_string(*nestedCls);
    call += ")";
    tkxml::detail::reportMismatch(api, call + " on " + describeClass(m.getNamespace(), m.getClassNumber()) + ": " + why);
    return nullptr;
  };
  if (!info) return fail("the class is not registered");
  if (classHash != info->classHash) return fail("wrong class hash");
  const FieldDef* f = nullptr;
  if (tag != kNotGiven) {
    f = info->byTag(static_cast<unsigned>(tag));
    if (f == nullptr) return fail("the class has no field with that tag");
  } else {
    f = info->byOrdinalAndHash(static_cast<unsigned>(ordinal), fieldHash);
    if (f == nullptr) return fail("the class has no field with that ordinal and field hash");
  }
  if (f->hash != fieldHash) return fail("the field's hash is " + std::to_string(f->hash));
  if (ordinal != kNotGiven && f->ordinal != ordinal) return fail("the field's ordinal is " + std::to_string(f->ordinal));
  if (kind != nullptr && f->kind != *kind) return fail(std::string("the field is a ") + tkxml::kindName(f->kind));
  if (nestedNs != nullptr && (f->ns != *nestedNs || f->cls != *nestedCls)) {
    return fail("the field holds class " + std::to_string(f->ns) + ":" + std::to_string(f->cls));
  }
  return f;
}

const Value* findValue(const CNMessageBase& m, unsigned tag) {
  const Body* b = Access::bodyIfAny(m);
  if (b == nullptr) return nullptr;
  auto it = b->fields.find(tag);
  return it != b->fields.end() ? &it->second : nullptr;
}

bool present(const CNMessageBase& m);

bool fieldPresent(const Value& v) {
  if (auto* o = std::get_if<ObjectSlot>(&v)) return o->msg && present(*o->msg);
  if (auto* l = std::get_if<ListSlot>(&v)) return l->marked || !l->list.empty();
  if (auto* l = std::get_if<IntListSlot>(&v)) return l->marked || !l->values.empty();
  return true;
}

bool hasContent(const CNMessageBase& m) {
  const Body* b = Access::bodyIfAny(m);
  if (b == nullptr) return false;
  if (!b->rawAttrs.empty() || !b->rawChildren.empty()) return true;
  for (const auto& [tag, value] : b->fields) {
    if (fieldPresent(value)) return true;
  }
  return false;
}

bool present(const CNMessageBase& m) { return Access::materialised(m) || hasContent(m); }

std::string bytesOf(const bstring& b) { return std::string(b.c_str(), b.size()); }

bool sameValue(const Value& a, const Value& b) {
  if (a.index() != b.index()) return false;
  if (auto* x = std::get_if<long long>(&a)) return *x == std::get<long long>(b);
  if (auto* x = std::get_if<std::string>(&a)) return *x == std::get<std::string>(b);
  if (auto* x = std::get_if<pstring>(&a)) return *x == std::get<pstring>(b);
  if (auto* x = std::get_if<bstring>(&a)) return bytesOf(*x) == bytesOf(std::get<bstring>(b));
  if (auto* x = std::get_if<ObjectSlot>(&a)) return *x->msg == *std::get<ObjectSlot>(b).msg;
  if (auto* x = std::get_if<ListSlot>(&a)) return x->list == std::get<ListSlot>(b).list;
  if (auto* x = std::get_if<IntListSlot>(&a)) return x->values == std::get<IntListSlot>(b).values;
  return false;
}

const std::string kEmptyString;
const pstring kEmptyPString;
const bstring kEmptyBString;

// ---------------------------------------------------------------------------
// Wire forms of values

char kindLetter(FieldKind kind) {
  switch (kind) {
    case FieldKind::Int64: return 'i';
    case FieldKind::String: return 's';
    case FieldKind::PString: return 'p';
    case FieldKind::BString: return 'b';
    case FieldKind::IntList: return 'l';
    case FieldKind::Object:
    case FieldKind::ObjectList: return '\0';
  }
  return '\0';
}

bool parseTag(std::string_view s, unsigned& tag) {
  if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0')) return false;
  unsigned long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  tag = static_cast<unsigned>(v);
  return true;
}

// "iN", "sN", ...: the letter and the tag; false for any other name.
bool parseFieldAttr(const std::string& name, char& letter, unsigned& tag) {
  if (name.size() < 2) return false;
  letter = name[0];
  if (letter != 'i' && letter != 's' && letter != 'p' && letter != 'b' && letter != 'l') return false;
  return parseTag(std::string_view(name).substr(1), tag);
}

bool parseInt64(std::string_view s, long long& out) {
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.remove_prefix(1);
  if (s.empty() || s.size() > 19) return false;
  unsigned long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  constexpr unsigned long long kMax = 9223372036854775807ull;
  if (v > kMax + (negative ? 1 : 0)) return false;
  out = negative ? static_cast<long long>(0 - v) : static_cast<long long>(v);
  return true;
}

bool parseIntList(const std::string& s, tkxml::IntList& out) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    if (i >= s.size()) break;
    size_t end = s.find(' ', i);
    if (end == std::string::npos) end = s.size();
    long long v = 0;
    if (!parseInt64(std::string_view(s).substr(i, end - i), v)) return false;
    out.push_back(v);
    i = end;
  }
  return true;
}

bool parsePString(const std::string& s, pstring& out) {
  size_t colon = s.find(':');
  if (colon == std::string::npos) return false;
  std::string_view type = std::string_view(s).substr(0, colon);
  if (type != "0" && type != "1") return false;
  out = pstring::fromWire(type == "0" ? tkxml::kPlainText : tkxml::kCipherText, s.substr(colon + 1));
  return true;
}

// ---------------------------------------------------------------------------
// Writing

struct Writer {
  std::string out;
  bool pretty = false;
  size_t elements = 0;
  std::string why;

  int fail(int code, std::string text) {
    why = std::move(text);
    return code;
  }

  void newLine(int depth) {
    if (!pretty) return;
    if (!out.empty()) out.push_back('\n');
    out.append(static_cast<size_t>(depth - 1) * 2, ' ');
  }

  int attr(const std::string& name, const std::string& value) {
    if (value.size() > tkxml::kMaxValueBytes) return fail(tkxml::kErrTooLarge, "the value of " + name + " is too long");
    out.push_back(' ');
    out += name;
    out += "=\"";
    tkxml::detail::appendEscaped(out, value);
    out.push_back('"');
    return tkxml::kOk;
  }

  int countElement(int depth) {
    if (depth > tkxml::kMaxDepth) return fail(tkxml::kErrTooDeep, "nested deeper than " + std::to_string(tkxml::kMaxDepth));
    if (++elements > tkxml::kMaxElements) return fail(tkxml::kErrTooLarge, "too many elements");
    return tkxml::kOk;
  }

  static int height(const XNode& node) {
    int h = 0;
    for (const XNode& child : node.children) h = std::max(h, height(child));
    return h + 1;
  }

  static size_t count(const XNode& node) {
    size_t n = 1;
    for (const XNode& child : node.children) n += count(child);
    return n;
  }

  int message(const CNMessageBase& m, long long tagAttr, int depth) {
    if (int rc = countElement(depth); rc != tkxml::kOk) return rc;
    ClassInfoPtr info = tkxml::findClass(m.getNamespace(), m.getClassNumber());
    std::string element = info ? info->element : tkxml::elementName(m.getNamespace(), m.getClassNumber());
    const Body* b = Access::bodyIfAny(m);

    newLine(depth);
    out.push_back('<');
    out += element;
    if (tagAttr != kNotGiven) {
      out += " tag=\"" + std::to_string(tagAttr) + "\"";
    }
    bool anyChild = false;
    if (b != nullptr) {
      for (const auto& [tag, value] : b->fields) {
        if (!fieldPresent(value)) continue;
        int rc = tkxml::kOk;
        std::string t = std::to_string(tag);
        if (auto* v = std::get_if<long long>(&value)) {
          rc = attr("i" + t, std::to_string(*v));
        } else if (auto* s = std::get_if<std::string>(&value)) {
          rc = attr("s" + t, *s);
        } else if (auto* p = std::get_if<pstring>(&value)) {
          rc = attr("p" + t, std::to_string(p->getEncryptionType()) + ":" + p->getWireForm());
        } else if (auto* bs = std::get_if<bstring>(&value)) {
          rc = attr("b" + t, bytesOf(*bs));
        } else if (auto* l = std::get_if<IntListSlot>(&value)) {
          std::string text;
          for (size_t i = 0; i < l->values.size(); ++i) {
            if (i > 0) text.push_back(' ');
            text += std::to_string(l->values[i]);
            if (text.size() > tkxml::kMaxValueBytes) return fail(tkxml::kErrTooLarge, "list l" + t + " is too long");
          }
          rc = attr("l" + t, text);
        } else {
          anyChild = true;
        }
        if (rc != tkxml::kOk) return rc;
      }
      for (const auto& [name, value] : b->rawAttrs) {
        char letter = 0;
        unsigned tag = 0;
        if (name == "tag") continue;
        if (info && parseFieldAttr(name, letter, tag) && info->byTag(tag) != nullptr) continue;
        if (int rc = attr(name, value); rc != tkxml::kOk) return rc;
      }
      anyChild = anyChild || !b->rawChildren.empty();
    }
    if (!anyChild) {
      out += "/>";
      return tkxml::kOk;
    }
    out.push_back('>');
    bool childWritten = false;
    for (const auto& [tag, value] : b->fields) {
      if (!fieldPresent(value)) continue;
      const FieldDef* f = info ? info->byTag(tag) : nullptr;
      if (auto* o = std::get_if<ObjectSlot>(&value)) {
        if (f == nullptr || o->msg->getNamespace() != f->ns || o->msg->getClassNumber() != f->cls) {
          return wrongClass(m, tag, *o->msg);
        }
        if (int rc = message(*o->msg, tag, depth + 1); rc != tkxml::kOk) return rc;
        childWritten = true;
      } else if (auto* l = std::get_if<ListSlot>(&value)) {
        if (int rc = countElement(depth + 1); rc != tkxml::kOk) return rc;
        newLine(depth + 1);
        out += "<list tag=\"" + std::to_string(tag) + "\"";
        if (l->list.empty()) {
          out += "/>";
        } else {
          out.push_back('>');
          for (const CNMessageBase& item : l->list) {
            if (f == nullptr || item.getNamespace() != f->ns || item.getClassNumber() != f->cls) {
              return wrongClass(m, tag, item);
            }
            if (int rc = message(item, kNotGiven, depth + 2); rc != tkxml::kOk) return rc;
          }
          newLine(depth + 1);
          out += "</list>";
        }
        childWritten = true;
      }
    }
    for (const XNode& raw : b->rawChildren) {
      if (depth + height(raw) > tkxml::kMaxDepth) return fail(tkxml::kErrTooDeep, "nested deeper than the limit");
      elements += count(raw);
      if (elements > tkxml::kMaxElements) return fail(tkxml::kErrTooLarge, "too many elements");
      tkxml::detail::writeNode(out, raw, pretty, depth);
      childWritten = true;
    }
    if (childWritten) newLine(depth);
    out += "</";
    out += element;
    out.push_back('>');
    return tkxml::kOk;
  }

  int wrongClass(const CNMessageBase& m, unsigned tag, const CNMessageBase& child) {
    std::string text = "field tag " + std::to_string(tag) + " of " + describeClass(m.getNamespace(), m.getClassNumber()) +
                       " holds a message of " + describeClass(child.getNamespace(), child.getClassNumber());
    tkxml::detail::reportMismatch("CNMessageBase::serialize", text);
    return fail(tkxml::kErrWrongClass, text);
  }
};

// ---------------------------------------------------------------------------
// Reading

struct Reader {
  std::string why;

  int fail(int code, std::string text) {
    why = std::move(text);
    return code;
  }

  int message(const XNode& node, CNMessageBase& m) {
    ClassInfoPtr info = tkxml::findClass(m.getNamespace(), m.getClassNumber());
    std::string element = info ? info->element : tkxml::elementName(m.getNamespace(), m.getClassNumber());
    if (node.name != element) return fail(tkxml::kErrWrongClass, "element " + node.name + " where " + element + " belongs");
    if (!node.text.empty()) return fail(tkxml::kErrBadDocument, "text inside " + element);
    Body& b = Access::body(m);

    for (const auto& [name, value] : node.attrs) {
      if (name == "tag") continue;
      char letter = 0;
      unsigned tag = 0;
      const FieldDef* f = nullptr;
      if (info && parseFieldAttr(name, letter, tag)) f = info->byTag(tag);
      if (f == nullptr) {
        b.rawAttrs.emplace_back(name, value);
        continue;
      }
      if (kindLetter(f->kind) != letter) {
        return fail(tkxml::kErrBadValue, "attribute " + name + " of " + element + " for a field that is a " +
                                             tkxml::kindName(f->kind));
      }
      if (b.fields.count(tag) != 0) return fail(tkxml::kErrBadValue, "field tag " + std::to_string(tag) + " twice");
      switch (f->kind) {
        case FieldKind::Int64: {
          long long v = 0;
          if (!parseInt64(value, v)) return fail(tkxml::kErrBadValue, "attribute " + name + " is not a 64-bit number");
          b.fields.emplace(tag, v);
          break;
        }
        case FieldKind::String: b.fields.emplace(tag, value); break;
        case FieldKind::BString: b.fields.emplace(tag, bstring(value)); break;
        case FieldKind::PString: {
          pstring p;
          if (!parsePString(value, p)) return fail(tkxml::kErrBadValue, "attribute " + name + " is not a protected text");
          b.fields.emplace(tag, p);
          break;
        }
        case FieldKind::IntList: {
          IntListSlot slot;
          slot.marked = true;
          if (!parseIntList(value, slot.values)) return fail(tkxml::kErrBadValue, "attribute " + name + " is not a list of numbers");
          b.fields.emplace(tag, std::move(slot));
          break;
        }
        case FieldKind::Object:
        case FieldKind::ObjectList: break;  // no letter names them
      }
    }
    std::sort(b.rawAttrs.begin(), b.rawAttrs.end());

    for (const XNode& child : node.children) {
      const std::string* tagText = child.attr("tag");
      unsigned tag = 0;
      const FieldDef* f = nullptr;
      if (info && tagText != nullptr && parseTag(*tagText, tag)) f = info->byTag(tag);
      if (f == nullptr) {
        b.rawChildren.push_back(child);
        continue;
      }
      if (b.fields.count(tag) != 0) return fail(tkxml::kErrBadValue, "field tag " + std::to_string(tag) + " twice");
      if (child.name == "list") {
        if (f->kind != FieldKind::ObjectList) return fail(tkxml::kErrBadValue, "a list for field tag " + std::to_string(tag));
        if (child.attrs.size() != 1 || !child.text.empty()) return fail(tkxml::kErrBadDocument, "a list with more than its tag");
        ListSlot slot{tkxml::MessageList(f->ns, f->cls), true};
        auto& items = Body::items(slot.list);
        items.reserve(child.children.size());
        for (const XNode& itemNode : child.children) {
          CNMessageBase item(f->ns, f->cls);
          if (int rc = message(itemNode, item); rc != tkxml::kOk) return rc;
          items.push_back(std::move(item));
        }
        b.fields.emplace(tag, std::move(slot));
      } else {
        if (f->kind != FieldKind::Object) return fail(tkxml::kErrBadValue, "a message for field tag " + std::to_string(tag));
        auto nested = std::make_unique<CNMessageBase>(f->ns, f->cls);
        if (int rc = message(child, *nested); rc != tkxml::kOk) return rc;
        b.fields.emplace(tag, ObjectSlot(std::move(nested)));
      }
    }
    return tkxml::kOk;
  }
};

int preparePasswords(CNMessageBase& m, const std::string& where) {
  if (Access::bodyIfAny(m) == nullptr) return tkxml::kOk;
  Body& b = Access::body(m);
  int result = tkxml::kOk;
  for (auto& [tag, value] : b.fields) {
    if (auto* p = std::get_if<pstring>(&value)) {
      if (p->getEncryptionType() == tkxml::kPlainText) {
        pstring protectedForm;
        pstring::fromPlain(p->getWireForm(), tkxml::kCipherText, protectedForm);
        *p = protectedForm;
      } else {
        std::string plain;
        if (!p->getPlainPassword(plain)) {
          EvDebug::Error("tkxml::preProcessXMLStringForPassword", "Protected field tag [%u] of %s does not decrypt.",
                         tag, where.c_str());
          result = tkxml::kErrPassword;
        }
      }
    } else if (auto* o = std::get_if<ObjectSlot>(&value)) {
      if (int rc = preparePasswords(*o->msg, o->msg->getClassName()); rc != tkxml::kOk) result = rc;
    } else if (auto* l = std::get_if<ListSlot>(&value)) {
      for (CNMessageBase& item : Body::items(l->list)) {
        if (int rc = preparePasswords(item, item.getClassName()); rc != tkxml::kOk) result = rc;
      }
    }
  }
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// pstring

bool pstring::fromPlain(const std::string& plain, int encryptionType, pstring& out) {
  if (encryptionType == tkxml::kPlainText) {
    out = fromWire(tkxml::kPlainText, plain);
    return true;
  }
  if (encryptionType == tkxml::kCipherText) {
    out = fromWire(tkxml::kCipherText, tkcipher::encrypt(plain));
    return true;
  }
  return false;
}

pstring pstring::fromWire(int encryptionType, std::string wire) {
  pstring p;
  p.m_type = encryptionType;
  p.m_wire = std::move(wire);
  return p;
}

bool pstring::getPlainPassword(std::string& plain) const {
  if (m_type == tkxml::kPlainText) {
    plain = m_wire;
    return true;
  }
  if (m_wire.empty()) {
    plain.clear();
    return true;
  }
  if (m_type == tkxml::kCipherText && tkcipher::decrypt(m_wire, plain)) return true;
  plain.clear();
  return false;
}

bstring pstring::getPlainPassword() const {
  std::string plain;
  if (!getPlainPassword(plain)) {
    EvDebug::Error("pstring::getPlainPassword", "The protected text does not decrypt; the empty text is used.");
  }
  return bstring(plain);
}

// ---------------------------------------------------------------------------
// CNMessageBase

CNMessageBase::CNMessageBase(unsigned nameSpace, unsigned classNumber) : m_ns(nameSpace), m_cls(classNumber) {}

CNMessageBase::CNMessageBase(const CNMessageBase& other)
    : m_ns(other.m_ns),
      m_cls(other.m_cls),
      m_body(other.m_body ? std::make_unique<Body>(*other.m_body) : nullptr) {}

CNMessageBase::CNMessageBase(CNMessageBase&& other) noexcept
    : m_ns(other.m_ns), m_cls(other.m_cls), m_body(std::move(other.m_body)) {}

CNMessageBase& CNMessageBase::operator=(const CNMessageBase& other) {
  if (this != &other) {
    std::unique_ptr<Body> copy = other.m_body ? std::make_unique<Body>(*other.m_body) : nullptr;
    m_ns = other.m_ns;
    m_cls = other.m_cls;
    m_body = std::move(copy);
  }
  m_materialised = true;
  return *this;
}

CNMessageBase& CNMessageBase::operator=(CNMessageBase&& other) noexcept {
  if (this != &other) {
    m_ns = other.m_ns;
    m_cls = other.m_cls;
    m_body = std::move(other.m_body);
  }
  m_materialised = true;
  return *this;
}

CNMessageBase::~CNMessageBase() = default;

Body& CNMessageBase::body() {
  if (!m_body) m_body = std::make_unique<Body>();
  return *m_body;
}

int CNMessageBase::Initialize() {
  int rc = tkxml::detail::injectedFailure(tkxml::detail::Call::Initialize, 0, 0);
  if (rc == tkxml::kOk) rc = tkxml::detail::ensureParser();
  tkxml::detail::recordCall(tkxml::detail::Call::Initialize, 0, 0, rc);
  return rc;
}

int CNMessageBase::unserialize(const char* text) { return unserialize(std::string(text != nullptr ? text : "")); }

int CNMessageBase::unserialize(const std::string& text) {
  using tkxml::detail::Call;
  int rc = tkxml::detail::injectedFailure(Call::Unserialize, m_ns, m_cls);
  if (rc != tkxml::kOk) {
    tkxml::detail::recordCall(Call::Unserialize, m_ns, m_cls, rc);
    return rc;
  }
  std::string why;
  XNode root;
  rc = tkxml::detail::parseDocument(text, root, why);
  if (rc == tkxml::kOk) {
    std::string element = tkxml::elementName(m_ns, m_cls);
    if (root.name != element) {
      rc = tkxml::kErrWrongRoot;
      why = "the root element is " + root.name + ", not " + element;
    } else {
      CNMessageBase read(m_ns, m_cls);
      Reader reader;
      rc = reader.message(root, read);
      why = reader.why;
      if (rc == tkxml::kOk) {
        m_body = std::move(read.m_body);
        m_materialised = true;
      }
    }
  }
  if (rc != tkxml::kOk) {
    // The reason may quote element names of the text: keep the line short.
    if (why.size() > 300) why = why.substr(0, 300) + "...";
    EvDebug::Error("CNMessageBase::unserialize", "Error [%d] reading %s: %s.", rc, getClassName().c_str(), why.c_str());
  }
  tkxml::detail::recordCall(Call::Unserialize, m_ns, m_cls, rc);
  return rc;
}

int CNMessageBase::serialize(std::string& text, bool pretty) const {
  using tkxml::detail::Call;
  int rc = tkxml::detail::injectedFailure(Call::Serialize, m_ns, m_cls);
  if (rc != tkxml::kOk) {
    text.clear();
    tkxml::detail::recordCall(Call::Serialize, m_ns, m_cls, rc);
    return rc;
  }
  if (!present(*this)) {
    text.clear();
    tkxml::detail::recordCall(Call::Serialize, m_ns, m_cls, rc);
    return tkxml::kOk;
  }
  Writer writer;
  writer.pretty = pretty;
  rc = writer.message(*this, kNotGiven, 1);
  if (rc == tkxml::kOk && writer.out.size() > tkxml::kMaxTextBytes) {
    rc = tkxml::kErrTooLarge;
    writer.why = "the text is longer than the limit";
  }
  if (rc == tkxml::kOk) {
    text.swap(writer.out);
  } else {
    text.clear();
    EvDebug::Error("CNMessageBase::serialize", "Error [%d] writing %s: %s.", rc, getClassName().c_str(),
                   writer.why.c_str());
  }
  tkxml::detail::recordCall(Call::Serialize, m_ns, m_cls, rc);
  return rc;
}

unsigned CNMessageBase::getTagID() const {
  ClassInfoPtr info = tkxml::findClass(m_ns, m_cls);
  if (!info) {
    tkxml::detail::reportMismatch("CNMessageBase::getTagID",
                                  "getTagID() on " + describeClass(m_ns, m_cls) + ": the class is not registered");
    return 0;
  }
  return info->classHash;
}

std::string CNMessageBase::getClassName() const { return tkxml::className(m_ns, m_cls); }

bool CNMessageBase::isNull() const { return !present(*this); }

long long CNMessageBase::getint64(unsigned tag, unsigned classHash, unsigned fieldHash) const {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::Int64;
  if (resolve(*this, info, "CNMessageBase::getint64", &kind, kNotGiven, tag, classHash, fieldHash) == nullptr) return 0;
  const Value* v = findValue(*this, tag);
  const long long* n = v != nullptr ? std::get_if<long long>(v) : nullptr;
  return n != nullptr ? *n : 0;
}

int CNMessageBase::setint64(unsigned ordinal, unsigned tag, long long value, unsigned classHash, unsigned fieldHash) {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::Int64;
  if (resolve(*this, info, "CNMessageBase::setint64", &kind, ordinal, tag, classHash, fieldHash) == nullptr) {
    return tkxml::kErrMismatch;
  }
  body().fields.insert_or_assign(tag, Value(value));
  m_materialised = true;
  return tkxml::kOk;
}

const std::string& CNMessageBase::getstringByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                                 unsigned fieldHash) const {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::String;
  if (resolve(*this, info, "CNMessageBase::getstring", &kind, ordinal, tag, classHash, fieldHash) == nullptr) {
    return kEmptyString;
  }
  const Value* v = findValue(*this, tag);
  const std::string* s = v != nullptr ? std::get_if<std::string>(v) : nullptr;
  return s != nullptr ? *s : kEmptyString;
}

std::string& CNMessageBase::getstringByRef(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash) {
  const CNMessageBase& self = *this;
  const std::string& found = self.getstringByRef(ordinal, tag, classHash, fieldHash);
  if (&found != &kEmptyString) return const_cast<std::string&>(found);  // this message's own, not const
  thread_local std::string empty;
  empty.clear();
  return empty;
}

std::string CNMessageBase::getstring(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash) const {
  return std::string(getstringByRef(ordinal, tag, classHash, fieldHash));
}

int CNMessageBase::setstring(unsigned ordinal, unsigned tag, const std::string& text, unsigned classHash,
                             unsigned fieldHash) {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::String;
  if (resolve(*this, info, "CNMessageBase::setstring", &kind, ordinal, tag, classHash, fieldHash) == nullptr) {
    return tkxml::kErrMismatch;
  }
  body().fields.insert_or_assign(tag, Value(text));
  m_materialised = true;
  return tkxml::kOk;
}

int CNMessageBase::setstring(unsigned ordinal, unsigned tag, const char* text, unsigned classHash,
                             unsigned fieldHash) {
  return setstring(ordinal, tag, std::string(text != nullptr ? text : ""), classHash, fieldHash);
}

const pstring& CNMessageBase::getpstringobjectByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                                    unsigned fieldHash) const {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::PString;
  if (resolve(*this, info, "CNMessageBase::getpstringobjectByRef", &kind, ordinal, tag, classHash, fieldHash) ==
      nullptr) {
    return kEmptyPString;
  }
  const Value* v = findValue(*this, tag);
  const pstring* p = v != nullptr ? std::get_if<pstring>(v) : nullptr;
  return p != nullptr ? *p : kEmptyPString;
}

int CNMessageBase::setpstringobject(unsigned ordinal, unsigned tag, const std::string& plain, int encryptionType,
                                    unsigned classHash, unsigned fieldHash) {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::PString;
  if (resolve(*this, info, "CNMessageBase::setpstringobject", &kind, ordinal, tag, classHash, fieldHash) == nullptr) {
    return tkxml::kErrMismatch;
  }
  pstring p;
  if (!pstring::fromPlain(plain, encryptionType, p)) {
    tkxml::detail::reportMismatch("CNMessageBase::setpstringobject",
                                  "setpstringobject(tag " + std::to_string(tag) + ") on " + describeClass(m_ns, m_cls) +
                                      ": unknown encryption type " + std::to_string(encryptionType));
    return tkxml::kErrMismatch;
  }
  body().fields.insert_or_assign(tag, Value(std::move(p)));
  m_materialised = true;
  return tkxml::kOk;
}

const bstring& CNMessageBase::getbstringobjectByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                                    unsigned fieldHash) const {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::BString;
  if (resolve(*this, info, "CNMessageBase::getbstringobjectByRef", &kind, ordinal, tag, classHash, fieldHash) ==
      nullptr) {
    return kEmptyBString;
  }
  const Value* v = findValue(*this, tag);
  const bstring* b = v != nullptr ? std::get_if<bstring>(v) : nullptr;
  return b != nullptr ? *b : kEmptyBString;
}

int CNMessageBase::setbstringobject(unsigned ordinal, unsigned tag, const bstring& value, unsigned classHash,
                                    unsigned fieldHash) {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::BString;
  if (resolve(*this, info, "CNMessageBase::setbstringobject", &kind, ordinal, tag, classHash, fieldHash) == nullptr) {
    return tkxml::kErrMismatch;
  }
  body().fields.insert_or_assign(tag, Value(value));
  m_materialised = true;
  return tkxml::kOk;
}

CNMessageBase& CNMessageBase::getObjectAccessor(bool writeThrough, bool create, unsigned ordinal, unsigned tag,
                                                unsigned classHash, unsigned fieldHash, unsigned nameSpace,
                                                unsigned classNumber) {
  (void)writeThrough;
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::Object;
  if (resolve(*this, info, "CNMessageBase::getObjectAccessor", &kind, ordinal, tag, classHash, fieldHash, &nameSpace,
              &classNumber) == nullptr) {
    Body& b = body();
    b.sinkMessages.push_back(std::make_unique<CNMessageBase>(nameSpace, classNumber));
    return *b.sinkMessages.back();
  }
  Body& b = body();
  auto it = b.fields.find(tag);
  if (it == b.fields.end() || std::get_if<ObjectSlot>(&it->second) == nullptr) {
    auto child = std::make_unique<CNMessageBase>(nameSpace, classNumber);
    child->m_materialised = create;
    it = b.fields.insert_or_assign(tag, Value(ObjectSlot(std::move(child)))).first;
  } else if (create) {
    std::get<ObjectSlot>(it->second).msg->m_materialised = true;
  }
  return *std::get<ObjectSlot>(it->second).msg;
}

int CNMessageBase::setObjectAccessor(const CNMessageBase& message, unsigned ordinal, unsigned tag, unsigned classHash,
                                     unsigned fieldHash) {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::Object;
  const FieldDef* f =
      resolve(*this, info, "CNMessageBase::setObjectAccessor", &kind, ordinal, tag, classHash, fieldHash);
  if (f == nullptr) return tkxml::kErrMismatch;
  if (message.m_ns != f->ns || message.m_cls != f->cls) {
    tkxml::detail::reportMismatch("CNMessageBase::setObjectAccessor",
                                  "setObjectAccessor(tag " + std::to_string(tag) + ") on " + describeClass(m_ns, m_cls) +
                                      ": a message of " + describeClass(message.m_ns, message.m_cls) +
                                      " for a field of class " + std::to_string(f->ns) + ":" + std::to_string(f->cls));
    return tkxml::kErrMismatch;
  }
  CNMessageBase copy(message);  // the source may live inside this message
  Body& b = body();
  auto it = b.fields.find(tag);
  if (it != b.fields.end() && std::get_if<ObjectSlot>(&it->second) != nullptr) {
    *std::get<ObjectSlot>(it->second).msg = std::move(copy);  // keeps references to the child valid
  } else {
    b.fields.insert_or_assign(tag, Value(ObjectSlot(std::make_unique<CNMessageBase>(std::move(copy)))));
  }
  m_materialised = true;
  return tkxml::kOk;
}

tkxml::MessageList& CNMessageBase::getlistobject(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash,
                                                 bool create) {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::ObjectList;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::getlistobject", &kind, ordinal, tag, classHash, fieldHash);
  Body& b = body();
  if (f == nullptr) {
    b.sinkLists.push_back(std::make_unique<tkxml::MessageList>(0, 0));
    b.sinkLists.back()->m_acceptAny = true;
    return *b.sinkLists.back();
  }
  auto it = b.fields.find(tag);
  if (it == b.fields.end() || std::get_if<ListSlot>(&it->second) == nullptr) {
    it = b.fields.insert_or_assign(tag, Value(ListSlot{tkxml::MessageList(f->ns, f->cls), false})).first;
  }
  ListSlot& slot = std::get<ListSlot>(it->second);
  if (create) slot.marked = true;
  return slot.list;
}

tkxml::IntList& CNMessageBase::getlistint(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash,
                                          bool create) {
  ClassInfoPtr info;
  const FieldKind kind = FieldKind::IntList;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::getlistint", &kind, ordinal, tag, classHash, fieldHash);
  Body& b = body();
  if (f == nullptr) {
    b.sinkIntLists.push_back(std::make_unique<tkxml::IntList>());
    return *b.sinkIntLists.back();
  }
  auto it = b.fields.find(tag);
  if (it == b.fields.end() || std::get_if<IntListSlot>(&it->second) == nullptr) {
    it = b.fields.insert_or_assign(tag, Value(IntListSlot{})).first;
  }
  IntListSlot& slot = std::get<IntListSlot>(it->second);
  if (create) slot.marked = true;
  return slot.values;
}

bool CNMessageBase::isSet(unsigned ordinal, unsigned classHash, unsigned fieldHash) const {
  ClassInfoPtr info;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::isSet", nullptr, ordinal, kNotGiven, classHash, fieldHash);
  if (f == nullptr) return false;
  const Value* v = findValue(*this, f->tag);
  return v != nullptr && fieldPresent(*v);
}

bool operator==(const CNMessageBase& a, const CNMessageBase& b) {
  if (a.m_ns != b.m_ns || a.m_cls != b.m_cls) return false;
  bool pa = present(a);
  if (pa != present(b)) return false;
  if (!pa) return true;
  static const Body kEmptyBody;
  const Body& ba = a.m_body ? *a.m_body : kEmptyBody;
  const Body& bb = b.m_body ? *b.m_body : kEmptyBody;
  if (ba.rawAttrs != bb.rawAttrs || ba.rawChildren.size() != bb.rawChildren.size()) return false;
  for (size_t i = 0; i < ba.rawChildren.size(); ++i) {
    if (!tkxml::detail::sameNode(ba.rawChildren[i], bb.rawChildren[i])) return false;
  }
  auto ia = ba.fields.begin();
  auto ib = bb.fields.begin();
  while (ia != ba.fields.end() || ib != bb.fields.end()) {
    if (ia != ba.fields.end() && !fieldPresent(ia->second)) {
      ++ia;
      continue;
    }
    if (ib != bb.fields.end() && !fieldPresent(ib->second)) {
      ++ib;
      continue;
    }
    if (ia == ba.fields.end() || ib == bb.fields.end()) return false;
    if (ia->first != ib->first || !sameValue(ia->second, ib->second)) return false;
    ++ia;
    ++ib;
  }
  return true;
}

// ---------------------------------------------------------------------------
// MessageList

namespace tkxml {

MessageList::MessageList(unsigned nameSpace, unsigned classNumber) : m_ns(nameSpace), m_cls(classNumber) {}

MessageList::MessageList(const MessageList& other)
    : m_ns(other.m_ns), m_cls(other.m_cls), m_acceptAny(other.m_acceptAny), m_items(other.m_items) {}

MessageList& MessageList::operator=(const MessageList& other) {
  if (this != &other) {
    m_ns = other.m_ns;
    m_cls = other.m_cls;
    m_acceptAny = other.m_acceptAny;
    m_items = other.m_items;
  }
  return *this;
}

MessageList::MessageList(MessageList&&) noexcept = default;
MessageList& MessageList::operator=(MessageList&&) noexcept = default;
MessageList::~MessageList() = default;

CNMessageBase& MessageList::scratch() {
  if (!m_scratch) {
    m_scratch = std::make_unique<CNMessageBase>(m_ns, m_cls);
  } else {
    *m_scratch = CNMessageBase(m_ns, m_cls);
  }
  return *m_scratch;
}

CNMessageBase& MessageList::operator[](std::size_t index) {
  if (index < m_items.size()) return m_items[index];
  detail::reportMismatch("tkxml::MessageList::operator[]", "index " + std::to_string(index) + " of a list of " +
                                                               std::to_string(m_items.size()) + " messages of " +
                                                               className(m_ns, m_cls));
  return scratch();
}

const CNMessageBase& MessageList::operator[](std::size_t index) const {
  if (index < m_items.size()) return m_items[index];
  detail::reportMismatch("tkxml::MessageList::operator[]", "index " + std::to_string(index) + " of a list of " +
                                                               std::to_string(m_items.size()) + " messages of " +
                                                               className(m_ns, m_cls));
  thread_local CNMessageBase empty(0, 0);
  empty = CNMessageBase(0, 0);
  return empty;
}

void MessageList::push_back(const CNMessageBase& message) {
  if (!m_acceptAny && (message.getNamespace() != m_ns || message.getClassNumber() != m_cls)) {
    detail::reportMismatch("tkxml::MessageList::push_back", "a message of " +
                                                                className(message.getNamespace(), message.getClassNumber()) +
                                                                " appended to a list of " + className(m_ns, m_cls));
    return;
  }
  m_items.push_back(message);
}

// ---------------------------------------------------------------------------

int preProcessXMLStringForPassword(void* requestRecord, CNMessageBase& msg, std::string& xml) {
  (void)requestRecord;
  int rc = msg.unserialize(xml);
  if (rc != kOk) return rc;
  return preparePasswords(msg, msg.getClassName());
}

const char* errorText(int code) {
  switch (code) {
    case kOk: return "success";
    case kErrInitialize: return "the XML parser could not be initialised";
    case kErrMalformed: return "the text is not well-formed XML in UTF-8";
    case kErrDoctype: return "a DOCTYPE is not accepted";
    case kErrTooDeep: return "elements nested too deep";
    case kErrTooLarge: return "the text, a value or the element count is over its limit";
    case kErrWrongRoot: return "the text holds a message of another class";
    case kErrWrongClass: return "a nested message of another class than its field's";
    case kErrBadValue: return "a field value of the wrong form, or a field twice";
    case kErrBadDocument: return "text or structure where the layout has none";
    case kErrPassword: return "a protected field does not decrypt";
    case kErrMismatch: return "the call's numbers disagree with the registry";
    default: return "unknown error";
  }
}

}  // namespace tkxml
