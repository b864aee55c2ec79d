#include "web/retrieval_error.h"
#include "platform/ascii_text.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <system_error>
#include <utility>

namespace quarry {

namespace {

struct CodeText {
  uint32_t code;
  const char* text;
};

constexpr CodeText kHttpTexts[] = {
    {100, "The request can be continued"},
    {101, "The server has switched protocols in an upgrade header"},
    {200, "The request completed successfully"},
    {201, "The request has been fulfilled and\nresulted in the creation of a new resource"},
    {202, "The request has been accepted for\nprocessing, but the processing has\nnot been completed"},
    {203, "The returned meta information in the\nentity-header is not the definitive set\navailable from the origin server"},
    {204, "The server has fulfilled the request,\nbut there is no new information to send back"},
    {205, "The request has been completed, and the\nclient program should reset the document\nview that caused the request to be sent to\nallow the user to easily initiate another input action"},
    {206, "The server has fulfilled the partial GET\nrequest for the resource"},
    {300, "The server couldn't decide what to return"},
    {301, "The requested resource has been assigned to a\nnew permanent URI (Uniform Resource Identifier),\nand any future references to this resource should\nbe done using one of the returned URIs"},
    {302, "The requested resource resides temporarily\nunder a different URI (Uniform Resource Identifier)"},
    {303, "The response to the request can be found under\na different URI (Uniform Resource Identifier)\nand should be retrieved using a GET case HTTP\nverb on that resource"},
    {304, "The requested resource has not been modified"},
    {305, "The requested resource must be accessed\nthrough the proxy given by the location field"},
    {307, "The redirected request keeps the same case\nHTTP verb case HTTP/11 behavior"},
    {400, "The request could not be processed by the server\ndue to invalid syntax"},
    {401, "The requested resource requires user authentication"},
    {402, "Not currently implemented in the case HTTP protocol"},
    {403, "The server understood the request, but is\nrefusing to fulfill it"},
    {404, "The server has not found anything matching\nthe requested URI (Uniform Resource Identifier)"},
    {405, "The case HTTP verb used is not allowed"},
    {406, "No responses acceptable to the client were found"},
    {407, "Proxy authentication required"},
    {408, "The server timed out waiting for the request"},
    {409, "The request could not be completed due\nto a conflict with the current state of\nthe resource The user should resubmit\nwith more information"},
    {410, "The requested resource is no longer\navailable at the server, and no\nforwarding address is known"},
    {411, "The server refuses to accept the request\nwithout a defined content length"},
    {412, "The precondition given in one or more of the\nrequest header fields evaluated to FALSE when\nit was tested on the server"},
    {413, "The server is refusing to process a request\nbecause the request entity is larger than\nthe server is willing or able to process"},
    {414, "The server is refusing to service the request\nbecause the request URI (Uniform Resource Identifier)\nis longer than the server is willing to interpret"},
    {415, "The server is refusing to service the request\nbecause the entity of the request is in a format\nnot supported by the requested resource for the\nrequested method"},
    {449, "The request should be retried after doing\nthe appropriate action"},
    {500, "The server encountered an unexpected condition\nthat prevented it from fulfilling the request"},
    {501, "The server does not support the functionality\nrequired to fulfill the request"},
    {502, "The server, while acting as a gateway or proxy,\nreceived an invalid response from the upstream server\nit accessed in attempting to fulfill the request"},
    {503, "The service is temporarily overloaded"},
    {504, "The request was timed out waiting for a gateway"},
    {505, "The server does not support, or refuses to support,\nthe HTTP protocol version that was used in the request message"},
};

constexpr CodeText kSocketTexts[] = {
    {1, "Incorrect function"},
    {10014, "The nSockAddrLen argument is incorrect"},
    {10022, "Invalid host address"},
    {10024, "No more file descriptors are available"},
    {10035, "The socket is marked as nonblocking and the\nconnection cannot be completed immediately"},
    {10036, "A blocking Windows Sockets operation is in progress"},
    {10038, "The descriptor is not a socket"},
    {10039, "A destination address is required"},
    {10041, "The specified port is the wrong type for this socket"},
    {10043, "The specified port is not supported"},
    {10044, "The specified socket type is not supported in this address family"},
    {10045, "The referenced socket is not of a type that\nsupports the Listen operation"},
    {10047, "The specified address family is not supported"},
    {10048, "An attempt has been made to listen on an address in use"},
    {10050, "The Windows Sockets implementation detected that\nthe network subsystem failed"},
    {10051, "The network cannot be reached from this host at this time"},
    {10054, "An existing connection was forcibly closed by the remote Host"},
    {10055, "No buffer space is available"},
    {10056, "The socket is already connected"},
    {10060, "Attempt to connect timed out without establishing a connection"},
    {10061, "The attempt to connect was rejected"},
    {10093, "A successful AfxSocketInit must occur before using this API"},
    {11004, "The requested name is valid, but no data of the\nrequested type was found"},
};

constexpr CodeText kInternetTexts[] = {
    {12002, "The request has timed out."},
    {12011, "The request option cannot be set, only queried"},
    {12018, "The type of handle supplied is incorrect for this operation"},
};

constexpr CodeText kArchiveTexts[] = {
    {0, "No error occurred"},
    {1, "Unspecified error"},
    {2, "Tried to write into an archive opened for loading"},
    {3, "Reached end of file while reading an object"},
    {4, "Tried to read from an archive opened for storing"},
    {5, "Invalid file format"},
    {6, "Tried to read an object into an object of the wrong type"},
    {7, "Tried to read an object with a different version of the class"},
};

constexpr CodeText kFileTexts[] = {
    {0, "No error occurred"},
    {1, "An unspecified error occurred"},
    {2, "The file could not be located"},
    {3, "All or part of the path is invalid"},
    {4, "The permitted number of open files was exceeded"},
    {5, "The file could not be accessed"},
    {6, "There was an attempt to use an invalid file handle"},
    {7, "The current working directory cannot be removed"},
    {8, "There are no more directory entries"},
    {9, "There was an error trying to set the file pointer"},
    {10, "There was a hardware error"},
    {11, "SHARE.EXE was not loaded, or a shared region was locked"},
    {12, "There was an attempt to lock a region that was already locked"},
    {13, "The disk is full"},
    {14, "The end of file was reached"},
};

// What the system says about the internet error numbers this library maps
// transport failures onto.
constexpr CodeText kInternetSystemTexts[] = {
    {12001, "No more handles could be generated at this time"},
    {12002, "The operation timed out"},
    {12003, "The server refused the request"},
    {12004, "An internal error occurred"},
    {12005, "The address is invalid"},
    {12006, "The address scheme could not be recognized or is not supported"},
    {12007, "The server name or address could not be resolved"},
    {12013, "The user name was not accepted by the server"},
    {12014, "The password was not accepted by the server"},
    {12015, "The request to log on to the server failed"},
    {12017, "The operation was cancelled"},
    {12029, "A connection with the server could not be established"},
    {12030, "The connection with the server was terminated abnormally"},
    {12031, "The connection with the server was reset"},
    {12037, "The server's security certificate has expired or is not yet valid"},
    {12038, "The server's security certificate was issued for another name"},
    {12044, "The server asks for a client certificate"},
    {12045, "The server's security certificate is not trusted: its authority is unknown or invalid"},
    {12057, "The revocation of the server's security certificate could not be checked"},
    {12152, "The server returned an invalid or unrecognized response"},
    {12156, "The redirection failed because either the scheme changed or all attempts made to redirect failed"},
    {12157, "A secure connection with the server could not be established"},
};

thread_local std::string t_last_response;

const char* Find(std::span<const CodeText> table, uint32_t code) {
  auto it = std::find_if(table.begin(), table.end(),
                         [code](const CodeText& e) { return e.code == code; });
  return it == table.end() ? nullptr : it->text;
}

std::string Trim(std::string_view text) { return std::string(Trimmed(text)); }

std::string FromTableOrSystem(std::span<const CodeText> table, uint32_t code,
                              const char* fallback) {
  if (const char* text = Find(table, code)) return text;
  std::string system = SystemErrorText(code);
  return system.empty() ? fallback : system;
}

}  // namespace

std::string SystemErrorText(uint32_t code) {
  if (const char* text = Find(kInternetSystemTexts, code)) return text;
  if (code == 0 || code > 4095) return {};
  std::string text = Trim(std::system_category().message(static_cast<int>(code)));
  // The C library answers every number; "Unknown error N" means it has no text.
  if (text.rfind("Unknown error", 0) == 0) return {};
  return text;
}

std::string LastResponseInfo() { return t_last_response; }

void SetLastResponseInfo(std::string text) { t_last_response = Trim(text); }

std::string DescribeRetrievalError(int kind, uint32_t code) {
  switch (kind) {
    case kErrorKindHttp:
      return FromTableOrSystem(kHttpTexts, code, "An unspecified HTTP error occurred");
    case kErrorKindSocket:
      return FromTableOrSystem(kSocketTexts, code, "An unspecified connection error occurred");
    case kErrorKindInternet:
      if (code == kErrorInternetExtendedError && !t_last_response.empty()) {
        return t_last_response;
      }
      return FromTableOrSystem(kInternetTexts, code, "An unspecified internet error occurred");
    case kErrorKindArchive:
      return FromTableOrSystem(kArchiveTexts, code,
                               "An unspecified archive exception error occurred");
    case kErrorKindFile:
      return FromTableOrSystem(kFileTexts, code, "An unspecified file exception error occurred");
    default:
      return FromTableOrSystem({}, code, "An unspecified error occurred");
  }
}

}  // namespace quarry
