// Shared pieces of the disk-device, disk-volume and verification tests:
// client A holds a session on the standard world (platform/testkit/mac.h)
// with its disk device 31 and volumes 311 and 312; Gets and Sets are made
// as the host makes them and what the client reads is compared whole.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/testkit/adapters.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/mmdb.h"
#include "tests/mmconfig_agents/AgentsFixture.h"

namespace disktest {

using agenttest::expectItems;
using agenttest::idText;
using agenttest::Items;
using ctltest::encrypted;
using ctltest::Message;
using ctltest::operationResponse;
using ctltest::text;
using tktest::le32;
using tktest::le64;

// Catalogue texts the answers carry.
inline constexpr unsigned long kTextNoDRUHost = 0x240002F5;
inline constexpr unsigned long kTextNoObject = 0x240001F3;

class DiskTest : public agenttest::AgentsTest {
 protected:
  void SetUp() override {
    AgentsTest::SetUp();
    testkit::mac::reset();
    testkit::audit::reset();
    testkit::adapters::reset();
    testkit::mmdb::reset();
    m_device = m_world.diskDevice;
    ZQMACGraph::SetDeviceTypes(m_device, 0, 1);
    ZQMACGraph::SetTexts(m_device, "SAN-LUN-1 text", "SAN-LUN-1 B");
  }
  void TearDown() override {
    testkit::mac::reset();
    testkit::mmdb::stop();
    AgentsTest::TearDown();
  }
  // A disk device of the world with its display and identification types.
  ZQMACDiskDevice* addDevice(int id, int displayType, int guidType = 0) {
    ZQMACDiskDevice* d = ZQMACGraph::AddDiskDevice(config(), id, "Dev" + std::to_string(id));
    ZQMACGraph::SetDeviceTypes(d, 0, displayType);
    ZQMACGraph::SetGuid(d, "guid-" + std::to_string(id), guidType);
    ZQMACGraph::SetTexts(d, "text " + std::to_string(id), "");
    return d;
  }
  // A mount path of the library on the device (foreign agent id).
  ZQMACMountPath* usePath(ZQMACMagLib* library, int id, const std::string& name, int type, int deviceId) {
    ZQMACMountPath* p = ZQMACGraph::AddMountPath(library, m_world.agent1, id, name);
    ZQMACGraph::SetMountPathType(p, type);
    ZQMACGraph::SetForeignAgentId(p, deviceId);
    return p;
  }
  std::vector<Message> setVolume(const tktest::StreamBuilder& s, bool expected) {
    return set(&EvMMConfigMgr::onMsgSetDiskVolume, s, expected);
  }
  std::vector<Message> setDevice(const tktest::StreamBuilder& s, bool expected) {
    return set(&EvMMConfigMgr::onMsgSetDiskDevice, s, expected);
  }
  // A stored device row whose name is `name`, with its attribute field.
  void storeDeviceRow(const std::string& name, int attribute) {
    ASSERT_EQ(m_db.exec("INSERT INTO MMDevice (AliasName, DeviceTypeId, DeviceAttribute) VALUES ('" + name + "', 1, " +
                        std::to_string(attribute) + ")"),
              0);
  }

  ZQMACDiskDevice* m_device = nullptr;
};

}  // namespace disktest
