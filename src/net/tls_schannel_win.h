// The Windows security package (SChannel) behind TlsSecurity: TLS 1.2 or newer, the
// certificate checked by the program itself against the system's trusted roots.
#pragma once

#include <memory>

#include "net/tls_security.h"

namespace parlix {

// A client context for one connection; nullptr when the system offers no TLS
// credentials at all.
std::unique_ptr<TlsSecurity> MakeSchannelSecurity();

}  // namespace parlix
