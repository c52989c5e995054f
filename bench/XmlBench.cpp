// The XML message library against Xerces-C itself.
//   xml_lock_request     the configuration lock request as a console sends
//                        it: our side reads it into the message class and
//                        writes it back (unserialize + serialize); the raw
//                        side parses it with one SAX2 reader made once and
//                        appends every element and attribute, converted to
//                        UTF-8, to a text.
//   xml_device_list_10000  a device-list answer of 10,000 configured devices
//                        (each a number, three texts and an error code): our
//                        side reads it into its message class and walks the
//                        list into plain values; the raw side parses the same
//                        text with one SAX2 reader made once and converts the
//                        same attributes of each entry into the same values.
//                        Both results are compared once before timing.
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchPairs.h"
#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/EVGuiMessages.h"

namespace {

const std::string kLockRequest =
    "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i1=\"-1\" i2=\"1\"/>"
    "</EVGui_MMConfigurationLockUnlockReq>";

void xmlOurs(benchmark::State& state) {
  if (CNMessageBase::Initialize() != 0) {
    state.SkipWithError("the XML library could not be initialised");
    return;
  }
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

// Appends what it reads: "<name a="value" ...>" and "</name>".
class Appender : public xercesc::DefaultHandler {
 public:
  explicit Appender(xercesc::XMLTranscoder& utf8) : m_utf8(utf8) {}
  std::string out;

  void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                    const xercesc::Attributes& attrs) override {
    out += '<';
    append(qname);
    for (XMLSize_t i = 0; i < attrs.getLength(); ++i) {
      out += ' ';
      append(attrs.getQName(i));
      out += "=\"";
      append(attrs.getValue(i));
      out += '"';
    }
    out += '>';
  }
  void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname) override {
    out += "</";
    append(qname);
    out += '>';
  }

 private:
  void append(const XMLCh* text) {
    xercesc::TranscodeToStr utf8(text, xercesc::XMLString::stringLen(text), &m_utf8);
    out.append(reinterpret_cast<const char*>(utf8.str()), utf8.length());
  }
  xercesc::XMLTranscoder& m_utf8;
};

void xmlRaw(benchmark::State& state) {
  if (CNMessageBase::Initialize() != 0) {  // initialises Xerces-C once per process
    state.SkipWithError("Xerces-C could not be initialised");
    return;
  }
  xercesc::XMLTransService::Codes code;
  std::unique_ptr<xercesc::XMLTranscoder> utf8(
      xercesc::XMLPlatformUtils::fgTransService->makeNewTranscoderFor("UTF-8", code, 16 * 1024));
  std::unique_ptr<xercesc::SAX2XMLReader> reader(xercesc::XMLReaderFactory::createXMLReader());
  reader->setFeature(xercesc::XMLUni::fgSAX2CoreValidation, false);
  reader->setFeature(xercesc::XMLUni::fgSAX2CoreNameSpaces, false);
  Appender appender(*utf8);
  reader->setContentHandler(&appender);
  reader->setErrorHandler(&appender);
  for (auto _ : state) {
    appender.out.clear();
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(kLockRequest.data()), kLockRequest.size(),
                                      "request");
    reader->parse(source);
    benchmark::DoNotOptimize(appender.out.data());
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
// attribute names are the fields' tags with their kind's letter.
class DeviceReader : public xercesc::DefaultHandler {
 public:
  explicit DeviceReader(xercesc::XMLTranscoder& utf8) : m_utf8(utf8) {}
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
      else if (xercesc::XMLString::equals(name, m_oldName)) d.oldName = text(value);
      else if (xercesc::XMLString::equals(name, m_changedName)) d.changedName = text(value);
      else if (xercesc::XMLString::equals(name, m_errorCode)) d.errorCode = number(value);
      else if (xercesc::XMLString::equals(name, m_errorText)) d.errorText = text(value);
    }
  }

 private:
  static XMLCh* attribute(char kind, const tkxml::FieldDef& field) {
    return xercesc::XMLString::transcode((kind + std::to_string(field.tag)).c_str());
  }
  std::string text(const XMLCh* value) {
    xercesc::TranscodeToStr utf8(value, xercesc::XMLString::stringLen(value), &m_utf8);
    return std::string(reinterpret_cast<const char*>(utf8.str()), utf8.length());
  }
  long long number(const XMLCh* value) { return std::strtoll(text(value).c_str(), nullptr, 10); }

  xercesc::XMLTranscoder& m_utf8;
  XMLCh* m_entry = xercesc::XMLString::transcode("EVGui_DKBFConfigureDeviceRespEntry");
  XMLCh* m_value = attribute('i', DeviceEntry::kValue);
  XMLCh* m_oldName = attribute('s', DeviceEntry::kOldName);
  XMLCh* m_changedName = attribute('s', DeviceEntry::kChangedName);
  XMLCh* m_errorCode = attribute('i', DeviceEntry::kErrorCode);
  XMLCh* m_errorText = attribute('s', DeviceEntry::kErrorText);
};

// A SAX2 reader of Xerces-C with a device reader behind it, made once.
struct RawReader {
  RawReader() {
    xercesc::XMLTransService::Codes code;
    utf8.reset(xercesc::XMLPlatformUtils::fgTransService->makeNewTranscoderFor("UTF-8", code, 16 * 1024));
    devices = std::make_unique<DeviceReader>(*utf8);
    reader.reset(xercesc::XMLReaderFactory::createXMLReader());
    reader->setFeature(xercesc::XMLUni::fgSAX2CoreValidation, false);
    reader->setFeature(xercesc::XMLUni::fgSAX2CoreNameSpaces, false);
    reader->setContentHandler(devices.get());
    reader->setErrorHandler(devices.get());
  }
  std::vector<Device> read(const std::string& text) {
    devices->devices.clear();
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(), "answer");
    reader->parse(source);
    return std::move(devices->devices);
  }
  std::unique_ptr<xercesc::XMLTranscoder> utf8;
  std::unique_ptr<DeviceReader> devices;
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
