// The XML dispatcher: each message id of its table reaches its own handler
// and no other; any other id leaves the text as it came; the result tells
// whether a response is in the buffer.
#include <gtest/gtest.h>

#include <string>

#include "frame/EvMMConfigMgr.h"
#include "platform/testkit/security.h"
#include "platform/testkit/xml.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/support/FrameSession.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

namespace {

using tktest::catalogueText;

constexpr unsigned long kStorageLibrary = 0x0D130098;
constexpr unsigned long kLock = 0x0DF9BE39;
// A text that no handler reads: each handler answers it as unreadable.
const std::string kGarbage = "<not a request";

class Dispatch : public tktest::SessionTest {
 protected:
  long long dispatch(unsigned long id, std::string& text, bool withRecord = true, unsigned long unread = 0) {
    auto record = m_client.request(5, 0, 7);
    return m_mgr.HandleMMConfigMgrXmlMsg(withRecord ? record.get() : nullptr, unread, unread, unread, id, text);
  }
  // The code and text of a generic response of the class, or 999 when the
  // text is no such response.
  template <class Generic>
  static std::pair<long long, std::string> generic(const std::string& xml) {
    Generic response;
    if (response.unserialize(xml) != 0) return {999, ""};
    return {response.getint64(Generic::kCode.tag, Generic::kClassHash, Generic::kCode.hash),
            response.getstring(Generic::kText.ordinal, Generic::kText.tag, Generic::kClassHash, Generic::kText.hash)};
  }

  tktest::TempDir m_locks;
  tktest::ScopedEnv m_lockEnv{"TK_LOCK_DIR", m_locks.file("locks")};
  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  tktest::Connection m_client;
};

TEST_F(Dispatch, EachBuiltIdReachesItsOwnHandler) {
  const std::string unreadable = catalogueText(0x23000452);
  // The storage-library request answers in namespace 13.
  std::string text = kGarbage;
  EXPECT_EQ(dispatch(kStorageLibrary, text), 0);
  EXPECT_EQ(generic<EVGui::GenericResp>(text), std::make_pair(-1LL, unreadable)) << text;
  // The configuration lock answers in namespace 1.
  text = kGarbage;
  EXPECT_EQ(dispatch(kLock, text), 0);
  EXPECT_EQ(generic<ZQGui::GenericResp>(text), std::make_pair(-1LL, unreadable)) << text;
}

TEST_F(Dispatch, AnIdThatIsNotInTheTableLeavesTheTextAsItCame) {
  struct Case {
    const char* name;
    unsigned long id;
  };
  const Case cases[] = {
      {"storage library with a bit above 31", (1UL << 32) | kStorageLibrary},
      {"lock with bit 63", (1UL << 63) | kLock},
      {"unknown", 0x0D000001},
      {"zero", 0},
      // The class hash of a response, which no request carries.
      {"tape-library listing response", 0x01000BC0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = kGarbage;
    EXPECT_EQ(dispatch(c.id, text), 0);
    EXPECT_EQ(text, kGarbage);
    std::string empty;
    EXPECT_EQ(dispatch(c.id, empty), -1);
    EXPECT_EQ(empty, "");
  }
}

TEST_F(Dispatch, AHandlerThatLeavesTheBufferEmptyMakesTheResultMinusOne) {
  for (unsigned long id : {kStorageLibrary, kLock}) {
    SCOPED_TRACE(id);
    // Without a request record a handler answers nothing.
    std::string text = kGarbage;
    EXPECT_EQ(dispatch(id, text, false), -1);
    EXPECT_EQ(text, "");
  }
}

TEST_F(Dispatch, TheValuesBeforeTheMessageIdChangeNothing) {
  for (unsigned long unread : {0UL, 1UL, 0xFFFFFFFFFFFFFFFFUL}) {
    SCOPED_TRACE(unread);
    std::string text = kGarbage;
    EXPECT_EQ(dispatch(kStorageLibrary, text, true, unread), 0);
    EXPECT_EQ(generic<EVGui::GenericResp>(text).first, -1);
    std::string other = kGarbage;
    EXPECT_EQ(dispatch(0x0D000001, other, true, unread), 0);
    EXPECT_EQ(other, kGarbage);
  }
}

}  // namespace
