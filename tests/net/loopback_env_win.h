// What the socket and HTTP tests under Wine share: the loopback peer's names, and the
// loopback-only network namespace that a name lookup needs, since outside it a lookup
// would reach the machine's resolver.
#pragma once

#include <cstdlib>
#include <string>

#include "support/loopback_peer_win.h"

namespace parlix {

using test::LoopbackPeer;
using test::PeerConnection;
using test::PumpFor;
using test::PumpUntil;

inline bool InLoopbackNamespace() {
  const char* netns = std::getenv("PARLIX_NETNS");
  return netns != nullptr && std::string(netns) == "1";
}

}  // namespace parlix

// GTEST_SKIP returns from the test body, so this has to be a macro.
#define PARLIX_SKIP_OUTSIDE_LOOPBACK_NAMESPACE()                                        \
  if (!::parlix::InLoopbackNamespace())                                                 \
  GTEST_SKIP() << "needs the loopback-only network namespace (PARLIX_NETNS=1)"
