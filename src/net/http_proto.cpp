#include "net/http_proto.h"

#include <cmath>
#include <cstdio>

#include "net/url.h"

namespace parlix {

namespace {

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string_view DropFragment(std::string_view s) {
  const size_t hash = s.find('#');
  return hash == std::string_view::npos ? s : s.substr(0, hash);
}

std::string HostAndPort(const std::string& host, const std::string& port) {
  if (port.empty() || port == "80") return host;
  return host + ":" + port;
}

}  // namespace

// A path that does not start at the root (a bare query, say) would make a request
// line no server reads as intended.
bool HttpIsTargetByte(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  for (const char allowed : std::string_view("-._~!$&'()*+,;=:@/?%")) {
    if (c == static_cast<unsigned char>(allowed)) return true;
  }
  return false;
}

std::string HttpEncodeTarget(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (HttpIsTargetByte(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

bool HttpIsHostText(std::string_view host) {
  // A name has no escapes, and ":@/?" would move the parts of the URL around it.
  for (const char ch : host) {
    const auto c = static_cast<unsigned char>(ch);
    if (!HttpIsTargetByte(c) || c == '%' || c == ':' || c == '@' || c == '/' || c == '?') return false;
  }
  return true;
}

bool HttpIsPortText(std::string_view port) {
  for (const char c : port) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string HttpRootedPath(std::string path) {
  if (path.empty()) return "/";
  if (path[0] != '/') path.insert(path.begin(), '/');
  return path;
}

std::string HttpLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerChar(c);
  return out;
}

std::string HttpUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperChar(c);
  return out;
}

std::string_view HttpTrim(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

bool HttpStartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerChar(s[i]) != LowerChar(prefix[i])) return false;
  }
  return true;
}

HttpStatusParse ParseHttpStatusLine(std::string_view line, HttpStatusLine& out) {
  if (line.substr(0, 8) != "HTTP/1.0" && line.substr(0, 8) != "HTTP/1.1") {
    return HttpStatusParse::kNotHttp;
  }
  // Fixed columns: version at 6..8, code at 10..12, reason from 14 (1-based).
  const std::string_view code = line.size() > 9 ? line.substr(9, 3) : std::string_view();
  if (code.empty()) return HttpStatusParse::kBadCode;
  int value = 0;
  for (char c : code) {
    if (c < '0' || c > '9') return HttpStatusParse::kBadCode;
    value = value * 10 + (c - '0');
  }
  out.version = std::string(line.substr(5, 3));
  out.code = value;
  out.reason = line.size() > 13 ? std::string(line.substr(13)) : std::string();
  return HttpStatusParse::kOk;
}

int64_t ParseHttpContentLength(std::string_view value) {
  const std::string_view digits = HttpTrim(value);
  // 18 digits stay below the largest 64-bit value, whatever they are.
  if (digits.empty() || digits.size() > 18) return -1;
  int64_t n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

void ParseHttpContentRange(std::string_view value, std::string& begin, std::string& end) {
  const size_t dash = value.find('-');
  const size_t slash = value.find('/');
  if (dash == std::string_view::npos) {
    begin = value.size() > 6 ? std::string(value.substr(6)) : std::string();
    end.clear();
    return;
  }
  begin = dash > 6 ? std::string(value.substr(6, dash - 6)) : std::string();
  if (slash == std::string_view::npos || slash < dash) {
    end = std::string(value.substr(dash + 1));
  } else {
    end = std::string(value.substr(dash + 1, slash - dash - 1));
  }
}

std::string HttpDocName(std::string_view path) {
  const size_t query = path.find('?');
  if (query != std::string_view::npos) path = path.substr(0, query);
  const size_t slash = path.rfind('/');
  if (slash != std::string_view::npos) path = path.substr(slash + 1);
  if (path.empty()) return "document.htm";
  return std::string(path.substr(0, 255));
}

std::string HttpHtmlDocName(const std::string& doc_name, std::string_view content_type) {
  if (content_type != "text/html") return doc_name;
  const size_t dot = doc_name.rfind('.');
  if (dot == std::string::npos) return doc_name + ".htm";
  const std::string ext = HttpLower(std::string_view(doc_name).substr(dot));
  if (ext != ".exe" && ext != ".") return doc_name;
  return doc_name.substr(0, dot + 1) + "htm";
}

std::string ParentPath(std::string_view path) {
  const size_t query = path.find('?');
  const std::string_view head = path.substr(0, query);
  const size_t last = head.find_last_of("/:");
  if (last == std::string_view::npos) return {};
  return std::string(head.substr(0, last + 1));
}

std::string FormatHttpDate(double date_time) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const double whole_days = std::floor(date_time);
  int64_t seconds = std::llround((date_time - whole_days) * 86400.0);
  int64_t days = static_cast<int64_t>(whole_days);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  // Civil date from days since 1970-01-01 (H. Hinnant's algorithm); day 0 of the
  // date-time is 1899-12-30, 25569 days before 1970-01-01, a Thursday.
  const int64_t z = days - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  const int64_t weekday = (((days - 25569) % 7 + 7) % 7 + 4) % 7;
  char text[64];
  std::snprintf(text, sizeof(text), "%s, %2.2d %s %4.4d %2.2d:%2.2d:%2.2d", kDays[weekday],
                static_cast<int>(day), kMonths[month - 1], static_cast<int>(year),
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  return text;
}

std::optional<HttpRelocation> ComputeRelocation(std::string_view location_value,
                                                const HttpTarget& current, bool with_proxy) {
  const std::string value(HttpTrim(DropFragment(location_value)));
  if (value.empty()) return std::nullopt;
  HttpRelocation out;
  HttpTarget& next = out.target;
  next = current;
  const bool absolute =
      HttpStartsWithNoCase(value, "http://") || HttpStartsWithNoCase(value, "https://");

  if (value[0] == '/') {
    const std::string encoded = HttpEncodeTarget(value);
    if (with_proxy) {
      // The request path is the absolute URL; only its path is replaced. Its port
      // is kept, so the proxy is asked for the same server.
      std::string proto, user, pass, host, port, path;
      ParseURL(current.request_path, proto, user, pass, host, port, path);
      if (proto.empty()) proto = "http";
      next.request_path = proto + "://" + HostAndPort(host, port) + encoded;
    } else {
      next.request_path = encoded;
    }
    next.location = with_proxy ? next.request_path
                               : "http://" + HostAndPort(current.conn_host, current.conn_port) + encoded;
    return out;
  }

  if (absolute) {
    std::string proto, user, pass, host, port, path;
    ParseURL(value, proto, user, pass, host, port, path);
    if (proto.empty()) proto = "http";
    if (host.empty()) {
      // No host: the same server as before.
      host = current.target_host;
      if (port.empty()) port = current.target_port;
    }
    if (port.empty()) port = proto == "https" ? "443" : "80";
    // A host is not encoded: its bytes go into the Host line and to the name lookup, and
    // an escaped name is another name.
    if (!HttpIsHostText(host) || !HttpIsPortText(port)) return std::nullopt;
    path = HttpEncodeTarget(HttpRootedPath(path));
    if (!user.empty() && !pass.empty()) {
      out.username = user;
      out.password = pass;
    }
    next.target_host = host;
    next.target_port = port;
    const std::string absolute_url = proto + "://" + HostAndPort(host, port) + path;
    next.location = absolute_url;
    // The scheme decides how the connection is made, through a proxy too (a tunnel
    // for https).
    next.conn_proto = proto;
    if (with_proxy) {
      next.request_path = absolute_url;
    } else {
      next.conn_host = host;
      next.conn_port = port;
      next.request_path = path;
    }
    return out;
  }

  next.request_path = ParentPath(current.request_path) + HttpEncodeTarget(value);
  next.location = with_proxy ? next.request_path
                             : "http://" + HostAndPort(current.conn_host, current.conn_port) +
                                   next.request_path;
  return out;
}

}  // namespace parlix
