// The HTTP client's rules that need no socket: texts of the request and answer,
// document names and the targets of relocations.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlix {

// Case rules touch the ASCII letters only; trimming removes bytes 0 to 32.
std::string HttpLower(std::string_view s);
std::string HttpUpper(std::string_view s);
std::string_view HttpTrim(std::string_view s);
bool HttpStartsWithNoCase(std::string_view s, std::string_view prefix);

// The status line of an answer, "HTTP/1.x nnn reason".
struct HttpStatusLine {
  std::string version;  // "1.0" or "1.1"
  int code = 0;
  std::string reason;
};
enum class HttpStatusParse { kNotHttp, kBadCode, kOk };
// kNotHttp for a line that does not start with "HTTP/1.0" or "HTTP/1.1";
// kBadCode when the three characters after the version are no decimal number.
HttpStatusParse ParseHttpStatusLine(std::string_view line, HttpStatusLine& out);

// The value of a Content-Length field: a decimal count of bytes, -1 for anything
// else (signs, garbage, or a number too large to be a real length).
int64_t ParseHttpContentLength(std::string_view value);

// "bytes 0-99/200" gives "0" and "99".
void ParseHttpContentRange(std::string_view value, std::string& begin, std::string& end);

// Whether a byte may stand as it is in a request target: the letters, digits and
// "-._~!$&'()*+,;=:@/?" of a URL, and "%", which starts an escape already made.
bool HttpIsTargetByte(unsigned char c);
// The text with every other byte (blanks, control bytes, DEL, bytes over 127, quotes,
// "#" and the like) percent-encoded, as browsers send such a path.
std::string HttpEncodeTarget(std::string_view s);
// Whether a host name, or a port, may go into a request line and a Host line as it is.
bool HttpIsHostText(std::string_view host);
bool HttpIsPortText(std::string_view port);

// A request path starts at the root: "" gives "/", "?q" gives "/?q".
std::string HttpRootedPath(std::string path);

// The name of the document at path: its last segment without the query, at most
// 255 characters; "document.htm" for an empty path or one ending in "/".
std::string HttpDocName(std::string_view path);

// An HTML answer named like a program or with no extension gets ".htm".
std::string HttpHtmlDocName(const std::string& doc_name, std::string_view content_type);

// The characters of path up to and including the last "/" or ":" before the
// first "?"; empty when there is none.
std::string ParentPath(std::string_view path);

// An If-Modified-Since value from a date-time stored as days since 1899-12-30
// (the fraction is the time of day), written as given, without zone conversion:
// "Sun, 06 Nov 1994 08:49:37".
std::string FormatHttpDate(double date_time);

// Where a request goes: the host and port named in the Host line, and the host,
// port and scheme the connection is made to (the proxy's, with a proxy).
struct HttpTarget {
  std::string target_host;
  std::string target_port;
  std::string conn_host;
  std::string conn_port;
  std::string conn_proto;
  std::string request_path;  // as sent in the request line
  std::string location;      // the URL the request is for
};

struct HttpRelocation {
  HttpTarget target;
  std::string username;  // credentials of the Location URL, set only when it
  std::string password;  // carries both
};

// The next request for a Location value. current describes the answered request;
// with_proxy tells whether it went through a proxy. The fragment is dropped, and the
// path percent-encoded where it holds bytes a request target may not hold.
// nullopt for a value that names nothing to fetch (empty), or a host or port that
// could not be sent as it is: such a relocation is not followed.
std::optional<HttpRelocation> ComputeRelocation(std::string_view location_value,
                                                const HttpTarget& current, bool with_proxy);

}  // namespace parlix
