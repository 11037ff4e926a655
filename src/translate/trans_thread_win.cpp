#include "translate/trans_thread_win.h"

#include "net/http_socket.h"
#include "platform/files_win.h"
#include "platform/stage_clock.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

const char* TranslationResultMessage(int result_code) {
  switch (result_code) {
    case kTransNoDocument: return "Error: Cannot download file.";
    case kTransUnavailable: return "Error: Service unavailable.";
    case kTransConnection: return "Error: Connection failed.";
    case kTransNotStarted: return "Error: Cannot start the translation.";
    case kTransCertUntrusted: return "Error: The server's certificate is not trusted.";
    case kTransCertWrongName: return "Error: The server's certificate is for another name.";
    case kTransCertExpired: return "Error: The server's certificate has expired.";
    case kTransSecureFailed: return "Error: The secure connection could not be made.";
    default: return "";
  }
}

int TranslationResultOf(const TDownloadOutcome& outcome) {
  switch (outcome.transport) {
    case TDownloadTransport::kNotStarted:
    case TDownloadTransport::kStopped:
      return kTransNoDocument;
    case TDownloadTransport::kFailed:
      switch (outcome.error) {
        case kTlsErrUntrusted: return kTransCertUntrusted;
        case kTlsErrWrongName: return kTransCertWrongName;
        case kTlsErrExpired: return kTransCertExpired;
        case kTlsErrFailed: return kTransSecureFailed;
        default: return kTransConnection;
      }
    case TDownloadTransport::kAnswered:
      break;
  }
  if (outcome.status >= 200 && outcome.status <= 299) return outcome.size < 1 ? kTransNoDocument : kTransOk;
  // A relocation the client did not follow counts as no failure; without a page the
  // result window simply stays as it was.
  if (outcome.status >= 300 && outcome.status <= 399) return kTransOk;
  return kTransUnavailable;
}

void TTransThread::Execute() {
  stage_clock::Mark("worker running");
  if (Terminated()) return;
  TDownloadJob job;
  job.url = RequestURL;
  job.post_body = RequestBody;
  job.referer = EngineExplains ? std::string() : Unscramble(kRefererLit);
  job.target_file = AnswerFileName;
  job.proxy = Proxy;
  job.max_size = kMaxAnswerSize;
  const TDownloadOutcome outcome = RunDownload(job, [this] { return Terminated(); });
  ResultCode = TranslationResultOf(outcome);
  const bool refused = outcome.transport == TDownloadTransport::kAnswered && outcome.status >= 400;
  if (EngineExplains && refused) ResultCode = kTransEngineRefused;
  if (ResultCode != kTransOk && ResultCode != kTransEngineRefused) DeleteIfExists(AnswerFileName);
  const int result = ResultCode;
  const int status = outcome.transport == TDownloadTransport::kAnswered ? outcome.status : 0;
  Synchronize([this, result, status] {
    if (OnTranslationDone) OnTranslationDone(result, status);
  });
}

}  // namespace parlix
