// What the copy-manager, device-configuration, appliance and continuous-
// replication (Quillmere) handlers share: reading the values with leading
// numbers, the client host that a client-side call goes to, the rules of
// the handlers that log an unknown element and walk on, and the two free
// functions that other handlers call.
//
//   tksanvol::StreamRules rules = tksanvol::continuous::walkOnRules(kTag);
//   std::string host = tksanvol::continuous::networkHostOf(clientId);
//   ZQSVCClientSession session(host, clientId, nullptr, nullptr);
//
// A value shorter than its leading numbers reads them as 0 and an empty
// text: nothing is ever taken from the bytes of an earlier element.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/SANVolFrame.h"

class EvEvent;

namespace tksanvol {

// Keeps, of the volume ids, those that some subclient's content holds, and
// sorts them ascending; true when every query succeeded. On a failed query
// it logs, returns false at once and leaves the ids filtered as far as the
// walk had come.
bool getVolsContainedInSubClients(std::vector<int>& volumeIds);

// The message id of a device-configuration error of an operation (1 to 4)
// with a client code; code 512 has an id of its own per operation. Any
// other code is pushed into the event as a 64-bit argument, except with
// the catch-all id 0x3900008c (operation 0 or above 4).
unsigned long buildConfigQRDeviceErrorEvent(EvEvent& event, int operation, long long code);

namespace continuous {

// The rules of the appliance, volume-control and device handlers: an
// unknown element is logged and skipped, a record without 4001 comes as
// operation 0, and the handler judges every operation itself.
StreamRules walkOnRules(const char* tag);

// [u32 id][text]: both empty when the value is shorter than its number.
IdText readIdTextValue(const char* value, unsigned int length);
// [u32 id][u32 client id][u32 flags][text]: all empty when the value is
// shorter than its three numbers.
Hdr12Text readHdr12TextValue(const char* value, unsigned int length);

// The client's network host name; empty when it cannot be read (a
// client-side call to it then fails and says so).
std::string networkHostOf(uint32_t clientId);

// The literal answer of a record that lacks a required element.
inline constexpr const char* kMissingInformation = "All information required to process this request was not received";

}  // namespace continuous
}  // namespace tksanvol
