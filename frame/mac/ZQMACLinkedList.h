// The list of the media-configuration object model: an ordered list of
// borrowed pointers to configuration objects of one class, with one built-in
// cursor for walking it and, once it holds kIndexFrom elements, an index
// from element address to node for fast membership tests (a short list is
// searched by walking it, which is cheaper than keeping an index: a loaded
// configuration has tens of thousands of short lists). The index is one
// open-addressing table, not a tree: a loaded configuration has lists of
// ten thousand elements, and a node per entry made building and freeing an
// instance cost an allocation per element twice over. Shared, header-only,
// by the handlers and the object model.
//
// Walk it in the one fixed pattern:
//
//   for (T* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) ...
//
// The cursor is the list's own, so mind what moves it:
//  - AddNode moves the cursor to the new (last) node: a GetNextNode straight
//    after AddNode yields null, and an AddNode in the middle of a walk ends it.
//  - operator[] and FindNode restart the walk from the first element and leave
//    the cursor where they stopped.
//  - operator[] with a negative position yields the first element.
// Elements belong to the configuration instance that made them; the list
// frees an element only when RemoveAllNodes is asked to. Copies share the
// elements. Nothing is thrown out of the template and nothing is logged.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

template <class T>
class ZQMACLinkedListNode {
 public:
  explicit ZQMACLinkedListNode(T* data = nullptr) : m_pData(data) {}

  T* GetData() const { return m_pData; }
  ZQMACLinkedListNode* GetNext() const { return m_pNext; }
  ZQMACLinkedListNode* GetPrev() const { return m_pPrev; }
  T* SetData(T* data) { return m_pData = data; }
  ZQMACLinkedListNode* SetNext(ZQMACLinkedListNode* next) { return m_pNext = next; }
  ZQMACLinkedListNode* SetPrev(ZQMACLinkedListNode* prev) { return m_pPrev = prev; }

 private:
  T* m_pData = nullptr;
  ZQMACLinkedListNode* m_pNext = nullptr;  // the last node's next is the first node
  ZQMACLinkedListNode* m_pPrev = nullptr;  // the first node's prev is the last node
};

template <class T>
class ZQMACLinkedList {
 public:
  using Node = ZQMACLinkedListNode<T>;

  ZQMACLinkedList() = default;

  // The same elements in the same order; the source's cursor stays untouched.
  ZQMACLinkedList(const ZQMACLinkedList& source) { CopyFrom(source); }

  ~ZQMACLinkedList() { RemoveAllNodes(false, true); }

  ZQMACLinkedList& operator=(const ZQMACLinkedList& source) {
    if (this == &source) return *this;
    RemoveAllNodes(false, true);
    CopyFrom(source);
    return *this;
  }

  // Appends the element unless it is null or already present; the cursor
  // moves to the new node. Returns the element it was given (also when
  // memory ran out and it was not added).
  T* AddNode(T* element) {
    if (element == nullptr) return nullptr;
    if (m_bIndexed) {
      if (Node* found = IndexFind(element)) {
        m_pFound = found;
        return element;
      }
      m_pFound = nullptr;
    } else if (FindListNode(element) != nullptr) {
      return element;
    }
    return Append(element);
  }

  // Appends an element that the caller knows is not in the list, as AddNode
  // does, without searching a short list for it first: for the object model
  // filling lists it has just emptied from rows of distinct objects, where
  // that search cost a walk per element. An indexed list still refuses a
  // duplicate.
  T* AddNewNode(T* element) {
    if (element == nullptr) return nullptr;
    if (!m_bIndexed) return Append(element);
    // One probe both refuses a duplicate and finds the free slot.
    if (!IndexReserve(m_uUsed + 1)) return element;
    Slot& slot = m_pSlots[IndexSlot(element)];
    if (slot.key != nullptr) return element;
    Node* node = NewNode(element);
    if (node == nullptr) return element;
    slot = Slot{element, node};
    ++m_uUsed;
    Link(node);
    return element;
  }

  // Inserts an element that the caller knows is not in the list after the
  // last element it does not precede (`precedes(element, other)`), walking
  // back from the last element: an ordered list stays ordered, and an
  // element that goes last costs one step. The cursor moves to the new
  // node. Without memory for the node or its index entry nothing changes.
  template <class Precedes>
  T* InsertOrdered(T* element, Precedes precedes) {
    if (element == nullptr) return nullptr;
    if (m_pHead == nullptr || !precedes(element, m_pHead->GetPrev()->GetData())) return AddNewNode(element);
    if (m_bIndexed && !IndexReserve(m_uUsed + 1)) return element;
    Node* node = NewNode(element);
    if (node == nullptr) return element;
    if (m_bIndexed) IndexPut(element, node);
    Node* next = m_pHead->GetPrev();  // the node the element goes before
    while (next != m_pHead && precedes(element, next->GetPrev()->GetData())) next = next->GetPrev();
    Node* prev = next->GetPrev();
    node->SetPrev(prev);
    node->SetNext(next);
    prev->SetNext(node);
    next->SetPrev(node);
    if (next == m_pHead && precedes(element, m_pHead->GetData())) m_pHead = node;
    ++m_iCount;
    m_pCursor = node;
    if (!m_bIndexed && m_iCount >= kIndexFrom) BuildIndex();
    return element;
  }

  // Makes room for `count` more elements in one block of nodes, so that a
  // list filled with a number of elements known up front costs one
  // allocation instead of one per doubling. Only a hint: the elements,
  // their order and the cursor stay, and without memory nothing changes.
  void Reserve(int count) {
    if (count <= 1) return;
    const std::size_t wanted = static_cast<std::size_t>(count);
    std::size_t freed = 0;  // removed nodes, taken before any block's
    for (Node* node = m_pFree; node != nullptr && freed < wanted; node = node->GetNext()) ++freed;
    const std::size_t left = (m_pBlocks != nullptr ? m_pBlocks->capacity - m_pBlocks->used : 0) + (m_bOwnTaken ? 0 : 1);
    if (freed + left >= wanted) return;
    const std::size_t capacity = wanted - freed - (m_bOwnTaken ? 0 : 1);
    if (capacity > kLargestReserve) return;
    void* memory = ::operator new(kNodesOffset + capacity * sizeof(Node), std::nothrow);
    if (memory == nullptr) return;
    // The new block goes first: nodes are taken from the newest block, and
    // what is left in the one before stays unused until the list is emptied.
    m_pBlocks = new (memory) Block{m_pBlocks, capacity, 0};
  }

  // Exchanges the contents (elements, cursor, memory) of two lists.
  void Swap(ZQMACLinkedList& other) noexcept {
    std::swap(m_pHead, other.m_pHead);
    std::swap(m_pCursor, other.m_pCursor);
    std::swap(m_pFound, other.m_pFound);
    std::swap(m_iCount, other.m_iCount);
    std::swap(m_pBlocks, other.m_pBlocks);
    std::swap(m_pFree, other.m_pFree);
    std::swap(m_pSlots, other.m_pSlots);
    std::swap(m_uMask, other.m_uMask);
    std::swap(m_uUsed, other.m_uUsed);
    std::swap(m_uShift, other.m_uShift);
    std::swap(m_bIndexed, other.m_bIndexed);
    // Each list's own node stays where it is: its contents go with the
    // list, and what pointed at it is pointed at the new place.
    std::swap(m_own, other.m_own);
    std::swap(m_bOwnTaken, other.m_bOwnTaken);
    if (m_bOwnTaken) MoveOwnNode(&other.m_own);
    if (other.m_bOwnTaken) other.MoveOwnNode(&m_own);
  }

  // Starts the walk: the first element, or null for an empty list.
  T* GetFirstNode() {
    m_pCursor = m_pHead;
    if (m_pCursor == nullptr) return nullptr;
    m_pFound = m_pCursor;
    return m_pCursor->GetData();
  }

  // Continues the walk: null once the walk has passed the last element, and
  // on every further call until GetFirstNode.
  T* GetNextNode() {
    if (m_pCursor == nullptr) return nullptr;
    if (m_pCursor->GetNext() == m_pHead) return nullptr;
    m_pCursor = m_pCursor->GetNext();
    m_pFound = m_pCursor;
    return m_pCursor->GetData();
  }

  int GetListCount() const { return m_iCount; }

  // The element at a position from 0, found by walking (the cursor moves).
  // A negative position yields the first element; one at or beyond the
  // count yields null.
  T* operator[](int position) {
    T* element = GetFirstNode();
    for (int i = 0; i < position && element != nullptr; ++i) element = GetNextNode();
    return element;
  }

  // The node of the element, or null; remembered as the found node.
  Node* FindListNode(const T* element) {
    m_pFound = NodeAt(static_cast<const void*>(element));
    return m_pFound;
  }

  // The first element whose name equals the text (byte for byte, case-
  // sensitive); null for a null name or no match. Walks with the cursor.
  T* FindNode(const char* name) {
    if (name == nullptr) return nullptr;
    for (T* element = GetFirstNode(); element != nullptr; element = GetNextNode()) {
      if (std::strcmp(element->GetName().c_str(), name) == 0) return element;
    }
    return nullptr;
  }

  // Empties the list. With `deleteElements` every element is first deleted
  // through its virtual destructor, first to last, exactly once. The second
  // flag has no effect.
  void RemoveAllNodes(bool deleteElements, bool /*unused*/) {
    if (deleteElements && m_pHead != nullptr) {
      ZQMACLinkedList snapshot;
      snapshot.CopyFrom(*this);
      if (snapshot.GetListCount() == m_iCount) {
        for (T* element = snapshot.GetFirstNode(); element != nullptr; element = snapshot.GetNextNode()) delete element;
      }
    }
    FreeBlocks();
    m_pHead = nullptr;
    m_pCursor = nullptr;
    m_pFound = nullptr;
    m_iCount = 0;
    IndexClear();
    m_bIndexed = false;
  }

  // Unlinks one element (it is not deleted); false when it is not in the
  // list. A walk standing on the element goes on with the element after it;
  // when the element was the first one, the walk ends.
  bool RemoveNode(const T* element) { return RemoveNodeAt(static_cast<const void*>(element)); }

  // The same by the element's address: lets the object model unlink an
  // object that is being destroyed without touching it.
  bool RemoveNodeAt(const void* address) {
    Node* node = NodeAt(address);
    if (node == nullptr) return false;
    Unlink(node);
    return true;
  }

  // Unlinks every element for which `test` holds (none is deleted), in one
  // walk of the list, as RemoveNodeAt unlinks each: for the object model
  // unlinking many objects that go at once, where a search per object would
  // walk a short list once for each. The number unlinked.
  template <class Test>
  int RemoveNodesIf(Test test) {
    int removed = 0;
    Node* node = m_pHead;
    for (int i = 0, count = m_iCount; i < count; ++i) {
      Node* next = node->GetNext();  // read first: an unlinked node is reused
      if (test(node->GetData())) {
        Unlink(node);
        ++removed;
      }
      node = next;
    }
    return removed;
  }

  bool Contains(const T* element) const { return NodeAt(static_cast<const void*>(element)) != nullptr; }

  // True when `test` holds for an element; walks in order, stops at the
  // first match, and leaves the cursor alone, so a list can be read where
  // it lies instead of in a copy.
  template <class Test>
  bool AnyNode(Test test) const {
    Node* node = m_pHead;
    for (int i = 0; i < m_iCount; ++i, node = node->GetNext())
      if (test(node->GetData())) return true;
    return false;
  }
  // Calls `visit` with each element in order; the cursor stays.
  template <class Visit>
  void ForEachNode(Visit visit) const {
    AnyNode([&](T* element) {
      visit(element);
      return false;
    });
  }

 private:
  // Takes a node of the list out of the ring (and the index) and keeps it
  // for the next element. A walk standing on it goes on with the element
  // after it; when it was the first one, the walk ends.
  void Unlink(Node* node) {
    if (m_bIndexed) IndexErase(static_cast<const void*>(node->GetData()));
    if (m_pFound == node) m_pFound = nullptr;
    if (node->GetNext() == node) {
      m_pHead = nullptr;
      m_pCursor = nullptr;
    } else {
      Node* prev = node->GetPrev();
      Node* next = node->GetNext();
      prev->SetNext(next);
      next->SetPrev(prev);
      if (m_pCursor == node) m_pCursor = (node == m_pHead) ? nullptr : prev;
      if (m_pHead == node) m_pHead = next;
    }
    --m_iCount;
    if (m_iCount == 0) {
      FreeBlocks();
    } else {
      node->SetNext(m_pFree);
      m_pFree = node;
    }
  }

  // Links a new last node for the element (not in the list); the cursor
  // moves to it. Without memory for the node or its index entry nothing
  // changes.
  T* Append(T* element) {
    if (m_bIndexed && !IndexReserve(m_uUsed + 1)) return element;
    Node* node = NewNode(element);
    if (node == nullptr) return element;
    if (m_bIndexed) IndexPut(element, node);
    Link(node);
    return element;
  }

  // Links a new node (its index entry made) as the last one; the cursor
  // moves to it.
  void Link(Node* node) {
    if (m_pHead == nullptr) {
      m_pHead = node;
      node->SetNext(node);
      node->SetPrev(node);
    } else {
      Node* last = m_pHead->GetPrev();
      node->SetPrev(last);
      node->SetNext(m_pHead);
      last->SetNext(node);
      m_pHead->SetPrev(node);
    }
    ++m_iCount;
    m_pCursor = node;
    if (!m_bIndexed && m_iCount >= kIndexFrom) BuildIndex();
  }

  // Appends the source's elements in order, from its head along next.
  void CopyFrom(const ZQMACLinkedList& source) {
    Node* node = source.m_pHead;
    if (node == nullptr) return;
    do {
      AddNode(node->GetData());
      node = node->GetNext();
    } while (node != source.m_pHead);
    m_pFound = nullptr;
  }

  // The node of the element at `address`, or null: by the index once there
  // is one, else by walking from the first node.
  Node* NodeAt(const void* address) const {
    if (m_bIndexed) return IndexFind(address);
    Node* node = m_pHead;
    for (int i = 0; i < m_iCount; ++i, node = node->GetNext()) {
      if (static_cast<const void*>(node->GetData()) == address) return node;
    }
    return nullptr;
  }

  // Indexes every node. Without memory for it the list stays unindexed,
  // which is slower but just as correct.
  void BuildIndex() {
    if (!IndexReserve(static_cast<std::size_t>(m_iCount))) return;
    Node* node = m_pHead;
    for (int i = 0; i < m_iCount; ++i, node = node->GetNext()) IndexPut(node->GetData(), node);
    m_bIndexed = true;
  }

  // ---- nodes: the first comes from the list itself, the others from
  // blocks of the list, each twice the size of the one before (up to
  // kLargestBlock nodes), and a node that is removed waits in a free chain
  // for the next element; the blocks go when the list is emptied. A list of
  // one element (most drives have one path) costs no allocation, one of a
  // few elements an allocation or two instead of one per element, and
  // emptying it walks no nodes. ----
  struct Block {
    Block* next;
    std::size_t capacity;
    std::size_t used;
  };
  static constexpr std::size_t kLargestBlock = 256;
  static constexpr std::size_t kLargestReserve = 1 << 20;
  static_assert(std::is_trivially_destructible_v<Node>, "nodes are reused and freed without being destroyed");
  static Node* NodesOf(Block* block) {
    return reinterpret_cast<Node*>(reinterpret_cast<char*>(block) + kNodesOffset);
  }
  static constexpr std::size_t kNodesOffset = (sizeof(Block) + alignof(Node) - 1) / alignof(Node) * alignof(Node);
  Node* NewNode(T* element) {
    if (m_pFree != nullptr) {
      Node* node = m_pFree;
      m_pFree = node->GetNext();
      return new (node) Node(element);
    }
    if (!m_bOwnTaken) {
      m_bOwnTaken = true;
      return new (&m_own) Node(element);
    }
    if (m_pBlocks == nullptr || m_pBlocks->used == m_pBlocks->capacity) {
      const std::size_t capacity =
          m_pBlocks == nullptr ? 2 : (m_pBlocks->capacity < kLargestBlock ? 2 * m_pBlocks->capacity : kLargestBlock);
      void* memory = ::operator new(kNodesOffset + capacity * sizeof(Node), std::nothrow);
      if (memory == nullptr) return nullptr;
      m_pBlocks = new (memory) Block{m_pBlocks, capacity, 0};
    }
    return new (NodesOf(m_pBlocks) + m_pBlocks->used++) Node(element);
  }
  void FreeBlocks() {
    while (m_pBlocks != nullptr) {
      Block* next = m_pBlocks->next;
      ::operator delete(static_cast<void*>(m_pBlocks));
      m_pBlocks = next;
    }
    m_pFree = nullptr;
    m_bOwnTaken = false;
  }
  // After a swap: this list's own node holds what the node at `from` (the
  // other list's own node) held; points whatever referred to `from` at it.
  void MoveOwnNode(Node* from) {
    Node* const own = &m_own;
    // Removed: it waits in the free chain.
    if (m_pFree == from) {
      m_pFree = own;
      return;
    }
    for (Node* node = m_pFree; node != nullptr; node = node->GetNext()) {
      if (node->GetNext() == from) {
        node->SetNext(own);
        return;
      }
    }
    if (own->GetNext() == from) {  // the only element
      own->SetNext(own);
      own->SetPrev(own);
    } else {
      own->GetNext()->SetPrev(own);
      own->GetPrev()->SetNext(own);
    }
    if (m_pHead == from) m_pHead = own;
    if (m_pCursor == from) m_pCursor = own;
    if (m_pFound == from) m_pFound = own;
    if (m_bIndexed) m_pSlots[IndexSlot(own->GetData())].node = own;
  }

  // ---- the index: linear probing over a power-of-two table at most half
  // full; a free slot has a null key ----
  struct Slot {
    const void* key;
    Node* node;
  };
  std::size_t Home(const void* key) const {
    const std::uint64_t h = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h >> m_uShift);
  }
  Node* IndexFind(const void* key) const {
    if (m_pSlots == nullptr) return nullptr;
    for (std::size_t i = Home(key);; i = (i + 1) & m_uMask) {
      if (m_pSlots[i].key == key) return m_pSlots[i].node;
      if (m_pSlots[i].key == nullptr) return nullptr;
    }
  }
  // Makes room for `count` entries; false (the table unchanged) without memory.
  bool IndexReserve(std::size_t count) {
    if (m_pSlots != nullptr && 2 * count <= m_uMask + 1) return true;
    std::size_t capacity = 64;
    unsigned shift = 58;
    while (capacity < 2 * count) {
      capacity *= 2;
      --shift;
    }
    Slot* slots = new (std::nothrow) Slot[capacity]();
    if (slots == nullptr) return false;
    Slot* old = m_pSlots;
    const std::size_t oldCapacity = old == nullptr ? 0 : m_uMask + 1;
    m_pSlots = slots;
    m_uMask = capacity - 1;
    m_uShift = shift;
    m_uUsed = 0;
    for (std::size_t i = 0; i < oldCapacity; ++i)
      if (old[i].key != nullptr) IndexPut(old[i].key, old[i].node);
    delete[] old;
    return true;
  }
  // The slot of the key, or the free slot where it would go (the table has
  // room).
  std::size_t IndexSlot(const void* key) const {
    std::size_t i = Home(key);
    while (m_pSlots[i].key != nullptr && m_pSlots[i].key != key) i = (i + 1) & m_uMask;
    return i;
  }
  // Enters a key that is not in the table (room was reserved).
  void IndexPut(const void* key, Node* node) {
    const std::size_t i = IndexSlot(key);
    if (m_pSlots[i].key == nullptr) ++m_uUsed;
    m_pSlots[i] = Slot{key, node};
  }
  // Removes a key, moving later entries of its probe run back into the gap
  // so that every remaining key stays reachable from its home slot.
  void IndexErase(const void* key) {
    if (m_pSlots == nullptr) return;
    std::size_t hole = Home(key);
    while (m_pSlots[hole].key != key) {
      if (m_pSlots[hole].key == nullptr) return;
      hole = (hole + 1) & m_uMask;
    }
    for (std::size_t next = (hole + 1) & m_uMask; m_pSlots[next].key != nullptr; next = (next + 1) & m_uMask) {
      const std::size_t home = Home(m_pSlots[next].key);
      // The entry may fill the hole when its home is not in (hole, next].
      const bool reachable = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
      if (reachable) continue;
      m_pSlots[hole] = m_pSlots[next];
      hole = next;
    }
    m_pSlots[hole] = Slot{nullptr, nullptr};
    --m_uUsed;
  }
  void IndexClear() {
    delete[] m_pSlots;
    m_pSlots = nullptr;
    m_uMask = 0;
    m_uUsed = 0;
  }

  // Lists this long keep an index.
  static constexpr int kIndexFrom = 32;

  Node* m_pHead = nullptr;    // the first node; null when empty
  Node* m_pCursor = nullptr;  // where the built-in walk stands
  Node* m_pFound = nullptr;   // the node last reached by a walk step or FindListNode
  int m_iCount = 0;
  Block* m_pBlocks = nullptr;  // the newest first
  Node* m_pFree = nullptr;     // removed nodes, chained through their next
  Slot* m_pSlots = nullptr;  // element address -> node, when m_bIndexed
  std::size_t m_uMask = 0;   // the table's size less one
  std::size_t m_uUsed = 0;   // entries in the table
  unsigned m_uShift = 58;    // 64 less the table size's power of two
  bool m_bIndexed = false;
  bool m_bOwnTaken = false;  // m_own holds an element or waits in the free chain
  Node m_own;                // the first node the list needs
};
