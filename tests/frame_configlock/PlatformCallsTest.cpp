// The platform calls the lock stands on: the configuration parameters of the
// table access and the lock's catalogue texts.
#include <gtest/gtest.h>

#include <vector>

#include "platform/catalogue/Catalogue.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMConfigsDB.h"
#include "platform/testkit/db.h"
#include "tests/frame_configlock/ConfigLockFixture.h"

namespace {

class PlatformCalls : public locktest::LockTest {};

TEST_F(PlatformCalls, ConfigurationParameters) {
  ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value, description) VALUES "
                      "('ONE', 1, 'a switch'), ('BIG', 2147483647, NULL), ('TOO_BIG', 2147483648, NULL), "
                      "('NEG', -2147483648, NULL), ('TEXT', '12', NULL), ('WORD', 'on', NULL), "
                      "('EMPTY', NULL, NULL), ('REAL', 1.5, NULL)"),
            0);
  const struct {
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
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MMConfigsDB configs;
    int value = 77;
    EXPECT_EQ(configs.getConfigParamValue(c.name, value), c.result);
    EXPECT_EQ(configs.getErrorCode(), c.result);
    EXPECT_EQ(configs.getDBError(), c.dbError);
    EXPECT_EQ(value, c.value);
    char buffer[1024];
    EXPECT_EQ(std::string(configs.getLastError(buffer, sizeof buffer)).empty(), c.result == 0);
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

  // In the caller's transaction: what it wrote is seen, and gone after its roll-back.
  DBtran tran(false);
  ASSERT_EQ(tran.startTran(), 0);
  ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('INSIDE', 4)"), 0);
  EXPECT_EQ(configs.getConfigParamValue("INSIDE", value, &tran), 0);
  EXPECT_EQ(value, 4);
  ASSERT_EQ(tran.rollbackTran(), 0);
  EXPECT_EQ(configs.getConfigParamValue("INSIDE", value, nullptr), MMS2_ERROR_NOT_FOUND);
}

TEST_F(PlatformCalls, EveryTextOfTheLockIsInTheCatalogue) {
  for (uint32_t id : {0x240001EFu, 0x240002F9u, 0x240001F0u, 0x2400016Bu, 0x240002FAu, 0x1F00016Du, 0x23000451u,
                      0x23000452u, 0x23000002u}) {
    EXPECT_TRUE(tkcatalogue::has(id)) << id;
  }
  EXPECT_NE(tktest::catalogueText(0x240002F9, "zed").find("[zed]"), std::string::npos);
  EXPECT_NE(tktest::catalogueText(0x1F00016D, "srv").find("[srv]"), std::string::npos);
  EXPECT_NE(tktest::catalogueText(0x240001EF, "why").find("why"), std::string::npos);
}

}  // namespace
