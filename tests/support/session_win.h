// One running program with its main window, for whole-program tests that translate and look
// at how a request ends: the wait panel's text, the error box, files left behind.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/driver_win.h"

namespace parlix::test {

// The text every translation error box carries under its first line.
extern const char kTranslationErrorTail[];

class TSession {
 public:
  TSession() : dat_before_(TempDatFiles()) {}
  ~TSession() { Close(); }

  // Writes settings whose proxy is 127.0.0.1:proxy_port (with credentials when a user is
  // given; none when the port is 0, leaving the settings file as it is) and starts the
  // program; false when its main window did not come.
  bool Start(int proxy_port, const std::string& user = "", const std::string& password = "");
  void Close();

  TProgram& Program() { return *program_; }
  HWND Main() const { return main_; }
  void Translate(const std::string& text) const;
  // The wait panel's text while it shows, else "".
  std::string WaitText() const;
  bool ControlsEnabled() const;
  // The translation the result window shows, or "" without one.
  std::string Result() const;
  // Waits for the error box, and gives its first line (the rest must be the usual tail, or
  // "" is given) after pressing its button.
  std::string ErrorBoxLine(std::chrono::milliseconds timeout = 20s);
  // No .dat file appeared in the temporary folder since the session was made.
  bool NoNewAnswerFile() const;

 private:
  std::vector<std::string> dat_before_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
  HWND memo_ = nullptr;
};

// Sets an environment variable of this process (and so of the program it starts) for a
// scope, putting the old value back after.
class TScopedEnv {
 public:
  TScopedEnv(const std::string& name, const std::string& value);
  ~TScopedEnv();
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace parlix::test
