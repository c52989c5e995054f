// The list template of the object model and its one built-in cursor.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"

namespace {

// An element that records its own destruction.
class Item : public ZQMACInterface {
 public:
  Item(const std::string& name, std::vector<std::string>* deaths) : m_deaths(deaths) { m_sName = name; }
  ~Item() override {
    if (m_deaths != nullptr) m_deaths->push_back(m_sName);
  }

 private:
  std::vector<std::string>* m_deaths;
};

class LinkedList : public ::testing::Test {
 protected:
  Item* make(const std::string& name) {
    m_items.push_back(std::make_unique<Item>(name, nullptr));
    return m_items.back().get();
  }

  // Walks the list the fixed way and returns the names.
  static std::vector<std::string> names(ZQMACLinkedList<Item>& list) {
    std::vector<std::string> out;
    for (Item* e = list.GetFirstNode(); e != nullptr && out.size() < 100; e = list.GetNextNode())
      out.push_back(e->GetName());
    return out;
  }

  std::vector<std::unique_ptr<Item>> m_items;
};

using Names = std::vector<std::string>;

TEST_F(LinkedList, EmptyListYieldsNothing) {
  ZQMACLinkedList<Item> list;
  EXPECT_EQ(list.GetListCount(), 0);
  EXPECT_EQ(list.GetFirstNode(), nullptr);
  EXPECT_EQ(list.GetNextNode(), nullptr);
  EXPECT_EQ(list[0], nullptr);
  EXPECT_EQ(list[-1], nullptr);
  EXPECT_EQ(list.FindNode("a"), nullptr);
  EXPECT_EQ(list.FindListNode(nullptr), nullptr);
}

TEST_F(LinkedList, OneElement) {
  ZQMACLinkedList<Item> list;
  Item* a = make("a");
  EXPECT_EQ(list.AddNode(a), a);
  EXPECT_EQ(list.GetFirstNode(), a);
  EXPECT_EQ(list.GetNextNode(), nullptr);
  EXPECT_EQ(list.GetNextNode(), nullptr);
  EXPECT_EQ(list.GetFirstNode(), a);
}

TEST_F(LinkedList, ThreeElementsInInsertionOrderThenNullUntilRestart) {
  ZQMACLinkedList<Item> list;
  Item* a = make("a");
  Item* b = make("b");
  Item* c = make("c");
  list.AddNode(b);
  list.AddNode(a);
  list.AddNode(c);
  EXPECT_EQ(list.GetListCount(), 3);
  EXPECT_EQ(list.GetFirstNode(), b);
  EXPECT_EQ(list.GetNextNode(), a);
  EXPECT_EQ(list.GetNextNode(), c);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list.GetNextNode(), nullptr);
  EXPECT_EQ(list.GetFirstNode(), b);
  EXPECT_EQ(list.GetNextNode(), a);
}

TEST_F(LinkedList, AddNodeMovesTheCursorToTheNewLastNode) {
  ZQMACLinkedList<Item> list;
  Item* a = make("a");
  Item* b = make("b");
  Item* c = make("c");
  list.AddNode(a);
  list.AddNode(b);
  EXPECT_EQ(list.GetNextNode(), nullptr) << "straight after AddNode the cursor stands on the last node";

  // In the middle of a walk: the walk ends, b is never visited.
  EXPECT_EQ(list.GetFirstNode(), a);
  list.AddNode(c);
  EXPECT_EQ(list.GetNextNode(), nullptr);
  EXPECT_EQ(names(list), (Names{"a", "b", "c"}));
}

TEST_F(LinkedList, AddNodeOfNullOrADuplicateChangesNothing) {
  ZQMACLinkedList<Item> list;
  Item* a = make("a");
  Item* b = make("b");
  list.AddNode(a);
  list.AddNode(b);
  EXPECT_EQ(list.AddNode(nullptr), nullptr);
  EXPECT_EQ(list.GetListCount(), 2);

  EXPECT_EQ(list.GetFirstNode(), a);  // cursor on a
  EXPECT_EQ(list.AddNode(a), a);
  EXPECT_EQ(list.AddNode(b), b);
  EXPECT_EQ(list.GetListCount(), 2);
  EXPECT_EQ(list.GetNextNode(), b) << "the cursor did not move";
  EXPECT_EQ(names(list), (Names{"a", "b"}));
}

TEST_F(LinkedList, IndexOperatorWalksFromTheFirstElement) {
  ZQMACLinkedList<Item> list;
  Item* a = make("a");
  Item* b = make("b");
  Item* c = make("c");
  list.AddNode(a);
  list.AddNode(b);
  list.AddNode(c);
  struct Case {
    int position;
    Item* expected;
  };
  for (const Case& k : {Case{0, a}, Case{1, b}, Case{2, c}, Case{3, nullptr}, Case{100, nullptr}, Case{-1, a},
                        Case{-50, a}}) {
    EXPECT_EQ(list[k.position], k.expected) << k.position;
  }
  // The cursor moved: after [1] the walk goes on with c.
  EXPECT_EQ(list[1], b);
  EXPECT_EQ(list.GetNextNode(), c);
}

TEST_F(LinkedList, FindNodeAndIndexInsideAWalkRestartTheCursor) {
  ZQMACLinkedList<Item> list;
  Item* a = make("alpha");
  Item* b = make("beta");
  Item* c = make("gamma");
  list.AddNode(a);
  list.AddNode(b);
  list.AddNode(c);

  EXPECT_EQ(list.GetFirstNode(), a);
  EXPECT_EQ(list.GetNextNode(), b);
  EXPECT_EQ(list.FindNode("alpha"), a);  // restarts; the cursor stays on alpha
  EXPECT_EQ(list.GetNextNode(), b) << "the outer walk continues from where FindNode left it";

  EXPECT_EQ(list.FindNode("nothing"), nullptr);  // walks to the end
  EXPECT_EQ(list.GetNextNode(), nullptr);

  EXPECT_EQ(list.GetFirstNode(), a);
  EXPECT_EQ(list[0], a);
  EXPECT_EQ(list.GetNextNode(), b);
}

TEST_F(LinkedList, FindNodeIsCaseSensitiveAndRefusesNull) {
  ZQMACLinkedList<Item> list;
  Item* a = make("Drive1");
  list.AddNode(a);
  EXPECT_EQ(list.FindNode("Drive1"), a);
  EXPECT_EQ(list.FindNode("drive1"), nullptr);
  EXPECT_EQ(list.FindNode("Drive"), nullptr);
  EXPECT_EQ(list.FindNode(nullptr), nullptr);
}

TEST_F(LinkedList, FindListNodeUsesTheIndex) {
  ZQMACLinkedList<Item> list;
  Item* a = make("a");
  Item* b = make("b");
  list.AddNode(a);
  ASSERT_NE(list.FindListNode(a), nullptr);
  EXPECT_EQ(list.FindListNode(a)->GetData(), a);
  EXPECT_EQ(list.FindListNode(b), nullptr);
  EXPECT_TRUE(list.Contains(a));
  EXPECT_FALSE(list.Contains(b));
}

TEST_F(LinkedList, CopiesShareTheElementsAndAreIndependent) {
  ZQMACLinkedList<Item> source;
  Item* a = make("a");
  Item* b = make("b");
  Item* c = make("c");
  source.AddNode(a);
  source.AddNode(b);
  source.AddNode(c);
  EXPECT_EQ(source.GetFirstNode(), a);
  EXPECT_EQ(source.GetNextNode(), b);  // source cursor on b

  {
    ZQMACLinkedList<Item> copy(source);
    EXPECT_EQ(copy.GetNextNode(), nullptr) << "the copy's cursor ends on its last node";
    EXPECT_EQ(names(copy), (Names{"a", "b", "c"}));
    EXPECT_EQ(copy[1], b);
    copy.AddNode(make("d"));
    copy.RemoveAllNodes(false, true);
    EXPECT_EQ(copy.GetListCount(), 0);
  }
  EXPECT_EQ(source.GetNextNode(), c) << "the source's cursor is untouched by the copy";
  EXPECT_EQ(source.GetListCount(), 3);

  ZQMACLinkedList<Item> assigned;
  assigned.AddNode(make("x"));
  assigned = source;
  EXPECT_EQ(names(assigned), (Names{"a", "b", "c"}));
  assigned = assigned;  // self-assignment leaves it unchanged
  EXPECT_EQ(names(assigned), (Names{"a", "b", "c"}));
  EXPECT_EQ(names(source), (Names{"a", "b", "c"}));
}

TEST_F(LinkedList, RemoveAllNodesDeletesEachElementOnceFirstToLast) {
  std::vector<std::string> deaths;
  ZQMACLinkedList<Item> list;
  list.AddNode(new Item("one", &deaths));
  list.AddNode(new Item("two", &deaths));
  list.AddNode(new Item("three", &deaths));
  ZQMACLinkedList<Item> copy = list;  // a copy must not delete anything
  copy.RemoveAllNodes(false, false);

  list.RemoveAllNodes(true, true);
  EXPECT_EQ(deaths, (Names{"one", "two", "three"}));
  EXPECT_EQ(list.GetListCount(), 0);
  EXPECT_EQ(list.GetFirstNode(), nullptr);

  // The list is reusable afterwards.
  Item* again = make("again");
  list.AddNode(again);
  EXPECT_EQ(list.GetFirstNode(), again);
  list.RemoveAllNodes(false, true);
  EXPECT_EQ(deaths.size(), 3u);
}

TEST_F(LinkedList, DestructorNeverFreesElements) {
  std::vector<std::string> deaths;
  Item keep("kept", &deaths);
  {
    ZQMACLinkedList<Item> list;
    list.AddNode(&keep);
  }
  EXPECT_TRUE(deaths.empty());
}

TEST_F(LinkedList, RemoveNodeUnlinksOneElementAndKeepsTheWalkSound) {
  ZQMACLinkedList<Item> list;
  Item* a = make("a");
  Item* b = make("b");
  Item* c = make("c");
  Item* d = make("d");
  for (Item* e : {a, b, c, d}) list.AddNode(e);

  // Removing the element the walk stands on: the walk goes on after it.
  EXPECT_EQ(list.GetFirstNode(), a);
  EXPECT_EQ(list.GetNextNode(), b);
  EXPECT_TRUE(list.RemoveNode(b));
  EXPECT_EQ(list.GetNextNode(), c);
  EXPECT_FALSE(list.RemoveNode(b));
  EXPECT_EQ(names(list), (Names{"a", "c", "d"}));

  // Removing the head and the last element.
  EXPECT_TRUE(list.RemoveNode(a));
  EXPECT_TRUE(list.RemoveNode(d));
  EXPECT_EQ(names(list), (Names{"c"}));
  EXPECT_EQ(list.GetListCount(), 1);
  EXPECT_TRUE(list.RemoveNode(c));
  EXPECT_EQ(list.GetListCount(), 0);
  EXPECT_EQ(list.GetFirstNode(), nullptr);
  list.AddNode(a);
  EXPECT_EQ(names(list), (Names{"a"}));
}

}  // namespace
