// The steps both frame readers take (readFrame, which never reads past its
// frame, and the host's buffered FrameReader): deadlines on the steady
// clock, one read that waits for its bytes until a deadline, and the size
// a frame's body grows by. Internal to wire/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "wire/WireCodec.h"

namespace tkwire::detail {

// The body buffer starts at this size and at most doubles with each step, so
// that what it holds stays within twice what has arrived.
inline constexpr size_t kFirstBodyChunk = 4096;

// A steady-clock time `ms` from now, in ms; negative `ms`: -1, no limit.
int64_t deadlineAfter(int ms);

// One read of at most `room` bytes into `to`, once something has arrived,
// by `deadline` (negative: no limit). `n` is what was read.
ReadStatus readSome(int fd, char* to, size_t room, int64_t deadline, size_t& n);

}  // namespace tkwire::detail
