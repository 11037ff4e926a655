// DES (FIPS 46), one 8-byte block per call, encryption only: the NTLM responses
// use it as a keyed one-way function, never to carry data.
#pragma once

#include <array>
#include <cstdint>

namespace parlix {

using DesBlock = std::array<uint8_t, 8>;

// The key's lowest bit of each byte is the parity bit and is ignored.
DesBlock DesEncrypt(const DesBlock& key, const DesBlock& plain);

}  // namespace parlix
