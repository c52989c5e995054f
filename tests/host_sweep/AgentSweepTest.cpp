// Media agents and copy managers, swept through the host.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {

std::vector<Row> agentRows() {
  std::vector<Row> rows;
  rows.push_back({"a media agent chosen by operation 15 is listed",
                  "onMsgSetMMMediaAgents",
                  "onMsgSetMMMediaAgents 4001=15 2048=idtext:0:fresh 2052=0",
                  "onMsgGetMMMediaAgents2",
                  {"\"fresh\""},
                  "",
                  "",
                  "",
                  3});
  // The disk goes to the media-management service; the configuration keeps
  // nothing of it, and the library stays as it was.
  rows.push_back({"plug-and-play disks for a library's agents (operation 1) leave the library as it was",
                  "onMsgSetMMMediaAgents",
                  "libraries\nonMsgSetMMMediaAgents 4001=1 11003=u64:{h:(library) len 12: 1 \"TapeLib1\"} "
                  "2048=idtext:0:ma1 2048=idtext:0:ma2 2052=0",
                  "libraries",
                  {"tag 2049 (library) len 12: 1 \"TapeLib1\"", "tag 11159 (drive count) len 4: 2"}});
  rows.push_back({"a copy manager added on a media agent is listed",
                  "onMsgSetMMCMController",
                  "onMsgSetMMCMController 4001=1 4106=2 2048=idtext:0:ma1 11167=3 2052=0",
                  "onMsgGetMMCMDevices",
                  {"\"Software copy manager on ma1\""}});
  rows.push_back({"a copy-manager device's name and limit read back",
                  "onMsgSetMMCMDevice",
                  "onMsgSetMMCMController 4001=1 4106=2 2048=idtext:0:ma1 11167=3 2052=0\nonMsgGetMMCMDevices\n"
                  "onMsgSetMMCMDevice 4001=3 11003=u64:{h:\"Software copy manager on ma1\"} 11119=idtext:0:CM-renamed "
                  "11167=9 2052=0\nonMsgGetMMCMDevices",
                  "onMsgGetMMCMDevices\nonMsgGetMMCMControllers handle={h:\"CM-renamed\"}",
                  {"tag 11119 (copy-manager controller) len 14: 1 \"CM-renamed\"",
                   "tag 11120 len 4: 9"}});
  // Renamed alone: the name is written on its own, and the session shows
  // what was written.
  rows.push_back({"a copy manager renamed alone shows its new name in the session",
                  "onMsgSetMMCMDevice",
                  "onMsgSetMMCMController 4001=1 4106=2 2048=idtext:0:ma1 11167=3 2052=0\nonMsgGetMMCMDevices\n"
                  "onMsgSetMMCMDevice 4001=3 11003=u64:{h:\"Software copy manager on ma1\"} 11119=idtext:0:CM-renamed "
                  "2052=0",
                  "onMsgGetMMCMDevices\nonMsgGetMMCMControllers handle={h:\"CM-renamed\"}",
                  {"tag 11119 (copy-manager controller) len 14: 1 \"CM-renamed\"", "tag 11120 len 4: 3"}});
  // A copy manager removed, each way there is, stays removed; configured,
  // it stays configured.
  const std::string addCm =
      "onMsgSetMMCMController 4001=1 4106=2 2048=idtext:0:ma1 11167=3 2052=0\nonMsgGetMMCMDevices\n";
  for (const auto& [how, lines] : std::vector<std::pair<std::string, std::string>>{
           {"control 2 on its handle", "control 2 {h:\"Software copy manager on ma1\"}"},
           {"control 44", "control 44 {h:\"Software copy manager on ma1\"}"},
           {"control 2 on its controller",
            "onMsgGetMMCMControllers handle={h:\"Software copy manager on ma1\"}\ncontrol 2 {h:(pool text)}"}}) {
    rows.push_back({"a copy manager removed by " + how + " stays removed", "onMsgSetMMControl", addCm + lines,
                    "onMsgGetMMCMDevices", {"reply 11118", "!\"Software copy manager on ma1\""},
                    "SELECT COUNT(*) FROM MMCopyManager", "0"});
  }
  // A copy manager's device and its controller share one row and one
  // configured state: a change through either shows on both, in the
  // session as after a re-read and a restart.
  const std::string both =
      "onMsgGetMMCMDevices\nonMsgGetMMCMControllers handle={h:\"Software copy manager on ma1\"}";
  const std::string onController =
      "onMsgGetMMCMControllers handle={h:\"Software copy manager on ma1\"}\n";
  rows.push_back({"a copy manager configured by control 48 stays configured", "onMsgSetMMControl",
                  addCm + "control 48 {h:\"Software copy manager on ma1\"}", both,
                  {"tag 11116 (icon id) len 4: 250 (copy-manager device)",
                   "tag 11116 (icon id) len 4: 260 (copy-manager controller)"}});
  rows.push_back({"a copy manager configured by control 48 on its controller shows configured on both",
                  "onMsgSetMMControl", addCm + onController + "control 48 {h:(pool text)}", both,
                  {"tag 11116 (icon id) len 4: 250 (copy-manager device)",
                   "tag 11116 (icon id) len 4: 260 (copy-manager controller)"}});
  rows.push_back({"a copy manager deconfigured by control 49 on its controller shows not configured on both",
                  "onMsgSetMMControl",
                  addCm + "control 48 {h:\"Software copy manager on ma1\"}\n" + onController +
                      "control 49 {h:(pool text)}",
                  both,
                  {"tag 11116 (icon id) len 4: 251 (copy-manager device, not configured)",
                   "tag 11116 (icon id) len 4: 261 (copy-manager controller, not configured)"}});
  // Read back in the same session after a re-read of its own, which lays
  // the stored state over the objects the session holds.
  rows.push_back({"a copy manager configured and re-read in its session shows configured on both",
                  "onMsgSetMMControl",
                  addCm + "control 48 {h:\"Software copy manager on ma1\"}\ncontrol 70", both,
                  {"tag 11116 (icon id) len 4: 250 (copy-manager device)",
                   "tag 11116 (icon id) len 4: 260 (copy-manager controller)"}});
  return rows;
}

const bool kAgentRowsListed = listFamily("EveryAgentChangeAnsweredSuccessReadsBackAfterAReReadAndARestart", &agentRows);
TEST(HostSweep, EveryAgentChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(agentRows()); }

}  // namespace sweeptest
