// The SAN-volume listing of a large host, asked of the real tkhost: what the
// host holds resident while it lists stays within what one answer frame
// holds (plus a margin for the database's cache and the page of records in
// hand), however many volumes the host has. What a burst of such listings
// leaves behind is measured over glibc's allocator, which an installation
// runs and the sanitizers' allocator replaces (taking neither of the host's
// memory settings): by the host's memory code in a program built without
// them (tests/support/probe/HostMemoryProbe.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/Memory.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WaitFor.h"

namespace {

constexpr uint32_t kSanHost = 101;
// Enough volumes that a listing holding all of a host's records at once
// (about 400 bytes of them a volume beside the answer) would stand well
// above the bound, while the run stays within seconds under the sanitizers.
constexpr int kVolumes = 40000;
// What the host may hold beyond the largest frame: the records of the page
// in hand with their index, and the allocator's slack. The database's page
// cache has grown to its size in the listing before.
constexpr long kMarginKb = 8 * 1024;

// What the probe's process may keep of a burst of twelve listings once
// their connections have ended: less than two connections' database page
// caches. It keeps 1.6 MiB; without the memory given back it keeps 8 MiB,
// and with the allocator's own mapping threshold 150 MiB and more (each
// connection's arena keeps the top its answer grew).
constexpr long kBurstKeptKb = 4 * 1024;
// What one of its listings may raise its peak beyond the largest frame.
constexpr long kProbeMarginKb = 4 * 1024;

// What the real host may hold after a listing's large answer, and once its
// connection has ended, beyond what it held before the listing: the
// connection's database page cache (2 MiB at most, kept while the
// connection lasts) and the allocator's slack. A small part of the
// listing's largest answer frame (about 15 MiB), so that a copy of it kept
// shows.
constexpr long kKeptAfterListingKb = 4 * 1024;


// `count` volumes of the host, each with its device name and one mount
// point; every fourth with a replica, every eighth with a scratch volume.
// Their ids run from `firstId` on.
std::vector<std::string> seedSql(uint32_t host, int count, int firstId = 1000000) {
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " +
                        std::to_string(count) + ") ";
  const std::string id = std::to_string(firstId) + " + i";
  return {
      n + "INSERT INTO \"SNRVolume\" (\"volumeId\", \"deviceId\", \"deviceIdType\", \"lun\", \"blockCount\", "
          "\"blockSize\", \"fsType\") SELECT " + id + ", 'memory-volume-' || i, 3, 0, 2097152, 512, 'ext4' FROM n",
      n + "INSERT INTO \"SNRVolumeDeviceName\" (\"deviceNameId\", \"hostId\", \"deviceName\") SELECT " + id +
          ", " + std::to_string(host) + ", '/dev/memory' || i FROM n",
      n + "INSERT INTO \"SNRVolumeDeviceNameEx\" (\"deviceNameId\", \"volumeId\", \"caseSensitive\") SELECT " +
          id + ", " + id + ", 1 FROM n",
      n + "INSERT INTO \"SNRVolumeMountPoint\" (\"mountPointId\", \"deviceNameId\", \"mountPath\", "
          "\"caseSensitive\") SELECT " + id + ", " + id + ", '/memory/v' || i, 1 FROM n",
      n + "INSERT INTO \"ReplicationVolume\" (\"physicalVolumeId\", \"pointInTime\") SELECT " + id +
          ", i FROM n WHERE i % 4 = 0",
      n + "INSERT INTO \"RVScratchVolume\" (\"volumeId\", \"poolId\") SELECT " + id + ", 1 FROM n WHERE i % 8 = 0",
  };
}

struct Listing {
  bool ended = false;           // the request's end frame came
  long long result = -1;        // the handler's result, from the end frame
  std::size_t frames = 0;       // answer frames (the end frame not counted)
  std::size_t largestFrame = 0;  // bytes, length prefix included
  std::size_t records = 0;      // items 2052
  std::size_t items = 0;
};

// The volume listing of `host`, read whole off the connection.
Listing listVolumes(int fd, int64_t sequence, uint32_t host = kSanHost) {
  Listing listing;
  tkwire::StreamRequest request;
  request.handler = "onMsgGetSANVolumes";
  request.sequence = sequence;
  request.firstField = tkwire::firstFieldOf(2, host);
  if (!tkwire::writeAll(fd, tkwire::encodeStreamRequest(request))) return listing;
  std::string body;
  while (tkwire::readFrame(fd, 60000, body) == tkwire::ReadStatus::Ok) {
    const std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    if (!reply) break;
    if (reply->isEnd()) {
      listing.ended = true;
      listing.result = reply->endResult();
      break;
    }
    ++listing.frames;
    listing.largestFrame = std::max(listing.largestFrame, body.size() + 4);
    listing.items += reply->items.size();
    for (const auto& item : reply->items) listing.records += item.tag == 2052 ? 1 : 0;
  }
  return listing;
}

TEST(HostSanListingMemory, ListingFortyThousandVolumesHoldsNoMoreThanOneAnswerFrameBesideAMargin) {
  if (!hosttest::PeakResident::tellsWhatCodeHolds()) GTEST_SKIP() << "memory under the thread sanitizer";
  // The host's database, seeded before it starts.
  tktest::TestDatabase db;
  ASSERT_EQ(db.exec("BEGIN"), 0);
  for (const std::string& step : seedSql(kSanHost, kVolumes)) ASSERT_EQ(db.exec(step), 0) << step.substr(0, 120);
  ASSERT_EQ(db.exec("COMMIT"), 0);
  std::map<std::string, std::string> env = hosttest::measuredMemoryEnv();
  env.emplace("TK_DB", db.path());
  tktest::TempDir dir;
  hosttest::Host host(dir, dir.file("san.sock"), {}, env);
  ASSERT_TRUE(host.up()) << host.log();
  const int fd = host.connect();
  ASSERT_GE(fd, 0);

  // A first listing warms the database's cache and the allocator up.
  const Listing warm = listVolumes(fd, 1);
  ASSERT_TRUE(warm.ended) << host.log();
  ASSERT_EQ(warm.records, static_cast<std::size_t>(kVolumes));

  hosttest::PeakResident peak(host.child().pid());
  const Listing measured = listVolumes(fd, 2);
  const long grownKb = peak.grownKb();
  ASSERT_TRUE(measured.ended) << host.log();
  EXPECT_EQ(measured.result, 1);
  EXPECT_EQ(measured.records, static_cast<std::size_t>(kVolumes));
  EXPECT_EQ(measured.items, warm.items);
  ASSERT_GE(grownKb, 0) << "the host's peak resident memory is unknown";
  const long boundKb = static_cast<long>(measured.largestFrame / 1024) + kMarginKb;
  EXPECT_LE(grownKb, boundKb) << "the listing of " << measured.records << " volumes (" << measured.items
                              << " items in " << measured.frames << " frames, the largest "
                              << measured.largestFrame << " bytes) grew the host's peak by " << grownKb
                              << " KiB; allowed " << boundKb << " KiB";
  RecordProperty("grown_kb", std::to_string(grownKb));

  ::close(fd);
  EXPECT_EQ(host.stop(), 0) << host.log();
}

// The host's memory calls, in the real tkhost: after a large answer is out,
// and again once its connection has ended, the host holds no more than it
// held before the listing, beside the connection's database page cache and
// the allocator's slack: nothing of the answer stays, on the connection or
// for the host's life. The bound is what the host held before, not the
// listing's peak, which a kept copy of the answer would raise with it. Each
// call is logged (after the answer, and once the connection ends). A small
// listing on the same connection first loads the handler's code and opens
// the connection's database, which the host keeps whatever it answers.
// The bound holds over both allocators: glibc's maps the answer's buffers
// on their own and unmaps them as they are freed, and the host trims the
// rest (host/Memory.cpp; the probe's test below measures what that call
// gives back); the sanitizers' allocator, its quarantine made small, uses
// what the listing freed again and unmaps the answer's buffers.
TEST(HostSanListingMemory, TheHostGivesMemoryBackAfterALargeAnswerAndOnceItsConnectionEnds) {
  constexpr uint32_t kSmallHost = 102;
  constexpr int kSmallVolumes = 200;  // an answer of about 80 KB, which gives nothing back
  tktest::TestDatabase db;
  ASSERT_EQ(db.exec("BEGIN"), 0);
  for (const std::string& step : seedSql(kSanHost, kVolumes)) ASSERT_EQ(db.exec(step), 0) << step.substr(0, 120);
  for (const std::string& step : seedSql(kSmallHost, kSmallVolumes, 2000000))
    ASSERT_EQ(db.exec(step), 0) << step.substr(0, 120);
  ASSERT_EQ(db.exec("COMMIT"), 0);
  tktest::TempDir dir;
  // The sanitizer's quarantine made small (what the listing frees is used
  // again, as by a host's own allocator, rather than held with its shadow
  // until the host's call), and without its stacks of its own for each
  // thread, which it unmaps when the thread ends whatever the host does.
  std::map<std::string, std::string> env = hosttest::measuredMemoryEnv();
  env["ASAN_OPTIONS"] += ":detect_stack_use_after_return=0";
  env.emplace("TK_DB", db.path());
  hosttest::Host host(dir, dir.file("given.sock"), {"--verbose"}, env);
  ASSERT_TRUE(host.up()) << host.log();
  auto logCount = [&host](const std::string& text) {
    const std::string log = host.log();
    std::size_t count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
  };
  const std::string afterAnswer = "memory given back after an answer of ";
  const std::string afterEnd = "memory given back once connections with a large answer ended";
  const pid_t pid = host.child().pid();

  const int fd = host.connect();
  ASSERT_GE(fd, 0);
  const Listing warm = listVolumes(fd, 1, kSmallHost);
  ASSERT_TRUE(warm.ended) << host.log();
  EXPECT_EQ(warm.records, static_cast<std::size_t>(kSmallVolumes));
  const long before = hosttest::residentKb(pid);
  const hosttest::PeakResident peak(pid);
  const Listing listing = listVolumes(fd, 2);
  ASSERT_TRUE(listing.ended) << host.log();
  EXPECT_EQ(listing.records, static_cast<std::size_t>(kVolumes));
  // The call follows the request's end frame.
  EXPECT_TRUE(tktest::pollUntil([&] { return logCount(afterAnswer) == 1; })) << host.log();
  const long grown = peak.grownKb();
  const long afterAnswerKb = hosttest::residentKb(pid);
  EXPECT_EQ(logCount(afterEnd), 0u) << host.log();
  ::close(fd);
  EXPECT_TRUE(tktest::pollUntil([&] { return logCount(afterEnd) == 1; })) << host.log();
  const long afterEndKb = hosttest::residentKb(pid);
  const std::string held = "resident before the listing " + std::to_string(before) + " KiB, the listing raised it by " +
                           std::to_string(grown) + " KiB, after its answer " + std::to_string(afterAnswerKb) +
                           " KiB, after its connection ended " + std::to_string(afterEndKb) + " KiB; its largest frame " +
                           std::to_string(listing.largestFrame) + " bytes";
  RecordProperty("resident_kb", held);
  ASSERT_GE(before, 0);
  // The answer is a large one, and the listing held its largest frame whole
  // at once: a copy of it kept would stand far above the bound.
  const long answerKb = static_cast<long>(listing.largestFrame / 1024);
  ASSERT_GE(answerKb, static_cast<long>(tkhost::kLargeAnswerBytes / 1024)) << held;
  ASSERT_GE(grown, answerKb) << held;
  ASSERT_LE(kKeptAfterListingKb, answerKb / 3) << held;
  EXPECT_LE(afterAnswerKb, before + kKeptAfterListingKb) << held;
  EXPECT_LE(afterEndKb, before + kKeptAfterListingKb) << held;

  // A small answer, and the end of its connection, give nothing back. (The
  // connections before it, the start's probe and the listing's, are logged
  // closed: the line after the listing's end follows its.)
  const std::size_t closedBefore = logCount(" closed");
  const int small = host.connect();
  ASSERT_GE(small, 0);
  ASSERT_TRUE(hosttest::takeLock(small, 2)) << host.log();
  ::close(small);
  EXPECT_TRUE(tktest::pollUntil([&] { return logCount(" closed") == closedBefore + 1; })) << host.log();
  EXPECT_EQ(host.stop(), 0) << host.log();
  EXPECT_EQ(logCount(afterAnswer), 1u) << host.log();
  EXPECT_EQ(logCount(afterEnd), 1u) << host.log();
}

TEST(HostSanListingMemory, ABurstOfListingsOverGlibcsAllocatorLeavesNothingBehindOnceItsConnectionsEnd) {
  tktest::TempDir dir;
  hosttest::Child probe;
  const std::string program = TK_BINARY_DIR "/tkhost_memory_probe";
  ASSERT_TRUE(probe.start(program, {}, {}, dir.file("probe.out"), dir.file("probe.err")));
  ASSERT_EQ(probe.exitCode(), 0) << hosttest::readFile(dir.file("probe.err"));
  const std::string out = hosttest::readFile(dir.file("probe.out"));
  long frameKb = -1;
  long peakKb = -1;
  long keptKb = -1;
  ASSERT_EQ(std::sscanf(out.c_str(), "frame_kb=%ld peak_kb=%ld kept_kb=%ld", &frameKb, &peakKb, &keptKb), 3) << out;
  EXPECT_LE(keptKb, kBurstKeptKb) << "twelve listings at once left the process " << keptKb << " KiB above where it was";
  EXPECT_LE(peakKb, frameKb + kProbeMarginKb) << "a listing of frames of " << frameKb << " KiB raised the peak by "
                                              << peakKb << " KiB";
  RecordProperty("burst_kept_kb", std::to_string(keptKb));
}

}  // namespace
