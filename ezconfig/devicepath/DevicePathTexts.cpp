// Texts of a device path for consoles and audit records: the data-server type
// of an access type and its text, and the text of the access kind.
//
// Catalogue texts come in the request's locale and are copied bounded into
// results of fixed size (1,024 bytes for a data-server type, 1,023 for an
// access kind), cut on a character boundary. They are only ever copied,
// never used as a format.
#include <string>

#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/mmdb/ZQMMRecords.h"

namespace {

// Catalogue ids.
constexpr unsigned long kTextPreferred = 0x24000343;
constexpr unsigned long kTextFirstKind = 0x24000344;
constexpr unsigned long kTextSecondKind = 0x24000345;
constexpr unsigned long kTextDataServerSan = 0x23000C66;
constexpr unsigned long kTextDataServerIp = 0x23000C67;
constexpr unsigned long kTextDataServerIscsi = 0x23000C68;

// Sizes of the results, terminator included.
constexpr std::size_t kDataServerTextSize = 1025;
constexpr std::size_t kAccessTypeTextSize = 1024;
// Room for a rendered catalogue text before it is cut to its result.
constexpr std::size_t kRenderSize = 4096;

constexpr const char* kUnknownAccessType = "Unknown";

std::string catalogueText(unsigned long id, unsigned long locale) {
  char rendered[kRenderSize];
  EvGetLocText(id, rendered, sizeof rendered, locale);
  return rendered;
}

// `text` cut to `N` - 1 bytes on a character boundary.
template <std::size_t N>
std::string bounded(const std::string& text) {
  char field[N];
  MMCopyText(field, text.c_str());
  return field;
}

}  // namespace

void EvMMConfigMgr::IdentifyDataServerType(int accessType, int& type) {
  if ((accessType & kDataServerIp) != 0) {
    type = kDataServerIp;
  } else if ((accessType & kDataServerSan) != 0) {
    type = kDataServerSan;
  } else if ((accessType & kDataServerIscsi) != 0) {
    type = kDataServerIscsi;
  } else {
    type = 0;
  }
}

void EvMMConfigMgr::getDataServerString(int accessType, std::string& text, unsigned long locale) {
  int type = 0;
  IdentifyDataServerType(accessType, type);
  unsigned long id = 0;
  switch (type) {
    case kDataServerIp: id = kTextDataServerIp; break;
    case kDataServerSan: id = kTextDataServerSan; break;
    case kDataServerIscsi: id = kTextDataServerIscsi; break;
    default: return;  // no data-server type: the caller's text stands
  }
  text = bounded<kDataServerTextSize>(catalogueText(id, locale));
}

std::string EvMMConfigMgr::getDeviceAccessTypeText(int accessType, unsigned long locale) {
  unsigned long kind = 0;
  if ((accessType & kAccessFirstKind) != 0) {
    kind = kTextFirstKind;
  } else if ((accessType & kAccessSecondKind) != 0) {
    kind = kTextSecondKind;
  } else {
    return kUnknownAccessType;
  }
  std::string text = catalogueText(kind, locale);
  if ((accessType & kAccessPreferred) != 0) text = catalogueText(kTextPreferred, locale) + " " + text;
  return bounded<kAccessTypeTextSize>(text);
}

void EvMMConfigMgr::getDeviceAccessTypeChangeInfo(int oldType, int newType, std::string& oldText,
                                                  std::string& newText, unsigned long locale) {
  oldText.clear();
  newText.clear();
  if (oldType == newType) return;
  oldText = getDeviceAccessTypeText(oldType, locale);
  newText = getDeviceAccessTypeText(newType, locale);
}
