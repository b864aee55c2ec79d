#include "tools/ztreg/ztreg.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <ostream>
#include <sstream>

#include "platform/key_path.h"
#include "platform/settings_store.h"
#include "tools/ztreg/settings_text.h"

namespace quarry::ztreg {

namespace {

using platform::ValueType;

constexpr char kUsage[] = R"(Usage: ztreg COMMAND ...
Lists, sets and deletes the per-user settings of Quarry and its companion programs.

  ztreg query KEY [VALUE]     show a key's values and subkeys, or one value
  ztreg set KEY VALUE TYPE    store a value, creating the key as needed; TYPE is
                                --dword N | --qword N   (decimal, or hex after 0x)
                                --string TEXT | --expand-string TEXT
                                --binary HEX            ("01 02 ff" or "0102ff")
  ztreg delete KEY [VALUE]    delete one value, or a key with all its subkeys
  ztreg export [KEY]          print a key and its subtree (everything without KEY)
                              in the text form that import reads
  ztreg import FILE           store the keys and values of an exported text, all
                              or none (FILE "-" reads standard input; at most
                              64 MiB from a file or a pipe)

KEY is written like HKCU\Software\Zandor Tech\Globals; the HKCU\ prefix is
optional. Key and value names match regardless of case. "--" ends the options,
for names and texts that begin with "--".
The store is $ZT_REGISTRY_FILE when set, else
$XDG_CONFIG_HOME/zandor-tech/registry.sqlite (~/.config when unset).
Exit status: 0 done; 1 failed (no such key or value, unusable store);
2 bad command line.
)";

struct TypeOption {
  const char* flag;
  ValueType type;
};
constexpr TypeOption kTypeOptions[] = {
    {"--dword", ValueType::kDword},     {"--qword", ValueType::kQword},
    {"--string", ValueType::kSz},       {"--expand-string", ValueType::kExpandSz},
    {"--binary", ValueType::kBinary},
};

// The command line split into positional arguments and type options.
struct CommandLine {
  std::vector<std::string> positional;
  std::vector<std::pair<ValueType, std::string>> types;
};

// Opens a file to import. A named pipe is opened as any reader opens one,
// waiting for its writer; anything else without waiting, so that a device
// cannot hold the open up, and ReadBounded() refuses it then.
int OpenForReading(const std::string& path, std::string* error) {
  struct stat info {};
  int flags = O_RDONLY | O_CLOEXEC;
  if (stat(path.c_str(), &info) != 0 || !S_ISFIFO(info.st_mode)) flags |= O_NONBLOCK;
  int fd = open(path.c_str(), flags);
  if (fd < 0) {
    *error = std::strerror(errno);
    return -1;
  }
  return fd;
}

// Reads all of `fd` into *text: a regular file or a pipe of at most
// kMaxImportBytes, refused as soon as it proves to be anything else.
bool ReadBounded(int fd, std::string* text, std::string* error) {
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    *error = "it is a folder, not a file";
    return false;
  }
  if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) {
    *error = "it is neither a regular file nor a pipe";
    return false;
  }
  const std::string too_large = "it holds more than 64 MiB, the most ztreg imports";
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > kMaxImportBytes) {
    *error = too_large;
    return false;
  }
  text->clear();
  char buffer[65536];
  while (true) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A pipe opened (or handed over) without waiting: wait for its data
      // as a plain read would.
      pollfd ready{fd, POLLIN, 0};
      poll(&ready, 1, -1);
      continue;
    }
    if (got < 0) {
      *error = std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    if (text->size() + static_cast<size_t>(got) > kMaxImportBytes) {
      *error = too_large;
      return false;
    }
    text->append(buffer, static_cast<size_t>(got));
  }
}

class Command {
 public:
  Command(const std::string& store_path, int in_fd, std::ostream& out, std::ostream& err)
      : store_path_(store_path), in_fd_(in_fd), out_(out), err_(err) {}

  int Run(const std::vector<std::string>& args);

 private:
  int Fail(int status, const std::string& message) {
    err_ << "ztreg: " << message << '\n';
    return status;
  }
  bool Split(const std::vector<std::string>& args, CommandLine* line, int* status);
  // Parses a KEY argument into its stored-form path; prints the error.
  bool ParseKey(const std::string& text, std::string* path, int* status);
  // Opens the store; prints its problem when unusable.
  bool OpenStore(int* status);
  bool MakeValue(ValueType type, const std::string& data, platform::Value* value, int* status);

  int Query(const std::vector<std::string>& args);
  int Set(const CommandLine& line);
  int Delete(const std::vector<std::string>& args);
  int Export(const std::vector<std::string>& args);
  int Import(const std::vector<std::string>& args);
  int Finish();

  const std::string& store_path_;
  const int in_fd_;
  std::ostream& out_;
  std::ostream& err_;
  std::optional<platform::SettingsStore> store_;
};

bool Command::Split(const std::vector<std::string>& args, CommandLine* line, int* status) {
  bool options_ended = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || !arg.starts_with("--")) {
      line->positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string flag = arg.substr(0, arg.find('='));
    const TypeOption* option = nullptr;
    for (const TypeOption& candidate : kTypeOptions) {
      if (flag == candidate.flag) option = &candidate;
    }
    if (option == nullptr || args[0] != "set") {
      *status = Fail(kExitUsage, "unknown option " + flag + " for " + args[0] +
                                     " (see ztreg --help)");
      return false;
    }
    std::string data;
    if (flag.size() < arg.size()) {
      data = arg.substr(flag.size() + 1);
    } else if (i + 1 < args.size()) {
      data = args[++i];
    } else {
      *status = Fail(kExitUsage, flag + " needs a value");
      return false;
    }
    line->types.emplace_back(option->type, data);
  }
  return true;
}

bool Command::ParseKey(const std::string& text, std::string* path, int* status) {
  if (text.empty()) {
    *status = Fail(kExitUsage, "the key is empty; write it like HKCU\\Software\\Zandor Tech\\Globals");
    return false;
  }
  std::vector<std::string> names;
  std::string error;
  if (!platform::ParseKeyPath(text, &names, &error)) {
    *status = Fail(kExitUsage, "bad key " + platform::QuoteForMessage(text) + ": " + error);
    return false;
  }
  *path = platform::JoinKeyPath(names);
  return true;
}

bool Command::OpenStore(int* status) {
  store_.emplace(store_path_);
  if (!store_->Notice().empty()) err_ << "ztreg: " << store_->Notice() << '\n';
  if (!store_->IsUsable()) {
    *status = Fail(kExitFailed, store_->Problem());
    return false;
  }
  return true;
}

bool Command::MakeValue(ValueType type, const std::string& data, platform::Value* value,
                        int* status) {
  std::string error;
  uint64_t number = 0;
  value->type = type;
  value->data.clear();
  switch (type) {
    case ValueType::kDword:
    case ValueType::kQword: {
      bool dword = type == ValueType::kDword;
      if (!ParseNumber(data, dword ? UINT32_MAX : UINT64_MAX, &number, &error)) {
        *status = Fail(kExitUsage, std::string(dword ? "--dword: " : "--qword: ") + error);
        return false;
      }
      for (int i = 0; i < (dword ? 4 : 8); ++i) value->data.push_back(static_cast<uint8_t>(number >> (8 * i)));
      return true;
    }
    case ValueType::kBinary:
      if (!ParseHexBytes(data, &value->data, &error)) {
        *status = Fail(kExitUsage, "--binary: " + error);
        return false;
      }
      return true;
    default:
      value->data.assign(data.begin(), data.end());
      return true;
  }
}

int Command::Run(const std::vector<std::string>& args) {
  if (args.empty()) return Fail(kExitUsage, "no command given (see ztreg --help)");
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    out_ << kUsage;
    return Finish();
  }
  CommandLine line;
  int status = kExitOk;
  if (name != "query" && name != "set" && name != "delete" && name != "export" &&
      name != "import") {
    return Fail(kExitUsage, "unknown command \"" + name + "\" (see ztreg --help)");
  }
  if (!Split(args, &line, &status)) return status;
  if (name == "set") return Set(line);
  if (name == "query") return Query(line.positional);
  if (name == "delete") return Delete(line.positional);
  if (name == "export") return Export(line.positional);
  return Import(line.positional);
}

int Command::Query(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) return Fail(kExitUsage, "usage: ztreg query KEY [VALUE]");
  std::string path;
  int status = kExitOk;
  if (!ParseKey(args[0], &path, &status) || !OpenStore(&status)) return status;
  std::optional<std::string> stored = store_->StoredKeyPath(path);
  if (!stored) return Fail(kExitFailed, "key not found: " + DisplayKey(path));
  std::vector<ValueEntry> values = store_->Values(*stored);
  if (args.size() == 2) {
    for (const ValueEntry& entry : values) {
      if (platform::EqualsIgnoreCase(entry.name, args[1])) {
        out_ << FormatValueLine(entry.name, {entry.type, entry.data}) << '\n';
        return Finish();
      }
    }
    return Fail(kExitFailed, "value " + QuoteText(args[1]) + " not found in " + DisplayKey(*stored));
  }
  if (!stored->empty()) out_ << FormatKeyLine(*stored) << '\n';
  for (const ValueEntry& entry : values) {
    out_ << FormatValueLine(entry.name, {entry.type, entry.data}) << '\n';
  }
  // Comments, so that the listing itself can be imported.
  for (const std::string& child : store_->SubKeys(*stored)) out_ << "# subkey " << child << '\n';
  return Finish();
}

int Command::Set(const CommandLine& line) {
  if (line.positional.size() != 2) {
    return Fail(kExitUsage, "usage: ztreg set KEY VALUE --dword N | --qword N | --string TEXT | "
                            "--expand-string TEXT | --binary HEX");
  }
  if (line.types.size() != 1) {
    return Fail(kExitUsage, line.types.empty()
                                ? "give the type and data: --dword, --qword, --string, "
                                  "--expand-string or --binary"
                                : "give only one of --dword, --qword, --string, "
                                  "--expand-string and --binary");
  }
  std::string path;
  int status = kExitOk;
  if (!ParseKey(line.positional[0], &path, &status)) return status;
  if (path.empty()) return Fail(kExitUsage, "values cannot be stored at the root of the hive");
  const std::string& name = line.positional[1];
  std::string error;
  if (!platform::CheckValueName(name, &error)) return Fail(kExitUsage, error);
  platform::Value value;
  if (!MakeValue(line.types[0].first, line.types[0].second, &value, &status)) return status;
  if (!OpenStore(&status)) return status;
  if (!store_->SetValue(path, name, value)) {
    return Fail(kExitFailed, "cannot store the value: " + store_->LastError());
  }
  return Finish();
}

int Command::Delete(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) return Fail(kExitUsage, "usage: ztreg delete KEY [VALUE]");
  std::string path;
  int status = kExitOk;
  if (!ParseKey(args[0], &path, &status)) return status;
  if (args.size() == 1 && path.empty()) {
    return Fail(kExitUsage, "the root of the hive cannot be deleted");
  }
  if (!OpenStore(&status)) return status;
  if (!store_->KeyExists(path)) return Fail(kExitFailed, "key not found: " + DisplayKey(path));
  if (args.size() == 2) {
    if (!store_->Get(path, args[1])) {
      return Fail(kExitFailed, "value " + QuoteText(args[1]) + " not found in " + DisplayKey(path));
    }
    if (!store_->DeleteValue(path, args[1])) {
      return Fail(kExitFailed, "cannot delete the value: " + store_->LastError());
    }
  } else if (!store_->DeleteKey(path)) {
    return Fail(kExitFailed, "cannot delete the key: " + store_->LastError());
  }
  return Finish();
}

int Command::Export(const std::vector<std::string>& args) {
  if (args.size() > 1) return Fail(kExitUsage, "usage: ztreg export [KEY]");
  std::string path;
  int status = kExitOk;
  if (!args.empty() && !ParseKey(args[0], &path, &status)) return status;
  if (!OpenStore(&status)) return status;
  // Built in memory first so that a failure prints nothing half-done.
  std::ostringstream text;
  text << "# Settings exported by ztreg; \"ztreg import FILE\" stores them again.\n\n";
  std::string error;
  if (!ExportSettings(*store_, path, text, &error)) return Fail(kExitFailed, error);
  out_ << text.str();
  return Finish();
}

int Command::Import(const std::vector<std::string>& args) {
  if (args.size() != 1) return Fail(kExitUsage, "usage: ztreg import FILE");
  const bool from_stdin = args[0] == "-";
  const std::string shown = from_stdin ? "standard input" : QuoteText(args[0]);
  std::string text;
  std::string error;
  int fd = from_stdin ? in_fd_ : OpenForReading(args[0], &error);
  if (fd < 0) return Fail(kExitFailed, "cannot read " + shown + ": " + error);
  bool read = ReadBounded(fd, &text, &error);
  if (!from_stdin) close(fd);
  if (!read) return Fail(kExitFailed, "cannot read " + shown + ": " + error);
  // The whole text is checked before the store is even opened.
  if (!ParseSettingsText(text, SettingsTextSink{}, &error)) {
    return Fail(kExitUsage, (from_stdin ? "standard input" : args[0]) + ": " + error);
  }
  int status = kExitOk;
  if (!OpenStore(&status)) return status;
  if (!ImportSettings(*store_, text, &error)) {
    return Fail(kExitFailed, error + "; nothing was imported");
  }
  return Finish();
}

int Command::Finish() {
  out_.flush();
  if (!out_) return Fail(kExitFailed, "cannot write the output");
  return kExitOk;
}

}  // namespace

int RunZtreg(const std::vector<std::string>& args, const std::string& store_path, int in_fd,
             std::ostream& out, std::ostream& err) {
  return Command(store_path, in_fd, out, err).Run(args);
}

}  // namespace quarry::ztreg
