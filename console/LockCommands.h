// Console words for the configuration lock. A request (command line or
// script line) whose handler word is one of
//
//   lock           take the lock                                  (operation 1)
//   force-lock     take the lock over from whoever holds it       (operation 3)
//   unlock         release it; refused while a library found by
//                  exhaustive detection is not configured         (operation 0)
//   unlock-anyway  release it without that check                  (operation 2)
//
// is sent as the configuration lock request, in the element-stream form
//
//   LockMMConfiguration first=<rights> count=<operation>   (rights=N, default 2)
//
// or, with the word `xml`, in the XML form
//
//   --xml 0x0DF9BE39 HandleMMConfigMgrXmlMsg '<request>'
//                                       (server-seq=N puts field 1 in)
//
// Options before the word (--user N, --seq N, ...) are kept. The lock
// outlives the connection that took it, and only that connection releases
// it with `unlock`: run the lock and its release in one console session
// (one --script), or release it from elsewhere with `unlock xml` (the XML
// form has no holder test) or take it with force-lock. What the console
// says about a lock it finds held is in LockAdvice.h.
#pragma once

#include <string>
#include <vector>

#include "console/CommandLine.h"

namespace tkconsole {

// Replaces a lock command in `words` by the request words it stands for
// (words of a script line keep their quotes: fromShell false). Words that
// are no lock command are left alone. False with the reason when the lock
// command is wrong.
bool expandLockCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

}  // namespace tkconsole
