// The vendor catalogues of the media-configuration model, read from the
// database (table MMVendorCatalogue), and what a library server on a host
// offers when no test scripted it.
#pragma once

#include <string>
#include <vector>

class ZQMACMediaConfig;
struct MMStoredVendorEntry;

namespace tkmac {

// Reads the rows of the drive catalogue and the two library catalogues.
// False, with the instance's last error set, when the table cannot be read
// or a row names no catalogue.
bool readVendorCatalogues(ZQMACMediaConfig& config, std::vector<MMStoredVendorEntry>& rows);
// Puts the catalogues of the rows (as readVendorCatalogues read them, or as
// the process kept them beside the configuration) into `config`, replacing
// what it held.
void giveVendorCatalogues(ZQMACMediaConfig& config, const std::vector<MMStoredVendorEntry>& rows);

// The libraries of `vendor` and `product` attached to the media agent
// named `host` (MMAttachedLibrary), by serial number in the order they were
// attached: what the library server on that host serves. False with
// `error` set when they cannot be read.
bool attachedLibraryServerNames(const std::string& host, const std::string& vendor, const std::string& product,
                                std::vector<std::string>& names, std::string& error);

}  // namespace tkmac
