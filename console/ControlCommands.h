// Console word for the control request. A request (command line or script
// line) whose handler word is
//
//   control OP           an operation on the whole configuration (12, 33, 68, 70)
//   control OP HANDLE    an operation on the object of HANDLE, as the listings give it
//
// is sent as one record of onMsgSetMMControl: 4001=OP [11003=u64:HANDLE]
// 2052=0. Options before the word (--user N, --seq N, ...) are kept. Only
// the console that holds the configuration session is served; the progress
// of a long operation (1017) and its status texts (11055) come before the
// operation's answer.
#pragma once

#include <string>
#include <vector>

namespace tkconsole {

// Replaces a control word in `words` by the request words it stands for
// (script words keep their quotes: fromShell false). Other words are left
// alone. False with the reason when the control word is wrong.
bool expandControlCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

}  // namespace tkconsole
