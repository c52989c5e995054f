// Console words that build an XML request from TAG=VALUE assignments: one
// field of a message set from its tag, and the request text as a script
// word. Used by the storage-library and device-paths words.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CNMessageBase;

namespace tkconsole {

// Sets TAG=VALUE into `message` (a message of class namespace:number `ns`,
// `cls`): a number field takes N or -N (or 0xN), a text field any text, a
// password field its plain text. Fields that hold messages cannot be set.
// False with the reason; `what` names the message in it.
bool setMessageField(CNMessageBase& message, unsigned ns, unsigned cls, const std::string& assignment,
                     const char* what, std::string& error);

// The word that names an XML request's message id: its class's hash
// (kClassHash) as 0x%08X.
std::string xmlMessageIdWord(unsigned classHash);

// Replaces the words from `at` on by the request words of an XML request
// through the dispatcher: --xml MESSAGE-ID HandleMMConfigMgrXmlMsg TEXT (a
// script word keeps its quotes: the text in single quotes, a single quote
// inside written as the entity XML reads back).
void replaceByXmlRequest(std::vector<std::string>& words, std::size_t at, unsigned messageId,
                         const std::string& xml, bool fromShell);

}  // namespace tkconsole
