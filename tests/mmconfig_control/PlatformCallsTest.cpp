// What the control request asks of the platform exists there: a catalogue
// text for every message id it sends or audits with, and the object-model
// calls it makes appear in the model's journal with their arguments.
#include <gtest/gtest.h>

#include "platform/catalogue/Catalogue.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

TEST(ControlTexts, EveryMessageIdOfTheControlRequestHasACatalogueText) {
  const unsigned long ids[] = {
      0x240001F3, 0x2400016B, 0x24000330, 0x23000002,              // answers
      0x540000B5, 0x540000B6, 0x540001D0,                          // audit operations
      0x5500018B, 0x550000BF, 0x550000BE, 0x550005D7, 0x55000456,  // audit parameters
  };
  for (unsigned long id : ids) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(tkcatalogue::has(static_cast<uint32_t>(id)));
  }
}

class ControlCalls : public ctltest::ControlTest {};

TEST_F(ControlCalls, TheLongOperationsAreJournaledWithoutThePassword) {
  testkit::mac::scriptLongOperations(testkit::mac::percentages({}));
  run(stream().op(50).handle(handleOf(m_world.lms)).end()
          .op(105).pair(ctltest::kElementName, 7, "acct")
          .raw(ctltest::kElementUserName, ctltest::encrypted("bob"))
          .raw(ctltest::kElementPassword, ctltest::encrypted("hunter2")).end(),
      true);
  const auto calls = testkit::mac::journal().calls();
  std::vector<std::vector<std::string>> seen;
  for (const auto& call : calls)
    if (call.name == "RunLongOperation" || call.name == "RunCredentialOperation") {
      std::vector<std::string> row{call.name};
      row.insert(row.end(), call.args.begin(), call.args.end());
      seen.push_back(row);
    }
  const std::string handle = std::to_string(handleOf(m_world.lms));
  EXPECT_EQ(seen, (std::vector<std::vector<std::string>>{{"RunLongOperation", handle},
                                                         {"RunCredentialOperation", handle, "acct", "bob", "7"}}));
  for (const auto& call : calls)
    for (const auto& arg : call.args) EXPECT_EQ(arg.find("hunter2"), std::string::npos) << call.name;
}

}  // namespace
