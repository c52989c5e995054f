// The replication controller of a head proxy: one connection per head
// proxy, over which the new configuration of a protected machine's pairs is
// applied.
//
//   BlrCtrl control;
//   CWyError error = control.connect(hostName);
//   if (!error.IsError()) error = control.applyRepCfg(machineUUID, pairs);
//
// The stand-in talks to nothing: it journals each call with the host, the
// machine's UUID and the pair ids, and answers what the test scripted, per
// call and per host (platform/testkit/blr.h).
#pragma once

#include <list>
#include <string>

#include "platform/blr/BlrTypes.h"

class BlrCtrl {
 public:
  BlrCtrl() = default;
  ~BlrCtrl();
  BlrCtrl(const BlrCtrl&) = delete;
  BlrCtrl& operator=(const BlrCtrl&) = delete;

  // Connects to the head proxy's controller; an empty host is an error.
  CWyError connect(const std::string& host);
  // Applies the configuration of `pairs` for the machine; an error when not
  // connected.
  CWyError applyRepCfg(const BlrUUID& machine, const std::list<BlrDB::Pair>& pairs);

 private:
  std::string m_host;
  bool m_connected = false;
};
