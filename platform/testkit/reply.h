// Test control of the reply channel.
//
//   testkit::reply::Recorder rec;        // record every frame written while it lives
//   ... code under test ...
//   rec.replies()                         // kind, message id, sequence, socket, items, delivered
//
//   testkit::reply::failNextAllocations(1);  // the next `new (std::nothrow) EvReturnData`
//                                            // (or derived) yields null
//   testkit::reply::failNextBegins(1);       // the next begin() fails
//   testkit::reply::failNextWrites(1);       // the next frame is not written (as for a
//                                            // peer that has gone away)
//
// Replies can also be read off a socketpair with tkwire::readReplies
// (wire/WireCodec.h), which is what the client would see.
#pragma once

#include "platform/reply/ReplyJournal.h"

namespace testkit::reply {

using SentReply = tkreply::SentReply;
using SentItem = tkreply::SentItem;

inline tkjournal::Journal& journal() { return tkreply::journal(); }

inline void failNextAllocations(int times = 1, const std::string& text = "injected allocation failure") {
  tkreply::journal().injectFailure("allocate", -1, text, times);
}
inline void failNextBegins(int times = 1, const std::string& text = "injected begin failure") {
  tkreply::journal().injectFailure("begin", -1, text, times);
}
inline void failNextWrites(int times = 1, const std::string& text = "injected write failure") {
  tkreply::journal().injectFailure("write", -1, text, times);
}

// Forgets recorded replies, calls and scripted failures; recording off.
inline void reset() {
  tkreply::setRecording(false);
  tkreply::clearSentReplies();
  tkreply::journal().reset();
}

// Records every frame written while it lives (starting empty), then resets.
class Recorder {
 public:
  Recorder() {
    reset();
    tkreply::setRecording(true);
  }
  ~Recorder() { reset(); }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  std::vector<SentReply> replies() const { return tkreply::sentReplies(); }
  void clear() { tkreply::clearSentReplies(); }
};

}  // namespace testkit::reply
