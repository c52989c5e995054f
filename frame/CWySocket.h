// The client connection as the handlers see it: a socket descriptor, -1 when
// there is none.
#pragma once

class CWySocketDescriptor {
 public:
  CWySocketDescriptor() = default;
  explicit CWySocketDescriptor(int fd) : m_fd(fd) {}
  operator int() const { return m_fd; }

 private:
  int m_fd = -1;
};

class CWySocket {
 public:
  CWySocket() = default;
  explicit CWySocket(int fd) : m_descriptor(fd) {}

  CWySocketDescriptor GetSocketDescriptor() const { return m_descriptor; }
  bool IsValid() const { return static_cast<int>(m_descriptor) != -1; }
  bool operator==(const CWySocket& other) const {
    return static_cast<int>(m_descriptor) == static_cast<int>(other.m_descriptor);
  }
  bool operator!=(const CWySocket& other) const { return !(*this == other); }

 private:
  CWySocketDescriptor m_descriptor;
};
