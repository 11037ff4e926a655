#include "net/wsocket_util.h"

#include <utility>

namespace parlix {
namespace {

struct ErrorDesc {
  int code;
  const char* text;
};

constexpr ErrorDesc kErrorDescs[] = {
    {0, "No Error"},
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Address not available"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Connection aborted"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references: can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network sub-system is unusable"},
    {10092, "WinSock DLL cannot support this application"},
    {10093, "WinSock not initialized"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "Non-recoverable error"},
    {11004, "No Data"},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string WSocketErrorDesc(int code) {
  for (const ErrorDesc& d : kErrorDescs) {
    if (d.code == code) return d.text;
  }
  return "Not a WinSock error";
}

std::string WSocketErrorText(int code, std::string_view func) {
  std::string text = "Error " + std::to_string(code) + " in function ";
  text += func;
  text += "\r\n";
  text += WSocketErrorDesc(code);
  return text;
}

std::optional<uint32_t> DottedToAddress(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && s[i] == '.') return std::nullopt;
  uint32_t parts[4] = {0, 0, 0, 0};
  int dots = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (IsDigit(c)) {
      // Parts above 255 are refused anyway; saturating keeps long digit runs defined.
      if (parts[dots] <= 255) parts[dots] = parts[dots] * 10 + static_cast<uint32_t>(c - '0');
      continue;
    }
    if (c == '.') {
      if (dots == 3 || parts[dots] > 255) return std::nullopt;
      if (i + 1 >= s.size() || !IsDigit(s[i + 1])) return std::nullopt;
      ++dots;
      continue;
    }
    // Anything else ends the text, provided only spaces follow.
    for (; i < s.size(); ++i) {
      if (s[i] != ' ') return std::nullopt;
    }
    break;
  }
  if (dots != 3 || parts[3] > 255) return std::nullopt;
  return (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
}

bool WSocketIsDottedIP(std::string_view s) { return DottedToAddress(s).has_value(); }

std::string AddressToDotted(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

std::optional<uint32_t> LeadingDecimal(std::string_view s, uint32_t max_value) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i >= s.size() || !IsDigit(s[i])) return std::nullopt;
  uint64_t value = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    value = value * 10 + static_cast<uint64_t>(s[i] - '0');
    if (value > max_value) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

std::optional<int> WellKnownProtocol(std::string_view name) {
  if (name == "tcp") return 6;
  if (name == "udp") return 17;
  if (name == "raw") return 255;
  return std::nullopt;
}

}  // namespace parlix
