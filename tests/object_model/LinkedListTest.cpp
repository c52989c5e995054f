// The list template of the object model and its one built-in cursor.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"

namespace {

using Names = std::vector<std::string>;

// An element that records its own destruction.
class Item : public ZQMACInterface {
 public:
  explicit Item(const std::string& name, Names* deaths = nullptr) : m_deaths(deaths) { m_sName = name; }
  ~Item() override {
    if (m_deaths != nullptr) m_deaths->push_back(m_sName);
  }

 private:
  Names* m_deaths;
};

using List = ZQMACLinkedList<Item>;

class LinkedList : public ::testing::Test {
 protected:
  static void fill(List& list, std::initializer_list<Item*> items) {
    for (Item* item : items) list.AddNode(item);
  }
  // Walks the list the fixed way and returns the names.
  static Names names(List& list) {
    Names out;
    for (Item* e = list.GetFirstNode(); e != nullptr && out.size() < 100; e = list.GetNextNode())
      out.push_back(e->GetName());
    return out;
  }

  Item a{"a"}, b{"b"}, c{"c"}, d{"Drive1"};
};

TEST_F(LinkedList, EmptyListYieldsNothing) {
  List list;
  EXPECT_EQ(list.GetListCount(), 0);
  EXPECT_EQ(list.GetFirstNode(), nullptr);
  EXPECT_EQ(list.GetNextNode(), nullptr);
  EXPECT_EQ(list[0], nullptr);
  EXPECT_EQ(list[-1], nullptr);
  EXPECT_EQ(list.FindNode("a"), nullptr);
  EXPECT_EQ(list.FindListNode(nullptr), nullptr);
}

TEST_F(LinkedList, ElementsInInsertionOrderThenNullUntilRestart) {
  List one;
  EXPECT_EQ(one.AddNode(&a), &a);
  EXPECT_EQ(one.GetFirstNode(), &a);
  EXPECT_EQ(one.GetNextNode(), nullptr);
  EXPECT_EQ(one.GetNextNode(), nullptr);
  EXPECT_EQ(one.GetFirstNode(), &a);

  List list;
  fill(list, {&b, &a, &c});
  EXPECT_EQ(list.GetListCount(), 3);
  EXPECT_EQ(list.GetFirstNode(), &b);
  EXPECT_EQ(list.GetNextNode(), &a);
  EXPECT_EQ(list.GetNextNode(), &c);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list.GetNextNode(), nullptr);
  EXPECT_EQ(list.GetFirstNode(), &b);
  EXPECT_EQ(list.GetNextNode(), &a);
}

TEST_F(LinkedList, AddNodeMovesTheCursorToTheNewLastNodeAndIgnoresNullAndDuplicates) {
  List list;
  fill(list, {&a, &b});
  EXPECT_EQ(list.GetNextNode(), nullptr) << "straight after AddNode the cursor stands on the last node";
  EXPECT_EQ(list.AddNode(nullptr), nullptr);
  EXPECT_EQ(list.GetFirstNode(), &a);  // cursor on a
  EXPECT_EQ(list.AddNode(&a), &a);
  EXPECT_EQ(list.AddNode(&b), &b);
  EXPECT_EQ(list.GetListCount(), 2);
  EXPECT_EQ(list.GetNextNode(), &b) << "a duplicate did not move the cursor";

  // In the middle of a walk: the walk ends, the rest is never visited.
  EXPECT_EQ(list.GetFirstNode(), &a);
  list.AddNode(&c);
  EXPECT_EQ(list.GetNextNode(), nullptr);
  EXPECT_EQ(names(list), (Names{"a", "b", "c"}));
}

TEST_F(LinkedList, IndexOperatorAndFindNodeWalkFromTheFirstElementAndMoveTheCursor) {
  List list;
  fill(list, {&a, &b, &c, &d});
  const struct {
    int position;
    Item* expected;
  } cases[] = {{0, &a}, {1, &b}, {2, &c}, {4, nullptr}, {100, nullptr}, {-1, &a}, {-50, &a}};
  for (const auto& k : cases) EXPECT_EQ(list[k.position], k.expected) << k.position;
  // After [1] the walk goes on with c.
  EXPECT_EQ(list[1], &b);
  EXPECT_EQ(list.GetNextNode(), &c);

  EXPECT_EQ(list.GetFirstNode(), &a);
  EXPECT_EQ(list.GetNextNode(), &b);
  EXPECT_EQ(list.FindNode("a"), &a);  // restarts; the cursor stays on a
  EXPECT_EQ(list.GetNextNode(), &b) << "the outer walk continues from where FindNode left it";
  EXPECT_EQ(list.FindNode("nothing"), nullptr);  // walks to the end
  EXPECT_EQ(list.GetNextNode(), nullptr);

  // Names match exactly; a null name matches nothing.
  EXPECT_EQ(list.FindNode("Drive1"), &d);
  EXPECT_EQ(list.FindNode("drive1"), nullptr);
  EXPECT_EQ(list.FindNode("Drive"), nullptr);
  EXPECT_EQ(list.FindNode(nullptr), nullptr);

  // FindListNode uses the index.
  List one;
  one.AddNode(&a);
  ASSERT_NE(one.FindListNode(&a), nullptr);
  EXPECT_EQ(one.FindListNode(&a)->GetData(), &a);
  EXPECT_EQ(one.FindListNode(&b), nullptr);
  EXPECT_TRUE(one.Contains(&a));
  EXPECT_FALSE(one.Contains(&b));
}

TEST_F(LinkedList, CopiesShareTheElementsAndAreIndependent) {
  List source;
  fill(source, {&a, &b, &c});
  EXPECT_EQ(source.GetFirstNode(), &a);
  EXPECT_EQ(source.GetNextNode(), &b);  // source cursor on b
  {
    List copy(source);
    EXPECT_EQ(copy.GetNextNode(), nullptr) << "the copy's cursor ends on its last node";
    EXPECT_EQ(names(copy), (Names{"a", "b", "c"}));
    EXPECT_EQ(copy[1], &b);
    copy.AddNode(&d);
    copy.RemoveAllNodes(false, true);
    EXPECT_EQ(copy.GetListCount(), 0);
  }
  EXPECT_EQ(source.GetNextNode(), &c) << "the source's cursor is untouched by the copy";
  EXPECT_EQ(source.GetListCount(), 3);

  List assigned;
  assigned.AddNode(&d);
  assigned = source;
  EXPECT_EQ(names(assigned), (Names{"a", "b", "c"}));
  const List& self = assigned;
  assigned = self;  // self-assignment leaves it unchanged
  EXPECT_EQ(names(assigned), (Names{"a", "b", "c"}));
  EXPECT_EQ(names(source), (Names{"a", "b", "c"}));
}

TEST_F(LinkedList, RemoveAllNodesDeletesEachElementOnceFirstToLastAndTheDestructorNone) {
  Names deaths;
  Item kept("kept", &deaths);
  {
    List holder;
    holder.AddNode(&kept);
  }
  EXPECT_TRUE(deaths.empty()) << "a list never frees its elements when it goes";

  List list;
  fill(list, {new Item("one", &deaths), new Item("two", &deaths), new Item("three", &deaths)});
  List copy = list;  // a copy must not delete anything
  copy.RemoveAllNodes(false, false);
  list.RemoveAllNodes(true, true);
  EXPECT_EQ(deaths, (Names{"one", "two", "three"}));
  EXPECT_EQ(list.GetListCount(), 0);
  EXPECT_EQ(list.GetFirstNode(), nullptr);
  // The list is reusable afterwards.
  list.AddNode(&a);
  EXPECT_EQ(list.GetFirstNode(), &a);
  list.RemoveAllNodes(false, true);
  EXPECT_EQ(deaths.size(), 3u);
}

TEST_F(LinkedList, RemoveNodeUnlinksOneElementAndKeepsTheWalkSound) {
  List list;
  fill(list, {&a, &b, &c, &d});
  // Removing the element the walk stands on: the walk goes on after it.
  EXPECT_EQ(list.GetFirstNode(), &a);
  EXPECT_EQ(list.GetNextNode(), &b);
  EXPECT_TRUE(list.RemoveNode(&b));
  EXPECT_EQ(list.GetNextNode(), &c);
  EXPECT_FALSE(list.RemoveNode(&b));
  EXPECT_EQ(names(list), (Names{"a", "c", "Drive1"}));
  // Removing the head and the last element.
  EXPECT_TRUE(list.RemoveNode(&a));
  EXPECT_TRUE(list.RemoveNode(&d));
  EXPECT_EQ(names(list), (Names{"c"}));
  EXPECT_EQ(list.GetListCount(), 1);
  EXPECT_TRUE(list.RemoveNode(&c));
  EXPECT_EQ(list.GetListCount(), 0);
  EXPECT_EQ(list.GetFirstNode(), nullptr);
  list.AddNode(&a);
  EXPECT_EQ(names(list), (Names{"a"}));
}

}  // namespace

namespace {

// Short lists are searched by walking them and long ones through their index:
// membership, duplicates, removal and order come out the same on either side
// of the length where the index starts, and when a list grows across it.
TEST(LinkedListLength, MembershipAndOrderAreTheSameShortAndLong) {
  for (int size : {1, 2, 31, 32, 33, 100}) {
    SCOPED_TRACE(size);
    std::vector<std::unique_ptr<Item>> items;
    for (int i = 0; i < size; ++i) items.push_back(std::make_unique<Item>("item" + std::to_string(i)));
    Item outsider("outsider");
    List list;
    for (auto& item : items) EXPECT_EQ(list.AddNode(item.get()), item.get());
    for (auto& item : items) list.AddNode(item.get());  // duplicates are refused
    EXPECT_EQ(list.GetListCount(), size);
    for (auto& item : items) {
      EXPECT_TRUE(list.Contains(item.get()));
      ASSERT_NE(list.FindListNode(item.get()), nullptr);
      EXPECT_EQ(list.FindListNode(item.get())->GetData(), item.get());
    }
    EXPECT_FALSE(list.Contains(&outsider));
    EXPECT_EQ(list.FindListNode(&outsider), nullptr);
    EXPECT_FALSE(list.RemoveNode(&outsider));

    // Remove the first, a middle and the last element.
    std::vector<Item*> expected;
    for (auto& item : items) expected.push_back(item.get());
    for (int position : {0, size / 2, size - 1}) {
      if (position >= static_cast<int>(expected.size()) || expected.empty()) continue;
      Item* gone = expected[static_cast<size_t>(position)];
      EXPECT_TRUE(list.RemoveNode(gone));
      EXPECT_FALSE(list.Contains(gone));
      expected.erase(expected.begin() + position);
    }
    std::vector<Item*> walked;
    for (Item* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) walked.push_back(e);
    EXPECT_EQ(walked, expected);
    List copy = list;
    EXPECT_EQ(copy.GetListCount(), static_cast<int>(expected.size()));
    for (Item* e : expected) EXPECT_TRUE(copy.Contains(e));
    list.RemoveAllNodes(false, true);
    EXPECT_EQ(list.GetListCount(), 0);
    for (auto& item : items) EXPECT_FALSE(list.Contains(item.get()));
    list.AddNode(items[0].get());
    EXPECT_TRUE(list.Contains(items[0].get()));
    EXPECT_EQ(list.GetListCount(), 1);
  }
}

// A long list stays exact through many removals and additions in mixed
// order (its index moves entries when one goes and grows as it fills), and
// AddNewNode appends like AddNode, an indexed list still refusing a
// duplicate.
TEST(LinkedListLength, LongListStaysExactThroughRemovalsAndNewNodes) {
  constexpr int kItems = 3000;
  std::vector<std::unique_ptr<Item>> items;
  for (int i = 0; i < kItems; ++i) items.push_back(std::make_unique<Item>("item" + std::to_string(i)));
  List list;
  std::vector<Item*> expected;
  for (int i = 0; i < kItems; ++i) {
    Item* item = items[static_cast<size_t>(i)].get();
    EXPECT_EQ(i % 2 == 0 ? list.AddNewNode(item) : list.AddNode(item), item);
    expected.push_back(item);
  }
  EXPECT_EQ(list.AddNewNode(items[7].get()), items[7].get());
  EXPECT_EQ(list.AddNewNode(nullptr), nullptr);
  EXPECT_EQ(list.GetListCount(), kItems);
  // Remove every third element, then add half of them back at the end.
  std::vector<Item*> kept;
  std::vector<Item*> removed;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (i % 3 == 1) {
      EXPECT_TRUE(list.RemoveNode(expected[i]));
      removed.push_back(expected[i]);
    } else {
      kept.push_back(expected[i]);
    }
  }
  for (size_t i = 0; i < removed.size(); i += 2) {
    list.AddNode(removed[i]);
    kept.push_back(removed[i]);
  }
  EXPECT_EQ(list.GetListCount(), static_cast<int>(kept.size()));
  std::vector<Item*> walked;
  for (Item* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) walked.push_back(e);
  EXPECT_EQ(walked, kept);
  for (Item* e : kept) {
    ASSERT_NE(list.FindListNode(e), nullptr);
    EXPECT_EQ(list.FindListNode(e)->GetData(), e);
  }
  for (size_t i = 0; i < removed.size(); ++i) {
    EXPECT_EQ(list.Contains(removed[i]), i % 2 == 0) << i;
    EXPECT_EQ(list.RemoveNode(removed[i]), i % 2 == 0) << i;
  }
  EXPECT_EQ(list.GetListCount(), static_cast<int>(kept.size() - (removed.size() + 1) / 2));
}

// Room reserved up front changes no element, no order and no cursor, and
// the list stays exact past the reserved room, short or indexed, also when
// removed nodes wait for reuse (the sanitizers check the node memory).
TEST(LinkedListReserve, ElementsOrderAndCursorStayThroughReservedRoom) {
  std::vector<std::unique_ptr<Item>> items;
  for (int i = 0; i < 120; ++i) items.push_back(std::make_unique<Item>("item" + std::to_string(i)));
  auto walk = [](List& list) {
    std::vector<Item*> out;
    for (Item* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) out.push_back(e);
    return out;
  };
  for (int reserved : {-3, 0, 1, 2, 5, 40, 100}) {
    List list;
    std::vector<Item*> expected;
    list.Reserve(reserved);
    EXPECT_EQ(list.GetListCount(), 0) << reserved;
    EXPECT_EQ(list.GetFirstNode(), nullptr) << reserved;
    for (int i = 0; i < 60; ++i) {
      list.AddNewNode(items[static_cast<size_t>(i)].get());
      expected.push_back(items[static_cast<size_t>(i)].get());
    }
    EXPECT_EQ(walk(list), expected) << reserved;
    // Remove some, reserve again with the removed nodes and a partly used
    // block at hand, in the middle of a walk.
    for (int i = 0; i < 60; i += 4) EXPECT_TRUE(list.RemoveNode(items[static_cast<size_t>(i)].get()));
    std::erase_if(expected, [&](Item* e) { return list.FindListNode(e) == nullptr; });
    EXPECT_EQ(list.GetFirstNode(), expected[0]);
    list.Reserve(reserved);
    EXPECT_EQ(list.GetNextNode(), expected[1]) << "the walk goes on where it stood";
    for (int i = 60; i < 120; ++i) {
      list.AddNode(items[static_cast<size_t>(i)].get());
      expected.push_back(items[static_cast<size_t>(i)].get());
    }
    EXPECT_EQ(walk(list), expected) << reserved;
    EXPECT_EQ(list.GetListCount(), static_cast<int>(expected.size()));
    for (Item* e : expected) EXPECT_TRUE(list.Contains(e));
    EXPECT_FALSE(list.Contains(items[0].get()));
  }
  // Room reserved and never used goes with the list.
  List unused;
  unused.Reserve(64);
  List emptied;
  emptied.Reserve(8);
  emptied.AddNode(items[0].get());
  emptied.RemoveAllNodes(false, true);
  EXPECT_EQ(emptied.GetListCount(), 0);
}

// AddNewNode on a short list appends in order and moves the cursor like
// AddNode.
TEST_F(LinkedList, AddNewNodeAppendsAndMovesTheCursor) {
  List list;
  list.AddNewNode(&a);
  list.AddNewNode(&b);
  EXPECT_EQ(list.GetNextNode(), nullptr) << "the cursor stands on the new last node";
  EXPECT_EQ(names(list), (Names{"a", "b"}));
  EXPECT_TRUE(list.Contains(&b));
  EXPECT_TRUE(list.RemoveNode(&a));
  EXPECT_EQ(names(list), (Names{"b"}));
}

}  // namespace

// Lists exchange their contents whatever state each one's first node is in
// (holding the only element, one of several, waiting for reuse after a
// removal, indexed), and each list stays exact afterwards: walked,
// searched, emptied and refilled through the nodes it took over.
TEST(LinkedListSwap, BothListsStayExactWhateverTheirNodesHold) {
  std::vector<std::unique_ptr<Item>> items;
  for (int i = 0; i < 200; ++i) items.push_back(std::make_unique<Item>("item" + std::to_string(i)));
  int next = 0;
  // Fills a list in one of the shapes; returns its elements in order.
  auto shape = [&](List& list, int kind) {
    std::vector<Item*> out;
    const int count = kind == 0 ? 0 : kind == 1 ? 1 : kind == 2 ? 2 : kind == 3 ? 3 : 40;
    for (int i = 0; i < count; ++i) {
      Item* item = items[static_cast<size_t>(next++)].get();
      list.AddNode(item);
      out.push_back(item);
    }
    if (kind == 2 || kind == 4) {  // the first node goes to the free chain
      EXPECT_TRUE(list.RemoveNode(out.front()));
      out.erase(out.begin());
    }
    return out;
  };
  auto walk = [](List& list) {
    std::vector<Item*> out;
    for (Item* e = list.GetFirstNode(); e != nullptr && out.size() < 100; e = list.GetNextNode()) out.push_back(e);
    return out;
  };
  for (int kindA = 0; kindA < 5; ++kindA) {
    for (int kindB = 0; kindB < 5; ++kindB) {
      SCOPED_TRACE(testing::Message() << "shapes " << kindA << " and " << kindB);
      next = 0;
      auto a = std::make_unique<List>();
      auto b = std::make_unique<List>();
      std::vector<Item*> inA = shape(*a, kindA);
      std::vector<Item*> inB = shape(*b, kindB);
      if (!inA.empty()) a->GetFirstNode();  // a walk standing on the first element
      a->Swap(*b);
      EXPECT_EQ(walk(*a), inB);
      EXPECT_EQ(walk(*b), inA);
      for (Item* e : inB) EXPECT_TRUE(a->Contains(e) && !b->Contains(e));
      for (Item* e : inA) EXPECT_TRUE(b->Contains(e) && !a->Contains(e));
      // Removing and adding reuses the nodes each list took over.
      for (List* list : {a.get(), b.get()}) {
        std::vector<Item*> expected = walk(*list);
        if (!expected.empty()) {
          EXPECT_TRUE(list->RemoveNode(expected.back()));
          expected.pop_back();
        }
        for (int i = 0; i < 3; ++i) {
          Item* item = items[static_cast<size_t>(next++)].get();
          list->AddNode(item);
          expected.push_back(item);
        }
        EXPECT_EQ(walk(*list), expected);
        EXPECT_EQ(list->GetListCount(), static_cast<int>(expected.size()));
      }
      b.reset();  // the other list's memory goes first
      std::vector<Item*> left = walk(*a);
      for (Item* e : left) EXPECT_TRUE(a->RemoveNode(e));
      EXPECT_EQ(a->GetListCount(), 0);
    }
  }
}
