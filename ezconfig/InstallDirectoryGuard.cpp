// The installation-directory guard (see InstallDirectoryGuard.h).
#include "ezconfig/InstallDirectoryGuard.h"

#include <cctype>

#include "frame/AppAdapters.h"
#include "platform/debuglog/EvDebug.h"

namespace tkezconfig {
namespace {

// Information kind of getPlatformInfo: the installation directory.
constexpr unsigned long kInstallDirectoryKind = 2;

std::string lowered(std::string text) {
  // Bytes above 0x7F are taken as unsigned char: tolower on a negative
  // char is undefined.
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool isInsideInstallDirectory(const std::string& directory, const std::string& folder) {
  std::string prefix = directory;
  const bool endsWithSeparator = !prefix.empty() && (prefix.back() == '/' || prefix.back() == '\\');
  if (!endsWithSeparator && prefix.size() != folder.size()) {
    if (prefix.find('\\') != std::string::npos)
      prefix += '\\';
    else if (prefix.find('/') != std::string::npos)
      prefix += '/';
  }
  return lowered(folder).compare(0, prefix.size(), lowered(prefix)) == 0 && folder.size() >= prefix.size();
}

unsigned long installDirectoryRefusal(const char* tag, unsigned long mediaAgentId, long startTime,
                                      const std::string& folder) {
  AdaptersInterfaceDB adapters;
  unsigned long clientId = mediaAgentId;
  unsigned long kind = kInstallDirectoryKind;
  long time = startTime;
  std::string directory;
  // An empty directory would hold every folder: it is no answer either.
  if (adapters.getPlatformInfo(clientId, kind, directory, time, nullptr) != 0 || directory.empty()) {
    EvDebug::Error(tag, "%s", "Installation Directory look up failed for given MediaAgent");
    return kTextInstallDirectoryUnknown;
  }
  if (isInsideInstallDirectory(directory, folder)) {
    EvDebug::Error(tag, "%s", "Disk library mountpath cannot be configured in the installation directory");
    return kTextInsideInstallDirectory;
  }
  return 0;
}

}  // namespace tkezconfig
