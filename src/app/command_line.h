// The program's command line: "/auto" or the path of a text file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parlix {

// Splits a whole command line (program name first) into arguments: characters up to
// blank separate, double quotes group and are removed.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

// The first argument after the program name, with one level of surrounding double
// quotes stripped; nullopt when there is none.
std::optional<std::string> FirstArgument(const std::string& command_line);

// "/auto" in any mix of letter case.
bool IsAutoStartArgument(const std::string& argument);

}  // namespace parlix
