#include "service/srvc_thread_win.h"

#include <windows.h>

#include "app/application_win.h"
#include "net/http_cli_win.h"
#include "net/http_stream.h"
#include "service/service_file.h"
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

bool FileExists(const std::string& path) {
  return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void DeleteIfExists(const std::string& path) {
  if (FileExists(path)) DeleteFileA(path.c_str());
}

void PumpThreadMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

TSrvcThread::TSrvcThread() = default;
TSrvcThread::~TSrvcThread() = default;

void TSrvcThread::ConfigureClient(THttpCli& client) {
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
  client.SetURL(URL);
  client.SetMaxDocSize(kMaxServiceFileSize);
  client.SetAgent(Unscramble(kUserAgentLit));
  client.SetReference("");
  client.SetSender(Unscramble(kProductNameLit));
  client.SetUsername("");
  client.SetPassword("");
  client.SetModifiedSince(0);
  client.SetMultiThreaded(true);
  client.SetDocStream(nullptr);
  client.OnDocBegin = [this](HttpClientCore& sender) { HttpDocBegin(static_cast<THttpCli&>(sender)); };
  client.OnDocEnd = [this](HttpClientCore& sender) { HttpDocEnd(static_cast<THttpCli&>(sender)); };
  // The end of the request, not the first closed session, ends the wait: a proxy that
  // asks for credentials closes its session after the 407 and the client tries again.
  client.OnRequestDone = [this](HttpClientCore& sender, THttpRequest, uint16_t error) {
    HttpRequestDone(static_cast<THttpCli&>(sender), error);
    InProgress = false;
  };
}

void TSrvcThread::HttpDocBegin(THttpCli& client) {
  // Every answer starts the file anew, so a refused first attempt leaves nothing in it.
  client.SetDocStream(nullptr);
  doc_stream_.reset();
  auto file = std::make_unique<HttpFileStream>(FileName, HttpFileStream::Mode::kCreate);
  if (!file->IsOpen()) return;
  doc_stream_ = std::move(file);
  client.SetDocStream(doc_stream_.get());
}

void TSrvcThread::HttpDocEnd(THttpCli& client) {
  client.SetDocStream(nullptr);
  doc_stream_.reset();
}

void TSrvcThread::HttpRequestDone(THttpCli& client, unsigned error) {
  // The file must be closed before its size means anything.
  client.SetDocStream(nullptr);
  doc_stream_.reset();
  if (error == 0 && client.StatusCode() == 200 && FileSizeOf(FileName) > 0) Success = true;
}

void TSrvcThread::Execute() {
  if (Terminated()) return;
  Success = false;
  InProgress = true;
  {
    THttpCli client;
    ConfigureClient(client);
    try {
      client.StartGet();
    } catch (const std::exception&) {
      // Nothing was started, so nothing will ever end it: waiting would keep the worker
      // alive until the program closes.
      InProgress = false;
    }
    while (InProgress) {
      WaitForMessages(10);
      PumpThreadMessages();
      if (Terminated()) {
        if (InProgress) client.Abort();
        Success = false;
        break;
      }
    }
    // The stream goes before the client: nothing may write into a freed stream.
    client.SetDocStream(nullptr);
    doc_stream_.reset();
  }
  if (Terminated()) Success = false;
  if (!Success) DeleteIfExists(FileName);
  const bool success = Success;
  Synchronize([this, success] {
    if (OnServiceCheckDone) OnServiceCheckDone(success);
  });
}

TServiceCheck::~TServiceCheck() {
  Stop();
  DeleteTempFiles();
}

void TServiceCheck::Start(const TProxySettings& proxy, TMakeTempFileName make_temp_name, const std::string& url) {
  if (busy_) return;
  busy_ = true;
  make_temp_name_ = std::move(make_temp_name);
  downloaded_file_ = make_temp_name_();
  auto* worker = new TSrvcThread();
  worker->URL = url.empty() ? Unscramble(kServiceAddressLit) : url;
  worker->FileName = downloaded_file_;
  worker->Proxy = proxy;
  worker->OnServiceCheckDone = [this](bool success) { ServiceCheckDone(success); };
  worker->SetPriority(THREAD_PRIORITY_BELOW_NORMAL);
  worker->FreeOnTerminate = true;
  worker->OnTerminate = [this] { WorkerTerminated(); };
  worker_ = worker;
  worker->Start();
}

void TServiceCheck::ServiceCheckDone(bool success) {
  // A stop that came after the worker's own last check still reports nothing.
  if (!success || stopping_) return;
  decoded_file_ = make_temp_name_();
  const bool decoded = DecodeServiceFile(downloaded_file_, decoded_file_);
  DeleteIfExists(downloaded_file_);
  if (decoded && FileExists(decoded_file_) && OnDecoded) OnDecoded(decoded_file_);
}

void TServiceCheck::WorkerTerminated() {
  worker_ = nullptr;
  busy_ = false;
  if (OnEnded) OnEnded();
}

void TServiceCheck::Stop() {
  if (!busy_ || worker_ == nullptr) return;
  TSrvcThread* worker = worker_;
  worker->SetPriority(THREAD_PRIORITY_NORMAL);
  // The handle outlives the worker when it has already passed its end and frees itself.
  HANDLE thread = nullptr;
  DuplicateHandle(GetCurrentProcess(), worker->Handle(), GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
  const bool detached = worker->DetachForStop();
  stopping_ = true;
  worker->Terminate();
  // The worker's last act is a synchronised call into this thread: wait while pumping.
  TThread::WaitPumping(thread, 50, [] { TApplication::Instance().ProcessMessages(); });
  CloseHandle(thread);
  stopping_ = false;
  if (!detached) return;  // it ran its own end, WorkerTerminated included
  delete worker;
  worker_ = nullptr;
  busy_ = false;
  if (OnEnded) OnEnded();
}

void TServiceCheck::DeleteTempFiles() {
  DeleteIfExists(downloaded_file_);
  DeleteIfExists(decoded_file_);
}

}  // namespace parlix
