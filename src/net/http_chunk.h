// Decoder of the chunked transfer coding. Its state lives between calls, so the
// coded body may arrive split at any byte: inside a size, a line end or the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace parlix {

class ChunkDecoder {
 public:
  enum class Status { kMore, kFinished, kBadSize };
  // Receives each run of decoded bytes, in order. Returning false stops the feed
  // (the caller went away, or could not store the bytes).
  using Sink = std::function<bool(const char* data, size_t len)>;

  // A size line longer than this many hexadecimal digits is refused: no honest
  // chunk needs more than 64 bits, and counting on would overflow.
  static constexpr int kMaxSizeDigits = 16;

  void Reset();
  // Feeds len bytes. *consumed (optional) tells how many bytes were taken; bytes
  // after the end of the last chunk's line are not taken. kMore after a false
  // from the sink means the feed was stopped there.
  Status Feed(const char* data, size_t len, const Sink& sink, size_t* consumed = nullptr);

  bool finished() const { return state_ == State::kDone; }

 private:
  enum class State { kSize, kSizeLineEnd, kData, kDataLineEnd, kDone, kBad };

  State state_ = State::kSize;
  uint64_t chunk_size_ = 0;
  uint64_t chunk_taken_ = 0;
  int size_digits_ = 0;
};

}  // namespace parlix
