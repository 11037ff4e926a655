// A plain blocking Winsock peer on 127.0.0.1 for socket and HTTP tests: it listens on
// a free port, and each accepted connection runs a script on a thread of its own.
// It loads ws2_32.dll at run time like the product does, so test programs need no
// socket library at link time.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace parlix::test {

// One accepted connection, used from the peer's thread.
class PeerConnection {
 public:
  explicit PeerConnection(uintptr_t s) : s_(s) {}
  // Sends every byte; false when the connection failed.
  bool SendAll(const std::string& data);
  // Reads exactly n bytes (fewer when the connection ends first).
  std::string ReceiveExactly(size_t n);
  // Reads a request's head, up to its blank line (at most 64 KiB), byte by byte so that
  // nothing after it is taken.
  std::string ReceiveHead();
  // The head, then as many bytes as its Content-Length announces.
  std::string ReceiveRequest();
  // Reads until the other side closes.
  std::string ReceiveUntilClosed();
  // Graceful close (FIN).
  void Close();
  // Abortive close (RST).
  void Reset();
  // The client's port, as this side sees it.
  uint16_t RemotePort() const;

 private:
  uintptr_t s_;
};

class LoopbackPeer {
 public:
  using Script = std::function<void(PeerConnection&)>;

  // Listens on 127.0.0.1 and a free port; `script` runs once per accepted connection.
  explicit LoopbackPeer(Script script, int connections = 1);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  uint16_t Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }
  // Waits until every connection's script has ended.
  void Join();

  // A port on 127.0.0.1 where nothing listens (bound, then released).
  static uint16_t UnusedPort();

 private:
  uintptr_t listener_;
  uint16_t port_ = 0;
  std::thread thread_;
};

// A port on 127.0.0.1 where no connection is ever completed: a listener that accepts
// nothing, its queue filled by connections of its own, so the system leaves the rest unanswered.
class UnansweredPort {
 public:
  UnansweredPort();
  ~UnansweredPort();
  uint16_t Port() const { return port_; }

 private:
  std::vector<uintptr_t> sockets_;  // the listener first
  uint16_t port_ = 0;
};

// Pumps this thread's messages until pred holds or the time is up.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeout_ms = 10000);
// Pumps for a while with nothing to wait for. Only where a test shows that something does
// NOT happen (no late message, no late file) and no event marks the moment it would have.
void PumpFor(DWORD ms);

}  // namespace parlix::test
