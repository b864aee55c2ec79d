// What Quarry's command line asks for.
//
//   Quarry [ADDRESS]        start, and open ADDRESS in the Web Browser view
//   Quarry --parse ADDRESS  the same, and press Parse once the page has loaded
//                           (or at once, when the browser cannot show it or
//                           is slow to: the parse reads the page itself)
//   Quarry --simulate-fault=read|divide|abort
//                           start, then raise that fault on purpose (to try
//                           the fault report)
//   Quarry --fault-report FILE
//                           show the fault report FILE (a crashed Quarry
//                           starts this itself) and exit
//   Quarry --paths          print where the help pages, control modules and
//                           companion programs are found, and exit (status 1
//                           when any is missing)
//   Quarry --help | -h      print the usage and exit
//   Quarry --version | -v   print the version and exit
//
// The program keeps no document files, so every start creates a new empty
// document; an address is not a file to open but a page for the browser.

#ifndef QUARRY_APP_COMMAND_LINE_H_
#define QUARRY_APP_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace quarry {

// The shell commands of the application framework, by number. Quarry only
// ever runs kFileNew; the numbers show in the start-up stage text.
enum ShellCommand : int {
  kShellFileNew = 0,
  kShellFileOpen = 1,
  kShellFilePrint = 2,
  kShellFilePrintTo = 3,
  kShellFileDde = 4,
  kShellAppRegister = 5,
  kShellAppUnregister = 6,
  kShellFileNothing = 7,
};

// The parsed command line. `error` is a one-line reason when the arguments
// make no sense; the other fields are then unspecified.
struct CommandLineInfo {
  int shell_command = kShellFileNew;
  std::string address;  // the page to open at start, or empty
  bool parse = false;   // parse `address` once it has loaded
  bool show_help = false;
  bool show_version = false;
  bool show_paths = false;
  std::string simulate_fault;  // "read", "divide" or "abort"; empty: none
  std::string fault_report;    // the record or report to show; empty: none
  std::string error;
};

// Parses the arguments that follow the program name. "--" ends the options,
// so an address that starts with "-" can still be given. The address is
// taken through AddressFromArgument() against the current folder.
CommandLineInfo ParseCommandLine(const std::vector<std::string>& args);

// The address an argument names. One with a scheme ("https://...",
// "file:///...") stays as it is; the path of an existing file, absolute or
// relative to `folder`, becomes its file:// address, so that a page given
// as "Quarry prices.html" (or by a file manager's "Open With") is shown and
// parsed like any other address; anything else (a host name such as
// "www.example.org") stays for the browser to complete.
std::string AddressFromArgument(const std::string& arg, const std::string& folder);

// The usage text printed by --help and after an argument error.
std::string CommandLineUsage();

}  // namespace quarry

#endif  // QUARRY_APP_COMMAND_LINE_H_
