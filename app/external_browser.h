// The user's default web browser, for opening addresses outside the
// program. Web addresses ("http..." in any case) go straight to the default
// browser program, found once per run from the desktop's settings
// ("xdg-settings get default-web-browser" and that entry's Exec line);
// without one, and for any other address, the desktop's opener
// ("xdg-open") decides. LinkOpener (link_opener.h) runs the command this
// gives and reports the outcome.

#ifndef QUARRY_APP_EXTERNAL_BROWSER_H_
#define QUARRY_APP_EXTERNAL_BROWSER_H_

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

// The Exec value of the [Desktop Entry] group of a desktop-entry file's
// text; nullopt when it has none.
std::optional<std::string> DesktopEntryExec(std::string_view text);

// The command an Exec value runs for `address`: the value split into
// arguments (double quotes and backslash escapes honoured), the first
// file or URL field code (%u %U %f %F) replaced by the address, other
// field codes dropped, "%%" made "%". The address is appended when no
// field code asks for it. Empty when the value is empty or unbalanced.
std::vector<std::string> ExecCommand(std::string_view exec, const std::string& address);

// The desktop-entry file named `id` ("firefox.desktop") in the
// applications folders of $XDG_DATA_HOME and $XDG_DATA_DIRS (in that
// order, with the usual defaults); nullopt when none exists.
std::optional<std::filesystem::path> FindDesktopEntry(const std::string& id);

// The desktop entry id ("firefox.desktop") that the desktop calls its
// default web browser, from "xdg-settings get default-web-browser"; empty
// when it cannot say within a few seconds. Blocks.
std::string DefaultBrowserEntry();

// The commands that open addresses outside the program. Thread-safe: the
// default browser is looked up once, under a lock, by the first web
// address asked about.
class ExternalBrowser {
 public:
  // `default_entry` names the default browser's desktop entry (tests give
  // their own); it is called at most once.
  explicit ExternalBrowser(std::function<std::string()> default_entry = DefaultBrowserEntry)
      : default_entry_(std::move(default_entry)) {}
  ExternalBrowser(const ExternalBrowser&) = delete;
  ExternalBrowser& operator=(const ExternalBrowser&) = delete;

  // The one the program uses; never destroyed.
  static ExternalBrowser& Shared();

  // The command that opens `address`: the default browser's for web
  // addresses when there is one, else the desktop's opener. May block
  // for the lookup the first time: call it off the user-interface thread.
  std::vector<std::string> CommandFor(const std::string& address);

 private:
  std::function<std::string()> default_entry_;
  std::mutex lookup_mu_;
  bool looked_up_ = false;      // guarded by lookup_mu_
  std::string browser_exec_;    // guarded by lookup_mu_; empty: use the opener
};

}  // namespace quarry

#endif  // QUARRY_APP_EXTERNAL_BROWSER_H_
