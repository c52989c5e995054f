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
// Texts longer than their fields are cut, always terminated. Calls are
// journaled under "ZQMMNDMPHostInfo::<call>" in the table access's journal
// and can be made to fail (platform/testkit/mmdb.h).
#pragma once

#include <memory>

#include "platform/ndmp/NasHostTypes.h"

class ZQMMNDMPHostInfo {
 public:
  explicit ZQMMNDMPHostInfo(int value = 1);

  // Every entry in table order: their number, the list in `list` (empty
  // when there are none); -1 when the table cannot be read.
  int getNDMPHostList(std::unique_ptr<MMNDMPHostInfoMsg[]>& list);
  void deleteList(std::unique_ptr<MMNDMPHostInfoMsg[]>& list) { list.reset(); }
  // 0 with `entry` filled when the client has an entry of that OS type; 1
  // when it has none; -1 when the table cannot be read.
  int getNDMPHostInfoByClientIdAndOSType(int clientId, int osType, MMNDMPHostInfoMsg& entry);

 private:
  [[maybe_unused]] int m_value;
};
