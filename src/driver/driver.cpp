#include "driver.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>

#include "io/io.h"
#include "score/score.h"

namespace domlp {

namespace {

// A file name as a solver argument: one that begins with '-' would be read
// as an option.
std::string as_operand(const std::string& name) {
  return !name.empty() && name[0] == '-' ? "./" + name : name;
}

int cannot_start_solver(int err) {
  if (err == ENOENT)
    std::fprintf(stderr,
                 "glpsol not found on the search path: install GLPK's solver "
                 "(Debian: apt-get install glpk-utils)\n");
  else
    std::fprintf(stderr, "cannot run glpsol: %s\n", std::strerror(err));
  return 1;
}

// Solves `lp` with glpsol into `report`. Returns 0, or 1 after printing why.
int run_glpsol(const std::string& lp, const std::string& report, bool quiet) {
  // Older solvers call the CPLEX LP format "--lpt", current ones "--lp".
  int probe = spawn_wait({"glpsol", "--lpt", "--version"}, true);
  if (probe == -1) return cannot_start_solver(errno);
  const char* format = WIFEXITED(probe) && WEXITSTATUS(probe) == 0 ? "--lpt" : "--lp";
  std::fflush(stdout);
  std::fflush(stderr);
  int status =
      spawn_wait({"glpsol", format, "--simplex", "-o", as_operand(report), as_operand(lp)}, quiet);
  if (status == -1) return cannot_start_solver(errno);
  if (WIFSIGNALED(status)) {
    std::fprintf(stderr, "glpsol was killed by signal %d\n", WTERMSIG(status));
    return 1;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "glpsol failed with exit status %d\n",
                 WIFEXITED(status) ? WEXITSTATUS(status) : status);
    return 1;
  }
  return 0;
}

// Solves with glpsol and reads its report. The report is written under a
// name private to this process and renamed to `report` once glpsol
// succeeded, so that runs sharing a directory never read each other's;
// unless `keep`, it is read under its private name and removed.
int solve_glpsol(const std::string& lp, const std::string& report, pair_set& dint, bool keep) {
  output_file mine;
  if (!mine.open(report) || !mine.close()) return write_failed(report, errno);
  // Only the name is needed: glpsol makes the file. One that glpsol did not
  // make is missing under the final name too, and the reader says so.
  ::unlink(mine.temp_name().c_str());
  if (run_glpsol(lp, mine.temp_name(), !keep)) return 1;
  if (!keep) return my_parse_glp(mine.temp_name(), dint);
  if (!mine.commit() && errno != ENOENT) return write_failed(report, errno);
  return my_parse_glp(report, dint);
}

// Removes a report left by an earlier run, so that it is never read as the
// report of this one.
int remove_stale(const std::string& report) {
  if (::unlink(report.c_str()) == 0 || errno == ENOENT) return 0;
  std::fprintf(stderr, "cannot remove the old report '%s': %s\n", report.c_str(),
               std::strerror(errno));
  return 1;
}

// The result files of a fraction: with --ranges, the ranges of the domain
// pairs and of the test pairs' scores follow; with --known, the share of
// known pairs.
std::vector<std::string> result_names(const options& o, float frac) {
  std::vector<std::string> names{derived_name(o.test_stem, frac, "pint"),
                                 derived_name(o.obs_stem, frac, "dint"),
                                 derived_name(o.test_stem, frac, "scores")};
  if (o.ranges) {
    names.push_back(derived_name(o.obs_stem, frac, "dranges"));
    names.push_back(derived_name(o.test_stem, frac, "pranges"));
  }
  if (o.graded) {
    names.push_back(derived_name(o.obs_stem, frac, "dgraded"));
    names.push_back(derived_name(o.test_stem, frac, "pgraded"));
  }
  if (!o.known_file.empty()) names.push_back(derived_name(o.obs_stem, frac, "known"));
  return names;
}

// What --ranges, --graded and --known add to a fraction's run: each domain
// pair's range and each test pair's bounds, the graded confidence, which
// does not depend on the fraction, and which domain pairs are known.
struct extras {
  std::vector<double> low, high, test_low, test_high;
  const graded* grade = nullptr;
  std::vector<double> test_graded;
  std::vector<char> known;
};

// The predicted pairs are renamed last: they replace an earlier file only
// when the inferred domain pairs and the scores did.
int write_results(const options& o, float frac, const node_table& t, const pair_set& test,
                  const pair_set& dint, const lp_rows& rows, const extras& x) {
  std::vector<std::function<void(FILE*)>> writers{[&](FILE* f) { out_pint(f, t, test); },
                                                  [&](FILE* f) { out_dint(f, t, dint, rows); },
                                                  [&](FILE* f) { out_scores(f, t, test); }};
  if (o.ranges) {
    writers.push_back([&](FILE* f) { out_dranges(f, t, dint, rows, x.low, x.high, x.known); });
    writers.push_back([&](FILE* f) { out_pranges(f, t, test, x.test_low, x.test_high); });
  }
  if (o.graded) {
    writers.push_back([&](FILE* f) { out_dgraded(f, t, dint, *x.grade, x.known); });
    writers.push_back([&](FILE* f) { out_pgraded(f, t, test, x.test_graded); });
  }
  if (!o.known_file.empty())
    writers.push_back([&](FILE* f) { out_known(f, dint, x.known, x.low, x.high, x.grade); });
  return write_together(result_names(o, frac), writers);
}

// The summary line of a fraction's run: clauses joined by "; ", the
// program's optimum first, with ranges the domain pairs' classes, then what
// was predicted; with --known, the table of known pairs after it.
void print_summary(const options& o, const node_table& t, const pair_set& test,
                   const pair_set& dint, const extras& x) {
  int predicted = 0, no_dom = 0;
  for (const pair& tp : test.item) {
    predicted += tp.prob >= 1.0;
    no_dom += no_domain(t, tp);
  }
  std::vector<std::string> clauses;
  clauses.push_back("optimum " + format_g(optimum(dint)));
  if (o.ranges) {
    int count[3] = {};
    for (size_t k = 0; k < x.low.size(); ++k)
      ++count[static_cast<int>(class_of(x.low[k], x.high[k]))];
    clauses.push_back("domain pairs: " + std::to_string(count[2]) + " firm, " +
                      std::to_string(count[1]) + " tied, " + std::to_string(count[0]) +
                      " excluded");
  }
  clauses.push_back("predicted " + std::to_string(predicted) + " of " + std::to_string(test.n) +
                    " test pairs: " + std::to_string(predicted - no_dom) + " from domain pairs, " +
                    std::to_string(no_dom) + " with a protein without domains");
  std::string line;
  for (const std::string& c : clauses) line += (line.empty() ? "" : "; ") + c;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (!o.known_file.empty()) out_known(stderr, dint, x.known, x.low, x.high, x.grade);
}

// One fraction of a run: the LP file, the solve, the result files and the
// summary line; in a list, after a line naming the fraction.
int solve_fraction(const options& o, float frac, bool in_list, const node_table& t,
                   const pair_set& obs, pair_set& test, pair_set& dint, lp_rows& rows,
                   const known_pairs& known, const graded& grade) {
  if (in_list) std::fprintf(stderr, "fraction %s\n", format_f(frac).c_str());
  rows.bound = lp_bound(rows.obs_pos.size(), frac);
  for (pair& dp : dint.item) dp.prob = 0.0;
  std::string lp = derived_name(o.obs_stem, frac, "lp");
  std::fprintf(stderr, "writing %s\n", lp.c_str());
  if (LP_out(rows, obs, dint, lp)) return 1;
  std::string report = derived_name(o.obs_stem, frac, "out");
  if (remove_stale(report)) return 1;
  if (find_values(o, rows, obs, dint, lp, report, false)) return 1;
  check_interrupt();
  calc_prob_test(t, dint, test);
  extras x;
  if (o.ranges) {
    if (find_ranges(rows, dint.item.size(), x.low, x.high)) return 1;
    calc_range_test(t, dint, x.low, x.high, test, x.test_low, x.test_high);
  }
  if (o.graded) {
    x.grade = &grade;
    calc_graded_test(t, dint, grade, test, x.test_graded);
  }
  if (!o.known_file.empty()) x.known = mark_known(t, dint, known);
  if (write_results(o, frac, t, test, dint, rows, x)) return 1;
  print_summary(o, t, test, dint, x);
  return 0;
}

std::string joined(const std::vector<std::string>& tags) {
  std::string s;
  for (const std::string& tag : tags) s += (s.empty() ? "" : " ") + tag;
  return s;
}

// Every fraction of a list, each solved on its own. Failed fractions do not
// stop the others; an interruption stops them all.
int solve_list(const options& o, const node_table& t, const pair_set& obs, pair_set& test,
               pair_set& dint, lp_rows& rows, const known_pairs& known, const graded& grade) {
  std::vector<std::string> finished, failed;
  try {
    job_pool pool(o.jobs);
    for (float frac : o.fracs) {
      std::vector<std::string> outputs = result_names(o, frac), more = solve_files(o, frac);
      outputs.insert(outputs.end(), more.begin(), more.end());
      pool.submit(
          [&, frac](double*) {
            return solve_fraction(o, frac, true, t, obs, test, dint, rows, known, grade);
          },
          0,
          [&, frac](int status, const double*) {
            if (status == 0) finished.push_back(format_f(frac));
            if (status == 1) failed.push_back(format_f(frac));
            if (status > 1 && !interrupted()) {
              std::fprintf(stderr, "the solve of fraction %s was stopped by signal %d\n",
                           format_f(frac).c_str(), status - 128);
              failed.push_back(format_f(frac));
            }
          },
          outputs);
    }
    pool.wait_all();
  } catch (const interruption& i) {
    if (finished.empty()) {
      say_interrupted(i.sig);
    } else {
      std::fprintf(stderr, "interrupted by signal %d: results written for %s only\n", i.sig,
                   joined(finished).c_str());
    }
    return 128 + i.sig;
  }
  return end_of_list(failed, o.fracs.size());
}

// No protein of the pair files has a domain: the likely cause, in one line,
// with a name of each side when the table has proteins of its own.
void warn_no_domains(const options& o, const node_table& t) {
  std::string line = "warning: no protein of the pair files has a domain in '" + o.dom_file +
                     "', so every test pair will be predicted: ";
  if (t.unmatched_name.empty())
    line += "the table gives no protein a domain (another separator or --domain-format?)\n";
  else
    line += "the pair files name proteins like '" + t.prot[0].name + "', the table like '" +
            t.unmatched_name + "' (another identifier type or separator?)\n";
  // A name may hold any byte, NUL included.
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// The output directory must exist before anything is read or written.
int check_outdir(const std::string& dir) {
  struct stat st;
  if (dir.empty()) return 0;
  int err = ::stat(dir.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (err == 0) return 0;
  std::fprintf(stderr, "output directory '%s': %s\n", dir.c_str(), std::strerror(err));
  return 1;
}

}  // namespace

std::vector<std::string> solve_files(const options& o, float frac) {
  return {derived_name(o.obs_stem, frac, "lp"), derived_name(o.obs_stem, frac, "out")};
}

int find_values(const options& o, const lp_rows& rows, const pair_set& obs, pair_set& dint,
                const std::string& lp, const std::string& report, bool quiet) {
  if (dint.nobs == 0) {
    // glpsol rejects an objective without terms, and there is nothing to
    // decide: every domain-pair value stays 0.
    if (!quiet)
      std::fprintf(stderr, "no domain pairs: nothing to solve, %s not run\n", o.solver.c_str());
    return 0;
  }
  if (o.solver == "clp") return solve_clp(rows, obs, dint, quiet || !o.verbose);
  return solve_glpsol(lp, report, dint, !quiet);
}

void hint_solver(const options& o, size_t rows) {
  // glpsol took 62 s on a real interactome's program of 45 000 rows on a
  // 2-core machine, 200 s on 72 000 and 570 s on 103 000 rows; CLP a second
  // or less on each.
  constexpr size_t kSlowRows = 40000;
  if (o.solver_given || rows <= kSlowRows) return;
  std::fprintf(stderr,
               "note: glpsol may take minutes on a program of %zu rows; --solver clp solves it in "
               "memory in seconds\n",
               rows);
}

int open_together(const std::vector<std::string>& names, std::vector<output_file>& out) {
  // A directory under one of the names would make its rename fail after the
  // others were done: it stops the run before anything is written.
  std::error_code ec;
  for (const std::string& name : names)
    if (std::filesystem::is_directory(name, ec)) return write_failed(name, EISDIR);
  out = std::vector<output_file>(names.size());
  for (size_t x = 0; x < names.size(); ++x)
    if (!out[x].open(names[x])) return write_failed(names[x], errno);
  return 0;
}

int write_together(const std::vector<std::string>& names,
                   const std::vector<std::function<void(FILE*)>>& writers) {
  std::vector<output_file> out;
  if (open_together(names, out)) return 1;
  for (size_t x = 0; x < names.size(); ++x) writers[x](out[x].stream());
  return commit_together(out);
}

int commit_together(std::vector<output_file>& out) {
  // Files discarded before are left out.
  for (output_file& f : out)
    if (f.stream() && !f.close()) return write_failed(f.name(), errno);
  signals_held held;
  check_interrupt();
  for (size_t x = out.size(); x-- > 0;)
    if (!out[x].temp_name().empty() && !out[x].commit()) return write_failed(out[x].name(), errno);
  return 0;
}

int end_of_list(const std::vector<std::string>& failed, size_t fractions) {
  if (failed.empty()) return flush_stdout();
  std::fprintf(stderr, "no results for %zu of %zu fractions: %s\n", failed.size(), fractions,
               joined(failed).c_str());
  return 1;
}

int flush_stdout() {
  // A failed write may have set the error indicator earlier, with errno long
  // since changed: the reason is known only when this flush fails.
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  if (errno != 0)
    std::fprintf(stderr, "error writing standard output: %s\n", std::strerror(errno));
  else
    std::fprintf(stderr, "error writing standard output\n");
  return 1;
}

int run(const options& o) {
  if (check_outdir(o.outdir)) return 1;
  if (o.folds > 0) return cross_validate(o);
  // The reference list is read first, so that an error in it comes before
  // any count line.
  known_pairs known;
  if (!o.known_file.empty() && read_known(o.known_file, known)) return 1;
  node_table t;
  pair_set obs, test, dint;
  if (readdata(t, obs, test, dint, o.obs_file, o.dom_file, o.test_file, o.in)) return 1;
  lp_rows rows;
  construct_dint(t, obs, dint, rows);
  std::printf("%d\n", dint.nobs);
  check_interrupt();

  // The count lines go out first, so that a log holding both streams shows
  // them in the order they were printed; when they cannot be written the run
  // stops before writing any file.
  if (flush_stdout()) return 1;
  if (t.ndom == 0 && test.n > 0) warn_no_domains(o, t);
  if (!o.known_file.empty()) check_known(t, dint, known, o.known_file, o.dom_file);
  if (dint.nobs > 0) hint_solver(o, rows.obs_pos.size() + 1);
  // The graded confidence comes from the observed pairs alone: the same
  // for every fraction.
  const graded grade = o.graded ? grade_dint(t, obs, dint, rows) : graded{};
  if (o.fracs.size() > 1) return solve_list(o, t, obs, test, dint, rows, known, grade);
  if (solve_fraction(o, o.fracs[0], false, t, obs, test, dint, rows, known, grade)) return 1;
  return flush_stdout();
}

int domlp_main(int argc, char** argv) {
  options o;
  int rc = parse_args(argc, argv, o);
  if (rc >= 0) return rc == 0 ? flush_stdout() : rc;
  catch_signals();
  try {
    return run(o);
  } catch (const interruption& i) {
    say_interrupted(i.sig);
    return 128 + i.sig;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "out of memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  } catch (...) {
    // Such as an error of the solver library: the run still unwinds, and its
    // temporary files go.
    std::fprintf(stderr, "unexpected error\n");
    return 1;
  }
}

}  // namespace domlp
