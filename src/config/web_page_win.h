// Opening addresses in the user's browser, and the contact link in the mail program.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "config/web_page.h"

namespace parlix {

// Opens the address with the program registered for ".htm" files. True when it was started;
// every caller may ignore the result. Goes through the handler set below, if any. An address
// that is neither empty nor IsWebAddress opens nothing and reaches no handler.
bool OpenWebPage(const std::string& address);

// Replaces how addresses are opened (tests record them instead); returns the previous way.
// An empty handler restores the browser lookup.
using TOpenWebPageHandler = std::function<void(const std::string&)>;
TOpenWebPageHandler SetOpenWebPageHandler(TOpenWebPageHandler handler);

// The browser lookup itself, whatever handler is set.
bool OpenWebPageInBrowser(const std::string& address);
// The command line OpenWebPageInBrowser would start for the address.
std::optional<TCommandLine> WebPageCommandLine(const std::string& address);

// Opens the contact link (a "mailto:" address) through the shell with `owner` as the owner
// window; the shell picks the mail program. Links that IsContactLink refuses open nothing.
// Goes through the handler set below, if any.
void OpenContactLink(HWND owner, const std::string& link);
TOpenWebPageHandler SetOpenContactLinkHandler(TOpenWebPageHandler handler);

// The donation button of the main and the about window: the page of ServiceInfo.DonateUrl
// filled with the product's arguments; nothing when the template is empty or not valid.
void OpenDonationPage();

// The registry and folders of this system, as the association lookup asks for them.
class TWinAssociationRegistry : public IAssociationRegistry {
 public:
  bool KeyExists(TRegRoot root, const std::string& key) override;
  std::string ReadString(TRegRoot root, const std::string& key, const std::string& name) override;
};

class TWinCommandLineEnvironment : public ICommandLineEnvironment {
 public:
  std::optional<std::string> ExpandEnvironment(const std::string& text) override;
  std::string FindInSystemFolders(const std::string& file_name) override;
};

}  // namespace parlix
