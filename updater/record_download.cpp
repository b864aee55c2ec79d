#include "updater/record_download.h"

#include "updater/file_operations.h"
#include "updater/lzrw1/lzrw1_codec.h"
#include "updater/lzrw1/lzrw1_container.h"
#include "web/web_retrieval.h"

namespace quarry {

namespace {

// Fetches `url` into `local`; true when something arrived whole.
bool Fetch(const std::string& url, const std::string& local, const std::atomic<bool>* cancel,
           std::string* reason) {
  if (!DeleteWithRetries(local)) {
    *reason = "cannot delete the old " + local;
    return false;
  }
  WebRetrievalRequest request;
  request.url = url;
  request.output_file = local;
  request.connect_timeout = 10000;
  // Large files on slow lines take as long as they take; a transfer that
  // stops moving is what gets cut off.
  request.transfer_time_limit = 0;
  request.stall_timeout = 30;
  request.cancel = cancel;
  const int64_t bytes = RetrieveToFile(&request);
  if (bytes > 0 && request.success == 1) return true;
  *reason = request.error_text.empty() ? "nothing arrived from " + url : request.error_text;
  return false;
}

}  // namespace

RecordDownload DownloadRecord(UpdateFileRecord record, const DownloadBases& bases,
                              const std::string& download_folder,
                              const std::atomic<bool>* cancel) {
  RecordDownload out;
  record.download_result = 0;
  if (record.needs_update != 1) {
    out.record = std::move(record);
    return out;
  }
  if (record.file_name.empty()) record.file_name = FileNameOf(record.path);
  const std::string plain_local = download_folder + record.file_name;
  std::string reason;

  if (!record.download_name.empty()) {
    // A name that is not a bare file name would leave the download folder.
    const bool safe = lzrw1::IsBareFileName(record.download_name) &&
                      record.download_name != record.file_name;
    const std::string container = download_folder + record.download_name;
    if (safe && Fetch(bases.compressed + record.download_name, container, cancel, &reason)) {
      DeleteWithRetries(plain_local);
      record.download_name.clear();
      CLZRW1Codec codec;
      std::string expanded = plain_local;
      const bool expanded_ok = codec.ProcessFile(container, &expanded, 0, 1) == 1;
      if (expanded_ok && expanded == plain_local) {
        record.download_result = 1;
      } else {
        // A stored copy, a damaged stream, or a stored name of another
        // file: whatever it wrote goes, and the plain file is fetched.
        if (expanded != plain_local && expanded != container) DeleteWithRetries(expanded);
        DeleteWithRetries(plain_local);
        reason = "cannot expand " + container + ": " + codec.ErrorText();
      }
      DeleteWithRetries(container);
    } else if (!safe) {
      reason = "the download name \"" + record.download_name + "\" is not a file name";
    }
    record.download_name.clear();
  }

  if (record.download_result != 1 && !(cancel != nullptr && cancel->load())) {
    if (Fetch(bases.plain + record.file_name, plain_local, cancel, &reason)) {
      record.download_result = 1;
    } else {
      DeleteWithRetries(plain_local);
    }
  }
  if (record.download_result == 1) reason.clear();
  out.record = std::move(record);
  out.reason = std::move(reason);
  return out;
}

}  // namespace quarry
