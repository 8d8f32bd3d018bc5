// The job pool: the independent solves of a fraction list or a
// cross-validation, each in a child process, their console output held back
// and shown in order, and each one's result handed back as bytes.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <system_error>

#include "io/io.h"
#include "steps.h"

namespace domlp {

namespace {

// A file in memory that a child writes and this process reads once the
// child has ended: its console output until it is shown, or its result.
struct memory_file {
  int fd = -1;
  memory_file() {
    fd = memfd_create("domlp-output", MFD_CLOEXEC);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "memfd_create");
  }
  ~memory_file() {
    if (fd >= 0) ::close(fd);
  }
  memory_file(const memory_file&) = delete;
  memory_file& operator=(const memory_file&) = delete;

  // Calls `take` with each block of the file, in order.
  template <class F>
  void read(F take) const {
    char buf[1 << 16];
    off_t at = 0;
    for (ssize_t n; (n = pread(fd, buf, sizeof buf, at)) > 0; at += n)
      take(buf, static_cast<size_t>(n));
  }
  void show(FILE* to) const {
    read([&](const char* p, size_t n) { std::fwrite(p, 1, n, to); });
    std::fflush(to);
  }
  // Appends `bytes`; false with errno set when they could not all be written.
  bool write_all(const std::string& bytes) const {
    for (size_t at = 0; at < bytes.size();) {
      ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      at += static_cast<size_t>(n);
    }
    return true;
  }
};

// In the child: runs `work`, hands its result back in `out` and ends the
// process with its status. An interruption ends it with 128 + N and no
// message: the parent reports it.
[[noreturn]] void run_child(const job_pool::work_fn& work, const memory_file& out) {
  int status = 1;
  try {
    solve_result r;
    status = work(r);
    if (status == 0 && !out.write_all(write_result(r))) {
      std::fprintf(stderr, "cannot hand back a solve's result: %s\n", std::strerror(errno));
      status = 1;
    }
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
  memory_file out;
  std::unique_ptr<memory_file> held[2];  // standard output and error, when held back
  done_fn done;
  std::vector<std::string> outputs;
  job(done_fn d, std::vector<std::string> o) : done(std::move(d)), outputs(std::move(o)) {}

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

void job_pool::submit(work_fn work, done_fn done, std::vector<std::string> outputs) {
  auto j = std::make_unique<job>(std::move(done), std::move(outputs));
  if (jobs_ > 1) {
    for (auto& h : j->held) h = std::make_unique<memory_file>();
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
    run_child(work, j->out);
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
    solve_result r;
    if (j->status == 0) {
      std::string bytes;
      j->out.read([&](const char* p, size_t n) { bytes.append(p, n); });
      if (!read_result(bytes, r)) throw std::runtime_error("a solve handed back a damaged result");
    }
    j->done(j->status, j->status == 0 ? &r : nullptr);
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
