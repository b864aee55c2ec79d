#include "web/retrieval_request.h"

#include <cstdlib>
#include <cstring>

namespace quarry {

WebRetrievalRequest::WebRetrievalRequest()
    : progress_cookie(reinterpret_cast<uintptr_t>(this)) {}

WebRetrievalRequest::~WebRetrievalRequest() {
  if (owns_buffer) std::free(buffer);
}

bool AllocateBuffer(WebRetrievalRequest* request, int32_t size) {
  if (request == nullptr) return false;
  if (request->owns_buffer && request->buffer != nullptr && size >= 0 &&
      request->capacity >= size) {
    request->bytes_received = 0;
    request->status_code = 0;
    std::memset(request->buffer, 0, static_cast<size_t>(request->capacity));
    request->capacity = size;
    return true;
  }
  if (request->owns_buffer) std::free(request->buffer);
  request->buffer = nullptr;
  request->capacity = 0;
  request->owns_buffer = 0;
  request->bytes_received = 0;
  request->status_code = 0;
  if (size < 0) return false;
  // calloc leaves large zeroed blocks to the kernel's zero pages, so a
  // generous page buffer costs memory only as far as the page fills it.
  char* block = static_cast<char*>(std::calloc(static_cast<size_t>(size) + 1, 1));
  if (block == nullptr) return false;
  request->buffer = block;
  request->capacity = size;
  request->owns_buffer = 1;
  return true;
}

bool ClearBuffer(WebRetrievalRequest* request) {
  if (request == nullptr || request->buffer == nullptr) return false;
  request->status_code = 0;
  if (request->capacity > 0) {
    std::memset(request->buffer, 0, static_cast<size_t>(request->capacity));
  }
  return true;
}

}  // namespace quarry
