#include "driver.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>

#include "input/input.h"
#include "io/io.h"
#include "lp/lp.h"
#include "model/model.h"
#include "score/score.h"

extern char** environ;

namespace domlp {

namespace {

constexpr const char* kVersion = "domlp 1.1.0";

void usage(FILE* out) {
  std::fprintf(out,
               "usage: domlp [--solver glpsol|clp] OBSERVED_PAIRS DOMAINS TEST_PAIRS FRACTION\n"
               "\n"
               "Infers the domain pairs that explain the observed protein pairs (a linear\n"
               "program) and predicts which test pairs interact.\n"
               "\n"
               "  OBSERVED_PAIRS  observed protein pairs: a count line, then two names a line\n"
               "  DOMAINS         domain table: a count line, then 'domain:protein protein ...'\n"
               "  TEST_PAIRS      protein pairs to score, in the observed-pairs format\n"
               "  FRACTION        share of the covered observed pairs allowed to go uncovered\n"
               "  --solver NAME   glpsol (the default: GLPK's program, run on the LP file) or\n"
               "                  clp (COIN-OR CLP in memory, far faster on large inputs)\n"
               "\n"
               "Writes OBSERVED_PAIRS.TAG.lp (the linear program), OBSERVED_PAIRS.TAG.out\n"
               "(glpsol's report), OBSERVED_PAIRS.TAG.dint (the inferred domain pairs),\n"
               "TEST_PAIRS.TAG.pint (the predicted pairs) and TEST_PAIRS.TAG.scores (every\n"
               "test pair's score), TAG being FRACTION as \"%%f\" renders it.\n"
               "Exit status: 0 success, 1 failure, 2 bad command line, 128+N signal N.\n");
}

// A file name as a solver argument: one that begins with '-' would be read
// as an option.
std::string as_operand(const std::string& name) {
  return !name.empty() && name[0] == '-' ? "./" + name : name;
}

// Starts `args` (searched on PATH) without a shell and waits for it. With
// `quiet` its standard streams go to /dev/null. Returns the wait status, or
// -1 with errno set when it could not be started. When the run is
// interrupted meanwhile, the program gets the same signal and is waited for
// before the interruption goes on.
int spawn_wait(const std::vector<std::string>& args, bool quiet) {
  std::vector<char*> argv;
  for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
  argv.push_back(nullptr);
  // The interrupting signals and SIGCHLD are held back except inside
  // sigsuspend, so that neither can slip in between a check and the wait.
  signals_held held;
  check_interrupt();
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (quiet) {
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setsigmask(&attr, &held.old_mask());
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &fa, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    errno = rc;
    return -1;
  }
  int status = 0;
  bool stopping = false;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (interrupted() && !stopping) {
      kill(pid, interrupted());
      stopping = true;
    }
    sigsuspend(&held.old_mask());
  }
  check_interrupt();
  return status;
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
int run_glpsol(const std::string& lp, const std::string& report) {
  // Older solvers call the CPLEX LP format "--lpt", current ones "--lp".
  int probe = spawn_wait({"glpsol", "--lpt", "--version"}, true);
  if (probe == -1) return cannot_start_solver(errno);
  const char* format = WIFEXITED(probe) && WEXITSTATUS(probe) == 0 ? "--lpt" : "--lp";
  std::fflush(stdout);
  std::fflush(stderr);
  int status =
      spawn_wait({"glpsol", format, "--simplex", "-o", as_operand(report), as_operand(lp)}, false);
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
// name private to this run and renamed to `report` once glpsol succeeded,
// so that runs sharing a directory never read each other's.
int solve_glpsol(const std::string& lp, const std::string& report, pair_set& dint) {
  output_file mine;
  if (!mine.open(report) || !mine.close()) return write_failed(report, errno);
  // Only the name is needed: glpsol makes the file. One that glpsol did not
  // make is missing under the final name too, and the reader says so.
  ::unlink(mine.temp_name().c_str());
  if (run_glpsol(lp, mine.temp_name())) return 1;
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

// Flushes standard output. Returns 0, or 1 after printing why it failed.
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

// Writes the predicted pairs, the inferred domain pairs and the scores under
// temporary names, then renames all three into place at once.
int write_results(const run_args& a, const node_table& t, const pair_set& test,
                  const pair_set& dint, const lp_rows& rows) {
  output_file out[3];
  const std::string names[3] = {derived_name(a.test_file, a.frac, "pint"),
                                derived_name(a.obs_file, a.frac, "dint"),
                                derived_name(a.test_file, a.frac, "scores")};
  // A directory under one of the names would make its rename fail after the
  // others were done: it stops the run before anything is written.
  std::error_code ec;
  for (const std::string& name : names)
    if (std::filesystem::is_directory(name, ec)) return write_failed(name, EISDIR);
  for (int x = 0; x < 3; ++x)
    if (!out[x].open(names[x])) return write_failed(names[x], errno);
  out_pint(out[0].stream(), t, test);
  out_dint(out[1].stream(), t, dint, rows);
  out_scores(out[2].stream(), t, test);
  for (output_file& o : out)
    if (!o.close()) return write_failed(o.name(), errno);
  // The predicted pairs come last: they replace an earlier file only when
  // the others did.
  signals_held held;
  check_interrupt();
  for (int x : {1, 2, 0})
    if (!out[x].commit()) return write_failed(out[x].name(), errno);
  return 0;
}

void print_summary(const node_table& t, const pair_set& test) {
  int predicted = 0, no_dom = 0;
  for (const pair& tp : test.item) {
    predicted += tp.prob >= 1.0;
    no_dom += no_domain(t, tp);
  }
  std::fprintf(stderr,
               "predicted %d of %d test pairs: %d from domain pairs, %d with a protein without "
               "domains\n",
               predicted, test.n, predicted - no_dom, no_dom);
}

}  // namespace

int parse_args(int argc, char** argv, run_args& a) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    usage(stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", kVersion);
    return 0;
  }
  int x = 1;
  if (x < argc && std::strncmp(argv[x], "--solver=", 9) == 0) {
    a.solver = argv[x++] + 9;
  } else if (x + 1 < argc && std::strcmp(argv[x], "--solver") == 0) {
    a.solver = argv[x + 1];
    x += 2;
  }
  if (argc - x < 4) {
    usage(stderr);
    return 2;
  }
  if (a.solver != "glpsol" && a.solver != "clp") {
    std::fprintf(stderr, "unknown solver '%s': use glpsol or clp\n", a.solver.c_str());
    return 2;
  }
  a.obs_file = argv[x];
  a.dom_file = argv[x + 1];
  a.test_file = argv[x + 2];
  const char* s = argv[x + 3];
  char* end = nullptr;
  double d = std::strtod(s, &end);
  if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) {
    std::fprintf(stderr, "fraction '%s' is not a finite number\n", s);
    return 2;
  }
  a.frac = static_cast<float>(d);
  const char* rest = end + std::strspn(end, " \t\n\r\f\v");
  if (end == s || *rest != '\0')
    std::fprintf(stderr, "warning: fraction '%s' is not %s number; using %s\n", s,
                 end == s ? "a" : "wholly a", format_f(a.frac).c_str());
  return -1;
}

std::string derived_name(const std::string& stem, float frac, const char* ext) {
  return stem + "." + format_f(frac) + "." + ext;
}

int run(const run_args& a) {
  node_table t;
  pair_set obs, test, dint;
  if (readdata(t, obs, test, dint, a.obs_file, a.dom_file, a.test_file)) return 1;
  lp_rows rows;
  construct_dint(t, obs, dint, rows);
  rows.bound = lp_bound(rows.obs_pos.size(), a.frac);
  check_interrupt();

  std::string lp = derived_name(a.obs_file, a.frac, "lp");
  // The count lines go out first, so that a log holding both streams shows
  // them in the order they were printed; when they cannot be written the run
  // stops before writing any file.
  if (flush_stdout()) return 1;
  if (t.ndom == 0 && test.n > 0)
    std::fprintf(stderr,
                 "warning: no protein of the pair files has a domain in '%s', so every test "
                 "pair will be predicted\n",
                 a.dom_file.c_str());
  std::fprintf(stderr, "writing %s\n", lp.c_str());
  if (LP_out(rows, obs, dint, lp)) return 1;

  std::string report = derived_name(a.obs_file, a.frac, "out");
  if (remove_stale(report)) return 1;
  if (dint.nobs == 0) {
    // glpsol rejects an objective without terms, and there is nothing to
    // decide: every domain-pair value stays 0.
    std::fprintf(stderr, "no domain pairs: nothing to solve, %s not run\n", a.solver.c_str());
  } else if (a.solver == "clp" ? solve_clp(rows, obs, dint) : solve_glpsol(lp, report, dint)) {
    return 1;
  }
  check_interrupt();

  calc_prob_test(t, dint, test);
  if (write_results(a, t, test, dint, rows)) return 1;
  print_summary(t, test);
  return flush_stdout();
}

int domlp_main(int argc, char** argv) {
  run_args a;
  int rc = parse_args(argc, argv, a);
  if (rc >= 0) return rc == 0 ? flush_stdout() : rc;
  catch_signals();
  try {
    return run(a);
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
