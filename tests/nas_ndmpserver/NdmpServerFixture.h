// Shared pieces of the NDMP server change tests: the NAS handler fixture
// with filers, request records, and the NDMP rows, NAS clients and audit
// records as the tests compare them.
#pragma once

#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/external.h"
#include "platform/testkit/ndmp.h"
#include "tests/nas_handlers/NasHandlersFixture.h"

namespace nastest {

inline constexpr uint32_t kAdd = 1;
inline constexpr uint32_t kDelete = 2;
inline constexpr uint32_t kUpdate = 3;
inline constexpr uint32_t kDetect = 58;

// What the tests compare of an NDMP row.
struct Row {
  int clientId = 0;
  int osType = 0;
  std::string login;
  std::string password;  // stored form
  int port = 0;
  std::string firmware;
  int flags = 0;
  bool operator==(const Row&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{client " << r.clientId << ", os " << r.osType << ", " << r.login << ", port " << r.port << ", "
            << r.firmware << ", flags " << r.flags << "}";
}

class NdmpServerTest : public NasHandlerTest {
 protected:
  NdmpServerTest() {
    testkit::ndmp::reset();
    testkit::audit::reset();
    testkit::external::reset();
  }

  static std::string enc(const std::string& plain) { return tkcipher::encrypt(plain); }

  // A filer that accepts `login`/secret and reports `osType`.
  static void seedFiler(const std::string& host, int osType, unsigned int flags = 0,
                        const std::string& login = "root") {
    testkit::ndmp::Filer filer;
    filer.login = login;
    filer.encryptedPassword = enc("secret");
    filer.osType = osType;
    filer.osVersion = "9.1P2";
    filer.capabilityFlags = flags;
    testkit::ndmp::seedFiler(host, filer);
  }

  // The record of an operation on `host` (element 11058) with the Tarnfold.
  static StreamBuilder server(uint32_t operation, const std::string& host) {
    StreamBuilder b;
    b.op(operation).u32(4106, 2);
    if (!host.empty()) b.text(11058, host);
    return b;
  }
  // Login and password as the console sends them.
  static StreamBuilder& credentials(StreamBuilder& b, const std::string& login = "root",
                                    const std::string& password = "secret") {
    return b.raw(11062, enc(login)).raw(11063, enc(password));
  }
  // A complete add record: host, root/secret, OS type, port, firmware.
  static StreamBuilder addRecord(const std::string& host, uint32_t osType, uint32_t port = 10000) {
    StreamBuilder b = server(kAdd, host);
    credentials(b).u32(11064, osType).u32(11066, port).text(11065, "9.1P2");
    return std::move(b.end());
  }

  long long run(StreamBuilder builder) { return handler.onMsgSetMMNDMPServer(stream(std::move(builder)).get()); }

  std::vector<Row> rows() {
    std::vector<Row> out;
    for (const auto& r : db.query("SELECT clientId, osType, login, password, listenPort, firmwareRevision, "
                                  "capabilityFlags FROM MMNDMPHostInfo ORDER BY ndmpHostId"))
      out.push_back({static_cast<int>(r[0].i), static_cast<int>(r[1].i), r[2].s, r[3].s, static_cast<int>(r[4].i),
                     r[5].s, static_cast<int>(r[6].i)});
    return out;
  }
  int addRow(int clientId, int osType, const std::string& login = "root", int port = 10000) {
    MMNDMPHostInfo_t row;
    row.clientId = clientId;
    row.osType = osType;
    row.listenPort = port;
    row.hostSettingB = 1;
    std::snprintf(row.login, sizeof row.login, "%s", login.c_str());
    std::snprintf(row.password, sizeof row.password, "%s", enc("secret").c_str());
    std::snprintf(row.firmwareRevision, sizeof row.firmwareRevision, "%s", "9.1P2");
    int id = 0;
    EXPECT_EQ(MMNDMPHostInfoDB().addNDMPHostInfo(row, id), 0);
    return id;
  }
  // The single operation reply of the run.
  void expectOnly(uint32_t operation, uint32_t status, const std::string& text) {
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectOperation(got[0], operation, status, text);
  }
  std::vector<std::string> auditParams() {
    std::vector<std::string> out;
    for (const auto& record : testkit::audit::records())
      for (const auto& param : record.params) out.push_back(std::to_string(param.messageId));
    return out;
  }
};

}  // namespace nastest
