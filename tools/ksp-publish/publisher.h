// Publishes an update site: given a folder of new files, writes a folder
// of static files that any web server serves as it is, and that the updater
// reads as the maker's update server:
//
//   IPAddresses/FileIPs.aspx, IPAddresses/FileIPs.asp
//                      the address-list answer: "<site>/list/"
//   list/index.html    the version list (a static server answers it for
//                      any query the updater adds), signed with the
//                      publisher's Ed25519 key, each file's line carrying
//                      the SHA-256 of the file (updater/update_signature.h)
//   files/<name>       each file as it is
//   packed/<name>.lzr  each file in an update container with its stored
//                      name, when the container holds a compressed stream
//
// Versions come from the modules themselves (their Version entry point) or,
// for other files, from "versions.txt" in the source folder: one
// "<file name> <version>" a line, "#" starting a comment. A file without a
// version, or whose module disagrees with the text file, stops the run.
//
// The list is written last and replaced whole, so a live site switches
// from the old list to the new one at once; files of the previous
// publication that are not republished stay but are no longer listed.
//
// The secret key lives in a file of its own (128 hex digits, readable by
// its owner only), made once with NewKeyFile; the updater is built with
// its public half.

#ifndef QUARRY_TOOLS_KSP_PUBLISH_PUBLISHER_H_
#define QUARRY_TOOLS_KSP_PUBLISH_PUBLISHER_H_

#include <string>
#include <vector>

namespace quarry::publish {

inline constexpr char kVersionsFileName[] = "versions.txt";

struct PublishOptions {
  std::string source_dir;
  std::string site_dir;
  // The address the site will be served at ("http://host[:port][/path]").
  std::string site_url;
  // A notice the updater shows its users; empty: none.
  std::string notice;
  // The Ed25519 secret key the list is signed with (raw bytes). Required.
  std::string secret_key;
};

struct PublishedFile {
  std::string name;
  double version = 0.0;
  bool compressed = false;     // offered as a container
  uint64_t bytes = 0;          // the file's size
  uint64_t packed_bytes = 0;   // the container's size when compressed
  std::string digest;          // SHA-256 of the file, hex
};

struct PublishResult {
  bool ok = false;
  std::string error;  // one line, when !ok
  std::vector<PublishedFile> files;
};

PublishResult PublishSite(const PublishOptions& options);

// The version list's text for the files (each file's line first, then the
// base addresses, then the notice), not yet signed, or an error when the
// updater would read some line differently from what was meant (a file
// name contained in an earlier line, a file line taken for the notice) or
// the list with its signature would be longer than the updater reads.
bool BuildVersionList(const std::vector<PublishedFile>& files, const std::string& site_url,
                      const std::string& notice, std::string* text, std::string* error);

// Makes a new key pair and writes its secret half to `path`, which must not
// exist yet (mode 0600). The public half goes to *public_key_hex.
bool NewKeyFile(const std::string& path, std::string* public_key_hex, std::string* error);

// Reads a key file written by NewKeyFile into *secret_key (raw bytes).
bool ReadKeyFile(const std::string& path, std::string* secret_key, std::string* error);

}  // namespace quarry::publish

#endif  // QUARRY_TOOLS_KSP_PUBLISH_PUBLISHER_H_
