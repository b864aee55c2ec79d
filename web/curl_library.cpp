#include "web/curl_library.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>
#include <string>

namespace quarry::web_internal {

namespace {

// The functions the retrieval library calls, one pointer each.
#define QUARRY_CURL_FUNCTIONS(X)                                                           \
  X(curl_global_init)                                                                      \
  X(curl_easy_init) X(curl_easy_setopt) X(curl_easy_perform) X(curl_easy_getinfo)          \
  X(curl_easy_cleanup)                                                                     \
  X(curl_url) X(curl_url_set) X(curl_url_get) X(curl_url_cleanup) X(curl_url_strerror)     \
  X(curl_free) X(curl_slist_append) X(curl_slist_free_all)                                 \
  X(curl_multi_init) X(curl_multi_add_handle) X(curl_multi_remove_handle)                  \
  X(curl_multi_perform) X(curl_multi_poll) X(curl_multi_info_read) X(curl_multi_cleanup)

struct Library {
#define QUARRY_CURL_POINTER(name) decltype(&::name) name = nullptr;
  QUARRY_CURL_FUNCTIONS(QUARRY_CURL_POINTER)
#undef QUARRY_CURL_POINTER
  std::string failure;  // "" once every function was found
};

// The library's major version is part of its ABI: the headers this file
// was built with describe "libcurl.so.4".
Library Load() {
  Library library;
  void* handle = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    library.failure = std::string("libcurl could not be loaded: ") + (why != nullptr ? why : "");
    return library;
  }
  // All or none: a library that lacks one of them is not used at all.
  Library found;
  bool complete = true;
  std::string missing;
#define QUARRY_CURL_LOOKUP(name)                                                 \
  found.name = reinterpret_cast<decltype(found.name)>(::dlsym(handle, #name));   \
  if (found.name == nullptr && complete) {                                       \
    complete = false;                                                            \
    missing = #name;                                                             \
  }
  QUARRY_CURL_FUNCTIONS(QUARRY_CURL_LOOKUP)
#undef QUARRY_CURL_LOOKUP
  if (!complete) {
    library.failure = "libcurl could not be loaded: libcurl.so.4 has no " + missing;
    return library;  // the handle stays open: closing it buys nothing
  }
  return found;
}

// Never destroyed: a transfer that ends during the process's exit still
// finds it.
const Library& Curl() {
  static const Library* const library = new Library(Load());
  return *library;
}

}  // namespace

const std::string& CurlLoadFailure() { return Curl().failure; }

}  // namespace quarry::web_internal

// The libcurl functions, forwarding to the loaded library (see the header).
using quarry::web_internal::Curl;

extern "C" {

CURLcode curl_global_init(long flags) {
  const auto f = Curl().curl_global_init;
  return f != nullptr ? f(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init(void) {
  const auto f = Curl().curl_easy_init;
  return f != nullptr ? f() : nullptr;
}

// The two variadic entry points keep libcurl's own prototypes, which put
// an enum before the "..."; clang warns that an enum is promoted there, but
// these enums are int-sized and passed as int on every ABI we build for.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif

// Every option takes exactly one argument, whose type the option's number
// range says; each is passed on as the type libcurl reads it as.
CURLcode curl_easy_setopt(CURL* curl, CURLoption option, ...) {
  const auto f = Curl().curl_easy_setopt;
  if (f == nullptr) return CURLE_FAILED_INIT;
  va_list args;
  va_start(args, option);
  CURLcode result;
  if (option < CURLOPTTYPE_OBJECTPOINT) {
    result = f(curl, option, va_arg(args, long));
  } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
    result = f(curl, option, va_arg(args, void*));
  } else if (option < CURLOPTTYPE_OFF_T) {
    using Function = void (*)(void);
    result = f(curl, option, va_arg(args, Function));
  } else if (option < CURLOPTTYPE_BLOB) {
    result = f(curl, option, va_arg(args, curl_off_t));
  } else {
    result = f(curl, option, va_arg(args, void*));
  }
  va_end(args);
  return result;
}

CURLcode curl_easy_perform(CURL* curl) {
  const auto f = Curl().curl_easy_perform;
  return f != nullptr ? f(curl) : CURLE_FAILED_INIT;
}

// Every item is read through one pointer.
CURLcode curl_easy_getinfo(CURL* curl, CURLINFO info, ...) {
  const auto f = Curl().curl_easy_getinfo;
  if (f == nullptr) return CURLE_FAILED_INIT;
  va_list args;
  va_start(args, info);
  void* const into = va_arg(args, void*);
  va_end(args);
  return f(curl, info, into);
}

#if defined(__clang__)
#pragma clang diagnostic pop
#endif

void curl_easy_cleanup(CURL* curl) {
  if (const auto f = Curl().curl_easy_cleanup) f(curl);
}

CURLU* curl_url(void) {
  const auto f = Curl().curl_url;
  return f != nullptr ? f() : nullptr;
}

CURLUcode curl_url_set(CURLU* handle, CURLUPart what, const char* part, unsigned int flags) {
  const auto f = Curl().curl_url_set;
  return f != nullptr ? f(handle, what, part, flags) : CURLUE_OUT_OF_MEMORY;
}

CURLUcode curl_url_get(CURLU* handle, CURLUPart what, char** part, unsigned int flags) {
  const auto f = Curl().curl_url_get;
  if (f != nullptr) return f(handle, what, part, flags);
  if (part != nullptr) *part = nullptr;
  return CURLUE_OUT_OF_MEMORY;
}

void curl_url_cleanup(CURLU* handle) {
  if (const auto f = Curl().curl_url_cleanup) f(handle);
}

const char* curl_url_strerror(CURLUcode code) {
  const auto f = Curl().curl_url_strerror;
  return f != nullptr ? f(code) : Curl().failure.c_str();
}

void curl_free(void* p) {
  // Only libcurl hands out what curl_free takes.
  if (const auto f = Curl().curl_free) f(p);
}

curl_slist* curl_slist_append(curl_slist* list, const char* data) {
  const auto f = Curl().curl_slist_append;
  return f != nullptr ? f(list, data) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
  if (const auto f = Curl().curl_slist_free_all) f(list);
}

CURLM* curl_multi_init(void) {
  const auto f = Curl().curl_multi_init;
  return f != nullptr ? f() : nullptr;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* curl) {
  const auto f = Curl().curl_multi_add_handle;
  return f != nullptr ? f(multi, curl) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* curl) {
  const auto f = Curl().curl_multi_remove_handle;
  return f != nullptr ? f(multi, curl) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
  const auto f = Curl().curl_multi_perform;
  return f != nullptr ? f(multi, running) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra_fds[], unsigned int extra_nfds,
                          int timeout_ms, int* ret) {
  const auto f = Curl().curl_multi_poll;
  return f != nullptr ? f(multi, extra_fds, extra_nfds, timeout_ms, ret) : CURLM_INTERNAL_ERROR;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* msgs_in_queue) {
  const auto f = Curl().curl_multi_info_read;
  if (f != nullptr) return f(multi, msgs_in_queue);
  if (msgs_in_queue != nullptr) *msgs_in_queue = 0;
  return nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
  const auto f = Curl().curl_multi_cleanup;
  return f != nullptr ? f(multi) : CURLM_INTERNAL_ERROR;
}

}  // extern "C"
