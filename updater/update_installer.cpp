#include "updater/update_installer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <thread>

#include "platform/ascii_text.h"
#include "platform/settings_store.h"
#include "updater/file_operations.h"
#include "updater/file_scan.h"
#include "updater/module_registration.h"
#include "updater/process_control.h"
#include "updater/update_signature.h"
#include "updater/update_texts.h"
#include "updater/version_list.h"

namespace quarry {

namespace fs = std::filesystem;

namespace {

constexpr int kTerminateAttempts = 10;
constexpr int kBackupAttempts = 5;
constexpr size_t kMaxSignedListBytes = 64 * 1024;

// The installation's lock: an advisory lock on a file in the working
// folder, released by the kernel when the holder ends however it ends.
class InstallLock {
 public:
  explicit InstallLock(const std::string& working_folder) {
    std::error_code ec;
    fs::create_directories(working_folder, ec);
    const std::string path = working_folder + kInstallLockFileName;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~InstallLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  InstallLock(const InstallLock&) = delete;
  InstallLock& operator=(const InstallLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::string ReadSmallFile(const std::string& path, size_t limit, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  *ok = false;
  if (!in) return text;
  text.resize(limit + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto got = static_cast<size_t>(in.gcount());
  if (got > limit) return {};
  text.resize(got);
  *ok = true;
  return text;
}

uint32_t VersionX100(double version) {
  return version <= 0.0 ? 0u : static_cast<uint32_t>(std::lround(version * 100.0));
}

// One record as the installation handles it.
struct Item {
  UpdateFileRecord record;
  FileKind kind = FileKind::kData;
  bool replace = false;
  std::string backup_name;
  std::string new_file;  // in the download folder
  std::string digest;
  double published_version = 0.0;
  mode_t mode = 0644;    // of the installed file
  bool backed_up = false;
  bool unregistered = false;
};

class Installation {
 public:
  Installation(const std::vector<UpdateFileRecord>& manifest, const InstallOptions& options)
      : options_(options), folders_(options.folders) {
    for (const UpdateFileRecord& record : manifest) {
      Item item;
      item.record = record;
      if (item.record.file_name.empty()) item.record.file_name = FileNameOf(record.path);
      item.kind = FileKindOf(record.path);
      item.replace = record.download_result == 1 && record.needs_update == 1;
      item.new_file = folders_.download + item.record.file_name;
      item.mode = FileMode(record.path).value_or(item.kind == FileKind::kProgram ? 0755 : 0644);
      items_.push_back(std::move(item));
    }
    // Backups are named by file name; a second file of the same name gets
    // its position in front.
    std::set<std::string> taken;
    for (size_t i = 0; i < items_.size(); ++i) {
      std::string name = items_[i].record.file_name;
      if (!taken.insert(name).second) {
        name = std::to_string(i) + "-" + name;
        taken.insert(name);
      }
      items_[i].backup_name = name;
    }
  }

  InstallOutcome Run() {
    // 2. The two lists.
    std::vector<Item*> programs, files;
    bool any = false;
    for (Item& item : items_) {
      any = any || item.replace;
      if (item.kind == FileKind::kProgram) {
        programs.push_back(&item);
      } else if (item.replace) {
        files.push_back(&item);
      }
    }
    if (!any) return outcome_;  // nothing to do

    std::string failure;
    if (!Verify(&failure)) return Fail(failure, /*changed=*/false);
    Reached("2");

    // 3. Programs: backed up, closed when running.
    std::error_code ec;
    RemoveFolderWithFiles(folders_.backup, std::chrono::milliseconds(0));
    fs::create_directories(folders_.backup, ec);
    bool declined = false;
    for (Item* program : programs) {
      if (!CloseAndBackUp(*program, &declined, &failure) || declined) break;
    }
    Reached("3");
    // 4. Nothing changed yet.
    if (declined) {
      RestartClosed();
      RemoveFolderWithFiles(folders_.backup, std::chrono::milliseconds(50));
      outcome_.status = InstallOutcome::Status::kLeftWaiting;
      return outcome_;
    }
    if (!failure.empty()) return Fail(failure, false);

    // 5. The other files' backups, then the journal.
    for (Item* file : files) {
      if (!BackUp(*file)) return Fail(FormatText(kFailureToCopyOldText, Name(*file)), false);
    }
    Reached("5");
    journal_.phase = InstallJournal::Phase::kReplacing;
    for (const Item& item : items_) {
      if (!item.replace) continue;
      journal_.entries.push_back({item.record.path, item.backup_name, item.digest, item.kind,
                                  item.mode, item.record.registration_key,
                                  VersionX100(item.published_version)});
    }
    if (!WriteJournal(&failure)) return Fail(failure, false);

    // 6a. Old programs go.
    for (Item* program : programs) {
      if (!program->replace) continue;
      if (!DeleteWithRetries(program->record.path, 3, options_.timings.delete_retry)) {
        return Fail(FormatText(kFailureToDeleteOldText, Name(*program)), true);
      }
      Reached("6a " + program->record.file_name);
    }
    // 6b. Old files go; modules are unregistered first.
    for (Item* file : files) {
      if (file->kind == FileKind::kLibrary) {
        Register(*file, /*unregister=*/true);
        file->unregistered = true;
        std::this_thread::sleep_for(options_.timings.after_unregister);
      }
      if (!DeleteWithRetries(file->record.path, 3, options_.timings.delete_retry)) {
        return Fail(FormatText(kFailureToDeleteOldText, Name(*file)), true);
      }
      Reached("6b " + file->record.file_name);
    }
    // 6c. New programs.
    for (Item* program : programs) {
      if (!program->replace) continue;
      if (!PutNew(*program)) return Fail(FormatText(kFailureToCopyNewText, Name(*program)), true);
      Reached("6c " + program->record.file_name);
    }
    // 6d. New files; modules are registered once in place.
    for (Item* file : files) {
      if (!PutNew(*file)) return Fail(FormatText(kFailureToCopyNewText, Name(*file)), true);
      if (file->kind == FileKind::kLibrary) {
        if (Register(*file, false).status == RegistrationResult::Status::kFailed) {
          return Fail(FormatText(kFailureToCopyNewText, Name(*file)), true);
        }
        file->unregistered = false;
      }
      Reached("6d " + file->record.file_name);
    }

    // 7. Success.
    journal_.phase = InstallJournal::Phase::kFinishing;
    WriteJournal(&failure);  // a kill from here on finishes either way
    FinishFromJournal(journal_, options_);
    Reached("7");
    outcome_.status = InstallOutcome::Status::kInstalled;
    Wrap();
    return outcome_;
  }

  // Finishing a replacement that is complete: the download folder goes,
  // the versions are written, the journal is deleted.
  static void FinishFromJournal(const InstallJournal& journal, const InstallOptions& options) {
    RemoveFolderWithFiles(options.folders.download);
    if (options.store != nullptr) {
      for (const JournalEntry& e : journal.entries) {
        if (e.registration_key.empty()) continue;
        options.store->SetDword(e.registration_key, VersionValueNameFor(e.path), e.version_x100);
      }
    }
    DeleteWithRetries(options.folders.backup + kJournalFileName);
  }

 private:
  const std::string& Name(const Item& item) const {
    return item.record.display_name.empty() ? item.record.file_name : item.record.display_name;
  }

  void Reached(const std::string& point) {
    if (options_.observer) options_.observer(point);
  }

  bool Ask(const std::string& question) {
    return options_.ui != nullptr && options_.ui->AskYesNo(question);
  }

  // The signed list saved with the download, and each new file against it.
  bool Verify(std::string* failure) {
    bool read = false;
    const std::string saved =
        ReadSmallFile(folders_.download + kSignedListFileName, kMaxSignedListBytes, &read);
    if (!read) {
      *failure = "the update was downloaded without the update server's signed version list";
      return false;
    }
    const ListVerification verified = VerifyVersionList(saved, options_.public_key);
    if (!verified.ok) {
      *failure = verified.reason;
      return false;
    }
    const VersionList list(verified.signed_text);
    for (Item& item : items_) {
      if (!item.replace) continue;
      const std::optional<VersionEntry> entry = list.Find(item.record.file_name);
      if (!entry || entry->digest.empty()) {
        *failure = "the update server's version list gives no digest for " + item.record.file_name;
        return false;
      }
      std::string digest, error;
      if (!FileSha256Hex(item.new_file, &digest, &error)) {
        *failure = "the downloaded " + item.record.file_name + " cannot be read";
        return false;
      }
      if (!EqualsNoCase(digest, entry->digest)) {
        *failure = "the downloaded " + item.record.file_name +
                   " does not match the file the update server signed";
        return false;
      }
      item.digest = digest;
      item.published_version = entry->version;
    }
    return true;
  }

  bool BackUp(Item& item) {
    std::string reason;
    if (!CopyFileWhole(item.record.path, folders_.backup + item.backup_name, item.mode, &reason)) {
      outcome_.notes.push_back(reason);
      return false;
    }
    item.backed_up = true;
    return true;
  }

  bool CloseAndBackUp(Item& program, bool* declined, std::string* failure) {
    if (program.replace && !BackUp(program)) {
      *failure = FormatText(kFailureToCopyOldText, Name(program));
      return false;
    }
    std::vector<pid_t> running = options_.processes->FindRunning(program.record.path);
    if (running.empty()) return true;
    if (!consent_ && !Ask(FormatText(kCloseProgramQuestion, Name(program)))) {
      *declined = true;
      return true;
    }
    for (int attempt = 0; attempt < kTerminateAttempts && !running.empty(); ++attempt) {
      for (pid_t pid : running) options_.processes->Terminate(pid, attempt);
      if (attempt == 0) closed_.push_back(program.record.path);
      std::this_thread::sleep_for(options_.timings.terminate_retry);
      running = options_.processes->FindRunning(program.record.path);
    }
    if (!running.empty()) {
      *failure = FormatText(kFailureToCloseText, Name(program));
      return false;
    }
    std::this_thread::sleep_for(options_.timings.after_close);
    if (!program.replace) return true;
    for (int attempt = 0; attempt < kBackupAttempts; ++attempt) {
      if (attempt > 0) std::this_thread::sleep_for(options_.timings.backup_retry);
      if (BackUp(program)) return true;
    }
    *failure = FormatText(kFailureToCopyProgramText, Name(program));
    return false;
  }

  bool PutNew(const Item& item) {
    std::string reason;
    if (CopyFileWhole(item.new_file, item.record.path, item.mode, &reason)) return true;
    outcome_.notes.push_back(reason);
    return false;
  }

  RegistrationResult Register(const Item& item, bool unregister) {
    RegistrationResult result;
    if (options_.registrar == nullptr) {
      result.reason = "no registration program was given";
    } else {
      result = options_.registrar->Run(item.record.path, unregister);
    }
    if (result.status != RegistrationResult::Status::kDone) {
      outcome_.notes.push_back(std::string(unregister ? "unregistering " : "registering ") +
                               item.record.path + " skipped: " + result.reason);
    }
    return result;
  }

  bool WriteJournal(std::string* failure) {
    std::string reason;
    if (SaveJournal(folders_.backup + kJournalFileName, journal_, &reason)) return true;
    *failure = "the installation's journal cannot be written: " + reason;
    return false;
  }

  // 8. Every backup back in place, then the question about the update.
  InstallOutcome Fail(const std::string& failure, bool changed) {
    if (changed) {
      journal_.phase = InstallJournal::Phase::kRestoring;
      std::string ignored;
      WriteJournal(&ignored);
    }
    for (Item& item : items_) {
      if (!item.backed_up || !changed) continue;
      std::string reason;
      const std::string backup = folders_.backup + item.backup_name;
      if (!CopyFileWhole(backup, item.record.path, FileMode(backup).value_or(item.mode), &reason)) {
        outcome_.notes.push_back("restoring " + item.record.path + " failed: " + reason);
        continue;
      }
      if (item.kind == FileKind::kLibrary && item.replace) Register(item, false);
    }
    DeleteWithRetries(folders_.backup + kJournalFileName);
    Reached("8");
    outcome_.status = InstallOutcome::Status::kFailed;
    outcome_.failure = failure;
    if (Ask(FormatText(kUpdateFailedFormat, failure.empty() ? kUnknownErrorText : failure))) {
      outcome_.update_deleted = RemoveFolderWithFiles(folders_.download);
    }
    Wrap();
    return outcome_;
  }

  void RestartClosed() {
    for (const std::string& path : closed_) {
      std::string error;
      if (options_.processes->Start(path, options_.timings.restart_wait, &error)) {
        outcome_.restarted.push_back(path);
      } else {
        outcome_.notes.push_back(error);
      }
      std::this_thread::sleep_for(options_.timings.after_restart);
    }
  }

  // 9. What was closed starts again; the backups go.
  void Wrap() {
    RestartClosed();
    RemoveFolderWithFiles(folders_.backup);
    Reached("9");
  }

  const InstallOptions& options_;
  const InstallFolders& folders_;
  const bool consent_ = options_.consent;
  std::vector<Item> items_;
  std::vector<std::string> closed_;
  InstallJournal journal_;
  InstallOutcome outcome_;
};

// Whether `path` holds the file with `digest`.
bool HoldsDigest(const std::string& path, const std::string& digest) {
  std::string hex, error;
  return !digest.empty() && FileSha256Hex(path, &hex, &error) && hex == digest;
}

void RegisterAgain(const JournalEntry& e, const InstallOptions& options,
                   RecoveryOutcome* outcome) {
  if (e.kind != FileKind::kLibrary) return;
  if (options.registrar == nullptr) {
    outcome->notes.push_back("registering " + e.path + " skipped: no registration program");
    return;
  }
  const RegistrationResult result = options.registrar->Run(e.path, false);
  if (result.status != RegistrationResult::Status::kDone) {
    outcome->notes.push_back("registering " + e.path + " skipped: " + result.reason);
  }
}

}  // namespace

std::string FolderWithoutWriteAccess(const std::vector<UpdateFileRecord>& records,
                                     const std::string& working_folder) {
  std::vector<std::string> folders = {working_folder};
  for (const UpdateFileRecord& record : records) {
    if (record.needs_update == 1) folders.push_back(fs::path(record.path).parent_path().string());
  }
  for (const std::string& folder : folders) {
    if (!folder.empty() && ::access(folder.c_str(), W_OK | X_OK) != 0) return folder;
  }
  return {};
}

// Defined below, with the lock already held.
static RecoveryOutcome Recover(const InstallOptions& options);

InstallFolders FoldersOf(const std::string& working_folder) {
  std::string working = working_folder;
  if (!working.empty() && working.back() != '/') working += '/';
  return {working, working + "Update/", working + "Temp/"};
}

InstallOutcome InstallUpdate(const std::vector<UpdateFileRecord>& manifest,
                             const InstallOptions& options) {
  InstallOutcome busy;
  if (manifest.empty() || options.processes == nullptr) return busy;
  InstallLock lock(options.folders.working);
  if (!lock.held()) {
    busy.status = InstallOutcome::Status::kBusy;
    return busy;
  }
  // An earlier installation killed on the way is dealt with first: its
  // backups must not be mistaken for leftovers. One that could be finished
  // has installed this update already.
  const RecoveryOutcome recovered = Recover(options);
  if (recovered.status == RecoveryOutcome::Status::kCompleted) {
    busy.notes = recovered.notes;
    busy.notes.push_back("an interrupted installation of this update was completed");
    return busy;
  }
  return Installation(manifest, options).Run();
}

// The recovery, with the lock held.
static RecoveryOutcome Recover(const InstallOptions& options) {
  RecoveryOutcome outcome;
  std::error_code ec;
  if (!fs::exists(options.folders.backup, ec)) return outcome;
  const std::string journal_path = options.folders.backup + kJournalFileName;
  std::optional<InstallJournal> journal = LoadJournal(journal_path);
  if (!journal) {
    // Left by an installation stopped before it changed anything, or after
    // it was done: nothing in it is needed.
    RemoveFolderWithFiles(options.folders.backup);
    return outcome;
  }

  if (journal->phase == InstallJournal::Phase::kReplacing) {
    // Finish when every new file is at hand, else undo.
    bool complete = true;
    for (const JournalEntry& e : journal->entries) {
      const std::string downloaded = options.folders.download + FileNameOf(e.path);
      if (!HoldsDigest(e.path, e.digest) && !HoldsDigest(downloaded, e.digest)) complete = false;
    }
    if (complete) {
      for (const JournalEntry& e : journal->entries) {
        if (!HoldsDigest(e.path, e.digest)) {
          std::string reason;
          const std::string downloaded = options.folders.download + FileNameOf(e.path);
          if (!CopyFileWhole(downloaded, e.path, e.mode, &reason)) {
            complete = false;
            outcome.notes.push_back("completing " + e.path + " failed: " + reason);
            break;
          }
        }
        RegisterAgain(e, options, &outcome);
      }
    }
    journal->phase = complete ? InstallJournal::Phase::kFinishing
                              : InstallJournal::Phase::kRestoring;
    std::string ignored;
    SaveJournal(journal_path, *journal, &ignored);
  }

  if (journal->phase == InstallJournal::Phase::kRestoring) {
    for (const JournalEntry& e : journal->entries) {
      const std::string backup = options.folders.backup + e.backup_name;
      if (!fs::exists(backup, ec)) continue;
      std::string reason;
      if (!CopyFileWhole(backup, e.path, FileMode(backup).value_or(e.mode), &reason)) {
        outcome.notes.push_back("restoring " + e.path + " failed: " + reason);
        continue;
      }
      RegisterAgain(e, options, &outcome);
    }
    DeleteWithRetries(journal_path);
    outcome.status = RecoveryOutcome::Status::kRolledBack;
  } else {
    Installation::FinishFromJournal(*journal, options);
    outcome.status = RecoveryOutcome::Status::kCompleted;
  }
  RemoveFolderWithFiles(options.folders.backup);
  return outcome;
}

RecoveryOutcome RecoverInterruptedInstallation(const InstallOptions& options) {
  std::error_code ec;
  if (!fs::exists(options.folders.backup, ec)) return {};
  InstallLock lock(options.folders.working);
  if (!lock.held()) {
    RecoveryOutcome busy;
    busy.status = RecoveryOutcome::Status::kBusy;
    return busy;
  }
  return Recover(options);
}

}  // namespace quarry
