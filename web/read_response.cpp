#include <algorithm>

#include "web/retrieval_steps.h"

namespace quarry::web_internal {

namespace {

// Reads from the stream, remembering the first failure; a failed read counts
// as 0 bytes.
class Reader {
 public:
  explicit Reader(ResponseStream* stream) : stream_(stream) {}

  int64_t Read(char* dst, int64_t count) {
    if (failed()) return 0;
    int64_t n = stream_->Read(dst, count);
    if (n < 0) {
      failed_ = true;
      return 0;
    }
    return n;
  }

  // A stream that failed between reads counts too: its last bytes may have
  // come in whole while the rest of the body never will.
  bool failed() const { return failed_ || !stream_->Alive(); }

 private:
  ResponseStream* stream_;
  bool failed_ = false;
};

void Report(WebRetrievalRequest* request, int64_t done, int64_t goal) {
  double fraction = goal > 0 ? static_cast<double>(done) / static_cast<double>(goal) : 1.0;
  if (request->progress_bar != nullptr) {
    request->progress_bar->SetPos(goal > 0 ? static_cast<int>(done * 10 / goal) : 10);
  }
  if (request->progress_callback) request->progress_callback(request->progress_cookie, fraction);
}

bool Fail(WebRetrievalRequest* request, const std::string& text) {
  request->error_text = text;
  request->bytes_received = 0;
  request->success = 0;
  return false;
}

}  // namespace

bool ReadResponse(WebRetrievalRequest* request, ResponseStream* stream, int64_t length) {
  if (request == nullptr) return false;
  request->bytes_received = 0;
  request->truncated = 0;
  request->success = 0;
  if (stream == nullptr) {
    if (request->status_code == 0) request->status_code = 410;
    return Fail(request, ReadFailureText(kStreamClosedReason));
  }
  if (request->buffer == nullptr || request->capacity < 0) {
    return Fail(request, kInvalidVariablesText);
  }
  const int64_t capacity = request->capacity;
  const bool cut = request->cut_at_capacity == 1;
  char* buffer = request->buffer;
  Reader reader(stream);
  int64_t total = 0;
  bool beyond_capacity = false;

  bool progress = request->progress_bar != nullptr || request->progress_callback != nullptr;
  if (length >= 0 && progress) {
    // About ten reads, each advancing the progress bar by one.
    int64_t goal = length;
    if (length > capacity) {
      if (!cut) return Fail(request, kOverflowText);
      goal = capacity;
      beyond_capacity = true;
    }
    int64_t step = std::min(goal / 10 + 1, goal);
    if (request->progress_bar != nullptr) {
      request->progress_bar->SetRange(0, 10);
      request->progress_bar->SetPos(0);
    }
    if (request->progress_callback) request->progress_callback(request->progress_cookie, 0.0);
    int64_t last = 1;
    while (step > 0 && last > 0) {
      last = reader.Read(buffer + total, step);
      total += last;
      Report(request, total, goal);
      step = std::min(step, goal - total);
    }
  } else {
    const int64_t chunk = std::max<int64_t>(1, request->chunk_size);
    int64_t last = reader.Read(buffer, std::min(chunk, capacity));
    total = last;
    while (stream->Alive() && last > 0 && total < capacity) {
      int64_t ask = std::min(chunk, capacity - total);
      if (ask < 1) break;
      last = reader.Read(buffer + total, ask);
      total += last;
    }
  }

  // A full buffer says nothing about whether the response ended there: look
  // one byte further so a longer response is not passed off as complete.
  if (!reader.failed() && !beyond_capacity && total == capacity) {
    char probe = 0;
    if (reader.Read(&probe, 1) > 0) beyond_capacity = true;
  }

  if (reader.failed()) {
    const TransferFailure& failure = stream->failure();
    if (request->status_code == 0 || request->status_code == 200) {
      request->status_code = failure.code != 0 ? failure.code : 410;
    }
    return Fail(request, ReadFailureText(failure.reason.empty() ? std::string(kStreamClosedReason)
                                                                : failure.reason));
  }
  if (beyond_capacity && !cut) return Fail(request, kOverflowText);
  if (total == 0) return Fail(request, kNoDataText);
  buffer[total] = '\0';
  request->bytes_received = static_cast<int32_t>(total);
  request->truncated = beyond_capacity ? 1 : 0;
  request->success = 1;
  return true;
}

}  // namespace quarry::web_internal
