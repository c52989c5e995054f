// The NDMP host list of the media-management service: every row of the NDMP
// host table as a fixed-size MMNDMPHostInfoMsg, so that what the table
// access (MMNDMPHostInfoDB) writes is what the list shows. An entry's host
// name is the network host name of its client.
//
//   ZQMMNDMPHostInfo hosts(1);
//   std::unique_ptr<MMNDMPHostInfoMsg[]> list;
//   int count = hosts.getNDMPHostList(list);   // -1 on failure
//   ... copy what is needed out of list[0 .. count) ...
//   hosts.deleteList(list);
//
// A caller that keeps little of each entry walks the table instead, so that
// it never holds every entry at once (an entry is 4 KB):
//
//   hosts.walkNDMPHostList([&](const MMNDMPHostInfoMsg& entry) {
//     ... copy what is needed out of entry ...
//     return true;                          // false ends the walk here
//   });                                     // -1 on failure
//
// Texts longer than their fields are cut, always terminated. Calls are
// journaled under "ZQMMNDMPHostInfo::<call>" in the table access's journal
// and can be made to fail (platform/testkit/mmdb.h).
#pragma once

#include <functional>
#include <memory>

#include "platform/ndmp/NasHostTypes.h"

class ZQMMNDMPHostInfo {
 public:
  explicit ZQMMNDMPHostInfo(int value = 1);

  // Every entry in table order: their number, the list in `list` (empty
  // when there are none); -1 when the table cannot be read.
  int getNDMPHostList(std::unique_ptr<MMNDMPHostInfoMsg[]>& list);
  void deleteList(std::unique_ptr<MMNDMPHostInfoMsg[]>& list) { list.reset(); }
  // The same entries in the same order, handed to `visit` one at a time in
  // one entry that the next overwrites: what it keeps, it copies. `visit`
  // returns true to go on, false to end the walk there. It runs while the
  // table is being read, so it must not write to the database. 0 once the
  // walk has ended; -1 when the table cannot be read (the entries seen
  // before the failure have been handed over). Journaled and failed as
  // getNDMPHostList, under its name: it is the same read.
  int walkNDMPHostList(const std::function<bool(const MMNDMPHostInfoMsg&)>& visit);
  // 0 with `entry` filled when the client has an entry of that OS type; 1
  // when it has none; -1 when the table cannot be read.
  int getNDMPHostInfoByClientIdAndOSType(int clientId, int osType, MMNDMPHostInfoMsg& entry);

 private:
  [[maybe_unused]] int m_value;
};
