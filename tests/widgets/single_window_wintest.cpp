// Each secondary window exists at most once and frees itself: a creation that Windows refuses
// leaves no flag set and nothing behind, so the next attempt opens the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "config/about_form_win.h"
#include "config/config_form_win.h"
#include "shared/globals.h"
#include "support/driver_win.h"
#include "support/test_window_win.h"
#include "translate/lang_form_win.h"
#include "translate/trans_form_win.h"

namespace parlix {
namespace {

// Refuses the creation of the next top-level window of one class, the way Windows does when
// it runs out of window handles or desktop heap.
class TRefuseNextWindow {
 public:
  explicit TRefuseNextWindow(const char* class_name) : class_name_(class_name) {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  }
  ~TRefuseNextWindow() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  bool Refused() const { return refused_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND && current_ != nullptr && !current_->refused_ &&
        test::ClassName(reinterpret_cast<HWND>(wparam)) == current_->class_name_) {
      current_->refused_ = true;
      return 1;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }

  static inline TRefuseNextWindow* current_ = nullptr;
  std::string class_name_;
  HHOOK hook_ = nullptr;
  bool refused_ = false;
};

struct Case {
  const char* class_name;
  bool TOpenWindowFlags::*flag;
  std::function<TWindow*(HWND owner)> open;
  std::function<TWindow*()> current;
};

TEST(SingleWindow, ARefusedCreationLeavesNothingSetAndTheNextOneOpens) {
  const test::TTestWindow owner_window;
  const HWND owner = owner_window.Handle();
  ASSERT_NE(owner, nullptr);
  const Case cases[] = {
      {kAboutFormClass, &TOpenWindowFlags::AboutOpen, [](HWND o) { return TAboutForm::Open(o); },
       [] { return TAboutForm::Current(); }},
      {kConfigFormClass, &TOpenWindowFlags::ConfigOpen, [](HWND o) { return TConfigForm::Open(o, nullptr); },
       [] { return TConfigForm::Current(); }},
      {kTransFormClass, &TOpenWindowFlags::ResultOpen, [](HWND o) { return TTransForm::Create(o); },
       [] { return TTransForm::Current(); }},
      {kLangFormClass, &TOpenWindowFlags::LanguagesOpen,
       [](HWND o) { return TLangForm::Open(o, POINT{11, 122}, 0, TLangFormEvents{}); },
       [] { return TLangForm::Current(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.class_name);
    {
      TRefuseNextWindow refuse(c.class_name);
      EXPECT_EQ(c.open(owner), nullptr);
      EXPECT_TRUE(refuse.Refused());
    }
    EXPECT_EQ(std::pair(OpenWindowFlags.*c.flag, c.current()), std::pair(false, static_cast<TWindow*>(nullptr)));

    TWindow* form = c.open(owner);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(std::pair(OpenWindowFlags.*c.flag, c.current()), std::pair(true, form));
    EXPECT_EQ(c.open(owner), nullptr) << "a second one while the first is open";

    DestroyWindow(form->Handle());
    EXPECT_EQ(std::pair(OpenWindowFlags.*c.flag, c.current()), std::pair(false, static_cast<TWindow*>(nullptr)));
  }
}

}  // namespace
}  // namespace parlix
