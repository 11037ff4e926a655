// The socket's send queue: fixed-size blocks (TBuffer) in a list (TBufferQueue), and
// the loop that drains the queue into a non-blocking send call.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string_view>
#include <vector>

namespace parlix {

// One block of the send queue. Bytes are written after the write count and read from
// the read count; when every written byte has been removed both counts return to 0,
// so a drained block is reused from its start.
class TBuffer {
 public:
  static constexpr int kDefaultSize = 1514;

  // A size of 0 or less gives kDefaultSize.
  explicit TBuffer(int size);

  // Copies as many bytes as fit after the write count; returns how many.
  int Write(const char* data, int len);
  // The unread bytes (empty when none).
  std::string_view Peek() const;
  // Drops count unread bytes (at most as many as there are).
  void Remove(int count);
  // Changes the capacity; the unread bytes are kept, so the new capacity is never
  // below their number.
  void SetBufSize(int size);

  int BufSize() const { return static_cast<int>(data_.size()); }
  int DataCount() const { return wr_count_ - rd_count_; }
  int FreeSpace() const { return BufSize() - wr_count_; }

 private:
  std::vector<char> data_;
  int wr_count_ = 0;
  int rd_count_ = 0;
};

// The list of blocks that Send appends to and the write notification drains.
class TBufferQueue {
 public:
  static constexpr int kDefaultBlockSize = 1460;

  explicit TBufferQueue(int block_size = kDefaultBlockSize);

  // Appends after the last block's data, adding blocks of the block size as each fills.
  void Append(const char* data, size_t len);
  // The unread bytes of the first block; empty when the queue is all sent.
  std::string_view Front() const;
  // Removes count bytes from the first block. An emptied first block is freed when
  // another follows it; the last block stays for reuse.
  void Remove(int count);
  void Clear();

  bool AllSent() const { return pending_ == 0; }
  size_t Pending() const { return pending_; }
  size_t BlockCount() const { return blocks_.size(); }
  int BlockSize() const { return block_size_; }
  // Applies to blocks added from now on; a size of 0 or less gives TBuffer's default.
  void SetBlockSize(int size);

 private:
  std::deque<TBuffer> blocks_;
  int block_size_;
  size_t pending_ = 0;
};

// Winsock codes the send path treats specially (numeric, so this stays portable).
inline constexpr int kWsaEWouldBlock = 10035;

// What a send attempt on the socket reports: bytes accepted (> 0), or 0 with a
// Winsock error code (kWsaEWouldBlock when the stack is full).
struct SendAttempt {
  int sent = 0;
  int error = 0;
};

enum class TrySendOutcome {
  kAllSent,     // the queue is empty
  kWouldBlock,  // the stack is full; the next write notification resumes
  kCloseError,  // the connection is gone: close and report OnSessionClosed(error)
  kOtherError,  // reported as the socket error "TryToSend failed"
};

struct TrySendResult {
  TrySendOutcome outcome = TrySendOutcome::kAllSent;
  int error = 0;
};

// The errors after which the connection cannot carry data any more.
bool IsSendCloseError(int error);

// Offers the first block to send_once until the queue is empty or the stack refuses.
// A partial send goes round again rather than stopping: only a refusal with "would
// block" arms the next write notification, so stopping after a short write could
// leave the rest of the queue waiting for a notification that never comes.
// on_sent, when set, is told each positive count.
TrySendResult TrySendQueue(TBufferQueue& queue,
                           const std::function<SendAttempt(std::string_view)>& send_once,
                           const std::function<void(int)>& on_sent);

}  // namespace parlix
