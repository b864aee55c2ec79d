// The publishing key of the tests: one fixed key pair, so that a test, the
// programs it starts and the sites it publishes all agree without passing
// keys around. Only ever trusted where a test says so (through
// ZT_UPDATE_PUBLIC_KEY or a check's public_key).

#ifndef QUARRY_UPDATER_TESTING_TEST_SIGNING_KEY_H_
#define QUARRY_UPDATER_TESTING_TEST_SIGNING_KEY_H_

#include <string>
#include <string_view>

#include "updater/update_signature.h"

namespace quarry::testing {

inline const SigningKey& TestSigningKey() {
  static const SigningKey key = *SigningKeyFromSeed(std::string(kSigningSeedBytes, '\x5a'));
  return key;
}

// `list` signed with the test key.
inline std::string TestSigned(std::string_view list) {
  return SignVersionList(list, TestSigningKey().secret_key);
}

inline std::string TestPublicKeyHex() { return HexOf(TestSigningKey().public_key); }

}  // namespace quarry::testing

#endif  // QUARRY_UPDATER_TESTING_TEST_SIGNING_KEY_H_
