#include "config/web_page.h"

#include <cstddef>

#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLower(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

// Control characters count as blanks when trimming, as the registry's command texts are
// sometimes padded with tabs or stray line breaks.
std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

bool HasFolderPart(const std::string& path) { return path.find_first_of("\\/:") != std::string::npos; }

std::string ReadValue(IAssociationRegistry& registry, TRegRoot root, const std::string& key,
                      const std::string& name) {
  return registry.ReadString(root, key, name);
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const std::string p = prefix;
  return text.size() >= p.size() && AsciiLower(text.substr(0, p.size())) == p;
}

// Characters that could change how the command line is split (blank, tab, quote,
// backslash before a quote) or that no address holds as they stand (controls,
// bytes of other code pages) are percent-encoded. What is left cannot open or close
// a quoted argument, so the address stays one argument wherever the template puts
// it; the browser reaches the same page through the encoded form.
std::string EncodeForCommandLine(const std::string& document) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(document.size());
  for (char ch : document) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == ' ' || c == '"' || c == '\\' || IsControl(c) || c >= 0x80) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

// Where the placeholder starting at `at` ("%1", "%L", "%*") ends: at the next quote or
// blank, or at the end of the text.
std::size_t PlaceholderEnd(const std::string& text, std::size_t at) {
  const std::size_t end = text.find_first_of("\" ", at);
  return end == std::string::npos ? text.size() : end;
}

// Removes the placeholder at `at`; quotes standing right around it go with it, since the
// argument it stood for is not passed. Nothing before `keep` is removed: that is where the
// address goes, and a quote there belongs to its argument.
void RemoveFurtherPlaceholder(std::string& text, std::size_t at, std::size_t keep) {
  std::size_t end = PlaceholderEnd(text, at);
  if (end < text.size() && text[end] == '"') ++end;
  std::size_t begin = at;
  if (begin > keep && text[begin - 1] == '"') --begin;
  text.erase(begin, end - begin);
}

std::string FillParameters(std::string parameters, const std::string& document) {
  const std::size_t first = parameters.find('%');
  if (first == std::string::npos) {
    if (parameters.back() != ' ') parameters += ' ';
    return parameters + "\"" + document + "\"";
  }
  parameters.erase(first, PlaceholderEnd(parameters, first) - first);
  // Every further "%" lies after the first one, so `first` stays where the document goes.
  for (std::size_t at = parameters.find('%', first); at != std::string::npos; at = parameters.find('%', first))
    RemoveFurtherPlaceholder(parameters, at, first);
  parameters.insert(first, document);
  return Trim(parameters);
}

}  // namespace

bool FindVerbCommand(IAssociationRegistry& registry, const std::string& class_key, std::string& command) {
  command.clear();
  if (class_key.empty() || !registry.KeyExists(TRegRoot::kClassesRoot, class_key)) return false;
  const std::string shell = class_key + "\\shell";
  std::string verb;
  if (registry.KeyExists(TRegRoot::kClassesRoot, shell))
    verb = ReadValue(registry, TRegRoot::kClassesRoot, shell, "");
  if (verb.empty()) {
    if (registry.KeyExists(TRegRoot::kClassesRoot, shell + "\\open"))
      verb = "open";
    else if (registry.KeyExists(TRegRoot::kClassesRoot, shell + "\\opennew"))
      verb = "opennew";
  }
  if (verb.empty()) return true;
  // The verb is taken as one key name: a default value listing several verbs finds nothing.
  const std::string command_key = shell + "\\" + verb + "\\command";
  if (registry.KeyExists(TRegRoot::kClassesRoot, command_key))
    command = ReadValue(registry, TRegRoot::kClassesRoot, command_key, "");
  return true;
}

bool FindOpenCommand(IAssociationRegistry& registry, const std::string& extension, std::string& command) {
  command.clear();
  if (extension.empty()) return false;
  std::string candidates[4];
  bool known = false;

  const std::string user_key = kFileExtsKey + extension;
  if (registry.KeyExists(TRegRoot::kCurrentUser, user_key)) {
    known = true;
    const std::string prog_id = ReadValue(registry, TRegRoot::kCurrentUser, user_key, "ProgID");
    const std::string application = ReadValue(registry, TRegRoot::kCurrentUser, user_key, "Application");
    if (!application.empty()) FindVerbCommand(registry, "Applications\\" + application, candidates[0]);
    if (!prog_id.empty()) FindVerbCommand(registry, prog_id, candidates[1]);
  }

  if (registry.KeyExists(TRegRoot::kClassesRoot, extension)) {
    known = true;
    const std::string class_name = ReadValue(registry, TRegRoot::kClassesRoot, extension, "");
    const std::string perceived = ReadValue(registry, TRegRoot::kClassesRoot, extension, "PerceivedType");
    if (!class_name.empty()) FindVerbCommand(registry, class_name, candidates[2]);
    if (!perceived.empty()) FindVerbCommand(registry, "SystemFileAssociations\\" + perceived, candidates[3]);
  }

  for (const std::string& candidate : candidates) {
    if (!candidate.empty()) {
      command = candidate;
      break;
    }
  }
  return known;
}

std::optional<TCommandLine> BuildCommandLine(ICommandLineEnvironment& environment, const std::string& command_template,
                                             const std::string& address) {
  if (!address.empty() && !IsWebAddress(address)) return std::nullopt;
  const std::string document = EncodeForCommandLine(address);
  const std::string line = Trim(environment.ExpandEnvironment(command_template).value_or(command_template));
  TCommandLine result;
  const std::size_t dot = AsciiLower(line).find(".exe");
  if (dot == std::string::npos) return std::nullopt;

  const std::size_t after = dot + 4;
  if (after == line.size()) {
    result.Program = line;
  } else if (line[after] == '"' || line[after] == ' ') {
    result.Program = line.substr(0, after);
    if (!result.Program.empty() && result.Program.front() == '"') result.Program.erase(0, 1);
    result.Parameters = line.substr(after + 1);
  }
  // A program written with its folder is started as it stands; a bare name is looked for in
  // the system folders only, never along the search path.
  if (!result.Program.empty() && !HasFolderPart(result.Program))
    result.Program = Trim(environment.FindInSystemFolders(result.Program));
  // Without a program there is nothing to start. The address is never started in its place,
  // even when it ends in ".exe": addresses can come from the service file.
  if (result.Program.empty()) return std::nullopt;

  result.Parameters = Trim(result.Parameters);
  if (result.Parameters.empty())
    result.Parameters = document;
  else
    result.Parameters = FillParameters(result.Parameters, document);
  return result;
}

bool IsWebAddress(const std::string& address) {
  if (address.empty() || address.size() > kMaxWebAddressSize) return false;
  for (char c : address)
    if (IsControl(static_cast<unsigned char>(c))) return false;
  for (const char* scheme : {"http://", "https://"}) {
    if (!StartsWithNoCase(address, scheme)) continue;
    const std::size_t host = std::string(scheme).size();
    // "http:///x" or "http://\\host" name no web server.
    return host < address.size() && address[host] != '/' && address[host] != '\\';
  }
  return false;
}

bool IsContactLink(const std::string& link) {
  if (IsWebAddress(link)) return true;
  if (link.size() > kMaxWebAddressSize || !StartsWithNoCase(link, "mailto:") || link.size() == 7) return false;
  for (char c : link)
    if (IsControl(static_cast<unsigned char>(c))) return false;
  return true;
}

std::optional<std::string> FormatDonationUrl(const std::string& url_template, const std::vector<std::string>& args) {
  std::string out;
  std::size_t next_arg = 0;
  for (std::size_t i = 0; i < url_template.size(); ++i) {
    const char c = url_template[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= url_template.size()) return std::nullopt;
    if (url_template[i] == '%') {
      out += '%';
      continue;
    }
    std::size_t index = next_arg;
    if (url_template[i] >= '0' && url_template[i] <= '9') {
      std::size_t number = 0;
      while (i < url_template.size() && url_template[i] >= '0' && url_template[i] <= '9') {
        number = number * 10 + static_cast<std::size_t>(url_template[i] - '0');
        if (number > args.size()) return std::nullopt;
        ++i;
      }
      if (i >= url_template.size() || url_template[i] != ':') return std::nullopt;
      ++i;
      index = number;
    }
    if (i >= url_template.size() || AsciiLower(url_template[i]) != 's') return std::nullopt;
    if (index >= args.size()) return std::nullopt;
    out += args[index];
    next_arg = index + 1;
  }
  return out;
}

std::optional<std::string> DonationPageAddress(const std::string& url_template) {
  if (url_template.empty()) return std::nullopt;
  const std::string item = Unscramble(kProductTitleLit) + " " + Unscramble(kCaptionSuffixLit);
  std::optional<std::string> address = FormatDonationUrl(url_template, {item, "Donate", ""});
  if (address && !IsWebAddress(*address)) return std::nullopt;
  return address;
}

}  // namespace parlix
