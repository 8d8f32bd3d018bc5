// Child processes: the solver program, and the independent solves of a
// fraction list or a cross-validation.
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <system_error>

#include "driver.h"
#include "io/io.h"

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

// A memory region shared with a child process, for the values it hands back.
struct shared_values {
  double* p = nullptr;
  size_t n = 0;
  explicit shared_values(size_t count) : n(count) {
    if (n == 0) return;
    void* m = mmap(nullptr, n * sizeof(double), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                   -1, 0);
    if (m == MAP_FAILED) throw std::bad_alloc();
    p = static_cast<double*>(m);
  }
  ~shared_values() {
    if (p) munmap(p, n * sizeof(double));
  }
  shared_values(const shared_values&) = delete;
  shared_values& operator=(const shared_values&) = delete;
};

// A file in memory that holds a child's console output until it is shown.
struct held_output {
  int fd = -1;
  held_output() {
    fd = memfd_create("domlp-output", MFD_CLOEXEC);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "memfd_create");
  }
  ~held_output() {
    if (fd >= 0) ::close(fd);
  }
  held_output(const held_output&) = delete;
  held_output& operator=(const held_output&) = delete;

  void show(FILE* to) const {
    char buf[1 << 16];
    off_t at = 0;
    for (ssize_t n; (n = pread(fd, buf, sizeof buf, at)) > 0; at += n)
      std::fwrite(buf, 1, static_cast<size_t>(n), to);
    std::fflush(to);
  }
};

// In the child: runs `work` and ends the process with its status. An
// interruption ends it with 128 + N and no message: the parent reports it.
[[noreturn]] void run_child(const job_pool::work_fn& work, double* out) {
  int status = 1;
  try {
    status = work(out);
  } catch (const interruption& i) {
    status = 128 + i.sig;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "unexpected error\n");
  }
  if (flush_stdout() && status == 0) status = 1;
  std::fflush(stderr);
  _exit(status);
}

}  // namespace

struct job_pool::job {
  pid_t pid = 0;
  int status = -1;  // -1 while it runs
  shared_values out;
  std::unique_ptr<held_output> held[2];  // standard output and error, when held back
  done_fn done;
  std::vector<std::string> outputs;
  job(size_t nout, done_fn d, std::vector<std::string> o)
      : out(nout), done(std::move(d)), outputs(std::move(o)) {}

  // Records the wait status `st`. A solve killed by a signal it could not
  // catch (such as SIGKILL from the kernel when memory runs out) had no
  // chance to remove its temporary files: they go here.
  void ended(int st) {
    status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    if (WIFSIGNALED(st)) remove_temp_files(outputs, pid);
  }
};

job_pool::job_pool(int jobs) : jobs_(jobs) {}

job_pool::~job_pool() {
  // Left by an exception: no solve outlives the run.
  for (auto& j : queue_) {
    if (j->status >= 0) continue;
    kill(j->pid, SIGTERM);
    int st = 0;
    waitpid(j->pid, &st, 0);
    j->ended(st);
  }
}

void job_pool::submit(work_fn work, size_t nout, done_fn done, std::vector<std::string> outputs) {
  auto j = std::make_unique<job>(nout, std::move(done), std::move(outputs));
  if (jobs_ > 1) {
    for (auto& h : j->held) h = std::make_unique<held_output>();
  }
  while (busy()) collect(true);
  // A solve whose output is not held writes straight to the console: what
  // this process says of the solves that ended must come first.
  if (!j->held[0]) report();
  std::fflush(stdout);
  std::fflush(stderr);
  signals_held held;
  check_interrupt();
  j->pid = fork();
  if (j->pid == 0) {
    sigprocmask(SIG_SETMASK, &held.old_mask(), nullptr);
    quiet_interruptions();
    if (j->held[0]) {
      dup2(j->held[0]->fd, 1);
      dup2(j->held[1]->fd, 2);
    }
    run_child(work, j->out.p);
  }
  if (j->pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  queue_.push_back(std::move(j));
  // Otherwise they are reported once the next one runs: this process's
  // share of the work goes on beside it.
  report();
}

bool job_pool::busy() {
  collect(false);
  int running = 0;
  for (auto& q : queue_) running += q->status < 0;
  return running >= jobs_;
}

void job_pool::wait_all() {
  while (!queue_.empty()) {
    collect(true);
    report();
  }
}

// Collects the solves that ended, waiting for one when `block`.
void job_pool::collect(bool block) {
  {
    signals_held held;
    for (;;) {
      bool any = false, running = false;
      for (auto& j : queue_) {
        if (j->status >= 0) continue;
        int st = 0;
        if (waitpid(j->pid, &st, WNOHANG) == j->pid) {
          j->ended(st);
          any = true;
        } else {
          running = true;
        }
      }
      if (interrupted()) {
        stop_all(interrupted());
        break;
      }
      if (any || !block || !running) break;
      sigsuspend(&held.old_mask());
    }
  }
  // After an interruption, the solves that ended are reported before it is
  // thrown.
  if (interrupted()) report();
}

// Reports the solves that ended with every earlier one, in order.
void job_pool::report() {
  while (!queue_.empty() && queue_.front()->status >= 0) {
    std::unique_ptr<job> j = std::move(queue_.front());
    queue_.erase(queue_.begin());
    if (j->held[0]) {
      j->held[0]->show(stdout);
      j->held[1]->show(stderr);
    }
    j->done(j->status, j->status == 0 ? j->out.p : nullptr);
  }
  check_interrupt();
}

// Passes signal `sig` on to every running solve and waits for them all. A
// solve that was renaming its files into place finishes them and ends with
// status 0.
void job_pool::stop_all(int sig) {
  for (auto& j : queue_)
    if (j->status < 0) kill(j->pid, sig);
  for (auto& j : queue_) {
    if (j->status >= 0) continue;
    int st = 0;
    while (waitpid(j->pid, &st, 0) < 0 && errno == EINTR) {
    }
    j->ended(st);
  }
}

}  // namespace domlp
