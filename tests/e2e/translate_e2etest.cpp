#include "support/session_win.h"

namespace parlix::test {
namespace {

class Translation : public ProgramTest {
 protected:
  void Start(int proxy_port = 0) { ASSERT_TRUE(session_.Start(proxy_port != 0 ? proxy_port : standins_.port)); }

  HWND WaitLabel() const {
    for (HWND child : Children(main_, "TParlixControl")) {
      const std::string text = WindowText(child);
      if (text.rfind("Error", 0) == 0 || text.rfind("Requesting", 0) == 0) return child;
    }
    return nullptr;
  }
  std::string WaitText() const {
    HWND label = WaitLabel();
    return label != nullptr && IsWindowVisible(label) ? WindowText(label) : "";
  }
  bool WaitPanelShown() const { return !WaitText().empty(); }
  HWND CancelLabel() const { return FindChild(main_, "TParlixControl", std::string("cancel")); }
  HWND TranslateBt() const { return FindChild(main_, "TParlixControl", std::string("Translate")); }
  bool ControlsEnabled() const { return IsWindowEnabled(memo_) && IsWindowEnabled(TranslateBt()); }

  void Click(HWND control) {
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  }

  // A translation of the sample that ends in the error box, leaving no answer file.
  void ExpectFailedSample(const std::string& message) {
    session_.Translate(kSample);
    ExpectErrorBox(message);
    EXPECT_TRUE(session_.NoNewAnswerFile());
  }

  // Waits for the error box, checks its text and the wait panel's, and closes it.
  void ExpectErrorBox(const std::string& message) {
    ASSERT_NE(program_->WaitForMessageBox(), nullptr) << "no box for " << message;
    EXPECT_EQ(WaitText(), message);
    EXPECT_EQ(session_.DismissBox(), message + kErrorTail);
  }
};

TEST_F(Translation, SampleLandsInTheResultWindow) {
  Start();
  session_.Translate(kSample);
  ASSERT_TRUE(session_.WaitForResult(kSampleSpanish)) << session_.Result();
  EXPECT_TRUE(WaitUntil([&] { return !WaitPanelShown() && ControlsEnabled(); }));
  EXPECT_TRUE(WaitUntil([&] { return session_.NoNewAnswerFile(); }));

  // Left of the main window, tops aligned.
  const RECT main_rect = WindowRect(main_), result_rect = WindowRect(program_->FindTopWindow("TTransForm"));
  EXPECT_EQ(result_rect.top, main_rect.top);
  EXPECT_EQ(result_rect.left, main_rect.left + 2 - 250 - 10)
      << "main at " << main_rect.left << "," << main_rect.top << " screen " << GetSystemMetrics(SM_CXSCREEN);
}

TEST_F(Translation, ErrorStatusesGiveServiceUnavailable) {
  Start();
  for (int status : {404, 500}) {
    standins_.SetControl("{\"status\": " + std::to_string(status) + ", \"scope\": \"translate\"}");
    ExpectFailedSample("Error: Service unavailable.");
    EXPECT_TRUE(WaitUntil([&] { return ControlsEnabled(); }));
  }
}

TEST_F(Translation, EmptyBodyGivesCannotDownload) {
  Start();
  standins_.SetControl("{\"body\": \"empty\"}");
  ExpectFailedSample("Error: Cannot download file.");
}

TEST_F(Translation, NoListenerGivesConnectionFailed) {
  Start(1);  // nothing listens on port 1 of the loopback
  ExpectFailedSample("Error: Connection failed.");
}

TEST_F(Translation, PageWithoutMarkersGivesProtocolChanged) {
  Start();
  standins_.SetControl("{\"body\": \"no_markers\"}");
  session_.Translate(kSample);
  ASSERT_NE(program_->WaitForMessageBox(), nullptr);
  EXPECT_EQ(WaitText(), "Error: Google protocol changed.");
  EXPECT_EQ(session_.DismissBox(),
            "\r\nSomething has changed in the internal Google protocol,\r\n"
            "please notify this problem to us and check for an update soon...\r\n\r\nsupport@parlix.example");
  EXPECT_TRUE(WaitUntil([&] { return session_.NoNewAnswerFile(); }));
}

TEST_F(Translation, CancelDuringARequestIsSilent) {
  Start();
  standins_.SetControl("{\"delay\": 4}");
  session_.Translate(kSample);
  ASSERT_TRUE(WaitUntil([&] { return WaitText() == "Requesting translation..."; }));
  EXPECT_FALSE(ControlsEnabled());
  Click(CancelLabel());
  EXPECT_TRUE(WaitUntil([&] { return !WaitPanelShown() && ControlsEnabled(); }));
  Sleep(500);
  EXPECT_EQ(program_->FindMessageBox(), nullptr);
  // The service file fetched at start has a file of its own for a moment, which a loaded
  // machine can still show here.
  EXPECT_TRUE(WaitUntil([&] { return session_.NoNewAnswerFile(); }));
}

TEST_F(Translation, CancelWhileAnErrorShowsHidesThePanel) {
  Start();
  standins_.SetControl("{\"status\": 500}");
  session_.Translate(kSample);
  ExpectErrorBox("Error: Service unavailable.");
  ASSERT_TRUE(WaitPanelShown());
  Click(CancelLabel());
  EXPECT_TRUE(WaitUntil([&] { return !WaitPanelShown(); }));
  Sleep(300);
  EXPECT_EQ(program_->FindMessageBox(), nullptr);
}

TEST_F(Translation, BlankTextStartsNothing) {
  Start();
  session_.Translate("  \r\n \t \r\n");
  Sleep(700);
  EXPECT_FALSE(WaitPanelShown());
  EXPECT_TRUE(IsWindowEnabled(memo_));
  EXPECT_EQ(program_->FindTopWindow("TTransForm"), nullptr);
}

TEST_F(Translation, SecondRequestWhileTranslatingIsDropped) {
  Start();
  const std::string record = standins_.RecordRequests("\"delay\": 1.5");
  session_.Translate(kSample);
  PostMessageA(main_, WM_USER + 4, 0, 0);
  PostMessageA(main_, WM_USER + 4, 0, 0);
  ASSERT_TRUE(session_.WaitForResult(kSampleSpanish));
  Sleep(500);
  const std::string requests = ReadFileBytes(record);
  EXPECT_EQ(PostsIn(requests), 1) << requests;
}

TEST_F(Translation, ResultWindowCopiesTheWholeTextAndIsMadeAfresh) {
  Start();
  session_.Translate(kSample);
  ASSERT_TRUE(session_.WaitForResult(kSampleSpanish));
  HWND memo = session_.ResultMemo();
  SetClipboardText("before");
  test::SendBounded(memo, EM_SETSEL, 0, 3);
  PostMessageA(memo, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == std::string(kSampleSpanish); }));

  // A clipboard that another program holds open for a moment still gets the copy.
  SetClipboardText("held");
  ASSERT_TRUE(OpenClipboard(nullptr));
  PostMessageA(memo, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  Sleep(100);
  CloseClipboard();
  EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == std::string(kSampleSpanish); }))
      << "the copy was lost while the clipboard was busy";

  // An empty window leaves the clipboard alone.
  test::SendBounded(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  SetClipboardText("kept");
  PostMessageA(memo, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  Sleep(500);
  EXPECT_EQ(ClipboardText(), std::string("kept"));

  // Closing and translating again makes a fresh window.
  HWND first = program_->FindTopWindow("TTransForm");
  PostMessageA(first, WM_USER + 7, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(first); }));
  session_.Translate("thank you");
  ASSERT_TRUE(session_.WaitForResult("gracias")) << session_.Result();
}

// Each request runs on a thread of its own and unloads the socket library at its end; a
// library that lost track of the finished threads left a handle behind per translation.
TEST_F(Translation, ManyTranslationsLeaveTheProgramsHandlesFlat) {
  Start();
  const UINT diagnostics = RegisterWindowMessageA("ParlixDiagnostics");
  const auto translate_and_wait = [&](int round) {
    const bool sample = round % 2 == 0;
    session_.Translate(sample ? kSample : "thank you");
    const std::string expected = sample ? kSampleSpanish : "gracias";
    return session_.WaitForResult(expected) && WaitUntil([&] { return ControlsEnabled(); });
  };
  ASSERT_TRUE(translate_and_wait(0));
  ASSERT_TRUE(translate_and_wait(1));
  const LRESULT before = SendBounded(main_, diagnostics, 0, 0);  // kernel handles
  ASSERT_GT(before, 0);
  constexpr int kRounds = 30;
  for (int round = 0; round < kRounds; ++round) ASSERT_TRUE(translate_and_wait(round)) << "round " << round;
  const LRESULT after = SendBounded(main_, diagnostics, 0, 0);
  EXPECT_LE(after - before, 3) << kRounds << " translations: " << before << " handles before, " << after << " after";
}

TEST_F(Translation, ClosingDuringARequestStopsTheWorkerAndSavesSettings) {
  Start();
  const std::string record = standins_.RecordRequests("\"delay\": 5");
  session_.Translate(kSample);
  ASSERT_TRUE(WaitUntil([&] { return WaitText() == "Requesting translation..."; }));
  // Closed before its thread began, a worker ends without a word; this case is about a
  // request under way, so wait until the service has it.
  ASSERT_TRUE(WaitUntil([&] { return PostsIn(ReadFileBytes(record)) == 1; }));
  SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(SettingsFilePath().c_str());
  PostMessageA(main_, WM_USER + 7, 0, 0);
  HWND box = program_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "running " << program_->Running() << ", main " << IsWindow(main_) << ", panel '"
                          << WaitText() << "', result window " << (program_->FindTopWindow("TTransForm") != nullptr);
  EXPECT_EQ(MessageBoxText(box), std::string("Error: Cannot download file.") + kErrorTail);
  PressButton(box, IDOK);
  EXPECT_TRUE(program_->WaitForExit());
  EXPECT_TRUE(session_.NoNewAnswerFile());
  EXPECT_TRUE(FileExists(SettingsFilePath()));
}

}  // namespace
}  // namespace parlix::test
