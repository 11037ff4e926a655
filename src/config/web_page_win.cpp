#include "config/web_page_win.h"

#include <windows.h>
#include <shellapi.h>

#include <utility>

namespace parlix {

namespace {

void OpenWithShell(const std::string& address) {
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

TOpenWebPageHandler& Handler() {
  static TOpenWebPageHandler handler = OpenWithShell;
  return handler;
}

}  // namespace

void OpenWebPage(const std::string& address) { Handler()(address); }

TOpenWebPageHandler SetOpenWebPageHandler(TOpenWebPageHandler handler) {
  return std::exchange(Handler(), handler ? std::move(handler) : TOpenWebPageHandler(OpenWithShell));
}

}  // namespace parlix
