#include "support/session_win.h"

#include <algorithm>

namespace parlix::test {

bool TSession::Start(int port, const std::string& user, const std::string& password) {
  if (!user.empty()) WriteSettingsWithProxyCredentials(port, user, password);
  else if (port != 0) WriteSettingsWithProxy(port);
  return Launch();
}

bool TSession::StartWithEngine(const std::string& kind, const std::string& address, int pair, int proxy_port,
                               const std::string& key) {
  Close();
  WriteSettingsWithEngine(kind, address, key, proxy_port, pair);
  return Launch();
}

bool TSession::Launch() {
  program = std::make_unique<TProgram>();
  main = program->WaitForTopWindow("TMainForm", std::string("Parlix"));
  return main != nullptr && FindChild(main, "Edit") != nullptr;
}

void TSession::Close() {
  if (program) program->ExitDismissingBoxes();
  program.reset();
}

void TSession::Translate(const std::string& text) const {
  if (HWND result = program->FindTopWindow("TTransForm")) SendBounded(FindChild(result, "Edit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  SendBounded(FindChild(main, "Edit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PostMessageA(main, WM_USER + 4, 0, 0);
}

std::string TSession::Outcome(std::chrono::milliseconds timeout) const {
  static const std::string kTail =
      "\r\nplease try again later...\r\nIf this problem persists, please inform us, thanks.\r\n\r\n"
      "support@parlix.example";
  std::string outcome;
  WaitUntil([&] {
    if (HWND box = program->FindMessageBox()) {
      const std::string text = MessageBoxText(box);
      PressButton(box, IDOK);
      const size_t tail = text.rfind(kTail);
      outcome = tail != std::string::npos && tail + kTail.size() == text.size() ? text.substr(0, tail) : text;
      return WaitUntil([&] { return program->FindMessageBox() == nullptr; });
    }
    HWND result = program->FindTopWindow("TTransForm");
    outcome = result != nullptr ? WindowText(FindChild(result, "Edit")) : "";
    return !outcome.empty();
  }, timeout);
  return outcome;
}

bool TSession::NoNewAnswerFile() const {
  for (const auto& f : TempDatFiles())
    if (std::find(dat_before.begin(), dat_before.end(), f) == dat_before.end()) return false;
  return true;
}

}  // namespace parlix::test
