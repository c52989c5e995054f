// The setup wizards' frame (see EzWizardFrame.h).
#include "ezconfig/EzWizardFrame.h"

#include "frame/EvEvent.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/ZQGuiMessages.h"

namespace tkezconfig {
namespace {

// Catalogue texts.
constexpr unsigned long kTextXmlInitialize = 0x23000451;
constexpr unsigned long kTextXmlUnreadable = 0x23000452;
constexpr unsigned long kTextTakenOver = 0x240002FA;  // %1 the login of who took the configuration
constexpr unsigned long kTextNobodyHolds = 0x24000F04;  // no argument: nobody held the configuration

// Catalogue texts are fetched into a buffer of this size.
constexpr unsigned long kCatalogueTextSize = 1024;

}  // namespace

WizardFrame::WizardFrame(MessageInfo* request, std::string& xml, const char* tag)
    : m_request(request), m_xml(xml), m_tag(tag) {
  if (!EvMMConfigMgr::m_initialized.load()) EvMMConfigMgr::Initialize();
  if (request == nullptr) {
    EvDebug::Error(m_tag, "%s", "Bad Parameter Received.");
    fail("Bad Parameter Received.");
    return;
  }
  m_locale = EvReturnData::returnLocaleId(request->sequenceNumber);
  ZQMACBase::SetLocale(m_locale);
}

WizardFrame::~WizardFrame() = default;

bool WizardFrame::open(CNMessageBase& message, const char* messageName) {
  return read(message, messageName) && useCachedConfig();
}

bool WizardFrame::read(CNMessageBase& message, const char* messageName) {
  if (m_failed) return false;
  const int initialized = CNMessageBase::Initialize();
  if (initialized != 0) {
    EvDebug::Error(m_tag, "Error [%d] return from CNMessageBase::Initialize.", initialized);
    failWith(kTextXmlInitialize);
    return false;
  }
  const int read = message.unserialize(m_xml);
  if (read != 0) {
    EvDebug::Error(m_tag, "Error [%d] return from %s::unserialize.", read, messageName);
    failWith(kTextXmlUnreadable);
    return false;
  }
  return true;
}

bool WizardFrame::useCachedConfig() {
  if (m_failed) return false;
  m_config = EvMMConfigMgr::GetCurrentMediaConfig(m_request, false, m_pin);
  if (m_config == nullptr) {
    // Nobody to name where no session was ever taken, as the notice the
    // session sent before this answer says.
    if (EvMMConfigMgr::NobodyHeldTheConfiguration())
      failWith(kTextNobodyHolds, {});
    else
      failWith(kTextTakenOver, {EvMMConfigMgr::TakenOverBy()});
    return false;
  }
  return true;
}

void WizardFrame::fail(const std::string& text) {
  if (m_failed) return;
  m_failed = true;
  m_text = MyLocalText(text);
}

void WizardFrame::failWith(unsigned long messageId, const std::vector<std::string>& arguments) {
  char buffer[kCatalogueTextSize];
  fail(EvGetLocTextV(messageId, buffer, sizeof buffer, m_locale, arguments));
}

void WizardFrame::failOnHandlesRefused(const ZQMACMediaConfig& config, unsigned long before) {
  if (config.GetHandlesRefused() == before) return;
  EvDebug::Error(m_tag, "%s", tkmac::kNoHandleLeftText);
  fail(tkmac::kNoHandleLeftText);
}

void WizardFrame::answer(const CNMessageBase& response, const char* responseName) {
  if (m_request == nullptr) {
    // Left as it came, the request text would go back as its own answer.
    m_xml.clear();
    return;
  }
  if (!m_failed) {
    const int written = response.serialize(m_xml, false);
    if (written != 0) {
      EvDebug::Error(m_tag, "Error [%d] return from %s::serialize.", written, responseName);
      m_xml.clear();
    }
    return;
  }
  using Generic = ZQGui::GenericResp;
  Generic generic;
  generic.setint64(Generic::kCode.ordinal, Generic::kCode.tag, Generic::kCodeFailure, Generic::kClassHash,
                   Generic::kCode.hash);
  generic.setstring(Generic::kText.ordinal, Generic::kText.tag, m_text, Generic::kClassHash, Generic::kText.hash);
  const int written = generic.serialize(m_xml, false);
  if (written != 0) {
    EvDebug::Error(m_tag, "Error [%d] return from ZQGui::GenericResp::serialize.", written);
    m_xml.clear();
  }
}

}  // namespace tkezconfig
