// GoogleTest glue for the peer harness: start a peer or skip the test.

#ifndef QUARRY_WEB_PEERS_PEER_TEST_SUPPORT_H_
#define QUARRY_WEB_PEERS_PEER_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "web/peers/peer_harness.h"

namespace quarry::peers {

// True when QUARRY_REQUIRE_PEERS is set to anything but "0": a missing
// daemon then fails the test instead of skipping it, so a CI machine that
// lost a package cannot pass quietly.
inline bool PeersRequired() {
  const char* value = std::getenv("QUARRY_REQUIRE_PEERS");
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

}  // namespace quarry::peers

// Starts `peer` (a quarry::peers::Peer) in a test body. Skips the test when
// its daemon is not installed (unless peers are required), fails it when the
// daemon would not start, and shows the daemon's reason either way.
#define QUARRY_START_PEER(peer)                                                    \
  do {                                                                             \
    const ::quarry::peers::PeerState quarry_state_ = (peer).Start();              \
    if (quarry_state_ == ::quarry::peers::PeerState::kMissing &&                  \
        !::quarry::peers::PeersRequired()) {                                       \
      GTEST_SKIP() << (peer).reason();                                             \
    }                                                                              \
    ASSERT_EQ(quarry_state_, ::quarry::peers::PeerState::kRunning) << (peer).reason(); \
  } while (0)

#endif  // QUARRY_WEB_PEERS_PEER_TEST_SUPPORT_H_
