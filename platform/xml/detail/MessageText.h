// Inside the XML message library: a message to and from its text, under
// the layout and the limits of CNMessageBase.h. Both return 0 or an error code
// and say in `why` what was refused (never a value).
#pragma once

#include <string>

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/detail/XmlText.h"

namespace tkxml::detail {

// The element of a present message into `out` (emptied first).
int writeMessage(const CNMessageBase& m, bool pretty, std::string& out, std::string& why);

// Reads a whole text into the empty message `m`, whose class its root
// element must be.
int readDocument(const std::string& text, CNMessageBase& m, std::string& why);

}  // namespace tkxml::detail
