// The reply channel's record of what it wrote, and its failure script.
// Read and driven through platform/testkit/reply.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/journal/Journal.h"

namespace tkreply {

struct SentItem {
  uint32_t tag = 0;
  std::string bytes;
};

// One frame the channel tried to write.
struct SentReply {
  uint32_t kind = 0;       // tkwire::kReplyItems or tkwire::kReplyRaw
  uint32_t messageId = 0;
  int64_t sequence = 0;
  int descriptor = -1;     // the socket it went to
  std::vector<SentItem> items;  // kReplyItems
  std::string raw;              // kReplyRaw
  bool delivered = false;       // the whole frame was written
};

// Failures scripted by name: "allocate" (the next reply object allocations
// yield null, or throw std::bad_alloc from the throwing new), "begin" (the
// next begin calls fail), "write" (the next frames are not written: the
// write fails as for a closed peer). While recording is on, the journal
// also gets one call per frame ("reply": kind, message id, sequence,
// descriptor, item count, delivered) and per sendResponse ("sendResponse":
// sequence, descriptor, status, text).
tkjournal::Journal& journal();

// Recording of written frames is off by default, so that a long-running
// host keeps nothing.
void setRecording(bool on);
bool recording();
std::vector<SentReply> sentReplies();
void clearSentReplies();

}  // namespace tkreply
