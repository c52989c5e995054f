// The list of a field that holds messages.
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"
#include "platform/xml/detail/Diagnostics.h"

namespace tkxml {

MessageList::MessageList(unsigned nameSpace, unsigned classNumber) : m_ns(nameSpace), m_cls(classNumber) {}

MessageList::MessageList(const MessageList& other)
    : m_ns(other.m_ns), m_cls(other.m_cls), m_acceptAny(other.m_acceptAny), m_items(other.m_items) {}

MessageList& MessageList::operator=(const MessageList& other) {
  if (this != &other) {
    m_ns = other.m_ns;
    m_cls = other.m_cls;
    m_acceptAny = other.m_acceptAny;
    m_items = other.m_items;
  }
  return *this;
}

MessageList::MessageList(MessageList&&) noexcept = default;
MessageList& MessageList::operator=(MessageList&&) noexcept = default;
MessageList::~MessageList() = default;

CNMessageBase& MessageList::scratch() {
  if (!m_scratch) {
    m_scratch = std::make_unique<CNMessageBase>(m_ns, m_cls);
  } else {
    *m_scratch = CNMessageBase(m_ns, m_cls);
  }
  return *m_scratch;
}

CNMessageBase& MessageList::operator[](std::size_t index) {
  if (index < m_items.size()) return m_items[index];
  detail::reportMismatch("tkxml::MessageList::operator[]", "index " + std::to_string(index) + " of a list of " +
                                                               std::to_string(m_items.size()) + " messages of " +
                                                               className(m_ns, m_cls));
  return scratch();
}

const CNMessageBase& MessageList::operator[](std::size_t index) const {
  if (index < m_items.size()) return m_items[index];
  detail::reportMismatch("tkxml::MessageList::operator[]", "index " + std::to_string(index) + " of a list of " +
                                                               std::to_string(m_items.size()) + " messages of " +
                                                               className(m_ns, m_cls));
  thread_local CNMessageBase empty(0, 0);
  empty = CNMessageBase(0, 0);
  return empty;
}

void MessageList::push_back(const CNMessageBase& message) {
  if (!m_acceptAny && (message.getNamespace() != m_ns || message.getClassNumber() != m_cls)) {
    detail::reportMismatch("tkxml::MessageList::push_back", "a message of " +
                                                                className(message.getNamespace(), message.getClassNumber()) +
                                                                " appended to a list of " + className(m_ns, m_cls));
    return;
  }
  m_items.push_back(message);
}
}  // namespace tkxml
