// An in-memory settings file that remembers the order in which sections and keys were written.
#pragma once

#include <string>
#include <vector>

#include "platform/profile_file.h"

namespace parlix::test {

class TMemoryProfile : public IProfileFile {
 public:
  struct Entry {
    std::string section, key, value;
  };

  std::string Path() const override { return "C:\\memory\\parlix.ini"; }
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const override;
  void WriteString(const std::string& section, const std::string& key, const std::string& value) override;
  bool Exists() const override { return exists_; }
  void Delete() override {
    entries_.clear();
    exists_ = false;
  }

  void Set(const std::string& section, const std::string& key, const std::string& value);
  // The file as text, sections in first-written order, keys in first-written order.
  std::string Text() const;
  // Fails every write once this many have succeeded.
  void FailAfter(int writes) { fail_after_ = writes; }

 private:
  std::vector<Entry> entries_;
  bool exists_ = false;
  int fail_after_ = -1;
};

}  // namespace parlix::test
