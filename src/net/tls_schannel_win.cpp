#include "net/tls_schannel_win.h"

#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#include <windows.h>
#include <subauth.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <cstring>
#include <mutex>
#include <string>

namespace parlix {

namespace {

constexpr DWORD kModernProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
// Certificates are checked here, not by the package: some implementations check
// nothing even when asked to.
constexpr DWORD kCredFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR;
// What a record's framing may add when the package cannot say.
constexpr size_t kDefaultMaxMessage = 16384;

// One credentials handle for the process: it holds no per-connection state, and
// acquiring it costs more than a handshake on loopback.
class Credentials {
 public:
  CredHandle* Get() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_) valid_ = Acquire();
    return valid_ ? &handle_ : nullptr;
  }

 private:
  bool Acquire() {
    // TLS 1.3 where the system offers it (SCH_CREDENTIALS, with everything older
    // than TLS 1.2 disabled); where that form is unknown, TLS 1.2 alone. The
    // negotiated protocol is checked after the handshake anyway, as some systems
    // accept the newer form but ignore its list.
    TLS_PARAMETERS params{};
    params.grbitDisabledProtocols = static_cast<DWORD>(~kModernProtocols);
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = kCredFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &params;
    if (AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                  &modern, nullptr, nullptr, &handle_, nullptr) == SEC_E_OK) {
      return true;
    }
    SCHANNEL_CRED legacy{};
    legacy.dwVersion = SCHANNEL_CRED_VERSION;
    legacy.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    legacy.dwFlags = kCredFlags;
    return AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                     &legacy, nullptr, nullptr, &handle_, nullptr) == SEC_E_OK;
  }

  std::mutex mutex_;
  CredHandle handle_{};
  bool valid_ = false;
};

Credentials& ProcessCredentials() {
  static Credentials credentials;
  return credentials;
}

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

struct CertContextDeleter {
  void operator()(const CERT_CONTEXT* c) const { CertFreeCertificateContext(c); }
};
struct ChainDeleter {
  void operator()(const CERT_CHAIN_CONTEXT* c) const { CertFreeCertificateChain(c); }
};

// Chain faults that the SSL policy may leave unnamed. Revocation is not checked
// (there may be no network to ask), so its "unknown" bits are no fault.
TlsVerdict ChainVerdict(DWORD status) {
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return TlsVerdict::kExpired;
  const DWORD untrusted = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                          CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_NOT_VALID_FOR_USAGE |
                          CERT_TRUST_IS_REVOKED | CERT_TRUST_IS_CYCLIC | CERT_TRUST_INVALID_EXTENSION |
                          CERT_TRUST_INVALID_BASIC_CONSTRAINTS | CERT_TRUST_INVALID_NAME_CONSTRAINTS;
  return (status & untrusted) != 0 ? TlsVerdict::kUntrusted : TlsVerdict::kOk;
}

TlsVerdict PolicyVerdict(DWORD error) {
  switch (static_cast<HRESULT>(error)) {
    case 0: return TlsVerdict::kOk;
    case static_cast<HRESULT>(CERT_E_CN_NO_MATCH): return TlsVerdict::kWrongName;
    case static_cast<HRESULT>(CERT_E_EXPIRED): return TlsVerdict::kExpired;
    default: return TlsVerdict::kUntrusted;
  }
}

class SchannelSecurity final : public TlsSecurity {
 public:
  explicit SchannelSecurity(CredHandle* credentials) : credentials_(credentials) {}
  ~SchannelSecurity() override {
    if (has_context_) DeleteSecurityContext(&context_);
  }
  SchannelSecurity(const SchannelSecurity&) = delete;
  SchannelSecurity& operator=(const SchannelSecurity&) = delete;

  TlsHandshakeResult Handshake(const std::string& host, std::string_view input) override {
    TlsHandshakeResult result;
    scratch_.assign(input);
    SecBuffer in[2] = {{static_cast<unsigned long>(scratch_.size()), SECBUFFER_TOKEN, scratch_.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in_desc = {SECBUFFER_VERSION, 2, in};
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc out_desc = {SECBUFFER_VERSION, 1, out};
    unsigned long attributes = 0;
    const SECURITY_STATUS status = InitializeSecurityContextA(
        credentials_, has_context_ ? &context_ : nullptr, const_cast<char*>(host.c_str()), kContextFlags, 0, 0,
        has_context_ ? &in_desc : nullptr, 0, &context_, &out_desc, &attributes, nullptr);
    if (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK) has_context_ = true;
    if (out[0].pvBuffer != nullptr) {
      result.output.assign(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer);
      FreeContextBuffer(out[0].pvBuffer);
    }
    const size_t extra = in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0;
    result.consumed = input.size() - std::min(extra, input.size());
    switch (status) {
      case SEC_I_CONTINUE_NEEDED: result.step = TlsStep::kContinue; break;
      case SEC_E_OK: result.step = TlsStep::kDone; break;
      case SEC_E_INCOMPLETE_MESSAGE:
        result.step = TlsStep::kIncomplete;
        result.consumed = 0;
        break;
      default: result.step = TlsStep::kFailed; break;
    }
    return result;
  }

  TlsDecryptResult Decrypt(char* data, size_t size) override {
    TlsDecryptResult result;
    SecBuffer buffers[4] = {{static_cast<unsigned long>(size), SECBUFFER_DATA, data},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      result.status = TlsRecord::kIncomplete;
      return result;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
      result.status = TlsRecord::kFailed;
      return result;
    }
    size_t extra = 0;
    for (const SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_DATA && b.pvBuffer != nullptr) {
        result.plain_offset = static_cast<size_t>(static_cast<const char*>(b.pvBuffer) - data);
        result.plain_size = b.cbBuffer;
      } else if (b.BufferType == SECBUFFER_EXTRA) {
        extra = b.cbBuffer;
      }
    }
    result.consumed = size - std::min(extra, size);
    result.status = status == SEC_E_OK           ? TlsRecord::kData
                    : status == SEC_I_RENEGOTIATE ? TlsRecord::kRenegotiate
                                                  : TlsRecord::kClosed;
    return result;
  }

  size_t MaxMessage() const override {
    return QuerySizes() ? sizes_.cbMaximumMessage : kDefaultMaxMessage;
  }

  bool Encrypt(std::string_view plain, std::string& record) override {
    if (!QuerySizes() || plain.size() > sizes_.cbMaximumMessage) return false;
    record.assign(sizes_.cbHeader + plain.size() + sizes_.cbTrailer, '\0');
    char* p = record.data();
    std::memcpy(p + sizes_.cbHeader, plain.data(), plain.size());
    SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, p},
                            {static_cast<unsigned long>(plain.size()), SECBUFFER_DATA, p + sizes_.cbHeader},
                            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, p + sizes_.cbHeader + plain.size()},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return false;
    record.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    return true;
  }

  TlsVerdict Verify(const std::string& host) override {
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesA(&context_, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK) {
      return TlsVerdict::kFailed;
    }
    if ((info.dwProtocol & kModernProtocols) == 0) return TlsVerdict::kOldProtocol;

    PCCERT_CONTEXT raw_cert = nullptr;
    if (QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw_cert) != SEC_E_OK ||
        raw_cert == nullptr) {
      return TlsVerdict::kUntrusted;
    }
    const std::unique_ptr<const CERT_CONTEXT, CertContextDeleter> cert(raw_cert);
    char server_auth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {server_auth};
    CERT_CHAIN_PARA chain_para{};
    chain_para.cbSize = sizeof(chain_para);
    chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
    chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT raw_chain = nullptr;
    // The certificate's own store holds the intermediates the server sent.
    if (!CertGetCertificateChain(nullptr, cert.get(), nullptr, cert->hCertStore, &chain_para, 0, nullptr,
                                 &raw_chain)) {
      return TlsVerdict::kUntrusted;
    }
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainDeleter> chain(raw_chain);
    std::wstring wide_host = Wide(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = wide_host.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS policy_status{};
    policy_status.cbSize = sizeof(policy_status);
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &policy_status)) {
      return TlsVerdict::kFailed;
    }
    const TlsVerdict verdict = PolicyVerdict(policy_status.dwError);
    return verdict != TlsVerdict::kOk ? verdict : ChainVerdict(chain->TrustStatus.dwErrorStatus);
  }

 private:
  bool QuerySizes() const {
    if (!sizes_known_) {
      sizes_known_ = QueryContextAttributesA(const_cast<CtxtHandle*>(&context_), SECPKG_ATTR_STREAM_SIZES,
                                             &sizes_) == SEC_E_OK;
    }
    return sizes_known_;
  }

  CredHandle* credentials_;
  CtxtHandle context_{};
  bool has_context_ = false;
  mutable SecPkgContext_StreamSizes sizes_{};
  mutable bool sizes_known_ = false;
  std::string scratch_;
};

}  // namespace

std::unique_ptr<TlsSecurity> MakeSchannelSecurity() {
  CredHandle* credentials = ProcessCredentials().Get();
  if (credentials == nullptr) return nullptr;
  return std::make_unique<SchannelSecurity>(credentials);
}

}  // namespace parlix
