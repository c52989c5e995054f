// The process-wide switches of the stand-ins' journals: recording, and the
// count of scripted failures that keeps takeFailure to one load when nothing
// is scripted.
#include "platform/journal/Journal.h"

#include "platform/testkit/journal.h"

namespace tkjournal::detail {

std::atomic<bool> g_recording{false};
std::atomic<long> g_scripted{0};

}  // namespace tkjournal::detail

namespace testkit::journal {

void setRecording(bool on) { tkjournal::detail::g_recording.store(on); }

}  // namespace testkit::journal
