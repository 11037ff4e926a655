#include "net/wsock_buf.h"

#include <algorithm>
#include <cstring>

namespace parlix {

TBuffer::TBuffer(int size) : data_(static_cast<size_t>(size > 0 ? size : kDefaultSize)) {}

int TBuffer::Write(const char* data, int len) {
  if (data == nullptr || len <= 0) return 0;
  const int n = std::min(len, FreeSpace());
  if (n <= 0) return 0;
  std::memcpy(data_.data() + wr_count_, data, static_cast<size_t>(n));
  wr_count_ += n;
  return n;
}

std::string_view TBuffer::Peek() const {
  return std::string_view(data_.data() + rd_count_, static_cast<size_t>(DataCount()));
}

void TBuffer::Remove(int count) {
  if (count <= 0) return;
  rd_count_ += std::min(count, DataCount());
  if (rd_count_ == wr_count_) {
    rd_count_ = 0;
    wr_count_ = 0;
  }
}

void TBuffer::SetBufSize(int size) {
  if (size <= 0) size = kDefaultSize;
  const int unread = DataCount();
  std::vector<char> fresh(static_cast<size_t>(std::max(size, unread)));
  if (unread > 0) std::memcpy(fresh.data(), data_.data() + rd_count_, static_cast<size_t>(unread));
  data_ = std::move(fresh);
  rd_count_ = 0;
  wr_count_ = unread;
}

TBufferQueue::TBufferQueue(int block_size) : block_size_(block_size) {}

void TBufferQueue::SetBlockSize(int size) { block_size_ = size; }

void TBufferQueue::Append(const char* data, size_t len) {
  if (data == nullptr) return;
  while (len > 0) {
    if (blocks_.empty() || blocks_.back().FreeSpace() == 0) blocks_.emplace_back(block_size_);
    const int chunk = static_cast<int>(std::min<size_t>(len, static_cast<size_t>(blocks_.back().FreeSpace())));
    const int n = blocks_.back().Write(data, chunk);
    data += n;
    len -= static_cast<size_t>(n);
    pending_ += static_cast<size_t>(n);
  }
}

std::string_view TBufferQueue::Front() const {
  if (blocks_.empty()) return {};
  return blocks_.front().Peek();
}

void TBufferQueue::Remove(int count) {
  if (blocks_.empty() || count <= 0) return;
  TBuffer& first = blocks_.front();
  const int n = std::min(count, first.DataCount());
  first.Remove(n);
  pending_ -= static_cast<size_t>(n);
  if (first.DataCount() == 0 && blocks_.size() > 1) blocks_.pop_front();
}

void TBufferQueue::Clear() {
  blocks_.clear();
  pending_ = 0;
}

bool IsSendCloseError(int error) {
  switch (error) {
    case 10022:  // invalid argument: the socket was shut down under us
    case 10038:  // not a socket any more
    case 10053:  // connection aborted
    case 10054:  // connection reset by peer
    case 10057:  // not connected
      return true;
    default:
      return false;
  }
}

TrySendResult TrySendQueue(TBufferQueue& queue,
                           const std::function<SendAttempt(std::string_view)>& send_once,
                           const std::function<void(int)>& on_sent) {
  for (;;) {
    const std::string_view data = queue.Front();
    if (data.empty()) return {TrySendOutcome::kAllSent, 0};
    const SendAttempt attempt = send_once(data);
    if (attempt.sent > 0) {
      queue.Remove(std::min(attempt.sent, static_cast<int>(data.size())));
      if (on_sent) on_sent(attempt.sent);
      continue;
    }
    if (attempt.error == kWsaEWouldBlock || attempt.error == 0) {
      return {TrySendOutcome::kWouldBlock, attempt.error};
    }
    if (IsSendCloseError(attempt.error)) return {TrySendOutcome::kCloseError, attempt.error};
    return {TrySendOutcome::kOtherError, attempt.error};
  }
}

}  // namespace parlix
