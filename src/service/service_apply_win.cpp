#include "service/service_apply_win.h"

#include <iterator>

#include "config/web_page_win.h"
#include "platform/app_host_win.h"
#include "platform/files_win.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

void TServiceUiWin::AddProductsMenuItem() {
  if (OnAddProductsMenuItem) OnAddProductsMenuItem();
}

void TServiceUiWin::SetAdvButton(const std::string& caption, const std::string& hint, int color) {
  if (OnSetAdvButton) OnSetAdvButton(caption, hint, color);
}

void TServiceUiWin::ShowInformation(const std::string& text) {
  MessageBoxA(owner_, text.c_str(), AppHost().Title().c_str(), MB_OK | MB_ICONINFORMATION);
}

bool TServiceUiWin::AskYesNo(const std::string& text) {
  return MessageBoxA(owner_, text.c_str(), AppHost().Title().c_str(),
                     MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

void TServiceUiWin::OpenPage(const std::string& url) { OpenWebPage(url); }

std::string TodayShortDate() {
  char text[128] = {};
  if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, sizeof text) == 0) return "";
  return text;
}

void CarryOutServiceOutcome(const TServiceOutcome& outcome, IServiceUi& ui) {
  const TServiceInfo& info = outcome.info;
  if (outcome.add_products_item) ui.AddProductsMenuItem();
  if (outcome.set_adv_button) ui.SetAdvButton(info.AdvCaption, info.AdvText, info.AdvColor);
  for (const TServiceAction& action : outcome.actions) {
    switch (action.kind) {
      case TServiceAction::Kind::kShowMessage:
        ui.ShowInformation(action.text);
        break;
      case TServiceAction::Kind::kOpenPage:
        ui.OpenPage(action.url);
        break;
      case TServiceAction::Kind::kOfferUpdate:
        if (ui.AskYesNo(action.text)) ui.OpenPage(action.url);
        break;
    }
  }
}

void ApplyServiceFile(const std::string& decoded_file, IServiceUi& ui, PseudoRandom& random) {
  random.Seed(GetTickCount());
  // Decoding made it from a file no larger than kMaxServiceFileSize; a file that grew
  // since is not read.
  const std::string text = ReadWholeFile(decoded_file, kMaxServiceFileSize).value_or("");
  DeleteFileA(decoded_file.c_str());
  const TServiceOutcome outcome = InterpretServiceFile(text, ServiceInfo, TodayShortDate(), kBuildVersion, random);
  // The new values are in place before any box is shown: the boxes run a message loop.
  ServiceInfo = outcome.info;
  CarryOutServiceOutcome(outcome, ui);
}

void OpenPromotionPage() {
  AppHost().ProcessMessages();
  if (!ServiceInfo.AdvUrl.empty()) {
    OpenWebPage(ServiceInfo.AdvUrl);
    return;
  }
  OpenWebPage(Unscramble(kProductsPageLit));
}

void OpenProductsPage() {
  if (!ServiceInfo.ProdUrl.empty()) OpenWebPage(ServiceInfo.ProdUrl);
}

}  // namespace parlix
