// Names of the numbers in answers (see ValueNames.h).
#include "console/ValueNames.h"

#include <cstdint>

#include "console/StorageLibraryCommands.h"
#include "frame/ElementTags.h"
#include "platform/ndmp/NasUtil.h"
#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/StorageLibraryMessages.h"
#include "platform/xml/ZQGuiMessages.h"

namespace tkconsole {
namespace {

struct Named {
  long long value;
  const char* name;
};

template <std::size_t N>
const char* find(const Named (&table)[N], long long value) {
  for (const Named& entry : table)
    if (entry.value == value) return entry.name;
  return nullptr;
}

// Object types of the media-configuration model.
constexpr Named kObjectTypes[] = {
    {1, "tape or optical library"},
    {2, "master drive pool"},
    {3, "drive pool"},
    {4, "drive path"},
    {5, "disk library"},
    {6, "mount path"},
    {10, "library child"},
    {12, "disk device"},
    {14, "drive"},
    {20, "media agent"},
    {21, "library controller"},
    {22, "IP library controller"},
    {23, "library"},
    {24, "disk volume"},
    {25, "copy-manager device"},
    {26, "copy-manager controller"},
    {27, "archive cluster"},
    {28, "host"},
    {29, "node"},
};

constexpr Named kDrivePoolTypes[] = {{3, "NDMP pool"}};
constexpr Named kLibraryTypes[] = {{3, "disk library"}, {10, "replication-store library"}};

// Field 2 of the lock request's body.
constexpr Named kLockOperations[] = {
    {0, "unlock"}, {1, "lock"}, {2, "unlock without the library check"}, {3, "take the lock over"}};
constexpr Named kVendorTypes[] = {{400, "Ferrane cloud-storage service"}};
constexpr Named kDriveOptions[] = {{1, "replaced"}, {2, "cleaned"}, {3, "fixed"}};
constexpr Named kDevicePathOperations[] = {{1, "add"}, {2, "change"}, {3, "remove"}};
constexpr Named kGenericCodes[] = {{ZQGui::GenericResp::kCodeSuccess, "success"},
                                   {ZQGui::GenericResp::kCodeFailure, "failure"}};

// "11 (tape or optical library, not configured)".
std::string iconName(uint32_t icon) {
  const char* type = find(kObjectTypes, icon / 10);
  if (type == nullptr || icon % 10 > 1) return std::string();
  return std::string(type) + (icon % 10 == 1 ? ", not configured" : "");
}

std::string ndmpOsTypeName(uint32_t osType) {
  const std::string name = NasUtil::getOsTypeString(static_cast<int>(osType));
  // The platform names a type it does not know by its number alone.
  return name.rfind("NDMP OS type ", 0) == 0 ? std::string() : name;
}

std::string itemValueName(uint32_t tag, uint32_t value) {
  const char* name = nullptr;
  switch (tag) {
    case tktag::kIcon: return iconName(value);
    case tktag::kNdmpOsType: return ndmpOsTypeName(value);
    case tktag::kDrivePoolType: name = find(kDrivePoolTypes, value); break;
    case tktag::kLibraryType: name = find(kLibraryTypes, value); break;
    default: break;
  }
  return name != nullptr ? name : std::string();
}

}  // namespace

std::string describeNamedValue(const tkwire::Item& item) {
  // A number alone (the drive-pool type comes as an id with an empty text).
  if (item.bytes.size() != 4) return std::string();
  const std::string name = itemValueName(item.tag, item.u32());
  return name.empty() ? std::string() : std::to_string(item.u32()) + " (" + name + ")";
}

std::string driveOptionNames() {
  std::string names;
  for (const Named& option : kDriveOptions)
    names += (names.empty() ? "" : ", ") + std::to_string(option.value) + " " + option.name;
  return names;
}

std::string xmlValueName(const tkxml::ClassInfo& info, unsigned tag, long long value) {
  using Info = EVGui::StorageLibraryInfo;
  using Lock = EVGui::MMConfigurationLockUnlockInfo;
  using Path = EVGui::MMDevicePathInfo;
  const char* name = nullptr;
  if (info.classHash == Info::kClassHash) {
    if (tag == Info::kOperation.tag) name = storageLibraryOperationName(value);
    if (tag == Info::kStorageVendorType.tag) name = find(kVendorTypes, value);
    if (tag == Info::kDriveOption.tag) name = find(kDriveOptions, value);
  } else if (info.classHash == Lock::kClassHash && tag == Lock::kOperation.tag) {
    name = find(kLockOperations, value);
  } else if (info.classHash == Path::kClassHash && tag == Path::kOperation.tag) {
    name = find(kDevicePathOperations, value);
  } else if ((info.classHash == ZQGui::GenericResp::kClassHash || info.classHash == EVGui::GenericResp::kClassHash) &&
             tag == ZQGui::GenericResp::kCode.tag) {
    name = find(kGenericCodes, value);
  }
  return name != nullptr ? name : std::string();
}

}  // namespace tkconsole
