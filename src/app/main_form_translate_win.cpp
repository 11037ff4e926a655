// Starting, stopping and finishing translations on the main window.
#include <memory>
#include <stdexcept>

#include "app/application_win.h"
#include "app/main_form_win.h"
#include "app/taskbar_win.h"
#include "config/web_page_win.h"
#include "net/proxy_settings.h"
#include "platform/code_page.h"
#include "platform/files_win.h"
#include "platform/stage_clock.h"
#include "shared/code_cript.h"
#include "shared/globals.h"
#include "shared/literals.h"
#include "translate/engine.h"
#include "translate/extract.h"
#include "translate/request.h"
#include "translate/trans_form_win.h"
#include "translate/trans_thread_win.h"

namespace parlix {

namespace {

constexpr char kContactAddress[] = "support@parlix.example";
constexpr int kMemoLeftInPanel = 2;

}  // namespace

void TMainForm::StartTranslation() {
  if (ServiceInfo.ClosedVersion) {
    MessageBoxA(hwnd_, Unscramble(kClosedVersionLit).c_str(), TApplication::Instance().Title().c_str(),
                MB_OK | MB_ICONINFORMATION);
    Sleep(250);
    OpenWebPage(ServiceInfo.HomeUrl);
    return;
  }
  if (Translating) return;
  const std::string text = TrimText(GetWindowString(memo_));
  if (text.empty()) return;

  stage_clock::Mark("asked");
  SetBusy(false);
  stage_clock::Mark("controls disabled");
  ShowStatus("Requesting translation...");
  if (TTransForm* result = TTransForm::Current()) result->SetText("");
  stage_clock::Mark("status shown");

  request_engine_ = EngineSettings;
  request_pair_ = CurrentPair;
  const bool page = request_engine_.kind == EngineKind::kPage;
  const EngineRequest request =
      page ? EngineRequest{Unscramble(kRequestAddressLit), BuildRequestBody(text, CurrentPair, SystemCodePage())}
           : BuildEngineRequest(request_engine_, RequestTextUtf8(text, SystemCodePage()), CurrentPair);
  Translating = true;
  answer_file_ = MakeTempFileName();
  stage_clock::Mark("answer file named");

  auto worker = std::make_unique<TTransThread>();
  TTransThread* started = worker.get();
  worker->RequestURL = request.url;
  worker->RequestBody = request.body;
  worker->EngineExplains = !page;
  worker->AnswerFileName = answer_file_;
  worker->Proxy = ProxySettings;
  worker->OnTranslationDone = [this](int result_code, int status) { TranslationDone(result_code, status); };
  if (!trans_owner_.Start(std::move(worker), [this] { WorkerTerminated(); })) {
    // Out of threads or handles: the window must not stay busy, and the user hears why.
    TranslationEnded();
    TranslationDone(kTransNotStarted, 0);
    return;
  }
  TransWorker = started;
  stage_clock::Mark("worker started");
}

std::string TMainForm::MakeTempFileName() {
  for (;;) {
    const std::string name = TempPath + RandomName(8, Random) + ".dat";
    TApplication::Instance().ProcessMessages();
    if (!PathExists(name)) return name;
  }
}

void TMainForm::SetBusy(bool enabled) {
  EnableWindow(memo_, enabled ? TRUE : FALSE);
  languages_bt_->SetEnabled(enabled);
  translate_bt_->SetEnabled(enabled);
  if (enabled) {
    KillTimer(hwnd_, kTrayTimerId);
    tray_timer_on_ = false;
    SetTrayIconFrame(0);
  } else {
    tray_timer_tag_ = 0;
    SetTimer(hwnd_, kTrayTimerId, kTrayTimerInterval, nullptr);
    tray_timer_on_ = true;
  }
}

void TMainForm::TrayTimerTimer() {
  SetTrayIconFrame(tray_timer_tag_);
  tray_timer_tag_ = tray_timer_tag_ > 0 ? 0 : tray_timer_tag_ + 1;
}

void TMainForm::ShowStatus(const std::string& text) {
  if (!text.empty()) {
    wait_label_->SetText(text);
    wait_panel_->SetVisible(true);
    SetWindowPos(wait_panel_->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else {
    wait_panel_->SetVisible(false);
    wait_label_->SetText("");
  }
  cancel_label_->Tag = 0;
}

void TMainForm::TranslationEnded() {
  SetBusy(true);
  Translating = false;
}

void TMainForm::WorkerTerminated() {
  TransWorker = nullptr;
  TranslationEnded();
}

void TMainForm::StopTranslation() {
  if (!Translating || TransWorker == nullptr) return;
  trans_owner_.Stop([] { TApplication::Instance().ProcessMessages(); });
}

void TMainForm::TranslationDone(int result_code, int status) {
  stage_clock::Mark("result code on the GUI thread");
  if (result_code == kTransEngineRefused) {
    // The engine's words are in its answer (or its status says them).
    const std::string body = ReadWholeFile(answer_file_, kMaxAnswerSize).value_or("");
    DeleteFileA(answer_file_.c_str());
    if (ending_session_ || cancel_label_->Tag != 0) {
      cancel_label_->Tag = 0;
      return;
    }
    ShowFailure(EngineResultFromAnswer(request_engine_.kind, status, body, request_pair_, SystemCodePage()).text);
    return;
  }
  if (result_code != kTransOk) {
    // At the session's end nobody is there to press OK, and the box would hold up the logoff.
    if (ending_session_) return;
    if (cancel_label_->Tag != 0) {
      cancel_label_->Tag = 0;
      return;
    }
    ShowFailure(TranslationResultMessage(result_code));
    return;
  }
  if (FileExists(answer_file_)) PostMessageA(hwnd_, WM_SHOW_TRANSLATION, 0, 0);
}

void TMainForm::ShowFailure(const std::string& message) {
  ShowStatus(message);
  const std::string box = message + "\r\nplease try again later...\r\nIf this problem persists, please inform us, "
                                    "thanks.\r\n\r\n" + kContactAddress;
  MessageBoxA(hwnd_, box.c_str(), TApplication::Instance().Title().c_str(), MB_OK | MB_ICONERROR);
}

void TMainForm::CancelLabelClick() {
  if (Translating) {
    cancel_label_->Tag = 1;
    StopTranslation();
  } else {
    cancel_label_->Tag = 0;
  }
  ShowStatus("");
}

TTransForm* TMainForm::ResultForm() { return TTransForm::Current(); }

void TMainForm::ShowResult(const std::string& text) {
  TTransForm* result = TTransForm::Current();
  if (result == nullptr) {
    result = TTransForm::Create(hwnd_);
    // The translation is not lost in silence: the error report says what went wrong.
    if (result == nullptr) throw std::runtime_error("The result window could not be opened.");
    stage_clock::Mark("result window made");
    result->Place(hwnd_, kMemoLeftInPanel, InTray(), TaskbarTop());
    stage_clock::Mark("result window placed");
    ShowWindow(result->Handle(), SW_SHOWNA);
    SetWindowPos(result->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    stage_clock::Mark("result window shown");
  } else {
    result->Place(hwnd_, kMemoLeftInPanel, InTray(), TaskbarTop());
    if (!IsWindowVisible(result->Handle())) {
      ShowWindow(result->Handle(), SW_SHOWNA);
      SetWindowPos(result->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  stage_clock::Mark("result window ready");
  if (!text.empty()) result->SetText(text);
}

void TMainForm::ShowTranslation() {
  if (!FileExists(answer_file_)) return;
  struct DeleteAnswer {
    const std::string& path;
    ~DeleteAnswer() { DeleteFileA(path.c_str()); }
  } delete_answer{answer_file_};

  stage_clock::Mark("show translation");
  if (request_engine_.kind != EngineKind::kPage) {
    const EngineResult engine = EngineResultFromAnswer(
        request_engine_.kind, 200, ReadWholeFile(answer_file_, kMaxAnswerSize).value_or(""), request_pair_,
        SystemCodePage());
    stage_clock::Mark("answer read and extracted");
    if (!engine.translated) {
      ShowFailure(engine.text);
      return;
    }
    ShowResult(engine.text);
    stage_clock::Mark("result shown");
    PostMessageA(hwnd_, WM_SHOW_MAIN_WINDOW, 0, 0);
    ShowStatus("");
    return;
  }
  const ExtractResult result = ExtractFromAnswer(ReadWholeFile(answer_file_, kMaxAnswerSize).value_or(""), SystemCodePage());
  stage_clock::Mark("answer read and extracted");
  switch (result.status) {
    case ExtractStatus::kTranslated:
      ShowResult(result.text);
      stage_clock::Mark("result shown");
      PostMessageA(hwnd_, WM_SHOW_MAIN_WINDOW, 0, 0);
      ShowStatus("");
      return;
    case ExtractStatus::kInvalidCharRef:
      // The window is already placed and visible with its previous text when the bad
      // reference is met; the wait panel keeps its text.
      ShowResult("");
      throw std::runtime_error(result.text);
    case ExtractStatus::kProtocolChanged: {
      ShowStatus("Error: Google protocol changed.");
      const std::string box = std::string("\r\nSomething has changed in the internal Google protocol,\r\n") +
                              "please notify this problem to us and check for an update soon...\r\n\r\n" +
                              kContactAddress;
      MessageBoxA(hwnd_, box.c_str(), TApplication::Instance().Title().c_str(), MB_OK | MB_ICONINFORMATION);
      return;
    }
  }
}

}  // namespace parlix
