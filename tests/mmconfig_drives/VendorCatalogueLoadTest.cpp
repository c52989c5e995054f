// The vendor catalogues as a configuration read lays them from the
// database: each catalogue in the order of its rows, the three kept apart,
// a row added between two reads seen by the second, and a row that names no
// catalogue failing the read with its reason while the catalogues read
// before stay; under the fault sweep a read either lays every catalogue or
// fails with a reason and lays none.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/mac/ZQMACMediaConfig.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/TestDatabase.h"

namespace {

std::vector<std::string> entries(const ZQMACVendorEntry* list, int size) {
  std::vector<std::string> out;
  for (int i = 0; i < size; ++i) out.push_back(list[i].first + "/" + list[i].second + "/" + list[i].third);
  return out;
}

struct Catalogues {
  std::vector<std::string> drives, libraries, served;
};

Catalogues of(ZQMACMediaConfig& config) {
  const ZQMACVendorInfo* v = config.GetVendorInfo();
  return {entries(v->GetDriveVendorInfo(), v->GetDriveVendorInfoSize()),
          entries(v->GetLibraryVendorInfo(false), v->GetLibraryVendorInfoSize(false)),
          entries(v->GetLibraryVendorInfo(true), v->GetLibraryVendorInfoSize(true))};
}

TEST(VendorCatalogueLoad, EachReadLaysTheCataloguesTheTableHoldsInTheOrderOfItsRows) {
  tktest::TestDatabase db;
  ASSERT_EQ(0, db.exec("INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product, Label) VALUES "
                       "(2, 'Served', 'S-1', 's1'), (0, 'Zeta', 'Z-9', 'lto'), (1, 'Alpha', 'A-1', 'Alpha A-1'), "
                       "(0, 'Alpha', 'A-2', 'lto')"));
  // So that a row the table's check would refuse can be planted.
  ASSERT_EQ(0, db.exec("PRAGMA ignore_check_constraints = 1"));
  ZQMACMediaConfig config;
  ASSERT_TRUE(config.Initialize("site-a"));
  struct Step {
    const char* name;
    const char* sql;
    bool reads;
    Catalogues expected;
  };
  const Step steps[] = {
      {"the rows as stored", nullptr, true,
       {{"Zeta/Z-9/lto", "Alpha/A-2/lto"}, {"Alpha/A-1/Alpha A-1"}, {"Served/S-1/s1"}}},
      {"a row added with SQL, seen by the next read",
       "INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product) VALUES (0, 'Beta', 'B-3')", true,
       {{"Zeta/Z-9/lto", "Alpha/A-2/lto", "Beta/B-3/"}, {"Alpha/A-1/Alpha A-1"}, {"Served/S-1/s1"}}},
      {"a row that names no catalogue fails the read and keeps the last catalogues",
       "INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product) VALUES (3, 'Bad', 'X')",
       false,
       {{"Zeta/Z-9/lto", "Alpha/A-2/lto", "Beta/B-3/"}, {"Alpha/A-1/Alpha A-1"}, {"Served/S-1/s1"}}},
      {"the row gone again, the read succeeds", "DELETE FROM MMVendorCatalogue WHERE Catalogue = 3", true,
       {{"Zeta/Z-9/lto", "Alpha/A-2/lto", "Beta/B-3/"}, {"Alpha/A-1/Alpha A-1"}, {"Served/S-1/s1"}}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    if (step.sql != nullptr) {
      ASSERT_EQ(0, db.exec(step.sql));
    }
    EXPECT_EQ(config.ReadCurrentConfig(false), step.reads) << config.GetLastError();
    if (!step.reads) {
      EXPECT_EQ(config.GetLastError(), "A row of MMVendorCatalogue names no catalogue (0, 1 or 2).");
    }
    const Catalogues now = of(config);
    EXPECT_EQ(now.drives, step.expected.drives);
    EXPECT_EQ(now.libraries, step.expected.libraries);
    EXPECT_EQ(now.served, step.expected.served);
  }
}

TEST(VendorCatalogueLoad, UnderTheFaultSweepAReadLaysEveryCatalogueOrFailsWithAReasonAndLaysNone) {
  tktest::TestDatabase db;
  ASSERT_EQ(0, db.exec("INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product, Label) VALUES "
                       "(0, 'Zeta', 'Z-9', 'lto'), (1, 'Alpha', 'A-1', 'a'), (2, 'Served', 'S-1', 's')"));
  std::unique_ptr<ZQMACMediaConfig> config;
  bool read = false;
  tktest::SweepPlan plan;
  plan.setup = [&] {
    config = std::make_unique<ZQMACMediaConfig>();
    config->Initialize("site-a");
  };
  plan.request = [&] { read = config->ReadCurrentConfig(false); };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    const Catalogues now = of(*config);
    const bool none = now.drives.empty() && now.libraries.empty() && now.served.empty();
    const bool all = now.drives == std::vector<std::string>{"Zeta/Z-9/lto"} &&
                     now.libraries == std::vector<std::string>{"Alpha/A-1/a"} &&
                     now.served == std::vector<std::string>{"Served/S-1/s"};
    if (run.k == 0 && !read) return "the clean read failed: " + config->GetLastError();
    if (!read && config->GetLastError().empty()) return "a failed read without a reason";
    if (read && !all) return "a read that succeeded laid the catalogues in part";
    if (!read && !all && !none) return "a failed read laid the catalogues in part";
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
  config.reset();
}

}  // namespace
