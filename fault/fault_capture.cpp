#include "fault/fault_capture.h"

#include <errno.h>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "fault/exception_ext.h"
#include "fault/fault_record.h"

extern char** environ;

namespace quarry {

namespace {

// ---- Texts the handler may read at any moment. ----------------------------

// Two copies: a setter fills the one not in use and then switches, so the
// handler always reads a whole text (setters are serialised by a mutex).
template <size_t N>
struct SafeText {
  char copies[2][N] = {};
  std::atomic<int> active{0};

  void Set(std::string_view text) {
    const int next = 1 - active.load(std::memory_order_relaxed);
    const size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(copies[next], text.data(), n);
    copies[next][n] = '\0';
    active.store(next, std::memory_order_release);
  }
  const char* Get() const { return copies[active.load(std::memory_order_acquire)]; }
};

std::mutex g_text_mutex;
SafeText<sizeof(RawFaultRecord::app_name)> g_app_name;
SafeText<sizeof(RawFaultRecord::module_path)> g_module_path;
SafeText<sizeof(RawFaultRecord::version_text)> g_version;
SafeText<sizeof(RawFaultRecord::status)> g_status;
SafeText<sizeof(RawFaultRecord::current_view)> g_current_view;
SafeText<sizeof(RawFaultRecord::visited_views)> g_visited_views;
SafeText<sizeof(RawFaultRecord::detail)> g_detail;
std::atomic<int64_t> g_start_time{0};

// ---- Per-thread guard state. -----------------------------------------------

struct ThreadState {
  char area[sizeof(RawFaultRecord::area)];
  uintptr_t stack_low;
  uintptr_t stack_high;
};
__attribute__((tls_model("initial-exec"))) thread_local ThreadState t_state;

constexpr size_t kAltStackSize = 64 * 1024;

void RecordStackBounds() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
  void* low = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attr, &low, &size) == 0) {
    t_state.stack_low = reinterpret_cast<uintptr_t>(low);
    t_state.stack_high = t_state.stack_low + size;
  }
  pthread_attr_destroy(&attr);
}

void* MakeAltStack() {
  void* stack = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (stack == MAP_FAILED) return nullptr;
  stack_t ss{};
  ss.ss_sp = stack;
  ss.ss_size = kAltStackSize;
  if (sigaltstack(&ss, nullptr) != 0) {
    munmap(stack, kAltStackSize);
    return nullptr;
  }
  return stack;
}

// ---- Installed state. ------------------------------------------------------

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

std::atomic<bool> g_installed{false};
int g_pipe[2] = {-1, -1};  // for reading memory without faulting
bool g_extended_dump = false;
char g_folder[1024];
// The reporter's arguments; the record's path goes into the last slot.
std::vector<std::string> g_reporter_strings;
char* g_reporter_argv[34];
size_t g_reporter_argc = 0;

std::atomic<pid_t> g_owner{0};
RawFaultRecord g_record;
char g_record_path[1200];
std::atomic<bool> g_record_written{false};

// ---- Async-signal-safe helpers. --------------------------------------------

void CopyText(char* to, size_t size, const char* from) {
  size_t i = 0;
  for (; i + 1 < size && from[i] != '\0'; ++i) to[i] = from[i];
  to[i] = '\0';
}

// Appends the decimal form of `value` to `out` at *pos.
void AppendNumber(char* out, size_t size, size_t* pos, uint64_t value) {
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0 && *pos + 1 < size) out[(*pos)++] = digits[--n];
  out[*pos] = '\0';
}

void AppendText(char* out, size_t size, size_t* pos, const char* text) {
  for (size_t i = 0; text[i] != '\0' && *pos + 1 < size; ++i) out[(*pos)++] = text[i];
  out[*pos] = '\0';
}

void WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    size -= static_cast<size_t>(n);
  }
}

// Copies `size` bytes from `from` into `to` without touching unreadable
// memory: the kernel reads them into a pipe for us and refuses with EFAULT.
// Returns the number of bytes copied (fewer at the first unreadable page).
// Raw system calls: a sanitizer's wrappers of read and write would check
// the stack's guard zones, which a dump reads on purpose.
size_t SafeCopy(void* to, uintptr_t from, size_t size) {
  if (g_pipe[0] < 0) return 0;
  size_t done = 0;
  while (done < size) {
    const uintptr_t at = from + done;
    size_t chunk = 4096 - (at & 4095);  // never across a page
    if (chunk > size - done) chunk = size - done;
    const ssize_t n = syscall(SYS_write, g_pipe[1], reinterpret_cast<const void*>(at), chunk);
    if (n <= 0) break;
    size_t got = 0;
    while (got < static_cast<size_t>(n)) {
      const ssize_t r = syscall(SYS_read, g_pipe[0], static_cast<char*>(to) + done + got,
                                static_cast<size_t>(n) - got);
      if (r <= 0) return done + got;
      got += static_cast<size_t>(r);
    }
    done += static_cast<size_t>(n);
    if (static_cast<size_t>(n) < chunk) break;
  }
  return done;
}

bool ReadWord(uintptr_t address, uint64_t* value) {
  if (address == 0 || address % sizeof(uint64_t) != 0) return false;
  return SafeCopy(value, address, sizeof *value) == sizeof *value;
}

// ---- Filling the record. ---------------------------------------------------

struct Context {
  uintptr_t pc = 0, sp = 0, fp = 0;
};

Context FillRegisters(RawFaultRecord& r, const ucontext_t* uc) {
  Context c;
#if defined(__x86_64__)
  const greg_t* g = uc->uc_mcontext.gregs;
  r.register_set = static_cast<uint32_t>(RegisterSet::kX86_64);
  const int order[][2] = {{kRax, REG_RAX}, {kRbx, REG_RBX}, {kRcx, REG_RCX}, {kRdx, REG_RDX},
                          {kRsi, REG_RSI}, {kRdi, REG_RDI}, {kRbp, REG_RBP}, {kRsp, REG_RSP},
                          {kR8, REG_R8},   {kR9, REG_R9},   {kR10, REG_R10}, {kR11, REG_R11},
                          {kR12, REG_R12}, {kR13, REG_R13}, {kR14, REG_R14}, {kR15, REG_R15},
                          {kRip, REG_RIP}, {kEfl, REG_EFL}};
  for (const auto& pair : order) r.registers[pair[0]] = static_cast<uint64_t>(g[pair[1]]);
  // cs, gs and fs share one slot; ss follows when the kernel saved it.
  const uint64_t selectors = static_cast<uint64_t>(g[REG_CSGSFS]);
  r.registers[kCs] = selectors & 0xFFFF;
  r.registers[kGs] = selectors >> 16 & 0xFFFF;
  r.registers[kFs] = selectors >> 32 & 0xFFFF;
  constexpr unsigned long kSavedSs = 0x2;  // UC_SIGCONTEXT_SS
  r.registers[kSs] = (uc->uc_flags & kSavedSs) != 0 ? selectors >> 48 & 0xFFFF : 0;
  c.pc = static_cast<uintptr_t>(g[REG_RIP]);
  c.sp = static_cast<uintptr_t>(g[REG_RSP]);
  c.fp = static_cast<uintptr_t>(g[REG_RBP]);
#elif defined(__aarch64__)
  r.register_set = static_cast<uint32_t>(RegisterSet::kAarch64);
  for (int i = 0; i < 31; ++i) r.registers[i] = uc->uc_mcontext.regs[i];
  r.registers[kArmSp] = uc->uc_mcontext.sp;
  r.registers[kArmPc] = uc->uc_mcontext.pc;
  r.registers[kArmPstate] = uc->uc_mcontext.pstate;
  c.pc = uc->uc_mcontext.pc;
  c.sp = uc->uc_mcontext.sp;
  c.fp = uc->uc_mcontext.regs[29];
#else
  (void)uc;
  r.register_set = static_cast<uint32_t>(RegisterSet::kNone);
#endif
  return c;
}

AccessKind AccessOf(int signal, const ucontext_t* uc) {
  if (signal != SIGSEGV) return AccessKind::kNone;
#if defined(__x86_64__)
  // The page-fault error code: bit 1 set for a write. Other traps (a
  // general protection fault) leave no such code and count as reads.
  constexpr greg_t kPageFault = 14;
  if (uc->uc_mcontext.gregs[REG_TRAPNO] == kPageFault &&
      (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0) {
    return AccessKind::kWrite;
  }
#else
  (void)uc;
#endif
  return AccessKind::kRead;
}

// The frame-pointer chain: at each frame the saved link sits at fp and the
// return address just above it.
void WalkFrames(RawFaultRecord& r, uintptr_t fp) {
  for (size_t i = 0; i < CExceptionExt::kTraceLength; ++i) {
    uint64_t link = 0, ret = 0;
    if (fp == 0 || !ReadWord(fp, &link) || link == 0 || !ReadWord(fp + 8, &ret)) {
      r.frame_trace[i] = 0;
      fp = 0;
      continue;
    }
    r.frame_trace[i] = ret;
    // A chain that does not climb the stack is corrupt; stop there.
    fp = link > fp ? static_cast<uintptr_t>(link) : 0;
  }
}

void DumpStack(RawFaultRecord& r, uintptr_t sp) {
  r.stack_dump_wanted = 1;
  r.stack_dump_address = sp;
  size_t limit = kStackDumpLimit;
  if (t_state.stack_high > sp && t_state.stack_high - sp < limit) {
    limit = t_state.stack_high - sp;
  }
  const size_t got = SafeCopy(r.stack_dump, sp, limit);
  r.stack_dump_length = static_cast<uint32_t>(got);
  // Short of the stack's known top (or of the limit without one): a page
  // could not be read.
  r.stack_dump_faulted = got < limit ? 1 : 0;
}

void StartReporter() {
  if (g_reporter_argc == 0 || !g_record_written.load()) return;
  g_reporter_argv[g_reporter_argc] = g_record_path;
  g_reporter_argv[g_reporter_argc + 1] = nullptr;
  // A raw clone rather than fork(): no atfork handlers, which may take locks
  // the faulting thread holds.
  const long child = syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    setsid();
    execve(g_reporter_argv[0], g_reporter_argv, environ);
    _exit(127);
  }
}

[[noreturn]] void Finish() {
  StartReporter();
  _exit(kFaultExitCode);
}

void OnWatchdog(int) { Finish(); }

void WriteRecordFile() {
  size_t pos = 0;
  g_record_path[0] = '\0';
  AppendText(g_record_path, sizeof g_record_path, &pos, g_folder);
  AppendText(g_record_path, sizeof g_record_path, &pos, "/fault-");
  AppendNumber(g_record_path, sizeof g_record_path, &pos, static_cast<uint64_t>(g_record.fault_time));
  AppendText(g_record_path, sizeof g_record_path, &pos, "-");
  AppendNumber(g_record_path, sizeof g_record_path, &pos, static_cast<uint64_t>(g_record.pid));
  AppendText(g_record_path, sizeof g_record_path, &pos, ".raw");
  const int fd = open(g_record_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  WriteAll(fd, &g_record, sizeof g_record);
  // The memory map names the module of each address.
  const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (maps >= 0) {
    static char buffer[4096];
    size_t total = 0;
    for (;;) {
      const ssize_t n = read(maps, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || total >= kMaxMapText) break;
      WriteAll(fd, buffer, static_cast<size_t>(n));
      total += static_cast<size_t>(n);
    }
    close(maps);
  }
  close(fd);
  g_record_written.store(true);
}

// Adds what the unwinder finds to the record file. It follows the unwind
// tables through the signal frame, so it also sees the caller of a
// function that keeps no frame pointer.
void AddUnwoundTrace(uintptr_t pc) {
  void* frames[64];
  const int n = backtrace(frames, 64);
  int start = -1;
  for (int i = 0; i < n; ++i) {
    if (reinterpret_cast<uintptr_t>(frames[i]) == pc) {
      start = i + 1;
      break;
    }
  }
  if (start < 0) return;
  uint32_t count = 0;
  for (int i = start; i < n && count < CExceptionExt::kTraceLength; ++i) {
    g_record.unwound_trace[count++] = reinterpret_cast<uintptr_t>(frames[i]);
  }
  g_record.unwound_count = count;
  const int fd = open(g_record_path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  pwrite(fd, g_record.unwound_trace, sizeof g_record.unwound_trace,
         offsetof(RawFaultRecord, unwound_trace));
  pwrite(fd, &g_record.unwound_count, sizeof g_record.unwound_count,
         offsetof(RawFaultRecord, unwound_count));
  close(fd);
}

void Notice() {
  char line[1400];
  size_t pos = 0;
  line[0] = '\0';
  AppendText(line, sizeof line, &pos, g_record.app_name[0] ? g_record.app_name : "program");
  AppendText(line, sizeof line, &pos, ": stopped by exception ");
  const std::string_view name = ExceptionName(g_record.code);
  char name_text[40];
  CopyText(name_text, name.size() + 1 < sizeof name_text ? name.size() + 1 : sizeof name_text,
           name.data());
  AppendText(line, sizeof line, &pos, name.empty() ? "(unknown)" : name_text);
  if (g_record_written.load()) {
    AppendText(line, sizeof line, &pos, "; fault record ");
    AppendText(line, sizeof line, &pos, g_record_path);
  }
  AppendText(line, sizeof line, &pos, "\n");
  WriteAll(STDERR_FILENO, line, pos);
}

void OnFault(int signal, siginfo_t* info, void* context) {
  const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
  pid_t expected = 0;
  if (!g_owner.compare_exchange_strong(expected, self)) {
    if (expected == self) Finish();  // a fault inside this handler
    for (;;) pause();                // the first thread ends the process
  }

  // Whatever happens below, the process ends within the watchdog's time.
  struct sigaction watchdog {};
  watchdog.sa_handler = OnWatchdog;
  sigaction(SIGALRM, &watchdog, nullptr);
  sigset_t alarm_set;
  sigemptyset(&alarm_set);
  sigaddset(&alarm_set, SIGALRM);
  sigprocmask(SIG_UNBLOCK, &alarm_set, nullptr);
  alarm(kWatchdogSeconds);

  const auto* uc = static_cast<const ucontext_t*>(context);
  RawFaultRecord& r = g_record;
  std::memset(&r, 0, sizeof r);
  std::memcpy(r.magic, RawFaultRecord::kMagic, sizeof r.magic);
  r.version = RawFaultRecord::kVersion;
  r.size = sizeof r;
  r.signal = signal;
  r.si_code = info != nullptr ? info->si_code : 0;
  r.pid = static_cast<int32_t>(getpid());
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  r.fault_time = now.tv_sec;
  r.start_time = g_start_time.load();

  const Context c = FillRegisters(r, uc);
  const uintptr_t touched = info != nullptr ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
  // A fault just below the thread's stack is the stack running out.
  const bool overflow = signal == SIGSEGV && t_state.stack_low != 0 &&
                        touched + 65536 >= t_state.stack_low && touched < t_state.stack_low + 4096;
  r.code = ExceptionCodeForSignal(signal, r.si_code, overflow);
  r.fault_address = c.pc;
  const AccessKind access = AccessOf(signal, uc);
  r.access = static_cast<uint32_t>(access);
  if (access != AccessKind::kNone) r.access_address = touched;

  CopyText(r.area, sizeof r.area, t_state.area);
  CopyText(r.app_name, sizeof r.app_name, g_app_name.Get());
  CopyText(r.module_path, sizeof r.module_path, g_module_path.Get());
  CopyText(r.version_text, sizeof r.version_text, g_version.Get());
  CopyText(r.status, sizeof r.status, g_status.Get());
  CopyText(r.current_view, sizeof r.current_view, g_current_view.Get());
  CopyText(r.visited_views, sizeof r.visited_views, g_visited_views.Get());
  if (signal == SIGABRT) CopyText(r.detail, sizeof r.detail, g_detail.Get());

  WalkFrames(r, c.fp);
  if (g_extended_dump && c.sp != 0) DumpStack(r, c.sp);

  WriteRecordFile();
  AddUnwoundTrace(c.pc);
  Notice();
  Finish();
}

// An uncaught exception: keep what it said for the report, then abort.
[[noreturn]] void OnTerminate() {
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) {
      std::lock_guard<std::mutex> lock(g_text_mutex);
      g_detail.Set(std::string("Uncaught exception: ") + e.what());
    } catch (...) {
      std::lock_guard<std::mutex> lock(g_text_mutex);
      g_detail.Set("Uncaught exception of an unknown type");
    }
  }
  std::abort();
}

}  // namespace

bool InstallFaultCapture(const FaultCaptureOptions& options, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(options.report_folder, ec);
  if (ec || options.report_folder.empty() ||
      options.report_folder.size() >= sizeof g_folder) {
    *error = "cannot make the fault report folder '" + options.report_folder +
             "': " + (ec ? ec.message() : std::string("invalid name"));
    return false;
  }
  ::chmod(options.report_folder.c_str(), 0700);
  if (options.reporter.size() + 2 > sizeof g_reporter_argv / sizeof g_reporter_argv[0]) {
    *error = "the reporter command is too long";
    return false;
  }
  if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  // The unwinder loads its library on first use: do it now, not in the
  // handler.
  void* warm[4];
  backtrace(warm, 4);

  // Only this thread runs while the options change hands (start-up).
  CopyText(g_folder, sizeof g_folder, options.report_folder.c_str());
  g_extended_dump = options.extended_stack_dump;
  g_reporter_strings = options.reporter;
  g_reporter_argc = g_reporter_strings.size();
  for (size_t i = 0; i < g_reporter_argc; ++i) {
    g_reporter_argv[i] = g_reporter_strings[i].data();
  }
  g_reporter_argv[g_reporter_argc] = nullptr;

  if (!g_installed.load()) {
    // The calling thread's guard lives as long as the process.
    static FaultGuard* main_guard = new FaultGuard("");
    (void)main_guard;
    std::set_terminate(OnTerminate);
    struct sigaction action {};
    action.sa_sigaction = OnFault;
    // SA_NODEFER: a fault inside the handler re-enters it and is noticed.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) {
      if (sigaction(signal, &action, nullptr) != 0) {
        *error = std::string("cannot install the fault handler: ") + std::strerror(errno);
        return false;
      }
    }
    g_installed.store(true);
  }
  return true;
}

bool FaultCaptureInstalled() { return g_installed.load(); }

FaultGuard::FaultGuard(std::string_view area) {
  const size_t n = area.size() < sizeof t_state.area - 1 ? area.size() : sizeof t_state.area - 1;
  std::memcpy(t_state.area, area.data(), n);
  t_state.area[n] = '\0';
  RecordStackBounds();
  stack_t current{};
  had_previous_ = sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0;
  if (!had_previous_) alt_stack_ = MakeAltStack();
}

FaultGuard::~FaultGuard() {
  t_state.area[0] = '\0';
  if (alt_stack_ != nullptr) {
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(alt_stack_, kAltStackSize);
  }
}

void SetFaultProgramInfo(std::string_view app_name, std::string_view module_path,
                         std::string_view version,
                         std::chrono::system_clock::time_point start_time) {
  std::lock_guard<std::mutex> lock(g_text_mutex);
  g_app_name.Set(app_name);
  g_module_path.Set(module_path);
  g_version.Set(version);
  g_start_time.store(
      std::chrono::duration_cast<std::chrono::seconds>(start_time.time_since_epoch()).count());
}

void SetFaultStatus(std::string_view status) {
  std::lock_guard<std::mutex> lock(g_text_mutex);
  g_status.Set(status);
}

void SetFaultViews(std::string_view current, const std::vector<std::string>& visited) {
  std::string joined;
  for (const std::string& name : visited) {
    if (joined.size() + name.size() + 1 >= sizeof(RawFaultRecord::visited_views)) break;
    joined += name;
    joined += '\n';
  }
  std::lock_guard<std::mutex> lock(g_text_mutex);
  g_current_view.Set(current);
  g_visited_views.Set(joined);
}

std::optional<SimulatedFault> ParseSimulatedFault(std::string_view name) {
  if (name == "read") return SimulatedFault::kRead;
  if (name == "divide") return SimulatedFault::kDivide;
  if (name == "abort") return SimulatedFault::kAbort;
  return std::nullopt;
}

// The faults must reach the processor as written, also in the sanitizer
// build, whose checks would otherwise stop the program first.
__attribute__((no_sanitize("undefined", "address"), noinline)) void SimulateFault(
    SimulatedFault fault) {
  static volatile uintptr_t zero = 0;
  switch (fault) {
    case SimulatedFault::kRead: {
      const volatile int* nowhere = reinterpret_cast<const volatile int*>(zero);
      [[maybe_unused]] volatile int value = *nowhere;
      break;
    }
    case SimulatedFault::kDivide: {
      volatile int divisor = static_cast<int>(zero);
      [[maybe_unused]] volatile int quotient = 1000 / divisor;
      break;
    }
    case SimulatedFault::kAbort:
      try {
        throw std::runtime_error("a simulated fault that nothing catches");
      } catch (...) {
        std::terminate();
      }
  }
  // Not reached while the capture is installed; without it the process
  // ends the ordinary way.
  std::abort();
}

}  // namespace quarry
