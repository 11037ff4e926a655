// ApplyServiceFile and the buttons and menu item that use ServiceInfo: the window side
// of the service file. GUI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "service/service_file.h"

namespace parlix {

// What carrying out a service file needs from the main window.
class IServiceUi {
 public:
  virtual ~IServiceUi() = default;
  // Appends "More free products..." (kMoreProductsCaption, image kMoreProductsImageIndex)
  // to the end of the tray menu; its click runs OpenProductsPage.
  virtual void AddProductsMenuItem() = 0;
  // The promotional button AdvBt: caption, hint and font colour (0x00BBGGRR).
  virtual void SetAdvButton(const std::string& caption, const std::string& hint, int color) = 0;
  // An information box with OK; returns when it is closed.
  virtual void ShowInformation(const std::string& text) = 0;
  // An information box with Yes and No; true on Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  virtual void OpenPage(const std::string& url) = 0;
};

// The ordinary way: message boxes owned by `owner`, pages through OpenWebPage, and the
// menu item and button through the two callbacks (skipped when unset).
class TServiceUiWin : public IServiceUi {
 public:
  explicit TServiceUiWin(HWND owner) : owner_(owner) {}

  std::function<void()> OnAddProductsMenuItem;
  std::function<void(const std::string& caption, const std::string& hint, int color)> OnSetAdvButton;

  void AddProductsMenuItem() override;
  void SetAdvButton(const std::string& caption, const std::string& hint, int color) override;
  void ShowInformation(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void OpenPage(const std::string& url) override;

 private:
  HWND owner_;
};

// The current date in the user's short date format (the DateShown text).
std::string TodayShortDate();

// Carries out an interpreted service file: the menu item, the promotional button, then
// the day's message, page and offer, in that order.
void CarryOutServiceOutcome(const TServiceOutcome& outcome, IServiceUi& ui);

// The handler of WM_USER+2: seeds `random` from the clock, reads and deletes the decoded
// file, updates ServiceInfo (DateShown included; the caller saves the settings) and
// carries out the rest through `ui`. A file that cannot be read counts as unsigned.
void ApplyServiceFile(const std::string& decoded_file, IServiceUi& ui, PseudoRandom& random);

// AdvBt's click: AdvUrl, or the products page when the service file emptied it.
void OpenPromotionPage();
// The "More free products..." item's click: ProdUrl, nothing when it is empty.
void OpenProductsPage();

}  // namespace parlix
