#include "config/web_page_win.h"

#include <shellapi.h>

#include <utility>
#include <vector>

#include "platform/files_win.h"
#include "platform/registry_win.h"
#include "shared/globals.h"

namespace parlix {

namespace {

constexpr DWORD kExpandBufferSize = 1024;

std::string JoinPath(const char* folder, UINT length, const std::string& file_name) {
  std::string path(folder, length);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + file_name;
}

TOpenWebPageHandler& WebPageHandler() {
  static TOpenWebPageHandler handler;
  return handler;
}

TOpenWebPageHandler& ContactLinkHandler() {
  static TOpenWebPageHandler handler;
  return handler;
}

}  // namespace

bool TWinAssociationRegistry::KeyExists(TRegRoot root, const std::string& key) {
  return static_cast<bool>(OpenRegKey(root, key));
}

std::string TWinAssociationRegistry::ReadString(TRegRoot root, const std::string& key, const std::string& name) {
  return ReadRegString(root, key, name).value_or("");
}

std::optional<std::string> TWinCommandLineEnvironment::ExpandEnvironment(const std::string& text) {
  char buffer[kExpandBufferSize];
  const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), buffer, kExpandBufferSize);
  // A result that does not fit is a failure, not a cut-off command.
  if (needed == 0 || needed > kExpandBufferSize) return std::nullopt;
  return std::string(buffer);
}

std::string TWinCommandLineEnvironment::FindInSystemFolders(const std::string& file_name) {
  if (file_name.empty()) return {};
  char folder[MAX_PATH];
  UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    const std::string path = JoinPath(folder, length, file_name);
    if (FileExists(path)) return path;
  }
  length = GetWindowsDirectoryA(folder, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    const std::string path = JoinPath(folder, length, file_name);
    if (FileExists(path)) return path;
  }
  return {};
}

std::optional<TCommandLine> WebPageCommandLine(const std::string& address) {
  TWinAssociationRegistry registry;
  std::string command;
  if (!FindOpenCommand(registry, ".htm", command) || command.empty()) return std::nullopt;
  TWinCommandLineEnvironment environment;
  return BuildCommandLine(environment, command, address);
}

bool OpenWebPageInBrowser(const std::string& address) {
  const std::optional<TCommandLine> line = WebPageCommandLine(address);
  if (!line) return false;
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(
      nullptr, "open", line->Program.c_str(), line->Parameters.empty() ? nullptr : line->Parameters.c_str(), nullptr,
      SW_SHOW));
  return result > 32;
}

bool OpenWebPage(const std::string& address) {
  // Addresses come from the service file and the network: what is not plainly a web
  // page is never handed to a program, nor to a test's recorder. An empty address
  // starts the browser without a page.
  if (!address.empty() && !IsWebAddress(address)) return false;
  if (const TOpenWebPageHandler& handler = WebPageHandler()) {
    handler(address);
    return true;
  }
  return OpenWebPageInBrowser(address);
}

TOpenWebPageHandler SetOpenWebPageHandler(TOpenWebPageHandler handler) {
  return std::exchange(WebPageHandler(), std::move(handler));
}

void OpenContactLink(HWND owner, const std::string& link) {
  if (!IsContactLink(link)) return;
  if (const TOpenWebPageHandler& handler = ContactLinkHandler()) {
    handler(link);
    return;
  }
  ShellExecuteA(owner, "open", link.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
}

TOpenWebPageHandler SetOpenContactLinkHandler(TOpenWebPageHandler handler) {
  return std::exchange(ContactLinkHandler(), std::move(handler));
}

void OpenDonationPage() {
  const std::optional<std::string> address = DonationPageAddress(ServiceInfo.DonateUrl);
  if (!address) return;
  OpenWebPage(*address);
}

}  // namespace parlix
