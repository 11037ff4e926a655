// Finding the program registered for ".htm" files and building its command line with an
// address in it. The registry and the system folders are reached through small interfaces,
// so the rules run natively against fakes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace parlix {

class IAssociationRegistry {
 public:
  virtual ~IAssociationRegistry() = default;
  // Key names have no leading backslash.
  virtual bool KeyExists(TRegRoot root, const std::string& key) = 0;
  // The string value `name` of the key ("" reads the default value); empty when the key or
  // the value is missing or not a string.
  virtual std::string ReadString(TRegRoot root, const std::string& key, const std::string& name) = 0;
};

class ICommandLineEnvironment {
 public:
  virtual ~ICommandLineEnvironment() = default;
  // Environment variables expanded; nullopt when the expansion fails.
  virtual std::optional<std::string> ExpandEnvironment(const std::string& text) = 0;
  // The full name of the file in the system folder, else in the Windows folder, else empty.
  virtual std::string FindInSystemFolders(const std::string& file_name) = 0;
};

inline constexpr char kFileExtsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

// The open command of a class key (the shell key's default verb, else "open", else "opennew").
// False when the class key does not exist; true with an empty command when it has none.
bool FindVerbCommand(IAssociationRegistry& registry, const std::string& class_key, std::string& command);

// The open command template for an extension such as ".htm". The per-user choice (FileExts:
// "Application", then "ProgID") wins over the class registry (the class name, then the
// perceived type). True when the extension is known to either.
bool FindOpenCommand(IAssociationRegistry& registry, const std::string& extension, std::string& command);

struct TCommandLine {
  std::string Program;
  std::string Parameters;
};

// The program and parameters that open `address` with a registered command template. The
// address is percent-encoded where a character could split it or end a quoted argument
// (blank, quote, backslash, controls, non-ASCII), so it is always exactly one argument.
// nullopt when the template names no program that can be started, or when a non-empty
// address is not IsWebAddress.
std::optional<TCommandLine> BuildCommandLine(ICommandLineEnvironment& environment, const std::string& command_template,
                                             const std::string& address);

// Addresses longer than this are refused: browsers themselves stop near 2 KB, and the
// whole command line of a Windows program is limited to 32 K characters.
inline constexpr std::size_t kMaxWebAddressSize = 4096;

// Whether an address from the service file or the network may be opened: an absolute
// "http://" or "https://" address naming a host, without control characters. Anything else
// (a UNC path, which makes Windows send the user's credentials to its host; a "file:" or
// other scheme; text a browser would take as an option) opens nothing.
bool IsWebAddress(const std::string& address);

// Whether the contact link may be handed to the shell: IsWebAddress, or a "mailto:" address
// without control characters. The link can come from the service file, and the shell would
// start a program or open a local file named there just as readily.
bool IsContactLink(const std::string& link);

// Fills a donation page template: "%s" takes the next argument, "%N:s" argument N (from 0),
// "%%" is a percent sign. nullopt when the template is not a valid format for the arguments
// (an unknown or unfinished placeholder, or more placeholders than arguments); it comes from
// the service file, so it is never handed to a printf-style routine.
std::optional<std::string> FormatDonationUrl(const std::string& url_template, const std::vector<std::string>& args);

// The donation page for the template in ServiceInfo.DonateUrl: the three arguments are the
// product title with the caption suffix, "Donate" and an empty text. nullopt when the
// template is empty, not valid, or does not give an IsWebAddress.
std::optional<std::string> DonationPageAddress(const std::string& url_template);

}  // namespace parlix
