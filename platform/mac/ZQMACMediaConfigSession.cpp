// The object model's calls that a configuration session makes: the link to
// the media-management service, progress reported for a whole instance,
// and the libraries that exhaustive detection found.
//
// Journal names (platform/testkit/mac.h): "TestConnectToMediaManager",
// "Percentage" (value), "IsExhaustiveDetectedLibraryConfigured" (answer).
// A failure injected into one of them makes its next call fail with the
// code and text as the last error.
#include <algorithm>
#include <mutex>
#include <string>

#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/mac/ZQMACPlatform.h"

namespace {

struct ServiceLink {
  std::mutex mutex;
  std::string lastError;
};

ServiceLink& serviceLink() {
  static ServiceLink* link = new ServiceLink();  // lives for the whole process
  return *link;
}

}  // namespace

// ---------------------------------------------------------------- service link

bool ZQMACDbInterface::TestConnectToMediaManager() {
  tkmac::journal().record("TestConnectToMediaManager", {});
  tkjournal::Failure failure;
  const bool failed = tkmac::journal().takeFailure("TestConnectToMediaManager", failure);
  ServiceLink& link = serviceLink();
  std::lock_guard<std::mutex> guard(link.mutex);
  if (failed) {
    link.lastError = failure.text;
    return false;
  }
  link.lastError.clear();
  return true;
}

std::string ZQMACDbInterface::GetLastError() {
  ServiceLink& link = serviceLink();
  std::lock_guard<std::mutex> guard(link.mutex);
  return link.lastError;
}

// ---------------------------------------------------------------- progress

bool ZQMACMediaConfig::Percentage(int value) {
  tkmac::journal().record("Percentage", value);
  tkjournal::Failure failure;
  if (tkmac::journal().takeFailure("Percentage", failure)) {
    SetLastError(static_cast<unsigned int>(failure.code), failure.text);
    return false;
  }
  m_iPercentage.store(value);
  SetPercentage(value);
  return true;
}

// ---------------------------------------------------------------- exhaustive detection

bool ZQMACMediaConfig::AddExhaustiveDetectedLibrary(ZQMACInterface* library) {
  if (library == nullptr || !OwnsObject(library)) return false;
  const unsigned int type = library->GetObjectType();
  if (type != ZQMAC_OBJ_LMS && type != ZQMAC_OBJ_MAGLIB) return false;
  const unsigned long long handle = library->GetHandle();
  std::lock_guard<std::mutex> guard(m_detectedMutex);
  if (std::find(m_exhaustiveDetectedLibraries.begin(), m_exhaustiveDetectedLibraries.end(), handle) ==
      m_exhaustiveDetectedLibraries.end())
    m_exhaustiveDetectedLibraries.push_back(handle);
  return true;
}

bool ZQMACMediaConfig::IsExhaustiveDetectedLibraryConfigured() {
  tkjournal::Failure failure;
  if (tkmac::journal().takeFailure("IsExhaustiveDetectedLibraryConfigured", failure)) {
    SetLastError(static_cast<unsigned int>(failure.code), failure.text);
    tkmac::journal().record("IsExhaustiveDetectedLibraryConfigured", false);
    return false;
  }
  std::vector<unsigned long long> handles;
  {
    std::lock_guard<std::mutex> guard(m_detectedMutex);
    handles = m_exhaustiveDetectedLibraries;
  }
  bool configured = true;
  for (unsigned long long handle : handles) {
    // A library deleted since it was found resolves no more and no longer
    // counts.
    ZQMACInterface* library = FindObject(handle);
    if (library != nullptr && !library->TestStateA()) {
      configured = false;
      break;
    }
  }
  tkmac::journal().record("IsExhaustiveDetectedLibraryConfigured", configured);
  return configured;
}
