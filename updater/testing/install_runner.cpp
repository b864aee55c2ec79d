// Runs one installation of an update made by UpdateFixture, and kills
// itself (SIGKILL, as a crash or a power cut would end it) right after the
// point named on the command line. Prints every point it reaches.
//
//   install_runner ROOT POINT     ("-" runs to the end)
//
// The store is ROOT/store.db; the public key comes from the environment.

#include <signal.h>

#include <cstdio>
#include <string>

#include "platform/settings_store.h"
#include "updater/process_control.h"
#include "updater/update_installer.h"
#include "updater/update_manifest.h"
#include "updater/update_signature.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: install_runner ROOT POINT\n");
    return 2;
  }
  const std::string root = argv[1];
  const std::string kill_at = argv[2];
  quarry::platform::SettingsStore store(root + "/store.db");
  quarry::SystemProcessControl processes;
  quarry::InstallOptions options;
  options.folders = quarry::FoldersOf(root + "/common/Kestrane");
  options.store = &store;
  options.public_key = quarry::TrustedPublicKey();
  options.processes = &processes;
  options.consent = true;
  options.timings.after_close = std::chrono::milliseconds(1);
  options.timings.after_restart = std::chrono::milliseconds(1);
  options.observer = [&kill_at](const std::string& point) {
    std::printf("%s\n", point.c_str());
    std::fflush(stdout);
    if (point == kill_at) ::raise(SIGKILL);
  };
  const auto manifest =
      quarry::LoadManifest(options.folders.download + quarry::kManifestFileName);
  if (!manifest) return 3;
  const quarry::InstallOutcome outcome = quarry::InstallUpdate(*manifest, options);
  if (outcome.status != quarry::InstallOutcome::Status::kInstalled) {
    std::fprintf(stderr, "install_runner: %s\n", outcome.failure.c_str());
    return 1;
  }
  return 0;
}
