// The message: its copies, reading and writing as a whole, and the accessors
// that check every call's numbers against the registry.
#include "platform/xml/CNMessageBase.h"

#include <utility>
#include <variant>

#include "platform/debuglog/EvDebug.h"
#include "platform/xml/Registry.h"
#include "platform/xml/detail/Body.h"
#include "platform/xml/detail/ClassLookup.h"
#include "platform/xml/detail/Diagnostics.h"
#include "platform/xml/detail/MessageText.h"

using tkxml::ClassInfo;
using tkxml::ClassInfoPtr;
using tkxml::FieldDef;
using tkxml::FieldKind;
using tkxml::detail::Body;
using tkxml::detail::IntListSlot;
using tkxml::detail::ListSlot;
using tkxml::detail::BStringSlot;
using tkxml::detail::ObjectSlot;
using tkxml::detail::PStringSlot;
using tkxml::detail::Value;
using tkxml::detail::bytesOf;
using Access = CNMessageBase::Access;
using tkxml::detail::describeClass;
using tkxml::detail::hex;
using tkxml::detail::fieldPresent;
using tkxml::detail::kNotGiven;
using tkxml::detail::present;

namespace {

// Why an accessor call's numbers disagree with the registry.
enum class Mismatch { NotRegistered, ClassHash, NoTag, NoOrdinalAndHash, FieldHash, Ordinal, Kind, NestedClass };

// Reports a call that resolve refused; always null. Kept out of line: the
// common path (every accessor call) only compares numbers.
[[gnu::cold]] [[gnu::noinline]] const FieldDef* refuseCall(const CNMessageBase& m, const char* api, long long ordinal,
                                                             long long tag, unsigned classHash, unsigned fieldHash,
                                                             const unsigned* nestedNs, const unsigned* nestedCls,
                                                             Mismatch mismatch, const FieldDef* f) {
  std::string why;
  switch (mismatch) {
    case Mismatch::NotRegistered: why = "the class is not registered"; break;
    case Mismatch::ClassHash: why = "wrong class hash"; break;
    case Mismatch::NoTag: why = "the class has no field with that tag"; break;
    case Mismatch::NoOrdinalAndHash: why = "the class has no field with that ordinal and field hash"; break;
    case Mismatch::FieldHash: why = "the field's hash is " + std::to_string(f->hash); break;
    case Mismatch::Ordinal: why = "the field's ordinal is " + std::to_string(f->ordinal); break;
    case Mismatch::Kind: why = std::string("the field is a ") + tkxml::kindName(f->kind); break;
    case Mismatch::NestedClass:
      why = "the field holds class " + std::to_string(f->ns) + ":" + std::to_string(f->cls);
      break;
  }
  std::string call = std::string(api) + "(";
  if (ordinal != kNotGiven) call += "ordinal " + std::to_string(ordinal) + ", ";
  if (tag != kNotGiven) call += "tag " + std::to_string(tag) + ", ";
  call += "class hash " + hex(classHash) + ", field hash " + std::to_string(fieldHash);
  if (nestedNs != nullptr) call += ", class " + std::to_string(*nestedNs) + ":" + std::to_string(*nestedCls);
  call += ")";
  tkxml::detail::reportMismatch(api, call + " on " + describeClass(m.getNamespace(), m.getClassNumber()) + ": " + why);
  return nullptr;
}

// Finds the field an accessor call names and checks every number of the call
// against the registry. Null (after reporting) when anything disagrees.
const FieldDef* resolve(const CNMessageBase& m, const ClassInfo*& info, const char* api, const FieldKind* kind,
                        long long ordinal, long long tag, unsigned classHash, unsigned fieldHash,
                        const unsigned* nestedNs = nullptr, const unsigned* nestedCls = nullptr) {
  // A body laid out since the registry last changed names the class's entry.
  const Body* b = Access::bodyIfAny(m);
  if (b != nullptr && b->layout != nullptr && b->stamp == tkxml::detail::registryGeneration()) {
    info = b->layout;
  } else {
    info = tkxml::detail::classOf(m.getNamespace(), m.getClassNumber());
  }
  auto fail = [&](Mismatch mismatch, const FieldDef* f) {
    return refuseCall(m, api, ordinal, tag, classHash, fieldHash, nestedNs, nestedCls, mismatch, f);
  };
  if (!info) return fail(Mismatch::NotRegistered, nullptr);
  if (classHash != info->classHash) return fail(Mismatch::ClassHash, nullptr);
  const FieldDef* f = nullptr;
  if (tag != kNotGiven) {
    f = info->byTag(static_cast<unsigned>(tag));
    if (f == nullptr) return fail(Mismatch::NoTag, nullptr);
  } else {
    f = info->byOrdinalAndHash(static_cast<unsigned>(ordinal), fieldHash);
    if (f == nullptr) return fail(Mismatch::NoOrdinalAndHash, nullptr);
  }
  if (f->hash != fieldHash) return fail(Mismatch::FieldHash, f);
  if (ordinal != kNotGiven && f->ordinal != ordinal) return fail(Mismatch::Ordinal, f);
  if (kind != nullptr && f->kind != *kind) return fail(Mismatch::Kind, f);
  if (nestedNs != nullptr && (f->ns != *nestedNs || f->cls != *nestedCls)) return fail(Mismatch::NestedClass, f);
  return f;
}

const Value* findValue(const CNMessageBase& m, const ClassInfo& info, const FieldDef& f) {
  const Body* b = Access::bodyIfAny(m);
  return b != nullptr ? b->find(info, f) : nullptr;
}

bool sameValue(const Value& a, const Value& b) {
  if (a.index() != b.index()) return false;
  if (auto* x = std::get_if<long long>(&a)) return *x == std::get<long long>(b);
  if (auto* x = std::get_if<std::string>(&a)) return *x == std::get<std::string>(b);
  if (auto* x = std::get_if<PStringSlot>(&a)) return **x == *std::get<PStringSlot>(b);
  if (auto* x = std::get_if<BStringSlot>(&a)) return bytesOf(**x) == bytesOf(*std::get<BStringSlot>(b));
  if (auto* x = std::get_if<ObjectSlot>(&a)) return *x->msg == *std::get<ObjectSlot>(b).msg;
  if (auto* x = std::get_if<ListSlot>(&a)) return *x->list == *std::get<ListSlot>(b).list;
  if (auto* x = std::get_if<IntListSlot>(&a)) return x->values == std::get<IntListSlot>(b).values;
  return false;
}

// The most room a thread keeps for writing texts from one write to the next.
constexpr std::size_t kKeepWriterBytes = 64u * 1024u;

const std::string kEmptyString;
const pstring kEmptyPString;
const bstring kEmptyBString;

}  // namespace

// ---------------------------------------------------------------------------
// CNMessageBase

CNMessageBase::CNMessageBase(unsigned nameSpace, unsigned classNumber) : m_ns(nameSpace), m_cls(classNumber) {}

CNMessageBase::CNMessageBase(const CNMessageBase& other)
    : m_ns(other.m_ns),
      m_cls(other.m_cls),
      m_body(other.m_body ? Body::copy(*other.m_body) : nullptr) {}

CNMessageBase::CNMessageBase(CNMessageBase&& other) noexcept
    : m_ns(other.m_ns), m_cls(other.m_cls), m_body(std::move(other.m_body)) {}

CNMessageBase& CNMessageBase::operator=(const CNMessageBase& other) {
  if (this != &other) {
    std::unique_ptr<Body> copy = other.m_body ? Body::copy(*other.m_body) : nullptr;
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
  if (!m_body) {
    const unsigned long long stamp = tkxml::detail::registryGeneration();
    m_body = Body::make(tkxml::detail::classOf(m_ns, m_cls), stamp);
  }
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
  CNMessageBase read(m_ns, m_cls);
  rc = tkxml::detail::readDocument(text, read, why);
  if (rc == tkxml::kOk) {
    m_body = std::move(read.m_body);
    m_materialised = true;
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
  // The text is made in room of the thread's, kept from one write to the
  // next, and copied into the caller's text (whose room is reused in turn):
  // the caller's text may be a field of this very message. A large text
  // leaves with the caller instead of pinning its room for the thread's life.
  thread_local std::string t_out;
  std::string& out = t_out;
  std::string why;
  rc = tkxml::detail::writeMessage(*this, pretty, out, why);
  if (rc == tkxml::kOk && out.size() > tkxml::kMaxTextBytes) {
    rc = tkxml::kErrTooLarge;
    why = "the text is longer than the limit";
  }
  if (rc == tkxml::kOk && out.size() > kKeepWriterBytes) {
    text.swap(out);
  } else if (rc == tkxml::kOk) {
    text.assign(out);
  }
  if (out.capacity() > kKeepWriterBytes) std::string().swap(out);
  if (rc != tkxml::kOk) {
    text.clear();
    EvDebug::Error("CNMessageBase::serialize", "Error [%d] writing %s: %s.", rc, getClassName().c_str(), why.c_str());
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
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::Int64;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::getint64", &kind, kNotGiven, tag, classHash, fieldHash);
  if (f == nullptr) return 0;
  const Value* v = findValue(*this, *info, *f);
  const long long* n = v != nullptr ? std::get_if<long long>(v) : nullptr;
  return n != nullptr ? *n : 0;
}

int CNMessageBase::setint64(unsigned ordinal, unsigned tag, long long value, unsigned classHash, unsigned fieldHash) {
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::Int64;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::setint64", &kind, ordinal, tag, classHash, fieldHash);
  if (f == nullptr) return tkxml::kErrMismatch;
  body().slot(*info, *f) = value;
  m_materialised = true;
  return tkxml::kOk;
}

const std::string& CNMessageBase::getstringByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                                 unsigned fieldHash) const {
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::String;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::getstring", &kind, ordinal, tag, classHash, fieldHash);
  if (f == nullptr) return kEmptyString;
  const Value* v = findValue(*this, *info, *f);
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
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::String;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::setstring", &kind, ordinal, tag, classHash, fieldHash);
  if (f == nullptr) return tkxml::kErrMismatch;
  body().slot(*info, *f) = text;
  m_materialised = true;
  return tkxml::kOk;
}

int CNMessageBase::setstring(unsigned ordinal, unsigned tag, const char* text, unsigned classHash,
                             unsigned fieldHash) {
  return setstring(ordinal, tag, std::string(text != nullptr ? text : ""), classHash, fieldHash);
}

const pstring& CNMessageBase::getpstringobjectByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                                    unsigned fieldHash) const {
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::PString;
  const FieldDef* f =
      resolve(*this, info, "CNMessageBase::getpstringobjectByRef", &kind, ordinal, tag, classHash, fieldHash);
  if (f == nullptr) return kEmptyPString;
  const Value* v = findValue(*this, *info, *f);
  const PStringSlot* p = v != nullptr ? std::get_if<PStringSlot>(v) : nullptr;
  return p != nullptr ? **p : kEmptyPString;
}

int CNMessageBase::setpstringobject(unsigned ordinal, unsigned tag, const std::string& plain, int encryptionType,
                                    unsigned classHash, unsigned fieldHash) {
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::PString;
  const FieldDef* f =
      resolve(*this, info, "CNMessageBase::setpstringobject", &kind, ordinal, tag, classHash, fieldHash);
  if (f == nullptr) return tkxml::kErrMismatch;
  pstring p;
  if (!pstring::fromPlain(plain, encryptionType, p)) {
    tkxml::detail::reportMismatch("CNMessageBase::setpstringobject",
                                  "setpstringobject(tag " + std::to_string(tag) + ") on " + describeClass(m_ns, m_cls) +
                                      ": unknown encryption type " + std::to_string(encryptionType));
    return tkxml::kErrMismatch;
  }
  body().slot(*info, *f).emplace<PStringSlot>(std::move(p));
  m_materialised = true;
  return tkxml::kOk;
}

const bstring& CNMessageBase::getbstringobjectByRef(unsigned ordinal, unsigned tag, unsigned classHash,
                                                    unsigned fieldHash) const {
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::BString;
  const FieldDef* f =
      resolve(*this, info, "CNMessageBase::getbstringobjectByRef", &kind, ordinal, tag, classHash, fieldHash);
  if (f == nullptr) return kEmptyBString;
  const Value* v = findValue(*this, *info, *f);
  const BStringSlot* b = v != nullptr ? std::get_if<BStringSlot>(v) : nullptr;
  return b != nullptr ? **b : kEmptyBString;
}

int CNMessageBase::setbstringobject(unsigned ordinal, unsigned tag, const bstring& value, unsigned classHash,
                                    unsigned fieldHash) {
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::BString;
  const FieldDef* f =
      resolve(*this, info, "CNMessageBase::setbstringobject", &kind, ordinal, tag, classHash, fieldHash);
  if (f == nullptr) return tkxml::kErrMismatch;
  body().slot(*info, *f).emplace<BStringSlot>(value);
  m_materialised = true;
  return tkxml::kOk;
}

CNMessageBase& CNMessageBase::getObjectAccessor(bool writeThrough, bool create, unsigned ordinal, unsigned tag,
                                                unsigned classHash, unsigned fieldHash, unsigned nameSpace,
                                                unsigned classNumber) {
  (void)writeThrough;
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::Object;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::getObjectAccessor", &kind, ordinal, tag, classHash,
                              fieldHash, &nameSpace, &classNumber);
  Body& b = body();
  if (f == nullptr) {
    auto& sinks = b.extrasMade().sinkMessages;
    sinks.push_back(std::make_unique<CNMessageBase>(nameSpace, classNumber));
    return *sinks.back();
  }
  Value& v = b.slot(*info, *f);
  ObjectSlot* o = std::get_if<ObjectSlot>(&v);
  if (o == nullptr) {
    auto child = std::make_unique<CNMessageBase>(nameSpace, classNumber);
    child->m_materialised = create;
    o = &v.emplace<ObjectSlot>(std::move(child));
  } else if (create) {
    o->msg->m_materialised = true;
  }
  return *o->msg;
}

int CNMessageBase::setObjectAccessor(const CNMessageBase& message, unsigned ordinal, unsigned tag, unsigned classHash,
                                     unsigned fieldHash) {
  const ClassInfo* info = nullptr;
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
  Value& v = body().slot(*info, *f);
  if (ObjectSlot* o = std::get_if<ObjectSlot>(&v)) {
    *o->msg = std::move(copy);  // keeps references to the child valid
  } else {
    v.emplace<ObjectSlot>(std::make_unique<CNMessageBase>(std::move(copy)));
  }
  m_materialised = true;
  return tkxml::kOk;
}

tkxml::MessageList& CNMessageBase::getlistobject(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash,
                                                 bool create) {
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::ObjectList;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::getlistobject", &kind, ordinal, tag, classHash, fieldHash);
  Body& b = body();
  if (f == nullptr) {
    auto& sinks = b.extrasMade().sinkLists;
    sinks.push_back(std::make_unique<tkxml::MessageList>(0, 0));
    sinks.back()->m_acceptAny = true;
    return *sinks.back();
  }
  Value& v = b.slot(*info, *f);
  ListSlot* slot = std::get_if<ListSlot>(&v);
  if (slot == nullptr) slot = &v.emplace<ListSlot>(f->ns, f->cls, false);
  if (create) slot->marked = true;
  return *slot->list;
}

tkxml::IntList& CNMessageBase::getlistint(unsigned ordinal, unsigned tag, unsigned classHash, unsigned fieldHash,
                                          bool create) {
  const ClassInfo* info = nullptr;
  const FieldKind kind = FieldKind::IntList;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::getlistint", &kind, ordinal, tag, classHash, fieldHash);
  Body& b = body();
  if (f == nullptr) {
    auto& sinks = b.extrasMade().sinkIntLists;
    sinks.push_back(std::make_unique<tkxml::IntList>());
    return *sinks.back();
  }
  Value& v = b.slot(*info, *f);
  IntListSlot* slot = std::get_if<IntListSlot>(&v);
  if (slot == nullptr) slot = &v.emplace<IntListSlot>();
  if (create) slot->marked = true;
  return slot->values;
}

bool CNMessageBase::isSet(unsigned ordinal, unsigned classHash, unsigned fieldHash) const {
  const ClassInfo* info = nullptr;
  const FieldDef* f = resolve(*this, info, "CNMessageBase::isSet", nullptr, ordinal, kNotGiven, classHash, fieldHash);
  if (f == nullptr) return false;
  const Value* v = findValue(*this, *info, *f);
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
  if (ba.rawAttrs() != bb.rawAttrs() || ba.rawChildren().size() != bb.rawChildren().size()) return false;
  for (size_t i = 0; i < ba.rawChildren().size(); ++i) {
    if (!tkxml::detail::sameNode(ba.rawChildren()[i], bb.rawChildren()[i])) return false;
  }
  // The two bodies may be laid out by different entries of the class: compare
  // the present fields by tag.
  auto presentFields = [](const Body& body) {
    std::vector<std::pair<unsigned, const Value*>> out;
    body.forEach([&](unsigned tag, const Value& value) {
      if (fieldPresent(value)) out.emplace_back(tag, &value);
    });
    return out;
  };
  const auto fa = presentFields(ba);
  const auto fb = presentFields(bb);
  if (fa.size() != fb.size()) return false;
  for (size_t i = 0; i < fa.size(); ++i) {
    if (fa[i].first != fb[i].first || !sameValue(*fa[i].second, *fb[i].second)) return false;
  }
  return true;
}

namespace tkxml {

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
