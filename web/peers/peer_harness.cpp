#include "web/peers/peer_harness.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <thread>

#include "platform/ascii_text.h"

namespace quarry::peers {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool MakeDir(const fs::path& path, fs::perms perms, std::string* error) {
  std::error_code ec;
  fs::create_directories(path, ec);
  if (!ec) fs::permissions(path, perms, ec);
  if (ec) {
    *error = "cannot create " + path.string() + ": " + ec.message();
    return false;
  }
  return true;
}

std::string Trim(const std::string& text) { return std::string(Trimmed(text)); }

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

// nginx only switches its workers to another account when started as
// root; name root's own account so they can read our private folder.
std::string NginxUserDirective() {
  if (geteuid() != 0) return {};
  const passwd* pw = getpwuid(geteuid());
  const group* gr = getgrgid(getegid());
  if (pw == nullptr || gr == nullptr) return {};
  return std::string("user ") + pw->pw_name + " " + gr->gr_name + ";\n";
}

}  // namespace

Peer::Peer(std::string program_name)
    : program_name_(std::move(program_name)), dir_("quarry-" + program_name_) {}

Peer::~Peer() { Stop(); }

void Peer::Stop() {
  process_.Stop();
  if (state_ == PeerState::kRunning) state_ = PeerState::kStopped;
}

std::string Peer::DaemonOutput() const { return ReadTextFile(dir() / "daemon.out"); }

PeerState Peer::Start() {
  if (state_ == PeerState::kRunning) return state_;
  const std::string program = FindProgram(program_name_);
  if (program.empty()) {
    state_ = PeerState::kMissing;
    reason_ = program_name_ + " is not installed (searched $PATH and the sbin folders)";
    return state_;
  }
  state_ = PeerState::kFailed;
  if (dir().empty()) {
    reason_ = "cannot create a temporary folder for " + program_name_;
    return state_;
  }
  if (!prepared_) {
    std::string error;
    if (!Prepare(&error)) {
      reason_ = program_name_ + " set-up failed: " + error;
      return state_;
    }
    prepared_ = true;
  }
  constexpr int kAttempts = 3;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    std::vector<int> ports;
    for (int i = 0; i < PortCount(); ++i) {
      int port = PickFreePort();
      // Two consecutive picks may return the same port once it is released.
      for (int tries = 0; tries < 10 && port != 0 &&
                          std::find(ports.begin(), ports.end(), port) != ports.end();
           ++tries) {
        port = PickFreePort();
      }
      ports.push_back(port);
    }
    if (std::find(ports.begin(), ports.end(), 0) != ports.end()) {
      reason_ = "no free port on 127.0.0.1";
      return state_;
    }
    std::vector<std::string> argv;
    std::string error;
    if (!Configure(program, ports, &argv, &error) ||
        !process_.Start(argv, dir() / "daemon.out", &error)) {
      reason_ = program_name_ + ": " + error;
      process_.Stop();
      return state_;
    }
    bool up = true;
    for (int port : ports) {
      up = up && WaitForPort(port, kStartTimeout, &process_);
    }
    if (up) {
      ports_ = ports;
      state_ = PeerState::kRunning;
      reason_.clear();
      return state_;
    }
    const bool exited = !process_.Running();
    process_.Stop();
    reason_ = program_name_ + (exited ? " exited during start-up: " : " did not answer in time: ") +
              Tail(DaemonOutput());
    // A daemon that hung rather than lost its port will hang again.
    if (!exited) break;
  }
  return state_;
}

bool WaitForFileText(const fs::path& path, std::string_view needle,
                     std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (ReadTextFile(path).find(needle) != std::string::npos) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool MakeTestCertificates(const fs::path& dir, TestCertificates* out, std::string* error) {
  const std::string openssl = FindProgram("openssl");
  if (openssl.empty()) {
    *error = "openssl is not installed";
    return false;
  }
  TestCertificates certs{dir / "ca.pem", dir / "server.pem", dir / "server.key"};
  const fs::path ca_key = dir / "ca.key";
  const fs::path csr = dir / "server.csr";
  const fs::path ext = dir / "server.ext";
  const fs::path log = dir / "openssl.log";
  // Elliptic-curve keys: an RSA key costs far more time on a busy machine.
  const std::vector<std::vector<std::string>> steps = {
      {openssl, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
       "-nodes", "-keyout", ca_key.string(), "-out", certs.ca_file.string(), "-days", "2",
       "-subj", "/CN=Quarry Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
       "-addext", "keyUsage=critical,keyCertSign,cRLSign"},
      {openssl, "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
       "-keyout", certs.key_file.string(), "-out", csr.string(), "-subj", "/CN=127.0.0.1"},
      {openssl, "x509", "-req", "-in", csr.string(), "-CA", certs.ca_file.string(), "-CAkey",
       ca_key.string(), "-CAcreateserial", "-out", certs.cert_file.string(), "-days", "2",
       "-extfile", ext.string()},
  };
  if (!WriteTextFile(ext,
                     "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                     "basicConstraints=CA:FALSE\n"
                     "keyUsage=critical,digitalSignature\n"
                     "extendedKeyUsage=serverAuth\n",
                     error)) {
    return false;
  }
  for (const auto& argv : steps) {
    if (!RunProgram(argv, log, log, error)) return false;
  }
  *out = certs;
  return true;
}

// ---------------------------------------------------------------- nginx

NginxPeer::NginxPeer(NginxOptions options) : Peer("nginx"), options_(std::move(options)) {}

std::string NginxPeer::HttpUrl(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(http_port()) + "/" + std::string(path);
}

std::string NginxPeer::HttpsUrl(std::string_view path) const {
  return "https://127.0.0.1:" + std::to_string(https_port()) + "/" + std::string(path);
}

bool NginxPeer::Prepare(std::string* error) {
  const auto open = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                    fs::perms::others_read | fs::perms::others_exec;
  if (!MakeDir(document_root() / "private", open, error) || !MakeDir(dir() / "tmp", open, error)) {
    return false;
  }
  const std::string openssl = FindProgram("openssl");
  if (openssl.empty()) {
    *error = "openssl is not installed (needed for the password file)";
    return false;
  }
  // The apr1 hash is computed by nginx itself, so it does not depend on
  // what the C library's crypt() supports.
  const fs::path hash_file = dir() / "passwd.hash";
  if (!RunProgram({openssl, "passwd", "-apr1", options_.password}, hash_file,
                  dir() / "openssl.log", error)) {
    return false;
  }
  const std::string hash = Trim(ReadTextFile(hash_file));
  if (hash.empty() ||
      !WriteTextFile(dir() / "htpasswd", options_.user + ":" + hash + "\n", error)) {
    if (error->empty()) *error = "openssl passwd gave no hash";
    return false;
  }
  return !options_.tls || MakeTestCertificates(dir(), &certs_, error);
}

bool NginxPeer::Configure(const std::string& program, const std::vector<int>& ports,
                          std::vector<std::string>* argv, std::string* error) {
  const std::string d = dir().string();
  std::ostringstream conf;
  conf << NginxUserDirective() << "daemon off;\n"
       << "master_process on;\n"
       << "worker_processes 1;\n"
       << "pid " << d << "/nginx.pid;\n"
       << "lock_file " << d << "/nginx.lock;\n"
       << "error_log " << d << "/error.log info;\n"
       << "events { worker_connections 64; }\n"
       << "http {\n"
       << "  client_body_temp_path " << d << "/tmp/body;\n"
       << "  proxy_temp_path " << d << "/tmp/proxy;\n"
       << "  fastcgi_temp_path " << d << "/tmp/fastcgi;\n"
       << "  uwsgi_temp_path " << d << "/tmp/uwsgi;\n"
       << "  scgi_temp_path " << d << "/tmp/scgi;\n"
       << "  types { text/html html htm; text/plain txt; text/csv csv; }\n"
       << "  default_type application/octet-stream;\n"
       // Tabs separate the fields; nginx escapes any tab inside a value.
       << "  log_format peers '$request_method\\t$request_uri\\t$status\\t$remote_user\\t"
          "$http_authorization\\t$http_via\\t$scheme\\t$http_user_agent';\n"
       << "  access_log " << d << "/access.log peers;\n"
       << "  server {\n"
       << "    listen 127.0.0.1:" << ports[0] << ";\n";
  if (options_.tls) {
    conf << "    listen 127.0.0.1:" << ports[1] << " ssl;\n"
         << "    ssl_certificate " << certs_.cert_file.string() << ";\n"
         << "    ssl_certificate_key " << certs_.key_file.string() << ";\n";
  }
  conf << "    root " << document_root().string() << ";\n"
       << "    location /private/ {\n"
       << "      auth_basic \"Quarry test area\";\n"
       << "      auth_basic_user_file " << d << "/htpasswd;\n"
       << "    }\n"
       << "  }\n"
       << "}\n";
  if (!WriteTextFile(dir() / "nginx.conf", conf.str(), error)) return false;
  *argv = {program, "-p", d + "/", "-c", d + "/nginx.conf", "-e", d + "/error.log"};
  return true;
}

std::vector<AccessLogEntry> NginxPeer::AccessLog() const {
  std::vector<AccessLogEntry> entries;
  std::istringstream in(ReadTextFile(dir() / "access.log"));
  std::string line;
  while (std::getline(in, line)) {
    const std::vector<std::string> f = SplitTabs(line);
    if (f.size() < 8) continue;  // a line still being written
    AccessLogEntry e;
    e.method = f[0];
    e.uri = f[1];
    e.status = std::atoi(f[2].c_str());
    e.remote_user = f[3];
    e.authorization = f[4];
    e.via = f[5];
    e.scheme = f[6];
    e.user_agent = f[7];
    entries.push_back(std::move(e));
  }
  return entries;
}

std::vector<AccessLogEntry> NginxPeer::WaitForAccessLog(size_t count,
                                                        std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    std::vector<AccessLogEntry> entries = AccessLog();
    if (entries.size() >= count || Clock::now() >= deadline) return entries;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// ------------------------------------------------------------ tinyproxy

TinyproxyPeer::TinyproxyPeer() : Peer("tinyproxy") {}

std::string TinyproxyPeer::Address() const { return "127.0.0.1:" + std::to_string(port()); }

bool TinyproxyPeer::Prepare(std::string*) { return true; }

bool TinyproxyPeer::Configure(const std::string& program, const std::vector<int>& ports,
                              std::vector<std::string>* argv, std::string* error) {
  const std::string d = dir().string();
  std::ostringstream conf;
  conf << "Port " << ports[0] << "\n"
       << "Listen 127.0.0.1\n"
       << "Timeout 30\n"
       << "Allow 127.0.0.1\n"
       << "MaxClients 20\n"
       << "ViaProxyName \"" << kViaName << "\"\n"
       << "LogFile \"" << d << "/tinyproxy.log\"\n"
       << "LogLevel Info\n"
       << "PidFile \"" << d << "/tinyproxy.pid\"\n";
  if (!WriteTextFile(dir() / "tinyproxy.conf", conf.str(), error)) return false;
  *argv = {program, "-d", "-c", d + "/tinyproxy.conf"};
  return true;
}

std::vector<std::string> TinyproxyPeer::ProxiedRequests() const {
  static constexpr std::string_view kMarker = "Request (file descriptor ";
  std::vector<std::string> requests;
  std::istringstream in(ReadTextFile(log_file()));
  std::string line;
  while (std::getline(in, line)) {
    const auto at = line.find(kMarker);
    if (at == std::string::npos) continue;
    const auto colon = line.find("): ", at);
    if (colon != std::string::npos) requests.push_back(Trim(line.substr(colon + 3)));
  }
  return requests;
}

// --------------------------------------------------------------- vsftpd

VsftpdPeer::VsftpdPeer() : Peer("vsftpd") {}

std::string VsftpdPeer::Url(std::string_view path) const {
  return "ftp://127.0.0.1:" + std::to_string(port()) + "/" + std::string(path);
}

bool VsftpdPeer::Prepare(std::string* error) {
  const auto open = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                    fs::perms::others_read | fs::perms::others_exec;
  return MakeDir(root(), open, error) && MakeDir(dir() / "empty", open, error);
}

bool VsftpdPeer::Configure(const std::string& program, const std::vector<int>& ports,
                           std::vector<std::string>* argv, std::string* error) {
  // Passive data ports: a block below the ephemeral range, so they do not
  // collide with the ports PickFreePort() hands out; vsftpd retries within
  // the block when one is taken.
  static std::mt19937 rng{std::random_device{}()};
  const int pasv_min = std::uniform_int_distribution<int>(20000, 32000 - 50)(rng);
  const std::string d = dir().string();
  std::ostringstream conf;
  conf << "listen=YES\n"
       << "listen_ipv6=NO\n"
       << "listen_address=127.0.0.1\n"
       << "listen_port=" << ports[0] << "\n"
       << "background=NO\n"
       << "run_as_launching_user=YES\n"
       << "seccomp_sandbox=NO\n"
       << "secure_chroot_dir=" << d << "/empty\n"
       << "anonymous_enable=YES\n"
       << "no_anon_password=YES\n"
       << "anon_root=" << root().string() << "\n"
       << "local_enable=NO\n"
       << "write_enable=NO\n"
       << "pasv_enable=YES\n"
       << "pasv_address=127.0.0.1\n"
       << "pasv_min_port=" << pasv_min << "\n"
       << "pasv_max_port=" << pasv_min + 49 << "\n"
       << "port_enable=YES\n"
       << "connect_from_port_20=NO\n"
       << "xferlog_enable=YES\n"
       << "xferlog_std_format=NO\n"
       << "log_ftp_protocol=YES\n"
       << "vsftpd_log_file=" << log_file().string() << "\n";
  if (!WriteTextFile(dir() / "vsftpd.conf", conf.str(), error)) return false;
  *argv = {program, d + "/vsftpd.conf"};
  return true;
}

}  // namespace quarry::peers
