#include "platform/callback_guard_win.h"

#include <stdexcept>

#include "platform/app_host_win.h"

namespace parlix {

void ReportCallbackError(const std::exception* error) noexcept {
  try {
    if (error != nullptr) {
      AppHost().ShowException(*error);
    } else {
      AppHost().ShowException(std::runtime_error("An unknown error occurred."));
    }
  } catch (...) {
    // The report itself failed (no memory for a box): nothing is left to tell.
  }
}

}  // namespace parlix
