// Records that the handlers fill and hand to the client-info objects of the
// media-management service (platform/mmdb/ZQMMClientInfo.h): a device path
// (device controller) to add or change, an entry of a device-path list
// update, a device to create, a mount path to create and the request that
// starts or stops the pruning of aged data on a mount path.
//
// All are plain fixed-size records, zero-filled by their constructors (the
// controller records spell their alignment padding out, so that every byte
// is zero).
// MMDeviceControllerParams and MMConfigDeviceControllerInfo are copied by
// value (a list update is a std::vector of MMConfigDeviceControllerInfo in
// the order the caller appends them). Texts are NUL-terminated inside their
// arrays; MMCopyText puts a text into one, cut to the array's size less one
// byte and never split inside a UTF-8 character, so a record always holds a
// terminated text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Copies `text` (null = empty) into `field`, cut to N-1 bytes on a character
// boundary. Returns false when it had to cut.
template <size_t N>
bool MMCopyText(char (&field)[N], const char* text) {
  static_assert(N > 0);
  if (text == nullptr) {
    std::memset(field, 0, N);
    return true;
  }
  size_t length = strnlen(text, N);
  bool fits = length < N;
  if (!fits) {
    length = N - 1;
    // Do not end inside a multi-byte character.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(field, text, length);
  std::memset(field + length, 0, N - length);
  return fits;
}

// One device path: how one media agent (clientId) reaches the device behind
// a mount path.
struct MMDeviceControllerParams {
  uint32_t reserved1 = 0;           // 1: never set by the system
  uint32_t clientId = 0;            // 2: the media agent's client id
  uint32_t deviceId = 0;            // 3: the device (also given to the calls separately)
  uint32_t deviceControllerId = 0;  // 4: the existing controller; 0 for one to add
  char userName[1024] = {};         // 5: user name for the folder (a cloud path may carry a proxy)
  char password[2048] = {};         // 6: the password in its encrypted form, never plain
  char folder[1024] = {};           // 7: the path as the media agent reaches it
  uint32_t reserved8 = 0;           // 8: never set by the system
  uint32_t deviceAccessType = 0;    // 9: access-type bits (2, 4, 8; data-server bits 16, 32, 128)
  uint32_t maxDrivesToSwitch = 0;   // 10: writer limit of the media agent's drive pool
  uint32_t padding10_ = 0;          // (alignment of field 11, spelled out so that it is zeroed too)
  int64_t enabled = 0;              // 11: whether the controller is enabled
  uint32_t credentialId = 0;        // 12: a stored credential replacing user name and password; 0 none
  // The record's trailing padding, spelled out so that the four fields of a
  // list entry follow the whole record and never its padding.
  uint32_t padding_ = 0;
};

// Operations of a list entry.
enum MMDeviceControllerOperation : uint32_t {
  MM_DEVICE_CONTROLLER_ADD = 1,
  MM_DEVICE_CONTROLLER_CHANGE = 2,
  MM_DEVICE_CONTROLLER_REMOVE = 3,
};

// One entry of a device-path list update.
struct MMConfigDeviceControllerInfo : MMDeviceControllerParams {
  uint32_t operation = 0;    // 13: 1 add, 2 change, 3 remove
  uint32_t reserved14 = 0;   // 14
  uint32_t reserved15 = 0;   // 15
  uint32_t padding15_ = 0;   // (alignment of field 16)
  int64_t reserved16 = 0;    // 16
};

// A device to create.
struct MMDeviceParams {
  char deviceName[128] = {};     // the device's name
  int32_t deviceId = 0;          // filled in when the device is created
  int32_t deviceType = 0;        // the device type code (MMDevice.DeviceTypeId)
  int32_t value3 = 0;            // set to 0 by the callers
  int32_t value4 = 0;            // left 0 by the callers
  int32_t cloudServiceType = 0;  // the cloud service type, 0 when none
};

// A mount path to create (ZQMMmountPath). baseFolder points at the caller's
// text (the mount path's name), which must outlive the call; userName and
// password are copies that the record owns: set them with setUserName and
// setPassword (array-allocated), the destructor releases them. The record is
// therefore never copied.
struct MMSMountpathInfo {
  int32_t mountPathId = 0;        // the mount path (for deletion), 0 for a new one
  int32_t libraryId = 0;          // the library it belongs to
  const char* baseFolder = nullptr;  // name of the new mount path
  int32_t reserved4 = 0;
  int32_t reserved5 = 0;
  int32_t reserved6 = 0;
  int32_t reserved7 = 0;
  int32_t numberOfWriters = 0;    // writers of the mount path
  int32_t maxWriters = 0;         // most concurrent writers
  int32_t reserved10 = 0;
  char* userName = nullptr;       // owned copy
  char* password = nullptr;       // owned copy, encrypted form
  int32_t reserved13 = 0;
  int32_t reserved14 = 0;
  int32_t reserved15 = 0;
  int32_t reserved16 = 0;
  int32_t mountPathType = 0;      // the mount-path type to store
  int32_t deviceId = 0;           // the device it lies on
  int32_t reserved19 = 0;
  int32_t reserved20 = 0;
  int64_t reserved21 = 0;
  int32_t reserved22 = 0;

  MMSMountpathInfo() = default;
  ~MMSMountpathInfo() {
    delete[] userName;
    delete[] password;
  }
  MMSMountpathInfo(const MMSMountpathInfo&) = delete;
  MMSMountpathInfo& operator=(const MMSMountpathInfo&) = delete;

  void setUserName(const char* text) { replace(userName, text); }
  void setPassword(const char* text) { replace(password, text); }

 private:
  static void replace(char*& field, const char* text) {
    char* copy = nullptr;
    if (text != nullptr) {
      size_t n = std::strlen(text);
      copy = new char[n + 1];
      std::memcpy(copy, text, n + 1);
    }
    delete[] field;
    field = copy;
  }
};

// Header of a request to the media-management service.
struct MMSRequestHdr {
  uint32_t requestType = 0;
  char reserved[4] = {};
  int64_t requestId = 0;
  uint32_t value1 = 0;
  uint32_t value2 = 0;
  uint32_t value3 = 0;
  uint32_t value4 = 0;
};

// Pruning actions.
enum MMPruningAction : uint32_t {
  MM_PRUNING_START = 1,
  MM_PRUNING_STOP = 2,
};

// Starts or stops the pruning of aged data on one mount path. The caller
// sets version 1, the action, the mount path and the Tarnfold the mount
// path came from; everything else stays 0.
struct MMStartStopOnGoingPruningReq {
  MMSRequestHdr header;
  uint32_t version = 0;       // body field 1: 1
  uint32_t action = 0;        // body field 2: 1 start, 2 stop
  uint32_t mountPathId = 0;   // body field 3
  uint32_t value4 = 0;        // body field 4
  uint32_t tarnfoldId = 0;    // body field 5: the mount path's origin Tarnfold
  uint32_t value6 = 0;
  uint32_t value7 = 0;
  uint32_t value8 = 0;
  int64_t value9 = 0;
  int64_t value10 = 0;
  int64_t value11 = 0;
  uint32_t value12 = 0;
};

static_assert(offsetof(MMDeviceControllerParams, clientId) == 4);
static_assert(offsetof(MMDeviceControllerParams, deviceControllerId) == 12);
static_assert(offsetof(MMDeviceControllerParams, userName) == 16);
static_assert(offsetof(MMDeviceControllerParams, password) == 1040);
static_assert(offsetof(MMDeviceControllerParams, folder) == 3088);
static_assert(offsetof(MMDeviceControllerParams, deviceAccessType) == 4116);
static_assert(offsetof(MMDeviceControllerParams, enabled) == 4128);
static_assert(offsetof(MMDeviceControllerParams, credentialId) == 4136);
static_assert(sizeof(MMDeviceControllerParams) == 4144);
// operation at 4144, reserved16 at 4160 (a derived record is not standard
// layout, so its offsets are checked by the tests).
static_assert(sizeof(MMConfigDeviceControllerInfo) == 4168);
static_assert(offsetof(MMDeviceParams, deviceId) == 128);
static_assert(offsetof(MMDeviceParams, cloudServiceType) == 144);
static_assert(sizeof(MMDeviceParams) == 148);
static_assert(offsetof(MMSMountpathInfo, baseFolder) == 8);
static_assert(offsetof(MMSMountpathInfo, numberOfWriters) == 32);
static_assert(offsetof(MMSMountpathInfo, userName) == 48);
static_assert(offsetof(MMSMountpathInfo, password) == 56);
static_assert(offsetof(MMSMountpathInfo, mountPathType) == 80);
static_assert(offsetof(MMSMountpathInfo, deviceId) == 84);
static_assert(offsetof(MMSMountpathInfo, reserved21) == 96);
static_assert(sizeof(MMSMountpathInfo) == 112);
static_assert(sizeof(MMSRequestHdr) == 32);
static_assert(offsetof(MMStartStopOnGoingPruningReq, version) == 32);
static_assert(offsetof(MMStartStopOnGoingPruningReq, tarnfoldId) == 48);
static_assert(offsetof(MMStartStopOnGoingPruningReq, value9) == 64);
static_assert(sizeof(MMStartStopOnGoingPruningReq) == 96);
