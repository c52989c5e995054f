// One password policy on every route, through tkhost and tkconsole: a
// password whose stored form does not fit its column is refused with the
// same text on every route (naming the longest that fits) and nothing is
// stored; one that just fits is stored whole; an empty one stays empty. An
// older file's stored passwords are never enciphered again, whatever they
// decipher to. A network share and its volumes stay in step.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "platform/security/StoredPassword.h"
#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/support/DatabaseDump.h"

namespace {

using installtest::credentials;
using installtest::handleOf;
using tktest::le32;
using Record = std::vector<tkwire::Item>;

// The widths of the columns the routes store into: the password columns,
// and the storage-library request's own buffer for the stored form.
const std::size_t kColumnLongest = tkpassword::longestFitting(tkpassword::kPasswordColumnWidth);
constexpr std::size_t kRequestBufferLongest = 511;

std::string tooLong(std::size_t longest) {
  return "The password is too long to be stored: a password of at most " + std::to_string(longest) + " bytes fits.";
}

// A proxy password in a user name of a column 1,024 bytes wide: its stored
// form (two bytes and one for each byte of it) must fit beside the rest of
// the name.
constexpr std::size_t kUserNameWidth = 1024;
constexpr const char* kPathProxyUser = "proxy-path!!p@h:";
constexpr const char* kVolumeProxyUser = "proxy-volume!!p@h:";
std::size_t proxyLongest(const std::string& before) { return tkpassword::longestFitting(kUserNameWidth - before.size()); }
std::string proxyTooLong(std::size_t longest) {
  return "The proxy password of the user name is longer than " + std::to_string(longest) + " bytes.";
}
// The requests that take a user name to store on a media agent's device
// path hold it in 1,023 bytes.
constexpr const char* kCreateProxyUser = "px-create!!p@h:";
constexpr const char* kAddProxyUser = "px-add!!p@h:";
constexpr const char* kWizardProxyUser = "px-wizard!!p@h:";
std::size_t requestProxyLongest(const std::string& before) {
  return tkpassword::longestFitting(tkpassword::kUserNameWidth - before.size());
}

class HostPasswordPolicy : public installtest::InstallationFixture {
 protected:
  // The volumes (handle, path) of every disk device, device by device.
  struct Volume {
    uint64_t device = 0;
    uint64_t handle = 0;
    std::string path;
  };
  std::vector<Volume> volumes(int fd, int64_t sequence) {
    std::vector<Volume> out;
    for (const Record& device : listing(fd, "onMsgGetDiskDevices", sequence)) {
      if (handleOf(device) == 0) continue;
      for (const Record& volume : onObject(fd, "onMsgGetDiskVolumes", handleOf(device), "", sequence + 1)) {
        if (handleOf(volume) == 0) continue;
        Volume v{handleOf(device), handleOf(volume), {}};
        for (const tkwire::Item& item : volume)
          if (item.tag == tktag::kVolumePath) v.path = item.bytes;
        out.push_back(v);
      }
    }
    return out;
  }
  // The paths of the volumes of the device that has a volume at `path`.
  std::vector<std::string> pathsOfDeviceAt(int fd, const std::string& path, int64_t sequence, uint64_t* device) {
    const std::vector<Volume> all = volumes(fd, sequence);
    uint64_t found = 0;
    for (const Volume& v : all)
      if (v.path == path) found = v.device;
    std::vector<std::string> paths;
    for (const Volume& v : all)
      if (found != 0 && v.device == found) paths.push_back(v.path);
    if (device != nullptr) *device = found;
    return paths;
  }
  // A network share of `agent` at `path` (disk volume operation 1).
  static std::string networkShare(const std::string& agent, const std::string& path, const std::string& password) {
    std::string s;
    tkwire::appendU32(s, 4001, 1);
    tkwire::appendElement(s, tktag::kMediaAgent, le32(1) + agent);
    tkwire::appendElement(s, tktag::kPath, path);
    tkwire::appendElement(s, tktag::kUserName, tkcipher::encrypt("share-user"));
    tkwire::appendElement(s, tktag::kPassword, tkcipher::encrypt(password));
    tkwire::appendU32(s, 2052, 0);
    return s;
  }
  // A network share of ma1 at `path` whose proxy password comes in its own
  // element (2408) or, `inUserName`, written into the user name.
  static std::string proxiedShare(const std::string& path, const std::string& proxy, bool inUserName) {
    std::string s;
    tkwire::appendU32(s, 4001, 1);
    tkwire::appendElement(s, tktag::kMediaAgent, le32(1) + "ma1");
    tkwire::appendElement(s, tktag::kPath, path);
    tkwire::appendElement(s, tktag::kUserName,
                          tkcipher::encrypt(inUserName ? "share-user!!puser@phost:" + proxy : "share-user!!puser@phost"));
    if (!inUserName) tkwire::appendElement(s, tktag::kProxyPassword, tkcipher::encrypt(proxy));
    tkwire::appendU32(s, 2052, 0);
    return s;
  }
  static std::string druHost(const std::string& name, const std::string& password) {
    std::string s;
    tkwire::appendU32(s, 4001, 48);
    tkwire::appendElement(s, tktag::kDRUHost, le32(0) + name);
    tkwire::appendElement(s, tktag::kDRUUserName, "dru-user");
    tkwire::appendElement(s, tktag::kDRUPassword, tkcipher::encrypt(password));
    tkwire::appendU32(s, tktag::kDRUPort, 7000);
    tkwire::appendU32(s, 2052, 0);
    return s;
  }
  installtest::ConsoleRun wizard(const std::string& path, const std::string& password,
                                 const std::string& user = "wizard-user") {
    return script("lock\n--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
                  "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" s23=\"" +
                  path + "\" s27=\"" + user + "\" b31=\"" + tkcipher::encrypt(password) +
                  "\"/></ZQGui_EZConfigureMagneticLibraryReq>'\nunlock\n");
  }
  std::string plainOf(const std::string& stored) {
    std::string plain;
    EXPECT_TRUE(tkpassword::plainForm(stored, plain)) << stored;
    return plain;
  }
  long long count(const std::string& sql) { return std::stoll(m_db.text(sql)); }
};

// ---------------------------------------------------------------- sizes

TEST_F(HostPasswordPolicy, APasswordTooLongForItsColumnIsRefusedWithOneTextOnEveryRouteAndNothingIsStored) {
  // The answer of a change: "Success", or the refusal `text`.
  auto answer = [](uint32_t operation, const std::string& text) {
    return std::vector<ctltest::Message>{
        ctltest::operationResponse(operation, text.empty() ? 1 : 0, text.empty() ? "Success" : text)};
  };
  const std::string proxyOf = "SELECT substr(\"Value\", 25) FROM \"MMObjectSetting\" WHERE \"Name\" = "
                              "'RemoteHostUserName' AND \"ObjectId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" "
                              "WHERE \"Value\" = ";
  struct Route {
    const char* name;
    std::size_t longest;  // the longest password the route's column takes
    // Sends the password; checks it was refused with `text`, or, with no
    // text, taken.
    std::function<void(const std::string& password, const std::string& text)> send;
    // The rows the route would have written.
    std::string rows;
    // The stored form of the password it took (none: the route's other
    // party refuses every password but its own).
    std::string kept;
    // The refusal of a password one byte too long (tooLong when none).
    std::string (*refusal)(std::size_t longest) = tooLong;
  };
  // A storage-library request with `fields` and the user name `user`
  // carrying the password, through the console.
  const auto storageLibraryWith = [&](std::vector<std::string> fields, const std::string& user) {
    fields.insert(fields.begin(), "storage-library");
    return [&, fields, user](const std::string& password, const std::string& text) {
      std::vector<std::string> args = fields;
      args.push_back("28=" + user + password);
      const installtest::ConsoleRun run = console(args);
      EXPECT_EQ(run.status == 0, text.empty()) << run.out;
      EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
    };
  };
  const std::vector<Route> routes = {
      {"the disk-library wizard", kColumnLongest,
       [&](const std::string& password, const std::string& text) {
         const installtest::ConsoleRun run = wizard("/srv/pw-long", password);
         EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
         if (text.empty()) {
           EXPECT_EQ(run.status, 0) << run.out;
         }
       },
       "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"MountPathName\" = '/srv/pw-long'",
       "SELECT \"UserPassword\" FROM \"MMMountPath\" WHERE \"MountPathName\" = '/srv/pw-long'"},
      {"a DRU host", kColumnLongest,
       [&](const std::string& password, const std::string& text) {
         underLock([&](int fd) {
           EXPECT_EQ(set(fd, "onMsgSetDRUHost", druHost("dru-long", password), 6, 3), answer(48, text));
         });
       },
       "SELECT COUNT(*) FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-long'",
       "SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-long'"},
      {"the storage-library request (a new mount path)", kRequestBufferLongest,
       [&](const std::string& password, const std::string& text) {
         const installtest::ConsoleRun run = console({"storage-library", "43=4", "8=DiskLib1", "3=ma1",
                                                      "24=/srv/disklib1/long", "28=long-user", "32=" + password});
         EXPECT_EQ(run.status == 0, text.empty()) << run.out;
         EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
       },
       "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"UserName\" = 'long-user'",
       "SELECT \"UserPassword\" FROM \"MMMountPath\" WHERE \"UserName\" = 'long-user'"},
      {"the storage-library request (a new library)", kColumnLongest,
       [&](const std::string& password, const std::string& text) {
         const installtest::ConsoleRun run = console({"storage-library", "43=1", "8=CreateLong", "3=ma1",
                                                      "24=/srv/create-long", "28=create-long-user", "32=" + password});
         EXPECT_EQ(run.status == 0, text.empty()) << run.out;
         EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
       },
       "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"UserName\" = 'create-long-user'",
       "SELECT \"UserPassword\" FROM \"MMMountPath\" WHERE \"UserName\" = 'create-long-user'"},
      // The proxy password goes into the user name, which holds 1,023 bytes:
      // one byte more is refused naming the proxy password.
      {"the storage-library request's proxy password (33)", kRequestBufferLongest,
       [&](const std::string& password, const std::string& text) {
         const installtest::ConsoleRun run = console({"storage-library", "43=4", "8=DiskLib1", "3=ma1",
                                                      "24=/srv/disklib1/proxy-long", "33=" + password});
         EXPECT_EQ(run.status == 0, text.empty()) << run.out;
         EXPECT_NE(run.out.find(text.empty() ? "" : "The proxy password is longer than 511 bytes."),
                   std::string::npos)
             << run.out;
       },
       "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"Folder\" = '/srv/disklib1/proxy-long'",
       "SELECT \"UserName\" FROM \"MMDeviceController\" WHERE \"Folder\" = '/srv/disklib1/proxy-long'"},
      {"a mount path's credentials", kColumnLongest,
       [&](const std::string& password, const std::string& text) {
         underLock([&](int fd) {
           const uint64_t path = mountPathHandle(fd, libraryHandle(fd, "DiskLib1", 3), 1, 4);
           ASSERT_NE(path, 0u);
           EXPECT_EQ(set(fd, "onMsgSetMMMountPath", credentials(path, "long-path-user", password), 5, 5),
                     answer(3, text));
         });
       },
       "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"UserName\" = 'long-path-user'",
       "SELECT \"UserPassword\" FROM \"MMMountPath\" WHERE \"UserName\" = 'long-path-user'"},
      {"a disk volume's credentials", kColumnLongest,
       [&](const std::string& password, const std::string& text) {
         underLock([&](int fd) {
           const std::vector<Volume> all = volumes(fd, 3);
           ASSERT_FALSE(all.empty());
           EXPECT_EQ(set(fd, "onMsgSetDiskVolume", credentials(all.front().handle, "long-volume-user", password), 5, 5),
                     answer(3, text));
         });
       },
       "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"UserName\" = 'long-volume-user'",
       "SELECT \"UserPassword\" FROM \"MMDeviceController\" WHERE \"UserName\" = 'long-volume-user'"},
      // The demonstration filer takes its own password only: the longest
      // that fits passes the policy and reaches the filer, which refuses it.
      {"an NDMP server", kColumnLongest,
       [&](const std::string& password, const std::string& text) {
         const installtest::ConsoleRun run =
             console({"onMsgSetMMNDMPServer", "4106=2", "4001=1", "11058=filer2", "11062=enc:long-root",
                      "11063=enc:" + password, "11064=6", "11066=10000", "11065=9.1P2", "2052=0"});
         EXPECT_NE(run.out.find("(failure) \"" +
                                (text.empty() ? "The NDMP server [filer2] refused the login name or password." : text) +
                                "\""),
                   std::string::npos)
             << run.out;
       },
       "SELECT COUNT(*) FROM \"MMNDMPHostInfo\" WHERE \"login\" = 'long-root'", ""},
      {"a proxy password of its own (2408)", kColumnLongest,
       [&](const std::string& password, const std::string& text) {
         underLock([&](int fd) {
           EXPECT_EQ(set(fd, "onMsgSetDiskVolume", proxiedShare("//nas-long/own", password, false), 6, 3),
                     answer(1, text));
         });
       },
       "SELECT COUNT(*) FROM \"MMObjectSetting\" WHERE \"Value\" = '//nas-long/own'", proxyOf + "'//nas-long/own')"},
      {"a proxy password in the user name (2401)", kColumnLongest,
       [&](const std::string& password, const std::string& text) {
         underLock([&](int fd) {
           EXPECT_EQ(set(fd, "onMsgSetDiskVolume", proxiedShare("//nas-long/named", password, true), 5, 3),
                     answer(1, text));
         });
       },
       "SELECT COUNT(*) FROM \"MMObjectSetting\" WHERE \"Value\" = '//nas-long/named'",
       proxyOf + "'//nas-long/named')"},
      // A proxy password in a mount path's or a local volume's user name:
      // its limit is what the name's column leaves it.
      {"a proxy password in a mount path's user name", proxyLongest(kPathProxyUser),
       [&](const std::string& password, const std::string& text) {
         underLock([&](int fd) {
           const uint64_t path = mountPathHandle(fd, libraryHandle(fd, "DiskLib1", 3), 1, 4);
           ASSERT_NE(path, 0u);
           EXPECT_EQ(set(fd, "onMsgSetMMMountPath", credentials(path, kPathProxyUser + password, "path-Pw"), 5, 5),
                     answer(3, text));
         });
       },
       "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"UserName\" LIKE 'proxy-path!!p@h:%'",
       "SELECT substr(\"UserName\", 17) FROM \"MMMountPath\" WHERE \"UserName\" LIKE 'proxy-path!!p@h:%'",
       proxyTooLong},
      {"a proxy password in a disk volume's user name", proxyLongest(kVolumeProxyUser),
       [&](const std::string& password, const std::string& text) {
         underLock([&](int fd) {
           const std::vector<Volume> all = volumes(fd, 3);
           ASSERT_FALSE(all.empty());
           EXPECT_EQ(set(fd, "onMsgSetDiskVolume", credentials(all.front().handle, kVolumeProxyUser + password,
                                                               "volume-Pw"), 5, 5),
                     answer(3, text));
         });
       },
       "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"UserName\" LIKE 'proxy-volume!!p@h:%'",
       "SELECT substr(\"UserName\", 19) FROM \"MMDeviceController\" WHERE \"UserName\" LIKE "
       "'proxy-volume!!p@h:%'",
       proxyTooLong},
      {"a proxy password in the storage-library request's user name (a new library)",
       requestProxyLongest(kCreateProxyUser),
       storageLibraryWith({"43=1", "8=PxCreate", "3=ma1", "24=/srv/px-create"}, kCreateProxyUser),
       "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"UserName\" LIKE 'px-create!!p@h:%'",
       "SELECT substr(\"UserName\", 16) FROM \"MMMountPath\" WHERE \"UserName\" LIKE 'px-create!!p@h:%'",
       proxyTooLong},
      {"a proxy password in the storage-library request's user name (a new mount path)",
       requestProxyLongest(kAddProxyUser),
       storageLibraryWith({"43=4", "8=DiskLib1", "3=ma1", "24=/srv/disklib1/px-add"}, kAddProxyUser),
       "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"UserName\" LIKE 'px-add!!p@h:%'",
       "SELECT substr(\"UserName\", 13) FROM \"MMMountPath\" WHERE \"UserName\" LIKE 'px-add!!p@h:%'",
       proxyTooLong},
      {"a proxy password in the disk-library wizard's user name", requestProxyLongest(kWizardProxyUser),
       [&](const std::string& password, const std::string& text) {
         const installtest::ConsoleRun run = wizard("/srv/px-wizard", "wizard-Pw", kWizardProxyUser + password);
         EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
         if (text.empty()) {
           EXPECT_EQ(run.status, 0) << run.out;
         }
       },
       "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"MountPathName\" = '/srv/px-wizard'",
       "SELECT substr(\"UserName\", 16) FROM \"MMMountPath\" WHERE \"MountPathName\" = '/srv/px-wizard'",
       proxyTooLong},
  };
  for (const Route& route : routes) {
    SCOPED_TRACE(route.name);
    route.send(std::string(route.longest + 1, 'p'), route.refusal(route.longest));
    EXPECT_EQ(count(route.rows), 0);
    // The other side of the limit: the longest that fits is kept whole.
    const std::string longest(route.longest, 'f');
    route.send(longest, "");
    if (route.kept.empty()) continue;
    const std::string stored = m_db.text(route.kept);
    EXPECT_EQ(stored.size(), 2 * route.longest + 1);
    EXPECT_EQ(plainOf(stored), longest);
  }
}

TEST_F(HostPasswordPolicy, APasswordThatJustFitsItsColumnIsStoredWholeAndReadsBack) {
  const std::string longest(kColumnLongest, 'w');
  const installtest::ConsoleRun run = wizard("/srv/pw-longest", longest);
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string stored =
      m_db.text("SELECT \"UserPassword\" FROM \"MMMountPath\" WHERE \"MountPathName\" = '/srv/pw-longest'");
  EXPECT_EQ(stored.size(), tkpassword::kPasswordColumnWidth - 1);
  EXPECT_EQ(plainOf(stored), longest);
  // The controller of the library's device keeps the same password.
  EXPECT_EQ(plainOf(m_db.text("SELECT \"UserPassword\" FROM \"MMDeviceController\" WHERE \"Folder\" = "
                              "'/srv/pw-longest'")),
            longest);
}

TEST_F(HostPasswordPolicy, AnEmptyPasswordStaysEmptyThroughTheStorageLibraryRequest) {
  const installtest::ConsoleRun run = console({"storage-library", "43=4", "8=DiskLib1", "3=ma1",
                                               "24=/srv/disklib1/nopw", "28=empty-user", "32="});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"UserName\" = 'empty-user'"), 1);
  EXPECT_EQ(m_db.text("SELECT group_concat(quote(\"UserPassword\")) FROM (SELECT \"UserPassword\" FROM "
                      "\"MMMountPath\" WHERE \"UserName\" = 'empty-user' UNION ALL SELECT \"UserPassword\" FROM "
                      "\"MMDeviceController\" WHERE \"UserName\" = 'empty-user')"),
            "'',''");
}

// A change of one credential keeps the other as it is stored: a user name
// an older build stored longer than its column (loaded cut to the column)
// stays whole through a change of the password alone (no write replaces a
// stored text with its cut copy), and the password, which a load leaves out
// of the session, stays through a change of the user name alone.
TEST_F(HostPasswordPolicy, AChangeOfOneCredentialKeepsTheOtherAsItIsStored) {
  const std::string proxy(646, 'z');
  const std::string wide = "u!!p@h:" + tkcipher::encrypt(proxy);
  ASSERT_GT(wide.size(), kUserNameWidth);
  const struct {
    const char* what;
    const char* table;  // where the credentials are stored
    const char* handler;
    // The handle of the object whose credentials change.
    std::function<uint64_t(int fd)> handle;
  } rows[] = {
      {"a mount path", "MMMountPath", "onMsgSetMMMountPath",
       [&](int fd) { return mountPathHandle(fd, libraryHandle(fd, "DiskLib1", 3), 1, 4); }},
      {"a disk volume", "MMDeviceController", "onMsgSetDiskVolume",
       [&](int fd) {
         const std::vector<Volume> all = volumes(fd, 3);
         return all.empty() ? uint64_t{0} : all.front().handle;
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto changeOn = [&](int fd, const std::string& user, const std::string& password,
                        const std::string& refusal = "") {
      const uint64_t handle = row.handle(fd);
      ASSERT_NE(handle, 0u);
      std::string s;
      tkwire::appendU32(s, 4001, 3);
      tkwire::appendU64(s, 11003, handle);
      if (!user.empty()) tkwire::appendElement(s, tktag::kUserName, tkcipher::encrypt(user));
      if (!password.empty()) tkwire::appendElement(s, tktag::kPassword, tkcipher::encrypt(password));
      tkwire::appendU32(s, 2052, 0);
      EXPECT_EQ(set(fd, row.handler, s, user.empty() || password.empty() ? 4 : 5, 5),
                (std::vector<ctltest::Message>{refusal.empty() ? ctltest::operationResponse(3, 1, "Success")
                                                               : ctltest::operationResponse(3, 0, refusal)}));
    };
    auto change = [&](const std::string& user, const std::string& password) {
      underLock([&](int fd) { changeOn(fd, user, password); });
    };
    // The route names the row; the older build's name is put into it.
    const std::string mark = std::string("mark-") + row.table;
    change(mark, "old-Pw-1");
    const std::string table = std::string(" FROM \"") + row.table + "\" WHERE \"UserName\" = ?";
    ASSERT_EQ(m_db.text("SELECT COUNT(*)" + table, {mark}), "1");
    ASSERT_EQ(m_db.exec(std::string("UPDATE \"") + row.table + "\" SET \"UserName\" = ?2 WHERE \"UserName\" = ?1",
                        {mark, wide}),
              0);
    ASSERT_TRUE(restart()) << host().log();
    // A refused user name is not kept in the session: the next change in
    // the same session stores none of it.
    underLock([&](int fd) {
      changeOn(fd, "r!!p@h:" + std::string(600, 'r'), "", proxyTooLong(proxyLongest("r!!p@h:")));
      changeOn(fd, "", "new-Pw-1");
    });
    const std::string kept = m_db.text("SELECT \"UserName\"" + table, {wide});
    EXPECT_EQ(kept, wide);
    std::size_t at = 0, length = 0;
    EXPECT_TRUE(tkpassword::proxyPasswordSpan(kept, at, length)) << kept;
    if (at > 0) {
      EXPECT_EQ(plainOf(kept.substr(at)), proxy);
    }
    ASSERT_TRUE(restart()) << host().log();
    change(mark, "");
    EXPECT_EQ(plainOf(m_db.text("SELECT \"UserPassword\"" + table, {mark})), "new-Pw-1");
  }
}

// ---------------------------------------------------------------- answers

// The credential operation's text names the user without the proxy
// password the name carries, on every object that runs it.
TEST_F(HostPasswordPolicy, TheCredentialOperationNamesTheUserWithoutTheProxyPassword) {
  const std::vector<ctltest::Message> answered{
      ctltest::progress(105, 50), ctltest::progress(105, 100),
      ctltest::statusText(1, "The credentials of [ctluser!!pu@ph] were accepted for [cred]."),
      ctltest::operationResponse(105, 1, "Success")};
  underLock([&](int fd) {
    const uint64_t disk = libraryHandle(fd, "DiskLib1", 3);
    const struct {
      const char* name;
      uint64_t handle;
    } objects[] = {{"a disk library", disk},
                   {"a mount path", mountPathHandle(fd, disk, 1, 4)},
                   {"a tape library", libraryHandle(fd, "TapeLib1", 5)}};
    int64_t sequence = 6;
    for (const auto& object : objects) {
      SCOPED_TRACE(object.name);
      ASSERT_NE(object.handle, 0u);
      std::string s;
      tkwire::appendU32(s, 4001, 105);
      tkwire::appendU64(s, 11003, object.handle);
      tkwire::appendElement(s, tktag::kMediaAgent, le32(0) + "cred");
      tkwire::appendElement(s, tktag::kUserName, tkcipher::encrypt("ctluser!!pu@ph:CtlProxy-93"));
      tkwire::appendElement(s, tktag::kPassword, tkcipher::encrypt("CtlPw-93"));
      tkwire::appendU32(s, 2052, 0);
      EXPECT_EQ(set(fd, "onMsgSetMMControl", s, 6, sequence++), answered);
    }
  });
  EXPECT_EQ(host().log().find("CtlProxy-93"), std::string::npos);
}

// ---------------------------------------------------------------- older files

// A file an older build left with clear proxy passwords appended to user
// names (user!!proxy-user@proxy-host:CLEAR) in every place such a name is
// kept, marked converted by a build that did not convert them all and not
// yet by this one: stored once, and another start leaves every row as the
// first left it.
TEST_F(HostPasswordPolicy, AnOldAppendedProxyPasswordIsStoredOnceWhateverMarkTheFileCarries) {
  underLock([&](int fd) {
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", proxiedShare("//nasO/old", "Proxy-0", false), 6, 3),
              (std::vector<ctltest::Message>{ctltest::operationResponse(1, 1, "Success")}));
  });
  const struct {
    const char* where;
    std::string table;
    std::string column;
    std::string row;  // the condition that picks the one row
    std::string prefix;
    std::string clear;
  } places[] = {
      {"a mount path", "MMMountPath", "UserName", "\"MountPathId\" = 1", "pathuser!!puser@phost:", "OldProxy-1"},
      {"a device controller", "MMDeviceController", "UserName",
       "\"DeviceControllerId\" = (SELECT MIN(\"DeviceControllerId\") FROM \"MMDeviceController\")",
       "ctluser!!puser@phost:", "OldProxy-2"},
      {"a share's user name among the settings", "MMObjectSetting", "Value",
       "\"Name\" = 'RemoteHostUserName' AND \"ObjectId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE "
       "\"Name\" = 'RemoteHostVolume' AND \"Value\" = '//nasO/old')",
       "shareuser!!puser@phost:", "OldProxy-3"},
  };
  auto read = [&](const auto& place) {
    return m_db.text("SELECT \"" + place.column + "\" FROM \"" + place.table + "\" WHERE " + place.row);
  };
  for (const auto& place : places)
    ASSERT_EQ(m_db.exec("UPDATE \"" + place.table + "\" SET \"" + place.column + "\" = ? WHERE " + place.row,
                        {place.prefix + place.clear}),
              0)
        << place.where;
  // Marked by an older build, not by this one.
  ASSERT_EQ(m_db.exec("CREATE VIEW IF NOT EXISTS \"MMProxyPasswordsStored\" AS SELECT 1 AS \"Stored\""), 0);
  ASSERT_EQ(m_db.exec("DROP VIEW IF EXISTS \"MMUserNameProxyPasswordsStored\""), 0);
  std::optional<tktest::DatabaseDump> first;
  for (int start = 1; start <= 2; ++start) {
    SCOPED_TRACE("start " + std::to_string(start));
    ASSERT_TRUE(restart()) << host().log();
    for (const auto& place : places) {
      SCOPED_TRACE(place.where);
      EXPECT_EQ(read(place), place.prefix + tkcipher::encrypt(place.clear));
    }
    const tktest::DatabaseDump now = tktest::DatabaseDump::take();
    if (first) {
      EXPECT_TRUE(now == *first) << tktest::DatabaseDump::describeChanges(*first, now);
    }
    first = now;
  }
}

TEST_F(HostPasswordPolicy, AnOlderFilesStoredPasswordsAreNeverEncipheredAgainWhateverTheyDecipherTo) {
  const struct {
    const char* name;
    std::string plain;
  } kept[] = {
      {"Latin-1 bytes", "Lat\xe9n-Pw3"},
      {"a tab", "tab\there"},
      {"a control byte", std::string("bell\x07")},
  };
  for (const auto& k : kept)
    ASSERT_EQ(m_db.exec("INSERT INTO \"MMDRUHost\" (\"HostName\", \"UserPassword\") VALUES (?, ?)",
                        {std::string("old-") + k.name, tkcipher::encrypt(k.plain)}),
              0);
  // The version letter and hex pairs that decipher to a NUL: no stored
  // form is that, so it is a clear password.
  const std::string nul = "E49";
  ASSERT_EQ(m_db.exec("INSERT INTO \"MMDRUHost\" (\"HostName\", \"UserPassword\") VALUES ('old-nul', ?)", {nul}), 0);
  // The longest clear password whose stored form fits, and one byte more.
  const std::string longest(kColumnLongest, 'u');
  const std::string tooLongClear(kColumnLongest + 1, 'u');
  ASSERT_EQ(m_db.exec("INSERT INTO \"MMDRUHost\" (\"HostName\", \"UserPassword\") VALUES ('old-longest', ?), "
                      "('old-too-long', ?)",
                      {longest, tooLongClear}),
            0);
  ASSERT_EQ(m_db.exec("DROP VIEW \"MMPasswordsStored\""), 0);
  ASSERT_TRUE(restart()) << host().log();

  EXPECT_EQ(tkcipher::encrypt("Lat\xe9n-Pw3"), "E05469983cb66c2f676");
  for (const auto& k : kept) {
    SCOPED_TRACE(k.name);
    const std::string stored =
        m_db.text("SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = ?", {std::string("old-") + k.name});
    EXPECT_EQ(stored, tkcipher::encrypt(k.plain));
    EXPECT_EQ(plainOf(stored), k.plain);
  }
  EXPECT_EQ(m_db.text("SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'old-nul'"),
            tkcipher::encrypt(nul));
  EXPECT_EQ(plainOf(m_db.text("SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'old-longest'")),
            longest);
  EXPECT_EQ(m_db.text("SELECT \"UserPassword\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'old-too-long'"),
            tooLongClear);
}

// ---------------------------------------------------------------- network shares

// Sharing a network share with a further agent with a path moves the share
// and all its volumes to that path together; a change of the credentials
// alone moves no volume, even one a hand edit left elsewhere.
TEST_F(HostPasswordPolicy, AShareAndItsVolumesMoveTogetherAndACredentialsChangeMovesNoVolume) {
  uint64_t device = 0;
  underLock([&](int fd) {
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", networkShare("ma1", "//nas1/share", "share-Pw-1"), 6, 3),
              (std::vector<ctltest::Message>{ctltest::operationResponse(1, 1, "Success")}));
    ASSERT_EQ(pathsOfDeviceAt(fd, "//nas1/share", 4, &device), std::vector<std::string>{"//nas1/share"});
    std::string share;
    tkwire::appendU32(share, 4001, 16);
    tkwire::appendU64(share, tktag::kDiskDeviceHandle, device);
    tkwire::appendElement(share, tktag::kMediaAgent, le32(2) + "ma2");
    tkwire::appendElement(share, tktag::kPath, "/srv/shared");
    tkwire::appendU32(share, 2052, 0);
    // Answered with the device's id as the status.
    const std::string deviceId =
        m_db.text("SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE \"Name\" = 'RemoteHostVolume' AND "
                  "\"Value\" = '//nas1/share'");
    ASSERT_FALSE(deviceId.empty());
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", share, 5, 6),
              (std::vector<ctltest::Message>{ctltest::operationResponse(
                  16, static_cast<uint32_t>(std::stoul(deviceId)), "Success")}));
    EXPECT_EQ(pathsOfDeviceAt(fd, "/srv/shared", 7, nullptr),
              (std::vector<std::string>{"/srv/shared", "/srv/shared"}));
  });
  const std::string deviceRows =
      "FROM \"MMDeviceController\" WHERE \"DeviceId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE "
      "\"Name\" = 'RemoteHostVolume' AND \"Value\" = '/srv/shared')";
  EXPECT_EQ(m_db.text("SELECT group_concat(\"Folder\", '|') " + deviceRows), "/srv/shared|/srv/shared");

  ASSERT_TRUE(restart()) << host().log();
  // A hand edit leaves one volume elsewhere; a credentials change leaves it there.
  ASSERT_EQ(m_db.exec("UPDATE \"MMDeviceController\" SET \"Folder\" = '/srv/elsewhere' WHERE \"DeviceControllerId\" = "
                      "(SELECT MAX(\"DeviceControllerId\") " + deviceRows + ")"),
            0);
  underLock([&](int fd) {
    const std::vector<std::string> paths = pathsOfDeviceAt(fd, "/srv/shared", 3, nullptr);
    EXPECT_EQ(paths, (std::vector<std::string>{"/srv/shared", "/srv/elsewhere"}));
    uint64_t first = 0;
    for (const Volume& v : volumes(fd, 5))
      if (v.path == "/srv/shared") first = v.handle;
    ASSERT_NE(first, 0u);
    EXPECT_EQ(set(fd, "onMsgSetDiskVolume", credentials(first, "share-user-2", "share-Pw-2"), 5, 7),
              (std::vector<ctltest::Message>{ctltest::operationResponse(3, 1, "Success")}));
    EXPECT_EQ(pathsOfDeviceAt(fd, "/srv/shared", 8, nullptr),
              (std::vector<std::string>{"/srv/shared", "/srv/elsewhere"}));
  });
  EXPECT_EQ(m_db.text("SELECT group_concat(\"Folder\", '|') FROM (SELECT \"Folder\" FROM \"MMDeviceController\" "
                      "WHERE \"DeviceId\" = (SELECT \"ObjectId\" FROM \"MMObjectSetting\" WHERE \"Name\" = "
                      "'RemoteHostVolume' AND \"Value\" = '/srv/shared') ORDER BY \"DeviceControllerId\")"),
            "/srv/shared|/srv/elsewhere");
}

}  // namespace
