#include "platform/app_host_win.h"

#include <windows.h>

#include "platform/thread_win.h"

namespace parlix {

namespace {

class TPlainHost : public IAppHost {
 public:
  const std::string& Title() const override { return title_; }
  void ProcessMessages() override { PumpThreadMessages(); }
  void ShowException(const std::exception& error) override {
    MessageBoxA(nullptr, error.what(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  }

 private:
  std::string title_ = "parlix";
};

TPlainHost g_plain_host;
IAppHost* g_host = &g_plain_host;

}  // namespace

IAppHost& AppHost() { return *g_host; }

void SetAppHost(IAppHost* host) { g_host = host != nullptr ? host : &g_plain_host; }

}  // namespace parlix
