// Host services: login names and decryption; the cloud helper; the socket
// inlines.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/AppAdapters.h"
#include "frame/CWySocket.h"
#include "frame/EvExternal.h"
#include "platform/external/Cipher.h"
#include "platform/testkit/external.h"

namespace {

class HostServices : public ::testing::Test {
 protected:
  void SetUp() override { testkit::external::reset(); }
  void TearDown() override { testkit::external::reset(); }
  EvExternal ext{0};
};

TEST_F(HostServices, LoginNameOfAUserIsRefusedNotCutWhenItDoesNotFit) {
  testkit::external::setUserLogin(7, "alice");
  testkit::external::setUserLogin(9, std::string(2000, 'n'));
  testkit::external::setUserLogin(10, "bob");
  char login[1025] = {};
  EXPECT_EQ(ext.getUserLogin(7, login, nullptr, nullptr), 0);
  EXPECT_STREQ(login, "alice");
  EXPECT_NE(ext.getUserLogin(8, login, nullptr, nullptr), 0);
  EXPECT_STREQ(login, "");
  EXPECT_NE(ext.getUserLogin(9, login, nullptr, nullptr), 0);
  EXPECT_STREQ(login, "");
  int size = 4;
  char small[4];
  EXPECT_EQ(ext.getUserLogin(10, small, &size, nullptr), 0);
  EXPECT_STREQ(small, "bob");
  EXPECT_EQ(size, 3);
}

TEST_F(HostServices, DecryptionModes) {
  const std::string user = tkcipher::encrypt("DOMAIN\\admin");
  std::string text;
  for (int mode : {3, 2}) {
    text.clear();
    EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, user.data(), static_cast<int>(user.size()), mode, text, nullptr,
                                           nullptr, nullptr),
              1);
    EXPECT_EQ(text, "DOMAIN\\admin");
  }
  std::string encrypted;
  EXPECT_EQ(ext.encryptForTransport("pw", encrypted), 1);
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, encrypted.data(), static_cast<int>(encrypted.size()), 2, text,
                                         nullptr, nullptr, nullptr),
            1);
  EXPECT_EQ(text, "pw");

  // Mode 1: into the caller's buffer, with its size.
  const std::string password = tkcipher::encrypt("s3cret");
  char buffer[4104];
  std::memset(buffer, 'x', sizeof buffer);
  int size = sizeof buffer;
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, password.data(), static_cast<int>(password.size()), 1, text,
                                         nullptr, &size, buffer),
            1);
  EXPECT_STREQ(buffer, "s3cret");
  EXPECT_EQ(size, 6);

  // Failures: not encrypted, too small a buffer, no buffer, unknown mode, no value.
  const std::string garbage = "plain text";
  const struct {
    const char* name;
    const std::string* value;
    int mode;
    int size;
    bool withBuffer;
  } failures[] = {{"not encrypted", &garbage, 1, 4104, true},
                  {"buffer too small", &password, 1, 4, true},
                  {"no buffer", &password, 1, 0, false},
                  {"unknown mode", &password, 9, 0, false},
                  {"no value", nullptr, 3, 0, false}};
  for (const auto& f : failures) {
    SCOPED_TRACE(f.name);
    int fsize = f.size;
    EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, f.value ? f.value->data() : nullptr,
                                           f.value ? static_cast<int>(f.value->size()) : 5, f.mode, text, nullptr,
                                           f.withBuffer ? &fsize : nullptr, f.withBuffer ? buffer : nullptr),
              0);
  }
  testkit::external::journal().injectFailure("decryptAndPrepForStorage", -1, "");
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, user.data(), static_cast<int>(user.size()), 3, text, nullptr,
                                         nullptr, nullptr),
            0);
}

TEST(Adapters, CloudAuthHelperReleasesWhatItOwns) {
  struct CountingClient : ZQLibCurl {
    explicit CountingClient(int* released) : released(released) {}
    ~CountingClient() override { ++*released; }
    int* released;
  };
  struct TestAuth : ZQCloudAuthLib {
    using ZQCloudAuthLib::ZQCloudAuthLib;
    int authenticate() override { return 0; }
  };
  int released = 0;
  { TestAuth auth(new CountingClient(&released), new ZQCloudAuth::BaseParams{"key", "value"}); }
  EXPECT_EQ(released, 1);
  { TestAuth empty; }
}

TEST(CWySocketInlines, DescriptorMinusOneIsNoneAndZeroIsValid) {
  EXPECT_FALSE(CWySocket().IsValid());
  EXPECT_EQ(static_cast<int>(CWySocket().GetSocketDescriptor()), -1);
  EXPECT_FALSE(CWySocket(-1).IsValid());
  EXPECT_TRUE(CWySocket(0).IsValid());
  EXPECT_TRUE(CWySocket(5) != CWySocket());
  EXPECT_FALSE(CWySocket(5) != CWySocket(5));
}

}  // namespace
