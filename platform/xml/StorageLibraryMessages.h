// Messages of the storage-library request (namespace 13, EVGui): the request
// with its two library descriptions, the description itself with every
// field that the request's operations read, the success response, and the
// hybrid-cloud pairing nested in a description. Value types over
// CNMessageBase with no members of their own; numbers stated once beside each
// class hash and registered by platform/xml/registry/storagelibrary.cpp.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/CloudStorageMessages.h"
#include "platform/xml/Registry.h"
#include "platform/xml/ZqEntitiesMessages.h"

namespace EVGui {

// Hybrid-cloud pairing of a disk library with a cloud library.
class HybridCloudPairing : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::HybridCloudPairing";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 1015;
  static constexpr unsigned kClassHash = 0x0D5A7C13;
  // 0 or 1 applies the pairing; other values change nothing.
  static constexpr tkxml::FieldDef kPairing{1, 1, 0x7D13E5, tkxml::FieldKind::Int64, "pairing"};
  static constexpr tkxml::FieldDef kCloudLibrary{2, 2, 0x43B8A1, tkxml::FieldKind::Object,
                                                 ZqEntities::LibraryEntity::kNamespace,
                                                 ZqEntities::LibraryEntity::kClassNumber, "cloud library"};
  HybridCloudPairing() : CNMessageBase(kNamespace, kClassNumber) {}
};

// A library description.
class StorageLibraryInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::StorageLibraryInfo";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 596;
  static constexpr unsigned kClassHash = 0x0D1E7EAE;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kLibraryId{1, 1, 7465782, K::Int64, "library id"};
  static constexpr tkxml::FieldDef kMediaAgentName{3, 3, 3241900, K::String, "media-agent name"};
  static constexpr tkxml::FieldDef kMediaAgentId{7, 4, 15523452, K::Int64, "media-agent id"};
  // The library's alias name.
  static constexpr tkxml::FieldDef kLibraryName{8, 5, 10894822, K::String, "library name"};
  static constexpr tkxml::FieldDef kLibraryTypeId{12, 6, 11096725, K::Int64, "library type id"};
  // The storage policy of a replication-store request (its ordinal is not
  // known; one no other field uses).
  static constexpr tkxml::FieldDef kStoragePolicyId{13, 7, 210628, K::Int64, "storage-policy id"};
  // The name of a new block-level replication copy (replication stores).
  static constexpr tkxml::FieldDef kCopyName{19, 10, 678422, K::String, "replication copy name"};
  static constexpr tkxml::FieldDef kMountPathId{23, 11, 10742169, K::Int64, "mount-path id"};
  static constexpr tkxml::FieldDef kMountPathName{24, 12, 3956702, K::String, "mount-path name"};
  static constexpr tkxml::FieldDef kUserName{28, 13, 8585620, K::String, "user name"};
  static constexpr tkxml::FieldDef kPassword{32, 14, 9026203, K::PString, "password"};
  static constexpr tkxml::FieldDef kProxyPassword{33, 15, 12688169, K::PString, "proxy password"};
  static constexpr tkxml::FieldDef kDescription{37, 19, 3507196, K::String, "library description"};
  // The association check of a library delete runs only when this is present and 0.
  static constexpr tkxml::FieldDef kAssociationCheck{41, 20, 0x2B7E14, K::Int64, "association check"};
  // 400: the Ferrane cloud-storage service.
  static constexpr tkxml::FieldDef kStorageVendorType{42, 21, 2808093, K::Int64, "storage vendor type"};
  static constexpr tkxml::FieldDef kOperation{43, 22, 12335291, K::Int64, "operation code"};
  static constexpr tkxml::FieldDef kSerialNumber{44, 23, 8050050, K::String, "serial number"};
  // Passed to library auto-configuration as it is.
  static constexpr tkxml::FieldDef kAutoConfigText{48, 24, 10621564, K::String, "auto-configuration text"};
  static constexpr tkxml::FieldDef kAutoConfigFlag{52, 25, 0x15A2C9, K::Int64, "auto-configuration flag"};
  static constexpr tkxml::FieldDef kDeviceId{53, 26, 1894929, K::Int64, "device id"};
  static constexpr tkxml::FieldDef kAccessType{54, 27, 0x6C0F52, K::Int64, "access type"};
  static constexpr tkxml::FieldDef kDeviceAliasName{55, 28, 9236993, K::String, "device alias name"};
  static constexpr tkxml::FieldDef kDeviceType{59, 29, 0x39D4E8, K::Int64, "device type"};
  // The device name of the mount path: its base folder name.
  static constexpr tkxml::FieldDef kDeviceName{60, 30, 13233823, K::String, "device name"};
  static constexpr tkxml::FieldDef kMaxWriters{64, 31, 0x0E8B31, K::Int64, "max writers"};
  static constexpr tkxml::FieldDef kLibraryWriters{65, 32, 0x52F6AD, K::Int64, "number of writers"};
  static constexpr tkxml::FieldDef kReservedSpaceMB{66, 33, 0x7A0C4E, K::Int64, "reserved space (MB)"};
  static constexpr tkxml::FieldDef kLowWatermark{67, 34, 0x24E19B, K::Int64, "low watermark"};
  static constexpr tkxml::FieldDef kWarningWatermark{68, 35, 0x6F3A07, K::Int64, "warning watermark"};
  // Mount-path usage of a library change; the vault-lock value of operation 4096.
  static constexpr tkxml::FieldDef kMountPathUsage{69, 36, 0x11C5D8, K::Int64, "mount-path usage option"};
  static constexpr tkxml::FieldDef kResultCode{70, 37, 10268693, K::Int64, "result code"};
  static constexpr tkxml::FieldDef kReserveSpaceForSiloRestores{71, 38, 0x48A7F2, K::Int64, "reserve space for silo restores"};
  static constexpr tkxml::FieldDef kPreventDataDelete{72, 39, 0x0B9E64, K::Int64, "prevent data delete from mount path"};
  static constexpr tkxml::FieldDef kUsePnpWhenBlank{73, 40, 0x5D2B8F, K::Int64, "use PnP when blank"};
  static constexpr tkxml::FieldDef kHighThreshold{74, 41, 0x33F0C1, K::Int64, "high threshold percentage"};
  static constexpr tkxml::FieldDef kLowThreshold{75, 42, 0x7E6415, K::Int64, "low threshold percentage"};
  static constexpr tkxml::FieldDef kEnablePruning{76, 43, 0x2A8D5B, K::Int64, "enable pruning"};
  static constexpr tkxml::FieldDef kFillMountPathsBit{77, 44, 0x60C3A4, K::Int64, "library bit 0x400000"};
  static constexpr tkxml::FieldDef kDriveAliasName{78, 45, 0x1F7B26, K::String, "drive alias name"};
  // 1 replaced, 2 cleaned, 3 fixed.
  static constexpr tkxml::FieldDef kDriveOption{82, 46, 0x4E05D3, K::Int64, "drive option"};
  static constexpr tkxml::FieldDef kLibraryBit24{83, 47, 0x0C6A9E, K::Int64, "library bit 0x1000000"};
  static constexpr tkxml::FieldDef kLibraryBit25{84, 48, 0x71B248, K::Int64, "library bit 0x2000000"};
  static constexpr tkxml::FieldDef kUseDPSettingsForPruning{85, 49, 0x3C97E0, K::Int64, "use DP settings for pruning"};
  static constexpr tkxml::FieldDef kHybridCloudPairing{86, 50, 0x58D1B7, K::Object, HybridCloudPairing::kNamespace,
                                                       HybridCloudPairing::kClassNumber, "hybrid-cloud pairing"};
  static constexpr tkxml::FieldDef kMarkForMaintenance{87, 51, 0x2610FC, K::Int64, "mark library for maintenance"};
  static constexpr tkxml::FieldDef kCredential{88, 52, 8451646, K::Object, ZqEntities::CredentialEntity::kNamespace,
                                               ZqEntities::CredentialEntity::kClassNumber, "credential"};
  static constexpr tkxml::FieldDef kPreventDataBlockReferences{89, 53, 0x6B4E83, K::Int64, "prevent data block references"};
  static constexpr tkxml::FieldDef kActiveControllerAgent{90, 54, 0x17F2AB, K::Object,
                                                          ZqEntities::ClientEntity::kNamespace,
                                                          ZqEntities::ClientEntity::kClassNumber, "media agent of the active library controller"};
  static constexpr tkxml::FieldDef kMountPathCredential{95, 56, 0x4593D6, K::Object,
                                                        ZqEntities::CredentialEntity::kNamespace,
                                                        ZqEntities::CredentialEntity::kClassNumber, "mount-path credential"};
  static constexpr tkxml::FieldDef kEnableMountPath{96, 57, 0x0A7C5F, K::Int64, "enable mount path"};
  static constexpr tkxml::FieldDef kStorage{97, 58, 11551355, K::Object, App::Storage::kNamespace,
                                            App::Storage::kClassNumber, "cloud storage"};
  static constexpr tkxml::FieldDef kDistributedStorage{98, 59, 13178456, K::Object,
                                                       ZqEntities::DistributedStorageEntity::kNamespace,
                                                       ZqEntities::DistributedStorageEntity::kClassNumber, "distributed storage"};
  StorageLibraryInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The storage-library request: one operation on the library of the first
// description; the second carries new values and a second media agent.
class ConfigureStorageLibraryReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::ConfigureStorageLibraryReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 27;
  static constexpr unsigned kClassHash = 0x0D130098;
  static constexpr tkxml::FieldDef kLibrary{2, 2, 15213755, tkxml::FieldKind::Object,
                                            StorageLibraryInfo::kNamespace, StorageLibraryInfo::kClassNumber, "library description"};
  static constexpr tkxml::FieldDef kSecond{3, 3, 7534302, tkxml::FieldKind::Object, StorageLibraryInfo::kNamespace,
                                           StorageLibraryInfo::kClassNumber, "second description"};
  // 0 answers a library delete with success and deletes nothing.
  static constexpr tkxml::FieldDef kDeleteEnable{6, 6, 0x3D81F0, tkxml::FieldKind::Int64, "delete enable"};
  ConfigureStorageLibraryReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The answer on success: the library description as the operation left it.
class ConfigureStorageLibraryResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::ConfigureStorageLibraryResp";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 494;
  static constexpr unsigned kClassHash = 0x0D4D1316;
  static constexpr tkxml::FieldDef kLibrary{1, 1, 15213755, tkxml::FieldKind::Object, StorageLibraryInfo::kNamespace,
                                            StorageLibraryInfo::kClassNumber, "library description"};
  ConfigureStorageLibraryResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace EVGui
