// Real network daemons from the distribution, started on 127.0.0.1 for the
// retrieval tests: nginx (plain HTTP, a Basic-auth area, optionally HTTPS
// with a throwaway certificate authority), tinyproxy (a forward proxy) and
// vsftpd (anonymous FTP downloads).
//
// Each peer object owns a fresh temporary folder that holds its
// configuration, the files it serves and its logs, and the daemon itself:
// the destructor stops the daemon (SIGTERM, then SIGKILL, then reap) and
// removes the folder. Ports are picked free at start; nothing uses the
// system daemons, their configuration or their well-known ports.

#ifndef QUARRY_WEB_PEERS_PEER_HARNESS_H_
#define QUARRY_WEB_PEERS_PEER_HARNESS_H_

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "web/peers/peer_process.h"

namespace quarry::peers {

enum class PeerState {
  kStopped,  // not started yet, or stopped
  kRunning,  // listening on its port(s)
  kMissing,  // the daemon's program is not installed: tests skip
  kFailed,   // installed but would not start: tests fail; reason() says why
};

// How long Start() waits for a daemon's port to answer.
inline constexpr std::chrono::seconds kStartTimeout{10};

// The start-up and shutdown shared by the three daemons. Start() tries up
// to three times with fresh ports, because a port picked free may be taken
// by someone else before the daemon binds it.
class Peer {
 public:
  virtual ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  // Starts the daemon unless it runs already; returns the new state. On
  // kMissing or kFailed, reason() explains and nothing is left running.
  PeerState Start();
  // Stops the daemon; the folder and its logs stay until destruction.
  void Stop();

  PeerState state() const { return state_; }
  const std::string& reason() const { return reason_; }
  // The peer's private folder, made with the object; empty when it could
  // not be made (Start() then fails).
  const std::filesystem::path& dir() const { return dir_.path(); }
  // What the daemon wrote to standard output and error.
  std::string DaemonOutput() const;

 protected:
  explicit Peer(std::string program_name);

  // One-time set-up in dir() before the first attempt (files to serve,
  // credentials, certificates). Returns false with *error on failure.
  virtual bool Prepare(std::string* error) = 0;
  // Number of ports the daemon listens on; Start() picks that many.
  virtual int PortCount() const = 0;
  // Writes the configuration for `ports` and returns the command line
  // (argv[0] is `program`, an absolute path).
  virtual bool Configure(const std::string& program, const std::vector<int>& ports,
                         std::vector<std::string>* argv, std::string* error) = 0;

  // The ports of the running daemon, in the order Configure() got them.
  const std::vector<int>& ports() const { return ports_; }

 private:
  std::string program_name_;
  TempDir dir_;
  PeerProcess process_;
  std::vector<int> ports_;
  PeerState state_ = PeerState::kStopped;
  std::string reason_;
  bool prepared_ = false;
};

// Waits until the file at `path` contains `needle`, for at most `timeout`.
// Daemons write their logs after answering, so a client that has its reply
// may look before the line is there.
bool WaitForFileText(const std::filesystem::path& path, std::string_view needle,
                     std::chrono::milliseconds timeout);

// The files of a throwaway certificate authority and of a server
// certificate it signed for 127.0.0.1 and localhost (both in the subject
// alternative names), made with the openssl program. Valid for two days.
struct TestCertificates {
  std::filesystem::path ca_file;    // PEM certificate of the authority
  std::filesystem::path cert_file;  // PEM server certificate
  std::filesystem::path key_file;   // PEM private key of the server
};

// Makes the certificates in folder `dir`. Returns false with *error when
// openssl is missing or fails; partial files may be left in `dir`.
bool MakeTestCertificates(const std::filesystem::path& dir, TestCertificates* out,
                          std::string* error);

// One line of nginx's access log, written in a tab-separated format of our
// own. Fields nginx had no value for read "-".
struct AccessLogEntry {
  std::string method;
  std::string uri;  // as requested, with the query
  int status = 0;
  std::string remote_user;    // the Basic user name nginx accepted or saw
  std::string authorization;  // the Authorization header as sent
  std::string via;            // the Via header, set by proxies
  std::string scheme;         // "http" or "https"
  std::string user_agent;
};

struct NginxOptions {
  // Also serve the same files over HTTPS, with certificates from
  // MakeTestCertificates.
  bool tls = false;
  // The one account of the "/private/" area.
  std::string user = "quarry";
  std::string password = "open sesame";
};

// nginx serving document_root() at "/" over HTTP (and HTTPS with
// options.tls). Everything under "/private/" needs Basic authentication
// with the configured account; a request without it gets 401.
class NginxPeer : public Peer {
 public:
  explicit NginxPeer(NginxOptions options = {});

  const NginxOptions& options() const { return options_; }
  int http_port() const { return ports().empty() ? 0 : ports()[0]; }
  // 0 without TLS.
  int https_port() const { return ports().size() < 2 ? 0 : ports()[1]; }
  // Exists once Start() has run. Files may be added while the daemon runs.
  std::filesystem::path document_root() const { return dir() / "www"; }
  // The certificate authority to trust for HTTPS; empty without TLS.
  std::filesystem::path ca_file() const { return certs_.ca_file; }
  // "http://127.0.0.1:PORT/" + path (path without its leading slash).
  std::string HttpUrl(std::string_view path) const;
  std::string HttpsUrl(std::string_view path) const;

  // The access log as parsed so far.
  std::vector<AccessLogEntry> AccessLog() const;
  // Waits until the log holds at least `count` entries (at most `timeout`),
  // then returns them all.
  std::vector<AccessLogEntry> WaitForAccessLog(
      size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

 protected:
  bool Prepare(std::string* error) override;
  int PortCount() const override { return options_.tls ? 2 : 1; }
  bool Configure(const std::string& program, const std::vector<int>& ports,
                 std::vector<std::string>* argv, std::string* error) override;

 private:
  NginxOptions options_;
  TestCertificates certs_;
};

// tinyproxy as a plain forward proxy on 127.0.0.1 that admits only
// 127.0.0.1 and goes straight to the origin (no upstream). It names itself
// kViaName in the Via header it adds, so an origin can tell proxied
// requests apart.
class TinyproxyPeer : public Peer {
 public:
  static constexpr std::string_view kViaName = "quarry-test-proxy";

  TinyproxyPeer();

  int port() const { return ports().empty() ? 0 : ports()[0]; }
  // "127.0.0.1:PORT", the form a proxy setting takes.
  std::string Address() const;
  // The request lines tinyproxy logged ("GET http://host:port/path HTTP/1.1"
  // or "CONNECT host:port HTTP/1.1"), oldest first.
  std::vector<std::string> ProxiedRequests() const;
  std::filesystem::path log_file() const { return dir() / "tinyproxy.log"; }

 protected:
  bool Prepare(std::string* error) override;
  int PortCount() const override { return 1; }
  bool Configure(const std::string& program, const std::vector<int>& ports,
                 std::vector<std::string>* argv, std::string* error) override;
};

// vsftpd in the foreground on a high port, anonymous download only, from
// root(). It runs as the launching user (run_as_launching_user), which
// works the same for root in CI and for a developer: it needs no system
// account, no chroot and no privilege separation. Its seccomp sandbox is
// off: with it on, sessions die before the greeting on current kernels. Passive mode uses a block of 50
// ports below the kernel's ephemeral range; active mode works too.
class VsftpdPeer : public Peer {
 public:
  VsftpdPeer();

  int port() const { return ports().empty() ? 0 : ports()[0]; }
  // The anonymous user's folder; exists once Start() has run.
  std::filesystem::path root() const { return dir() / "ftp"; }
  // "ftp://127.0.0.1:PORT/" + path.
  std::string Url(std::string_view path) const;
  // The session log, with the protocol dialogue and "OK DOWNLOAD" lines.
  std::filesystem::path log_file() const { return dir() / "vsftpd.log"; }

 protected:
  bool Prepare(std::string* error) override;
  int PortCount() const override { return 1; }
  bool Configure(const std::string& program, const std::vector<int>& ports,
                 std::vector<std::string>* argv, std::string* error) override;
};

}  // namespace quarry::peers

#endif  // QUARRY_WEB_PEERS_PEER_HARNESS_H_
