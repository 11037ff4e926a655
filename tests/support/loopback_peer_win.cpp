#include "support/loopback_peer_win.h"

#include <algorithm>
#include <stdexcept>

namespace parlix::test {
namespace {

// The ws2_32 functions the peer uses, named once for the table and for loading it.
#define PARLIX_WS2_FUNCTIONS(X)                                                                \
  X(WSAStartup) X(socket) X(bind) X(listen) X(accept) X(connect) X(ioctlsocket) X(send) X(recv) \
  X(closesocket) X(shutdown) X(getsockname) X(getpeername) X(setsockopt) X(htonl) X(ntohs)

struct Ws2 {
#define PARLIX_WS2_FIELD(fn) decltype(&::fn) fn;
  PARLIX_WS2_FUNCTIONS(PARLIX_WS2_FIELD)
#undef PARLIX_WS2_FIELD
};

template <typename Fn>
void Get(HMODULE m, Fn& fn, const char* name) {
  FARPROC p = GetProcAddress(m, name);
  if (p == nullptr) throw std::runtime_error(std::string("ws2_32 lacks ") + name);
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

// Loaded once for the test program and never unloaded, so it cannot disturb the
// load count the product keeps for wsock32.dll.
const Ws2& Api() {
  static const Ws2 api = [] {
    HMODULE m = LoadLibraryA("ws2_32.dll");
    if (m == nullptr) throw std::runtime_error("cannot load ws2_32.dll");
    Ws2 a{};
#define PARLIX_WS2_LOAD(fn) Get(m, a.fn, #fn);
    PARLIX_WS2_FUNCTIONS(PARLIX_WS2_LOAD)
#undef PARLIX_WS2_LOAD
    WSADATA data;
    a.WSAStartup(MAKEWORD(2, 2), &data);
    return a;
  }();
  return api;
}

SOCKET Listen(uint16_t& port, int backlog = 8) {
  const Ws2& ws = Api();
  SOCKET s = ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw std::runtime_error("peer: socket failed");
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = ws.htonl(INADDR_LOOPBACK);
  if (ws.bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || ws.listen(s, backlog) != 0) {
    ws.closesocket(s);
    throw std::runtime_error("peer: bind/listen failed");
  }
  int len = sizeof(a);
  ws.getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  port = ws.ntohs(a.sin_port);
  return s;
}

}  // namespace

bool PeerConnection::SendAll(const std::string& data) {
  size_t off = 0;
  while (off < data.size()) {
    const int chunk = static_cast<int>(std::min<size_t>(data.size() - off, 1 << 16));
    const int n = Api().send(static_cast<SOCKET>(s_), data.data() + off, chunk, 0);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

std::string PeerConnection::ReceiveExactly(size_t n) {
  std::string out;
  char buf[65536];
  while (out.size() < n) {
    const int want = static_cast<int>(std::min<size_t>(sizeof(buf), n - out.size()));
    const int got = Api().recv(static_cast<SOCKET>(s_), buf, want, 0);
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  return out;
}

std::string PeerConnection::ReceiveHead() {
  std::string head;
  while (head.size() < 64 * 1024 && head.find("\r\n\r\n") == std::string::npos) {
    const std::string byte = ReceiveExactly(1);
    if (byte.empty()) break;
    head += byte;
  }
  return head;
}

std::string PeerConnection::ReceiveRequest() {
  const std::string head = ReceiveHead();
  const size_t at = head.find("Content-Length: ");
  return at == std::string::npos ? head : head + ReceiveExactly(std::stoul(head.substr(at + 16)));
}

std::string PeerConnection::ReceiveUntilClosed() { return ReceiveExactly(std::string::npos); }

void PeerConnection::Close() {
  if (s_ == static_cast<uintptr_t>(INVALID_SOCKET)) return;
  Api().shutdown(static_cast<SOCKET>(s_), SD_SEND);
  Api().closesocket(static_cast<SOCKET>(s_));
  s_ = static_cast<uintptr_t>(INVALID_SOCKET);
}

void PeerConnection::Reset() {
  if (s_ == static_cast<uintptr_t>(INVALID_SOCKET)) return;
  const linger li{1, 0};  // on, no time: the close resets
  Api().setsockopt(static_cast<SOCKET>(s_), SOL_SOCKET, SO_LINGER,
                   reinterpret_cast<const char*>(&li), sizeof(li));
  Api().closesocket(static_cast<SOCKET>(s_));
  s_ = static_cast<uintptr_t>(INVALID_SOCKET);
}

uint16_t PeerConnection::RemotePort() const {
  sockaddr_in a = {};
  int len = sizeof(a);
  Api().getpeername(static_cast<SOCKET>(s_), reinterpret_cast<sockaddr*>(&a), &len);
  return Api().ntohs(a.sin_port);
}

LoopbackPeer::LoopbackPeer(Script script, int connections) {
  listener_ = static_cast<uintptr_t>(Listen(port_));
  thread_ = std::thread([this, script = std::move(script), connections] {
    std::vector<std::thread> workers;
    for (int i = 0; i < connections; ++i) {
      const SOCKET c = Api().accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
      if (c == INVALID_SOCKET) break;
      workers.emplace_back([c, &script] {
        PeerConnection conn(static_cast<uintptr_t>(c));
        script(conn);
        conn.Close();
      });
    }
    for (std::thread& w : workers) w.join();
  });
}

LoopbackPeer::~LoopbackPeer() {
  // Closing the listener ends an accept that is still waiting.
  Api().closesocket(static_cast<SOCKET>(listener_));
  Join();
}

void LoopbackPeer::Join() {
  if (thread_.joinable()) thread_.join();
}

uint16_t LoopbackPeer::UnusedPort() {
  uint16_t port = 0;
  const SOCKET s = Listen(port);
  Api().closesocket(s);
  return port;
}

UnansweredPort::UnansweredPort() {
  const Ws2& ws = Api();
  sockets_.push_back(static_cast<uintptr_t>(Listen(port_, 0)));
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = ws.htonl(INADDR_LOOPBACK);
  a.sin_port = static_cast<u_short>((port_ >> 8) | ((port_ & 0xFF) << 8));
  // A few more than the smallest queue holds, whatever the system rounds it to.
  for (int i = 0; i < 4; ++i) {
    const SOCKET s = ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long non_blocking = 1;
    ws.ioctlsocket(s, static_cast<long>(FIONBIO), &non_blocking);
    ws.connect(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    sockets_.push_back(static_cast<uintptr_t>(s));
  }
  Sleep(200);
}

UnansweredPort::~UnansweredPort() {
  for (uintptr_t s : sockets_) Api().closesocket(static_cast<SOCKET>(s));
}

bool PumpUntil(const std::function<bool()>& pred, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (pred()) return true;
    if (GetTickCount() - start >= timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

}  // namespace parlix::test
