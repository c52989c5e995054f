// The body buffer of a remote-session message. Either it points at the
// caller's memory (setExternalBuffer: the caller's buffer outlives the
// wrapper and is never freed by it) or it owns memory of its own
// (allocate), freed when the wrapper goes.
//
//   snapDiscoveryResp reply;
//   zqsDatabuf_v2 buffer;
//   buffer.setExternalBuffer(&reply, sizeof reply);
//   network.ReceiveXDRMessage(&type, buffer, nullptr, 0, -1, flag);
#pragma once

#include <cstddef>
#include <memory>

// Memory of `T` owned or borrowed.
template <class T>
class CAutoMemory {
 public:
  CAutoMemory() = default;
  CAutoMemory(const CAutoMemory&) = delete;
  CAutoMemory& operator=(const CAutoMemory&) = delete;

  void borrow(T* memory) {
    m_owned.reset();
    m_memory = memory;
  }
  void allocate(std::size_t count) {
    m_owned = std::make_unique<T[]>(count);
    m_memory = m_owned.get();
  }
  T* get() const { return m_memory; }
  bool owns() const { return m_owned != nullptr; }

 private:
  std::unique_ptr<T[]> m_owned;
  T* m_memory = nullptr;
};

class zqsDatabuf_v2 {
 public:
  zqsDatabuf_v2() = default;
  zqsDatabuf_v2(const zqsDatabuf_v2&) = delete;
  zqsDatabuf_v2& operator=(const zqsDatabuf_v2&) = delete;

  // Points the wrapper at the caller's memory of `length` bytes (null and 0
  // for an empty body).
  void setExternalBuffer(void* buffer, std::size_t length) {
    m_memory.borrow(static_cast<char*>(buffer));
    m_length = buffer != nullptr ? length : 0;
  }
  // Memory of the wrapper's own, zeroed.
  void allocate(std::size_t length) {
    m_memory.allocate(length);
    m_length = length;
  }
  char* getBuffer() const { return m_memory.get(); }
  std::size_t getLength() const { return m_length; }

 private:
  CAutoMemory<char> m_memory;
  std::size_t m_length = 0;
};
