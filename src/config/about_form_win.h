// The about window: product title, version and build, two information lines, and the
// buttons for the home page, the contact link and the donation page.
#pragma once

#include <memory>
#include <string>

#include "platform/handles_win.h"
#include "widgets/controls_win.h"
#include "widgets/images_win.h"
#include "widgets/window_win.h"

namespace parlix {

inline constexpr char kAboutFormClass[] = "TAboutForm";
inline constexpr int kAboutFormWidth = 365;
inline constexpr int kAboutFormHeight = 200;

// The text under the product title: the version line, a blank line and the two information
// lines.
std::string AboutInfoText();

class TAboutForm : public TSingleWindow<TAboutForm, &TOpenWindowFlags::AboutOpen> {
 public:
  // Creates and shows the window owned by `owner`, centred on the screen, and sets AboutOpen;
  // null when it could not be made or one is open already. The object frees itself when
  // the window is closed, and clears AboutOpen then.
  static TAboutForm* Open(HWND owner);

  HWND BakPanel() const { return bak_panel_->Handle(); }
  HWND ProdNameLabel() const { return prod_name_label_->Handle(); }
  HWND InfoLabel() const { return info_label_->Handle(); }
  HWND CloseBt() const { return close_bt_->Handle(); }
  HWND DonateBt() const { return donate_bt_->Handle(); }
  HWND WebBt() const { return web_bt_->Handle(); }
  HWND EmailBt() const { return email_bt_->Handle(); }
  std::string Hint(HWND control) const { return hints_->Get(control); }

  // The buttons read ServiceInfo when pressed, so a service file applied meanwhile counts.
  void WebBtClick();
  void EmailBtClick();
  void DonateBtClick();
  void CloseBtClick();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  TAboutForm() = default;
  void FormCreate();
  std::unique_ptr<TControl> MakeLinkButton(int left, int top, const char* caption);
  void BakPanelMouseDown(int button);
  // The panel's own look (colour, frame, picture), in panel coordinates; the labels paint
  // the part under them first, which is what makes them transparent.
  void PaintPanelBackground(HDC dc, const RECT& panel_rect);
  void PaintLabelBackground(HWND label, HDC dc);
  void PaintProdName(HDC dc, const RECT& rect);
  void PaintInfo(HDC dc, const RECT& rect);
  void PaintCloseGlyph(HDC dc, const RECT& rect);

  std::unique_ptr<TControl> bak_panel_, prod_name_label_, info_label_;
  std::unique_ptr<TControl> close_bt_, donate_bt_, web_bt_, email_bt_;
  std::unique_ptr<THints> hints_;
  UniqueImageList picture_;
  UniqueGdiObject title_font_;
};

}  // namespace parlix
