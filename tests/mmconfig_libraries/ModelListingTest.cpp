// The object model's answers that the library listing relies on, where the
// records alone would not show them: library identity, drive counts per
// media agent, icon numbers and the library server's slot information of
// objects that are not the instance's, and the further controllers a
// configured library lists.
#include <gtest/gtest.h>

#include <functional>

#include "tests/mmconfig_libraries/LibrariesFixture.h"

namespace {

using libtest::ListingWorld;

class ModelListing : public libtest::LibrariesTest {};

TEST_F(ModelListing, LibrariesAreTheSameByIdentityOrByNameOnlyWhenAsked) {
  ListingWorld lw = libtest::seedListingWorld(config());
  ZQMACLibrary* other = ZQMACGraph::AddLms(config(), 6, "TapeLib1")->GetLibrary();
  ZQMACLibrary* self = lw.w.library;
  EXPECT_TRUE(self->IsSame(self, false, false));
  EXPECT_FALSE(self->IsSame(nullptr, true, true));
  EXPECT_FALSE(self->IsSame(other, true, false));  // no identity yet
  EXPECT_TRUE(self->IsSame(other, false, true));   // the same name
  ZQMACGraph::SetDeviceIdentity(other, {"VendorCo", "Changer X", "SN123", "", "", 0});
  EXPECT_TRUE(self->IsSame(other, true, false));
  ZQMACGraph::SetDeviceIdentity(other, {"VendorCo", "Changer Y", "SN123", "", "", 0});
  EXPECT_FALSE(self->IsSame(other, true, false));
  // An empty serial text identifies nothing.
  ZQMACGraph::SetDeviceIdentity(self, {"", "", "", "", "", 0});
  ZQMACGraph::SetDeviceIdentity(other, {"", "", "", "", "", 0});
  EXPECT_FALSE(self->IsSame(other, true, false));
}

TEST_F(ModelListing, TheCurrentDriveCountOfAnAgentCountsTheDrivesItReaches) {
  ListingWorld lw = libtest::seedListingWorld(config());
  EXPECT_EQ(lw.w.lms->GetCurrentDriveCount(nullptr, 0, ""), 2u);
  EXPECT_EQ(lw.w.lms->GetCurrentDriveCount(lw.w.agent1, 0, ""), 2u);
  config().DeleteObject(lw.w.dms22);
  EXPECT_EQ(lw.w.lms->GetCurrentDriveCount(lw.w.agent2, 0, ""), 1u);
  ZQMACMediaAgent* idle = ZQMACGraph::AddMediaAgent(config(), 4, "idle", "idle.example.net");
  EXPECT_EQ(lw.w.lms->GetCurrentDriveCount(idle, 0, ""), 0u);
}

TEST_F(ModelListing, WhetherAKindOfDiskDeviceIsListedIsWhatItsListSays) {
  auto agree = [&](const char* when) {
    for (bool shownOnly : {true, false})
      for (int kind = 0; kind <= 5; ++kind)
        EXPECT_EQ(config().GetShownDiskDeviceList(shownOnly, kind).GetListCount() > 0,
                  config().HasShownDiskDevice(shownOnly, kind))
            << when << ": kind " << kind << (shownOnly ? ", shown only" : "");
  };
  agree("no device");
  // Display types 0 (the plain device type, 3, shows), 2, 4 and 7; the
  // shown flag set on some only.
  const int displayTypes[] = {0, 2, 4, 7};
  for (int i = 0; i < 4; ++i) {
    ZQMACDiskDevice* d = ZQMACGraph::AddDiskDevice(config(), 40 + i, "Dev" + std::to_string(i));
    ZQMACGraph::SetDeviceTypes(d, 3, displayTypes[i]);
    ZQMACGraph::SetShownFlag(d, i % 2 == 0);
    agree(("device " + std::to_string(i)).c_str());
  }
}

TEST_F(ModelListing, ObjectsOfAnotherInstanceHaveNoIconAndNoServerInformation) {
  ListingWorld lw = libtest::seedListingWorld(config());
  ZQMACMediaConfig other;
  testkit::mac::World foreign = testkit::mac::seedWorld(other);
  ZQMACGraph::SetServerFlag(foreign.controller1, true);
  ZQMACGraph::SetSlotRange(foreign.library, "1-10");
  EXPECT_EQ(config().GetIconId(foreign.lms), 0u);
  EXPECT_EQ(config().GetIconId(nullptr), 0u);
  EXPECT_EQ(config().GetIconId(lw.w.lms), 10u);
  EXPECT_FALSE(config().GetLibraryServerConfigInfo(foreign.controller1));
  EXPECT_TRUE(other.GetLibraryServerConfigInfo(foreign.controller1));
  EXPECT_FALSE(config().GetLibraryServerConfigInfo(nullptr));
  // Without a known slot range the server gave nothing.
  ZQMACGraph::SetSlotRange(lw.w.library, "");
  EXPECT_FALSE(config().GetLibraryServerConfigInfo(lw.w.controller1));
  EXPECT_EQ(ZQMACLibrary::GetVTLTypeString(99), "");
}

TEST_F(ModelListing, AConfiguredLibraryListsOnlyTheFurtherControllersOfItsOwnUnit) {
  const struct {
    const char* name;
    std::function<void(ZQMACMediaConfig&, ListingWorld&)> arrange;
    bool listed;
  } cases[] = {
      {"a further controller of the library", [](ZQMACMediaConfig&, ListingWorld&) {}, true},
      {"state C not set",
       [](ZQMACMediaConfig&, ListingWorld& lw) { ZQMACGraph::SetUnitAddress(lw.sibling, {"ma1 /dev/sg2", 4, 1, false}); },
       false},
      {"a stand-alone unit", [](ZQMACMediaConfig&, ListingWorld& lw) { ZQMACGraph::SetStandAlone(lw.w.library, true); },
       false},
      {"the agent not detected", [](ZQMACMediaConfig&, ListingWorld& lw) { ZQMACGraph::SetDetected(lw.w.agent1, false); },
       false},
      {"the library not configured",
       [](ZQMACMediaConfig&, ListingWorld& lw) { ZQMACGraph::SetConfigured(lw.w.lms, false); }, false},
      {"a controller of another library of another unit",
       [](ZQMACMediaConfig& c, ListingWorld& lw) {
         c.DeleteObject(lw.sibling);
         ZQMACLms* other = ZQMACGraph::AddLms(c, 6, "TapeLib2");
         lw.sibling = ZQMACGraph::AddLibController(other, lw.w.agent1, 55, "TapeLib2 on ma1");
         ZQMACGraph::SetUnitAddress(lw.sibling, {"ma1 /dev/sg2", 4, 1, true});
       },
       false},
      {"a controller of another library of the same unit",
       [](ZQMACMediaConfig& c, ListingWorld& lw) {
         c.DeleteObject(lw.sibling);
         ZQMACLms* other = ZQMACGraph::AddLms(c, 6, "TapeLib2");
         ZQMACGraph::SetDeviceIdentity(other->GetLibrary(), {"VendorCo", "Changer X", "SN123", "", "", 0});
         lw.sibling = ZQMACGraph::AddLibController(other, lw.w.agent1, 55, "TapeLib2 on ma1");
         ZQMACGraph::SetUnitAddress(lw.sibling, {"ma1 /dev/sg2", 4, 1, true});
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    config().ClearObjects();
    ListingWorld lw = libtest::seedListingWorld(config());
    c.arrange(config(), lw);
    const auto items = onlyLibraryReply(libraryProperties(handleOf(lw.w.lms)));
    const std::string further = libtest::idText(static_cast<uint32_t>(handleOf(lw.sibling)), "ma1 /dev/sg2");
    int count = 0;
    for (const auto& item : items)
      if (item.tag == 11007 && item.bytes == further) ++count;
    EXPECT_EQ(count, c.listed ? 1 : 0);
  }
}

}  // namespace
