#pragma once

#include "platform/profile_file.h"

namespace parlix {

// The settings file through the system's profile-string functions.
class TProfileFile : public IProfileFile {
 public:
  explicit TProfileFile(std::string path) : path_(std::move(path)) {}
  std::string Path() const override { return path_; }
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const override;
  void WriteString(const std::string& section, const std::string& key, const std::string& value) override;
  bool Exists() const override;
  void Delete() override;

 private:
  std::string path_;
};

}  // namespace parlix
