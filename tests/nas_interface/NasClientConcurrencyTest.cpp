// Several interfaces on several threads at once against the same services:
// each keeps its own connection, lists and error texts, and the services'
// tables end as the sum of the changes.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "nas/clients/NasClientConfigInterface.h"
#include "platform/testkit/client.h"
#include "platform/testkit/nasclient.h"
#include "tests/support/TestDatabase.h"

namespace {

namespace nk = testkit::nasclient;

TEST(NasInterfaceThreads, ConcurrentInterfacesKeepTheirOwnResultsAndTheTablesStayWhole) {
  tktest::TestDatabase db;
  testkit::client::reset();
  testkit::client::PlatformSettings settings;
  settings.tarnkeeperClientName = "csclient";
  settings.tarnkeeperHostName = "cs1";
  testkit::client::setPlatformInfo(settings);
  nk::reset("cs1");
  nk::addMediaAgentHost("ma1");
  constexpr int kThreads = 4;
  constexpr int kRounds = 20;
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      NasClientConfigInterface nas;
      const std::string name = "filer" + std::to_string(t);
      int out = 0;
      if (!nas.ConfigureNasClient("ma1", name.c_str(), nullptr, 0, 0, 0, out)) {
        failures[t] = "configure failed";
        return;
      }
      for (int i = 0; i < kRounds; ++i) {
        if (!nas.RemoveNasClient(0, name.c_str(), nullptr) || !nas.UndeleteNasClient(0, name.c_str(), "ma1")) {
          failures[t] = "a change failed";
          return;
        }
        // An unknown name: this thread's own error text.
        const std::string ghost = "ghost" + std::to_string(t);
        if (nas.RemoveNasClient(0, ghost.c_str(), nullptr) ||
            std::string(nas.GetErrorText()) != "NAS client [" + ghost + "] is not known.") {
          failures[t] = "another thread's error text";
          return;
        }
        NasClientItem* clients = nullptr;
        int count = 0;
        if (!nas.GetNasClientList(clients, count) || count < 1) {
          failures[t] = "the list failed";
          return;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;
  const auto rows = nk::nasClients();
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kThreads));
  for (const auto& row : rows) EXPECT_FALSE(row.deleted) << row.name;
  EXPECT_EQ(nk::configurations().size(), static_cast<std::size_t>(kThreads));
  testkit::client::reset();
}

}  // namespace
