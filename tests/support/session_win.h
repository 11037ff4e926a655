// A running program for whole-program tests, and the fixture base that gives every such test
// the stand-in servers and one program ended whatever state a case left it in.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/driver_win.h"

namespace parlix::test {

constexpr char kSample[] = "Hello, good morning. Thank you!";
// The stand-in's en->es phrasebook, in code page 1252.
constexpr char kSampleSpanish[] = "Hola, buenos d\xED" "as. Gracias!";
// What every translation error box says after its first line.
constexpr char kErrorTail[] = "\r\nplease try again later...\r\nIf this problem persists, please inform us, thanks.\r\n\r\n"
                              "support@parlix.example";

struct TSession {
  std::vector<std::string> dat_before = TempDatFiles();
  std::unique_ptr<TProgram> program;
  HWND main = nullptr;
  HWND memo = nullptr;  // the main window's text area

  ~TSession() { Close(); }
  // Settings with the proxy 127.0.0.1:port (and credentials with a user; none written for
  // port 0), then the program; false when its main window did not come.
  bool Start(int port, const std::string& user = "", const std::string& password = "");
  // The same with a translation engine at `address` (and the proxy at proxy_port, 0: none).
  bool StartWithEngine(const std::string& kind, const std::string& address, int pair, int proxy_port = 0,
                       const std::string& key = "");
  // The program on the settings file as it is; false when its main window did not come.
  bool Launch(const std::string& arguments = "", const std::string& exe = TProgram::PARLIX_EXE_PATH());
  // Ends the program, pressing `button` on any box left up or raised on the way out.
  void Close(int button = IDOK);
  void Translate(const std::string& text) const;
  // The result window's text area, or null while there is none.
  HWND ResultMemo() const;
  std::string Result() const;
  bool WaitForResult(const std::string& text, std::chrono::milliseconds timeout = 30s) const;
  // How the translation ended: the result window's text, or the first line of the error
  // box, which is pressed away (the rest must be the usual tail); "" when nothing came.
  std::string Outcome(std::chrono::milliseconds timeout = 30s) const;
  // Waits for a message box and presses it away; its text, or "" when none came.
  std::string DismissBox(std::chrono::milliseconds timeout = 20s) const;
  bool NoNewAnswerFile() const;
  // The answer files made since the session began, for failure messages.
  std::string NewAnswerFiles() const;
  // The tray icon's right click; the menu it opens, or null when none showed.
  HWND OpenTrayMenu() const;
  // The menu's item `row` (1 the first) chosen by the keys, and the menu gone; false when not.
  bool ChooseFromTrayMenu(int row) const;
};

// What the tray icon sends the main window; a test sends it as the system would.
UINT TrayCallbackMessage();

// Each key of a section of the settings file as the program's profile functions read it.
void ExpectIni(const std::string& section, const std::vector<std::pair<std::string, std::string>>& expected);
// Each named REG_SZ value of a registry key.
void ExpectRegStrings(HKEY root, const std::string& key,
                      const std::vector<std::pair<std::string, std::string>>& expected);

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Translates `text` and expects an error box whose first line is `words`; the box is
  // pressed away.
  void ExpectErrorBoxFor(const std::string& text, const std::string& words, std::chrono::milliseconds timeout);

  TStandins standins_ = Standins();
  TSession session_;
  const std::unique_ptr<TProgram>& program_ = session_.program;
  const HWND& main_ = session_.main;
  const HWND& memo_ = session_.memo;
};

}  // namespace parlix::test
