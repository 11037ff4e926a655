// The chunk decoder fed in pieces: never more bytes out than in, and the same result
// whatever the pieces.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz_check.h"
#include "net/http_chunk.h"

using parlix::ChunkDecoder;

namespace {

ChunkDecoder::Status Decode(const std::string& coded, size_t piece, std::string& out) {
  ChunkDecoder decoder;
  decoder.Reset();
  ChunkDecoder::Status status = ChunkDecoder::Status::kMore;
  for (size_t at = 0; at < coded.size() && status == ChunkDecoder::Status::kMore; at += piece) {
    const size_t n = std::min(piece, coded.size() - at);
    status = decoder.Feed(coded.data() + at, n, [&](const char* d, size_t len) {
      out.append(d, len);
      return true;
    });
  }
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const size_t piece = in.ConsumeIntegralInRange<size_t>(1, 64);
  const std::string coded = in.ConsumeRemainingBytesAsString();
  std::string whole_out, piece_out;
  const auto whole = Decode(coded, coded.size() + 1, whole_out);
  const auto pieces = Decode(coded, piece, piece_out);
  FUZZ_CHECK(whole_out.size() <= coded.size());
  FUZZ_CHECK(whole == pieces);
  FUZZ_CHECK(whole_out == piece_out);
  return 0;
}
