// Helpers shared by the tests: scratch directories, running the program,
// stand-in solvers and in-memory streams.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace domlp_test {

// A fresh directory, removed with everything in it at the end of the test.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // Names of the entries in the directory, sorted.
  std::vector<std::string> list() const;

 private:
  std::string path_;
};

struct run_result {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;
  std::string err;
};

struct run_options {
  std::string cwd = {};          // working directory of the run
  std::string path_prefix = {};  // directory put first on PATH (a stand-in glpsol)
  bool no_system_path = false;   // PATH is only path_prefix (glpsol missing)
  long fsize_limit = -1;         // RLIMIT_FSIZE in bytes, SIGXFSZ ignored, when >= 0
  bool merge_stderr = false;     // stderr goes to the stdout file (result in `out`)
  // When set, stdout goes to this existing file instead (such as /dev/full);
  // it is opened for writing, never created or truncated.
  std::string stdout_to = {};
  // Run as root, the program runs as the unprivileged run user instead, so
  // that file permissions bind it (see hand_to_run_user).
  bool unprivileged = false;
};

// The user and group an unprivileged run is made as when the tests run as
// root (nobody, nogroup).
constexpr unsigned kRunUserId = 65534;

// Run as root, gives `path` and everything under it to the run user, so that
// an unprivileged run can use it as its owner would; otherwise does nothing.
void hand_to_run_user(const std::string& path);

// Whether an unprivileged run is stopped by file permissions: it cannot read
// a file of mode 000 that it owns. (A user with the capability to override
// them reads it all the same.)
bool permissions_bind_run_user();

// Runs the program built beside the tests with `args`.
run_result run_domlp(const std::vector<std::string>& args, const run_options& opt);

// The three input files of a run.
struct inputs {
  std::string obs;
  std::string dom;
  std::string test;
};

// Writes `in` into `d` as obs.txt, dom.txt and test.txt.
void write_inputs(const temp_dir& d, const inputs& in);

// Runs the program with `d` as its working directory.
run_result run_in(const temp_dir& d, const std::vector<std::string>& args, run_options opt = {});

// The count lines a run prints on standard output: the proteins and pairs
// after each pair file, the kept domains and the domain pairs.
std::string count_lines(int prot1, int pairs1, int prot2, int pairs2, int ndom, int ndint);

bool starts_with(const std::string& s, const std::string& prefix);
bool ends_with(const std::string& s, const std::string& suffix);

// What a call printed on standard output and standard error.
struct captured {
  std::string out;
  std::string err;
};

template <class F>
captured capture(F&& f) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  f();
  captured c;
  c.out = testing::internal::GetCapturedStdout();
  c.err = testing::internal::GetCapturedStderr();
  return c;
}

// Writes an executable stand-in `glpsol` shell script into `dir` (its body
// follows "#!/bin/sh"); returns the directory to put first on PATH.
std::string fake_glpsol(const temp_dir& dir, const std::string& body);

// Paths of everything below `dir`, relative to it ("sub", "sub/file"),
// sorted.
std::vector<std::string> list_tree(const std::string& dir);

// Reads a whole file; empty when it cannot be read.
std::string slurp(const std::string& path);

// A stream over `text`, for the readers; closed by the caller.
FILE* mem_in(const std::string& text);

// Collects what is written to a stream.
class mem_out {
 public:
  mem_out();
  ~mem_out();
  FILE* stream() const { return f_; }
  // Closes the stream and returns the text written.
  std::string text();

 private:
  FILE* f_ = nullptr;
  char* buf_ = nullptr;
  size_t len_ = 0;
};

// The data files of the source tree's test fixtures.
std::string data_file(const std::string& name);

}  // namespace domlp_test
