// The platform calls the lock stands on: the object model's session calls,
// the installation name, the configuration parameters of the table access,
// the lock's message classes in the XML registry and its catalogue texts.
#include <gtest/gtest.h>

#include <vector>

#include "platform/catalogue/Catalogue.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMConfigsDB.h"
#include "platform/testkit/db.h"
#include "platform/xml/Registry.h"
#include "tests/frame_lock/LockFixture.h"

namespace {

class PlatformCalls : public locktest::LockTest {};

// ---------------------------------------------------------------- object model

TEST_F(PlatformCalls, TheServiceLinkCanBeMadeToFail) {
  EXPECT_TRUE(ZQMACDbInterface::TestConnectToMediaManager());
  EXPECT_EQ(ZQMACDbInterface::GetLastError(), "");
  testkit::mac::failNext("TestConnectToMediaManager", 3, "service down", 2);
  EXPECT_FALSE(ZQMACDbInterface::TestConnectToMediaManager());
  EXPECT_EQ(ZQMACDbInterface::GetLastError(), "service down");
  EXPECT_FALSE(ZQMACDbInterface::TestConnectToMediaManager());
  EXPECT_TRUE(ZQMACDbInterface::TestConnectToMediaManager());
  EXPECT_EQ(ZQMACDbInterface::GetLastError(), "");
  EXPECT_EQ(testkit::mac::journal().count("TestConnectToMediaManager"), 4u);
}

std::vector<std::pair<int, int>> g_progress;
void recordProgress(int value, int operation) { g_progress.emplace_back(value, operation); }

TEST_F(PlatformCalls, PercentageReportsThroughTheHookAndKeepsTheValue) {
  g_progress.clear();
  ZQMACMediaConfig config;
  EXPECT_EQ(config.GetPercentage(), 0);
  EXPECT_TRUE(config.Percentage(40));  // no hook: kept, nothing reported
  EXPECT_EQ(config.GetPercentage(), 40);
  EXPECT_TRUE(g_progress.empty());

  ZQMACMediaConfig::SetPercentageFunc(recordProgress, 105);
  EXPECT_TRUE(config.Percentage(100));
  EXPECT_EQ(g_progress, (std::vector<std::pair<int, int>>{{100, 105}}));
  EXPECT_EQ(config.GetPercentage(), 100);

  testkit::mac::failNext("Percentage", 9, "refused");
  EXPECT_FALSE(config.Percentage(50));
  EXPECT_EQ(config.GetLastError(), "refused");
  EXPECT_EQ(config.GetLastErrorCode(), 9u);
  EXPECT_EQ(config.GetPercentage(), 100);
  EXPECT_EQ(g_progress.size(), 1u);
  const auto calls = testkit::mac::journal().calls("Percentage");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2].args, (std::vector<std::string>{"50"}));
}

TEST_F(PlatformCalls, LibrariesFoundByExhaustiveDetection) {
  ZQMACMediaConfig config;
  testkit::mac::World world = testkit::mac::seedWorld(config);
  EXPECT_TRUE(config.IsExhaustiveDetectedLibraryConfigured()) << "nothing found";

  ZQMACLms* tape = ZQMACGraph::AddLms(config, 90, "FoundTape");
  ZQMACMagLib* disk = ZQMACGraph::AddMagLib(config, world.agent1, 91, "FoundDisk");
  EXPECT_TRUE(testkit::mac::markExhaustiveDetected(config, tape));
  EXPECT_TRUE(testkit::mac::markExhaustiveDetected(config, tape)) << "noted once";
  EXPECT_TRUE(testkit::mac::markExhaustiveDetected(config, disk));
  EXPECT_FALSE(config.IsExhaustiveDetectedLibraryConfigured());

  ZQMACGraph::SetConfigured(tape, true);
  EXPECT_FALSE(config.IsExhaustiveDetectedLibraryConfigured()) << "the disk library is still not configured";
  ZQMACGraph::SetConfigured(disk, true);
  EXPECT_TRUE(config.IsExhaustiveDetectedLibraryConfigured());

  // A library deleted after it was found no longer counts.
  ZQMACLms* gone = ZQMACGraph::AddLms(config, 92, "Gone");
  EXPECT_TRUE(testkit::mac::markExhaustiveDetected(config, gone));
  EXPECT_FALSE(config.IsExhaustiveDetectedLibraryConfigured());
  EXPECT_TRUE(config.DeleteObject(gone));
  EXPECT_TRUE(config.IsExhaustiveDetectedLibraryConfigured());

  // Only libraries of this instance.
  ZQMACMediaConfig other;
  ZQMACLms* foreign = ZQMACGraph::AddLms(other, 93, "Foreign");
  EXPECT_FALSE(testkit::mac::markExhaustiveDetected(config, foreign));
  EXPECT_FALSE(testkit::mac::markExhaustiveDetected(config, world.agent1));
  EXPECT_FALSE(testkit::mac::markExhaustiveDetected(config, nullptr));

  testkit::mac::failNext("IsExhaustiveDetectedLibraryConfigured", 4, "cannot tell");
  EXPECT_FALSE(config.IsExhaustiveDetectedLibraryConfigured());
  EXPECT_EQ(config.GetLastError(), "cannot tell");
  EXPECT_TRUE(config.IsExhaustiveDetectedLibraryConfigured());
}

TEST_F(PlatformCalls, TheInstallationName) {
  testkit::focus::reset();
  EXPECT_EQ(ZQPI_Focus::getFocus(), "tarnkeep");
  {
    testkit::focus::ScopedFocus focus("north");
    EXPECT_EQ(ZQPI_Focus::getFocus(), "north");
  }
  EXPECT_EQ(ZQPI_Focus::getFocus(), "tarnkeep");
  testkit::focus::setFocus("");
  EXPECT_EQ(ZQPI_Focus::getFocus(), "tarnkeep");
  const auto calls = testkit::focus::journal().calls("getFocus");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1].args, (std::vector<std::string>{"north"}));

  // The lock initialises its session with it; the server name follows.
  testkit::focus::setFocus("south");
  testkit::mac::failNext("TestConnectToMediaManager", 1, "down");
  auto request = locktest::streamRequest(m_a, locktest::kAlice, 1);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 1, true), 0);
  EXPECT_EQ(locktest::onlyStatus(m_a.replies())->text, locktest::text(0x1F00016D, "south"));
  const auto inits = testkit::mac::journal().calls("Initialize");
  ASSERT_EQ(inits.size(), 1u);
  EXPECT_EQ(inits[0].args, (std::vector<std::string>{"south"}));
}

// ---------------------------------------------------------------- table access

TEST_F(PlatformCalls, ConfigurationParameters) {
  ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value, description) VALUES "
                      "('ONE', 1, 'a switch'), ('BIG', 2147483647, NULL), ('TOO_BIG', 2147483648, NULL), "
                      "('NEG', -2147483648, NULL), ('TEXT', '12', NULL), ('WORD', 'on', NULL), "
                      "('EMPTY', NULL, NULL), ('REAL', 1.5, NULL)"),
            0);
  struct Case {
    const char* name;
    int result;
    int dbError;
    int value;  // after the call, which starts from 77
  } cases[] = {
      {"ONE", 0, 0, 1},
      {"one", 0, 0, 1},  // names without regard to letter case
      {"BIG", 0, 0, 2147483647},
      {"NEG", 0, 0, -2147483647 - 1},
      {"TEXT", 0, 0, 12},
      {"TOO_BIG", MMS2_ERROR_BAD_VALUE, 0, 77},
      {"WORD", MMS2_ERROR_BAD_VALUE, 0, 77},
      {"EMPTY", MMS2_ERROR_BAD_VALUE, 0, 77},
      {"REAL", MMS2_ERROR_BAD_VALUE, 0, 77},
      {"MISSING", MMS2_ERROR_NOT_FOUND, 100, 77},
      {"O'NE", MMS2_ERROR_NOT_FOUND, 100, 77},  // quotes are data
      {"", MMS2_ERROR_BAD_ARGUMENT, 0, 77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MMConfigsDB configs;
    int value = 77;
    EXPECT_EQ(configs.getConfigParamValue(c.name, value), c.result);
    EXPECT_EQ(configs.getErrorCode(), c.result);
    EXPECT_EQ(configs.getDBError(), c.dbError);
    EXPECT_EQ(value, c.value);
    char buffer[1024];
    if (c.result == 0) {
      EXPECT_STREQ(configs.getLastError(buffer, sizeof buffer), "");
    } else {
      EXPECT_STRNE(configs.getLastError(buffer, sizeof buffer), "");
    }
  }
  MMConfigsDB configs;
  int value = 5;
  EXPECT_EQ(configs.getConfigParamValue(nullptr, value), MMS2_ERROR_BAD_ARGUMENT);
  EXPECT_EQ(value, 5);

  // A failed read: the engine's code through getDBError.
  testkit::db::journal().injectFailure("exec", 204, "database is locked");
  EXPECT_EQ(configs.getConfigParamValue("ONE", value), MMS2_ERROR_DATABASE);
  EXPECT_EQ(configs.getDBError(), 204);
  EXPECT_EQ(value, 5);
  // The last error is that of the last call only.
  EXPECT_EQ(configs.getConfigParamValue("ONE", value), 0);
  EXPECT_EQ(configs.getErrorCode(), 0);
  EXPECT_EQ(configs.getDBError(), 0);

  char small[8];
  testkit::db::journal().injectFailure("exec", 204, "database is locked");
  configs.getConfigParamValue("ONE", value);
  EXPECT_EQ(std::string(configs.getLastError(small, sizeof small)).size(), 7u) << "cut to the buffer";
  char text[2048];
  EXPECT_STREQ(MMS2BaseError::getErrorStringForCode(MMS2_ERROR_NOT_FOUND, text, sizeof text, 0),
               "No matching record was found in the database.");
  EXPECT_STREQ(MMS2BaseError::getErrorStringForCode(0x12345678, text, sizeof text, 0), "Unknown error 0x12345678");
}

TEST_F(PlatformCalls, ConfigurationParametersInTheCallersTransaction) {
  DBtran tran(false);
  ASSERT_EQ(tran.startTran(), 0);
  ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('INSIDE', 4)"), 0);
  MMConfigsDB configs;
  int value = 0;
  EXPECT_EQ(configs.getConfigParamValue("INSIDE", value, &tran), 0);
  EXPECT_EQ(value, 4);
  ASSERT_EQ(tran.rollbackTran(), 0);
  EXPECT_EQ(configs.getConfigParamValue("INSIDE", value, nullptr), MMS2_ERROR_NOT_FOUND);
}

// ---------------------------------------------------------------- registry and catalogue

TEST_F(PlatformCalls, TheLockMessageClassesAreRegistered) {
  struct Field {
    unsigned tag;
    unsigned hash;
    tkxml::FieldKind kind;
  };
  struct Case {
    unsigned ns, cls, hash;
    const char* name;
    std::vector<Field> fields;
  } cases[] = {
      {13, 960, 0x0DF9BE39, "EVGui::MMConfigurationLockUnlockReq", {{1, 0x37931, tkxml::FieldKind::Object}}},
      {13, 959, 0x0D17D425, "EVGui::MMConfigurationLockUnlockInfo",
       {{1, 0x3A3E51, tkxml::FieldKind::Int64}, {2, 0xCE3B05, tkxml::FieldKind::Int64}}},
      {1, 0, 0x010003F0, "ZQGui::GenericResp",
       {{1, 0x9CB015, tkxml::FieldKind::Int64}, {2, 0xB7ECDF, tkxml::FieldKind::String}}},
      {13, 1, 0x0DF2BE27, "EVGui::GenericResp",
       {{1, 0x9CB015, tkxml::FieldKind::Int64}, {2, 0xB7ECDF, tkxml::FieldKind::String}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tkxml::ClassInfoPtr info = tkxml::findClass(c.ns, c.cls);
    ASSERT_TRUE(info != nullptr);
    EXPECT_EQ(info->name, c.name);
    EXPECT_EQ(info->classHash, c.hash);
    ASSERT_EQ(info->fields.size(), c.fields.size());
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(info->fields[i].tag, c.fields[i].tag);
      EXPECT_EQ(info->fields[i].hash, c.fields[i].hash);
      EXPECT_EQ(info->fields[i].kind, c.fields[i].kind);
    }
  }
  const tkxml::FieldDef* child = tkxml::findClass(13, 960)->byTag(1);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->ns, 13u);
  EXPECT_EQ(child->cls, 959u);
}

TEST_F(PlatformCalls, EveryTextOfTheLockIsInTheCatalogue) {
  for (uint32_t id : {0x240001EFu, 0x240002F9u, 0x240001F0u, 0x2400016Bu, 0x240002FAu, 0x1F00016Du, 0x23000451u,
                      0x23000452u, 0x23000002u}) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(tkcatalogue::has(id));
  }
  EXPECT_NE(locktest::text(0x240002F9, "zed").find("[zed]"), std::string::npos);
  EXPECT_NE(locktest::text(0x1F00016D, "srv").find("[srv]"), std::string::npos);
  EXPECT_NE(locktest::text(0x240001EF, "why").find("why"), std::string::npos);
}

}  // namespace
