// Downloads one URL with THttpCli into a file and prints the rate.
//   http_download_win_bench URL OUTPUT_FILE
// For an https URL the test CA named by PARLIX_TLS_CA is trusted first.
// Prints: "bytes N seconds S MiB/s R" on one line (and the status on failure).
#include <windows.h>

#include <cstdio>
#include <string>

#include "net/http_cli_win.h"
#include "support/tls_trust_win.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s URL OUTPUT_FILE\n", argv[0]);
    return 2;
  }
  if (std::string(argv[1]).rfind("https:", 0) == 0 && !parlix::test::TrustTestCa()) {
    std::fprintf(stderr, "cannot trust the CA named by PARLIX_TLS_CA\n");
    return 2;
  }
  parlix::THttpCli cli;
  parlix::HttpFileStream out(argv[2], parlix::HttpFileStream::Mode::kCreate);
  if (!out.IsOpen()) {
    std::fprintf(stderr, "cannot create %s\n", argv[2]);
    return 2;
  }
  bool done = false;
  uint16_t err = 0;
  cli.SetMultiThreaded(true);
  cli.SetURL(argv[1]);
  cli.SetDocStream(&out);
  cli.OnRequestDone = [&](parlix::HttpClientCore&, parlix::THttpRequest, uint16_t e) {
    done = true;
    err = e;
  };

  LARGE_INTEGER freq, start, end;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&start);
  cli.StartGet();
  MSG msg;
  while (!done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  out.Close();
  QueryPerformanceCounter(&end);

  const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / freq.QuadPart;
  const double bytes = static_cast<double>(cli.RcvdCount());
  if (err != 0 || cli.StatusCode() != 200) {
    std::fprintf(stderr, "failed: ErrCode %u, status %d %s\n", err, cli.StatusCode(),
                 cli.ReasonPhrase().c_str());
    return 1;
  }
  std::printf("bytes %.0f seconds %.3f MiB/s %.1f\n", bytes, seconds,
              bytes / (1024.0 * 1024.0) / seconds);
  return 0;
}
