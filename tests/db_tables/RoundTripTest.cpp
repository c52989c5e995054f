// A full row of every table written through its binding and read back
// through it unchanged (every column, texts at the full length of their
// field with quotes and format characters, 64-bit values beyond 32 bits,
// negative numbers, heap texts longer than any fixed field). The mount-path
// view reads what was written into the mount-path table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Db/TKView/MMS2getMountPathNameGUIView.h"
#include "Db/Tbl/HVGlobalParam.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

using tktest::expectTableRoundTrip;

using RoundTrip = tktest::DatabaseTest;

TEST_F(RoundTrip, EveryTableKeepsAFullRow) {
  EXPECT_NE(expectTableRoundTrip<MMLibrary>("LibraryId", 1), expectTableRoundTrip<MMLibrary>("LibraryId", 2));
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM MMLibrary"));
  expectTableRoundTrip<HVGlobalParam>("id", 3);
  expectTableRoundTrip<MMDrive>("DriveId", 4);
  expectTableRoundTrip<MMDrivePool>("DrivePoolId", 5);
  expectTableRoundTrip<MMDeviceController>("DeviceControllerId", 6);
  // A password of 2,048 bytes and a user name and folder of 1,024 bytes fit.
  EXPECT_EQ(2048, db.scalar("SELECT LENGTH(UserPassword) FROM MMDeviceController"));
  EXPECT_EQ(1024, db.scalar("SELECT LENGTH(UserName) FROM MMDeviceController"));
  EXPECT_EQ(1024, db.scalar("SELECT LENGTH(Folder) FROM MMDeviceController"));
}

TEST_F(RoundTrip, MountPathRowKeepsTheIdItWasGiven) {
  // No serial column: the id is written as given and is the table's key.
  EXPECT_EQ(4242, expectTableRoundTrip<MMMountPath>("MountPathId", 7, 4242));
  EXPECT_EQ(4096, db.scalar("SELECT LENGTH(MountPathName) FROM MMMountPath"));
  EXPECT_EQ(2048, db.scalar("SELECT LENGTH(UserPassword) FROM MMMountPath"));
  MMMountPath again(nullptr);
  again.getDataPtr()->MountPathId = 4242;
  EXPECT_NE(0, again.rowInsert(true));
}

TEST_F(RoundTrip, ViewReadsTheMountPathWithItsMediumAndDevice) {
  MMMountPath writer(nullptr);
  MMMountPath_t& mp = *writer.getDataPtr();
  tktest::fillRow(mp, 8);
  mp.MountPathId = 31;
  mp.MediaSideId = 77;
  mp.OffLineTimeStamp = 1700000000;  // within 32 bits
  ASSERT_EQ(0, writer.rowInsert(true));
  tktest::insertRows(db, "MMMediaSide (MediaSideId, MediaId)", {{77, 501}});
  tktest::insertRows(db, "MMMountPathToStorageDevice (MountPathId, DeviceId)", {{31, 9}});

  MMS2getMountPathNameGUIView view(nullptr);
  view.setWhere("MountPathID = %d", 31);
  ASSERT_EQ(0, getOneRow(&view, true, -1, 0));
  const MMS2getMountPathNameGUIView_t& row = *view.getDataPtr();
  EXPECT_EQ(31, row.MountPathId);
  EXPECT_EQ(501, row.MediaId);
  EXPECT_EQ(9, row.DeviceId);
  EXPECT_EQ(0, row.CenteraId);
  EXPECT_EQ(77, row.MediaSideId);
  EXPECT_EQ(1700000000, row.OffLineTimeStamp);
  // The view's texts are shorter than the table's: what fits arrives.
  EXPECT_EQ(std::string(mp.MountPathName, 2048), row.MountPathName);
  EXPECT_STREQ(mp.UserName, row.UserName);
  EXPECT_EQ(std::string(mp.UserPassword, 1024), row.UserPassword);
  // Every other integer column by name.
  const ZQDBColumns& viewCols = MMS2getMountPathNameGUIView_t::zqdbColumns();
  int compared = 0;
  for (int i = 0; i < viewCols.count; ++i) {
    const ZQDBColumnDesc& v = viewCols.cols[i];
    const ZQDBColumns& tableCols = MMMountPath_t::zqdbColumns();
    for (int j = 0; j < tableCols.count; ++j) {
      if (v.field != ZQDBFieldKind::Int32 || std::strcmp(v.name, tableCols.cols[j].name) != 0) continue;
      if (std::strcmp(v.name, "OffLineTimeStamp") == 0) continue;
      EXPECT_EQ(tktest::intField(mp, v.name), *reinterpret_cast<const int*>(reinterpret_cast<const char*>(&row) +
                                                                             v.offset))
          << v.name;
      ++compared;
    }
  }
  EXPECT_EQ(21, compared);
}

TEST_F(RoundTrip, FetchIntoARowThatHoldsHeapTextsReplacesThemWithoutLeaking) {
  int id = expectTableRoundTrip<MMDrive>("DriveId", 10);
  MMDrive reader(nullptr);
  tktest::fillRow(*reader.getDataPtr(), 11);  // heap texts the fetch must release
  reader.setWhere("DriveId = %d", id);
  ASSERT_EQ(0, getOneRow(&reader, false, -1, 0));
  EXPECT_EQ(0u, std::string(reader.getDataPtr()->Descript).rfind("Descript-10", 0));
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET Descript = NULL, LSResStr = NULL"));
  ASSERT_EQ(0, getOneRow(&reader, false, -1, 0));
  EXPECT_EQ(nullptr, reader.getDataPtr()->Descript);
  EXPECT_EQ(nullptr, reader.getDataPtr()->LSResStr);
}

}  // namespace
