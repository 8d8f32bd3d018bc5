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
#include <new>

#include "input/input.h"
#include "io/io.h"
#include "lp/lp.h"
#include "model/model.h"
#include "score/score.h"

extern char** environ;

namespace domlp {

namespace {

constexpr const char* kVersion = "domlp 1.0.0";

void usage(FILE* out) {
  std::fprintf(out,
               "usage: domlp OBSERVED_PAIRS DOMAINS TEST_PAIRS FRACTION\n"
               "\n"
               "Infers the domain pairs that explain the observed protein pairs (a linear\n"
               "program solved by glpsol) and predicts which test pairs interact.\n"
               "\n"
               "  OBSERVED_PAIRS  observed protein pairs: a count line, then two names a line\n"
               "  DOMAINS         domain table: a count line, then 'domain:protein protein ...'\n"
               "  TEST_PAIRS      protein pairs to score, in the observed-pairs format\n"
               "  FRACTION        share of the covered observed pairs allowed to go uncovered\n"
               "\n"
               "Writes OBSERVED_PAIRS.TAG.lp, OBSERVED_PAIRS.TAG.out (glpsol's report) and\n"
               "TEST_PAIRS.TAG.pint (predicted pairs), TAG being FRACTION as \"%%f\" renders it.\n"
               "Exit status: 0 success, 1 failure, 2 bad command line.\n");
}

// A file name as a solver argument: one that begins with '-' would be read
// as an option.
std::string as_operand(const std::string& name) {
  return !name.empty() && name[0] == '-' ? "./" + name : name;
}

// Starts `args` (searched on PATH) without a shell and waits for it. With
// `quiet` its standard streams go to /dev/null. Returns the wait status, or
// -1 with errno set when it could not be started.
int spawn_wait(const std::vector<std::string>& args, bool quiet) {
  std::vector<char*> argv;
  for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (quiet) {
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) {
    errno = rc;
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
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

// Solves `lp` into `report`. Returns 0, or 1 after printing why.
int run_solver(const std::string& lp, const std::string& report) {
  // Older solvers call the CPLEX LP format "--lpt", current ones "--lp".
  int probe = spawn_wait({"glpsol", "--lpt", "--version"}, true);
  if (probe == -1) return cannot_start_solver(errno);
  std::string option = WIFEXITED(probe) && WEXITSTATUS(probe) == 0 ? "--lpt" : "--lp";
  std::fflush(stdout);
  std::fflush(stderr);
  int status = spawn_wait(solver_command(option, lp, report), false);
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
  if (argc < 5) {
    usage(stderr);
    return 2;
  }
  a.obs_file = argv[1];
  a.dom_file = argv[2];
  a.test_file = argv[3];
  const char* s = argv[4];
  char* end = nullptr;
  double d = std::strtod(s, &end);
  if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) {
    std::fprintf(stderr, "fraction '%s' is not a finite number\n", s);
    return 2;
  }
  a.frac = static_cast<float>(d);
  const char* rest = end;
  while (*rest == ' ' || *rest == '\t' || *rest == '\n' || *rest == '\r' || *rest == '\f' ||
         *rest == '\v')
    ++rest;
  if (end == s || *rest != '\0')
    std::fprintf(stderr, "warning: fraction '%s' is not %s number; using %s\n", s,
                 end == s ? "a" : "wholly a", run_tag(a.frac).c_str());
  return -1;
}

std::string run_tag(float frac) {
  return format_f(static_cast<double>(frac));
}
std::string lp_name(const run_args& a) {
  return a.obs_file + "." + run_tag(a.frac) + ".lp";
}
std::string report_name(const run_args& a) {
  return a.obs_file + "." + run_tag(a.frac) + ".out";
}
std::string pint_name(const run_args& a) {
  return a.test_file + "." + run_tag(a.frac) + ".pint";
}

std::vector<std::string> solver_command(const std::string& lp_option, const std::string& lp,
                                        const std::string& report) {
  return {"glpsol", lp_option, "--simplex", "-o", as_operand(report), as_operand(lp)};
}

int run(const run_args& a) {
  node_table t;
  pair_set obs, test, dint;
  if (readdata(t, obs, test, dint, a.obs_file, a.dom_file, a.test_file)) return 1;
  construct_dint(t, obs, dint);
  lp_rows rows = build_rows(t, obs, dint, a.frac);

  std::string lp = lp_name(a);
  // The count lines go out first, so that a log holding both streams shows
  // them in the order they were printed; when they cannot be written the run
  // stops before writing any file.
  if (flush_stdout()) return 1;
  std::fprintf(stderr, "writing %s\n", lp.c_str());
  if (LP_out(rows, obs, dint, lp)) return 1;

  std::string report = report_name(a);
  if (remove_stale(report)) return 1;
  if (dint.nobs == 0) {
    // glpsol rejects an objective without terms, and there is nothing to
    // decide: every domain-pair value stays 0.
    std::fprintf(stderr, "no domain pairs: nothing to solve, glpsol not run\n");
  } else {
    if (run_solver(lp, report)) return 1;
    if (my_parse_glp(report, dint)) return 1;
  }

  calc_prob_test(t, dint, test);
  if (out_pint(t, test, pint_name(a))) return 1;
  return flush_stdout();
}

int domlp_main(int argc, char** argv) {
  run_args a;
  int rc = parse_args(argc, argv, a);
  if (rc >= 0) return rc == 0 ? flush_stdout() : rc;
  try {
    return run(a);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "out of memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

}  // namespace domlp
