// The list items: private copies of their texts, setters that survive their
// own text, and the NAS client's deleted mark.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "nas/clients/NasClientItems.h"

namespace {

TEST(NasClientItems, ItemsStartEmptyWithIdAndTypeMinusOne) {
  StoragePolicyItem policy;
  EXPECT_EQ(policy.GetName(), nullptr);
  EXPECT_EQ(policy.GetId(), -1);
  EXPECT_EQ(policy.GetType(), -1);
  NasClientItem client;
  EXPECT_EQ(client.GetProxyMediaAgent(), nullptr);
  EXPECT_FALSE(client.IsDeleted());
}

TEST(NasClientItems, ItemsCannotBeCopiedSoNoTextIsFreedTwice) {
  EXPECT_FALSE(std::is_copy_constructible_v<NameIdItem>);
  EXPECT_FALSE(std::is_copy_assignable_v<NasMediaAgentItem>);
  EXPECT_FALSE(std::is_copy_constructible_v<NasClientItem>);
  EXPECT_FALSE(std::is_move_constructible_v<StoragePolicyItem>);
}

TEST(NasClientItems, ConstructorsAndSettersKeepPrivateCopies) {
  std::string name = "ma1";
  std::string host = "ma1.lab";
  NameIdHostItem item(name.c_str(), 4, host.c_str());
  name[0] = 'X';
  host[0] = 'Y';
  EXPECT_STREQ(item.GetName(), "ma1");
  EXPECT_STREQ(item.GetHostname(), "ma1.lab");
  EXPECT_EQ(item.GetId(), 4);
  NameIdTypeItem typed("sp", 2, 9);
  EXPECT_EQ(typed.GetType(), 9);
  NameIdItem none(nullptr, 1);
  EXPECT_EQ(none.GetName(), nullptr);
}

TEST(NasClientItems, SettersSurviveBeingGivenTheirOwnText) {
  NasMediaAgentItem item;
  item.SetName("agent");
  item.SetHostname("host");
  EXPECT_STREQ(item.SetName(item.GetName()), "agent");
  EXPECT_STREQ(item.SetHostname(item.GetHostname()), "host");
  EXPECT_STREQ(item.GetName(), "agent");
  EXPECT_EQ(item.SetName(nullptr), nullptr);
  EXPECT_EQ(item.GetName(), nullptr);
}

TEST(NasClientItems, ANasClientKeepsItsProxyInTheHostSlotAndItsDeletedMark) {
  NasClientItem client;
  client.SetProxyMediaAgent("ma2");
  EXPECT_STREQ(client.GetHostname(), "ma2");
  client.SetDeleted();
  EXPECT_TRUE(client.IsDeleted());
  client.SetNotDeleted();
  EXPECT_FALSE(client.IsDeleted());
  EXPECT_EQ(client.SetId(0), 0);
}

}  // namespace
