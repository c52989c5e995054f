// Probing network library servers before a library controller is added:
// an NDMP server answers for the library behind an access path, and a
// library server lists the libraries it shares.
//
//   ZQNDMPAutoDetect detector(controller.GetServerHostName(), config);
//   if (!detector.GetDeviceInfo(&controller)) ... detector.GetLastError() ...
//
// In this platform the servers are stand-ins whose answers a test scripts
// (platform/testkit/ndmpdetect.h); a server nobody scripted does not
// answer. Thread-safe.
#pragma once

#include <string>
#include <vector>

#include "frame/mac/ZQMACBase.h"
#include "platform/journal/Journal.h"

class ZQMACMediaConfig;
class ZQMACLibController;
class ZQMACNdmpLibController;
class ZQMACNdmpDms;
class ZQMACDrive;

class ZQNDMPAutoDetect : public virtual ZQMACBase {
 public:
  // The NDMP server `host`, probed for `config` (kept, not used).
  ZQNDMPAutoDetect(const std::string& host, ZQMACMediaConfig* config);

  // Reads what the server answers for the library at the controller's
  // access path into the controller's library (vendor, product,
  // identification text, base address, drive count). False, with the reason
  // as this detector's last error, when the server or the library does not
  // answer or there is no controller.
  bool GetDeviceInfo(ZQMACNdmpLibController* controller);
  // ---- NDMP drives ----
  // Reads what the server answers for the drive at the drive path's access
  // path into the path's drive (vendor, product, serial number,
  // identification text). False as above.
  bool GetDeviceInfo(ZQMACNdmpDms* drivePath);
  // ---- end of NDMP drives ----

 private:
  std::string m_sHost;
};

namespace tkndmpdetect {

// One library as a server describes it.
struct Library {
  std::string name;            // library servers: the library's name
  std::string vendor;
  std::string product;
  std::string identification;  // the text detection identifies it by
  std::string firmware;        // library servers: the text shown beside its name
  int baseAddress = 0;
  int driveCount = 0;
  int slotCount = 0;
  std::string slotRange;
};

// Scripting (platform/testkit/ndmpdetect.h): the library an NDMP server
// answers for at an access path, and the libraries a library server shares.
void scriptNdmpLibrary(const std::string& host, const std::string& accessPath, const Library& library);
void scriptLibraryServer(const std::string& host, const std::vector<Library>& libraries);
// Forgets every server and the journal.
void reset();

// What the NDMP server `host` answers for the access path: false with the
// reason in `error` when it does not answer. Journaled as "ProbeNdmp"
// (host, access path); a failure injected into it makes the server not
// answer with that text.
bool probeNdmp(const std::string& host, const std::string& accessPath, Library& library, std::string& error);
// The libraries of the library server `host`: false with the reason in
// `error` when it does not answer. Journaled as "ProbeLibraryServer" (host)
// and failing as above.
bool probeLibraryServer(const std::string& host, std::vector<Library>& libraries, std::string& error);

// Copies a library description into a model library (the fields above).
void fill(ZQMACLibController& controller, const Library& library);

// ---- NDMP drives ----
// One drive as an NDMP server describes it.
struct Drive {
  std::string vendor;
  std::string product;
  std::string serialNumber;
  std::string identification;
};
// The drive an NDMP server answers for at an access path (scripting).
void scriptNdmpDrive(const std::string& host, const std::string& accessPath, const Drive& drive);
// What the NDMP server `host` answers for the drive at the access path:
// false with the reason in `error` when it does not answer. Journaled as
// "ProbeNdmpDrive" (host, access path) and failing as the other probes.
bool probeNdmpDrive(const std::string& host, const std::string& accessPath, Drive& drive, std::string& error);
// Copies a drive description into a model drive.
void fill(ZQMACDrive& drive, const Drive& from);
// ---- end of NDMP drives ----

tkjournal::Journal& journal();

// The last-error code of a server or library that does not answer.
inline constexpr unsigned int kErrorNoAnswer = 0x1F00000B;

}  // namespace tkndmpdetect
