// Answers in words over the real host: an XML answer listed field by field
// with each field's name from the message registry beside its attribute,
// and numbers that stand for something (icon numbers, types, OS types,
// operation and result codes) followed by their names, the number kept.
#include <sstream>

#include "tests/console/ConsoleFixture.h"

namespace {

using consoletest::ConsoleFixture;
using consoletest::ConsoleRun;

// The README's sample of a printed XML answer, as its lines.
std::string readmeSample(const std::string& firstLine) {
  std::istringstream readme(hosttest::readFile(TK_SOURCE_DIR "/README.md"));
  std::string sample;
  bool in = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("```", 0) == 0) {
      if (in) break;
      continue;
    }
    if (line == firstLine) in = true;
    if (in) sample += line + "\n";
  }
  return sample;
}

TEST_F(ConsoleFixture, AnXmlAnswerIsListedFieldByFieldWithTheFieldsNames) {
  // The operator may change nothing (rights from the users table): the host
  // refuses the delete before any handler runs, with the generic response,
  // as the README shows it.
  hosttest::Host table(m_dir, m_dir.file("table.sock"), {"--seed-demo"},
                       {{"TK_RIGHTS", "table"}, {"TK_LOCK_DIR", m_dir.file("locks")}}, "table");
  ASSERT_TRUE(table.up()) << table.log();
  const ConsoleRun refused = runConsole(m_dir, {"--socket", table.socket()},
                                        {"--user", "2", "storage-library", "43=2", "8=DiskLib1", "request.6=1"});
  EXPECT_EQ(refused.status, 3);
  const std::string sample = readmeSample("reply 0x0D130098 seq 1");
  ASSERT_NE(sample, "") << "the README's sample answer was not found";
  EXPECT_EQ(refused.out, sample);

  // A nested description: each field under the field that holds it.
  // A delete without delete-enable did nothing it was asked: status 3.
  const ConsoleRun kept = console({"storage-library", "43=2", "8=TapeLib1"});
  EXPECT_EQ(kept.status, 3) << kept.err;
  const std::string text =
      "<EVGui_ConfigureStorageLibraryResp><EVGui_StorageLibraryInfo tag=\"1\" i1=\"1\" s3=\"\" i7=\"0\" "
      "s8=\"TapeLib1\" i12=\"1\" s24=\"\" s44=\"\" i53=\"0\" i70=\"0\"/></EVGui_ConfigureStorageLibraryResp>";
  EXPECT_EQ(kept.out, "reply 0x0D130098 seq 1\n"
                      "  result 0\n"
                      "  xml len " + std::to_string(text.size()) + ": " + text + "\n"
                      "  EVGui_ConfigureStorageLibraryResp\n"
                      "    1 (library description): EVGui_StorageLibraryInfo\n"
                      "      i1 (library id): 1\n"
                      "      s3 (media-agent name): \"\"\n"
                      "      i7 (media-agent id): 0\n"
                      "      s8 (library name): \"TapeLib1\"\n"
                      "      i12 (library type id): 1\n"
                      "      s24 (mount-path name): \"\"\n"
                      "      s44 (serial number): \"\"\n"
                      "      i53 (device id): 0\n"
                      "      i70 (result code): 0\n"
                      "  (nothing was deleted: the request's delete-enable field is 0; add request.6=1 to delete the "
                      "library)\n");

  // The lock request's answer names its code, and the console that ends
  // holding the lock says so.
  const ConsoleRun locked = console({"--xml", "0x0DF9BE39", "HandleMMConfigMgrXmlMsg",
                                     "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo "
                                     "tag=\"1\" i2=\"1\"/></EVGui_MMConfigurationLockUnlockReq>"});
  EXPECT_EQ(locked.status, 0);
  EXPECT_EQ(locked.out, "reply 0x0DF9BE39 seq 1\n"
                        "  result 0\n"
                        "  xml len 27: <ZQGui_GenericResp i1=\"0\"/>\n"
                        "  ZQGui_GenericResp\n"
                        "    i1 (code): 0 (success)\n"
                        "  (the configuration lock stays held after this console exits, while this connection's "
                        "session ends with it (a later `lock` is refused): `tkconsole --socket " +
                            m_host.socket() +
                            " unlock xml` releases it; lock, ask and unlock in one --script to leave nothing held)\n");
}

TEST_F(ConsoleFixture, NumbersThatStandForSomethingAreNamedBesideThem) {
  // A disk shared with a further media agent answers the disk device's id
  // in its status, not 1: named for what it is, and a success. (First: the
  // disk devices are the first objects this host gives handles.)
  const ConsoleRun shared = console(
      {"--script", writeFile("share.tk", "lock\nonMsgGetDiskDevices\nonMsgSetDiskVolume 4001=16 11148=u64:2 "
                                         "2048=idtext:0:ma2 11041=/mnt/ma2/dev2 2052=0\nunlock\n")});
  EXPECT_EQ(shared.status, 0) << shared.out;
  EXPECT_NE(shared.out.find("\n  tag 11003 (object handle) len 8: 2\n  tag 11192 (disk device) len 21: 2 "
                            "\"DiskLib1 device 2\"\n"),
            std::string::npos)
      << shared.out;
  EXPECT_NE(shared.out.find("\nreply 1024 seq 3\n  tag 4001 (operation) len 4: 16\n"
                            "  tag 2051 (status) len 11: 2 (disk device id) \"Success\"\n> unlock\n"),
            std::string::npos)
      << shared.out;

  const std::string script = writeFile("types.tk", "lock\nlibraries\nunlock\n");
  const ConsoleRun listed = console({"--script", script});
  EXPECT_EQ(listed.status, 0) << listed.out;
  for (const char* line : {"\n  tag 11116 (icon id) len 4: 10 (tape or optical library)\n",
                           "\n  tag 11116 (icon id) len 4: 50 (disk library)\n",
                           "\n  tag 8081 (library type) len 4: 3 (disk library)\n",
                           "\n  tag 8081 (library type) len 4: 1\n"})  // a type without a name stays a number
    EXPECT_NE(listed.out.find(line), std::string::npos) << line << listed.out;

  // What the filer reports of itself: its OS type by name.
  const ConsoleRun detected = console({"onMsgSetMMNDMPServer", "4106=2", "4001=58", "11058=filer2", "11062=enc:root",
                                       "11063=enc:demo", "11066=0", "2052=0"});
  EXPECT_EQ(detected.status, 0) << detected.out;
  EXPECT_NE(detected.out.find("\n  tag 11064 (NDMP OS type) len 4: 6 (NAS Filer)\n"), std::string::npos)
      << detected.out;
}

}  // namespace
