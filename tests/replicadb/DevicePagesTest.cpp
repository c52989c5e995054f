// A host's devices read a page at a time: each page holds the host's next
// device names in id order and, of the other four lists, exactly what the
// whole answer holds for those device names and their volumes, in the same
// order; the pages together hold every device name once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/replicadb/ReplicaFixture.h"

namespace {

using Ids = std::vector<int32_t>;

// Fields may be of a base of the record (an older version of it).
template <class R, class B>
Ids idsOf(const std::vector<R>& records, int32_t B::*id) {
  Ids out;
  for (const R& record : records) out.push_back(record.*id);
  return out;
}

// The ids of the records whose key is one of `keys`, in their order.
template <class R, class B, class K>
Ids idsWhere(const std::vector<R>& records, int32_t B::*id, int32_t K::*key, const Ids& keys) {
  Ids out;
  for (const R& record : records)
    if (std::find(keys.begin(), keys.end(), record.*key) != keys.end()) out.push_back(record.*id);
  return out;
}

class DevicePages : public replicatest::ReplicaTest {
 protected:
  static constexpr int32_t kHost = 8;

  int32_t volume() { return testkit::replicadb::seed(SNRVolumeRecordV4_t{}); }
  int32_t deviceName(int32_t host, int32_t volumeId, const std::string& name) {
    SNRVolumeDeviceNameV4Record_t device;
    device.hostId = host;
    device.volumeId = volumeId;
    device.deviceName = name;
    return testkit::replicadb::seedDeviceName(device);
  }
  int32_t mountPoint(int32_t deviceNameId, const std::string& path) {
    SNRVolumeMountPointRecord_t mountPoint;
    mountPoint.deviceNameId = deviceNameId;
    mountPoint.mountPath = path;
    return testkit::replicadb::seed(mountPoint);
  }
  int32_t replicaOn(int32_t physical) { return addReplica(-1, physical); }
  int32_t scratchOn(int32_t volumeId) {
    RVScratchVolumeV2Record_t scratch;
    scratch.volumeId = volumeId;
    scratch.poolId = 1;
    return testkit::replicadb::seed(scratch);
  }

  QuerySNRDeviceV6Ret_t query(int64_t after, int32_t most) {
    QuerySNRDeviceV6Args_t args(kHost);
    args.afterDeviceNameId = after;
    args.maxDeviceNames = most;
    QuerySNRDeviceV6Ret_t ret;
    EXPECT_TRUE(client_.QuerySNRDevice(args, ret)) << ret.errorText;
    return ret;
  }
};

TEST_F(DevicePages, EveryPageHoldsWhatTheWholeAnswerHoldsForItsDeviceNamesInTheSameOrder) {
  // Host 8's device names d1, d3, d4, d5, d6, d7 with another host's d2
  // among them; d3 and d4 share a volume, and so do d1 and d7.
  const int32_t v1 = volume(), v2 = volume(), v3 = volume(), v4 = volume(), v5 = volume();
  const int32_t d1 = deviceName(kHost, v1, "/dev/a");
  const int32_t d2 = deviceName(9, v2, "/dev/other");
  const int32_t d3 = deviceName(kHost, v3, "/dev/c");
  const int32_t d4 = deviceName(kHost, v3, "/dev/d");
  const int32_t d5 = deviceName(kHost, v4, "/dev/e");
  const int32_t d6 = deviceName(kHost, v5, "/dev/f");
  const int32_t d7 = deviceName(kHost, v1, "/dev/g");
  // d5 has three mount points, their ids among others'.
  const int32_t m1 = mountPoint(d5, "/e1"), m2 = mountPoint(d1, "/a"), m3 = mountPoint(d5, "/e2");
  const int32_t m4 = mountPoint(d3, "/c");
  mountPoint(d2, "/other");
  const int32_t m6 = mountPoint(d5, "/e3");
  const int32_t m7 = mountPoint(d7, "/g");
  // Two replicas on the shared volume v3 (the first is the one listed).
  const int32_t r1 = replicaOn(v3);
  replicaOn(v2);
  const int32_t r3 = replicaOn(v5), r4 = replicaOn(v3);
  const int32_t s1 = scratchOn(v4), s2 = scratchOn(v1);
  scratchOn(v2);
  const int32_t s4 = scratchOn(v4);

  const QuerySNRDeviceV6Ret_t whole = query(QuerySNRDeviceV6Args_t::kFromFirst, QuerySNRDeviceV6Args_t::kNoLimit);
  ASSERT_EQ(idsOf(whole.deviceNames, &SNRVolumeDeviceNameV4Record_t::deviceNameId), (Ids{d1, d3, d4, d5, d6, d7}));
  ASSERT_EQ(idsOf(whole.volumes, &SNRVolumeRecordV4_t::volumeId), (Ids{v1, v3, v4, v5}));
  ASSERT_EQ(idsOf(whole.mountPoints, &SNRVolumeMountPointRecord_t::mountPointId), (Ids{m1, m2, m3, m4, m6, m7}));
  ASSERT_EQ(idsOf(whole.replicas, &ReplicationVolumeV5Record_t::replicaId), (Ids{r1, r3, r4}));
  ASSERT_EQ(idsOf(whole.scratchVolumes, &RVScratchVolumeV2Record_t::scratchVolumeId), (Ids{s1, s2, s4}));

  const struct {
    int32_t pageSize;
    std::vector<Ids> pages;  // each page's device names
  } cases[] = {
      {1, {{d1}, {d3}, {d4}, {d5}, {d6}, {d7}, {}}},
      {2, {{d1, d3}, {d4, d5}, {d6, d7}, {}}},  // d3 and d4 on either side of a boundary
      {3, {{d1, d3, d4}, {d5, d6, d7}, {}}},
      {4, {{d1, d3, d4, d5}, {d6, d7}}},
      {6, {{d1, d3, d4, d5, d6, d7}, {}}},  // exactly full, then an empty page
      {7, {{d1, d3, d4, d5, d6, d7}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("pages of " + std::to_string(c.pageSize));
    testkit::replicadb::reset();
    std::vector<Ids> pages;
    int64_t after = QuerySNRDeviceV6Args_t::kFromFirst;
    for (;;) {
      SCOPED_TRACE("page " + std::to_string(pages.size()));
      ASSERT_LE(pages.size(), c.pages.size()) << "more pages than device names";
      const QuerySNRDeviceV6Ret_t page = query(after, c.pageSize);
      const Ids devices = idsOf(page.deviceNames, &SNRVolumeDeviceNameV4Record_t::deviceNameId);
      pages.push_back(devices);
      Ids volumeIds;
      for (const SNRVolumeDeviceNameV4Record_t& device : page.deviceNames) volumeIds.push_back(device.volumeId);
      EXPECT_EQ(idsOf(page.volumes, &SNRVolumeRecordV4_t::volumeId),
                idsWhere(whole.volumes, &SNRVolumeRecordV4_t::volumeId, &SNRVolumeRecordV4_t::volumeId, volumeIds));
      EXPECT_EQ(idsOf(page.mountPoints, &SNRVolumeMountPointRecord_t::mountPointId),
                idsWhere(whole.mountPoints, &SNRVolumeMountPointRecord_t::mountPointId,
                         &SNRVolumeMountPointRecord_t::deviceNameId, devices));
      EXPECT_EQ(idsOf(page.replicas, &ReplicationVolumeV5Record_t::replicaId),
                idsWhere(whole.replicas, &ReplicationVolumeV5Record_t::replicaId,
                         &ReplicationVolumeV5Record_t::physicalVolumeId, volumeIds));
      EXPECT_EQ(idsOf(page.scratchVolumes, &RVScratchVolumeV2Record_t::scratchVolumeId),
                idsWhere(whole.scratchVolumes, &RVScratchVolumeV2Record_t::scratchVolumeId,
                         &RVScratchVolumeV2Record_t::volumeId, volumeIds));
      if (devices.size() < static_cast<std::size_t>(c.pageSize)) break;
      after = devices.back();
    }
    EXPECT_EQ(pages, c.pages);
    // Each page is the same call as the whole answer, as the journal and the
    // failure script know it.
    const std::vector<tkjournal::Call> calls = testkit::replicadb::calls("QuerySNRDevice");
    ASSERT_EQ(calls.size(), c.pages.size());
    for (const tkjournal::Call& call : calls) EXPECT_EQ(call.args, (std::vector<std::string>{"6", "8"}));
  }
}

}  // namespace
