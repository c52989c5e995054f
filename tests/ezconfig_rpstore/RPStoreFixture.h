// Shared pieces of the replication-store request tests: an installation
// with two media agents, a disk library with a plain disk folder and a
// data-server folder, a storage policy; a request builder; the decoded
// answer; and a fixture that starts each test with a fresh database and
// fresh stand-ins. Requests go through the XML dispatcher as the host calls it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "platform/testkit/adapters.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/external.h"
#include "platform/testkit/focus.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/mdlock.h"
#include "platform/testkit/mmdb.h"
#include "platform/testkit/security.h"
#include "platform/testkit/xml.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/RPStoreMessages.h"
#include "tests/support/FieldValues.h"
#include "tests/support/FrameSession.h"
#include "tests/support/Seed.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

namespace rpstoretest {

using Info = EVGui::StorageLibraryInfo;
using Store = EVGui::RPStoreLibraryInfo;
using Req = EVGui::RPStoreLibraryReq;
using Resp = EVGui::RPStoreLibraryResp;

inline constexpr unsigned long kMessageId = 0x0D64B786;
inline constexpr uint32_t kAlice = 7;
inline constexpr const char* kAliceLogin = "alice";
// The installation: media agents 2 ("ma2") and 3 ("ma3"); disk library 5
// ("disklib") on device 60, where ma2 has the plain disk folder /data/Disk1
// and the data-server folder /san (access 0x20); storage policy 30.
inline constexpr int kMa2 = 2;
inline constexpr int kMa3 = 3;
inline constexpr int kDiskLib = 5;
inline constexpr int kPolicy = 30;
inline constexpr const char* kWindow = "<EVGui_IntervalWindow days=\"127\" from=\"22:00\" to=\"06:00\"/>";

using Value = tktest::FieldValue;
using Fields = tktest::FieldValues;  // by tag

// A request: the operation, the library part, the store part and, when
// given, the store's off-peak window as text.
struct Request {
  long long operation = 1;
  Fields library;
  Fields store;
  std::string window;
};

inline std::string text(const Request& r) {
  Req req;
  req.setint64(Req::kOperation.ordinal, Req::kOperation.tag, r.operation, Req::kClassHash, Req::kOperation.hash);
  CNMessageBase& library = req.getObjectAccessor(true, true, Req::kLibrary.ordinal, Req::kLibrary.tag,
                                                 Req::kClassHash, Req::kLibrary.hash, Req::kLibrary.ns,
                                                 Req::kLibrary.cls);
  tktest::fillFields(library, Info::kNamespace, Info::kClassNumber, Info::kClassHash, r.library);
  CNMessageBase& store = req.getObjectAccessor(true, true, Req::kStore.ordinal, Req::kStore.tag, Req::kClassHash,
                                               Req::kStore.hash, Req::kStore.ns, Req::kStore.cls);
  tktest::fillFields(store, Store::kNamespace, Store::kClassNumber, Store::kClassHash, r.store);
  if (!r.window.empty()) {
    EVGui::IntervalWindow window;
    EXPECT_EQ(window.unserialize(r.window), 0);
    store.setObjectAccessor(window, Store::kOffPeakSchedule.ordinal, Store::kOffPeakSchedule.tag, Store::kClassHash,
                            Store::kOffPeakSchedule.hash);
  }
  std::string xml;
  EXPECT_EQ(req.serialize(xml), 0);
  return xml;
}

// The decoded answer.
struct Answer {
  bool success = false;  // an EVGui::RPStoreLibraryResp
  long long code = 999;
  std::string text;
  std::string xml;
  long long libraryId = 0;  // of the response's library part
  long long storeId = 0;    // of the response's store part
};

inline Answer decode(const std::string& xml) {
  Answer a;
  a.xml = xml;
  Resp response;
  if (response.unserialize(xml) == 0) {
    a.success = true;
    a.code = 0;
    const CNMessageBase& library = response.getObjectAccessor(true, false, Resp::kLibrary.ordinal, Resp::kLibrary.tag,
                                                              Resp::kClassHash, Resp::kLibrary.hash,
                                                              Resp::kLibrary.ns, Resp::kLibrary.cls);
    a.libraryId = library.getint64(Info::kLibraryId.tag, Info::kClassHash, Info::kLibraryId.hash);
    const CNMessageBase& store = response.getObjectAccessor(true, false, Resp::kStore.ordinal, Resp::kStore.tag,
                                                            Resp::kClassHash, Resp::kStore.hash, Resp::kStore.ns,
                                                            Resp::kStore.cls);
    a.storeId = store.getint64(Store::kRPStoreId.tag, Store::kClassHash, Store::kRPStoreId.hash);
    return a;
  }
  EVGui::GenericResp generic;
  if (generic.unserialize(xml) != 0) return a;
  using G = EVGui::GenericResp;
  a.code = generic.getint64(G::kCode.tag, G::kClassHash, G::kCode.hash);
  a.text = generic.getstring(G::kText.ordinal, G::kText.tag, G::kClassHash, G::kText.hash);
  return a;
}

// A creation of "rplib" on ma2 at /data/rp1 with limits 100 and 4000.
inline Request creation(long long operation = 1) {
  Request r;
  r.operation = operation;
  r.library = {{7, kMa2}, {8, "rplib"}, {24, "/data/rp1"}, {28, "owner"}, {32, "s3cret"}};
  r.store = {{6, 100}, {7, 4000}};
  r.window = kWindow;
  return r;
}

inline void seedInstallation(tktest::TestDatabase& db) {
  tktest::insertRows(db, "APP_Client (id, name, net_hostname)",
                     {{kMa2, "ma2", "ma2.example.net"}, {kMa3, "ma3", "ma3.example.net"}});
  tktest::insertRows(db, "MMHost (ClientId)", {{kMa2}, {kMa3}});
  tktest::insertRows(db, "MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId)",
                     {{kDiskLib, "disklib", "disklib", 3}});
  tktest::insertRows(db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{60, "dev60", 1}});
  tktest::addMountPath(db, 40, kDiskLib, 60, "/data/Disk1");
  tktest::addDevicePath(db, {500, kMa2, 60, 0, "/data/Disk1"});
  tktest::addDevicePath(db, {501, kMa2, 60, 0x20, "/san"});
  tktest::addDevicePath(db, {502, kMa2, 60, 0, ""});
  tktest::insertRows(db, "archGroup (id, name)", {{kPolicy, "SP_Gold"}});
}

class RPStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EvMMConfigMgr::Initialize();
    tktest::resetSessionState();
    freshStandIns();
    seedInstallation(m_db);
  }
  void TearDown() override {
    EXPECT_EQ(testkit::xml::mismatchCount(), 0) << "XML accessor calls disagree with the registry";
    tktest::resetSessionState();
    resetStandIns();
  }
  static void resetStandIns() {
    tktest::resetSessionStandIns();
    testkit::security::reset();
    testkit::alerts::reset();
    testkit::external::reset();
    testkit::focus::reset();
    testkit::adapters::reset();
    testkit::archivemgr::reset();
    testkit::mac::reset();
    testkit::mmdb::reset();
    testkit::mdlock::reset();
    testkit::xml::clearFailures();
    testkit::xml::resetMismatches();
  }
  void freshStandIns() {
    resetStandIns();
    testkit::external::setUserLogin(kAlice, kAliceLogin);
    testkit::focus::setFocus("site-a");
    testkit::adapters::setInstallDirectory(kMa2, "/opt/tarnkeep");
    testkit::adapters::setInstallDirectory(kMa3, "/opt/tarnkeep");
  }
  // Rights per media agent (and so the library lock) on or off.
  void checkRightsPerAgent(bool on) {
    ASSERT_EQ(m_db.exec("DELETE FROM MMConfigs WHERE name = 'MMS2_CONFIG_CHECK_USER_MA_RIGHT'"), 0);
    if (on) {
      ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('MMS2_CONFIG_CHECK_USER_MA_RIGHT', 1)"), 0);
    }
  }

  std::unique_ptr<MessageInfo> record() const {
    auto message = m_client.request(300, 0, kAlice);
    message->setLoginName(kAliceLogin);
    return message;
  }
  Answer call(const std::string& xml, long long* result = nullptr) {
    auto message = record();
    std::string buffer = xml;
    const long long r = m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    if (result != nullptr) *result = r;
    return decode(buffer);
  }
  Answer call(const Request& r) { return call(text(r)); }

  static std::string catalogue(unsigned long id, const std::string& argument = "") {
    char buffer[1024];
    if (argument.empty())
      EvGetLocText(id, buffer, sizeof buffer, 0);
    else
      EvGetLocText(id, buffer, sizeof buffer, 0, argument);
    return buffer;
  }
  static void expectRefused(const Answer& a, const std::string& text) {
    EXPECT_FALSE(a.success) << a.xml;
    EXPECT_EQ(a.code, -1) << a.xml;
    EXPECT_EQ(a.text, text);
  }
  long long count(const std::string& table, const std::string& where = "1") {
    return m_db.scalar("SELECT COUNT(*) FROM " + table + " WHERE " + where);
  }

  tktest::TempDir m_lockDir;
  tktest::ScopedEnv m_lockEnv{"TK_LOCK_DIR", m_lockDir.file("locks")};
  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  tktest::Connection m_client;
};

}  // namespace rpstoretest
