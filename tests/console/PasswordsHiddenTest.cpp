// The console never prints a password: each element and field that carries
// one is shown as *** in a script line's echo, in the advice that names the
// request, and in the reason a line is refused; the rest of the line is shown
// as it was written. A password is found by what it fills, however its tag
// or attribute is written (decimal, hex, with blanks, in XML) and whatever
// form its value takes; nothing the console prints (its echo, advice and
// refusals, and every answer item by item) holds it.
#include <sqlite3.h>

#include <cstdio>
#include <fstream>

#include "platform/security/StoredPassword.h"
#include "tests/console/ConsoleFixture.h"

namespace {

using consoletest::ConsoleFixture;
using consoletest::ConsoleRun;

constexpr const char* kSecret = "Pw-Echo";
constexpr const char* kHiddenPassword = "***";

TEST_F(ConsoleFixture, EveryPasswordElementAndFieldIsShownAsStarsInEchoesAdviceAndRefusals) {
  struct Route {
    const char* what;
    std::string line;
    // What the echo, the advice or the refusal shows of the line.
    std::string shown;
  };
  const std::vector<Route> routes = {
      {"a password element, in the echo and in the advice to take the lock",
       "onMsgSetMMMagneticLibrary 4001=3 2401=enc:pw-user 2402=enc:Pw-Echo1 2052=0",
       "then `onMsgSetMMMagneticLibrary 4001=3 2401=enc:pw-user 2402=*** 2052=0` in the same"},
      {"a proxy password element", "onMsgSetDiskVolume 4001=3 2401=enc:u 2408=\"Pw-Echo2 quoted\" 2052=0",
       "> onMsgSetDiskVolume 4001=3 2401=enc:u 2408=*** 2052=0\n"},
      {"a user name carrying a proxy password behind its colon",
       "onMsgSetDiskVolume 4001=3 2401=enc:u!!proxy@host:Pw-Echo3 2052=0",
       "> onMsgSetDiskVolume 4001=3 2401=enc:u!!proxy@host:*** 2052=0\n"},
      {"the DRU host's password", "onMsgSetDRUHost 4001=48 11420=idtext:0:dru1 11426=enc:Pw-Echo4   2052=0",
       "> onMsgSetDRUHost 4001=48 11420=idtext:0:dru1 11426=***   2052=0\n"},
      {"the NDMP password", "onMsgSetMMNDMPServer 4106=2 4001=1 11058=filer2 11062=enc:root 11063=s:Pw-Echo5",
       "> onMsgSetMMNDMPServer 4106=2 4001=1 11058=filer2 11062=enc:root 11063=***\n"},
      {"the storage-library request's password and proxy password, of both descriptions",
       "storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/pw 28=u 32=Pw-Echo6 33=Pw-Echo7 second.32=Pw-Echo8",
       "> storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/pw 28=u 32=*** 33=*** second.32=***\n"},
      {"a device path's password", "device-paths 1 path agent=2 17=1 1=1 4=/srv/d 8=u 12=Pw-Echo9 13=4",
       "> device-paths 1 path agent=2 17=1 1=1 4=/srv/d 8=u 12=*** 13=4\n"},
      {"the XML wizard's password field",
       "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
       "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" s23=\"/srv/pw-x\" s27=\"x-user\" b31=\"Pw-Echo10\"/>"
       "</ZQGui_EZConfigureMagneticLibraryReq>'",
       "s27=\"x-user\" b31=\"***\"/></ZQGui_EZConfigureMagneticLibraryReq>'\n"},
  };
  // Each password element with its tag written every way the parser reads
  // it, its value in each form that keeps it a text; a request that needs
  // the lock names itself again in the advice to take it.
  struct Element {
    uint32_t tag;
    std::string before;
    bool advised;
  };
  const std::vector<Element> elements = {
      {2402, "onMsgSetDiskVolume 4001=3 11003=u64:1 2401=enc:pw-user", true},
      {2408, "onMsgSetDiskVolume 4001=3 11003=u64:1 2401=enc:pw-user", true},
      {11426, "onMsgSetDRUHost 4001=48 11420=idtext:0:dru-x", true},
      {11063, "onMsgSetMMNDMPServer 4106=2 4001=1 11058=filer2 11062=enc:root", false},
  };
  auto spelled = [](uint32_t tag, int way) {
    char text[16];
    switch (way) {
      case 0: std::snprintf(text, sizeof text, "%u", tag); break;
      case 1: std::snprintf(text, sizeof text, "0x%X", tag); break;
      case 2: std::snprintf(text, sizeof text, "0X%06X", tag); break;
      default: std::snprintf(text, sizeof text, "0%u", tag); break;
    }
    return std::string(text);
  };
  auto valueIn = [](const std::string& secret, int form) {
    switch (form) {
      case 0: return "enc:" + secret;
      case 1: return "s:" + secret;
      case 2: return "\"" + secret + " quoted\"";
      default: return secret;
    }
  };
  std::vector<Route> written = routes;
  int secret = 20;
  for (const Element& element : elements) {
    for (int way = 0; way < 4; ++way) {
      const std::string tag = spelled(element.tag, way);
      const std::string value = valueIn("Pw-Echo" + std::to_string(secret), secret % 4);
      ++secret;
      const std::string shown = element.before + " " + tag + "=*** 2052=0";
      written.push_back({"an element written another way", element.before + " " + tag + "=" + value + " 2052=0",
                         element.advised ? "then `" + shown + "` in the same" : "> " + shown + "\n"});
    }
  }
  const std::vector<Route> others = {
      {"a user name's proxy password, its tag in hex",
       "onMsgSetDiskVolume 4001=3 11003=u64:1 0x0961=s:u!!proxy@host:Pw-Echo40 2052=0",
       "> onMsgSetDiskVolume 4001=3 11003=u64:1 0x0961=s:u!!proxy@host:*** 2052=0\n"},
      {"a user name in a form whose text cannot be read apart",
       "onMsgSetDiskVolume 4001=3 11003=u64:1 2401=hex:" + std::string("50772d4563686f3431") + " 2052=0",
       "> onMsgSetDiskVolume 4001=3 11003=u64:1 2401=*** 2052=0\n"},
      {"storage-library fields with their tags in hex",
       "storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/pw 0x20=Pw-Echo42 second.0X21=Pw-Echo43",
       "> storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/pw 0x20=*** second.0X21=***\n"},
      {"a device path's password with its tag in hex", "device-paths 1 path agent=2 17=1 1=1 4=/srv/d 0xc=Pw-Echo44",
       "> device-paths 1 path agent=2 17=1 1=1 4=/srv/d 0xc=***\n"},
      {"XML with blanks around = and before the first element",
       "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary ' <ZQGui_EZConfigureMagneticLibraryReq>"
       "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" s23=\"/srv/pw-y\" b31 = \"Pw-Echo45\"/>"
       "</ZQGui_EZConfigureMagneticLibraryReq>'",
       "s23=\"/srv/pw-y\" b31 = \"***\"/>"},
      {"XML in double quotes, its attribute in single quotes, its tag with a leading zero",
       "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary \"<ZQGui_EZConfigureMagneticLibraryReq>"
       "<ZQGui_EZMagneticLibrary tag='2' s3='ma1' s23='/srv/pw-z' b031='Pw-Echo46'/>"
       "</ZQGui_EZConfigureMagneticLibraryReq>\"",
       "s23='/srv/pw-z' b031='***'/>"},
      // A user name that may carry a proxy password, in every field the
      // host reads as one: its password part alone is hidden.
      {"the storage-library user names of both descriptions",
       "storage-library 43=1 8=PxLibR 3=ma1 24=//nasR/slp 28=sluser!!pu@ph:Pw-Echo50 32=SlPw second.0x1C=x!!p@h:Pw-Echo51",
       "> storage-library 43=1 8=PxLibR 3=ma1 24=//nasR/slp 28=sluser!!pu@ph:*** 32=*** second.0x1C=x!!p@h:***\n"},
      {"a device path's user name", "device-paths 1 path agent=2 17=1 1=1 4=/srv/d 8=\"du!!p@h:Pw-Echo52\" 13=4",
       "> device-paths 1 path agent=2 17=1 1=1 4=/srv/d 8=\"du!!p@h:***\" 13=4\n"},
      {"the storage-library request's user name in XML",
       "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<EVGui_ConfigureStorageLibraryReq><EVGui_StorageLibraryInfo "
       "s28=\"xu!!p@h:Pw-Echo53\"/></EVGui_ConfigureStorageLibraryReq>'",
       "<EVGui_StorageLibraryInfo s28=\"xu!!p@h:***\"/>"},
      {"the wizard's user name in XML, and its password attribute with leading zeros",
       "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
       "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" s23=\"//nasW/pw\" s027=\"wu!!p@h:Pw-Echo54\" b0031=\"Pw-Echo55\"/>"
       "</ZQGui_EZConfigureMagneticLibraryReq>'",
       "s23=\"//nasW/pw\" s027=\"wu!!p@h:***\" b0031=\"***\"/>"},
      {"a device path's user name in XML",
       "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<EVGui_MMDevicePathInfo s8=\"dp!!p@h:Pw-Echo56\"/>'",
       "<EVGui_MMDevicePathInfo s8=\"dp!!p@h:***\"/>"},
      // The value as the host's XML reader reads it: character references
      // and entities decoded.
      {"a storage-library user name whose colon is a decimal reference",
       "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<EVGui_ConfigureStorageLibraryReq><EVGui_StorageLibraryInfo "
       "tag=\"2\" i43=\"4\" s8=\"DiskLib1\" s3=\"ma1\" s24=\"//nasPx/r1\" s28=\"sluser!!pu@ph&#58;Pw-Echo60\"/>"
       "</EVGui_ConfigureStorageLibraryReq>'",
       "s28=\"sluser!!pu@ph&#58;***\"/>"},
      {"a storage-library user name whose colon is a hex reference, after an entity",
       "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<EVGui_StorageLibraryInfo s28=\"a&amp;b!!pu@ph&#x3a;Pw-Echo61\"/>'",
       "s28=\"a&amp;b!!pu@ph&#x3a;***\"/>"},
      // An upper-case X is no hex reference to the host's reader, which
      // refuses the text: none of its values is shown.
      {"the wizard's user name, its colon an upper-case hex reference",
       "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
       "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" s23=\"//nasW/pw\" s27=\"wu!!p@h&#X3A;Pw-Echo62\"/>"
       "</ZQGui_EZConfigureMagneticLibraryReq>'",
       "<ZQGui_EZMagneticLibrary tag=\"***\" s3=\"***\" s23=\"***\" s27=\"***\"/>"},
      {"a device path's user name, its @ a reference",
       "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<EVGui_MMDevicePathInfo s8=\"dp!!p&#64;h:Pw-Echo63\"/>'",
       "<EVGui_MMDevicePathInfo s8=\"dp!!p&#64;h:***\"/>"},
      {"a user name whose colon is the writer's character for the byte",
       "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<EVGui_MMDevicePathInfo s8=\"dp!!p@h&#xF73A;Pw-Echo64\"/>'",
       "s8=\"dp!!p@h&#xF73A;***\"/>"},
      {"a raw body holding a user name with a proxy password",
       "onMsgGetMMLibraries body=hex:0000000061090000100000007521217040683a50772d4563686f3635",
       "> onMsgGetMMLibraries body=hex:0000000061090000100000007521217040683a***\n"},
      {"a raw body holding a password element, in hex",
       "onMsgGetMMLibraries body=hex:00000000620900000900000050772d4563686f3537",
       "> onMsgGetMMLibraries body=hex:000000006209000009000000***\n"},
      {"a raw body whose password element's value is a text of its own",
       "onMsgGetMMLibraries body=hex:000000006809000009000000 body=s:Pw-Echo58",
       "> onMsgGetMMLibraries body=hex:000000006809000009000000 body=s:***\n"},
  };
  written.insert(written.end(), others.begin(), others.end());
  // A processing instruction holding what the console once took for the
  // start of a comment or a CDATA section, before the root element or
  // inside it: the host reads the instruction up to its "?>", takes the
  // request and stores its proxy password enciphered.
  struct Instructed {
    const char* opening;
    bool inside;
    std::string path;
    std::string secret;
  };
  const std::vector<Instructed> instructed = {{"<!--", false, "//nasPM/r70", "Pw-Echo70"},
                                              {"<![CDATA[", false, "//nasPM/r71", "Pw-Echo71"},
                                              {"<!--", true, "//nasPM/r72", "Pw-Echo72"},
                                              {"<![CDATA[", true, "//nasPM/r73", "Pw-Echo73"}};
  for (const Instructed& form : instructed) {
    const std::string pi = std::string("<?tk a>b") + form.opening + " ?>";
    auto request = [&](const std::string& secret) {
      return "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '" + (form.inside ? "" : pi) +
             "<EVGui_ConfigureStorageLibraryReq>" + (form.inside ? pi : "") +
             "<EVGui_StorageLibraryInfo tag=\"2\" i43=\"4\" s8=\"DiskLib1\" s3=\"ma1\" s24=\"" + form.path +
             "\" s28=\"sluser!!pu@ph:" + secret + "\"/></EVGui_ConfigureStorageLibraryReq>'";
    };
    written.push_back({"a processing instruction the host reads up to its ?>", request(form.secret),
                       "> " + request(kHiddenPassword) + "\n"});
  }
  // A text the host cannot read (its root never closes): the console
  // cannot read it as the host does, and shows none of its values.
  written.push_back({"a text the host's reader refuses",
                     "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<?tk a>b<!-- ?><EVGui_StorageLibraryInfo tag=\"2\" "
                     "s8=\"DiskLib1\" s28=\"sluser!!pu@ph:Pw-Echo74\">Pw-Echo75'",
                     "> --xml 0x0D130098 HandleMMConfigMgrXmlMsg '<?***?><EVGui_StorageLibraryInfo tag=\"***\" "
                     "s8=\"***\" s28=\"***\">***'\n"});
  // A password attribute written without its =, its value behind its name
  // (the host's reader refuses the text): the word is no name the console
  // knows, and is hidden with the rest of the text's values.
  written.push_back({"a password attribute without its = in a text the host refuses",
                     "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
                     "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" b31:Pw-Echo77/></ZQGui_EZConfigureMagneticLibraryReq>'",
                     "> --xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
                     "<ZQGui_EZMagneticLibrary tag=\"***\" s3=\"***\" ***/></ZQGui_EZConfigureMagneticLibraryReq>'\n"});
  written.push_back({"a text with no = at all, its password attribute without one",
                     "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<EVGui_MMDevicePathInfo s12Pw-Echo78/>'",
                     "> --xml 0x0D130098 HandleMMConfigMgrXmlMsg '<EVGui_MMDevicePathInfo ***/>'\n"});
  // A DOCTYPE, which the host's reader refuses wherever it stands: the
  // console shows nothing of the text from the declaration on.
  written.push_back({"a password behind a DOCTYPE",
                     "--xml 0x0D130098 HandleMMConfigMgrXmlMsg '<!DOCTYPE r><EVGui_ConfigureStorageLibraryReq>"
                     "<EVGui_StorageLibraryInfo tag=\"2\" s8=\"DiskLib1\" s28=\"sluser!!pu@ph:Pw-Echo76\"/>"
                     "</EVGui_ConfigureStorageLibraryReq>'",
                     "> --xml 0x0D130098 HandleMMConfigMgrXmlMsg '<!***'\n"});
  for (const Route& route : written) {
    SCOPED_TRACE(route.what + std::string(": ") + route.line);
    const std::string script = writeFile("route.tk", route.line + "\n");
    // From a script file, and typed on standard input.
    for (const ConsoleRun& run : {console({"--script", script}), console({"--script", "-"}, script)}) {
      EXPECT_NE(run.out.find(route.shown), std::string::npos) << run.out;
      EXPECT_EQ(run.out.find(kSecret), std::string::npos) << run.out;
      EXPECT_EQ(run.err.find(kSecret), std::string::npos) << run.err;
    }
  }
  // Each XML text again under a message id no handler takes, in one script:
  // the host hands each request back as it came, and the console, which
  // prints the answer's text and its fields, hides the passwords in them as
  // in the echo, says under each that no handler answered, and counts the
  // requests as failed.
  const std::string handedBack = "\n  (no handler answered message id 0x12345678: the host handed the request back "
                                 "as it was sent, and nothing was done)\n";
  std::string backScript;
  int xmlRoutes = 0;
  for (const Route& route : written) {
    if (route.line.rfind("--xml ", 0) != 0) continue;
    backScript += "--xml 0x12345678 HandleMMConfigMgrXmlMsg " + route.line.substr(route.line.find_first_of("'\"")) + "\n";
    ++xmlRoutes;
  }
  EXPECT_EQ(xmlRoutes, 19);
  const ConsoleRun back = console({"--script", writeFile("back.tk", backScript)});
  EXPECT_EQ(back.status, 3) << back.out;
  auto count = [&](const std::string& what) {
    int n = 0;
    for (std::size_t at = back.out.find(what); at != std::string::npos; at = back.out.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("\nreply 0x12345678 seq "), xmlRoutes) << back.out;
  EXPECT_EQ(count(handedBack), xmlRoutes) << back.out;
  EXPECT_EQ(back.out.find(kSecret), std::string::npos) << back.out;
  EXPECT_EQ(back.err, "");
  // Each request of a processing instruction was taken, from the script and
  // from standard input: the device path under the proxy user keeps the
  // proxy password enciphered.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(m_dir.file("host.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  for (const Instructed& form : instructed) {
    SCOPED_TRACE(form.path);
    sqlite3_stmt* names = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT UserName FROM MMDeviceController WHERE Folder = ?", -1, &names, nullptr),
              SQLITE_OK);
    sqlite3_bind_text(names, 1, form.path.c_str(), -1, SQLITE_TRANSIENT);
    int stored = 0;
    for (; sqlite3_step(names) == SQLITE_ROW; ++stored) {
      const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(names, 0));
      const std::string kept = "sluser!!pu@ph:";
      const std::string proxy = name.compare(0, kept.size(), kept) == 0 ? name.substr(kept.size()) : std::string();
      std::string plain;
      EXPECT_TRUE(tkpassword::isStoredForm(proxy)) << name;
      EXPECT_TRUE(tkpassword::plainForm(proxy, plain)) << name;
      EXPECT_EQ(plain, form.secret);
    }
    sqlite3_finalize(names);
    EXPECT_EQ(stored, 2);
  }
  sqlite3_close(db);
}

TEST_F(ConsoleFixture, ALineRefusedForItsPasswordValueNamesNeitherThePasswordNorItsWrittenForm) {
  const std::string zeros(70, '0');
  struct Refused {
    const char* what;
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {"a script line", {"--script", writeFile("bad.tk", "lock\nonMsgSetDRUHost 4001=48 11426=hex:Pw-Echo1\n")},
       "bad.tk:2: not hex: ***\n"},
      {"the command line", {"onMsgSetDRUHost", "4001=48", "11426=hex:Pw-Echo2"}, "tkconsole: not hex: ***\n"},
      // Tags in hex, values in forms that cannot hold the text.
      {"a 64-bit number, its tag in hex",
       {"--script", writeFile("u64.tk", "onMsgSetDRUHost 4001=48 0x2CA2=u64:Pw-Echo3 2052=0\n")},
       "u64.tk:1: not a 64-bit number: ***\n"},
      {"a 64-bit number on the command line", {"onMsgSetDiskVolume", "4001=3", "0x962=u64:Pw-Echo4"},
       "tkconsole: not a 64-bit number: ***\n"},
      {"an id and a text", {"onMsgSetDiskVolume", "4001=3", "02408=idtext:Pw-Echo5:x"},
       "tkconsole: not a 32-bit number in idtext: ***\n"},
      {"the NDMP password as hex", {"onMsgSetMMNDMPServer", "4106=2", "0X2B37=hex:Pw-Echo6"},
       "tkconsole: not hex: ***\n"},
      {"a user name as a 64-bit number", {"onMsgSetDiskVolume", "4001=3", "2401=u64:u:Pw-Echo7"},
       "tkconsole: not a 64-bit number: ***\n"},
      // Blanks: the tag and its value apart, or a blank inside the tag.
      {"a value apart from its tag=", {"onMsgSetDRUHost", "4001=48", "11426=", "enc:Pw-Echo8"},
       "tkconsole: expected TAG=VALUE, first=N, count=N or handle=N, not ***\n"},
      {"a blank inside the tag", {"onMsgSetDRUHost", "4001=48", "0x2CA2 =enc:Pw-Echo9"},
       "tkconsole: expected TAG=VALUE, first=N, count=N or handle=N, not 0x2CA2 =***\n"},
      {"a quoted tag with blanks around it in a script",
       {"--script", writeFile("blanks.tk", "onMsgSetDRUHost 4001=48 \" 0x2CA2 \"=enc:Pw-Echo13 2052=0\n")},
       "blanks.tk:1: expected TAG=VALUE, first=N, count=N or handle=N, not \" 0x2CA2 \"=***\n"},
      {"a quoted tag with a blank in a script",
       {"--script", writeFile("blank.tk", "onMsgSetDRUHost 4001=48 \"11426 \"=enc:Pw-Echo10 2052=0\n")},
       "blank.tk:1: expected TAG=VALUE, first=N, count=N or handle=N, not \"11426 \"=***\n"},
      {"a storage-library field with a blank inside its tag", {"storage-library", "43=4", "0x20 =Pw-Echo11"},
       "tkconsole: a library description takes TAG=VALUE, not 0x20 =***\n"},
      {"a storage-library field with blanks around its tag",
       {"--script", writeFile("lib.tk", "storage-library 43=4 \" 0x20 \"=Pw-Echo14\n")},
       "lib.tk:1: a library description takes TAG=VALUE, not  0x20 =***\n"},
      {"a device path's password with blanks around its tag",
       {"--script", writeFile("around.tk", "device-paths 1 path \" 12 \"=Pw-Echo15\n")},
       "around.tk:1: a device path takes TAG=VALUE, not  12 =***\n"},
      // The = left out or mistyped: the value behind the tag is hidden.
      {"a password behind its tag without the =", {"onMsgSetDRUHost", "4001=48", "11426:Pw-Echo16"},
       "tkconsole: expected TAG=VALUE, first=N, count=N or handle=N, not 11426***\n"},
      {"a storage-library password behind its hex tag without the =",
       {"--script", writeFile("noeq.tk", "storage-library 43=4 8=DiskLib1 0x20enc:Pw-Echo17\n")},
       "noeq.tk:1: a library description takes TAG=VALUE, not 0x20***\n"},
      {"a device path's user name without the =", {"device-paths", "1", "path", "8du!!p@h:Pw-Echo18"},
       "tkconsole: a device path takes TAG=VALUE, not 8***\n"},
      {"a device path's password with a blank inside its tag",
       {"--script", writeFile("path.tk", "device-paths 1 path \"12 =Pw-Echo12\"\n")},
       "path.tk:1: a device path takes TAG=VALUE, not 12 =***\n"},
      // The tag read as the parser reads it, however many zeros lead it.
      {"a password behind its tag of many leading zeros without the =",
       {"onMsgSetDRUHost", "4001=48", zeros + "11426:Pw-Echo19"},
       "tkconsole: expected TAG=VALUE, first=N, count=N or handle=N, not " + zeros + "11426***\n"},
      {"a storage-library password behind its hex tag of many leading zeros without the =",
       {"storage-library", "43=4", "8=DiskLib1", "0x" + zeros + "20enc:Pw-Echo20"},
       "tkconsole: a library description takes TAG=VALUE, not 0x" + zeros + "20***\n"},
      {"a device path's user name behind its tag of many leading zeros without the =",
       {"device-paths", "1", "path", zeros + "8du!!p@h:Pw-Echo21"},
       "tkconsole: a device path takes TAG=VALUE, not " + zeros + "8***\n"},
      {"a second description's proxy password behind a tag of thousands of zeros, in a script",
       {"--script", writeFile("zeros.tk", "storage-library 43=4 second.0x" + std::string(5000, '0') +
                                              "21:Pw-Echo22 8=DiskLib1\n")},
       "zeros.tk:1: a library description takes TAG=VALUE, not 0x" + std::string(5000, '0') + "21***\n"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.what);
    const ConsoleRun run = console(c.args);
    EXPECT_EQ(run.status, 64);
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(kSecret), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
