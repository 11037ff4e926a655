// The whole program against a hostile path to its servers: a service file that names a
// UNC path to open, translation answers cut short or far too large. Nothing opens that
// is not a web page, every failure ends in the program's error words, and no answer
// file is left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/web_page.h"
#include "service/service_file.h"
#include "shared/code_cript.h"
#include "shared/literals.h"
#include "support/driver_win.h"

namespace parlix::test {
namespace {

constexpr char kRecorderName[] = "parlix_page_recorder.exe";
const std::string kUserHtmKey = std::string(kFileExtsKey) + ".htm";
const std::string kAppKey = std::string("Applications\\") + kRecorderName;

std::string RecorderPath() { return UnixToWindowsPath(PARLIX_PAGE_RECORDER); }

std::optional<std::string> ReadValue(HKEY root, const std::string& key, const char* name) {
  char buffer[2048];
  DWORD size = sizeof(buffer);
  DWORD type = 0;
  if (RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, &type, buffer, &size) != ERROR_SUCCESS) return std::nullopt;
  return std::string(buffer);
}

bool WriteValue(HKEY root, const std::string& key, const char* name, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG result = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}

class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    standins_ = Standins();
    ASSERT_TRUE(standins_.Running()) << "run through tools/with-standins";
    service_file_ = standins_.control_file + ".service.txt";
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    recorded_ = std::string(temp) + "parlix_hostile_recorded.txt";
    DeleteFileA(recorded_.c_str());
    // The program inherits this: the stand-in browser writes its command line there.
    ASSERT_TRUE(SetEnvironmentVariableA("PARLIX_RECORDER_OUT", recorded_.c_str()));
    saved_application_ = ReadValue(HKEY_CURRENT_USER, kUserHtmKey, "Application");
    ASSERT_TRUE(WriteValue(HKEY_CURRENT_USER, kUserHtmKey, "Application", kRecorderName));
    std::string command = "\"";
    command += RecorderPath();
    command += "\" \"%1\"";
    ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, kAppKey + "\\shell\\open\\command", nullptr, command));
    dat_before_ = TempDatFiles();
  }
  void TearDown() override {
    Stop();
    standins_.SetControl("{}");
    DeleteFileA(service_file_.c_str());
    DeleteFileA(recorded_.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kAppKey.c_str());
    if (saved_application_) {
      WriteValue(HKEY_CURRENT_USER, kUserHtmKey, "Application", *saved_application_);
    } else {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserHtmKey.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Application");
        RegCloseKey(key);
      }
    }
    SetEnvironmentVariableA("PARLIX_RECORDER_OUT", nullptr);
  }

  void Stop() {
    if (program_) program_->ExitDismissingBoxes();
    program_.reset();
  }

  void Start() {
    WriteSettingsWithProxy(standins_.port);
    program_ = std::make_unique<TProgram>();
    main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
    ASSERT_NE(main_, nullptr);
  }

  void ServeServiceFile(const std::string& popup_url) {
    const std::string ini = "[Signature]\r\nName=Parlix\r\n[Updates]\r\nBuild=025000\r\n[Home]\r\nPopupMsg=News\r\n"
                            "PopupUrl=" + popup_url + "\r\n";
    ASSERT_TRUE(WriteFileBytes(service_file_, EncodeServiceText(ini, Unscramble(kServiceAlphabetLit))));
    std::string unix_path = service_file_.substr(2);
    std::replace(unix_path.begin(), unix_path.end(), '\\', '/');
    ASSERT_TRUE(standins_.SetControl("{\"service_file\": \"" + unix_path + "\"}"));
  }

  // The daily message arrives and is dismissed; the page, if any, opens after it.
  void DismissDailyMessage() {
    HWND box = program_->WaitForMessageBox(30s);
    ASSERT_NE(box, nullptr) << "the service file did not arrive";
    ASSERT_EQ(MessageBoxText(box), "News");
    PressButton(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return program_->FindMessageBox() == nullptr; }));
  }

  void Translate() {
    HWND memo = FindChild(main_, "Edit");
    ASSERT_NE(memo, nullptr);
    SendMessageA(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("thank you"));
    PostMessageA(main_, WM_USER + 4, 0, 0);
  }

  // The translation ends in an error box with `words`; afterwards no answer file is left.
  void ExpectTranslationError(const std::string& words) {
    Translate();
    HWND box = program_->WaitForMessageBox(40s);
    ASSERT_NE(box, nullptr) << "no error box: the request hangs";
    EXPECT_EQ(MessageBoxText(box).rfind(words + "\r\n", 0), 0u) << MessageBoxText(box);
    PressButton(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return program_->FindMessageBox() == nullptr; }));
    for (const std::string& f : TempDatFiles()) {
      EXPECT_NE(std::find(dat_before_.begin(), dat_before_.end(), f), dat_before_.end()) << f << " left behind";
    }
  }

  TStandins standins_;
  std::string service_file_;
  std::string recorded_;
  std::optional<std::string> saved_application_;
  std::vector<std::string> dat_before_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
};

TEST_F(Hostile, UncPopupAddressOpensNothing) {
  // First the same file with a web address: the stand-in browser gets it, so its
  // silence below means something.
  ServeServiceFile("http://127.0.0.1:9/news");
  Start();
  DismissDailyMessage();
  ASSERT_TRUE(WaitUntil([&] { return FileExists(recorded_); }, 15s)) << "the browser never started";
  EXPECT_NE(ReadFileBytes(recorded_).find("\"http://127.0.0.1:9/news\""), std::string::npos) << ReadFileBytes(recorded_);
  Stop();
  DeleteFileA(recorded_.c_str());

  ServeServiceFile("\\\\127.0.0.1\\share\\x");
  Start();
  DismissDailyMessage();
  Sleep(3000);
  EXPECT_FALSE(FileExists(recorded_)) << ReadFileBytes(recorded_);
}

TEST_F(Hostile, TranslationAnswersCutShortOrTooLarge) {
  Start();
  // The stand-in announces the whole page and closes after these many body bytes.
  for (int cut : {0, 1, 150}) {
    SCOPED_TRACE(cut);
    ASSERT_TRUE(standins_.SetControl("{\"scope\": \"translate\", \"close_after\": " + std::to_string(cut) + "}"));
    ExpectTranslationError("Error: Connection failed.");
  }
  // A page past the answer limit, announced or not.
  std::string page = "<html><body>";
  page += std::string(9 * 1024 * 1024, 'x');
  page += "</body></html>";
  for (const char* transfer : {"length", "close"}) {
    SCOPED_TRACE(transfer);
    ASSERT_TRUE(standins_.SetControl(std::string("{\"scope\": \"translate\", \"transfer\": \"") + transfer +
                                     "\", \"page\": \"" + page + "\"}"));
    ExpectTranslationError("Error: Connection failed.");
  }
}

}  // namespace
}  // namespace parlix::test
