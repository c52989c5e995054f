// Message arguments, message containers, event arguments and the locale of a
// sequence number.
#include <gtest/gtest.h>

#include <climits>

#include "frame/ArgumentInfo.h"
#include "frame/EvEvent.h"
#include "frame/EvMessageContainer.h"
#include "platform/reply/EvReturnData.h"

namespace {

std::vector<int> typesOf(const ArgumentInfo& args) {
  std::vector<int> types;
  for (std::size_t i = 0; i < args.Count(); ++i) types.push_back(args.At(i).type);
  return types;
}

TEST(ArgumentInfo, StreamOperatorsUseTheTypeCodesAndKeepExtremes) {
  ArgumentInfo args;
  args << "text" << 42 << -7L << 9UL;
  EXPECT_EQ(typesOf(args), (std::vector<int>{11, 5, 7, 8}));
  EXPECT_EQ(args.At(0).text, "text");
  EXPECT_EQ(args.At(1).number, 42);
  EXPECT_EQ(args.At(2).number, -7);
  EXPECT_EQ(args.At(3).unsignedNumber, 9u);
  EXPECT_EQ(args.Texts(), (std::vector<std::string>{"text", "42", "-7", "9"}));

  ArgumentInfo extremes;
  extremes << INT_MIN << LONG_MIN << ULONG_MAX << static_cast<const char*>(nullptr) << 3u;
  EXPECT_EQ(extremes.Texts(), (std::vector<std::string>{std::to_string(INT_MIN), std::to_string(LONG_MIN),
                                                        std::to_string(ULONG_MAX), "", "3"}));
  EXPECT_EQ(extremes.At(4).type, 8);  // unsigned 32-bit widens to unsigned 64-bit
}

TEST(EvMessageContainer, SetMessageIdKeepsOrDropsArguments) {
  for (const bool clear : {false, true}) {
    SCOPED_TRACE(clear);
    EvMessageContainer c;
    c.SetSecond(5);
    c.GetEntities().Set(2, 8);
    c << "a" << 1;
    c.SetMessageID(0x5500018B, clear);
    EXPECT_EQ(c.GetMessageID(), 0x5500018B);
    EXPECT_EQ(c.GetArguments()->Count(), clear ? 0u : 2u);
    EXPECT_EQ(c.GetSecond(), 5);           // untouched either way
    EXPECT_EQ(c.GetEntities().Get(2), 8);  // untouched either way
  }
}

EvMessageContainer filled() {
  EvMessageContainer c;
  c.SetMessageID(0x550000BF, true);
  c << "library one" << 7 << 8L << 9UL;
  c.SetSecond(3);
  c.GetEntities().Set(0, 1);
  c.GetEntities().Set(3, 4);
  return c;
}

void expectSame(const EvMessageContainer& a, const EvMessageContainer& b) {
  EXPECT_EQ(a.GetMessageID(), b.GetMessageID());
  EXPECT_EQ(a.GetSecond(), b.GetSecond());
  EXPECT_EQ(*a.GetArguments(), *b.GetArguments());
  EXPECT_EQ(a.GetEntities(), b.GetEntities());
}

TEST(EvMessageContainer, CopyAssignmentSelfAssignmentAndClear) {
  const EvMessageContainer source = filled();
  EvMessageContainer copy(source);
  expectSame(copy, source);

  EvMessageContainer assigned;
  assigned << "old argument";
  assigned.SetSecond(99);
  assigned = source;
  expectSame(assigned, source);
  EXPECT_EQ(assigned.GetArguments()->Count(), 4u);  // the old argument is gone

  // The copy is independent of its source.
  copy << "more";
  EXPECT_EQ(source.GetArguments()->Count(), 4u);

  EvMessageContainer& alias = assigned;
  assigned = alias;
  expectSame(assigned, source);

  assigned.Clear();
  expectSame(assigned, EvMessageContainer());
  EXPECT_EQ(assigned.GetMessageID(), 0);
  EXPECT_EQ(assigned.GetArguments()->Count(), 0u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(assigned.GetEntities().Get(i), 0);
}

TEST(EvEvent, StreamOperatorsUseTheEventTypeCodes) {
  EvEvent e("Test::event");
  ArgumentInfo more;
  more << "x" << 1;
  e << "text" << -5 << 6u << 7UL << &more << static_cast<const ArgumentInfo*>(nullptr);
  EXPECT_EQ(typesOf(e.arguments()), (std::vector<int>{11, 5, 6, 10, 11, 5}));
  EXPECT_EQ(e.arguments().Texts(), (std::vector<std::string>{"text", "-5", "6", "7", "x", "1"}));
  EXPECT_EQ(e.location(), "Test::event");
}

TEST(ReturnLocaleId, IsTheTopSixteenBitsOfTheSequenceNumber) {
  const struct {
    long long sequence;
    unsigned long locale;
  } cases[] = {
      {-1LL, 65535},  // all top bits set
      {static_cast<long long>(0xFFFF000000000000ull), 65535},
      {(1LL << 48) - 1, 0},  // below 2^48
      {0, 0},
      {42, 0},
      {0x0409LL << 48, 0x0409},
      {(0x0409LL << 48) | 12345, 0x0409},
      {LLONG_MIN, 0x8000},
  };
  for (const auto& c : cases) EXPECT_EQ(EvReturnData::returnLocaleId(c.sequence), c.locale) << c.sequence;

  EvEvent e;
  e.setLocaleId(-1LL);
  EXPECT_EQ(e.getLocaleId(), 65535u);
  e.setLocaleId((7LL << 48) | 99);
  EXPECT_EQ(e.getLocaleId(), 7u);
}

}  // namespace
