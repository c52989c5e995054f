// Library state and identification of new media of the media-management
// library information (see ZQMMlibInfo.h), and the media-type names of
// ZQMMDBbase. The state comes from the library's row; identification is a
// service of the media-management daemon, so tests script what it decides
// (platform/testkit/mmlib.h).
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <strings.h>

#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmlib/ZQMMlibInfo.h"
#include "platform/mmlib/ZQMMlibInfoControl.h"

namespace {

struct IdentifyScripts {
  std::mutex mutex;
  std::map<int, tkmmlib::LibraryState> states;
  tkmmlib::Identification identification;
};

IdentifyScripts& scripts() {
  static auto* s = new IdentifyScripts();  // lives for the whole process
  return *s;
}

std::optional<tkmmlib::LibraryState> scriptedState(int libraryId) {
  IdentifyScripts& s = scripts();
  std::lock_guard<std::mutex> guard(s.mutex);
  auto it = s.states.find(libraryId);
  if (it == s.states.end()) return std::nullopt;
  return it->second;
}

tkmmlib::Identification scriptedIdentification() {
  IdentifyScripts& s = scripts();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.identification;
}

// The media types every library kind may name (the names consoles show).
struct MediaTypeName {
  int id;
  const char* name;
};
constexpr MediaTypeName kMediaTypes[] = {
    {1, "Data cartridge"}, {2, "WORM cartridge"}, {3, "Cleaning cartridge"}, {20, "Disk media"}};

}  // namespace

namespace tkmmlib {

void scriptLibraryState(int libraryId, LibraryState state) {
  IdentifyScripts& s = scripts();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.states[libraryId] = state;
}

void scriptIdentification(Identification identification) {
  IdentifyScripts& s = scripts();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.identification = identification;
}

void clearIdentifyScripts() {
  IdentifyScripts& s = scripts();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.states.clear();
  s.identification = Identification();
}

}  // namespace tkmmlib

void ZQMMlibInfo::readState() {
  if (m_bStateRead) return;
  m_bStateRead = true;
  tkmmlib::journal().record("getLibraryState", m_iLibraryId);
  if (std::optional<tkmmlib::LibraryState> state = scriptedState(m_iLibraryId)) {
    m_bBroken = state->broken;
    m_bEnabled = state->enabled;
    m_iHardState = state->hardState;
    return;
  }
  MMLibraryDB access;
  MMLibrary_t row;
  if (access.getInfo(m_iLibraryId, row) != 0) return;  // unreadable: not usable
  m_bBroken = row.LibraryBroken != 0;
  m_bEnabled = row.LibraryEnabled != 0;
  m_iHardState = 1;
}

bool ZQMMlibInfo::getBroken() {
  readState();
  return m_bBroken;
}

bool ZQMMlibInfo::getEnabled() {
  readState();
  return m_bEnabled;
}

int ZQMMlibInfo::getLibraryHardState() {
  readState();
  return m_iHardState;
}

int ZQMMlibInfo::identifyNewMedia(int mediaType, int& action, int argument, int& count) {
  tkmmlib::journal().record("identifyNewMedia", m_iLibraryId, mediaType, argument);
  tkjournal::Failure failure;
  if (tkmmlib::journal().takeFailure("identifyNewMedia", failure)) {
    m_uLastErrorCode = static_cast<unsigned int>(failure.code);
    m_sLastError = failure.text;
    return failure.code == 0 ? -1 : failure.code;
  }
  const tkmmlib::Identification decided = scriptedIdentification();
  action = decided.action;
  count = decided.count;
  return 0;
}

int ZQMMlibInfo::identifyNewMediaBySlotId(int mediaType, int argument, int& count, const unsigned int* slots) {
  std::string list;
  for (int i = 0; slots != nullptr && i < count; ++i) list += (i == 0 ? "" : ",") + std::to_string(slots[i]);
  tkmmlib::journal().record("identifyNewMediaBySlotId", m_iLibraryId, mediaType, argument, count, list);
  tkjournal::Failure failure;
  if (tkmmlib::journal().takeFailure("identifyNewMediaBySlotId", failure)) {
    m_uLastErrorCode = static_cast<unsigned int>(failure.code);
    m_sLastError = failure.text;
    return failure.code == 0 ? -1 : failure.code;
  }
  return 0;
}

void ZQMMlibInfo::GetLastError(unsigned int& code, char* buffer, int size) const {
  code = m_uLastErrorCode;
  if (buffer == nullptr || size <= 0) return;
  const std::size_t n = std::min(m_sLastError.size(), static_cast<std::size_t>(size) - 1);
  std::memcpy(buffer, m_sLastError.data(), n);
  buffer[n] = '\0';
}

int ZQMMDBbase::convertMedTypeString(const char* name) {
  if (name == nullptr) return 0;
  for (const MediaTypeName& type : kMediaTypes)
    if (strcasecmp(type.name, name) == 0) return type.id;
  return 0;
}
