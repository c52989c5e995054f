// Pieces shared by the mount-path operations of the storage-library request
// (adding a mount path, sharing and unsharing it with a media agent, and
// changing its properties): texts in the request's locale, whole copies of
// request texts into the fixed fields of device-controller records, and the
// working state that the share front hands to the property step and the
// share tail.
//
// A request text never goes into a record field cut: a text that does not
// fit refuses the request (code -1) before anything is created or sent.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Db/MMRowRecords.h"
#include "Db/Tbl/MMDeviceController.h"
#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvMessageContainer.h"
#include "platform/db/TextWidth.h"
#include "platform/mmdb/ZQMMRecords.h"

namespace tkezconfig {

// Catalogue text `id` in the request's locale, with an optional text argument.
std::string mountPathCatalogueText(const StorageLibraryRequest& w, unsigned long id);
std::string mountPathCatalogueText(const StorageLibraryRequest& w, unsigned long id, const std::string& argument);
// The text of a table-access or media-management code in the request's
// locale; the catalogue's text of the code when it has none, and a text
// naming the code when neither has one.
std::string mountPathErrorText(const StorageLibraryRequest& w, int code);
// Refuses the request: code -1 and the one text of a text that does not
// fit its column (tkdb::fitsColumn) of `limit` bytes.
void refuseTooLong(StorageLibraryRequest& w, const char* what, const std::string& text, std::size_t limit);

// `text` into `field` whole; false (the request refused) when it does not fit.
template <std::size_t N>
bool storeWhole(StorageLibraryRequest& w, char (&field)[N], const std::string& text, const char* what) {
  if (!tkdb::fitsWhole(text, N - 1)) {
    refuseTooLong(w, what, text, N - 1);
    return false;
  }
  MMCopyText(field, text.c_str());
  return true;
}

// False (the request refused naming the limit) when `text` does not fit a
// column of `width` bytes whole; for texts a table call stores, whose own
// refusal would not say why.
inline bool fitsColumn(StorageLibraryRequest& w, const std::string& text, std::size_t width, const char* what) {
  if (tkdb::fitsWhole(text, width)) return true;
  refuseTooLong(w, what, text, width);
  return false;
}

// The width of a device's name (MMDevice.AliasName).
inline constexpr std::size_t kDeviceNameWidth = TK_TEXT_WIDTH(MMDevice_t, AliasName);

// The state of a share, unshare or property change between the front, the
// property step and the tail.
struct MountPathShareWork {
  MMDevice_t device;                  // the device under the mount path
  MMDeviceController_t controller;    // the library description's media agent's controller on it
  MMConfigDeviceControllerInfo entry;  // the one entry sent
  // The property step's audit parameters, in order.
  std::vector<EvMessageContainer> propertyAudit;
};

}  // namespace tkezconfig
