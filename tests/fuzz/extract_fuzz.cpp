// Extraction of the translation with its character references: any answer file is read
// without faults, and the translation is never longer than the file it came from.
#include <string>

#include "fuzz_check.h"
#include "translate/extract.h"

namespace {

// Latin-1 as the system code page: every byte is the code point of the same value.
class Latin1 final : public parlix::ICodePage {
 public:
  std::u16string AnsiToUtf16(std::string_view ansi) const override {
    std::u16string out;
    for (const char c : ansi) out.push_back(static_cast<unsigned char>(c));
    return out;
  }
  std::string Utf16ToAnsi(std::u16string_view text) const override {
    std::string out;
    for (const char16_t c : text) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
  }
  bool IsLeadByte(unsigned char) const override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Latin1 latin1;
  const std::string file(reinterpret_cast<const char*>(data), size);
  const parlix::ExtractResult result = parlix::ExtractFromAnswer(file, latin1);
  if (result.status == parlix::ExtractStatus::kTranslated) FUZZ_CHECK(result.text.size() <= file.size());
  FUZZ_CHECK(parlix::DecodeEntities(file).size() <= file.size());
  return 0;
}
