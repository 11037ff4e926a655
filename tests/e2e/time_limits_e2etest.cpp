// Peers that fall silent: every request ends within its limit (lowered here through
// PARLIX_TEST_NET_LIMITS), a translation in the program's words, the service check quietly.
#include <gtest/gtest.h>

#include <atomic>

#include "support/loopback_peer_win.h"
#include "support/session_win.h"

namespace parlix::test {
namespace {

constexpr DWORD kSilenceMs = 2000;

TEST(TimeLimits, SilentPeersEndInConnectionFailedAndNoneHoldsTheProgram) {
  SetEnvironmentVariableA("PARLIX_TEST_NET_LIMITS", ("1500," + std::to_string(kSilenceMs)).c_str());
  std::atomic<int> posts{0}, closed{0};
  std::atomic<DWORD> quiet_before_close{0};
  // The service check and the first translation meet silence after the request; the second
  // translation a tenth of its body, in pieces less than the limit apart, then silence.
  LoopbackPeer peer([&](PeerConnection& c) {
    if (c.ReceiveHead().rfind("POST ", 0) == 0 && ++posts == 2) {
      c.SendAll("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5000\r\n\r\n");
      for (int i = 0; i < 4; ++i) {
        Sleep(kSilenceMs / 2);
        c.SendAll(std::string(100, 'x'));
      }
    }
    const DWORD last_byte = GetTickCount();
    c.ReceiveUntilClosed();
    quiet_before_close = GetTickCount() - last_byte;
    ++closed;
  }, 3);
  TSession session;
  ASSERT_TRUE(session.Start(peer.Port()));
  EXPECT_TRUE(WaitUntil([&] { return closed == 1; }, 15s)) << "the service worker still waits";
  EXPECT_EQ(session.program->FindMessageBox(), nullptr);
  for (int round = 1; round <= 2; ++round) {
    session.Translate("thank you");
    EXPECT_EQ(session.Outcome(), "Error: Connection failed.") << round;
    EXPECT_TRUE(WaitUntil([&] { return closed == round + 1 && session.NoNewAnswerFile(); })) << round;
  }
  EXPECT_GE(quiet_before_close, kSilenceMs - 50) << "given up while bytes were still coming";
  session.Close();

  // A connection that is never completed: the connect limit, for every request.
  UnansweredPort unanswered;
  TSession never;
  ASSERT_TRUE(never.Start(unanswered.Port()));
  for (int round = 1; round <= 2; ++round) {
    never.Translate("thank you");
    EXPECT_EQ(never.Outcome(), "Error: Connection failed.") << round;
  }
  SetEnvironmentVariableA("PARLIX_TEST_NET_LIMITS", nullptr);
}

}  // namespace
}  // namespace parlix::test
