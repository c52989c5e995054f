// Every request that takes a password stores it in the one stored form
// (platform/security/StoredPassword.h), which reads back to the password
// sent; neither the password nor that form reaches a log or an audit row.
// A database file made by an older build has its clear passwords put into
// the stored form once, at the host's start.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "platform/security/StoredPassword.h"
#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using installtest::credentials;
using installtest::handleOf;
using installtest::recordNamed;
using tktest::le32;
using Record = std::vector<tkwire::Item>;

const std::vector<ctltest::Message> kAdded{ctltest::operationResponse(1, 1, "Success")};
const std::vector<ctltest::Message> kChanged{ctltest::operationResponse(3, 1, "Success")};
constexpr const char* kProxyUser = "share-user!!proxy-user@proxy.example.net";


// A network share of ma1 at `path` (disk volume operation 1), its password
// in element `passwordTag`.
std::string networkShare(const std::string& path, const std::string& user, uint32_t passwordTag,
                         const std::string& password) {
  std::string s;
  tkwire::appendU32(s, 4001, 1);
  tkwire::appendElement(s, tktag::kMediaAgent, le32(1) + "ma1");
  tkwire::appendElement(s, tktag::kPath, path);
  tkwire::appendElement(s, tktag::kUserName, tkcipher::encrypt(user));
  tkwire::appendElement(s, passwordTag, tkcipher::encrypt(password));
  tkwire::appendU32(s, 2052, 0);
  return s;
}

class HostPasswordForm : public installtest::InstallationFixture {
 protected:
  // The handle of the first volume of the first disk device listed.
  uint64_t firstVolumeHandle(int fd, int64_t sequence) {
    for (const Record& device : listing(fd, "onMsgGetDiskDevices", sequence)) {
      if (handleOf(device) == 0) continue;
      for (const Record& volume : onObject(fd, "onMsgGetDiskVolumes", handleOf(device), "", sequence + 1))
        if (handleOf(volume) != 0) return handleOf(volume);
    }
    return 0;
  }
  // A stored setting of the network share at `path`.
  std::string shareSetting(const std::string& path, const std::string& name) {
    return m_db.text("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Name\" = ? AND \"ObjectId\" = (SELECT "
                     "\"ObjectId\" FROM \"MMObjectSetting\" WHERE \"Name\" = 'RemoteHostVolume' AND \"Value\" = ?)",
                     {name, path});
  }
  // The passwords of every mount path and device controller stored with
  // `user`, expecting `rows` of them.
  std::vector<std::string> passwordsOf(const std::string& user, int rows) {
    const std::string all = m_db.text(
        "SELECT group_concat(p, '|') FROM (SELECT \"UserPassword\" AS p FROM \"MMMountPath\" WHERE \"UserName\" = ? "
        "UNION ALL SELECT \"UserPassword\" FROM \"MMDeviceController\" WHERE \"UserName\" = ?)",
        {user, user});
    std::vector<std::string> out;
    for (std::size_t at = 0; !all.empty();) {
      const std::size_t bar = all.find('|', at);
      out.push_back(all.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
      if (bar == std::string::npos) break;
      at = bar + 1;
    }
    EXPECT_EQ(out.size(), static_cast<std::size_t>(rows)) << all;
    return out;
  }
  // The handle of the volume listed with `path`.
  uint64_t volumeAt(int fd, const std::string& path, int64_t sequence) {
    for (const Record& device : listing(fd, "onMsgGetDiskDevices", sequence)) {
      if (handleOf(device) == 0) continue;
      for (const Record& volume : onObject(fd, "onMsgGetDiskVolumes", handleOf(device), "", sequence + 1))
        for (const tkwire::Item& item : volume)
          if (item.tag == tktag::kVolumePath && item.bytes == path) return handleOf(volume);
    }
    return 0;
  }
  // The one user name of `table` like `pattern`.
  std::string userNameLike(const std::string& table, const std::string& pattern) {
    EXPECT_EQ(m_db.text("SELECT COUNT(*) FROM \"" + table + "\" WHERE \"UserName\" LIKE ?", {pattern}), "1");
    return m_db.text("SELECT \"UserName\" FROM \"" + table + "\" WHERE \"UserName\" LIKE ?", {pattern});
  }
  // What a stored user name holds behind `prefix` (its proxy password).
  static std::string proxyPart(const std::string& name, const std::string& prefix) {
    return name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : "(stored as " + name + ")";
  }
  // Everything the audit trail holds, as text.
  std::string auditRows() {
    return m_db.text("SELECT group_concat(t, '|') FROM (SELECT \"text\" AS t FROM \"AuditTrailArgument\" UNION ALL "
                     "SELECT \"value1\" || ',' || \"value2\" FROM \"AuditTrailParam\")");
  }
  // Where a secret must never appear.
  std::string everythingLogged() { return host().log() + "\n" + debugLog() + "\n" + auditRows(); }
};

// ---------------------------------------------------------------- every route

TEST_F(HostPasswordForm, EveryRequestThatTakesAPasswordStoresTheFormThatReadsBackAndLogsNeither) {
  struct Route {
    const char* name;
    std::string password;
    std::function<void()> send;
    // Every stored text the route wrote the password into.
    std::function<std::vector<std::string>()> stored;
    // Whether the password itself is a text no log has for other reasons.
    bool ownText = true;
  };
  const std::vector<Route> routes = {
      {"the disk-library wizard (a new library's mount path)", "wizard-Pw-71",
       [&] {
         const installtest::ConsoleRun run = script(
             "lock\n--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
             "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" s23=\"/srv/pw-wizard\" s27=\"wizard-user\" b31=\"" +
             tkcipher::encrypt("wizard-Pw-71") + "\"/></ZQGui_EZConfigureMagneticLibraryReq>'\nunlock\n");
         EXPECT_EQ(run.status, 0) << run.out;
       },
       // The mount path and the controller of the device it lies on.
       [&] { return passwordsOf("wizard-user", 2); }},
      {"the storage-library request (a new mount path)", "library-Pw-72",
       [&] {
         const installtest::ConsoleRun run = console({"storage-library", "43=4", "8=DiskLib1", "3=ma1",
                                                      "24=/srv/disklib1/pw", "28=library-user", "32=library-Pw-72"});
         EXPECT_EQ(run.status, 0) << run.out;
       },
       [&] { return passwordsOf("library-user", 2); }},
      {"a mount path's credentials (mount-path operation 3)", "mountpath-Pw-73",
       [&] { underLock([&](int fd) {
         const uint64_t path = mountPathHandle(fd, libraryHandle(fd, "DiskLib1", 3), 1, 4);
         ASSERT_NE(path, 0u);
         EXPECT_EQ(set(fd, "onMsgSetMMMountPath", credentials(path, "mountpath-user", "mountpath-Pw-73"), 5, 5),
                   kChanged);
       }); },
       [&] { return passwordsOf("mountpath-user", 1); }},
      {"a DRU host (DRU host operation 48)", "dru-Pw-74",
       [&] { underLock([&](int fd) {
         std::string s;
         tkwire::appendU32(s, 4001, 48);
         tkwire::appendElement(s, tktag::kDRUHost, le32(0) + "dru-pw");
         tkwire::appendElement(s, tktag::kDRUUserName, "dru-user");
         tkwire::appendElement(s, tktag::kDRUPassword, tkcipher::encrypt("dru-Pw-74"));
         tkwire::appendU32(s, tktag::kDRUPort, 7000);
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetDRUHost", s, 6, 3),
                   (std::vector<ctltest::Message>{ctltest::operationResponse(48, 1, "Success")}));
       }); },
       [&] {
         return std::vector<std::string>{
             m_db.text("SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-pw'")};
       }},
      {"a disk volume's credentials (disk volume operation 3)", "volume-Pw-77",
       [&] { underLock([&](int fd) {
         const uint64_t volume = firstVolumeHandle(fd, 3);
         ASSERT_NE(volume, 0u);
         EXPECT_EQ(set(fd, "onMsgSetDiskVolume", credentials(volume, "volume-user", "volume-Pw-77"), 5, 5), kChanged);
       }); },
       [&] { return passwordsOf("volume-user", 1); }},
      {"a network share's remote host (disk volume operation 1)", "share-Pw-75",
       [&] { underLock([&](int fd) {
         EXPECT_EQ(set(fd, "onMsgSetDiskVolume", networkShare("//nas1/pw", "share-user", tktag::kPassword, "share-Pw-75"),
                       6, 3),
                   kAdded);
       }); },
       [&] { return std::vector<std::string>{shareSetting("//nas1/pw", "RemoteHostPassword")}; }},
      {"a proxy password (2408 of disk volume operation 1)", "proxy-Pw-76",
       [&] { underLock([&](int fd) {
         EXPECT_EQ(set(fd, "onMsgSetDiskVolume",
                       networkShare("//nas1/proxied", kProxyUser, tktag::kProxyPassword, "proxy-Pw-76"), 6, 3),
                   kAdded);
       }); },
       [&] {
         const std::string name = shareSetting("//nas1/proxied", "RemoteHostUserName");
         const std::string prefix = std::string(kProxyUser) + ":";
         return std::vector<std::string>{name.rfind(prefix, 0) == 0 ? name.substr(prefix.size())
                                                                    : "(stored as " + name + ")"};
       }},
      // A proxy password written into the user name itself (2401), on each
      // route that stores such a name: kept in the stored form all the same.
      {"a proxy password in a share's user name (2401 of disk volume operation 1)", "ClearProxy-91",
       [&] { underLock([&](int fd) {
         EXPECT_EQ(set(fd, "onMsgSetDiskVolume",
                       networkShare("//nasP/share1", "shareuser!!puser@phost:ClearProxy-91", tktag::kPassword,
                                    "Share-Pw-91"),
                       6, 3),
                   kAdded);
       }); },
       [&] { return std::vector<std::string>{proxyPart(shareSetting("//nasP/share1", "RemoteHostUserName"),
                                                       "shareuser!!puser@phost:")}; }},
      {"a proxy password in a share volume's new user name (disk volume operation 3)", "ClearProxy-92",
       [&] { underLock([&](int fd) {
         const uint64_t volume = volumeAt(fd, "//nasP/share1", 3);
         ASSERT_NE(volume, 0u);
         EXPECT_EQ(set(fd, "onMsgSetDiskVolume",
                       credentials(volume, "shareuser!!puser@phost:ClearProxy-92", "Share-Pw-92"), 5, 5),
                   kChanged);
       }); },
       [&] { return std::vector<std::string>{proxyPart(shareSetting("//nasP/share1", "RemoteHostUserName"),
                                                       "shareuser!!puser@phost:")}; }},
      {"a proxy password in a local volume's user name (disk volume operation 3)", "ClearProxy-93",
       [&] { underLock([&](int fd) {
         const uint64_t volume = firstVolumeHandle(fd, 3);
         ASSERT_NE(volume, 0u);
         EXPECT_EQ(set(fd, "onMsgSetDiskVolume",
                       credentials(volume, "vuser!!puser@phost:ClearProxy-93", "Volume-Pw-93"), 5, 5),
                   kChanged);
       }); },
       [&] { return std::vector<std::string>{proxyPart(userNameLike("MMDeviceController", "vuser!!%"),
                                                       "vuser!!puser@phost:")}; }},
      {"a proxy password in a mount path's user name (mount-path operation 3)", "ClearProxy-94",
       [&] { underLock([&](int fd) {
         const uint64_t path = mountPathHandle(fd, libraryHandle(fd, "DiskLib1", 3), 1, 4);
         ASSERT_NE(path, 0u);
         EXPECT_EQ(set(fd, "onMsgSetMMMountPath",
                       credentials(path, "muser!!puser@phost:ClearProxy-94", "Path-Pw-94"), 5, 5),
                   kChanged);
       }); },
       [&] { return std::vector<std::string>{proxyPart(userNameLike("MMMountPath", "muser!!%"),
                                                       "muser!!puser@phost:")}; }},
      {"a proxy password in a library description's user name (storage-library 28)", "ClearProxy-95",
       [&] {
         const installtest::ConsoleRun run =
             console({"storage-library", "43=4", "8=DiskLib1", "3=ma1", "24=/srv/disklib1/proxied",
                      "28=luser!!puser@phost:ClearProxy-95", "32=library-Pw-95"});
         EXPECT_EQ(run.status, 0) << run.out;
       },
       [&] { return std::vector<std::string>{proxyPart(userNameLike("MMMountPath", "luser!!%"),
                                                       "luser!!puser@phost:")}; }},
      // The wizard answers with the name as it keeps it; the console shows
      // its proxy password hidden, as in the echo.
      {"a proxy password in the disk-library wizard's user name (a new library)", "ClearProxy-96",
       [&] {
         const installtest::ConsoleRun run = script(
             "lock\n--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
             "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" s23=\"//nasW/wiz\" "
             "s27=\"wuser!!puser@phost:ClearProxy-96\"/></ZQGui_EZConfigureMagneticLibraryReq>'\nunlock\n");
         EXPECT_EQ(run.status, 0) << run.out;
         EXPECT_NE(run.out.find("s27 (user name): \"wuser!!puser@phost:***\""), std::string::npos) << run.out;
         EXPECT_EQ(run.out.find("ClearProxy-96"), std::string::npos) << run.out;
       },
       [&] {
         return std::vector<std::string>{
             proxyPart(userNameLike("MMMountPath", "wuser!!%"), "wuser!!puser@phost:"),
             proxyPart(userNameLike("MMDeviceController", "wuser!!%"), "wuser!!puser@phost:")};
       }},
      {"a proxy password in the disk-library wizard's user name (the first mount path changed)", "ClearProxy-97",
       [&] { underLock([&](int fd) {
         // The wizard's answer to a library record; its text.
         auto wizard = [&](const std::string& update, const std::string& attributes, int64_t sequence) {
           tkwire::XmlRequest request;
           request.handler = "onMsgEZConfigureMagneticLibrary";
           request.sequence = sequence;
           request.messageId = 0x01000BBC;
           request.xml = "<ZQGui_EZConfigureMagneticLibraryReq" + update + "><ZQGui_EZMagneticLibrary tag=\"2\" " +
                         attributes + "/></ZQGui_EZConfigureMagneticLibraryReq>";
           std::optional<tkwire::XmlAnswer> answer;
           for (const tkwire::Reply& reply : hosttest::sendAndRead(fd, tkwire::encodeXmlRequest(request)))
             if (!answer) answer = tkwire::decodeXmlAnswer(reply);
           return answer ? answer->text : std::string();
         };
         auto attribute = [](const std::string& text, const std::string& name) {
           const std::size_t at = text.find(" " + name + "=\"");
           return at == std::string::npos ? std::string()
                                          : text.substr(at + name.size() + 3, text.find('"', at + name.size() + 3) -
                                                                                  (at + name.size() + 3));
         };
         const std::string made = wizard("", "s3=\"ma1\" s23=\"//nasZ/first\" s27=\"first-user\"", 3);
         std::string ids;
         for (const char* name : {"i1", "i2", "i13"}) ids += std::string(name) + "=\"" + attribute(made, name) + "\" ";
         const std::string changed =
             wizard(" i3=\"1\"", ids + "s23=\"//nasZ/first\" s27=\"zuser!!puser@phost:ClearProxy-97\"", 4);
         EXPECT_NE(changed.find("s27=\"zuser!!puser@phost:E"), std::string::npos) << made << "\n" << changed;
         EXPECT_EQ(changed.find("ClearProxy-97"), std::string::npos) << changed;
       }); },
       [&] { return std::vector<std::string>{proxyPart(userNameLike("MMMountPath", "zuser!!%"),
                                                       "zuser!!puser@phost:")}; }},
      {"a proxy password in a device path's user name (device-paths 8)", "ClearProxy-98",
       [&] {
         const installtest::ConsoleRun run = console({"device-paths", "1", "path", "agent=2", "17=1", "1=1",
                                                      "4=/srv/d98", "8=duser!!puser@phost:ClearProxy-98", "13=4"});
         EXPECT_EQ(run.status, 0) << run.out;
       },
       [&] { return std::vector<std::string>{proxyPart(userNameLike("MMDeviceController", "duser!!%"),
                                                       "duser!!puser@phost:")}; }},
      // The demonstration filer accepts this password only, a word the
      // logs have for other reasons: its enciphered form is looked for.
      {"an NDMP server (NDMP server operation 1)", "demo",
       [&] {
         const installtest::ConsoleRun run =
             console({"onMsgSetMMNDMPServer", "4106=2", "4001=1", "11058=filer2", "11062=enc:root", "11063=enc:demo",
                      "11064=6", "11066=10000", "11065=9.1P2", "2052=0"});
         EXPECT_EQ(run.status, 0) << run.out;
       },
       [&] {
         return std::vector<std::string>{
             m_db.text("SELECT \"password\" FROM \"MMNDMPHostInfo\" WHERE \"clientId\" = (SELECT \"id\" FROM "
                       "\"APP_Client\" WHERE \"name\" = 'filer2')")};
       },
       false},
  };
  for (const Route& route : routes) {
    SCOPED_TRACE(route.name);
    route.send();
    const std::vector<std::string> columns = route.stored();
    ASSERT_FALSE(columns.empty());
    for (const std::string& stored : columns) {
      EXPECT_TRUE(tkpassword::isStoredForm(stored)) << stored;
      std::string plain;
      EXPECT_TRUE(tkpassword::plainForm(stored, plain)) << stored;
      EXPECT_EQ(plain, route.password);
    }
    const std::string logged = everythingLogged();
    if (route.ownText) {
      EXPECT_EQ(logged.find(route.password), std::string::npos);
    }
    EXPECT_EQ(logged.find(tkcipher::encrypt(route.password)), std::string::npos);
  }
}

// ---------------------------------------------------------------- names kept

// A user name stored with its proxy password in the stored form stays byte
// for byte at every start, in a file marked converted and in one an older
// build left without the mark, whatever ":" stands before that password:
// segments of the proxy host, a port, an IPv6 address, a password the user
// wrote with a ":" in it. On a mount path, a device controller and a
// share's user name among the settings.
TEST_F(HostPasswordForm, ANameInTheStoredFormIsKeptByteForByteAtEveryStart) {
  struct Kept {
    std::string what;
    std::string query;
    std::string stored;
  };
  std::vector<Kept> kept;
  auto shareUserName = [](const std::string& path) {
    return "SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Name\" = 'RemoteHostUserName' AND \"ObjectId\" = (SELECT "
           "\"ObjectId\" FROM \"MMObjectSetting\" WHERE \"Name\" = 'RemoteHostVolume' AND \"Value\" = '" + path + "')";
  };
  // A mount path's and a local volume's own credentials, and a share's
  // proxy password holding ':' in an element of its own.
  underLock([&](int fd) {
    const uint64_t path = mountPathHandle(fd, libraryHandle(fd, "DiskLib1", 3), 1, 4);
    ASSERT_NE(path, 0u);
    EXPECT_EQ(set(fd, "onMsgSetMMMountPath", credentials(path, "mpuser!!pu@ph:abc:def", "Path-Pw"), 5, 5), kChanged);
    const uint64_t volume = firstVolumeHandle(fd, 6);
    ASSERT_NE(volume, 0u);
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", credentials(volume, "vuser!!pu@ph:abc:def", "Volume-Pw"), 5, 8),
              kChanged);
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", networkShare("//nasC/cfe", "cfe!!pu@ph", tktag::kProxyPassword, "pa:ss"),
                  6, 9),
              kAdded);
  });
  kept.push_back({"a mount path's credentials", "SELECT \"UserName\" FROM \"MMMountPath\" WHERE \"MountPathId\" = 1",
                  "mpuser!!pu@ph:abc:" + tkcipher::encrypt("def")});
  kept.push_back({"a local volume's credentials",
                  "SELECT \"UserName\" FROM \"MMDeviceController\" WHERE \"UserName\" LIKE 'vuser!!%'",
                  "vuser!!pu@ph:abc:" + tkcipher::encrypt("def")});
  kept.push_back({"a proxy password holding ':' given on its own", shareUserName("//nasC/cfe"),
                  "cfe!!pu@ph:" + tkcipher::encrypt("pa:ss")});
  // The name as typed is `prefix` and `proxy`; it is stored with `proxy`
  // in the stored form.
  const struct {
    const char* what;
    std::string prefix;
    std::string proxy;
  } names[] = {
      {"a proxy host with ':' segments", "cfa!!pu@ph:abc:", "def"},
      {"a proxy host with a port", "cfb!!pu@ph:8080:", "portPw"},
      {"an IPv6 proxy host", "cfc!!pu@[2001:db8::7]:", "v6Pw"},
      {"a proxy password written with a ':'", "cfd!!pu@ph:pa:", "ss"},
  };
  for (const auto& name : names) {
    SCOPED_TRACE(name.what);
    const std::string tag = name.prefix.substr(0, 3);
    const installtest::ConsoleRun run =
        console({"storage-library", "43=4", "8=DiskLib1", "3=ma1", "24=/srv/disklib1/" + tag,
                 "28=" + name.prefix + name.proxy, "32=Path-Pw"});
    ASSERT_EQ(run.status, 0) << run.out;
    underLock([&](int fd) {
      EXPECT_EQ(set(fd, "onMsgSetDiskVolume",
                    networkShare("//nasC/" + tag, name.prefix + name.proxy, tktag::kPassword, "Share-Pw"), 6, 3),
                kAdded);
    });
    const std::string stored = name.prefix + tkcipher::encrypt(name.proxy);
    for (const char* table : {"MMMountPath", "MMDeviceController"})
      kept.push_back({std::string(name.what) + " in " + table,
                      std::string("SELECT \"UserName\" FROM \"") + table + "\" WHERE \"UserName\" LIKE '" + tag + "!!%'",
                      stored});
    kept.push_back({std::string(name.what) + " in a share's user name", shareUserName("//nasC/" + tag), stored});
  }
  auto check = [&](const std::string& when) {
    SCOPED_TRACE(when);
    for (const Kept& k : kept) {
      SCOPED_TRACE(k.what);
      EXPECT_EQ(m_db.text(k.query), k.stored);
    }
  };
  check("as stored");
  for (int start = 1; start <= 4; ++start) {
    // The third and fourth start: the same names in a file an older build
    // wrote and did not mark converted.
    if (start == 3) {
      ASSERT_EQ(m_db.exec("DROP VIEW IF EXISTS \"MMUserNameProxyPasswordsStored\""), 0);
    }
    ASSERT_TRUE(restart()) << host().log();
    check("start " + std::to_string(start));
  }
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE \"name\" = 'MMUserNameProxyPasswordsStored'"), 1);
}

// ---------------------------------------------------------------- older files

TEST_F(HostPasswordForm, AnOlderFilesClearPasswordsAreEncipheredOnceAtTheNextStart) {
  const std::string kept = tkcipher::encrypt("already-Pw");
  // A file as an older build left it: clear passwords beside a stored one,
  // and not yet converted.
  const std::string tooLong(1100, 'x');
  ASSERT_EQ(m_db.exec("INSERT INTO \"MMDRUHost\" (\"HostName\", \"UserPassword\") VALUES ('dru-clear', "
                      "'clear-dru-Pw'), ('dru-kept', ?), ('dru-upper', 'EAB12C'), ('dru-long', ?)",
                      {kept, tooLong}),
            0);
  ASSERT_EQ(m_db.exec("UPDATE \"MMMountPath\" SET \"UserPassword\" = 'clear-path-Pw' WHERE \"MountPathId\" = 1"), 0);
  ASSERT_EQ(m_db.exec("UPDATE \"MMDeviceController\" SET \"UserPassword\" = 'E49' WHERE \"DeviceControllerId\" = "
                      "(SELECT MIN(\"DeviceControllerId\") FROM \"MMDeviceController\")"),
            0);
  // Proxy passwords in user names as an older build kept them: in clear,
  // beside one already stored and a name whose last part is no password.
  const std::string keptProxy = "u!!p@h:" + tkcipher::encrypt("kept-Proxy");
  ASSERT_EQ(m_db.exec("UPDATE \"MMMountPath\" SET \"UserName\" = 'u!!p@h:clear-Proxy-1' WHERE \"MountPathId\" = 1"), 0);
  ASSERT_EQ(m_db.exec("UPDATE \"MMDeviceController\" SET \"UserName\" = 'u!!h:8080@p' WHERE \"DeviceControllerId\" = "
                      "(SELECT MIN(\"DeviceControllerId\") FROM \"MMDeviceController\")"),
            0);
  // A clear proxy password whose stored form would make the name longer
  // than its column of 1,024 bytes (an older build stored up to 1,023).
  const std::string wideProxy = "u!!p@h:" + std::string(600, 'w');
  ASSERT_EQ(m_db.exec("UPDATE \"MMDeviceController\" SET \"UserName\" = ? WHERE \"DeviceControllerId\" = "
                      "(SELECT \"DeviceControllerId\" FROM \"MMDeviceController\" ORDER BY \"DeviceControllerId\" "
                      "LIMIT 1 OFFSET 1)",
                      {wideProxy}),
            0);
  underLock([&](int fd) {
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", networkShare("//old/s!!p@h:path", "s!!p@h", tktag::kPassword, "Pw-1"), 6,
                  3),
              kAdded);
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", networkShare("//old/kept", "s!!p@h", tktag::kPassword, "Pw-2"), 6, 4),
              kAdded);
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", networkShare("//old/appended", "s!!p@h", tktag::kPassword, "Pw-3"), 6, 5),
              kAdded);
  });
  const std::string userNameOf = "SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Name\" = 'RemoteHostUserName' "
                                 "AND \"ObjectId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE \"Name\" = "
                                 "'RemoteHostVolume' AND \"Value\" = ";
  ASSERT_EQ(m_db.exec("UPDATE \"MMObjectSetting\" SET \"Value\" = 's!!p@h:clear-Proxy-2' WHERE \"Name\" = "
                      "'RemoteHostUserName' AND \"ObjectId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE "
                      "\"Name\" = 'RemoteHostVolume' AND \"Value\" = '//old/s!!p@h:path')"),
            0);
  ASSERT_EQ(m_db.exec("UPDATE \"MMObjectSetting\" SET \"Value\" = ? WHERE \"Name\" = 'RemoteHostUserName' AND "
                      "\"ObjectId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE \"Name\" = "
                      "'RemoteHostVolume' AND \"Value\" = '//old/kept')",
                      {keptProxy}),
            0);
  // A new user name that carried its own proxy password, with the stored
  // one appended behind it as an older build wrote it: the same text as a
  // name in the stored form whose proxy host holds a ":".
  ASSERT_EQ(m_db.exec("UPDATE \"MMObjectSetting\" SET \"Value\" = ? WHERE \"Name\" = 'RemoteHostUserName' AND "
                      "\"ObjectId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE \"Name\" = "
                      "'RemoteHostVolume' AND \"Value\" = '//old/appended')",
                      {"s!!p@phost:NewProxy-2:" + tkcipher::encrypt("OldProxy-1")}),
            0);
  ASSERT_EQ(m_db.exec("DROP VIEW \"MMPasswordsStored\""), 0);
  ASSERT_EQ(m_db.exec("DROP VIEW IF EXISTS \"MMProxyPasswordsStored\""), 0);
  ASSERT_EQ(m_db.exec("DROP VIEW IF EXISTS \"MMUserNameProxyPasswordsStored\""), 0);
  ASSERT_TRUE(restart()) << host().log();

  const struct {
    const char* what;
    std::string query;
    std::string stored;
  } rows[] = {
      {"a clear DRU host password", "SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-clear'",
       tkcipher::encrypt("clear-dru-Pw")},
      {"a stored DRU host password", "SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-kept'",
       kept},
      {"a clear mount-path password", "SELECT \"UserPassword\" FROM \"MMMountPath\" WHERE \"MountPathId\" = 1",
       tkcipher::encrypt("clear-path-Pw")},
      // The cipher writes lower-case digits only.
      {"a clear password of upper-case hex pairs",
       "SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-upper'", tkcipher::encrypt("EAB12C")},
      // Its stored form would not fit the column: kept, not cut.
      {"a clear password too long to be stored enciphered",
       "SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-long'", tooLong},
      // Hex pairs that decipher to a NUL, which no stored form holds: a
      // clear password.
      {"a clear controller password that looks enciphered",
       "SELECT \"UserPassword\" FROM \"MMDeviceController\" ORDER BY \"DeviceControllerId\" LIMIT 1",
       tkcipher::encrypt("E49")},
      {"a clear proxy password in a mount path's user name",
       "SELECT \"UserName\" FROM \"MMMountPath\" WHERE \"MountPathId\" = 1",
       "u!!p@h:" + tkcipher::encrypt("clear-Proxy-1")},
      {"a proxy's port, no password", "SELECT \"UserName\" FROM \"MMDeviceController\" ORDER BY "
       "\"DeviceControllerId\" LIMIT 1", "u!!h:8080@p"},
      {"a clear proxy password in a share's user name", userNameOf + "'//old/s!!p@h:path')",
       "s!!p@h:" + tkcipher::encrypt("clear-Proxy-2")},
      {"a stored proxy password in a share's user name", userNameOf + "'//old/kept')", keptProxy},
      // Kept byte for byte: it cannot be told from the proxy host
      // phost:NewProxy-2 with its password stored, and read so nothing the
      // user wrote is lost.
      {"a share's user name with a stored proxy password appended behind its own",
       userNameOf + "'//old/appended')", "s!!p@phost:NewProxy-2:" + tkcipher::encrypt("OldProxy-1")},
      // Left as it is, never cut: enciphered it would not fit its column.
      {"a clear proxy password that enciphered would not fit its user name's column",
       "SELECT \"UserName\" FROM \"MMDeviceController\" ORDER BY \"DeviceControllerId\" LIMIT 1 OFFSET 1",
       wideProxy},
      {"a setting that is no user name",
       "SELECT COUNT(*) FROM \"MMObjectSetting\" WHERE \"Name\" = 'RemoteHostVolume' AND \"Value\" = "
       "'//old/s!!p@h:path'", "1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(m_db.text(row.query), row.stored);
  }
  // The name left as it is is logged by its length, never by its text.
  EXPECT_NE(debugLog().find("A user name of 607 characters with a clear proxy password would take 1208 characters "
                            "encrypted, more than its column of 1024; it is left as it is."),
            std::string::npos);
  EXPECT_EQ(debugLog().find(std::string(600, 'w')), std::string::npos);

  // Once: a clear password written after the conversion stays as written,
  // in a user name as in a password column: the file carries the marks.
  ASSERT_EQ(m_db.exec("UPDATE \"MMDRUHost\" SET \"UserPassword\" = 'later-Pw' WHERE \"HostName\" = 'dru-clear'"), 0);
  const struct {
    const char* what;
    std::string update;
    std::string query;
    std::string written;
  } later[] = {
      {"a mount path's user name", "UPDATE \"MMMountPath\" SET \"UserName\" = ? WHERE \"MountPathId\" = 1",
       "SELECT \"UserName\" FROM \"MMMountPath\" WHERE \"MountPathId\" = 1", "u!!p@h:later-Proxy-1"},
      {"a device controller's user name",
       "UPDATE \"MMDeviceController\" SET \"UserName\" = ? WHERE \"DeviceControllerId\" = (SELECT "
       "MIN(\"DeviceControllerId\") FROM \"MMDeviceController\")",
       "SELECT \"UserName\" FROM \"MMDeviceController\" ORDER BY \"DeviceControllerId\" LIMIT 1",
       "u!!p@h:later-Proxy-2"},
      {"a share's user name", "UPDATE \"MMObjectSetting\" SET \"Value\" = ? WHERE \"Name\" = 'RemoteHostUserName' AND "
       "\"ObjectId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE \"Name\" = 'RemoteHostVolume' AND "
       "\"Value\" = '//old/kept')",
       userNameOf + "'//old/kept')", "s!!p@h:later-Proxy-3"},
  };
  for (const auto& row : later) ASSERT_EQ(m_db.exec(row.update, {row.written}), 0) << row.what;
  ASSERT_TRUE(restart()) << host().log();
  EXPECT_EQ(m_db.text("SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-clear'"), "later-Pw");
  EXPECT_EQ(m_db.text("SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-kept'"), kept);
  for (const auto& row : later) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(m_db.text(row.query), row.written);
  }
}

}  // namespace
