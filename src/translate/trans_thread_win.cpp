#include "translate/trans_thread_win.h"

#include <windows.h>

#include "net/http_cli_win.h"
#include "net/http_stream.h"
#include "platform/stage_clock.h"
#include "translate/code_cript.h"
#include "translate/literals.h"

namespace parlix {

namespace {

// The file's size, or -1 when it does not exist.
long long FileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

const char* TranslationResultMessage(int result_code) {
  switch (result_code) {
    case kTransNoDocument: return "Error: Cannot download file.";
    case kTransUnavailable: return "Error: Service unavailable.";
    case kTransConnection: return "Error: Connection failed.";
    default: return "";
  }
}

TTransThread::TTransThread() = default;
TTransThread::~TTransThread() = default;

void TTransThread::ConfigureClient(THttpCli& client) {
  // Autodetect is not looked at: detection has already filled the other fields.
  if (Proxy.Enabled) {
    client.SetProxy(Proxy.Address);
    client.SetProxyPort(Proxy.Port);
    client.SetProxyUsername(Proxy.Authenticate ? Proxy.Username : "");
    client.SetProxyPassword(Proxy.Authenticate ? Proxy.Password : "");
  } else {
    client.SetProxy("");
    client.SetProxyPort("");
    client.SetProxyUsername("");
    client.SetProxyPassword("");
  }
  client.SetURL(RequestURL);
  client.SetMaxDocSize(kMaxAnswerSize);
  client.SetAgent(Unscramble(kUserAgentLit));
  client.SetReference(Unscramble(kRefererLit));
  client.SetSender(Unscramble(kProductNameLit));
  client.SetUsername("");
  client.SetPassword("");
  client.SetModifiedSince(0);
  client.SetMultiThreaded(true);
  client.SetDocStream(nullptr);
  post_stream_ = std::make_unique<HttpMemoryStream>(RequestBody);
  client.SetPostStream(post_stream_.get());
  client.OnDocBegin = [this](HttpClientCore& sender) { HttpDocBegin(static_cast<THttpCli&>(sender)); };
  client.OnDocEnd = [this](HttpClientCore& sender) { HttpDocEnd(static_cast<THttpCli&>(sender)); };
  // Only the end of the request stops the wait: a proxy asking for credentials
  // closes the session after its 407, and the client then goes on with a new
  // attempt. A request can also end without its session closing (a lookup that
  // never started, a kept-alive answer).
  client.OnRequestDone = [this](HttpClientCore& sender, THttpRequest, uint16_t error) {
    HttpRequestDone(static_cast<THttpCli&>(sender), error);
    Running = false;
  };
}

void TTransThread::HttpDocBegin(THttpCli& client) {
  stage_clock::Mark("answer begins");
  auto file = std::make_unique<HttpFileStream>(AnswerFileName, HttpFileStream::Mode::kCreate);
  // A file that cannot be made leaves the client without a stream: the answer is then
  // missing and the request ends as "Cannot download file".
  if (!file->IsOpen()) return;
  doc_stream_ = std::move(file);
  client.SetDocStream(doc_stream_.get());
}

// The body stays with the client until the request is done: a refused answer
// (a proxy's 407) ends its document too, and the next attempt posts the body again.
void TTransThread::HttpDocEnd(THttpCli& client) {
  client.SetDocStream(nullptr);
  doc_stream_.reset();
}

void TTransThread::HttpRequestDone(THttpCli& client, unsigned error) {
  stage_clock::Mark("request done");
  // The answer must be on disk before its size is looked at.
  doc_stream_.reset();
  client.SetDocStream(nullptr);
  const int status = client.StatusCode();
  if (error != 0) {
    ResultCode = kTransConnection;
  } else if (status >= 200 && status <= 299) {
    ResultCode = FileSizeOf(AnswerFileName) < 1 ? kTransNoDocument : kTransOk;
  } else if (status < 300 || status > 399) {
    ResultCode = kTransUnavailable;
  }
}

void TTransThread::PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void TTransThread::Execute() {
  stage_clock::Mark("worker running");
  if (Terminated()) return;
  ResultCode = kTransOk;
  Running = true;
  {
    THttpCli client;
    ConfigureClient(client);
    try {
      client.StartPost();
    } catch (const std::exception&) {
      // Nothing was started, so no session will ever close: end now rather than wait
      // until the user cancels.
      ResultCode = kTransNoDocument;
      Running = false;
    }
    while (Running) {
      WaitForMessages(10);
      PumpMessages();
      if (Terminated()) {
        if (Running) client.Abort();
        ResultCode = kTransNoDocument;
        break;
      }
    }
    // The streams go before the client: nothing may write into a freed stream.
    client.SetDocStream(nullptr);
    client.SetPostStream(nullptr);
    doc_stream_.reset();
    post_stream_.reset();
  }
  if (ResultCode > 0 && FileExists(AnswerFileName)) DeleteFileA(AnswerFileName.c_str());
  const int result = ResultCode;
  Synchronize([this, result] {
    if (OnTranslationDone) OnTranslationDone(result);
  });
}

}  // namespace parlix
