// The NAS handler class: requests about NDMP servers (NAS file servers and
// media agents that hold NDMP login settings) and about the NAS clients that
// the central server's NAS-client service keeps, one method a request.
//
// An object holds nothing but the reply it is building (its EvReturnData
// base): the host gives each connection its own object, so the listings,
// which build their reply on that base, never share it between threads.
// Operation replies use a reply object of their own. Each request makes its
// own outside objects (client lookups, NAS-client service connections).
//
//   EvNASConfigMgr nas;
//   nas.onMsgGetMMNDMPServers(request);   // reply 11059
//   nas.onMsgGetNASClients(request);      // reply 11501
//   nas.onMsgSetNASClient(request);       // remove (2) / restore (56)
//
// The listings reuse the simple Get frame and the element readers of the
// SAN-volume handlers (frame/SANVolFrame.h): the same begin/end rules and
// the same bounded reading of texts.
#pragma once

#include <cstddef>

#include "frame/CWySocket.h"
#include "platform/reply/EvReturnData.h"

class EvEvent;
struct MessageInfo;

class EvNASConfigMgr : public EvReturnData {
 public:
  EvNASConfigMgr();
  ~EvNASConfigMgr() override;
  EvNASConfigMgr(const EvNASConfigMgr&) = delete;
  EvNASConfigMgr& operator=(const EvNASConfigMgr&) = delete;

  // Reply 1024 with exactly two items: 4001 (the operation as a 32-bit
  // number) and last 2051 ([u32 status][text], length text length + 4; a
  // null text is the empty text). Never carries item 4117: `count` is
  // ignored. False when the reply object could not be made; the client then
  // gets the catalogue text of 0x23000002 with status 0.
  static bool sendOperationResponse(long long sequenceNumber, CWySocket socket, unsigned long long operation,
                                    unsigned long long status, const char* text, int count);

  // The user-visible text of a failed call of the NAS-client service, by
  // its error code, written into `buffer` in the request's locale:
  //   0x29000005                    operation, client, Tarnkeep host  -> 0x29000022
  //   0x29000006                    operation, client, proxy agent    -> 0x29000022
  //   0x29000002/3/7/8              operation, client, proxy agent    -> 0x29000021
  //   any other                     operation, client                 -> 0x29000023
  // The texts are arguments of the catalogue message, never formats;
  // `errorText` is not used. Null texts count as empty.
  static void ncwErrorText(EvEvent& event, unsigned long long code, char* buffer, unsigned long long length,
                           long long sequenceNumber, const char* operationWord, const char* errorText,
                           const char* proxyMediaAgent, const char* tarnkeepHost, const char* clientName);

  // ---- NDMP server names (nas/ndmpserver/NDMPServerListings.cpp)
  // Reply 11059: the names of the clients that own NDMP rows, sorted; the
  // first parameter is a filter word (0: no rows of ordinary clients; 2:
  // only NAS kinds; other: all).
  long long onMsgGetMMNDMPServers(MessageInfo* request);
  long long lookupMMNDMPServers(MessageInfo* request);

  // True when the platform's operating-system catalogue classes the OS
  // type as a NAS (a catalogue that cannot be read answers false).
  static bool IsNasOs(unsigned int osType);

  // ---- NDMP server properties and media agents (nas/ndmpserver/NDMPServerProperties.cpp)
  // Reply 11061: the NDMP rows of one client (by id, or by name when the id
  // is 0): login encrypted for the connection, client, OS type, firmware,
  // port, and for a NAS its detected media agent and time zone.
  long long onMsgGetMMNDMPServerProperties(MessageInfo* request);
  long long lookupMMNDMPServerProperties(MessageInfo* request);
  // Reply 11072: every media agent with its host name and system OS id.
  long long onMsgGetMMMediaAgents(MessageInfo* request);
  long long lookupMMMediaAgents(MessageInfo* request);

  // ---- NDMP server changes (nas/ndmpserver/EvNASConfigMgrNDMPServer*.cpp)
  // Add (1), delete (2), update (3) or detect (58) an NDMP server, one per
  // record; values carry over from record to record. Each operation is
  // answered with an operation reply, except a detect, which answers reply
  // 11154 (OS type, version, port, capability flags). 1 when every record
  // was carried out, 0 at the first failure.
  long long onMsgSetMMNDMPServer(MessageInfo* request);

  // ---- NAS clients (nas/clients/NasClients.cpp)
  // Reply 11501: every NAS client with its deleted mark and proxy agent.
  long long onMsgGetNASClients(MessageInfo* request);
  long long lookupNASClients(MessageInfo* request);
  // Remove (2) or restore (56) NAS clients, one per record; add (1) is
  // refused. 1 when every record was carried out, 0 at the first failure.
  long long onMsgSetNASClient(MessageInfo* request);
};
