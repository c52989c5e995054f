// Messages of the cloud-storage service: the storage a console asks to be
// provisioned (App::Storage, with its user and credential), and the
// container that provisioning fills and that deleting the storage takes
// back. Value types over CNMessageBase with no members of their own; numbers
// stated once beside each class hash and registered by
// platform/xml/registry/cloud.cpp.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"
#include "platform/xml/ZqEntitiesMessages.h"

namespace Identity {

// The user of a storage account: its name.
class UserInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "Identity::UserInfo";
  static constexpr unsigned kNamespace = 20;
  static constexpr unsigned kClassNumber = 0;
  static constexpr unsigned kClassHash = 0x148F63A6;
  static constexpr tkxml::FieldDef kUserName{1, 1, 1768694, tkxml::FieldKind::String, "user name"};
  UserInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace Identity

namespace App {

// A cloud storage: its name, vendor and storage type, its user and the
// saved credential that reaches it.
class Storage : public CNMessageBase {
 public:
  static constexpr const char* kName = "App::Storage";
  static constexpr unsigned kNamespace = 30;
  static constexpr unsigned kClassNumber = 1636;
  static constexpr unsigned kClassHash = 0x1EE8DA5B;
  static constexpr tkxml::FieldDef kStorageName{2, 2, 3433509, tkxml::FieldKind::String, "storage name"};
  static constexpr tkxml::FieldDef kUser{6, 3, 3744508, tkxml::FieldKind::Object, Identity::UserInfo::kNamespace,
                                         Identity::UserInfo::kClassNumber, "user"};
  static constexpr tkxml::FieldDef kCredential{7, 4, 8451646, tkxml::FieldKind::Object,
                                               ZqEntities::CredentialEntity::kNamespace,
                                               ZqEntities::CredentialEntity::kClassNumber, "credential"};
  static constexpr tkxml::FieldDef kVendorType{8, 5, 9438896, tkxml::FieldKind::Int64, "vendor type"};
  // 400 for the Ferrane service.
  static constexpr tkxml::FieldDef kStorageType{11, 11, 14184722, tkxml::FieldKind::Int64, "storage type"};
  Storage() : CNMessageBase(kNamespace, kClassNumber) {}
};

// What provisioning made: the storage's id and name at the service, and the
// service type. Handed back to delete the storage again.
class FerraneStorageContainer : public CNMessageBase {
 public:
  static constexpr const char* kName = "App::FerraneStorageContainer";
  static constexpr unsigned kNamespace = 30;
  static constexpr unsigned kClassNumber = 3182;
  static constexpr unsigned kClassHash = 0x1E5B0C6E;
  static constexpr tkxml::FieldDef kStorageId{1, 1, 0x2F61A9, tkxml::FieldKind::Int64, "storage id"};
  static constexpr tkxml::FieldDef kStorageName = Storage::kStorageName;
  static constexpr tkxml::FieldDef kCloudServiceType{11, 11, 0x4C0E37, tkxml::FieldKind::Int64, "cloud service type"};
  FerraneStorageContainer() : CNMessageBase(kNamespace, kClassNumber) {}
};

// Storage type and vendor type of the Ferrane cloud-storage service.
inline constexpr long long kFerraneStorageType = 400;

}  // namespace App
