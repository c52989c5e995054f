// Console words for the library listing. A request (command line or script
// line) whose handler word is
//
//   libraries        every shown library with its record  (onMsgGetMMLibraries)
//   library HANDLE   the record of one library            (onMsgGetMMLibraryProperties handle=HANDLE)
//
// is sent as the request it stands for. Options before the word (--user N,
// --seq N, ...) are kept. The listing answers the console that holds the
// configuration session (take the lock first, in the same session); any
// other console is told that its session was taken over.
#pragma once

#include <string>
#include <vector>

namespace tkconsole {

// Replaces a library word in `words` by the request words it stands for
// (script words keep their quotes: fromShell false). Other words are left
// alone. False with the reason when the library word is wrong.
bool expandLibraryCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

}  // namespace tkconsole
