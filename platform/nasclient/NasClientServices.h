// The NAS-client services as in-process remote libraries: the Tarnkeep's
// ("sLNNCWTK") lists media agents, storage policies and NAS clients and
// adds, removes and restores NAS clients; a media agent's ("sLNNCWMA")
// takes the configuration of a NAS client it proxies. Each answers on the
// thread of its connection (platform/network/RemoteLibraries.h).
//
// They answer from the central database: media agents from MMHost with
// their APP_Client rows (hidden agents left out), storage policies from
// archGroup, NAS clients from the NasClient table (name, proxy media agent,
// deleted mark) that the central server's own calls write too. An add of a
// name already there, a remove or restore of an unknown name, or a database
// that cannot be read or written is answered with kServiceError and a text.
// Tests script them through platform/testkit/nasclient.h. Thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tknasclient {

inline constexpr char kTarnkeepLibrary[] = "sLNNCWTK";
inline constexpr char kTarnkeepProcess[] = "sLPNCWTK";
inline constexpr char kMediaAgentLibrary[] = "sLNNCWMA";
inline constexpr char kMediaAgentProcess[] = "sLPNCWMA";

// The code the services answer a refused change with.
inline constexpr uint32_t kServiceError = 0x29000031;

struct MediaAgentRow {
  std::string name;
  std::string host;
  int32_t id = 0;
};
struct StoragePolicyRow {
  std::string name;
  int32_t id = 0;
  int32_t type = 0;
};
struct NasClientRow {
  std::string name;
  std::string proxyMediaAgent;
  bool deleted = false;
};
// A configuration a media agent took.
struct MediaAgentConfiguration {
  std::string host;
  std::string text1, text2, text3;
  bool hasText3 = false;
  int32_t number1 = 0, number2 = 0, number3 = 0;
};

void installTarnkeepService(const std::string& host);
void installMediaAgentService(const std::string& host);
// The services as the host process offers them, installed once: the
// Tarnkeep's on the central server (its host name and, when the client
// directory knows one, its network name), a media agent's on every host.
void installHostServices();

// Test controls: each replaces the rows of its table (media agents: the
// MMHost rows, with APP_Client rows of those ids written over).
void setMediaAgents(std::vector<MediaAgentRow> rows);
void setStoragePolicies(std::vector<StoragePolicyRow> rows);
void setNasClients(std::vector<NasClientRow> rows);
std::vector<NasClientRow> nasClients();
std::vector<MediaAgentConfiguration> mediaAgentConfigurations();

// The next reply of `replyType` from any service carries this code and text
// (a null text travels as absent) and changes nothing.
void answerError(uint32_t replyType, uint32_t code, const char* text);
// Forgets the scripted answers, the taken configurations and that the host
// services were installed: a test resets the libraries with it, so the next
// installHostServices() puts them back.
void resetServices();

}  // namespace tknasclient
