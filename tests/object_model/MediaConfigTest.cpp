// The configuration instance: ownership, handles, lookups by handle and by
// database id, deletion through every base part, set-up and loading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/testkit/mac.h"

namespace {

using testkit::mac::World;

class MediaConfig : public ::testing::Test {
 protected:
  void SetUp() override { testkit::mac::reset(); }
  void TearDown() override { testkit::mac::reset(); }

  template <class T>
  static std::vector<T*> elements(ZQMACLinkedList<T> list) {
    std::vector<T*> out;
    for (T* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) out.push_back(e);
    return out;
  }

  ZQMACMediaConfig config;
};

// ---------------------------------------------------------------- handles

TEST_F(MediaConfig, HandlesAreUniqueNonZeroAndBelowTwoToThe32) {
  World w = testkit::mac::seedWorld(config);
  std::set<unsigned long long> handles;
  for (ZQMACInterface* object : std::vector<ZQMACInterface*>{
           w.agent1, w.agent2, w.lms, w.library, w.controller1, w.controller2, w.pool1, w.pool2, w.master, w.drive1,
           w.drive2, w.dms11, w.dms12, w.dms21, w.dms22, w.diskLibrary, w.mountPath1, w.mountPath2, w.diskDevice,
           w.volume1, w.volume2, w.cluster, w.host, w.copyDevice, w.copyController, w.costCategory}) {
    const unsigned long long handle = object->GetHandle();
    EXPECT_NE(handle, 0u);
    EXPECT_LT(handle, 1ull << 32);
    EXPECT_EQ(config.GetHandle(object), handle);
    EXPECT_EQ(config.FindObject(handle), object);
    EXPECT_TRUE(handles.insert(handle).second) << "handle " << handle << " given twice";
  }
  EXPECT_EQ(config.GetObjectCount(), handles.size() + 1) << "plus the library's controller group node";
}

TEST_F(MediaConfig, HandlesAreNeverReused) {
  std::set<unsigned long long> seen;
  for (int round = 0; round < 20; ++round) {
    ZQMACMediaConfig other;
    World w = testkit::mac::seedWorld(other);
    for (int i = 0; i < 5; ++i) {
      ZQMACMediaAgent* agent = ZQMACGraph::AddMediaAgent(config, 100 + i, "tmp", "tmp");
      EXPECT_TRUE(seen.insert(agent->GetHandle()).second);
      EXPECT_TRUE(config.DeleteObject(agent));
    }
    EXPECT_TRUE(seen.insert(w.drive1->GetHandle()).second);
  }
}

// Many objects deleted in an arbitrary order: the rest keep resolving by
// handle, the deleted never again, and the count follows, also once most of
// the instance's objects are gone.
TEST_F(MediaConfig, HandlesResolveExactlyThroughManyDeletions) {
  std::vector<ZQMACNode*> nodes;
  for (int i = 0; i < 500; ++i) nodes.push_back(ZQMACGraph::AddCostCategory(config, i, "cost" + std::to_string(i)));
  std::vector<unsigned long long> handles;
  for (ZQMACNode* node : nodes) handles.push_back(node->GetHandle());
  std::vector<bool> alive(nodes.size(), true);
  std::size_t count = nodes.size();
  for (int pass : {7, 3, 2}) {
    for (size_t i = 0; i < nodes.size(); ++i) {
      if (!alive[i] || i % static_cast<size_t>(pass) != 0) continue;
      ASSERT_TRUE(config.DeleteObject(nodes[i]));
      alive[i] = false;
      --count;
    }
    EXPECT_EQ(config.GetObjectCount(), count);
    for (size_t i = 0; i < nodes.size(); ++i)
      EXPECT_EQ(config.FindObject(handles[i]), alive[i] ? nodes[i] : nullptr) << i;
  }
  ZQMACNode* late = ZQMACGraph::AddCostCategory(config, 1000, "late");
  EXPECT_GT(late->GetHandle(), handles.back());
  EXPECT_EQ(config.FindObject(late->GetHandle()), late);
  EXPECT_EQ(config.GetObjectCount(), count + 1);
}

TEST_F(MediaConfig, FindObjectRefusesZeroWideAndForeignHandles) {
  World w = testkit::mac::seedWorld(config);
  const unsigned long long handle = w.drive1->GetHandle();
  EXPECT_EQ(config.FindObject(0), nullptr);
  EXPECT_EQ(config.FindObject(handle | (1ull << 32)), nullptr) << "upper bits are not ignored";
  EXPECT_EQ(config.FindObject(~0ull), nullptr);
  // A value that happens to be an object's address is not a handle.
  EXPECT_EQ(config.FindObject(reinterpret_cast<uintptr_t>(w.drive1)), nullptr);

  ZQMACMediaConfig other;
  World o = testkit::mac::seedWorld(other);
  EXPECT_EQ(config.FindObject(o.drive1->GetHandle()), nullptr) << "another instance's handle";
  EXPECT_EQ(other.FindObject(handle), nullptr);
  EXPECT_EQ(config.GetHandle(o.drive1), 0u);
}

TEST_F(MediaConfig, FindObjectRefusesTheWrongType) {
  World w = testkit::mac::seedWorld(config);
  const unsigned long long lms = w.lms->GetHandle();
  EXPECT_EQ(config.FindObject(lms, ZQMAC_OBJ_LMS), w.lms);
  EXPECT_EQ(config.FindObject(lms, ZQMAC_OBJ_MAGLIB), nullptr);
  EXPECT_EQ(config.FindObject<ZQMACLms>(lms), w.lms);
  EXPECT_EQ(config.FindObject<ZQMACMagLib>(lms), nullptr);
  EXPECT_EQ(config.FindObject<ZQMACDrive>(w.dms11->GetHandle()), nullptr);
  EXPECT_EQ(config.FindObject<ZQMACDms>(w.dms11->GetHandle()), w.dms11);
  EXPECT_EQ(config.FindObject<ZQMACLibController>(w.controller2->GetHandle()), w.controller2);
  EXPECT_EQ(config.FindObject<ZQMACScsiUnit>(w.controller2->GetHandle()),
            static_cast<ZQMACScsiUnit*>(w.controller2));
  for (const auto& [object, type] : std::vector<std::pair<ZQMACInterface*, unsigned>>{
           {w.drive2, ZQMAC_OBJ_DRIVE}, {w.diskLibrary, ZQMAC_OBJ_MAGLIB}, {w.mountPath1, ZQMAC_OBJ_MOUNT_PATH},
           {w.pool1, ZQMAC_OBJ_DRIVE_POOL}, {w.master, ZQMAC_OBJ_MASTER_DRIVE_POOL}, {w.diskDevice, ZQMAC_OBJ_DISK_DEVICE}})
    EXPECT_EQ(config.FindObject(object->GetHandle(), type), object) << type;
}

TEST_F(MediaConfig, TheTopOfTheHandleRangeIsNeverCrossed) {
  testkit::mac::ScopedHandleCounter counter(0xFFFFFFFEu);
  ZQMACMediaAgent* a = ZQMACGraph::AddMediaAgent(config, 1, "a", "a");
  ZQMACMediaAgent* b = ZQMACGraph::AddMediaAgent(config, 2, "b", "b");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->GetHandle(), 0xFFFFFFFEu);
  EXPECT_EQ(b->GetHandle(), 0xFFFFFFFFu);
  EXPECT_EQ(config.FindObject(0xFFFFFFFFull), b);

  // No handle is left: the object is refused, never given 0 or a used handle.
  auto* c = new ZQMACMediaAgent();
  EXPECT_EQ(config.AdoptObject(c), 0u);
  EXPECT_NE(config.GetLastErrorCode(), 0u);
  EXPECT_FALSE(config.OwnsObject(c));
  delete c;
  // An object the graph makes takes its handle only when asked: it is
  // made, and answers 0 while none is left.
  ZQMACMediaAgent* d = ZQMACGraph::AddMediaAgent(config, 3, "d", "d");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetHandle(), 0u);
  EXPECT_EQ(config.FindObject(0), nullptr);
  EXPECT_EQ(config.GetObjectCount(), 3u);
}

TEST_F(MediaConfig, AdoptionRules) {
  EXPECT_EQ(config.AdoptObject(nullptr), 0u);
  auto* drive = new ZQMACDrive();
  const unsigned long long handle = config.AdoptObject(drive);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(config.AdoptObject(drive), handle) << "adopting twice keeps the handle";
  EXPECT_EQ(drive->GetOwner(), &config);

  ZQMACMediaConfig other;
  EXPECT_EQ(other.AdoptObject(drive), 0u) << "an object has one owner";
  EXPECT_FALSE(other.DeleteObject(drive));
  EXPECT_TRUE(config.OwnsObject(drive));

  // A copy made on the stack belongs to no instance.
  ZQMACDrive copy(*drive);
  EXPECT_EQ(copy.GetOwner(), nullptr);
  EXPECT_EQ(copy.GetHandle(), 0u);
  EXPECT_FALSE(config.OwnsObject(&copy));
}

// ---------------------------------------------------------------- deletion

TEST_F(MediaConfig, DeletedObjectStopsResolvingAndIsUnlinkedEverywhere) {
  World w = testkit::mac::seedWorld(config);
  const unsigned long long agentHandle = w.agent2->GetHandle();
  const std::size_t before = config.GetObjectCount();

  ASSERT_TRUE(config.DeleteObject(w.agent2));
  EXPECT_EQ(config.FindObject(agentHandle), nullptr);
  EXPECT_EQ(config.GetObjectCount(), before - 1);
  EXPECT_EQ(elements(config.GetMediaAgentList()), std::vector<ZQMACMediaAgent*>{w.agent1});
  EXPECT_EQ(config.FindDBNode(3, static_cast<ZQMACMediaAgent*>(nullptr)), nullptr);
  EXPECT_EQ(config.GetNodeMap(static_cast<ZQMACMediaAgent*>(nullptr)).count(3), 0u);
  EXPECT_EQ(config.FindDBNode("ma2"), nullptr);
  // Every reference to it is gone.
  EXPECT_EQ(w.controller2->GetMediaAgent(), nullptr);
  EXPECT_EQ(w.pool2->GetMediaAgent(), nullptr);
  EXPECT_EQ(w.dms12->GetMediaAgent(), nullptr);
  EXPECT_EQ(w.dms22->GetMediaAgent(), nullptr);
  EXPECT_EQ(w.mountPath2->GetMediaAgent(), nullptr);
  EXPECT_EQ(w.volume2->GetMediaAgent(), nullptr);
  // The rest of the graph is intact.
  EXPECT_EQ(w.controller1->GetMediaAgent(), w.agent1);
  EXPECT_EQ(elements(w.agent1->GetDmsList()), (std::vector<ZQMACDms*>{w.dms11, w.dms21}));
  EXPECT_FALSE(config.DeleteObject(nullptr));
}

TEST_F(MediaConfig, RemoveAllNodesWithDeletionUnlinksOwnedElements) {
  World w = testkit::mac::seedWorld(config);
  const unsigned long long h1 = w.agent1->GetHandle();
  const unsigned long long h2 = w.agent2->GetHandle();
  ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetMediaAgentList();
  agents.RemoveAllNodes(true, true);
  EXPECT_EQ(agents.GetListCount(), 0);
  EXPECT_EQ(config.FindObject(h1), nullptr);
  EXPECT_EQ(config.FindObject(h2), nullptr);
  EXPECT_EQ(config.GetMediaAgentList().GetListCount(), 0);
  EXPECT_EQ(config.GetMediaAgentList().FindNode("ma1"), nullptr);
  EXPECT_EQ(w.dms11->GetMediaAgent(), nullptr);
  EXPECT_EQ(w.pool1->GetMediaAgent(), nullptr);
  EXPECT_EQ(w.copyController->GetMediaAgent(), nullptr);
}

TEST_F(MediaConfig, DeletingADriveUnlinksItFromItsLibraryAndPaths) {
  World w = testkit::mac::seedWorld(config);
  ASSERT_TRUE(config.DeleteObject(w.drive1));
  EXPECT_EQ(elements(w.lms->GetDriveList()), std::vector<ZQMACDrive*>{w.drive2});
  EXPECT_EQ(w.dms11->GetDrive(), nullptr);
  EXPECT_EQ(w.dms12->GetDrive(), nullptr);
  EXPECT_EQ(w.dms21->GetDrive(), w.drive2);

  // Deleting a drive path through the handle a console sent.
  ZQMACInterface* found = config.FindObject(w.dms21->GetHandle());
  ASSERT_EQ(found, w.dms21);
  delete found;  // the way a handler removes an object
  EXPECT_EQ(elements(w.drive2->GetDmsList()), std::vector<ZQMACDms*>{w.dms22});
  EXPECT_EQ(elements(w.pool1->GetDmsList()), std::vector<ZQMACDms*>{w.dms11});
  EXPECT_EQ(elements(w.agent1->GetDmsList()), std::vector<ZQMACDms*>{w.dms11});
  EXPECT_EQ(elements(w.lms->GetDmsList()), (std::vector<ZQMACDms*>{w.dms11, w.dms12, w.dms22}));
}

TEST_F(MediaConfig, DeletingALibraryLeavesItsPartsOwnedButDetached) {
  World w = testkit::mac::seedWorld(config);
  ASSERT_TRUE(config.DeleteObject(w.lms));
  EXPECT_TRUE(elements(config.GetLmsList()).empty());
  EXPECT_EQ(w.library->GetLms(), nullptr);
  EXPECT_EQ(w.controller1->GetLibrary(), nullptr);
  EXPECT_EQ(w.drive1->GetLms(), nullptr);
  EXPECT_EQ(w.dms11->GetLms(), nullptr);
  EXPECT_EQ(w.pool1->GetLms(), nullptr);
  EXPECT_TRUE(config.OwnsObject(w.library));
}

TEST_F(MediaConfig, DeletingMountPathsDevicesAndClustersClearsTheIdMaps) {
  World w = testkit::mac::seedWorld(config);
  ASSERT_EQ(config.FindDBNode<ZQMACMountPath>(21), w.mountPath1);
  ASSERT_TRUE(config.DeleteObject(w.mountPath1));
  EXPECT_EQ(config.FindDBNode<ZQMACMountPath>(21), nullptr);
  EXPECT_EQ(elements(w.diskLibrary->GetMountPathList()), std::vector<ZQMACMountPath*>{w.mountPath2});

  ASSERT_TRUE(config.DeleteObject(w.volume1));
  EXPECT_EQ(elements(w.diskDevice->GetVolumeList()), std::vector<ZQMACDiskVolume*>{w.volume2});
  ASSERT_TRUE(config.DeleteObject(w.diskDevice));
  EXPECT_EQ(config.FindDBNode<ZQMACDiskDevice>(31), nullptr);
  EXPECT_EQ(w.volume2->GetDiskDevice(), nullptr);
  EXPECT_TRUE(elements(config.GetDiskDeviceList()).empty());

  ASSERT_TRUE(config.DeleteObject(w.cluster));
  EXPECT_EQ(config.FindDBNode<ZQMACCenteraCluster>(41), nullptr);
  ASSERT_TRUE(config.DeleteObject(w.host));
  EXPECT_EQ(config.FindDBNode<ZQMACHost>(42), nullptr);
  ASSERT_TRUE(config.DeleteObject(w.copyDevice));
  EXPECT_EQ(w.copyController->GetCopyMgrDevice(), nullptr);
}

// Every address an object of the instance holds: its pointers and the
// elements of its lists, as the getters give them; and those of the
// instance's own lists and id maps.
template <class T>
void addAll(std::vector<const void*>& out, ZQMACLinkedList<T> list) {
  for (T* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) out.push_back(e);
}

std::vector<const void*> heldBy(ZQMACInterface* object) {
  std::vector<const void*> out{object->GetLms()};
  if (auto* o = dynamic_cast<ZQMACScsiUnit*>(object)) out.push_back(o->GetMediaAgent());
  if (auto* o = dynamic_cast<ZQMACMediaAgent*>(object)) {
    addAll(out, o->GetLibControllerList());
    addAll(out, o->GetDmsList());
    addAll(out, o->GetCopyMgrControllerList());
  }
  if (auto* o = dynamic_cast<ZQMACLms*>(object)) {
    out.insert(out.end(), {o->GetLibrary(), o->GetLibControllerNode()});
    addAll(out, o->GetLibControllerList());
    addAll(out, o->GetDrivePoolList());
    addAll(out, o->GetMasterDrivePoolList());
    addAll(out, o->GetDriveList());
    addAll(out, o->GetDmsList());
  }
  if (auto* o = dynamic_cast<ZQMACDrivePool*>(object)) {
    out.insert(out.end(), {o->GetMediaAgent(), o->GetMasterDrivePool()});
    addAll(out, o->GetDmsList());
  }
  if (auto* o = dynamic_cast<ZQMACMasterDrivePool*>(object)) addAll(out, o->GetDrivePoolList());
  if (auto* o = dynamic_cast<ZQMACDrive*>(object)) addAll(out, o->GetDmsList());
  if (auto* o = dynamic_cast<ZQMACDms*>(object)) out.insert(out.end(), {o->GetDrivePool(), o->GetDrive()});
  if (auto* o = dynamic_cast<ZQMACMountPath*>(object)) out.insert(out.end(), {o->GetMagLib(), o->GetMediaAgent()});
  if (auto* o = dynamic_cast<ZQMACMagLib*>(object)) {
    out.push_back(o->GetMediaAgent());
    addAll(out, o->GetMountPathList());
  }
  if (auto* o = dynamic_cast<ZQMACDiskDevice*>(object)) addAll(out, o->GetVolumeList());
  if (auto* o = dynamic_cast<ZQMACDiskVolume*>(object)) out.insert(out.end(), {o->GetMediaAgent(), o->GetDiskDevice()});
  if (auto* o = dynamic_cast<ZQMACCopyMgrController*>(object))
    out.insert(out.end(), {o->GetMediaAgent(), o->GetCopyMgrDevice()});
  return out;
}

std::vector<const void*> heldByInstance(ZQMACMediaConfig& config, const std::vector<int>& ids) {
  std::vector<const void*> out;
  addAll(out, config.GetMediaAgentList());
  addAll(out, config.GetLmsList());
  addAll(out, config.GetMagLibList());
  addAll(out, config.GetDiskDeviceList());
  addAll(out, config.GetCenteraClusterList());
  addAll(out, config.GetHostList());
  addAll(out, config.GetCopyMgrDeviceList());
  addAll(out, config.GetCopyMgrControllerList());
  addAll(out, config.GetIPLibControllerList());
  addAll(out, config.GetCostCategoryList());
  for (int id : ids) {
    out.insert(out.end(), {config.FindDBNode<ZQMACMediaAgent>(id), config.FindDBNode<ZQMACMountPath>(id),
                           config.FindDBNode<ZQMACDiskDevice>(id), config.FindDBNode<ZQMACCenteraCluster>(id),
                           config.FindDBNode<ZQMACHost>(id)});
  }
  return out;
}

std::vector<ZQMACInterface*> everyObject(const World& w) {
  return {w.agent1,  w.agent2,      w.lms,        w.library,        w.controller1, w.controller2, w.pool1,
          w.pool2,   w.master,      w.drive1,     w.drive2,         w.dms11,       w.dms12,       w.dms21,
          w.dms22,   w.diskLibrary, w.mountPath1, w.mountPath2,     w.diskDevice,  w.volume1,     w.volume2,
          w.cluster, w.host,        w.copyDevice, w.copyController, w.costCategory};
}

// Loose objects of the kinds that hold others, many of each, taken by the
// instance before its world: freed after it, they leave the instance's
// objects behind holes that it closes, and its lists of each type's places
// pruned.
std::vector<ZQMACInterface*> fillerBefore(ZQMACMediaConfig& instance) {
  std::vector<ZQMACInterface*> made;
  for (int i = 0; i < 100; ++i)
    for (ZQMACInterface* object : std::vector<ZQMACInterface*>{
             new ZQMACMountPath(), new ZQMACDiskVolume(), new ZQMACDiskDevice(), new ZQMACMagLib(), new ZQMACDms(),
             new ZQMACDrive(), new ZQMACDrivePool(), new ZQMACMasterDrivePool()}) {
      EXPECT_NE(instance.AdoptObject(object), 0u);
      made.push_back(object);
    }
  return made;
}

TEST_F(MediaConfig, AnObjectOfAnyTypeDeletedLeavesNoReferenceToItAndEveryOtherReferenceIntact) {
  const std::size_t count = everyObject(testkit::mac::seedWorld(config)).size();
  // Each object once in a fresh instance, then once more behind holes.
  for (std::size_t row = 0; row < 2 * count; ++row) {
    const bool afterHoles = row >= count;
    ZQMACMediaConfig instance;
    const std::vector<ZQMACInterface*> filler = afterHoles ? fillerBefore(instance) : std::vector<ZQMACInterface*>{};
    const std::vector<ZQMACInterface*> objects = everyObject(testkit::mac::seedWorld(instance));
    for (ZQMACInterface* object : filler) delete object;
    ZQMACInterface* gone = objects[row % count];
    SCOPED_TRACE(gone->GetName() + (afterHoles ? " (after holes)" : ""));
    std::vector<unsigned long long> handles;
    std::vector<int> ids;
    for (ZQMACInterface* object : objects) {
      if (object != gone) handles.push_back(object->GetHandle());
      ids.push_back(static_cast<int>(object->GetId()));
    }
    // The references held, null pointers left out.
    const auto everyReference = [&] {
      std::vector<const void*> out = heldByInstance(instance, ids);
      for (unsigned long long handle : handles) {
        ZQMACInterface* survivor = instance.FindObject(handle);
        EXPECT_NE(survivor, nullptr);
        if (survivor == nullptr) continue;
        const std::vector<const void*> held = heldBy(survivor);
        out.insert(out.end(), held.begin(), held.end());
      }
      out.erase(std::remove(out.begin(), out.end(), nullptr), out.end());
      return out;
    };
    std::vector<const void*> before = everyReference();
    const void* address = gone;
    delete gone;  // the way a handler removes an object

    const std::vector<const void*> after = everyReference();
    EXPECT_EQ(std::count(after.begin(), after.end(), address), 0);
    before.erase(std::remove(before.begin(), before.end(), address), before.end());
    EXPECT_EQ(after, before);  // only the references to it went
  }
}

// Objects deleted through each of their base parts are unlinked all the same.
enum class Via { Self, Middle, Interface, ScsiUnit, Base };

class DeletionThroughBasePart : public MediaConfig, public ::testing::WithParamInterface<Via> {
 protected:
  // Deletes `object` through the base part of the test's parameter; `Middle`
  // is the class between the object's own and the common interface.
  template <class Middle, class T>
  void destroy(T* object) {
    switch (GetParam()) {
      case Via::Self: delete object; break;
      case Via::Middle: delete static_cast<Middle*>(object); break;
      case Via::Interface: delete static_cast<ZQMACInterface*>(object); break;
      case Via::ScsiUnit: delete static_cast<ZQMACScsiUnit*>(object); break;
      case Via::Base: delete static_cast<ZQMACBase*>(object); break;
    }
  }
};

TEST_P(DeletionThroughBasePart, NdmpControllerAndDrivePath) {
  World w = testkit::mac::seedWorld(config);
  auto* controller = new ZQMACNdmpLibController();
  auto* dms = new ZQMACNdmpDms();
  ASSERT_NE(config.AdoptObject(controller), 0u);
  ASSERT_NE(config.AdoptObject(dms), 0u);
  const unsigned long long handles[] = {controller->GetHandle(), dms->GetHandle()};
  ZQMACGraph::SetServerHostName(controller, "ndmp-host");
  ZQMACLinkedList<ZQMACLibController> list;
  list.AddNode(controller);
  destroy<ZQMACLibController>(controller);
  destroy<ZQMACDms>(dms);
  for (unsigned long long handle : handles) EXPECT_EQ(config.FindObject(handle), nullptr);
  list.RemoveAllNodes(false, true);
  EXPECT_EQ(config.FindObject(w.controller1->GetHandle()), w.controller1);
  EXPECT_EQ(config.FindObject(w.dms11->GetHandle()), w.dms11);
}

TEST_P(DeletionThroughBasePart, GraphObjectsUnlinkWhicheverPartDeletesThem) {
  World w = testkit::mac::seedWorld(config);
  const unsigned long long handle = w.controller2->GetHandle();
  destroy<ZQMACLibController>(w.controller2);
  EXPECT_EQ(config.FindObject(handle), nullptr);
  EXPECT_EQ(elements(w.lms->GetLibControllerList()), std::vector<ZQMACLibController*>{w.controller1});
  EXPECT_TRUE(elements(w.agent2->GetLibControllerList()).empty());
  // Walking the lists touches every element: none of them may be freed.
  EXPECT_EQ(w.lms->GetLibControllerList().FindNode("nothing"), nullptr);
  EXPECT_EQ(w.agent1->GetLibControllerList().FindNode("TapeLib1 on ma1"), w.controller1);
}

INSTANTIATE_TEST_SUITE_P(Parts, DeletionThroughBasePart,
                         ::testing::Values(Via::Self, Via::Middle, Via::Interface, Via::ScsiUnit, Via::Base));

TEST_F(MediaConfig, NdmpWorkingCopiesAreIndependentOfTheirSource) {
  auto* source = new ZQMACNdmpLibController();
  ASSERT_NE(config.AdoptObject(source), 0u);
  ZQMACGraph::SetName(source, "ndmp1");
  ZQMACGraph::SetServerHostName(source, "filer");
  {
    ZQMACNdmpLibController copy(source);
    EXPECT_EQ(copy.GetName(), "ndmp1");
    EXPECT_EQ(copy.GetServerHostName(), "filer");
    EXPECT_EQ(copy.GetOwner(), nullptr);
    EXPECT_EQ(copy.GetHandle(), 0u);
    copy.SetServerHostName("changed");
    ZQMACNdmpLibController empty(nullptr);
    EXPECT_EQ(empty.GetName(), "");
  }
  EXPECT_EQ(config.FindObject(source->GetHandle()), source);
  EXPECT_EQ(source->GetServerHostName(), "filer");

  auto* dms = new ZQMACNdmpDms();
  ASSERT_NE(config.AdoptObject(dms), 0u);
  ZQMACGraph::SetName(dms, "path");
  ZQMACNdmpDms dmsCopy(dms);
  EXPECT_EQ(dmsCopy.GetName(), "path");
  EXPECT_EQ(dmsCopy.GetHandle(), 0u);
}

TEST_F(MediaConfig, DestroyingTheInstanceFreesEveryObject) {
  auto owned = std::make_unique<ZQMACMediaConfig>();
  World w = testkit::mac::seedWorld(*owned);
  ZQMACLinkedList<ZQMACDrive> outlives = w.lms->GetDriveList();  // borrowed pointers only
  owned.reset();                                                 // LeakSanitizer checks the rest
  outlives.RemoveAllNodes(false, true);
}

TEST_F(MediaConfig, ClearObjectsEmptiesTheGraphAndRetiresItsHandles) {
  World w = testkit::mac::seedWorld(config);
  const unsigned long long handle = w.drive1->GetHandle();
  config.ClearObjects();
  EXPECT_EQ(config.GetObjectCount(), 0u);
  EXPECT_EQ(config.FindObject(handle), nullptr);
  EXPECT_TRUE(elements(config.GetMediaAgentList()).empty());
  EXPECT_EQ(config.FindDBNode<ZQMACMediaAgent>(2), nullptr);
  World again = testkit::mac::seedWorld(config);
  EXPECT_NE(again.drive1->GetHandle(), handle);
  EXPECT_EQ(config.FindObject(handle), nullptr);
}

// ---------------------------------------------------------------- by database id

TEST_F(MediaConfig, FindDBNodeHitAndMiss) {
  World w = testkit::mac::seedWorld(config);
  EXPECT_EQ(config.FindDBNode(2, static_cast<ZQMACMediaAgent*>(nullptr)), w.agent1);
  EXPECT_EQ(config.FindDBNode<ZQMACMediaAgent>(3), w.agent2);
  EXPECT_EQ(config.FindDBNode<ZQMACMountPath>(22), w.mountPath2);
  EXPECT_EQ(config.FindDBNode<ZQMACDiskDevice>(31), w.diskDevice);
  EXPECT_EQ(config.FindDBNode<ZQMACCenteraCluster>(41), w.cluster);
  EXPECT_EQ(config.FindDBNode<ZQMACHost>(42), w.host);

  const std::size_t agents = config.GetNodeMap(static_cast<ZQMACMediaAgent*>(nullptr)).size();
  EXPECT_EQ(config.FindDBNode<ZQMACMediaAgent>(999), nullptr);
  EXPECT_EQ(config.FindDBNode<ZQMACMediaAgent>(-1), nullptr);
  EXPECT_EQ(config.FindDBNode<ZQMACHost>(2), nullptr) << "ids are per kind";
  EXPECT_EQ(config.GetNodeMap(static_cast<ZQMACMediaAgent*>(nullptr)).size(), agents) << "a miss inserts nothing";

  EXPECT_EQ(config.FindDBNode("ma1"), w.agent1);
  EXPECT_EQ(config.FindDBNode(std::string("ma2")), w.agent2);
  EXPECT_EQ(config.FindDBNode("MA1"), nullptr);
  EXPECT_EQ(config.FindDBNode(static_cast<const char*>(nullptr)), nullptr);

  // An id given later is indexed then; the old one stops resolving.
  ZQMACGraph::SetId(w.agent1, 12);
  EXPECT_EQ(config.FindDBNode<ZQMACMediaAgent>(2), nullptr);
  EXPECT_EQ(config.FindDBNode<ZQMACMediaAgent>(12), w.agent1);
}

// ---------------------------------------------------------------- set-up and loading

TEST_F(MediaConfig, InitializeTakesTheInstallationName) {
  EXPECT_FALSE(config.IsInitialized());
  EXPECT_FALSE(config.Initialize(static_cast<const char*>(nullptr)));
  EXPECT_NE(config.GetLastErrorCode(), 0u);
  EXPECT_FALSE(config.Initialize(""));
  ASSERT_TRUE(config.Initialize("cs01.example.net"));
  EXPECT_TRUE(config.IsInitialized());
  EXPECT_EQ(config.GetServerName(), "cs01.example.net");
  EXPECT_EQ(config.GetInstallationName(), "cs01.example.net");
  EXPECT_EQ(config.GetLastErrorCode(), 0u);
}

TEST_F(MediaConfig, ReadCurrentConfigGoesThroughTheInstalledLoader) {
  ASSERT_TRUE(config.Initialize("cs01"));
  testkit::mac::ScopedLoader loader(testkit::mac::worldLoader());
  ASSERT_TRUE(config.ReadCurrentConfig(false));
  EXPECT_EQ(config.GetLastErrorCode(), 0u);
  EXPECT_EQ(elements(config.GetMediaAgentList()).size(), 2u);
  ZQMACMediaAgent* agent = config.FindDBNode<ZQMACMediaAgent>(2);
  ASSERT_NE(agent, nullptr);
  const unsigned long long handle = agent->GetHandle();

  ASSERT_TRUE(config.ReadCurrentConfig(true));  // a re-read rebuilds the graph
  EXPECT_EQ(config.FindObject(handle), nullptr) << "handles of the old graph are retired";
  EXPECT_NE(config.FindDBNode<ZQMACMediaAgent>(2), nullptr);

  testkit::mac::journal().injectFailure("ReadCurrentConfig", 0x1F000123, "database unavailable");
  EXPECT_FALSE(config.ReadCurrentConfig(false));
  EXPECT_EQ(config.GetLastError(), "database unavailable");
}

}  // namespace
