// The control request's operation table, one row per operation code and
// handle: which codes are served, which need element 11003 (the handle test
// comes before the operation test), and that a handle naming no object
// reaches the operation as "no object" and changes nothing.
#include <gtest/gtest.h>

#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using ctltest::Message;
using ctltest::operationResponse;
using ctltest::statusReply;

enum class Handle { None, Unknown, Library };

struct Row {
  uint32_t operation;
  Handle handle;
  bool result;
  enum { Success, NoHandle, Invalid } answer;
};

constexpr unsigned long long kUnknownHandle = 0xFFFFFFF0ull;

class OperationMatrix : public ctltest::ControlTest {};

TEST_F(OperationMatrix, EachCodeIsServedRefusedForItsHandleOrInvalidAsTheTableSays) {
  const Row rows[] = {
      // The session operations need no handle.
      {12, Handle::None, true, Row::Success},
      {33, Handle::None, true, Row::Success},
      {68, Handle::None, true, Row::Success},
      {70, Handle::None, true, Row::Success},
      // Every other operation needs one, however little it does.
      {57, Handle::None, false, Row::NoHandle},
      {60, Handle::None, false, Row::NoHandle},
      {48, Handle::None, false, Row::NoHandle},
      {50, Handle::None, false, Row::NoHandle},
      {51, Handle::None, false, Row::NoHandle},
      {69, Handle::None, false, Row::NoHandle},
      {105, Handle::None, false, Row::NoHandle},
      // A handle that names no object: no change, "Success".
      {57, Handle::Unknown, true, Row::Success},
      {60, Handle::Unknown, true, Row::Success},
      {48, Handle::Unknown, true, Row::Success},
      {50, Handle::Unknown, true, Row::Success},
      {51, Handle::Unknown, true, Row::Success},
      {69, Handle::Unknown, true, Row::Success},
      {105, Handle::Unknown, true, Row::Success},
      {60, Handle::Library, true, Row::Success},
      // Codes outside the table: the handle test first, then the code.
      {0, Handle::None, false, Row::NoHandle},
      {3, Handle::None, false, Row::NoHandle},
      {127, Handle::None, false, Row::NoHandle},
      {0, Handle::Library, false, Row::Invalid},
      {3, Handle::Library, false, Row::Invalid},
      {127, Handle::Library, false, Row::Invalid},
      {0xFFFFFFFF, Handle::Library, false, Row::Invalid},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("operation " + std::to_string(row.operation) + " handle " +
                 std::to_string(static_cast<int>(row.handle)));
    ctltest::resetStandIns();
    testkit::mac::ScopedLoader loader(testkit::mac::worldLoader());
    tktest::StreamBuilder s = stream().op(row.operation);
    if (row.handle == Handle::Unknown) s.handle(kUnknownHandle);
    if (row.handle == Handle::Library) s.handle(handleOf(config().GetLmsList().GetFirstNode()));
    const std::vector<Message> answers = run(s.end(), row.result);
    switch (row.answer) {
      case Row::Success:
        EXPECT_EQ(answers, std::vector<Message>{operationResponse(row.operation, 1, "Success")});
        break;
      case Row::NoHandle:
        EXPECT_EQ(answers, std::vector<Message>{operationResponse(row.operation, 0, ctltest::text(0x240001F3))});
        break;
      case Row::Invalid:
        EXPECT_EQ(answers, std::vector<Message>{statusReply(0, "Received invalid operation type")});
        break;
    }
    // No row changes an object or writes an audit record, and none leaves
    // the client sequence number set.
    EXPECT_EQ(testkit::mac::journal().count("Configure"), 0u);
    EXPECT_EQ(testkit::mac::journal().count("RunLongOperation"), 0u);
    EXPECT_EQ(testkit::mac::journal().count("RunCredentialOperation"), 0u);
    EXPECT_TRUE(testkit::audit::records().empty());
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
    // 12 and 68 made a new instance; the next row works on it.
    m_config = EvMMConfigMgr::GetCurrentMediaConfig(m_a.request(1, 0, ctltest::kUser).get(), false);
    ASSERT_NE(m_config, nullptr);
    config().SetAbortFlag(false);
  }
}

}  // namespace
