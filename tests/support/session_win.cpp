#include "support/session_win.h"

#include <algorithm>
#include <cstdio>

#include "support/registry_win.h"

namespace parlix::test {

bool TSession::Start(int port, const std::string& user, const std::string& password) {
  Close();
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

bool TSession::Launch(const std::string& arguments, const std::string& exe) {
  Close();
  program = std::make_unique<TProgram>(arguments, exe);
  main = program->WaitForTopWindow("TMainForm", std::string("Parlix"));
  memo = main != nullptr ? FindChild(main, "Edit") : nullptr;
  // The caption comes before the window is shown and its settings are read: a click that
  // early meets a window still being made visible. Started for the tray, it never shows.
  if (memo != nullptr && arguments != "/AUTO") WaitUntil([&] { return IsWindowVisible(main) != FALSE; });
  return memo != nullptr;
}

void TSession::Close(int button) {
  if (program) program->ExitDismissingBoxes(button);
  program.reset();
  main = memo = nullptr;
}

void TSession::Translate(const std::string& text) const {
  if (HWND result = ResultMemo()) SendBounded(result, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  SendBounded(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PostMessageA(main, WM_USER + 4, 0, 0);
}

HWND TSession::ResultMemo() const {
  HWND result = program->FindTopWindow("TTransForm");
  return result != nullptr ? FindChild(result, "Edit") : nullptr;
}

std::string TSession::Result() const {
  HWND result = ResultMemo();
  return result != nullptr ? WindowText(result) : "";
}

bool TSession::WaitForResult(const std::string& text, std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return Result() == text; }, timeout);
}

std::string TSession::Outcome(std::chrono::milliseconds timeout) const {
  const std::string tail = kErrorTail;
  std::string outcome;
  WaitUntil([&] {
    if (HWND box = program->FindMessageBox()) {
      const std::string text = MessageBoxText(box);
      PressButton(box, IDOK);
      const size_t at = text.rfind(tail);
      outcome = at != std::string::npos && at + tail.size() == text.size() ? text.substr(0, at) : text;
      return WaitUntil([&] { return program->FindMessageBox() == nullptr; });
    }
    outcome = Result();
    return !outcome.empty();
  }, timeout);
  return outcome;
}

std::string TSession::DismissBox(std::chrono::milliseconds timeout) const {
  HWND box = program->WaitForMessageBox(timeout);
  if (box == nullptr) return "";
  const std::string text = MessageBoxText(box);
  PressButton(box, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return program->FindMessageBox() == nullptr; })) << "the box stays: " << text;
  return text;
}

bool TSession::NoNewAnswerFile() const { return NewAnswerFiles().empty(); }

std::string TSession::NewAnswerFiles() const {
  std::string made;
  for (const auto& f : TempDatFiles())
    if (std::find(dat_before.begin(), dat_before.end(), f) == dat_before.end()) made += f + " ";
  return made;
}

HWND TSession::OpenTrayMenu() const {
  PostMessageA(main, TrayCallbackMessage(), 0, WM_RBUTTONUP);
  return program->WaitForVisibleTopWindow("#32768");
}

bool TSession::ChooseFromTrayMenu(int row) const {
  // A person whose menu closed at once, or took no key, right-clicks again. On a loaded
  // machine the first menu of a program still settling after its start did either.
  constexpr int kAttempts = 3;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    HWND menu = OpenTrayMenu();
    if (menu == nullptr) {
      std::fprintf(stderr, "tray menu: none shown (attempt %d)\n", attempt);
      continue;
    }
    // The first Down selects the first item.
    for (int i = 0; i < row; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    if (WaitUntil([&] { return !IsWindowVisible(menu); }, 5s)) return true;
    std::fprintf(stderr, "tray menu: still open after Enter (attempt %d, foreground %p)\n", attempt,
                 static_cast<void*>(GetForegroundWindow()));
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    WaitUntil([&] { return !IsWindowVisible(menu); }, 5s);
  }
  return false;
}

UINT TrayCallbackMessage() { return RegisterWindowMessageA("WM_TRAYCALLBACK"); }

void ExpectIni(const std::string& section, const std::vector<std::pair<std::string, std::string>>& expected) {
  for (const auto& [key, value] : expected) EXPECT_EQ(IniValue(section, key), value) << "[" << section << "] " << key;
}

void ExpectRegStrings(HKEY root, const std::string& key,
                      const std::vector<std::pair<std::string, std::string>>& expected) {
  for (const auto& [name, value] : expected) EXPECT_EQ(RegString(root, key, name), value) << key << " " << name;
}

void ProgramTest::SetUp() {
  ASSERT_TRUE(standins_.Running()) << "run through tools/with-standins";
  standins_.SetControl("{}");
}

void ProgramTest::ExpectErrorBoxFor(const std::string& text, const std::string& words,
                                    std::chrono::milliseconds timeout) {
  session_.Translate(text);
  const std::string box = session_.DismissBox(timeout);
  ASSERT_NE(box, "") << "no error box: the request hangs";
  EXPECT_EQ(box.rfind(words + "\r\n", 0), 0u) << box;
}

void ProgramTest::TearDown() {
  session_.Close();
  standins_.SetControl("{}");
  DeleteFileA(standins_.ServiceFile().c_str());
}

}  // namespace parlix::test
