// Text I/O shared by the readers and writers: lines of any length from a
// stream, output files that appear under their name only when complete, and
// groups of them that appear together.
#pragma once

#include <csignal>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace domlp {

struct file_closer {
  void operator()(FILE* f) const { std::fclose(f); }
};
// A stream opened for reading, closed when it goes out of scope.
using file_ptr = std::unique_ptr<FILE, file_closer>;

// An input file opened for reading, decompressed through zlib when its name
// ends in ".gz". Closed when it goes out of scope.
class input_file {
 public:
  input_file();
  ~input_file();
  input_file(const input_file&) = delete;
  input_file& operator=(const input_file&) = delete;

  // Opens `name`; false with errno set on failure. A ".gz" file that is not
  // in gzip format, or whose first bytes cannot be read, is refused with
  // EILSEQ (a read error), and why() says why.
  bool open(const std::string& name);
  FILE* stream() const { return f_.get(); }
  // The reason of a failed open or read with error `err`: zlib's own message
  // for a damaged compressed file, strerror's otherwise.
  std::string why(int err) const;

  struct gz_state;

 private:
  std::unique_ptr<gz_state> gz_;
  file_ptr f_;
};

// Reads a stream line by line with getline(3); a line is returned whole,
// whatever its length, without its line break.
class line_reader {
 public:
  explicit line_reader(FILE* f) : f_(f) {}
  ~line_reader();
  line_reader(const line_reader&) = delete;
  line_reader& operator=(const line_reader&) = delete;

  // The next line; false at end of input or after a read error (error() != 0).
  bool next(std::string_view& line);
  bool had_newline() const { return had_newline_; }
  int error() const { return err_; }
  long line_no() const { return line_no_; }

 private:
  FILE* f_;
  char* buf_ = nullptr;
  size_t cap_ = 0;
  bool had_newline_ = false;
  int err_ = 0;
  long line_no_ = 0;
};

// The next token of `s` from `pos` on, skipping leading delimiters (a few
// characters); empty at the end. `pos` is left after the token.
inline std::string_view next_token(std::string_view s, size_t& pos, std::string_view delims) {
  auto delim = [&](char c) {
    for (char d : delims)
      if (c == d) return true;
    return false;
  };
  while (pos < s.size() && delim(s[pos])) ++pos;
  size_t start = pos;
  while (pos < s.size() && !delim(s[pos])) ++pos;
  return s.substr(start, pos - start);
}

// An output file written under a temporary name beside its final one and
// renamed over it by commit(), so that a failed or interrupted run never
// leaves a truncated file and an earlier file survives. Removed when not
// committed.
class output_file {
 public:
  output_file() = default;
  ~output_file() { discard(); }
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  // Creates the temporary file; false with errno set on failure.
  bool open(const std::string& final_name);
  FILE* stream() const { return f_; }
  const std::string& temp_name() const { return tmp_; }
  // Flushes, closes and checks the stream; false with errno set on failure
  // (the temporary file stays, for discard() or the destructor).
  bool close();
  // Renames the closed file into place; false with errno set on failure.
  bool commit();
  void discard();
  const std::string& name() const { return final_; }

 private:
  std::string final_;
  std::string tmp_;
  FILE* f_ = nullptr;
};

// A file of a group and what writes it.
struct file_writer {
  std::string name;
  std::function<void(FILE*)> write;
};

// Files that belong together: each written under its temporary name, then
// all renamed into place at once, the first last, so that the first
// replaces an earlier file only when the others did.
class output_group {
 public:
  // Creates the temporary files. Returns 0, or 1 after printing why. A
  // directory under one of the names, whose rename would fail after the
  // others were done, stops it before anything is written.
  int open(const std::vector<std::string>& names);
  FILE* stream(size_t x) const { return files_[x].stream(); }
  // Leaves file `x` out: its temporary file goes, an earlier file stays.
  void discard(size_t x) { files_[x].discard(); }
  // Closes the files and renames them into place, the first last, with the
  // interrupting signals held back so that it is done whole or not at all.
  // Returns 0, or 1 after printing why.
  int commit();

 private:
  std::vector<output_file> files_;
};

// Writes files that belong together, each by its writer, two at once in the
// order given (a writer must only read what it writes out), and renames
// them into place as output_group::commit does. Returns 0, or 1 after
// printing why.
int write_together(const std::vector<file_writer>& files);

// SIGINT, SIGTERM and SIGHUP interrupt a run: from catch_signals() on,
// they only record the signal, which the run checks wherever it reads,
// works or waits long, and then unwinds, removing its temporary files.
void catch_signals();
// The signal that interrupted the run, or 0.
int interrupted();
// What check_interrupt() throws once a signal has come.
struct interruption {
  int sig;
};
void check_interrupt();
// Prints "interrupted by signal N: no results written" (async-signal-safe).
void say_interrupted(int sig);
// In a child process of the run: an interruption that ends it at once does
// so without a message, which its parent gives.
void quiet_interruptions();

// While it lives, a signal ends the process at once with 128 + N: for work
// that cannot look at the signal itself, such as the solver library, during
// which the run has no temporary file to remove.
class exit_on_signal {
 public:
  exit_on_signal();
  ~exit_on_signal();
  exit_on_signal(const exit_on_signal&) = delete;
  exit_on_signal& operator=(const exit_on_signal&) = delete;
};

// While it lives, an interruption that ends the process at once (see
// exit_on_signal) or a closed pipe first removes the file `name`: the
// temporary file of an output that another thread is writing meanwhile,
// which that thread then has no time to remove.
class removed_at_once {
 public:
  explicit removed_at_once(std::string name);
  ~removed_at_once();
  removed_at_once(const removed_at_once&) = delete;
  removed_at_once& operator=(const removed_at_once&) = delete;

 private:
  std::string name_;
};

// Holds the interrupting signals and SIGCHLD back while it lives, so that a
// group of renames is done whole or not at all, and a wait for a child can
// let them in only while it waits.
class signals_held {
 public:
  signals_held();
  ~signals_held();
  const sigset_t& old_mask() const { return old_; }
  signals_held(const signals_held&) = delete;
  signals_held& operator=(const signals_held&) = delete;

 private:
  sigset_t old_;
};

// Runs `work` on a thread of its own, born with the interrupting signals and
// SIGCHLD held back, so that they always come to the threads that wait for
// them (a wait for the solver sleeps until one comes).
template <class Work>
auto start_aside(Work work) {
  signals_held held;
  return std::async(std::launch::async, std::move(work));
}

// Removes the temporary files that output_file::open in process `pid` may
// have made for each of `names`: for a process that was killed before it
// could remove them itself.
void remove_temp_files(const std::vector<std::string>& names, int pid);

// Prints "cannot write 'NAME': REASON" for a failed output.
int write_failed(const std::string& name, int err);

// "%f" of a value, as printf renders it.
std::string format_f(double v);
// "%g" of a value, as printf renders it.
std::string format_g(double v);
// Appends "%g" of a value to `out`, as printf renders it, without printf's
// parsing of a format: for files of a line per pair.
void append_g(std::string& out, double v);

}  // namespace domlp
