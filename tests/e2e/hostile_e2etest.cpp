// The whole program against a hostile path to its servers: a service file that names a
// UNC path to open, translation answers cut short or far too large. Nothing opens that
// is not a web page, every failure ends in the program's error words, and no answer
// file is left behind.
#include <string>

#include "config/web_page.h"
#include "support/registry_win.h"
#include "support/session_win.h"

namespace parlix::test {
namespace {

constexpr char kRecorderName[] = "parlix_page_recorder.exe";
const std::string kUserHtmKey = std::string(kFileExtsKey) + ".htm";
const std::string kAppKey = std::string("Applications\\") + kRecorderName;

std::string RecorderPath() { return UnixToWindowsPath(PARLIX_PAGE_RECORDER); }

class Hostile : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_FALSE(TempFolder().empty());
    recorded_ = TempFolder() + "parlix_hostile_recorded.txt";
    DeleteFileA(recorded_.c_str());
    // The program inherits this: the stand-in browser writes its command line there.
    ASSERT_TRUE(SetEnvironmentVariableA("PARLIX_RECORDER_OUT", recorded_.c_str()));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kUserHtmKey, "Application", kRecorderName));
    const std::string command = std::string("\"").append(RecorderPath()).append("\" \"%1\"");
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, kAppKey + "\\shell\\open\\command", "", command));
  }
  void TearDown() override {
    ProgramTest::TearDown();
    DeleteFileA(recorded_.c_str());
    SetEnvironmentVariableA("PARLIX_RECORDER_OUT", nullptr);
  }

  void Start() { ASSERT_TRUE(session_.Start(standins_.port)); }

  void ServeServiceFile(const std::string& popup_url) {
    ASSERT_TRUE(standins_.ServeServiceFile(ServiceFileWithPopup("News", "PopupUrl=" + popup_url + "\r\n")));
  }

  // The daily message arrives and is dismissed; the page, if any, opens after it.
  void DismissDailyMessage() { ASSERT_EQ(session_.DismissBox(30s), "News") << "the service file did not arrive"; }

  // The translation ends in an error box with `words`; afterwards no answer file is left.
  void ExpectTranslationError(const std::string& words) {
    ExpectErrorBoxFor("thank you", words, 40s);
    EXPECT_TRUE(session_.NoNewAnswerFile()) << session_.NewAnswerFiles() << "left behind";
  }

  std::string recorded_;
  TSavedRegValue saved_application_{HKEY_CURRENT_USER, kUserHtmKey, "Application"};
  TSavedRegValue saved_command_{HKEY_CLASSES_ROOT, kAppKey, ""};
};

TEST_F(Hostile, UncPopupAddressOpensNothing) {
  // First the same file with a web address: the stand-in browser gets it, so its
  // silence below means something.
  ServeServiceFile("http://127.0.0.1:9/news");
  Start();
  DismissDailyMessage();
  ASSERT_TRUE(WaitUntil([&] { return FileExists(recorded_); }, 15s)) << "the browser never started";
  EXPECT_NE(ReadFileBytes(recorded_).find("\"http://127.0.0.1:9/news\""), std::string::npos) << ReadFileBytes(recorded_);
  session_.Close();
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
