// The setup wizards' frame, through both disk-library wizard requests: what
// it refuses before the handler's work, and an answer that cannot be written.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/ezconfig_wizard/WizardFixture.h"

namespace wiztest {
namespace {

using testkit::xml::Call;

class Frame : public WizardTest {
 protected:
  // Both requests, each as the console would send it.
  std::vector<std::pair<unsigned long, std::string>> requests() const {
    return {{kConfigureId, configureText(existing())}, {kListId, listText({})}};
  }
};

TEST_F(Frame, AMessageLibraryThatCannotStartOrAnUnreadableRequestIsRefused) {
  for (const auto& [id, xml] : requests()) {
    SCOPED_TRACE(id);
    testkit::xml::failNext(Call::Initialize, 3);
    expectRefused(call(id, xml), tktest::catalogueText(0x23000451));
    expectRefused(call(id, "<ZQGui_EZGetMagneticLibrariesResp/>"), tktest::catalogueText(0x23000452));
    expectRefused(call(id, "not xml"), tktest::catalogueText(0x23000452));
  }
  EXPECT_EQ(count("archGroup", "flags <> 0"), 0);
}

TEST_F(Frame, AConsoleWhoseConfigurationWasTakenOverIsToldWhoTookIt) {
  EvMMConfigMgr::SetLastLoginName("bob");
  tktest::Connection other;
  ASSERT_NE(tktest::openDatabaseSession(other, kUser + 1), nullptr);
  for (const auto& [id, xml] : requests()) {
    SCOPED_TRACE(id);
    expectRefused(call(id, xml), tktest::catalogueText(0x240002FA, "bob"));
  }
  EXPECT_EQ(count("archGroup", "flags <> 0"), 0);
}

TEST_F(Frame, AnAnswerThatCannotBeWrittenLeavesTheBufferEmpty) {
  for (const auto& [id, xml] : requests()) {
    SCOPED_TRACE(id);
    testkit::xml::failNext(Call::Serialize, 5);
    const Answer a = call(id, xml);
    EXPECT_EQ(a.xml, "");
    EXPECT_EQ(a.result, -1);
  }
}

TEST_F(Frame, ANullRequestIsAnsweredWithNothing) {
  for (const auto& [id, xml] : requests()) {
    std::string buffer = xml;
    EXPECT_EQ(m_mgr.HandleMMConfigMgrXmlMsg(nullptr, 0, 0, 0, id, buffer), -1);
    EXPECT_EQ(buffer, "");
  }
}

}  // namespace
}  // namespace wiztest
