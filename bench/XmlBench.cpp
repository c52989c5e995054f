// The XML message library against the least that Xerces-C's SAX2 reader
// needs to do the same work.
//   xml_lock_request     the configuration lock request as a console sends
//                        it: our side reads it into the message class and
//                        writes it back (unserialize + serialize); the raw
//                        side parses it with one SAX2 reader made once whose
//                        handler appends the names and values as the parser
//                        hands them over (UTF-16, no text per value), and
//                        writes the same bytes back from them.
//   xml_device_list_10000  a device-list answer of 10,000 configured devices
//                        (each a number, three texts and an error code): our
//                        side reads it into its message class and walks the
//                        list into plain values; the raw side parses the same
//                        text with one SAX2 reader made once and converts the
//                        same attributes of each entry straight into the same
//                        values.
//                        Both sides' results are compared once before timing.
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchPairs.h"
#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/EVGuiMessages.h"

namespace {

const std::string kLockRequest =
    "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i1=\"-1\" i2=\"1\"/>"
    "</EVGui_MMConfigurationLockUnlockReq>";

bool sameLockText(benchmark::State& state);

void xmlOurs(benchmark::State& state) {
  if (!sameLockText(state)) return;
  std::string out;
  for (auto _ : state) {
    EVGui::MMConfigurationLockUnlockReq request;
    if (request.unserialize(kLockRequest) != 0 || request.serialize(out) != 0) {
      state.SkipWithError("the lock request did not read and write");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
}

// The buffer's name in UTF-16, as our side names it: a name in bytes costs a
// transcoding through the platform's converter at every parse.
const XMLCh kBufferName[] = {u't', u'e', u'x', u't', 0};

// The least a SAX2 handler does to see every byte of a document and give
// them back: names and values are appended as Xerces-C hands them over (no
// transcoding, no text per value), into room kept from one parse to the next.
//   events: per element start its name, its attribute count, then each
//   name and value, each item followed by a 0; an element end is a lone 0.
class Recorder : public xercesc::DefaultHandler {
 public:
  std::basic_string<XMLCh> events;

  void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                    const xercesc::Attributes& attrs) override {
    append(qname);
    const XMLSize_t count = attrs.getLength();
    events.push_back(static_cast<XMLCh>(count + 1));  // never 0: a start, not an end
    for (XMLSize_t i = 0; i < count; ++i) {
      append(attrs.getQName(i));
      append(attrs.getValue(i));
    }
  }
  void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override { events.push_back(0); }

 private:
  void append(const XMLCh* text) { events.append(text, xercesc::XMLString::stringLen(text) + 1); }
};

// UTF-16 to UTF-8 without a text of its own: runs of ASCII as they stand.
void appendUtf8(std::string& out, const XMLCh* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    unsigned c = text[i];
    if (c < 0x80) {
      std::size_t run = i + 1;
      while (run < length && text[run] < 0x80) ++run;
      const std::size_t at = out.size();
      out.resize(at + (run - i));
      for (char* p = out.data() + at; i < run; ++i) *p++ = static_cast<char>(text[i]);
      --i;
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

// The least writer of the same bytes as ours: the recorded elements in their
// order, attributes as read, the entities of & < > ", "/>" for an element
// without children. `open` is room for the names of the open elements, kept
// from one call to the next.
void writeEvents(const std::basic_string<XMLCh>& events, std::vector<const XMLCh*>& open, std::string& out) {
  out.clear();
  open.clear();
  bool startPending = false;  // the last start's ">" or "/>" is not written yet
  const XMLCh* p = events.data();
  const XMLCh* const end = p + events.size();
  auto item = [&p] {
    const XMLCh* text = p;
    while (*p != 0) ++p;
    ++p;
    return std::basic_string_view<XMLCh>(text, static_cast<std::size_t>(p - 1 - text));
  };
  while (p < end) {
    if (*p == 0) {
      ++p;
      if (startPending) {
        out += "/>";
      } else {
        out += "</";
        appendUtf8(out, open.back(), xercesc::XMLString::stringLen(open.back()));
        out.push_back('>');
      }
      startPending = false;
      open.pop_back();
      continue;
    }
    if (startPending) out.push_back('>');
    open.push_back(p);
    const auto name = item();
    out.push_back('<');
    appendUtf8(out, name.data(), name.size());
    const std::size_t count = *p++ - 1u;
    for (std::size_t i = 0; i < count; ++i) {
      const auto attr = item();
      out.push_back(' ');
      appendUtf8(out, attr.data(), attr.size());
      out += "=\"";
      const auto value = item();
      std::size_t from = 0;  // the run of characters written as they stand
      for (std::size_t i = 0; i < value.size(); ++i) {
        const char* entity = value[i] == u'&'   ? "&amp;"
                             : value[i] == u'<' ? "&lt;"
                             : value[i] == u'>' ? "&gt;"
                             : value[i] == u'"' ? "&quot;"
                                                : nullptr;
        if (entity == nullptr) continue;
        appendUtf8(out, value.data() + from, i - from);
        out += entity;
        from = i + 1;
      }
      appendUtf8(out, value.data() + from, value.size() - from);
      out.push_back('"');
    }
    startPending = true;
  }
}

// A SAX2 reader of Xerces-C, no validation and no namespaces, that hands
// what it reads to `handler`.
std::unique_ptr<xercesc::SAX2XMLReader> saxReader(xercesc::DefaultHandler& handler) {
  std::unique_ptr<xercesc::SAX2XMLReader> reader(xercesc::XMLReaderFactory::createXMLReader());
  reader->setFeature(xercesc::XMLUni::fgSAX2CoreValidation, false);
  reader->setFeature(xercesc::XMLUni::fgSAX2CoreNameSpaces, false);
  reader->setContentHandler(&handler);
  reader->setErrorHandler(&handler);
  return reader;
}

// A SAX2 reader of Xerces-C with a recorder behind it, made once.
struct RawEcho {
  RawEcho() : reader(saxReader(recorder)) {}
  void echo(const std::string& text, std::string& out) {
    recorder.events.clear();
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(), kBufferName);
    reader->parse(source);
    writeEvents(recorder.events, open, out);
  }
  Recorder recorder;
  std::vector<const XMLCh*> open;
  std::unique_ptr<xercesc::SAX2XMLReader> reader;
};

// Skips the case unless both sides write back the request's own bytes.
bool sameLockText(benchmark::State& state) {
  if (CNMessageBase::Initialize() != 0) {  // initialises Xerces-C once per process
    state.SkipWithError("the XML library could not be initialised");
    return false;
  }
  static const bool same = [] {
    std::string ours;
    std::string raw;
    EVGui::MMConfigurationLockUnlockReq request;
    RawEcho echo;
    echo.echo(kLockRequest, raw);
    return request.unserialize(kLockRequest) == 0 && request.serialize(ours) == 0 && ours == kLockRequest &&
           raw == kLockRequest;
  }();
  if (!same) state.SkipWithError("the two sides write different texts");
  return same;
}

void xmlRaw(benchmark::State& state) {
  if (!sameLockText(state)) return;
  RawEcho echo;
  std::string out;
  for (auto _ : state) {
    echo.echo(kLockRequest, out);
    benchmark::DoNotOptimize(out.data());
  }
}

// ---------------------------------------------------------------- the device list

using DeviceList = EVGui::DKBFConfigureDevicesResponse;
using DeviceEntry = EVGui::DKBFConfigureDeviceRespEntry;
constexpr int kDevices = 10000;

// What both sides make of an entry.
struct Device {
  long long value = 0;
  std::string oldName;
  std::string changedName;
  long long errorCode = 0;
  std::string errorText;
  bool operator==(const Device&) const = default;
};

// The answer's text, as our library writes it; empty when it could not.
const std::string& deviceListText() {
  static const std::string text = [] {
    std::string out;
    if (CNMessageBase::Initialize() != 0) return out;
    DeviceList list;
    list.setint64(DeviceList::kErrorCode.ordinal, DeviceList::kErrorCode.tag, 0, DeviceList::kClassHash,
                  DeviceList::kErrorCode.hash);
    tkxml::MessageList& entries = list.getlistobject(DeviceList::kEntries.ordinal, DeviceList::kEntries.tag,
                                                     DeviceList::kClassHash, DeviceList::kEntries.hash);
    for (int i = 0; i < kDevices; ++i) {
      DeviceEntry entry;
      const std::string n = std::to_string(i);
      entry.setint64(DeviceEntry::kValue.ordinal, DeviceEntry::kValue.tag, 1000000 + i, DeviceEntry::kClassHash,
                     DeviceEntry::kValue.hash);
      entry.setstring(DeviceEntry::kOldName.ordinal, DeviceEntry::kOldName.tag, "\\\\.\\PhysicalDrive" + n,
                      DeviceEntry::kClassHash, DeviceEntry::kOldName.hash);
      entry.setstring(DeviceEntry::kChangedName.ordinal, DeviceEntry::kChangedName.tag, "/dev/disk/by-id/vol-" + n,
                      DeviceEntry::kClassHash, DeviceEntry::kChangedName.hash);
      entry.setint64(DeviceEntry::kErrorCode.ordinal, DeviceEntry::kErrorCode.tag, i % 7 == 0 ? -1 : 0,
                     DeviceEntry::kClassHash, DeviceEntry::kErrorCode.hash);
      entry.setstring(DeviceEntry::kErrorText.ordinal, DeviceEntry::kErrorText.tag,
                      i % 7 == 0 ? "Device [" + n + "] is <offline> & \"busy\"" : std::string(),
                      DeviceEntry::kClassHash, DeviceEntry::kErrorText.hash);
      entries.push_back(entry);
    }
    if (list.serialize(out) != 0) out.clear();
    return out;
  }();
  return text;
}

std::vector<Device> readOurs(const std::string& text) {
  std::vector<Device> devices;
  DeviceList list;
  if (list.unserialize(text) != 0) return devices;
  tkxml::MessageList& entries = list.getlistobject(DeviceList::kEntries.ordinal, DeviceList::kEntries.tag,
                                                   DeviceList::kClassHash, DeviceList::kEntries.hash, false);
  devices.reserve(entries.size());
  for (const CNMessageBase& entry : entries) {
    Device d;
    d.value = entry.getint64(DeviceEntry::kValue.tag, DeviceEntry::kClassHash, DeviceEntry::kValue.hash);
    d.oldName = entry.getstring(DeviceEntry::kOldName.ordinal, DeviceEntry::kOldName.tag, DeviceEntry::kClassHash,
                                DeviceEntry::kOldName.hash);
    d.changedName = entry.getstring(DeviceEntry::kChangedName.ordinal, DeviceEntry::kChangedName.tag,
                                    DeviceEntry::kClassHash, DeviceEntry::kChangedName.hash);
    d.errorCode = entry.getint64(DeviceEntry::kErrorCode.tag, DeviceEntry::kClassHash, DeviceEntry::kErrorCode.hash);
    d.errorText = entry.getstring(DeviceEntry::kErrorText.ordinal, DeviceEntry::kErrorText.tag,
                                  DeviceEntry::kClassHash, DeviceEntry::kErrorText.hash);
    devices.push_back(std::move(d));
  }
  return devices;
}

// Converts the attributes of each entry element into a Device; the
// attribute names are the fields' tags with their kind's letter. Values go
// from the parser's UTF-16 straight into the Device: numbers parsed where
// they lie, texts written into the Device's own strings.
class DeviceReader : public xercesc::DefaultHandler {
 public:
  ~DeviceReader() override {
    for (XMLCh* name : {m_entry, m_value, m_oldName, m_changedName, m_errorCode, m_errorText})
      xercesc::XMLString::release(&name);
  }
  std::vector<Device> devices;

  void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                    const xercesc::Attributes& attrs) override {
    if (!xercesc::XMLString::equals(qname, m_entry)) return;
    Device& d = devices.emplace_back();
    for (XMLSize_t i = 0; i < attrs.getLength(); ++i) {
      const XMLCh* name = attrs.getQName(i);
      const XMLCh* value = attrs.getValue(i);
      if (xercesc::XMLString::equals(name, m_value)) d.value = number(value);
      else if (xercesc::XMLString::equals(name, m_oldName)) text(value, d.oldName);
      else if (xercesc::XMLString::equals(name, m_changedName)) text(value, d.changedName);
      else if (xercesc::XMLString::equals(name, m_errorCode)) d.errorCode = number(value);
      else if (xercesc::XMLString::equals(name, m_errorText)) text(value, d.errorText);
    }
  }

 private:
  static XMLCh* attribute(char kind, const tkxml::FieldDef& field) {
    return xercesc::XMLString::transcode((kind + std::to_string(field.tag)).c_str());
  }
  static void text(const XMLCh* value, std::string& out) {
    const XMLSize_t length = xercesc::XMLString::stringLen(value);
    out.reserve(length);
    appendUtf8(out, value, length);
  }
  static long long number(const XMLCh* value) {
    const bool negative = *value == u'-';
    if (negative) ++value;
    unsigned long long n = 0;
    for (; *value >= u'0' && *value <= u'9'; ++value) n = n * 10 + static_cast<unsigned>(*value - u'0');
    return negative ? static_cast<long long>(0 - n) : static_cast<long long>(n);
  }

  XMLCh* m_entry = xercesc::XMLString::transcode("EVGui_DKBFConfigureDeviceRespEntry");
  XMLCh* m_value = attribute('i', DeviceEntry::kValue);
  XMLCh* m_oldName = attribute('s', DeviceEntry::kOldName);
  XMLCh* m_changedName = attribute('s', DeviceEntry::kChangedName);
  XMLCh* m_errorCode = attribute('i', DeviceEntry::kErrorCode);
  XMLCh* m_errorText = attribute('s', DeviceEntry::kErrorText);
};

// A SAX2 reader of Xerces-C with a device reader behind it, made once.
struct RawReader {
  RawReader() : reader(saxReader(devices)) {}
  std::vector<Device> read(const std::string& text) {
    devices.devices.clear();
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(), kBufferName);
    reader->parse(source);
    return std::move(devices.devices);
  }
  DeviceReader devices;
  std::unique_ptr<xercesc::SAX2XMLReader> reader;
};

// Skips the case unless both sides read the answer into the same devices.
bool sameDevices(benchmark::State& state) {
  const std::string& text = deviceListText();
  if (text.empty()) {
    state.SkipWithError("the device list could not be written");
    return false;
  }
  static const bool same = [&] {
    RawReader raw;
    const std::vector<Device> ours = readOurs(text);
    return ours.size() == static_cast<std::size_t>(kDevices) && ours == raw.read(text);
  }();
  if (!same) state.SkipWithError("the two sides read different devices");
  return same;
}

void deviceListOurs(benchmark::State& state) {
  if (!sameDevices(state)) return;
  const std::string& text = deviceListText();
  for (auto _ : state) {
    std::vector<Device> devices = readOurs(text);
    benchmark::DoNotOptimize(devices.data());
  }
}

void deviceListRaw(benchmark::State& state) {
  if (!sameDevices(state)) return;
  const std::string& text = deviceListText();
  RawReader raw;
  for (auto _ : state) {
    std::vector<Device> devices = raw.read(text);
    benchmark::DoNotOptimize(devices.data());
  }
}

const bool kRegistered = [] {
  tkbench::registerPair("xml_lock_request", xmlOurs, xmlRaw,
                        [](tkbench::Benchmark* b) { b->Unit(benchmark::kMicrosecond); });
  tkbench::registerPair("xml_device_list_10000", deviceListOurs, deviceListRaw,
                        [](tkbench::Benchmark* b) { b->Unit(benchmark::kMillisecond); });
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
