// The vendor catalogues of the media-configuration model, read from the
// database (table MMVendorCatalogue), and what a library server on a host
// offers when no test scripted it.
#pragma once

#include <string>
#include <vector>

class ZQMACMediaConfig;

namespace tkmac {

// Reads the drive catalogue and the two library catalogues into `config`,
// replacing what it held. False, with the instance's last error set and
// its catalogues left as they were, when the table cannot be read.
bool loadVendorCatalogues(ZQMACMediaConfig& config);

// The libraries of `vendor` and `product` attached to the media agent
// named `host` (MMAttachedLibrary), by serial number in the order they were
// attached: what the library server on that host serves. False with
// `error` set when they cannot be read.
bool attachedLibraryServerNames(const std::string& host, const std::string& vendor, const std::string& product,
                                std::vector<std::string>& names, std::string& error);

}  // namespace tkmac
