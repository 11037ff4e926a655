// The configuration window: the HTTP proxy settings and the four desktop integrations.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/config_values.h"
#include "platform/handles_win.h"
#include "widgets/controls_win.h"
#include "widgets/window_win.h"

namespace parlix {

inline constexpr char kConfigFormClass[] = "TConfigForm";
// Two columns: the proxy and the shortcuts on the left, the translation engine on the right.
inline constexpr int kConfigFormWidth = 492;
inline constexpr int kConfigFormHeight = 310;

class TConfigForm : public TSingleWindow<TConfigForm, &TOpenWindowFlags::ConfigOpen> {
 public:
  // Creates and shows the window owned by `owner`, centred on the screen, and sets
  // ConfigOpen; null when it could not be made or one is open already. The object frees
  // itself when the window is closed; `save_settings` writes the settings file then.
  static TConfigForm* Open(HWND owner, std::function<void()> save_settings);

  HWND CenterPanel() const { return center_panel_->Handle(); }
  HWND ProxyGroup() const { return proxy_group_; }
  HWND ShortcutsGroup() const { return shortcuts_group_; }
  HWND PAutodetCheck() const { return p_autodet_check_; }
  HWND PEnableCheck() const { return p_enable_check_; }
  HWND PAddressEdit() const { return p_address_edit_; }
  HWND PPortEdit() const { return p_port_edit_; }
  HWND PAuthCheck() const { return p_auth_check_; }
  HWND PUserEdit() const { return p_user_edit_; }
  HWND PPassEdit() const { return p_pass_edit_; }
  HWND DeskshortCheck() const { return deskshort_check_; }
  HWND StartmenuCheck() const { return startmenu_check_; }
  HWND IEbuttonCheck() const { return iebutton_check_; }
  HWND LaunchWinCheck() const { return launchwin_check_; }
  HWND EngineGroup() const { return engine_group_; }
  HWND EngineCombo() const { return engine_combo_; }
  HWND EngineAddressEdit() const { return engine_address_edit_; }
  HWND EngineKeyEdit() const { return engine_key_edit_; }
  HWND CloseBt() const { return close_bt_->Handle(); }
  std::string Hint(HWND control) const { return hints_->Get(control); }
  // The controls in tab order.
  const std::vector<HWND>& TabOrder() const { return tab_order_; }

  // Sets a check box's state the way code does (a change runs its click handler, as a
  // user's toggle would); the integration handlers then act only if the box has the focus.
  void SetChecked(HWND box, bool checked);

  void PAutodetCheckClick();
  void DeskshortCheckClick();
  void StartmenuCheckClick();
  void IEbuttonCheckClick();
  void LaunchWinCheckClick();
  void CloseBtClick();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  friend LRESULT CALLBACK ConfigControlProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  TConfigForm() = default;
  void FormCreate();
  void FormClose();
  void CreateControls();
  HWND MakeChild(const char* window_class, const char* text, DWORD style, int left, int top, int width, int height);
  HWND MakeCheck(const char* caption, int left, int top, int width, bool hand_cursor);
  HWND MakeEdit(int left, int top, bool password, int width = 121);
  bool IsFlatEdit(HWND control) const;
  void MakeLabel(const char* caption, int left, int top);
  void CenterPanelMouseDown(int button);
  void BoxClicked(HWND box);
  bool MoveFocus(HWND from, bool backwards);

  TEngineControls ReadEngineControls() const;
  void ShowEngineControls(const TEngineControls& controls);
  void EngineComboChange();
  // False, with the user told why, when the engine fields hold no address to keep.
  bool TakeEngineControls();
  TProxyControls ReadProxyControls() const;
  void ShowProxyControls(const TProxyControls& controls);
  bool Checked(HWND box) const;

  std::function<void()> save_settings_;
  std::unique_ptr<TControl> center_panel_, close_bt_;
  std::vector<std::unique_ptr<TControl>> labels_;
  HWND proxy_group_ = nullptr, shortcuts_group_ = nullptr;
  HWND p_autodet_check_ = nullptr, p_enable_check_ = nullptr, p_auth_check_ = nullptr;
  HWND p_address_edit_ = nullptr, p_port_edit_ = nullptr, p_user_edit_ = nullptr, p_pass_edit_ = nullptr;
  HWND deskshort_check_ = nullptr, startmenu_check_ = nullptr, iebutton_check_ = nullptr, launchwin_check_ = nullptr;
  HWND engine_group_ = nullptr, engine_combo_ = nullptr, engine_address_edit_ = nullptr, engine_key_edit_ = nullptr;
  std::vector<HWND> flat_edits_;
  std::vector<HWND> tab_order_;
  HWND last_focus_ = nullptr;
  std::unique_ptr<THints> hints_;
  UniqueGdiObject close_glyph_;
  UniqueGdiObject panel_brush_, edit_brush_;
  bool closing_ = false;
};

}  // namespace parlix
