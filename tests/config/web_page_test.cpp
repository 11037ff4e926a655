// The ".htm" association lookup, the browser command line and the donation page template,
// against a registry and system folders held in memory.
#include "config/web_page.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

namespace parlix {
namespace {

class FakeRegistry : public IAssociationRegistry {
 public:
  // Setting a value creates the key and all its parents, as the registry would hold them.
  void Set(TRegistryRoot root, const std::string& key, const std::string& name, const std::string& value) {
    AddKey(root, key);
    values_[{root, Lower(key), Lower(name)}] = value;
  }
  void AddKey(TRegistryRoot root, const std::string& key) {
    for (std::size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
      keys_.insert({root, Lower(key.substr(0, at))});
    keys_.insert({root, Lower(key)});
  }

  bool KeyExists(TRegistryRoot root, const std::string& key) override {
    asked_.push_back(key);
    return keys_.count({root, Lower(key)}) != 0;
  }
  std::string ReadString(TRegistryRoot root, const std::string& key, const std::string& name) override {
    auto it = values_.find({root, Lower(key), Lower(name)});
    return it == values_.end() ? std::string() : it->second;
  }

  std::vector<std::string> asked_;

 private:
  // Registry names are matched without regard to case.
  static std::string Lower(std::string text) {
    for (char& c : text)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
  }
  std::set<std::pair<TRegistryRoot, std::string>> keys_;
  std::map<std::tuple<TRegistryRoot, std::string, std::string>, std::string> values_;
};

constexpr auto kHKCU = TRegistryRoot::kCurrentUser;
constexpr auto kHKCR = TRegistryRoot::kClassesRoot;

void SetCommand(FakeRegistry& registry, const std::string& class_key, const std::string& verb,
                const std::string& command) {
  registry.Set(kHKCR, class_key + "\\shell\\" + verb + "\\command", "", command);
}

std::string FileExt(const std::string& extension) { return std::string(kFileExtsKey) + extension; }

TEST(FindVerbCommand, VerbChoiceAndMissingKeys) {
  FakeRegistry registry;
  std::string command = "stale";
  EXPECT_FALSE(FindVerbCommand(registry, "nosuchfile", command));
  EXPECT_EQ(command, "");

  // The shell key's default names the verb, even when "open" exists too.
  SetCommand(registry, "browsefile", "open", "open.exe %1");
  SetCommand(registry, "browsefile", "view", "view.exe %1");
  registry.Set(kHKCR, "browsefile\\shell", "", "view");
  ASSERT_TRUE(FindVerbCommand(registry, "browsefile", command));
  EXPECT_EQ(command, "view.exe %1");

  // Without a default verb: "open" first, then "opennew".
  SetCommand(registry, "newonly", "opennew", "new.exe %1");
  ASSERT_TRUE(FindVerbCommand(registry, "newonly", command));
  EXPECT_EQ(command, "new.exe %1");
  SetCommand(registry, "newonly", "open", "open.exe %1");
  ASSERT_TRUE(FindVerbCommand(registry, "newonly", command));
  EXPECT_EQ(command, "open.exe %1");

  // A default value listing several verbs is one key name, and finds no command.
  registry.Set(kHKCR, "listed\\shell", "", "open,print");
  SetCommand(registry, "listed", "open", "open.exe %1");
  ASSERT_TRUE(FindVerbCommand(registry, "listed", command));
  EXPECT_EQ(command, "");

  // An existing class without any verb: known, but no command.
  registry.AddKey(kHKCR, "bare");
  command = "stale";
  ASSERT_TRUE(FindVerbCommand(registry, "bare", command));
  EXPECT_EQ(command, "");
}

TEST(FindOpenCommand, OrderOfPreference) {
  FakeRegistry registry;
  std::string command = "stale";
  EXPECT_FALSE(FindOpenCommand(registry, ".htm", command));
  EXPECT_EQ(command, "");

  registry.Set(kHKCR, ".htm", "PerceivedType", "text");
  SetCommand(registry, "SystemFileAssociations\\text", "open", "perceived.exe %1");
  ASSERT_TRUE(FindOpenCommand(registry, ".htm", command));
  EXPECT_EQ(command, "perceived.exe %1");

  registry.Set(kHKCR, ".htm", "", "htmlfile");
  SetCommand(registry, "htmlfile", "open", "class.exe %1");
  ASSERT_TRUE(FindOpenCommand(registry, ".htm", command));
  EXPECT_EQ(command, "class.exe %1");

  registry.Set(kHKCU, FileExt(".htm"), "ProgID", "ChosenHtml");
  SetCommand(registry, "ChosenHtml", "open", "progid.exe %1");
  ASSERT_TRUE(FindOpenCommand(registry, ".htm", command));
  EXPECT_EQ(command, "progid.exe %1");

  // The per-user application wins even though the class registry names another program.
  registry.Set(kHKCU, FileExt(".htm"), "Application", "mybrowser.exe");
  SetCommand(registry, "Applications\\mybrowser.exe", "open", "\"C:\\B\\mybrowser.exe\" \"%1\"");
  ASSERT_TRUE(FindOpenCommand(registry, ".htm", command));
  EXPECT_EQ(command, "\"C:\\B\\mybrowser.exe\" \"%1\"");
}

TEST(FindOpenCommand, EmptyCandidatesFallThroughAndKnownWithoutCommand) {
  FakeRegistry registry;
  std::string command;
  // A per-user entry whose application has no class key falls through to the class registry.
  registry.Set(kHKCU, FileExt(".htm"), "Application", "gone.exe");
  ASSERT_TRUE(FindOpenCommand(registry, ".htm", command));
  EXPECT_EQ(command, "");
  registry.Set(kHKCR, ".htm", "", "htmlfile");
  SetCommand(registry, "htmlfile", "open", "class.exe %1");
  ASSERT_TRUE(FindOpenCommand(registry, ".htm", command));
  EXPECT_EQ(command, "class.exe %1");
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
      // The placeholder ends at the first quote or blank, so later options are kept.
      {"C:\\B\\browser.exe %1 -profile \"C:\\P\"", "C:\\B\\browser.exe",
       "http://www.example.test/page?a=1 -profile \"C:\\P\""},
  };
  for (const CommandCase& c : cases) {
    FakeEnvironment environment;
    const auto line = BuildCommandLine(environment, c.command_template, kAddress);
    ASSERT_TRUE(line.has_value()) << c.command_template;
    EXPECT_EQ(line->Program, c.program) << c.command_template;
    EXPECT_EQ(line->Parameters, c.parameters) << c.command_template;
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
  line = BuildCommandLine(environment, "\"C:\\B\\browser.exe\" %1", kAddress);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Parameters, "http://www.example.test/page?a=1");
}

TEST(BuildCommandLine, AddressesPassUnchangedAndStayOneArgument) {
  FakeEnvironment environment;
  // Escapes in the address are not placeholders of the template.
  auto line = BuildCommandLine(environment, "\"C:\\B\\browser.exe\" -url \"%1\"", "http://x.test/a%20b%1");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Parameters, "-url \"http://x.test/a%20b%1\"");
  line = BuildCommandLine(environment, "C:\\B\\browser.exe %1", "http://x.test/a%20b");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Parameters, "http://x.test/a%20b");

  // A quote in the address cannot close the argument and add options of its own.
  const std::string hostile = "http://x.test/\" -profile \"C:\\evil";
  line = BuildCommandLine(environment, "\"C:\\B\\browser.exe\" -url \"%1\"", hostile);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Parameters, "-url \"http://x.test/%22 -profile %22C:\\evil\"");
  line = BuildCommandLine(environment, "\"C:\\B\\browser.exe\" -nohome", hostile);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Parameters, "-nohome \"http://x.test/%22 -profile %22C:\\evil\"");

  // Blanks in an address put where the template has no quotes are quoted.
  line = BuildCommandLine(environment, "C:\\B\\browser.exe %1", "http://x.test/?item=Parlix Desk");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Parameters, "\"http://x.test/?item=Parlix Desk\"");
  line = BuildCommandLine(environment, "\"C:\\B\\browser.exe\"", "http://x.test/?item=Parlix Desk");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Parameters, "\"http://x.test/?item=Parlix Desk\"");

  // An empty address is not refused: the browser starts without a page.
  line = BuildCommandLine(environment, "\"C:\\B\\browser.exe\" -url \"%1\"", "");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->Parameters, "-url \"\"");
}

TEST(ContactLink, OnlyMailAndWebAddresses) {
  EXPECT_TRUE(IsContactLink("mailto:support@parlix.example"));
  EXPECT_TRUE(IsContactLink("MAILTO:Support@Parlix.example?subject=Hi"));
  EXPECT_TRUE(IsContactLink("http://www.parlix.example/contact"));
  EXPECT_TRUE(IsContactLink("https://www.parlix.example/contact"));
  EXPECT_FALSE(IsContactLink(""));
  EXPECT_FALSE(IsContactLink("mailto:"));
  EXPECT_FALSE(IsContactLink("C:\\windows\\system32\\cmd.exe"));
  EXPECT_FALSE(IsContactLink("file:///C:/windows/system32/calc.exe"));
  EXPECT_FALSE(IsContactLink("\\\\server\\share\\run.bat"));
  EXPECT_FALSE(IsContactLink(" mailto:a@b"));
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
                          "%99999999999999999999:s", "http://d.test/%20page"}) {
    EXPECT_FALSE(FormatDonationUrl(bad, args).has_value()) << bad;
  }
}

TEST(DonationPageAddress, ProductArgumentsInOrder) {
  EXPECT_EQ(DonationPageAddress("x?i=%s&a=%s&r=%s|"), "x?i=Parlix Desk Translator 2.5&a=Donate&r=|");
  EXPECT_FALSE(DonationPageAddress("").has_value());
  EXPECT_FALSE(DonationPageAddress("x?i=%s%s%s%s").has_value());
}

}  // namespace
}  // namespace parlix
