// Installing a downloaded update: closing the maker's running programs,
// backing up the old files, replacing them, re-registering modules,
// restoring everything when a step fails, and starting again what was
// closed. What the updater does when its manifest "Ksp.inf" says that an
// update is waiting.
//
//   1. The records come from the manifest; without records nothing happens.
//   2. The program list is every program record, to be replaced or not; the
//      file list every other record that was downloaded and needs updating.
//      Before anything is touched, the version list saved with the download
//      ("Ksp.ver") must carry a valid signature, and every file to install
//      must match the digest the list gives for it.
//   3. Each program is backed up when it is to be replaced; one that runs is
//      closed (the user is asked unless they agreed already; up to ten
//      attempts, SIGTERM then SIGKILL, half a second apart) and remembered
//      for a restart, and backed up again once it has ended.
//   4. An installation declined there changes nothing: the closed programs
//      are started again and the update stays waiting.
//   5. Every file of the file list is backed up; the journal
//      (install_journal.h) is written.
//   6. Old programs are deleted, old modules unregistered and deleted, new
//      programs and files copied in place (whole or not at all, with the
//      old file's permission bits), new modules registered.
//   7. Success: the download folder goes, and each replaced file's version
//      is written beside its registration.
//   8. Failure: every backup is put back (modules registered again), and
//      the user is asked "Update failed. ..." whether to delete the update.
//   9. The closed programs are started again, the backup folder goes.
// Each step stops at its first failure, which names the file by its display
// name. The installation takes a lock in the working folder, so that two
// updaters never install at once.
//
// Plain C++. Runs on one thread, which blocks in the pauses above and in
// the questions; a window runs it on a worker.

#ifndef QUARRY_UPDATER_UPDATE_INSTALLER_H_
#define QUARRY_UPDATER_UPDATE_INSTALLER_H_

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "updater/install_journal.h"
#include "updater/update_file_record.h"

namespace quarry {

namespace platform {
class SettingsStore;
}
class ModuleRegistrar;
class ProcessControl;

// The verified version list, saved beside the manifest by a download run.
inline constexpr char kSignedListFileName[] = "Ksp.ver";
// The lock file in the working folder.
inline constexpr char kInstallLockFileName[] = ".KspInstall.lock";

struct InstallFolders {
  std::string working;   // the shared components folder, ending with "/"
  std::string download;  // holds the manifest and the new files, with "/"
  std::string backup;    // made for one installation, with "/"
};

// The folders of a working folder: "Update/" and "Temp/" inside it.
InstallFolders FoldersOf(const std::string& working_folder);

// The questions of an installation, on the installation's thread; each
// blocks until answered.
class InstallUi {
 public:
  virtual ~InstallUi() = default;
  virtual bool AskYesNo(const std::string& question) = 0;
};

// The pauses between attempts (shortened by tests).
struct InstallTimings {
  std::chrono::milliseconds terminate_retry{500};
  std::chrono::milliseconds after_close{1000};
  std::chrono::milliseconds backup_retry{500};
  std::chrono::milliseconds after_unregister{100};
  std::chrono::milliseconds restart_wait{10000};
  std::chrono::milliseconds after_restart{1000};
  std::chrono::milliseconds delete_retry{500};
};

struct InstallOptions {
  InstallFolders folders;
  platform::SettingsStore* store = nullptr;  // versions are written here
  std::string public_key;                    // the publisher's (raw bytes)
  ProcessControl* processes = nullptr;       // required
  ModuleRegistrar* registrar = nullptr;      // null: registration skipped
  InstallUi* ui = nullptr;                   // null: every answer is No
  // The user agreed to close and restart programs without being asked.
  bool consent = false;
  InstallTimings timings;
  // Called after each step and each file changed, with a short name of
  // the point reached ("3", "6c Quarry", "7"...). Tests stop there.
  std::function<void(const std::string& point)> observer;
};

struct InstallOutcome {
  enum class Status {
    kNothingToDo,  // no record to install
    kBusy,         // another updater holds the lock
    kLeftWaiting,  // declined before anything changed; the update waits
    kInstalled,
    kFailed,       // restored; `failure` says why
  };
  Status status = Status::kNothingToDo;
  std::string failure;
  bool update_deleted = false;         // the user let the failed update go
  std::vector<std::string> restarted;  // programs started again
  std::vector<std::string> notes;      // what was skipped, for a log
};

InstallOutcome InstallUpdate(const std::vector<UpdateFileRecord>& manifest,
                             const InstallOptions& options);

// The right an installation needs (where the classic updater asked for an
// administrator): write access to the folder of every file that needs an
// update, and to the working folder that holds the download and backup
// folders. The first folder that lacks it; empty when none does.
std::string FolderWithoutWriteAccess(const std::vector<UpdateFileRecord>& records,
                                     const std::string& working_folder);

struct RecoveryOutcome {
  enum class Status { kNothing, kBusy, kCompleted, kRolledBack };
  Status status = Status::kNothing;
  std::vector<std::string> notes;
};

// Finishes or undoes an installation that was killed, from its journal
// (see install_journal.h), and removes what a killed installation left in
// the backup folder. Asks nothing and starts no program. Safe to call at
// every start.
RecoveryOutcome RecoverInterruptedInstallation(const InstallOptions& options);

}  // namespace quarry

#endif  // QUARRY_UPDATER_UPDATE_INSTALLER_H_
