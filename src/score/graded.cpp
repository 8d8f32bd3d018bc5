// The graded confidence of the domain pairs and the graded score of the
// test pairs, and the counts it is measured against.
//
// A domain pair's confidence says how many times more often than chance the
// protein pairs able to form it are seen to interact, chance being that
// each protein keeps its number of partners but chooses them at random:
// (O + 1) / (E + 1), where O counts the observed pairs that form it and E
// those expected among the same protein pairs by chance. The 1s are one
// pseudo-interaction on the side of "no effect", so that a pair seen once
// where almost nothing was expected is not ranked first. A test pair's
// graded score is the highest rate among the domain pairs it can form that
// some observed pair forms: the confidence times the chance rate E / N of
// the N protein pairs able to form it, about the share of those seen to
// interact, pulled toward chance where the evidence is thin.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "io/io.h"
#include "names.h"
#include "score.h"

namespace domlp {

namespace {

// The domain pairs of `dint` that a domain of a forms with a domain of b,
// each once however often the domains are listed (and (a, b) and (b, a)
// are one pair when both proteins carry both), into `out`.
void candidates(const node_table& t, const pair_set& dint, int a, int b, std::vector<int>& out) {
  // Domain lists are non-decreasing: repeats stand together.
  const std::vector<int>& ma = t.prot[a].member;
  const std::vector<int>& mb = t.prot[b].member;
  out.clear();
  for (size_t x = 0; x < ma.size(); ++x) {
    if (x > 0 && ma[x] == ma[x - 1]) continue;
    for (size_t y = 0; y < mb.size(); ++y)
      if (y == 0 || mb[y] != mb[y - 1])
        if (int k = find_pair(dint, ma[x], mb[y]); k >= 0) out.push_back(k);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

// Sums over proteins: how many carry the domains, the sum of their numbers
// of covering rows k, and of the squares of these.
struct carriers {
  int64_t n = 0, w = 0, q = 0;
  void add(int64_t k) { ++n, w += k, q += k * k; }
};

}  // namespace

graded grade_dint(const node_table& t, const pair_set& obs, const pair_set& dint,
                  const lp_rows& rows) {
  graded g;
  const size_t nd = dint.item.size();
  g.observed.assign(nd, 0);
  for (int d : rows.term) ++g.observed[d];
  // Each covering row's unit of credit, split equally over its domain pairs.
  g.credit.assign(nd, 0.0);
  for (size_t r = 0; r + 1 < rows.start.size(); ++r)
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x)
      g.credit[rows.term[x]] += 1.0 / static_cast<double>(rows.start[r + 1] - rows.start[r]);
  // Each protein's covering rows (a row of a protein with itself counts
  // twice); the proteins of the observed pairs are the ones chance pairs.
  std::vector<int64_t> k(t.prot.size(), 0);
  std::vector<char> observed(t.prot.size(), 0);
  for (const pair& p : obs.item) observed[p.i] = observed[p.j] = 1;
  for (int pos : rows.obs_pos) ++k[obs.item[pos].i], ++k[obs.item[pos].j];
  g.rows2 = 2 * static_cast<int64_t>(rows.obs_pos.size());
  std::vector<carriers> one(t.dom.size()), both(nd);
  for (size_t p = 0; p < t.prot.size(); ++p) {
    if (!observed[p]) continue;
    const std::vector<int>& m = t.prot[p].member;
    for (size_t x = 0; x < m.size(); ++x) {
      if (x > 0 && m[x] == m[x - 1]) continue;
      one[m[x]].add(k[p]);
      for (size_t y = x + 1; y < m.size(); ++y) {
        if (m[y] == m[y - 1]) continue;
        const int d = find_pair(dint, m[x], m[y]);
        if (d >= 0) both[d].add(k[p]);
      }
    }
  }
  g.chance.assign(nd, 0);
  g.pairs.assign(nd, 0);
  for (size_t d = 0; d < nd; ++d) {
    const carriers& a = one[dint.item[d].i];
    const carriers& b = one[dint.item[d].j];
    const carriers& ab = both[d];
    // Over the unordered protein pairs {p, q} (p = q allowed) able to form
    // the domain pair: their number, and the sum of k_p k_q, which is twice
    // the number of rows times E.
    if (dint.item[d].i == dint.item[d].j) {
      g.pairs[d] = a.n * (a.n + 1) / 2;
      g.chance[d] = (a.w * a.w + a.q) / 2;
    } else {
      g.pairs[d] = a.n * b.n - ab.n * (ab.n - 1) / 2;
      g.chance[d] = a.w * b.w - (ab.w * ab.w - ab.q) / 2;
    }
  }
  return g;
}

double confidence(const graded& g, size_t d) {
  return static_cast<double>(g.observed[d] + 1) * static_cast<double>(g.rows2) /
         static_cast<double>(g.chance[d] + g.rows2);
}

double expected(const graded& g, size_t d) {
  return static_cast<double>(g.chance[d]) / static_cast<double>(g.rows2);
}

double rate(const graded& g, size_t d) {
  return static_cast<double>(g.chance[d]) * static_cast<double>(g.observed[d] + 1) /
         (static_cast<double>(g.pairs[d]) * static_cast<double>(g.chance[d] + g.rows2));
}

namespace {

// The indices 0 .. n - 1 sorted by `before`, equals in their order.
template <class Before>
std::vector<size_t> ranked(size_t n, Before before) {
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), before);
  return order;
}

}  // namespace

std::vector<size_t> graded_order(const graded& g) {
  // Confidences compared exactly, as fractions of integers: many are equal.
  using wide = unsigned __int128;
  return ranked(g.observed.size(), [&](size_t x, size_t y) {
    const wide cx = static_cast<wide>(g.observed[x] + 1) * static_cast<wide>(g.chance[y] + g.rows2);
    const wide cy = static_cast<wide>(g.observed[y] + 1) * static_cast<wide>(g.chance[x] + g.rows2);
    return cx != cy ? cx > cy : g.observed[x] > g.observed[y];
  });
}

std::vector<size_t> support_order(const graded& g) {
  return ranked(g.observed.size(),
                [&](size_t x, size_t y) { return g.observed[x] > g.observed[y]; });
}

std::vector<size_t> credit_order(const graded& g) {
  return ranked(g.credit.size(), [&](size_t x, size_t y) { return g.credit[x] > g.credit[y]; });
}

namespace {

// Calls f(x, candidates) for each test pair x whose proteins have domains.
template <class F>
void each_scored(const node_table& t, const pair_set& dint, const pair_set& test, F f) {
  std::vector<int> cand;
  for (size_t x = 0; x < test.item.size(); ++x) {
    if (no_domain(t, test.item[x])) continue;
    candidates(t, dint, test.item[x].i, test.item[x].j, cand);
    f(x, cand);
  }
}

}  // namespace

void calc_graded_test(const node_table& t, const pair_set& dint, const graded& g,
                      const pair_set& test, std::vector<double>& score) {
  score.assign(test.item.size(), NAN);
  each_scored(t, dint, test, [&](size_t x, const std::vector<int>& cand) {
    score[x] = 0.0;
    for (int d : cand) score[x] = std::max(score[x], rate(g, d));
  });
}

void calc_baselines(const node_table& t, const pair_set& dint, const graded& g,
                    const pair_set& test, std::vector<double>& credit,
                    std::vector<double>& support) {
  credit.assign(test.item.size(), NAN);
  support.assign(test.item.size(), NAN);
  each_scored(t, dint, test, [&](size_t x, const std::vector<int>& cand) {
    double sum = 0.0;
    int64_t most = 0;
    for (int d : cand) {
      sum += g.credit[d];
      most = std::max(most, g.observed[d]);
    }
    credit[x] = sum;
    support[x] = static_cast<double>(most);
  });
}

void out_dgraded(FILE* f, const node_table& t, const pair_set& dint, const graded& g,
                 const std::vector<char>& known) {
  std::fputs("#domain_a\tdomain_b\tconfidence\tobserved_pairs\texpected\trate", f);
  std::fputs(known.empty() ? "\n" : "\tknown\n", f);
  for (size_t d : graded_order(g)) {
    put_domains(f, t, dint.item[d]);
    std::fprintf(f, "\t%g\t%lld\t%g\t%g", confidence(g, d), static_cast<long long>(g.observed[d]),
                 expected(g, d), rate(g, d));
    if (!known.empty()) std::fputs(known[d] ? "\t1" : "\t0", f);
    std::fputc('\n', f);
  }
}

void out_pgraded(FILE* f, const node_table& t, const pair_set& test,
                 const std::vector<double>& score) {
  std::fputs("#protein_a\tprotein_b\tgraded\tbasis\n", f);
  for (size_t x = 0; x < test.item.size(); ++x) {
    const pair& tp = test.item[x];
    put_names(f, t, tp);
    if (std::isnan(score[x]))
      std::fputs("\tNA", f);
    else
      std::fprintf(f, "\t%g", score[x]);
    std::fputs(no_domain(t, tp) ? "\tno-domain\n" : "\tdomains\n", f);
  }
}

}  // namespace domlp
