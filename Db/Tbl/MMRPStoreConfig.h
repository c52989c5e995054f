// MMRPStoreConfig_t: the configuration of one replication store (RP store),
// the record in which the replication-store table access (MMRPStoreConfigDB:
// addRPStoreConfig, getInfo, getRPStoresForLibrary, updateRPStoreConfig,
// DeleteList) stores and returns it. The system has only the record: no
// catalogue, no table object. The replication-store library request fills
// a cleared record to create a store, rewrites name and space limits to
// update one, and reads id and space limits to show one.
//
// Fields 4, 7, 10, 11 and 12 belong to the table access; the system neither
// sets nor reads them and only carries them. The record owns nothing, so it
// may be copied (the table access hands out arrays of it).
#pragma once

#include <cstddef>

struct MMRPStoreConfig_t {
  int RPStoreId = 0;     // 1: the store's id; filled by addRPStoreConfig
  char Name[1025] = {};  // 2: the store (library) name, at most 1,024 bytes
  int LibraryId = 0;     // 3: the store's library
  int Field4 = 0;        // 4: the table access's
  int MountPathId = 0;   // 5: the store's mount path
  int State = 0;         // 6: 2 for a store the system creates
  int Field7 = 0;        // 7: the table access's
  int MinSpace = 0;      // 8: minimum space from the request
  int MaxSpace = 0;      // 9: maximum space from the request
  int Field10 = 0;       // 10: the table access's
  int Field11 = 0;       // 11: the table access's
  int Field12 = 0;       // 12: the table access's
};

// The state a newly created store gets.
inline constexpr int kRPStoreStateCreated = 2;

static_assert(offsetof(MMRPStoreConfig_t, RPStoreId) == 0);
static_assert(offsetof(MMRPStoreConfig_t, Name) == 4);
static_assert(offsetof(MMRPStoreConfig_t, LibraryId) == 1032);
static_assert(offsetof(MMRPStoreConfig_t, MountPathId) == 1040);
static_assert(offsetof(MMRPStoreConfig_t, State) == 1044);
static_assert(offsetof(MMRPStoreConfig_t, MinSpace) == 1052);
static_assert(offsetof(MMRPStoreConfig_t, MaxSpace) == 1056);
static_assert(sizeof(MMRPStoreConfig_t) == 1072, "twelve fields in order, natural alignment");
