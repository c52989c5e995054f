// Console words for SAN volume hosts. A request (command line or script
// line) whose handler word is
//
//   san-hosts                         the SAN volume hosts (onMsgGetSANVolumeHosts)
//   san-volumes HOST-ID               the host's recorded volumes (onMsgGetSANVolumes
//                                     count=HOST-ID)
//   san-discover HOST-ID HOST-NAME [mount-paths]
//                                     what volumes the host has, in full (operation
//                                     58), or only their mount paths and sizes (47):
//                                     onMsgSetSANVolumeHost 11602=idtext:ID:NAME
//                                     4001=58 2052=0
//
// is sent as the request it stands for. Options before the word (--user N,
// --seq N, ...) are kept. Recording, changing and mounting volumes take the
// handler's own elements (onMsgSetSANVolume, onMsgVolumeMountPointCommand).
#pragma once

#include <string>
#include <vector>

#include "wire/WireCodec.h"

namespace tkconsole {

// A device name (11633) or mount point (11653) of a SAN volume answer, as
// words: `id -1, client 101, flags 0: "E:"` (three u32, the id signed, and
// the name). Empty for any other item, or one too short to be one.
std::string describeSANVolumeItem(const tkwire::Item& item);

// Replaces a SAN volume word in `words` by the request words it stands for
// (script words keep their quotes: fromShell false). Other words are left
// alone. False with the reason when the word is wrong.
bool expandSANVolumeCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

}  // namespace tkconsole
