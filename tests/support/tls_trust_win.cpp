#include "support/tls_trust_win.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "support/driver_win.h"

namespace parlix::test {

int TlsPort(const char* variable) { return EnvNumber(variable); }

bool TrustTestCa() {
  const std::string path = EnvText("PARLIX_TLS_CA");
  if (path.empty()) return false;
  const std::string pem = ReadFileBytes(UnixToWindowsPath(path));
  DWORD size = 0;
  if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                                           nullptr)) {
    return false;
  }
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
    return false;
  }
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  if (root == nullptr) return false;
  const bool added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), size,
                                                      CERT_STORE_ADD_USE_EXISTING, nullptr) != FALSE;
  CertCloseStore(root, 0);
  return added;
}

}  // namespace parlix::test
