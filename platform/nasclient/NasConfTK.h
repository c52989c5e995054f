// The central server's own NAS-client calls, made inside the caller's
// database transaction (unlike the NAS-client service, which is reached over
// a network session): adding the NAS client of a new NDMP server and marking
// a NAS client removed when its NDMP server goes.
//
//   ncwAddNasClientV3 request{};
//   request.hostName = request.clientName = host;  request.path = root;  request.osType = 6;
//   int clientId = -1;
//   EvMessageContainer error;
//   AddNasClientTK(nullptr, &request, 0, clientId, error, &tran);
//   if (error.GetMessageID() != 0) ... roll back, answer the message ...
//   if (NasConfTKRemove(name, 0, &tran) == NASCONFTK_ERR_NO_CLIENT) ... it was no NAS client ...
//
// An add makes the client (APP_Client: name and network host name the host)
// and its NAS-client row (NasClient, no proxy media agent yet) in one step;
// a host that is already a client only gives its id and nothing is made.
// The request's OS type is an NDMP server's kind; the client's operating
// system is an id of the operating-system catalogue (SimOperatingSystem),
// which the listings ask whether the client is a NAS: an archive cluster
// runs the Centera client system, every other kind the filer system, which
// the catalogue is made to hold as a NAS. Both calls are journaled and can
// be made to fail (platform/testkit/nasclient.h: centralCalls()).
#pragma once

#include <cstdint>

#include "platform/journal/Journal.h"

class CZqNetwork;
class DBtran;
class EvMessageContainer;

struct ncwAddNasClientV3 {
  char* hostName = nullptr;
  char* clientName = nullptr;
  char* path = nullptr;
  uint32_t osType = 0;
  uint32_t reserved[7] = {};
};

// Results of NasConfTKRemove.
inline constexpr int NASCONFTK_ERR_OK = 0;
inline constexpr int NASCONFTK_ERR_NO_CLIENT = 0x29000033;  // no NAS client of that name
inline constexpr int NASCONFTK_ERR_DATABASE = 0x29000034;   // the table could not be read or written

// Ids of the operating-system catalogue that a new NAS client runs.
inline constexpr int kCatalogueFilerOs = 70;    // "Filer OS", a NAS
inline constexpr int kCatalogueCenteraOs = 55;  // the Centera client system
// The NDMP server kind of an archive cluster.
inline constexpr uint32_t kNdmpOsCentera = 14;

// Catalogue id of a failed add (%1 the host, %2 the reason).
inline constexpr int kTextNasClientNotAdded = 0x29000032;

// On success `error` stays empty (message id 0) and `clientId` holds the
// client's id; on failure `error` holds kTextNasClientNotAdded with its
// arguments and `clientId` is left as it was. `network` and `flags` are not
// used.
void AddNasClientTK(CZqNetwork* network, const ncwAddNasClientV3* request, int flags, int& clientId,
                    EvMessageContainer& error, DBtran* tran);

// Marks the NAS client of that name removed. `kind` is not used.
int NasConfTKRemove(const char* clientName, int kind, DBtran* tran);

namespace tknasclient {
// "AddNasClientTK" (host, OS type, result client id or -1), "NasConfTKRemove"
// (name, result); a failure scripted under either name makes the call fail
// as the database would.
tkjournal::Journal& centralCalls();
}  // namespace tknasclient
