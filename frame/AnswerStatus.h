// The status word of an answer to an element-stream request: the 32-bit
// number that opens item 2051 of a status reply (sendResponse) or of an
// operation response (EvMMConfigMgr::sendOperationResponse). Handlers name
// the status they answer with; the number goes on the wire through
// toWire().
//
//   answer.set(AnswerStatus::kSuccess, "Success");
//   sendResponse(sequence, &socket, toWire(answer.status), answer.text.c_str(), nullptr);
#pragma once

#include <cstdint>

enum class AnswerStatus : uint32_t {
  kFailure = 0,
  kSuccess = 1,
  // Success with a warning; an operation response then carries the count
  // (item 4117). The configuration lock answers it when an unlock is
  // refused.
  kWarning = 2,
  // Refused because of the state found; the configuration lock answers it
  // when another user holds the lock.
  kRefused = 3,
};

constexpr unsigned long toWire(AnswerStatus status) { return static_cast<unsigned long>(status); }
