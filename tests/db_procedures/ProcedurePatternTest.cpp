// The procedure binding form: inputs in both engine modes for every input
// shape of the procedures, quoting in the values clause, and a procedure
// without output columns.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Db/Proc/MMIsMAPushedToAnotherTK.h"
#include "Db/Proc/MMMountpathCredentialAssociation.h"
#include "Db/Proc/MMS2GetMediaAgentList.h"
#include "Db/Proc/MMS2IsCenteraNDMPHostIdInUse.h"
#include "Db/Proc/QR_GetDeviceID.h"
#include "Db/ZQDBProcBinding.h"
#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "tests/support/BindingChecks.h"
#include "tests/support/Seed.h"

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

class ProcModes : public tktest::DatabaseTest {
 protected:
  std::vector<tkjournal::Call> calls(const char* name) { return testkit::db::journal().calls(name); }
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

// Text mode: the values clause after its size check; typed mode: one value
// object per input and no clause.
TEST_F(ProcModes, EveryInputShapeBindsInBothModes) {
  tktest::forBothModes([&](int mode) {
    for (const Shape& shape : kShapes) {
      SCOPED_TRACE(shape.name);
      testkit::db::journal().reset();
      std::string clause = "x";
      int bound = -1;
      size_t count = 99;
      shape.bind(clause, bound, count);
      EXPECT_EQ(mode == 1 ? "" : shape.clause, clause);
      EXPECT_EQ(mode, bound);
      EXPECT_EQ(mode == 1 ? shape.typedCount : 0u, count);
      EXPECT_EQ(mode == 1 ? 0u : 1u, calls("valuesClauseCheck").size());
      if (mode == 0) {
        EXPECT_EQ(shape.size, tktest::lastValuesCheck());
        EXPECT_LE(clause.size(), std::stoul(shape.size));
      }
    }
  });
}

// What the body receives is the same in both modes: the texts unchanged.
TEST_F(ProcModes, BothModesHandTheBodyTheSameInputs) {
  tktest::forBothModes([&](int) {
    QR_GetDeviceID proc(nullptr);
    proc.setValues(5, "O'Neil's disk", "");
    EXPECT_EQ(100, getOneRow(&proc, false, -1, 0));
    EXPECT_EQ((std::vector<std::string>{"QR_GetDeviceID", "5", "'O'Neil's disk'", "''"}), tktest::lastProcedureCall());
    MMMountpathCredentialAssociation assoc(nullptr);
    assoc.setValues(17, 4, 52);
    EXPECT_EQ(0, getOneRow(&assoc, false, -1, 0));
    EXPECT_EQ((std::vector<std::string>{"MMMountpathCredentialAssociation", "17", "4", "52"}),
              tktest::lastProcedureCall());
  });
}

TEST_F(ProcModes, SetZQDBValuesHandsTheValueObjectsToTheEngineInOrder) {
  QR_GetDeviceID proc(nullptr);
  proc.setZQDBValues(new ZQDB_int(8), new ZQDB_string("a"), new ZQDB_string("b'c"));
  EXPECT_EQ(3u, proc.getBoundInputCount());
  EXPECT_EQ(100, getOneRow(&proc, false, -1, 0));
  EXPECT_EQ((std::vector<std::string>{"QR_GetDeviceID", "8", "'a'", "'b'c'"}), calls("procedure").back().args);
}

// --- a procedure without output columns, with an integer and a text --------------------

#define PROBENOTE_COLUMNS(COL)
inline constexpr ZQDBBindingInfo ProbeNote_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                .dbName = "ProbeNote",
                                                .className = "ProbeNote",
                                                .version = "00010001000300010000",
                                                .header = "tests/db_procedures/ProcedurePatternTest.cpp",
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
  static_assert(ProbeNote_t::kColumnCount == 0);
  tktest::forBothModes([&](int mode) {
    ProbeNote note(nullptr);
    EXPECT_STREQ("", note.getSelectList());
    const std::string name = "it's mode " + std::to_string(mode);
    note.setValues(3, name.c_str());
    if (mode == 0) {
      EXPECT_EQ("3,'it''s mode 0'", note.getValuesClause());
      EXPECT_EQ(std::to_string(14 + 1 + (name.size() + 1) + 4), tktest::lastValuesCheck());  // the quote counts twice
    } else {
      EXPECT_EQ(2u, note.getBoundInputCount());
    }
    EXPECT_EQ(100, getOneRow(&note, false, -1, 0));  // run for its effect: no row
    EXPECT_EQ(name, db.text("SELECT name FROM APP_Client WHERE id = 3"));
    note.setValues(5'000'000'000LL, 7);
    if (mode == 0) {
      EXPECT_EQ("5000000000,7", note.getValuesClause());
      EXPECT_EQ("36", tktest::lastValuesCheck());
    }
    EXPECT_EQ(100, getOneRow(&note, false, -1, 0));
    EXPECT_EQ((std::vector<std::string>{"ProbeNote", "5000000000", "7"}), tktest::lastProcedureCall());
  });
}

// The three outcomes of the row readers.
static_assert(ZQDBFetchOf(0) == ZQDBFetch::Row && ZQDBFetchOf(100) == ZQDBFetch::NoRow);
static_assert(ZQDBFetchOf(204) == ZQDBFetch::Error && ZQDBFetchOf(-1) == ZQDBFetch::Error);

}  // namespace
