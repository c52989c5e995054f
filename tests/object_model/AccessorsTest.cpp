// The inline accessors of the object model that have a rule of their own,
// and the catalogue lookups of ZQMACBase.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/catalogue/Catalogue.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/testkit/mac.h"

namespace {

class Accessors : public ::testing::Test {
 protected:
  void SetUp() override { testkit::mac::reset(); }
  void TearDown() override { testkit::mac::reset(); }

  ZQMACMediaConfig config;
};

TEST_F(Accessors, DiskLibraryAliasFallsBackToItsNameAndABareLibraryReportsItsDoorLocked) {
  ZQMACMagLib* lib = ZQMACGraph::AddMagLib(config, nullptr, 9, "DiskLib1");
  EXPECT_EQ(lib->GetAliasName(), "DiskLib1");
  ZQMACGraph::SetAliasName(lib, "Primary disk");
  EXPECT_EQ(lib->GetAliasName(), "Primary disk");
  EXPECT_EQ(lib->GetName(), "DiskLib1");
  EXPECT_EQ(lib->GetMediaConfig(), &config);
  EXPECT_FALSE(lib->GetLibAttributeFlag());
  ZQMACGraph::SetMagLibAttribute(lib, 0x40);
  EXPECT_TRUE(lib->GetLibAttributeFlag());

  // A library management object without its library reports the door locked.
  ZQMACLms bare;
  EXPECT_EQ(bare.GetLibrary(), nullptr);
  EXPECT_TRUE(bare.GetDoorLockFlag());

  ZQMACLms* lms = ZQMACGraph::AddLms(config, 5, "TapeLib1");
  ASSERT_NE(lms->GetLibrary(), nullptr);
  EXPECT_FALSE(lms->GetDoorLockFlag());
  ZQMACGraph::SetDoorLock(lms->GetLibrary(), true);
  EXPECT_TRUE(lms->GetDoorLockFlag());
  ASSERT_NE(lms->GetLibControllerNode(), nullptr);
  EXPECT_EQ(lms->GetLibControllerNode()->GetObjectType(), 10u);
  EXPECT_EQ(lms->GetLibControllerNode()->GetLms(), lms);
}

TEST_F(Accessors, DiskDeviceDisplayTypeFallsBackToDeviceTypeAndDrivePoolType3IsNdmp) {
  ZQMACDiskDevice* device = ZQMACGraph::AddDiskDevice(config, 31, "lun");
  const struct {
    int deviceType;
    int displayType;
    int expected;
  } cases[] = {{7, 0, 7}, {7, -3, 7}, {7, 5, 5}, {0, 1, 1}};
  for (const auto& c : cases) {
    ZQMACGraph::SetDeviceTypes(device, c.deviceType, c.displayType);
    EXPECT_EQ(device->GetDisplayDeviceType(), c.expected) << c.deviceType << "/" << c.displayType;
  }
  ZQMACDrivePool pool;
  for (int type : {0, 1, 2, 3, 4, -3}) {
    pool.SetType(type);
    EXPECT_EQ(pool.IsNdmp(), type == 3) << type;
  }
}

TEST_F(Accessors, ListGettersReturnIndependentCopies) {
  testkit::mac::World w = testkit::mac::seedWorld(config);

  ZQMACLinkedList<ZQMACMountPath> paths = w.diskLibrary->GetMountPathList();
  ASSERT_EQ(paths.GetListCount(), 2);
  EXPECT_EQ(paths.GetFirstNode(), w.mountPath1);
  ZQMACMountPath stray;
  paths.AddNode(&stray);
  paths.RemoveAllNodes(false, true);
  EXPECT_EQ(w.diskLibrary->GetMountPathList().GetListCount(), 2);
  EXPECT_EQ(config.FindObject(w.mountPath1->GetHandle()), w.mountPath1) << "the element is alive and owned";

  ZQMACLinkedList<ZQMACDrivePool> pools = w.master->GetDrivePoolList();
  ASSERT_EQ(pools.GetListCount(), 2);
  {
    ZQMACLinkedList<ZQMACDrivePool> copy = pools;
    EXPECT_EQ(copy.GetFirstNode(), w.pool1);
    EXPECT_EQ(copy.GetNextNode(), w.pool2);
  }
  // Walking the object's own list through a copy leaves it untouched.
  ZQMACLinkedList<ZQMACDrivePool> again = w.master->GetDrivePoolList();
  EXPECT_EQ(again.GetFirstNode(), w.pool1);
  EXPECT_EQ(w.pool1->GetMasterDrivePool(), w.master);
  EXPECT_EQ(w.master->CountDrives(false), 4u);
}

TEST_F(Accessors, BarCodeReaderChangesOnlyWhileTheLibraryIsNotConfigured) {
  ZQMACLibrary library;
  library.SetBarCodeReader(true);
  EXPECT_TRUE(library.GetBarCodeReader());
  ZQMACGraph::SetConfigured(&library, true);
  library.SetBarCodeReader(false);
  EXPECT_TRUE(library.GetBarCodeReader()) << "a configured library keeps its flag";
  ZQMACGraph::SetConfigured(&library, false);
  library.SetBarCodeReader(false);
  EXPECT_FALSE(library.GetBarCodeReader());
}

TEST_F(Accessors, SettersWithResultsAndFlagsSeenThroughTheCommonInterface) {
  ZQMACDiskVolume volume;
  EXPECT_TRUE(volume.SetDetected(true));
  EXPECT_FALSE(volume.SetDetected(false));
  EXPECT_FALSE(volume.IsDetected());
  ZQMACLibController controller;
  EXPECT_EQ(controller.SetServerHostName("proxy1"), 1);
  EXPECT_EQ(controller.GetServerHostName(), "proxy1");
  EXPECT_EQ(controller.GetLibrary(), nullptr) << "a controller of no library";
  ZQMACMountPath path;
  path.SetUserName("DOMAIN\\backup");
  EXPECT_EQ(path.GetUserName(), path.GetUserNameString());
  path.SetUserPassword("secret");
  EXPECT_EQ(ZQMACGraph::GetPassword(&path), "secret");

  ZQMACMediaAgent agent;
  EXPECT_TRUE(agent.IsShown());
  agent.SetShown(false);
  ZQMACInterface& asInterface = agent;
  EXPECT_FALSE(asInterface.IsShown()) << "the common interface reports the agent's own flag";
}

TEST_F(Accessors, ControllerLibraryComesFromItsLibraryManagementObject) {
  testkit::mac::World w = testkit::mac::seedWorld(config);
  EXPECT_EQ(w.controller1->GetLibrary(), w.library);
  EXPECT_EQ(w.controller1->GetMediaAgent(), w.agent1);
  EXPECT_EQ(w.controller1->GetLms(), w.lms);
  EXPECT_EQ(w.dms12->GetDrive(), w.drive1);
  EXPECT_EQ(w.dms12->GetDrivePool(), w.pool2);
  EXPECT_EQ(w.dms12->GetMediaAgent(), w.agent2);
  EXPECT_EQ(w.volume2->GetDiskDevice(), w.diskDevice);
  EXPECT_EQ(w.library->GetDriveCount(), 2);
  EXPECT_EQ(w.library->GetSlotCount(), 40);
}

TEST_F(Accessors, GetIdReportsUnstoredObjectsAsAllOnes) {
  ZQMACDrive drive;
  EXPECT_EQ(drive.GetId(), 0xFFFFFFFFu);
  ZQMACDrive* stored = ZQMACGraph::AddDrive(ZQMACGraph::AddLms(config, 5, "L"), 71, "Drive1", 1);
  EXPECT_EQ(stored->GetId(), 71u);
  EXPECT_EQ(stored->GetDisplayName(), "Drive1");
}

TEST_F(Accessors, MessageStringsPassTheirArgumentsInOrder) {
  static const tkcatalogue::Text kTexts[] = {
      {0x24F00001, "six: %1|%2|%3|%4|%5|%6"},
      {0x24F00002, "none"},
      {0x24F00003, "one [%1]"},
      {0x24F00004, "two [%2] [%1]"},
  };
  tkcatalogue::add(kTexts, 4);
  EXPECT_EQ(ZQMACBase::GetMessageString(0x24F00001, "a", "b", "c", "d", "e", "f"), "six: a|b|c|d|e|f");
  EXPECT_EQ(ZQMACBase::GetMessageString(0x24F00002), "none");
  EXPECT_EQ(ZQMACBase::GetMessageString(0x24F00003, "x"), "one [x]");
  EXPECT_EQ(ZQMACBase::GetMessageString(0x24F00004, "first", "second"), "two [second] [first]");
  EXPECT_EQ(ZQMACBase::GetMessageString(0x24F00003, nullptr), "one []") << "a null argument is the empty text";
  // An id without a text stays visible.
  EXPECT_EQ(ZQMACBase::GetMessageString(0x24F0FFFF, "arg"), "message 0x24F0FFFF [arg]");
  EXPECT_EQ(MyGetMessageString(0x24F00004, 2, "p", "q"), "two [q] [p]");

  ZQMACBase::SetLocale(0x0409);
  EXPECT_EQ(ZQMACBase::GetLocale(), 0x0409u);
  EXPECT_EQ(ZQMACBase::GetMessageString(0x24F00003, "y"), "one [y]") << "other locales fall back to English";
}

TEST_F(Accessors, LastErrorOfObjectsAndInstances) {
  ZQMACDrive drive;
  std::string text = "stale";
  EXPECT_EQ(drive.GetLastError(text), 0u);
  EXPECT_EQ(text, "");
  EXPECT_FALSE(drive.SetName(""));
  EXPECT_NE(drive.GetLastError(text), 0u);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(drive.GetLastError(), text);
  EXPECT_TRUE(drive.SetName("Drive9"));
  EXPECT_EQ(drive.GetLastErrorCode(), 0u);
  EXPECT_EQ(drive.GetName(), "Drive9");

  config.SetLastError(0x1F00016D, "server down");
  EXPECT_EQ(config.GetLastError(text), 0x1F00016Du);
  EXPECT_EQ(text, "server down");
  EXPECT_EQ(drive.GetLastErrorCode(), 0u) << "each object has its own";

  static const tkcatalogue::Text kText[] = {{0x1F0000AA, "cannot reach [%1]"}};
  tkcatalogue::add(kText, 1);
  config.SetLastErrorMessage(0x1F0000AA, "mm-server");
  EXPECT_EQ(config.GetLastError(), "cannot reach [mm-server]");
}

TEST_F(Accessors, InitializeClearsTheFlagsOfAnEarlierSession) {
  config.SetTerminateFlag(true);
  config.SetAbortFlag(true);
  EXPECT_TRUE(config.GetTerminateFlag());
  EXPECT_TRUE(config.GetAbortFlag());
  ASSERT_TRUE(config.Initialize("cs01"));
  EXPECT_FALSE(config.GetTerminateFlag());
  EXPECT_FALSE(config.GetAbortFlag());
  EXPECT_EQ(ZQMACMediaConfig::GetLocalPlatformType(), ZQMAC_PLATFORM_UNIX);
  ZQMACGraph::SetDriveVendors(config, {{"IBM", "ULT3580", "LTO"}, {"HP", "Ultrium", "LTO"}});
  ASSERT_EQ(config.GetVendorInfo()->GetDriveVendorInfoSize(), 2);
  EXPECT_EQ(config.GetVendorInfo()->GetDriveVendorInfo()[1].second, "Ultrium");
  EXPECT_EQ(config.GetVendorInfo()->GetLibraryVendorInfoSize(true), 0);
}

}  // namespace
