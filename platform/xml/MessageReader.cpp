// The reader of a message's text: the parser's elements go straight into the
// message bodies (fields by the registry), the rest is kept as read.
//
// A refusal found on the way stops the building but not the parse: a text
// that is not well-formed or over a limit further on is refused for that, as
// if the whole text had been read before any message. Of the refusals of the
// message layout, the one a reader of the whole element tree would meet first
// wins: it looks at an element's text before its attributes and children, so
// text inside an element that is still open overrides a refusal found in it.
#include <algorithm>

#include "platform/xml/Registry.h"
#include "platform/xml/detail/Body.h"
#include "platform/xml/detail/ClassLookup.h"
#include "platform/xml/detail/MessageText.h"
#include "platform/xml/detail/ValueForms.h"

using tkxml::ClassInfo;
using tkxml::FieldDef;
using tkxml::FieldKind;
using Access = CNMessageBase::Access;
using namespace tkxml::detail;

namespace {

class MessageBuilder : public ElementHandler {
 public:
  explicit MessageBuilder(CNMessageBase& root) : m_root(root) {}

  int code = tkxml::kOk;
  std::string why;

  void start(const ParsedText& name, const Attributes& attrs) override {
    if (code != tkxml::kOk) return push(Frame{Kind::Skip});
    if (m_stack.empty()) return openMessage(m_root, name, attrs, tkxml::kErrWrongRoot);
    const Frame top = m_stack.back();
    switch (top.kind) {
      case Kind::Message: return child(top, name, attrs);
      case Kind::List: {
        auto& items = Body::items(*top.list->list);
        return openMessage(items.emplace_back(top.field->ns, top.field->cls), name, attrs, tkxml::kErrWrongClass);
      }
      case Kind::Raw: return raw(top.node->children.emplace_back(), name, attrs);
      case Kind::Skip: return push(Frame{Kind::Skip});
    }
  }

  void text(const std::string& piece) override {
    Frame& top = m_stack.back();
    if (top.kind == Kind::Raw) {
      top.node->text += piece;
    } else if ((top.kind == Kind::Message || top.kind == Kind::List) && !onlyWhiteSpace(piece)) {
      // Only an element that is still open can be a message or a list here
      // once a refusal is held: its text is met before the refusal was.
      code = tkxml::kErrBadDocument;
      why = top.kind == Kind::List ? "a list with more than its tag" : "text inside " + elementOf(*top.message);
    }
  }

  void end() override {
    if (m_stack.back().kind == Kind::Raw) closeNode(*m_stack.back().node);
    m_stack.pop_back();
  }

 private:
  enum class Kind { Message, List, Raw, Skip };
  struct Frame {
    Kind kind;
    CNMessageBase* message = nullptr;  // Message: the message read into
    const ClassInfo* info = nullptr;   // Message: its class, null when not registered
    ListSlot* list = nullptr;          // List: the list read into
    const FieldDef* field = nullptr;   // List: the field, naming the class of the items
    XNode* node = nullptr;             // Raw: the element kept as read
  };

  void push(const Frame& frame) { m_stack.push_back(frame); }

  // An ASCII text is parsed where it lies; any other from its bytes (U+F700
  // + byte stands for the byte, a digit or a letter among them).
  static bool tagOf(const ParsedText& value, unsigned& tag) {
    return value.ascii ? parseTag(value.view(), tag) : parseTag(value.bytes(), tag);
  }
  static bool fieldAttrOf(const ParsedText& name, char& letter, unsigned& tag) {
    return name.ascii ? parseFieldAttr(name.view(), letter, tag) : parseFieldAttr(name.bytes(), letter, tag);
  }

  // Holds the first refusal (a later one is met after it by a whole-tree
  // reader) and skips the element.
  void refuse(int refusal, std::string text) {
    if (code == tkxml::kOk) {
      code = refusal;
      why = std::move(text);
    }
    push(Frame{Kind::Skip});
  }

  static std::string elementOf(const CNMessageBase& m) {
    const ClassInfo* info = classOf(m.getNamespace(), m.getClassNumber());
    return info ? info->element : tkxml::elementName(m.getNamespace(), m.getClassNumber());
  }

  void raw(XNode& node, const ParsedText& name, const Attributes& attrs) {
    openNode(node, name, attrs);
    push(Frame{Kind::Raw, nullptr, nullptr, nullptr, nullptr, &node});
  }

  // A child element of a message: a field the registry knows, or kept as read.
  void child(const Frame& parent, const ParsedText& name, const Attributes& attrs) {
    Body& b = Access::body(*parent.message);
    const auto tagAttr = std::find_if(attrs.begin(), attrs.end(), [](const Attribute& a) { return a.name.is("tag"); });
    unsigned tag = 0;
    const FieldDef* f = nullptr;
    if (parent.info && tagAttr != attrs.end() && tagOf(tagAttr->value, tag)) f = parent.info->byTag(tag);
    if (f == nullptr) return raw(b.extrasMade().rawChildren.emplace_back(), name, attrs);
    if (b.holds(tag)) return refuse(tkxml::kErrBadValue, "field tag " + std::to_string(tag) + " twice");
    Value& value = b.slot(*parent.info, *f);
    if (name.is("list")) {
      if (f->kind != FieldKind::ObjectList) {
        return refuse(tkxml::kErrBadValue, "a list for field tag " + std::to_string(tag));
      }
      if (attrs.size() != 1) return refuse(tkxml::kErrBadDocument, "a list with more than its tag");
      ListSlot& list = value.emplace<ListSlot>(f->ns, f->cls, true);
      return push(Frame{Kind::List, nullptr, nullptr, &list, f});
    }
    if (f->kind != FieldKind::Object) {
      return refuse(tkxml::kErrBadValue, "a message for field tag " + std::to_string(tag));
    }
    ObjectSlot& nested = value.emplace<ObjectSlot>(std::make_unique<CNMessageBase>(f->ns, f->cls));
    openMessage(*nested.msg, name, attrs, tkxml::kErrWrongClass);
  }

  // The element of the message `m`: its class checked, its attributes read.
  void openMessage(CNMessageBase& m, const ParsedText& name, const Attributes& attrs, int wrongClass) {
    const unsigned long long stamp = registryGeneration();
    const ClassInfo* info = classOf(m.getNamespace(), m.getClassNumber());
    if (info ? !name.is(info->element) : !name.is(tkxml::elementName(m.getNamespace(), m.getClassNumber()))) {
      const std::string element = elementOf(m);
      return refuse(wrongClass, wrongClass == tkxml::kErrWrongRoot
                                    ? "the root element is " + name.bytes() + ", not " + element
                                    : "element " + name.bytes() + " where " + element + " belongs");
    }
    // The element stays a message while it is open, also after a refusal
    // in its attributes: text inside it was met before that.
    push(Frame{Kind::Message, &m, info});
    Body& b = Access::body(m, info, stamp);
    for (const Attribute& attr : attrs) {
      if (attr.name.is("tag")) continue;
      char letter = 0;
      unsigned tag = 0;
      const FieldDef* f = nullptr;
      if (info && fieldAttrOf(attr.name, letter, tag)) f = info->byTag(tag);
      if (f == nullptr) {
        b.extrasMade().rawAttrs.emplace_back(attr.name.bytes(), attr.value.bytes());
        continue;
      }
      if (int rc = field(b, *info, *f, letter, attr.name, attr.value); rc != tkxml::kOk) {
        code = rc;
        return;
      }
    }
    if (b.extras) std::sort(b.extras->rawAttrs.begin(), b.extras->rawAttrs.end());
  }

  // One field's attribute into the body; 0 or the refusal (and `why`).
  int field(Body& b, const ClassInfo& info, const FieldDef& f, char letter, const ParsedText& attrName,
            const ParsedText& text) {
    auto fail = [&](int refusal, std::string reason) {
      why = std::move(reason);
      return refusal;
    };
    auto name = [&] { return attrName.bytes(); };
    if (kindLetter(f.kind) != letter) {
      return fail(tkxml::kErrBadValue, "attribute " + name() + " of " + info.element + " for a field that is a " +
                                           tkxml::kindName(f.kind));
    }
    // The field's holder, made absent when the body has none: holding a
    // value already, the field came twice.
    Value& value = b.slot(info, f);
    if (!absent(value)) return fail(tkxml::kErrBadValue, "field tag " + std::to_string(f.tag) + " twice");
    switch (f.kind) {
      case FieldKind::Int64: {
        long long n = 0;
        if (!(text.ascii ? parseInt64(text.view(), n) : parseInt64(text.bytes(), n))) {
          return fail(tkxml::kErrBadValue, "attribute " + name() + " is not a 64-bit number");
        }
        value = n;
        break;
      }
      case FieldKind::String: text.appendTo(value.emplace<std::string>()); break;
      case FieldKind::BString: value.emplace<BStringSlot>(text.bytes()); break;
      case FieldKind::PString: {
        pstring p;
        if (!parsePString(text.bytes(), p)) {
          return fail(tkxml::kErrBadValue, "attribute " + name() + " is not a protected text");
        }
        value.emplace<PStringSlot>(std::move(p));
        break;
      }
      case FieldKind::IntList: {
        IntListSlot slot;
        slot.marked = true;
        if (!parseIntList(text.bytes(), slot.values)) {
          return fail(tkxml::kErrBadValue, "attribute " + name() + " is not a list of numbers");
        }
        value = std::move(slot);
        break;
      }
      case FieldKind::Object:
      case FieldKind::ObjectList: break;  // no letter names them
    }
    return tkxml::kOk;
  }

  CNMessageBase& m_root;
  std::vector<Frame> m_stack;
};

}  // namespace

namespace tkxml::detail {

int readDocument(const std::string& text, CNMessageBase& m, std::string& why) {
  MessageBuilder builder(m);
  if (int rc = parseDocument(text, builder, why); rc != kOk) return rc;
  why = builder.why;
  return builder.code;
}

}  // namespace tkxml::detail
