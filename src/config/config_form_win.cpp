#include "config/config_form_win.h"

#include <commctrl.h>

#include "../../res/resource_ids.h"
#include "config/integration_win.h"
#include "config/system_proxy_win.h"
#include "net/proxy_settings.h"
#include "platform/app_host_win.h"
#include "platform/callback_guard_win.h"
#include "shared/globals.h"
#include "widgets/palette_win.h"

namespace parlix {

namespace {

constexpr int kEditWidth = 121;
constexpr int kEditHeight = 19;
constexpr int kCheckHeight = 17;
constexpr UINT_PTR kControlSubclassId = 1;

// Both groups place their controls in the group's own coordinates; the controls are
// children of the centre panel, so they are moved by the group's place.
constexpr POINT kProxyGroupPos = {7, 7};
constexpr POINT kShortcutsGroupPos = {7, 181};
constexpr POINT kEngineGroupPos = {249, 7};
constexpr int kEngineEditWidth = 150;
// The combo box's items, in EngineKind's order.
constexpr const char* kEngineNames[] = {"Web page service", "Apertium", "LibreTranslate"};

TDetectedProxy DetectHttpProxy() {
  TDetectedProxy detected;
  detected.enabled = DetectSystemProxy("http", detected.host, detected.port);
  return detected;
}

}  // namespace

LRESULT CALLBACK ConfigControlProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
    auto* form = reinterpret_cast<TConfigForm*>(data);
    switch (msg) {
      case WM_KEYDOWN:
        // The window has no dialog manager in the message loop: it moves the focus itself.
        if (wparam == VK_TAB && form->MoveFocus(hwnd, GetKeyState(VK_SHIFT) < 0)) return 0;
        // People close such a window with Escape; it keeps every value as the close button does.
        if (wparam == VK_ESCAPE) {
          form->CloseBtClick();
          return 0;
        }
        break;
      case WM_CHAR:
        if (wparam == '\t' || wparam == VK_ESCAPE) return 0;
        break;
      case WM_SETFOCUS:
        form->last_focus_ = hwnd;
        break;
      case WM_SETCURSOR:
        if (LOWORD(lparam) == HTCLIENT && GetPropA(hwnd, "ParlixHand") != nullptr) {
          SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
          return TRUE;
        }
        break;
      case WM_PAINT:
        // A group box draws only its frame and caption; the panel leaves the area to its
        // child, so the group fills it with the window's colour first.
        if (hwnd == form->proxy_group_ || hwnd == form->shortcuts_group_ || hwnd == form->engine_group_) {
          RECT rect;
          GetClientRect(hwnd, &rect);
          const TWindowDC window_dc(hwnd);
          const HDC dc = window_dc.Get();
          FillRect(dc, &rect, static_cast<HBRUSH>(form->panel_brush_.Get()));
          // The flat edits are nearly the window's colour: a thin line shows where they are.
          const UniqueGdiObject line(CreateSolidBrush(kEditFrameColor));
          for (HWND edit : form->flat_edits_) {
            if (GetParent(edit) != GetParent(hwnd)) continue;
            RECT frame;
            GetWindowRect(edit, &frame);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&frame), 2);
            InflateRect(&frame, 1, 1);
            FrameRect(dc, &frame, static_cast<HBRUSH>(line.Get()));
          }
        }
        break;
      case WM_ERASEBKGND:
        if (hwnd == form->proxy_group_ || hwnd == form->shortcuts_group_ || hwnd == form->engine_group_) return 1;
        break;
      case WM_NCDESTROY:
        RemovePropA(hwnd, "ParlixHand");
        RemoveWindowSubclass(hwnd, ConfigControlProc, kControlSubclassId);
        break;
      default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  });
}

TConfigForm* TConfigForm::Open(HWND owner, std::function<void()> save_settings) {
  RegisterWindowClass(kConfigFormClass, CS_DBLCLKS);
  auto form = std::unique_ptr<TConfigForm>(new TConfigForm());
  form->save_settings_ = std::move(save_settings);
  return Make(std::move(form), [owner](TConfigForm& made) {
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kConfigFormWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kConfigFormHeight) / 2;
    if (made.CreateHandle(kConfigFormClass, "Configuration", WS_POPUP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, left,
                          top, kConfigFormWidth, kConfigFormHeight, owner) == nullptr)
      return false;
    made.FormCreate();
    ShowWindow(made.Handle(), SW_SHOWNORMAL);
    return true;
  });
}

HWND TConfigForm::MakeChild(const char* window_class, const char* text, DWORD style, int left, int top, int width,
                            int height) {
  HWND child = CreateWindowExA(0, window_class, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, left, top,
                               width, height, center_panel_->Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetSharedFont("Tahoma", 11)), FALSE);
  SetWindowSubclass(child, ConfigControlProc, kControlSubclassId, reinterpret_cast<DWORD_PTR>(this));
  return child;
}

HWND TConfigForm::MakeCheck(const char* caption, int left, int top, int width, bool hand_cursor) {
  HWND box = MakeChild("BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, left, top, width, kCheckHeight);
  if (hand_cursor) SetPropA(box, "ParlixHand", reinterpret_cast<HANDLE>(1));
  tab_order_.push_back(box);
  return box;
}

HWND TConfigForm::MakeEdit(int left, int top, bool password, int width) {
  // Flat: no border or bevel, only the edit colour marks the field.
  HWND edit = MakeChild("EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP | (password ? ES_PASSWORD : 0), left, top, width,
                        kEditHeight);
  if (password) SendMessageA(edit, EM_SETPASSWORDCHAR, '*', 0);
  tab_order_.push_back(edit);
  flat_edits_.push_back(edit);
  return edit;
}

bool TConfigForm::IsFlatEdit(HWND control) const {
  for (HWND edit : flat_edits_)
    if (edit == control) return true;
  return false;
}

void TConfigForm::MakeLabel(const char* caption, int left, int top) {
  auto label = std::make_unique<TControl>(TControlKind::kLabel, center_panel_->Handle(), left, top, 58, 13, caption);
  label->SetColor(kFormColor);
  label->SetFont("MS Sans Serif", 11);
  label->OnMouseDown = [this](int button) { CenterPanelMouseDown(button); };
  labels_.push_back(std::move(label));
}

void TConfigForm::CreateControls() {
  panel_brush_.Reset(CreateSolidBrush(kFormColor));
  edit_brush_.Reset(CreateSolidBrush(kEditColor));

  center_panel_ = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 0, kConfigFormWidth, kConfigFormHeight);
  center_panel_->SetColor(kFormColor);
  center_panel_->SetBevel(TBevel::kLoweredInner);
  center_panel_->OnMouseDown = [this](int button) { CenterPanelMouseDown(button); };

  const auto [px, py] = kProxyGroupPos;
  proxy_group_ = MakeChild("BUTTON", " HTTP Proxy ", BS_GROUPBOX, px, py, 235, 170);
  p_autodet_check_ = MakeCheck("Autodetect", px + 153, py + 6, 80, true);
  p_enable_check_ = MakeCheck("Use proxy", px + 28, py + 23, 78, true);
  MakeLabel("Address", px + 28, py + 46);
  p_address_edit_ = MakeEdit(px + 90, py + 42, false);
  MakeLabel("Port", px + 28, py + 71);
  p_port_edit_ = MakeEdit(px + 90, py + 67, false);
  p_auth_check_ = MakeCheck("Authenticate", px + 28, py + 92, 92, true);
  MakeLabel("Username", px + 28, py + 117);
  p_user_edit_ = MakeEdit(px + 90, py + 113, false);
  MakeLabel("Password", px + 28, py + 142);
  p_pass_edit_ = MakeEdit(px + 90, py + 138, true);

  const auto [sx, sy] = kShortcutsGroupPos;
  shortcuts_group_ = MakeChild("BUTTON", " Shortcuts ", BS_GROUPBOX, sx, sy, 235, 102);
  deskshort_check_ = MakeCheck("Install Desktop shortcut", sx + 10, sy + 18, 215, false);
  startmenu_check_ = MakeCheck("Install Start menu shortcut", sx + 10, sy + 38, 215, false);
  iebutton_check_ = MakeCheck("Install Internet Explorer tool button", sx + 10, sy + 58, 215, false);
  launchwin_check_ = MakeCheck("Launch with Windows", sx + 10, sy + 78, 215, false);

  const auto [ex, ey] = kEngineGroupPos;
  engine_group_ = MakeChild("BUTTON", " Translation engine ", BS_GROUPBOX, ex, ey, 235, 100);
  MakeLabel("Engine", ex + 10, ey + 22);
  engine_combo_ = MakeChild("COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, ex + 72, ey + 18,
                            kEngineEditWidth, 120);
  for (const char* name : kEngineNames) SendMessageA(engine_combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  tab_order_.push_back(engine_combo_);
  MakeLabel("Address", ex + 10, ey + 49);
  engine_address_edit_ = MakeEdit(ex + 72, ey + 45, false, kEngineEditWidth);
  MakeLabel("Key", ex + 10, ey + 74);
  engine_key_edit_ = MakeEdit(ex + 72, ey + 70, true, kEngineEditWidth);
  for (HWND edit : {engine_address_edit_, engine_key_edit_}) SendMessageA(edit, EM_LIMITTEXT, kMaxEngineFieldLength, 0);

  close_glyph_.Reset(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_CLOSE_GLYPH), IMAGE_BITMAP, 0, 0, 0));
  close_bt_ = std::make_unique<TControl>(TControlKind::kImageButton, center_panel_->Handle(), 226, 286, 19, 19, "Close");
  close_bt_->SetColor(kFormColor);
  close_bt_->SetHandCursor(true);
  close_bt_->SetImages(static_cast<HBITMAP>(close_glyph_.Get()), 1);
  close_bt_->OnClick = [this] { CloseBtClick(); };

  // The frames lie behind what they frame (where a new child lands in the stacking order
  // differs between systems).
  for (HWND group : {proxy_group_, shortcuts_group_, engine_group_})
    SetWindowPos(group, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  hints_ = std::make_unique<THints>(hwnd_);
  hints_->Set(close_bt_->Handle(), "Close");
}

void TConfigForm::FormCreate() {
  CreateControls();
  // Ticking Autodetect runs its handler once (one detection, details disabled); the stored
  // values then overwrite what the detection showed.
  ShowProxyControls(FillProxyControls(ProxySettings, DetectHttpProxy));
  ShowEngineControls(FillEngineControls(EngineSettings));

  SetChecked(deskshort_check_, ShortcutInstalled(kDesktopFolderName));
  // The Start-menu box shows an existing shortcut too, so that the user sees what clearing
  // it would remove.
  SetChecked(startmenu_check_, ShortcutInstalled(kProgramsFolderName));
  SetChecked(iebutton_check_, BrowserButtonInstalled(InstallGuid));
  SetChecked(launchwin_check_, LaunchWithWindowsInstalled());
}

bool TConfigForm::Checked(HWND box) const { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TConfigForm::SetChecked(HWND box, bool checked) {
  if (Checked(box) == checked) return;
  SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  BoxClicked(box);
}

TProxyControls TConfigForm::ReadProxyControls() const {
  TProxyControls controls;
  controls.autodetect = Checked(p_autodet_check_);
  controls.use_proxy = Checked(p_enable_check_);
  controls.address = GetWindowString(p_address_edit_);
  controls.port = GetWindowString(p_port_edit_);
  controls.authenticate = Checked(p_auth_check_);
  controls.username = GetWindowString(p_user_edit_);
  controls.password = GetWindowString(p_pass_edit_);
  controls.details_enabled = IsWindowEnabled(p_enable_check_) != FALSE;
  return controls;
}

void TConfigForm::ShowProxyControls(const TProxyControls& controls) {
  SendMessageA(p_autodet_check_, BM_SETCHECK, controls.autodetect ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageA(p_enable_check_, BM_SETCHECK, controls.use_proxy ? BST_CHECKED : BST_UNCHECKED, 0);
  SetWindowTextA(p_address_edit_, controls.address.c_str());
  SetWindowTextA(p_port_edit_, controls.port.c_str());
  SendMessageA(p_auth_check_, BM_SETCHECK, controls.authenticate ? BST_CHECKED : BST_UNCHECKED, 0);
  SetWindowTextA(p_user_edit_, controls.username.c_str());
  SetWindowTextA(p_pass_edit_, controls.password.c_str());
  for (HWND control : {p_enable_check_, p_address_edit_, p_port_edit_, p_auth_check_, p_user_edit_, p_pass_edit_})
    EnableWindow(control, controls.details_enabled ? TRUE : FALSE);
}

TEngineControls TConfigForm::ReadEngineControls() const {
  TEngineControls controls;
  const LRESULT chosen = SendMessageA(engine_combo_, CB_GETCURSEL, 0, 0);
  controls.kind = chosen == 1 ? EngineKind::kApertium : chosen == 2 ? EngineKind::kLibreTranslate : EngineKind::kPage;
  controls.address = GetWindowString(engine_address_edit_);
  controls.key = GetWindowString(engine_key_edit_);
  return controls;
}

void TConfigForm::ShowEngineControls(const TEngineControls& controls) {
  SendMessageA(engine_combo_, CB_SETCURSEL, static_cast<WPARAM>(controls.kind), 0);
  SetWindowTextA(engine_address_edit_, controls.address.c_str());
  SetWindowTextA(engine_key_edit_, controls.key.c_str());
  EnableWindow(engine_address_edit_, controls.address_enabled ? TRUE : FALSE);
  EnableWindow(engine_key_edit_, controls.key_enabled ? TRUE : FALSE);
}

void TConfigForm::EngineComboChange() {
  TEngineControls controls = ReadEngineControls();
  EngineKindChosen(controls, controls.kind);
  ShowEngineControls(controls);
}

bool TConfigForm::TakeEngineControls() {
  const std::optional<TEngineSettings> taken = EngineSettingsFrom(ReadEngineControls());
  if (!taken) {
    MessageBoxA(hwnd_,
                "The engine's address must be a web address starting with http:// or https://.\r\n"
                "The engine was not changed.",
                "Configuration", MB_OK | MB_ICONWARNING);
    return false;
  }
  EngineSettings = *taken;
  return true;
}

void TConfigForm::BoxClicked(HWND box) {
  if (box == p_autodet_check_) PAutodetCheckClick();
  else if (box == deskshort_check_) DeskshortCheckClick();
  else if (box == startmenu_check_) StartmenuCheckClick();
  else if (box == iebutton_check_) IEbuttonCheckClick();
  else if (box == launchwin_check_) LaunchWinCheckClick();
}

void TConfigForm::PAutodetCheckClick() {
  TProxyControls controls = ReadProxyControls();
  AutodetectToggled(controls, Checked(p_autodet_check_), ProxySettings, DetectHttpProxy);
  ShowProxyControls(controls);
}

// The integration handlers act only on a user's toggle: a click or the space bar gives the
// box the focus before its click arrives, a change made by code does not.
void TConfigForm::DeskshortCheckClick() {
  if (GetFocus() != deskshort_check_) return;
  SendMessageA(deskshort_check_, BM_SETCHECK,
               SetShortcut(hwnd_, kDesktopFolderName, Checked(deskshort_check_)) ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TConfigForm::StartmenuCheckClick() {
  if (GetFocus() != startmenu_check_) return;
  SendMessageA(startmenu_check_, BM_SETCHECK,
               SetShortcut(hwnd_, kProgramsFolderName, Checked(startmenu_check_)) ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TConfigForm::IEbuttonCheckClick() {
  // Without a GUID nothing is installed, and the box goes back to showing that.
  if (GetFocus() != iebutton_check_) return;
  SendMessageA(iebutton_check_, BM_SETCHECK,
               SetBrowserButton(hwnd_, InstallGuid, Checked(iebutton_check_)) ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TConfigForm::LaunchWinCheckClick() {
  if (GetFocus() != launchwin_check_) return;
  SendMessageA(launchwin_check_, BM_SETCHECK,
               SetLaunchWithWindows(hwnd_, Checked(launchwin_check_)) ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Posted, so the window is not destroyed inside its own button's click.
void TConfigForm::CloseBtClick() { PostMessageA(hwnd_, WM_CLOSE, 0, 0); }

void TConfigForm::FormClose() {
  if (closing_) return;
  closing_ = true;
  ProxySettings = ProxySettingsFrom(ReadProxyControls());
  TakeEngineControls();
  // A refused save is reported, and the window closes all the same: the values are in
  // memory and the program saves them again when it ends.
  try {
    if (save_settings_) save_settings_();
  } catch (const std::exception& e) {
    AppHost().ShowException(e);
  }
  DestroyWindow(hwnd_);
}

bool TConfigForm::MoveFocus(HWND from, bool backwards) {
  const int count = static_cast<int>(tab_order_.size());
  int at = -1;
  for (int i = 0; i < count; ++i)
    if (tab_order_[i] == from) at = i;
  if (at < 0) return false;
  for (int step = 1; step < count; ++step) {
    HWND next = tab_order_[(at + (backwards ? count - step : step)) % count];
    if (IsWindowEnabled(next) && IsWindowVisible(next)) {
      SetFocus(next);
      if (IsFlatEdit(next)) SendMessageA(next, EM_SETSEL, 0, -1);
      return true;
    }
  }
  return true;
}

void TConfigForm::CenterPanelMouseDown(int button) {
  if (button != 0) return;
  DragByPanel(hwnd_, center_panel_->Handle());
}

LRESULT TConfigForm::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFOCUS: {
      HWND target = last_focus_;
      if (target == nullptr || !IsWindow(target) || !IsWindowEnabled(target)) {
        target = nullptr;
        for (HWND control : tab_order_)
          if (IsWindowEnabled(control)) {
            target = control;
            break;
          }
      }
      if (target != nullptr) SetFocus(target);
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && lparam != 0) BoxClicked(reinterpret_cast<HWND>(lparam));
      if (HIWORD(wparam) == CBN_SELCHANGE && reinterpret_cast<HWND>(lparam) == engine_combo_) EngineComboChange();
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lparam);
      HDC dc = reinterpret_cast<HDC>(wparam);
      const bool edit = IsFlatEdit(control);
      SetBkColor(dc, edit ? kEditColor : kFormColor);
      return reinterpret_cast<LRESULT>(edit ? edit_brush_.Get() : panel_brush_.Get());
    }
    default:
      break;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

}  // namespace parlix
