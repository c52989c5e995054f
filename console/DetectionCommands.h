// Console words for device detection. A request (command line or script
// line) whose handler word is
//
//   detect AGENT...        detection by the named media agents
//                          (onMsgMMAutoDetect 2048=idtext:0:AGENT ... 2052=0)
//   detect-keep AGENT...   the same, keeping the agents for the detected
//                          listings and an exhaustive detection (11033=1)
//   detected-libraries     what the kept agents found (onMsgGetMMDetectedLibraries)
//   detected-drives        (onMsgGetMMDetectedDrives)
//
// is sent as the request it stands for. Options before the word (--user N,
// --seq N, ...) are kept. Only the console that holds the configuration
// session is served; the detection's progress (1017) and status texts and
// warnings (11055) are printed as they arrive, before its answer.
#pragma once

#include <string>
#include <vector>

namespace tkconsole {

// Replaces a detection word in `words` by the request words it stands for
// (script words keep their quotes: fromShell false). Other words are left
// alone. False with the reason when the detection word is wrong.
bool expandDetectionCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

}  // namespace tkconsole
