// Changes to a mount path's credentials and name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "platform/testkit/external.h"
#include "tests/mmconfig_diskchanges/StoredSession.h"

namespace {

using libtest::Message;
using libtest::operationResponse;
using libtest::statusReply;
using Answers = std::vector<Message>;

class MountPathChanges : public libtest::LibraryTest {
 protected:
  Answers run(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMMountPath(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
  tktest::StreamBuilder change() const { return stream().op(3).handle(handleOf(m_world.mountPath1)).u32(4108, 9); }
};

TEST_F(MountPathChanges, CredentialsAreWrittenTogetherThenTheNameAndTheLibraryIsAnnounced) {
  testkit::external::setAutoRefresh(true);
  const auto answers = run(change()
                               .raw(2401, ctltest::encrypted("alice"))
                               .raw(2402, ctltest::encrypted("s3cret"))
                               .text(11041, "/mnt/renamed", true)
                               .end(),
                           true);
  EXPECT_EQ(answers, (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.mountPath1->GetUserName(), "alice");
  EXPECT_EQ(m_world.mountPath1->GetName(), "/mnt/renamed");
  const auto calls = testkit::mac::journal().calls("UpdateNameAndPassword");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args.back(), "13");  // the stored form's length, never the password
  const auto notices = testkit::external::refreshNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].libraryId, 9);
  EXPECT_EQ(notices[0].entityType, 52);
}

TEST_F(MountPathChanges, ANameAloneLeavesTheCredentialsAlone) {
  EXPECT_EQ(run(change().text(11041, "/mnt/only", true).end(), true), (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.mountPath1->GetName(), "/mnt/only");
  EXPECT_EQ(testkit::mac::journal().count("UpdateNameAndPassword"), 0u);
}

TEST_F(MountPathChanges, AUserNameThatCannotBeDecryptedIsLeftOutAndTheRecordGoesOn) {
  const auto answers = run(change().raw(2401, std::string("\x01\x02not encrypted", 15)).text(11041, "/mnt/n", true).end(), true);
  EXPECT_EQ(answers, (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.mountPath1->GetName(), "/mnt/n");
  EXPECT_EQ(testkit::mac::journal().count("UpdateNameAndPassword"), 0u);
}

TEST_F(MountPathChanges, ARefusedCredentialChangeEndsTheRequestBeforeTheRename) {
  testkit::mac::journal().injectFailure("UpdateNameAndPassword", 3, "credentials refused");
  EXPECT_EQ(run(change().raw(2401, ctltest::encrypted("bob")).text(11041, "/mnt/never", true).end(), false),
            (Answers{operationResponse(3, 0, "credentials refused")}));
  EXPECT_EQ(m_world.mountPath1->GetName(), "/mnt/disk1");
}

TEST_F(MountPathChanges, AnUnknownHandleChangesNothingAndOtherOperationsAreRefused) {
  EXPECT_EQ(run(stream().op(3).handle(handleOf(m_world.diskLibrary)).text(11041, "x", true).end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.diskLibrary->GetName(), "DiskLib1");
  EXPECT_EQ(run(stream().op(5).end(), false), (Answers{statusReply(0, "Received invalid operation type")}));
}

class StoredMountPath : public disktest::StoredSession {
 public:
  // Encrypted before the request, so that the sweep counts only its calls.
  const std::string m_user = ctltest::encrypted("carol");
  const std::string m_password = ctltest::encrypted("pw");
  bool m_withPassword = true;

  void change() {
    ZQMACMagLib* library = m_config->GetMagLibList().GetFirstNode();
    ASSERT_NE(library, nullptr);
    ZQMACMountPath* path = library->GetMountPathList().GetFirstNode();
    ASSERT_NE(path, nullptr);
    tktest::StreamBuilder s = stream().op(3).handle(m_config->GetHandle(path)).raw(2401, m_user);
    if (m_withPassword) s.raw(2402, m_password);
    auto message = s.end().build();
    m_mgr.onMsgSetMMMountPath(message.get());
  }
};

TEST_F(StoredMountPath, NewCredentialsAreStoredAndEveryFailingCallLeavesNoHalfChange) {
  freshSession();
  change();
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE UserName = 'carol' AND UserPassword = ?",
                        {tkcipher::encrypt("pw")}),
            1);
  // One credential: a password that cannot be decrypted would, as designed,
  // leave the user name written alone.
  m_withPassword = false;
  const tktest::SweepReport report = sweep([&] { change(); });
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
