// Shared pieces of the library create, delete and change tests: the
// storage-library installation of tests/ezconfig_storagelib with a tape
// library beside it, a request builder that reaches the nested fields
// (the request's delete-enable value, the credential, the hybrid-cloud
// pairing, the media agent of the active controller), and the audit
// records in a comparable form.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/testkit/audit.h"
#include "tests/ezconfig_storagelib/StorageLibFixture.h"

namespace lifecycletest {

using namespace storagelibtest;  // NOLINT: the shared installation and answer
using Pairing = EVGui::HybridCloudPairing;

// Tape library 7 "tapelib" with controllers 80 (ma2, active) and 81 (ma3),
// master pool 90 over the drive pools 91 (ma2) and 92 (ma3), master pool
// 93 over drive pool 94 (ma2 alone).
inline constexpr int kTapeLib = 7;

inline void seedTapeLibrary(tktest::TestDatabase& db) {
  tktest::insertRows(db, "MMLibrary (LibraryId, AliasName, LibraryName, LibraryTypeId, LibraryEnabled)",
                     {{kTapeLib, "tapelib", "tapelib", 1, 1}});
  tktest::insertRows(db, "MMLibraryController (LibraryControllerId, ControllerName, ClientId, LibraryId, IsActive)",
                     {{80, "tapelib on ma2", kMa2, kTapeLib, 1}, {81, "tapelib on ma3", kMa3, kTapeLib, 0}});
  tktest::insertRows(db, "MMMasterPool (MasterPoolId, LibraryId, MasterPoolName)",
                     {{90, kTapeLib, "MP shared"}, {93, kTapeLib, "MP ma2"}});
  tktest::insertRows(db, "MMDrivePool (DrivePoolId, DrivePoolName, DrivePoolEnabled, ClientId, MasterPoolId)",
                     {{91, "DP ma2", 1, kMa2, 90}, {92, "DP ma3", 1, kMa3, 90}, {94, "DP2 ma2", 1, kMa2, 93}});
}

// The request text; `deleteEnable` < 0 leaves the request's field 6 out,
// and `more` reaches the two descriptions once the flat fields are in.
inline std::string requestText(const Fields& library, const Fields& second = {}, long long deleteEnable = -1,
                               const std::function<void(CNMessageBase&, CNMessageBase&)>& more = {}) {
  Req req;
  CNMessageBase& first = req.getObjectAccessor(true, true, Req::kLibrary.ordinal, Req::kLibrary.tag,
                                               Req::kClassHash, Req::kLibrary.hash, Req::kLibrary.ns,
                                               Req::kLibrary.cls);
  fill(first, library);
  CNMessageBase& other = req.getObjectAccessor(true, true, Req::kSecond.ordinal, Req::kSecond.tag, Req::kClassHash,
                                               Req::kSecond.hash, Req::kSecond.ns, Req::kSecond.cls);
  fill(other, second);
  if (deleteEnable >= 0)
    req.setint64(Req::kDeleteEnable.ordinal, Req::kDeleteEnable.tag, deleteEnable, Req::kClassHash,
                 Req::kDeleteEnable.hash);
  if (more) more(first, other);
  std::string xml;
  EXPECT_EQ(req.serialize(xml), 0);
  return xml;
}

// A nested object of a description.
inline CNMessageBase& child(CNMessageBase& parent, unsigned classHash, const tkxml::FieldDef& f) {
  return parent.getObjectAccessor(true, true, f.ordinal, f.tag, classHash, f.hash, f.ns, f.cls);
}

// One audit parameter: its message id and its arguments.
struct Param {
  int id;
  std::vector<std::string> arguments;
  bool operator==(const Param&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Param& p) {
  os << std::hex << "0x" << p.id << std::dec << " {";
  for (const std::string& a : p.arguments) os << '"' << a << "\" ";
  return os << '}';
}

// The parameters of every record of the operation, record by record.
inline std::vector<std::vector<Param>> audits(int operationId, int* userId = nullptr) {
  std::vector<std::vector<Param>> out;
  for (const testkit::audit::Record& r : testkit::audit::records()) {
    if (r.operationId != operationId) continue;
    if (userId != nullptr) *userId = r.userId;
    std::vector<Param>& params = out.emplace_back();
    for (const testkit::audit::Param& p : r.params) params.push_back({p.messageId, p.arguments});
  }
  return out;
}

class LifecycleTest : public StorageLibTest {
 protected:
  void SetUp() override {
    StorageLibTest::SetUp();
    testkit::audit::reset();
    seedTapeLibrary(m_db);
  }
  Answer send(const std::string& xml) { return call(xml); }
  long long value(const std::string& sql, const std::vector<tkdb::DbValue>& params = {}) {
    return m_db.scalar(sql, params);
  }
};

}  // namespace lifecycletest
