// Entity messages of namespace 18 (ZqEntities): small records that name one
// object of the installation (a credential, a distributed storage, a library,
// a client) inside a larger request. Value types over CNMessageBase with no
// members of their own; each class states its numbers once, beside its class
// hash, and the registry (platform/xml/registry/) registers these very field
// definitions.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace ZqEntities {

// A saved credential: its id and its name.
class CredentialEntity : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZqEntities::CredentialEntity";
  static constexpr unsigned kNamespace = 18;
  static constexpr unsigned kClassNumber = 149;
  static constexpr unsigned kClassHash = 0x12BB1F3A;
  static constexpr tkxml::FieldDef kId{0, 0, 15415250, tkxml::FieldKind::Int64, "id"};
  static constexpr tkxml::FieldDef kCredentialName{1, 1, 16700290, tkxml::FieldKind::String, "credential name"};
  CredentialEntity() : CNMessageBase(kNamespace, kClassNumber) {}
};

// A distributed storage that a mount path is attached to: its id.
class DistributedStorageEntity : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZqEntities::DistributedStorageEntity";
  static constexpr unsigned kNamespace = 18;
  static constexpr unsigned kClassNumber = 167;
  static constexpr unsigned kClassHash = 0x1215E87B;
  static constexpr tkxml::FieldDef kId{0, 0, 14477715, tkxml::FieldKind::Int64, "id"};
  DistributedStorageEntity() : CNMessageBase(kNamespace, kClassNumber) {}
};

// A library: its id.
class LibraryEntity : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZqEntities::LibraryEntity";
  static constexpr unsigned kNamespace = 18;
  static constexpr unsigned kClassNumber = 12;
  static constexpr unsigned kClassHash = 0x1238A5C4;
  static constexpr tkxml::FieldDef kId{0, 0, 0x6A21D3, tkxml::FieldKind::Int64, "id"};
  LibraryEntity() : CNMessageBase(kNamespace, kClassNumber) {}
};

// A client (a media agent is one): its host id and its name.
class ClientEntity : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZqEntities::ClientEntity";
  static constexpr unsigned kNamespace = 18;
  static constexpr unsigned kClassNumber = 14;
  static constexpr unsigned kClassHash = 0x12C7E0D9;
  static constexpr tkxml::FieldDef kId{0, 0, 0x1B44F7, tkxml::FieldKind::Int64, "id"};
  static constexpr tkxml::FieldDef kClientName{1, 1, 0x5E9A02, tkxml::FieldKind::String, "client name"};
  ClientEntity() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace ZqEntities
