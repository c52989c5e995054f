// Bodies of EvEvent and EvGetLocText over the message catalogue, and the
// event log journal.
#include "frame/EvEvent.h"

#include <cstring>
#include <mutex>

#include "platform/catalogue/Catalogue.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/events/EventLog.h"

namespace tkevents {
namespace {

std::mutex& entriesMutex() {
  static std::mutex m;
  return m;
}
std::vector<Entry>& entryList() {
  static std::vector<Entry> list;
  return list;
}

}  // namespace

std::vector<Entry> entries() {
  std::lock_guard<std::mutex> guard(entriesMutex());
  return entryList();
}

void clearEntries() {
  std::lock_guard<std::mutex> guard(entriesMutex());
  entryList().clear();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

}  // namespace tkevents

namespace {

// Copies at most size - 1 bytes and a terminator; returns the buffer.
char* copyBounded(const std::string& text, char* buffer, unsigned long size) {
  if (buffer == nullptr || size == 0) return buffer;
  size_t n = text.size() < size - 1 ? text.size() : static_cast<size_t>(size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return buffer;
}

int raise(const char* kind, const EvEvent& event, int messageId, long long value, int flags) {
  std::vector<std::string> args = event.arguments().Texts();
  const std::string op = std::string(kind) + "Event";
  if (tkjournal::recording()) {
    std::vector<std::string> journalArgs = tkjournal::args(messageId, value, flags);
    journalArgs.insert(journalArgs.end(), args.begin(), args.end());
    tkevents::journal().record(op, std::move(journalArgs));
  }

  tkjournal::Failure failure;
  if (tkevents::journal().takeFailure(op, failure)) {
    EvDebug::Error("EvEvent::raise", "%s event 0x%08X not recorded: %s", kind, static_cast<unsigned>(messageId),
                   failure.text.c_str());
    return failure.code != 0 ? failure.code : -1;
  }

  tkevents::Entry entry;
  entry.kind = kind;
  entry.messageId = messageId;
  entry.value = value;
  entry.flags = flags;
  entry.arguments = args;
  entry.text = tkcatalogue::render(static_cast<uint32_t>(messageId), static_cast<uint16_t>(event.getLocaleId()), args);
  entry.location = event.location();
  EvDebug::Debug("EvEvent::raise", "%s event 0x%08X: %s", kind, static_cast<unsigned>(messageId), entry.text.c_str());
  // The entries are kept only for the tests that read them.
  if (tkjournal::recording()) {
    std::lock_guard<std::mutex> guard(tkevents::entriesMutex());
    tkevents::entryList().push_back(std::move(entry));
  }
  return 0;
}

}  // namespace

void EvEvent::setLocaleId(long long sequenceNumber) {
  m_localeId = static_cast<unsigned long>(static_cast<unsigned long long>(sequenceNumber) >> 48);
}

char* EvEvent::evPrintf(unsigned long messageId, char* buffer, unsigned long size, long long locale) {
  const uint16_t localeId =
      locale == 0 ? static_cast<uint16_t>(m_localeId) : tkevents::localeOf(static_cast<unsigned long long>(locale));
  std::vector<std::string> args = m_arguments.Texts();
  if (tkjournal::recording()) {
    std::vector<std::string> journalArgs = tkjournal::args(messageId, size, localeId);
    journalArgs.insert(journalArgs.end(), args.begin(), args.end());
    tkevents::journal().record("evPrintf", std::move(journalArgs));
  }
  return copyBounded(tkcatalogue::render(static_cast<uint32_t>(messageId), localeId, args), buffer, size);
}

int EvEvent::MajorEvent(int messageId, long long value, int flags) { return raise("Major", *this, messageId, value, flags); }
int EvEvent::CriticalEvent(int messageId, long long value, int flags) {
  return raise("Critical", *this, messageId, value, flags);
}
int EvEvent::InfoEvent(int messageId, long long value, int flags) { return raise("Info", *this, messageId, value, flags); }

char* EvGetLocTextV(unsigned long messageId, char* buffer, unsigned long size, unsigned long long locale,
                    const std::vector<std::string>& arguments) {
  const uint16_t localeId = tkevents::localeOf(locale);
  if (tkjournal::recording()) {
    std::vector<std::string> journalArgs = tkjournal::args(messageId, size, localeId);
    journalArgs.insert(journalArgs.end(), arguments.begin(), arguments.end());
    tkevents::journal().record("EvGetLocText", std::move(journalArgs));
  }
  return copyBounded(tkcatalogue::render(static_cast<uint32_t>(messageId), localeId, arguments), buffer, size);
}
