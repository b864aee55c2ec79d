// qry's side of `--render`: the page is loaded by quarry-render, a headless
// browser in a program of its own (qry itself has no browser and no Qt),
// and qry reads the document it prints.
//
// The helper is the path in QRY_RENDER_HELPER (for tests and unusual
// installs), else "quarry-render" in the installation's helpers folder (an
// installed qry in PREFIX/bin finds PREFIX/libexec/quarry; a qry of the build
// tree the one built beside it; platform/install_layout.h).

#ifndef QUARRY_TOOLS_QRY_RENDER_CLIENT_H_
#define QUARRY_TOOLS_QRY_RENDER_CLIENT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tools/qry/options.h"

namespace quarry::qry {

// The environment variable that names the helper.
inline constexpr char kRenderHelperVariable[] = "QRY_RENDER_HELPER";
inline constexpr char kRenderHelperName[] = "quarry-render";

struct RenderRequest {
  std::string source;  // a web address, or a file named by the user
  int time_limit_seconds = kDefaultRenderSeconds;
  // nullopt: the stored proxy settings apply, as for a download.
  std::optional<std::string> proxy;
  std::string user_name;  // with `password`: credentials for the server
  std::string password;
  std::size_t limit = 0;  // the most bytes of the document read
};

struct RenderedPage {
  bool ok = false;
  bool settled = false;    // with ok: the page stopped changing in time
  bool truncated = false;  // with ok: the document was cut at `limit`
  std::string html;        // with ok: the document, UTF-8
  std::string reason;      // without ok: one line, why not
};

// The helper's path, or "" when none was found; `looked_in` (may be null)
// receives the places tried.
std::string FindRenderHelper(std::vector<std::string>* looked_in);

// Loads `request.source` through the helper and reads its document. A
// local file, or a file:// address, is read as the user named it; other
// addresses keep to the download's rules (offline switch, network). The
// wait is bounded: the time limit plus a margin for the helper's start and
// hand-over, after which the helper is killed. Never throws.
RenderedPage RenderPage(const RenderRequest& request);

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_RENDER_CLIENT_H_
