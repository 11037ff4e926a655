#include "translate/translation_session_win.h"

#include <memory>
#include <stdexcept>

#include "config/web_page_win.h"
#include "net/proxy_settings.h"
#include "platform/app_host_win.h"
#include "platform/code_page.h"
#include "platform/files_win.h"
#include "platform/stage_clock.h"
#include "shared/code_cript.h"
#include "shared/globals.h"
#include "shared/literals.h"
#include "translate/extract.h"
#include "translate/request.h"
#include "translate/trans_form_win.h"
#include "translate/trans_thread_win.h"

namespace parlix {

namespace {

constexpr char kContactAddress[] = "support@parlix.example";

}  // namespace

void TTranslationSession::Start(const std::string& text, int pair) {
  if (ServiceInfo.ClosedVersion) {
    MessageBoxA(view_.Window(), Unscramble(kClosedVersionLit).c_str(), AppHost().Title().c_str(),
                MB_OK | MB_ICONINFORMATION);
    Sleep(250);
    OpenWebPage(ServiceInfo.HomeUrl);
    return;
  }
  if (Translating || text.empty()) return;

  stage_clock::Mark("asked");
  view_.SetBusy(false);
  stage_clock::Mark("controls disabled");
  Status("Requesting translation...");
  if (TTransForm* result = TTransForm::Current()) result->SetText("");
  stage_clock::Mark("status shown");

  engine_ = EngineSettings;
  pair_ = pair;
  const bool page = engine_.kind == EngineKind::kPage;
  const EngineRequest request =
      page ? EngineRequest{Unscramble(kRequestAddressLit), BuildRequestBody(text, pair, SystemCodePage())}
           : BuildEngineRequest(engine_, RequestTextUtf8(text, SystemCodePage()), pair);
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
  worker->OnTranslationDone = [this](int result_code, int status) { Done(result_code, status); };
  if (!owner_.Start(std::move(worker), [this] {
        TransWorker = nullptr;
        Ended();
      })) {
    // Out of threads or handles: the window must not stay busy, and the user hears why.
    Ended();
    Done(kTransNotStarted, 0);
    return;
  }
  TransWorker = started;
  stage_clock::Mark("worker started");
}

std::string TTranslationSession::MakeTempFileName() {
  for (;;) {
    const std::string name = TempPath + RandomName(8, Random) + ".dat";
    AppHost().ProcessMessages();
    if (!PathExists(name)) return name;
  }
}

void TTranslationSession::Status(const std::string& text) {
  view_.ShowStatus(text);
  cancelled_ = false;
}

void TTranslationSession::Ended() {
  view_.SetBusy(true);
  Translating = false;
}

void TTranslationSession::Stop() {
  if (!Translating || TransWorker == nullptr) return;
  owner_.Stop([] { AppHost().ProcessMessages(); });
}

void TTranslationSession::Cancel() {
  if (Translating) {
    cancelled_ = true;
    Stop();
  }
  Status("");
}

void TTranslationSession::End() {
  if (!Translating) return;
  struct DeleteAnswer {
    const std::string& path;
    ~DeleteAnswer() { DeleteIfExists(path); }
  } delete_answer{answer_file_};
  Stop();
}

void TTranslationSession::Done(int result_code, int status) {
  stage_clock::Mark("result code on the GUI thread");
  if (result_code == kTransEngineRefused) {
    // The engine's words are in its answer (or its status says them).
    const std::string body = ReadWholeFile(answer_file_, kMaxAnswerSize).value_or("");
    DeleteFileA(answer_file_.c_str());
    if (view_.SessionEnding() || cancelled_) {
      cancelled_ = false;
      return;
    }
    ShowFailure(EngineResultFromAnswer(engine_.kind, status, body, pair_, SystemCodePage()).text);
    return;
  }
  if (result_code != kTransOk) {
    // At the session's end nobody is there to press OK, and the box would hold up the logoff.
    if (view_.SessionEnding()) return;
    // After a cancel the user knows already.
    if (cancelled_) {
      cancelled_ = false;
      return;
    }
    ShowFailure(TranslationResultMessage(result_code));
    return;
  }
  if (FileExists(answer_file_)) view_.AnswerArrived();
}

void TTranslationSession::ShowFailure(const std::string& message) {
  Status(message);
  const std::string box = message + "\r\nplease try again later...\r\nIf this problem persists, please inform us, "
                                    "thanks.\r\n\r\n" + kContactAddress;
  MessageBoxA(view_.Window(), box.c_str(), AppHost().Title().c_str(), MB_OK | MB_ICONERROR);
}

void TTranslationSession::ShowResult(const std::string& text) {
  TTransForm* result = TTransForm::Current();
  if (result == nullptr) {
    result = TTransForm::Create(view_.Window());
    // The translation is not lost in silence: the error report says what went wrong.
    if (result == nullptr) throw std::runtime_error("The result window could not be opened.");
    stage_clock::Mark("result window made");
    view_.PlaceResult(*result);
    stage_clock::Mark("result window placed");
    ShowWindow(result->Handle(), SW_SHOWNA);
    SetWindowPos(result->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    stage_clock::Mark("result window shown");
  } else {
    view_.PlaceResult(*result);
    if (!IsWindowVisible(result->Handle())) {
      ShowWindow(result->Handle(), SW_SHOWNA);
      SetWindowPos(result->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  stage_clock::Mark("result window ready");
  if (!text.empty()) result->SetText(text);
}

void TTranslationSession::ShowTranslation() {
  if (!FileExists(answer_file_)) return;
  struct DeleteAnswer {
    const std::string& path;
    ~DeleteAnswer() { DeleteFileA(path.c_str()); }
  } delete_answer{answer_file_};

  stage_clock::Mark("show translation");
  const std::string answer = ReadWholeFile(answer_file_, kMaxAnswerSize).value_or("");
  if (engine_.kind != EngineKind::kPage) {
    const EngineResult engine = EngineResultFromAnswer(engine_.kind, 200, answer, pair_, SystemCodePage());
    stage_clock::Mark("answer read and extracted");
    if (!engine.translated) {
      ShowFailure(engine.text);
      return;
    }
    ShowResult(engine.text);
    stage_clock::Mark("result shown");
    view_.ResultShown();
    Status("");
    return;
  }
  const ExtractResult result = ExtractFromAnswer(answer, SystemCodePage());
  stage_clock::Mark("answer read and extracted");
  switch (result.status) {
    case ExtractStatus::kTranslated:
      ShowResult(result.text);
      stage_clock::Mark("result shown");
      view_.ResultShown();
      Status("");
      return;
    case ExtractStatus::kInvalidCharRef:
      // The window is already placed and visible with its previous text when the bad
      // reference is met; the wait panel keeps its text.
      ShowResult("");
      throw std::runtime_error(result.text);
    case ExtractStatus::kProtocolChanged: {
      Status("Error: Google protocol changed.");
      const std::string box = std::string("\r\nSomething has changed in the internal Google protocol,\r\n") +
                              "please notify this problem to us and check for an update soon...\r\n\r\n" +
                              kContactAddress;
      MessageBoxA(view_.Window(), box.c_str(), AppHost().Title().c_str(), MB_OK | MB_ICONINFORMATION);
      return;
    }
  }
}

}  // namespace parlix
