#include "platform/profile_file_win.h"

#include <windows.h>

#include <vector>

#include "platform/handles_win.h"

namespace parlix {

std::string TProfileFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& fallback) const {
  std::vector<char> buffer(2048);
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                                static_cast<DWORD>(buffer.size()), path_.c_str());
  return std::string(buffer.data(), length);
}

namespace {

// Some profile implementations defer the write and report success for a file that
// cannot be written (read-only, or a folder without rights); opening the file for
// writing first makes such a refusal visible.
bool CanWrite(const std::string& path) {
  // Checked by attribute too: the file system may let a privileged user past it.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return false;
  const UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

}  // namespace

void TProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  if (!CanWrite(path_) || !WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str()))
    throw EIniFileException("Unable to write to " + path_);
}

bool TProfileFile::Exists() const {
  const DWORD attributes = GetFileAttributesA(path_.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void TProfileFile::Delete() { DeleteFileA(path_.c_str()); }

}  // namespace parlix
