// The list of the media-configuration object model: an ordered list of
// borrowed pointers to configuration objects of one class, with one built-in
// cursor for walking it and, once it holds kIndexFrom elements, an index
// from element address to node for fast membership tests (a short list is
// searched by walking it, which is cheaper than keeping an index: a loaded
// configuration has tens of thousands of short lists). Shared, header-only,
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

#include <cstring>
#include <map>
#include <new>
#include <tuple>

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
    Node* node = nullptr;
    if (m_bIndexed) {
      // One search of the index both finds a duplicate and places a new entry.
      typename std::map<void const*, Node*>::iterator slot;
      try {
        bool inserted = false;
        std::tie(slot, inserted) = m_index.try_emplace(static_cast<const void*>(element), nullptr);
        if (!inserted) {
          m_pFound = slot->second;
          return element;
        }
      } catch (...) {
        m_pFound = nullptr;
        return element;
      }
      m_pFound = nullptr;
      node = new (std::nothrow) Node(element);
      if (node == nullptr) {
        m_index.erase(slot);
        return element;
      }
      slot->second = node;
    } else {
      if (FindListNode(element) != nullptr) return element;
      node = new (std::nothrow) Node(element);
      if (node == nullptr) return element;
    }
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
    return element;
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
    if (m_pHead != nullptr) {
      m_pHead->GetPrev()->SetNext(nullptr);
      Node* node = m_pHead;
      while (node != nullptr) {
        Node* next = node->GetNext();
        delete node;
        node = next;
      }
    }
    m_pHead = nullptr;
    m_pCursor = nullptr;
    m_pFound = nullptr;
    m_iCount = 0;
    m_index.clear();
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
    if (m_bIndexed) m_index.erase(address);
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
    delete node;
    --m_iCount;
    return true;
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
    if (m_bIndexed) {
      auto it = m_index.find(address);
      return it == m_index.end() ? nullptr : it->second;
    }
    Node* node = m_pHead;
    for (int i = 0; i < m_iCount; ++i, node = node->GetNext()) {
      if (static_cast<const void*>(node->GetData()) == address) return node;
    }
    return nullptr;
  }

  // Indexes every node. Without memory for it the list stays unindexed,
  // which is slower but just as correct.
  void BuildIndex() {
    try {
      Node* node = m_pHead;
      for (int i = 0; i < m_iCount; ++i, node = node->GetNext())
        m_index.emplace(static_cast<const void*>(node->GetData()), node);
      m_bIndexed = true;
    } catch (...) {
      m_index.clear();
    }
  }

  // Lists this long keep an index.
  static constexpr int kIndexFrom = 32;

  Node* m_pHead = nullptr;    // the first node; null when empty
  Node* m_pCursor = nullptr;  // where the built-in walk stands
  Node* m_pFound = nullptr;   // the node last reached by a walk step or FindListNode
  int m_iCount = 0;
  std::map<void const*, Node*> m_index;  // element address -> node, when m_bIndexed
  bool m_bIndexed = false;
};
