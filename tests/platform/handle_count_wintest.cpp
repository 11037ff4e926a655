// Workers and requests leave no kernel handles behind: a program that translates all day
// must not grow. Counted by asking each handle value (Wine reports no count).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "net/http_cli_win.h"
#include "net/http_stream.h"
#include "platform/thread_win.h"
#include "support/driver_win.h"
#include "support/loopback_peer_win.h"
#include "translate/trans_thread_win.h"

namespace parlix {
namespace {

using namespace std::chrono_literals;

int OpenHandles() {
  int open = 0;
  DWORD flags = 0;
  for (uintptr_t value = 4; value < 0x10000; value += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
  return open;
}

class TWork : public TThread {
 public:
  explicit TWork(std::function<void()> body) : body_(std::move(body)) {}
  void Execute() override { body_(); }

 private:
  std::function<void()> body_;
};

// Runs a free-on-terminate worker to its end, as the program runs its requests.
void RunToEnd(TThread* worker) {
  std::atomic<bool> ended{false};
  worker->FreeOnTerminate = true;
  worker->OnTerminate = [&ended] { ended = true; };
  worker->Start();
  ASSERT_TRUE(test::WaitUntil([&] { return ended.load(); }, 10s));
  Sleep(20);  // the worker frees itself right after its termination handler
}

// A peer's script: answers the request with a short document, on a kept connection if asked.
void AnswerHello(test::PeerConnection& c, bool keep_alive) {
  c.ReceiveHead();
  c.SendAll(keep_alive ? "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: keep-alive\r\n\r\nhello"
                       : "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
  if (keep_alive) c.ReceiveUntilClosed();
}

constexpr int kRounds = 15;

TEST(HandleCount, WorkersLeaveNothingBehind) {
  RunToEnd(new TWork([] {}));
  const int before = OpenHandles();
  for (int i = 0; i < kRounds; ++i) RunToEnd(new TWork([] {}));
  EXPECT_LE(OpenHandles() - before, 2) << "handles left by " << kRounds << " workers";
}

TEST(HandleCount, RequestsOnWorkersLeaveNothingBehind) {
  const auto one = [] {
    test::LoopbackPeer peer([](test::PeerConnection& c) { AnswerHello(c, false); });
    RunToEnd(new TWork([&] {
      THttpCli client;
      client.SetURL("http://127.0.0.1:" + peer.PortText() + "/");
      client.SetMultiThreaded(true);
      HttpMemoryStream doc("");
      client.SetDocStream(&doc);
      std::atomic<bool> done{false};
      client.OnRequestDone = [&](HttpClientCore&, THttpRequest, uint16_t) { done = true; };
      client.StartGet();
      while (!done) {
        TThread::WaitForMessages(10);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      }
    }));
  };
  one();
  const int before = OpenHandles();
  for (int i = 0; i < kRounds; ++i) one();
  EXPECT_LE(OpenHandles() - before, 2) << "handles left by " << kRounds << " requests";
}

void TranslationRounds(bool through_proxy, bool keep_alive) {
  const std::string answer = test::TempFolder() + "handle_count_answer.tmp";
  const auto one = [&] {
    test::LoopbackPeer peer([keep_alive](test::PeerConnection& c) { AnswerHello(c, keep_alive); });
    auto* worker = new TTransThread();
    worker->RequestURL = through_proxy ? "http://service.test/translate" : "http://127.0.0.1:" + peer.PortText() + "/";
    worker->Proxy.Autodetect = false;
    worker->Proxy.Enabled = through_proxy;
    worker->Proxy.Address = "127.0.0.1";
    worker->Proxy.Port = peer.PortText();
    worker->RequestBody = "text=x";
    worker->AnswerFileName = answer;
    worker->OnTranslationDone = [](int, int) {};
    worker->SetPriority(THREAD_PRIORITY_BELOW_NORMAL);
    RunToEnd(worker);
    DeleteFileA(answer.c_str());
  };
  one();
  const int before = OpenHandles();
  for (int i = 0; i < kRounds; ++i) one();
  EXPECT_LE(OpenHandles() - before, 2) << "handles left by " << kRounds << " translation workers"
                                       << (through_proxy ? " through a proxy" : "")
                                       << (keep_alive ? " on kept connections" : "");
}

TEST(HandleCount, TranslationWorkersLeaveNothingBehind) {
  TranslationRounds(false, false);
  TranslationRounds(true, false);
  TranslationRounds(true, true);
}

}  // namespace
}  // namespace parlix
