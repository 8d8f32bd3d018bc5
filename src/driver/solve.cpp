// One solve of a fraction, the same for an ordinary run, each fraction of a
// list and each fold of a cross-validation: the program's bound, the LP file
// when glpsol reads one, the values, the test pairs' scores and what the
// options ask for besides; and its result as bytes, for the job pool.
#include <boost/pfr.hpp>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "io/io.h"
#include "steps.h"

namespace domlp {

namespace {

// Whether the LP file is written on the second thread while CLP solves the
// program in memory: CLP never reads it.
bool program_aside(const options& o, const solve_job& job) {
  return o.solver == "clp" && job.files == solver_files::kept;
}

// Writes the program into `file`, open under its temporary name, and
// renames it into place. Returns 0, or the error: on the second thread, the
// main thread prints it, so that the order of the messages stays the same.
int finish_program(const run_tables& in, output_file& file) {
  write_lp(file.stream(), in.rows, in.obs, in.dint);
  if (!file.close() || !file.commit()) return errno;
  return 0;
}

// Writes the program: an ordinary run's LP file under its derived name,
// which it says, after removing an earlier run's report (for CLP, only
// opens it in `file`, for finish_program on the second thread); a fold's
// under a temporary name in `file`, only when glpsol reads it. Stores the
// name glpsol reads in `lp`. Returns 0, or 1 after printing why.
int write_program(const options& o, const solve_job& job, const run_tables& in, output_file& file,
                  std::string& lp) {
  std::string name = derived_name(o.obs_stem, job.frac, "lp");
  if (job.files == solver_files::kept) {
    std::fprintf(stderr, "writing %s\n", name.c_str());
    if (!file.open(name)) return write_failed(name, errno);
    if (!program_aside(o, job)) {
      if (int err = finish_program(in, file)) return write_failed(name, err);
      lp = name;
    }
    return remove_stale(derived_name(o.obs_stem, job.frac, "out"));
  }
  if (o.solver != "glpsol" || in.dint.n == 0) return 0;
  if (!file.open(name)) return write_failed(name, errno);
  write_lp(file.stream(), in.rows, in.obs, in.dint);
  if (!file.close()) return write_failed(name, errno);
  lp = file.temp_name();
  return 0;
}

// Values the domain pairs of the program in `in`, from CLP in memory (its
// log shown with --verbose only) or from glpsol on the LP file `lp`, whose
// report is kept as `report` unless `quiet`; with `quiet`, the solver's
// output is thrown away. Returns 0, or 1 after printing why.
int find_values(const options& o, run_tables& in, const std::string& lp, const std::string& report,
                bool quiet) {
  if (in.dint.n == 0) {
    // glpsol rejects an objective without terms, and there is nothing to
    // decide: every domain-pair value stays 0.
    if (!quiet)
      std::fprintf(stderr, "no domain pairs: nothing to solve, %s not run\n", o.solver.c_str());
    return 0;
  }
  if (o.solver == "clp") return solve_clp(in.rows, in.obs, in.dint, quiet || !o.verbose);
  return solve_glpsol(lp, report, in.dint, !quiet);
}

// A fold's line saying which step found nothing; an ordinary run has said
// why already.
std::optional<solve_result> failed(const solve_job& job, const char* what) {
  if (!job.where.empty())
    std::fprintf(stderr, "%s: no %s for fraction %s\n", job.where.c_str(), what,
                 format_f(job.frac).c_str());
  return std::nullopt;
}

template <class T>
void put(std::string& bytes, const T* data, size_t n) {
  // An empty column's data may be null, which memcpy must not be given.
  if (n == 0) return;
  bytes.append(reinterpret_cast<const char*>(data), n * sizeof(T));
}

template <class T>
bool take(std::string_view& bytes, T* data, size_t n) {
  if (n > bytes.size() / sizeof(T)) return false;
  if (n == 0) return true;
  std::memcpy(data, bytes.data(), n * sizeof(T));
  bytes.remove_prefix(n * sizeof(T));
  return true;
}

// What needs no values of the domain pairs: the graded confidence, unless
// a list of fractions has it already, and the test pairs' measures from it.
// It reads the tables' pairs, never their values.
void score_from_counts(const options& o, run_tables& in, solve_result& r) {
  if (!o.graded && !o.baselines) return;
  if (!in.grade) in.grade = grade_dint(in.t, in.obs, in.dint, in.rows);
  calc_confidence_test(in.t, in.dint, *in.grade, in.test, r.graded, r.basis);
  if (o.baselines) {
    calc_rate_test(in.t, in.dint, *in.grade, in.test, r.rate);
    calc_baselines(in.t, in.dint, *in.grade, in.test, r.credit, r.support);
  }
}

}  // namespace

std::optional<solve_result> solve_one(const options& o, const solve_job& job, run_tables& in) {
  in.rows.bound = lp_bound(in.rows.obs_pos.size(), job.frac);
  for (pair& dp : in.dint.item) dp.value = 0.0;
  solve_result r;
  output_file program;  // the LP file or a fold's temporary one, removed unless committed
  std::string lp;
  if (write_program(o, job, in, program, lp)) return std::nullopt;
  // On other threads while the program is solved: with CLP the LP file,
  // and what needs no values; a return or an interruption meanwhile waits
  // for them. The tables are only read, but for the domain pairs' values,
  // which only the solve sets.
  const bool aside = program_aside(o, job);
  const std::string unfinished_name = aside ? program.temp_name() : "";
  std::future<int> written;
  if (aside) written = start_aside([&] { return finish_program(in, program); });
  std::future<void> counted = start_aside([&] { score_from_counts(o, in, r); });
  const bool quiet = job.files == solver_files::temporary;
  {
    removed_at_once unfinished(unfinished_name);
    if (find_values(o, in, lp, derived_name(o.obs_stem, job.frac, "out"), quiet))
      return failed(job, "values");
  }
  if (aside) {
    if (int err = written.get()) {
      write_failed(program.name(), err);
      return std::nullopt;
    }
  }
  check_interrupt();
  calc_prob_test(in.t, in.dint, in.test);
  r.optimum = optimum(in.dint);
  r.score.reserve(in.test.item.size());
  for (const pair& tp : in.test.item) r.score.push_back(tp.value);
  if (o.ranges) {
    if (find_ranges(in.rows, in.dint.item.size(), r.low, r.high)) return failed(job, "ranges");
    calc_range_test(in.t, in.dint, r.low, r.high, in.test, r.test_low, r.test_high);
  }
  if (!o.known_file.empty()) r.known = mark_known(in.t, in.dint, in.known);
  counted.get();
  return r;
}

std::vector<std::string> solve_files(const options& o, float frac) {
  return {derived_name(o.obs_stem, frac, "lp"), derived_name(o.obs_stem, frac, "out")};
}

void hint_solver(const options& o, size_t rows) {
  // Above this many rows glpsol's simplex takes minutes where CLP takes
  // seconds (HACKING.md has the figures).
  constexpr size_t kSlowRows = 40000;
  if (o.solver_given || rows <= kSlowRows) return;
  std::fprintf(stderr,
               "note: glpsol may take minutes on a program of %zu rows; --solver clp solves it in "
               "memory in seconds\n",
               rows);
}

// Each member in its order: a number as its bytes, a column as its length
// and then its elements' bytes.
std::string write_result(const solve_result& r) {
  std::string bytes;
  boost::pfr::for_each_field(r, [&](const auto& field) {
    using T = std::decay_t<decltype(field)>;
    if constexpr (std::is_arithmetic_v<T>) {
      put(bytes, &field, 1);
    } else {
      const uint64_t n = field.size();
      put(bytes, &n, 1);
      put(bytes, field.data(), field.size());
    }
  });
  return bytes;
}

bool read_result(std::string_view bytes, solve_result& r) {
  bool ok = true;
  boost::pfr::for_each_field(r, [&](auto& field) {
    using T = std::decay_t<decltype(field)>;
    if constexpr (std::is_arithmetic_v<T>) {
      ok = ok && take(bytes, &field, 1);
    } else {
      uint64_t n = 0;
      ok = ok && take(bytes, &n, 1) && n <= bytes.size();
      if (!ok) return;
      field.resize(n);
      ok = take(bytes, field.data(), n);
    }
  });
  return ok && bytes.empty();
}

}  // namespace domlp
