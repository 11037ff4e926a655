// The application object: title, message loop, message hook and the standard error report.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "platform/app_host_win.h"

namespace parlix {

class TApplication : public IAppHost {
 public:
  // The one application object; it becomes the host of the layers below when first asked for.
  static TApplication& Instance();

  const std::string& Title() const override { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // Runs the message loop until Terminate or the quit message.
  void Run();
  // Handles every message already queued for this thread, then returns.
  void ProcessMessages() override;
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Sees every queued message of the GUI thread before it is dispatched;
  // returning true marks it handled (it is then neither translated nor dispatched).
  std::function<bool(MSG&)> OnMessage;

  // The standard error report: a stop box with the error's text under the application title.
  void ShowException(const std::exception& error) override;

  HWND main_form = nullptr;

 private:
  TApplication() = default;
  bool HandleMessage(MSG& msg);

  std::string title_ = "parlix";
  bool terminated_ = false;
};

}  // namespace parlix
