#include "support/session_win.h"

#include <algorithm>

namespace parlix::test {

const char kTranslationErrorTail[] =
    "\r\nplease try again later...\r\nIf this problem persists, please inform us, thanks.\r\n\r\n"
    "support@parlix.example";

bool TSession::Start(int proxy_port, const std::string& user, const std::string& password) {
  if (!user.empty()) {
    WriteSettingsWithProxyCredentials(proxy_port, user, password);
  } else if (proxy_port != 0) {
    WriteSettingsWithProxy(proxy_port);
  }
  program_ = std::make_unique<TProgram>();
  main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
  memo_ = main_ != nullptr ? FindChild(main_, "Edit") : nullptr;
  return memo_ != nullptr;
}

void TSession::Close() {
  if (program_) program_->ExitDismissingBoxes();
  program_.reset();
}

void TSession::Translate(const std::string& text) const {
  SendBounded(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PostMessageA(main_, WM_USER + 4, 0, 0);
}

std::string TSession::WaitText() const {
  for (HWND child : Children(main_, "TParlixControl")) {
    const std::string text = WindowText(child);
    if ((text.rfind("Error", 0) == 0 || text.rfind("Requesting", 0) == 0) && IsWindowVisible(child)) return text;
  }
  return "";
}

bool TSession::ControlsEnabled() const {
  HWND button = FindChild(main_, "TParlixControl", std::string("Translate"));
  return IsWindowEnabled(memo_) && button != nullptr && IsWindowEnabled(button);
}

std::string TSession::Result() const {
  HWND result = program_->FindTopWindow("TTransForm");
  HWND memo = result != nullptr ? FindChild(result, "Edit") : nullptr;
  return memo != nullptr ? WindowText(memo) : "";
}

std::string TSession::ErrorBoxLine(std::chrono::milliseconds timeout) {
  HWND box = program_->WaitForMessageBox(timeout);
  if (box == nullptr) return "";
  const std::string text = MessageBoxText(box);
  PressButton(box, IDOK);
  WaitUntil([&] { return program_->FindMessageBox() == nullptr; });
  const size_t tail = text.rfind(kTranslationErrorTail);
  return tail != std::string::npos && tail + std::char_traits<char>::length(kTranslationErrorTail) == text.size()
             ? text.substr(0, tail)
             : "";
}

bool TSession::NoNewAnswerFile() const {
  for (const auto& f : TempDatFiles())
    if (std::find(dat_before_.begin(), dat_before_.end(), f) == dat_before_.end()) return false;
  return true;
}

TScopedEnv::TScopedEnv(const std::string& name, const std::string& value) : name_(name) {
  char old[1024] = {};
  const DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
  had_ = n > 0 && n < sizeof old;
  if (had_) old_ = old;
  SetEnvironmentVariableA(name.c_str(), value.c_str());
}

TScopedEnv::~TScopedEnv() { SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr); }

}  // namespace parlix::test
