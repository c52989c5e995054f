// The demonstration NAS client and its media agent (see DemoNas.h).
#include "platform/nasclient/DemoNas.h"

#include <cstdio>
#include <string>

#include "platform/db/DBSession.h"
#include "platform/external/Cipher.h"
#include "platform/mmdb/MMNDMPHostInfoDB.h"
#include "platform/nasclient/NasConfTK.h"
#include "platform/ndmp/NdmpFilers.h"
#include "platform/ndmpdetect/ZQNDMPAutoDetect.h"

namespace tknasclient {
namespace {

constexpr int kDemoNasOs = kCatalogueFilerOs;
constexpr int kDemoAgentOs = 3;    // "Windows"
constexpr int kNdmpRowNas = 6;
constexpr int kPlatformMediaAgent = 2;

}  // namespace

int seedDemoNas(std::string& report) {
  // The filer that the demonstration adds as an NDMP server lives in memory:
  // it is there at every start.
  tkndmp::Filer filer;
  filer.login = "root";
  filer.encryptedPassword = tkcipher::encrypt("demo");
  filer.osType = kNdmpRowNas;
  filer.osVersion = "9.1P2";
  filer.capabilityFlags = 0x21;
  tkndmp::seedFiler(kDemoFilerHost, filer);
  // ... with the tape library that the console's own example adds a
  // controller for.
  tkndmpdetect::Library library;
  library.vendor = "DEMO";
  library.product = "TAPE-9";
  library.identification = "NLIB1";
  library.baseAddress = 1;
  library.driveCount = 4;
  library.slotCount = 40;
  tkndmpdetect::scriptNdmpLibrary(kDemoFilerHost, kDemoFilerLibraryPath, library);
  // ... and the library's drives, which the filer answers for at its tape
  // device paths as any filer with a library does.
  for (int d = 0; d < library.driveCount; ++d) {
    tkndmpdetect::Drive drive;
    drive.vendor = "DEMO";
    drive.product = "LTO-9";
    drive.serialNumber = "NSN000" + std::to_string(d + 1);
    drive.identification = "NDRV" + std::to_string(d + 1);
    tkndmpdetect::scriptNdmpDrive(kDemoFilerHost, kDemoFilerDrivePath + std::to_string(d), drive);
  }

  tkdb::Session session;
  const int rc = session.atomically([&] {
    int code = session.exec("INSERT OR IGNORE INTO \"SimOperatingSystem\" (\"id\", \"type\", \"isNAS\") VALUES "
                            "(?, 'Filer OS', 1), (?, 'Windows', 0)",
                            {kDemoNasOs, kDemoAgentOs});
    if (code == 0)
      code = session.exec(
          "INSERT OR IGNORE INTO \"APP_Client\" (\"id\", \"name\", \"net_hostname\", \"releaseId\", "
          "\"simOperatingSystemId\") VALUES (?, 'filer1', 'filer1', 16, ?), (?, 'nasma1', 'nasma1', 16, ?)",
          {kDemoFilerClientId, kDemoNasOs, kDemoNasMediaAgentId, kDemoAgentOs});
    if (code == 0)
      code = session.exec(
          "INSERT INTO \"APP_Platform\" (\"clientId\", \"platformType\") SELECT ?1, ?2 WHERE NOT EXISTS (SELECT 1 "
          "FROM \"APP_Platform\" WHERE \"clientId\" = ?1)",
          {kDemoNasMediaAgentId, kPlatformMediaAgent});
    if (code == 0)
      code = session.exec("INSERT OR IGNORE INTO \"NasClient\" (\"name\", \"proxyMediaAgent\") VALUES "
                          "('filer1', 'nasma1')");
    return code;
  });
  if (rc != 0) return rc;
  MMNDMPHostInfoDB table(nullptr);
  MMNDMPHostInfo_t row;
  if (table.getInfoByClientId(kDemoFilerClientId, row) != 0) {
    row = MMNDMPHostInfo_t();
    row.clientId = kDemoFilerClientId;
    row.osType = kNdmpRowNas;
    row.listenPort = 10000;
    row.hostSettingA = 2;
    row.hostSettingB = 1;
    std::snprintf(row.login, sizeof row.login, "%s", "root");
    std::snprintf(row.firmwareRevision, sizeof row.firmwareRevision, "%s", "9.1");
    int id = 0;
    const int added = table.addNDMPHostInfo(row, id);
    if (added != 0) return added;
  }
  report = "NAS client filer1 (client 102, NDMP login root) served by media agent nasma1 (client 103); NDMP filer "
           "filer2 (login root, password demo)";
  return 0;
}

}  // namespace tknasclient
