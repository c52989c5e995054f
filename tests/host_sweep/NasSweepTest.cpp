// NDMP servers and NAS clients, swept through the host.
#include <gtest/gtest.h>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {
namespace {

constexpr const char* kAddFiler2 =
    "onMsgSetMMNDMPServer 4106=2 4001=1 11058=filer2 11062=enc:root 11063=enc:demo 11064=6 11066=10000 "
    "11065=9.1P2 2052=0";

Row nas(const std::string& proves, const std::string& change, const std::string& readBack,
        std::vector<std::string> shows) {
  Row row{proves, "onMsgSetMMNDMPServer", change, readBack, std::move(shows)};
  row.outsideWorld = true;
  return row;
}

}  // namespace

std::vector<Row> nasRows() {
  std::vector<Row> rows;
  rows.push_back(nas("an NDMP server added is listed", kAddFiler2, "ndmp-servers", {"filer2"}));
  rows.push_back(
      nas("an added NDMP server's properties read back", kAddFiler2, "ndmp-server 0 filer2", {"9.1P2", "10000"}));
  rows.push_back(nas("an NDMP server's port set by an update reads back",
                     joined(kAddFiler2,
                         "\nonMsgSetMMNDMPServer 4106=2 4001=3 11058=filer2 11062=enc:root 11063=enc:demo 11066=10001 "
                         "2052=0"),
                     "ndmp-server 0 filer2", {"10001"}));
  rows.push_back(nas("a deleted NDMP server is gone",
                     joined(kAddFiler2, "\nonMsgSetMMNDMPServer 4106=2 4001=2 11058=filer2 2052=0"),
                     "ndmp-servers", {"!filer2"}));
  rows.push_back(nas("a detected NDMP server is not stored",
                     "onMsgSetMMNDMPServer 4106=2 4001=58 11058=filer2 11062=enc:root 11063=enc:demo 11066=0 2052=0",
                     "ndmp-servers", {"!filer2"}));
  rows.push_back(nas("an NDMP library controller added after the NDMP server is stored (operation 54)",
                     joined(kAddFiler2, "\nadd-ndmp-controller ma1 filer2 /dev/robot1 DEMO TAPE-9 NLIB1 1 4"),
                     "libraries", {"\"DEMO TAPE-9\""}));
  rows.back().request = "onMsgSetMMLibrary";
  Row removed{"a removed NAS client is listed as deleted",
              "onMsgSetNASClient",
              "nas-remove 102 filer1 nasma1",
              "nas-clients",
              {"tag 2009 (client) len 10: (no id listed) \"filer1\"\n  tag 7501 (deleted) len 4: 1"}};
  rows.push_back(removed);
  rows.push_back({"a restored NAS client is listed as not deleted",
                  "onMsgSetNASClient",
                  "nas-remove 102 filer1 nasma1\nnas-restore 102 filer1 nasma1",
                  "nas-clients",
                  {"tag 2009 (client) len 10: (no id listed) \"filer1\"\n  tag 7501 (deleted) len 4: 0"}});
  rows.push_back(nas("an NDMP server's firmware and port set by an update are stored",
                     joined(kAddFiler2,
                         "\nonMsgSetMMNDMPServer 4106=2 4001=3 11058=filer2 11062=enc:root 11063=enc:demo 11065=9.2 "
                         "11066=10001 2052=0"),
                     "ndmp-servers", {"filer2"}));
  rows.back().rowQuery =
      "SELECT n.\"firmwareRevision\" || ',' || n.\"listenPort\" FROM \"MMNDMPHostInfo\" n JOIN "
      "\"APP_Client\" c ON c.\"id\" = n.\"clientId\" WHERE c.\"name\" = 'filer2'";
  rows.back().rowValue = "9.2,10001";
  return rows;
}

const bool kNasRowsListed = listFamily("EveryNasChangeAnsweredSuccessReadsBackAfterAReReadAndARestart", &nasRows);
TEST(HostSweep, EveryNasChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(nasRows()); }

}  // namespace sweeptest
