// Small questions about files that several windows and both workers ask.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace parlix {

// Something (a file or a folder) is at `path`; false for an empty path.
bool PathExists(const std::string& path);
// A file, not a folder, is at `path`.
bool FileExists(const std::string& path);
// A folder is at `path`.
bool FolderExists(const std::string& path);
// The file's size, or -1 when there is none.
std::int64_t FileSizeOf(const std::string& path);
// Deletes the file if one is there; an empty path does nothing.
void DeleteIfExists(const std::string& path);
// The whole file, or nothing when it cannot be read or holds more than `max_size` bytes:
// every file the program reads may have been written by someone else, so nothing is read
// into memory without a bound.
std::optional<std::string> ReadWholeFile(const std::string& path, std::int64_t max_size);

}  // namespace parlix
