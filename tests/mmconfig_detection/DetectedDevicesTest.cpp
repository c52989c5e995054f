// The detected devices of one object (reply 11152): through the path's
// agent for a drive path (seen from its pool's proxy host when the path is
// proxied), through the configuration for a drive, through the unit's
// agent for a controller (seen from its host when it is an IP or proxied
// unit), and an empty block for every other handle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "tests/mmconfig_detection/DetectionFixture.h"
#include "tests/support/FaultSweep.h"

namespace {

using dettest::Item;
using dettest::le32;
using dettest::le64;

constexpr uint32_t kReplyDevices = tktag::kReplyDetectedDevices;

class DetectedDevices : public dettest::DetectionTest {
 protected:
  void SetUp() override {
    DetectionTest::SetUp();
    ZQMACGraph::SetTexts(m_w.drive1, "", "candidate one");
    ZQMACGraph::SetTexts(m_w.drive2, "", "candidate two");
  }
  std::vector<Item> devicesOf(unsigned long long handle) {
    auto request = m_a.request(dettest::kSequence, 0, kUser);
    request->objectHandle = handle;
    EXPECT_TRUE(m_mgr.onMsgGetMMDetectedDevices(request.get()));
    return onlyReply(m_a.replies(), kReplyDevices);
  }
  std::vector<Item> device(ZQMACInterface* object, const std::string& text) {
    return {{11151, le32(object->GetId()) + text}, {11003, le64(handleOf(object))}, {2052, le32(0)}};
  }
  // Candidates (drive1, drive2) scripted for the object as seen from host.
  void script(ZQMACInterface* object, const std::string& host) {
    testkit::mac::DetectionScript s;
    s.candidates[{handleOf(object), host}] = {handleOf(m_w.drive1), handleOf(m_w.drive2)};
    testkit::mac::scriptDetection(s);
  }
  std::vector<Item> both() {
    std::vector<Item> out = device(m_w.drive1, "candidate one");
    const std::vector<Item> second = device(m_w.drive2, "candidate two");
    out.insert(out.end(), second.begin(), second.end());
    return out;
  }
};

TEST_F(DetectedDevices, EachKindOfObjectAsksFromItsOwnHost) {
  struct Case {
    const char* name;
    ZQMACInterface* object;
    std::string host;
  };
  ZQMACGraph::SetProxyClientHost(m_w.pool1, "proxy.example.net");
  ZQMACGraph::SetUnitHostName(m_w.controller2, "ipctl.example.net");
  ZQMACGraph::SetControllerType(m_w.dms11, 3);
  ZQMACGraph::SetControllerType(m_w.dms21, 0);
  ZQMACGraph::SetControllerType(m_w.controller1, 0);
  ZQMACGraph::SetControllerType(m_w.controller2, 2);
  ZQMACGraph::SetUnitHostName(m_w.controller1, "not used");
  const std::vector<Case> cases = {
      {"proxied drive path", m_w.dms11, "proxy.example.net"},
      {"direct drive path", m_w.dms21, ""},
      {"drive", m_w.drive1, ""},
      {"direct controller", m_w.controller1, ""},
      {"IP controller", m_w.controller2, "ipctl.example.net"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    script(c.object, c.host);
    dettest::expectItems(devicesOf(handleOf(c.object)), both());
    // Asked from any other host, nothing was found.
    script(c.object, c.host + "x");
    dettest::expectItems(devicesOf(handleOf(c.object)), {});
  }
}

TEST_F(DetectedDevices, HandlesOfOtherObjectsOrOfNoneGiveEmptyBlocks) {
  for (const unsigned long long handle :
       {handleOf(m_w.agent1), handleOf(m_w.lms), handleOf(m_w.pool1), 0ull, 0xFFFFFFF0ull}) {
    SCOPED_TRACE(handle);
    script(config().FindObject(handle), "");
    dettest::expectItems(devicesOf(handle), {});
  }
}

TEST_F(DetectedDevices, AProxiedPathWithoutAPoolAsksFromTheAgentItself) {
  ZQMACGraph::SetControllerType(m_w.dms12, 3);
  ZQMACDrivePool* pool = m_w.pool2;
  ASSERT_TRUE(config().DeleteObject(pool));
  script(m_w.dms12, "");
  dettest::expectItems(devicesOf(handleOf(m_w.dms12)), both());
}

TEST_F(DetectedDevices, EveryFailingPlatformCallStillAnswersTheConsole) {
  ZQMACGraph::SetControllerType(m_w.dms21, 0);
  script(m_w.dms21, "");
  tktest::SweepPlan plan;
  plan.setup = [&] { m_a.replies(); };
  plan.request = [&] {
    auto request = m_a.request(dettest::kSequence, 0, kUser);
    request->objectHandle = handleOf(m_w.dms21);
    m_mgr.onMsgGetMMDetectedDevices(request.get());
  };
  plan.check = [&](const tktest::SweepRun& run) {
    return tktest::listedOnSocket(m_a.replies(), run, kReplyDevices, dettest::kSequence);
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
