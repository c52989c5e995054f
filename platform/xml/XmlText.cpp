#include "platform/xml/detail/XmlText.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>

#include "platform/xml/CNMessageBase.h"

namespace tkxml::detail {

// Values are handed on as the parser holds them.
static_assert(std::is_same_v<XMLCh, char16_t>);

const std::string* XNode::attr(const std::string& key) const {
  for (const auto& [name, value] : attrs) {
    if (name == key) return &value;
  }
  return nullptr;
}

namespace {

std::vector<std::pair<std::string, std::string>> sortedAttrs(const XNode& node) {
  auto attrs = node.attrs;
  std::sort(attrs.begin(), attrs.end());
  return attrs;
}

}  // namespace

bool sameNode(const XNode& a, const XNode& b) {
  if (a.name != b.name || a.text != b.text || a.children.size() != b.children.size()) return false;
  if (sortedAttrs(a) != sortedAttrs(b)) return false;
  for (size_t i = 0; i < a.children.size(); ++i) {
    if (!sameNode(a.children[i], b.children[i])) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Escaping

namespace {

constexpr unsigned kEscapeBase = 0xF700;  // U+F700 + byte stands for the byte

void appendCodePoint(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void appendEscapedByte(std::string& out, unsigned char b) { appendCodePoint(out, kEscapeBase + b); }

bool inRange(unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; }

// Length of the valid UTF-8 sequence at `i` (0 when there is none) and its code point.
size_t utf8Sequence(std::string_view s, size_t i, unsigned& cp) {
  auto at = [&](size_t k) -> unsigned char { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = at(i);
  size_t left = s.size() - i;
  auto cont = [&](size_t k) { return inRange(at(i + k), 0x80, 0xBF); };
  if (inRange(b0, 0xC2, 0xDF)) {
    if (left < 2 || !cont(1)) return 0;
    cp = ((b0 & 0x1Fu) << 6) | (at(i + 1) & 0x3Fu);
    return 2;
  }
  if (inRange(b0, 0xE0, 0xEF)) {
    if (left < 3) return 0;
    unsigned char b1 = at(i + 1);
    bool ok1 = b0 == 0xE0 ? inRange(b1, 0xA0, 0xBF) : b0 == 0xED ? inRange(b1, 0x80, 0x9F) : inRange(b1, 0x80, 0xBF);
    if (!ok1 || !cont(2)) return 0;
    cp = ((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (at(i + 2) & 0x3Fu);
    return 3;
  }
  if (inRange(b0, 0xF0, 0xF4)) {
    if (left < 4) return 0;
    unsigned char b1 = at(i + 1);
    bool ok1 = b0 == 0xF0 ? inRange(b1, 0x90, 0xBF) : b0 == 0xF4 ? inRange(b1, 0x80, 0x8F) : inRange(b1, 0x80, 0xBF);
    if (!ok1 || !cont(2) || !cont(3)) return 0;
    cp = ((b0 & 0x07u) << 18) | ((b1 & 0x3Fu) << 12) | ((at(i + 2) & 0x3Fu) << 6) | (at(i + 3) & 0x3Fu);
    return 4;
  }
  return 0;
}

}  // namespace

namespace {

// Bytes written as they stand: printable ASCII but the four XML specials.
// (Local, so that the loop below calls no function per byte.)
bool plain(unsigned char b) { return b >= 0x20 && b < 0x80 && b != '&' && b != '<' && b != '>' && b != '"'; }

}  // namespace

void appendEscaped(std::string& out, std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    // Runs of plain bytes (most of every text) are appended in one go.
    size_t run = i;
    while (run < bytes.size() && plain(static_cast<unsigned char>(bytes[run]))) ++run;
    if (run > i) {
      out.append(bytes.data() + i, run - i);
      i = run;
      if (i == bytes.size()) break;
    }
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      switch (b) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:
          if (b < 0x20) {
            appendEscapedByte(out, b);
          } else {
            out.push_back(static_cast<char>(b));
          }
      }
      ++i;
      continue;
    }
    unsigned cp = 0;
    size_t n = utf8Sequence(bytes, i, cp);
    if (n == 0) {
      appendEscapedByte(out, b);
      ++i;
      continue;
    }
    bool carry = !(cp >= kEscapeBase && cp <= kEscapeBase + 0xFF) && cp != 0xFFFE && cp != 0xFFFF;
    for (size_t k = 0; k < n; ++k) {
      if (carry) {
        out.push_back(bytes[i + k]);
      } else {
        appendEscapedByte(out, static_cast<unsigned char>(bytes[i + k]));
      }
    }
    i += n;
  }
}

namespace {

// The size in bytes of UTF-16 from the parser; false for a lone surrogate.
// U+F700 to U+F7FF give back their byte.
bool measure(const XMLCh* text, XMLSize_t length, std::size_t& bytes) {
  bytes = 0;
  for (XMLSize_t i = 0; i < length; ++i) {
    const unsigned c = text[i];
    if (c < 0x80) {
      bytes += 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= length) return false;
      const unsigned low = text[i + 1];
      if (low < 0xDC00 || low > 0xDFFF) return false;
      bytes += 4;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    } else if (c >= kEscapeBase && c <= kEscapeBase + 0xFF) {
      bytes += 1;
    } else {
      bytes += 3;
    }
  }
  return true;
}

// ASCII units appended as the bytes they are. Every value of a message goes
// through here: sixteen units are narrowed at a time where the machine can.
void appendAscii(const XMLCh* text, XMLSize_t length, std::string& out) {
  const std::size_t at = out.size();
  out.resize(at + length);
  char* p = out.data() + at;
  XMLSize_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= length; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_packus_epi16(low, high));
  }
#endif
  for (; i < length; ++i) p[i] = static_cast<char>(text[i]);
}

// UTF-16 from the parser to our bytes, in bulk: one pass finds the exact size
// (and refuses a lone surrogate), the second writes the bytes in place.
bool decode(const XMLCh* text, XMLSize_t length, std::string& out) {
  // Names and most values are ASCII: one look at every unit tells, and
  // then they are copied as they stand.
  unsigned units = 0;
  for (XMLSize_t i = 0; i < length; ++i) units |= text[i];
  if (units < 0x80) {
    appendAscii(text, length, out);
    return true;
  }
  std::size_t bytes = 0;
  if (!measure(text, length, bytes)) return false;
  const std::size_t start = out.size();
  out.resize(start + bytes);
  char* p = out.data() + start;
  for (XMLSize_t i = 0; i < length; ++i) {
    unsigned c = text[i];
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0xD800 && c <= 0xDBFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= kEscapeBase && c <= kEscapeBase + 0xFF) {
      *p++ = static_cast<char>(c - kEscapeBase);
    } else {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return true;
}

XMLSize_t lengthOf(const XMLCh* text) {
  XMLSize_t n = 0;
  if (text != nullptr) {
    while (text[n] != 0) ++n;
  }
  return n;
}

// A text of the parser as it stands: its length and whether it is ASCII,
// found in one pass.
ParsedText scan(const XMLCh* text) {
  if (text == nullptr) return ParsedText{};
  XMLSize_t n = 0;
  unsigned units = 0;
  for (; text[n] != 0; ++n) units |= text[n];
  return ParsedText{text, n, units < 0x80};
}

bool decodes(const ParsedText& text) {
  std::size_t bytes = 0;
  return measure(text.units, text.length, bytes);
}

// A parser whose buffers a document grew past these is dropped after it, so
// that one large document does not pin that memory for the thread's life.
// A long list of small messages stays within them: a parser made again for
// every such list would cost more than reading it, and churn the heap.
// (A kept parser holds some ten bytes per element it has read.)
constexpr std::size_t kKeepReaderUnits = 64u * 1024u;
constexpr std::size_t kKeepReaderAttributes = 256;
constexpr std::size_t kKeepReaderElements = 20000;
// Whatever the buffers, a parser that read a text longer than this is dropped.
constexpr std::size_t kKeepReaderBytes = 2u * 1024u * 1024u;

struct Abort {
  int code;
  std::string why;
};

// Checks and decodes what Xerces-C reports and hands it to the handler of
// one document at a time; start() readies it for the next.
class Parser : public xercesc::DefaultHandler {
 public:
  void start(ElementHandler* handler) {
    m_handler = handler;
    m_textBytes.clear();
    m_elements = 0;
    m_longest = 0;
    m_mostAttributes = 0;
  }
  bool sawRoot() const { return m_elements > 0; }
  // Whether the document grew the parser's own buffers past what a thread
  // keeps: they grow with the longest name, value, text piece or comment,
  // the most attributes of one element and the number of elements, never
  // with the length of the text as such.
  bool grewBuffers() const {
    return m_longest > kKeepReaderUnits || m_mostAttributes > kKeepReaderAttributes || m_elements > kKeepReaderElements;
  }

  void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                    const xercesc::Attributes& attrs) override {
    if (m_textBytes.size() >= static_cast<size_t>(kMaxDepth)) {
      throw Abort{kErrTooDeep, "elements nested deeper than " + std::to_string(kMaxDepth)};
    }
    if (++m_elements > kMaxElements) throw Abort{kErrTooLarge, "more than " + std::to_string(kMaxElements) + " elements"};
    // Names and values stay where the parser holds them until the handler
    // takes them: reading an element costs no allocation of its own.
    m_name = scan(qname);
    m_longest = std::max(m_longest, m_name.length);
    if (!m_name.ascii && !decodes(m_name)) throw Abort{kErrMalformed, "an element name is not text"};
    const XMLSize_t count = attrs.getLength();
    m_attrs.resize(count);
    m_mostAttributes = std::max<std::size_t>(m_mostAttributes, count);
    for (XMLSize_t i = 0; i < count; ++i) {
      Attribute& attr = m_attrs[i];
      attr.value = scan(attrs.getValue(i));
      if (attr.value.length > kMaxValueBytes) throw Abort{kErrTooLarge, "an attribute longer than the limit"};
      attr.name = scan(attrs.getQName(i));
      m_longest = std::max({m_longest, attr.name.length, attr.value.length});
      std::size_t bytes = attr.value.length;
      if ((!attr.name.ascii && !decodes(attr.name)) ||
          (!attr.value.ascii && !measure(attr.value.units, attr.value.length, bytes))) {
        throw Abort{kErrMalformed, "an attribute is not text"};
      }
      if (bytes > kMaxValueBytes) throw Abort{kErrTooLarge, "an attribute longer than the limit"};
    }
    m_textBytes.push_back(0);
    m_handler->start(m_name, m_attrs);
  }

  void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
    if (m_textBytes.empty()) return;
    m_textBytes.pop_back();
    m_handler->end();
  }

  void characters(const XMLCh* const chars, const XMLSize_t length) override {
    m_longest = std::max<std::size_t>(m_longest, length);
    if (m_textBytes.empty()) return;
    size_t& bytes = m_textBytes.back();
    if (bytes + length > kMaxValueBytes) throw Abort{kErrTooLarge, "text longer than the limit"};
    m_text.clear();
    if (!decode(chars, length, m_text)) throw Abort{kErrMalformed, "text is not text"};
    bytes += m_text.size();
    m_handler->text(m_text);
  }

  void comment(const XMLCh* const, const XMLSize_t length) override {
    m_longest = std::max<std::size_t>(m_longest, length);
  }
  void processingInstruction(const XMLCh* const target, const XMLCh* const data) override {
    m_longest = std::max({m_longest, lengthOf(target), lengthOf(data)});
  }

  void startDTD(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
    throw Abort{kErrDoctype, "a DOCTYPE is not accepted"};
  }

  xercesc::InputSource* resolveEntity(const XMLCh* const, const XMLCh* const) override {
    throw Abort{kErrDoctype, "external entities are not accepted"};
  }

  void fatalError(const xercesc::SAXParseException& e) override { throw Abort{kErrMalformed, where(e)}; }
  void error(const xercesc::SAXParseException& e) override { throw Abort{kErrMalformed, where(e)}; }
  void warning(const xercesc::SAXParseException&) override {}

 private:
  static std::string where(const xercesc::SAXParseException& e) {
    std::string message;
    const XMLCh* text = e.getMessage();
    XMLSize_t length = std::min<XMLSize_t>(lengthOf(text), 160);
    if (!decode(text, length, message)) message = "not well-formed";
    return "line " + std::to_string(e.getLineNumber()) + " column " + std::to_string(e.getColumnNumber()) + ": " +
           message;
  }

  ElementHandler* m_handler = nullptr;
  std::vector<size_t> m_textBytes;  // per open element: the bytes of its text so far
  size_t m_elements = 0;
  std::size_t m_longest = 0;         // units of the longest name, value, text piece or comment
  std::size_t m_mostAttributes = 0;  // of one element
  ParsedText m_name;
  Attributes m_attrs;
  std::string m_text;
};

// Builds the element tree of a document.
class TreeBuilder : public ElementHandler {
 public:
  explicit TreeBuilder(XNode& root) : m_root(root) {}

  void start(const ParsedText& name, const Attributes& attrs) override {
    XNode& node = m_stack.empty() ? m_root : m_stack.back()->children.emplace_back();
    openNode(node, name, attrs);
    m_stack.push_back(&node);
  }
  void text(const std::string& piece) override { m_stack.back()->text += piece; }
  void end() override {
    closeNode(*m_stack.back());
    m_stack.pop_back();
  }

 private:
  XNode& m_root;
  std::vector<XNode*> m_stack;
};

std::once_flag g_parserOnce;

// The buffer's name, and the encoding every text is read in, in UTF-16 (a
// name in bytes is transcoded through the platform's converter).
const XMLCh kBufferName[] = {u'm', u'e', u's', u's', u'a', u'g', u'e', 0};
const XMLCh kUtf8[] = {u'U', u'T', u'F', u'-', u'8', 0};

// The parser of one thread, made on its first read and reused by every later
// one (making a parser costs more than reading a message). Xerces resets its
// scanner at the start of every parse; the builder is reset by start().
// The input source too is made once, named and taken as UTF-8, and pointed
// at each text in turn.
struct ThreadReader {
  Parser builder;  // declared first: outlives the reader that calls it
  xercesc::MemBufInputSource source;
  std::unique_ptr<xercesc::SAX2XMLReader> reader;

  ThreadReader() : source(nullptr, 0, kBufferName), reader(xercesc::XMLReaderFactory::createXMLReader()) {
    source.setEncoding(kUtf8);
    using xercesc::XMLUni;
    reader->setFeature(XMLUni::fgSAX2CoreValidation, false);
    reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, false);
    reader->setFeature(XMLUni::fgSAX2CoreNameSpacePrefixes, false);
    reader->setFeature(XMLUni::fgXercesSchema, false);
    reader->setFeature(XMLUni::fgXercesLoadSchema, false);
    reader->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    reader->setFeature(XMLUni::fgXercesCacheGrammarFromParse, false);
    reader->setFeature(XMLUni::fgXercesUseCachedGrammarInParse, false);
    reader->setContentHandler(&builder);
    reader->setErrorHandler(&builder);
    reader->setLexicalHandler(&builder);
    reader->setEntityResolver(&builder);
    reader->setDTDHandler(&builder);
  }
};

thread_local std::unique_ptr<ThreadReader> t_reader;

}  // namespace

bool onlyWhiteSpace(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

void ParsedText::appendTo(std::string& out) const {
  if (ascii) {
    appendAscii(units, length, out);
  } else {
    decode(units, length, out);  // checked by the parser: it decodes
  }
}

void openNode(XNode& node, const ParsedText& name, const Attributes& attrs) {
  node.name = name.bytes();
  node.attrs.reserve(attrs.size());
  for (const Attribute& attr : attrs) node.attrs.emplace_back(attr.name.bytes(), attr.value.bytes());
}

void closeNode(XNode& node) {
  if (onlyWhiteSpace(node.text)) node.text.clear();
}

int ensureParser() {
  try {
    std::call_once(g_parserOnce, [] { xercesc::XMLPlatformUtils::Initialize(); });
    return kOk;
  } catch (...) {
    return kErrInitialize;
  }
}

int parseDocument(const std::string& text, ElementHandler& handler, std::string& why) {
  if (text.size() > kMaxTextBytes) {
    why = "text longer than the limit";
    return kErrTooLarge;
  }
  // The parser tells of some DOCTYPEs (one without subsets) only by skipping
  // them; the layout has no use for the text anywhere, so it refuses outright.
  if (text.find("<!DOCTYPE") != std::string::npos) {
    why = "a DOCTYPE is not accepted";
    return kErrDoctype;
  }
  if (int rc = ensureParser(); rc != kOk) {
    why = "the XML parser could not be initialised";
    return rc;
  }
  // The reader is kept for the next read only after a parse that ended
  // normally or was stopped by the builder; after anything else (out of
  // memory inside the parser, above all) its state is not trusted.
  bool keepReader = false;
  int failure = kOk;
  try {
    if (!t_reader) t_reader = std::make_unique<ThreadReader>();
    t_reader->builder.start(&handler);
    t_reader->source.resetMemBufInputSource(reinterpret_cast<const XMLByte*>(text.data()), text.size());
    t_reader->reader->parse(t_reader->source);
    keepReader = true;
  } catch (const Abort& abort) {
    why = abort.why;
    failure = abort.code;
    keepReader = true;
  } catch (const xercesc::OutOfMemoryException&) {
    why = "out of memory";
    failure = kErrMalformed;
  } catch (const std::bad_alloc&) {
    why = "out of memory";
    failure = kErrMalformed;
  } catch (const xercesc::XMLException&) {
    why = "not well-formed or not UTF-8";
    failure = kErrMalformed;
  } catch (...) {
    why = "not well-formed";
    failure = kErrMalformed;
  }
  const bool sawRoot = t_reader && t_reader->builder.sawRoot();
  const bool grew = t_reader && t_reader->builder.grewBuffers();
  if (t_reader) t_reader->builder.start(nullptr);
  if (!keepReader || grew || text.size() > kKeepReaderBytes) t_reader.reset();
  if (failure != kOk) return failure;
  if (!sawRoot) {
    why = "no root element";
    return kErrMalformed;
  }
  return kOk;
}

int parseDocument(const std::string& text, XNode& root, std::string& why) {
  root = XNode();
  TreeBuilder builder(root);
  const int rc = parseDocument(text, builder, why);
  if (rc != kOk) root = XNode();
  return rc;
}

namespace {

void newLine(std::string& out, bool pretty, int indent) {
  if (!pretty) return;
  if (!out.empty()) out.push_back('\n');
  out.append(static_cast<size_t>(indent) * 2, ' ');
}

}  // namespace

void writeNode(std::string& out, const XNode& node, bool pretty, int indent) {
  newLine(out, pretty, indent);
  out.push_back('<');
  out += node.name;
  for (const auto& [name, value] : sortedAttrs(node)) {
    out.push_back(' ');
    out += name;
    out += "=\"";
    appendEscaped(out, value);
    out.push_back('"');
  }
  if (node.text.empty() && node.children.empty()) {
    out += "/>";
    return;
  }
  out.push_back('>');
  // Text is written as read; the pretty form adds no white space around it.
  bool inner = pretty && node.text.empty();
  appendEscaped(out, node.text);
  for (const XNode& child : node.children) writeNode(out, child, inner, indent + 1);
  if (inner) newLine(out, true, indent);
  out += "</";
  out += node.name;
  out.push_back('>');
}

}  // namespace tkxml::detail
