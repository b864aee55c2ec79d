#include "engine/export_grid.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>
#include <utility>

namespace quarry {

// ---- MemoryGrid ------------------------------------------------------------

MemoryGrid::MemoryGrid(std::vector<std::string> titles,
                       std::vector<std::vector<std::string>> rows)
    : titles_(std::move(titles)), rows_(std::move(rows)) {
  size_t columns = titles_.size();
  for (const auto& row : rows_) columns = std::max(columns, row.size());
  columns_ = static_cast<int>(columns);
  header_alignment_.assign(columns, kAlignLeft);
}

int MemoryGrid::ColumnCount() const { return columns_; }

std::vector<int> MemoryGrid::DisplayOrder() const {
  if (order_) return *order_;
  std::vector<int> order(columns_);
  for (int i = 0; i < columns_; ++i) order[i] = i;
  return order;
}

std::optional<std::string> MemoryGrid::HeaderText(int column) const {
  if (!header_readable_ || column < 0 || column >= columns_) return std::nullopt;
  if (static_cast<size_t>(column) >= titles_.size()) return std::string();
  return titles_[column];
}

int32_t MemoryGrid::HeaderAlignment(int column) const {
  if (column < 0 || column >= columns_) return kAlignLeft;
  return header_alignment_[column];
}

uint32_t MemoryGrid::BackgroundColour() const { return background_; }

bool MemoryGrid::ExtendedHeaderColours(uint32_t* background,
                                       uint32_t* text) const {
  if (!has_extended_header_) return false;
  *background = header_background_;
  *text = header_text_;
  return true;
}

int MemoryGrid::RowCount() const { return static_cast<int>(rows_.size()); }

std::string MemoryGrid::CellText(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0) return std::string();
  const auto& cells = rows_[row];
  if (static_cast<size_t>(column) >= cells.size()) return std::string();
  return cells[column];
}

CellFormat MemoryGrid::CellFormatAt(int row, int column) const {
  if (formats_.empty() || row < 0 || row >= RowCount() || column < 0 ||
      column >= columns_) {
    return CellFormat();
  }
  return formats_[static_cast<size_t>(row) * columns_ + column];
}

void MemoryGrid::SetDisplayOrder(std::vector<int> order) {
  order_ = std::move(order);
}

void MemoryGrid::SetHeaderReadable(bool readable) {
  header_readable_ = readable;
}

void MemoryGrid::SetHeaderAlignment(int column, int32_t alignment) {
  if (column < 0 || column >= columns_) return;
  header_alignment_[column] = alignment;
}

void MemoryGrid::SetBackgroundColour(uint32_t colour) { background_ = colour; }

void MemoryGrid::SetExtendedHeader(uint32_t background, uint32_t text) {
  has_extended_header_ = true;
  header_background_ = background;
  header_text_ = text;
}

void MemoryGrid::ClearExtendedHeader() { has_extended_header_ = false; }

void MemoryGrid::SetCellFormat(int row, int column, CellFormat format) {
  if (row < 0 || row >= RowCount() || column < 0 || column >= columns_) return;
  if (formats_.empty()) formats_.resize(rows_.size() * columns_);
  formats_[static_cast<size_t>(row) * columns_ + column] = std::move(format);
}

// ---- Shared by the writers -------------------------------------------------

std::vector<int> ExportColumns(const ExportGrid& grid,
                               std::vector<int32_t> excluded) {
  std::sort(excluded.begin(), excluded.end());
  const int count = grid.ColumnCount();
  std::vector<bool> taken(count > 0 ? count : 0, false);
  std::vector<int> columns;
  for (int column : grid.DisplayOrder()) {
    if (column < 0 || column >= count || taken[column]) continue;
    taken[column] = true;
    if (std::binary_search(excluded.begin(), excluded.end(), column)) continue;
    columns.push_back(column);
  }
  return columns;
}

ExportColumnList::ExportColumnList(const ExportGrid& grid, std::vector<int32_t> excluded)
    : natural_(grid.NaturalDisplayOrder()), count_(std::max(grid.ColumnCount(), 0)) {
  if (natural_) {
    std::sort(excluded.begin(), excluded.end());
    excluded.erase(std::unique(excluded.begin(), excluded.end()), excluded.end());
    excluded_ = std::move(excluded);
    return;
  }
  columns_ = ExportColumns(grid, std::move(excluded));
  ascending_ = std::is_sorted(columns_.begin(), columns_.end());
}

std::string_view CellDisplayView(const ExportGrid& grid, int row, int column, std::string& scratch) {
  const CellFormat format = grid.CellFormatAt(row, column);
  if (!format.is_percent && !(format.is_dropdown && format.has_selection)) {
    if (std::optional<std::string_view> view = grid.CellTextView(row, column)) return *view;
  }
  scratch = CellDisplayText(grid, row, column);
  return scratch;
}

std::string CellDisplayText(const ExportGrid& grid, int row, int column) {
  CellFormat format = grid.CellFormatAt(row, column);
  if (format.is_percent) {
    // printf's "%f" follows LC_NUMERIC, which a GUI process sets from the
    // user's locale; a decimal comma would change the exported value.
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer) - 1,
                                   format.percent, std::chars_format::fixed, 2);
    if (ec != std::errc()) return "%";
    *end++ = '%';
    return std::string(buffer, end);
  }
  if (format.is_dropdown && format.has_selection) return format.selection;
  return grid.CellText(row, column);
}

// ---- Writing the file ------------------------------------------------------

namespace {

// Follows symbolic links from `path` so that the file they point to is
// replaced rather than the link itself. Gives nullopt for a loop.
std::optional<std::filesystem::path> ResolveLinks(std::filesystem::path path) {
  namespace fs = std::filesystem;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    fs::file_status status = fs::symlink_status(path, ec);
    if (ec || !fs::is_symlink(status)) return path;
    fs::path next = fs::read_symlink(path, ec);
    if (ec) return std::nullopt;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return std::nullopt;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Collects the pieces into a buffer and writes it out when full.
class FileSink : public ExportSink {
 public:
  explicit FileSink(int fd) : fd_(fd) { buffer_.reserve(kBuffer); }

  void Write(std::string_view bytes) override {
    if (!ok_) return;
    if (buffer_.size() + bytes.size() > kBuffer) Flush();
    if (bytes.size() >= kBuffer) {
      ok_ = ok_ && WriteAll(fd_, bytes);
    } else {
      buffer_.append(bytes);
    }
  }

  bool ok() const override { return ok_; }

  bool Finish() {
    Flush();
    return ok_;
  }

 private:
  static constexpr size_t kBuffer = 1 << 16;

  void Flush() {
    if (ok_ && !buffer_.empty()) ok_ = WriteAll(fd_, buffer_);
    buffer_.clear();
  }

  int fd_;
  std::string buffer_;
  bool ok_ = true;
};

// A device or pipe cannot be replaced by renaming; it is written directly.
bool WriteInPlace(const std::string& path, const std::function<void(ExportSink&)>& produce) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  FileSink sink(fd);
  produce(sink);
  bool ok = sink.Finish();
  if (::close(fd) != 0) ok = false;
  return ok;
}

// Creates a new, uniquely named file beside `target`. Created with mode 0666
// so that the kernel applies the umask exactly as for an ordinary create.
int CreateSibling(const std::filesystem::path& target, std::string* name) {
  static std::atomic<uint64_t> counter{0};
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string base = target.filename().string();
  if (base.size() > 200) base.resize(200);  // keep within NAME_MAX
  const std::filesystem::path folder = target.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[64];
    std::snprintf(suffix, sizeof(suffix), ".%d.%llx.%llx.tmp",
                  static_cast<int>(::getpid()),
                  static_cast<unsigned long long>(counter.fetch_add(1)),
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFu));
    std::filesystem::path candidate = folder / ("." + base + suffix);
    *name = candidate.string();
    int fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

std::mutex hook_mutex;
OpenAfterExportHook& Hook() {
  static OpenAfterExportHook hook;
  return hook;
}

}  // namespace

void StreamSink::Write(std::string_view bytes) {
  if (*out_) out_->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool StreamSink::ok() const { return static_cast<bool>(*out_); }

bool WriteFileReplacing(const std::string& path, std::string_view bytes) {
  return WriteFileReplacingWith(path, [bytes](ExportSink& sink) { sink.Write(bytes); });
}

bool WriteFileReplacingWith(const std::string& path,
                            const std::function<void(ExportSink&)>& produce) {
  if (path.empty()) return false;
  std::optional<std::filesystem::path> resolved = ResolveLinks(path);
  if (!resolved || resolved->filename().empty()) return false;
  const std::string target = resolved->string();

  struct stat existing;
  bool keep_mode = false;
  if (::stat(target.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return false;
    if (!S_ISREG(existing.st_mode)) return WriteInPlace(target, produce);
    keep_mode = true;
  }

  std::string temp;
  int fd = CreateSibling(*resolved, &temp);
  if (fd < 0) return false;
  bool ok = true;
  if (keep_mode) {
    // Not fatal: the owner may hold bits we may not set (set-id bits).
    (void)::fchmod(fd, existing.st_mode & 07777);
  }
  FileSink sink(fd);
  produce(sink);
  ok = sink.Finish() && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

void SetOpenAfterExportHook(OpenAfterExportHook hook) {
  std::lock_guard<std::mutex> lock(hook_mutex);
  Hook() = std::move(hook);
}

void OpenAfterExport(const std::string& path) {
  OpenAfterExportHook hook;
  {
    std::lock_guard<std::mutex> lock(hook_mutex);
    hook = Hook();
  }
  if (hook) hook(path);
}

}  // namespace quarry
