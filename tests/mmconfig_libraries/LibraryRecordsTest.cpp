// The two library records item by item, to the byte: the tape or optical
// library record (through its controller and the controller's media agent)
// and the disk library record, with the forms they take when a part is
// missing and the kind masks of disk libraries. One table; each row seeds
// the listing world afresh, changes what it is about and asks for the
// record of one library.
#include <gtest/gtest.h>

#include <functional>

#include "tests/mmconfig_libraries/LibrariesFixture.h"

namespace {

using libtest::Expected;
using libtest::idText;
using libtest::ListingWorld;
using libtest::u32Bytes;

uint32_t low32(unsigned long long handle) { return static_cast<uint32_t>(handle); }

// The record of the tape library of the listing world, up to and with the
// items of the virtual-tape-library types (rows 1 to 25).
std::vector<Expected> tapeHead(const ZQMACMediaConfig& config, const ListingWorld& lw, bool withSlots = true) {
  std::vector<Expected> items = {
      {2049, idText(5, "TapeLib1")},
      {8081, u32Bytes(7)},
      {8251, "TL1-alias"},
      {11176, tktest::le64(config.GetHandle(lw.w.controller1))},
      {2220, idText(0, "VendorCo")},
      {2221, idText(0, "Changer X")},
      {8213, "SN123"},
      {11005, "1.0"},
      {11006, "unit"},
      {11008, u32Bytes(3)},
      {11009, u32Bytes(2)},
      {11115, u32Bytes(2)},
      {11164, u32Bytes(1)},
      {11177, u32Bytes(1)},
      {11414, u32Bytes(1)},
      {11415, u32Bytes(0)},
      {11430, u32Bytes(1)},
      {11431, u32Bytes(0)},
      {11416, u32Bytes(5)},
      {11179, u32Bytes(1)},
      {11417, "A00000-A00099"},
  };
  if (withSlots) items.push_back({11837, idText(40, "1-40")});
  items.push_back({11007, idText(low32(config.GetHandle(lw.w.lms)), "ma1 /dev/sg1")});
  items.push_back({11432, u32Bytes(1)});
  items.push_back({11433, idText(0, "Physical library")});
  items.push_back({11433, idText(1, "Virtual tape library")});
  items.push_back({11433, idText(2, "Virtual tape library with deduplication")});
  return items;
}

// Rows 26 to 41 of the tape library, with the agent ma1.
std::vector<Expected> tapeTail(const ZQMACMediaConfig& config, const ListingWorld& lw, bool withSibling = true) {
  std::vector<Expected> items = {
      {11031, "Tape library 1"},
      {2048, idText(2, "ma1")},
      {11030, u32Bytes(7)},
  };
  if (withSibling) items.push_back({11007, idText(low32(config.GetHandle(lw.sibling)), "ma1 /dev/sg2")});
  const std::vector<Expected> rest = {
      {11158, u32Bytes(1)},
      {11157, u32Bytes(2)},
      {11159, u32Bytes(6)},
      {11160, u32Bytes(2)},
      {11010, u32Bytes(77)},
      {11053, u32Bytes(9)},
      {11078, std::string(8, '\0')},
      {11149, u32Bytes(0)},
      {11150, "changer"},
      {11162, u32Bytes(1)},
      {11116, u32Bytes(10)},
      {2052, u32Bytes(0)},
  };
  items.insert(items.end(), rest.begin(), rest.end());
  return items;
}

std::vector<Expected> join(std::vector<Expected> a, const std::vector<Expected>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The disk library record; `agent` false for a library without media agent.
std::vector<Expected> diskRecord(uint32_t type, uint32_t mask, uint32_t type5, bool agent = true,
                                 uint32_t clusterLibrary = 1) {
  std::vector<Expected> items = {
      {2049, idText(9, "DiskLib1")},
      {8081, u32Bytes(3)},
      {8251, "DL1-alias"},
      {11031, "Disk library 1"},
      {2048, agent ? idText(2, "MA One") : idText(0xFFFFFFFF, "")},
      {11030, u32Bytes(agent ? 7 : 0xFFFFFFFF)},
      {8273, u32Bytes(15)},
      {11416, u32Bytes(1)},
      {11188, u32Bytes(agent ? clusterLibrary : 0)},
      {11189, u32Bytes(mask)},
      {11429, u32Bytes(type5)},
      {11187, u32Bytes(type)},
      {11150, "disk"},
      {11162, u32Bytes(1)},
      {11116, u32Bytes(51)},
  };
  if (agent) items.push_back({11222, "/opt/tk"});
  items.push_back({2052, u32Bytes(0)});
  return items;
}

class LibraryRecords : public libtest::LibrariesTest {};

TEST_F(LibraryRecords, EachRecordCarriesItsItemsInOrderToTheByte) {
  struct Case {
    const char* name;
    // Changes the world; returns the handle asked for.
    std::function<unsigned long long(ZQMACMediaConfig&, ListingWorld&)> arrange;
    std::function<std::vector<Expected>(const ZQMACMediaConfig&, const ListingWorld&)> expected;
  };
  const auto tape = [](ZQMACMediaConfig& c, ListingWorld& lw) { return c.GetHandle(lw.w.lms); };
  const auto disk = [](ZQMACMediaConfig& c, ListingWorld& lw) { return c.GetHandle(lw.w.diskLibrary); };
  const auto diskOfType = [](int type) {
    return [type](ZQMACMediaConfig& c, ListingWorld& lw) {
      ZQMACGraph::SetMagLibType(lw.w.diskLibrary, type);
      return c.GetHandle(lw.w.diskLibrary);
    };
  };
  const Case cases[] = {
      {"tape library: all 41 rows (three VTL types, one further controller)", tape,
       [](const ZQMACMediaConfig& c, const ListingWorld& lw) { return join(tapeHead(c, lw), tapeTail(c, lw)); }},
      {"tape library whose first controller has no media agent ends after the VTL types",
       [](ZQMACMediaConfig& c, ListingWorld& lw) {
         c.DeleteObject(lw.w.agent1);
         return c.GetHandle(lw.w.lms);
       },
       [](const ZQMACMediaConfig& c, const ListingWorld& lw) {
         return join(tapeHead(c, lw), {{2052, u32Bytes(0)}});
       }},
      {"tape library not configured sends the type its first controller detected",
       [](ZQMACMediaConfig& c, ListingWorld& lw) {
         ZQMACGraph::SetConfigured(lw.w.lms, false);
         return c.GetHandle(lw.w.lms);
       },
       [](const ZQMACMediaConfig& c, const ListingWorld& lw) {
         auto head = tapeHead(c, lw);
         head[1] = {8081, u32Bytes(4)};
         // Not configured: no further controllers, and icon 11.
         auto tail = tapeTail(c, lw, false);
         tail[tail.size() - 2] = {11116, u32Bytes(11)};
         return join(head, tail);
       }},
      {"tape library without server flag sends no slot item",
       [](ZQMACMediaConfig& c, ListingWorld& lw) {
         ZQMACGraph::SetServerFlag(lw.w.controller1, false);
         return c.GetHandle(lw.w.lms);
       },
       [](const ZQMACMediaConfig& c, const ListingWorld& lw) {
         return join(tapeHead(c, lw, false), tapeTail(c, lw));
       }},
      {"tape library with state B counts every drive path pending",
       [](ZQMACMediaConfig& c, ListingWorld& lw) {
         ZQMACGraph::SetStateB(lw.w.lms, true);
         return c.GetHandle(lw.w.lms);
       },
       [](const ZQMACMediaConfig& c, const ListingWorld& lw) {
         auto tail = tapeTail(c, lw);
         for (auto& item : tail) {
           if (item.tag == 11158) item.bytes = u32Bytes(0xFFFFFFFF);
           if (item.tag == 11149) item.bytes = u32Bytes(1);
         }
         return join(tapeHead(c, lw), tail);
       }},
      {"disk library of type 3", disk,
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(3, 1, 0); }},
      {"disk library of type 4", diskOfType(4),
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(4, 1, 0); }},
      {"disk library of type 5", diskOfType(5),
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(5, 0, 1); }},
      {"disk library of type 6", diskOfType(6),
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(6, 2, 0); }},
      {"disk library of type 7", diskOfType(7),
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(7, 4, 0); }},
      {"disk library of type 8", diskOfType(8),
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(8, 8, 0); }},
      {"disk library of type 2", diskOfType(2),
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(2, 0, 0); }},
      {"disk library without media agent",
       [](ZQMACMediaConfig& c, ListingWorld& lw) {
         c.DeleteObject(lw.w.agent1);
         return c.GetHandle(lw.w.diskLibrary);
       },
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(3, 1, 0, false); }},
      {"disk library whose agent reaches no archive cluster",
       [](ZQMACMediaConfig& c, ListingWorld& lw) {
         c.DeleteObject(lw.w.cluster);
         return c.GetHandle(lw.w.diskLibrary);
       },
       [](const ZQMACMediaConfig&, const ListingWorld&) { return diskRecord(3, 1, 0, true, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config().ClearObjects();
    ListingWorld lw = libtest::seedListingWorld(config());
    const unsigned long long handle = c.arrange(config(), lw);
    libtest::expectItems(onlyLibraryReply(libraryProperties(handle)), c.expected(config(), lw));
  }
}

TEST_F(LibraryRecords, TheFullTapeRecordHasTheFortyOneRowsOfItsTable) {
  ListingWorld lw = libtest::seedListingWorld(config());
  const auto items = onlyLibraryReply(libraryProperties(handleOf(lw.w.lms)));
  // 41 rows; the row of the VTL types gives one item per type (three).
  EXPECT_EQ(items.size(), 41u + 2u);
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.back().tag, 2052u);
}

}  // namespace
