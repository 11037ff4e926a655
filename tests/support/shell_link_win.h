// A shell link (.lnk) read back the way the shell reads it, for tests of what the
// configuration window and the setup program write.
#pragma once

#include <optional>
#include <string>

namespace parlix::test {

struct TShellLink {
  std::string target, arguments, working_folder, description, icon_file;
  int icon_index = -1;
};

// nullopt when the file is missing or no link.
std::optional<TShellLink> ReadShellLink(const std::string& path);

}  // namespace parlix::test
