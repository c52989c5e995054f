// Rows that belong to the media-management table access itself (beside the
// bindings of Db/Tbl/ and the row-only records of Db/MMRowRecords.h): master
// pools, block-level replication pairs and NDMP host entries. (The
// hybrid-cloud mapping row is Db/Tbl/MMHybridCloudMapping.h.) They own nothing on the heap, so the lists of them are plain
// arrays (released with the class's DeleteList).
#pragma once

#include <cstdint>

// One master pool of a library: the pool of drives (or, for a disk library,
// of writers) that the library's drive pools belong to. MaxDrivesToSwitch
// is the writer limit of a disk library's master pool.
struct MMMasterPool_t {
  int MasterPoolId = 0;
  char MasterPoolName[257] = {};
  int LibraryId = 0;
  int MasterPoolType = 0;
  int MaxDrivesToSwitch = 0;
};

// One block-level replication pair: a protected machine replicated through
// a head proxy into an RP store.
struct BlrPair_t {
  int PairId = 0;
  int RPStoreId = 0;
  int SourceClientId = 0;
  int HeadProxyClientId = 0;
  int GroupKey = 0;
  int State = 0;
};

// One row of the NDMP host table: the NDMP login settings of a client.
struct MMNDMPHostInfo_t {
  int ndmpHostId = 0;              // the row's key; 0 in a row not read from the table
  char login[1025] = {};           // NDMP login name
  char password[2049] = {};        // NDMP password, stored encrypted
  int listenPort = 0;              // the filer's NDMP port
  char firmwareRevision[33] = {};  // firmware or OS version
  int osType = 0;                  // the NDMP server's OS type id
  int hostSettingA = 0;
  int hostSettingB = 0;
  char hostTag[33] = {};
  uint32_t capabilityFlags = 0;    // NDMP capability flags of the filer
  int clientId = 0;                // the client the row belongs to
};
