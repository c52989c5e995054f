// A replication-store library already in place for the delete, update and
// get tests: library 8 ("rplib8", described "old words") with mount paths 80
// and 81 on device 60, store 800 on mount path 80 (limits 10 and 20, with an
// off-peak schedule) and store 801 on mount path 81 (limits 30 and 40, no
// schedule); and block-level replication pairs on demand.
#pragma once

#include <string>

#include "tests/ezconfig_rpstore/RPStoreFixture.h"

namespace rpstoretest {

inline constexpr int kRpLib = 8;
inline constexpr int kStoreA = 800;
inline constexpr int kStoreB = 801;
inline constexpr const char* kStoredWindow = "<EVGui_IntervalWindow days=\"3\" from=\"01:00\" to=\"02:00\"/>";

inline void seedRPStoreLibrary(tktest::TestDatabase& db) {
  tktest::insertRows(db, "MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, Descript)",
                     {{kRpLib, "rplib8", "rplib8", 10, "old words"}});
  tktest::addMountPath(db, 80, kRpLib, 60, "/rp/a", 0, 9);
  tktest::addMountPath(db, 81, kRpLib, 60, "/rp/b", 0, 9);
  tktest::insertRows(db, "MMRPStoreConfig (RPStoreId, Name, LibraryId, MountPathId, State, MinSpace, MaxSpace)",
                     {{kStoreA, "rplib8", kRpLib, 80, 2, 10, 20}, {kStoreB, "rplib8", kRpLib, 81, 2, 30, 40}});
  EVGui::IntervalWindow window;
  EXPECT_EQ(window.unserialize(kStoredWindow), 0);
  std::string text;
  EXPECT_EQ(window.serialize(text), 0);
  tktest::insertRows(db, "MMRPStoreProp (RPStoreId, PropName, PropValue)", {{kStoreA, "OffPeak Schedule", text}});
}

// A pair of store `store` driven by head proxy `proxy` for the machine whose
// UUID is `uuid` (32 hexadecimal digits), in group `group`.
inline void addPair(tktest::TestDatabase& db, int pairId, int store, int proxy, const std::string& uuid, int group) {
  tktest::insertRows(db, "BlrPair (PairId, RPStoreId, HeadProxyClientId, GroupKey, MachineUUID)",
                     {{pairId, store, proxy, group, uuid}});
}

}  // namespace rpstoretest
