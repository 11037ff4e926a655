// The ".htm" association lookup, the browser command line and the donation page template,
// against a registry and system folders held in memory.
#include "config/web_page.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <set>
#include <tuple>
#include <utility>

#include "support/windows_argv.h"

namespace parlix {
namespace {

std::string PercentDecode(const std::string& text) {
  auto hex = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

class FakeRegistry : public IAssociationRegistry {
 public:
  // Setting a value creates the key and all its parents, as the registry would hold them.
  void Set(TRegRoot root, const std::string& key, const std::string& name, const std::string& value) {
    AddKey(root, key);
    values_[{root, Lower(key), Lower(name)}] = value;
  }
  void AddKey(TRegRoot root, const std::string& key) {
    for (std::size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
      keys_.insert({root, Lower(key.substr(0, at))});
    keys_.insert({root, Lower(key)});
  }

  bool KeyExists(TRegRoot root, const std::string& key) override {
    return keys_.count({root, Lower(key)}) != 0;
  }
  std::string ReadString(TRegRoot root, const std::string& key, const std::string& name) override {
    auto it = values_.find({root, Lower(key), Lower(name)});
    return it == values_.end() ? std::string() : it->second;
  }

 private:
  // Registry names are matched without regard to case.
  static std::string Lower(std::string text) {
    for (char& c : text)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
  }
  std::set<std::pair<TRegRoot, std::string>> keys_;
  std::map<std::tuple<TRegRoot, std::string, std::string>, std::string> values_;
};

constexpr auto kHKCU = TRegRoot::kCurrentUser;
constexpr auto kHKCR = TRegRoot::kClassesRoot;

void SetCommand(FakeRegistry& registry, const std::string& class_key, const std::string& verb,
                const std::string& command) {
  registry.Set(kHKCR, class_key + "\\shell\\" + verb + "\\command", "", command);
}

std::string FileExt(const std::string& extension) { return std::string(kFileExtsKey) + extension; }

// The command found, or nothing where the lookup reports the class or extension unknown.
// Each starts from a stale value, so a known class without a command must clear it.
std::optional<std::string> VerbCommand(FakeRegistry& registry, const std::string& class_key) {
  std::string command = "stale";
  if (!FindVerbCommand(registry, class_key, command)) return std::nullopt;
  return command;
}
std::optional<std::string> OpenCommand(FakeRegistry& registry, const std::string& extension) {
  std::string command = "stale";
  if (!FindOpenCommand(registry, extension, command)) return std::nullopt;
  return command;
}

TEST(FindVerbCommand, VerbChoiceAndMissingKeys) {
  FakeRegistry registry;
  std::string command = "stale";
  EXPECT_FALSE(FindVerbCommand(registry, "nosuchfile", command));
  EXPECT_EQ(command, "");

  // The shell key's default names the verb, even when "open" exists too.
  SetCommand(registry, "browsefile", "open", "open.exe %1");
  SetCommand(registry, "browsefile", "view", "view.exe %1");
  registry.Set(kHKCR, "browsefile\\shell", "", "view");
  EXPECT_EQ(VerbCommand(registry, "browsefile"), "view.exe %1");

  // Without a default verb: "open" first, then "opennew".
  SetCommand(registry, "newonly", "opennew", "new.exe %1");
  EXPECT_EQ(VerbCommand(registry, "newonly"), "new.exe %1");
  SetCommand(registry, "newonly", "open", "open.exe %1");
  EXPECT_EQ(VerbCommand(registry, "newonly"), "open.exe %1");

  // A default value listing several verbs is one key name, and finds no command.
  registry.Set(kHKCR, "listed\\shell", "", "open,print");
  SetCommand(registry, "listed", "open", "open.exe %1");
  EXPECT_EQ(VerbCommand(registry, "listed"), "");

  // An existing class without any verb: known, but no command.
  registry.AddKey(kHKCR, "bare");
  EXPECT_EQ(VerbCommand(registry, "bare"), "");
}

TEST(FindOpenCommand, OrderOfPreference) {
  FakeRegistry registry;
  std::string command = "stale";
  EXPECT_FALSE(FindOpenCommand(registry, ".htm", command));
  EXPECT_EQ(command, "");

  registry.Set(kHKCR, ".htm", "PerceivedType", "text");
  SetCommand(registry, "SystemFileAssociations\\text", "open", "perceived.exe %1");
  EXPECT_EQ(OpenCommand(registry, ".htm"), "perceived.exe %1");

  registry.Set(kHKCR, ".htm", "", "htmlfile");
  SetCommand(registry, "htmlfile", "open", "class.exe %1");
  EXPECT_EQ(OpenCommand(registry, ".htm"), "class.exe %1");

  registry.Set(kHKCU, FileExt(".htm"), "ProgID", "ChosenHtml");
  SetCommand(registry, "ChosenHtml", "open", "progid.exe %1");
  EXPECT_EQ(OpenCommand(registry, ".htm"), "progid.exe %1");

  // The per-user application wins even though the class registry names another program.
  registry.Set(kHKCU, FileExt(".htm"), "Application", "mybrowser.exe");
  SetCommand(registry, "Applications\\mybrowser.exe", "open", "\"C:\\B\\mybrowser.exe\" \"%1\"");
  EXPECT_EQ(OpenCommand(registry, ".htm"), "\"C:\\B\\mybrowser.exe\" \"%1\"");
}

TEST(FindOpenCommand, EmptyCandidatesFallThroughAndKnownWithoutCommand) {
  FakeRegistry registry;
  std::string command;
  // A per-user entry whose application has no class key falls through to the class registry.
  registry.Set(kHKCU, FileExt(".htm"), "Application", "gone.exe");
  EXPECT_EQ(OpenCommand(registry, ".htm"), "");
  registry.Set(kHKCR, ".htm", "", "htmlfile");
  SetCommand(registry, "htmlfile", "open", "class.exe %1");
  EXPECT_EQ(OpenCommand(registry, ".htm"), "class.exe %1");
  // Other extensions are looked up under their own names only.
  EXPECT_FALSE(FindOpenCommand(registry, ".html", command));
  EXPECT_FALSE(FindOpenCommand(registry, "", command));
}

class FakeEnvironment : public ICommandLineEnvironment {
 public:
  std::optional<std::string> ExpandEnvironment(const std::string& text) override {
    if (fail_expansion) return std::nullopt;
    std::string out = text;
    for (const auto& [name, value] : variables) {
      const std::string token = "%" + name + "%";
      for (std::size_t at = out.find(token); at != std::string::npos; at = out.find(token, at + value.size()))
        out.replace(at, token.size(), value);
    }
    return out;
  }
  std::string FindInSystemFolders(const std::string& file_name) override {
    looked_up.push_back(file_name);
    auto it = system_files.find(file_name);
    return it == system_files.end() ? std::string() : it->second;
  }

  std::map<std::string, std::string> variables;
  std::map<std::string, std::string> system_files;
  std::vector<std::string> looked_up;
  bool fail_expansion = false;
};

struct CommandCase {
  const char* command_template;
  const char* program;
  const char* parameters;
};

constexpr char kAddress[] = "http://www.example.test/page?a=1";

// The parameters of the command line built, if one is.
std::optional<std::string> Parameters(FakeEnvironment& env, const char* command, const char* address) {
  const auto line = BuildCommandLine(env, command, address);
  return line ? std::optional(line->Parameters) : std::nullopt;
}

TEST(BuildCommandLine, RegisteredCommandForms) {
  const CommandCase cases[] = {
      {"\"C:\\B\\browser.exe\" -nohome", "C:\\B\\browser.exe", "-nohome \"http://www.example.test/page?a=1\""},
      {"\"C:\\B\\browser.exe\"", "C:\\B\\browser.exe", "http://www.example.test/page?a=1"},
      {"\"C:\\B\\browser.exe\" -url \"%1\"", "C:\\B\\browser.exe", "-url \"http://www.example.test/page?a=1\""},
      {"C:\\B\\browser.exe %1 %*", "C:\\B\\browser.exe", "http://www.example.test/page?a=1"},
      {"C:\\B\\browser.exe", "C:\\B\\browser.exe", "http://www.example.test/page?a=1"},
      {"  C:\\B\\Browser.EXE   -new-window   ", "C:\\B\\Browser.EXE", "-new-window \"http://www.example.test/page?a=1\""},
      {"C:\\Program Files\\B\\browser.exe -osint -url \"%1\"", "C:\\Program Files\\B\\browser.exe",
       "-osint -url \"http://www.example.test/page?a=1\""},
      // Further placeholders go, with quotes standing right around them.
      {"\"C:\\B\\browser.exe\" \"%1\" \"%2\" -x", "C:\\B\\browser.exe", "\"http://www.example.test/page?a=1\"  -x"},
      {"C:\\B\\browser.exe -a %1 -b %L -c", "C:\\B\\browser.exe", "-a http://www.example.test/page?a=1 -b  -c"},
      // Further placeholders packed behind the first one, quotes and all, never take
      // text from before the address's place.
      {"\"C:\\B\\browser.exe\" a\"%1\"%2\"%3", "C:\\B\\browser.exe", "a\"http://www.example.test/page?a=1"},
      // The placeholder ends at the first quote or blank, so later options are kept.
      {"C:\\B\\browser.exe %1 -profile \"C:\\P\"", "C:\\B\\browser.exe",
       "http://www.example.test/page?a=1 -profile \"C:\\P\""},
  };
  for (const CommandCase& c : cases) {
    FakeEnvironment environment;
    const auto line = BuildCommandLine(environment, c.command_template, kAddress);
    ASSERT_TRUE(line.has_value()) << c.command_template;
    EXPECT_EQ(std::tie(line->Program, line->Parameters), std::tie(c.program, c.parameters)) << c.command_template;
    EXPECT_TRUE(environment.looked_up.empty()) << "a program with its folder is not looked up";
  }
}

TEST(BuildCommandLine, BareNamesAreLookedUpInSystemFoldersOnly) {
  FakeEnvironment environment;
  environment.system_files["winebrowser.exe"] = "C:\\windows\\system32\\winebrowser.exe";
  auto line = BuildCommandLine(environment, "winebrowser.exe -nohome", kAddress);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Program, "C:\\windows\\system32\\winebrowser.exe");
  EXPECT_EQ(line->Parameters, "-nohome \"http://www.example.test/page?a=1\"");
  EXPECT_EQ(environment.looked_up, std::vector<std::string>{"winebrowser.exe"});

  // Not in the system folders: nothing to start, whatever the search path holds.
  EXPECT_FALSE(BuildCommandLine(environment, "browser.exe %1", kAddress).has_value());
}

TEST(BuildCommandLine, CommandsThatNameNoProgram) {
  FakeEnvironment environment;
  EXPECT_FALSE(BuildCommandLine(environment, "C:\\B\\browser.exe,1 %1", kAddress).has_value());
  EXPECT_FALSE(BuildCommandLine(environment, "rundll32 url.dll,FileProtocolHandler %1", kAddress).has_value());
  EXPECT_FALSE(BuildCommandLine(environment, "", kAddress).has_value());
  // An address ending in ".exe" is never started in place of a browser.
  EXPECT_FALSE(BuildCommandLine(environment, "", "C:\\windows\\system32\\cmd.exe").has_value());
  EXPECT_FALSE(BuildCommandLine(environment, "no program here", "http://evil.test/setup.exe").has_value());
}

TEST(BuildCommandLine, EnvironmentVariablesAreExpanded) {
  FakeEnvironment environment;
  environment.variables["ProgramFiles"] = "C:\\Program Files";
  auto line = BuildCommandLine(environment, "\"%ProgramFiles%\\B\\browser.exe\" \"%1\"", kAddress);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Program, "C:\\Program Files\\B\\browser.exe");
  EXPECT_EQ(line->Parameters, "\"http://www.example.test/page?a=1\"");

  // When expansion fails the template is used as it stands.
  environment.fail_expansion = true;
  EXPECT_EQ(Parameters(environment, "\"C:\\B\\browser.exe\" %1", kAddress), "http://www.example.test/page?a=1");
}

TEST(BuildCommandLine, AddressesPassUnchangedAndStayOneArgument) {
  FakeEnvironment environment;
  // Escapes in the address are not placeholders of the template.
  EXPECT_EQ(Parameters(environment, "\"C:\\B\\browser.exe\" -url \"%1\"", "http://x.test/a%20b%1"),
            "-url \"http://x.test/a%20b%1\"");
  EXPECT_EQ(Parameters(environment, "C:\\B\\browser.exe %1", "http://x.test/a%20b"), "http://x.test/a%20b");

  // Blanks, quotes, backslashes and other code pages' bytes are encoded (control
  // characters never get this far: no web address holds one).
  EXPECT_EQ(Parameters(environment, "C:\\B\\browser.exe %1", "http://x.test/?item=Parlix Desk\"\\\xE9"),
            "http://x.test/?item=Parlix%20Desk%22%5C%E9");

  // An empty address is not refused: the browser starts without a page.
  EXPECT_EQ(Parameters(environment, "\"C:\\B\\browser.exe\" -url \"%1\"", ""), "-url \"\"");
}

// Whatever the registered template, the browser gets the program and the address as
// exactly one argument, in the place a harmless address would take: checked by
// splitting the command line as the browser's start-up code does.
TEST(BuildCommandLine, HostileAddressesCannotBreakOutOfTheirArgument) {
  const char* const templates[] = {
      "\"C:\\B\\b.exe\" -url \"=%1\"",
      "\"C:\\B\\b.exe\" \"%1\" -new-window",
      "C:\\B\\b.exe %1",
      "C:\\B\\b.exe -a %1 -b",
      "\"C:\\B\\b.exe\" -nohome",
      "\"C:\\B\\b.exe\"",
      "\"C:\\B\\b.exe\" --x=\"%1\" -y",
      "\"C:\\B\\b.exe\" \"%1",
      "\"C:\\B\\b.exe\" \"-u=\\\"%1\\\"\"",
      "\"C:\\Program Files\\B\\b.exe\" -osint -url \"%1\" %*",
  };
  const char* const addresses[] = {
      "http://x/a --evil",
      "http://x/a b\\",
      "http://x/a\\\" -profile \"C:\\evil",
      "http://x/a\\\\\\\" \"-c",
      "https://x/ -t ",
      "http://x/\xE9t\xE9 \"\"",
      "http://x/a%1b%*",
      "http://x/a\"\" --",
      "HTTP://X/\\\\server\\share",
  };
  const std::string benign = "http://b/";
  for (const char* command : templates) {
    FakeEnvironment environment;
    const auto base = BuildCommandLine(environment, command, benign);
    ASSERT_TRUE(base.has_value()) << command;
    const auto base_args = testing::SplitWindowsCommandLine("\"" + base->Program + "\" " + base->Parameters);
    for (const char* address : addresses) {
      SCOPED_TRACE(std::string(command) + " <- " + address);
      ASSERT_TRUE(IsWebAddress(address));
      const auto line = BuildCommandLine(environment, command, address);
      ASSERT_TRUE(line.has_value());
      const auto args = testing::SplitWindowsCommandLine("\"" + line->Program + "\" " + line->Parameters);
      ASSERT_EQ(args.size(), base_args.size()) << line->Parameters;
      int holding = 0;
      for (std::size_t i = 0; i < args.size(); ++i) {
        const std::size_t at = base_args[i].find(benign);
        if (at == std::string::npos) {
          EXPECT_EQ(args[i], base_args[i]);
          continue;
        }
        ++holding;
        // The same argument with the address in the harmless one's place; the address
        // decodes back to what was asked for.
        const std::string tail = base_args[i].substr(at + benign.size());
        ASSERT_GE(args[i].size(), at + tail.size());
        EXPECT_EQ(args[i].substr(0, at), base_args[i].substr(0, at));
        EXPECT_EQ(args[i].substr(args[i].size() - tail.size()), tail);
        EXPECT_EQ(PercentDecode(args[i].substr(at, args[i].size() - at - tail.size())),
                  PercentDecode(address));
      }
      EXPECT_EQ(holding, 1) << line->Parameters;
    }
  }
}

TEST(BuildCommandLine, AddressesThatAreNoWebPageGiveNoCommand) {
  FakeEnvironment environment;
  for (const char* address : {"\\\\host\\share\\x", "file:///C:/windows/system32/calc.exe", "-new-window",
                              "-http://x/", " http://x/", "http://x/\t-t", "C:\\x.htm", "javascript:alert(1)", "http://x/\r\n-y",
                              "http:///etc", "http://\\\\host\\share", "ftp://x/", "http:x"}) {
    EXPECT_FALSE(IsWebAddress(address)) << address;
    EXPECT_FALSE(BuildCommandLine(environment, "\"C:\\B\\b.exe\" %1", address).has_value()) << address;
  }
  EXPECT_FALSE(IsWebAddress(std::string("http://x/\0y", 11)));
  EXPECT_FALSE(IsWebAddress("http://x/" + std::string(kMaxWebAddressSize, 'a')));
  EXPECT_TRUE(IsWebAddress("HTTPS://Example.test"));
}

TEST(ContactLink, OnlyMailAndWebAddresses) {
  for (const char* link : {"mailto:support@parlix.example", "MAILTO:Support@Parlix.example?subject=Hi",
                           "http://www.parlix.example/contact", "https://www.parlix.example/contact"})
    EXPECT_TRUE(IsContactLink(link)) << link;
  for (const char* link : {"", "mailto:", "mailto:a@b\r\nx", "http://\\\\server\\share",
                           "C:\\windows\\system32\\cmd.exe", "file:///C:/windows/system32/calc.exe",
                           "\\\\server\\share\\run.bat", " mailto:a@b"})
    EXPECT_FALSE(IsContactLink(link)) << link;
}

TEST(FormatDonationUrl, Placeholders) {
  const std::vector<std::string> args = {"Parlix Desk Translator 2.5", "Donate", ""};
  EXPECT_EQ(FormatDonationUrl("http://d.test/?item=%s&action=%s&ref=%s", args),
            "http://d.test/?item=Parlix Desk Translator 2.5&action=Donate&ref=");
  EXPECT_EQ(FormatDonationUrl("http://d.test/%1:s/%0:s/%s", args), "http://d.test/Donate/Parlix Desk Translator 2.5/Donate");
  EXPECT_EQ(FormatDonationUrl("http://d.test/?a=%S&p=100%%", args), "http://d.test/?a=Parlix Desk Translator 2.5&p=100%");
  EXPECT_EQ(FormatDonationUrl("http://d.test/plain", args), "http://d.test/plain");
  EXPECT_EQ(FormatDonationUrl("", args), "");
}

TEST(FormatDonationUrl, InvalidTemplatesGiveNothing) {
  const std::vector<std::string> args = {"a", "b", "c"};
  for (const char* bad : {"%s%s%s%s", "http://d.test/?x=%d", "http://d.test/%", "%3:s", "%1s", "%1:", "%x",
                          "%99999999999999999999:s", "http://d.test/%20page"})
    EXPECT_FALSE(FormatDonationUrl(bad, args).has_value()) << bad;
}

TEST(DonationPageAddress, ProductArgumentsInOrder) {
  EXPECT_EQ(DonationPageAddress("http://d.test/x?i=%s&a=%s&r=%s|"),
            "http://d.test/x?i=Parlix Desk Translator 2.5&a=Donate&r=|");
  // The filled template must still be a web page.
  EXPECT_FALSE(DonationPageAddress("\\\\host\\x?i=%s&a=%s&r=%s").has_value());
  EXPECT_FALSE(DonationPageAddress("%s://x/").has_value());
  EXPECT_FALSE(DonationPageAddress("").has_value());
  EXPECT_FALSE(DonationPageAddress("x?i=%s%s%s%s").has_value());
}

}  // namespace
}  // namespace parlix
