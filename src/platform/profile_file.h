// The settings file as the logic sees it: an INI file read and written key by key.
#pragma once

#include <stdexcept>
#include <string>

namespace parlix {

// A write the system refused ("Unable to write to <path>").
class EIniFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IProfileFile {
 public:
  virtual ~IProfileFile() = default;
  virtual std::string Path() const = 0;
  virtual std::string ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const = 0;
  // Goes to the file at once; throws EIniFileException when the system refuses it.
  virtual void WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;
  virtual bool Exists() const = 0;
  virtual void Delete() = 0;
};

}  // namespace parlix
