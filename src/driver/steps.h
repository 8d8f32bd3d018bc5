// The steps that the driver's files share: one solve and its typed result,
// the table of a run's result files, the solver program, the pool of child
// processes, and the end of a run; only the files of this directory include
// this header.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver.h"
#include "input/input.h"
#include "lp/lp.h"
#include "model/model.h"
#include "score/score.h"

namespace domlp {

// What a solve works on: the tables of a run or of a fold, its program and,
// where it is asked for, the graded confidence (from the observed pairs
// alone, the same for every fraction). A solve sets the program's bound and
// the values of the domain pairs and test pairs here, where the writers
// read them: each solve of a list or a cross-validation runs in a child
// process, on its own copy.
struct run_tables {
  node_table t;
  pair_set obs, test, dint;
  lp_rows rows;
  std::optional<graded> grade;
  known_pairs known;
  std::vector<std::string> names;  // by domain, with --domain-names; empty otherwise
};

// What one solve of a fraction finds besides the values it leaves in its
// tables: every member is one column of the results, by test pair or by
// domain pair, empty when it is not asked for. The job pool hands it back
// from a child process whole (write_result, read_result): a new column is a
// new member, nothing else.
struct solve_result {
  double optimum = 0.0;
  std::vector<double> score;  // by test pair, as its `value` holds it
  // With ranges: by domain pair, its lowest and highest value over all
  // optimal solutions; by test pair, the bounds of its score.
  std::vector<double> low, high, test_low, test_high;
  // With graded or baselines: by test pair, its confidence and its basis
  // domain pair (-1 for none); with baselines, the rate score and the two
  // counts it is measured against.
  std::vector<double> graded;
  std::vector<int> basis;
  std::vector<double> rate, credit, support;
  // With a reference list: by domain pair, whether it is known.
  std::vector<char> known;
};
// The result as bytes, and back; read_result returns false when the bytes
// are not one result's.
std::string write_result(const solve_result& r);
bool read_result(std::string_view bytes, solve_result& r);

// How a solve treats the solver's files: an ordinary run keeps the LP file
// and glpsol's report under their derived names, says so and shows the
// solver's output; a fold's are temporary and its solver quiet.
enum class solver_files { kept, temporary };

// One solve: the fraction, its solver files and, for a fold, the start of
// the line that says which step failed ("fold 2 of 5").
struct solve_job {
  float frac = 0.0f;
  solver_files files = solver_files::kept;
  std::string where;
};

// The one solve of every run: the program at the job's fraction, its
// values, the test pairs' scores, and what the options ask for besides.
// Returns nothing after printing why it failed.
std::optional<solve_result> solve_one(const options& o, const solve_job& job, run_tables& in);

// The LP file and the solver's report of fraction `frac`.
std::vector<std::string> solve_files(const options& o, float frac);

// Solves `lp` with glpsol and reads its report into `dint`; with `keep`, the
// report stays as `report` and glpsol's output is shown. Returns 0, or 1
// after printing why.
int solve_glpsol(const std::string& lp, const std::string& report, pair_set& dint, bool keep);
// Removes a report left by an earlier run, so that it is never read as the
// report of this one. Returns 0, or 1 after printing why.
int remove_stale(const std::string& report);

// Runs `argv` (searched on PATH) without a shell and waits for it; with
// `quiet` its standard streams go to /dev/null. Returns the wait status, or
// -1 with errno set when it could not be started. An interruption meanwhile
// is passed on to it, waited for, and then thrown.
int spawn_wait(const std::vector<std::string>& argv, bool quiet);

// Without --solver, a line on standard error before a program of `rows`
// rows (the budget row included) that glpsol would take minutes on.
void hint_solver(const options& o, size_t rows);

// The result files of a fraction's run, in the order they are renamed into
// place (the first last), and their writing. Returns 0, or 1 after printing
// why.
std::vector<std::string> result_names(const options& o, float frac);
int write_results(const options& o, float frac, const run_tables& in, const solve_result& r);
// The summary line of a fraction's run on standard error, and with --known
// the table of known pairs after it.
void print_summary(const options& o, float frac, const run_tables& in, const solve_result& r);

// Independent solves, each in a child process of its own, up to `jobs` at
// once. With more than one at once, the console output of each is held back
// and shown whole, in the order the solves were submitted.
class job_pool {
 public:
  // Runs in the child: fills the result it hands back and returns the exit
  // status, 0 or 1.
  using work_fn = std::function<int(solve_result& out)>;
  // Runs in this process, in the order of submission, once the solve and
  // all earlier ones have ended: its exit status (128 + N when a signal
  // ended it) and, after a status of 0, its result.
  using done_fn = std::function<void(int status, const solve_result* out)>;

  explicit job_pool(int jobs);
  ~job_pool();
  job_pool(const job_pool&) = delete;
  job_pool& operator=(const job_pool&) = delete;

  // Starts `work` once fewer than `jobs` solves run; `outputs` names the
  // files it writes. An interruption stops every solve, reports those that
  // ended, and is thrown.
  void submit(work_fn work, done_fn done, std::vector<std::string> outputs);
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

// The end of a list of fractions: 0 when none failed, otherwise 1 after
// naming the failed ones' tags.
int end_of_list(const std::vector<std::string>& failed, size_t fractions);
// The tags joined by spaces.
std::string joined(const std::vector<std::string>& tags);

// Flushes standard output. Returns 0, or 1 after printing why it failed.
int flush_stdout();

}  // namespace domlp
