// A fresh central database with the replica database service's journal
// reset, and helpers that build the usual state through the service itself.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicationMgr.h"
#include "platform/testkit/replicadb.h"
#include "tests/support/TestDatabase.h"

namespace replicatest {

class ReplicaTest : public ::testing::Test {
 protected:
  ReplicaTest() { testkit::replicadb::reset(); }
  ~ReplicaTest() override { testkit::replicadb::reset(); }

  // A volume seen by `client` as `name`, with one mount point; its volume id.
  int32_t addDevice(int32_t client, const std::string& name, const std::string& mountPath = "/mnt/a") {
    AddSNRDeviceV5Args_t args;
    args.volume.deviceId = "uid-" + name;
    args.volume.blockCount = 1000;
    args.deviceName.hostId = client;
    args.deviceName.deviceName = name;
    SNRVolumeMountPointRecord_t mountPoint;
    mountPoint.mountPath = mountPath;
    args.mountPoints.push_back(mountPoint);
    AddSNRDeviceV5Ret_t ret;
    EXPECT_TRUE(client_.AddSNRDevice(args, ret)) << ret.errorText;
    return ret.volumeId;
  }
  // The device-name id of the volume's first device name.
  int32_t deviceNameOf(int32_t volumeId) {
    QuerySNRVolDevNameBySNRVolIdV4Args_t args;
    args.volumeId = volumeId;
    QuerySNRVolDevNameBySNRVolIdV4Ret_t ret;
    EXPECT_TRUE(client_.QuerySNRVolDevName(args, ret)) << ret.errorText;
    return ret.deviceNames.empty() ? -1 : ret.deviceNames.front().deviceNameId;
  }
  int32_t addPool(const std::string& name) {
    AddRVScratchVolPoolV3Args_t args;
    args.pool.poolName = name;
    AddRVScratchVolPoolV3Ret_t ret;
    EXPECT_TRUE(client_.AddRVScratchVolPool(args, ret)) << ret.errorText;
    return ret.poolId;
  }
  int32_t addScratch(int32_t poolId, int32_t volumeId) {
    AddRVScratchVolumeArgs_t args;
    args.poolId = poolId;
    args.volumeId = volumeId;
    AddRVScratchVolumeRet_t ret;
    EXPECT_TRUE(client_.AddRVScratchVol(args, ret)) << ret.errorText;
    return ret.scratchVolumeId;
  }
  int32_t addReplica(int32_t primary, int32_t physical, int32_t policy = -1, int32_t scratch = -1) {
    ReplicationVolumeV5Record_t replica;
    replica.primaryVolumeId = primary;
    replica.physicalVolumeId = physical;
    replica.replicationPolicyId = policy;
    replica.scratchVolumeId = scratch;
    return testkit::replicadb::seed(replica);
  }
  long long count(const std::string& table) { return db.scalar("SELECT COUNT(*) FROM \"" + table + "\""); }

  tktest::TestDatabase db;
  ReplicaDBClient client_{1};
  ReplicationMgr manager_;
};

}  // namespace replicatest
