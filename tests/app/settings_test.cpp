#include <gtest/gtest.h>

#include <tuple>

#include "app/settings.h"
#include "net/proxy_settings.h"
#include "support/memory_profile.h"

namespace parlix {
namespace {

using test::TMemoryProfile;

TDetectedProxy NoSystemProxy() { return {}; }

// Every field of the proxy settings, so one comparison shows both sides whole.
auto Fields(const TProxySettings& p) {
  return std::tie(p.Autodetect, p.Enabled, p.Authenticate, p.Address, p.Port, p.Username, p.Password);
}

void SetProxyKeys(TMemoryProfile& file, std::initializer_list<std::pair<const char*, const char*>> keys) {
  for (const auto& [key, value] : keys) file.Set("Proxy", key, value);
}

TEST(SettingsLoad, MissingFileGivesDefaultsAndCountsAsFirstRun) {
  TMemoryProfile file;
  const TSettingsValues v = LoadSettings(file, NoSystemProxy, TProxySettings{});
  EXPECT_TRUE(IsFirstRun(v));
  EXPECT_TRUE(NeedsRenewal(v));
  EXPECT_EQ(std::tie(v.current_pair, v.proxy.Autodetect, v.proxy.Enabled, v.ontop, v.monitor_clp, v.date_shown),
            std::tuple(1, true, false, false, false, ""));
}

TEST(SettingsLoad, NumbersAndBooleans) {
  TMemoryProfile file;
  file.Set("Language", "Last", "11");
  file.Set("Miscellaneous", "Ontop", "7");       // any non-zero integer is true
  file.Set("Miscellaneous", "MonitorClp", "yes");  // not a number: the default
  file.Set("Proxy", "Autodetect", "0");
  file.Set("Proxy", "Enabled", "-1");
  const TSettingsValues v = LoadSettings(file, NoSystemProxy, {});
  EXPECT_EQ(std::tie(v.current_pair, v.ontop, v.monitor_clp, v.proxy.Enabled), std::tuple(11, true, false, true));
  file.Set("Miscellaneous", "Ontop", "1x");
  EXPECT_FALSE(LoadSettings(file, NoSystemProxy, {}).ontop);
}

TEST(SettingsLoad, LastOutsideThePairTableFallsBackToTheDefault) {
  for (const char* stored : {"12", "-1", "99999999999", "abc", ""}) {
    TMemoryProfile file;
    file.Set("Language", "Last", stored);
    EXPECT_EQ(LoadSettings(file, NoSystemProxy, {}).current_pair, 1) << stored;
  }
  TMemoryProfile file;
  file.Set("Language", "Last", "0");
  EXPECT_EQ(LoadSettings(file, NoSystemProxy, {}).current_pair, 0);
}

TEST(SettingsLoad, AutodetectTakesTheSystemProxyAndIgnoresStoredKeys) {
  TMemoryProfile file;
  SetProxyKeys(file, {{"Autodetect", "1"}, {"Enabled", "1"}, {"Address", "stored"}, {"Port", "1"},
                      {"Authenticate", "1"}, {"Username", "u"}, {"Password", "p"}});
  TProxySettings cleared;  // what the window's creation set
  const auto detect = [] { return TDetectedProxy{true, "gate", "3128"}; };
  TSettingsValues v = LoadSettings(file, detect, cleared);
  EXPECT_EQ(Fields(v.proxy), Fields({.Autodetect = true, .Enabled = true, .Authenticate = false, .Address = "gate",
                                     .Port = "3128", .Username = "", .Password = ""}));

  // The switch alone is not enough: host and port must both be there.
  EXPECT_FALSE(LoadSettings(file, [] { return TDetectedProxy{true, "", "3128"}; }, cleared).proxy.Enabled);
  v = LoadSettings(file, [] { return TDetectedProxy{false, "gate", "3128"}; }, cleared);
  EXPECT_FALSE(v.proxy.Enabled);
  EXPECT_EQ(v.proxy.Address, "gate");
}

TEST(SettingsLoad, WithoutAutodetectAllSixProxyKeysAreUsedAsStored) {
  TMemoryProfile file;
  SetProxyKeys(file, {{"Autodetect", "0"}, {"Enabled", "1"}, {"Address", "127.0.0.1"}, {"Port", "8080"},
                      {"Authenticate", "1"}, {"Username", "alice"}, {"Password", "s3cret"}});
  bool asked = false;
  const TSettingsValues v = LoadSettings(file, [&] { asked = true; return TDetectedProxy{}; }, {});
  EXPECT_FALSE(asked);
  EXPECT_EQ(Fields(v.proxy), Fields({.Autodetect = false, .Enabled = true, .Authenticate = true, .Address = "127.0.0.1",
                                     .Port = "8080", .Username = "alice", .Password = "s3cret"}));
}

TEST(SettingsRenewal, VersionAndGuidRules) {
  TSettingsValues v;
  v.version = "025000";
  v.guid = "{00000000-0000-0000-0000-000000000000}";
  EXPECT_FALSE(IsFirstRun(v));
  EXPECT_FALSE(NeedsRenewal(v));
  v.guid.clear();
  EXPECT_FALSE(IsFirstRun(v));
  EXPECT_TRUE(NeedsRenewal(v));
  v.guid = "{x}";
  v.version = "024000";
  EXPECT_TRUE(NeedsRenewal(v));
  v.version = "025000 ";  // compared exactly
  EXPECT_TRUE(NeedsRenewal(v));
}

TEST(SettingsSave, WritesEverySectionAndKeyInOrder) {
  TMemoryProfile file;
  TSettingsValues v;
  v.guid = "{G}";
  v.current_pair = 4;
  v.proxy = {.Autodetect = false, .Enabled = true, .Address = "a", .Port = "80", .Username = "u", .Password = "p"};
  v.ontop = true;
  v.date_shown = "12/8/2026";
  SaveSettings(file, v);
  EXPECT_EQ(file.Text(),
            "[Parlix]\nVersion=025000\nGUID={G}\n"
            "[Language]\nLast=4\n"
            "[Proxy]\nAutodetect=0\nEnabled=1\nAddress=a\nPort=80\nAuthenticate=0\nUsername=u\nPassword=p\n"
            "[Miscellaneous]\nOntop=1\nMonitorClp=0\n"
            "[Popups]\nDateShown=12/8/2026\n"
            "[Engine]\nKind=page\nAddress=\nKey=\n");
}

TEST(SettingsLoad, EngineOfAFirstRunIsApertiumAndOfAnOlderFileThePageService) {
  TMemoryProfile first;
  const TEngineSettings fresh = LoadSettings(first, NoSystemProxy, {}).engine;
  EXPECT_EQ(std::tie(fresh.kind, fresh.address), std::tuple(EngineKind::kApertium, kApertiumPublicAddress));

  TMemoryProfile older;
  older.Set("Parlix", "Version", "025000");
  EXPECT_EQ(LoadSettings(older, NoSystemProxy, {}).engine.kind, EngineKind::kPage);

  TSettingsValues v;
  v.engine = {EngineKind::kLibreTranslate, "http://localhost:5000", "secret"};
  SaveSettings(older, v);
  const TEngineSettings back = LoadSettings(older, NoSystemProxy, {}).engine;
  EXPECT_EQ(std::tie(back.kind, back.address, back.key),
            std::tuple(EngineKind::kLibreTranslate, "http://localhost:5000", "secret"));
  // An address that is no web address is never asked: Apertium's public server instead.
  older.Set("Engine", "Address", "file:///c:/x");
  EXPECT_EQ(LoadSettings(older, NoSystemProxy, {}).engine.address, kApertiumPublicAddress);
}

TEST(SettingsSave, RefusedWriteRaisesUnableToWrite) {
  TMemoryProfile file;
  file.FailAfter(3);
  try {
    SaveSettings(file, TSettingsValues{});
    FAIL() << "no error raised";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to C:\\memory\\parlix.ini");
  }
}

TEST(SettingsRoundTrip, SavedValuesLoadBack) {
  TMemoryProfile file;
  TSettingsValues v;
  v.guid = "{ABC}";
  v.current_pair = 9;
  v.proxy = {.Autodetect = false, .Enabled = true, .Authenticate = true, .Address = "host", .Port = "3128",
             .Username = "user", .Password = "pw"};
  v.monitor_clp = true;
  v.date_shown = "1/2/2026";
  SaveSettings(file, v);
  const TSettingsValues back = LoadSettings(file, NoSystemProxy, {});
  EXPECT_EQ(std::tie(back.version, back.guid, back.current_pair, back.monitor_clp, back.ontop, back.date_shown),
            std::tuple("025000", "{ABC}", 9, true, false, "1/2/2026"));
  EXPECT_EQ(Fields(back.proxy), Fields(v.proxy));
}

}  // namespace
}  // namespace parlix
