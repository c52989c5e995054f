// The most of one element value a handler reads, stated once for the walker
// every element-stream handler uses (frame/MessageWalker.h) and for the
// console, which refuses to send an element the walk would end at: the walk
// stops silently there, the records behind it are never acted on and the
// handler answers nothing. Constants only, so that every file can include it
// cheaply.
#pragma once

// Value capacity every handler passes to the walker: a longer value ends the
// walk.
inline constexpr unsigned long kMessageValueCapacity = 4104;
