#include "fault/testing/script_smtp_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace quarry::testing {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

}  // namespace

ScriptSmtpServer::ScriptSmtpServer(SmtpScript script) : script_(std::move(script)) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof address;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), len) != 0 ||
      ::listen(listen_fd_, 4) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

ScriptSmtpServer::~ScriptSmtpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

std::vector<std::string> ScriptSmtpServer::Commands() const {
  std::lock_guard<std::mutex> lock(mu_);
  return commands_;
}

std::string ScriptSmtpServer::Data() const {
  std::lock_guard<std::mutex> lock(mu_);
  return data_;
}

void ScriptSmtpServer::Run() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Serve(fd);
    ::close(fd);
  }
}

void ScriptSmtpServer::Serve(int fd) {
  auto send_reply = [fd](const std::string& reply) {
    if (reply.empty()) return;  // silence
    const std::string wire = reply + "\r\n";
    (void)!::send(fd, wire.data(), wire.size(), MSG_NOSIGNAL);
  };
  auto reply_for = [this](const std::string& verb, const std::string& fallback) {
    const auto it = script_.replies.find(verb);
    return it != script_.replies.end() ? it->second : fallback;
  };
  send_reply(script_.greeting);
  std::string buffer;
  bool in_data = false;
  int auth_step = 0;  // 1: user asked, 2: password asked
  std::string auth_user;
  while (!stop_) {
    size_t eol;
    while ((eol = buffer.find("\r\n")) != std::string::npos) {
      const std::string line = buffer.substr(0, eol);
      buffer.erase(0, eol + 2);
      if (in_data) {
        if (line == ".") {
          in_data = false;
          send_reply(reply_for(".", "250 2.0.0 queued"));
        } else {
          std::lock_guard<std::mutex> lock(mu_);
          data_ += line + "\r\n";
        }
        continue;
      }
      {
        std::lock_guard<std::mutex> lock(mu_);
        commands_.push_back(line);
      }
      if (auth_step == 1) {
        auth_user = line;
        auth_step = 2;
        send_reply("334 UGFzc3dvcmQ6");
        continue;
      }
      if (auth_step == 2) {
        auth_step = 0;
        // Base64 of the script's account.
        const bool ok = auth_user == "YW5u" && line == "c2VjcmV0";
        send_reply(ok ? reply_for("AUTH", "235 2.7.0 accepted") : "535 5.7.8 bad credentials");
        continue;
      }
      const std::string verb = Upper(line.substr(0, line.find(' ')));
      if (verb == "EHLO") {
        send_reply(reply_for("EHLO", "250-script.test\r\n250-AUTH LOGIN\r\n250 8BITMIME"));
      } else if (verb == "HELO") {
        send_reply(reply_for("HELO", "250 script.test"));
      } else if (verb == "MAIL" || verb == "RCPT") {
        send_reply(reply_for(verb, "250 2.1.0 ok"));
      } else if (verb == "DATA") {
        const std::string reply = reply_for("DATA", "354 go ahead");
        in_data = reply.starts_with("354");
        send_reply(reply);
      } else if (verb == "AUTH") {
        const auto it = script_.replies.find("AUTH");
        if (it != script_.replies.end() && !it->second.starts_with("235")) {
          send_reply(it->second);
        } else {
          auth_step = 1;
          send_reply("334 VXNlcm5hbWU6");
        }
      } else if (verb == "QUIT") {
        send_reply(reply_for("QUIT", "221 2.0.0 bye"));
        return;
      } else {
        send_reply("500 5.5.1 unknown command");
      }
    }
    pollfd p{fd, POLLIN, 0};
    const int n = ::poll(&p, 1, 100);
    if (n <= 0) continue;
    char chunk[4096];
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) return;
    buffer.append(chunk, static_cast<size_t>(got));
  }
}

}  // namespace quarry::testing
