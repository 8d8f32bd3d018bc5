// Cross-validation: the distinct observed pairs cut into folds, random pairs
// that are not observed, one ordinary run per fold and fraction on the pairs
// kept in memory, and the measures of the predictions.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <numeric>
#include <optional>
#include <random>
#include <span>

#include "driver.h"
#include "io/io.h"
#include "score/score.h"

namespace domlp {

namespace {

// A number in [0, n) from the generator, the same on every machine: the
// values of the last, partial block of n are drawn again, so that every
// number is equally likely.
uint64_t below(std::mt19937_64& g, uint64_t n) {
  uint64_t partial = (UINT64_MAX % n + 1) % n;
  uint64_t x = g();
  while (x > UINT64_MAX - partial) x = g();
  return x % n;
}

struct folds {
  std::vector<pair> pos;  // the distinct observed pairs, in order of first appearance
  // Every observed pair (pair_key) to its positive, and every negative to -1.
  hash_map<uint64_t, int> known;
  std::vector<int> fold_of;                  // by positive
  std::vector<int> line_fold;                // by observed pair: the fold that holds it out
  std::vector<std::vector<int>> members;     // by fold: its positives, in file order
  std::vector<std::vector<pair>> negatives;  // by fold, in the order drawn
};

// Shuffles the positives with the seed and cuts them into folds whose sizes
// differ by one at most.
int cut_folds(const options& o, const pair_set& obs, folds& f, std::mt19937_64& g) {
  for (const pair& p : obs.item)
    if (f.known.try_emplace(pair_key(p.i, p.j), static_cast<int>(f.pos.size())).second)
      f.pos.push_back(p);
  size_t n = f.pos.size(), k = static_cast<size_t>(o.folds);
  if (n < k) {
    std::fprintf(stderr, "cannot cut %zu distinct observed pairs into %d folds\n", n, o.folds);
    return 1;
  }
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  for (size_t x = n - 1; x > 0; --x) std::swap(order[x], order[below(g, x + 1)]);
  f.fold_of.resize(n);
  f.members.resize(k);
  for (size_t fold = 0, at = 0; fold < k; ++fold)
    for (size_t m = 0; m < n / k + (fold < n % k); ++m)
      f.fold_of[order[at++]] = static_cast<int>(fold);
  for (size_t x = 0; x < n; ++x) f.members[f.fold_of[x]].push_back(static_cast<int>(x));
  for (const pair& p : obs.item) f.line_fold.push_back(f.fold_of[f.known[pair_key(p.i, p.j)]]);
  return 0;
}

// Draws each fold's negatives, after the folds, from the same generator:
// pairs of two different proteins of the observed pairs, each drawn
// uniformly, neither observed nor drawn before.
int draw_negatives(const options& o, const node_table& t, folds& f, std::mt19937_64& g) {
  uint64_t np = static_cast<uint64_t>(t.nprot), observed = 0;
  for (const pair& p : f.pos) observed += p.i != p.j;
  uint64_t free = np * (np - 1) / 2 - observed;
  uint64_t want = static_cast<uint64_t>(o.negatives) * f.pos.size();
  if (want > free) {
    std::fprintf(stderr,
                 "'%s': %d proteins give %llu pairs that are not observed, too few for %llu "
                 "random pairs\n",
                 o.obs_file.c_str(), t.nprot, static_cast<unsigned long long>(free),
                 static_cast<unsigned long long>(want));
    return 1;
  }
  f.known.reserve(f.known.size() + want);
  f.negatives.resize(f.members.size());
  uint64_t draws = 0;
  for (size_t fold = 0; fold < f.members.size(); ++fold) {
    std::vector<pair>& neg = f.negatives[fold];
    while (neg.size() < f.members[fold].size() * o.negatives) {
      if (++draws % 65536 == 0) check_interrupt();
      int a = static_cast<int>(below(g, np)), b = static_cast<int>(below(g, np));
      if (a != b && f.known.try_emplace(pair_key(a, b), -1).second) neg.push_back(pair{a, b});
    }
  }
  return 0;
}

// The values that a fold's solve of a fraction hands back, in this order:
// the test pairs' scores, the optimum, with ranges the test pairs' classes,
// and with baselines their graded scores, credit and support.
size_t fold_values(const options& o, size_t n) {
  return n * (1 + o.ranges + (o.baselines ? 3 : 0)) + 1;
}

// One fraction of one fold, in a child process: the ordinary run's solve and
// scores, without its files; glpsol's LP file and report are temporary.
// Hands back what fold_values says.
int solve_fold(const options& o, int fold, float frac, const node_table& t, const pair_set& obs,
               pair_set& test, pair_set& dint, lp_rows& rows, double* out) {
  rows.bound = lp_bound(rows.obs_pos.size(), frac);
  output_file lp;
  if (o.solver == "glpsol" && dint.nobs > 0) {
    std::string name = derived_name(o.obs_stem, frac, "lp");
    if (!lp.open(name)) return write_failed(name, errno);
    write_lp(lp.stream(), rows, obs, dint);
    if (!lp.close()) return write_failed(name, errno);
  }
  if (find_values(o, rows, obs, dint, lp.temp_name(), derived_name(o.obs_stem, frac, "out"),
                  true)) {
    std::fprintf(stderr, "fold %d of %d: no values for fraction %s\n", fold, o.folds,
                 format_f(frac).c_str());
    return 1;
  }
  check_interrupt();
  calc_prob_test(t, dint, test);
  const size_t n = test.item.size();
  for (size_t k = 0; k < n; ++k) out[k] = test.item[k].prob;
  out[n] = optimum(dint);
  out += n + 1;
  if (o.ranges) {
    std::vector<double> low, high, test_low, test_high;
    if (find_ranges(rows, dint.item.size(), low, high)) {
      std::fprintf(stderr, "fold %d of %d: no ranges for fraction %s\n", fold, o.folds,
                   format_f(frac).c_str());
      return 1;
    }
    calc_range_test(t, dint, low, high, test, test_low, test_high);
    for (size_t k = 0; k < n; ++k)
      out[k] = static_cast<double>(classify(no_domain(t, test.item[k]), test_low[k], test_high[k]));
    out += n;
  }
  if (o.baselines) {
    const graded g = grade_dint(t, obs, dint, rows);
    std::vector<double> score, credit, support;
    calc_graded_test(t, dint, g, test, score);
    calc_baselines(t, dint, g, test, credit, support);
    for (const std::vector<double>* v : {&score, &credit, &support})
      out = std::copy(v->begin(), v->end(), out);
  }
  return 0;
}

// The .cv file of every fraction and the table of their measures, created
// before the first fold, so that each fold's pairs are written while the
// later solves run.
int open_cv(const options& o, std::vector<output_file>& files) {
  std::vector<std::string> names;
  for (float frac : o.fracs) names.push_back(derived_name(o.obs_stem, frac, "cv"));
  names.push_back(o.obs_stem + ".cv.tsv");
  if (open_together(names, files)) return 1;
  for (size_t x = 0; x < o.fracs.size(); ++x)
    out_cv_start(files[x].stream(), {o.ranges, o.baselines});
  return 0;
}

// The .cv files of the fractions that have values and the table of their
// measures, renamed into place together; the table goes to standard output
// too.
int finish_cv(const options& o, const std::vector<cv_summary>& summary,
              const std::vector<bool>& failed, std::vector<output_file>& files) {
  std::vector<std::pair<float, cv_summary>> table;
  for (size_t x = 0; x < o.fracs.size(); ++x) {
    if (failed[x])
      files[x].discard();
    else
      table.emplace_back(o.fracs[x], summary[x]);
  }
  auto put_table = [&](FILE* f) {
    out_cv_header(f, {o.ranges, o.baselines});
    for (const auto& [frac, s] : table) out_cv_line(f, frac, s, {o.ranges, o.baselines});
  };
  put_table(files.back().stream());
  if (commit_together(files)) return 1;
  put_table(stdout);
  return 0;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A fold's test pairs: its positives in file order, then its negatives.
std::vector<pair> fold_tests(const folds& f, int fold) {
  std::vector<pair> test;
  test.reserve(f.members[fold].size() + f.negatives[fold].size());
  for (int x : f.members[fold]) test.push_back(f.pos[x]);
  test.insert(test.end(), f.negatives[fold].begin(), f.negatives[fold].end());
  return test;
}

// A fold as an ordinary run: its tables, program and test pairs.
struct fold_run {
  node_table t;
  pair_set obs, test, dint;
  lp_rows rows;
};

// Builds fold `fold` from the pairs in memory.
fold_run build_fold(const node_table& full, const pair_set& obs, const folds& f, int fold) {
  fold_run r;
  std::vector<pair> train;
  train.reserve(obs.item.size());
  for (size_t k = 0; k < obs.item.size(); ++k)
    if (f.line_fold[k] != fold) train.push_back(obs.item[k]);
  make_tables(full, train, fold_tests(f, fold), r.t, r.obs, r.test);
  construct_dint(r.t, r.obs, r.dint, r.rows);
  return r;
}

// Appends the test pairs of fold `fold` to the scored pairs, and returns
// the start of its console line. A test pair's proteins have the domains in
// the fold that they have in the tables read, since the fold's tables hold
// them.
std::string add_fold_pairs(const options& o, const node_table& full, const folds& f, int fold,
                           std::vector<cv_pair>& pairs) {
  const std::vector<pair> test = fold_tests(f, fold);
  const size_t npos = f.members[fold].size();
  for (size_t x = 0; x < test.size(); ++x)
    pairs.push_back(cv_pair{fold + 1, test[x].i, test[x].j, x < npos, no_domain(full, test[x])});
  const size_t train = static_cast<size_t>(
      std::count_if(f.line_fold.begin(), f.line_fold.end(), [&](int x) { return x != fold; }));
  char line[200];
  std::snprintf(line, sizeof line,
                "fold %d of %d: %zu training pairs, %zu positives, %zu negatives", fold + 1,
                o.folds, train, npos, test.size() - npos);
  return line;
}

// What a fold's console line says of the optima: "optimum 12.5" for one
// fraction, "optima 12.5, 11, none" for a list, "none" standing for a
// fraction without one.
std::string optima_clause(const std::vector<std::string>& optima) {
  if (optima.size() == 1) return optima[0] == "none" ? "no optimum" : "optimum " + optima[0];
  std::string s = "optima ";
  for (size_t x = 0; x < optima.size(); ++x) s += (x > 0 ? ", " : "") + optima[x];
  return s;
}

}  // namespace

int cross_validate(const options& o) {
  node_table full;
  pair_set obs, none, unused;
  if (readdata(full, obs, none, unused, o.obs_file, o.dom_file, "", o.in, false)) return 1;
  folds f;
  std::mt19937_64 g(o.seed);
  if (cut_folds(o, obs, f, g)) return 1;
  if (draw_negatives(o, full, f, g)) return 1;
  if (flush_stdout()) return 1;
  // The first fold's program: a row for each training line whose proteins
  // have domains, and the budget row.
  size_t rows = 1;
  for (size_t k = 0; k < obs.item.size(); ++k)
    rows += f.line_fold[k] != 0 && !no_domain(full, obs.item[k]);
  hint_solver(o, rows);

  size_t nfrac = o.fracs.size(), total = 0;
  for (size_t fold = 0; fold < f.members.size(); ++fold)
    total += f.members[fold].size() + f.negatives[fold].size();
  // What this process frees goes back to the system before the memory that
  // grows while solves run is taken: reused, the pages would still be
  // shared with the running solves, and each first write would copy one (on
  // some virtual machines at a high cost). With two jobs a five-fold
  // cross-validation of the generated M set took about 6% less time.
  malloc_trim(0);
  std::vector<cv_pair> pairs;
  pairs.reserve(total);
  std::vector<cv_scores> scores(nfrac);
  for (cv_scores& s : scores) {
    s.score.reserve(total);
    if (o.ranges) s.cls.reserve(total);
    if (o.baselines)
      for (std::vector<double>* v : {&s.graded, &s.credit, &s.support}) v->reserve(total);
  }
  std::vector<cv_summary> summary(nfrac);
  std::vector<bool> failed(nfrac);
  std::vector<output_file> files;
  if (open_cv(o, files)) return 1;
  // The optimum of each fraction in the fold whose solves are being
  // reported: they are reported in order, fold after fold.
  std::vector<std::string> optima(nfrac);
  job_pool pool(o.jobs);
  for (int fold = 0; fold < o.folds; ++fold) {
    // A fold's tables are built once for all its solves: here when it has
    // several, whose processes share them, otherwise in the process of its
    // one solve, so that the folds are built on every core at once. On the
    // generated set of a hundred thousand observed pairs, a five-fold
    // cross-validation of one fraction took 0.65-0.68 of the time with
    // --jobs 2 that it takes with --jobs 1, against 0.94 when the folds were
    // built here one after the other; one of four fractions, 0.54 when they
    // were built in each solve's process, but 1.5 times as long.
    std::optional<fold_run> shared;
    if (nfrac > 1) {
      malloc_trim(0);
      shared.emplace(build_fold(full, obs, f, fold));
    }
    const size_t offset = pairs.size();
    const std::string line = add_fold_pairs(o, full, f, fold, pairs);
    const size_t n = pairs.size() - offset;
    const auto start = std::chrono::steady_clock::now();
    for (size_t x = 0; x < nfrac; ++x) {
      auto work = [&, x, fold](double* out) {
        std::optional<fold_run> own;
        fold_run& r = shared ? *shared : own.emplace(build_fold(full, obs, f, fold));
        return solve_fold(o, fold + 1, o.fracs[x], r.t, r.obs, r.test, r.dint, r.rows, out);
      };
      auto done = [&, x, fold, offset, start, n, line](int status, const double* out) {
        // Folds end in order: each appends its block of scores, or zeros,
        // never used, when the solve failed.
        cv_scores& s = scores[x];
        optima[x] = out ? format_g(out[n]) : "none";
        std::vector<double> none;
        if (!out) {
          none.assign(fold_values(o, n), 0.0);
          out = none.data();
          failed[x] = true;
          if (status > 1 && !interrupted())
            std::fprintf(stderr,
                         "fold %d of %d: the solve of fraction %s was stopped by signal %d\n",
                         fold + 1, o.folds, format_f(o.fracs[x]).c_str(), status - 128);
        }
        s.score.insert(s.score.end(), out, out + n);
        out += n + 1;
        if (o.ranges) {
          for (size_t k = 0; k < n; ++k) s.cls.push_back(static_cast<char>(out[k]));
          out += n;
        }
        if (o.baselines)
          for (std::vector<double>* v : {&s.graded, &s.credit, &s.support}) {
            v->insert(v->end(), out, out + n);
            out += n;
          }
        if (!failed[x])
          out_cv(files[x].stream(), full, std::span(pairs).subspan(offset, n), s, offset);
        // A fraction's measures are taken once its last fold is in, while
        // the other fractions' solves may still run.
        if (fold + 1 == o.folds && !failed[x]) summary[x] = summarize_cv(pairs, s);
        if (x + 1 == nfrac)
          std::fprintf(stderr, "%s; %s (%.1f s)\n", line.c_str(), optima_clause(optima).c_str(),
                       seconds_since(start));
      };
      pool.submit(work, fold_values(o, n), done, solve_files(o, o.fracs[x]));
    }
  }
  pool.wait_all();

  if (finish_cv(o, summary, failed, files)) return 1;
  std::vector<std::string> bad;
  for (size_t x = 0; x < nfrac; ++x)
    if (failed[x]) bad.push_back(format_f(o.fracs[x]));
  return end_of_list(bad, nfrac);
}

}  // namespace domlp
