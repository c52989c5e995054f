// tkconsole's exit status over the real host: 0 when every answer is a
// success, 3 when one reports a failure or refusal, 1 when the host closes
// the connection, 2 when it cannot be reached, 64 for wrong arguments; and a
// request ends at the host's end frame, not after a quiet wait. Every shape
// of answer the handlers give, from a stand-in for the host, exits with the
// status its code says.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/EZWizardMessages.h"
#include "platform/xml/RPStoreMessages.h"
#include "platform/xml/StorageLibraryMessages.h"
#include "platform/xml/TaskMessages.h"
#include "tests/console/ConsoleFixture.h"

namespace {

using consoletest::ConsoleFixture;
using consoletest::ConsoleRun;

// A request of `count` copies of one element.
std::vector<std::string> elementsOf(int count, const std::string& element) {
  std::vector<std::string> words = {"Any"};
  words.insert(words.end(), static_cast<std::size_t>(count), element);
  return words;
}

TEST_F(ConsoleFixture, EachAnswerDecidesTheExitStatus) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string out;
  } cases[] = {
      {"a lock taken and given back", {"lock"}, 0, "  tag 2051 (status) len 68: 1 (success) \"The media management"},
      {"an unknown handler, with the closest names", {"LockMMConfiguratoin"}, 3,
       ": 0 (failure) \"unknown handler LockMMConfiguratoin; did you mean LockMMConfiguration?\"\n"},
      {"a request of the wrong kind", {"--xml", "0x0DF9BE39", "LockMMConfiguration", "<x/>"}, 3,
       "0 (failure) \"handler LockMMConfiguration takes element-stream requests\""},
      {"an XML request the handler cannot read", {"--xml", "0x0DF9BE39", "HandleMMConfigMgrXmlMsg", "<x"}, 3,
       "reply 0x0DF9BE39 seq 1\n  result 0\n  xml len 68: <ZQGui_GenericResp i1=\"-1\" s2=\"The XML request could not "
       "be read.\"/>\n"},
      // No handler takes the message id: the host hands the request back as
      // it came. Its user name's proxy password is hidden in the text and in
      // its fields.
      {"an XML request no handler answers",
       {"--xml", "0x12345678", "HandleMMConfigMgrXmlMsg",
        "<EVGui_ConfigureStorageLibraryReq><EVGui_StorageLibraryInfo tag=\"2\" i43=\"4\" s8=\"DiskLib1\" s3=\"ma1\" "
        "s24=\"//nasPM/z1\" s28=\"sluser!!pu@ph:PmSecretZ1\"/></EVGui_ConfigureStorageLibraryReq>"},
       3,
       "reply 0x12345678 seq 1\n  result 0\n  xml len 183: <EVGui_ConfigureStorageLibraryReq><EVGui_StorageLibraryInfo "
       "tag=\"2\" i43=\"4\" s8=\"DiskLib1\" s3=\"ma1\" s24=\"//nasPM/z1\" s28=\"sluser!!pu@ph:***\"/>"
       "</EVGui_ConfigureStorageLibraryReq>\n"
       "  EVGui_ConfigureStorageLibraryReq\n"
       "    2 (library description): EVGui_StorageLibraryInfo\n"
       "      i43 (operation code): 4 (add mount path)\n"
       "      s8 (library name): \"DiskLib1\"\n"
       "      s3 (media-agent name): \"ma1\"\n"
       "      s24 (mount-path name): \"//nasPM/z1\"\n"
       "      s28 (user name): \"sluser!!pu@ph:***\"\n"
       "  (no handler answered message id 0x12345678: the host handed the request back as it was sent, and nothing "
       "was done)\n"},
      {"an element stream too long", elementsOf(16, "1=hex:" + std::string(2 * 4000, 'a')), 3,
       "0 (failure) \"element stream too long: 64128 bytes, at most 63536\""},
      // A device path refused by the media-management service: its code
      // in the answer's error object, the answer's result 0.
      {"a device path added", {"device-paths", "1", "path", "agent=2", "17=1", "1=1", "4=/srv/dpb", "13=4"}, 0,
       "<EVGui_MMDevicePathInfoResp><EVGui_ErrorInfo tag=\"1\" i1=\"0\" s2=\"\"/></EVGui_MMDevicePathInfoResp>\n"},
      {"the same device path added again",
       {"device-paths", "1", "path", "agent=2", "17=1", "1=1", "4=/srv/dpb", "13=4"}, 3,
       "  result 0\n  xml len 154: <EVGui_MMDevicePathInfoResp><EVGui_ErrorInfo tag=\"1\" i1=\"420\" s2=\"The media "
       "agent already has a device path to the device.\"/></EVGui_MMDevicePathInfoResp>\n"},
      // The handler's walk reaches the 2052 behind the longest element it
      // reads: without the lock, the change is answered "Close".
      {"an element of the most the host reads",
       {"onMsgSetMMMountPath", "4001=3", "11041=" + std::string(4104, 'p'), "2052=0"}, 3,
       "  tag 2051 (status) len 9: 1 (success) \"Close\"\n"},
      // The walk ends at an element longer than it reads (the raw bytes
      // of body= are sent as they are): the handler answers nothing.
      {"a request answered with nothing",
       {"--script", writeFile("silent.tk", "force-lock\nonMsgSetMMMountPath body=3 body=4001 body=4 body=3 body=11041 "
                                           "body=4105 body=hex:" + std::string(2 * 4105, 'a') +
                                               " body=2052 body=4 body=0\nunlock\n")},
       3, "\n(no reply: the host answered nothing to this request; it may not have been carried out)\n> unlock\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ConsoleRun run = console(c.args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
  }
}

// The console's one request answered by a stand-in for the host with one
// answer of each shape the handlers give (an XML answer when `messageId` is
// not 0, else a status reply) and the end frame of `result`: whether the
// console takes it for a success is its exit status, and only its code says.
TEST(ConsoleAnswerShapes, EachShapeOfAnswerExitsWithTheStatusItsCodeSays) {
  constexpr uint32_t kStorageLibrary = EVGui::ConfigureStorageLibraryReq::kClassHash;
  constexpr uint32_t kDevicePaths = EVGui::MMDevicePathInfoReq::kClassHash;
  constexpr uint32_t kCanDelete = EVGui::CanDeleteLibraryMountPathReq::kClassHash;
  constexpr uint32_t kDeviceList = EVGui::DKBFConfigureDevicesReq::kClassHash;
  constexpr uint32_t kWizard = ZQGui::EZConfigureMagneticLibraryReq::kClassHash;
  constexpr uint32_t kRPStore = EVGui::RPStoreLibraryReq::kClassHash;
  const std::string refused = "<EVGui_MMDevicePathInfoResp><EVGui_ErrorInfo tag=\"1\" i1=\"420\" s2=\"The media agent "
                              "already has a device path to the device.\"/></EVGui_MMDevicePathInfoResp>";
  auto pathAnswer = [](const std::string& code) {
    return "<EVGui_MMDevicePathInfoResp><EVGui_ErrorInfo tag=\"1\" i1=\"" + code +
           "\" s2=\"\"/></EVGui_MMDevicePathInfoResp>";
  };
  auto devices = [](const std::string& code, const std::string& entryCode) {
    return "<EVGui_DKBFConfigureDevicesResponse i1=\"" + code +
           "\"><list tag=\"2\"><EVGui_DKBFConfigureDeviceRespEntry i1=\"1\" s2=\"vol1\" s6=\"vol1\" i10=\"" +
           entryCode + "\" s11=\"\"/></list></EVGui_DKBFConfigureDevicesResponse>";
  };
  auto library = [](const std::string& resultCode) {
    return "<EVGui_ConfigureStorageLibraryResp><EVGui_StorageLibraryInfo tag=\"1\" i1=\"7\" s8=\"DiskLib1\" i70=\"" +
           resultCode + "\"/></EVGui_ConfigureStorageLibraryResp>";
  };
  struct Shape {
    const char* what;
    uint32_t messageId;  // 0: an element-stream request, answered with a status
    std::string answer;  // the XML text, or the status's text
    uint32_t status;
    int64_t result;
    int exit;
    // What the console prints of the answer, in full, where the exit alone
    // does not tell it was read right.
    std::string out = std::string();
  } shapes[] = {
      {"a generic response of success", kStorageLibrary, "<EVGui_GenericResp i1=\"0\" s2=\"\"/>", 0, 0, 0},
      {"a generic response of failure", kStorageLibrary, "<EVGui_GenericResp i1=\"-1\" s2=\"refused\"/>", 0, 0, 3,
       "reply 0x0D130098 seq 1\n  result 0\n  xml len 41: <EVGui_GenericResp i1=\"-1\" s2=\"refused\"/>\n"
       "  EVGui_GenericResp\n    i1 (code): -1 (failure)\n    s2 (text): \"refused\"\n"},
      {"a generic response with a service's code", kStorageLibrary, "<EVGui_GenericResp i1=\"101\" s2=\"no\"/>", 0,
       0, 3},
      {"a library description: its library id is no code", kStorageLibrary, library("0"), 0, 0, 0},
      {"a library description whose result code is not 0", kStorageLibrary, library("5"), 0, 0, 3},
      {"a device-path answer of success", kDevicePaths, pathAnswer("0"), 0, 0, 0},
      {"a device-path answer refused with the service's code", kDevicePaths, refused, 0, 0, 3},
      {"a device-path answer refused by the validation's code", kDevicePaths, pathAnswer("1"), 0, 0, 3},
      {"a device-path answer of failure", kDevicePaths, pathAnswer("-1"), 0, 0, 3},
      {"a can-delete answer: no forced delete needed", kCanDelete, "<EVGui_GenericResp i1=\"0\" s2=\"\"/>", 0, 0, 0},
      {"a can-delete answer: a forced delete needed", kCanDelete,
       "<EVGui_GenericResp i1=\"3\" s2=\"Jobs run on the mount path.\"/>", 0, 0, 0},
      {"a can-delete answer of failure", kCanDelete, "<EVGui_GenericResp i1=\"-1\" s2=\"no\"/>", 0, 0, 3},
      {"a device-list answer of success", kDeviceList, devices("0", "0"), 0, 0, 0},
      {"a device-list answer whose volume was not configured", kDeviceList, devices("0", "5"), 0, 0, 3},
      {"a device-list answer whose tables were not brought in step", kDeviceList, devices("956301451", "0"), 0, 0, 3},
      {"a device-list generic response with the lookup's code", kDeviceList,
       "<ZQGui_GenericResp i1=\"956301318\" s2=\"DB error\"/>", 0, 0, 3},
      {"a wizard's generic response of success", kWizard, "<ZQGui_GenericResp i1=\"0\" s2=\"Done.\"/>", 0, 0, 0},
      {"a wizard's generic response of failure", kWizard, "<ZQGui_GenericResp i1=\"-1\" s2=\"no\"/>", 0, 0, 3},
      {"a wizard's library: its library id is no code", kWizard,
       "<ZQGui_EZConfigureMagneticLibraryResp><ZQGui_EZMagneticLibrary tag=\"1\" i1=\"5\" s8=\"DiskLib5\"/>"
       "</ZQGui_EZConfigureMagneticLibraryResp>",
       0, 0, 0},
      {"a replication store: its store id is no code", kRPStore,
       "<EVGui_RPStoreLibraryResp><EVGui_RPStoreLibraryInfo tag=\"1\" i1=\"4\"/></EVGui_RPStoreLibraryResp>", 0, 0,
       0},
      {"an XML answer whose result is not 0", kStorageLibrary, "<EVGui_GenericResp i1=\"0\" s2=\"\"/>", 0, -1, 3},
      {"a generic response whose code is not a number", kStorageLibrary, "<EVGui_GenericResp i1=\"0x\" s2=\"\"/>", 0,
       0, 3},
      {"a generic response of failure that gives no reason", kStorageLibrary, "<EVGui_GenericResp i1=\"-1\"/>", 0, 0,
       3,
       "reply 0x0D130098 seq 1\n  result 0\n  xml len 28: <EVGui_GenericResp i1=\"-1\"/>\n  EVGui_GenericResp\n"
       "    i1 (code): -1 (failure)\n"},
      // The request's own text with the result 0: what the host answers when
      // no handler took the message id.
      {"the request handed back", kStorageLibrary, "<x/>", 0, 0, 3,
       "reply 0x0D130098 seq 1\n  result 0\n  xml len 4: <x/>\n  x\n  (no handler answered message id 0x0D130098: the "
       "host handed the request back as it was sent, and nothing was done)\n"},
      // An answer as long as the request is not the request: a handler
      // answered it.
      {"an answer as long as the request", kStorageLibrary, "<y/>", 0, 0, 0,
       "reply 0x0D130098 seq 1\n  result 0\n  xml len 4: <y/>\n  y\n"},
      {"a status of success", 0, "Success", 1, 1, 0},
      {"a status of failure", 0, "Failed", 0, 0, 3},
      {"a status of refusal", 0, "Refused", 3, 0, 3},
      {"a status of success with a failed end", 0, "Success", 1, -1, 3},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.what);
    tktest::TempDir dir;
    const std::string socket = dir.file("stand-in.sock");
    const int listening = hosttest::listenAt(socket);
    ASSERT_GE(listening, 0);
    char id[16];
    std::snprintf(id, sizeof id, "0x%08X", shape.messageId);
    const std::vector<std::string> request =
        shape.messageId != 0 ? std::vector<std::string>{"--xml", id, "HandleMMConfigMgrXmlMsg", "<x/>"}
                             : std::vector<std::string>{"Any"};
    hosttest::Child console;
    std::vector<std::string> args = {"--socket", socket};
    args.insert(args.end(), request.begin(), request.end());
    ASSERT_TRUE(console.start(hosttest::consoleBinary(), args, {}, dir.file("out"), dir.file("err")));
    const int fd = hosttest::acceptWithin(listening, hosttest::kStartMs);
    ASSERT_GE(fd, 0);
    std::string body;
    ASSERT_EQ(tkwire::readFrame(fd, hosttest::kStartMs, body), tkwire::ReadStatus::Ok);
    const std::optional<int64_t> sequence = tkwire::peekRequestSequence(body);
    ASSERT_TRUE(sequence.has_value());
    const std::string answer = shape.messageId != 0
                                   ? tkwire::encodeXmlAnswer(shape.messageId, *sequence, shape.result, shape.answer)
                                   : tkwire::encodeStatusReply(*sequence, shape.status, shape.answer);
    EXPECT_TRUE(tkwire::writeAll(fd, answer + tkwire::encodeRequestEnd(*sequence, shape.result)));
    EXPECT_EQ(console.exitCode(), shape.exit) << hosttest::readFile(dir.file("out"));
    if (!shape.out.empty()) {
      EXPECT_EQ(hosttest::readFile(dir.file("out")), shape.out);
    }
    ::close(fd);
    ::close(listening);
  }
}

TEST_F(ConsoleFixture, ALockHeldByAnotherIsARefusalThatSaysHowToTakeItOver) {
  const int holder = m_host.connect();
  ASSERT_GE(holder, 0);
  const auto taken = tktest::onlyStatus(hosttest::sendAndRead(
      holder, [] {
        tkwire::StreamRequest r;
        r.handler = "LockMMConfiguration";
        r.sequence = 1;
        r.firstField = tkwire::firstFieldOf(2, 1);
        return tkwire::encodeStreamRequest(r);
      }()));
  ASSERT_TRUE(taken && taken->status == 1) << m_host.log();

  const ConsoleRun run = console({"lock"});
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_NE(run.out.find("  tag 2051 (status) len "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(": 3 (held) \""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n  (another connection holds the configuration lock, which may have closed (a lock "
                         "outlives the console that took it); `force-lock` takes it over, `tkconsole --socket " +
                         m_host.socket() + " unlock xml` releases it)\n"),
            std::string::npos)
      << run.out;
  ::close(holder);
}

TEST_F(ConsoleFixture, AHostThatClosesTheConnectionIsStatusOneAndNoHostIsStatusTwo) {
  hosttest::Host full(m_dir, m_dir.file("full.sock"), {"--max-connections", "1"}, {}, "full");
  const int held = full.connect();
  ASSERT_GE(held, 0);
  ASSERT_EQ(hosttest::sendAndRead(held, hosttest::streamFrame("Warm", 1)).size(), 1u) << full.log();

  ConsoleRun run = runConsole(m_dir, {"--socket", full.socket()}, {"lock"});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(run.out, "reply 1024 seq 0\n  tag 2051 (status) len 24: 0 (failure) \"too many connections\"\n"
                     "(connection closed by the host)\n");
  ::close(held);

  run = runConsole(m_dir, {"--socket", m_dir.file("nobody.sock"), "--timeout", "100"}, {"lock"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "tkconsole: cannot reach the host at " + m_dir.file("nobody.sock") +
                         ": No such file or directory (start it with `tkhost --socket " + m_dir.file("nobody.sock") +
                         " &`, or pass --socket PATH where it listens)\n");

  run = console({"--wait", "later", "lock"});
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.err, "tkconsole: --wait takes milliseconds (at most 600000), not later\n");
}

TEST_F(ConsoleFixture, AScriptOfFiftyRequestsEndsEachAtItsEndFrameNotAfterTheWait) {
  std::string script = "lock\n";
  for (int i = 0; i < 48; ++i) script += "libraries\n";
  script += "unlock\n";
  const std::string path = writeFile("fifty.tk", script);

  // One quiet wait of 10 minutes per request would take more than eight
  // hours: the console would not end within the test's wait for it.
  const ConsoleRun run = console({"--wait", "600000", "--script", path});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  size_t requests = 0;
  for (size_t at = run.out.find("> "); at != std::string::npos; at = run.out.find("\n> ", at + 1)) ++requests;
  EXPECT_EQ(requests, 50u);
  EXPECT_NE(run.out.find("> unlock\nreply 1024 seq 50\n  tag 2051 (status) len 11: 1 (success) \"Success\"\n"),
            std::string::npos)
      << run.out;
}

TEST_F(ConsoleFixture, AScriptIsReadFromStandardInputAndADirectoryIsNoScript) {
  const std::string input = writeFile("stdin.tk", "# from standard input\nlock\nunlock\n");
  ConsoleRun run = console({"--script", "-"}, input);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("> lock\nreply 1024 seq 1\n"), 0u) << run.out;
  EXPECT_NE(run.out.find("> unlock\nreply 1024 seq 2\n"), std::string::npos) << run.out;

  const std::string bad = writeFile("bad.tk", "lock\nlock \"open\n");
  run = console({"--script", "-"}, bad);
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.err, "tkconsole: standard input:2: unterminated \" quote\n");

  run = console({"--script", m_dir.path()});
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "tkconsole: " + m_dir.path() + " is a directory, not a script\n");
}

}  // namespace
