// Shared pieces of the mount-path operation tests: the storage-library
// installation of the request tests (tests/ezconfig_storagelib), plus a
// master pool and drive pools for the disk library, and readers of what the
// operations leave behind: mount-path and device-path rows, audit records
// as (operation, [message ids]) and journaled calls.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/mmdb/MMBaseDB.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/mmdb.h"
#include "tests/ezconfig_storagelib/StorageLibFixture.h"

namespace mountpathtest {

using namespace storagelibtest;  // NOLINT: the request tests' vocabulary
using tktest::catalogueText;

// Master pool 10 of the disk library with drive pools of both media agents.
inline constexpr int kMasterPool = 10;

// The request text, with `edit` given both descriptions to set what the
// field table cannot (nested entities).
inline std::string requestWith(const Fields& library, const Fields& second,
                               const std::function<void(CNMessageBase&, CNMessageBase&)>& edit) {
  Req req;
  CNMessageBase& first = req.getObjectAccessor(true, true, Req::kLibrary.ordinal, Req::kLibrary.tag, Req::kClassHash,
                                               Req::kLibrary.hash, Req::kLibrary.ns, Req::kLibrary.cls);
  CNMessageBase& other = req.getObjectAccessor(true, true, Req::kSecond.ordinal, Req::kSecond.tag, Req::kClassHash,
                                               Req::kSecond.hash, Req::kSecond.ns, Req::kSecond.cls);
  fill(first, library);
  fill(other, second);
  if (edit) edit(first, other);
  std::string xml;
  EXPECT_EQ(req.serialize(xml), 0);
  return xml;
}

// Sets a credential entity (id, name) into field `field` of a description.
inline void setCredential(CNMessageBase& info, const tkxml::FieldDef& field, long long id, const std::string& name) {
  using C = ZqEntities::CredentialEntity;
  CNMessageBase& entity =
      info.getObjectAccessor(true, true, field.ordinal, field.tag, Info::kClassHash, field.hash, field.ns, field.cls);
  entity.setint64(C::kId.ordinal, C::kId.tag, id, C::kClassHash, C::kId.hash);
  entity.setstring(C::kCredentialName.ordinal, C::kCredentialName.tag, name, C::kClassHash, C::kCredentialName.hash);
}

class MountPathTest : public StorageLibTest {
 protected:
  void SetUp() override {
    StorageLibTest::SetUp();
    tktest::insertRows(m_db, "MMMasterPool (MasterPoolId, LibraryId, MasterPoolName)",
                       {{kMasterPool, kDiskLib, "pool5"}});
    tktest::insertRows(m_db, "MMDrivePool (DrivePoolId, MasterPoolId, ClientId, MaxDrivesToSwitch)",
                       {{20, kMasterPool, kMa2, 7}, {21, kMasterPool, kMa3, 9}});
    testkit::audit::reset();
  }

  // The text of a media-management or table-access code.
  static std::string errorText(int code) {
    char text[1025];
    ErrorTrans::getErrorString(code, text, sizeof text, 0);
    return text;
  }
  long long count(const std::string& table, const std::string& where = "1 = 1") {
    return m_db.scalar("SELECT COUNT(*) FROM " + table + " WHERE " + where);
  }
  // The audit records written: operation and message ids, in order.
  static std::vector<std::vector<int>> audits() {
    std::vector<std::vector<int>> out;
    for (const auto& r : testkit::audit::records()) {
      std::vector<int> ids{r.operationId};
      for (const auto& p : r.params) ids.push_back(p.messageId);
      out.push_back(ids);
    }
    return out;
  }
  // The records of one operation.
  static std::vector<testkit::audit::Record> auditsOf(int operation) {
    std::vector<testkit::audit::Record> out;
    for (const auto& r : testkit::audit::records())
      if (r.operationId == operation) out.push_back(r);
    return out;
  }
  static std::vector<std::string> args(const std::string& call, std::size_t index = 0) {
    const auto calls = testkit::mmdb::calls(call);
    return index < calls.size() ? calls[index].args : std::vector<std::string>{};
  }
};

}  // namespace mountpathtest
