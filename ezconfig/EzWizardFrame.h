// The frame of the setup-wizard XML handlers (disk and tape libraries): the
// one way every wizard request is read, works on the console's cached
// configuration and is answered.
//
//   tkezconfig::WizardFrame frame(request, xml, kTag);
//   ZQGui::EZConfigureMagneticLibraryReq req;
//   if (frame.open(req, "ZQGui::EZConfigureMagneticLibraryReq")) {
//     ... work on frame.config(); a failure calls frame.fail(...) ...
//   }
//   frame.answer(response, "ZQGui::EZGetMagneticLibraryResp");
//
// open() sets the locale of the model's texts from the request, initialises
// the message library, reads the request and takes the console's cached
// configuration instance, pinned until the frame goes. Each step that fails
// logs, sets the answer to code -1 with its catalogue text and returns
// false. answer() writes the handler's own response while no failure was
// set, else ZQGui::GenericResp with -1 and the text; the buffer is emptied
// when the answer cannot be written (the dispatcher then reports -1).
//
// A handler that works on a configuration of its own calls read() and not
// useCachedConfig(). Reply texts pass through MyLocalText before they are
// set. One frame serves one request on one thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"

class CNMessageBase;
class ZQMACMediaConfig;
struct MessageInfo;

namespace tkezconfig {

class WizardFrame {
 public:
  // `tag` names the handler in log lines; `xml` holds the request on entry
  // and receives the answer. A null request fails at once.
  WizardFrame(MessageInfo* request, std::string& xml, const char* tag);
  ~WizardFrame();
  WizardFrame(const WizardFrame&) = delete;
  WizardFrame& operator=(const WizardFrame&) = delete;

  // read() and useCachedConfig(), in that order.
  bool open(CNMessageBase& message, const char* messageName);
  // Initialises the message library and reads the request from the buffer;
  // `messageName` is the class name the log line of a refused text names.
  bool read(CNMessageBase& message, const char* messageName);
  // The console's cached instance, pinned; fails with the text naming the
  // user who took the configuration over when there is none.
  bool useCachedConfig();

  // A failure answer: the text as it stands, or a catalogue text of the
  // request's locale with its arguments. The first failure set is kept.
  void fail(const std::string& text);
  void failWith(unsigned long messageId, const std::vector<std::string>& arguments = {});
  bool failed() const { return m_failed; }

  // Fails the answer with the text that says why and what to do when
  // `config` was asked for an object handle it could not give (the
  // process has none left) since its count of such refusals was `before`
  // (ZQMACMediaConfig::GetHandlesRefused): a listing would carry handle 0,
  // which names nothing. Logged.
  void failOnHandlesRefused(const ZQMACMediaConfig& config, unsigned long before);

  // Writes the answer into the buffer (see the top of this file).
  void answer(const CNMessageBase& response, const char* responseName);

  MessageInfo& record() const { return *m_request; }
  MessageInfo* request() const { return m_request; }
  ZQMACMediaConfig* config() const { return m_config; }
  // The request's locale id.
  unsigned long locale() const { return m_locale; }
  const char* tag() const { return m_tag; }

 private:
  MessageInfo* m_request;
  std::string& m_xml;
  const char* m_tag;
  unsigned long m_locale = 0;
  MediaConfigPin m_pin;
  ZQMACMediaConfig* m_config = nullptr;
  bool m_failed = false;
  std::string m_text;
};

// Answers the request with ZQGui::GenericResp: code 0 and the success text
// of the media-configuration catalogue while no failure was set, else the
// failure (ezconfig/tapewizard/EvMMConfigMgrEZTapeLibrary.cpp).
void answerDone(WizardFrame& frame);

}  // namespace tkezconfig
