// The procedure and cursor binding form: inputs in both engine modes for
// every input shape of the procedures, quoting in the values clause,
// registration in a transaction, and the once-per-class catalogue part
// under threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Db/Proc/MMIsMAPushedToAnotherTK.h"
#include "Db/Proc/MMMountpathCredentialAssociation.h"
#include "Db/Proc/MMS2GetMediaAgentList.h"
#include "Db/Proc/MMS2IsCenteraNDMPHostIdInUse.h"
#include "Db/Proc/QR_GetDeviceID.h"
#include "Db/ZQDBProcBinding.h"
#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/TestDatabase.h"

namespace {

// --- the values-clause format and size --------------------------------------------------

static_assert(std::string_view(ZQDBValuesFormat<int>.data()) == "%d");
static_assert(std::string_view(ZQDBValuesFormat<int, int>.data()) == "%d,%d");
static_assert(std::string_view(ZQDBValuesFormat<int, int, int>.data()) == "%d,%d,%d");
static_assert(std::string_view(ZQDBValuesFormat<int, int, int, int>.data()) == "%d,%d,%d,%d");
static_assert(std::string_view(ZQDBValuesFormat<const char*>.data()) == "'%s'");
static_assert(std::string_view(ZQDBValuesFormat<int, const char*>.data()) == "%d,'%s'");
static_assert(std::string_view(ZQDBValuesFormat<int, const char*, const char*>.data()) == "%d,'%s','%s'");
static_assert(std::string_view(ZQDBValuesFormat<long long, int>.data()) == "%lld,%d");
static_assert(std::string_view(ZQDBValuesFormat<>.data()).empty());

TEST(ValuesClause, SizesFollowTheInputsAndCountEscapedQuotes) {
  struct Case {
    int size;
    int expected;
  };
  const Case cases[] = {
      {ZQDBValuesClauseSize(1), 14},
      {ZQDBValuesClauseSize(1, 2), 29},
      {ZQDBValuesClauseSize(1, 2, 3), 44},
      {ZQDBValuesClauseSize(1, 2, 3, 4), 59},
      {ZQDBValuesClauseSize("abc"), 7},
      {ZQDBValuesClauseSize(""), 4},
      {ZQDBValuesClauseSize(1, "abc"), 22},
      {ZQDBValuesClauseSize(5, "", ""), 24},
      {ZQDBValuesClauseSize(5, "ab", "cde"), 29},
      // a quote is doubled inside the literal, so it takes two characters
      {ZQDBValuesClauseSize("O'Neil"), 11},
      {ZQDBValuesClauseSize(5, "''", "'"), 24 + 4 + 2},
      {ZQDBValuesClauseSize(1LL, 2), 36},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    EXPECT_EQ(cases[i].expected, cases[i].size) << "case " << i;
  }
}

TEST(ValuesClause, TheSizeReservedAlwaysHoldsTheWidestClause) {
  // The widest values, quotes everywhere: the clause never outgrows its check.
  std::string quotes(300, '\'');
  EXPECT_LE(std::string("-2147483648,-2147483648,-2147483648").size(), size_t(ZQDBValuesClauseSize(1, 2, 3)));
  EXPECT_LE(("-2147483648,'" + std::string(600, '\'') + "','" + std::string(600, '\'') + "'").size(),
            size_t(ZQDBValuesClauseSize(1, quotes.c_str(), quotes.c_str())));
}

// --- both modes, every input shape ---------------------------------------------------------

class ProcModes : public ::testing::Test {
 protected:
  std::vector<tkjournal::Call> calls(const char* name) { return testkit::db::journal().calls(name); }
  std::string lastCheck() {
    std::vector<tkjournal::Call> c = calls("valuesClauseCheck");
    return c.empty() ? std::string("(none)") : c.back().args.at(1);
  }
  tktest::TestDatabase db;
};

struct Shape {
  const char* name;
  // binds the inputs on a fresh object and returns its clause, inputs bound
  // and bound count through the out-parameters
  void (*bind)(std::string& clause, int& bound, size_t& count);
  const char* clause;
  const char* size;
  size_t typedCount;
};

template <class Proc, class... Args>
void bindOn(std::string& clause, int& bound, size_t& count, Args... args) {
  Proc proc(nullptr);
  proc.setValues(args...);
  clause = proc.getValuesClause();
  bound = proc.getInputsBound();
  count = proc.getBoundInputCount();
}

const Shape kShapes[] = {
    {"one int", [](std::string& c, int& b, size_t& n) { bindOn<MMS2IsCenteraNDMPHostIdInUse>(c, b, n, 12); }, "12",
     "14", 1},
    {"one int at its limit",
     [](std::string& c, int& b, size_t& n) { bindOn<MMS2IsCenteraNDMPHostIdInUse>(c, b, n, INT32_MIN); }, "-2147483648",
     "14", 1},
    {"two ints", [](std::string& c, int& b, size_t& n) { bindOn<MMIsMAPushedToAnotherTK>(c, b, n, 9, 0); }, "9,0", "29",
     2},
    {"three ints (list)", [](std::string& c, int& b, size_t& n) { bindOn<MMS2GetMediaAgentList>(c, b, n, 7, 0, 1); },
     "7,0,1", "44", 3},
    {"three ints (association)",
     [](std::string& c, int& b, size_t& n) { bindOn<MMMountpathCredentialAssociation>(c, b, n, 17, 4, 52); }, "17,4,52",
     "44", 3},
    {"int and two empty texts", [](std::string& c, int& b, size_t& n) { bindOn<QR_GetDeviceID>(c, b, n, 5, "", ""); },
     "5,'',''", "24", 3},
    {"int and two texts",
     [](std::string& c, int& b, size_t& n) { bindOn<QR_GetDeviceID>(c, b, n, 5, "/dev/sdb", "vol1"); },
     "5,'/dev/sdb','vol1'", "36", 3},
    {"texts with quotes",
     [](std::string& c, int& b, size_t& n) { bindOn<QR_GetDeviceID>(c, b, n, 5, "O'Neil's", "x' OR '1'='1"); },
     // 24 + (8 + 2) + (12 + 4): each quote counts twice
     "5,'O''Neil''s','x'' OR ''1''=''1'", "50", 3},
    {"null texts", [](std::string& c, int& b, size_t& n) { bindOn<QR_GetDeviceID>(c, b, n, 5, nullptr, nullptr); },
     "5,'',''", "24", 3},
};

TEST_F(ProcModes, TextModeWritesTheValuesClauseAfterItsSizeCheck) {
  DBtable::b_newDBBase = 0;
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(shape.name);
    testkit::db::journal().reset();
    std::string clause;
    int bound = -1;
    size_t count = 99;
    shape.bind(clause, bound, count);
    EXPECT_EQ(shape.clause, clause);
    EXPECT_EQ(0, bound);
    EXPECT_EQ(0u, count);
    const std::string size = shape.size;
    ASSERT_EQ(1u, calls("valuesClauseCheck").size());
    EXPECT_EQ(size, lastCheck());
    EXPECT_LE(clause.size(), std::stoul(size));
  }
}

TEST_F(ProcModes, TypedModeBindsOneValueObjectPerInputAndNoClause) {
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(shape.name);
    testkit::db::journal().reset();
    std::string clause = "x";
    int bound = 0;
    size_t count = 0;
    shape.bind(clause, bound, count);
    EXPECT_EQ("", clause);
    EXPECT_EQ(1, bound);
    EXPECT_EQ(shape.typedCount, count);
    EXPECT_TRUE(calls("valuesClauseCheck").empty());
  }
}

// What the body receives is the same in both modes: the texts unchanged.
TEST_F(ProcModes, BothModesHandTheBodyTheSameInputs) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    testkit::db::journal().reset();
    QR_GetDeviceID proc(nullptr);
    proc.setValues(5, "O'Neil's disk", "");
    EXPECT_EQ(100, getOneRow(&proc, false, -1, 0));
    std::vector<tkjournal::Call> run = calls("procedure");
    ASSERT_EQ(1u, run.size());
    EXPECT_EQ((std::vector<std::string>{"QR_GetDeviceID", "5", "'O'Neil's disk'", "''"}), run[0].args);

    MMMountpathCredentialAssociation assoc(nullptr);
    assoc.setValues(17, 4, 52);
    EXPECT_EQ(0, getOneRow(&assoc, false, -1, 0));
    run = calls("procedure");
    ASSERT_EQ(2u, run.size());
    EXPECT_EQ((std::vector<std::string>{"MMMountpathCredentialAssociation", "17", "4", "52"}), run[1].args);
  }
}

TEST_F(ProcModes, SetZQDBValuesHandsTheValueObjectsToTheEngineInOrder) {
  QR_GetDeviceID proc(nullptr);
  proc.setZQDBValues(new ZQDB_int(8), new ZQDB_string("a"), new ZQDB_string("b'c"));
  EXPECT_EQ(3u, proc.getBoundInputCount());
  EXPECT_EQ(100, getOneRow(&proc, false, -1, 0));
  EXPECT_EQ((std::vector<std::string>{"QR_GetDeviceID", "8", "'a'", "'b'c'"}), calls("procedure").back().args);
}

TEST_F(ProcModes, TextModeBuildsNoCatalogueAndHandsNoIndicators) {
  DBtable::b_newDBBase = 0;
  QR_GetDeviceID proc(nullptr);
  EXPECT_EQ(nullptr, proc.getCatalogue());
  EXPECT_STREQ("00010003029400020000", proc.getStamp());
  DBtable::b_newDBBase = 1;
  QR_GetDeviceID typed(nullptr);
  ASSERT_NE(nullptr, typed.getCatalogue());
  EXPECT_EQ(2, typed.getCatalogue()->getHeaderType());
}

// --- registration ------------------------------------------------------------------------

TEST_F(ProcModes, AProcedureRegistersWheneverATransactionIsGiven) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  MMS2GetMediaAgentList list(&tran);
  QR_GetDeviceID device(&tran);
  MMS2GetMediaAgentList none(nullptr);
  std::vector<DBtable*> registered = tran.registeredObjects();
  ASSERT_EQ(2u, registered.size());
  EXPECT_EQ(&list, registered[0]);
  EXPECT_EQ(&device, registered[1]);
  EXPECT_EQ(nullptr, none.getTransaction());
  EXPECT_EQ(0, tran.rollbackTran());
}

TEST_F(ProcModes, AThrowingRegistrationIsLoggedWithTheBindingsHeaderAndSwallowed) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  testkit::db::setAddObjectThrows(true);
  testkit::debuglog::Capture log;
  MMS2GetMediaAgentList list(&tran);
  MMMountpathCredentialAssociation assoc(&tran);
  testkit::db::setAddObjectThrows(false);
  EXPECT_TRUE(tran.registeredObjects().empty());

  auto line = [](const char* where, const char* name, const void* object) {
    char text[200];
    std::snprintf(text, sizeof text, "%s: %s Constructor [0x%08x], caught an exception", where, name,
                  static_cast<unsigned int>(reinterpret_cast<uintptr_t>(object) & 0xFFFFFFFFu));
    return std::string(text);
  };
  std::vector<testkit::debuglog::Line> lines = log.lines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(line("Db/Proc/MMS2GetMediaAgentList(709)", "MMS2GetMediaAgentList", &list), lines[0].text);
  EXPECT_EQ(line("Db/Proc/MMMountpathCredentialAssociation(382)", "MMMountpathCredentialAssociation", &assoc),
            lines[1].text);

  // The critical section was given back, and the objects still work.
  bool taken = false;
  std::thread other([&] {
    taken = DBtable::DBCriticalSection.TryLock();
    if (taken) DBtable::DBCriticalSection.Unlock();
  });
  other.join();
  EXPECT_TRUE(taken);
  assoc.setValues(3, 999, kMountPathEntityType);
  ASSERT_EQ(0, getOneRow(&assoc, false, -1, 0));
  EXPECT_EQ(-1, assoc.getDataPtr()->o_result);  // no such credential
  EXPECT_EQ(0, tran.rollbackTran());
}

// --- the once-per-class part under threads ----------------------------------------------

// A procedure used by no other test, so that its class part is still empty
// when the threads race to fill it.
#define RACEPROC_COLUMNS(COL) \
  COL(o_a, i, 0)              \
  COL(o_b, s, 33)             \
  COL(o_c, x, 0)              \
  COL(o_d, u, 0)
inline constexpr ZQDBBindingInfo RaceProc_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                               .dbName = "RaceProc",
                                               .className = "RaceProc",
                                               .version = "00010001000100010000",
                                               .header = "tests/db_procs/ProcPatternTest.cpp",
                                               .line = __LINE__};
struct RaceProc_t {
  RACEPROC_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(RaceProc_t, RACEPROC_COLUMNS)
};
class RaceProc_t2 : public ZQDBCatalogue<RaceProc_t2, RaceProc_t, RaceProc_info> {};
class RaceProc : public ZQDBProcBinding<RaceProc_t, RaceProc_t2, RaceProc_info> {
 public:
  explicit RaceProc(DBtran* tran) : ZQDBProcBinding(tran) {}
  void setValues(int a, const char* b) { bindInputs(a, b); }
};

TEST(ProcCatalogueOnce, EightThreadsBuildingAtOnceFillTheClassPartExactlyOnce) {
  DBtable::b_newDBBase = 1;
  ASSERT_FALSE(RaceProc_t2::s_isInitialized.load());
  constexpr int kThreads = 8;
  constexpr int kRounds = 25;
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::atomic<int> complete{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      ready.fetch_add(1);
      while (!go.load()) std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round) {
        RaceProc proc(nullptr);
        ZQDBRowBase* cat = proc.getCatalogue();
        // Whoever sees the class part sees all of it.
        if (cat != nullptr && cat->getColumnName(3) == "o_d" && cat->getStructDef() == "i|s33|b|u|" &&
            cat->getTableName() == "RaceProc" && cat->getHeaderType() == 2 && cat->getSerialColNum() == -1) {
          complete.fetch_add(1);
        }
        // The engine's bindings of the system are shared the same way.
        QR_GetDeviceID device(nullptr);
        MMMountpathCredentialAssociation assoc(nullptr);
      }
    });
  }
  while (ready.load() < kThreads) std::this_thread::yield();
  go = true;
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(kThreads * kRounds, complete.load());
  EXPECT_EQ((std::vector<std::string>{"o_a", "o_b", "o_c", "o_d"}), RaceProc_t2::m_staticColumnVec);
  EXPECT_EQ((std::vector<std::string>{"o_deviceID"}), QR_GetDeviceID_t2::m_staticColumnVec);
  EXPECT_EQ((std::vector<std::string>{"o_result", "o_oldCredentialName"}),
            MMMountpathCredentialAssociation_t2::m_staticColumnVec);
}

TEST(ProcCatalogueOnce, TwoObjectsOneAfterTheOtherShareOneSetOfNames) {
  DBtable::b_newDBBase = 1;
  MMS2IsCenteraNDMPHostIdInUse first(nullptr);
  MMS2IsCenteraNDMPHostIdInUse second(nullptr);
  EXPECT_NE(first.getCatalogue(), second.getCatalogue());
  EXPECT_EQ(6u, MMS2IsCenteraNDMPHostIdInUse_t2::m_staticColumnVec.size());
  EXPECT_EQ(first.getCatalogue()->getColumnName(5), second.getCatalogue()->getColumnName(5));
}

// --- a procedure without output columns, with an integer and a text --------------------

#define PROBENOTE_COLUMNS(COL)
inline constexpr ZQDBBindingInfo ProbeNote_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                .dbName = "ProbeNote",
                                                .className = "ProbeNote",
                                                .version = "00010001000300010000",
                                                .header = "tests/db_procs/ProcPatternTest.cpp",
                                                .line = __LINE__};
struct ProbeNote_t {
  PROBENOTE_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(ProbeNote_t, PROBENOTE_COLUMNS)
};
class ProbeNote_t2 : public ZQDBCatalogue<ProbeNote_t2, ProbeNote_t, ProbeNote_info> {};
class ProbeNote : public ZQDBProcBinding<ProbeNote_t, ProbeNote_t2, ProbeNote_info> {
 public:
  explicit ProbeNote(DBtran* tran) : ZQDBProcBinding(tran) {}
  void setValues(int clientId, const char* note) { bindInputs(clientId, note); }
  void setValues(long long big, int small) { bindInputs(big, small); }
};

// Renames a client: (client id, new name); yields no row.
const bool kProbeNoteBody = [] {
  tkdb::registerProcedure("ProbeNote", [](tkdb::ProcCall& call) {
    if (call.inputs.size() != 2) return 50000;
    if (call.inputs[1].type != tkdb::DbValue::Type::Text) return 0;
    return call.session.exec("UPDATE APP_Client SET name = ? WHERE id = ?", {call.inputs[1], call.inputs[0]});
  });
  return true;
}();

TEST_F(ProcModes, AProcedureWithoutOutputsTakesAnIntegerAndATextInBothModes) {
  ASSERT_TRUE(kProbeNoteBody);
  ASSERT_EQ(0, db.exec("INSERT INTO APP_Client (id, name) VALUES (3, 'old')"));
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    testkit::db::journal().reset();
    ProbeNote note(nullptr);
    EXPECT_EQ(0, ProbeNote_t::kColumnCount);
    EXPECT_STREQ("", note.getSelectList());
    const std::string name = std::string("it's mode ") + std::to_string(mode);
    note.setValues(3, name.c_str());
    if (mode == 0) {
      EXPECT_EQ("3,'it''s mode 0'", note.getValuesClause());
      EXPECT_EQ(std::to_string(14 + 1 + (name.size() + 1) + 4), lastCheck());  // "%d,'%s'": length + 19, + 1 quote
    } else {
      EXPECT_EQ(2u, note.getBoundInputCount());
    }
    EXPECT_EQ(100, getOneRow(&note, false, -1, 0));  // run for its effect: no row
    EXPECT_EQ(name, db.text("SELECT name FROM APP_Client WHERE id = 3"));

    note.setValues(5'000'000'000LL, 7);
    if (mode == 0) {
      EXPECT_EQ("5000000000,7", note.getValuesClause());
      EXPECT_EQ("36", lastCheck());
    }
    EXPECT_EQ(100, getOneRow(&note, false, -1, 0));
    EXPECT_EQ((std::vector<std::string>{"ProbeNote", "5000000000", "7"}), calls("procedure").back().args);
  }
}

// --- the cursor form -------------------------------------------------------------------

#define PROBECURSOR_COLUMNS(COL) \
  COL(r_id, i, 0)                \
  COL(r_name, s, 65)
#define PROBECURSOR_SQL "SELECT id, name FROM APP_Client WITH (NOLOCK) WHERE id >= %d AND name <> '%s' ORDER BY id"
inline constexpr ZQDBBindingInfo ProbeCursor_info{.headerType = ZQDB_HEADER_CURSOR,
                                                  .dbName = "probeCursor",
                                                  .className = "ProbeCursor",
                                                  .header = "tests/db_procs/ProcPatternTest.cpp",
                                                  .line = __LINE__};
struct ProbeCursor_t {
  PROBECURSOR_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(ProbeCursor_t, PROBECURSOR_COLUMNS)
};
class ProbeCursor_t2 : public ZQDBCatalogue<ProbeCursor_t2, ProbeCursor_t, ProbeCursor_info> {};
class ProbeCursor : public ZQDBCursor<ProbeCursor_t, ProbeCursor_t2, ProbeCursor_info> {
 public:
  explicit ProbeCursor(DBtran* tran) : ZQDBCursor(tran) {}
  void setValues(int fromId, const char* skip) { ZQDB_CURSOR_BIND(PROBECURSOR_SQL, fromId, skip); }
};

TEST_F(ProcModes, CursorBindChecksTheQuerySizeAndFormatsWithQuoting) {
  for (const char* name : {"alpha", "O'Neil", "gamma"})
    ASSERT_EQ(0, db.exec("INSERT INTO APP_Client (name) VALUES (?)", {name}));
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    testkit::db::journal().reset();
    ProbeCursor cursor(nullptr);
    EXPECT_EQ(3, cursor.getKind());
    EXPECT_STREQ("Cursor ProbeCursor", cursor.getDescription());
    cursor.setValues(1, "O'Neil");
    std::vector<tkjournal::Call> check = calls("querySizeCheck");
    ASSERT_EQ(1u, check.size());
    EXPECT_EQ(std::to_string((sizeof(PROBECURSOR_SQL) - 1 + 36) * 2), check[0].args[1]);
    EXPECT_EQ("false", check[0].args[2]);
    EXPECT_NE(std::string::npos, cursor.getQueryText().find("name <> 'O''Neil'")) << cursor.getQueryText();
    std::vector<std::string> names;
    int count = 0;
    while (getNextRow(&cursor, &count, -1, 0) == 0) names.push_back(cursor.getDataPtr()->r_name);
    EXPECT_EQ((std::vector<std::string>{"alpha", "gamma"}), names);
  }
}

// --- result outcomes -------------------------------------------------------------------

TEST(Fetch, ResultsNameTheirOutcome) {
  static_assert(ZQDBFetchOf(0) == ZQDBFetch::Row);
  static_assert(ZQDBFetchOf(100) == ZQDBFetch::NoRow);
  static_assert(ZQDBFetchOf(204) == ZQDBFetch::Error);
  static_assert(ZQDBFetchOf(-1) == ZQDBFetch::Error);
  SUCCEED();
}

}  // namespace
