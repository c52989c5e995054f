// Replacement, host update, vault lock and the library controllers for
// shown media agents, as the control request answers them.
#include <gtest/gtest.h>

#include "frame/ElementTags.h"
#include "platform/catalogue/Catalogue.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using ctltest::Message;
using ctltest::operationResponse;
using ctltest::statusText;

constexpr uint32_t kElementVaultLock = tktag::kVaultLock;
constexpr uint32_t kElementAgentText = tktag::kNdmpServer;
constexpr uint32_t kElementReplacement = tktag::kDiskDeviceHandle;
constexpr const char* kWrongNode = "Wrong Node for Valut Lock!";

class Changes : public ctltest::ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    ZQMACGraph::SetDisplayName(m_world.lms, "TL One");
    ZQMACGraph::SetTexts(m_world.lms, "changer", "b");
  }
  std::vector<Message> replace(uint32_t operation, const ZQMACInterface* object, unsigned long long replacement,
                               bool expected) {
    return run(stream().op(operation).handle(handleOf(object)).u64(kElementReplacement, replacement).end(), expected);
  }
  // A node of the given object type, owned by the session.
  ZQMACNode* node(unsigned int type) {
    auto* n = new ZQMACNode("node", type);
    EXPECT_NE(config().AdoptObject(n), 0u);
    return n;
  }
};

TEST(ChangeTexts, EveryMessageIdOfTheseOperationsHasACatalogueText) {
  for (unsigned long id : {0x23000F43ul, 0x24000186ul, 0x2400018Cul, 0x240001EBul, 0x240001ECul, 0x540000B7ul,
                           0x540000B8ul, 0x540000B9ul, 0x5500018Cul}) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(tkcatalogue::has(static_cast<uint32_t>(id)));
  }
}

// ---- 39 and 61 ---------------------------------------------------------------------

TEST_F(Changes, AReplacementOfAConfiguredObjectWarnsWithCode3BeforeSuccess) {
  const struct {
    const char* name;
    uint32_t operation;
    bool configured;
    bool shown;
    unsigned int replacementType;  // 0: a drive
    std::string warning;
  } cases[] = {
      {"shown library by its kind", 61, true, true, 11, ctltest::text(0x2400018C, "TL One")},
      {"shown library by another kind", 61, true, true, 0, ctltest::text(0x24000186)},
      {"hidden library", 39, true, false, 0, ctltest::text(0x2400018C, "TL One")},
      {"library not configured", 39, false, true, 11, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::audit::reset();
    testkit::mac::journal().reset();
    ZQMACGraph::SetConfigured(m_world.lms, c.configured);
    ZQMACGraph::SetShownFlag(m_world.lms, c.shown);
    ZQMACInterface* replacement = c.replacementType == 0 ? static_cast<ZQMACInterface*>(m_world.drive2) : node(11);
    std::vector<Message> expected;
    if (!c.warning.empty()) expected.push_back(statusText(3, c.warning));
    expected.push_back(operationResponse(c.operation, 1, "Success"));
    EXPECT_EQ(replace(c.operation, m_world.lms, handleOf(replacement), true), expected);
    const auto calls = testkit::mac::journal().calls("ReplaceObject");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(handleOf(m_world.lms)),
                                                       std::to_string(handleOf(replacement)),
                                                       c.operation == 61 ? "true" : "false"}));
    const auto records = testkit::audit::records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].operationId, 0x540000B9);
    EXPECT_EQ(records[0].entityId, 5);
    EXPECT_EQ(records[0].params[0].arguments, (std::vector<std::string>{"TL One", "changer"}));
  }
}

TEST_F(Changes, AnUnknownReplacementIsRefusedByTheModelAfterTheAudit) {
  ZQMACGraph::SetConfigured(m_world.lms, true);
  const std::vector<Message> answer = replace(61, m_world.lms, 0xBEEF, false);
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_EQ(answer[0], operationResponse(61, 0, config().GetLastError()));
  EXPECT_EQ(config().GetLastErrorCode(), 0x1F000011u);
  EXPECT_EQ(testkit::audit::records().size(), 1u);
  EXPECT_TRUE(m_world.lms->TestStateA());
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
}

TEST_F(Changes, AnObjectWithoutALibraryPartIsAuditedAgainstEntity0) {
  EXPECT_EQ(replace(39, m_world.diskDevice, handleOf(m_world.host), true),
            (std::vector<Message>{operationResponse(39, 1, "Success")}));
  ASSERT_EQ(testkit::audit::records().size(), 1u);
  EXPECT_EQ(testkit::audit::records()[0].entityId, 0);
}

// ---- 118 ---------------------------------------------------------------------------

TEST_F(Changes, AHostUpdateAnswersItsResultTextThenSuccess) {
  const struct {
    const char* name;
    int copyManagerId;
    unsigned long text;
  } cases[] = {{"plain pool", 0, 0x240001EB}, {"copy-manager pool", 5, 0x240001EC}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::audit::reset();
    ZQMACGraph::SetCopyManagerId(m_world.pool1, c.copyManagerId);
    const auto answer = run(stream().op(118).handle(handleOf(m_world.pool1)).pair(ctltest::kElementName, 0, "newhost")
                                .text(kElementAgentText, "ma9").end(),
                            true);
    EXPECT_EQ(answer, (std::vector<Message>{operationResponse(118, 1, ctltest::text(c.text)),
                                            operationResponse(118, 1, "Success")}));
    const auto records = testkit::audit::records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].operationId, 0x540000B8);
    EXPECT_EQ(records[0].entityId, 5);
    ASSERT_EQ(records[0].params.size(), 2u);
    EXPECT_EQ(records[0].params[1].messageId, 0x5500018C);
    EXPECT_EQ(records[0].params[1].arguments, (std::vector<std::string>{"newhost", "ma9"}));
  }
  EXPECT_EQ(testkit::mac::journal().calls("UpdateHost").back().args,
            (std::vector<std::string>{std::to_string(handleOf(m_world.pool1)), "newhost", "ma9"}));
}

TEST_F(Changes, AHostUpdateOfAnUnknownObjectOrARefusedOneAnswersStatus0) {
  EXPECT_EQ(run(stream().op(118).handle(0xBEEF).end(), false),
            (std::vector<Message>{operationResponse(118, 0, ctltest::text(0x240001F3))}));
  EXPECT_TRUE(testkit::audit::records().empty());
  testkit::mac::failNext("UpdateHost", 0x1F000001, "host unreachable");
  EXPECT_EQ(run(stream().op(118).handle(handleOf(m_world.controller1)).pair(ctltest::kElementName, 0, "h").end(),
                false),
            (std::vector<Message>{operationResponse(118, 0, "host unreachable")}));
  EXPECT_EQ(testkit::audit::records().size(), 1u);
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
}

// ---- 109 ---------------------------------------------------------------------------

TEST_F(Changes, AVaultLockOnAnythingButADiskDeviceWithAVolumeIsTheWrongNode) {
  ZQMACDiskDevice* empty = ZQMACGraph::AddDiskDevice(config(), 32, "SAN-LUN-2");
  const struct {
    const char* name;
    unsigned long long handle;
    bool withValue;
  } cases[] = {{"mount path", handleOf(m_world.mountPath1), true},
               {"disk device without the value", handleOf(m_world.diskDevice), false},
               {"disk device without volumes", handleOf(empty), true},
               {"unknown handle", 0xBEEF, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tktest::StreamBuilder s = stream().op(109).handle(c.handle);
    if (c.withValue) s.u32(kElementVaultLock, 30);
    EXPECT_EQ(run(s.end(), false), (std::vector<Message>{operationResponse(109, 0, kWrongNode)}));
    EXPECT_TRUE(testkit::audit::records().empty());
    EXPECT_EQ(testkit::mac::journal().count("VerifyDevice"), 0u);
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
}

TEST_F(Changes, AVaultLockVerifiesTheFirstVolumeWithTheValueAndIsAudited) {
  ZQMACGraph::SetTexts(m_world.diskDevice, "lun text", "b");
  EXPECT_EQ(run(stream().op(109).handle(handleOf(m_world.diskDevice)).u32(kElementVaultLock, 30).end(), true),
            (std::vector<Message>{operationResponse(109, 1, "Success")}));
  EXPECT_EQ(testkit::mac::journal().calls("VerifyDevice").at(0).args,
            (std::vector<std::string>{std::to_string(handleOf(m_world.volume1)), "3", "30"}));
  EXPECT_EQ(m_world.volume1->GetVaultLock(), 30);
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x540000B5);
  EXPECT_EQ(records[0].entityId, 31);
  EXPECT_EQ(records[0].params[0].arguments, (std::vector<std::string>{"SAN-LUN-1", "lun text, Vault Lock"}));

  testkit::mac::failNext("VerifyDevice", 0x1F000001, "vault locked longer");
  EXPECT_EQ(run(stream().op(109).handle(handleOf(m_world.diskDevice)).u32(kElementVaultLock, 3).end(), false),
            (std::vector<Message>{operationResponse(109, 0, "vault locked longer")}));
  EXPECT_EQ(testkit::audit::records().size(), 2u);
  EXPECT_EQ(m_world.volume1->GetVaultLock(), 30);
}

// ---- 55 ----------------------------------------------------------------------------

class Controllers : public Changes {
 protected:
  void SetUp() override {
    Changes::SetUp();
    m_agent3 = ZQMACGraph::AddMediaAgent(config(), 4, "ma3", "ma3.example.net");
    m_hidden = ZQMACGraph::AddMediaAgent(config(), 6, "ma4", "ma4.example.net");
    m_hidden->SetShown(false);
    m_ipLms = ZQMACGraph::AddLms(config(), 8, "IPLib");
    m_template = ZQMACGraph::AddIPLibController(m_ipLms, m_world.agent1, 81, "IPLib over the network");
    ZQMACGraph::AddLibController(m_ipLms, m_world.agent2, 82, "IPLib on ma2");
  }
  std::vector<Message> add(const ZQMACInterface* object, bool expected) {
    return run(stream().op(55).handle(handleOf(object)).u32(ctltest::kElementLibraryId, 8).end(), expected);
  }
  ZQMACMediaAgent* m_agent3 = nullptr;
  ZQMACMediaAgent* m_hidden = nullptr;
  ZQMACLms* m_ipLms = nullptr;
  ZQMACIPLibController* m_template = nullptr;
};

TEST_F(Controllers, OnlyShownAgentsWithoutAControllerGetACopyOfTheTemplate) {
  EXPECT_EQ(add(m_ipLms, true), (std::vector<Message>{operationResponse(55, 1, "Success")}));
  ZQMACLinkedList<ZQMACLibController> added = m_agent3->GetLibControllerList();
  ASSERT_EQ(added.GetListCount(), 1);
  ZQMACLibController* controller = added.GetFirstNode();
  EXPECT_NE(dynamic_cast<ZQMACIPLibController*>(controller), nullptr);
  EXPECT_EQ(controller->GetLms(), m_ipLms);
  EXPECT_EQ(controller->GetMediaAgent(), m_agent3);
  EXPECT_EQ(m_ipLms->GetLibControllerList().GetListCount(), 3);
  EXPECT_EQ(m_hidden->GetLibControllerList().GetListCount(), 0);
  EXPECT_EQ(testkit::mac::journal().calls("Configure").size(), 1u);
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x540000B6);
  EXPECT_EQ(records[0].entityId, 8);

  // A second time every shown agent has its controller: nothing is added.
  testkit::audit::reset();
  EXPECT_EQ(add(m_ipLms, true), (std::vector<Message>{operationResponse(55, 1, "Success")}));
  EXPECT_EQ(m_ipLms->GetLibControllerList().GetListCount(), 3);
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(Controllers, WithoutATemplateOrALibraryPartNothingIsAdded) {
  const std::size_t objects = config().GetObjectCount();
  const struct {
    const char* name;
    ZQMACInterface* object;
    std::string text;
  } cases[] = {{"no IP controller", m_world.lms, "The library has no IP library controller to copy."},
               {"no library part", m_world.diskLibrary, "The object does not belong to a library."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(add(c.object, false), (std::vector<Message>{operationResponse(55, 0, c.text)}));
    EXPECT_EQ(config().GetObjectCount(), objects);
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
}

TEST_F(Controllers, AControllerThatCannotBeConfiguredLeavesTheSession) {
  const std::size_t objects = config().GetObjectCount();
  testkit::mac::failNext("Configure", 0x1F000001, "no path to the library");
  EXPECT_EQ(add(m_ipLms, false), (std::vector<Message>{operationResponse(55, 0, "no path to the library")}));
  EXPECT_EQ(config().GetObjectCount(), objects);
  EXPECT_EQ(m_agent3->GetLibControllerList().GetListCount(), 0);
  EXPECT_EQ(m_ipLms->GetLibControllerList().GetListCount(), 2);
  EXPECT_TRUE(testkit::audit::records().empty());
}

}  // namespace
