// The installation's journal: what a killed installation leaves behind so
// that the next start can finish the job or undo it, and never leaves the
// maker's files half old and half new.
//
// It is written (whole or not at all) into the backup folder once every
// backup is on disk and before the first installed file changes, and
// rewritten at each change of phase:
//   replacing  installed files are being replaced; the next start finishes
//              the replacement when every new file is at hand (in place or
//              in the download folder, with its published digest), and
//              restores every backup otherwise;
//   restoring  the backups are being put back; the next start puts them all
//              back;
//   finishing  every new file is in place; the next start removes the
//              download folder and writes the versions.
// The journal is deleted when its phase is done; a backup folder without a
// journal holds nothing that is needed any more.
//
// Text, one entry a line, fields separated by tabs with "%", tab, CR and LF
// escaped as %25, %09, %0D and %0A. Plain C++.

#ifndef QUARRY_UPDATER_INSTALL_JOURNAL_H_
#define QUARRY_UPDATER_INSTALL_JOURNAL_H_

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

inline constexpr char kJournalFileName[] = "Ksp.journal";

// What a file is, told by its name and permission bits: a module the
// registration program registers (".so", ".so.N", ".dll"), a program that
// may be running (".exe", or any other file its owner may execute), or
// data.
enum class FileKind { kProgram, kLibrary, kData };
FileKind FileKindOf(const std::string& path);

struct JournalEntry {
  std::string path;               // the installed file
  std::string backup_name;        // its backup, in the backup folder
  std::string digest;             // SHA-256 (hex) of the new file
  FileKind kind = FileKind::kData;
  mode_t mode = 0644;             // the old file's permission bits
  std::string registration_key;   // where its version is written, if any
  uint32_t version_x100 = 0;      // the new file's version x 100

  bool operator==(const JournalEntry&) const = default;
};

struct InstallJournal {
  enum class Phase { kReplacing, kRestoring, kFinishing };
  Phase phase = Phase::kReplacing;
  std::vector<JournalEntry> entries;

  bool operator==(const InstallJournal&) const = default;
};

std::string EncodeJournal(const InstallJournal& journal);
// nullopt for anything that is not a whole journal of this format.
std::optional<InstallJournal> DecodeJournal(std::string_view text);

// Reads the journal file; nullopt when it is missing, larger than 4 MiB or
// not a journal.
std::optional<InstallJournal> LoadJournal(const std::string& path);
// Writes it whole or not at all, flushed to disk. False with *error.
bool SaveJournal(const std::string& path, const InstallJournal& journal, std::string* error);

}  // namespace quarry

#endif  // QUARRY_UPDATER_INSTALL_JOURNAL_H_
