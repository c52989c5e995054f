// The mount-path listing: the records item by item, which handles answer
// what, and the process-wide section the records are read under: held
// only while the session has an instance (and, for one mount path, a mount
// path to read), and left by the time the handler returns.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "frame/ZqCriticalSection.h"
#include "tests/mmconfig_drives/DrivesFixture.h"
#include "tests/support/WaitFor.h"

namespace {

using drivetest::Expected;
using drivetest::idText;
using drivetest::u32Bytes;
using namespace std::chrono_literals;

class MountPaths : public drivetest::DrivesTest {
 protected:
  void SetUp() override {
    drivetest::DrivesTest::SetUp();
    w = testkit::mac::seedWorld(config());
    ZQMACGraph::SetTexts(w.mountPath1, "first path", "mp1");
    ZQMACGraph::SetMountPathType(w.mountPath1, 4);
    ZQMACGraph::SetForeignAgentId(w.mountPath1, 31);
    w.mountPath1->SetUserName("secret-user");
    w.mountPath1->SetUserPassword("secret-password");
    ZQMACGraph::SetDisplayName(w.mountPath2, "Second path");
  }
  std::vector<Expected> record1() const {
    return {{8085, idText(21, "/mnt/disk1")}, {11031, "first path"}, {11185, u32Bytes(4)}, {11186, u32Bytes(31)},
            {11150, "mp1"},                   {11162, u32Bytes(1)},  {11116, u32Bytes(61)}, {2052, u32Bytes(0)}};
  }
  std::vector<Expected> record2() const {
    return {{8085, idText(22, "Second path")}, {11031, ""},           {11185, u32Bytes(0)}, {11186, u32Bytes(0)},
            {11150, ""},                       {11162, u32Bytes(1)}, {11116, u32Bytes(61)}, {2052, u32Bytes(0)}};
  }
  testkit::mac::World w;
};

TEST_F(MountPaths, TheListSendsEveryMountPathOfTheDiskLibraryWithItsRecord) {
  ZQMACGraph::SetShownFlag(w.mountPath2, false);  // listed all the same
  std::vector<Expected> expected = {{11003, tktest::le64(h(w.mountPath1))}};
  for (const Expected& e : record1()) expected.push_back(e);
  expected.push_back({11003, tktest::le64(h(w.mountPath2))});
  for (Expected e : record2()) {
    if (e.tag == 11162) e.bytes = u32Bytes(0);
    expected.push_back(e);
  }
  drivetest::expectItems(only(&EvMMConfigMgr::onMsgGetMMMountPaths, 11027, h(w.diskLibrary)), expected);
}

TEST_F(MountPaths, TheRecordCarriesNoUserNameAndAnEmptyNameAsTheIdAlone) {
  const std::vector<Expected> items = only(&EvMMConfigMgr::onMsgGetMMMountPathProperties, 11027, h(w.mountPath1));
  drivetest::expectItems(items, record1());
  for (const Expected& item : items) {
    EXPECT_EQ(item.bytes.find("secret"), std::string::npos) << item.tag;
  }
  ZQMACGraph::SetName(w.mountPath2, "");
  ZQMACGraph::SetDisplayName(w.mountPath2, "");
  const std::vector<Expected> unnamed = only(&EvMMConfigMgr::onMsgGetMMMountPathProperties, 11027, h(w.mountPath2));
  ASSERT_FALSE(unnamed.empty());
  EXPECT_EQ(unnamed[0].bytes, u32Bytes(22));
}

TEST_F(MountPaths, HandlesOfOtherObjectsAndDiskLibrariesWithoutPathsAnswerEmptyBlocks) {
  ZQMACMagLib* bare = ZQMACGraph::AddMagLib(config(), w.agent1, 10, "DiskLib2");
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMMountPaths, 11027, h(bare)).empty());
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMMountPaths, 11027, h(w.lms)).empty());
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMMountPaths, 11027, h(w.mountPath1)).empty());
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMMountPathProperties, 11027, h(w.diskLibrary)).empty());
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMMountPathProperties, 11027, 0xFFFFFFF0ull).empty());
}

// Holds gCriticalSectionCTOR on a thread of its own until released.
class SectionHolder {
 public:
  SectionHolder()
      : m_thread([this] {
          ZqCriticalSectionLock lock(&gCriticalSectionCTOR);
          m_held.set_value();
          m_release.get_future().wait();
        }) {
    m_held.get_future().wait();
  }
  ~SectionHolder() {
    release();
    m_thread.join();
  }
  void release() {
    if (!m_released.exchange(true)) m_release.set_value();
  }

 private:
  std::promise<void> m_held;
  std::promise<void> m_release;
  std::atomic<bool> m_released{false};
  std::thread m_thread;
};

TEST_F(MountPaths, TheRecordsWaitForTheConstructorSectionOnlyWhenThereIsSomethingToRead) {
  const unsigned long long library = h(w.diskLibrary);
  const unsigned long long path = h(w.mountPath1);
  // Handler objects are made first: their constructor takes the section too.
  EvMMConfigMgr first;
  EvMMConfigMgr second;
  SectionHolder holder;
  // Nothing to read: no wait for the section.
  for (const auto& [name, handler, handle, client] :
       {std::tuple{"a client whose session was taken over", &EvMMConfigMgr::onMsgGetMMMountPaths, library, &m_b},
        std::tuple{"an unknown mount path", &EvMMConfigMgr::onMsgGetMMMountPathProperties, 0xFFFFFFF0ull, &m_a}}) {
    SCOPED_TRACE(name);
    auto done = std::async(std::launch::async, [&, handler = handler, handle = handle, client = client] {
      EvMMConfigMgr& mgr = first;
      auto request = client->request(libtest::kSequence, 0, kUser);
      request->objectHandle = handle;
      return (mgr.*handler)(request.get());
    });
    const bool finished = done.wait_for(5s) == std::future_status::ready;
    if (!finished) holder.release();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(done.get());
  }
  m_a.replies();
  m_b.replies();

  // Mount paths to read: the handler waits until the section is free.
  std::atomic<int> finished{0};
  std::thread list([&] {
    EvMMConfigMgr& mgr = first;
    auto request = m_a.request(libtest::kSequence, 0, kUser);
    request->objectHandle = library;
    mgr.onMsgGetMMMountPaths(request.get());
    ++finished;
  });
  std::thread one([&] {
    EvMMConfigMgr& mgr = second;
    auto request = m_a.request(libtest::kSequence, 0, kUser);
    request->objectHandle = path;
    mgr.onMsgGetMMMountPathProperties(request.get());
    ++finished;
  });
  // Both handlers have reached the section and wait for it (or, wrongly, finished).
  EXPECT_TRUE(tktest::waitUntil([&] { return gCriticalSectionCTOR.impl()->waiting() + finished.load() == 2; }));
  EXPECT_EQ(finished.load(), 0);
  holder.release();
  list.join();
  one.join();
  EXPECT_EQ(finished.load(), 2);
  EXPECT_EQ(m_a.replies().size(), 2u);

  // Both have left the section: this thread can take it while another waits for nothing.
  auto again = std::async(std::launch::async, [] { ZqCriticalSectionLock lock(&gCriticalSectionCTOR); });
  EXPECT_EQ(again.wait_for(5s), std::future_status::ready);
}

}  // namespace
