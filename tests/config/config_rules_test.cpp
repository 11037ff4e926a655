// The configuration window's pure rules: the filling order and the Autodetect toggle, and
// the texts the desktop integrations write and recognise.
#include <gtest/gtest.h>

#include <tuple>

#include "config/config_values.h"
#include "config/integration.h"
#include "net/proxy_settings.h"

namespace parlix {
namespace {

TProxySettings Stored(bool autodetect) {
  return {.Autodetect = autodetect, .Enabled = true, .Authenticate = true, .Address = "stored", .Port = "3128",
          .Username = "alice", .Password = "pw"};
}

// Every field of the proxy settings, so one comparison shows both sides whole.
auto Fields(const TProxySettings& p) {
  return std::tie(p.Autodetect, p.Enabled, p.Authenticate, p.Address, p.Port, p.Username, p.Password);
}

// Everything the proxy group shows, for one comparison.
auto Shown(const TProxyControls& c) {
  return std::tie(c.autodetect, c.details_enabled, c.use_proxy, c.address, c.port, c.authenticate, c.username,
                  c.password);
}

struct CountingDetector {
  int calls = 0;
  TDetectedProxy answer;
  ProxyDetector Get() {
    return [this] {
      ++calls;
      return answer;
    };
  }
};

TEST(ConfigValues, FillingRunsOneDetectionUnderAutodetectYetShowsTheStoredValues) {
  CountingDetector detector;
  detector.answer = {true, "fresh", "8080"};
  const TProxyControls on = FillProxyControls(Stored(true), detector.Get());
  EXPECT_EQ(detector.calls, 1);
  EXPECT_EQ(Shown(on), std::tuple(true, false, true, "stored", "3128", true, "alice", "pw"));

  const TProxyControls off = FillProxyControls(Stored(false), detector.Get());
  EXPECT_EQ(detector.calls, 1);  // no detection without Autodetect
  EXPECT_EQ(Shown(off), std::tuple(false, true, true, "stored", "3128", true, "alice", "pw"));
  // What the window holds is what closing writes back.
  EXPECT_EQ(Fields(ProxySettingsFrom(off)), Fields(Stored(false)));
}

TEST(ConfigValues, TickingDetectsAndClearingBringsTheStoredValuesBack) {
  CountingDetector detector;
  const TProxySettings stored = Stored(false);
  TProxyControls controls = FillProxyControls(stored, detector.Get());
  controls.username = "typed";

  detector.answer = {true, "fresh", "8080"};
  AutodetectToggled(controls, true, stored, detector.Get());
  // The credentials keep what they show.
  EXPECT_EQ(Shown(controls), std::tuple(true, false, true, "fresh", "8080", true, "typed", "pw"));

  // The system switch on but no entry for http: the proxy goes off, address and port empty.
  detector.answer = {true, "", ""};
  AutodetectToggled(controls, true, stored, detector.Get());
  EXPECT_EQ(Shown(controls), std::tuple(true, false, false, "", "", true, "typed", "pw"));
  // An entry but the switch off: shown, not used.
  detector.answer = {false, "gate", "80"};
  AutodetectToggled(controls, true, stored, detector.Get());
  EXPECT_EQ(Shown(controls), std::tuple(true, false, false, "gate", "80", true, "typed", "pw"));

  AutodetectToggled(controls, false, stored, detector.Get());
  EXPECT_EQ(Shown(controls), std::tuple(false, true, true, "stored", "3128", true, "alice", "pw"));
  EXPECT_EQ(detector.calls, 3);
}

TEST(ConfigValues, EngineGroupFillsApertiumsServerAndRefusesWhatIsNoWebAddress) {
  TEngineControls controls = FillEngineControls({EngineKind::kPage, "", ""});
  EXPECT_FALSE(controls.address_enabled);
  EngineKindChosen(controls, EngineKind::kApertium);
  EXPECT_EQ(controls.address, kApertiumPublicAddress);
  EXPECT_TRUE(controls.address_enabled);
  EXPECT_FALSE(controls.key_enabled);
  controls.address = "  http://localhost:5000 ";
  controls.key = "k";
  EngineKindChosen(controls, EngineKind::kLibreTranslate);
  EXPECT_TRUE(controls.key_enabled);
  const std::optional<TEngineSettings> taken = EngineSettingsFrom(controls);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->address, "http://localhost:5000");
  for (const char* bad : {"", "localhost:5000", "javascript:alert(1)"}) {
    controls.address = bad;
    EXPECT_FALSE(EngineSettingsFrom(controls)) << bad;
  }
  // The page service has its own address: an empty field is no refusal there.
  controls.address = "";
  EngineKindChosen(controls, EngineKind::kPage);
  EXPECT_TRUE(EngineSettingsFrom(controls));
}

TEST(Integration, RunValueQuotesThePathAndRecognisesOnlyThisProgram) {
  const std::string program = "C:\\Program Files\\Parlix\\parlix.exe";
  EXPECT_EQ(RunValueData(program), "\"C:\\Program Files\\Parlix\\parlix.exe\" /auto");
  EXPECT_TRUE(NamesProgram(RunValueData(program), program));
  EXPECT_TRUE(NamesProgram("c:\\program files\\PARLIX\\parlix.exe /auto", program));  // the old bare form
  EXPECT_TRUE(NamesProgram(program, program));
  EXPECT_TRUE(NamesProgram("  \"" + program + "\"", program));
  EXPECT_FALSE(NamesProgram("C:\\Program Files\\Parlix\\parlix.exe.bak /auto", program));
  EXPECT_FALSE(NamesProgram("\"C:\\Program Files\\Parlix\\parlix.exe /auto", program));  // no closing quote
  EXPECT_FALSE(NamesProgram("C:\\Other\\other.exe /tray", program));
  EXPECT_FALSE(NamesProgram("C:\\Program", program));
  EXPECT_FALSE(NamesProgram("", program));
  EXPECT_FALSE(NamesProgram("anything", ""));
}

TEST(Integration, BrowserButtonKeyValuesAndFolders) {
  EXPECT_EQ(BrowserButtonKey("{A-B}"), "Software\\Microsoft\\Internet Explorer\\Extensions\\{A-B}\\");
  std::vector<std::pair<std::string, std::string>> values;
  for (const TRegValue& v : BrowserButtonValues("Parlix", "Parlix Desk Translator", "C:\\p.exe", "C:\\i.ico"))
    values.emplace_back(v.name, v.data);
  const std::vector<std::pair<std::string, std::string>> expected{
      {"ButtonText", "Parlix"},  {"MenuText", "Parlix"},
      {"MenuStatusBar", "Parlix Desk Translator"}, {"ClSid", "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}"},
      {"Default Visible", "Yes"}, {"Exec", "C:\\p.exe"},
      {"HotIcon", "C:\\i.ico"}, {"Icon", "C:\\i.ico"}};
  EXPECT_EQ(values, expected);
  EXPECT_FALSE(IsUsableShellFolder(""));
  EXPECT_FALSE(IsUsableShellFolder("\\"));
  EXPECT_TRUE(IsUsableShellFolder("C:\\users\\me\\Desktop\\"));
  EXPECT_EQ(FolderOf("C:\\A\\b.exe"), "C:\\A\\");
  EXPECT_EQ(FolderOf("b.exe"), "");
}

}  // namespace
}  // namespace parlix
