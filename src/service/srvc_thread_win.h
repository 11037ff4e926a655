// The service worker: downloads the service file once per run on a low-priority thread,
// and the small object through which the main window starts, stops and hears of it.
#pragma once

#include <functional>
#include <string>

#include "net/download_win.h"
#include "net/proxy_settings.h"
#include "platform/thread_win.h"
#include "platform/worker_owner_win.h"

namespace parlix {

// Whether a service file download succeeded: the server's 200 with a file that is not empty.
bool ServiceDownloadSucceeded(const TDownloadOutcome& outcome);

class TSrvcThread : public TThread {
 public:
  bool Success = false;
  std::string URL;
  std::string FileName;
  TProxySettings Proxy;

  // Runs on the GUI thread by a synchronised call at the end of Execute (not when the
  // worker was stopped before it began).
  std::function<void(bool success)> OnServiceCheckDone;

 protected:
  void Execute() override;
};

// What the main window calls: StartServiceCheck -> Start, StopServiceCheck -> Stop, and
// ApplyServiceFile is posted from OnDecoded. GUI thread only.
class TServiceCheck {
 public:
  using TMakeTempFileName = std::function<std::string()>;

  TServiceCheck() = default;
  TServiceCheck(const TServiceCheck&) = delete;
  TServiceCheck& operator=(const TServiceCheck&) = delete;
  // Stops a running worker and deletes the temporary files that are left.
  ~TServiceCheck();

  // Starts the worker for the service address (`url` empty: the program's own) with a
  // copy of `proxy`; `make_temp_name` gives fresh temporary file names.
  void Start(const TProxySettings& proxy, TMakeTempFileName make_temp_name, const std::string& url = "");
  // Aborts a running download and waits for the worker while processing this thread's
  // messages. Nothing is reported after a stop.
  void Stop();
  // Deletes the downloaded and the decoded file if they are still there (at exit).
  void DeleteTempFiles();

  // ServiceBusy: a worker exists and has not ended.
  bool Busy() const { return starting_ || owner_.Running(); }
  const std::string& DownloadedFile() const { return downloaded_file_; }
  const std::string& DecodedFile() const { return decoded_file_; }

  // The decoded service file exists: the main window posts WM_USER+2, whose handler
  // passes the name to ApplyServiceFile. Runs while the worker waits in its last call.
  std::function<void(const std::string& decoded_file)> OnDecoded;
  // The worker has ended (after OnDecoded, if that ran), stopped or not.
  std::function<void()> OnEnded;

 private:
  void ServiceCheckDone(bool success);

  TWorkerOwner owner_;
  bool starting_ = false;
  bool stopping_ = false;
  TMakeTempFileName make_temp_name_;
  std::string downloaded_file_;
  std::string decoded_file_;
};

}  // namespace parlix
