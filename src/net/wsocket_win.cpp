// Winsock types and constants only: every function is reached through entry points
// looked up at run time, nothing links against a socket library.
#include <winsock2.h>

#include "net/wsocket_win.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "net/ascii.h"
#include "net/wsocket_util.h"
#include "platform/callback_guard_win.h"
#include "platform/thread_win.h"
#include "platform/handles_win.h"
#include "platform/stage_clock.h"

namespace parlix {
namespace {

constexpr uintptr_t kInvalidSocket = static_cast<uintptr_t>(~static_cast<uintptr_t>(0));
constexpr char kLibraryName[] = "wsock32.dll";
constexpr char kCoreLibraryName[] = "ws2_32.dll";
constexpr int kLookupBufferSize = 1025;
constexpr int kWsaEInval = 10022;
constexpr int kWsaENotSock = 10038;
constexpr int kWsaENotConn = 10057;
constexpr int kWsaEConnReset = 10054;
constexpr int kWsaNotInitialised = 10093;
constexpr int kWsaNoData = 11004;
constexpr int kTcpNoDelayOption = 0x0001;
constexpr int kShutdownSend = 1;

// ---------------------------------------------------------------------------------
// Process-wide locks (the only shared state of the socket layer).

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&cs_); }
  ~CriticalSection() { DeleteCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { EnterCriticalSection(&cs_); }
  void Leave() { LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION cs_;
};

class Lock {
 public:
  explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~Lock() { cs_.Leave(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CriticalSection& cs_;
};

// ---------------------------------------------------------------------------------
// The Winsock library, loaded on first use and unloaded with the last socket.

struct WinsockApi {
  decltype(&::WSAStartup) WSAStartup = nullptr;
  decltype(&::WSACleanup) WSACleanup = nullptr;
  decltype(&::WSAGetLastError) WSAGetLastError = nullptr;
  decltype(&::WSASetLastError) WSASetLastError = nullptr;
  decltype(&::WSAAsyncGetHostByName) WSAAsyncGetHostByName = nullptr;
  decltype(&::WSACancelAsyncRequest) WSACancelAsyncRequest = nullptr;
  decltype(&::WSAAsyncSelect) WSAAsyncSelect = nullptr;
  decltype(&::socket) socket = nullptr;
  decltype(&::connect) connect = nullptr;
  decltype(&::bind) bind = nullptr;
  decltype(&::send) send = nullptr;
  decltype(&::recv) recv = nullptr;
  decltype(&::closesocket) closesocket = nullptr;
  decltype(&::shutdown) shutdown = nullptr;
  decltype(&::setsockopt) setsockopt = nullptr;
  decltype(&::getsockopt) getsockopt = nullptr;
  decltype(&::ioctlsocket) ioctlsocket = nullptr;
  decltype(&::inet_addr) inet_addr = nullptr;
  decltype(&::inet_ntoa) inet_ntoa = nullptr;
  decltype(&::htons) htons = nullptr;
  decltype(&::getservbyname) getservbyname = nullptr;
  decltype(&::getprotobyname) getprotobyname = nullptr;
  decltype(&::gethostbyname) gethostbyname = nullptr;
  decltype(&::gethostname) gethostname = nullptr;
};

std::atomic<WSocketAsyncGetHostByNameFn> g_async_get_host_override{nullptr};

// The library under wsock32.dll keeps data for every thread that used it and frees it when
// the thread ends, which it only sees while it is loaded. Each request runs on a thread of
// its own and the last socket unloads wsock32.dll, taking the library under it along, so
// every finished worker left its data behind (an event handle per translation under Wine).
// One reference held for the process's life keeps that library in place; wsock32.dll is
// still cleaned up and freed when the last socket goes.
void PinSocketCore() {
  static const HMODULE pinned = LoadLibraryA(kCoreLibraryName);
  (void)pinned;
}

class WinsockLibrary {
 public:
  static WinsockLibrary& Instance() {
    static WinsockLibrary library;
    return library;
  }
  // Left loaded at the process's end: a lookup that never completed may still be running
  // on the library's own thread, and unloading under it crashes the exit.
  ~WinsockLibrary() { module_.Release(); }

  // The entry points, loading the library first when needed. Throws ESocketException.
  const WinsockApi& Api() {
    if (loaded_.load(std::memory_order_acquire)) return api_;
    Lock lock(cs_);
    if (!loaded_.load(std::memory_order_relaxed)) Load();
    return api_;
  }

  void AddSocket() {
    Lock lock(cs_);
    ++socket_count_;
  }

  // Unloads when the last socket goes, so the next socket starts from a fresh load; but
  // not while a lookup is under way: the resolver runs on a thread of the library's own,
  // and unloading the library under it crashes the process (seen when the program closed
  // during a lookup). Such a lookup keeps the library until its completion arrives, or,
  // when it never does, for the rest of the process.
  void RemoveSocket() {
    Lock lock(cs_);
    if (--socket_count_ > 0) return;
    socket_count_ = 0;
    if (lookups_ == 0) Unload();
  }

  void LookupStarted() {
    Lock lock(cs_);
    ++lookups_;
  }

  void LookupEnded() {
    Lock lock(cs_);
    if (lookups_ > 0) --lookups_;
    if (lookups_ == 0 && socket_count_ == 0) Unload();
  }

  WSocketLibraryStatus Status() {
    Lock lock(cs_);
    return {socket_count_, loaded_.load(std::memory_order_relaxed), generation_, lookups_};
  }

  int ReqVerLow() {
    Lock lock(cs_);
    return req_ver_low_;
  }
  int ReqVerHigh() {
    Lock lock(cs_);
    return req_ver_high_;
  }
  // False when the library is already loaded (the version is fixed then).
  bool SetReqVer(int low, int high) {
    Lock lock(cs_);
    if (loaded_.load(std::memory_order_relaxed)) return false;
    req_ver_low_ = low;
    req_ver_high_ = high;
    return true;
  }

 private:
  template <typename Fn>
  static void Resolve(HMODULE module, Fn& fn, const char* name) {
    FARPROC proc = GetProcAddress(module, name);
    if (proc == nullptr) {
      const DWORD code = GetLastError();
      throw ESocketException(std::string("Procedure ") + name + " not found in " + kLibraryName +
                             " Error #" + std::to_string(code));
    }
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
  }

  void Load() {
    stage_clock::Mark("socket library loading");
    PinSocketCore();
    UniqueModule module(LoadLibraryA(kLibraryName));
    if (!module) {
      throw ESocketException(std::string("Unable to load ") + kLibraryName + " Error #" +
                             std::to_string(GetLastError()));
    }
    WinsockApi api;
    Resolve(module.Get(), api.WSAStartup, "WSAStartup");
    Resolve(module.Get(), api.WSACleanup, "WSACleanup");
    Resolve(module.Get(), api.WSAGetLastError, "WSAGetLastError");
    Resolve(module.Get(), api.WSASetLastError, "WSASetLastError");
    Resolve(module.Get(), api.WSAAsyncGetHostByName, "WSAAsyncGetHostByName");
    Resolve(module.Get(), api.WSACancelAsyncRequest, "WSACancelAsyncRequest");
    Resolve(module.Get(), api.WSAAsyncSelect, "WSAAsyncSelect");
    Resolve(module.Get(), api.socket, "socket");
    Resolve(module.Get(), api.connect, "connect");
    Resolve(module.Get(), api.bind, "bind");
    Resolve(module.Get(), api.send, "send");
    Resolve(module.Get(), api.recv, "recv");
    Resolve(module.Get(), api.closesocket, "closesocket");
    Resolve(module.Get(), api.shutdown, "shutdown");
    Resolve(module.Get(), api.setsockopt, "setsockopt");
    Resolve(module.Get(), api.getsockopt, "getsockopt");
    Resolve(module.Get(), api.ioctlsocket, "ioctlsocket");
    Resolve(module.Get(), api.inet_addr, "inet_addr");
    Resolve(module.Get(), api.inet_ntoa, "inet_ntoa");
    Resolve(module.Get(), api.htons, "htons");
    Resolve(module.Get(), api.getservbyname, "getservbyname");
    Resolve(module.Get(), api.getprotobyname, "getprotobyname");
    Resolve(module.Get(), api.gethostbyname, "gethostbyname");
    Resolve(module.Get(), api.gethostname, "gethostname");
    WSADATA data;
    const WORD version = MAKEWORD(req_ver_low_, req_ver_high_);
    const int rc = api.WSAStartup(version, &data);
    if (rc != 0) {
      throw ESocketException(std::string(kLibraryName) + ": WSAStartup error #" +
                             std::to_string(rc));
    }
    module_ = std::move(module);
    api_ = api;
    ++generation_;
    loaded_.store(true, std::memory_order_release);
    stage_clock::Mark("socket library loaded");
  }

  void Unload() {
    if (!loaded_.load(std::memory_order_relaxed)) return;
    loaded_.store(false, std::memory_order_release);
    api_.WSACleanup();
    module_.Reset();
    api_ = WinsockApi{};
  }

  CriticalSection cs_;
  std::atomic<bool> loaded_{false};
  UniqueModule module_;
  WinsockApi api_;
  int socket_count_ = 0;
  int lookups_ = 0;  // started and not yet completed, abandoned ones included
  int generation_ = 0;
  int req_ver_low_ = 1;
  int req_ver_high_ = 1;
};

const WinsockApi& Ws() { return WinsockLibrary::Instance().Api(); }

// ---------------------------------------------------------------------------------
// The hidden window class, registered for the process while any socket exists.

// Window extra bytes: the socket, then the handle of an abandoned lookup the window still
// waits for after its socket went.
constexpr int kSocketSlot = 0;
constexpr int kAbandonedLookupSlot = sizeof(LONG_PTR);

void EndAbandonedLookup(HWND hwnd);

LRESULT CALLBACK SocketWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* socket = reinterpret_cast<TWSocket*>(GetWindowLongPtrA(hwnd, kSocketSlot));
  if (socket != nullptr) {
    return GuardCallback<LRESULT>(0, [&] { return socket->HandleMessage(msg, wparam, lparam); });
  }
  if (msg == kWmAsyncGetHostByName && wparam != 0 &&
      static_cast<LONG_PTR>(wparam) == GetWindowLongPtrA(hwnd, kAbandonedLookupSlot)) {
    EndAbandonedLookup(hwnd);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

class SocketWindowClass {
 public:
  static SocketWindowClass& Instance() {
    static SocketWindowClass window_class;
    return window_class;
  }

  HWND CreateFor(TWSocket* socket) {
    Lock lock(cs_);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing;
    if (!GetClassInfoA(instance, kSocketWindowClass, &existing)) {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = SocketWindowProc;
      wc.cbWndExtra = 2 * sizeof(LONG_PTR);
      wc.hInstance = instance;
      wc.lpszClassName = kSocketWindowClass;
      if (RegisterClassA(&wc) == 0) return nullptr;
    }
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kSocketWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) {
      UnregisterIfUnused(instance);
      return nullptr;
    }
    SetWindowLongPtrA(hwnd, kSocketSlot, reinterpret_cast<LONG_PTR>(socket));
    ++windows_;
    return hwnd;
  }

  void Destroy(HWND hwnd) {
    Lock lock(cs_);
    SetWindowLongPtrA(hwnd, kSocketSlot, 0);
    DestroyWindow(hwnd);
    --windows_;
    UnregisterIfUnused(GetModuleHandleA(nullptr));
  }

  // The socket goes but its lookup's completion is still to come: the window stays to
  // hear it, so the library can be let go then. Its thread ending takes it anyway.
  void Orphan(HWND hwnd, HANDLE abandoned_lookup) {
    Lock lock(cs_);
    SetWindowLongPtrA(hwnd, kSocketSlot, 0);
    SetWindowLongPtrA(hwnd, kAbandonedLookupSlot, reinterpret_cast<LONG_PTR>(abandoned_lookup));
  }

 private:
  void UnregisterIfUnused(HINSTANCE instance) {
    if (windows_ == 0) UnregisterClassA(kSocketWindowClass, instance);
  }

  CriticalSection cs_;
  int windows_ = 0;
};

void EndAbandonedLookup(HWND hwnd) {
  SetWindowLongPtrA(hwnd, kAbandonedLookupSlot, 0);
  SocketWindowClass::Instance().Destroy(hwnd);
  WinsockLibrary::Instance().LookupEnded();
}

// Set when the pump of this thread met a quit message.
thread_local bool t_terminated = false;

uint16_t Word(int code) { return static_cast<uint16_t>(code); }

// The address list of a host entry the resolver wrote into buf. Every pointer is
// checked against the buffer before it is followed.
std::vector<std::string> AddressesOfHostEntry(const char* buf, size_t size) {
  std::vector<std::string> out;
  if (size < sizeof(hostent)) return out;
  hostent entry;
  std::memcpy(&entry, buf, sizeof(entry));
  if (entry.h_addrtype != AF_INET || entry.h_length != 4) return out;
  const auto inside = [&](const void* p, size_t n) {
    const char* c = static_cast<const char*>(p);
    return c >= buf && c <= buf + size && n <= static_cast<size_t>(buf + size - c);
  };
  char* const* list = entry.h_addr_list;
  for (size_t i = 0;; ++i) {
    if (!inside(list + i, sizeof(char*))) break;
    char* item;
    std::memcpy(&item, list + i, sizeof(item));
    if (item == nullptr || !inside(item, 4)) break;
    const auto* b = reinterpret_cast<const unsigned char*>(item);
    out.push_back(AddressToDotted((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) |
                                  (uint32_t{b[2]} << 8) | uint32_t{b[3]}));
  }
  return out;
}

uint32_t NetworkOrder(uint32_t host_order) {
  const unsigned char b[4] = {static_cast<unsigned char>(host_order >> 24),
                              static_cast<unsigned char>(host_order >> 16),
                              static_cast<unsigned char>(host_order >> 8),
                              static_cast<unsigned char>(host_order)};
  uint32_t out;
  std::memcpy(&out, b, 4);
  return out;
}

// A resolution failure: its text and the Winsock code that goes with it.
struct ResolveError {
  std::string message;
  int code;
};

template <typename T>
struct Resolved {
  std::optional<T> value;
  ResolveError error;
};

Resolved<int> ResolveProto(const std::string& text) {
  if (text.empty() || text.size() >= 32) return {{}, {"WSocketResolveProto: Invalid Protocol.", kWsaEInval}};
  if (text[0] >= '0' && text[0] <= '9') {
    if (const auto n = LeadingDecimal(text, 255)) return {static_cast<int>(*n), {}};
    return {{}, {"WSocketResolveProto: Invalid Protocol.", kWsaEInval}};
  }
  const std::string name = AsciiLower(TrimControls(text));
  if (const auto known = WellKnownProtocol(name)) return {*known, {}};
  const WinsockApi& api = Ws();
  const protoent* entry = api.getprotobyname(name.c_str());
  if (entry == nullptr) {
    const int code = api.WSAGetLastError();
    return {{},
            {"WSocketResolveProto: Cannot convert protocol '" + text + "', Error #" +
                 std::to_string(code),
             code}};
  }
  return {entry->p_proto, {}};
}

// The port in network order.
Resolved<uint16_t> ResolvePort(const std::string& text, const std::string& proto) {
  if (text.empty() || text.size() >= 32) return {{}, {"WSocketResolvePort: Invalid Port.", kWsaEInval}};
  if (proto.empty() || proto.size() >= 32) return {{}, {"WSocketResolvePort: Invalid Proto.", kWsaEInval}};
  const WinsockApi& api = Ws();
  if (text[0] >= '0' && text[0] <= '9') {
    // A number beyond 65535 would silently wrap to another port: refused instead.
    if (const auto n = LeadingDecimal(text, 65535)) return {api.htons(static_cast<u_short>(*n)), {}};
    return {{}, {"WSocketResolvePort: Invalid Port.", kWsaEInval}};
  }
  const std::string name(TrimControls(text));
  const std::string proto_name = AsciiLower(TrimControls(proto));
  const servent* entry = api.getservbyname(name.c_str(), proto_name.c_str());
  if (entry == nullptr) {
    const int code = api.WSAGetLastError();
    return {{},
            {"WSocketResolvePort: Cannot convert port '" + text + "', Error #" + std::to_string(code),
             code}};
  }
  return {static_cast<uint16_t>(entry->s_port), {}};
}

// The address in network order.
Resolved<uint32_t> ResolveHost(const std::string& text) {
  if (text.empty() || text.size() > 256) {
    return {{}, {"WSocketResolveHost: '" + text + "' Invalid Hostname.", kWsaEInval}};
  }
  if (const auto dotted = DottedToAddress(text)) return {NetworkOrder(*dotted), {}};
  const WinsockApi& api = Ws();
  const hostent* entry = api.gethostbyname(std::string(TrimControls(text)).c_str());
  if (entry == nullptr || entry->h_length != 4 || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr) {
    const int code = entry == nullptr ? api.WSAGetLastError() : kWsaNoData;
    return {{},
            {"WSocketResolveHost: Cannot convert host address '" + text + "', Error #" +
                 std::to_string(code),
             code}};
  }
  uint32_t address;
  std::memcpy(&address, entry->h_addr_list[0], 4);
  return {address, {}};
}

}  // namespace

struct TWSocket::LookupBuffer {
  alignas(16) char data[kLookupBufferSize];
};

WSocketLibraryStatus WSocketGetLibraryStatus() { return WinsockLibrary::Instance().Status(); }

std::string WSocketLocalHostName() {
  try {
    char name[256] = {};
    if (Ws().gethostname(name, sizeof(name) - 1) != 0) return {};
    return name;
  } catch (const ESocketException&) {
    return {};
  }
}

void WSocketSetAsyncGetHostByNameForTest(WSocketAsyncGetHostByNameFn fn) {
  g_async_get_host_override.store(fn);
}

// ---------------------------------------------------------------------------------
// Life cycle

TWSocket::TWSocket() : hsocket_(kInvalidSocket), thread_id_(GetCurrentThreadId()) {
  window_ = SocketWindowClass::Instance().CreateFor(this);
  if (window_ == nullptr) {
    throw ESocketException(WSocketErrorText(static_cast<int>(GetLastError()),
                                            "Cannot create a hidden window for TWSocket"));
  }
  WinsockLibrary::Instance().AddSocket();
}

TWSocket::~TWSocket() {
  // The owner is being torn down around us: no event may reach it any more.
  OnSessionConnected = nullptr;
  OnSessionClosed = nullptr;
  OnDataAvailable = nullptr;
  OnDataSent = nullptr;
  OnDnsLookupDone = nullptr;
  OnChangeState = nullptr;
  OnError = nullptr;
  OnBgException = nullptr;
  OnSendData = nullptr;
  OnSocksConnected = nullptr;
  OnSocksError = nullptr;
  destroying_ = true;
  try {
    CancelDnsLookup();
  } catch (...) {
  }
  try {
    if (hsocket_ != kInvalidSocket) InternalClose(true, 0);
  } catch (...) {
  }
  if (abandoned_lookup_ != nullptr) {
    SocketWindowClass::Instance().Orphan(window_, abandoned_lookup_);
  } else {
    SocketWindowClass::Instance().Destroy(window_);
  }
  WinsockLibrary::Instance().RemoveSocket();
}

// ---------------------------------------------------------------------------------
// Errors and state

void TWSocket::ChangeState(TSocketState new_state) {
  const TSocketState old_state = state_;
  state_ = new_state;
  if (old_state != new_state && OnChangeState) OnChangeState(this, old_state, new_state);
}

void TWSocket::RaiseException(const std::string& msg) {
  last_error_message_ = msg;
  if (OnError) {
    OnError(this);
    return;
  }
  throw ESocketException(msg);
}

void TWSocket::SocketError(const std::string& func, int code) {
  last_error_ = code;
  const std::string text = WSocketErrorText(code, func);
  if ((code == kWsaEConnReset || code == kWsaENotConn) && hsocket_ != kInvalidSocket) {
    InternalClose(false, Word(code));
  }
  RaiseException(text);
}

void TWSocket::HandleBackgroundException(const std::exception& e) {
  bool can_close = true;
  if (OnBgException) {
    try {
      OnBgException(this, e, can_close);
    } catch (...) {
    }
  }
  if (can_close) AbortQuietly();
}

void TWSocket::AbortQuietly() {
  try {
    Abort();
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------------
// Properties

void TWSocket::SetAddr(const std::string& value) {
  if (value == addr_) return;
  if (state_ != wsClosed) return RaiseException("Cannot change Addr if not closed");
  addr_ = value;
  addr_resolved_ = false;
}

void TWSocket::SetPort(const std::string& value) {
  if (value == port_) return;
  if (state_ != wsClosed) return RaiseException("Cannot change Port if not closed");
  port_ = value;
  port_resolved_ = false;
}

void TWSocket::SetProto(const std::string& value) {
  if (value == proto_) return;
  if (state_ != wsClosed) return RaiseException("Cannot change Proto if not closed");
  proto_ = value;
  proto_resolved_ = false;
  port_resolved_ = false;
}

void TWSocket::SetLocalAddr(const std::string& value) {
  if (value == local_addr_) return;
  if (state_ != wsClosed) return RaiseException("Cannot change LocalAddr if not closed");
  local_addr_ = value;
  local_addr_resolved_ = false;
}

void TWSocket::SetLocalPort(const std::string& value) {
  if (value == local_port_) return;
  if (state_ != wsClosed) return RaiseException("Cannot change LocalPort if not closed");
  local_port_ = value;
  local_port_resolved_ = false;
}

int TWSocket::ReqVerLow() const { return WinsockLibrary::Instance().ReqVerLow(); }
int TWSocket::ReqVerHigh() const { return WinsockLibrary::Instance().ReqVerHigh(); }

void TWSocket::SetReqVerLow(int value) {
  WinsockLibrary& library = WinsockLibrary::Instance();
  if (!library.SetReqVer(value, library.ReqVerHigh())) {
    RaiseException("SetReqVerLow: WinSock version can't be changed now");
  }
}

void TWSocket::SetReqVerHigh(int value) {
  WinsockLibrary& library = WinsockLibrary::Instance();
  if (!library.SetReqVer(library.ReqVerLow(), value)) {
    RaiseException("SetReqVerHigh: WinSock version can't be changed now");
  }
}

bool TWSocket::Terminated() const { return t_terminated; }

// ---------------------------------------------------------------------------------
// Name lookup

void TWSocket::DnsLookup(const std::string& host_name) {
  if (host_name.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    if (OnDnsLookupDone) OnDnsLookupDone(this, Word(kWsaEInval));
    return;
  }
  CancelDnsLookup();
  dns_result_.clear();
  dns_result_list_.clear();

  if (const auto address = DottedToAddress(host_name)) {
    dns_result_ = AddressToDotted(*address);
    dns_result_list_.push_back(dns_result_);
    if (OnDnsLookupDone) OnDnsLookupDone(this, 0);
    return;
  }

  const WinsockApi& api = Ws();
  WSocketAsyncGetHostByNameFn start = g_async_get_host_override.load();
  if (start == nullptr) start = api.WSAAsyncGetHostByName;
  auto buffer = std::make_unique<LookupBuffer>();
  lookup_starting_ = true;
  lookup_early_ = false;
  HANDLE handle =
      start(window_, kWmAsyncGetHostByName, host_name.c_str(), buffer->data, kLookupBufferSize);
  lookup_starting_ = false;
  if (handle == nullptr) {
    const int code = api.WSAGetLastError();
    last_error_ = code;
    RaiseException(host_name + ": can't start DNS lookup, error #" + std::to_string(code));
    // Reported through OnError only: the lookup still gets its completion, from the
    // loop, so the owner is never left waiting for one.
    deferred_lookup_error_ = code;
    PostDeferredError();
    return;
  }
  WinsockLibrary::Instance().LookupStarted();
  lookup_handle_ = handle;
  lookup_buffer_ = buffer.release();
  if (lookup_early_) {
    lookup_early_ = false;
    HandleLookupDone(lookup_early_wparam_, lookup_early_lparam_);
  }
}

void TWSocket::CancelDnsLookup() {
  if (lookup_handle_ == nullptr) return;
  HANDLE handle = lookup_handle_;
  lookup_handle_ = nullptr;
  // The resolver may still write into the buffer after a cancel: it is abandoned.
  lookup_buffer_ = nullptr;
  // Only one abandoned lookup is watched for; an older one keeps the library loaded for
  // good, which is safe.
  abandoned_lookup_ = handle;
  const WinsockApi& api = Ws();
  api.WSACancelAsyncRequest(handle);
}

void TWSocket::HandleLookupDone(WPARAM wparam, LPARAM lparam) {
  if (abandoned_lookup_ != nullptr && reinterpret_cast<HANDLE>(wparam) == abandoned_lookup_) {
    // The resolver is done with the library: it may be let go.
    abandoned_lookup_ = nullptr;
    WinsockLibrary::Instance().LookupEnded();
    return;
  }
  if (lookup_starting_ && lookup_handle_ == nullptr) {
    // Completed before the start call returned its handle: kept for DnsLookup.
    lookup_early_ = true;
    lookup_early_wparam_ = wparam;
    lookup_early_lparam_ = lparam;
    return;
  }
  if (lookup_handle_ == nullptr || reinterpret_cast<HANDLE>(wparam) != lookup_handle_) return;
  lookup_handle_ = nullptr;
  WinsockLibrary::Instance().LookupEnded();
  std::unique_ptr<LookupBuffer> buffer(lookup_buffer_);
  lookup_buffer_ = nullptr;
  uint16_t error = HIWORD(lparam);
  if (error == 0 && buffer) {
    dns_result_list_ = AddressesOfHostEntry(buffer->data, sizeof(buffer->data));
    if (dns_result_list_.empty()) {
      error = Word(kWsaNoData);
    } else {
      dns_result_ = dns_result_list_.front();
    }
  }
  if (OnDnsLookupDone) OnDnsLookupDone(this, error);
}

// ---------------------------------------------------------------------------------
// Connect

bool TWSocket::ResolveEverything(uint32_t& address, uint16_t& port, int& protocol,
                                 uint32_t& local_address, uint16_t& local_port) {
  const auto fail = [&](const ResolveError& error) {
    last_error_ = error.code;
    RaiseException("connect: " + error.message);
    return false;
  };
  if (!proto_resolved_) {
    const Resolved<int> r = ResolveProto(proto_);
    if (!r.value) return fail(r.error);
    resolved_proto_ = *r.value;
    proto_resolved_ = true;
  }
  if (!port_resolved_) {
    const Resolved<uint16_t> r = ResolvePort(port_, proto_);
    if (!r.value) return fail(r.error);
    resolved_port_ = *r.value;
    port_resolved_ = true;
  }
  if (!local_port_resolved_) {
    const Resolved<uint16_t> r = ResolvePort(local_port_, proto_);
    if (!r.value) return fail(r.error);
    resolved_local_port_ = *r.value;
    local_port_resolved_ = true;
  }
  if (!addr_resolved_) {
    const Resolved<uint32_t> r = ResolveHost(addr_);
    if (!r.value) return fail(r.error);
    resolved_addr_ = *r.value;
    addr_resolved_ = true;
  }
  if (!local_addr_resolved_) {
    const Resolved<uint32_t> r = ResolveHost(local_addr_);
    if (!r.value) return fail(r.error);
    resolved_local_addr_ = *r.value;
    local_addr_resolved_ = true;
  }
  address = resolved_addr_;
  port = resolved_port_;
  protocol = resolved_proto_;
  local_address = resolved_local_addr_;
  local_port = resolved_local_port_;
  return true;
}

void TWSocket::Connect() {
  if (hsocket_ != kInvalidSocket && state_ != wsClosed) {
    return RaiseException("Connect: Socket already in use");
  }
  if (port_.empty()) return RaiseException("Connect: No Port Specified");
  if (addr_.empty()) return RaiseException("Connect: No IP Address Specified");
  if (proto_.empty()) return RaiseException("Connect: No Protocol Specified");
  // Going direct when a SOCKS server was asked for would bypass it unnoticed.
  if (!socks_server_.empty()) return RaiseException("Connect: SOCKS is not supported");

  uint32_t address = 0;
  uint16_t port = 0;
  int protocol = 0;
  uint32_t local_address = 0;
  uint16_t local_port = 0;
  if (!ResolveEverything(address, port, protocol, local_address, local_port)) return;
  if (protocol != IPPROTO_TCP) return RaiseException("Connect: only TCP is supported");

  const WinsockApi& api = Ws();
  send_queue_.Clear();
  unreported_sent_ = 0;
  const SOCKET s = api.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return SocketError("Connect (socket)", api.WSAGetLastError());
  hsocket_ = static_cast<uintptr_t>(s);

  // A failure from here on closes the new handle before it is reported, so a failed
  // attempt never leaves a socket open behind a closed state.
  const auto fail = [&](const char* func) {
    const int code = api.WSAGetLastError();
    api.closesocket(s);
    hsocket_ = kInvalidSocket;
    if (state_ != wsClosed) ChangeState(wsClosed);
    SocketError(func, code);
  };

  int sndbuf = 0;
  int optlen = sizeof(sndbuf);
  if (api.getsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&sndbuf), &optlen) != 0) {
    return fail("getsockopt(SO_SNDBUF)");
  }
  send_buffer_size_ = sndbuf;

  ChangeState(wsOpened);
  if (state_ != wsOpened || hsocket_ != static_cast<uintptr_t>(s)) {
    if (hsocket_ == static_cast<uintptr_t>(s)) {
      api.closesocket(s);
      hsocket_ = kInvalidSocket;
    }
    last_error_ = kWsaEInval;
    return SocketError("Connect (Invalid operation in OnChangeState)", kWsaEInval);
  }
  if (!SetOptions()) return fail(last_option_);

  if (local_port != 0 || local_address != 0) {
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = local_port;
    local.sin_addr.s_addr = local_address;
    if (api.bind(s, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) return fail("bind");
    ChangeState(wsBound);
  }

  if (api.WSAAsyncSelect(s, window_, kWmAsyncSelect,
                         FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE) != 0) {
    return fail("WSAAsyncSelect");
  }

  sockaddr_in remote = {};
  remote.sin_family = AF_INET;
  remote.sin_port = port;
  remote.sin_addr.s_addr = address;
  if (api.connect(s, reinterpret_cast<sockaddr*>(&remote), sizeof(remote)) == 0) {
    ChangeState(wsConnecting);
    return;
  }
  const int code = api.WSAGetLastError();
  if (code == kWsaEWouldBlock) {
    ChangeState(wsConnecting);
    return;
  }
  last_error_ = code;
  // The attempt still ends with OnSessionConnected(code), from the loop, exactly as an
  // asynchronous refusal would, so the owner always gets its completion.
  ChangeState(wsConnecting);
  PostMessageA(window_, kWmAsyncSelect, static_cast<WPARAM>(s), WSAMAKESELECTREPLY(FD_CONNECT, code));
  SocketError("Connect", code);
}

bool TWSocket::SetOptions() {
  const WinsockApi& api = Ws();
  const SOCKET s = static_cast<SOCKET>(hsocket_);
  const BOOL on = TRUE;
  const char* on_ptr = reinterpret_cast<const char*>(&on);
  if (api.setsockopt(s, SOL_SOCKET, SO_REUSEADDR, on_ptr, sizeof(on)) != 0) {
    last_option_ = "setsockopt(SO_REUSEADDR)";
    return false;
  }
  if (component_options_.Has(wsoTcpNoDelay) &&
      api.setsockopt(s, IPPROTO_TCP, kTcpNoDelayOption, on_ptr, sizeof(on)) != 0) {
    last_option_ = "setsockopt(IPPROTO_TCP, TCP_NODELAY)";
    return false;
  }
  if (linger_on_off_ != wsLingerNoSet) {
    linger li = {};
    li.l_onoff = linger_on_off_ == wsLingerOn ? 1 : 0;
    li.l_linger = static_cast<u_short>(linger_timeout_);
    if (api.setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&li), sizeof(li)) != 0) {
      last_option_ = "setsockopt(SO_LINGER)";
      return false;
    }
  }
  if (api.setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, on_ptr, sizeof(on)) != 0) {
    last_option_ = "setsockopt(SO_KEEPALIVE)";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Messages

LRESULT TWSocket::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  try {
    switch (msg) {
      case kWmAsyncSelect:
        HandleNetworkEvent(wparam, lparam);
        return 0;
      case kWmAsyncGetHostByName:
        HandleLookupDone(wparam, lparam);
        return 0;
      case kWmAsyncGetHostByAddr:
        return 0;  // reverse lookups are never started
      case kWmCloseDelayed:
        Close();
        return 0;
      case kWmRelease:
        delete this;
        return 0;
      case kWmTriggerException:
        throw ESocketException("Test exception in WSocket");
      case kWmDeferredError:
        HandleDeferredError();
        return 0;
      default:
        return DefWindowProcA(window_, msg, wparam, lparam);
    }
  } catch (const std::exception& e) {
    HandleBackgroundException(e);
  } catch (...) {
    HandleBackgroundException(ESocketException("Unknown exception in WSocket"));
  }
  return 0;
}

void TWSocket::HandleNetworkEvent(WPARAM wparam, LPARAM lparam) {
  const uintptr_t h = hsocket_;
  if (h == kInvalidSocket || static_cast<uintptr_t>(wparam) != h || paused_) return;
  const uint16_t events = WSAGETSELECTEVENT(lparam);
  const uint16_t error = WSAGETSELECTERROR(lparam);
  // Fixed order; a handler that closed or replaced the connection ends the round.
  if (events & FD_CONNECT) DoConnectEvent(error);
  if (hsocket_ != h) return;
  if (events & FD_READ) DoReadEvent(error);
  if (hsocket_ != h) return;
  if (events & FD_WRITE) DoWriteEvent(error);
  if (hsocket_ != h) return;
  // FD_ACCEPT: listening is never set up, so there is nothing to accept.
  if (events & FD_CLOSE) DoCloseEvent(error);
}

void TWSocket::DoConnectEvent(uint16_t error) {
  if (state_ == wsConnected) return;
  stage_clock::Mark("connected");
  const uintptr_t h = hsocket_;
  ChangeState(wsConnected);
  if (OnSessionConnected) OnSessionConnected(this, error);
  if (error != 0 && state_ != wsClosed && hsocket_ == h) Close();
}

void TWSocket::DoReadEvent(uint16_t error) {
  stage_clock::Mark("data to read");
  const uintptr_t h = hsocket_;
  if (state_ != wsConnected) {
    ChangeState(wsConnected);
    if (OnSessionConnected) OnSessionConnected(this, error);
    if (hsocket_ != h) return;
  }
  ReceiveLoop(error, component_options_.Has(wsoNoReceiveLoop));
}

void TWSocket::ReceiveLoop(uint16_t error, bool single_round) {
  const uintptr_t h = hsocket_;
  for (;;) {
    receive_failed_ = false;
    const int64_t before = read_count_;
    if (OnDataAvailable) {
      OnDataAvailable(this, error);
    } else {
      char discard[1024];
      if (Receive(discard, sizeof(discard)) < 0 && last_error_ == kWsaEWouldBlock) break;
    }
    if (single_round || hsocket_ != h) break;
    if (error != 0 || receive_failed_) break;
    // A handler that leaves the data unread would otherwise keep this loop spinning.
    if (read_count_ == before) break;
    if (!HasBytesWaiting()) break;
  }
}

bool TWSocket::HasBytesWaiting() {
  if (hsocket_ == kInvalidSocket) return false;
  u_long waiting = 0;
  if (Ws().ioctlsocket(static_cast<SOCKET>(hsocket_), FIONREAD, &waiting) != 0) return false;
  return waiting > 0;
}

void TWSocket::DoWriteEvent(uint16_t error) {
  if (unreported_sent_ > 0 && OnSendData) {
    const int64_t n = unreported_sent_;
    unreported_sent_ = 0;
    OnSendData(this, static_cast<int>(n));
  }
  unreported_sent_ = 0;
  const uintptr_t h = hsocket_;
  if (h == kInvalidSocket) return;
  const TrySendResult r = TryToSend(true);
  if (hsocket_ != h) return;
  switch (r.outcome) {
    case TrySendOutcome::kAllSent:
      if (OnDataSent) OnDataSent(this, error);
      return;
    case TrySendOutcome::kWouldBlock:
      return;
    case TrySendOutcome::kCloseError:
      InternalClose(false, Word(r.error));
      return;
    case TrySendOutcome::kOtherError:
      SocketError("TryToSend failed", r.error);
      return;
  }
}

void TWSocket::DoCloseEvent(uint16_t error) {
  if (state_ == wsConnecting) return;
  const uintptr_t h = hsocket_;
  // The data that came with the close is delivered before the close is reported.
  ReceiveLoop(error, false);
  if (hsocket_ != h) return;
  if (!close_reported_) {
    close_reported_ = true;
    if (OnSessionClosed) OnSessionClosed(this, error);
  }
  if (hsocket_ == h && state_ != wsClosed) Close();
}

// ---------------------------------------------------------------------------------
// Sending and receiving

TrySendResult TWSocket::TryToSend(bool from_loop) {
  const WinsockApi& api = Ws();
  const SOCKET s = static_cast<SOCKET>(hsocket_);
  const auto send_once = [&](std::string_view data) -> SendAttempt {
    const int rc = api.send(s, data.data(), static_cast<int>(data.size()), 0);
    if (rc > 0) return {rc, 0};
    const int code = rc == 0 ? kWsaEWouldBlock : api.WSAGetLastError();
    last_error_ = code;
    return {0, code};
  };
  const auto on_sent = [&](int n) {
    if (from_loop) {
      if (OnSendData) OnSendData(this, n);
    } else {
      unreported_sent_ += n;
    }
  };
  return TrySendQueue(send_queue_, send_once, on_sent);
}

int TWSocket::Send(const void* data, int len) {
  if (state_ != wsConnected && state_ != wsSocksConnected) {
    last_error_ = kWsaENotConn;
    QueueSocketError("Send", kWsaENotConn);
    return -1;
  }
  if (data == nullptr || len <= 0) return 0;
  send_queue_.Append(static_cast<const char*>(data), static_cast<size_t>(len));
  const TrySendResult r = TryToSend(false);
  switch (r.outcome) {
    case TrySendOutcome::kAllSent:
      PostWriteNotification();
      break;
    case TrySendOutcome::kWouldBlock:
      break;  // the write notification resumes
    case TrySendOutcome::kCloseError:
      deferred_close_error_ = r.error;
      deferred_close_socket_ = hsocket_;
      PostDeferredError();
      break;
    case TrySendOutcome::kOtherError:
      QueueSocketError("TryToSend failed", r.error);
      break;
  }
  return len;
}

int TWSocket::PutDataInSendBuffer(const void* data, int len) {
  if (data == nullptr || len <= 0) return 0;
  send_queue_.Append(static_cast<const char*>(data), static_cast<size_t>(len));
  return len;
}

void TWSocket::PostWriteNotification() {
  PostMessageA(window_, kWmAsyncSelect, static_cast<WPARAM>(hsocket_), WSAMAKESELECTREPLY(FD_WRITE, 0));
}

void TWSocket::QueueSocketError(const std::string& func, int code) {
  deferred_socket_error_ = code;
  deferred_socket_error_func_ = func;
  deferred_socket_error_socket_ = hsocket_;
  PostDeferredError();
}

void TWSocket::PostDeferredError() {
  if (deferred_error_posted_) return;
  deferred_error_posted_ = true;
  PostMessageA(window_, kWmDeferredError, 0, 0);
}

void TWSocket::HandleDeferredError() {
  deferred_error_posted_ = false;
  if (deferred_lookup_error_ != 0) {
    const int code = deferred_lookup_error_;
    deferred_lookup_error_ = 0;
    if (OnDnsLookupDone) OnDnsLookupDone(this, Word(code));
  }
  if (deferred_close_error_ != 0) {
    const int code = deferred_close_error_;
    deferred_close_error_ = 0;
    // Only the connection that met the error is closed, not a newer one.
    if (hsocket_ != kInvalidSocket && hsocket_ == deferred_close_socket_) {
      InternalClose(false, Word(code));
    }
  }
  if (deferred_socket_error_ != 0) {
    const int code = deferred_socket_error_;
    const std::string func = deferred_socket_error_func_;
    deferred_socket_error_ = 0;
    if (hsocket_ != deferred_socket_error_socket_) {
      // That connection is gone: report the error without touching the new one.
      last_error_ = code;
      return RaiseException(WSocketErrorText(code, func));
    }
    SocketError(func, code);
  }
}

int TWSocket::Receive(void* buffer, int buffer_size) {
  if (buffer == nullptr || buffer_size <= 0) return 0;
  if (hsocket_ == kInvalidSocket) {
    last_error_ = kWsaENotSock;
    receive_failed_ = true;
    return -1;
  }
  const WinsockApi& api = Ws();
  const int rc = api.recv(static_cast<SOCKET>(hsocket_), static_cast<char*>(buffer), buffer_size, 0);
  if (rc < 0) {
    last_error_ = api.WSAGetLastError();
    receive_failed_ = true;
    return rc;
  }
  read_count_ += rc;
  return rc;
}

std::string TWSocket::ReceiveStr() {
  std::string out;
  char buf[4096];
  for (;;) {
    const int n = Receive(buf, sizeof(buf));
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
    if (n < static_cast<int>(sizeof(buf))) break;
  }
  return out;
}

// ---------------------------------------------------------------------------------
// Closing

void TWSocket::Close() { InternalClose(true, 0); }

void TWSocket::CloseDelayed() { PostMessageA(window_, kWmCloseDelayed, 0, 0); }

void TWSocket::Release() { PostMessageA(window_, kWmRelease, 0, 0); }

void TWSocket::ThrowTestException() { PostMessageA(window_, kWmTriggerException, 0, 0); }

void TWSocket::Abort() {
  CancelDnsLookup();
  send_queue_.Clear();
  if (hsocket_ != kInvalidSocket && state_ == wsConnected) {
    linger li = {};
    Ws().setsockopt(static_cast<SOCKET>(hsocket_), SOL_SOCKET, SO_LINGER,
                    reinterpret_cast<const char*>(&li), sizeof(li));
  }
  InternalClose(false, 0);
}

void TWSocket::InternalClose(bool shutdown_first, uint16_t error) {
  if (hsocket_ == kInvalidSocket) {
    if (state_ != wsClosed) ChangeState(wsClosed);
    return;
  }
  const WinsockApi& api = Ws();
  const SOCKET s = static_cast<SOCKET>(hsocket_);
  const bool report = !destroying_ && !close_reported_;
  if (shutdown_first) api.shutdown(s, kShutdownSend);
  int close_error = 0;
  for (;;) {
    if (api.closesocket(s) == 0) break;
    const int code = api.WSAGetLastError();
    if (code == kWsaEWouldBlock) {
      // A lingering close on a non-blocking socket: keep the thread's messages moving.
      ProcessMessages();
      Sleep(1);
      continue;
    }
    if (code != kWsaNotInitialised) close_error = code;
    break;
  }
  hsocket_ = kInvalidSocket;
  // Reset before the event, so a handler may connect again at once.
  ResetConnectionValues();
  ChangeState(wsClosed);
  if (report && OnSessionClosed) OnSessionClosed(this, error);
  if (close_error != 0) SocketError("Disconnect (closesocket)", close_error);
}

void TWSocket::ResetConnectionValues() {
  send_queue_.Clear();
  unreported_sent_ = 0;
  paused_ = false;
  read_count_ = 0;
  close_reported_ = false;
  addr_resolved_ = false;
  port_resolved_ = false;
  proto_resolved_ = false;
  local_addr_resolved_ = false;
  local_port_resolved_ = false;
  proto_ = "tcp";
}

// ---------------------------------------------------------------------------------
// Message pump

void TWSocket::ProcessMessages() {
  if (!PumpThreadMessages()) t_terminated = true;
}

}  // namespace parlix
