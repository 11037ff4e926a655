// Basic and NTLM authentication for the HTTP client, towards the server (401) and
// towards the proxy (407). Credentials are never sent first: an answer carrying a
// challenge makes the client start a new attempt of the same request, and the
// request ends (OnRequestDone) only when no further attempt is called for.
#pragma once

#include <cstdint>
#include <string>

#include "net/http_client.h"
#include "net/ntlm.h"

namespace parlix {

// Values as the exchange is traced; 2 is not used by NTLM.
enum class NtlmAuthState : uint8_t { kNone = 0, kMsg1Sent = 1, kMsg3Sent = 3, kDone = 4 };
enum class BasicAuthState : uint8_t { kNone = 0, kSent = 1, kDone = 2 };
enum class AuthSide : uint8_t { kServer, kProxy };

class HttpAuthClient : public HttpClientCore {
 public:
  // New attempts one request may make. The normal worst case is four (NTLM to the
  // proxy, then to the server); peers that keep alternating 401 and 407 would
  // otherwise restart the exchanges without end.
  static constexpr int kMaxAuthAttempts = 6;

  NtlmAuthState AuthNTLMState() const { return ntlm_state_[kServerIx]; }
  NtlmAuthState ProxyAuthNTLMState() const { return ntlm_state_[kProxyIx]; }
  BasicAuthState AuthBasicState() const { return basic_state_[kServerIx]; }
  BasicAuthState ProxyAuthBasicState() const { return basic_state_[kProxyIx]; }
  // What the side's last NTLM challenge carried.
  const NtlmChallengeInfo& NtlmChallengeOf(AuthSide side) const {
    return ntlm_info_[Ix(side)];
  }

 protected:
  bool AuthCheckOnReady() override;
  std::string AuthorizationLine() override;
  bool AuthSendsNtlmFirstMessage() const override;
  void AuthResetOnNewConnection() override;

  // The workstation name of the NTLM authenticate message: this computer's host
  // name on Windows; empty here.
  virtual std::string NtlmWorkstation() { return {}; }

 private:
  static constexpr int kServerIx = 0;
  static constexpr int kProxyIx = 1;
  static int Ix(AuthSide side) { return side == AuthSide::kServer ? kServerIx : kProxyIx; }

  enum class LineKind { kNone, kServerNtlm1, kServerNtlm3, kProxyNtlm1, kServerBasic,
                        kProxyBasic, kProxyNtlm3 };
  LineKind ChooseLine() const;

  void GiveUp();
  bool CheckNtlm();
  bool CheckBasic();
  bool NtlmStep(AuthSide side);
  bool BasicStep(AuthSide side);
  // True when the side's credentials are both set and the latest answer is that
  // side's challenge (401 for the server, 407 for the proxy) with a list to search.
  bool Challenged(AuthSide side) const;
  std::string NtlmMessage3(AuthSide side);
  std::string BasicCredentials(AuthSide side) const;

  NtlmAuthState ntlm_state_[2] = {NtlmAuthState::kNone, NtlmAuthState::kNone};
  BasicAuthState basic_state_[2] = {BasicAuthState::kNone, BasicAuthState::kNone};
  AuthSide ntlm_side_ = AuthSide::kServer;
  AuthSide basic_side_ = AuthSide::kServer;
  NtlmChallengeInfo ntlm_info_[2];
  int attempts_ = 0;  // new attempts of the request in progress
};

// The last challenge whose first characters are `scheme` (ASCII case ignored), or
// nullptr. The list is searched from its end, so the latest field wins.
const std::string* FindAuthChallenge(const std::vector<std::string>& challenges,
                                     const std::string& scheme);

}  // namespace parlix
