// The deletions of the storage-library request on the installation of the
// storage-library tests, with the job, client and audit stand-ins cleared
// before each test.
#pragma once

#include "platform/testkit/audit.h"
#include "platform/testkit/client.h"
#include "platform/testkit/jobs.h"
#include "tests/ezconfig_storagelib/StorageLibFixture.h"

namespace storagelibtest {

class DeletionTest : public StorageLibTest {
 protected:
  void SetUp() override {
    StorageLibTest::SetUp();
    testkit::jobs::reset();
    testkit::client::reset();
    testkit::audit::reset();
  }
  void TearDown() override {
    testkit::jobs::reset();
    StorageLibTest::TearDown();
  }
};

}  // namespace storagelibtest
