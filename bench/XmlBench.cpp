// The XML message library against Xerces-C itself, on the configuration
// lock request as a console sends it: our side reads it into the message
// class and writes it back (unserialize + serialize); the raw side parses it
// with one SAX2 reader made once and appends every element and attribute,
// converted to UTF-8, to a text.
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <memory>
#include <string>

#include "bench/BenchPairs.h"
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

const bool kRegistered = [] {
  tkbench::registerPair("xml_lock_request", xmlOurs, xmlRaw,
                        [](tkbench::Benchmark* b) { b->Unit(benchmark::kMicrosecond); });
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
