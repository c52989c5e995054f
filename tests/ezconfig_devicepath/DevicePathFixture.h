// Fixture of the device-path texts, audits and hybrid-cloud sharing: a
// database with a disk library ("disk-lib", library 5) whose mount path 100
// ("mp-main") lies on device 70 ("dev70"), media agents 11, 12 and 13 with
// display names, device paths of agents 11 (direct, folder "/direct70") and
// 12 (served through a data server, no folder) to that device; the
// stand-ins reset; and builders of device-path messages and audit reads.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Db/Tbl/MMLibrary.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/ZqEntities.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/client.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/events.h"
#include "platform/testkit/mmdb.h"
#include "platform/xml/DevicePathMessages.h"
#include "tests/support/Seed.h"

namespace dptest {

inline constexpr int kLibrary = 5;
inline constexpr int kMountPath = 100;
inline constexpr int kDevice = 70;
inline constexpr unsigned kUser = 77;
inline constexpr unsigned long kLocale = 0;

// Catalogue ids.
inline constexpr int kOpShare = 0x5400020E;
inline constexpr int kOpUnshare = 0x5400020D;
inline constexpr int kOpChange = 0x540000B9;
inline constexpr int kLibraryParam = 0x550000BF;
inline constexpr int kMountPathParam = 0x550000C4;
inline constexpr int kAgentPathParam = 0x550000C3;
inline constexpr int kCredentialParam = 0x550006DB;
inline constexpr int kDevicePathParam = 0x55000538;
inline constexpr int kFolderParam = 0x55000330;
inline constexpr int kAccessParam = 0x550004AB;
inline constexpr int kDrivesToUnlimited = 0x550004A4;
inline constexpr int kDrivesFromUnlimited = 0x550004A3;
inline constexpr int kDrives = 0x55000472;
inline constexpr int kCredentialChange = 0x550006A3;

// One device path of a request.
struct Path {
  long long deviceId = kDevice;
  long long controllerId = 0;
  long long clientId = 0;
  const char* folder = nullptr;  // null: no folder field
  long long access = 0;
  long long operation = 1;
  long long drives = 0;
  long long credentialId = 0;
  const char* credentialName = nullptr;
};

inline EVGui::MMDevicePathInfo devicePath(const Path& p) {
  using Info = EVGui::MMDevicePathInfo;
  using EVGui::IdName;
  using ZqEntities::CredentialEntity;
  Info info;
  auto setInt = [&](CNMessageBase& m, unsigned hash, const tkxml::FieldDef& f, long long v) {
    EXPECT_EQ(0, m.setint64(f.ordinal, f.tag, v, hash, f.hash));
  };
  setInt(info, Info::kClassHash, Info::kDeviceId, p.deviceId);
  setInt(info, Info::kClassHash, Info::kDeviceControllerId, p.controllerId);
  if (p.folder != nullptr) {
    EXPECT_EQ(0, info.setstring(Info::kFolder.ordinal, Info::kFolder.tag, p.folder, Info::kClassHash,
                                Info::kFolder.hash));
  }
  setInt(info, Info::kClassHash, Info::kAccessType, p.access);
  setInt(info, Info::kClassHash, Info::kOperation, p.operation);
  setInt(info, Info::kClassHash, Info::kMaxDrivesToSwitch, p.drives);
  CNMessageBase& agent = info.getObjectAccessor(true, true, Info::kMediaAgent.ordinal, Info::kMediaAgent.tag,
                                                Info::kClassHash, Info::kMediaAgent.hash, IdName::kNamespace,
                                                IdName::kClassNumber);
  setInt(agent, IdName::kClassHash, IdName::kId, p.clientId);
  if (p.credentialId != 0 || p.credentialName != nullptr) {
    CNMessageBase& credential = info.getObjectAccessor(
        true, true, Info::kCredential.ordinal, Info::kCredential.tag, Info::kClassHash, Info::kCredential.hash,
        CredentialEntity::kNamespace, CredentialEntity::kClassNumber);
    setInt(credential, CredentialEntity::kClassHash, CredentialEntity::kId, p.credentialId);
    if (p.credentialName != nullptr) {
      EXPECT_EQ(0, credential.setstring(CredentialEntity::kCredentialName.ordinal,
                                        CredentialEntity::kCredentialName.tag, p.credentialName,
                                        CredentialEntity::kClassHash, CredentialEntity::kCredentialName.hash));
    }
  }
  return info;
}

// A parameter as read back: message id and arguments.
struct Param {
  int id;
  std::vector<std::string> args;
  bool operator==(const Param& o) const { return id == o.id && args == o.args; }
};
inline std::ostream& operator<<(std::ostream& os, const Param& p) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(p.id));
  os << hex << "(";
  for (size_t i = 0; i < p.args.size(); ++i) os << (i ? ", " : "") << '"' << p.args[i] << '"';
  return os << ")";
}
inline std::vector<Param> paramsOf(const testkit::audit::Record& r) {
  std::vector<Param> out;
  for (const auto& p : r.params) out.push_back({p.messageId, p.arguments});
  return out;
}

class DevicePathTest : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    testkit::audit::reset();
    testkit::client::reset();
    testkit::mmdb::reset();
    testkit::events::reset();
    tktest::insertRows(db, "MMLibrary (LibraryId, AliasName)", {{kLibrary, "disk-lib"}});
    tktest::insertRows(db, "MMDevice (DeviceId, AliasName)", {{kDevice, "dev70"}});
    tktest::addMountPath(db, kMountPath, kLibrary, kDevice, "mp-main");
    for (int client : {11, 12, 13}) {
      tktest::insertRows(db, "MMHost (ClientId)", {{client}});
      testkit::client::setDisplayName(client, "ma" + std::to_string(client));
    }
    tktest::addDevicePath(db, {501, 11, kDevice, 4, "/direct70"});
    tktest::addDevicePath(db, {502, 12, kDevice, 16, ""});
    std::strcpy(library.AliasName, "disk-lib");
    library.LibraryId = kLibrary;
  }
  void TearDown() override {
    testkit::mmdb::stop();
    testkit::client::reset();
  }

  // The audit pass over the entries (each accepted unless listed in
  // `refused`) with the previous values given.
  void pass(const std::vector<EVGui::MMDevicePathInfo>& entries, const std::vector<EVGui::MMDevicePathInfo>& previous,
            const std::vector<size_t>& refused = {}) {
    std::vector<EvMMConfigMgr::DevicePathAuditEntry> list;
    for (size_t i = 0; i < entries.size(); ++i) {
      bool accepted = true;
      for (size_t r : refused) accepted = accepted && r != i;
      list.push_back({&entries[i], accepted});
    }
    EVGui::MMDevicePathInfoReq previousValues;
    using Req = EVGui::MMDevicePathInfoReq;
    tkxml::MessageList& prevList = previousValues.getlistobject(Req::kInfoList.ordinal, Req::kInfoList.tag,
                                                                Req::kClassHash, Req::kInfoList.hash);
    for (const auto& p : previous) prevList.push_back(p);
    EvMMConfigMgr::auditDevicePathChanges(list, prevList, library, kMountPath, kUser, kLocale);
  }

  MMLibrary_t library;
};

}  // namespace dptest
