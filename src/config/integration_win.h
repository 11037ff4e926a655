// The four desktop integrations on Windows: shell links, the browser button's key and icon
// file, and the autostart value. Each action reports its own failures to the user and
// answers what is really installed afterwards, which is what its check box then shows.
#pragma once

#include <windows.h>

#include <string>

#include "config/integration.h"

namespace parlix {

// The registry the integrations use: the real one unless a test put another in front.
IIntegrationRegistry& IntegrationRegistry();
// Replaces it (nullptr restores the real one); returns the previous replacement.
IIntegrationRegistry* SetIntegrationRegistry(IIntegrationRegistry* registry);

enum class TShortcutResult { kWritten, kNoFolder, kNoLinkObject, kSaveFailed };

// A shell link at `link_file` to `target`. Nothing is written when the link file's folder
// does not exist; the shell is told that the folder changed in every case.
TShortcutResult CreateShortcut(const std::wstring& link_file, const std::string& target,
                               const std::string& working_folder, const std::string& arguments,
                               const std::string& description, const std::string& icon_file, int icon_index);

// The program's own full file name.
std::string ProgramFileName();

// "Parlix.lnk" in the shell folder `folder_name` ("Desktop", "Programs"); empty when that
// shell folder is unknown.
std::string ShortcutPath(const std::string& folder_name);
bool ShortcutInstalled(const std::string& folder_name);
// Deletes an existing shortcut and, when `install`, writes a new one. Returns whether a
// shortcut is there afterwards.
bool SetShortcut(HWND owner, const std::string& folder_name, bool install);

bool BrowserButtonInstalled(const std::string& install_guid);
// Installs (icon file, key, the eight values, the information box) or removes the button.
// A refused write removes what was written and reports it. Returns whether it is installed.
bool SetBrowserButton(HWND owner, const std::string& install_guid, bool install);

// The autostart value exists, whatever it starts.
bool LaunchWithWindowsInstalled();
// Writes the autostart value (the program's quoted path and " /auto") where none exists, an
// existing one being left as it is, or deletes it. Returns whether it exists afterwards.
bool SetLaunchWithWindows(HWND owner, bool install);

// The texts the actions show.
inline constexpr char kBrowserButtonInfoText[] =
    "Please start Internet Explorer. You might need to go to View / Toolbars / Customize and move Parlix button "
    "from \"Available toolbar buttons\" to \"Current toolbar buttons\".";
inline constexpr char kBrowserButtonRefusedText[] =
    "The Internet Explorer tool button could not be installed: this user may not change settings for all users "
    "of this computer. Nothing was installed.";
inline constexpr char kToolbarIconFailedText[] =
    "The Internet Explorer tool button could not be installed: its icon file could not be written.";
inline constexpr char kShortcutFailedText[] = "The shortcut could not be created:";

}  // namespace parlix
