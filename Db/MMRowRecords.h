// Row-only records: rows of media-management tables that the platform's
// table access (platform/mmdb/) fills and the handlers read. Unlike the
// bindings under Db/Tbl/ they have no catalogue, no table object, no schema
// string and no column names: only the row struct, whose layout is the
// contract with the table access (fields in this order and of these widths,
// natural alignment: int on 4 bytes, long long and char* on 8, char arrays
// on 1). The static_asserts below pin that layout.
//
// A handler makes a record on its stack, hands it by reference to one call
// and reads the few fields it needs:
//
//   MMDevice_t device;
//   MMDeviceDB devices(&log);
//   if (devices.getInfoByAliasName(name, device, nullptr) == 0) ... device.DeviceTypeId ...
//
// Every integer is 0 and every text empty after construction; a heap text is
// null and owned by its record, which releases it (array delete) on
// destruction. Records are never copied: the ones that own a heap text would
// free it twice. A caller that zeroes a record before a call (as some
// handlers do) writes through a void pointer:
// std::memset(static_cast<void*>(&row), 0, sizeof row).
#pragma once

#include <cstddef>

// One storage device (table MMDevice). Field 2 is the device's name, the
// alias name under which lookups by name find it; field 5 its type code.
struct MMDevice_t {
  int DeviceId = 0;               // 1: the device id
  char AliasName[513] = {};       // 2: the device name
  int DeviceSoftState = 0;        // 3
  int DeviceEnabled = 0;          // 4
  int DeviceTypeId = 0;           // 5: the device type code
  int DeviceBroken = 0;           // 6
  int DeviceAccessible = 0;       // 7
  int CloudServiceType = 0;       // 8
  int DeviceFlags = 0;            // 9
  int VendorId = 0;               // 10
  int RMStatus = 0;               // 11
  int RMStatusUpdateTime = 0;     // 12
  int origTFId = 0;               // 13
  int origDeviceId = 0;           // 14
  int DeviceAttribute = 0;        // 15: the disk-volume properties item 9640
  char SerialNumber[257] = {};    // 16
  int IsOffline = 0;              // 17
  int OfflineReason = 0;          // 18
  int OfflineReasonEventId = 0;   // 19
  int UseCount = 0;               // 20
  int ExtendedAttributes = 0;     // 21

  MMDevice_t() = default;
  MMDevice_t(const MMDevice_t&) = delete;
  MMDevice_t& operator=(const MMDevice_t&) = delete;
};

// One media side (table MMMediaSide); field 13 is its capacity.
struct MMMediaSide_t {
  int MediaSideId = 0;            // 1
  int MediaId = 0;                // 2
  char SideName[81] = {};         // 3
  int SideNumber = 0;             // 4
  int MediaSideState = 0;         // 5
  int MasterPoolId = 0;           // 6
  int Attribute = 0;              // 7
  int NumberOfWriters = 0;        // 8
  int RMStatus = 0;               // 9
  int RMStatusUpdateTime = 0;     // 10
  long long DataWrittenBytes = 0;   // 11
  long long PhysicalBytesUsed = 0;  // 12
  long long TotalCapacity = 0;      // 13: the capacity of the side
  long long LastWriteTime = 0;      // 14
  int origTFId = 0;               // 15
  int origMediaSideId = 0;        // 16
  int ExtendedAttributes = 0;     // 17
  char SideLabel[65] = {};        // 18
  char ExternalGUID[34] = {};     // 19
  int IsOffline = 0;              // 20
  int OfflineReason = 0;          // 21
  int OfflineReasonEventId = 0;   // 22
  int ChunkSizeMB = 0;            // 23

  MMMediaSide_t() = default;
  MMMediaSide_t(const MMMediaSide_t&) = delete;
  MMMediaSide_t& operator=(const MMMediaSide_t&) = delete;
};

// One medium (table MMMedia); owns its description (field 24).
struct MMMedia_t {
  int MediaId = 0;                // 1: the media id
  char MediaName[301] = {};       // 2
  char BarCode[257] = {};         // 3
  int MediaTypeId = 0;            // 4
  long long MediaInstallTime = 0; // 5
  int MediaSoftState = 0;         // 6
  long long LastWriteTime = 0;    // 7
  long long LastReadTime = 0;     // 8
  int MediaEnabled = 0;           // 9
  int MediaBroken = 0;            // 10
  long long Capacity = 0;         // 11
  int NumberOfSides = 0;          // 12
  char ExternalGUID[34] = {};     // 13
  int LibraryId = 0;              // 14
  int MasterPoolId = 0;           // 15
  int SlotId = 0;                 // 16
  int MediaStatus = 0;            // 17
  int MediaUsage = 0;             // 18
  int MountCount = 0;             // 19
  int ErrorCount = 0;             // 20
  long long DataWritten = 0;      // 21
  int VaultId = 0;                // 22
  int ContainerId = 0;            // 23
  char* Descript = nullptr;       // 24: heap text
  int RMStatus = 0;               // 25
  long long RetentionTime = 0;    // 26
  int origTFId = 0;               // 27
  long long LastMountTime = 0;    // 28
  int origMediaId = 0;            // 29
  int MediaAttribute = 0;         // 30
  int NumReadErrors = 0;          // 31
  int NumWriteErrors = 0;         // 32
  int CleaningCount = 0;          // 33
  int MediaLocation = 0;          // 34
  int ExtendedAttributes = 0;     // 35
  long long LastCleanTime = 0;    // 36
  char PrivateData[115] = {};     // 37

  MMMedia_t() = default;
  ~MMMedia_t() {
    delete[] Descript;
    Descript = nullptr;
  }
  MMMedia_t(const MMMedia_t&) = delete;
  MMMedia_t& operator=(const MMMedia_t&) = delete;
};

// One client (table APP_Client); field 2 is its name. Five texts fill the
// byte spans that the table access fills (512, 511, 513, 512, 512 and, to
// the end of the record, 516 bytes); owns its description (field 11).
struct APP_Client_t {
  int id = 0;                     // 1: the client id
  char name[512] = {};            // 2: the client's name
  int versionRelease = 0;         // 3
  char hostDisplayName[511] = {}; // 4
  char net_hostname[513] = {};    // 5
  long long installTime = 0;      // 6
  long long lastUpdateTime = 0;   // 7
  int versionServicePack = 0;     // 8
  long long clientFlags = 0;      // 9
  char installDirectory[512] = {};  // 10
  char* description = nullptr;    // 11: heap text
  char domainName[512] = {};      // 12
  int osTypeId = 0;               // 13
  int status = 0;                 // 14
  int clientType = 0;             // 15
  int tarnfoldId = 0;             // 16
  int timeZoneId = 0;             // 17
  int isVirtual = 0;              // 18
  int licenseType = 0;            // 19
  long long lastContactTime = 0;  // 20
  int servicePort = 0;            // 21
  char clientGUID[65] = {};       // 22
  int attribute = 0;              // 23
  char osName[516] = {};          // 24

  APP_Client_t() = default;
  ~APP_Client_t() {
    delete[] description;
    description = nullptr;
  }
  APP_Client_t(const APP_Client_t&) = delete;
  APP_Client_t& operator=(const APP_Client_t&) = delete;
};

// One library controller: a media agent (ClientId) that controls a library.
struct MMLibraryController_t {
  int LibraryControllerId = 0;    // 1: the controller's id
  char ControllerName[145] = {};  // 2
  int ClientId = 0;               // 3
  int LibraryId = 0;              // 4
  int IsActive = 0;               // 5
  int IsEnabled = 0;              // 6
  int ControllerType = 0;         // 7
  int RMStatus = 0;               // 8
  int RMStatusUpdateTime = 0;     // 9
  char SerialNumber[33] = {};     // 10

  MMLibraryController_t() = default;
  MMLibraryController_t(const MMLibraryController_t&) = delete;
  MMLibraryController_t& operator=(const MMLibraryController_t&) = delete;
};

// One media-agent host (table MMHost); field 1 is the media agent's client
// id; owns its description (field 14).
struct MMHost_t {
  int ClientId = 0;               // 1: the media agent's client id
  int Attribute = 0;              // 2
  int IsPushedToAnotherTK = 0;    // 3
  int IsPowerManaged = 0;         // 4
  int IsPoweredOff = 0;           // 5
  long long LastHeartbeatTime = 0;  // 6
  int HostState = 0;              // 7
  char IndexCachePath[1025] = {};   // 8
  char ConfigParams[2049] = {};     // 9
  char WorkingDirectory[1025] = {}; // 10
  int MaxStreams = 0;             // 11
  int PowerManagementType = 0;    // 12
  int ServicePort = 0;            // 13
  char* Descript = nullptr;       // 14: heap text
  int RMStatus = 0;               // 15
  int RMStatusUpdateTime = 0;     // 16
  int origTFId = 0;               // 17
  int origClientId = 0;           // 18

  MMHost_t() = default;
  ~MMHost_t() {
    delete[] Descript;
    Descript = nullptr;
  }
  MMHost_t(const MMHost_t&) = delete;
  MMHost_t& operator=(const MMHost_t&) = delete;
};

// ---- layouts --------------------------------------------------------------------------

static_assert(offsetof(MMDevice_t, DeviceId) == 0);
static_assert(offsetof(MMDevice_t, AliasName) == 4);
static_assert(offsetof(MMDevice_t, DeviceSoftState) == 520);
static_assert(offsetof(MMDevice_t, DeviceTypeId) == 528);
static_assert(offsetof(MMDevice_t, origDeviceId) == 564);
static_assert(offsetof(MMDevice_t, DeviceAttribute) == 568);
static_assert(offsetof(MMDevice_t, SerialNumber) == 572);
static_assert(offsetof(MMDevice_t, IsOffline) == 832);
static_assert(offsetof(MMDevice_t, ExtendedAttributes) == 848);
static_assert(sizeof(MMDevice_t) == 852, "MMDevice_t: 21 fields in order, natural alignment");

static_assert(offsetof(MMMediaSide_t, MediaSideId) == 0);
static_assert(offsetof(MMMediaSide_t, SideName) == 8);
static_assert(offsetof(MMMediaSide_t, SideNumber) == 92);
static_assert(offsetof(MMMediaSide_t, RMStatusUpdateTime) == 116);
static_assert(offsetof(MMMediaSide_t, DataWrittenBytes) == 120);
static_assert(offsetof(MMMediaSide_t, TotalCapacity) == 136);
static_assert(offsetof(MMMediaSide_t, LastWriteTime) == 144);
static_assert(offsetof(MMMediaSide_t, origTFId) == 152);
static_assert(offsetof(MMMediaSide_t, SideLabel) == 164);
static_assert(offsetof(MMMediaSide_t, ExternalGUID) == 229);
static_assert(offsetof(MMMediaSide_t, IsOffline) == 264);
static_assert(offsetof(MMMediaSide_t, ChunkSizeMB) == 276);
static_assert(sizeof(MMMediaSide_t) == 280, "MMMediaSide_t: 23 fields in order, natural alignment");

static_assert(offsetof(MMMedia_t, MediaId) == 0);
static_assert(offsetof(MMMedia_t, MediaName) == 4);
static_assert(offsetof(MMMedia_t, BarCode) == 305);
static_assert(offsetof(MMMedia_t, MediaTypeId) == 564);
static_assert(offsetof(MMMedia_t, MediaInstallTime) == 568);
static_assert(offsetof(MMMedia_t, MediaSoftState) == 576);
static_assert(offsetof(MMMedia_t, LastWriteTime) == 584);
static_assert(offsetof(MMMedia_t, Capacity) == 608);
static_assert(offsetof(MMMedia_t, NumberOfSides) == 616);
static_assert(offsetof(MMMedia_t, ExternalGUID) == 620);
static_assert(offsetof(MMMedia_t, LibraryId) == 656);
static_assert(offsetof(MMMedia_t, ErrorCount) == 680);
static_assert(offsetof(MMMedia_t, DataWritten) == 688);
static_assert(offsetof(MMMedia_t, Descript) == 704);
static_assert(offsetof(MMMedia_t, RMStatus) == 712);
static_assert(offsetof(MMMedia_t, RetentionTime) == 720);
static_assert(offsetof(MMMedia_t, origTFId) == 728);
static_assert(offsetof(MMMedia_t, LastMountTime) == 736);
static_assert(offsetof(MMMedia_t, origMediaId) == 744);
static_assert(offsetof(MMMedia_t, ExtendedAttributes) == 768);
static_assert(offsetof(MMMedia_t, LastCleanTime) == 776);
static_assert(offsetof(MMMedia_t, PrivateData) == 784);
static_assert(sizeof(MMMedia_t) == 904, "MMMedia_t: 37 fields in order, natural alignment");

static_assert(offsetof(APP_Client_t, id) == 0);
static_assert(offsetof(APP_Client_t, name) == 4);
static_assert(offsetof(APP_Client_t, versionRelease) == 516);
static_assert(offsetof(APP_Client_t, hostDisplayName) == 520);
static_assert(offsetof(APP_Client_t, net_hostname) == 1031);
static_assert(offsetof(APP_Client_t, installTime) == 1544);
static_assert(offsetof(APP_Client_t, versionServicePack) == 1560);
static_assert(offsetof(APP_Client_t, clientFlags) == 1568);
static_assert(offsetof(APP_Client_t, installDirectory) == 1576);
static_assert(offsetof(APP_Client_t, description) == 2088);
static_assert(offsetof(APP_Client_t, domainName) == 2096);
static_assert(offsetof(APP_Client_t, osTypeId) == 2608);
static_assert(offsetof(APP_Client_t, licenseType) == 2632);
static_assert(offsetof(APP_Client_t, lastContactTime) == 2640);
static_assert(offsetof(APP_Client_t, servicePort) == 2648);
static_assert(offsetof(APP_Client_t, clientGUID) == 2652);
static_assert(offsetof(APP_Client_t, attribute) == 2720);
static_assert(offsetof(APP_Client_t, osName) == 2724);
static_assert(sizeof(APP_Client_t) == 3240, "APP_Client_t: 24 fields in order; the last text runs to the end");

static_assert(offsetof(MMLibraryController_t, LibraryControllerId) == 0);
static_assert(offsetof(MMLibraryController_t, ControllerName) == 4);
static_assert(offsetof(MMLibraryController_t, ClientId) == 152);
static_assert(offsetof(MMLibraryController_t, IsActive) == 160);
static_assert(offsetof(MMLibraryController_t, RMStatusUpdateTime) == 176);
static_assert(offsetof(MMLibraryController_t, SerialNumber) == 180);
static_assert(sizeof(MMLibraryController_t) == 216, "MMLibraryController_t: 10 fields in order, natural alignment");

static_assert(offsetof(MMHost_t, ClientId) == 0);
static_assert(offsetof(MMHost_t, IsPoweredOff) == 16);
static_assert(offsetof(MMHost_t, LastHeartbeatTime) == 24);
static_assert(offsetof(MMHost_t, HostState) == 32);
static_assert(offsetof(MMHost_t, IndexCachePath) == 36);
static_assert(offsetof(MMHost_t, ConfigParams) == 1061);
static_assert(offsetof(MMHost_t, WorkingDirectory) == 3110);
static_assert(offsetof(MMHost_t, MaxStreams) == 4136);
static_assert(offsetof(MMHost_t, ServicePort) == 4144);
static_assert(offsetof(MMHost_t, Descript) == 4152);
static_assert(offsetof(MMHost_t, RMStatus) == 4160);
static_assert(offsetof(MMHost_t, origClientId) == 4172);
static_assert(sizeof(MMHost_t) == 4176, "MMHost_t: 18 fields in order, natural alignment");
