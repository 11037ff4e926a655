// The application object: title, message loop, message hook and the standard error report.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

namespace parlix {

class TApplication {
 public:
  static TApplication& Instance();

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // Runs the message loop until Terminate or the quit message.
  void Run();
  // Handles every message already queued for this thread, then returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Sees every queued message of the GUI thread before it is dispatched;
  // returning true marks it handled (it is then neither translated nor dispatched).
  std::function<bool(MSG&)> OnMessage;

  // The standard error report: a stop box with the error's text under the application title.
  void ShowException(const std::exception& error);

  HWND main_form = nullptr;

 private:
  TApplication() = default;
  bool HandleMessage(MSG& msg);

  std::string title_ = "parlix";
  bool terminated_ = false;
};

}  // namespace parlix
