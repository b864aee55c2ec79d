#include "updater/install_journal.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/ascii_text.h"
#include "platform/atomic_file.h"

namespace quarry {

namespace {

constexpr char kMagic[] = "KspInstallJournal 1";
constexpr size_t kMaxJournalBytes = 4u << 20;
constexpr size_t kFieldCount = 7;

const char* PhaseName(InstallJournal::Phase phase) {
  switch (phase) {
    case InstallJournal::Phase::kReplacing: return "replacing";
    case InstallJournal::Phase::kRestoring: return "restoring";
    case InstallJournal::Phase::kFinishing: return "finishing";
  }
  return "";
}

const char* KindName(FileKind kind) {
  switch (kind) {
    case FileKind::kProgram: return "program";
    case FileKind::kLibrary: return "library";
    case FileKind::kData: return "data";
  }
  return "";
}

std::string Escape(std::string_view field) {
  std::string out;
  for (char c : field) {
    switch (c) {
      case '%': out += "%25"; break;
      case '\t': out += "%09"; break;
      case '\r': out += "%0D"; break;
      case '\n': out += "%0A"; break;
      default: out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      out += field[i];
      continue;
    }
    const std::string_view code = field.substr(i + 1, 2);
    if (code == "25") out += '%';
    else if (code == "09") out += '\t';
    else if (code == "0D") out += '\r';
    else if (code == "0A") out += '\n';
    else return std::nullopt;
    i += 2;
  }
  return out;
}

template <typename T>
std::optional<T> Number(std::string_view text, int base = 10) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t at = line.find(separator, start);
    parts.push_back(line.substr(start, at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  return parts;
}

}  // namespace

FileKind FileKindOf(const std::string& path) {
  const std::string name = AsciiLowered(path.substr(path.rfind('/') + 1));
  const auto ends_with = [&name](std::string_view end) {
    return name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
  };
  // "x.so", a versioned "x.so.1.2", or a classic ".dll".
  const size_t so = name.rfind(".so.");
  const bool versioned = so != std::string::npos && so > 0 &&
                         name.find_first_not_of("0123456789.", so + 4) == std::string::npos;
  if (ends_with(".so") || versioned || ends_with(".dll")) return FileKind::kLibrary;
  if (ends_with(".exe")) return FileKind::kProgram;
  struct stat info{};
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR)) {
    return FileKind::kProgram;
  }
  return FileKind::kData;
}

std::string EncodeJournal(const InstallJournal& journal) {
  std::string out = std::string(kMagic) + "\n" + "phase\t" + PhaseName(journal.phase) + "\n";
  for (const JournalEntry& e : journal.entries) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(e.mode));
    out += "entry\t" + Escape(e.path) + "\t" + Escape(e.backup_name) + "\t" + Escape(e.digest) +
           "\t" + KindName(e.kind) + "\t" + mode + "\t" + Escape(e.registration_key) + "\t" +
           std::to_string(e.version_x100) + "\n";
  }
  out += "end\n";
  return out;
}

std::optional<InstallJournal> DecodeJournal(std::string_view text) {
  const std::vector<std::string_view> lines = Split(text, '\n');
  // magic, phase, entries, "end", and the empty piece after the last "\n"
  if (lines.size() < 4 || lines[0] != kMagic || lines.back() != "" ||
      lines[lines.size() - 2] != "end") {
    return std::nullopt;
  }
  InstallJournal journal;
  const std::vector<std::string_view> phase = Split(lines[1], '\t');
  if (phase.size() != 2 || phase[0] != "phase") return std::nullopt;
  if (phase[1] == "replacing") journal.phase = InstallJournal::Phase::kReplacing;
  else if (phase[1] == "restoring") journal.phase = InstallJournal::Phase::kRestoring;
  else if (phase[1] == "finishing") journal.phase = InstallJournal::Phase::kFinishing;
  else return std::nullopt;
  for (size_t i = 2; i + 2 < lines.size(); ++i) {
    const std::vector<std::string_view> f = Split(lines[i], '\t');
    if (f.size() != kFieldCount + 1 || f[0] != "entry") return std::nullopt;
    JournalEntry e;
    const auto path = Unescape(f[1]);
    const auto backup = Unescape(f[2]);
    const auto digest = Unescape(f[3]);
    const auto mode = Number<unsigned>(f[5], 8);
    const auto key = Unescape(f[6]);
    const auto version = Number<uint32_t>(f[7]);
    if (!path || !backup || !digest || !mode || !key || !version || path->empty() ||
        backup->empty() || *mode > 07777) {
      return std::nullopt;
    }
    if (f[4] == "program") e.kind = FileKind::kProgram;
    else if (f[4] == "library") e.kind = FileKind::kLibrary;
    else if (f[4] == "data") e.kind = FileKind::kData;
    else return std::nullopt;
    e.path = *path;
    e.backup_name = *backup;
    e.digest = *digest;
    e.mode = static_cast<mode_t>(*mode);
    e.registration_key = *key;
    e.version_x100 = *version;
    journal.entries.push_back(std::move(e));
  }
  return journal;
}

std::optional<InstallJournal> LoadJournal(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  text.resize(kMaxJournalBytes + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto got = static_cast<size_t>(in.gcount());
  if (got > kMaxJournalBytes) return std::nullopt;
  text.resize(got);
  return DecodeJournal(text);
}

bool SaveJournal(const std::string& path, const InstallJournal& journal, std::string* error) {
  return platform::WriteFileAtomically(path, EncodeJournal(journal), error);
}

}  // namespace quarry
