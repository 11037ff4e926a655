// Peers that accept and then fall silent: every request ends within its limit, the
// translation in the program's words and the service check without a word. The limits are
// lowered for the test through PARLIX_TEST_NET_LIMITS.
#include <gtest/gtest.h>

#include <atomic>

#include "support/loopback_peer_win.h"
#include "support/session_win.h"

namespace parlix::test {
namespace {

constexpr char kSample[] = "Hello, good morning. Thank you!";
constexpr DWORD kConnectLimitMs = 1500;
constexpr DWORD kSilenceLimitMs = 2000;
// The program's loop looks at the limits every 10 ms; a loaded machine adds the rest.
constexpr auto kPastTheLimits = 15s;

// The request's head, read byte by byte so nothing of a following request is taken.
std::string ReadHead(PeerConnection& conn) {
  constexpr size_t kMaxHead = 64 * 1024;
  std::string head;
  while (head.size() < kMaxHead && head.find("\r\n\r\n") == std::string::npos) {
    const std::string byte = conn.ReceiveExactly(1);
    if (byte.empty()) break;
    head += byte;
  }
  return head;
}

bool IsServiceRequest(const std::string& head) { return head.rfind("GET ", 0) == 0; }

class TimeLimits : public ::testing::Test {
 protected:
  TScopedEnv limits_{"PARLIX_TEST_NET_LIMITS", std::to_string(kConnectLimitMs) + "," + std::to_string(kSilenceLimitMs)};
  TSession session_;
  // How each of the peer's connections ended: the client closing it, while the peer still
  // had something to say.
  std::atomic<int> closed_by_client_{0};
  std::atomic<int> service_requests_{0};
  std::atomic<DWORD> quiet_before_close_ms_{0};

  // Waits for the translation to end in the program's words, and for the panel to stay.
  void ExpectConnectionFailed() {
    session_.Translate(kSample);
    EXPECT_EQ(session_.ErrorBoxLine(kPastTheLimits), "Error: Connection failed.");
    EXPECT_EQ(session_.WaitText(), "Error: Connection failed.");
    EXPECT_TRUE(WaitUntil([&] { return session_.ControlsEnabled(); }));
    EXPECT_TRUE(WaitUntil([&] { return session_.NoNewAnswerFile(); }));
  }
};

TEST_F(TimeLimits, ServerSilentAfterTheRequestEndsInConnectionFailed) {
  LoopbackPeer silent(
      [&](PeerConnection& conn) {
        if (IsServiceRequest(ReadHead(conn))) ++service_requests_;
        conn.ReceiveUntilClosed();
        ++closed_by_client_;
      },
      2);
  ASSERT_TRUE(session_.Start(silent.Port()));
  // The service check meets the same silence and gives up on its own, without a box.
  ASSERT_TRUE(WaitUntil([&] { return service_requests_ == 1; }));
  EXPECT_TRUE(WaitUntil([&] { return closed_by_client_ == 1; }, kPastTheLimits)) << "the service worker still waits";
  EXPECT_EQ(session_.Program().FindMessageBox(), nullptr);
  ExpectConnectionFailed();
  EXPECT_TRUE(WaitUntil([&] { return closed_by_client_ == 2; }));
}

TEST_F(TimeLimits, AnswerStoppingInTheBodyEndsInConnectionFailed) {
  LoopbackPeer stalling(
      [&](PeerConnection& conn) {
        if (IsServiceRequest(ReadHead(conn))) {
          conn.SendAll("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
          return;
        }
        // A tenth of the announced body, then nothing more; the silence limit runs from
        // the last byte, so a first part that trickles in slowly does not end it.
        conn.SendAll("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5000\r\n\r\n");
        for (int i = 0; i < 5; ++i) {
          Sleep(kSilenceLimitMs / 2);
          conn.SendAll(std::string(100, 'x'));
        }
        const DWORD last_piece = GetTickCount();
        conn.ReceiveUntilClosed();
        quiet_before_close_ms_ = GetTickCount() - last_piece;
        ++closed_by_client_;
      },
      2);
  ASSERT_TRUE(session_.Start(stalling.Port()));
  ExpectConnectionFailed();
  ASSERT_TRUE(WaitUntil([&] { return closed_by_client_ == 1; }));
  EXPECT_GE(quiet_before_close_ms_, kSilenceLimitMs - 50) << "given up before the peer had been silent for the limit";
}

TEST_F(TimeLimits, ConnectionNeverCompletingEndsInConnectionFailed) {
  UnansweredPort unanswered;
  ASSERT_TRUE(session_.Start(unanswered.Port()));
  ExpectConnectionFailed();
  // Once more: the first request's limit is no lasting state of the program.
  ExpectConnectionFailed();
}

}  // namespace
}  // namespace parlix::test
