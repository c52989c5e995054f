// Fixed-size descriptions filled by the media-management client library and
// the NDMP filer access: an NDMP host, a copy-manager controller and a
// filer's mount point. The fixed texts are NUL-terminated within their
// fields; the constructors zero every field.
#pragma once

#include <cstdint>
#include <string>

struct MMNDMPHostInfoMsg {
  char hostName[1024];
  char loginName[1024];
  char encryptedPassword[2048];  // still encrypted, as the library keeps it
  int32_t value1;
  char text1[32];
  int32_t osType;
  int32_t clientId;
  int32_t value2;
  char text2[32];
  int32_t value3;

  MMNDMPHostInfoMsg() : hostName{}, loginName{}, encryptedPassword{}, value1(0), text1{}, osType(0), clientId(0),
                        value2(0), text2{}, value3(0) {}
};

struct MMCopyMgrCtrl {
  int32_t copyManagerId;
  int32_t clientId;
  int32_t controllerType;
  char controllerName[1024];
  char hostName[64];
  char typeName[32];

  MMCopyMgrCtrl() : copyManagerId(0), clientId(0), controllerType(0), controllerName{}, hostName{}, typeName{} {}
};

// A mount point of a NAS filer.
struct LncaMountPointInfo {
  std::string volumeName;
  std::string mountPath;
  std::string description;
  uint64_t sizeBytes = 0;
};
