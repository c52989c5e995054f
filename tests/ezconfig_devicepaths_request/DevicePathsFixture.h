// Shared pieces of the device-path request tests: an installation with media
// agents 11, 12 and 13, disk library 5 ("disk-lib") with mount path 100 on
// device 70 reached by agent 11 (controller 501, folder "/direct70", user
// "u11", an encrypted password, drive pool with limit 5), and cloud library
// 6 ("cloud-lib") with mount path 200 on device 80 reached by agent 12
// (controller 601). Requests go through the XML dispatcher as the host
// calls it; answers are decoded from EVGui::MMDevicePathInfoResp.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/ZQPassword.h"
#include "platform/testkit/adapters.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/client.h"
#include "platform/testkit/db.h"
#include "platform/testkit/external.h"
#include "platform/testkit/mmdb.h"
#include "platform/testkit/security.h"
#include "platform/testkit/xml.h"
#include "platform/xml/DevicePathMessages.h"
#include "tests/support/FrameSession.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace dpreq {

using Req = EVGui::MMDevicePathInfoReq;
using Info = EVGui::MMDevicePathInfo;
using Resp = EVGui::MMDevicePathInfoResp;

inline constexpr unsigned long kMessageId = 0x0D9DA735;
inline constexpr unsigned kUser = 7;
inline constexpr int kDiskMountPath = 100;
inline constexpr int kCloudMountPath = 200;
inline constexpr int kDiskDevice = 70;
inline constexpr int kCloudDevice = 80;

inline std::string encrypted(const std::string& plain) {
  char out[2048] = {};
  int length = sizeof out;
  EXPECT_EQ(ZQPassword::encrypt(plain.c_str(), out, &length), 0);
  return out;
}
inline std::string decrypted(const std::string& enc) {
  char out[2048] = {};
  int length = sizeof out;
  if (ZQPassword::decrypt(enc.c_str(), out, &length) != 0) return "<does not decrypt>";
  return out;
}

// One entry of a request.
struct Path {
  long long operation = 1;
  long long clientId = 12;
  long long deviceId = kDiskDevice;
  long long controllerId = 0;
  const char* folder = nullptr;
  const char* user = nullptr;
  const char* password = nullptr;       // plain
  const char* proxyPassword = nullptr;  // plain
  long long access = 4;
  long long drives = 0;
  long long autoPick = -1;  // -1: not set
  long long credentialId = 0;
  const char* credentialName = nullptr;
};

inline Info entry(const Path& p) {
  Info info;
  auto setInt = [](CNMessageBase& m, unsigned hash, const tkxml::FieldDef& f, long long v) {
    m.setint64(f.ordinal, f.tag, v, hash, f.hash);
  };
  setInt(info, Info::kClassHash, Info::kOperation, p.operation);
  setInt(info, Info::kClassHash, Info::kDeviceId, p.deviceId);
  setInt(info, Info::kClassHash, Info::kDeviceControllerId, p.controllerId);
  setInt(info, Info::kClassHash, Info::kAccessType, p.access);
  setInt(info, Info::kClassHash, Info::kMaxDrivesToSwitch, p.drives);
  setInt(info, Info::kClassHash, Info::kEnabled, 1);
  if (p.autoPick >= 0) setInt(info, Info::kClassHash, Info::kAutoPickTransport, p.autoPick);
  if (p.folder) info.setstring(Info::kFolder.ordinal, Info::kFolder.tag, p.folder, Info::kClassHash, Info::kFolder.hash);
  if (p.user)
    info.setstring(Info::kUserName.ordinal, Info::kUserName.tag, p.user, Info::kClassHash, Info::kUserName.hash);
  if (p.password)
    info.setpstringobject(Info::kPassword.ordinal, Info::kPassword.tag, p.password, tkxml::kPlainText,
                          Info::kClassHash, Info::kPassword.hash);
  if (p.proxyPassword)
    info.setpstringobject(Info::kProxyPassword.ordinal, Info::kProxyPassword.tag, p.proxyPassword, tkxml::kPlainText,
                          Info::kClassHash, Info::kProxyPassword.hash);
  CNMessageBase& agent = info.getObjectAccessor(true, true, Info::kMediaAgent.ordinal, Info::kMediaAgent.tag,
                                                Info::kClassHash, Info::kMediaAgent.hash, Info::kMediaAgent.ns,
                                                Info::kMediaAgent.cls);
  setInt(agent, EVGui::IdName::kClassHash, EVGui::IdName::kId, p.clientId);
  if (p.credentialId != 0) {
    using ZqEntities::CredentialEntity;
    CNMessageBase& c = info.getObjectAccessor(true, true, Info::kCredential.ordinal, Info::kCredential.tag,
                                              Info::kClassHash, Info::kCredential.hash, Info::kCredential.ns,
                                              Info::kCredential.cls);
    setInt(c, CredentialEntity::kClassHash, CredentialEntity::kId, p.credentialId);
    if (p.credentialName)
      c.setstring(CredentialEntity::kCredentialName.ordinal, CredentialEntity::kCredentialName.tag, p.credentialName,
                  CredentialEntity::kClassHash, CredentialEntity::kCredentialName.hash);
  }
  return info;
}

inline std::string request(int mountPathId, const std::vector<Path>& paths) {
  Req req;
  req.setint64(Req::kMountPathId.ordinal, Req::kMountPathId.tag, mountPathId, Req::kClassHash, Req::kMountPathId.hash);
  tkxml::MessageList& list =
      req.getlistobject(Req::kInfoList.ordinal, Req::kInfoList.tag, Req::kClassHash, Req::kInfoList.hash);
  for (const Path& p : paths) list.push_back(entry(p));
  std::string xml;
  EXPECT_EQ(req.serialize(xml), 0);
  return xml;
}

struct Answer {
  bool read = false;
  long long code = 999;
  std::string text;
  std::string xml;
  long long result = 0;
};

inline Answer decode(const std::string& xml) {
  Answer a;
  a.xml = xml;
  Resp resp;
  if (resp.unserialize(xml) != 0) return a;
  a.read = true;
  const CNMessageBase& error = resp.getObjectAccessor(true, false, Resp::kError.ordinal, Resp::kError.tag,
                                                      Resp::kClassHash, Resp::kError.hash, Resp::kError.ns,
                                                      Resp::kError.cls);
  using E = EVGui::ErrorInfo;
  a.code = error.getint64(E::kErrorCode.tag, E::kClassHash, E::kErrorCode.hash);
  a.text = error.getstring(E::kErrorText.ordinal, E::kErrorText.tag, E::kClassHash, E::kErrorText.hash);
  return a;
}

inline void resetStandIns() {
  tktest::resetSessionStandIns();
  testkit::security::reset();
  testkit::alerts::reset();
  testkit::external::reset();
  testkit::adapters::reset();
  testkit::archivemgr::reset();
  testkit::client::reset();
  testkit::mmdb::reset();
  testkit::db::clearProcedureOverrides();
  testkit::xml::clearFailures();
  testkit::xml::resetMismatches();
}

inline void seed(tktest::TestDatabase& db) {
  for (int ma : {11, 12, 13}) {
    tktest::addClient(db, ma, "ma" + std::to_string(ma));
    tktest::insertRows(db, "MMHost (ClientId)", {{ma}});
  }
  tktest::insertRows(db, "MMLibrary (LibraryId, AliasName, LibraryTypeId)", {{5, "disk-lib", 3}, {6, "cloud-lib", 3}});
  tktest::insertRows(db, "MMDevice (DeviceId, AliasName)", {{kDiskDevice, "dev70"}, {kCloudDevice, "dev80"}});
  tktest::addMountPath(db, kDiskMountPath, 5, kDiskDevice, "mp-main");
  tktest::addMountPath(db, kCloudMountPath, 6, kCloudDevice, "mp-cloud", 0, 7);
  EXPECT_EQ(db.exec("UPDATE MMMountPath SET MasterPoolId = 10"), 0);
  tktest::insertRows(db, "MMDrivePool (DrivePoolId, MasterPoolId, ClientId, MaxDrivesToSwitch)",
                     {{1, 10, 11, 5}, {2, 10, 12, 5}});
  tktest::addDevicePath(db, {501, 11, kDiskDevice, 4, "/direct70", "u11", encrypted("pw11")});
  tktest::addDevicePath(db, {601, 12, kCloudDevice, 4, "bucket", "key!!proxy.example:3128@puser:" + encrypted("ppw"),
                             encrypted("secret")});
}

class DevicePathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EvMMConfigMgr::Initialize();
    resetStandIns();
    tktest::resetSessionState();
    freshStandIns();
    seed(m_db);
  }
  void TearDown() override {
    EXPECT_EQ(testkit::xml::mismatchCount(), 0);
    tktest::resetSessionState();
    resetStandIns();
    testkit::mmdb::stop();
  }
  void freshStandIns() {
    resetStandIns();
    testkit::external::setUserLogin(kUser, "alice");
    for (int ma : {11, 12, 13}) testkit::adapters::setInstallDirectory(ma, "/opt/tk");
  }
  std::unique_ptr<MessageInfo> record() const {
    auto message = m_client.request(300, 0, kUser);
    message->setLoginName("alice");
    return message;
  }
  Answer callText(std::string xml) {
    auto message = record();
    const long long r = m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, xml);
    Answer a = decode(xml);
    a.result = r;
    return a;
  }
  Answer call(int mountPathId, const std::vector<Path>& paths) { return callText(request(mountPathId, paths)); }

  // The device paths as rows "id client device access folder user", ordered.
  std::vector<std::string> controllers() {
    std::vector<std::string> out;
    for (const auto& row : m_db.query("SELECT DeviceControllerId, ClientId, DeviceId, DeviceAccessType, "
                                      "IFNULL(Folder, ''), IFNULL(UserName, '') FROM MMDeviceController ORDER BY 1")) {
      std::string line;
      for (const auto& v : row) line += (line.empty() ? "" : " ") + tkdb::textOf(v);
      out.push_back(line);
    }
    return out;
  }
  std::string passwordOf(int clientId, int deviceId) {
    auto rows = m_db.query("SELECT IFNULL(UserPassword, '') FROM MMDeviceController WHERE ClientId = " +
                           std::to_string(clientId) + " AND DeviceId = " + std::to_string(deviceId));
    return rows.empty() ? "<none>" : tkdb::textOf(rows[0][0]);
  }
  std::string userOf(int controllerId) {
    auto rows = m_db.query("SELECT IFNULL(UserName, '') FROM MMDeviceController WHERE DeviceControllerId = " +
                           std::to_string(controllerId));
    return rows.empty() ? "<none>" : tkdb::textOf(rows[0][0]);
  }

  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  tktest::Connection m_client;
};

}  // namespace dpreq
