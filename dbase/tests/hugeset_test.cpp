// TxbHugeSet: the record bit set of filters and ranges.
#include <gtest/gtest.h>

#include <set>

#include "dbase/base/huge_set.h"

namespace {

TEST(HugeSet, FreshSetHoldsNothingAndAllocatesNothing) {
  TxbHugeSet set;
  for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{131071}, int64_t{131072}, int64_t{1} << 40})
    EXPECT_FALSE(set.Test(n)) << n;
  EXPECT_EQ(set.PageCount(), 0);
  EXPECT_EQ(set.Highest(), -1);
}

TEST(HugeSet, PagesAreAddedUpToTheBitTouched) {
  TxbHugeSet set;
  set.Change(200000, TxbHugeSet::opSet);
  EXPECT_EQ(set.PageCount(), 2);
  EXPECT_TRUE(set.Test(200000));
  EXPECT_FALSE(set.Test(199999));
  EXPECT_FALSE(set.Test(200001));
  EXPECT_FALSE(set.Test(200000 - 131072));  // same byte and bit, other page
  EXPECT_EQ(set.Highest(), 200000);
  set.Change(5, TxbHugeSet::opClear);  // clearing a lower bit keeps the highest
  EXPECT_EQ(set.Highest(), 200000);
}

TEST(HugeSet, SetClearAndToggleAffectOnlyTheirBit) {
  TxbHugeSet set;
  const std::set<int64_t> bits = {0, 7, 8, 9, 131071, 131072, 131073, 262143, 400000};
  for (int64_t n : bits) set.Change(n, TxbHugeSet::opSet);
  for (int64_t n = 0; n <= 400001; ++n) ASSERT_EQ(set.Test(n), bits.count(n) == 1) << n;

  set.Change(131072, TxbHugeSet::opToggle);
  EXPECT_FALSE(set.Test(131072));
  set.Change(131072, TxbHugeSet::opToggle);
  EXPECT_TRUE(set.Test(131072));
  set.Change(8, TxbHugeSet::opClear);
  EXPECT_FALSE(set.Test(8));
  EXPECT_TRUE(set.Test(7));
  EXPECT_TRUE(set.Test(9));
  set.Change(9, TxbHugeSet::opSet);  // setting twice is still set
  EXPECT_TRUE(set.Test(9));
}

TEST(HugeSet, ClearKeepsThePagesButForgetsEveryBit) {
  TxbHugeSet set;
  set.Change(300000, TxbHugeSet::opSet);
  set.Change(3, TxbHugeSet::opSet);
  set.Clear();
  EXPECT_EQ(set.PageCount(), 3);
  EXPECT_EQ(set.Highest(), -1);
  EXPECT_FALSE(set.Test(3));
  set.Change(300001, TxbHugeSet::opToggle);  // reach past the old bit again
  EXPECT_FALSE(set.Test(300000));
  EXPECT_FALSE(set.Test(3));
  EXPECT_TRUE(set.Test(300001));
}

TEST(HugeSet, NegativeBitsAndUnknownOperationsChangeNothing) {
  TxbHugeSet set;
  set.Change(-1, TxbHugeSet::opSet);
  set.Change(10, 7);
  EXPECT_FALSE(set.Test(-1));
  EXPECT_FALSE(set.Test(10));
  EXPECT_EQ(set.PageCount(), 0);
  EXPECT_EQ(set.Highest(), -1);
}

}  // namespace
