#include "net/http_auth.h"

#include "net/mime_util.h"

namespace parlix {
namespace {

constexpr char kNtlmScheme[] = "NTLM";
constexpr char kBasicScheme[] = "Basic";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(s[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

// What follows "NTLM " in a challenge: from the sixth character on. Extra blanks
// before the base64 text would otherwise decode as bytes of the message.
std::string NtlmChallengeText(const std::string& entry) {
  if (entry.size() <= 5) return {};
  size_t from = 5;
  while (from < entry.size() && (entry[from] == ' ' || entry[from] == '\t')) ++from;
  return entry.substr(from);
}

}  // namespace

const std::string* FindAuthChallenge(const std::vector<std::string>& challenges,
                                     const std::string& scheme) {
  for (auto it = challenges.rbegin(); it != challenges.rend(); ++it) {
    if (StartsWithNoCase(*it, scheme)) return &*it;
  }
  return nullptr;
}

bool HttpAuthClient::AuthCheckOnReady() {
  if (attempts_ >= kMaxAuthAttempts) {
    GiveUp();
    return false;
  }
  const bool started = ((Options() & httpoNoNTLMAuth) == 0 && CheckNtlm()) ||
                       ((Options() & httpoNoBasicAuth) == 0 && CheckBasic());
  attempts_ = started ? attempts_ + 1 : 0;
  return started;
}

// Exchanges left half-way are dropped, so the next request starts without them;
// finished ones stay, as a kept connection is still authenticated.
void HttpAuthClient::GiveUp() {
  attempts_ = 0;
  ClearAuthChallenges();
  for (NtlmAuthState& state : ntlm_state_) {
    if (state != NtlmAuthState::kDone) state = NtlmAuthState::kNone;
  }
  for (BasicAuthState& state : basic_state_) {
    if (state != BasicAuthState::kDone) state = BasicAuthState::kNone;
  }
}

bool HttpAuthClient::Challenged(AuthSide side) const {
  const bool server = side == AuthSide::kServer;
  if (StatusCode() != (server ? 401 : 407) || AuthChallenges().empty()) return false;
  const std::string& user = server ? Username() : ProxyUsername();
  const std::string& pass = server ? Password() : ProxyPassword();
  return !user.empty() && !pass.empty();
}

bool HttpAuthClient::CheckNtlm() {
  NtlmAuthState& server = ntlm_state_[kServerIx];
  NtlmAuthState& proxy = ntlm_state_[kProxyIx];
  if (server == NtlmAuthState::kMsg3Sent && StatusCode() != 401) server = NtlmAuthState::kDone;
  if (server == NtlmAuthState::kDone && StatusCode() == 401) server = NtlmAuthState::kNone;
  if (proxy == NtlmAuthState::kMsg3Sent && StatusCode() != 407) proxy = NtlmAuthState::kDone;
  if (proxy == NtlmAuthState::kDone && StatusCode() == 407) {
    proxy = NtlmAuthState::kNone;
    server = NtlmAuthState::kNone;
  }
  for (AuthSide side : {AuthSide::kServer, AuthSide::kProxy}) {
    if (Challenged(side) && FindAuthChallenge(AuthChallenges(), kNtlmScheme) != nullptr) {
      return NtlmStep(side);
    }
  }
  return false;
}

bool HttpAuthClient::CheckBasic() {
  BasicAuthState& server = basic_state_[kServerIx];
  BasicAuthState& proxy = basic_state_[kProxyIx];
  if (server == BasicAuthState::kSent && StatusCode() != 401) server = BasicAuthState::kDone;
  if (server == BasicAuthState::kDone && StatusCode() == 401) server = BasicAuthState::kNone;
  if (proxy == BasicAuthState::kSent && StatusCode() != 407) proxy = BasicAuthState::kDone;
  if (proxy == BasicAuthState::kDone && StatusCode() == 407) {
    proxy = BasicAuthState::kNone;
    server = BasicAuthState::kNone;
  }
  for (AuthSide side : {AuthSide::kServer, AuthSide::kProxy}) {
    if (Challenged(side) && FindAuthChallenge(AuthChallenges(), kBasicScheme) != nullptr) {
      return BasicStep(side);
    }
  }
  return false;
}

bool HttpAuthClient::NtlmStep(AuthSide side) {
  NtlmAuthState& state = ntlm_state_[Ix(side)];
  switch (state) {
    case NtlmAuthState::kNone:
      ntlm_side_ = side;
      state = NtlmAuthState::kMsg1Sent;
      // The three NTLM messages must travel on one connection, which an HTTP/1.0
      // exchange only keeps when asked to.
      if (RequestVer() == "1.0") {
        if (side == AuthSide::kServer) {
          SetConnection("Keep-alive");
        } else {
          SetProxyConnection("Keep-alive");
        }
      }
      StartNewAttempt();
      return true;
    case NtlmAuthState::kMsg1Sent: {
      const std::string* entry = FindAuthChallenge(AuthChallenges(), kNtlmScheme);
      ntlm_info_[Ix(side)] = NtlmGetMessage2(entry ? NtlmChallengeText(*entry) : std::string());
      if (!ntlm_info_[Ix(side)].valid) {
        // No usable challenge: an answer computed over a zero challenge would only
        // be refused, so the request ends with this answer.
        ClearAuthChallenges();
        state = NtlmAuthState::kNone;
        return false;
      }
      state = NtlmAuthState::kMsg3Sent;
      StartNewAttempt();
      return true;
    }
    case NtlmAuthState::kMsg3Sent:
      ClearAuthChallenges();
      state = NtlmAuthState::kNone;
      return false;
    default:
      throw EHttpException(side == AuthSide::kServer ? "Unexpected AuthNTLMState"
                                                     : "Unexpected ProxyAuthNTLMState",
                           kHttpErrInvalidAuthState);
  }
}

bool HttpAuthClient::BasicStep(AuthSide side) {
  BasicAuthState& state = basic_state_[Ix(side)];
  switch (state) {
    case BasicAuthState::kNone:
      basic_side_ = side;
      state = BasicAuthState::kSent;
      StartNewAttempt();
      return true;
    case BasicAuthState::kSent:
      ClearAuthChallenges();
      state = BasicAuthState::kNone;
      return false;
    default:
      throw EHttpException(side == AuthSide::kServer ? "Unexpected AuthBasicState"
                                                     : "Unexpected ProxyAuthBasicState",
                           kHttpErrInvalidAuthState);
  }
}

void HttpAuthClient::AuthResetOnNewConnection() {
  // NTLM authenticates a connection: an exchange whose last message went out on the old
  // one (a relocation taken before the answer was looked at) is over, and the new
  // connection starts without it; its message would only be refused there.
  for (NtlmAuthState& state : ntlm_state_) {
    if (state == NtlmAuthState::kMsg3Sent) state = NtlmAuthState::kDone;
  }
  if (ntlm_state_[kServerIx] == NtlmAuthState::kDone) ntlm_state_[kServerIx] = NtlmAuthState::kNone;
  if (ntlm_state_[kProxyIx] == NtlmAuthState::kDone) {
    ntlm_state_[kServerIx] = NtlmAuthState::kNone;
    ntlm_state_[kProxyIx] = NtlmAuthState::kNone;
  }
  if (basic_state_[kServerIx] == BasicAuthState::kDone) {
    basic_state_[kServerIx] = BasicAuthState::kNone;
  }
  if (basic_state_[kProxyIx] == BasicAuthState::kDone) {
    basic_state_[kServerIx] = BasicAuthState::kNone;
    basic_state_[kProxyIx] = BasicAuthState::kNone;
  }
}

HttpAuthClient::LineKind HttpAuthClient::ChooseLine() const {
  const bool ntlm_server = ntlm_side_ == AuthSide::kServer;
  if (ntlm_server && ntlm_state_[kServerIx] == NtlmAuthState::kMsg1Sent) return LineKind::kServerNtlm1;
  if (ntlm_server && ntlm_state_[kServerIx] == NtlmAuthState::kMsg3Sent) return LineKind::kServerNtlm3;
  if (!ntlm_server && ntlm_state_[kProxyIx] == NtlmAuthState::kMsg1Sent) return LineKind::kProxyNtlm1;
  if (ntlm_server || ntlm_state_[kProxyIx] != NtlmAuthState::kMsg3Sent) {
    const bool basic_server = basic_side_ == AuthSide::kServer;
    if (basic_server && basic_state_[kServerIx] == BasicAuthState::kSent) return LineKind::kServerBasic;
    if (!basic_server && basic_state_[kProxyIx] == BasicAuthState::kSent) return LineKind::kProxyBasic;
    return LineKind::kNone;
  }
  return LineKind::kProxyNtlm3;
}

bool HttpAuthClient::AuthSendsNtlmFirstMessage() const {
  const LineKind kind = ChooseLine();
  return kind == LineKind::kServerNtlm1 || kind == LineKind::kProxyNtlm1;
}

std::string HttpAuthClient::NtlmMessage3(AuthSide side) {
  const bool server = side == AuthSide::kServer;
  return NtlmGetMessage3("", server ? Username() : ProxyUsername(), NtlmWorkstation(),
                         server ? Password() : ProxyPassword(), ntlm_info_[Ix(side)].challenge);
}

std::string HttpAuthClient::BasicCredentials(AuthSide side) const {
  const bool server = side == AuthSide::kServer;
  return EncodeBase64Str((server ? Username() : ProxyUsername()) + ":" +
                         (server ? Password() : ProxyPassword()));
}

std::string HttpAuthClient::AuthorizationLine() {
  switch (ChooseLine()) {
    case LineKind::kServerNtlm1: return "Authorization: NTLM " + NtlmGetMessage1();
    case LineKind::kServerNtlm3: return "Authorization: NTLM " + NtlmMessage3(AuthSide::kServer);
    case LineKind::kProxyNtlm1: return "Proxy-Authorization: NTLM " + NtlmGetMessage1();
    case LineKind::kServerBasic:
      return "Authorization: Basic " + BasicCredentials(AuthSide::kServer);
    case LineKind::kProxyBasic:
      return "Proxy-Authorization: Basic " + BasicCredentials(AuthSide::kProxy);
    case LineKind::kProxyNtlm3:
      return "Proxy-Authorization: NTLM " + NtlmMessage3(AuthSide::kProxy);
    case LineKind::kNone: break;
  }
  return {};
}

}  // namespace parlix
