// Whether an object that a request names by id belongs to the library (or
// mount path) that the same request names. A request acts only on an object
// of its own library: one that names a mount path of library B together with
// library A is refused, naming both, before anything is changed, so that no
// console reaches another library's objects through a mistyped or forged id.
//
// Each check reads the stored row and answers one of three outcomes. A
// mount path (or device path) that does not exist at all is not this
// check's to refuse: the operation then answers as it does for an unknown
// object. A row that cannot be read refuses the request.
#pragma once

#include <string>

namespace tkezconfig {

enum class Ownership {
  kOwn,      // the object belongs where the request says, or does not exist
  kForeign,  // it belongs elsewhere: refuse with `refusal`
  kUnread,   // its row could not be read: refuse with `refusal`
};

// Catalogue ids of the refusals (texts in platform/catalogue/texts/ownership.cpp).
inline constexpr unsigned long kTextMountPathOfOtherLibrary = 0x23000DA0;  // %1 mount path, %2 library
inline constexpr unsigned long kTextLibraryIdAndNameDiffer = 0x23000DA1;   // %1 library id, %2 library name
inline constexpr unsigned long kTextDeviceOfOtherMountPath = 0x23000DA2;   // %1 device, %2 mount path
inline constexpr unsigned long kTextDevicePathOfOtherMountPath = 0x23000DA3;  // %1 device path, %2 mount path
inline constexpr unsigned long kTextDeviceOfOtherLibrary = 0x23000DA7;      // %1 device, %2 library
inline constexpr unsigned long kTextDatabaseUnread = 0x230001E3;

// Mount path `mountPathId` is of library `libraryId` (named `libraryName`,
// which the refusal shows; its id when empty). A library id below 1 names
// no library and is not checked.
Ownership mountPathOfLibrary(int mountPathId, int libraryId, const std::string& libraryName, unsigned long locale,
                             std::string& refusal);

// Device `deviceId` holds a mount path of library `libraryId` (named
// `libraryName`, as above). A library id below 1 is not checked.
Ownership deviceOfLibrary(int deviceId, int libraryId, const std::string& libraryName, unsigned long locale,
                          std::string& refusal);

// Library id `libraryId` and library name `libraryName` name the same
// library. Either one missing (id below 1, empty name) is not checked, nor
// is a name that names no library (the operation refuses it as unknown).
// Of two or more libraries spelled as the name, the id picks its own; an
// id that is none of them names another library.
Ownership libraryIdMatchesName(int libraryId, const std::string& libraryName, unsigned long locale,
                               std::string& refusal);

// Device `deviceId` is the device under mount path `mountPathId`.
Ownership deviceOfMountPath(int deviceId, int mountPathId, unsigned long locale, std::string& refusal);

// Device path (device controller) `deviceControllerId` lies on the device
// under mount path `mountPathId`.
Ownership devicePathOfMountPath(int deviceControllerId, int mountPathId, unsigned long locale, std::string& refusal);

}  // namespace tkezconfig
