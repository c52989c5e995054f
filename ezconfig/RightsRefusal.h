// What the XML requests do when the security service refuses a right: the
// rights alert, and the answer text formatted with the service's reason.
// Shared so that every request refuses alike.
//
//   tkezconfig::sendRightsAlert(record.userId, reason);
//   answerText = tkezconfig::eventText(kTag, record.sequenceNumber, 0x240001EF, reason);
#pragma once

#include <string>

namespace tkezconfig {

// Raises alert 1020 with condition 12 for the user, with `reason` as its text.
void sendRightsAlert(unsigned long userId, const std::string& reason);
// Catalogue text `id` with one text argument, formatted through an event of
// `tag` in the locale of the request's sequence number (at most 1,023 bytes).
std::string eventText(const char* tag, long long sequenceNumber, unsigned long id, const std::string& argument);

}  // namespace tkezconfig
