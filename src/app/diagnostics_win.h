// Figures about the running program that a benchmark asks for with the registered
// message "ParlixDiagnostics" (Wine does not report them across processes).
#pragma once

#include <windows.h>

namespace parlix {

enum class TDiagnostic : WPARAM {
  kHandles = 0,        // kernel handles of the process
  kGdiObjects = 1,
  kUserObjects = 2,    // windows of the process where the system does not count them
  kWorkingSetKiB = 3,
  kFlushStageLog = 4,  // writes the stage timestamps out; 1 when written
};

UINT DiagnosticsMessage();
LRESULT AnswerDiagnostics(WPARAM what);

}  // namespace parlix
