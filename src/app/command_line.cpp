#include "app/command_line.h"

#include <cctype>

namespace parlix {

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> arguments;
  size_t i = 0;
  const size_t n = command_line.size();
  for (;;) {
    while (i < n && static_cast<unsigned char>(command_line[i]) <= ' ') ++i;
    if (i >= n) break;
    std::string argument;
    bool quoted = false;
    while (i < n && (quoted || static_cast<unsigned char>(command_line[i]) > ' ')) {
      if (command_line[i] == '"')
        quoted = !quoted;
      else
        argument += command_line[i];
      ++i;
    }
    arguments.push_back(argument);
  }
  return arguments;
}

std::optional<std::string> FirstArgument(const std::string& command_line) {
  const std::vector<std::string> arguments = SplitCommandLine(command_line);
  if (arguments.size() < 2) return std::nullopt;
  std::string first = arguments[1];
  if (first.size() >= 2 && first.front() == '"' && first.back() == '"') first = first.substr(1, first.size() - 2);
  return first;
}

bool IsAutoStartArgument(const std::string& argument) {
  static const char kAuto[] = "/auto";
  if (argument.size() != sizeof(kAuto) - 1) return false;
  for (size_t i = 0; i < argument.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(argument[i])) != kAuto[i]) return false;
  return true;
}

}  // namespace parlix
