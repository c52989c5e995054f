// Each mount-path request loads a model of its own. Its objects take object
// handles only when one is asked for, so requests keep working however many
// have run before: a long run of them no longer uses the handles up and
// then answers "No object handle is left." for every request until the host
// restarts.
#include <gtest/gtest.h>

#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "platform/testkit/mac.h"
#include "tests/ezconfig_mountpaths/MountPathFixture.h"

namespace mountpathtest {
namespace {

using HandleRange = MountPathTest;

Fields add(const std::string& path, const std::string& name) {
  return {{43, 4}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {24, path}, {60, name}};
}

TEST_F(HandleRange, MountPathsAreAddedWithTheHandlesUsedUp) {
  testkit::mac::ScopedHandleCounter counter(0);  // none left
  for (const char* name : {"first", "second", "third"}) {
    SCOPED_TRACE(name);
    const Answer a = call(add(std::string("/mnt/") + name, name));
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathName = ?", {std::string(name)}), 1);
  }
}

TEST_F(HandleRange, ALongRunOfRequestsTakesNoHandlePerObject) {
  ASSERT_TRUE(call(add("/mnt/warm", "warm")).success);
  const uint32_t before = tkmac::peekNextHandle();
  constexpr int kRequests = 20;
  for (int i = 0; i < kRequests; ++i) {
    const std::string name = "mp" + std::to_string(i);
    ASSERT_TRUE(call(add("/mnt/" + name, name)).success) << name;
  }
  // Each request's model holds every object of the installation; at most
  // the library it names is asked for a handle.
  EXPECT_LE(tkmac::peekNextHandle() - before, static_cast<uint32_t>(kRequests));
}

}  // namespace
}  // namespace mountpathtest
