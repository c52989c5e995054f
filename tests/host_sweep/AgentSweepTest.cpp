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
                  "onMsgGetMMCMDevices",
                  {"\"CM-renamed\""}});
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
  rows.push_back({"a copy manager configured by control 48 stays configured", "onMsgSetMMControl",
                  addCm + "control 48 {h:\"Software copy manager on ma1\"}", "onMsgGetMMCMDevices",
                  {"tag 11116 (icon id) len 4: 250 (copy-manager device)"}});
  return rows;
}

TEST(HostSweep, EveryAgentChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(agentRows()); }

}  // namespace sweeptest
