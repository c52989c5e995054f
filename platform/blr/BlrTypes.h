// The block-level replication service as the handlers use it: the identity
// of a protected machine (BlrUUID), the replication pairs kept by the
// service (BlrDB::Pair with its disks) and the reading of them
// (BlrDB::getPairs), and the replication controller of a head proxy
// (BlrCtrl in platform/blr/BlrCtrl.h).
//
//   BlrDB::Pair filter;
//   filter.rpStoreId = 12;
//   std::list<BlrDB::Pair> pairs;
//   CWyError error = BlrDB::getPairs(filter, pairs);
//
// The stand-in reads the pairs from the pair table of the database
// (BlrPair); its calls are journaled and can be made to fail
// (platform/testkit/blr.h).
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "frame/CWyError.h"
#include "platform/journal/Journal.h"

// 16 bytes naming a machine; zero when made or cleared.
struct BlrUUID {
  uint8_t bytes[16] = {};
  void clear() {
    for (uint8_t& b : bytes) b = 0;
  }
  bool operator==(const BlrUUID& other) const;
  // 32 lower-case hexadecimal digits.
  std::string toString() const;
  // Reads 32 hexadecimal digits; false (and the UUID cleared) otherwise.
  bool fromString(const std::string& text);
};

class BlrDB {
 public:
  // One replicated disk of a pair.
  struct Disk {
    int diskId = 0;
    std::string sourcePath;
    std::string targetPath;
    BlrUUID sourceDiskId;
    BlrUUID targetDiskId;
    int flags = 0;
    std::string volumeName;
  };

  // One replication pair: a protected machine replicated through a head
  // proxy (the client that drives it) into an RP store. Pairs of one machine
  // with the same group key are configured together.
  struct Pair {
    int pairId = 0;
    int sourceClientId = 0;
    int destinationClientId = 0;
    int headProxyClientId = 0;
    int state = 0;
    int groupKey = 0;
    int flags = 0;
    std::string sourceName;
    std::string destinationName;
    BlrUUID machineUUID;
    BlrUUID destinationUUID;
    int replicationType = 0;
    int policyId = 0;
    int subclientId = 0;
    int rpStoreId = 0;
    int recoveryPoints = 0;
    int status = 0;
    std::string statusText;
    std::list<Disk> disks;
    std::string properties;
  };

  // The pairs that match the filter, in pair-id order, replacing what
  // `pairs` held: a non-zero pair id, head proxy or RP-store id of the
  // filter must be equal. On failure `pairs` is left as it was.
  static CWyError getPairs(const Pair& filter, std::list<Pair>& pairs);
};

namespace tkblr {

// Journal of the stand-ins: "getPairs" (filter pair id, head proxy, RP-store
// id), "connect" (host), "applyRepCfg" (host, machine UUID, pair ids joined
// by ","), "disconnect" (host, when a connected controller goes). A failure
// injected into a call's name makes the next such call fail with its code
// and text.
tkjournal::Journal& journal();
// The next `times` calls of `call` ("connect" or "applyRepCfg") on `host` fail.
void failOnHost(const std::string& call, const std::string& host, int times = 1);
// Forgets calls and failures.
void reset();

}  // namespace tkblr
