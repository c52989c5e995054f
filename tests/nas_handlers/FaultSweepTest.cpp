// The NAS handlers under the fault sweep: each request is made once for
// each platform call failing in turn. Every run must end with an answer on
// the client's socket (the listing, or a status or operation reply) and
// leave the database as it was or as the clean run left it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/testkit/clock.h"
#include "tests/nas_handlers/NasHandlersFixture.h"
#include "tests/support/FaultSweep.h"

namespace nastest {
namespace {

class NasFaultSweep : public NasHandlerTest {
 protected:
  // A failed attach to the NAS-client service waits before it tries again;
  // the fake clock lets those waits pass at once.
  testkit::clock::FakeClock clock;

  void sweep(const char* name, const std::function<void()>& setup,
             const std::function<std::unique_ptr<MessageInfo>()>& make,
             const std::function<long long(MessageInfo*)>& call, uint32_t listing = 0,
             const std::function<std::string()>& judgeRows = nullptr) {
    SCOPED_TRACE(name);
    tktest::FaultSweep sweeper;
    tktest::SweepPlan plan;
    plan.setup = setup;
    plan.request = [&] {
      auto request = make();
      call(request.get());
    };
    if (judgeRows) plan.judgedTables = {"NasClient"};
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      if (judgeRows) {
        const std::string rows = judgeRows();
        if (!rows.empty()) return rows;
      }
      const auto got = replies();
      for (const auto& reply : got)
        if (listing != 0 && reply.messageId == listing) return "";
      return tktest::answeredOnSocket(got, run);
    };
    const tktest::SweepReport report = sweeper.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }
};

TEST_F(NasFaultSweep, EveryRequestAlwaysAnswersAndNeverHalfChanges) {
  addClient(30, "filer1");
  addClient(31, "filer2");
  addNdmpRow(30, 6);
  addNdmpRow(31, 5);
  addNdmpRow(0, 6);
  const auto nasSetup = [] {
    testkit::nasclient::setNasClients({{"filer1", "ma1", false}, {"filer2", "ma1", true}});
  };
  sweep("server names", [] {}, [&] { return words(1); },
        [&](MessageInfo* m) { return handler.onMsgGetMMNDMPServers(m); }, 11059);
  ASSERT_EQ(testkit::client::addOperatingSystem(70, "Filer OS", true), 0);
  ASSERT_EQ(testkit::client::setClientFacts(30, 70, 0), 0);
  ASSERT_EQ(testkit::client::setClientFacts(31, 3, 2), 0);
  ASSERT_EQ(testkit::client::installPackage(31, 1029), 0);
  ASSERT_EQ(testkit::client::setClientAttribute(30, "detectMAForNDMP", "31"), 0);
  ASSERT_EQ(testkit::client::setClientAttribute(30, "timezone id", "4"), 0);
  for (const uint32_t id : {30u, 31u})
    sweep("properties", [] {},
          [&] {
            return StreamBuilder()
                .socket(static_cast<int>(client.socket().GetSocketDescriptor()))
                .secure(true)
                .sequence(kSequence)
                .firstWord(2)
                .payloadWord(260, id)
                .build();
          },
          [&](MessageInfo* m) { return handler.onMsgGetMMNDMPServerProperties(m); }, 11061);
  sweep("media agents", [] {}, [&] { return words(0); },
        [&](MessageInfo* m) { return handler.onMsgGetMMMediaAgents(m); }, 11072);
  sweep("nas clients", nasSetup, [&] { return words(0); },
        [&](MessageInfo* m) { return handler.onMsgGetNASClients(m); }, 11501);
  sweep("remove and restore", nasSetup,
        [&] {
          StreamBuilder builder;
          builder = record(std::move(builder), 2, "filer1");
          builder = record(std::move(builder), 56, "filer2");
          return stream(std::move(builder));
        },
        [&](MessageInfo* m) { return handler.onMsgSetNASClient(m); }, 0,
        // Each record is whole or not done; a record that failed ends the
        // request, so the restore is never done without the remove. (The
        // service may have done a remove whose reply was lost: that is the
        // service's, not half a change of ours.)
        []() -> std::string {
          const auto rows = testkit::nasclient::nasClients();
          if (rows.size() != 2 || rows[0].name != "filer1" || rows[1].name != "filer2" ||
              rows[0].proxyMediaAgent != "ma1" || rows[1].proxyMediaAgent != "ma1")
            return "the NAS client rows changed beyond their deleted marks";
          if (!rows[1].deleted && !rows[0].deleted) return "the restore was carried out after a failed remove";
          return "";
        });
}

}  // namespace
}  // namespace nastest
