// Making untrusted text safe to print on a terminal.

#ifndef QUARRY_TOOLS_QRY_PRINTABLE_H_
#define QUARRY_TOOLS_QRY_PRINTABLE_H_

#include <string>
#include <string_view>

namespace quarry::qry {

// `text` with every control byte (below 0x20, and 0x7F) written as \xNN, so
// that a page or a server cannot send escape sequences to the terminal.
// Other bytes pass unchanged.
std::string Printable(std::string_view text);

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_PRINTABLE_H_
