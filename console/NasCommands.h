// Console words for NDMP servers and NAS clients. A request (command line
// or script line) whose handler word is
//
//   ndmp-servers [FILTER]            the names of the NDMP servers
//                                    (onMsgGetMMNDMPServers count=FILTER; 1 by
//                                    default: every kind of row)
//   ndmp-server CLIENT-ID [NAME]     the NDMP properties of one client, by id,
//                                    or by name with id 0
//                                    (onMsgGetMMNDMPServerProperties with the
//                                    name in its 256-byte field and the id)
//   media-agents                     the media agents (onMsgGetMMMediaAgents)
//   nas-clients                      the NAS clients (onMsgGetNASClients)
//   nas-remove|nas-restore ID NAME AGENT
//                                    remove (2) or restore (56) a NAS client
//                                    served by the proxy media agent AGENT
//
// is sent as the request it stands for; the Tarnfold is 2. The ID of
// nas-remove and nas-restore is passed on; the service finds the client by
// its name. Options before
// the word are kept. The NDMP login (item 11062) of the properties arrives
// encrypted for the connection and is shown decrypted.
#pragma once

#include <string>
#include <vector>

#include "wire/WireCodec.h"

namespace tkconsole {

// Replaces a NAS word in `words` by the request words it stands for
// (script words keep their quotes: fromShell false). Other words are left
// alone. False with the reason when the word is wrong.
bool expandNasCommand(std::vector<std::string>& words, bool fromShell, std::string& error);

// How the console shows an item of the NAS answers of `handler`: the NDMP
// login decrypted (`login "root"`); a client of the NAS-client listing,
// whose service lists clients by name only and so always answers id 0, as
// `(no id listed) "filer1"` rather than as a client with id 0; empty for any
// other item.
std::string describeNasItem(const std::string& handler, const tkwire::Item& item);

}  // namespace tkconsole
