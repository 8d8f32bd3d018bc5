#include "test_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace domlp_test {

temp_dir::temp_dir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/domlp-test-XXXXXX";
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

temp_dir::~temp_dir() {
  std::error_code ec;
  // Restore permissions a test may have taken away, then remove.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

void temp_dir::write(const std::string& name, const std::string& content) const {
  std::ofstream f(file(name), std::ios::binary);
  f << content;
  if (!f) throw std::runtime_error("cannot write " + file(name));
}

std::string temp_dir::read(const std::string& name) const {
  return slurp(file(name));
}

bool temp_dir::exists(const std::string& name) const {
  struct stat st;
  return ::lstat(file(name).c_str(), &st) == 0;
}

std::vector<std::string> temp_dir::list() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path_))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> list_tree(const std::string& dir) {
  std::vector<std::string> paths;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    paths.push_back(e.path().lexically_relative(dir).string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

namespace {

// In a child process: gives up root for the run user, supplementary groups
// included. False when the system refuses (a user namespace without that id).
bool become_run_user() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(kRunUserId) == 0 && ::setuid(kRunUserId) == 0;
}

// Waits for `pid`; returns its exit status, or 128 + signal number.
int wait_status(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

void hand_to_run_user(const std::string& path) {
  if (::geteuid() != 0) return;
  auto give = [](const std::string& p) {
    if (::lchown(p.c_str(), kRunUserId, kRunUserId) != 0)
      throw std::runtime_error("cannot chown " + p);
  };
  give(path);
  for (const auto& e : std::filesystem::recursive_directory_iterator(path)) give(e.path().string());
}

bool permissions_bind_run_user() {
  temp_dir d;
  d.write("probe", "x");
  hand_to_run_user(d.path());
  std::string probe = d.file("probe");
  ::chmod(probe.c_str(), 0);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (::geteuid() == 0 && !become_run_user()) _exit(2);
    int fd = ::open(probe.c_str(), O_RDONLY);
    _exit(fd < 0 ? 0 : 1);
  }
  return wait_status(pid) == 0;
}

run_result run_domlp(const std::vector<std::string>& args, const run_options& opt) {
  temp_dir io;
  std::string out_file = io.file("stdout"), err_file = io.file("stderr");
  std::vector<std::string> words = {DOMLP_BINARY};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "PATH=", 5) != 0) env.emplace_back(*e);
  const char* path = std::getenv("PATH");
  std::string p = "PATH=" + opt.path_prefix;
  if (!opt.no_system_path)
    p += (opt.path_prefix.empty() ? "" : ":") + std::string(path ? path : "/usr/bin:/bin");
  env.push_back(p);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = ::open("/dev/null", O_RDONLY);
    int out = opt.stdout_to.empty() ? ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                                    : ::open(opt.stdout_to.c_str(), O_WRONLY);
    int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(opt.merge_stderr ? out : err, 2);
    if (opt.unprivileged && ::geteuid() == 0 && !become_run_user()) {
      static const char msg[] = "test runner: cannot become the run user\n";
      (void)!::write(2, msg, sizeof msg - 1);
      _exit(126);
    }
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0) {
      static const char msg[] = "test runner: cannot enter the working directory\n";
      (void)!::write(2, msg, sizeof msg - 1);
      _exit(126);
    }
    if (opt.fsize_limit >= 0) {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit rl = {static_cast<rlim_t>(opt.fsize_limit),
                          static_cast<rlim_t>(opt.fsize_limit)};
      setrlimit(RLIMIT_FSIZE, &rl);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  run_result r;
  r.status = wait_status(pid);
  r.out = slurp(out_file);
  r.err = slurp(err_file);
  return r;
}

void write_inputs(const temp_dir& d, const inputs& in) {
  d.write("obs.txt", in.obs);
  d.write("dom.txt", in.dom);
  d.write("test.txt", in.test);
}

run_result run_in(const temp_dir& d, const std::vector<std::string>& args, run_options opt) {
  opt.cwd = d.path();
  return run_domlp(args, opt);
}

std::string count_lines(int prot1, int pairs1, int prot2, int pairs2, int ndom, int ndint) {
  return "Total proteins: " + std::to_string(prot1) +
         "\nTotal protein pairs: " + std::to_string(pairs1) +
         "\nTotal proteins: " + std::to_string(prot2) +
         "\nTotal protein pairs: " + std::to_string(pairs2) +
         "\ndomain number: " + std::to_string(ndom) + "\n" + std::to_string(ndint) + "\n";
}

bool starts_with(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string fake_glpsol(const temp_dir& dir, const std::string& body) {
  std::string bin = dir.file("fakebin");
  ::mkdir(bin.c_str(), 0755);
  std::string script = bin + "/glpsol";
  {
    std::ofstream f(script, std::ios::binary);
    f << "#!/bin/sh\n" << body << "\n";
  }
  ::chmod(script.c_str(), 0755);
  return bin;
}

FILE* mem_in(const std::string& text) {
  FILE* f = std::tmpfile();
  if (!f) throw std::runtime_error("tmpfile failed");
  if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) throw std::runtime_error("write");
  std::rewind(f);
  return f;
}

mem_out::mem_out() {
  f_ = open_memstream(&buf_, &len_);
}

mem_out::~mem_out() {
  if (f_) std::fclose(f_);
  std::free(buf_);
}

std::string mem_out::text() {
  if (f_) std::fclose(f_);
  f_ = nullptr;
  return std::string(buf_ ? buf_ : "", len_);
}

std::string data_file(const std::string& name) {
  return std::string(DOMLP_TEST_DATA) + "/" + name;
}

}  // namespace domlp_test
