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

#include "io/io.h"
#include "steps.h"

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

// Draws each fold's negatives, after the folds, from the same generator,
// each pair's two proteins drawn by `end` in turn: kept when the proteins
// differ and the pair is neither observed nor drawn before. Returns 0, or 1
// after printing why when `give_up` draws in all were rejected (0: no
// limit). Only degree-balanced draws have a limit.
template <class Draw>
int fill_negatives(const options& o, folds& f, std::mt19937_64& g, uint64_t want, uint64_t give_up,
                   Draw end) {
  f.known.reserve(f.known.size() + want);
  f.negatives.resize(f.members.size());
  uint64_t draws = 0, rejected = 0;
  for (size_t fold = 0; fold < f.members.size(); ++fold) {
    std::vector<pair>& neg = f.negatives[fold];
    while (neg.size() < f.members[fold].size() * o.negatives) {
      if (++draws % 65536 == 0) check_interrupt();
      int a = end(g), b = end(g);
      if (a != b && f.known.try_emplace(pair_key(a, b), -1).second)
        neg.push_back(pair{a, b});
      else if (++rejected == give_up) {
        std::fprintf(stderr,
                     "'%s': the draws of %llu degree-balanced random pairs gave up after %llu "
                     "rejected ones: ask fewer --negatives, or draw them without "
                     "--balanced-negatives\n",
                     o.obs_file.c_str(), static_cast<unsigned long long>(want),
                     static_cast<unsigned long long>(rejected));
        return 1;
      }
    }
  }
  return 0;
}

// Uniform negatives: pairs of two different proteins of the observed pairs,
// each protein drawn uniformly.
int draw_uniform(const options& o, const node_table& t, folds& f, std::mt19937_64& g,
                 uint64_t want) {
  uint64_t np = static_cast<uint64_t>(t.nprot), observed = 0;
  for (const pair& p : f.pos) observed += p.i != p.j;
  uint64_t free = np * (np - 1) / 2 - observed;
  if (want > free) {
    std::fprintf(stderr,
                 "'%s': %d proteins give %llu pairs that are not observed, too few for %llu "
                 "random pairs\n",
                 o.obs_file.c_str(), t.nprot, static_cast<unsigned long long>(free),
                 static_cast<unsigned long long>(want));
    return 1;
  }
  // Every pair left is as likely as any other: no limit.
  return fill_negatives(o, f, g, want, 0,
                        [np](std::mt19937_64& r) { return static_cast<int>(below(r, np)); });
}

// Degree-balanced negatives: each protein drawn as a random end of a
// uniformly drawn distinct observed pair, so in proportion to its number of
// them, and a pair in proportion to the product of its proteins' numbers. A
// protein's share of the negatives is then its share of the positives, and
// a score made of the numbers of partners alone gains nothing from them:
// what is measured is the evidence of the domains.
int draw_balanced(const options& o, const node_table& t, folds& f, std::mt19937_64& g,
                  uint64_t want) {
  std::vector<int> ends;
  std::vector<bool> drawn(static_cast<size_t>(t.nprot));
  uint64_t observed = 0;
  for (const pair& p : f.pos) {
    ends.insert(ends.end(), {p.i, p.j});
    drawn[p.i] = drawn[p.j] = true;
    observed += p.i != p.j;
  }
  const uint64_t np = static_cast<uint64_t>(std::count(drawn.begin(), drawn.end(), true));
  const uint64_t free = np * (np - (np > 0)) / 2 - observed;
  if (want > free) {
    std::fprintf(stderr,
                 "'%s': %llu proteins give %llu pairs that are not observed, too few for %llu "
                 "degree-balanced random pairs: ask fewer --negatives\n",
                 o.obs_file.c_str(), static_cast<unsigned long long>(np),
                 static_cast<unsigned long long>(free), static_cast<unsigned long long>(want));
    return 1;
  }
  // Drawn by weight, the pairs left may be all but impossible to reach: the
  // draws are bounded, well beyond what a feasible draw needs.
  const uint64_t extra = 1000000,
                 give_up = want > (UINT64_MAX - extra) / 1000 ? UINT64_MAX : 1000 * want + extra;
  const uint64_t n = ends.size();
  return fill_negatives(o, f, g, want, give_up,
                        [&ends, n](std::mt19937_64& r) { return ends[below(r, n)]; });
}

// Draws each fold's negatives, after the folds, from the same generator.
int draw_negatives(const options& o, const node_table& t, folds& f, std::mt19937_64& g) {
  uint64_t want = static_cast<uint64_t>(o.negatives) * f.pos.size();
  return o.balanced_negatives ? draw_balanced(o, t, f, g, want) : draw_uniform(o, t, f, g, want);
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

// Builds fold `fold` from the pairs in memory.
run_tables build_fold(const node_table& full, const pair_set& obs, const folds& f, int fold) {
  run_tables r;
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

// A cross-validation under way: the tables read, the folds, the pairs
// scored so far and, by fraction, their scores, measures and files.
struct cv_state {
  node_table full;
  pair_set obs;
  folds f;
  cv_columns cols;
  std::vector<cv_pair> pairs;
  std::vector<cv_scores> scores;
  std::vector<cv_summary> summary;
  std::vector<bool> failed;
  output_group files;  // each fraction's .cv file, then the table of measures
  // The optimum of each fraction in the fold whose solves are being
  // reported: they are reported in order, fold after fold.
  std::vector<std::string> optima;
};

// Reads the observed pairs, cuts the folds, draws the negatives and makes
// room for every fraction's scores. Returns 0, or 1 after printing why.
int set_up(const options& o, cv_state& s) {
  pair_set none, unused;
  if (readdata(s.full, s.obs, none, unused, o.obs_file, o.dom_file, "", o.in, false)) return 1;
  std::mt19937_64 g(o.seed);
  if (cut_folds(o, s.obs, s.f, g)) return 1;
  if (draw_negatives(o, s.full, s.f, g)) return 1;
  if (flush_stdout()) return 1;
  // The first fold's program: a row for each training line whose proteins
  // have domains, and the budget row.
  size_t rows = 1;
  for (size_t k = 0; k < s.obs.item.size(); ++k)
    rows += s.f.line_fold[k] != 0 && !no_domain(s.full, s.obs.item[k]);
  hint_solver(o, rows);

  const size_t nfrac = o.fracs.size();
  size_t total = 0;
  for (size_t fold = 0; fold < s.f.members.size(); ++fold)
    total += s.f.members[fold].size() + s.f.negatives[fold].size();
  // What this process frees goes back to the system before the memory that
  // grows while solves run is taken: reused, the pages would still be
  // shared with the running solves, and each first write would copy one.
  malloc_trim(0);
  s.cols = {o.ranges, o.baselines};
  s.pairs.reserve(total);
  s.scores.resize(nfrac);
  for (cv_scores& c : s.scores) {
    c.score.reserve(total);
    if (s.cols.ranges) c.cls.reserve(total);
    if (s.cols.baselines)
      for (std::vector<double>* v : {&c.graded, &c.credit, &c.support, &c.rate}) v->reserve(total);
  }
  s.summary.resize(nfrac);
  s.failed.resize(nfrac);
  s.optima.resize(nfrac);
  return 0;
}

// The .cv file of every fraction and the table of their measures, created
// before the first fold, so that each fold's pairs are written while the
// later solves run.
int open_cv(const options& o, cv_state& s) {
  std::vector<std::string> names;
  for (float frac : o.fracs) names.push_back(derived_name(o.obs_stem, frac, "cv"));
  names.push_back(o.obs_stem + ".cv.tsv");
  if (s.files.open(names)) return 1;
  for (size_t x = 0; x < o.fracs.size(); ++x) out_cv_start(s.files.stream(x), s.cols);
  return 0;
}

// The .cv files of the fractions that have values and the table of their
// measures, renamed into place together; the table goes to standard output
// too.
int finish_cv(const options& o, cv_state& s) {
  std::vector<std::pair<float, cv_summary>> table;
  for (size_t x = 0; x < o.fracs.size(); ++x) {
    if (s.failed[x])
      s.files.discard(x);
    else
      table.emplace_back(o.fracs[x], s.summary[x]);
  }
  auto put_table = [&](FILE* f) {
    out_cv_header(f, s.cols);
    for (const auto& [frac, sum] : table) out_cv_line(f, frac, sum, s.cols);
  };
  put_table(s.files.stream(o.fracs.size()));
  if (s.files.commit()) return 1;
  put_table(stdout);
  return 0;
}

// A fold's block of the scored pairs, and the start of its console line.
struct fold_block {
  int fold;  // from 0
  size_t offset, n;
  std::string line;
  std::chrono::steady_clock::time_point start;
};

// Appends a fold's scores of fraction `x`, or zeros, never used, when its
// solve failed: the pairs' classes from the bounds of their scores, and
// what the columns ask for besides.
void append_scores(cv_state& s, size_t x, const fold_block& b, const solve_result* r) {
  cv_scores& c = s.scores[x];
  auto append = [&](std::vector<double>& to, const std::vector<double>* from) {
    if (from)
      to.insert(to.end(), from->begin(), from->end());
    else
      to.resize(to.size() + b.n);
  };
  append(c.score, r ? &r->score : nullptr);
  if (s.cols.ranges)
    for (size_t k = 0; k < b.n; ++k) {
      const bool by_rule = s.pairs[b.offset + k].no_domain;
      c.cls.push_back(r ? static_cast<char>(classify(by_rule, r->test_low[k], r->test_high[k]))
                        : 0);
    }
  if (s.cols.baselines) {
    append(c.graded, r ? &r->graded : nullptr);
    append(c.credit, r ? &r->credit : nullptr);
    append(c.support, r ? &r->support : nullptr);
    append(c.rate, r ? &r->rate : nullptr);
  }
}

// What this process does with a fold's solve of fraction `x` once it and
// every earlier one have ended: folds end in order.
void fold_done(const options& o, cv_state& s, size_t x, const fold_block& b, int status,
               const solve_result* r) {
  s.optima[x] = r ? format_g(r->optimum) : "none";
  if (!r) {
    s.failed[x] = true;
    if (status > 1 && !interrupted())
      std::fprintf(stderr, "fold %d of %d: the solve of fraction %s was stopped by signal %d\n",
                   b.fold + 1, o.folds, format_f(o.fracs[x]).c_str(), status - 128);
  }
  append_scores(s, x, b, r);
  if (!s.failed[x])
    out_cv(s.files.stream(x), s.full, std::span(s.pairs).subspan(b.offset, b.n), s.scores[x],
           b.offset);
  // A fraction's measures are taken once its last fold is in, while the
  // other fractions' solves may still run.
  if (b.fold + 1 == o.folds && !s.failed[x]) s.summary[x] = summarize_cv(s.pairs, s.scores[x]);
  if (x + 1 == o.fracs.size())
    std::fprintf(stderr, "%s; %s (%.1f s)\n", b.line.c_str(), optima_clause(s.optima).c_str(),
                 seconds_since(b.start));
}

// Submits every fraction's solve of fold `fold`.
void submit_fold(const options& o, cv_state& s, job_pool& pool, int fold) {
  // A fold's tables are built once for all its solves: here when it has
  // several, whose processes share them, otherwise in the process of its
  // one solve, so that the folds are built on every core at once
  // (HACKING.md has the figures).
  std::optional<run_tables> shared;
  if (o.fracs.size() > 1) {
    malloc_trim(0);
    shared.emplace(build_fold(s.full, s.obs, s.f, fold));
  }
  fold_block b{fold, s.pairs.size(), 0, "", std::chrono::steady_clock::now()};
  b.line = add_fold_pairs(o, s.full, s.f, fold, s.pairs);
  b.n = s.pairs.size() - b.offset;
  const std::string where = "fold " + std::to_string(fold + 1) + " of " + std::to_string(o.folds);
  for (size_t x = 0; x < o.fracs.size(); ++x) {
    auto work = [&, x](solve_result& out) {
      std::optional<run_tables> own;
      run_tables& in = shared ? *shared : own.emplace(build_fold(s.full, s.obs, s.f, fold));
      std::optional<solve_result> r =
          solve_one(o, {o.fracs[x], solver_files::temporary, where}, in);
      if (!r) return 1;
      // The domain pairs are the fold's own: only the test pairs' columns go back.
      r->low.clear();
      r->high.clear();
      out = std::move(*r);
      return 0;
    };
    auto done = [&, x, b](int status, const solve_result* r) { fold_done(o, s, x, b, status, r); };
    pool.submit(work, done, solve_files(o, o.fracs[x]));
  }
}

}  // namespace

int cross_validate(const options& o) {
  cv_state s;
  if (set_up(o, s)) return 1;
  if (open_cv(o, s)) return 1;
  {
    job_pool pool(o.jobs);
    for (int fold = 0; fold < o.folds; ++fold) submit_fold(o, s, pool, fold);
    pool.wait_all();
  }
  if (finish_cv(o, s)) return 1;
  std::vector<std::string> bad;
  for (size_t x = 0; x < o.fracs.size(); ++x)
    if (s.failed[x]) bad.push_back(format_f(o.fracs[x]));
  return end_of_list(bad, o.fracs.size());
}

}  // namespace domlp
