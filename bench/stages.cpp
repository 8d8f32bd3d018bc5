// Times each stage of a run separately on prepared data sets, then a whole
// run of the program with a stand-in solver, and prints one table.
//
//   domlp_bench --data DIR --domlp BIN --standin DIR [SIZE...] [benchmark flags]
//
// DIR/SIZE holds obs.txt, dom.txt, test.txt and report.out (a solution
// report for that input). The stand-in directory holds a `glpsol` that copies
// the file named by $DOMLP_BENCH_REPORT to the report path it is given.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "input/input.h"
#include "lp/lp.h"
#include "model/model.h"
#include "score/score.h"

extern char** environ;

namespace {

using namespace domlp;

constexpr float kFrac = 0.1f;

long long file_size(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

struct tables {
  node_table t;
  pair_set obs, test, dint;
};

// One data set, read once; the stages run on copies of its tables.
struct data_set {
  std::string size;
  std::string dir;
  std::string obs, dom, test, report;
  std::string lp_out, pint_out;
  tables base;    // as read
  tables solved;  // domain pairs built and solution values stored
  long long in_bytes = 0, lp_bytes = 0, report_bytes = 0, pint_bytes = 0;
  size_t report_columns = 0;
};

void set_paths(data_set& d, const std::string& root, const std::string& size) {
  d.size = size;
  d.dir = root + "/" + size;
  d.obs = d.dir + "/obs.txt";
  d.dom = d.dir + "/dom.txt";
  d.test = d.dir + "/test.txt";
  d.report = d.dir + "/report.out";
  d.lp_out = d.dir + "/bench.lp";
  d.pint_out = d.dir + "/bench.pint";
}

bool load(data_set& d) {
  tables& b = d.base;
  if (readdata(b.t, b.obs, b.test, b.dint, d.obs, d.dom, d.test)) return false;
  d.in_bytes = file_size(d.obs) + file_size(d.dom) + file_size(d.test);
  d.solved = d.base;
  tables& s = d.solved;
  construct_dint(s.t, s.obs, s.dint);
  if (LP_out(s.t, s.obs, s.dint, d.lp_out, kFrac)) return false;
  d.lp_bytes = file_size(d.lp_out);
  if (my_parse_glp(d.report, s.t, s.obs, s.dint)) return false;
  d.report_bytes = file_size(d.report);
  d.report_columns = s.dint.item.size() + s.obs.item.size();
  calc_prob_test(s.t, s.dint, s.test);
  if (out_pint(s.t, s.test, d.pint_out)) return false;
  d.pint_bytes = file_size(d.pint_out);
  return true;
}

void stage_read(benchmark::State& st, const data_set& d) {
  for (auto _ : st) {
    st.PauseTiming();
    auto x = std::make_unique<tables>();
    st.ResumeTiming();
    if (readdata(x->t, x->obs, x->test, x->dint, d.obs, d.dom, d.test))
      st.SkipWithError("read failed");
    st.PauseTiming();
    x.reset();
    st.ResumeTiming();
  }
  st.SetBytesProcessed(st.iterations() * d.in_bytes);
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(d.base.obs.item.size()));
}

void stage_dint(benchmark::State& st, const data_set& d) {
  for (auto _ : st) {
    st.PauseTiming();
    auto obs = std::make_unique<pair_set>(d.base.obs);
    auto dint = std::make_unique<pair_set>();
    st.ResumeTiming();
    construct_dint(d.base.t, *obs, *dint);
    st.PauseTiming();
    obs.reset();
    dint.reset();
    st.ResumeTiming();
  }
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(d.base.obs.item.size()));
}

void stage_lp(benchmark::State& st, const data_set& d) {
  const tables& s = d.solved;
  for (auto _ : st)
    if (LP_out(s.t, s.obs, s.dint, d.lp_out, kFrac)) st.SkipWithError("LP write failed");
  st.SetBytesProcessed(st.iterations() * d.lp_bytes);
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(s.obs.item.size()));
}

void stage_report(benchmark::State& st, data_set& d) {
  tables& s = d.solved;
  for (auto _ : st)
    if (my_parse_glp(d.report, s.t, s.obs, s.dint)) st.SkipWithError("report read failed");
  st.SetBytesProcessed(st.iterations() * d.report_bytes);
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(d.report_columns));
}

void stage_score(benchmark::State& st, data_set& d) {
  tables& s = d.solved;
  for (auto _ : st) {
    calc_prob_test(s.t, s.dint, s.test);
    if (out_pint(s.t, s.test, d.pint_out)) st.SkipWithError("pint write failed");
  }
  st.SetBytesProcessed(st.iterations() * d.pint_bytes);
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(s.test.item.size()));
}

struct whole_run {
  double seconds = 0;      // wall clock
  double cpu_seconds = 0;  // user and system time of the program and the stand-in solver
  long max_rss_kb = 0;
  bool ok = false;
};

// Runs the program on a data set with the stand-in solver first on PATH.
whole_run run_once(const data_set& d, const std::string& bin, const std::string& standin) {
  whole_run w;
  std::string path = "PATH=" + standin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
  std::string rep = "DOMLP_BENCH_REPORT=" + d.report;
  std::vector<std::string> env = {path, rep};
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "PATH=", 5) != 0 && std::strncmp(*e, "DOMLP_BENCH_REPORT=", 19) != 0)
      env.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {bin, d.obs, d.dom, d.test, "0.1"};
  std::vector<char*> argv;
  for (std::string& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int rc = posix_spawn(&pid, bin.c_str(), &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return w;
  int status = 0;
  struct rusage ru {};
  if (wait4(pid, &status, 0, &ru) < 0) return w;
  w.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  w.cpu_seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                  static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  w.max_rss_kb = ru.ru_maxrss;
  w.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return w;
}

struct result {
  double seconds = 0;
  double cpu_seconds = 0;
  double bytes_per_second = 0;
  double items_per_second = 0;
};

// Keeps the best repetition of every benchmark for the summary table and
// prints one progress line per benchmark.
class table_reporter : public benchmark::BenchmarkReporter {
 public:
  table_reporter(std::map<std::string, result>& out, std::ostream& os) : out_(out), os_(os) {}
  bool ReportContext(const Context& c) override {
    os_ << "Running stage benchmarks on " << c.cpu_info.num_cpus << " CPUs at "
        << c.cpu_info.cycles_per_second / 1e6 << " MHz\n";
    return true;
  }
  void ReportRuns(const std::vector<Run>& runs) override {
    bool fresh = false;
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      result x;
      x.seconds = r.GetAdjustedRealTime() / 1e3;  // the unit is ms
      x.cpu_seconds = r.GetAdjustedCPUTime() / 1e3;
      auto b = r.counters.find("bytes_per_second");
      if (b != r.counters.end()) x.bytes_per_second = b->second.value;
      auto i = r.counters.find("items_per_second");
      if (i != r.counters.end()) x.items_per_second = i->second.value;
      // "stage/size/min_time:.../repeats:..." -> "stage/size"
      std::string name = r.benchmark_name();
      auto slash = name.find('/', name.find('/') + 1);
      if (slash != std::string::npos) name.resize(slash);
      auto it = out_.find(name);
      if (it == out_.end() || x.seconds < it->second.seconds) out_[name] = x;
      if (it == out_.end() || x.cpu_seconds < it->second.cpu_seconds)
        out_[name].cpu_seconds = x.cpu_seconds;
      last_ = name;
      fresh = true;
    }
    // The repetitions and their aggregates come in separate calls; only the
    // first has runs to show.
    if (fresh) os_ << "  " << last_ << ": " << out_[last_].seconds * 1e3 << " ms\n";
    os_.flush();
  }

 private:
  std::map<std::string, result>& out_;
  std::ostream& os_;
  std::string last_;
};

const char* kStages[] = {"read", "dint", "lp", "report", "score"};
const char* kStageText[] = {"read the three files", "construct_dint", "write the LP file",
                            "read the report", "score + write .pint"};

}  // namespace

int main(int argc, char** argv) {
  std::string root, bin, standin;
  std::vector<std::string> sizes;
  std::vector<char*> rest = {argv[0]};
  for (int a = 1; a < argc; ++a) {
    std::string s = argv[a];
    if (s == "--data" && a + 1 < argc)
      root = argv[++a];
    else if (s == "--domlp" && a + 1 < argc)
      bin = argv[++a];
    else if (s == "--standin" && a + 1 < argc)
      standin = argv[++a];
    else if (s.rfind("--", 0) == 0)
      rest.push_back(argv[a]);
    else
      sizes.push_back(s);
  }
  if (root.empty() || bin.empty() || standin.empty()) {
    std::fprintf(stderr, "usage: domlp_bench --data DIR --domlp BIN --standin DIR [SIZE...]\n");
    return 2;
  }
  if (sizes.empty()) sizes = {"S", "M", "L"};

  // The stages print their count lines; they go to /dev/null, and the
  // tables go to the original standard output.
  std::fflush(stdout);
  int keep = dup(1);
  std::ofstream report_out("/dev/fd/" + std::to_string(keep));
  if (!std::freopen("/dev/null", "w", stdout)) return 1;
  std::vector<std::unique_ptr<data_set>> sets;
  for (const std::string& s : sizes) {
    sets.push_back(std::make_unique<data_set>());
    set_paths(*sets.back(), root, s);
  }

  // The whole runs come first: a child started by this process reports the
  // peak memory of this process at the time it started as its own, so it
  // must start while this process is still small.
  std::vector<whole_run> runs;
  for (auto& dp : sets) {
    whole_run best;
    for (int k = 0; k < 3; ++k) {
      whole_run w = run_once(*dp, bin, standin);
      if (!w.ok) {
        report_out << "whole run of " << dp->size << " failed\n";
        return 1;
      }
      if (!best.ok || w.seconds < best.seconds) best.seconds = w.seconds;
      if (!best.ok || w.cpu_seconds < best.cpu_seconds) best.cpu_seconds = w.cpu_seconds;
      best.max_rss_kb = std::max(best.max_rss_kb, w.max_rss_kb);
      best.ok = true;
    }
    runs.push_back(best);
  }

  for (auto& dp : sets) {
    if (!load(*dp)) {
      report_out << "cannot load data set " << dp->size << "\n";
      return 1;
    }
  }

  for (auto& dp : sets) {
    data_set& d = *dp;
    auto reg = [&](const char* stage, auto fn) {
      benchmark::RegisterBenchmark((std::string(stage) + "/" + d.size).c_str(), fn)
          ->Unit(benchmark::kMillisecond)
          ->MinTime(0.2)
          ->Repetitions(5)
          ->UseRealTime();
    };
    reg("read", [&d](benchmark::State& st) { stage_read(st, d); });
    reg("dint", [&d](benchmark::State& st) { stage_dint(st, d); });
    reg("lp", [&d](benchmark::State& st) { stage_lp(st, d); });
    reg("report", [&d](benchmark::State& st) { stage_report(st, d); });
    reg("score", [&d](benchmark::State& st) { stage_score(st, d); });
  }

  int bargc = static_cast<int>(rest.size());
  benchmark::Initialize(&bargc, rest.data());
  std::map<std::string, result> res;
  table_reporter rep(res, report_out);
  rep.SetOutputStream(&report_out);
  rep.SetErrorStream(&report_out);
  benchmark::RunSpecifiedBenchmarks(&rep);

  auto& o = report_out;
  char line[256];
  o << "\nData sets (generated by scripts/gen-data, fraction 0.1)\n";
  std::snprintf(line, sizeof line, "%-4s %9s %10s %8s %11s %11s %9s %9s %9s\n", "size", "proteins",
                "obs pairs", "domains", "dom. pairs", "test pairs", "input MB", "LP MB",
                "report MB");
  o << line;
  for (auto& dp : sets) {
    const data_set& d = *dp;
    std::snprintf(line, sizeof line, "%-4s %9d %10d %8d %11d %11d %9.1f %9.1f %9.1f\n",
                  d.size.c_str(), d.base.t.nprot, d.base.obs.n, d.base.t.ndom, d.solved.dint.n,
                  d.base.test.n, d.in_bytes / 1e6, d.lp_bytes / 1e6, d.report_bytes / 1e6);
    o << line;
  }

  o << "\nStages (best of 5 repetitions; MB/s of the text read or written, by wall time)\n";
  std::snprintf(line, sizeof line, "%-22s %-4s %10s %10s %9s %12s\n", "stage", "size", "time ms",
                "cpu ms", "MB/s", "M items/s");
  o << line;
  for (size_t s = 0; s < std::size(kStages); ++s) {
    for (auto& dp : sets) {
      auto it = res.find(std::string(kStages[s]) + "/" + dp->size);
      if (it == res.end()) continue;
      const result& r = it->second;
      char mbs[32] = "-";
      if (r.bytes_per_second > 0) std::snprintf(mbs, sizeof mbs, "%.0f", r.bytes_per_second / 1e6);
      std::snprintf(line, sizeof line, "%-22s %-4s %10.2f %10.2f %9s %12.2f\n", kStageText[s],
                    dp->size.c_str(), r.seconds * 1e3, r.cpu_seconds * 1e3, mbs,
                    r.items_per_second / 1e6);
      o << line;
    }
  }

  o << "\nGrowth of the time per stage (next size / this size; the input grows 10x)\n";
  for (size_t s = 0; s < std::size(kStages); ++s) {
    std::snprintf(line, sizeof line, "%-22s", kStageText[s]);
    o << line;
    for (size_t k = 1; k < sets.size(); ++k) {
      auto a = res.find(std::string(kStages[s]) + "/" + sets[k - 1]->size);
      auto b = res.find(std::string(kStages[s]) + "/" + sets[k]->size);
      if (a == res.end() || b == res.end()) continue;
      std::snprintf(line, sizeof line, "  %s->%s %5.1fx (cpu %5.1fx)", sets[k - 1]->size.c_str(),
                    sets[k]->size.c_str(), b->second.seconds / a->second.seconds,
                    b->second.cpu_seconds / a->second.cpu_seconds);
      o << line;
    }
    o << "\n";
  }

  o << "\nWhole run, stand-in solver copying the prepared report (best of 3; cpu: user + system)\n";
  std::snprintf(line, sizeof line, "%-4s %10s %10s %14s %16s\n", "size", "time s", "cpu s",
                "peak RSS MB", "stages sum s");
  o << line;
  for (size_t k = 0; k < sets.size(); ++k) {
    const data_set* dp = sets[k].get();
    const whole_run& best = runs[k];
    double sum = 0;
    for (const char* s : kStages) {
      auto it = res.find(std::string(s) + "/" + dp->size);
      if (it != res.end()) sum += it->second.seconds;
    }
    std::snprintf(line, sizeof line, "%-4s %10.2f %10.2f %14.1f %16.3f\n", dp->size.c_str(),
                  best.seconds, best.cpu_seconds, best.max_rss_kb / 1024.0, sum);
    o << line;
  }
  o.flush();
  return 0;
}
