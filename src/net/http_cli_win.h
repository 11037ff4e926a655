// THttpCli: the HTTP client the program's workers use. HttpClientCore does the
// protocol and HttpAuthClient the Basic and NTLM exchanges; this object gives it a
// TWSocket and a hidden window of its own, in the thread that creates it, which
// must keep pumping messages while a request runs. https addresses go through
// TlsSocket with SChannel between the two.
#pragma once

#include <windows.h>

#include <memory>

#include "net/http_auth.h"
#include "net/tls_socket.h"
#include "net/wsocket_win.h"

namespace parlix {

class THttpCli : public HttpAuthClient {
 public:
  THttpCli();
  ~THttpCli() override;

  // The socket the client owns (for diagnostics; the client sets its properties).
  TWSocket& CtrlSocket() { return *socket_; }
  // The hidden window that receives the client's private messages.
  HWND Handle() const { return window_.get(); }

  // Forwarded from the socket; nothing in the program uses SOCKS.
  std::function<void(THttpCli& sender, uint16_t error)> OnSocksConnected;
  std::function<void(THttpCli& sender, uint16_t error, const std::string& msg)> OnSocksError;

 protected:
  // NTLM names the workstation by the socket library's host name.
  std::string NtlmWorkstation() override;

 private:
  class SocketAdapter;
  class Poster;
  struct WindowDeleter {
    void operator()(HWND hwnd) const {
      if (hwnd != nullptr) DestroyWindow(hwnd);
    }
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

  std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter> window_;
  std::unique_ptr<TWSocket> socket_;
  std::unique_ptr<SocketAdapter> adapter_;
  std::unique_ptr<TlsSocket> tls_;
  std::unique_ptr<Poster> poster_;
};

}  // namespace parlix
