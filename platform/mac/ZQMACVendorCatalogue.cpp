// The vendor catalogues the configuration dialogs choose from (drives by
// vendor and product, libraries reached directly, libraries served by a
// library server), read whole from MMVendorCatalogue beside the
// configuration and kept with the DRU hosts and archive clusters
// (MMMediaConfigDB::keptBeside): the change log names every change of the
// table, a row an administrator adds with SQL too, so the row counts from
// the next read on, and a read of an unchanged configuration reads nothing
// of it.
#include "platform/mac/ZQMACVendorCatalogue.h"

#include <utility>

#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmac {
namespace {

enum Catalogue : long long { kDrives = 0, kLibraries = 1, kServedLibraries = 2 };

}  // namespace

bool readVendorCatalogues(ZQMACMediaConfig& config, std::vector<MMStoredVendorEntry>& out) {
  tkdb::Session session(nullptr);
  tkdb::DbRows rows;
  const int rc = session.query(
      "SELECT \"Catalogue\", \"Vendor\", \"Product\", \"Label\" FROM \"MMVendorCatalogue\" ORDER BY \"EntryId\"", {},
      rows);
  if (rc != DB_OK) {
    config.SetLastError(kErrorDatabase, "The vendor catalogues could not be read: " + session.errorText());
    return false;
  }
  std::vector<MMStoredVendorEntry> read;
  read.reserve(rows.size());
  for (const tkdb::DbRow& row : rows) {
    long long catalogue = -1;
    if (row.size() != 4 || !tkdb::integerOf(row[0], catalogue, false) || catalogue < kDrives ||
        catalogue > kServedLibraries) {
      config.SetLastError(kErrorDatabase, "A row of MMVendorCatalogue names no catalogue (0, 1 or 2).");
      return false;
    }
    read.push_back({catalogue, tkdb::textOf(row[1]), tkdb::textOf(row[2]), tkdb::textOf(row[3])});
  }
  out = std::move(read);
  return true;
}

void giveVendorCatalogues(ZQMACMediaConfig& config, const std::vector<MMStoredVendorEntry>& rows) {
  std::vector<ZQMACVendorEntry> lists[3];
  for (const MMStoredVendorEntry& row : rows)
    if (row.catalogue >= kDrives && row.catalogue <= kServedLibraries)
      lists[row.catalogue].push_back({row.vendor, row.product, row.label});
  ZQMACGraph::SetDriveVendors(config, std::move(lists[kDrives]));
  ZQMACGraph::SetLibraryVendors(config, false, std::move(lists[kLibraries]));
  ZQMACGraph::SetLibraryVendors(config, true, std::move(lists[kServedLibraries]));
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
