// A full row of every table written through its binding and read back
// through it unchanged: every column, texts at the full length of their
// field (quotes and format characters included), 64-bit values beyond 32
// bits, negative numbers, heap texts longer than any fixed field. The
// mount-path view reads what was written into the mount-path table.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "Db/TKView/MMS2getMountPathNameGUIView.h"
#include "Db/Tbl/HVGlobalParam.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "tests/support/TestDatabase.h"

namespace {

// A text of exactly `length` bytes that starts with the column's name and
// carries a quote, a doubled quote, a percent sign and both letter cases.
std::string textFor(const char* column, int seed, size_t length) {
  std::string text = std::string(column) + "-" + std::to_string(seed) + " O'Neil''s %s %d ";
  std::string filler = "AbCdEfGhIj";
  while (text.size() < length) text += filler[text.size() % filler.size()];
  text.resize(length);
  return text;
}

// Every field of the row set from the column table, different per seed and
// per column.
template <class Row>
void fill(Row& row, int seed) {
  const ZQDBColumns& cols = Row::zqdbColumns();
  char* base = reinterpret_cast<char*>(&row);
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    char* field = base + c.offset;
    switch (c.field) {
      case ZQDBFieldKind::Int32: {
        int v = (i % 3 == 2 ? -1 : 1) * (seed * 1000 + i + 1);
        if (i % 7 == 6) v = INT_MAX - i;
        std::memcpy(field, &v, sizeof v);
        break;
      }
      case ZQDBFieldKind::Int64: {
        long long v = (1LL << 40) * (i + 1) + seed;
        if (i % 2 == 1) v = -v;
        std::memcpy(field, &v, sizeof v);
        break;
      }
      case ZQDBFieldKind::FixedText: {
        std::string text = textFor(c.name, seed, c.size - 1);
        std::memcpy(field, text.c_str(), text.size() + 1);
        break;
      }
      case ZQDBFieldKind::HeapText: {
        std::string text = textFor(c.name, seed, 5000 + static_cast<size_t>(i));
        char*& heap = *reinterpret_cast<char**>(field);
        delete[] heap;
        heap = new char[text.size() + 1];
        std::memcpy(heap, text.c_str(), text.size() + 1);
        break;
      }
      case ZQDBFieldKind::DateTime: ADD_FAILURE() << "no date-time column is expected"; break;
    }
  }
}

// Every column of the two rows equal, except the columns named in `skip`.
template <class Row>
void expectSameRow(const Row& expected, const Row& actual, const std::string& skip = "") {
  const ZQDBColumns& cols = Row::zqdbColumns();
  const char* a = reinterpret_cast<const char*>(&expected);
  const char* b = reinterpret_cast<const char*>(&actual);
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    if (!skip.empty() && c.name == skip) continue;
    SCOPED_TRACE(c.name);
    switch (c.field) {
      case ZQDBFieldKind::Int32:
      case ZQDBFieldKind::Int64: EXPECT_EQ(0, std::memcmp(a + c.offset, b + c.offset, c.size)); break;
      case ZQDBFieldKind::FixedText: EXPECT_STREQ(a + c.offset, b + c.offset); break;
      case ZQDBFieldKind::HeapText: {
        const char* x = *reinterpret_cast<char* const*>(a + c.offset);
        const char* y = *reinterpret_cast<char* const*>(b + c.offset);
        ASSERT_NE(nullptr, x);
        ASSERT_NE(nullptr, y);
        EXPECT_STREQ(x, y);
        break;
      }
      case ZQDBFieldKind::DateTime: break;
    }
  }
}

// Writes a full row through a table object, reads it back through another
// by `key`, and compares every column. Returns the key's value.
template <class Table, class Row>
int roundTrip(const char* key, int* keyField(Row&), int seed, int givenKey = 0) {
  Table writer(nullptr);
  Row& written = *writer.getDataPtr();
  fill(written, seed);
  if (givenKey != 0) *keyField(written) = givenKey;
  EXPECT_EQ(0, writer.rowInsert(true));
  int id = *keyField(written);
  EXPECT_GT(id, 0);

  Table reader(nullptr);
  reader.setWhere("%s = %d", key, id);
  EXPECT_EQ(0, getOneRow(&reader, false, -1, 0));
  expectSameRow(written, *reader.getDataPtr());
  EXPECT_EQ(id, *keyField(*reader.getDataPtr()));
  return id;
}

class RoundTrip : public ::testing::Test {
 protected:
  tktest::TestDatabase db;
};

TEST_F(RoundTrip, LibraryRowWithEverySixtyTwoColumns) {
  int first = roundTrip<MMLibrary, MMLibrary_t>("LibraryId", [](MMLibrary_t& r) { return &r.LibraryId; }, 1);
  int second = roundTrip<MMLibrary, MMLibrary_t>("LibraryId", [](MMLibrary_t& r) { return &r.LibraryId; }, 2);
  EXPECT_NE(first, second);
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM MMLibrary"));
}

TEST_F(RoundTrip, GlobalParameterRowWithItsSerialId) {
  int id = roundTrip<HVGlobalParam, HVGlobalParam_t>("id", [](HVGlobalParam_t& r) { return &r.id; }, 3);
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM HVGlobalParam WHERE id = ?", {id}));
}

TEST_F(RoundTrip, DriveRowWithEveryFiftyEightColumns) {
  roundTrip<MMDrive, MMDrive_t>("DriveId", [](MMDrive_t& r) { return &r.DriveId; }, 4);
}

TEST_F(RoundTrip, DrivePoolRow) {
  roundTrip<MMDrivePool, MMDrivePool_t>("DrivePoolId", [](MMDrivePool_t& r) { return &r.DrivePoolId; }, 5);
}

TEST_F(RoundTrip, DeviceControllerRowWithFullLengthCredentials) {
  roundTrip<MMDeviceController, MMDeviceController_t>(
      "DeviceControllerId", [](MMDeviceController_t& r) { return &r.DeviceControllerId; }, 6);
  // A password of 2,048 bytes and a user name and folder of 1,024 bytes fit.
  EXPECT_EQ(2048, db.scalar("SELECT LENGTH(UserPassword) FROM MMDeviceController"));
  EXPECT_EQ(1024, db.scalar("SELECT LENGTH(UserName) FROM MMDeviceController"));
  EXPECT_EQ(1024, db.scalar("SELECT LENGTH(Folder) FROM MMDeviceController"));
}

TEST_F(RoundTrip, MountPathRowKeepsTheIdItWasGiven) {
  // No serial column: the id is written as given.
  int id = roundTrip<MMMountPath, MMMountPath_t>("MountPathId", [](MMMountPath_t& r) { return &r.MountPathId; }, 7, 4242);
  EXPECT_EQ(4242, id);
  EXPECT_EQ(4096, db.scalar("SELECT LENGTH(MountPathName) FROM MMMountPath"));
  EXPECT_EQ(2048, db.scalar("SELECT LENGTH(UserPassword) FROM MMMountPath"));
  // A second row with the same id is refused: the id is the table's key.
  MMMountPath again(nullptr);
  again.getDataPtr()->MountPathId = 4242;
  EXPECT_NE(0, again.rowInsert(true));
}

TEST_F(RoundTrip, ViewReadsTheMountPathWithItsMediumAndDevice) {
  MMMountPath writer(nullptr);
  MMMountPath_t& mp = *writer.getDataPtr();
  fill(mp, 8);
  mp.MountPathId = 31;
  mp.MediaSideId = 77;
  mp.OffLineTimeStamp = 1700000000;  // within 32 bits
  ASSERT_EQ(0, writer.rowInsert(true));
  ASSERT_EQ(0, db.exec("INSERT INTO MMMediaSide (MediaSideId, MediaId) VALUES (77, 501)"));
  ASSERT_EQ(0, db.exec("INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (31, 9)"));

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
  // Every other column by name.
  const ZQDBColumns& viewCols = MMS2getMountPathNameGUIView_t::zqdbColumns();
  const ZQDBColumns& tableCols = MMMountPath_t::zqdbColumns();
  int compared = 0;
  for (int i = 0; i < viewCols.count; ++i) {
    const ZQDBColumnDesc& v = viewCols.cols[i];
    if (v.field != ZQDBFieldKind::Int32 || std::strcmp(v.name, "OffLineTimeStamp") == 0) continue;
    for (int j = 0; j < tableCols.count; ++j) {
      const ZQDBColumnDesc& t = tableCols.cols[j];
      if (std::strcmp(v.name, t.name) != 0) continue;
      SCOPED_TRACE(v.name);
      int expected = 0;
      int actual = 0;
      std::memcpy(&expected, reinterpret_cast<const char*>(&mp) + t.offset, sizeof expected);
      std::memcpy(&actual, reinterpret_cast<const char*>(&row) + v.offset, sizeof actual);
      EXPECT_EQ(expected, actual);
      ++compared;
    }
  }
  EXPECT_EQ(21, compared);
}

TEST_F(RoundTrip, RowThatWasFilledReleasesItsHeapTextsWhenDestroyed) {
  // LeakSanitizer reports a heap text that a row does not release.
  auto* library = new MMLibrary_t();
  fill(*library, 9);
  ASSERT_NE(nullptr, library->Descript);
  ASSERT_NE(nullptr, library->LibSvrConfig);
  delete library;
  auto* drive = new MMDrive_t();
  fill(*drive, 9);
  delete drive;
  auto* pool = new MMDrivePool_t();
  fill(*pool, 9);
  delete pool;
  auto* param = new HVGlobalParam_t();
  fill(*param, 9);
  delete param;
  SUCCEED();
}

TEST_F(RoundTrip, FetchIntoARowThatHoldsHeapTextsReplacesThemWithoutLeaking) {
  int id = roundTrip<MMDrive, MMDrive_t>("DriveId", [](MMDrive_t& r) { return &r.DriveId; }, 10);
  MMDrive reader(nullptr);
  fill(*reader.getDataPtr(), 11);  // heap texts the fetch must release
  reader.setWhere("DriveId = %d", id);
  ASSERT_EQ(0, getOneRow(&reader, false, -1, 0));
  EXPECT_EQ(0, std::string(reader.getDataPtr()->Descript).rfind("Descript-10", 0));
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET Descript = NULL, LSResStr = NULL"));
  ASSERT_EQ(0, getOneRow(&reader, false, -1, 0));
  EXPECT_EQ(nullptr, reader.getDataPtr()->Descript);
  EXPECT_EQ(nullptr, reader.getDataPtr()->LSResStr);
}

}  // namespace
