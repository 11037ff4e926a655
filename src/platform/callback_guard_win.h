// The one guard where Windows calls into the program: window and subclass procedures, the
// window that runs workers' calls on the GUI thread, the HTTP client's window. An exception
// that unwinds through a Windows frame is undefined behaviour, so nothing may leave these;
// what a handler throws goes to the standard error report (or nowhere, where the program
// keeps quiet by design) and the callback returns `fallback`.
#pragma once

#include <exception>

namespace parlix {

enum class CallbackReport { kReport, kSilent };

// The standard error report for what a callback threw (nullptr: no std::exception); it
// never throws itself.
void ReportCallbackError(const std::exception* error) noexcept;

template <typename Result, typename Body>
Result GuardCallback(Result fallback, Body&& body, CallbackReport report = CallbackReport::kReport) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    if (report == CallbackReport::kReport) ReportCallbackError(&e);
  } catch (...) {
    if (report == CallbackReport::kReport) ReportCallbackError(nullptr);
  }
  return fallback;
}

}  // namespace parlix
