#include "service/srvc_thread_win.h"

#include "platform/app_host_win.h"
#include "platform/files_win.h"
#include "service/service_file.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

bool ServiceDownloadSucceeded(const TDownloadOutcome& outcome) {
  return outcome.transport == TDownloadTransport::kAnswered && outcome.status == 200 && outcome.size > 0;
}

void TSrvcThread::Execute() {
  if (Terminated()) return;
  TDownloadJob job;
  job.url = URL;
  job.target_file = FileName;
  job.proxy = Proxy;
  job.max_size = kMaxServiceFileSize;
  Success = ServiceDownloadSucceeded(RunDownload(job, [this] { return Terminated(); })) && !Terminated();
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
  if (Busy()) return;
  // Naming the file lets messages through, and with them perhaps another start.
  starting_ = true;
  make_temp_name_ = std::move(make_temp_name);
  downloaded_file_ = make_temp_name_();
  starting_ = false;
  auto worker = std::make_unique<TSrvcThread>();
  worker->URL = url.empty() ? Unscramble(kServiceAddressLit) : url;
  worker->FileName = downloaded_file_;
  worker->Proxy = proxy;
  worker->OnServiceCheckDone = [this](bool success) { ServiceCheckDone(success); };
  // A worker the system will not start leaves the check as if it had failed: the
  // program goes on with its built-in values, as when the server cannot be reached.
  owner_.Start(std::move(worker), [this] {
    if (OnEnded) OnEnded();
  });
}

void TServiceCheck::ServiceCheckDone(bool success) {
  // A stop that came after the worker's own last check still reports nothing, and the file
  // the worker kept for the hand-over goes with it.
  if (stopping_) DeleteIfExists(downloaded_file_);
  if (!success || stopping_) return;
  decoded_file_ = make_temp_name_();
  const bool decoded = DecodeServiceFile(downloaded_file_, decoded_file_);
  DeleteIfExists(downloaded_file_);
  if (decoded && FileExists(decoded_file_) && OnDecoded) OnDecoded(decoded_file_);
}

void TServiceCheck::Stop() {
  if (!owner_.Running()) return;
  stopping_ = true;
  owner_.Stop([] { AppHost().ProcessMessages(); });
  stopping_ = false;
}

void TServiceCheck::DeleteTempFiles() {
  DeleteIfExists(downloaded_file_);
  DeleteIfExists(decoded_file_);
}

}  // namespace parlix
