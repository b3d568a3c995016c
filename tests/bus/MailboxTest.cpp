#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "bus/Mailbox.h"

namespace {

CanMsg Reply(int command, int tag, uint32_t len = 8) {
  CanMsg m;
  m.id = 0x680 + 3;
  m.len = len;
  m.data[0] = uint32_t(command);
  m.data[1] = uint32_t(tag);
  return m;
}

class MailboxTest : public ::testing::Test {
 protected:
  // Large: keep it off the stack.
  std::unique_ptr<ReplyMailboxes> box = std::make_unique<ReplyMailboxes>();
};

TEST_F(MailboxTest, SixtyFifthFrameOverwritesTheOldestAndFetchGoesByLowestSlot) {
  for (int tag = 0; tag < 65; ++tag) box->store(3, Reply(5, tag));
  EXPECT_EQ(box->count(3), 64);

  std::vector<int> order;
  CanMsg out;
  while (box->fetch(3, 5, out)) order.push_back(int(out.data[1]));
  ASSERT_EQ(order.size(), 64u);
  // Frame 64 took slot 0 from frame 0, so it comes out first; frame 0 is gone.
  EXPECT_EQ(order.front(), 64);
  EXPECT_EQ(std::set<int>(order.begin(), order.end()).count(0), 0u);
  EXPECT_EQ(order[1], 1);
  EXPECT_EQ(box->count(3), 0);
}

TEST_F(MailboxTest, OverwritingContinuesWithTheNextOldest) {
  for (int tag = 0; tag < 66; ++tag) box->store(3, Reply(5, tag));
  std::set<int> left;
  CanMsg out;
  while (box->fetch(3, 5, out)) left.insert(int(out.data[1]));
  EXPECT_EQ(left.size(), 64u);
  EXPECT_EQ(left.count(0), 0u);
  EXPECT_EQ(left.count(1), 0u);
  EXPECT_EQ(left.count(65), 1u);
}

TEST_F(MailboxTest, AFreedLowerSlotIsReusedAndFetchedBeforeAnOlderFrame) {
  box->store(3, Reply(5, 1));  // slot 0
  box->store(3, Reply(7, 0));  // slot 1
  box->store(3, Reply(5, 2));  // slot 2
  CanMsg out;
  ASSERT_TRUE(box->fetch(3, 7, out));
  box->store(3, Reply(5, 3));  // the freed slot 1
  ASSERT_TRUE(box->fetch(3, 5, out));
  EXPECT_EQ(out.data[1], 1u);
  ASSERT_TRUE(box->fetch(3, 5, out));
  EXPECT_EQ(out.data[1], 3u) << "the lower slot wins over the older frame";
  ASSERT_TRUE(box->fetch(3, 5, out));
  EXPECT_EQ(out.data[1], 2u);
  EXPECT_FALSE(box->fetch(3, 5, out));
}

TEST_F(MailboxTest, BytesBeyondTheLengthNeverShowAnOlderFrame) {
  CanMsg full = Reply(5, 0xAA);
  for (auto& d : full.data) d = 0xAA;
  full.data[0] = 5;
  box->store(3, full);
  CanMsg out;
  ASSERT_TRUE(box->fetch(3, 5, out));
  box->store(3, Reply(5, 1, 2));  // same slot, two bytes
  ASSERT_TRUE(box->fetch(3, 5, out));
  for (int i = 2; i < 8; ++i) EXPECT_EQ(out.data[i], 0u) << i;
  box->store(3, Reply(5, 1, 200));
  ASSERT_TRUE(box->fetch(3, 5, out));
  EXPECT_EQ(out.len, 8u) << "an overlong length is cut to eight bytes";
}

TEST_F(MailboxTest, FlushByCommandKeepsOtherCommandsAndNegativeEmptiesAll) {
  box->store(3, Reply(5, 1));
  box->store(3, Reply(6, 2));
  box->store(3, Reply(5, 3));
  box->store(4, Reply(5, 4));
  box->flush(3, 5);
  EXPECT_EQ(box->count(3), 1);
  EXPECT_EQ(box->count(4), 1);
  box->flush(3, -1);
  EXPECT_EQ(box->count(3), 0);
  EXPECT_EQ(box->count(4), 1);
  box->clear();
  EXPECT_EQ(box->count(4), 0);
}

}  // namespace
