// Portable pieces of the asynchronous socket: error texts, the dotted-address test
// and the number rules used when ports and protocols are resolved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlix {

// The description of a Windows Sockets error code ("Not a WinSock error" for codes
// outside the table).
std::string WSocketErrorDesc(int code);

// "Error <code> in function <func>" CR LF <description>.
std::string WSocketErrorText(int code, std::string_view func);

// Leading spaces skipped, four decimal parts below 256 joined by exactly three dots,
// trailing spaces allowed; nothing else.
bool WSocketIsDottedIP(std::string_view s);

// The address of a text that passes WSocketIsDottedIP, most significant part first
// (1.2.3.4 gives 0x01020304); nullopt for any other text.
std::optional<uint32_t> DottedToAddress(std::string_view s);

// "a.b.c.d" of an address in the order DottedToAddress gives it.
std::string AddressToDotted(uint32_t address);

// The decimal number at the start of s after leading spaces (reading stops at the
// first non-digit); nullopt when s does not start with a digit or the number passes
// max_value.
std::optional<uint32_t> LeadingDecimal(std::string_view s, uint32_t max_value);

// Protocol numbers the socket knows without asking the system: "tcp" 6, "udp" 17,
// "raw" 255 (name already trimmed and lower-cased); nullopt for other names.
std::optional<int> WellKnownProtocol(std::string_view name);

}  // namespace parlix
