#include "support/shell_link_win.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace parlix::test {

std::optional<TShellLink> ReadShellLink(const std::string& path) {
  // Balanced here, so a caller that never touched COM may ask too.
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  std::optional<TShellLink> result;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      const std::wstring wide(path.begin(), path.end());
      if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
        TShellLink read;
        char text[MAX_PATH * 2] = {};
        // A getter that fails leaves its field empty.
        const auto take = [&](HRESULT got, std::string& field) {
          if (SUCCEEDED(got)) field = text;
          text[0] = 0;
        };
        take(link->GetPath(text, sizeof(text), nullptr, SLGP_RAWPATH), read.target);
        take(link->GetArguments(text, sizeof(text)), read.arguments);
        take(link->GetWorkingDirectory(text, sizeof(text)), read.working_folder);
        take(link->GetDescription(text, sizeof(text)), read.description);
        take(link->GetIconLocation(text, sizeof(text), &read.icon_index), read.icon_file);
        result = read;
      }
      file->Release();
    }
    link->Release();
  }
  if (com) CoUninitialize();
  return result;
}

}  // namespace parlix::test
