// The main window made in the test's own process (not the program started from outside), with
// a current settings file: for tests of the window's handlers, its menu and its clipboard chain.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/main_form_win.h"
#include "support/driver_win.h"

namespace parlix::test {

class MainFormFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteSettingsWithProxy(1);
    form_ = std::make_unique<TMainForm>();
    form_->CreateAndShow("parlix.exe");
    // The window's start posts its own messages (the service check among them).
    DrainMessages();
    memo_ = form_->Memo();
  }
  void TearDown() override {
    if (form_->Handle() != nullptr) DestroyWindow(form_->Handle());
    form_.reset();
    // What the window left queued goes unhandled: its object is gone.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  std::unique_ptr<TMainForm> form_;
  HWND memo_ = nullptr;
};

}  // namespace parlix::test
