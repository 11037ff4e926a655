#include "net/http_chunk.h"

#include <algorithm>

namespace parlix {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void ChunkDecoder::Reset() {
  state_ = State::kSize;
  chunk_size_ = 0;
  chunk_taken_ = 0;
  size_digits_ = 0;
}

ChunkDecoder::Status ChunkDecoder::Feed(const char* data, size_t len, const Sink& sink,
                                        size_t* consumed) {
  size_t i = 0;
  auto report = [&](Status status) {
    if (consumed != nullptr) *consumed = i;
    return status;
  };
  while (i < len) {
    switch (state_) {
      case State::kSize: {
        const int digit = HexValue(data[i]);
        if (digit < 0) {
          // A size line must start with a digit; anything else would end the
          // document early and pass a cut answer off as whole.
          if (size_digits_ == 0) {
            state_ = State::kBad;
            return report(Status::kBadSize);
          }
          state_ = State::kSizeLineEnd;  // extensions and the CR are skipped
          break;
        }
        if (++size_digits_ > kMaxSizeDigits) {
          state_ = State::kBad;
          return report(Status::kBadSize);
        }
        chunk_size_ = (chunk_size_ << 4) | static_cast<uint64_t>(digit);
        ++i;
        break;
      }
      case State::kSizeLineEnd:
        if (data[i++] == '\n') {
          chunk_taken_ = 0;
          state_ = State::kData;
        }
        break;
      case State::kData: {
        const uint64_t wanted = chunk_size_ - chunk_taken_;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(wanted, len - i));
        if (n > 0) {
          chunk_taken_ += n;
          const char* run = data + i;
          i += n;
          if (!sink(run, n)) return report(Status::kMore);
        }
        if (chunk_taken_ == chunk_size_) state_ = State::kDataLineEnd;
        break;
      }
      case State::kDataLineEnd:
        if (data[i++] == '\n') {
          if (chunk_size_ == 0) {
            // Trailer fields, if any, are not read past their first line.
            state_ = State::kDone;
            return report(Status::kFinished);
          }
          chunk_size_ = 0;
          size_digits_ = 0;
          state_ = State::kSize;
        }
        break;
      case State::kDone:
        return report(Status::kFinished);
      case State::kBad:
        return report(Status::kBadSize);
    }
  }
  if (state_ == State::kDone) return report(Status::kFinished);
  if (state_ == State::kBad) return report(Status::kBadSize);
  return report(Status::kMore);
}

}  // namespace parlix
