#include "net/url.h"

#include <cstddef>

#include "net/ascii.h"

namespace parlix {
namespace {

// The directory part of a base path, with its trailing "/"; "/" when the base has no
// "/" at all.
std::string BaseDirectory(const std::string& base) {
  const int b = LastPos("/", base);
  if (b == 0) return "/";
  return base.substr(0, static_cast<size_t>(b));
}

// One level up: "/a/b/" becomes "/a/", and "/" stays "/".
std::string ParentDirectory(std::string dir) {
  if (!dir.empty() && dir.back() == '/') dir.pop_back();
  const int b = LastPos("/", dir);
  if (b == 0) return "/";
  return dir.substr(0, static_cast<size_t>(b));
}

std::string ResolveDotDot(const std::string& url, const std::string& base) {
  std::string dir = BaseDirectory(base);
  std::string rest = url.substr(3);
  for (;;) {
    dir = ParentDirectory(std::move(dir));
    if (!StartsWith(rest, "../")) break;
    rest.erase(0, 3);
  }
  return dir + rest;
}

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
         c == '.';
}

bool IsScheme(std::string_view lowered) {
  for (const char c : lowered) {
    if (!IsSchemeChar(c)) return false;
  }
  return true;
}

// Splits "user[:pass]" at its first colon.
void SplitUserPart(std::string_view user_part, std::string& user, std::string& pass) {
  const size_t colon = user_part.find(':');
  if (colon == std::string_view::npos) {
    user = user_part;
    return;
  }
  user = user_part.substr(0, colon);
  pass = user_part.substr(colon + 1);
}

// "[user[:pass]@]host[:port]"; positions are 1-based as LastPos gives them.
void SplitAuthority(std::string_view authority, std::string& user, std::string& pass,
                    std::string& host, std::string& port) {
  const size_t c = static_cast<size_t>(LastPos(":", authority));
  const size_t a = static_cast<size_t>(LastPos("@", authority));
  if (c == 0 && a == 0) {
    host = authority;
    return;
  }
  if (a < c) {
    port = authority.substr(c);
    host = authority.substr(a, c - 1 - a);
    if (a == 0) return;
  } else {
    host = authority.substr(a);
  }
  SplitUserPart(authority.substr(0, a - 1), user, pass);
}

}  // namespace

int LastPos(std::string_view sub, std::string_view s) {
  if (sub.empty() || sub.size() > s.size()) return 0;
  const size_t at = s.rfind(sub);
  if (at == std::string_view::npos) return 0;
  return static_cast<int>(at) + 1;
}

void ParseURL(const std::string& url, std::string& proto, std::string& user,
              std::string& pass, std::string& host, std::string& port,
              std::string& path) {
  // Copies first: the caller may pass the same string as url and as path.
  const std::string u = url;
  const std::string base = path;
  proto.clear();
  user.clear();
  pass.clear();
  host.clear();
  port.clear();
  path.clear();
  if (u.empty()) return;

  if (StartsWith(u, "./")) {
    path = BaseDirectory(base) + u.substr(2);
    return;
  }
  if (StartsWith(u, "../")) {
    path = ResolveDotDot(u, base);
    return;
  }

  size_t scheme_end = u.find("://");
  if (scheme_end != std::string::npos && !IsScheme(AsciiLower(u.substr(0, scheme_end)))) {
    proto = "http";
    scheme_end = std::string::npos;
  }

  size_t authority_start = 0;  // 0-based index into u
  if (scheme_end != std::string::npos) {
    proto = AsciiLower(u.substr(0, scheme_end));
    authority_start = scheme_end + 3;
  } else if (u[0] == '/') {
    proto = "http";
    if (u.size() > 1 && u[1] != '/') {
      path = u;
      return;
    }
    authority_start = 1;
  } else if (AsciiLower(u.substr(0, 5)) == "http:") {
    proto = "http";
    if (u.size() > 6 && u[6] != '/') {
      path = u.substr(5);
      return;
    }
    authority_start = 6;
  } else if (AsciiLower(u.substr(0, 7)) == "mailto:") {
    proto = "mailto";
    authority_start = u.find(':') + 1;
  }

  const std::string_view r =
      authority_start < u.size() ? std::string_view(u).substr(authority_start)
                                 : std::string_view();
  size_t p = r.find('/');
  const size_t question = r.find('?');
  if (question != std::string_view::npos && (p == std::string_view::npos || question < p)) {
    p = question;
  }
  if (p == std::string_view::npos) p = r.size();
  path = r.substr(p);
  SplitAuthority(r.substr(0, p), user, pass, host, port);
}

}  // namespace parlix
