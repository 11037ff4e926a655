// The translation worker: posts the request on its own thread and saves the answer page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/download_win.h"
#include "net/proxy_settings.h"
#include "platform/thread_win.h"

namespace parlix {

// Outcomes of a translation request.
enum TTransResult : int {
  kTransOk = 0,            // answer saved
  kTransNoDocument = 1,    // "Error: Cannot download file."
  kTransUnavailable = 2,   // "Error: Service unavailable."
  kTransConnection = 3,    // "Error: Connection failed."
  kTransNotStarted = 4,    // the system would not start the worker
  // A secure connection that failed, each in its own words.
  kTransCertUntrusted = 5,
  kTransCertWrongName = 6,
  kTransCertExpired = 7,
  kTransSecureFailed = 8,
  // An engine answered with a refusal whose words are in the answer file (or in its status).
  kTransEngineRefused = 9,
};

// The message shown for a result code, empty for success.
const char* TranslationResultMessage(int result_code);

// The result code for a request's outcome.
int TranslationResultOf(const TDownloadOutcome& outcome);

// The largest translation answer accepted. The page with the translation is a few
// hundred kilobytes; a peer that sends more would fill the disk and then the memory
// the extraction reads it into.
inline constexpr int64_t kMaxAnswerSize = 8 * 1024 * 1024;

class TTransThread : public TThread {
 public:
  int ResultCode = 0;
  std::string RequestURL;
  std::string RequestBody;
  std::string AnswerFileName;
  TProxySettings Proxy;
  // An engine that explains a refusal in its answer (JSON): such an answer is kept.
  bool EngineExplains = false;

  // Runs on the GUI thread by a synchronised call at the end of Execute, with the
  // answer's status (0 when there was none).
  std::function<void(int result_code, int status)> OnTranslationDone;

 protected:
  void Execute() override;
};

}  // namespace parlix
