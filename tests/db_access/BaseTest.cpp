// The common part of the family: the configuration parameters as one of its
// classes (journal and scripted failures), the caller's own transactions
// through MMBaseDB, the generic DeleteList and the texts of codes.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/db_access/AccessFixture.h"

namespace dbaccess {
namespace {

TEST_F(AccessTest, ConfigurationParametersAreJournaledAndCanBeScripted) {
  run("INSERT INTO MMConfigs (name, value) VALUES ('MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG', 0)");
  MMConfigsDB configs(&log);
  int value = 1;
  ASSERT_EQ(0, configs.getConfigParamValue("mmconfig_force_delete_mp_enabled_flag", value, nullptr));
  EXPECT_EQ(0, value);
  // The parameter as the mount-path deletion reads it: not set means 100.
  value = 1;
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, configs.getConfigParamValue("MMS2_CONFIG_CHECK_USER_MA_RIGHT", value, nullptr));
  EXPECT_EQ(100, configs.getDBError());
  EXPECT_EQ(1, value);
  // A scripted failure keeps the call's own convention: its code is its result.
  testkit::mmdb::failNext("MMConfigsDB::getConfigParamValue", MMS2_ERROR_DATABASE, "database is locked", 204);
  EXPECT_EQ(MMS2_ERROR_DATABASE, configs.getConfigParamValue("MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG", value, nullptr));
  EXPECT_EQ(204, configs.getDBError());
  EXPECT_EQ(1, value);
  auto calls = testkit::mmdb::calls("MMConfigsDB::getConfigParamValue");
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ((std::vector<std::string>{"MMS2_CONFIG_CHECK_USER_MA_RIGHT", "null"}), calls[1].args);
}

// Each form a stored value can take, read as the rights switch and the
// mount-path deletion read it: a whole number, as an integer or as a text
// of digits; anything else is unusable and says what was found.
TEST_F(AccessTest, AConfigurationParameterIsAWholeNumberOfThirtyTwoBits) {
  run("INSERT INTO MMConfigs (name, value) VALUES ('P_INT', -7), ('P_TEXT', '12'), ('P_WORD', '12x'), "
      "('P_EMPTY', ''), ('P_NULL', NULL), ('P_BIG', 4294967296), ('P_REAL', 1.5), ('P_LOW', -2147483648)");
  MMConfigsDB configs(&log);
  struct Case {
    const char* name;
    int code;
    int value;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"P_INT", 0, -7, ""},
      {"p_text", 0, 12, ""},
      {"P_LOW", 0, -2147483647 - 1, ""},
      {"P_WORD", MMS2_ERROR_BAD_VALUE, 99, "Configuration parameter [P_WORD] has an unusable value '12x'."},
      {"P_EMPTY", MMS2_ERROR_BAD_VALUE, 99, "Configuration parameter [P_EMPTY] has an unusable value ''."},
      {"P_NULL", MMS2_ERROR_BAD_VALUE, 99, "Configuration parameter [P_NULL] has an unusable value NULL."},
      {"P_BIG", MMS2_ERROR_BAD_VALUE, 99, "Configuration parameter [P_BIG] has an unusable value 4294967296."},
      {"P_REAL", MMS2_ERROR_BAD_VALUE, 99, "Configuration parameter [P_REAL] has an unusable value 1.500000."},
      {"P_NONE", MMS2_ERROR_NOT_FOUND, 99, "Configuration parameter [P_NONE] is not set."},
  };
  for (const Case& c : cases) {
    int value = 99;
    EXPECT_EQ(c.code, configs.getConfigParamValue(c.name, value, nullptr)) << c.name;
    EXPECT_EQ(c.value, value) << c.name;
    EXPECT_EQ(c.text, configs.lastErrorText()) << c.name;
    EXPECT_EQ(c.code == MMS2_ERROR_NOT_FOUND ? 100 : 0, configs.getDBError()) << c.name;
  }
}

// A failure scripted on the journal itself (as a fault sweep scripts the
// platform's calls) fails the table-access and client-info calls as a
// scripted failure does, with no database result, before any change.
TEST_F(AccessTest, AFailureScriptedOnTheJournalFailsTheCallBeforeItChangesAnything) {
  MMMountPathDB paths(&log);
  testkit::mmdb::journal().injectFailure("MMMountPathDB::setMaxWriters", MMS2_ERROR_DATABASE, "swept");
  EXPECT_EQ(-1, paths.setMaxWriters(kMP1, 3, nullptr));
  EXPECT_EQ(MMS2_ERROR_DATABASE, paths.getErrorCode());
  EXPECT_EQ(0, paths.getDBError());
  EXPECT_EQ("swept", paths.lastErrorText());
  EXPECT_EQ(10, scalar("SELECT MaxConcurrentWriters FROM MMMountPath WHERE MountPathId = 51"));
  EXPECT_EQ(0, paths.setMaxWriters(kMP1, 3, nullptr)) << "only the next call fails";
  EXPECT_EQ(3, scalar("SELECT MaxConcurrentWriters FROM MMMountPath WHERE MountPathId = 51"));

  testkit::mmdb::journal().injectFailure("ZQMMDeviceInfo::configDeviceControllerList", 4321, "swept");
  ZQMMDeviceInfo devices(1);
  EXPECT_EQ(4321, devices.configDeviceControllerList(kDevice, {}));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMDeviceController"));
}

// The start of every call, opened up to watch what it does with its
// arguments.
struct CallStart : MMTableAccess {
  using MMTableAccess::beginCall;
};

// Production never turns the journal on: a call then makes no texts of its
// arguments (one that takes work to describe is never described), records
// nothing and takes no scripted failure; what the journal reads once it
// records is as before.
TEST_F(AccessTest, ACallMakesItsJournalTextsOnlyWhileTheJournalRecords) {
  CallStart start;
  int described = 0;
  const auto describe = [&] {
    ++described;
    return std::vector<std::string>{"described"};
  };
  testkit::mmdb::failNext("CallStart::call", 77, "scripted");
  tkmmdb::setJournalOn(false);
  EXPECT_TRUE(start.beginCall("CallStart::call", describe));
  EXPECT_TRUE(start.beginCall("CallStart::call", 7, "text", mmTranText(nullptr)));
  MMHost_t host{};
  ASSERT_EQ(0, MMHostDB(&log).getInfoByClientName("ma1", host, nullptr));
  EXPECT_EQ(0, described);
  tkmmdb::setJournalOn(true);
  EXPECT_TRUE(testkit::mmdb::journal().calls().empty());

  EXPECT_FALSE(start.beginCall("CallStart::call", describe)) << "the scripted failure waited for the journal";
  EXPECT_EQ(77, start.getErrorCode());
  EXPECT_EQ("scripted", start.lastErrorText());
  EXPECT_TRUE(start.beginCall("CallStart::call", 7, "text", mmTranText(nullptr)));
  EXPECT_EQ(0, start.getErrorCode()) << "a new call clears the last error";
  ASSERT_EQ(0, MMHostDB(&log).getInfoByClientName("ma1", host, nullptr));
  EXPECT_EQ(1, described);
  const auto calls = testkit::mmdb::calls("CallStart::call");
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ((std::vector<std::string>{"described"}), calls[0].args);
  EXPECT_EQ((std::vector<std::string>{"7", "text", "null"}), calls[1].args);
  const auto reads = testkit::mmdb::calls("MMHostDB::getInfoByClientName");
  ASSERT_EQ(1u, reads.size());
  EXPECT_EQ((std::vector<std::string>{"ma1", "null"}), reads[0].args);
}

TEST_F(AccessTest, TheCallersOwnTransactionThroughTheBase) {
  MMMountPathDB paths(&log);
  DBtran tran;
  int code = -1;
  ASSERT_EQ(0, paths.startTransaction(&tran, code));
  EXPECT_EQ(0, code);
  ASSERT_EQ(0, paths.setMaxWriters(kMP1, 1, &tran));
  ASSERT_EQ(0, paths.rollbackTransaction(&tran));
  EXPECT_EQ(10, scalar("SELECT MaxConcurrentWriters FROM MMMountPath WHERE MountPathId = 51"));
  ASSERT_EQ(0, paths.startTransaction(&tran, code));
  ASSERT_EQ(0, paths.setMaxWriters(kMP1, 2, &tran));
  ASSERT_EQ(0, paths.commitTransaction(&tran, code));
  EXPECT_EQ(2, scalar("SELECT MaxConcurrentWriters FROM MMMountPath WHERE MountPathId = 51"));
  // Ending a transaction that is not open fails with the engine's code.
  EXPECT_EQ(-1, paths.commitTransaction(&tran, code));
  EXPECT_EQ(DB_ERR_NO_TRAN, code);
  EXPECT_EQ(MMS2_ERROR_DATABASE, paths.getErrorCode());
  EXPECT_EQ(DB_ERR_NO_TRAN, paths.getDBError());
  EXPECT_EQ(-1, paths.startTransaction(nullptr, code));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, paths.getErrorCode());
  testkit::db::journal().injectFailure("startTran", DB_ERR_BUSY, "locked");
  EXPECT_EQ(-1, paths.startTransaction(&tran, code));
  EXPECT_EQ(DB_ERR_BUSY, code);
}

TEST_F(AccessTest, TheGenericDeleteListReleasesAnyList) {
  MMMasterPool_t* pools = new MMMasterPool_t[3];
  const int line = __LINE__ + 1;
  MMBaseDB::DeleteList(pools, "generic.cpp", line);
  EXPECT_EQ(nullptr, pools);
  auto calls = testkit::mmdb::calls("MMBaseDB::DeleteList");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ((std::vector<std::string>{"generic.cpp", std::to_string(line)}), calls[0].args);
}

TEST(ErrorTexts, EveryCodeOfTheFamilyHasAText) {
  const int codes[] = {
      MMS2_ERROR_DATABASE,         MMS2_ERROR_NOT_FOUND,          MMS2_ERROR_BAD_ARGUMENT,
      MMS2_ERROR_BAD_VALUE,        MMS2_ERROR_DUPLICATE_NAME,     MMS2_ERROR_TEXT_TOO_LONG,
      MMS2_ERROR_REFERENCE,        MMS2_ERROR_NO_ACTIVE_CONTROLLER, MMS2_ERROR_NDMP_HOST_NOT_FOUND,
      ZQMM_ERR_DEVICE_NOT_FOUND,   ZQMM_ERR_MOUNTPATH_NOT_FOUND,  ZQMM_ERR_LIBRARY_NOT_FOUND,
      ZQMM_ERR_CONTROLLER_NOT_FOUND, ZQMM_ERR_MOUNTPATH_HAS_DATA, ZQMM_ERR_CONTROLLER_EXISTS,
      ZQMM_ERR_BAD_REQUEST,        ZQMM_ERR_DATABASE,             ZQMM_ERR_DUPLICATE_NAME,
      ZQMM_ERR_MEDIA_AGENT_NOT_FOUND, ZQMM_ERR_MOUNTPATH_IN_USE,  ZQMM_ERR_MOUNTPATH_DDB_REFERENCE,
  };
  for (int code : codes) {
    char text[1025];
    char unknown[64];
    std::snprintf(unknown, sizeof unknown, "Unknown error 0x%08X", static_cast<unsigned>(code));
    EXPECT_STRNE("", ErrorTrans::getErrorString(code, text, sizeof text, 0)) << code;
    EXPECT_STRNE(unknown, MMS2BaseError::getErrorStringForCode(code, text, sizeof text, 0)) << code;
  }
  char text[32];
  EXPECT_STREQ("Success", MMS2BaseError::getErrorStringForCode(0, text, sizeof text, 0));
  // A code of the message catalogue is rendered by the catalogue.
  EXPECT_STRNE("", ErrorTrans::getErrorString(0x240001F0, text, sizeof text, 0));
}

}  // namespace
}  // namespace dbaccess
