// Console words for changing tape libraries, adding library controllers and
// dragging objects in the configuration tree. A request (command line or
// script line) whose handler word is
//
//   change-library OP HANDLE [TAG=VALUE ...]
//        one record of the library request on the library of HANDLE
//        (onMsgSetMMLibrary 4001=OP 11003=u64:HANDLE TAG=VALUE ... 2052=0):
//        OP 3 change (for example 8251="new alias" 11009=4), 12 the
//        object's action, 35 identify new media, 84 automatic discovery
//        (11178=1), 85 the discovery schedule
//   probe-ndmp SERVER PATH [AGENT]
//        the library the NDMP server answers for at the access path,
//        through the media agent when the configuration knows it (4001=58)
//   library-server HOST
//        the libraries the library server shares (4001=58 11089=HOST)
//   add-ndmp-controller AGENT SERVER PATH VENDOR PRODUCT ID BASE DRIVES
//        a controller of the NDMP library to the media agent (4001=54)
//   add-ip-controller AGENT HOST VENDOR PRODUCT ID BASE DRIVES [TAG=VALUE ...]
//        a controller of the library server's library to the media agent
//        (4001=55; 11103=N and 11417=RANGE may follow)
//   drag HANDLE [ON-HANDLE [MODE]]
//        drops the object of HANDLE on the object of ON-HANDLE (0 or
//        nothing: on nothing) in the drop mode (default 0) (onMsgMMDragNDrop)
//
// is sent as the request it stands for. Options before the word (--user N,
// --seq N, ...) are kept. Only the console that holds the configuration
// session is served (take the lock first, in the same --script).
#pragma once

#include <string>
#include <vector>

namespace tkconsole {

// Replaces a word above in `words` by the request words it stands for
// (script words keep their quotes: fromShell false); `payload` gets the
// bytes behind the element count that a drag carries (the other words
// above carry none and leave it alone). Words not listed above, and
// `payload` with them, are left alone. False with the reason when the word
// is wrong.
bool expandLibraryChangeCommand(std::vector<std::string>& words, bool fromShell, std::string& error,
                                std::string& payload);

}  // namespace tkconsole
