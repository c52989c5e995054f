// Adding mount paths to a disk library of the stored installation: the
// mount-path type a record asks for or its device decides, network shares
// with their device and volumes, the refusals, and what follows a stored
// path (sharing, re-read, audit, notice).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/external.h"
#include "platform/testkit/mmdb.h"
#include "tests/mmconfig_diskchanges/StoredSession.h"

namespace {

using libtest::operationResponse;
using libtest::text;
using Answers = std::vector<libtest::Message>;

constexpr int kLibraryId = 2;  // DiskLib1 of the stored installation

class MountPathAdd : public disktest::StoredSession {
 protected:
  void SetUp() override {
    StoredSession::SetUp();
    freshSession();
  }
  void freshSession() override {
    StoredSession::freshSession();
    testkit::external::setAutoRefresh(true);
  }
  ZQMACMagLib* library() { return m_config->GetMagLibList().GetFirstNode(); }
  tktest::StreamBuilder add() {
    return stream().op(1).handle(m_config->GetHandle(library())).u32(4108, kLibraryId);
  }
  Answers run(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMMountPath(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
  // Type, user name, password and device of the stored mount path.
  std::string stored(const std::string& path) {
    return m_db.text(
        "SELECT M.MountPathTypeId || '|' || IFNULL(M.UserName, '') || '|' || IFNULL(M.UserPassword, '') || '|' || "
        "IFNULL(D.DeviceId, 0) FROM MMMountPath M LEFT JOIN MMMountPathToStorageDevice D ON D.MountPathId = "
        "M.MountPathId WHERE M.MountPathName = ?",
        {path});
  }
  long long count(const char* table) { return m_db.scalar(std::string("SELECT COUNT(*) FROM ") + table); }

  const std::string m_user = ctltest::encrypted("alice");
  const std::string m_password = ctltest::encrypted("pw");
};

TEST_F(MountPathAdd, ALocalPathIsStoredSharedReReadAuditedAnnouncedAndReloads) {
  const std::size_t reads = testkit::mac::journal().calls("ReadCurrentConfig").size();
  const auto answers = run(add()
                               .text(11041, "/srv/new", true)
                               .pair(2048, 1, "ma1", true)
                               .raw(2401, m_user)
                               .raw(2402, m_password)
                               .u32(11185, 1)
                               .end(),
                           true);
  EXPECT_EQ(answers, (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(stored("/srv/new"), "1|alice|" + tkcipher::encrypt("pw") + "|0");
  const int id = static_cast<int>(m_db.scalar("SELECT MountPathId FROM MMMountPath WHERE MountPathName = '/srv/new'"));
  const auto shares = testkit::archivemgr::shareCalls();
  ASSERT_EQ(shares.size(), 1u);
  EXPECT_EQ(shares[0].mountPathId, id);
  EXPECT_EQ(testkit::mac::journal().calls("ReadCurrentConfig").size(), reads + 1);
  int audited = 0;
  for (const auto& record : testkit::audit::records()) {
    if (record.operationId != 0x540000B5) continue;
    ++audited;
    EXPECT_EQ(record.entityId, kLibraryId);
    ASSERT_EQ(record.params.size(), 1u);
    EXPECT_EQ(record.params[0].messageId, 0x5500018B);
    ASSERT_FALSE(record.params[0].arguments.empty());
    EXPECT_EQ(record.params[0].arguments[0], "/srv/new");
  }
  EXPECT_EQ(audited, 1);
  const auto notices = testkit::external::refreshNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].libraryId, kLibraryId);
  EXPECT_EQ(notices[0].entityType, 52);

  freshSession();  // another session loads it from the database
  ZQMACMountPath* loaded = m_config->FindDBNode<ZQMACMountPath>(id);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetName(), "/srv/new");
  EXPECT_EQ(loaded->GetMagLib(), library());
}

TEST_F(MountPathAdd, TheTypeComesFromTheRecordOrFromTheKindOfItsDevice) {
  struct Case {
    const char* what;
    int type;      // 11185; -1: none
    int device;    // 11186; 0: none
    std::function<void(ZQMACMagLib&, ZQMACDiskDevice&)> arrange;
    const char* expected;  // as stored()
  };
  auto none = [](ZQMACMagLib&, ZQMACDiskDevice&) {};
  auto san = [](ZQMACMagLib&, ZQMACDiskDevice& d) { ZQMACGraph::SetGeometry(&d, {1, 0, 0, 0, 0}); };
  const Case cases[] = {
      {"type 1 keeps its type and takes the device", 1, 2, none, "1|||2"},
      {"a local device", -1, 2, none, "4|||2"},
      {"a local device of a library of kind 4", 3, 2, [](ZQMACMagLib& l, ZQMACDiskDevice&) { ZQMACGraph::SetMagLibType(&l, 4); },
       "5|||2"},
      {"a SAN device leaves the type", 9, 2, san, "9|||2"},
      {"a SAN device without a type leaves none", -1, 2, san, "0|||2"},
      {"a GFS device on a SAN",
       -1, 2,
       [&](ZQMACMagLib& l, ZQMACDiskDevice& d) {
         san(l, d);
         ZQMACGraph::SetDeviceTypes(&d, ZQMACDiskDevice::kDeviceTypeGFS, 0);
       },
       "4|||2"},
      {"a cloud device", -1, 2,
       [](ZQMACMagLib&, ZQMACDiskDevice& d) { ZQMACGraph::SetDeviceTypes(&d, ZQMACDiskDevice::kDeviceTypeCloudFirst, 0); },
       "7|||2"},
      {"a deduplicating device", -1, 2,
       [](ZQMACMagLib&, ZQMACDiskDevice& d) { ZQMACGraph::SetDeviceTypes(&d, ZQMACDiskDevice::kDeviceTypeBoost, 0); },
       "8|||2"},
      {"no device", 3, 0, none, "3|||0"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    freshSession();
    c.arrange(*library(), *m_config->FindDBNode<ZQMACDiskDevice>(2));
    const std::string path = "/srv/t" + std::to_string(++n);
    tktest::StreamBuilder s = add().text(11041, path, true);
    if (c.type >= 0) s.u32(11185, static_cast<uint32_t>(c.type));
    if (c.device != 0) s.u32(11186, static_cast<uint32_t>(c.device));
    EXPECT_EQ(run(s.end(), true), (Answers{operationResponse(1, 1, "Success")}));
    EXPECT_EQ(stored(path), c.expected);
  }
}

TEST_F(MountPathAdd, ANetworkShareGetsItsDeviceAndAVolumePerMediaAgent) {
  // The volumes' credential is a stored one.
  ASSERT_EQ(m_db.exec("INSERT INTO APP_Credentials (credentialId, credentialName) VALUES (7, 'filer')"), 0);
  const long long devices = count("MMDevice");
  const auto answers = run(add()
                               .text(11041, "ZQDiskFolder", true)
                               .pair(2048, 1, "ma1", true)
                               .pair(2048, 2, "ma2", true)
                               .raw(2401, m_user)
                               .raw(2402, m_password)
                               .u32(9819, 7)
                               .pair(11192, 0, "//filer/share", true)
                               .text(11209, "//filer/share2", true)
                               .u32(11418, 3)
                               .end(),
                           true);
  EXPECT_EQ(answers, (Answers{operationResponse(1, 1, "Success")}));
  ASSERT_EQ(count("MMDevice"), devices + 1);
  const std::string device = m_db.text("SELECT MAX(DeviceId) FROM MMDevice");
  EXPECT_EQ(m_db.text("SELECT AliasName || '|' || DeviceTypeId FROM MMDevice WHERE DeviceId = " + device),
            "MF_DiskDevice_1|2");
  const auto volumes = m_db.query(
      "SELECT ClientId || '|' || Folder || '|' || IFNULL(UserName, '') || '|' || IFNULL(UserPassword, '') || '|' || "
      "DeviceAccessType || '|' || IFNULL(CredentialAssocId, 0) FROM MMDeviceController WHERE DeviceId = " +
      device + " ORDER BY DeviceControllerId");
  ASSERT_EQ(volumes.size(), 2u);
  // The first agent's volume takes no credentials when further agents have theirs.
  EXPECT_EQ(volumes[0].at(0).s, "1|//filer/share|||14|0");
  EXPECT_EQ(volumes[1].at(0).s, "2|//filer/share2|alice|" + tkcipher::encrypt("pw") + "|3|7");
  EXPECT_EQ(stored("ZQDiskFolder"), "4|||" + device);
}

TEST_F(MountPathAdd, ARefusedAdditionAnswersByCodeAndLeavesNoDeviceOrVolume) {
  struct Case {
    int code;
    std::string expected;
  };
  const Case cases[] = {{101, text(0x2400005E)},
                        {396, text(0x2400004B)},
                        {752, text(0x2400004B)},
                        {5, "the library is busy"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    freshSession();
    const long long devices = count("MMDevice");
    const long long volumes = count("MMDeviceController");
    const std::size_t objects = m_config->GetObjectCount();
    testkit::mac::journal().injectFailure("AddMountPath", c.code, "the library is busy");
    const auto answers = run(add()
                                 .text(11041, "/srv/refused", true)
                                 .pair(2048, 1, "ma1", true)
                                 .pair(11192, 0, "//filer/refused", true)
                                 .end()
                                 .op(3)
                                 .end(),
                             false);
    EXPECT_EQ(answers, (Answers{operationResponse(1, 0, c.expected)}));
    EXPECT_EQ(count("MMDevice"), devices);
    EXPECT_EQ(count("MMDeviceController"), volumes);
    EXPECT_EQ(m_config->GetObjectCount(), objects);
  }
}

TEST_F(MountPathAdd, ALongPasswordIsRefusedAndOneThatCannotBeDecryptedIsLeftOutWithTheUserNameKept) {
  testkit::debuglog::Capture log;
  // A password whose stored form does not fit its column: the record is
  // refused with the one text, nothing is made.
  const auto refused = run(add()
                               .text(11041, "/srv/long", true)
                               .raw(2401, m_user)
                               .raw(2402, ctltest::encrypted(std::string(1024, 'p')))
                               .end(),
                           false);
  EXPECT_EQ(refused, (Answers{operationResponse(
                         1, 0, "The password is too long to be stored: a password of at most 1023 bytes fits.")}));
  EXPECT_EQ(stored("/srv/long"), "");
  const auto answers = run(add()
                               .text(11041, "/srv/garbled", true)
                               .raw(2401, m_user)
                               .raw(2402, std::string("\x01\x02not encrypted", 15))
                               .end(),
                           true);
  EXPECT_EQ(answers, (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(stored("/srv/garbled"), "0|alice||0");
  EXPECT_TRUE(log.contains("failed to decrypt the password"));
}

TEST_F(MountPathAdd, MissingOrEmptyElementsAnswerWithoutAddingAndAControllerLimitRefuses) {
  const long long before = count("MMMountPath");
  const auto tape = m_config->GetHandle(m_config->GetLmsList().GetFirstNode());
  EXPECT_EQ(run(stream().op(1).text(11041, "/srv/x", true).end(), false),
            (Answers{operationResponse(1, 0, text(0x240001F3))}));
  EXPECT_EQ(run(stream().op(1).u32(11185, 4).text(11041, "/srv/x", true).end(), true),
            (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(run(add().text(11041, "", true).end(), true), (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(run(stream().op(1).handle(tape).text(11041, "/srv/x", true).end(), true),
            (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(count("MMMountPath"), before);

  testkit::mmdb::reset();
  testkit::mmdb::failNext("MMDeviceControllerDB::canAddController", MMS2_ERROR_REFERENCE, "limit", 100);
  char expected[2048] = {};
  MMS2BaseError::getErrorStringForCode(MMS2_ERROR_REFERENCE, expected, sizeof expected, 0);
  EXPECT_EQ(run(add().text(11041, "/srv/x", true).pair(2048, 1, "ma1", true).end(), false),
            (Answers{operationResponse(1, 0, expected)}));
  EXPECT_EQ(count("MMMountPath"), before);
}

TEST_F(MountPathAdd, AFailureAfterThePathStandsIsAnsweredOnceAndTheNextRecordFollows) {
  testkit::archivemgr::failNextShare(7, "the storage pool is busy");
  testkit::mac::journal().injectFailure("ReadCurrentConfig", 9, "the database went away");
  const auto answers = run(add().text(11041, "/srv/a", true).end().text(11041, "/srv/b", true).end(), true);
  EXPECT_EQ(answers, (Answers{operationResponse(1, 2, "the storage pool is busy"), operationResponse(1, 1, "Success")}));
  EXPECT_EQ(stored("/srv/a"), "0|||0");
  EXPECT_EQ(stored("/srv/b"), "0|||0");
  EXPECT_EQ(testkit::external::refreshNotices().size(), 2u);

  testkit::mac::journal().injectFailure("ReadCurrentConfig", 9, "the database went away");
  EXPECT_EQ(run(add().text(11041, "/srv/c", true).end(), true),
            (Answers{operationResponse(1, 2, "the database went away")}));
}

TEST_F(MountPathAdd, EveryFailingCallOfAShareAdditionEndsInAnAnswerAndLeavesNoHalfChange) {
  // A credential id rather than a user name and password: a credential that
  // cannot be decrypted changes, as designed, what is made.
  const tktest::SweepReport report = sweep([&] {
    auto message = add()
                       .text(11041, "ZQDiskFolder", true)
                       .pair(2048, 1, "ma1", true)
                       .pair(2048, 2, "ma2", true)
                       .u32(9819, 7)
                       .pair(11192, 0, "//filer/share", true)
                       .text(11209, "//filer/share2", true)
                       .end()
                       .build();
    m_mgr.onMsgSetMMMountPath(message.get());
  });
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
