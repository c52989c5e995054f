// Object handles are given when first asked for: a load costs none however
// many objects it makes, so requests that each load a new instance never
// run the process out of handles; a handle once given stays the object's,
// resolves only in its own instance, and stops resolving when the object
// goes.
#include <atomic>
#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

#include "frame/mac/ZQMACRegistryMutex.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace modeldb {
namespace {

using Handles = ModelDatabase;

TEST_F(Handles, NewInstancesOfOneConfigurationTakeHandlesOnlyForWhatIsAskedFor) {
  const uint32_t next = tkmac::peekNextHandle();
  const std::size_t objects = load()->GetObjectCount();
  for (int i = 0; i < 50; ++i) ASSERT_EQ(load()->GetObjectCount(), objects);
  EXPECT_EQ(tkmac::peekNextHandle(), next) << "fifty loads of every object took no handle";
  auto config = load();
  ZQMACLms* lms = tapeLibrary(*config);
  ASSERT_NE(lms, nullptr);
  EXPECT_EQ(lms->GetHandle(), next);
  EXPECT_EQ(tkmac::peekNextHandle(), next + 1);
}

TEST_F(Handles, InstancesStillLoadAndAnswerWhenTheHandlesAreNearlyUsedUp) {
  // A load used to take a handle for every object it made, and refused
  // with "No object handle is left." once they ran short.
  testkit::mac::ScopedHandleCounter counter(0xFFFFFFFEu);  // two left
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    auto config = load();
    EXPECT_EQ(reachable(*config).size(), 53u);
    ZQMACDrive* drive1 = drive(*config, 1);
    ASSERT_NE(drive1, nullptr);
    const unsigned long long handle = drive1->GetHandle();
    if (i < 2) {
      EXPECT_EQ(handle, 0xFFFFFFFEu + static_cast<unsigned>(i));
      EXPECT_EQ(config->FindObject(handle, ZQMAC_OBJ_DRIVE), drive1);
    } else {
      EXPECT_EQ(handle, 0u) << "none is left; the object itself is whole";
      EXPECT_EQ(drive1->GetName(), "Drive1");
    }
  }
  EXPECT_EQ(tkmac::peekNextHandle(), 0u);
}

TEST_F(Handles, AHandleAskedTwiceIsOneNumberAndOnlyAGivenHandleResolves) {
  auto config = load();
  ZQMACDrive* drive1 = drive(*config, 1);
  ZQMACDrive* drive2 = drive(*config, 2);
  const uint32_t next = tkmac::peekNextHandle();
  EXPECT_EQ(config->FindObject(next), nullptr) << "a number no object was given finds nothing";
  const unsigned long long first = drive1->GetHandle();
  EXPECT_EQ(first, next);
  EXPECT_EQ(config->GetHandle(drive1), first);
  EXPECT_EQ(drive1->GetHandle(), first);
  EXPECT_EQ(config->AdoptObject(drive1), first) << "an owned object keeps its handle";
  EXPECT_EQ(config->FindObject(first), drive1);
  EXPECT_EQ(config->FindObject(first + 1), nullptr) << "drive 2 was never asked for its handle";
  const unsigned long long second = drive2->GetHandle();
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(config->FindObject(second, ZQMAC_OBJ_DRIVE), drive2);
  EXPECT_EQ(config->FindObject(second, ZQMAC_OBJ_DMS), nullptr);
}

TEST_F(Handles, ThreadsAskingOneObjectForItsHandleAllGetTheSameNumber) {
  auto config = load();
  const ZQMACDrive* drive1 = drive(*config, 1);
  std::vector<unsigned long long> seen(8);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) std::this_thread::yield();
      seen[i] = drive1->GetHandle();
    });
  }
  go.store(true);
  for (std::thread& t : threads) t.join();
  for (unsigned long long handle : seen) EXPECT_EQ(handle, seen.front());
  EXPECT_EQ(tkmac::peekNextHandle(), seen.front() + 1) << "one handle taken";
}

TEST_F(Handles, AnInstanceOwnsItsObjectsAndThoseItTookOverOrAdopted) {
  auto config = load();
  auto other = load();
  ZQMACDrive* drive1 = drive(*config, 1);
  EXPECT_TRUE(config->OwnsObject(drive1));
  EXPECT_FALSE(other->OwnsObject(drive1));
  EXPECT_FALSE(config->OwnsObject(nullptr));
  ZQMACDrive loose;
  EXPECT_FALSE(config->OwnsObject(&loose));
  auto* made = new ZQMACDrive();
  ASSERT_NE(config->AdoptObject(made), 0u);
  EXPECT_TRUE(config->OwnsObject(made));
  EXPECT_FALSE(other->OwnsObject(made));
  // The next instance takes the graph over: the objects are its own now.
  config.reset();
  auto next = load();
  EXPECT_EQ(drive(*next, 1), drive1);
  EXPECT_TRUE(next->OwnsObject(drive1));
  EXPECT_FALSE(other->OwnsObject(drive1));
}

TEST_F(Handles, ThreadsFindAndCheckObjectsWhileOthersAreGivenHandles) {
  auto config = load();
  const std::vector<ZQMACInterface*> objects = reachable(*config);
  ASSERT_GE(objects.size(), 20u);
  std::vector<unsigned long long> handles;
  for (std::size_t i = 0; i < objects.size() / 2; ++i) handles.push_back(objects[i]->GetHandle());
  std::atomic<bool> go{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      while (!go.load()) std::this_thread::yield();
      for (int round = 0; round < 200; ++round)
        for (std::size_t i = 0; i < handles.size(); ++i)
          if (config->FindObject(handles[i]) != objects[i] || !config->OwnsObject(objects[i])) ++wrong;
    });
  }
  // Meanwhile the other half is given handles, one at a time.
  threads.emplace_back([&] {
    while (!go.load()) std::this_thread::yield();
    for (std::size_t i = objects.size() / 2; i < objects.size(); ++i)
      if (config->FindObject(objects[i]->GetHandle()) != objects[i]) ++wrong;
  });
  go.store(true);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

// The registry's lock: readers on more threads than it has shards are in
// together, a writer waits for the last of them, and a reader that comes
// while the writer holds the lock waits for the writer.
TEST(RegistryLock, ReadersShareItAndAWriterExcludesEveryOne) {
  ZQMACRegistryMutex mutex;
  constexpr int kReaders = static_cast<int>(ZQMACRegistryMutex::kShards) + 4;
  std::atomic<int> inside{0};
  std::atomic<bool> release{false};
  std::atomic<bool> allIn{false};
  std::vector<std::thread> readers;
  for (int r = 0; r < kReaders; ++r) {
    readers.emplace_back([&] {
      std::shared_lock<ZQMACRegistryMutex> guard(mutex);
      if (inside.fetch_add(1) + 1 == kReaders) allIn.store(true);
      while (!release.load()) std::this_thread::yield();
      inside.fetch_sub(1);
    });
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!allIn.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_TRUE(allIn.load()) << "readers excluded each other";

  std::atomic<bool> writing{false};
  std::atomic<int> readersSeenByWriter{-1};
  std::thread writer([&] {
    std::lock_guard<ZQMACRegistryMutex> guard(mutex);
    readersSeenByWriter.store(inside.load());
    writing.store(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    writing.store(false);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(writing.load()) << "the writer got in among readers";
  release.store(true);
  for (std::thread& t : readers) t.join();
  while (!writing.load() && readersSeenByWriter.load() < 0) std::this_thread::yield();
  EXPECT_EQ(readersSeenByWriter.load(), 0);
  // A reader on a thread of its own, whatever its shard, waits for the writer.
  std::atomic<bool> readerSawWriter{true};
  std::thread late([&] {
    while (!writing.load() && readersSeenByWriter.load() < 0) std::this_thread::yield();
    std::shared_lock<ZQMACRegistryMutex> guard(mutex);
    readerSawWriter.store(writing.load());
  });
  writer.join();
  late.join();
  EXPECT_FALSE(readerSawWriter.load()) << "a reader got in while the writer held the lock";
}

TEST_F(Handles, AHandleResolvesOnlyInItsOwnInstance) {
  auto one = load();
  auto other = load();
  const unsigned long long handle = drive(*one, 1)->GetHandle();
  EXPECT_EQ(other->FindObject(handle), nullptr);
  const unsigned long long otherHandle = drive(*other, 1)->GetHandle();
  EXPECT_NE(otherHandle, handle);
  EXPECT_EQ(one->FindObject(otherHandle), nullptr);
  EXPECT_EQ(other->GetHandle(drive(*one, 1)), 0u) << "an object of another instance has no handle here";
}

TEST_F(Handles, AnObjectThatGoesStopsResolvingAndItsHandleIsNeverGivenAgain) {
  auto config = load();
  ZQMACDrive* drive2 = drive(*config, 2);
  const unsigned long long handle = drive2->GetHandle();
  ASSERT_TRUE(config->DeleteObject(drive2)) << config->GetLastError();
  EXPECT_EQ(config->FindObject(handle), nullptr);
  // A drive whose row went with another request goes at the next re-read.
  ZQMACDrive* drive1 = drive(*config, 1);
  const unsigned long long handle1 = drive1->GetHandle();
  ASSERT_EQ(0, db.exec("DELETE FROM MMDrivePath WHERE DriveId = 1"));
  ASSERT_EQ(0, db.exec("DELETE FROM MMDrive WHERE DriveId = 1"));
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
  EXPECT_EQ(config->FindObject(handle1), nullptr);
  EXPECT_EQ(drive(*config, 1), nullptr);
  // Objects asked for their handles afterwards take new numbers.
  ZQMACLms* lms = tapeLibrary(*config);
  EXPECT_GT(lms->GetHandle(), handle1);
}

TEST_F(Handles, ClearedObjectsLeaveNoHandleBehind) {
  auto config = load();
  const unsigned long long handle = tapeLibrary(*config)->GetHandle();
  config->ClearObjects();
  EXPECT_EQ(config->FindObject(handle), nullptr);
  EXPECT_EQ(config->GetObjectCount(), 0u);
  ASSERT_TRUE(config->ReadCurrentConfig(false));
  EXPECT_EQ(config->FindObject(handle), nullptr);
  EXPECT_NE(tapeLibrary(*config)->GetHandle(), handle);
}

}  // namespace
}  // namespace modeldb
