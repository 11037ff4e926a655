#include "app/program_win.h"

#include <windows.h>

#include "app/application_win.h"
#include "app/main_form_win.h"
#include "platform/callback_guard_win.h"
#include "platform/handles_win.h"
#include "platform/stage_clock.h"

namespace parlix {

namespace {
constexpr char kMutexName[] = "PARLIXmutex";
constexpr char kMutexFailedText[] = "Error, cannot create \"mutex\".";
constexpr char kAlreadyRunningText[] = "Parlix is already running. Cannot continue.";
constexpr char kApplicationTitle[] = "Parlix Desk";

void ShowStartupMessage(const char* text) {
  // Before the title is set, so the box carries the application's default title.
  MessageBoxA(nullptr, text, TApplication::Instance().Title().c_str(), MB_OK);
}
}  // namespace

int RunProgram() {
  stage_clock::EnableFromEnvironment();
  // The mutex is never released explicitly: closing the handle at the end, or the
  // end of the process, frees it.
  UniqueHandle mutex(CreateMutexA(nullptr, TRUE, kMutexName));
  if (!mutex) {
    ShowStartupMessage(kMutexFailedText);
    return 1;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    ShowStartupMessage(kAlreadyRunningText);
    return 1;
  }
  TApplication& app = TApplication::Instance();
  app.SetTitle(kApplicationTitle);
  // Anything the start or the end of the main window raises ends here, in the standard
  // error report, and not in the runtime's abort.
  try {
    TMainForm main_form;
    main_form.CreateAndShow(GetCommandLineA());
    app.Run();
  } catch (const std::exception& e) {
    ReportCallbackError(&e);
    return 1;
  } catch (...) {
    ReportCallbackError(nullptr);
    return 1;
  }
  return 0;
}

}  // namespace parlix
