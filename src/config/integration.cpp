#include "config/integration.h"

#include <cctype>

namespace parlix {

namespace {

bool SameTextAt(const std::string& text, size_t at, const std::string& wanted) {
  if (at > text.size() || text.size() - at < wanted.size()) return false;
  for (size_t i = 0; i < wanted.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[at + i]);
    const auto b = static_cast<unsigned char>(wanted[i]);
    if (std::tolower(a) != std::tolower(b)) return false;
  }
  return true;
}

}  // namespace

std::string RunValueData(const std::string& program_file) { return "\"" + program_file + "\" /auto"; }

bool NamesProgram(const std::string& command, const std::string& program_file) {
  if (program_file.empty()) return false;
  size_t start = 0;
  while (start < command.size() && command[start] == ' ') ++start;
  if (start < command.size() && command[start] == '"') {
    if (!SameTextAt(command, start + 1, program_file)) return false;
    const size_t close = start + 1 + program_file.size();
    return close < command.size() && command[close] == '"';
  }
  if (!SameTextAt(command, start, program_file)) return false;
  const size_t end = start + program_file.size();
  return end == command.size() || command[end] == ' ';
}

std::string BrowserButtonKey(const std::string& install_guid) {
  return "Software\\Microsoft\\Internet Explorer\\Extensions\\" + install_guid + "\\";
}

std::vector<TRegValue> BrowserButtonValues(const std::string& product_name, const std::string& product_title,
                                           const std::string& program_file, const std::string& icon_file) {
  return {
      {"ButtonText", product_name},  {"MenuText", product_name},        {"MenuStatusBar", product_title},
      {"ClSid", kToolbarButtonClsid}, {"Default Visible", "Yes"},       {"Exec", program_file},
      {"HotIcon", icon_file},         {"Icon", icon_file},
  };
}

bool IsUsableShellFolder(const std::string& folder) { return !folder.empty() && folder != "\\"; }

std::string FolderOf(const std::string& file_name) {
  const size_t slash = file_name.find_last_of("\\/:");
  return slash == std::string::npos ? "" : file_name.substr(0, slash + 1);
}

}  // namespace parlix
