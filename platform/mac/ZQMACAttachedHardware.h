// What detection finds on the media agents of a database-backed
// configuration: the libraries and drives that the attached-hardware
// tables (platform/db/schema/MMAttachedHardware.cpp) say each agent sees.
//
// A detection that no test scripted (platform/testkit/mac.h) calls
// attachDetectedHardware for the agents it runs on: every attached library
// that the instance does not hold yet (by serial number) is added with its
// drives, never stored (id 0xFFFFFFFF, not configured), and the agent gets a
// library controller and a drive path per drive where it has none. What is
// already there is left as it is, so detecting twice adds nothing. The
// objects stay in the instance until they are configured (stored) or the
// instance is read again.
#pragma once

#include <string>
#include <vector>

class ZQMACMediaConfig;
class ZQMACMediaAgent;

namespace tkmac {

// Adds what the named agents see (names the instance does not know are
// skipped) and counts the attached libraries and drives found. False, with
// the instance's last error, when the tables cannot be read; nothing is
// added then.
bool attachDetectedHardware(ZQMACMediaConfig& config, const std::vector<std::string>& agentNames, int& libraries,
                            int& drives);

// Whether the agent reaches a detected library or drive that was never
// stored: a device that is new to the installation.
bool hasUnstoredDevice(const ZQMACMediaAgent* agent);

// Fills empty attached-hardware tables with the demonstration's hardware:
// a tape library (DEMO TAPE-4, serial LIB0004) with four drives on the
// second media agent, ma2. The number of libraries and drives made (0 when
// the tables held rows, or there is no ma2), or -1 with the reason.
int seedDemoAttachedHardware(std::string& report);

}  // namespace tkmac
