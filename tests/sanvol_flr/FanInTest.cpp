// Fan-in recovery points through their XML entry points: the listing of a
// destination volume's recovery points, the pairs under one, and the
// operations on one, each called with a request text as the host passes it
// and judged by the reply text, the answers on the client's socket, the
// replica database's rows and the client's state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testkit/xml.h"
#include "platform/xml/FanInMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/sanvol_flr/FlrFixture.h"

namespace flrtest {
namespace {

constexpr const char* kVSSMoniker = "VSS_SNAP_SSID_MONIKER\x15";

struct XmlOutcome {
  long long result = 0;
  std::string text;
};

FanInDetail_t detailFor(int32_t destClientId) {
  FanInDetail_t detail;
  detail.destClientId = destClientId;
  return detail;
}
FanInDetail_t pairDetail() {
  FanInDetail_t detail = detailFor(kClient);
  detail.text1 = "src";
  detail.text2 = "dst";
  detail.value1 = 11;
  detail.value2 = 22;
  detail.text3 = "srcvol";
  detail.text4 = "dstvol";
  return detail;
}

std::string generic(long long code, const std::string& text = "") {
  return "<ZQGui_GenericResp i1=\"" + std::to_string(code) + "\"" + (text.empty() ? "" : " s2=\"" + text + "\"") +
         "/>";
}

class FanInTest : public FlrTest {
 protected:
  FanInTest() { testkit::clientvol::seedHost(kClientHost, kClient); }

  XmlOutcome listing(const std::string& request) {
    return call(request, [this](MessageInfo* m, std::string& t) { return handler.onMsgGetFanInRP(m, t); });
  }
  XmlOutcome pairs(int32_t rpId) {
    return call("<EVGui_CDRFanInGetPairsUnderRecoveryPointReq i1=\"" + std::to_string(rpId) + "\"/>",
                [this](MessageInfo* m, std::string& t) { return handler.onMsgGetFanInRPPair(m, t); });
  }
  XmlOutcome manage(int32_t rpId, long long operation, const std::string& path = "", int writeable = 0) {
    return call("<EVGui_CDRFanInExecuteRPOperationReq i1=\"" + std::to_string(rpId) + "\" i2=\"" +
                    std::to_string(operation) + "\" s3=\"" + path + "\" i7=\"" + std::to_string(writeable) + "\"/>",
                [this](MessageInfo* m, std::string& t) { return handler.onMsgManageFanInRP(m, t); });
  }
  template <class Handler>
  XmlOutcome call(const std::string& request, Handler&& handle) {
    auto record = client.request(kSequence);
    XmlOutcome out;
    out.text = request;
    out.result = handle(record.get(), out.text);
    return out;
  }

  // A recovery point on the client: its FLR set (credentials "user" and
  // "secret"), consistency point, fan-in detail and snapshot. Its id.
  int32_t seedRecoveryPoint(int32_t engine, const std::string& snapName = "snap",
                            const std::string& source = "filer / vol1", const std::string& sharePath = "") {
    const unsigned long long set = seedSet(kClient, true, 0, "user", "secret");
    const int32_t cp = seedCP(static_cast<int32_t>(set), 1, 1);
    testkit::replicadb::seedFanInDetail(detailFor(kClient), cp);
    snapId = seedSnapshot(cp, snapName, engine, "/vol/v1", source, sharePath);
    return cp;
  }
  std::vector<std::string> clientCall(const std::string& name) {
    const auto calls = testkit::clientvol::journal().calls(name);
    return calls.empty() ? std::vector<std::string>{} : calls.back().args;
  }
  std::vector<FLRSnapMountPointRecord_t> mountRecords() { return testkit::replicadb::rows<FLRSnapMountPointRecord_t>(); }

  int32_t snapId = -1;
};

// ---------------------------------------------------------------- the XML frame

TEST_F(FanInTest, ANullRecordWritesNothingAndLeavesTheText) {
  std::string text = "<request/>";
  EXPECT_EQ(handler.onMsgGetFanInRP(nullptr, text), -1);
  EXPECT_EQ(handler.onMsgGetFanInRPPair(nullptr, text), -1);
  EXPECT_EQ(handler.onMsgManageFanInRP(nullptr, text), -1);
  EXPECT_EQ(text, "<request/>");
}

TEST_F(FanInTest, LibraryAndParseFailuresAreAnsweredWithTheGenericReply) {
  testkit::xml::Scope xml;
  testkit::xml::failNext(testkit::xml::Call::Initialize, 1);
  EXPECT_EQ(pairs(1).text, generic(-1, catalogueText(0x23000451)));
  const XmlOutcome unreadable = manage(1, 2, "<");
  EXPECT_EQ(unreadable.result, 0);
  EXPECT_EQ(unreadable.text, generic(-1, catalogueText(0x23000452)));
  EXPECT_TRUE(testkit::replicadb::journal().calls().empty());
}

TEST_F(FanInTest, AReplyThatCannotBeWrittenLeavesNoTextAndReturnsMinusOneEvenAfterTheOperation) {
  const int32_t rp = seedRecoveryPoint(2);
  testkit::xml::Scope xml;
  testkit::xml::failForClass(testkit::xml::Call::Serialize, 13, 873, tkxml::kErrBadValue);
  const XmlOutcome listed = listing("<EVGui_CDRFanInGetRecoveryPointsReq i1=\"7\" s2=\"E:\"/>");
  EXPECT_EQ(listed.result, -1);
  EXPECT_EQ(listed.text, "");
  testkit::xml::failForClass(testkit::xml::Call::Serialize, 1, 0, tkxml::kErrBadValue);
  const XmlOutcome deleted = manage(rp, 2);
  EXPECT_EQ(deleted.result, -1);
  EXPECT_EQ(deleted.text, "");
  EXPECT_TRUE(testkit::replicadb::rows<FLRConsistencyPointRecord_t>().empty());
}

// ---------------------------------------------------------------- recovery points

TEST_F(FanInTest, ANetworkVolumeIsLookedUpCutAfterItsShare) {
  struct Case {
    const char* asked;
    const char* lookedUp;
  } cases[] = {
      {"\\\\srv", "\\\\srv"},
      {"\\\\srv\\share", "\\\\srv\\share"},
      {"\\\\srv\\share\\d1\\d2", "\\\\srv\\share"},
      {"C:\\data\\d1", "C:\\data\\d1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    testkit::replicadb::exec("DELETE FROM \"RPInfo1\"");
    const int32_t id =
        testkit::replicadb::seedRecoveryPoint(RPInfo1Record_t{-1, 5, "rp", "X:", 9}, kClient, c.lookedUp);
    const XmlOutcome out = listing(std::string("<EVGui_CDRFanInGetRecoveryPointsReq i1=\"7\" s2=\"") + c.asked + "\"/>");
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.text, "<EVGui_CDRFanInGetRecoveryPointsResp><list tag=\"1\"><EVGui_CDRFanInRecoveryPoint i1=\"" +
                            std::to_string(id) +
                            "\" s2=\"rp\" i6=\"5\" i7=\"1\" s8=\"X:\" i12=\"9\"/></list>"
                            "</EVGui_CDRFanInGetRecoveryPointsResp>");
  }
}

TEST_F(FanInTest, ANetworkRecoveryPointShowsItsShareThenItsSnapshotsSharePathThenItsOwnPath) {
  const int32_t withShare = seedRecoveryPoint(4, "a", "filer / v", "\\\\filer\\published");
  seedShare(seedMountPoint(snapId, "/mnt/a"), "\\\\filer\\shared");
  const int32_t withSharePath = seedRecoveryPoint(4, "b", "filer / v", "\\\\filer\\published");
  const int32_t plain = seedRecoveryPoint(4, "c");
  const int32_t unmounted = seedRecoveryPoint(4, "d", "filer / v", "\\\\filer\\published");
  // A recovery point's id is its consistency point's: both tables count from 1.
  for (auto [id, path] : {std::pair{withShare, "M1"}, {withSharePath, "M2"}, {plain, "M3"}, {unmounted, ""}})
    ASSERT_EQ(testkit::replicadb::seedRecoveryPoint(RPInfo1Record_t{-1, 0, "", path, 0}, kClient, "\\\\filer\\v"), id);
  testkit::replicadb::reset();
  const XmlOutcome out = listing("<EVGui_CDRFanInGetRecoveryPointsReq i1=\"7\" s2=\"\\\\filer\\v\\dir\"/>");
  EVGui::CDRFanInGetRecoveryPointsResp reply;
  ASSERT_EQ(reply.unserialize(out.text), 0) << out.text;
  using Item = EVGui::CDRFanInRecoveryPoint;
  const auto& list = reply.getlistobject(1, 1, EVGui::CDRFanInGetRecoveryPointsResp::kClassHash, 0x1504D8, false);
  std::vector<std::string> paths;
  std::vector<long long> mounted;
  for (const CNMessageBase& item : list) {
    paths.push_back(item.getstringByRef(Item::kPath.ordinal, Item::kPath.tag, Item::kClassHash, Item::kPath.hash));
    mounted.push_back(item.getint64(Item::kMounted.tag, Item::kClassHash, Item::kMounted.hash));
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"\\\\filer\\shared", "\\\\filer\\published", "M3", ""}));
  EXPECT_EQ(mounted, (std::vector<long long>{1, 1, 1, 0}));
  // The unmounted one is not looked up.
  EXPECT_EQ(testkit::replicadb::calls("QueryFLRSnapshotsByCPId").size(), 3u);
}

TEST_F(FanInTest, AVolumeWithoutRecoveryPointsIsAnEmptyListAndAFailedLookupNamesVolumeAndHost) {
  EXPECT_EQ(listing("<EVGui_CDRFanInGetRecoveryPointsReq i1=\"7\" s2=\"E:\"/>").text,
            "<EVGui_CDRFanInGetRecoveryPointsResp><list tag=\"1\"/></EVGui_CDRFanInGetRecoveryPointsResp>");
  testkit::replicadb::failNext("QueryRPByDstClientIdAndVolName", -1, "down", 2);
  const XmlOutcome failed = listing("<EVGui_CDRFanInGetRecoveryPointsReq i1=\"7\" s2=\"E:\"/>");
  EXPECT_EQ(failed.result, 0);
  EXPECT_EQ(failed.text, generic(-1, catalogueText(0x390000f6, "E:", kClientHost)));
  EXPECT_EQ(listing("<EVGui_CDRFanInGetRecoveryPointsReq i1=\"99\" s2=\"E:\"/>").text,
            generic(-1, catalogueText(0x390000f6, "E:", "Unknown")));
}

// ---------------------------------------------------------------- pairs

TEST_F(FanInTest, EachDetailIsOnePairWithItsTwoIdNameSubMessages) {
  testkit::replicadb::seedFanInDetail(pairDetail(), 8);
  EXPECT_EQ(pairs(8).text,
            "<EVGui_CDRFanInGetPairsUnderRecoveryPointResp><list tag=\"1\"><EVGui_CDRFanInPairInfo s1=\"src\" "
            "s6=\"dst\"><EVGui_IdName tag=\"5\" i1=\"11\" s2=\"srcvol\"/><EVGui_IdName tag=\"10\" i1=\"22\" "
            "s2=\"dstvol\"/></EVGui_CDRFanInPairInfo></list></EVGui_CDRFanInGetPairsUnderRecoveryPointResp>");
  EXPECT_EQ(pairs(9).text,
            "<EVGui_CDRFanInGetPairsUnderRecoveryPointResp><list tag=\"1\"/>"
            "</EVGui_CDRFanInGetPairsUnderRecoveryPointResp>");
  testkit::replicadb::failNext("QueryFanInRPDetails", -1, "down");
  EXPECT_EQ(pairs(8).text, generic(-1, catalogueText(0x390000f7)));
}

// ---------------------------------------------------------------- operations

TEST_F(FanInTest, AnOperationOutsideZeroToFourIsRefusedAndNothingIsDone) {
  for (long long operation : {5LL, 7LL, -1LL}) {
    SCOPED_TRACE(operation);
    testkit::replicadb::reset();
    EXPECT_EQ(manage(1, operation).text, generic(-1, catalogueText(0x23000452)));
    EXPECT_TRUE(testkit::replicadb::journal().calls().empty());
  }
}

TEST_F(FanInTest, DeletingTheConsistencyPointNeedsNoSnapshotAndNoClient) {
  const int32_t cp = seedCP(1, 1, 1);
  EXPECT_EQ(manage(cp, 2).text, generic(0));
  EXPECT_TRUE(testkit::replicadb::rows<FLRConsistencyPointRecord_t>().empty());
  EXPECT_TRUE(testkit::clientvol::journal().calls().empty());
  EXPECT_TRUE(testkit::client::journal().calls("getNetworkHostname").empty());
  EXPECT_EQ(manage(cp, 2).text, generic(-1, catalogueText(0x39000088)));
}

TEST_F(FanInTest, WithoutDetailsSnapshotOrHostNameTheOperationStopsBeforeTheClient) {
  const int32_t noDetail = seedCP(1, 1, 1);
  const int32_t noSnapshot = seedCP(1, 1, 1);
  testkit::replicadb::seedFanInDetail(detailFor(kClient), noSnapshot);
  for (long long operation : {0, 1, 3, 4}) {
    SCOPED_TRACE(operation);
    EXPECT_EQ(manage(noDetail, operation, "X:").text, generic(-1, catalogueText(0x390000f7)));
    EXPECT_EQ(manage(noSnapshot, operation, "X:").text, generic(-1, catalogueText(0x390000f8)));
  }
  testkit::client::journal().injectFailure("getNetworkHostname", 5, "no host");
  EXPECT_EQ(manage(seedRecoveryPoint(2), 0, "X:").text, generic(-1, catalogueText(0x390000f9)));
  EXPECT_TRUE(testkit::clientvol::journal().calls().empty());
  EXPECT_TRUE(mountRecords().empty());
}

TEST_F(FanInTest, AMountRecordsItsPathUnderTheDeviceNameOfItsEngine) {
  struct Case {
    int32_t engine;
    const char* snapName;
    std::string device;
  } cases[] = {
      {2, "{vss}", std::string(kVSSMoniker) + "{vss}"},
      {1, "{other}", "QSV{other}"},
      {1, "plain", "plain"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.snapName);
    const int32_t rp = seedRecoveryPoint(c.engine, c.snapName, "E:");
    const std::string path = std::string("M") + c.snapName;
    EXPECT_EQ(manage(rp, 0, path).text, generic(0));
    EXPECT_EQ(clientCall("addVolumeMountPoint"),
              (std::vector<std::string>{kClientHost, c.device, path, "", "", "E:", "0", "0"}));
    ASSERT_FALSE(mountRecords().empty());
    EXPECT_EQ(mountRecords().back().mountPath, path);
    EXPECT_EQ(mountRecords().back().snapId, snapId);
  }
  const int32_t ontap = seedRecoveryPoint(4, "osnap", "filer / v");
  EXPECT_EQ(manage(ontap, 0, "/mnt/o").text, generic(0));
  EXPECT_EQ(clientCall("addVolumeMountPointOntap"),
            (std::vector<std::string>{kClientHost, "osnap", "/mnt/o", "/vol/v1", "filer / v", "user", "********", "0",
                                      "0"}));
}

TEST_F(FanInTest, AMountThatDoesNotHappenLeavesNoRecordAndIsAnsweredOnTheSocket) {
  const int32_t rp = seedRecoveryPoint(2, "s", "E:");
  testkit::clientvol::journal().injectFailure("addVolumeMountPoint", 0, "busy");
  EXPECT_EQ(manage(rp, 0, "X:").text, generic(-1));
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x39000083, "E:", "X:"));
  EXPECT_TRUE(mountRecords().empty());

  const int32_t ontap = seedRecoveryPoint(4);
  testkit::replicadb::failNext("QueryCPById", -1, "down");
  EXPECT_EQ(manage(ontap, 0, "Y:").text, generic(-1, catalogueText(0x390000f8)));
  EXPECT_TRUE(mountRecords().empty());
  EXPECT_TRUE(clientCall("addVolumeMountPointOntap").empty());

  testkit::replicadb::failNext("AddFLRSnapMountPoint", -1, "down");
  testkit::clientvol::journal().reset();
  EXPECT_EQ(manage(rp, 0, "Z:").text, generic(-1));
  expectFailure(replies().at(0), catalogueText(0x39000085, "Z:"));
  EXPECT_TRUE(testkit::clientvol::journal().calls().empty());
}

TEST_F(FanInTest, APublishingRecordsWhereTheClientMountedAndTheShareUnderTheFiler) {
  for (const char* source : {"filer / vol1 / q", "whole"}) {
    SCOPED_TRACE(source);
    const int32_t rp = seedRecoveryPoint(4, "osnap", source);
    testkit::clientvol::scriptOntapMountPath(kClientHost, std::string("/mnt/") + source);
    EXPECT_EQ(manage(rp, 3, "pub", 1).text, generic(0));
    EXPECT_EQ(clientCall("addVolumeMountPointOntap").at(7), "1");
    EXPECT_EQ(mountRecords().back().mountPath, std::string("/mnt/") + source);
    FLRSnapshotRecord_t snapshot;
    ASSERT_TRUE(testkit::replicadb::row(snapId, snapshot));
    EXPECT_EQ(snapshot.sharePath, "\\\\" + std::string(source == std::string("whole") ? "whole" : "filer") + "\\pub");
  }
}

TEST_F(FanInTest, APublishingUndoesItsMountAndRecordWhenALaterStepFails) {
  struct Case {
    const char* failing;
    bool clientCall;
    std::string answer;
  } cases[] = {
      {"addVolumeMountPointOntap", true, catalogueText(0x39000083, "filer / v", "pub")},
      {"AddFLRSnapMountPoint", false, catalogueText(0x39000085, "pub")},
      {"UpdateFLRSnapshot", false, catalogueText(0x390000e4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    const int32_t rp = seedRecoveryPoint(4, "osnap", "filer / v");
    if (c.clientCall)
      testkit::clientvol::journal().injectFailure(c.failing, 0, "refused");
    else
      testkit::replicadb::failNext(c.failing, -1, "down");
    EXPECT_EQ(manage(rp, 3, "pub").text, generic(-1));
    auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectFailure(got[0], c.answer);
    EXPECT_TRUE(mountRecords().empty());
    EXPECT_TRUE(testkit::clientvol::agent(kClientHost).mounts.empty());
    FLRSnapshotRecord_t snapshot;
    ASSERT_TRUE(testkit::replicadb::row(snapId, snapshot));
    EXPECT_EQ(snapshot.sharePath, "");
  }
}

TEST_F(FanInTest, AnUnmountNamesTheDeviceByEngineAndPairPath) {
  struct Case {
    const char* name;
    int32_t engine;
    const char* pairPath;  // null: no pair path
    std::string device;
  } cases[] = {
      {"other engine", 1, nullptr, "M:"},
      {"ONTAP without pair path", 4, nullptr, "<ONTAP_LUN><SNAPNAME>snap</SNAPNAME><MOUNT>M:</MOUNT>"},
      {"ONTAP with a local pair path", 4, "D:\\x", "<ONTAP_LUN><SNAPNAME>snap</SNAPNAME><MOUNT>M:</MOUNT>"},
      {"ONTAP with a network pair path", 4, "\\\\filer\\x", "M:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t rp = seedRecoveryPoint(c.engine, "snap", "src");
    if (c.pairPath != nullptr) testkit::replicadb::seed(FLRPairPathRecord_t{-1, snapId, "p", c.pairPath});
    seedMountPoint(snapId, "M:");
    ZQSVCClientSession(kClientHost, kClient).addVolumeMountPoint("d", "M:", "", "", nullptr, "", 0, 0);
    EXPECT_EQ(manage(rp, 1).text, generic(0));
    const auto call = clientCall("removeVolumeMountPoint");
    ASSERT_EQ(call.size(), 5u);
    EXPECT_EQ(call[1], c.device);
    EXPECT_EQ(call[2], "src");
    EXPECT_TRUE(mountRecords().empty());
  }
}

TEST_F(FanInTest, UnmountAndUnpublishWithoutAMountPointAnswerThePlainTextNamingTheHost) {
  const int32_t rp = seedRecoveryPoint(4);
  for (long long operation : {1, 4})
    EXPECT_EQ(manage(rp, operation).text,
              generic(-1, std::string("Failed to remove mount point on client ") + kClientHost + "."));
  EXPECT_TRUE(replies().empty());
}

TEST_F(FanInTest, AnUnpublishingChoosesItsPathByTheFirstRuleThatApplies) {
  struct Case {
    const char* name;
    const char* mountPath;
    bool shareOfThisMount;
    const char* sharePath;
    const char* source;
    std::string path;  // empty: no rule applies
  } cases[] = {
      {"share of this mount", "/mnt/a", true, "", "filer / v", "/mnt/a/leaf"},
      {"mount under /", "/mnt/b", false, "\\\\filer\\pub", "filer / v", "/mnt/b/pub"},
      {"filer and volume", "B:", false, "\\\\filer\\pub", "filer / v / x", "/filer/v/pub"},
      {"no volume in the source", "C:", false, "\\\\filer\\pub", "filer", ""},
      {"no share name", "D:", false, "\\\\filer", "filer / v", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::clientvol::reset();
    testkit::clientvol::seedHost(kClientHost, kClient);
    const int32_t rp = seedRecoveryPoint(4, "snap", c.source, c.sharePath);
    const int32_t mp = seedMountPoint(snapId, c.mountPath);
    seedShare(c.shareOfThisMount ? mp : seedMountPoint(snapId, "/other"), "\\\\filer\\leaf");
    const XmlOutcome out = manage(rp, 4);
    if (c.path.empty()) {
      EXPECT_EQ(out.text, generic(-1, catalogueText(0x390000f8)));
      EXPECT_TRUE(testkit::clientvol::journal().calls().empty());
      continue;
    }
    const auto call = clientCall("removeVolumeMountPoint");
    ASSERT_EQ(call.size(), 5u);
    EXPECT_EQ(call[1], c.path);
    EXPECT_EQ(call[2], "/vol/v1");
  }
}

TEST_F(FanInTest, AnUnpublishingRemovesTheShareThenTheMountThenTheSharePath) {
  const int32_t rp = seedRecoveryPoint(4, "snap", "filer / v", "\\\\filer\\leaf");
  const int32_t mp = seedMountPoint(snapId, "/mnt/a");
  seedShare(mp, "\\\\filer\\leaf");
  // Published as "leaf", mounted where the client chose.
  testkit::clientvol::scriptOntapMountPath(kClientHost, "/mnt/a");
  std::string chosen;
  ZQSVCClientSession(kClientHost, kClient).addVolumeMountPointOntap("snap", "leaf", "", "", "", "", &chosen, 0, 0);
  testkit::replicadb::reset();
  EXPECT_EQ(manage(rp, 4).text, generic(0));
  std::vector<std::string> writes;
  for (const auto& c : testkit::replicadb::journal().calls())
    if (c.name.rfind("Query", 0) != 0) writes.push_back(c.name);
  EXPECT_EQ(writes, (std::vector<std::string>{"DeleteFLRSnapNetworkShare", "DeleteFLRSnapMountPoint", "UpdateFLRSnapshot"}));
  FLRSnapshotRecord_t snapshot;
  ASSERT_TRUE(testkit::replicadb::row(snapId, snapshot));
  EXPECT_EQ(snapshot.sharePath, "");
  EXPECT_TRUE(testkit::replicadb::rows<FLRSnapNetworkShareRecord_t>().empty());
  EXPECT_TRUE(testkit::clientvol::agent(kClientHost).mounts.empty());
}

TEST_F(FanInTest, AnUnpublishingKeepsTheShareRecordOfAnotherMountPoint) {
  const int32_t rp = seedRecoveryPoint(4, "snap", "filer / v", "\\\\filer\\pub");
  seedMountPoint(snapId, "/mnt/b");
  seedShare(seedMountPoint(snapId, "/other"), "\\\\filer\\other");
  testkit::clientvol::scriptOntapMountPath(kClientHost, "/mnt/b");
  std::string chosen;
  ZQSVCClientSession(kClientHost, kClient).addVolumeMountPointOntap("snap", "pub", "", "", "", "", &chosen, 0, 0);
  EXPECT_EQ(manage(rp, 4).text, generic(0));
  EXPECT_EQ(testkit::replicadb::rows<FLRSnapNetworkShareRecord_t>().size(), 1u);
  ASSERT_EQ(mountRecords().size(), 1u);
  EXPECT_EQ(mountRecords()[0].mountPath, "/other");
}

TEST_F(FanInTest, EveryTextTheRequestsAnswerWithIsInTheCatalogue) {
  for (unsigned long id : {0x23000451UL, 0x23000452UL, 0x39000083UL, 0x39000085UL, 0x39000086UL, 0x39000087UL,
                           0x39000088UL, 0x3900008bUL, 0x390000e4UL, 0x390000e5UL, 0x390000f6UL, 0x390000f7UL,
                           0x390000f8UL, 0x390000f9UL, 0x39000006UL})
    EXPECT_EQ(catalogueText(id).rfind("message 0x", 0), std::string::npos) << std::hex << id;
}

}  // namespace
}  // namespace flrtest
