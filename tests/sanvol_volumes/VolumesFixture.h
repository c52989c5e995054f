// Shared pieces of the SAN volume tests: a fresh central database with the
// replica database, client, client volume service, NDMP filer and rights
// stand-ins reset, a client connection, request records as the host makes
// them, and helpers that seed hosts, volumes and their device names.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/testkit/client.h"
#include "platform/testkit/clientvol.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/mmdb.h"
#include "platform/testkit/ndmp.h"
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
using Item = std::pair<uint32_t, std::string>;
using Items = std::vector<Item>;

inline Items itemsOf(const tkwire::Reply& reply) {
  Items out;
  for (const auto& item : reply.items) out.emplace_back(item.tag, item.bytes);
  return out;
}

inline constexpr uint32_t kUser = 5;
inline constexpr uint32_t kTarnfold = 2;

// hdr12+text as it goes out.
inline std::string hdr12(uint32_t id, uint32_t clientId, uint32_t flags, const std::string& text) {
  return le32(id) + le32(clientId) + le32(flags) + text;
}

// Items 11613 to 11694 of a listed volume whose flags, states and ids are
// all 0 and whose type (1) is no NAS type.
inline Items plainVolumeFlags() {
  return {{11613, le32(0)}, {11620, le32(0)}, {11711, le32(0)}, {11712, le32(0)}, {11730, le32(0)},
          {11708, le32(0)}, {11742, le32(1)}, {11776, le32(0)}, {11694, le32(0)}};
}

// Bulk seeding: a statement head that numbers rows n.i from 0 to count - 1,
// the insert of a whole volume row (its values selected from n), and the
// statements run in one transaction.
inline std::string numberedRows(int count) {
  return "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " + std::to_string(count) +
         ") ";
}
inline constexpr const char* kInsertWholeVolumes =
    "INSERT INTO \"SNRVolume\" (\"volumeId\", \"deviceId\", \"deviceIdType\", \"lun\", \"startLba\", "
    "\"blockCount\", \"blockSize\", \"backupFromSnap\", \"volumeLock\", \"fsType\", \"usePermanentReplica\", "
    "\"qmProtected\", \"applianceId\", \"qmState\", \"costCategoryId\", \"tailFlag\", \"volumeType\") ";
inline void seedInOneTransaction(const std::vector<std::string>& steps) {
  ASSERT_EQ(testkit::replicadb::exec("BEGIN"), 0);
  for (const std::string& step : steps) ASSERT_EQ(testkit::replicadb::exec(step), 0) << step.substr(0, 120);
  ASSERT_EQ(testkit::replicadb::exec("COMMIT"), 0);
}

inline void resetStandIns() {
  testkit::replicadb::reset();
  testkit::client::reset();
  testkit::clientvol::reset();
  testkit::ndmp::reset();
  testkit::mmdb::reset();
  testkit::security::reset();
  testkit::reply::reset();
}

// The one-call failure answer: 1024 with the single item 2051 [0][text].
inline void expectFailure(const tkwire::Reply& reply, const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(itemsOf(reply), (Items{{2051, wordAndText(0, text)}}));
}
// The operation reply: 1024 with 4001 and 2051.
inline void expectOperationAnswer(const tkwire::Reply& reply, uint32_t operation, uint32_t status,
                                  const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(itemsOf(reply), (Items{{4001, le32(operation)}, {2051, wordAndText(status, text)}}));
}

// The frames that arrive on the client's socket while the handler runs, each
// body as it came, read on a thread of their own so that a listing longer
// than the socket's buffer goes out; the handler's side is closed for
// writing when it is done.
class FrameReader {
 public:
  explicit FrameReader(const Connection& client) : m_client(client) {
    m_thread = std::thread([this] {
      std::string body;
      while (tkwire::readFrame(m_client.peer(), 60000, body) == tkwire::ReadStatus::Ok) m_bodies.push_back(body);
    });
  }
  std::vector<std::string> finish() {
    ::shutdown(static_cast<int>(m_client.socket().GetSocketDescriptor()), SHUT_WR);
    m_thread.join();
    return m_bodies;
  }

 private:
  const Connection& m_client;
  std::thread m_thread;
  std::vector<std::string> m_bodies;
};

class VolumesTest : public ::testing::Test {
 protected:
  VolumesTest() { resetStandIns(); }
  ~VolumesTest() override {
    resetStandIns();
    testkit::mmdb::stop();
  }

  // An element-stream request.
  std::unique_ptr<MessageInfo> stream(tktest::StreamBuilder builder, int64_t sequence = 0x0003000000000045LL) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(sequence)
        .user(kUser)
        .firstWord(kTarnfold)
        .build();
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
