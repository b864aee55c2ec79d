// Expansion of environment-variable references in stored texts.

#ifndef QUARRY_PLATFORM_ENV_EXPAND_H_
#define QUARRY_PLATFORM_ENV_EXPAND_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quarry::platform {

// Looks up one variable; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const std::string&)>;

// Replaces each reference in `text` by the variable's value, in one pass
// (substituted values are not expanded again):
//   $NAME    NAME = a letter or '_', then letters, digits and '_'
//   ${NAME}  the same names, braced
//   %NAME%   any non-empty run of characters other than '%' (the Windows
//            form, which stored values written on that side use)
// A reference to a variable that is not set stays as written, and so does
// a '$' or '%' that starts no reference, so nothing is silently lost. After
// a %NAME% of an unset variable the scan resumes at its closing '%', which
// may open the next reference ("50% of %HOME%" expands HOME).
std::string ExpandEnvironmentReferences(std::string_view text,
                                        const EnvLookup& lookup);

// The same, looking variables up in this process's environment.
std::string ExpandEnvironmentReferences(std::string_view text);

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_ENV_EXPAND_H_
