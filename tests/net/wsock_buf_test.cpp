#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "net/wsock_buf.h"

namespace parlix {
namespace {

TEST(TBuffer, WritePeekRemoveAndReuse) {
  TBuffer b(8);
  EXPECT_EQ(b.BufSize(), 8);
  EXPECT_EQ(b.Write("hello", 5), 5);
  EXPECT_EQ(b.Write("world", 5), 3);  // only what fits
  EXPECT_EQ(b.Peek(), "hellowor");
  EXPECT_EQ(b.FreeSpace(), 0);
  b.Remove(3);
  EXPECT_EQ(b.Peek(), "lowor");
  // Space freed at the front is not reused until the block drains.
  EXPECT_EQ(b.Write("x", 1), 0);
  b.Remove(100);  // more than is there: only what is there
  EXPECT_EQ(b.DataCount(), 0);
  EXPECT_EQ(b.Peek(), "");
  EXPECT_EQ(b.FreeSpace(), 8);
  EXPECT_EQ(b.Write("abc", 3), 3);
  EXPECT_EQ(b.Peek(), "abc");
  b.Remove(0);
  b.Remove(-4);
  EXPECT_EQ(b.Peek(), "abc");
  EXPECT_EQ(b.Write(nullptr, 3), 0);
  EXPECT_EQ(b.Write("abc", -1), 0);
}

TEST(TBuffer, NonPositiveSizeGivesTheDefault) {
  EXPECT_EQ(TBuffer(0).BufSize(), TBuffer::kDefaultSize);
  EXPECT_EQ(TBuffer(-5).BufSize(), 1514);
}

TEST(TBuffer, ResizeKeepsTheUnreadBytes) {
  TBuffer b(10);
  b.Write("0123456789", 10);
  b.Remove(4);
  b.SetBufSize(20);
  EXPECT_EQ(b.BufSize(), 20);
  EXPECT_EQ(b.Peek(), "456789");
  EXPECT_EQ(b.Write("abcdef", 6), 6);
  EXPECT_EQ(b.Peek(), "456789abcdef");
  // Shrinking below the unread count keeps them all.
  b.SetBufSize(3);
  EXPECT_EQ(b.Peek(), "456789abcdef");
  EXPECT_EQ(b.BufSize(), 12);
  EXPECT_EQ(b.FreeSpace(), 0);
  b.Remove(12);
  b.SetBufSize(4);
  EXPECT_EQ(b.BufSize(), 4);
  EXPECT_EQ(b.Write("wxyz!", 5), 4);
}

TEST(TBufferQueue, AppendSpansBlocksAndDrainsInOrder) {
  TBufferQueue q(4);
  EXPECT_TRUE(q.AllSent());
  EXPECT_EQ(q.Front(), "");
  q.Append("abcdefghij", 10);
  EXPECT_EQ(q.BlockCount(), 3u);
  EXPECT_EQ(q.Pending(), 10u);
  EXPECT_EQ(q.Front(), "abcd");
  q.Remove(2);
  EXPECT_EQ(q.Front(), "cd");
  q.Remove(2);  // emptied first block with another after it: freed
  EXPECT_EQ(q.BlockCount(), 2u);
  EXPECT_EQ(q.Front(), "efgh");
  q.Append("kl", 2);  // fills the last block ("ij" + "kl")
  EXPECT_EQ(q.BlockCount(), 2u);
  q.Remove(4);
  EXPECT_EQ(q.Front(), "ijkl");
  q.Remove(4);
  // The only block stays for reuse; the queue is all sent.
  EXPECT_EQ(q.BlockCount(), 1u);
  EXPECT_TRUE(q.AllSent());
  q.Append("mn", 2);
  EXPECT_EQ(q.BlockCount(), 1u);
  EXPECT_EQ(q.Front(), "mn");
  q.Clear();
  EXPECT_TRUE(q.AllSent());
  EXPECT_EQ(q.BlockCount(), 0u);
  q.Remove(5);  // nothing to remove: no effect
  EXPECT_TRUE(q.AllSent());
}

// A scripted stack: accepts at most `accept` bytes per call until `capacity` is used,
// then says "would block", or fails with `fail_error` on call number `fail_at`.
struct FakeStack {
  std::string received{};
  size_t capacity = SIZE_MAX;
  int accept = INT32_MAX;
  int fail_at = -1;
  int fail_error = 0;
  int calls = 0;

  SendAttempt Send(std::string_view data) {
    if (calls++ == fail_at) return {0, fail_error};
    const size_t room = capacity - received.size();
    if (room == 0) return {0, kWsaEWouldBlock};
    const size_t n = std::min({data.size(), room, static_cast<size_t>(accept)});
    received.append(data.substr(0, n));
    return {static_cast<int>(n), 0};
  }
};

std::string Pattern(size_t len) {
  std::string s;
  std::mt19937 rng(static_cast<unsigned>(len));
  for (size_t i = 0; i < len; ++i) s.push_back(static_cast<char>(rng() & 0xFF));
  return s;
}

TEST(TrySendQueue, ShortWritesGoOnUntilTheStackRefuses) {
  TBufferQueue q(1460);
  const std::string data = Pattern(10000);
  q.Append(data.data(), data.size());
  FakeStack stack{.capacity = 6000, .accept = 700};  // every send is short
  std::vector<int> counts;
  auto send = [&](std::string_view d) { return stack.Send(d); };
  auto sent = [&](int n) { counts.push_back(n); };
  TrySendResult r = TrySendQueue(q, send, sent);
  EXPECT_EQ(std::pair(r.outcome, r.error), std::pair(TrySendOutcome::kWouldBlock, kWsaEWouldBlock));
  EXPECT_EQ(stack.received, data.substr(0, 6000));
  EXPECT_EQ(q.Pending(), 4000u);
  size_t total = 0;
  for (int n : counts) {
    EXPECT_GT(n, 0);
    EXPECT_LE(n, 700);
    total += static_cast<size_t>(n);
  }
  EXPECT_EQ(total, 6000u);
  // The next write notification resumes where it stopped.
  stack.capacity = SIZE_MAX;
  r = TrySendQueue(q, send, nullptr);
  EXPECT_EQ(r.outcome, TrySendOutcome::kAllSent);
  EXPECT_EQ(stack.received, data);
  EXPECT_TRUE(q.AllSent());
}

TEST(TrySendQueue, ErrorsAreSortedIntoCloseAndOther) {
  const std::pair<int, TrySendOutcome> cases[] = {
      {10022, TrySendOutcome::kCloseError}, {10038, TrySendOutcome::kCloseError},
      {10053, TrySendOutcome::kCloseError}, {10054, TrySendOutcome::kCloseError},
      {10057, TrySendOutcome::kCloseError}, {10055, TrySendOutcome::kOtherError},
      {10060, TrySendOutcome::kOtherError}, {1, TrySendOutcome::kOtherError}};
  for (const auto& [code, outcome] : cases) {
    TBufferQueue q;
    q.Append("abc", 3);
    FakeStack stack{.fail_at = 0, .fail_error = code};
    const TrySendResult r = TrySendQueue(q, [&](std::string_view d) { return stack.Send(d); }, nullptr);
    EXPECT_EQ(std::pair(r.outcome, r.error), std::pair(outcome, code));
    if (outcome == TrySendOutcome::kCloseError) {
      EXPECT_EQ(q.Pending(), 3u) << code;
    }
  }
}

TEST(TrySendQueue, RandomisedBlockSizesAndShortWritesDeliverEveryByteInOrder) {
  std::mt19937 rng(777);
  for (int round = 0; round < 200; ++round) {
    TBufferQueue q(static_cast<int>(rng() % 3000) - 10);  // includes sizes <= 0
    FakeStack stack;
    std::string sent_all;
    for (int piece = 0; piece < 5; ++piece) {
      const std::string data = Pattern(rng() % 5000);
      q.Append(data.data(), data.size());
      sent_all += data;
      stack.accept = 1 + static_cast<int>(rng() % 2000);
      stack.capacity = stack.received.size() + rng() % 6000;
      TrySendQueue(q, [&](std::string_view d) { return stack.Send(d); }, nullptr);
      EXPECT_EQ(stack.received.size() + q.Pending(), sent_all.size());
    }
    stack.capacity = SIZE_MAX;
    EXPECT_EQ(TrySendQueue(q, [&](std::string_view d) { return stack.Send(d); }, nullptr).outcome,
              TrySendOutcome::kAllSent);
    EXPECT_EQ(stack.received, sent_all);
  }
}

}  // namespace
}  // namespace parlix
