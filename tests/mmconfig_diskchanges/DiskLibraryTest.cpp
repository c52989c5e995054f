// Creating and changing disk libraries: the record of a new library (reply
// 11101) and what goes with it (audit, grant, refresh), and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testkit/external.h"
#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"
#include "tests/mmconfig_diskchanges/StoredSession.h"

namespace {

using libtest::Message;
using libtest::operationResponse;
using libtest::text;
using tktest::le32;
using Answers = std::vector<Message>;

std::string le64(uint64_t v) { return le32(static_cast<uint32_t>(v)) + le32(static_cast<uint32_t>(v >> 32)); }

class DiskLibraries : public libtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    testkit::external::setAutoRefresh(true);
    testkit::mac::setNewObjectIds(800);
  }
  Answers run(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMMagneticLibrary(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
  ZQMACMagLib* newest() {
    ZQMACLinkedList<ZQMACMagLib> libraries = config().GetMagLibList();
    ZQMACMagLib* last = nullptr;
    for (ZQMACMagLib* l = libraries.GetFirstNode(); l != nullptr; l = libraries.GetNextNode()) last = l;
    return last;
  }
  // Reply 11101 of the newest library.
  Message record(uint32_t agentId, const std::string& agent, uint32_t osId, uint32_t mask, uint32_t type5,
                 uint32_t type) {
    ZQMACMagLib* l = newest();
    return {11101,
            {{11003, le64(handleOf(l))},
             {2049, le32(l->GetId()) + l->GetName()},
             {8251, l->GetAliasName()},
             {2048, le32(agentId) + agent},
             {11030, le32(osId)},
             {11188, le32(0)},
             {11189, le32(mask)},
             {11429, le32(type5)},
             {11187, le32(type)},
             {11162, le32(1)},
             {11116, le32(config().GetIconId(l))},
             {2052, le32(0)}}};
  }
};

TEST_F(DiskLibraries, ANewLibraryIsAnsweredWithItsRecordByTypeWithAndWithoutAMediaAgent) {
  struct Case {
    uint32_t type;
    bool agent;
    uint32_t mask;
    uint32_t type5;
  };
  const Case cases[] = {{4, true, 1, 0}, {5, false, 0, 1}, {7, true, 4, 0}, {7, false, 4, 0}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << c.agent);
    tktest::StreamBuilder s = stream().op(1).text(8251, "Disk" + std::to_string(++n), true).u32(11187, c.type);
    s.pair(2048, 0, c.agent ? "ma1" : "nobody", true);
    const auto answers = run(s.end(), true);
    const uint32_t osId = static_cast<uint32_t>(m_world.agent1->GetOSId());
    EXPECT_EQ(answers, (Answers{c.agent ? record(2, "ma1", osId, c.mask, c.type5, c.type)
                                        : record(0xFFFFFFFF, "", 0xFFFFFFFF, c.mask, c.type5, c.type),
                                operationResponse(1, 1, "Success")}));
    EXPECT_EQ(newest()->GetAliasName(), "Disk" + std::to_string(n));
    EXPECT_EQ(newest()->GetMagLibType(), static_cast<int>(c.type));
  }
}

TEST_F(DiskLibraries, ANewLibraryIsAuditedGrantedNamedAndAnnouncedOnce) {
  perMediaAgentRights(true);
  const auto answers = run(stream().op(1).u32(8273, 50).u32(11416, 2).end(), true);
  ZQMACMagLib* l = newest();
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->GetName(), "DiskLibrary_1");
  EXPECT_EQ(l->GetAliasName(), "DiskLibrary_1");
  EXPECT_EQ(l->GetLowWatermark(), 50);
  EXPECT_EQ(answers, (Answers{record(0xFFFFFFFF, "", 0xFFFFFFFF, 1, 0, 0), operationResponse(1, 1, "Success")}));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x540000B5);
  EXPECT_EQ(records[0].entityId, static_cast<int>(l->GetId()));
  EXPECT_EQ(testkit::security::journal().count("addUserToLibrary"), 1u);
  const auto notices = testkit::external::refreshNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].libraryId, static_cast<int>(l->GetId()));
  EXPECT_EQ(notices[0].entityType, 9);
}

TEST_F(DiskLibraries, AFailedGrantKeepsTheLibraryAndSendsNoRecord) {
  perMediaAgentRights(true);
  testkit::security::journal().injectFailure("addUserToLibrary", 5, "directory down");
  const auto answers = run(stream().op(1).text(8251, "Kept", true).end(), false);
  EXPECT_EQ(answers, (Answers{operationResponse(1, 0, text(0x24000330, "Kept"))}));
  ASSERT_NE(newest(), nullptr);
  EXPECT_EQ(newest()->GetName(), "Kept");
  EXPECT_TRUE(testkit::external::refreshNotices().empty());
}

TEST_F(DiskLibraries, AnAliasInUseOrARefusedSaveCreatesNothing) {
  ASSERT_EQ(m_db.exec("INSERT INTO MMLibrary (LibraryName, AliasName, LibraryTypeId) VALUES ('Row', 'Taken', 3)"), 0);
  const std::size_t before = config().GetObjectCount();
  EXPECT_EQ(run(stream().op(1).text(8251, "Taken", true).end(), false),
            (Answers{operationResponse(1, 0, text(0x2400033D, "Taken"))}));
  // The name of a library of the instance (288), and a scripted refusal.
  EXPECT_EQ(run(stream().op(1).text(8251, m_world.diskLibrary->GetName(), true).end(), false),
            (Answers{operationResponse(1, 0, text(0x24000176))}));
  testkit::mac::journal().injectFailure("Configure", 77, "disk full");
  EXPECT_EQ(run(stream().op(1).text(8251, "Fresh", true).end(), false),
            (Answers{operationResponse(1, 0, "disk full")}));
  EXPECT_EQ(config().GetObjectCount(), before);
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(DiskLibraries, AChangeSetsAliasWatermarkAndAttributeAndAnUnknownHandleChangesNothing) {
  const auto h = handleOf(m_world.diskLibrary);
  EXPECT_EQ(run(stream().op(3).handle(h).text(8251, "NewAlias", true).u32(8273, 9).u32(11416, 1).end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.diskLibrary->GetAliasName(), "NewAlias");
  EXPECT_EQ(m_world.diskLibrary->GetLowWatermark(), 9);
  EXPECT_TRUE(m_world.diskLibrary->GetLibAttributeFlag());
  EXPECT_EQ(run(stream().op(3).handle(handleOf(m_world.lms)).text(8251, "Other", true).end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(run(stream().op(3).end(), false), (Answers{operationResponse(3, 0, text(0x240001F3))}));
  testkit::mac::journal().injectFailure("SetLowWatermark", 4, "watermark refused");
  EXPECT_EQ(run(stream().op(3).handle(h).u32(8273, 1).end(), false),
            (Answers{operationResponse(3, 0, "watermark refused")}));
}

// On the stored installation: the new library is a row and survives a
// reload; each failing call leaves no half change.
class StoredDiskLibrary : public disktest::StoredSession {
 public:
  void create() {
    auto message = stream().op(1).text(8251, "StoredDisk", true).u32(8273, 12).u32(11187, 4).end().build();
    m_mgr.onMsgSetMMMagneticLibrary(message.get());
  }
};

TEST_F(StoredDiskLibrary, ANewLibraryIsStoredAndAReloadKeepsIt) {
  freshSession();
  create();
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryName = 'StoredDisk' AND LibraryTypeId = 4 "
                        "AND LowWaterMarkMB = 12 AND LibraryEnabled = 1"),
            1);
  ASSERT_TRUE(m_config->ReadCurrentConfig(true));
  bool found = false;
  ZQMACLinkedList<ZQMACMagLib> libraries = m_config->GetMagLibList();
  for (ZQMACMagLib* l = libraries.GetFirstNode(); l != nullptr; l = libraries.GetNextNode())
    found = found || l->GetName() == "StoredDisk";
  EXPECT_TRUE(found);
}

// A library with no mount path yet reaches its media agent only through
// what is stored with it: a re-read shows the agent it was made on, and
// when that cannot be stored the library is not made either.
TEST_F(StoredDiskLibrary, ALibraryMadeOnAnAgentKeepsItAfterARereadOrIsNotMadeAtAll) {
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "drive pools refused" : "stored");
    freshSession();
    if (refused) {
      ASSERT_EQ(m_db.exec("CREATE TRIGGER refuse_pools BEFORE INSERT ON MMDrivePool BEGIN SELECT RAISE(ABORT, "
                          "'pools refused'); END"),
                0);
    }
    const long long libraries = m_db.scalar("SELECT COUNT(*) FROM MMLibrary");
    tktest::StreamBuilder s = stream().op(1).text(8251, "AgentDisk", true);
    s.pair(2048, 0, "ma1", true);
    auto message = s.end().build();
    m_mgr.onMsgSetMMMagneticLibrary(message.get());
    const std::vector<libtest::Message> answers = libtest::messagesOf(m_a.replies());
    ASSERT_FALSE(answers.empty());
    ASSERT_EQ(answers.back().id, 1024u);
    EXPECT_EQ(answers.back().items.back().second.substr(0, 4), le32(refused ? 0 : 1)) << answers.back();
    EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary"), libraries + (refused ? 0 : 1));
    if (refused) {
      EXPECT_EQ(m_db.exec("DROP TRIGGER refuse_pools"), 0);
      continue;
    }
    ASSERT_TRUE(m_config->ReadCurrentConfig(true));
    ZQMACMagLib* made = nullptr;
    ZQMACLinkedList<ZQMACMagLib> list = m_config->GetMagLibList();
    for (ZQMACMagLib* l = list.GetFirstNode(); l != nullptr; l = list.GetNextNode())
      if (l->GetName() == "AgentDisk") made = l;
    ASSERT_NE(made, nullptr);
    ASSERT_NE(made->GetMediaAgent(), nullptr);
    EXPECT_EQ(made->GetMediaAgent()->GetName(), "ma1");
  }
}

TEST_F(StoredDiskLibrary, EveryFailingCallEndsInAnAnswerAndLeavesNoHalfChange) {
  const tktest::SweepReport report = sweep([&] { create(); });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(StoredDiskLibrary, EveryFailingCallOfAChangeKeepsTheStepsBeforeItAndNoneAfter) {
  // Alias, watermark and attribute word are each stored on their own; a
  // failed step ends the request and keeps the steps before it.
  const auto modify = [&] {
    ZQMACMagLib* library = m_config->GetMagLibList().GetFirstNode();
    ASSERT_NE(library, nullptr);
    auto message = stream()
                       .op(3)
                       .handle(m_config->GetHandle(library))
                       .text(8251, "RenamedDisk", true)
                       .u32(8273, 77)
                       .u32(11416, 1)
                       .end()
                       .build();
    m_mgr.onMsgSetMMMagneticLibrary(message.get());
  };
  const auto steps = [&] {
    return std::vector<bool>{
        m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE AliasName = 'RenamedDisk'") == 1,
        m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LowWaterMarkMB = 77") == 1,
        m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE AliasName = 'RenamedDisk' AND LibraryAttribute = 1") == 1};
  };
  const tktest::SweepReport report = sweepSteps(modify, "MMLibrary", steps);
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
