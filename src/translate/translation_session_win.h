// One translation at a time, from the text the user asked for to the result window: the
// request, its worker and answer file, the answer read as the engine of the request says,
// and the error box when it brings none. The window it starts from is reached through
// TTranslationView only, so the session knows nothing of the main window's controls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/worker_owner_win.h"
#include "shared/pseudo_random.h"
#include "translate/engine.h"

namespace parlix {

class TTransForm;
class TTransThread;

// What a translation needs from the window it was started from.
struct TTranslationView {
  // The window that owns the boxes and the result window.
  std::function<HWND()> Window;
  // False while a translation runs: the controls and the tray animation follow it.
  std::function<void(bool idle)> SetBusy;
  // The wait panel's words; "" hides the panel.
  std::function<void(const std::string& text)> ShowStatus;
  // Places the result window by the rule of the window's state.
  std::function<void(TTransForm& result)> PlaceResult;
  // The answer file is complete: read it soon, from the message loop, not from the worker's
  // last call.
  std::function<void()> AnswerArrived;
  // The translation is in the result window: bring the window to the front.
  std::function<void()> ResultShown;
  // The Windows session ends: no box may wait for the user.
  std::function<bool()> SessionEnding;
};

class TTranslationSession {
 public:
  explicit TTranslationSession(TTranslationView view) : view_(std::move(view)) {}
  TTranslationSession(const TTranslationSession&) = delete;
  TTranslationSession& operator=(const TTranslationSession&) = delete;

  // A worker exists and has not finished.
  bool Translating = false;
  // The running worker, owned by its own thread (or by the stop that waits for it).
  TTransThread* TransWorker = nullptr;
  // The pseudo-random generator behind temporary file names.
  PseudoRandom Random;

  // Translates `text` (already trimmed; nothing happens for "") in `pair` with the engine
  // configured now. Nothing happens while one runs.
  void Start(const std::string& text, int pair);
  // Stops a running worker and waits for it, letting messages run.
  void Stop();
  // The user's cancel: the worker stops, and its end shows no error box.
  void Cancel();
  // The program closes: a running translation stops, and its answer file goes whether or
  // not the stop succeeded.
  void End();
  // Reads the complete answer file into the result window (or the error box), then deletes it.
  void ShowTranslation();

  // A fresh temporary file name that no file has yet (the file is not made).
  std::string MakeTempFileName();
  const std::string& AnswerFileName() const { return answer_file_; }

 private:
  void Status(const std::string& text);
  void Ended();
  void Done(int result_code, int status);
  void ShowFailure(const std::string& message);
  void ShowResult(const std::string& text);

  TTranslationView view_;
  bool cancelled_ = false;
  std::string answer_file_;
  // The engine and pair of the translation in progress: the answer is read as they say,
  // whatever the configuration window changed meanwhile.
  TEngineSettings engine_;
  int pair_ = 0;
  // Last, so that it goes first: a worker stopped at destruction still finds the rest.
  TWorkerOwner owner_;
};

}  // namespace parlix
