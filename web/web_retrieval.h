// Web data retrieval: HTTP, HTTPS and FTP documents, and local files named by
// file:// addresses, fetched into a request's memory buffer or into a file.
//
// Usage:
//   quarry::CWebDataRetrievalImp fresh;   // reloads the offline switch
//   quarry::WebRetrievalRequest request;
//   request.url = "https://example.org/page.html";
//   quarry::AllocateBuffer(&request, 250000);
//   if (quarry::RetrieveData(&request)) {
//     use(request.buffer, request.bytes_received);
//   } else {
//     show(request.error_text);
//   }
//
// Every operation blocks the calling thread, reloads the offline switch,
// and fails at once without touching the network when the switch is on or
// the address is empty (local files are read even while offline). Each
// operation opens its own connection and closes it before it returns;
// redirects are followed. Failures never throw: they leave success = 0,
// status_code (an HTTP status, or an error number that
// DescribeRetrievalError explains) and a ready-to-show error_text such as
//   "Failed to Retrieve Online Data Caused By:\n<reason>\n"
//   "Check Internet Connections and Try Again\nError Code: <code>"
// A server answering 401 (or a proxy answering 407) gets exactly one more
// request: with "Authorization: Basic ..." (or "Proxy-Authorization: Basic
// ...") built from user_name and password when both are set, else with
// what the installed RetrievalUi asks the user for, else unchanged.
//
// The operations may run on several threads at once, each with its own
// request.

#ifndef QUARRY_WEB_WEB_RETRIEVAL_H_
#define QUARRY_WEB_WEB_RETRIEVAL_H_

#include <cstdint>
#include <string>

#include "web/offline_state.h"
#include "web/retrieval_error.h"
#include "web/retrieval_request.h"

namespace quarry {

// Fetches the request's address into its buffer, which the caller set up
// (AllocateBuffer or a lent buffer). Protocols 0 and 1 take http://,
// https:// and file:// addresses; protocol 2 takes ftp:// (see below).
// Returns true with the data in buffer[0 .. bytes_received) and a zero byte
// after it. A response longer than the capacity fails with error_text
// "Buffer overflow\n" (unless cut_at_capacity, which keeps the first
// capacity bytes and sets truncated); an empty one fails with
// "No data read\n"; a connection lost mid-body fails with the reason (no
// partial data is passed off as complete). With a progress bar or callback
// and a known length the body is read in about ten steps reported to both.
// With last_modified = kAskLastModified the server's Last-Modified time is
// stored there (0 when it sent none or the request failed). Failures of the
// exchange are sent to the notify window as WM_RETRIEVAL_FAILED.
//
// FTP (protocol 2): port 80 becomes 21; the file must exist (checked before
// the download); passive mode. With output_file set the file is written
// there (whole or not at all) and the buffer is left untouched
// (bytes_received = 0); without it the buffer is reallocated to the file's
// length and filled.
bool RetrieveData(WebRetrievalRequest* request);

// Fetches the request's address and writes it to output_file, whole or not
// at all (see platform/atomic_file.h: a link is followed, the old file's
// permissions are kept, anything but a regular file is refused). The body
// is streamed to the file as it arrives, so a download of any size needs
// no more memory than one chunk; the buffer is left untouched
// (bytes_received = 0). Returns the number of bytes written, 0 on failure
// (the file is then unchanged). When the file cannot be written:
// error_text = "Error Writing to Data File.  Reason:\n" + reason, a message
// through the installed RetrievalUi when report_errors is 1, and
// WM_DATAFILE_WRITE_FAILED posted to the notify window. FTP addresses are
// downloaded straight to the file in the same way.
int64_t RetrieveToFile(WebRetrievalRequest* request);

// Asks the server for the length of the request's document (the GET is
// abandoned once the headers are in). Returns the Content-Length, or -1 when
// the server sent none, the request failed (error_text says why; the notify
// window hears of it when report_errors is 1), or the address is FTP. A
// file:// address gives the file's size.
int64_t QueryContentLength(WebRetrievalRequest* request);

// Fetches a page for parsing (FetchPage in page_fetch.h is the way the
// programs call it): the whole page up to MaxPageSize() bytes. The
// buffer gets that capacity (an owned buffer at least that large is reused,
// anything else replaced by AllocateBuffer); a longer page is cut there and
// succeeds with truncated = 1, so the caller can warn that later tables may
// be missing. FTP pages are cut in the same way. Otherwise as RetrieveData.
bool RetrievePage(WebRetrievalRequest* request);

// Asks the maker's address-list page (UpdateSiteAddress() +
// "/IPAddresses/FileIPs.aspx", then the older ".asp" page) which server to
// use: "<page>?ip=<address_list_index>" followed by the usage pairs made
// from the request's query values. The answer is a text "host[:port]/path"
// or a full http(s):// address, or a frame set whose first frame's source
// gives that text. Returns true with server_text (the host, or the full
// address), port (80 unless the text names one) and object_path (the path
// without leading separators); url is set to the answer's text. The buffer
// is reused when larger than 255 bytes, else 256 bytes are allocated.
bool LookupServerAddress(WebRetrievalRequest* request);

// Splits an address into server and object path: the leading scheme
// ("http://" or "https://" for protocols 0 and 1, "ftp://" for 2) is
// removed, the server is the text up to the first "/", the object what
// follows that "/" ("/" when there is none). Other protocols leave the
// address unchanged in both.
void SplitServerAndObject(int32_t protocol, const std::string& url, std::string* server,
                          std::string* object);

}  // namespace quarry

#endif  // QUARRY_WEB_WEB_RETRIEVAL_H_
