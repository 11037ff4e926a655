// The configuration window in the test's own process, with the registry of the desktop
// integrations behind a recording or refusing stand-in: the browser button's values go in
// their order, a refused machine-wide write leaves nothing behind, the tab order, and a
// box changed by code acts on nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <tuple>

#include "config/config_form_win.h"
#include "config/integration_win.h"
#include "net/proxy_settings.h"
#include "platform/shell_win.h"
#include "shared/globals.h"
#include "support/box_closer_win.h"
#include "support/driver_win.h"
#include "support/registry_win.h"
#include "support/test_window_win.h"

namespace parlix {
namespace {

using namespace std::chrono_literals;
using test::BoxCloser;
using test::DrainMessages;
using test::WaitUntil;

constexpr char kGuid[] = "{99999999-2222-3333-4444-555555555555}";

// Passes everything to the real registry and records the writes; with `refuse_after`, a
// write under HKEY_LOCAL_MACHINE stops after that many values and reports a refusal, as
// the system does for a user without the right.
class TRecordingRegistry : public IIntegrationRegistry {
 public:
  explicit TRecordingRegistry(IIntegrationRegistry& real) : real_(real) {}
  bool KeyExists(TRegRoot root, const std::string& key) const override { return real_.KeyExists(root, key); }
  bool ValueExists(TRegRoot root, const std::string& key, const std::string& name) const override {
    return real_.ValueExists(root, key, name);
  }
  std::optional<std::string> ReadString(TRegRoot root, const std::string& key, const std::string& name) const override {
    return real_.ReadString(root, key, name);
  }
  bool WriteStrings(TRegRoot root, const std::string& key, const std::vector<TRegValue>& values, bool create) override {
    for (const TRegValue& value : values) written.push_back(value.name);
    if (root == TRegRoot::kLocalMachine && refuse_after >= 0) {
      std::vector<TRegValue> part(values.begin(), values.begin() + std::min<size_t>(values.size(), refuse_after));
      real_.WriteStrings(root, key, part, create);
      return false;
    }
    return real_.WriteStrings(root, key, values, create);
  }
  bool DeleteValue(TRegRoot root, const std::string& key, const std::string& name) override {
    return real_.DeleteValue(root, key, name);
  }
  bool DeleteTree(TRegRoot root, const std::string& key) override { return real_.DeleteTree(root, key); }

  int refuse_after = -1;
  std::vector<std::string> written;

 private:
  IIntegrationRegistry& real_;
};

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

class ConfigFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_guid_ = InstallGuid;
    saved_proxy_ = ProxySettings;
    InstallGuid = kGuid;
    ProxySettings = TProxySettings{};
    ProxySettings.Autodetect = false;
    icon_file_ = GetDataFolder() + kToolbarIconFileName;
    Clean();
    previous_ = SetIntegrationRegistry(&registry_);
    owner_ = test::MakeTestWindow({.caption = "owner"});
    ASSERT_FALSE(OpenWindowFlags.ConfigOpen);
    form_ = TConfigForm::Open(owner_, [this] { ++saves_; });
    handle_ = form_->Handle();
    SetForegroundWindow(handle_);
    DrainMessages();
  }
  void TearDown() override {
    if (IsWindow(handle_)) DestroyWindow(handle_);
    DestroyWindow(owner_);
    SetIntegrationRegistry(previous_);
    Clean();
    InstallGuid = saved_guid_;
    ProxySettings = saved_proxy_;
    DrainMessages();
  }
  void Clean() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, BrowserButtonKey(kGuid).substr(0, BrowserButtonKey(kGuid).size() - 1).c_str());
    DeleteFileA(icon_file_.c_str());
    DeleteFileA(ShortcutPath(kDesktopFolderName).c_str());
  }
  // The user's toggle: the box takes the focus, then is clicked.
  void Toggle(HWND box) {
    SetFocus(box);
    SendMessageA(box, BM_CLICK, 0, 0);
    DrainMessages();
  }

  std::string saved_guid_;
  TProxySettings saved_proxy_;
  std::string icon_file_;
  TRecordingRegistry registry_{IntegrationRegistry()};
  IIntegrationRegistry* previous_ = nullptr;
  HWND owner_ = nullptr;
  TConfigForm* form_ = nullptr;
  HWND handle_ = nullptr;
  int saves_ = 0;
};

TEST_F(ConfigFormTest, BrowserButtonWritesItsEightValuesInOrder) {
  BoxCloser closer;
  Toggle(form_->IEbuttonCheck());
  ASSERT_TRUE(WaitUntil([&] { return !closer.Texts().empty(); }));
  const std::vector<std::string> order{"ButtonText", "MenuText", "MenuStatusBar", "ClSid",
                                       "Default Visible", "Exec", "HotIcon", "Icon"};
  EXPECT_EQ(registry_.written, order);
  EXPECT_EQ(closer.Texts().front(), kBrowserButtonInfoText);
  EXPECT_TRUE(Checked(form_->IEbuttonCheck()));
  EXPECT_TRUE(test::FileExists(icon_file_));
}

TEST_F(ConfigFormTest, RefusedMachineWideWriteLeavesNothingAndSaysSo) {
  BoxCloser closer;
  registry_.refuse_after = 2;
  Toggle(form_->IEbuttonCheck());
  ASSERT_TRUE(WaitUntil([&] { return !closer.Texts().empty(); }));
  EXPECT_EQ(closer.Texts(), std::vector<std::string>{kBrowserButtonRefusedText});
  EXPECT_FALSE(Checked(form_->IEbuttonCheck()));
  EXPECT_FALSE(test::FileExists(icon_file_));
  EXPECT_FALSE(IntegrationRegistry().KeyExists(TRegRoot::kLocalMachine, BrowserButtonKey(kGuid)));
  // Without a GUID the box does nothing at all.
  registry_.written.clear();
  InstallGuid.clear();
  Toggle(form_->IEbuttonCheck());
  EXPECT_TRUE(registry_.written.empty());
  EXPECT_FALSE(test::FileExists(icon_file_));
}

TEST_F(ConfigFormTest, ABoxChangedByCodeActsOnNothing) {
  SetFocus(form_->PAutodetCheck());
  form_->SetChecked(form_->DeskshortCheck(), true);
  form_->SetChecked(form_->IEbuttonCheck(), true);
  form_->SetChecked(form_->LaunchWinCheck(), true);
  DrainMessages();
  EXPECT_FALSE(test::FileExists(ShortcutPath(kDesktopFolderName)));
  EXPECT_TRUE(registry_.written.empty());
  EXPECT_FALSE(test::FileExists(icon_file_));
  // The Autodetect box has no such test: its change from code runs its handler.
  form_->SetChecked(form_->PAutodetCheck(), true);
  EXPECT_FALSE(IsWindowEnabled(form_->PAddressEdit()));
}

// Points the user's Desktop shell folder elsewhere for one test.
struct DesktopFolderRedirect {
  explicit DesktopFolderRedirect(const std::string& folder) {
    test::SetRegString(HKEY_CURRENT_USER, test::kShellFoldersKey, "Desktop", folder);
  }
  const test::TSavedRegValue saved{HKEY_CURRENT_USER, test::kShellFoldersKey, "Desktop"};
};

TEST_F(ConfigFormTest, AShortcutThatCannotBeWrittenLeavesTheBoxShowingTheDisk) {
  BoxCloser closer;
  const std::string base = GetTempFolder() + "parlix-desk-test";
  CreateDirectoryA(base.c_str(), nullptr);
  {
    // The folder is missing: nothing is written and nothing said.
    DesktopFolderRedirect redirect(base + "\\missing");
    Toggle(form_->DeskshortCheck());
    EXPECT_FALSE(Checked(form_->DeskshortCheck()));
    EXPECT_FALSE(test::FileExists(base + "\\missing\\Parlix.lnk"));
  }
  {
    // The disk refuses: a folder stands where the link would go.
    DesktopFolderRedirect redirect(base);
    CreateDirectoryA((base + "\\Parlix.lnk").c_str(), nullptr);
    Toggle(form_->DeskshortCheck());
    ASSERT_TRUE(WaitUntil([&] { return !closer.Texts().empty(); }));
    EXPECT_EQ(closer.Texts().front().rfind(kShortcutFailedText, 0), 0u) << closer.Texts().front();
    EXPECT_FALSE(Checked(form_->DeskshortCheck()));
    RemoveDirectoryA((base + "\\Parlix.lnk").c_str());
  }
  EXPECT_EQ(closer.Texts().size(), 1u);
  RemoveDirectoryA(base.c_str());
}

// Clearing the box left the icon on the desktop until the next refresh; without a GUID (the
// system would not make one) the browser-button box showed a button that was not there.
TEST_F(ConfigFormTest, ShortcutBoxesTellTheShellBothWaysAndTheButtonBoxShowsWhatIsInstalled) {
  static std::atomic<int> changes{0};
  const test::TTestWindow listener_window({.class_name = "ShellChangeListener", .proc = [](HWND h, UINT m, WPARAM w,
                                                                                           LPARAM l) -> LRESULT {
    if (m == WM_APP) ++changes;
    return DefWindowProcA(h, m, w, l);
  }});
  const HWND listener = listener_window.Handle();
  const std::string folder = GetShellFolder(kDesktopFolderName);
  SHChangeNotifyEntry entry{SHSimpleIDListFromPath(std::wstring(folder.begin(), folder.end()).c_str()), TRUE};
  const ULONG id = SHChangeNotifyRegister(listener, SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery,
                                          SHCNE_ALLEVENTS, WM_APP, 1, &entry);
  ASSERT_NE(id, 0u);
  for (const bool ticked : {true, false}) {
    changes = 0;
    Toggle(form_->DeskshortCheck());
    EXPECT_EQ(test::FileExists(ShortcutPath(kDesktopFolderName)), ticked);
    EXPECT_TRUE(WaitUntil([] { return changes > 0; }, 2s)) << "ticked " << ticked;
  }
  SHChangeNotifyDeregister(id);
  InstallGuid.clear();
  Toggle(form_->IEbuttonCheck());
  EXPECT_FALSE(Checked(form_->IEbuttonCheck()));
  EXPECT_TRUE(registry_.written.empty());
}

TEST_F(ConfigFormTest, TabMovesThroughTheControlsInOrderSkippingDisabledOnes) {
  const std::vector<HWND> expected{form_->PAutodetCheck(), form_->PEnableCheck(),   form_->PAddressEdit(),
                                   form_->PPortEdit(),     form_->PAuthCheck(),     form_->PUserEdit(),
                                   form_->PPassEdit(),     form_->DeskshortCheck(), form_->StartmenuCheck(),
                                   form_->IEbuttonCheck(), form_->LaunchWinCheck(), form_->EngineCombo()};
  // The engine's address and key come last; the page service uses neither, so Tab skips them.
  std::vector<HWND> order = expected;
  order.insert(order.end(), {form_->EngineAddressEdit(), form_->EngineKeyEdit()});
  EXPECT_EQ(form_->TabOrder(), order);
  SetFocus(expected[0]);
  for (size_t i = 1; i < expected.size(); ++i) {
    SendMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), expected[i]) << i;
  }
  SendMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), expected[0]);
  form_->SetChecked(form_->PAutodetCheck(), true);
  SendMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), form_->DeskshortCheck());
}

TEST_F(ConfigFormTest, ClosingCopiesTheControlsBackSavesAndClearsTheFlag) {
  SetWindowTextA(form_->PAddressEdit(), " gate ");
  SetWindowTextA(form_->PPortEdit(), "80x");
  SetFocus(form_->PAuthCheck());
  SendMessageA(form_->PAuthCheck(), BM_CLICK, 0, 0);
  form_->CloseBtClick();
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(handle_); }));
  EXPECT_FALSE(OpenWindowFlags.ConfigOpen);
  EXPECT_EQ(saves_, 1);
  EXPECT_EQ(std::tuple(ProxySettings.Address, ProxySettings.Port, ProxySettings.Authenticate, ProxySettings.Autodetect),
            std::tuple(std::string(" gate "), std::string("80x"), true, false));
}

}  // namespace
}  // namespace parlix
