// Signed version lists and file digests: what lets the updater trust files
// that reached it over a network anyone may sit on.
//
// The publishing tool signs the version list with its Ed25519 secret key.
// The signature is the list's last line,
//   signature,ed25519,<128 hex digits>\r\n
// and covers every byte before that line. Each file line carries in field 3
// the SHA-256 of the file as it is installed (after expansion), in 64
// lower-case hex digits. The updater carries the public key and refuses a
// list that has no such last line or whose signature does not verify: the
// whole list, since one changed byte anywhere may redirect a download. The
// last line's field 1 is no number, so a file the list does not name but
// whose name happens to occur in the signature reads as version 0, never as
// an update.
//
// Plain C++ over libsodium; every function is safe from any thread.

#ifndef QUARRY_UPDATER_UPDATE_SIGNATURE_H_
#define QUARRY_UPDATER_UPDATE_SIGNATURE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarry {

inline constexpr size_t kSigningPublicKeyBytes = 32;
inline constexpr size_t kSigningSecretKeyBytes = 64;
inline constexpr size_t kSigningSeedBytes = 32;
inline constexpr char kSignatureLinePrefix[] = "signature,ed25519,";

// The environment variable that names the public key (64 hex digits) the
// updater trusts instead of the one it was built with. Whoever sets a
// program's environment can already run code inside it, so this gives
// nobody a power they lacked; it lets a test or a private publisher use a
// key of their own.
inline constexpr char kPublicKeyVariable[] = "ZT_UPDATE_PUBLIC_KEY";

// An Ed25519 key pair, raw bytes.
struct SigningKey {
  std::string public_key;  // kSigningPublicKeyBytes
  std::string secret_key;  // kSigningSecretKeyBytes (seed and public key)
};

// A fresh key pair from the system's random source.
SigningKey NewSigningKey();
// The key pair a 32-byte seed determines; nullopt for a seed of another size.
std::optional<SigningKey> SigningKeyFromSeed(std::string_view seed);

// Lower-case hex of `bytes`, and back (nullopt for odd lengths or other
// characters; either case is read).
std::string HexOf(std::string_view bytes);
std::optional<std::string> BytesOfHex(std::string_view hex);

// SHA-256 of `bytes` in lower-case hex.
std::string Sha256Hex(std::string_view bytes);
// SHA-256 of the file at `path`, read in pieces (any size, little memory).
// False with *error (one line naming the file) when it cannot be read.
bool FileSha256Hex(const std::string& path, std::string* hex, std::string* error);

// `text` (given a line end first when it lacks one) followed by its
// signature line. `secret_key` must be kSigningSecretKeyBytes long;
// otherwise the result is empty.
std::string SignVersionList(std::string_view text, std::string_view secret_key);

struct ListVerification {
  bool ok = false;
  std::string signed_text;  // the bytes the signature covers, when ok
  std::string reason;       // for the user, when not ok: no capital, no stop
};

// Checks the last line of `text` against `public_key` (raw bytes). Only
// line ends may follow the signature line.
ListVerification VerifyVersionList(std::string_view text, std::string_view public_key);

// The public key this updater trusts: kPublicKeyVariable when it is set,
// else the one it was built with; empty when there is none (every list is
// then refused) or the text is no key.
std::string TrustedPublicKey();

// The user's reasons for refusals, shared by the check and the installer.
inline constexpr char kNoTrustedKeyReason[] =
    "this updater was built without a key to check updates with";

}  // namespace quarry

#endif  // QUARRY_UPDATER_UPDATE_SIGNATURE_H_
