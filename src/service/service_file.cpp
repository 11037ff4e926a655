#include "service/service_file.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <fstream>
#include <iterator>

#include "config/web_page.h"
#include "service/ini_text.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

namespace {

constexpr int kDefaultAdvColor = 4934475;
constexpr std::size_t kLineChars = 76;
constexpr char kPad = '=';

class AlphabetIndex {
 public:
  explicit AlphabetIndex(std::string_view alphabet) {
    for (int& v : value_) v = 0;
    const std::size_t n = alphabet.size() < 64 ? alphabet.size() : 64;
    // The first occurrence wins, as a position search finds it.
    for (std::size_t i = n; i-- > 0;) value_[static_cast<unsigned char>(alphabet[i])] = static_cast<int>(i);
  }
  int operator()(char c) const { return value_[static_cast<unsigned char>(c)]; }

 private:
  int value_[256];
};

void DecodeLine(std::string_view line, const AlphabetIndex& v, std::string& out) {
  const std::size_t nul = line.find('\0');
  if (nul != std::string_view::npos) line = line.substr(0, nul);
  const std::size_t groups = line.size() / 4;
  for (std::size_t g = 0; g < groups; ++g) {
    const char* c = line.data() + g * 4;
    const int v1 = v(c[0]);
    const int v2 = v(c[1]);
    const int v3 = c[2] == kPad ? 0 : v(c[2]);
    out.push_back(static_cast<char>((v1 * 4 + v2 / 16) & 0xFF));
    if (c[2] != kPad) out.push_back(static_cast<char>((v2 * 16 + v3 / 4) & 0xFF));
    if (c[3] != kPad) out.push_back(static_cast<char>((v3 * 64 + v(c[3])) & 0xFF));
  }
}

}  // namespace

std::string DecodeServiceText(std::string_view encoded, std::string_view alphabet) {
  const AlphabetIndex index(alphabet);
  std::string out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= encoded.size(); ++i) {
    if (i < encoded.size() && encoded[i] != '\r' && encoded[i] != '\n') continue;
    DecodeLine(encoded.substr(start, i - start), index, out);
    if (i < encoded.size() && encoded[i] == '\r' && i + 1 < encoded.size() && encoded[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return out;
}

std::string EncodeServiceText(std::string_view plain, std::string_view alphabet) {
  std::string text;
  if (alphabet.size() < 64) return text;
  for (std::size_t i = 0; i < plain.size(); i += 3) {
    const std::size_t n = plain.size() - i < 3 ? plain.size() - i : 3;
    unsigned bits = static_cast<unsigned char>(plain[i]) << 16;
    if (n > 1) bits |= static_cast<unsigned char>(plain[i + 1]) << 8;
    if (n > 2) bits |= static_cast<unsigned char>(plain[i + 2]);
    text.push_back(alphabet[(bits >> 18) & 63]);
    text.push_back(alphabet[(bits >> 12) & 63]);
    text.push_back(n > 1 ? alphabet[(bits >> 6) & 63] : kPad);
    text.push_back(n > 2 ? alphabet[bits & 63] : kPad);
  }
  std::string lines;
  for (std::size_t i = 0; i < text.size(); i += kLineChars) {
    lines.append(text, i, kLineChars);
    lines.append("\r\n");
  }
  return lines;
}

bool DecodeServiceFile(const std::string& source, const std::string& target) {
  std::ifstream in(source, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxServiceFileSize) return false;
  in.seekg(0);
  std::string encoded(static_cast<std::size_t>(size), '\0');
  if (!in.read(encoded.data(), size)) return false;
  const std::string decoded = DecodeServiceText(encoded, Unscramble(kServiceAlphabetLit));
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(decoded.data(), static_cast<std::streamsize>(decoded.size()));
  out.close();
  if (!out) {
    std::remove(target.c_str());
    return false;
  }
  return true;
}

namespace {

bool SignatureMatches(const TIniText& ini) {
  if (!ini.SectionExists("Signature")) return false;
  return ini.ReadString("Signature", "Name", "") == Unscramble(kProductNameLit);
}

// An address the file names that IsWebAddress refuses reads as absent, so nothing
// opens it and buttons keep their own address.
std::string ReadWebAddress(const TIniText& ini, std::string_view section, std::string_view key) {
  std::string address = ini.ReadString(section, key, "");
  return IsWebAddress(address) ? address : std::string();
}

void ReadUpdates(const TIniText& ini, std::string_view build, TServiceInfo& info) {
  const std::string file_build = ini.ReadString("Updates", "Build", "");
  if (file_build == build) return;
  const std::string version = ini.ReadString("Updates", "Version", "");
  info.UpdateUrl = ReadWebAddress(ini, "Updates", "Url");
  info.UpdatePrompt =
      "Parlix version " + version + " (build version " + file_build + ") is available, download now?";
}

void ReadAddresses(const TIniText& ini, TServiceInfo& info) {
  info.HomeUrl = ReadWebAddress(ini, "Home", "Url");
  const std::string email = ini.ReadString("Home", "Email", "");
  info.HomeEmail = IsContactLink(email) ? email : std::string();
  info.PopupMsg = ini.ReadString("Home", "PopupMsg", "");
  info.PopupUrl = ReadWebAddress(ini, "Home", "PopupUrl");
  info.ProdUrl = ReadWebAddress(ini, "Home", "ProdUrl");
  info.DonateUrl = ini.ReadString("Donate", "Url", "");
}

void ReadPromotion(const TIniText& ini, PseudoRandom& random, TServiceInfo& info) {
  const int count = ini.ReadInteger("AdvDef", "Count", 0);
  if (count <= 0) return;
  const unsigned k = count == 1 ? 1u : 1u + random.Next(static_cast<std::uint32_t>(count));
  const std::string section = "Adv" + std::to_string(k);
  if (!ini.SectionExists(section)) return;
  info.AdvCaption = ini.ReadString(section, "Caption", "");
  info.AdvColor = ini.ReadInteger(section, "Color", kDefaultAdvColor);
  info.AdvText = ini.ReadString(section, "Text", "");
  info.AdvUrl = ReadWebAddress(ini, section, "Url");
}

// The N of a key named "VersionN" (N from 1, written without leading zeros), or 0.
int VersionKeyNumber(const std::string& key) {
  constexpr std::string_view kPrefix = "version";
  // Ten digits hold every positive int.
  if (key.size() <= kPrefix.size() || key.size() > kPrefix.size() + 10) return 0;
  for (std::size_t i = 0; i < kPrefix.size(); ++i) {
    const char c = key[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kPrefix[i]) return 0;
  }
  if (key[kPrefix.size()] == '0') return 0;
  std::int64_t n = 0;
  for (std::size_t i = kPrefix.size(); i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return 0;
    n = n * 10 + (key[i] - '0');
  }
  return n <= std::numeric_limits<int>::max() ? static_cast<int>(n) : 0;
}

// "Count" closes the builds Version1 .. VersionCount. The count comes from the network:
// walking it would read up to two billion missing keys on the GUI thread, so only the
// keys the file holds are looked at.
bool BuildIsClosed(const TIniText& ini, std::string_view build) {
  const int count = ini.ReadInteger("ClosedVersions", "Count", 0);
  if (count <= 0) return false;
  for (const auto& [key, value] : ini.KeyValues("ClosedVersions")) {
    const int n = VersionKeyNumber(key);
    if (n < 1 || n > count) continue;
    if (Unscramble(value) == build) return true;
  }
  return false;
}


void AddDailyActions(const TServiceInfo& info, std::vector<TServiceAction>& actions) {
  if (!info.PopupMsg.empty()) actions.push_back({TServiceAction::Kind::kShowMessage, info.PopupMsg, ""});
  if (!info.PopupUrl.empty()) actions.push_back({TServiceAction::Kind::kOpenPage, "", info.PopupUrl});
  if (!info.UpdatePrompt.empty()) {
    actions.push_back({TServiceAction::Kind::kOfferUpdate, info.UpdatePrompt, info.UpdateUrl});
  }
}

}  // namespace

TServiceOutcome InterpretServiceFile(std::string_view decoded, const TServiceInfo& current,
                                     std::string_view today, std::string_view build, PseudoRandom& random) {
  TServiceOutcome outcome;
  outcome.info = current;
  TServiceInfo& info = outcome.info;
  const TIniText ini(decoded);
  if (SignatureMatches(ini)) {
    outcome.signature_valid = true;
    ReadUpdates(ini, build, info);
    ReadAddresses(ini, info);
    ReadPromotion(ini, random, info);
    if (BuildIsClosed(ini, build)) info.ClosedVersion = true;
  }
  outcome.add_products_item = !info.ProdUrl.empty();
  outcome.set_adv_button = !info.AdvUrl.empty();
  if (info.DateShown == today) return outcome;
  AddDailyActions(info, outcome.actions);
  info.DateShown = std::string(today);
  return outcome;
}

}  // namespace parlix
