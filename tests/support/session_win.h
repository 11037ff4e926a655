// A running program for whole-program tests that translate and look at how a request ends.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/driver_win.h"

namespace parlix::test {

struct TSession {
  std::vector<std::string> dat_before = TempDatFiles();
  std::unique_ptr<TProgram> program;
  HWND main = nullptr;

  ~TSession() { Close(); }
  // Settings with the proxy 127.0.0.1:port (and credentials with a user; none written for
  // port 0), then the program; false when its main window did not come.
  bool Start(int port, const std::string& user = "", const std::string& password = "");
  // The same with a translation engine at `address` (and the proxy at proxy_port, 0: none).
  bool StartWithEngine(const std::string& kind, const std::string& address, int pair, int proxy_port = 0,
                       const std::string& key = "");
  void Close();
  void Translate(const std::string& text) const;
  // How the translation ended: the result window's text, or the first line of the error
  // box, which is pressed away (the rest must be the usual tail); "" when nothing came.
  std::string Outcome(std::chrono::milliseconds timeout = 30s) const;
  bool NoNewAnswerFile() const;

 private:
  bool Launch();
};

}  // namespace parlix::test
