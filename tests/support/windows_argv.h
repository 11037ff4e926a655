// How a Windows program's start-up code splits its command line into arguments (the
// rules of CommandLineToArgvW and of the C runtime since 2008), for checking command
// lines natively: what the browser would see as its arguments.
#pragma once

#include <string>
#include <vector>

namespace parlix::testing {

inline std::vector<std::string> SplitWindowsCommandLine(const std::string& line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = line.size();
  // The program name: up to the closing quote when quoted, else up to a blank; no escapes.
  std::string program;
  if (i < n && line[i] == '"') {
    ++i;
    while (i < n && line[i] != '"') program += line[i++];
    if (i < n) ++i;
  } else {
    while (i < n && line[i] != ' ' && line[i] != '\t') program += line[i++];
  }
  args.push_back(program);
  while (true) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n) {
      const char c = line[i];
      if ((c == ' ' || c == '\t') && !quoted) break;
      if (c == '\\') {
        std::size_t slashes = 0;
        for (; i < n && line[i] == '\\'; ++i) ++slashes;
        if (i < n && line[i] == '"') {
          // 2k backslashes and a quote: k backslashes, the quote toggles; 2k+1: k and a
          // literal quote.
          arg.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(slashes, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          arg += '"';  // "" inside quotes is a literal quote
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

}  // namespace parlix::testing
