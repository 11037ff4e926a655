#include "net/des.h"

#include <gtest/gtest.h>

#include <string>

#include "net/hex_util.h"

namespace parlix {
namespace {

using testing::HexToBytes;
using testing::ToHex;

DesBlock Block(const std::string& hex) {
  const std::string bytes = HexToBytes(hex);
  DesBlock b{};
  for (size_t i = 0; i < b.size() && i < bytes.size(); ++i) b[i] = static_cast<uint8_t>(bytes[i]);
  return b;
}

struct DesCase {
  const char* key;
  const char* plain;
  const char* cipher;
};

const DesCase kKnownAnswers[] = {
    // The classic worked example of the standard's textbook walk-through.
    {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
    {"0e329232ea6d0d73", "8787878787878787", "0000000000000000"},
    // NIST SP 800-17: variable plaintext and variable key tables, first rows.
    {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
    {"0101010101010101", "4000000000000000", "dd7f121ca5015619"},
    {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
    {"4001010101010101", "0000000000000000", "0eec1487dd8c26d5"},
    // The LM hash of an empty password half: the null key over "KGS!@#$%".
    {"0000000000000000", "4b47532140232425", "aad3b435b51404ee"},
};

TEST(Des, KnownAnswers) {
  for (const DesCase& c : kKnownAnswers) {
    SCOPED_TRACE(std::string(c.key) + " / " + c.plain);
    EXPECT_EQ(ToHex(DesEncrypt(Block(c.key), Block(c.plain))), c.cipher);
  }
}

// The lowest bit of every key byte is parity and must not change the result.
TEST(Des, ParityBitsAreIgnored) {
  const DesBlock plain = Block("0123456789abcdef");
  const DesBlock base = DesEncrypt(Block("133457799bbcdff1"), plain);
  EXPECT_EQ(DesEncrypt(Block("123456789abcdef0"), plain), base);
  EXPECT_EQ(DesEncrypt(Block("0000000000000000"), plain),
            DesEncrypt(Block("0101010101010101"), plain));
}

// Every key and plaintext bit reaches the output: flipping any one changes it.
TEST(Des, EachKeyAndPlaintextBitMatters) {
  const DesBlock key = Block("133457799bbcdff1");
  const DesBlock plain = Block("0123456789abcdef");
  const DesBlock base = DesEncrypt(key, plain);
  for (int bit = 0; bit < 64; ++bit) {
    DesBlock p = plain;
    p[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
    EXPECT_NE(DesEncrypt(key, p), base) << "plain bit " << bit;
    if (bit % 8 == 7) continue;  // parity
    DesBlock k = key;
    k[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
    EXPECT_NE(DesEncrypt(k, plain), base) << "key bit " << bit;
  }
}

}  // namespace
}  // namespace parlix
