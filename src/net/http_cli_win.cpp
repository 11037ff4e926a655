#include "net/http_cli_win.h"

#include "net/tls_schannel_win.h"
#include "platform/callback_guard_win.h"

namespace parlix {

namespace {

constexpr char kHttpCliWindowClass[] = "THttpCliWindowClass";

}  // namespace

class THttpCli::SocketAdapter final : public HttpSocket {
 public:
  explicit SocketAdapter(TWSocket& socket) : socket_(socket) {}

  HttpSocketState State() const override {
    switch (socket_.State()) {
      case wsClosed: return HttpSocketState::kClosed;
      case wsConnected:
      case wsSocksConnected: return HttpSocketState::kConnected;
      default: return HttpSocketState::kOpening;
    }
  }
  void DnsLookup(const std::string& host) override { socket_.DnsLookup(host); }
  void CancelDnsLookup() override {
    try {
      socket_.CancelDnsLookup();
    } catch (const std::exception&) {
    }
  }
  std::string DnsResult() const override { return socket_.DnsResult(); }
  void Connect(const HttpConnectParams& p) override {
    socket_.SetAddr(p.addr);
    socket_.SetPort(p.port);
    socket_.SetProto(p.proto);
    socket_.SetLocalAddr(p.local_addr);
    socket_.SetSocksServer(p.socks_server);
    if (!p.socks_level.empty()) socket_.SetSocksLevel(p.socks_level);
    socket_.SetSocksPort(p.socks_port);
    socket_.SetSocksUsercode(p.socks_usercode);
    socket_.SetSocksPassword(p.socks_password);
    socket_.SetSocksAuthentication(p.socks_authentication ? socksAuthenticateUsercode
                                                          : socksNoAuthentication);
    socket_.Connect();
  }
  int LastError() const override { return socket_.LastError(); }
  void Send(const char* data, size_t len) override {
    socket_.Send(data, static_cast<int>(len));
  }
  int Receive(char* buffer, size_t size) override {
    return socket_.Receive(buffer, static_cast<int>(size));
  }
  void Close() override { socket_.Close(); }
  void CloseDelayed() override { socket_.CloseDelayed(); }
  void Abort() override { socket_.Abort(); }
  void SetMultiThreaded(bool on) override { socket_.SetMultiThreaded(on); }

 private:
  TWSocket& socket_;
};

class THttpCli::Poster final : public HttpMessagePoster {
 public:
  explicit Poster(HWND hwnd) : hwnd_(hwnd) {}
  void PostClientMessage(unsigned msg, uintptr_t wparam, intptr_t lparam) override {
    PostMessageA(hwnd_, msg, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));
  }

 private:
  HWND hwnd_;
};

LRESULT CALLBACK THttpCli::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
  auto* self = reinterpret_cast<THttpCli*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self != nullptr && msg >= kHttpMsgRequestDone && msg <= kHttpMsgConnectCheck) {
    return GuardCallback<LRESULT>(0, [&] {
      self->HandleClientMessage(msg, static_cast<uintptr_t>(wparam), static_cast<intptr_t>(lparam));
      return LRESULT{0};
    });
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

THttpCli::THttpCli() {
  // Registered once per process; a function-local static is initialised under the
  // language's own guard, so two workers starting together cannot race here.
  static const ATOM window_class = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &THttpCli::WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHttpCliWindowClass;
    return RegisterClassA(&wc);
  }();
  if (window_class == 0) throw EHttpException("Cannot register the HTTP client window class", 0);
  window_.reset(CreateWindowExA(WS_EX_TOOLWINDOW, kHttpCliWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, GetModuleHandleA(nullptr), this));
  if (!window_) throw EHttpException("Cannot create a hidden window for THttpCli", 0);

  socket_ = std::make_unique<TWSocket>();
  adapter_ = std::make_unique<SocketAdapter>(*socket_);
  poster_ = std::make_unique<Poster>(window_.get());
  tls_ = std::make_unique<TlsSocket>(*adapter_, &MakeSchannelSecurity);
  tls_->SetEvents(this);
  TlsSocket& tls = *tls_;
  socket_->OnSessionClosed = [&tls](TWSocket*, uint16_t e) { tls.SocketSessionClosed(e); };
  socket_->OnDataAvailable = [&tls](TWSocket*, uint16_t e) { tls.SocketDataAvailable(e); };
  socket_->OnSessionConnected = [&tls](TWSocket*, uint16_t e) { tls.SocketSessionConnected(e); };
  socket_->OnDataSent = [&tls](TWSocket*, uint16_t e) { tls.SocketDataSent(e); };
  socket_->OnDnsLookupDone = [&tls](TWSocket*, uint16_t e) { tls.SocketDnsLookupDone(e); };
  socket_->OnError = [&tls](TWSocket*) { tls.SocketError(); };
  socket_->OnSocksConnected = [this](TWSocket*, uint16_t e) {
    if (OnSocksConnected) OnSocksConnected(*this, e);
  };
  socket_->OnSocksError = [this](TWSocket*, uint16_t e, const std::string& msg) {
    if (OnSocksError) OnSocksError(*this, e, msg);
  };
  AttachTransport(tls_.get(), poster_.get());
}

THttpCli::~THttpCli() {
  // The socket must not call back into a half-destroyed client while it closes.
  socket_->OnSessionClosed = nullptr;
  socket_->OnDataAvailable = nullptr;
  socket_->OnSessionConnected = nullptr;
  socket_->OnDataSent = nullptr;
  socket_->OnDnsLookupDone = nullptr;
  socket_->OnError = [](TWSocket*) {};
  socket_->OnSocksConnected = nullptr;
  socket_->OnSocksError = nullptr;
  socket_.reset();
  // Messages still queued for the window are dropped with it.
  SetWindowLongPtrA(window_.get(), GWLP_USERDATA, 0);
  window_.reset();
}

std::string THttpCli::NtlmWorkstation() { return WSocketLocalHostName(); }

}  // namespace parlix
