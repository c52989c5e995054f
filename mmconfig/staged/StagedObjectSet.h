// The Set requests that fill a staging object from their elements and add
// it (operation 48), or remove (2) or change (3) the object of the id the
// request names: the DRU hosts and the archive clusters.
//
// Each record (ended by 2052) is answered with one operation response whose
// status and text are the record's own: 1 "Success", or 0 with the reason.
// An operation other than these three is answered the same way with 0
// "Received invalid operation type", and the request goes on. The request's
// result is false when any record failed. An add or change whose record
// brought a value the staging object refused fails with the refusal, rather
// than store something else than was asked. After a successful add the
// configuration owns the staging object; a later record of the request
// fills a fresh one.
//
//   class HostSet : public tkmm::StagedObjectSet { ... add, remove, change ... };
//   HostSet set(*request);
//   return tkmm::runStagedSet(request, kTag, set);
#pragma once

#include <cstdint>
#include <string>

#include "frame/HandlerSkeleton.h"

namespace tkmm {

class StagedObjectSet : public SetRecordHandler {
 public:
  static constexpr uint32_t kOpAdd = 48;
  static constexpr uint32_t kOpRemove = 2;
  static constexpr uint32_t kOpChange = 3;

  StagedObjectSet(MessageInfo& request, const char* tag) : m_request(request), m_tag(tag) {}

  bool servesOperation(uint32_t /*operation*/) const final { return true; }
  bool needsObject(uint32_t /*operation*/) const final { return false; }
  SetOutcome apply(const SetRecord& record) final;
  bool allSucceeded() const { return !m_anyFailed; }

 protected:
  // Each returns false with the reason in `text`.
  virtual bool add(ZQMACMediaConfig& config, std::string& text) = 0;
  virtual bool remove(ZQMACMediaConfig& config, std::string& text) = 0;
  virtual bool change(ZQMACMediaConfig& config, std::string& text) = 0;
  // A value of the current record that the staging object refused; the
  // first one counts.
  void refuseValue(const std::string& reason) {
    if (m_refusal.empty()) m_refusal = reason.empty() ? "A value of the request was refused." : reason;
  }

  MessageInfo& m_request;
  const char* m_tag;

 private:
  bool m_anyFailed = false;
  std::string m_refusal;
};

// runSet with the handler; false also when a record failed.
bool runStagedSet(MessageInfo* request, const char* tag, StagedObjectSet& handler);

}  // namespace tkmm
