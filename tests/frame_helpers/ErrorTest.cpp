// The error object, the code location and the error library.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "frame/CWyError.h"
#include "frame/FXCodeLocation.h"
#include "platform/errors/FXErrorUtil.h"
#include "platform/testkit/errors.h"

namespace {

TEST(CWyError, SuccessAndSignRuleAndTheLibrarysErrorsAreNegative) {
  EXPECT_FALSE(CWyError().IsError());
  EXPECT_FALSE(CWyError::Success().IsError());
  EXPECT_EQ(CWyError::Success().GetErrorCode(), 0);
  EXPECT_EQ(CWyError::Success().GetDetails(), nullptr);
  EXPECT_TRUE(CWyError(-1, nullptr).IsError());
  EXPECT_FALSE(CWyError(5, nullptr).IsError());  // only a negative code is an error
  EXPECT_EQ(CWyError::Success().AsString(), "Success");

  // Errors of the library are always negative.
  FXCodeLocation here("ErrorTest.cpp", "void test()", 42);
  const struct {
    int given;
    int code;
  } cases[] = {{-7, -7}, {0, -1}, {12, -12}, {-1, -1}};
  for (const auto& c : cases) {
    CWyError e = FXErrorUtil::ErrorInt(here, c.given, "failed with %d", c.given);
    EXPECT_TRUE(e.IsError()) << c.given;
    EXPECT_EQ(e.GetErrorCode(), c.code) << c.given;
    EXPECT_EQ(testkit::errors::details(e)->givenCode, c.given);
  }
  CWyError noent = FXErrorUtil::ErrorErrNo(here, ENOENT);
  EXPECT_EQ(noent.GetErrorCode(), -ENOENT);
  EXPECT_TRUE(FXErrorUtil::IsErrNo(noent, ENOENT));
  EXPECT_FALSE(FXErrorUtil::IsErrNo(noent, EACCES));
  EXPECT_FALSE(FXErrorUtil::IsErrNo(CWyError::Success(), 0));
  EXPECT_FALSE(FXErrorUtil::IsErrNo(FXErrorUtil::ErrorInt(here, ENOENT, "%s", "not an errno"), ENOENT));
  EXPECT_EQ(testkit::errors::details(noent)->text, std::strerror(ENOENT));
}

TEST(CWyError, DetailsKeepTheLocationAndTheTextAsGiven) {
  CWyError e = FXErrorUtil::ErrorInt(FXCodeLocation("src/net.cpp", "int Net::attach(const char*)", 77), -3,
                                     "attach to [%s] failed", "host%d%n");
  const FXErrorPrivate* d = testkit::errors::details(e);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->text, "attach to [host%d%n] failed");  // the argument is not a format
  EXPECT_EQ(d->file, "src/net.cpp");
  EXPECT_EQ(d->function, "int Net::attach(const char*)");
  EXPECT_EQ(d->line, 77);
  EXPECT_EQ(e.AsString(), "Error [-3]: attach to [host%d%n] failed (src/net.cpp:77)");
}

TEST(CWyError, CopiesShareTheDetails) {
  CWyError target;
  {
    CWyError source = FXErrorUtil::ErrorInt(FX_CODE_LOCATION, -9, "%s", "shared");
    CWyError copy(source);
    EXPECT_EQ(copy.GetDetails(), source.GetDetails());
    EXPECT_EQ(source.DetailsUseCount(), 2);
    target = source;
    EXPECT_EQ(target.GetErrorCode(), -9);
    EXPECT_EQ(target.GetDetails(), source.GetDetails());
    EXPECT_EQ(source.DetailsUseCount(), 3);
  }
  // The source and its copy are gone; the target's details live on.
  EXPECT_EQ(target.DetailsUseCount(), 1);
  EXPECT_EQ(testkit::errors::details(target)->text, "shared");

  target = CWyError::Success();  // releases them
  EXPECT_EQ(target.GetDetails(), nullptr);
  EXPECT_FALSE(target.IsError());
}

TEST(CWyError, CopiesMayCrossThreads) {
  CWyError source = FXErrorUtil::ErrorInt(FX_CODE_LOCATION, -2, "%s", "threads");
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([source] {
      for (int j = 0; j < 1000; ++j) {
        CWyError local = source;
        CWyError other;
        other = local;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(source.DetailsUseCount(), 1);
}

}  // namespace
