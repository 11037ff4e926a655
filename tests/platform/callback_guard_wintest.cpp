// Where Windows calls into the program, nothing may unwind through its frames: what a
// window's handler or a worker's synchronised call throws reaches the standard error
// report, and the window and the worker go on.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/app_host_win.h"
#include "platform/thread_win.h"
#include "support/loopback_peer_win.h"
#include "widgets/window_win.h"

namespace parlix {
namespace {

class TRecordingHost : public IAppHost {
 public:
  TRecordingHost() { SetAppHost(this); }
  ~TRecordingHost() override { SetAppHost(nullptr); }
  const std::string& Title() const override { return title_; }
  void ProcessMessages() override { PumpThreadMessages(); }
  void ShowException(const std::exception& error) override { reports.push_back(error.what()); }
  std::vector<std::string> reports;

 private:
  std::string title_ = "test";
};

class TThrowingWindow : public TWindow {
 public:
  TThrowingWindow() {
    RegisterWindowClass("TThrowingWindow");
    CreateHandle("TThrowingWindow", "", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
  }
  ~TThrowingWindow() override { DestroyWindow(hwnd_); }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == WM_APP + 1) throw std::runtime_error("handler failed");
    if (msg == WM_APP + 2) throw 7;
    if (msg == WM_APP + 3) return 42;
    return TWindow::WndProc(msg, wparam, lparam);
  }
};

class TThrowingWorker : public TThread {
 public:
  std::atomic<bool> went_on{false};

 protected:
  void Execute() override {
    Synchronize([] { throw std::runtime_error("call failed"); });
    went_on = true;
  }
};

TEST(CallbackGuard, HandlersAndSynchronisedCallsThatThrowAreReportedAndLifeGoesOn) {
  TRecordingHost host;
  TThrowingWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  EXPECT_EQ(SendMessageA(window.Handle(), WM_APP + 1, 0, 0), 0);
  EXPECT_EQ(SendMessageA(window.Handle(), WM_APP + 2, 0, 0), 0);
  EXPECT_EQ(SendMessageA(window.Handle(), WM_APP + 3, 0, 0), 42);

  TThrowingWorker worker;
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(test::PumpUntil([&] { return worker.went_on.load(); }, 10000));
  TThread::WaitPumping(worker.Handle(), 10, [] { PumpThreadMessages(); });
  EXPECT_EQ(host.reports, (std::vector<std::string>{"handler failed", "An unknown error occurred.", "call failed"}));
}

}  // namespace
}  // namespace parlix
