// The glpsol program: started without a shell, waited for with the
// interrupting signals passed on, and its report read under a name of this
// process's own.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/io.h"
#include "steps.h"

extern char** environ;

namespace domlp {

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

}  // namespace

// The report is written under a name private to this process and renamed
// to `report` once glpsol succeeded, so that runs sharing a directory never
// read each other's; unless `keep`, it is read under its private name and
// removed. A kept report is opened before it is renamed and read from that
// stream: under its final name another run in the directory may remove it
// (as an earlier run's) before this one reads it.
int solve_glpsol(const std::string& lp, const std::string& report, pair_set& dint, bool keep) {
  output_file mine;
  if (!mine.open(report) || !mine.close()) return write_failed(report, errno);
  // Only the name is needed: glpsol makes the file. One that glpsol did not
  // make cannot be opened, and the reader says so.
  ::unlink(mine.temp_name().c_str());
  if (run_glpsol(lp, mine.temp_name(), !keep)) return 1;
  if (!keep) return my_parse_glp(mine.temp_name(), dint);
  file_ptr in(std::fopen(mine.temp_name().c_str(), "r"));
  if (!mine.commit() && errno != ENOENT) return write_failed(report, errno);
  return read_glp_report(in.get(), report, dint);
}

int remove_stale(const std::string& report) {
  if (::unlink(report.c_str()) == 0 || errno == ENOENT) return 0;
  std::fprintf(stderr, "cannot remove the old report '%s': %s\n", report.c_str(),
               std::strerror(errno));
  return 1;
}

}  // namespace domlp
