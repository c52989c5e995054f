// Layouts of the rows and records the table access fills.
#include "platform/mmdb/MMLayouts.h"

#include <cstddef>

#include "Db/MMRowRecords.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMHybridCloudMapping.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "Db/Tbl/MMRPStoreConfig.h"
#include "platform/db/TextWidth.h"
#include "platform/mmdb/MMRows.h"

// A field and the column that fills it; as a rule the column of the
// field's own name, else the one named (MM_I_AS ...).
#define MM_COLUMN(Row, f, column, kind) \
  ZQDBColumnDesc { column, 0, 0, offsetof(Row, f), sizeof(Row::f), ZQDBFieldKind::kind }
#define MM_FIELD(Row, f, kind) MM_COLUMN(Row, f, #f, kind)
#define MM_I(Row, f) MM_FIELD(Row, f, Int32)
#define MM_X(Row, f) MM_FIELD(Row, f, Int64)
#define MM_S(Row, f) MM_FIELD(Row, f, FixedText)
#define MM_H(Row, f) MM_FIELD(Row, f, HeapText)
#define MM_I_AS(Row, f, column) MM_COLUMN(Row, f, column, Int32)
#define MM_S_AS(Row, f, column) MM_COLUMN(Row, f, column, FixedText)
#define MM_H_AS(Row, f, column) MM_COLUMN(Row, f, column, HeapText)

namespace tkmmdb {

namespace {

template <class Row>
MMLayout bindingLayout(const char* table, const char* orderBy) {
  const ZQDBColumns& c = Row::zqdbColumns();
  return MMLayout{table, c.cols, c.count, orderBy};
}

template <size_t N>
MMLayout recordLayout(const char* table, const ZQDBColumnDesc (&cols)[N], const char* orderBy) {
  return MMLayout{table, cols, static_cast<int>(N), orderBy};
}

const ZQDBColumnDesc kDevice[] = {
    MM_I(MMDevice_t, DeviceId),          MM_S(MMDevice_t, AliasName),       MM_I(MMDevice_t, DeviceSoftState),
    MM_I(MMDevice_t, DeviceEnabled),     MM_I(MMDevice_t, DeviceTypeId),    MM_I(MMDevice_t, DeviceBroken),
    MM_I(MMDevice_t, DeviceAccessible),  MM_I(MMDevice_t, CloudServiceType), MM_I(MMDevice_t, DeviceFlags),
    MM_I(MMDevice_t, VendorId),          MM_I(MMDevice_t, RMStatus),        MM_I(MMDevice_t, RMStatusUpdateTime),
    MM_I(MMDevice_t, origTFId),          MM_I(MMDevice_t, origDeviceId),    MM_I(MMDevice_t, DeviceAttribute),
    MM_S(MMDevice_t, SerialNumber),      MM_I(MMDevice_t, IsOffline),       MM_I(MMDevice_t, OfflineReason),
    MM_I(MMDevice_t, OfflineReasonEventId), MM_I(MMDevice_t, UseCount),     MM_I(MMDevice_t, ExtendedAttributes),
};

const ZQDBColumnDesc kMediaSide[] = {
    MM_I(MMMediaSide_t, MediaSideId),      MM_I(MMMediaSide_t, MediaId),           MM_S(MMMediaSide_t, SideName),
    MM_I(MMMediaSide_t, SideNumber),       MM_I(MMMediaSide_t, MediaSideState),    MM_I(MMMediaSide_t, MasterPoolId),
    MM_I(MMMediaSide_t, Attribute),        MM_I(MMMediaSide_t, NumberOfWriters),   MM_I(MMMediaSide_t, RMStatus),
    MM_I(MMMediaSide_t, RMStatusUpdateTime), MM_X(MMMediaSide_t, DataWrittenBytes), MM_X(MMMediaSide_t, PhysicalBytesUsed),
    MM_X(MMMediaSide_t, TotalCapacity),    MM_X(MMMediaSide_t, LastWriteTime),     MM_I(MMMediaSide_t, origTFId),
    MM_I(MMMediaSide_t, origMediaSideId),  MM_I(MMMediaSide_t, ExtendedAttributes), MM_S(MMMediaSide_t, SideLabel),
    MM_S(MMMediaSide_t, ExternalGUID),     MM_I(MMMediaSide_t, IsOffline),         MM_I(MMMediaSide_t, OfflineReason),
    MM_I(MMMediaSide_t, OfflineReasonEventId), MM_I(MMMediaSide_t, ChunkSizeMB),
};

const ZQDBColumnDesc kMedia[] = {
    MM_I(MMMedia_t, MediaId),        MM_S(MMMedia_t, MediaName),     MM_S(MMMedia_t, BarCode),
    MM_I(MMMedia_t, MediaTypeId),    MM_X(MMMedia_t, MediaInstallTime), MM_I(MMMedia_t, MediaSoftState),
    MM_X(MMMedia_t, LastWriteTime),  MM_X(MMMedia_t, LastReadTime),  MM_I(MMMedia_t, MediaEnabled),
    MM_I(MMMedia_t, MediaBroken),    MM_X(MMMedia_t, Capacity),      MM_I(MMMedia_t, NumberOfSides),
    MM_S(MMMedia_t, ExternalGUID),   MM_I(MMMedia_t, LibraryId),     MM_I(MMMedia_t, MasterPoolId),
    MM_I(MMMedia_t, SlotId),         MM_I(MMMedia_t, MediaStatus),   MM_I(MMMedia_t, MediaUsage),
    MM_I(MMMedia_t, MountCount),     MM_I(MMMedia_t, ErrorCount),    MM_X(MMMedia_t, DataWritten),
    MM_I(MMMedia_t, VaultId),        MM_I(MMMedia_t, ContainerId),   MM_H(MMMedia_t, Descript),
    MM_I(MMMedia_t, RMStatus),       MM_X(MMMedia_t, RetentionTime), MM_I(MMMedia_t, origTFId),
    MM_X(MMMedia_t, LastMountTime),  MM_I(MMMedia_t, origMediaId),   MM_I(MMMedia_t, MediaAttribute),
    MM_I(MMMedia_t, NumReadErrors),  MM_I(MMMedia_t, NumWriteErrors), MM_I(MMMedia_t, CleaningCount),
    MM_I(MMMedia_t, MediaLocation),  MM_I(MMMedia_t, ExtendedAttributes), MM_X(MMMedia_t, LastCleanTime),
    MM_S(MMMedia_t, PrivateData),
};

// The record keeps its own field names; the client table names five of
// those columns as the procedures and the cursor read them.
const ZQDBColumnDesc kClient[] = {
    MM_I(APP_Client_t, id),            MM_S(APP_Client_t, name),
    MM_I_AS(APP_Client_t, versionRelease, "releaseId"),
    MM_S_AS(APP_Client_t, hostDisplayName, "displayName"),
    MM_S(APP_Client_t, net_hostname),   MM_X(APP_Client_t, installTime),    MM_X(APP_Client_t, lastUpdateTime),
    MM_I_AS(APP_Client_t, versionServicePack, "servicePack"),
    MM_X(APP_Client_t, clientFlags),    MM_S(APP_Client_t, installDirectory),
    MM_H_AS(APP_Client_t, description, "clientDescription"),
    MM_S(APP_Client_t, domainName),
    MM_I_AS(APP_Client_t, osTypeId, "simOperatingSystemId"),
    MM_I(APP_Client_t, status),         MM_I(APP_Client_t, clientType),
    MM_I(APP_Client_t, tarnfoldId),    MM_I(APP_Client_t, timeZoneId),     MM_I(APP_Client_t, isVirtual),
    MM_I(APP_Client_t, licenseType),   MM_X(APP_Client_t, lastContactTime), MM_I(APP_Client_t, servicePort),
    MM_S(APP_Client_t, clientGUID),    MM_I(APP_Client_t, attribute),      MM_S(APP_Client_t, osName),
};

const ZQDBColumnDesc kLibraryController[] = {
    MM_I(MMLibraryController_t, LibraryControllerId), MM_S(MMLibraryController_t, ControllerName),
    MM_I(MMLibraryController_t, ClientId),            MM_I(MMLibraryController_t, LibraryId),
    MM_I(MMLibraryController_t, IsActive),            MM_I(MMLibraryController_t, IsEnabled),
    MM_I(MMLibraryController_t, ControllerType),      MM_I(MMLibraryController_t, RMStatus),
    MM_I(MMLibraryController_t, RMStatusUpdateTime),  MM_S(MMLibraryController_t, SerialNumber),
};

const ZQDBColumnDesc kHost[] = {
    MM_I(MMHost_t, ClientId),         MM_I(MMHost_t, Attribute),       MM_I(MMHost_t, IsPushedToAnotherTK),
    MM_I(MMHost_t, IsPowerManaged),   MM_I(MMHost_t, IsPoweredOff),    MM_X(MMHost_t, LastHeartbeatTime),
    MM_I(MMHost_t, HostState),        MM_S(MMHost_t, IndexCachePath),  MM_S(MMHost_t, ConfigParams),
    MM_S(MMHost_t, WorkingDirectory), MM_I(MMHost_t, MaxStreams),      MM_I(MMHost_t, PowerManagementType),
    MM_I(MMHost_t, ServicePort),      MM_H(MMHost_t, Descript),        MM_I(MMHost_t, RMStatus),
    MM_I(MMHost_t, RMStatusUpdateTime), MM_I(MMHost_t, origTFId),      MM_I(MMHost_t, origClientId),
};

const ZQDBColumnDesc kMasterPool[] = {
    MM_I(MMMasterPool_t, MasterPoolId), MM_S(MMMasterPool_t, MasterPoolName), MM_I(MMMasterPool_t, LibraryId),
    MM_I(MMMasterPool_t, MasterPoolType), MM_I(MMMasterPool_t, MaxDrivesToSwitch),
};

const ZQDBColumnDesc kBlrPair[] = {
    MM_I(BlrPair_t, PairId), MM_I(BlrPair_t, RPStoreId), MM_I(BlrPair_t, SourceClientId),
    MM_I(BlrPair_t, HeadProxyClientId), MM_I(BlrPair_t, GroupKey), MM_I(BlrPair_t, State),
};

const ZQDBColumnDesc kHybridCloud[] = {
    MM_I(MMHybridCloudMapping_t, CloudLibraryId), MM_I(MMHybridCloudMapping_t, DiskLibraryId),
};

const ZQDBColumnDesc kNdmpHost[] = {
    MM_I(MMNDMPHostInfo_t, ndmpHostId), MM_S(MMNDMPHostInfo_t, login),          MM_S(MMNDMPHostInfo_t, password),
    MM_I(MMNDMPHostInfo_t, listenPort), MM_S(MMNDMPHostInfo_t, firmwareRevision), MM_I(MMNDMPHostInfo_t, osType),
    MM_I(MMNDMPHostInfo_t, hostSettingA), MM_I(MMNDMPHostInfo_t, hostSettingB), MM_S(MMNDMPHostInfo_t, hostTag),
    MM_I(MMNDMPHostInfo_t, capabilityFlags), MM_I(MMNDMPHostInfo_t, clientId),
};

const ZQDBColumnDesc kRPStore[] = {
    MM_I(MMRPStoreConfig_t, RPStoreId), MM_S(MMRPStoreConfig_t, Name),     MM_I(MMRPStoreConfig_t, LibraryId),
    MM_I(MMRPStoreConfig_t, Field4),    MM_I(MMRPStoreConfig_t, MountPathId), MM_I(MMRPStoreConfig_t, State),
    MM_I(MMRPStoreConfig_t, Field7),    MM_I(MMRPStoreConfig_t, MinSpace), MM_I(MMRPStoreConfig_t, MaxSpace),
    MM_I(MMRPStoreConfig_t, Field10),   MM_I(MMRPStoreConfig_t, Field11),  MM_I(MMRPStoreConfig_t, Field12),
};

}  // namespace

const MMLayout& libraryLayout() {
  static const MMLayout l = bindingLayout<MMLibrary_t>("MMLibrary", "\"LibraryId\"");
  return l;
}
const MMLayout& mountPathLayout() {
  static const MMLayout l = bindingLayout<MMMountPath_t>("MMMountPath", "\"MountPathId\"");
  return l;
}
const MMLayout& deviceControllerLayout() {
  static const MMLayout l = bindingLayout<MMDeviceController_t>("MMDeviceController", "\"DeviceControllerId\"");
  return l;
}
const MMLayout& drivePoolLayout() {
  static const MMLayout l = bindingLayout<MMDrivePool_t>("MMDrivePool", "\"DrivePoolId\"");
  return l;
}
const MMLayout& deviceLayout() {
  static const MMLayout l = recordLayout("MMDevice", kDevice, "\"DeviceId\"");
  return l;
}
const MMLayout& mediaSideLayout() {
  static const MMLayout l = recordLayout("MMMediaSide", kMediaSide, "\"MediaSideId\"");
  return l;
}
const MMLayout& mediaLayout() {
  static const MMLayout l = recordLayout("MMMedia", kMedia, "\"MediaId\"");
  return l;
}
const MMLayout& clientLayout() {
  static const MMLayout l = recordLayout("APP_Client", kClient, "\"id\"");
  return l;
}
const MMLayout& libraryControllerLayout() {
  static const MMLayout l = recordLayout("MMLibraryController", kLibraryController, "\"LibraryControllerId\"");
  return l;
}
const MMLayout& hostLayout() {
  static const MMLayout l = recordLayout("MMHost", kHost, "\"ClientId\"");
  return l;
}
const MMLayout& masterPoolLayout() {
  static const MMLayout l = recordLayout("MMMasterPool", kMasterPool, "\"MasterPoolId\"");
  return l;
}
const MMLayout& blrPairLayout() {
  static const MMLayout l = recordLayout("BlrPair", kBlrPair, "\"PairId\"");
  return l;
}
const MMLayout& hybridCloudLayout() {
  static const MMLayout l = recordLayout("MMHybridCloudMapping", kHybridCloud, "\"CloudLibraryId\"");
  return l;
}
const MMLayout& ndmpHostLayout() {
  static const MMLayout l = recordLayout("MMNDMPHostInfo", kNdmpHost, "\"ndmpHostId\"");
  return l;
}
const MMLayout& rpStoreLayout() {
  static const MMLayout l = recordLayout("MMRPStoreConfig", kRPStore, "\"RPStoreId\"");
  return l;
}

namespace {

// The widths of the records' texts, declared with the columns they are read
// from: a text stored longer than the record holds would be read back cut.
[[maybe_unused]] const bool kWidthsDeclared = [] {
  for (const MMLayout* l :
       {&libraryLayout(), &mountPathLayout(), &deviceControllerLayout(), &drivePoolLayout(), &deviceLayout(),
        &mediaSideLayout(), &mediaLayout(), &clientLayout(), &libraryControllerLayout(), &hostLayout(),
        &masterPoolLayout(), &blrPairLayout(), &hybridCloudLayout(), &ndmpHostLayout(), &rpStoreLayout()})
    tkdb::declareTextWidths(l->table, l->cols, l->count);
  return true;
}();

}  // namespace

}  // namespace tkmmdb
