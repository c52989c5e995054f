// The vendor catalogues the configuration dialogs choose from (drives by
// vendor and product, libraries reached directly, libraries served by a
// library server), read whole from MMVendorCatalogue at every configuration
// read: the table is a handful of rows, and reading it each time lets a row
// an administrator adds with SQL count from the next read on.
#include "platform/mac/ZQMACVendorCatalogue.h"

#include <utility>

#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"

namespace tkmac {
namespace {

enum Catalogue : long long { kDrives = 0, kLibraries = 1, kServedLibraries = 2 };

}  // namespace

bool loadVendorCatalogues(ZQMACMediaConfig& config) {
  tkdb::Session session(nullptr);
  tkdb::DbRows rows;
  const int rc = session.query(
      "SELECT \"Catalogue\", \"Vendor\", \"Product\", \"Label\" FROM \"MMVendorCatalogue\" ORDER BY \"EntryId\"", {},
      rows);
  if (rc != DB_OK) {
    config.SetLastError(kErrorDatabase, "The vendor catalogues could not be read: " + session.errorText());
    return false;
  }
  std::vector<ZQMACVendorEntry> lists[3];
  for (const tkdb::DbRow& row : rows) {
    long long catalogue = -1;
    if (row.size() != 4 || !tkdb::integerOf(row[0], catalogue, false) || catalogue < kDrives ||
        catalogue > kServedLibraries) {
      config.SetLastError(kErrorDatabase, "A row of MMVendorCatalogue names no catalogue (0, 1 or 2).");
      return false;
    }
    lists[catalogue].push_back({tkdb::textOf(row[1]), tkdb::textOf(row[2]), tkdb::textOf(row[3])});
  }
  ZQMACGraph::SetDriveVendors(config, std::move(lists[kDrives]));
  ZQMACGraph::SetLibraryVendors(config, false, std::move(lists[kLibraries]));
  ZQMACGraph::SetLibraryVendors(config, true, std::move(lists[kServedLibraries]));
  return true;
}

bool attachedLibraryServerNames(const std::string& host, const std::string& vendor, const std::string& product,
                                std::vector<std::string>& names, std::string& error) {
  tkdb::Session session(nullptr);
  tkdb::DbRows rows;
  const int rc = session.query(
      "SELECT l.\"SerialNumber\" FROM \"MMAttachedLibrary\" l JOIN \"APP_Client\" c ON c.\"id\" = l.\"ClientId\" "
      "WHERE (c.\"name\" = ? OR c.\"net_hostname\" = ?) AND l.\"Vendor\" = ? AND l.\"Product\" = ? "
      "ORDER BY l.\"Id\"",
      {host, host, vendor, product}, rows);
  if (rc != DB_OK) {
    error = "The libraries attached to [" + host + "] could not be read: " + session.errorText();
    return false;
  }
  names.clear();
  for (const tkdb::DbRow& row : rows)
    if (!row.empty()) names.push_back(tkdb::textOf(row[0]));
  return true;
}

}  // namespace tkmac
