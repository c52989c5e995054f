// The handle registry of a configuration instance: handle -> object, for the
// objects of the instance that were given a handle. Handles are handed out
// in rising order, so the registry is one vector in handle order that a new
// handle extends at its end; a removed object leaves a hole that a later
// compaction closes. That costs no allocation per handle. Not locked: the
// instance guards it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

class ZQMACInterface;

class ZQMACHandleRegistry {
 public:
  // Enters an object under a handle not in the registry.
  void Add(unsigned int handle, ZQMACInterface* object) {
    if (m_entries.empty() || m_entries.back().first < handle) {
      m_entries.emplace_back(handle, object);
    } else {
      auto it = Position(handle);
      if (it != m_entries.end() && it->first == handle) {
        if (it->second == nullptr) ++m_live;
        it->second = object;
        return;
      }
      m_entries.emplace(it, handle, object);
    }
    ++m_live;
  }
  void Reserve(std::size_t extra) { m_entries.reserve(m_entries.size() + extra); }

  // The object of the handle, or null.
  ZQMACInterface* Find(unsigned int handle) const {
    auto it = Position(handle);
    return it != m_entries.end() && it->first == handle ? it->second : nullptr;
  }

  // Removes the handle when it stands for `object`; false otherwise.
  bool Erase(unsigned int handle, const ZQMACInterface* object) {
    auto it = Position(handle);
    if (it == m_entries.end() || it->first != handle || it->second == nullptr || it->second != object) return false;
    it->second = nullptr;
    --m_live;
    // Holes are closed once they outnumber the objects, so a walk costs at
    // most twice the objects and a removal stays cheap.
    if (m_entries.size() > 64 && m_entries.size() - m_live > m_live) {
      m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                     [](const Entry& entry) { return entry.second == nullptr; }),
                      m_entries.end());
    }
    return true;
  }

  std::size_t Size() const { return m_live; }

  // Calls `visit` with each object in handle order.
  template <class Visit>
  void ForEach(Visit visit) const {
    for (const Entry& entry : m_entries)
      if (entry.second != nullptr) visit(entry.second);
  }

  // The objects in handle order, the registry left empty.
  std::vector<ZQMACInterface*> TakeAll() {
    std::vector<ZQMACInterface*> objects;
    objects.reserve(m_live);
    ForEach([&](ZQMACInterface* object) { objects.push_back(object); });
    Clear();
    return objects;
  }

  void Clear() {
    std::vector<Entry>().swap(m_entries);
    m_live = 0;
  }

 private:
  using Entry = std::pair<unsigned int, ZQMACInterface*>;

  std::vector<Entry>::const_iterator Position(unsigned int handle) const {
    return std::lower_bound(m_entries.begin(), m_entries.end(), handle,
                            [](const Entry& entry, unsigned int h) { return entry.first < h; });
  }
  std::vector<Entry>::iterator Position(unsigned int handle) {
    return std::lower_bound(m_entries.begin(), m_entries.end(), handle,
                            [](const Entry& entry, unsigned int h) { return entry.first < h; });
  }

  std::vector<Entry> m_entries;  // in handle order; a removed object leaves null
  std::size_t m_live = 0;        // entries that are not null
};
