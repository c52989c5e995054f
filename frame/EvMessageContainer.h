// A user-visible message carried as a message id with typed arguments: an
// audit parameter, or the error of a platform call that reports it that way.
#pragma once

#include <cstdint>

#include "frame/ArgumentInfo.h"

class EvMessageEntities {
 public:
  EvMessageEntities() { Clear(); }
  void Clear() {
    m_values[0] = m_values[1] = m_values[2] = m_values[3] = 0;
  }
  int32_t Get(int index) const { return m_values[index]; }
  void Set(int index, int32_t value) { m_values[index] = value; }
  bool operator==(const EvMessageEntities& other) const {
    return m_values[0] == other.m_values[0] && m_values[1] == other.m_values[1] &&
           m_values[2] == other.m_values[2] && m_values[3] == other.m_values[3];
  }

 private:
  int32_t m_values[4];
};

class EvMessageContainer {
 public:
  EvMessageContainer() { Clear(); }
  EvMessageContainer(const EvMessageContainer& other) : m_messageId(0), m_second(0) { *this = other; }
  EvMessageContainer& operator=(const EvMessageContainer& other) {
    if (this == &other) return *this;  // clearing first would lose the message
    Clear();
    m_messageId = other.m_messageId;
    m_second = other.m_second;
    m_arguments = other.m_arguments;
    m_entities = other.m_entities;
    return *this;
  }
  ~EvMessageContainer() = default;

  void Clear() {
    m_arguments.Clear();
    m_messageId = 0;
    m_second = 0;
    m_entities.Clear();
  }

  // Sets the id; with `clearArguments` the arguments added so far are dropped.
  void SetMessageID(int id, bool clearArguments) {
    m_messageId = id;
    if (clearArguments) m_arguments.Clear();
  }
  int GetMessageID() const { return m_messageId; }
  int GetSecond() const { return m_second; }
  void SetSecond(int value) { m_second = value; }
  ArgumentInfo* GetArguments() { return &m_arguments; }
  const ArgumentInfo* GetArguments() const { return &m_arguments; }
  EvMessageEntities& GetEntities() { return m_entities; }
  const EvMessageEntities& GetEntities() const { return m_entities; }

  template <class T>
  EvMessageContainer& operator<<(const T& value) {
    m_arguments << value;
    return *this;
  }
  EvMessageContainer& operator<<(const char* text) {
    m_arguments << text;
    return *this;
  }

 private:
  ArgumentInfo m_arguments;
  int32_t m_messageId;
  int32_t m_second;
  EvMessageEntities m_entities;
};
