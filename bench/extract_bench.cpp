// Time of reading a large answer page: the marker search, the line machine and the decoding
// must stay linear, so a 10 MB page takes about ten times as long as a 1 MB page.
#include <chrono>
#include <cstdio>
#include <string>

#include "translate/extract.h"

namespace {

// Latin-1 as the system code page: every byte is the code point of the same value.
class Latin1 final : public parlix::ICodePage {
 public:
  std::u16string AnsiToUtf16(std::string_view ansi) const override {
    std::u16string out;
    out.reserve(ansi.size());
    for (const char c : ansi) out.push_back(static_cast<unsigned char>(c));
    return out;
  }
  std::string Utf16ToAnsi(std::u16string_view text) const override {
    std::string out;
    out.reserve(text.size());
    for (const char16_t c : text) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
  }
  bool IsLeadByte(unsigned char) const override { return false; }
};

// About `bytes` of HTML in short lines, some of them UTF-8, with the translation near the end.
std::string MakePage(std::size_t bytes) {
  std::string page = "<html><head><title>answer</title></head><body>\r\n";
  std::size_t n = 0;
  while (page.size() < bytes) {
    page += "<div class=row" + std::to_string(n % 97) + "><span>caf\xC3\xA9 &amp; line " + std::to_string(n) +
            "</span></div>\n";
    ++n;
  }
  page += "<div dir=ltr id=result_box class=short_text>Hola &#39;mundo&#39; &amp; buenos d\xC3\xAD" "as</div>\r\n";
  page += "</body></html>\r\n";
  return page;
}

double TimeExtraction(const std::string& page, const Latin1& code_page, int repeats) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const parlix::ExtractResult result = parlix::ExtractFromAnswer(page, code_page);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (result.status != parlix::ExtractStatus::kTranslated) {
      std::fprintf(stderr, "extraction failed\n");
      return -1;
    }
    if (took.count() < best) best = took.count();
  }
  return best;
}

// A long translation full of references exercises the decoder itself.
double TimeCharRefs(std::size_t refs, const Latin1& code_page) {
  std::string text;
  for (std::size_t i = 0; i < refs; ++i) text += "a&#39;b&#x41;";
  const auto start = std::chrono::steady_clock::now();
  const std::string out = parlix::DecodeCharRefs(text, code_page);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (out.size() != refs * 4) std::fprintf(stderr, "decode size mismatch\n");
  return took.count();
}

}  // namespace

int main() {
  const Latin1 code_page;
  const std::string small = MakePage(1u << 20);
  const std::string large = MakePage(10u << 20);
  const double t_small = TimeExtraction(small, code_page, 5);
  const double t_large = TimeExtraction(large, code_page, 3);
  std::printf("extract  %6.2f MB page: %8.2f ms\n", small.size() / 1048576.0, t_small * 1e3);
  std::printf("extract  %6.2f MB page: %8.2f ms\n", large.size() / 1048576.0, t_large * 1e3);
  std::printf("extract  ratio 10 MB / 1 MB: %.2f\n", t_large / t_small);

  const double r_small = TimeCharRefs(100000, code_page);
  const double r_large = TimeCharRefs(1000000, code_page);
  std::printf("charrefs   200000 references: %8.2f ms\n", r_small * 1e3);
  std::printf("charrefs  2000000 references: %8.2f ms\n", r_large * 1e3);
  std::printf("charrefs  ratio: %.2f\n", r_large / r_small);
  return 0;
}
