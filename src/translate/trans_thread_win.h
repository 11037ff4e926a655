// The translation worker: posts the request on its own thread and saves the answer page.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/globals.h"
#include "platform/thread_win.h"

namespace parlix {

class THttpCli;
class HttpStream;

// Outcomes of a translation request.
enum TTransResult : int {
  kTransOk = 0,            // answer saved
  kTransNoDocument = 1,    // "Error: Cannot download file."
  kTransUnavailable = 2,   // "Error: Service unavailable."
  kTransConnection = 3,    // "Error: Connection failed."
};

// The message shown for a result code, empty for success.
const char* TranslationResultMessage(int result_code);

// The largest translation answer accepted. The page with the translation is a few
// hundred kilobytes; a peer that sends more would fill the disk and then the memory
// the extraction reads it into.
inline constexpr int64_t kMaxAnswerSize = 8 * 1024 * 1024;

class TTransThread : public TThread {
 public:
  TTransThread();
  ~TTransThread() override;

  int ResultCode = 0;
  bool Running = false;
  std::string RequestURL;
  std::string RequestBody;
  std::string AnswerFileName;
  TProxySettings Proxy;

  // Runs on the GUI thread by a synchronised call at the end of Execute.
  std::function<void(int result_code)> OnTranslationDone;

 protected:
  void Execute() override;

 private:
  void ConfigureClient(THttpCli& client);
  void HttpDocBegin(THttpCli& client);
  void HttpDocEnd(THttpCli& client);
  void HttpRequestDone(THttpCli& client, unsigned error);
  void PumpMessages();

  std::unique_ptr<HttpStream> post_stream_;
  std::unique_ptr<HttpStream> doc_stream_;
};

}  // namespace parlix
