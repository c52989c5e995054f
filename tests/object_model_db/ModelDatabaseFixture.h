// The object model over a temporary central database holding the
// demonstration installation (ids as the seeding gives them):
//   media agents ma1 (client 1) and ma2 (client 2)
//   tape library TapeLib1 (library 1): controller 1 on ma1, master pool 1,
//     drive pools 1 (ma1) and 2 (ma2), drives 1 and 2, drive paths 1 to 4
//     (drive 1 via ma1, via ma2; drive 2 via ma1, via ma2)
//   disk library DiskLib1 (library 2, master pool 2): mount paths 1 and 2 on
//     devices 1 and 2, reached by ma1 and ma2 (device controllers 1 and 2)
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/mmdb.h"
#include "tests/support/TestDatabase.h"

namespace modeldb {

inline constexpr int kDemoObjects = 20;

class ModelDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::mac::reset();
    std::string report;
    ASSERT_EQ(tkmac::seedDemoInstallation(report), kDemoObjects) << report;
  }
  void TearDown() override {
    testkit::mmdb::stop();
    testkit::mac::reset();
  }

  // A new instance (another session) loaded from the database.
  static std::unique_ptr<ZQMACMediaConfig> load() {
    auto config = std::make_unique<ZQMACMediaConfig>();
    EXPECT_TRUE(config->Initialize("cs01.example.net"));
    EXPECT_TRUE(config->ReadCurrentConfig(false)) << config->GetLastError();
    return config;
  }

  template <class T>
  static std::vector<T*> elements(ZQMACLinkedList<T> list) {
    std::vector<T*> out;
    for (T* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) out.push_back(e);
    return out;
  }

  static ZQMACLms* tapeLibrary(ZQMACMediaConfig& config) {
    auto list = elements(config.GetLmsList());
    return list.empty() ? nullptr : list.front();
  }
  static ZQMACMagLib* diskLibrary(ZQMACMediaConfig& config) {
    auto list = elements(config.GetMagLibList());
    return list.empty() ? nullptr : list.front();
  }
  static ZQMACDrive* drive(ZQMACMediaConfig& config, int id) {
    ZQMACLms* lms = tapeLibrary(config);
    if (lms == nullptr) return nullptr;
    for (ZQMACDrive* d : elements(lms->GetDriveList()))
      if (static_cast<int>(d->GetId()) == id) return d;
    return nullptr;
  }

  // Every object any list or link of the graph reaches; each is checked to
  // be a live object of the instance (a freed one would be caught here).
  static std::vector<ZQMACInterface*> reachable(ZQMACMediaConfig& config) {
    std::vector<ZQMACInterface*> out;
    auto see = [&](ZQMACInterface* object) {
      if (object == nullptr) return;
      EXPECT_TRUE(config.OwnsObject(object)) << "a list or link holds an object the instance no longer has";
      out.push_back(object);
    };
    for (ZQMACMediaAgent* a : elements(config.GetMediaAgentList())) {
      see(a);
      for (ZQMACLibController* c : elements(a->GetLibControllerList())) see(c);
      for (ZQMACDms* p : elements(a->GetDmsList())) see(p);
    }
    for (ZQMACLms* l : elements(config.GetLmsList())) {
      see(l);
      see(l->GetLibrary());
      see(l->GetLibControllerNode());
      for (ZQMACLibController* c : elements(l->GetLibControllerList())) {
        see(c);
        see(c->GetMediaAgent());
      }
      for (ZQMACMasterDrivePool* m : elements(l->GetMasterDrivePoolList())) {
        see(m);
        for (ZQMACDrivePool* p : elements(m->GetDrivePoolList())) see(p);
      }
      for (ZQMACDrivePool* p : elements(l->GetDrivePoolList())) {
        see(p);
        see(p->GetMediaAgent());
        for (ZQMACDms* d : elements(p->GetDmsList())) see(d);
      }
      for (ZQMACDrive* d : elements(l->GetDriveList())) {
        see(d);
        for (ZQMACDms* p : elements(d->GetDmsList())) {
          see(p);
          see(p->GetDrivePool());
          see(p->GetMediaAgent());
        }
      }
      for (ZQMACDms* p : elements(l->GetDmsList())) see(p);
    }
    for (ZQMACMagLib* m : elements(config.GetMagLibList())) {
      see(m);
      see(m->GetMediaAgent());
      for (ZQMACMountPath* p : elements(m->GetMountPathList())) {
        see(p);
        see(p->GetMediaAgent());
      }
    }
    for (ZQMACDiskDevice* d : elements(config.GetDiskDeviceList())) {
      see(d);
      for (ZQMACDiskVolume* v : elements(d->GetVolumeList())) {
        see(v);
        see(v->GetMediaAgent());
      }
    }
    // The instance's own lists of objects that no row lays in place, and
    // its maps by id: each holds only objects of the graph.
    for (ZQMACIPLibController* c : elements(config.GetIPLibControllerList())) see(c);
    for (ZQMACCopyMgrDevice* d : elements(config.GetCopyMgrDeviceList())) see(d);
    for (ZQMACCopyMgrController* c : elements(config.GetCopyMgrControllerList())) see(c);
    for (ZQMACHost* h : elements(config.GetDRUHostList())) see(h);
    for (ZQMACCenteraCluster* c : elements(config.GetCenteraClusterList())) see(c);
    for (ZQMACNode* n : elements(config.GetCostCategoryList())) see(n);
    for (ZQMACMediaAgent* a : elements(config.GetMediaAgentList()))
      EXPECT_EQ(config.FindDBNode<ZQMACMediaAgent>(static_cast<int>(a->GetId())), a);
    for (ZQMACDiskDevice* d : elements(config.GetDiskDeviceList()))
      EXPECT_EQ(config.FindDBNode<ZQMACDiskDevice>(static_cast<int>(d->GetId())), d);
    return out;
  }

  tktest::TestDatabase db;
};

}  // namespace modeldb
