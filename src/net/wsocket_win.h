// TWSocket: a non-blocking TCP client socket on Windows Sockets 1.1 ("wsock32.dll",
// loaded at run time) whose every network event arrives as a message to a hidden
// window of the thread that created it. Nothing blocks: operations start an action
// and return, outcomes come through the events while that thread pumps messages.
//
// A socket belongs to its creating thread; its events run only there, from the
// message loop. Process-wide are only the Winsock load count and entry points and the
// registration of the window class, each under its own lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/wsock_buf.h"

namespace parlix {

class ESocketException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TSocketState : uint8_t {
  wsInvalidState = 0,
  wsOpened = 1,
  wsBound = 2,
  wsConnecting = 3,
  wsSocksConnected = 4,
  wsConnected = 5,
  wsAccepting = 6,
  wsListening = 7,
  wsClosed = 8,
};

enum TSocketLingerOnOff : uint8_t { wsLingerOff, wsLingerOn, wsLingerNoSet };

enum TWSocketOption : uint8_t { wsoNoReceiveLoop, wsoTcpNoDelay, wsoSIO_RCVALL };

// A set of TWSocketOption.
class TWSocketOptions {
 public:
  TWSocketOptions() = default;
  TWSocketOptions(std::initializer_list<TWSocketOption> options) {
    for (const TWSocketOption o : options) Include(o);
  }
  bool Has(TWSocketOption o) const { return (bits_ >> o) & 1u; }
  void Include(TWSocketOption o) { bits_ |= 1u << o; }
  void Exclude(TWSocketOption o) { bits_ &= ~(1u << o); }

 private:
  uint32_t bits_ = 0;
};

enum TSocksAuthentication : uint8_t { socksNoAuthentication, socksAuthenticateUsercode };

// Window messages of the hidden socket window (user range).
inline constexpr UINT kWmAsyncSelect = WM_USER + 1;          // 0x401 network event
inline constexpr UINT kWmAsyncGetHostByName = WM_USER + 2;   // 0x402 name lookup done
inline constexpr UINT kWmAsyncGetHostByAddr = WM_USER + 3;   // 0x403 address lookup done
inline constexpr UINT kWmCloseDelayed = WM_USER + 4;         // 0x404 close now
inline constexpr UINT kWmRelease = WM_USER + 5;              // 0x405 free the socket
inline constexpr UINT kWmTriggerException = WM_USER + 6;     // 0x406 test exception
inline constexpr UINT kWmDeferredError = WM_USER + 7;        // 0x407 error queued by Send

inline constexpr char kSocketWindowClass[] = "XSocketWindowClass";

class TWSocket;

// Events. An unassigned event is skipped. ErrCode values are Winsock codes.
using TSessionConnected = std::function<void(TWSocket* sender, uint16_t error)>;
using TSessionClosed = std::function<void(TWSocket* sender, uint16_t error)>;
using TDataAvailable = std::function<void(TWSocket* sender, uint16_t error)>;
using TDataSent = std::function<void(TWSocket* sender, uint16_t error)>;
using TDnsLookupDone = std::function<void(TWSocket* sender, uint16_t error)>;
using TChangeState =
    std::function<void(TWSocket* sender, TSocketState old_state, TSocketState new_state)>;
using TSocketNotifyEvent = std::function<void(TWSocket* sender)>;
using TBgExceptionEvent =
    std::function<void(TWSocket* sender, const std::exception& e, bool& can_close)>;
using TSendData = std::function<void(TWSocket* sender, int bytes_sent)>;
using TSocksErrorEvent =
    std::function<void(TWSocket* sender, uint16_t error, const std::string& msg)>;

// The Winsock library as this process sees it, for diagnostics and tests.
struct WSocketLibraryStatus {
  int socket_count = 0;  // live TWSocket objects
  bool loaded = false;   // wsock32.dll loaded and WSAStartup done
  int load_generation = 0;  // how many times it has been loaded so far
  int lookups = 0;       // name lookups started and not yet completed, abandoned ones included
};
WSocketLibraryStatus WSocketGetLibraryStatus();

// This computer's host name as the socket library's gethostname gives it; empty
// when that fails. Call it while a TWSocket exists, which keeps the library loaded.
std::string WSocketLocalHostName();

class TWSocket {
 public:
  // Creates the hidden window in the calling thread. Makes no Winsock call yet.
  // Throws ESocketException (the socket error "Cannot create a hidden window for
  // TWSocket") when the window cannot be made.
  TWSocket();
  // Cancels a pending lookup, closes without raising any event, unloads Winsock when
  // this was the last socket, destroys the window. Call it on the creating thread,
  // and not from inside one of this socket's own events (use Release there).
  ~TWSocket();
  TWSocket(const TWSocket&) = delete;
  TWSocket& operator=(const TWSocket&) = delete;

  // --- operations ---
  // Resolves a name; the outcome comes through OnDnsLookupDone. A dotted address
  // answers with OnDnsLookupDone(0) before DnsLookup returns.
  void DnsLookup(const std::string& host_name);
  void CancelDnsLookup();
  // Opens and connects using Addr, Port, Proto; the outcome comes through
  // OnSessionConnected (also when the platform refuses the connect at once).
  void Connect();
  // Queues len bytes and tries to send them at once. Returns len, or -1 when the
  // socket is not connected (LastError 10057). Never calls back into the owner:
  // OnDataSent, OnSessionClosed and OnError caused by a Send come from the loop.
  int Send(const void* data, int len);
  int SendStr(const std::string& s) { return Send(s.data(), static_cast<int>(s.size())); }
  // Queues without trying to send.
  int PutDataInSendBuffer(const void* data, int len);
  // Bytes received: > 0; 0 at end of stream; negative on error (LastError holds it).
  int Receive(void* buffer, int buffer_size);
  std::string ReceiveStr();
  // Orderly close: shutdown of the sending side, then closesocket.
  void Close();
  // Closes later, from the message loop.
  void CloseDelayed();
  // Immediate close: drops the queue, no shutdown step.
  void Abort();
  // Frees the socket later, from the message loop. Only for a socket created with
  // new that nothing else owns.
  void Release();
  // Pumps the calling thread's queue until it is empty. A quit message stops the pump,
  // sets Terminated and is posted again, so the thread's own loop still sees it.
  // There is no application object here, so MultiThreaded does not change the pump.
  void ProcessMessages();
  // Only for the background-exception test: posts 0x406.
  void ThrowTestException();

  // --- properties ---
  const std::string& Addr() const { return addr_; }
  void SetAddr(const std::string& value);
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value);
  const std::string& Proto() const { return proto_; }
  void SetProto(const std::string& value);
  const std::string& LocalAddr() const { return local_addr_; }
  void SetLocalAddr(const std::string& value);
  const std::string& LocalPort() const { return local_port_; }
  void SetLocalPort(const std::string& value);

  TSocketState State() const { return state_; }
  int LastError() const { return last_error_; }
  // The text of the last error reported through OnError (or raised).
  const std::string& LastErrorMessage() const { return last_error_message_; }
  const std::string& DnsResult() const { return dns_result_; }
  const std::vector<std::string>& DnsResultList() const { return dns_result_list_; }
  int64_t ReadCount() const { return read_count_; }
  bool AllSent() const { return send_queue_.AllSent(); }
  size_t BufferedByteCount() const { return send_queue_.Pending(); }

  bool MultiThreaded() const { return multi_threaded_; }
  void SetMultiThreaded(bool value) { multi_threaded_ = value; }
  bool Terminated() const;
  TSocketLingerOnOff LingerOnOff() const { return linger_on_off_; }
  void SetLingerOnOff(TSocketLingerOnOff value) { linger_on_off_ = value; }
  int LingerTimeout() const { return linger_timeout_; }
  void SetLingerTimeout(int value) { linger_timeout_ = value; }
  int FlushTimeout() const { return flush_timeout_; }
  void SetFlushTimeout(int value) { flush_timeout_ = value; }
  TWSocketOptions ComponentOptions() const { return component_options_; }
  void SetComponentOptions(TWSocketOptions value) { component_options_ = value; }
  // Size of each new block of the send queue.
  int BufSize() const { return send_queue_.BlockSize(); }
  void SetBufSize(int value) { send_queue_.SetBlockSize(value); }
  int ReqVerLow() const;
  void SetReqVerLow(int value);
  int ReqVerHigh() const;
  void SetReqVerHigh(int value);

  // SOCKS and line mode exist so the HTTP client can copy its values; with an empty
  // SocksServer and LineMode off they have no effect. A non-empty SocksServer makes
  // Connect refuse ("Connect: SOCKS is not supported") rather than go direct.
  const std::string& SocksServer() const { return socks_server_; }
  void SetSocksServer(const std::string& value) { socks_server_ = value; }
  const std::string& SocksLevel() const { return socks_level_; }
  void SetSocksLevel(const std::string& value) { socks_level_ = value; }
  const std::string& SocksPort() const { return socks_port_; }
  void SetSocksPort(const std::string& value) { socks_port_ = value; }
  const std::string& SocksUsercode() const { return socks_usercode_; }
  void SetSocksUsercode(const std::string& value) { socks_usercode_ = value; }
  const std::string& SocksPassword() const { return socks_password_; }
  void SetSocksPassword(const std::string& value) { socks_password_ = value; }
  TSocksAuthentication SocksAuthentication() const { return socks_authentication_; }
  void SetSocksAuthentication(TSocksAuthentication value) { socks_authentication_ = value; }
  bool LineMode() const { return line_mode_; }
  void SetLineMode(bool value) { line_mode_ = value; }
  const std::string& LineEnd() const { return line_end_; }
  void SetLineEnd(const std::string& value) { line_end_ = value; }

  HWND Handle() const { return window_; }
  uintptr_t HSocket() const { return hsocket_; }
  DWORD ThreadId() const { return thread_id_; }

  // --- events ---
  TSessionConnected OnSessionConnected;
  TSessionClosed OnSessionClosed;
  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TDnsLookupDone OnDnsLookupDone;
  TChangeState OnChangeState;
  TSocketNotifyEvent OnError;
  TBgExceptionEvent OnBgException;
  TSendData OnSendData;
  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;

  // The window procedure's entry; not for other callers.
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  struct LookupBuffer;

  void ChangeState(TSocketState new_state);
  // Reports a failure of Winsock function `func` with `code`.
  void SocketError(const std::string& func, int code);
  // OnError when assigned, otherwise ESocketException.
  void RaiseException(const std::string& msg);
  void HandleBackgroundException(const std::exception& e);

  void HandleNetworkEvent(WPARAM wparam, LPARAM lparam);
  void HandleLookupDone(WPARAM wparam, LPARAM lparam);
  void HandleDeferredError();
  void DoConnectEvent(uint16_t error);
  void DoReadEvent(uint16_t error);
  void DoWriteEvent(uint16_t error);
  void DoCloseEvent(uint16_t error);
  void ReceiveLoop(uint16_t error, bool single_round);
  bool HasBytesWaiting();
  // Drains the send queue; from_loop says whether OnSendData may be raised now.
  TrySendResult TryToSend(bool from_loop);
  void PostWriteNotification();
  void QueueSocketError(const std::string& func, int code);
  void PostDeferredError();
  void InternalClose(bool shutdown_first, uint16_t error);
  void ResetConnectionValues();
  void AbortQuietly();
  bool ResolveEverything(uint32_t& address, uint16_t& port, int& protocol,
                         uint32_t& local_address, uint16_t& local_port);
  bool SetOptions();

  // Properties.
  std::string addr_;
  std::string port_;
  std::string proto_ = "tcp";
  std::string local_addr_ = "0.0.0.0";
  std::string local_port_ = "0";
  bool multi_threaded_ = false;
  TSocketLingerOnOff linger_on_off_ = wsLingerOn;
  int linger_timeout_ = 0;
  int flush_timeout_ = 60;
  TWSocketOptions component_options_;
  std::string socks_server_;
  std::string socks_level_ = "5";
  std::string socks_port_;
  std::string socks_usercode_;
  std::string socks_password_;
  TSocksAuthentication socks_authentication_ = socksNoAuthentication;
  bool line_mode_ = false;
  std::string line_end_ = "\r\n";

  // Connection state.
  TSocketState state_ = wsClosed;
  int last_error_ = 0;
  std::string last_error_message_;
  std::string dns_result_;
  std::vector<std::string> dns_result_list_;
  int64_t read_count_ = 0;
  uintptr_t hsocket_;
  HWND window_ = nullptr;
  DWORD thread_id_ = 0;
  TBufferQueue send_queue_;
  int send_buffer_size_ = 0;  // SO_SNDBUF read at connect
  bool close_reported_ = false;
  bool paused_ = false;
  bool destroying_ = false;
  bool addr_resolved_ = false;
  bool port_resolved_ = false;
  bool proto_resolved_ = false;
  bool local_addr_resolved_ = false;
  bool local_port_resolved_ = false;
  uint32_t resolved_addr_ = 0;  // network order
  uint16_t resolved_port_ = 0;  // network order
  int resolved_proto_ = 0;
  uint32_t resolved_local_addr_ = 0;  // network order
  uint16_t resolved_local_port_ = 0;  // network order
  bool receive_failed_ = false;  // a Receive of the current round failed

  const char* last_option_ = "";  // the socket option that failed at connect
  int64_t unreported_sent_ = 0;   // bytes Send pushed out, for OnSendData from the loop

  // Errors met inside Send or DnsLookup, delivered from the loop.
  bool deferred_error_posted_ = false;
  int deferred_lookup_error_ = 0;
  int deferred_close_error_ = 0;
  uintptr_t deferred_close_socket_ = 0;
  int deferred_socket_error_ = 0;
  std::string deferred_socket_error_func_;
  uintptr_t deferred_socket_error_socket_ = 0;

  // The pending asynchronous lookup. Its buffer is abandoned, not freed, when the
  // lookup is cancelled: the resolver may still write into it afterwards.
  HANDLE lookup_handle_ = nullptr;
  HANDLE abandoned_lookup_ = nullptr;  // cancelled; its completion may still come
  LookupBuffer* lookup_buffer_ = nullptr;
  bool lookup_starting_ = false;
  bool lookup_early_ = false;  // completion seen before the handle was stored
  WPARAM lookup_early_wparam_ = 0;
  LPARAM lookup_early_lparam_ = 0;
};

// Test hook: replaces the WSAAsyncGetHostByName entry point the sockets use (nullptr
// restores the library's). Lets a test deliver a completion before the call returns.
using WSocketAsyncGetHostByNameFn = HANDLE(WINAPI*)(HWND, unsigned int, const char*, char*, int);
void WSocketSetAsyncGetHostByNameForTest(WSocketAsyncGetHostByNameFn fn);

}  // namespace parlix
