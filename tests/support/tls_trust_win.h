// The HTTPS tests' side of tools/with-tls: its ports, and its test CA trusted in this
// Wine prefix (the current user's "Root" store; silent under Wine, where Windows would
// ask). The CA stays trusted in the prefix; tools/make-test-certs keeps one per build.
#pragma once

namespace parlix::test {

// The port named by a PARLIX_TLS_*_PORT variable, 0 when tools/with-tls is not around.
int TlsPort(const char* variable);

// Adds the CA named by PARLIX_TLS_CA to the trusted roots; false when it cannot.
bool TrustTestCa();

}  // namespace parlix::test
