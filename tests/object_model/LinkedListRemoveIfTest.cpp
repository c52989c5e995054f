// Unlinking many elements of a list in one walk (what the object model does
// when objects go at once) leaves the list as unlinking each would: the
// others in order, the removed ones gone, short lists and indexed ones alike,
// whatever the order the objects that go are named in.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"

namespace {

class Item : public ZQMACInterface {
 public:
  explicit Item(int n) { m_sName = std::to_string(n); }
};

using List = ZQMACLinkedList<Item>;

std::set<int> from(int first, int end) {
  std::set<int> numbers;
  for (int i = first; i < end; ++i) numbers.insert(i);
  return numbers;
}

TEST(LinkedListRemoveIf, ManyElementsUnlinkedInOneWalkLeaveTheOthersInOrder) {
  const struct {
    const char* what;
    int length;
    std::set<int> removed;
  } cases[] = {
      {"none of a short list", 5, {}},
      {"the first of a short list", 5, {0}},
      {"the last of a short list", 5, {4}},
      {"every other of a short list", 6, {0, 2, 4}},
      {"all of a short list", 3, {0, 1, 2}},
      {"the only one", 1, {0}},
      {"every third of an indexed list", 100, {0, 3, 6, 9, 12, 15, 30, 60, 99}},
      {"all but the first of an indexed list", 40, from(1, 40)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::set<int>& removed = c.removed;
    std::vector<std::unique_ptr<Item>> items;
    List list;
    for (int i = 0; i < c.length; ++i) {
      items.push_back(std::make_unique<Item>(i));
      list.AddNode(items.back().get());
    }
    std::set<const void*> gone;
    for (int i : removed) gone.insert(items[static_cast<size_t>(i)].get());
    // A walk stands on an element that goes.
    for (Item* e = list.GetFirstNode(); e != nullptr && e->GetName() != std::to_string(c.length / 2);)
      e = list.GetNextNode();
    EXPECT_EQ(list.RemoveNodesIf([&](const void* e) { return gone.count(e) != 0; }),
              static_cast<int>(removed.size()));
    std::vector<std::string> expected;
    for (int i = 0; i < c.length; ++i)
      if (removed.count(i) == 0) expected.push_back(std::to_string(i));
    std::vector<std::string> walked;
    for (Item* e = list.GetFirstNode(); e != nullptr && walked.size() <= expected.size(); e = list.GetNextNode())
      walked.push_back(e->GetName());
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(list.GetListCount(), static_cast<int>(expected.size()));
    // The same objects going together as the model hands them over, in no
    // order of their addresses (here the reverse of it): found all the same.
    {
      List again;
      for (const auto& item : items) again.AddNode(item.get());
      const ZQMACGone leaving(std::vector<const void*>(gone.rbegin(), gone.rend()));
      for (int i = 0; i < c.length; ++i)
        EXPECT_EQ(leaving.Holds(items[static_cast<size_t>(i)].get()), removed.count(i) != 0) << i;
      leaving.From(again);
      std::vector<std::string> left;
      for (Item* e = again.GetFirstNode(); e != nullptr && left.size() <= expected.size(); e = again.GetNextNode())
        left.push_back(e->GetName());
      EXPECT_EQ(left, expected);
    }
    for (int i = 0; i < c.length; ++i)
      EXPECT_EQ(list.Contains(items[static_cast<size_t>(i)].get()), removed.count(i) == 0) << i;
    // The removed ones can come back, at the end.
    for (int i : removed) list.AddNode(items[static_cast<size_t>(i)].get());
    EXPECT_EQ(list.GetListCount(), c.length);
    if (!removed.empty()) {
      EXPECT_EQ(list.operator[](c.length - 1)->GetName(), std::to_string(*removed.rbegin()));
    }
  }
}

}  // namespace
