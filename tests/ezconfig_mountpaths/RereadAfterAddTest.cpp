// Each mount-path request works on a model of its own, loaded at its start:
// after an add, the next request's load reads only the rows the add made,
// and its model is the one a load of every row gives.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/testkit/mmdb.h"
#include "tests/ezconfig_mountpaths/MountPathFixture.h"
#include "tests/support/ModelDump.h"

namespace mountpathtest {
namespace {

using RereadAfterAdd = MountPathTest;

Fields add(const std::string& path, const std::string& name) {
  return {{43, 4}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {24, path}, {60, name}};
}

std::string loaded() {
  auto config = std::make_unique<ZQMACMediaConfig>();
  EXPECT_TRUE(config->Initialize("site-a"));
  EXPECT_TRUE(config->ReadCurrentConfig(false)) << config->GetLastError();
  return tktest::ModelDump::of(*config);
}

TEST_F(RereadAfterAdd, TheNextLoadReadsOnlyTheAddedRowsAndEqualsAFullReload) {
  const Answer first = call(add("/mnt/first", "first"));
  ASSERT_TRUE(first.success) << first.xml;
  testkit::mmdb::reset();
  const Answer second = call(add("/mnt/second", "second"));
  ASSERT_TRUE(second.success) << second.xml;
  const auto reads = testkit::mmdb::calls("MMMediaConfigDB::loadCurrent.read");
  ASSERT_FALSE(reads.empty());
  // The first add's mount path, device and device controller.
  EXPECT_EQ(reads.front().args.at(0), "part");
  EXPECT_EQ(reads.front().args.at(1), "3");

  const std::string kept = loaded();
  testkit::mmdb::forgetConfigurationReads();
  EXPECT_EQ(kept, loaded());
  EXPECT_NE(kept.find("/mnt/second"), std::string::npos);
}

}  // namespace
}  // namespace mountpathtest
