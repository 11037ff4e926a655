#include "net/http_chunk.h"

#include <gtest/gtest.h>

#include <string>

namespace parlix {
namespace {

const std::string kCoded =
    "5\r\nHello\r\n"
    "1A;name=value\r\n, this is the second chunk\r\n"
    "3\r\n!\r\n\r\n"
    "0\r\n"
    "Trailer: x\r\n\r\n";
const std::string kPlain = "Hello, this is the second chunk!\r\n";

struct Outcome {
  std::string doc;
  ChunkDecoder::Status status = ChunkDecoder::Status::kMore;
  friend bool operator==(const Outcome&, const Outcome&) = default;
  friend void PrintTo(const Outcome& o, std::ostream* os) { *os << static_cast<int>(o.status) << " " << o.doc; }
};
const Outcome kWhole{kPlain, ChunkDecoder::Status::kFinished};

Outcome DecodeInPieces(const std::vector<std::string>& pieces) {
  ChunkDecoder decoder;
  Outcome out;
  for (const std::string& p : pieces) {
    out.status = decoder.Feed(p.data(), p.size(), [&](const char* d, size_t n) {
      out.doc.append(d, n);
      return true;
    });
    if (out.status != ChunkDecoder::Status::kMore) break;
  }
  return out;
}

TEST(ChunkDecoder, DecodesInOnePiece) {
  EXPECT_EQ(DecodeInPieces({kCoded}), kWhole);
}

TEST(ChunkDecoder, SameDocumentForEveryTwoWaySplit) {
  for (size_t at = 0; at <= kCoded.size(); ++at) {
    SCOPED_TRACE(at);
    EXPECT_EQ(DecodeInPieces({kCoded.substr(0, at), kCoded.substr(at)}), kWhole);
  }
}

TEST(ChunkDecoder, SameDocumentByteByByte) {
  std::vector<std::string> bytes;
  for (char c : kCoded) bytes.emplace_back(1, c);
  EXPECT_EQ(DecodeInPieces(bytes), kWhole);
}

TEST(ChunkDecoder, LeavesBytesAfterTheLastChunkLine) {
  ChunkDecoder d;
  const std::string s = "1\r\nA\r\n0\r\n\r\nNEXT";
  size_t consumed = 0;
  std::string doc;
  EXPECT_EQ(d.Feed(s.data(), s.size(), [&](const char* p, size_t n) {
    doc.append(p, n);
    return true;
  }, &consumed), ChunkDecoder::Status::kFinished);
  EXPECT_EQ(doc, "A");
  EXPECT_EQ(s.substr(consumed), "NEXT");
}

TEST(ChunkDecoder, RefusesOversizedAndMissingSizes) {
  const char* bad[] = {
      "11111111111111111\r\n",   // 17 digits
      "00000000000000000001\r\n",
      "zz\r\n",
      "\r\n",
      "5\r\nHello\r\n;ext\r\n",
  };
  for (const char* b : bad) {
    SCOPED_TRACE(b);
    EXPECT_EQ(DecodeInPieces({b}).status, ChunkDecoder::Status::kBadSize);
  }
  // 16 digits is still a size (the body simply never gets that far).
  EXPECT_EQ(DecodeInPieces({"0000000000000010\r\n0123456789abcdef"}),
            (Outcome{"0123456789abcdef", ChunkDecoder::Status::kMore}));
}

TEST(ChunkDecoder, StopsWhenTheSinkRefuses) {
  ChunkDecoder d;
  const std::string s = "3\r\nabc\r\n3\r\ndef\r\n0\r\n\r\n";
  int calls = 0;
  EXPECT_EQ(d.Feed(s.data(), s.size(), [&](const char*, size_t) { return ++calls < 1; }),
            ChunkDecoder::Status::kMore);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace parlix
