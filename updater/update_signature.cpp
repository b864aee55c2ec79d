#include "updater/update_signature.h"

#include <sodium.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/ascii_text.h"

#ifndef QUARRY_UPDATE_PUBLIC_KEY
#define QUARRY_UPDATE_PUBLIC_KEY ""
#endif

namespace quarry {

namespace {

// sodium_init is safe to call from several threads and more than once; it
// fails only when the system has no random source, which key generation
// then reports by crashing loudly rather than making a weak key.
void EnsureSodium() {
  static const int ready = sodium_init();
  if (ready < 0) std::abort();
}

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

SigningKey NewSigningKey() {
  EnsureSodium();
  SigningKey key;
  key.public_key.resize(kSigningPublicKeyBytes);
  key.secret_key.resize(kSigningSecretKeyBytes);
  crypto_sign_keypair(reinterpret_cast<unsigned char*>(key.public_key.data()),
                      reinterpret_cast<unsigned char*>(key.secret_key.data()));
  return key;
}

std::optional<SigningKey> SigningKeyFromSeed(std::string_view seed) {
  if (seed.size() != kSigningSeedBytes) return std::nullopt;
  EnsureSodium();
  SigningKey key;
  key.public_key.resize(kSigningPublicKeyBytes);
  key.secret_key.resize(kSigningSecretKeyBytes);
  crypto_sign_seed_keypair(reinterpret_cast<unsigned char*>(key.public_key.data()),
                           reinterpret_cast<unsigned char*>(key.secret_key.data()), Bytes(seed));
  return key;
}

std::string HexOf(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::optional<std::string> BytesOfHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexValue(hex[i]);
    const int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

std::string Sha256Hex(std::string_view bytes) {
  EnsureSodium();
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, Bytes(bytes), bytes.size());
  return HexOf(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
}

bool FileSha256Hex(const std::string& path, std::string* hex, std::string* error) {
  EnsureSodium();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read '" + EscapeControlBytes(path) + "': " + std::strerror(errno);
    return false;
  }
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  std::string chunk(64 * 1024, '\0');
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const std::streamsize got = in.gcount();
    if (got > 0) crypto_hash_sha256_update(&state, Bytes(chunk), static_cast<size_t>(got));
  }
  if (in.bad()) {
    *error = "cannot read '" + EscapeControlBytes(path) + "'";
    return false;
  }
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  *hex = HexOf(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
  return true;
}

std::string SignVersionList(std::string_view text, std::string_view secret_key) {
  if (secret_key.size() != kSigningSecretKeyBytes) return {};
  EnsureSodium();
  std::string out(text);
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  unsigned char signature[crypto_sign_BYTES];
  crypto_sign_detached(signature, nullptr, Bytes(out), out.size(), Bytes(secret_key));
  out += kSignatureLinePrefix;
  out += HexOf(std::string_view(reinterpret_cast<const char*>(signature), sizeof signature));
  out += "\r\n";
  return out;
}

ListVerification VerifyVersionList(std::string_view text, std::string_view public_key) {
  ListVerification result;
  if (public_key.size() != kSigningPublicKeyBytes) {
    result.reason = kNoTrustedKeyReason;
    return result;
  }
  // The last line that holds anything but line ends.
  const size_t end = text.find_last_not_of("\r\n");
  if (end == std::string_view::npos) {
    result.reason = "the update server's version list is empty";
    return result;
  }
  const size_t line_end = end + 1;
  const size_t last_break = text.find_last_of("\r\n", end);
  const size_t line_start = last_break == std::string_view::npos ? 0 : last_break + 1;
  const std::string_view line = text.substr(line_start, line_end - line_start);
  const std::string_view prefix = kSignatureLinePrefix;
  if (line.substr(0, prefix.size()) != prefix) {
    result.reason = "the update server's version list is not signed";
    return result;
  }
  const std::optional<std::string> signature = BytesOfHex(line.substr(prefix.size()));
  if (!signature || signature->size() != crypto_sign_BYTES) {
    result.reason = "the update server's version list carries a damaged signature";
    return result;
  }
  EnsureSodium();
  const std::string_view covered = text.substr(0, line_start);
  if (crypto_sign_verify_detached(Bytes(*signature), Bytes(covered), covered.size(),
                                  Bytes(public_key)) != 0) {
    result.reason = "the update server's version list does not match its signature";
    return result;
  }
  result.ok = true;
  result.signed_text = std::string(covered);
  return result;
}

std::string TrustedPublicKey() {
  const char* from_environment = std::getenv(kPublicKeyVariable);
  const std::string_view hex = from_environment != nullptr && *from_environment != '\0'
                                   ? std::string_view(from_environment)
                                   : std::string_view(QUARRY_UPDATE_PUBLIC_KEY);
  const std::optional<std::string> key = BytesOfHex(Trimmed(hex));
  if (!key || key->size() != kSigningPublicKeyBytes) return {};
  return *key;
}

}  // namespace quarry
