#include <cstdio>
#include <string_view>

#include "platform/ascii_text.h"
#include "web/base64.h"
#include "web/web_address.h"
#include "web/offline_state.h"
#include "web/retrieval_error.h"
#include "web/retrieval_steps.h"
#include "web/retrieval_ui.h"

namespace quarry::web_internal {

namespace {

std::unique_ptr<HttpTransfer> NewHttpTransfer(const WebRetrievalRequest& request,
                                              const std::string& url,
                                              const std::string& server_auth,
                                              const std::string& proxy_auth) {
  auto transfer = std::make_unique<HttpTransfer>();
  CURL* easy = transfer->easy();
  if (easy == nullptr) return transfer;
  ApplyCommonOptions(easy, request, transfer->error_buffer());
  transfer->SetCancelFlag(request.cancel);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  // Follow redirects as a browser would, but never onto other schemes.
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  if ((request.internet_flags & kInternetFlagPragmaNoCache) != 0) {
    transfer->AddHeader("Pragma: no-cache");
    transfer->AddHeader("Cache-Control: no-cache");
  }
  if (!server_auth.empty()) transfer->AddHeader("Authorization: " + server_auth);
  if (!proxy_auth.empty()) transfer->AddProxyHeader("Proxy-Authorization: " + proxy_auth);
  return transfer;
}

// Sends the transfer; returns whether a response (or a proxy's refusal of
// the tunnel) came back, and its status.
bool Send(HttpTransfer* transfer, long* status) {
  if (transfer->Start()) {
    *status = transfer->Status();
    return true;
  }
  if (transfer->ProxyStatus() == 407) {
    *status = 407;
    return true;
  }
  *status = 0;
  return false;
}

}  // namespace

std::string FailureText(const std::string& reason, uint32_t code) {
  char tail[64];
  std::snprintf(tail, sizeof(tail), "\nCheck Internet Connections and Try Again\nError Code: %i",
                static_cast<int>(code));
  return "Failed to Retrieve Online Data Caused By:\n" + std::string(Trimmed(reason)) + tail;
}

std::string ReadFailureText(const std::string& reason) {
  return "Failed to Retrieve Online Data Caused By:\n" + std::string(Trimmed(reason)) +
         "\nCheck Internet Connections and Try Again";
}

bool MayProceed(WebRetrievalRequest* request, bool clear_bytes) {
  if (request == nullptr) return false;
  request->success = 0;
  if (clear_bytes) {
    request->bytes_received = 0;
    request->truncated = 0;
  }
  bool offline = OfflineFlag() == 1;
  if (offline) request->was_offline = 1;
  if (request->url.empty()) {
    request->error_text = kInvalidVariablesText;
    return false;
  }
  // A local file needs no network, so the offline switch does not stop it.
  if (offline && !IsFileUrl(request->url)) {
    request->error_text = kOfflineText;
    return false;
  }
  // Going direct would quietly bypass the proxy the user asked for.
  if (request->use_proxy == 1 && Trimmed(request->proxy_server).empty() &&
      !IsFileUrl(request->url)) {
    request->error_text = kProxyMissingText;
    return false;
  }
  return true;
}

void NotifyRetrievalFailed(WebRetrievalRequest* request) {
  NotifyWindow* window = request->notify_window;
  if (window == nullptr || !window->HasWindow()) return;
  window->SendMessage(WM_RETRIEVAL_FAILED, reinterpret_cast<uintptr_t>(request->error_text.c_str()),
                      0);
}

bool OpenHttpRequest(WebRetrievalRequest* request, std::unique_ptr<ResponseStream>* stream,
                     bool report) {
  if (request == nullptr) return false;
  if (stream == nullptr || *stream != nullptr) {
    request->error_text = kInvalidVariablesText;
    request->success = 0;
    return false;
  }
  if (!MayProceed(request, false)) return false;
  std::string reason = kUnknownReason;

  if (IsFileUrl(request->url)) {
    auto file = std::make_unique<FileStream>(request->url);
    if (file->IsOpen()) {
      request->status_code = 200;
      request->success = 1;
      *stream = std::move(file);
      return true;
    }
    request->status_code = file->failure().code;
    reason = file->failure().reason;
  } else {
    std::string url;
    TransferFailure bad_url;
    if (!PrepareUrl(request->url, {"http", "https"}, request->port, 80, &url, &bad_url)) {
      request->status_code = bad_url.code;
      reason = bad_url.reason;
    } else {
      auto transfer = NewHttpTransfer(*request, url, "", "");
      long status = 0;
      bool answered = Send(transfer.get(), &status);
      if (answered && (status == 401 || status == 407)) {
        // One more attempt: with the request's credentials, else with what
        // the user types, else as before.
        std::string user, password;
        bool have = request->no_credentials != 1 && !request->user_name.empty() &&
                    !request->password.empty();
        RetrievalUi* asked = nullptr;
        CredentialsQuestion question;
        if (have) {
          user = request->user_name;
          password = request->password;
        } else if (RetrievalUi* ui = CurrentRetrievalUi()) {
          question.url = MaskCredentials(url);
          question.status = static_cast<uint32_t>(status);
          question.realm = transfer->Realm();
          question.cancel = request->cancel;
          have = ui->AskCredentials(question, &user, &password) && !user.empty() &&
                 !IsCancelled(*request);
          if (have) asked = ui;
        }
        std::string credentials = have ? BasicCredentials(user, password) : std::string();
        const long challenge = status;
        transfer.reset();
        transfer = status == 407 ? NewHttpTransfer(*request, url, "", credentials)
                                 : NewHttpTransfer(*request, url, credentials, "");
        answered = Send(transfer.get(), &status);
        if (asked != nullptr && answered && status == challenge) asked->CredentialsRefused(question);
      }
      request->status_code = static_cast<uint32_t>(status);
      if (answered && status >= 200 && status < 300) {
        request->success = 1;
        *stream = std::move(transfer);
        return true;
      }
      if (!answered) {
        request->status_code = transfer->failure().code;
        reason = transfer->failure().reason;
      } else if (report) {
        reason = DescribeRetrievalError(0, request->status_code);
      }
    }
  }
  request->success = 0;
  request->error_text = FailureText(reason, request->status_code);
  if (report) NotifyRetrievalFailed(request);
  return false;
}

}  // namespace quarry::web_internal
