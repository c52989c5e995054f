// Shared pieces of the storage-library request tests: an installation with
// two media agents, a disk library with one controller and a mount path, a
// request builder, the decoded answer, and a fixture that starts each test
// with a fresh database and fresh stand-ins. Requests go through the XML
// dispatcher as the host calls it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "platform/testkit/adapters.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/cloud.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/external.h"
#include "platform/testkit/focus.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/mmdb.h"
#include "platform/testkit/security.h"
#include "platform/testkit/xml.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/StorageLibraryMessages.h"
#include "tests/support/FieldValues.h"
#include "tests/support/FrameSession.h"
#include "tests/support/Seed.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

namespace storagelibtest {

using Info = EVGui::StorageLibraryInfo;
using Req = EVGui::ConfigureStorageLibraryReq;
using Resp = EVGui::ConfigureStorageLibraryResp;

inline constexpr unsigned long kMessageId = 0x0D130098;
inline constexpr uint32_t kAlice = 7;
inline constexpr const char* kAliceLogin = "alice";
// The installation: media agents 2 ("ma2", release 16 SP 20) and 3 ("ma3",
// release 16 SP 19), disk library 5 ("disklib") reached by ma2, with mount
// path 40 "/mnt/disk1" on device 60 ("dev60") whose base folder is "base1",
// and library 6 ("lonely") without controllers.
inline constexpr int kMa2 = 2;
inline constexpr int kMa3 = 3;
inline constexpr int kDiskLib = 5;
inline constexpr int kLonelyLib = 6;
inline constexpr int kMountPath = 40;
inline constexpr int kDevice = 60;

using Value = tktest::FieldValue;
using Fields = tktest::FieldValues;  // by tag

inline void fill(CNMessageBase& info, const Fields& fields) {
  tktest::fillFields(info, Info::kNamespace, Info::kClassNumber, Info::kClassHash, fields);
}

// The request text: the library description and, when given, the second.
inline std::string request(const Fields& library, const Fields& second = {}) {
  Req req;
  CNMessageBase& first = req.getObjectAccessor(true, true, Req::kLibrary.ordinal, Req::kLibrary.tag,
                                               Req::kClassHash, Req::kLibrary.hash, Req::kLibrary.ns,
                                               Req::kLibrary.cls);
  fill(first, library);
  if (!second.empty()) {
    CNMessageBase& other = req.getObjectAccessor(true, true, Req::kSecond.ordinal, Req::kSecond.tag,
                                                 Req::kClassHash, Req::kSecond.hash, Req::kSecond.ns,
                                                 Req::kSecond.cls);
    fill(other, second);
  }
  std::string xml;
  EXPECT_EQ(req.serialize(xml), 0);
  return xml;
}

// The decoded answer: a success response with its description, or a
// generic response.
struct Answer {
  bool success = false;  // an EVGui::ConfigureStorageLibraryResp
  long long code = 999;
  std::string text;
  std::string xml;
  // The success response's description, by tag.
  long long number(const tkxml::FieldDef& f) const { return info.getint64(f.tag, Info::kClassHash, f.hash); }
  std::string string(const tkxml::FieldDef& f) const {
    return info.getstring(f.ordinal, f.tag, Info::kClassHash, f.hash);
  }
  bool has(const tkxml::FieldDef& f) const { return info.isSet(f.ordinal, Info::kClassHash, f.hash); }
  Info info;
};

inline Answer decode(const std::string& xml) {
  Answer a;
  a.xml = xml;
  Resp response;
  if (response.unserialize(xml) == 0) {
    a.success = true;
    a.code = 0;
    const CNMessageBase& info = response.getObjectAccessor(true, false, Resp::kLibrary.ordinal, Resp::kLibrary.tag,
                                                           Resp::kClassHash, Resp::kLibrary.hash,
                                                           Resp::kLibrary.ns, Resp::kLibrary.cls);
    static_cast<CNMessageBase&>(a.info) = info;
    return a;
  }
  EVGui::GenericResp generic;
  if (generic.unserialize(xml) != 0) return a;
  using G = EVGui::GenericResp;
  a.code = generic.getint64(G::kCode.tag, G::kClassHash, G::kCode.hash);
  a.text = generic.getstring(G::kText.ordinal, G::kText.tag, G::kClassHash, G::kText.hash);
  return a;
}

inline void resetStandIns() {
  tktest::resetSessionStandIns();
  testkit::security::reset();
  testkit::alerts::reset();
  testkit::external::reset();
  testkit::focus::reset();
  testkit::adapters::reset();
  testkit::cloud::reset();
  testkit::mmdb::reset();
  testkit::xml::clearFailures();
  testkit::xml::resetMismatches();
  testkit::xml::clearJournal();
}

// The installation described above.
inline void seedInstallation(tktest::TestDatabase& db) {
  tktest::insertRows(db, "APP_Client (id, name, net_hostname, releaseId, servicePack)",
                     {{kMa2, "ma2", "ma2.example.net", 16, 20}, {kMa3, "ma3", "ma3.example.net", 16, 19}});
  tktest::insertRows(db, "MMHost (ClientId)", {{kMa2}, {kMa3}});
  tktest::insertRows(db, "MMLibrary (LibraryId, AliasName, LibraryTypeId)",
                     {{kDiskLib, "disklib", 3}, {kLonelyLib, "lonely", 3}});
  tktest::insertRows(db, "MMLibraryController (LibraryControllerId, ClientId, LibraryId)", {{70, kMa2, kDiskLib}});
  tktest::insertRows(db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{kDevice, "dev60", 1}});
  tktest::addMountPath(db, kMountPath, kDiskLib, kDevice, "/mnt/disk1");
  tktest::addDevicePath(db, {500, kMa2, kDevice, 6, "base1"});
}

class StorageLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EvMMConfigMgr::Initialize();
    resetStandIns();
    tktest::resetSessionState();
    freshStandIns();
    seedInstallation(m_db);
  }
  void TearDown() override {
    EXPECT_EQ(testkit::xml::mismatchCount(), 0) << "XML accessor calls disagree with the registry";
    tktest::resetSessionState();
    resetStandIns();
  }
  // Users, installation name and installation directories, as every run starts.
  void freshStandIns() {
    resetStandIns();
    testkit::external::setUserLogin(kAlice, kAliceLogin);
    testkit::focus::setFocus("site-a");
    testkit::adapters::setInstallDirectory(kMa2, "/opt/tarnkeep");
    testkit::adapters::setInstallDirectory(kMa3, "/opt/tarnkeep");
  }

  // The request record as the host makes it.
  std::unique_ptr<MessageInfo> record(int64_t sequence = 300) const {
    auto message = m_client.request(sequence, 0, kAlice);
    message->setLoginName(kAliceLogin);
    return message;
  }
  // One request through the dispatcher; its result in `result`.
  Answer call(const std::string& xml, long long* result = nullptr) {
    auto message = record();
    std::string buffer = xml;
    const long long r = m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    if (result != nullptr) *result = r;
    return decode(buffer);
  }
  Answer call(const Fields& library, const Fields& second = {}) { return call(request(library, second)); }

  static void expectRefused(const Answer& a, const std::string& text) {
    EXPECT_FALSE(a.success) << a.xml;
    EXPECT_EQ(a.code, -1) << a.xml;
    EXPECT_EQ(a.text, text);
  }

  // Library locks of this process alone.
  tktest::TempDir m_lockDir;
  tktest::ScopedEnv m_lockEnv{"TK_LOCK_DIR", m_lockDir.file("locks")};
  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  tktest::Connection m_client;
};

}  // namespace storagelibtest
