#include "updater/update_check.h"

#include <cstdio>

#include "platform/ascii_text.h"
#include "updater/update_signature.h"
#include "updater/update_texts.h"
#include "updater/version_list.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

// Bounds for each exchange, so that a dead server cannot hold the check.
constexpr uint32_t kConnectTimeoutMs = 10000;
constexpr uint32_t kStallTimeoutS = 20;

void Prepare(WebRetrievalRequest* request) {
  request->connect_timeout = kConnectTimeoutMs;
  request->stall_timeout = kStallTimeoutS;
}

std::string Failure(const char* text, const CheckRequest& request) {
  return std::string(text) + " " + request.support_address + kFurtherAssistanceText;
}

}  // namespace

std::string VersionListBase(const std::string& server_text, uint32_t port,
                            const std::string& object_path, bool secure) {
  if (object_path.empty()) return server_text;
  const std::string scheme = secure ? "https://" : "http://";
  char text[64];
  // Port 80 stands for the scheme's own port.
  if (port == 80) {
    return scheme + server_text + "/" + object_path + "/";
  }
  std::snprintf(text, sizeof text, ":%u", port);
  return scheme + server_text + text + "/" + object_path + "/";
}

std::string DownloadAddress(const UpdateFileRecord& record, const std::string& plain_base,
                            const std::string& compressed_base) {
  if (!record.download_name.empty()) return compressed_base + record.download_name;
  return plain_base + (record.file_name.empty() ? FileNameOf(record.path) : record.file_name);
}

CheckOutcome RunUpdateCheck(const CheckRequest& request, CheckSink& sink) {
  CheckOutcome outcome;
  outcome.records = request.records;
  outcome.listed.assign(outcome.records.size(), false);
  for (UpdateFileRecord& record : outcome.records) record.needs_update = 0;

  // 1. Which server: the address list, told about the calling product.
  WebRetrievalRequest lookup;
  Prepare(&lookup);
  lookup.address_list_index = 3;
  lookup.query_int = static_cast<int32_t>(request.product.config);
  lookup.query_count = static_cast<int32_t>(request.product.code);
  lookup.query_version = request.product.version;
  if (!LookupServerAddress(&lookup)) {
    if (!request.quiet) sink.ShowMessage(Failure(kContactFailedText, request));
    return outcome;
  }
  // 2. The version list's base address, over HTTPS when the address list
  // came that way.
  const std::string base = VersionListBase(lookup.server_text, lookup.port, lookup.object_path,
                                           StartsWithNoCase(AddressListPage(), "https://"));

  // 3. Progress over the records.
  sink.ProgressStart(static_cast<int>(outcome.records.size()));

  // 4. The version list, its first 5000 bytes.
  WebRetrievalRequest list;
  Prepare(&list);
  list.cut_at_capacity = 1;
  char query[96];
  std::snprintf(query, sizeof query, "?pc=%d&pv=%d&uf=1&dv=1",
                static_cast<int>(request.base_product_code),
                static_cast<int>(request.base_product_version));
  list.url = base + query;
  if (!AllocateBuffer(&list, static_cast<int32_t>(kVersionListBytes)) || !RetrieveData(&list) ||
      list.bytes_received <= 0) {
    outcome.status = CheckOutcome::Status::kRetrieveFailed;
    if (!request.quiet) sink.ShowMessage(Failure(kRetrieveFailedText, request));
    return outcome;
  }
  // Nothing in a list is believed before its signature is.
  const std::string_view received(list.buffer, static_cast<size_t>(list.bytes_received));
  const ListVerification verified = list.truncated == 1
      ? ListVerification{false, {}, "the update server's version list is longer than an update "
                                    "list may be"}
      : VerifyVersionList(received, request.public_key);
  if (!verified.ok) {
    outcome.status = CheckOutcome::Status::kListRefused;
    outcome.refusal = verified.reason;
    if (!request.quiet) sink.ShowMessage(FormatText(kUpdateRefusedFormat, verified.reason));
    return outcome;
  }
  outcome.signed_list = std::string(received);
  const VersionList versions(verified.signed_text);
  const auto bases = versions.Bases();
  if (!bases) {
    if (!request.quiet) sink.ShowMessage(Failure(kContactFailedText, request));
    return outcome;
  }
  outcome.plain_base = bases->plain;
  outcome.compressed_base = bases->compressed;

  // 5. Is the updater itself out of date?
  if (const auto self = versions.Find(kUpdaterFileName);
      self && IsNewerVersion(self->version, kUpdaterVersion)) {
    outcome.status = CheckOutcome::Status::kUpdaterOutOfDate;
    outcome.server_updater_version = self->version;
    char text[512];
    std::snprintf(text, sizeof text, kOutOfDateFormat, kUpdaterVersion, self->version);
    sink.ShowMessage(text);
    if (!request.update_web_page.empty()) sink.OpenWebPage(request.update_web_page);
    return outcome;
  }

  // 6. Each record against the list.
  for (size_t row = 0; row < outcome.records.size(); ++row) {
    UpdateFileRecord& record = outcome.records[row];
    record.file_name = FileNameOf(record.path);
    if (const auto entry = versions.Find(record.file_name)) {
      record.available_version = entry->version;
      record.needs_update = IsNewerVersion(entry->version, record.current_version) ? 1 : 0;
      record.download_name = entry->download_name;
      outcome.listed[row] = true;
      outcome.needs_updating = outcome.needs_updating || record.needs_update == 1;
    }
    sink.RowChecked(row, record, outcome.listed[row]);
    sink.ProgressStep();
  }

  // 7. The server's notice.
  outcome.notice = versions.Notice();
  if (!outcome.notice.empty()) sink.ShowNotice(outcome.notice);

  // 8. A successful check.
  if (request.settings != nullptr) request.settings->SetLastUpdate(request.now);
  outcome.status = CheckOutcome::Status::kChecked;
  return outcome;
}

}  // namespace quarry
