// The can-delete question under the fault sweep: made once for every
// platform call failing in turn, on a mount path with content (so that the
// check's every step runs). Every run answers (the check's code and text,
// or a refusal with a text) and changes nothing: the question only reads.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_storagelib/StorageLibFixture.h"
#include "tests/support/FaultSweep.h"

namespace storagelibtest {
namespace {

constexpr unsigned long kCanDeleteId = 0x0DF856C0;

using CanDeleteSweep = StorageLibTest;

TEST_F(CanDeleteSweep, EveryFailingCallEndsInAnAnswerAndChangesNothing) {
  tktest::insertRows(m_db, "MMMedia (MediaId, MediaName)", {{900, "media900"}});
  tktest::insertRows(m_db, "MMMediaSide (MediaSideId, MediaId, DataWrittenBytes)", {{90, 900, 4096}});
  ASSERT_EQ(m_db.exec("UPDATE MMMountPath SET MediaSideId = 90 WHERE MountPathId = ?", {kMountPath}), 0);
  tktest::insertRows(m_db, "MMMediaBackup (JobId, AppId, ArchGroupId, CopyId, MediaId)", {{11, 3, 4, 5, 900}});
  const std::string question = "<EVGui_CanDeleteLibraryMountPathReq i1=\"" + std::to_string(kMountPath) + "\" i2=\"" +
                               std::to_string(kDiskLib) + "\"/>";
  std::string buffer;
  tktest::SweepPlan plan;
  plan.setup = [&] { freshStandIns(); };
  plan.request = [&] {
    auto message = record();
    buffer = question;
    m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kCanDeleteId, buffer);
  };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (buffer == question || buffer.empty()) return run.failed("xml.serialize") ? "" : "no answer was written";
    const Answer a = decode(buffer);
    if (a.code == 999) return "not an answer: " + buffer;
    if (run.k == 0 && a.code <= 0) return "the clean run found nothing in the way: " + buffer;
    if (a.code < 0 && a.text.empty()) return "a refusal without a text: " + buffer;
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
}  // namespace storagelibtest
