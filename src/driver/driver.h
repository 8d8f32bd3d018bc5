// The run driver: the command line, derived file names, the order of the
// steps, the solver runs, and the runs of several solves: a list of
// fractions and a cross-validation.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "input/input.h"
#include "lp/lp.h"
#include "model/model.h"

namespace domlp {

class output_file;

// The command line.
struct options {
  std::string solver = "glpsol";  // "glpsol" or "clp"
  bool solver_given = false;      // --solver on the command line
  std::string obs_file;
  std::string dom_file;
  std::string test_file;     // empty in a cross-validation
  std::vector<float> fracs;  // in the order given
  input_options in;
  std::string outdir;  // where the derived files go; empty: beside their input
  // The stems of the derived file names: the input names without ".gz", in
  // the output directory when there is one.
  std::string obs_stem;
  std::string test_stem;
  int folds = 0;      // a cross-validation's folds; 0 for an ordinary run
  int negatives = 1;  // negatives per positive
  uint64_t seed = 1;
  int jobs = 1;            // solves run at once
  bool verbose = false;    // CLP's log on standard error
  bool ranges = false;     // each domain pair's range over all optimal solutions
  std::string known_file;  // a reference list of interacting domain pairs
  bool graded = false;     // each domain pair's and test pair's graded confidence
  bool baselines = false;  // cross-validation: the graded score against counts
};

// Fills `o` from the command line. Returns -1 when the run should go on,
// otherwise the exit status to end with (usage, help, version, bad argument).
int parse_args(int argc, char** argv, options& o);

// The name of a derived file: a stem, the run tag (the fraction as "%f"
// renders it) and `ext`.
std::string derived_name(const std::string& stem, float frac, const char* ext);
// The LP file and the solver's report of fraction `frac`.
std::vector<std::string> solve_files(const options& o, float frac);

// Without --solver, a line on standard error before a program of `rows`
// rows (the budget row included) that glpsol would take minutes on.
void hint_solver(const options& o, size_t rows);

// Runs the whole job; returns the exit status.
int run(const options& o);
int domlp_main(int argc, char** argv);

// One fraction's program of a run's tables: its domain pairs are valued,
// from CLP in memory (its log shown with --verbose only) or from glpsol on
// the LP file `lp`, whose report is kept as `report` when that is not empty;
// with `quiet`, the solver's output is thrown away. Returns 0, or 1 after
// printing why.
int find_values(const options& o, const lp_rows& rows, const pair_set& obs, pair_set& dint,
                const std::string& lp, const std::string& report, bool quiet);

// Runs `argv` (searched on PATH) without a shell and waits for it; with
// `quiet` its standard streams go to /dev/null. Returns the wait status, or
// -1 with errno set when it could not be started. An interruption meanwhile
// is passed on to it, waited for, and then thrown.
int spawn_wait(const std::vector<std::string>& argv, bool quiet);

// Independent solves, each in a child process of its own, up to `jobs` at
// once. With more than one at once, the console output of each is held back
// and shown whole, in the order the solves were submitted.
class job_pool {
 public:
  // Runs in the child: fills `out` (as many values as submitted) and returns
  // the exit status, 0 or 1.
  using work_fn = std::function<int(double* out)>;
  // Runs in this process, in the order of submission, once the solve and
  // all earlier ones have ended: its exit status (128 + N when a signal
  // ended it) and, after a status of 0, its values.
  using done_fn = std::function<void(int status, const double* out)>;

  explicit job_pool(int jobs);
  ~job_pool();
  job_pool(const job_pool&) = delete;
  job_pool& operator=(const job_pool&) = delete;

  // Starts `work` once fewer than `jobs` solves run; `outputs` names the
  // files it writes. An interruption stops every solve, reports those that
  // ended, and is thrown.
  void submit(work_fn work, size_t nout, done_fn done, std::vector<std::string> outputs);
  // Waits for every solve, likewise.
  void wait_all();

  struct job;

 private:
  // Whether `jobs` solves run, so that a submit must wait.
  bool busy();
  void collect(bool block);
  void report();
  void stop_all(int sig);
  int jobs_;
  std::vector<std::unique_ptr<job>> queue_;  // started, not yet reported
};

// A cross-validation of the observed pairs; returns the exit status.
int cross_validate(const options& o);

// Writes files that belong together: each under a temporary name, by its
// writer, in the order given, then all renamed into place at once, the first
// last. Returns 0, or 1 after printing why.
int write_together(const std::vector<std::string>& names,
                   const std::vector<std::function<void(FILE*)>>& writers);
// The steps of write_together, for files written bit by bit: open_together
// creates the temporary files, commit_together closes them and renames them
// into place. Each returns 0, or 1 after printing why.
int open_together(const std::vector<std::string>& names, std::vector<output_file>& out);
int commit_together(std::vector<output_file>& out);

// The end of a list of fractions: 0 when none failed, otherwise 1 after
// naming the failed ones' tags.
int end_of_list(const std::vector<std::string>& failed, size_t fractions);

// Flushes standard output. Returns 0, or 1 after printing why it failed.
int flush_stdout();

}  // namespace domlp
