// The network library servers as scripted stand-ins (see ZQNDMPAutoDetect.h).
#include "platform/ndmpdetect/ZQNDMPAutoDetect.h"

#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/ndmp/NdmpFilers.h"

namespace tkndmpdetect {
namespace {

struct Servers {
  std::mutex mutex;
  std::map<std::pair<std::string, std::string>, Library> ndmp;  // (host, access path)
  std::map<std::string, std::vector<Library>> libraryServers;
  std::map<std::pair<std::string, std::string>, Drive> drives;  // NDMP drives: (host, access path)
};

Servers& servers() {
  static Servers* s = new Servers();  // lives for the whole process
  return *s;
}

}  // namespace

tkjournal::Journal& journal() {
  static tkjournal::Journal* j = new tkjournal::Journal();  // lives for the whole process
  return *j;
}

void scriptNdmpLibrary(const std::string& host, const std::string& accessPath, const Library& library) {
  Servers& s = servers();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.ndmp[{host, accessPath}] = library;
}

void scriptLibraryServer(const std::string& host, const std::vector<Library>& libraries) {
  Servers& s = servers();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.libraryServers[host] = libraries;
}

void reset() {
  {
    Servers& s = servers();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.ndmp.clear();
    s.libraryServers.clear();
    s.drives.clear();
  }
  journal().reset();
}

bool probeNdmp(const std::string& host, const std::string& accessPath, Library& library, std::string& error) {
  journal().record("ProbeNdmp", host, accessPath);
  tkjournal::Failure failure;
  if (journal().takeFailure("ProbeNdmp", failure)) {
    error = failure.text;
    return false;
  }
  // A filer that answers NDMP logins is a server that answers, also where
  // it serves no library.
  const std::optional<tkndmp::Filer> filer = tkndmp::filer(host);
  Servers& s = servers();
  std::lock_guard<std::mutex> guard(s.mutex);
  auto it = s.ndmp.find({host, accessPath});
  if (it != s.ndmp.end()) {
    library = it->second;
    return true;
  }
  bool serverKnown = filer.has_value() && filer->reachable;
  for (const auto& entry : s.ndmp) serverKnown = serverKnown || entry.first.first == host;
  error = serverKnown ? "No library answers at [" + accessPath + "] on the NDMP server [" + host + "]."
                      : "The NDMP server [" + host + "] does not answer.";
  return false;
}

bool probeLibraryServer(const std::string& host, std::vector<Library>& libraries, std::string& error) {
  journal().record("ProbeLibraryServer", host);
  tkjournal::Failure failure;
  if (journal().takeFailure("ProbeLibraryServer", failure)) {
    error = failure.text;
    return false;
  }
  Servers& s = servers();
  std::lock_guard<std::mutex> guard(s.mutex);
  auto it = s.libraryServers.find(host);
  if (it == s.libraryServers.end()) {
    error = "The library server [" + host + "] does not answer.";
    return false;
  }
  libraries = it->second;
  return true;
}

// ---- NDMP drives ----
void scriptNdmpDrive(const std::string& host, const std::string& accessPath, const Drive& drive) {
  Servers& s = servers();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.drives[{host, accessPath}] = drive;
}

bool probeNdmpDrive(const std::string& host, const std::string& accessPath, Drive& drive, std::string& error) {
  journal().record("ProbeNdmpDrive", host, accessPath);
  tkjournal::Failure failure;
  if (journal().takeFailure("ProbeNdmpDrive", failure)) {
    error = failure.text;
    return false;
  }
  Servers& s = servers();
  std::lock_guard<std::mutex> guard(s.mutex);
  auto it = s.drives.find({host, accessPath});
  if (it == s.drives.end()) {
    error = "No drive answers at [" + accessPath + "] on the NDMP server [" + host + "].";
    return false;
  }
  drive = it->second;
  return true;
}

void fill(ZQMACDrive& drive, const Drive& from) {
  drive.SetVendor(from.vendor);
  drive.SetProduct(from.product);
  drive.SetSerialNumber(from.serialNumber);
  ZQMACGraph::SetDeviceIdentifier(&drive, from.identification);
}
// ---- end of NDMP drives ----

void fill(ZQMACLibController& controller, const Library& from) {
  ZQMACLibrary* library = controller.GetLibrary();
  if (library == nullptr) return;
  if (!from.name.empty()) ZQMACGraph::SetName(library, from.name);
  ZQMACGraph::DeviceIdentity identity;
  identity.vendor = from.vendor;
  identity.product = from.product;
  identity.textA = library->GetDeviceTextA();
  identity.textB = from.firmware;
  identity.textC = library->GetDeviceTextC();
  identity.value = library->GetDeviceValue();
  ZQMACGraph::SetDeviceIdentity(library, identity);
  library->SetIdentificationText(from.identification);
  ZQMACGraph::LibraryGeometry geometry;
  geometry.baseAddress = from.baseAddress;
  geometry.driveCount = from.driveCount;
  geometry.slotCount = from.slotCount;
  geometry.type = library->GetType();
  geometry.vtlType = library->GetVTLType();
  ZQMACGraph::SetGeometry(library, geometry);
  ZQMACGraph::SetSlotRange(library, from.slotRange);
}

}  // namespace tkndmpdetect

ZQNDMPAutoDetect::ZQNDMPAutoDetect(const std::string& host, ZQMACMediaConfig* /*config*/) : m_sHost(host) {}

bool ZQNDMPAutoDetect::GetDeviceInfo(ZQMACNdmpLibController* controller) {
  if (controller == nullptr || controller->GetLibrary() == nullptr) {
    SetLastError(tkndmpdetect::kErrorNoAnswer, "No library controller was given to probe.");
    return false;
  }
  tkndmpdetect::Library found;
  std::string error;
  if (!tkndmpdetect::probeNdmp(m_sHost, controller->GetControllerText(), found, error)) {
    SetLastError(tkndmpdetect::kErrorNoAnswer, error);
    return false;
  }
  tkndmpdetect::fill(*controller, found);
  ClearLastError();
  return true;
}

// ---- NDMP drives ----
bool ZQNDMPAutoDetect::GetDeviceInfo(ZQMACNdmpDms* drivePath) {
  ZQMACDrive* drive = drivePath != nullptr ? drivePath->GetDrive() : nullptr;
  if (drive == nullptr) {
    SetLastError(tkndmpdetect::kErrorNoAnswer, "No drive path was given to probe.");
    return false;
  }
  tkndmpdetect::Drive found;
  std::string error;
  if (!tkndmpdetect::probeNdmpDrive(m_sHost, drivePath->GetPathDetail(), found, error)) {
    SetLastError(tkndmpdetect::kErrorNoAnswer, error);
    return false;
  }
  tkndmpdetect::fill(*drive, found);
  ClearLastError();
  return true;
}
// ---- end of NDMP drives ----
