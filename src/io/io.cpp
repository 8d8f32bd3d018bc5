// Input files (gzip through zlib), lines of any length, output files renamed
// into place when complete and groups of them renamed together, the
// interrupting signals, and "%f" and "%g" as printf renders them.
#include "io.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace domlp {

namespace {

// The state shared with the signal handler: the signal that came, and
// whether it ends the process at once.
volatile std::sig_atomic_t caught_signal = 0;
volatile std::sig_atomic_t exit_at_once = 0;
volatile std::sig_atomic_t quiet_exit = 0;
// The file that an exit at once removes first, or null.
std::atomic<const char*> removed_on_exit{nullptr};

void remove_unfinished() {
  if (const char* name = removed_on_exit.load()) ::unlink(name);
}

void on_signal(int sig) {
  if (sig == SIGCHLD) return;
  caught_signal = sig;
  if (!exit_at_once) return;
  remove_unfinished();
  if (!quiet_exit) say_interrupted(sig);
  _exit(128 + sig);
}

// A closed pipe on an output ends the run as it ends any program that was
// not told to ignore it, but first removes the file that an exit at once
// would remove: CLP's log may meet a closed pipe while the LP file is being
// written beside it.
void on_broken_pipe(int sig) {
  remove_unfinished();
  struct sigaction sa = {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, nullptr);
  raise(sig);
}

sigset_t interrupting_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&set, sig);
  return set;
}

}  // namespace

void catch_signals() {
  struct sigaction sa = {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a read of a pipe returns at once. SIGCHLD is caught only
  // so that a wait for the solver wakes when it ends.
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaction(sig, &sa, nullptr);
  struct sigaction pipe = {};
  if (sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL) {
    pipe.sa_handler = on_broken_pipe;
    sigemptyset(&pipe.sa_mask);
    pipe.sa_flags = 0;
    sigaction(SIGPIPE, &pipe, nullptr);
  }
}

int interrupted() {
  return caught_signal;
}

void check_interrupt() {
  if (caught_signal) throw interruption{caught_signal};
}

void say_interrupted(int sig) {
  char msg[] = "interrupted by signal NN: no results written\n";
  char* p = msg + 22;  // at "NN"
  if (sig >= 10) *p++ = static_cast<char>('0' + sig / 10 % 10);
  *p++ = static_cast<char>('0' + sig % 10);
  const char tail[] = ": no results written\n";
  for (char c : tail) *p++ = c;  // the NUL too
  if (write(2, msg, static_cast<size_t>(p - 1 - msg)) < 0) return;
}

void quiet_interruptions() {
  quiet_exit = 1;
}

exit_on_signal::exit_on_signal() {
  exit_at_once = 1;
  if (caught_signal) {  // came before
    exit_at_once = 0;
    check_interrupt();
  }
}

exit_on_signal::~exit_on_signal() {
  exit_at_once = 0;
}

removed_at_once::removed_at_once(std::string name) : name_(std::move(name)) {
  if (!name_.empty()) removed_on_exit = name_.c_str();
}

removed_at_once::~removed_at_once() {
  removed_on_exit = nullptr;
}

signals_held::signals_held() {
  sigset_t set = interrupting_signals();
  sigprocmask(SIG_BLOCK, &set, &old_);
}

signals_held::~signals_held() {
  sigprocmask(SIG_SETMASK, &old_, nullptr);
}

// A compressed input: zlib's stream and the message of its last error.
struct input_file::gz_state {
  gzFile gz = nullptr;
  std::string error;
};

namespace {

ssize_t gz_read(void* cookie, char* buf, size_t size) {
  auto* s = static_cast<input_file::gz_state*>(cookie);
  int n = gzread(s->gz, buf, static_cast<unsigned>(std::min<size_t>(size, 1 << 30)));
  int code = Z_OK;
  const char* msg = gzerror(s->gz, &code);
  // A truncated file reads as its end, with Z_BUF_ERROR set.
  if (n >= 0 && code != Z_BUF_ERROR) return n;
  if (code == Z_ERRNO) return -1;  // errno tells
  // The message is "NAME: reason"; NAME is the descriptor's.
  const char* colon = std::strstr(msg, ": ");
  s->error = colon ? colon + 2 : msg;
  errno = EILSEQ;
  return -1;
}

int gz_close(void* cookie) {
  auto* s = static_cast<input_file::gz_state*>(cookie);
  return gzclose(s->gz) == Z_OK ? 0 : -1;
}

}  // namespace

input_file::input_file() = default;

input_file::~input_file() {
  f_.reset();  // closes the zlib stream through gz_close, before gz_ goes
}

bool input_file::open(const std::string& name) {
  if (!name.ends_with(".gz")) {
    f_.reset(std::fopen(name.c_str(), "r"));
    return f_ != nullptr;
  }
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  gz_ = std::make_unique<gz_state>();
  gz_->gz = gzdopen(fd, "rb");
  if (!gz_->gz) {
    ::close(fd);
    errno = ENOMEM;
    return false;
  }
  gzbuffer(gz_->gz, 1 << 17);
  // zlib would pass a file that is not compressed through as it is: that is
  // refused, an empty file included. The look at its first bytes is a read:
  // its failure (a directory) is a read error, as with any other file.
  if (gzdirect(gz_->gz)) {
    int code = Z_OK;
    gzerror(gz_->gz, &code);
    gz_->error = code == Z_ERRNO ? std::strerror(errno) : "not in gzip format";
    gzclose(gz_->gz);
    errno = EILSEQ;
    return false;
  }
  f_.reset(fopencookie(gz_.get(), "r", cookie_io_functions_t{gz_read, nullptr, nullptr, gz_close}));
  if (!f_) {
    gzclose(gz_->gz);
    errno = ENOMEM;
  }
  return f_ != nullptr;
}

std::string input_file::why(int err) const {
  if (err == EILSEQ && gz_ && !gz_->error.empty()) return gz_->error;
  return std::strerror(err);
}

line_reader::~line_reader() {
  std::free(buf_);
}

bool line_reader::next(std::string_view& line) {
  check_interrupt();
  errno = 0;
  ssize_t n = getline(&buf_, &cap_, f_);
  // A read that fails inside a line ends it early and leaves the error
  // indicator set: that part line is not returned, and errno still holds
  // the reason, which a later call would not see.
  if (n < 0 || std::ferror(f_)) {
    check_interrupt();
    if (std::ferror(f_)) err_ = errno ? errno : EIO;
    return false;
  }
  ++line_no_;
  had_newline_ = buf_[n - 1] == '\n';
  line = std::string_view(buf_, static_cast<size_t>(n - had_newline_));
  return true;
}

namespace {

// The temporary name is the final one with ".tmpPID" added; when that is
// longer than the file system allows, ".tmpPID" alone in the same directory,
// numbered when several files of the run need one: candidate `n` of stem
// `stem` (the final name or its directory).
std::string temp_candidate(const std::string& stem, int pid, int n) {
  std::string tmp = stem + ".tmp" + std::to_string(pid);
  if (n > 0) tmp.append(".").append(std::to_string(n));
  return tmp;
}

constexpr int temp_candidates = 100;

}  // namespace

bool output_file::open(const std::string& final_name) {
  discard();
  final_ = final_name;
  std::string stem = final_;
  int fd = -1;
  for (int n = 0; fd < 0 && n < temp_candidates; ++n) {
    tmp_ = temp_candidate(stem, getpid(), n);
    fd = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ENAMETOOLONG && stem == final_) {
      stem = final_.substr(0, final_.rfind('/') + 1);
      n = -1;
    } else if (fd < 0 && errno != EEXIST) {
      break;
    }
  }
  if (fd < 0) {
    tmp_.clear();
    return false;
  }
  f_ = fdopen(fd, "w");
  if (!f_) {
    int e = errno;
    ::close(fd);
    discard();
    errno = e;
  }
  return f_ != nullptr;
}

bool output_file::close() {
  errno = 0;
  bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
  int e = errno;
  // A write that failed long before left no reason behind: a byte written
  // at the end of the file, which is removed, finds it again (a full disk,
  // the file size limit).
  if (!ok && e == 0) {
    const int fd = fileno(f_);
    const off_t end = lseek(fd, 0, SEEK_END);
    if (end >= 0 && pwrite(fd, "", 1, end) < 0) e = errno;
  }
  if (std::fclose(f_) != 0 && ok) {
    ok = false;
    e = errno;
  }
  f_ = nullptr;
  if (!ok) errno = e ? e : EIO;
  return ok;
}

bool output_file::commit() {
  if (std::rename(tmp_.c_str(), final_.c_str()) != 0) return false;
  tmp_.clear();
  return true;
}

void output_file::discard() {
  int e = errno;
  if (f_) std::fclose(f_);
  f_ = nullptr;
  if (!tmp_.empty()) ::unlink(tmp_.c_str());
  tmp_.clear();
  errno = e;
}

int output_group::open(const std::vector<std::string>& names) {
  std::error_code ec;
  for (const std::string& name : names)
    if (std::filesystem::is_directory(name, ec)) return write_failed(name, EISDIR);
  files_ = std::vector<output_file>(names.size());
  for (size_t x = 0; x < names.size(); ++x)
    if (!files_[x].open(names[x])) return write_failed(names[x], errno);
  return 0;
}

int output_group::commit() {
  // Files discarded before are left out.
  for (output_file& f : files_)
    if (f.stream() && !f.close()) return write_failed(f.name(), errno);
  signals_held held;
  check_interrupt();
  for (size_t x = files_.size(); x-- > 0;)
    if (!files_[x].temp_name().empty() && !files_[x].commit())
      return write_failed(files_[x].name(), errno);
  return 0;
}

int write_together(const std::vector<file_writer>& files) {
  std::vector<std::string> names;
  for (const file_writer& f : files) names.push_back(f.name);
  output_group group;
  if (group.open(names)) return 1;
  // Two at a time, each file by one thread, the next file to whichever is
  // free: the writers only read what they write out. They go from the last
  // to the first: a run's largest files come late in its group, and a long
  // one started last would finish alone.
  std::atomic<long> left{static_cast<long>(files.size())};
  auto write_next = [&] {
    for (long x; (x = --left) >= 0;) files[x].write(group.stream(x));
  };
  {
    std::future<void> other;
    if (files.size() > 1) other = start_aside(write_next);
    write_next();
    if (other.valid()) other.get();
  }
  return group.commit();
}

void remove_temp_files(const std::vector<std::string>& names, int pid) {
  for (const std::string& name : names) {
    std::string dir = name.substr(0, name.rfind('/') + 1);
    for (const std::string& stem : {name, dir})
      for (int n = 0; n < temp_candidates; ++n) ::unlink(temp_candidate(stem, pid, n).c_str());
  }
}

int write_failed(const std::string& name, int err) {
  std::fprintf(stderr, "cannot write '%s': %s\n", name.c_str(), std::strerror(err));
  return 1;
}

namespace {

std::string format_as(const char* format, double v) {
  int len = std::snprintf(nullptr, 0, format, v);
  std::string s(static_cast<size_t>(len), '\0');
  std::snprintf(s.data(), s.size() + 1, format, v);
  return s;
}

}  // namespace

std::string format_f(double v) {
  return format_as("%f", v);
}

std::string format_g(double v) {
  return format_as("%g", v);
}

void append_g(std::string& out, double v) {
  char text[32];
  // A whole number below 10^6 is its digits in "%g" ("-0" for minus zero);
  // many values are, and the integer conversion costs far less.
  if (std::fabs(v) < 1e6 && v == std::trunc(v)) {
    char* end = text;
    if (v == 0.0 && std::signbit(v)) *end++ = '-';
    out.append(text, std::to_chars(end, text + sizeof text, static_cast<long>(v)).ptr);
    return;
  }
  // to_chars in general form with precision 6 is "%g" in the C locale.
  const std::to_chars_result r =
      std::to_chars(text, text + sizeof text, v, std::chars_format::general, 6);
  out.append(text, r.ptr);
}

}  // namespace domlp
