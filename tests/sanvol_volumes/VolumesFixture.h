// Shared pieces of the SAN volume listing tests: a fresh central database
// with the replica database, client and rights stand-ins reset, a client
// connection, and helpers that seed hosts, volumes and their device names.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/testkit/client.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/replicadb.h"
#include "platform/testkit/reply.h"
#include "platform/testkit/security.h"
#include "sanvol/EvSANVolMgr.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace volumestest {

using tktest::Connection;
using tktest::le32;
using tktest::le64;
using tktest::tagsOf;
using tktest::wordAndText;
using Tags = std::vector<uint32_t>;

inline constexpr uint32_t kUser = 5;
inline constexpr uint32_t kTarnfold = 2;

// hdr12+text as it goes out.
inline std::string hdr12(uint32_t id, uint32_t clientId, uint32_t flags, const std::string& text) {
  return le32(id) + le32(clientId) + le32(flags) + text;
}

class VolumesTest : public ::testing::Test {
 protected:
  VolumesTest() {
    testkit::replicadb::reset();
    testkit::client::reset();
    testkit::security::reset();
    testkit::reply::reset();
  }
  ~VolumesTest() override {
    testkit::replicadb::reset();
    testkit::client::reset();
    testkit::security::reset();
    testkit::reply::reset();
  }

  // A simple Get request: the Tarnfold id and the first parameter.
  std::unique_ptr<MessageInfo> get(uint32_t parameter, int64_t sequence = 0x0003000000000044LL) {
    return tktest::StreamBuilder()
        .socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .user(kUser)
        .sequence(sequence)
        .firstWord(kTarnfold)
        .count(parameter)
        .build();
  }

  // A volume with the given fields; its id.
  int32_t addVolume(SNRVolumeRecordV4_t volume) { return testkit::replicadb::seed(volume); }
  // A device name of `host` for the volume; its id.
  int32_t addDeviceName(int32_t host, int32_t volumeId, const std::string& name,
                        SNRVolumeDeviceNameV4Record_t device = {}) {
    device.hostId = host;
    device.volumeId = volumeId;
    device.deviceName = name;
    return testkit::replicadb::seedDeviceName(device);
  }
  int32_t addMountPoint(int32_t deviceNameId, const std::string& path, bool caseSensitive = false,
                        bool extraFlag = false) {
    SNRVolumeMountPointRecord_t mountPoint;
    mountPoint.deviceNameId = deviceNameId;
    mountPoint.mountPath = path;
    mountPoint.caseSensitive = caseSensitive;
    mountPoint.extraFlag = extraFlag;
    return testkit::replicadb::seed(mountPoint);
  }
  void addClient(unsigned long id, const std::string& name) {
    ASSERT_EQ(testkit::client::addClient({id, name, name + ".example.com", 16, ""}), 0);
  }

  bool logged(const std::string& tag, int level, const std::string& text) const {
    for (const auto& line : log.lines())
      if (line.tag == tag && line.level == level && line.text == text) return true;
    return false;
  }

  tktest::TestDatabase db;
  Connection client;
  testkit::debuglog::Capture log;
  EvSANVolMgr handler;
};

}  // namespace volumestest
