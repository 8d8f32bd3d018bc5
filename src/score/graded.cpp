// The graded confidence of the domain pairs and of the test pairs, and the
// counts it is measured against.
//
// Two kinds of evidence point to a domain pair. First, how much more often
// than chance the protein pairs able to form it are seen to interact,
// chance being that each protein keeps its number of partners but chooses
// them at random: (O + 1) / (E + 1), where O counts the observed pairs that
// form it and E those expected among the same protein pairs by chance. The
// 1s are one pseudo-interaction on the side of "no effect", so that a pair
// seen once where almost nothing was expected is not ranked first. Second,
// how exclusively those observed pairs point to it: when t candidate
// domain pairs are formed by exactly the same observed pairs (its twins,
// itself included), nothing in the data tells them apart, and any number
// of them from 1 to t may be the real one. Taking each number as equally
// likely, a given twin is real with probability (t + 1) / (2 t), which
// scales its share of the group's evidence: the confidence is
// (O + 1) / (E + 1) x (t + 1) / (2 t), 1 for a pair with no twin.
//
// A test pair's confidence is the highest confidence among the domain
// pairs it can form, and that pair is its basis. It is predicted when its
// confidence is above 2: more than half of the observed interactions of
// the proteins carrying its basis are then beyond chance.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>

#include "io/io.h"
#include "names.h"
#include "score.h"

namespace domlp {

namespace {

// Sums over proteins: how many carry the domains, the sum of their numbers
// of covering rows k, and of the squares of these.
struct carriers {
  int64_t n = 0, w = 0, q = 0;
  void add(int64_t k) { ++n, w += k, q += k * k; }
};

// By domain pair, how many candidate domain pairs are formed by exactly the
// same covering rows, itself included.
std::vector<int> count_twins(const lp_rows& rows, size_t nd) {
  // Each domain pair's rows, in row order, side by side in one array.
  std::vector<size_t> at(nd + 1, 0);
  for (int d : rows.term) ++at[d + 1];
  for (size_t d = 0; d < nd; ++d) at[d + 1] += at[d];
  std::vector<int> listed(rows.term.size());
  std::vector<size_t> fill(at.begin(), at.end() - 1);
  for (size_t r = 0; r + 1 < rows.start.size(); ++r)
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x)
      listed[fill[rows.term[x]]++] = static_cast<int>(r);
  // Equal lists as equal bytes: the map compares them whole.
  auto rows_of = [&](size_t d) {
    return std::string_view(reinterpret_cast<const char*>(listed.data() + at[d]),
                            (at[d + 1] - at[d]) * sizeof(int));
  };
  // Each list looked up once: its group's number, and the groups' sizes.
  hash_map<std::string_view, int, name_hash> group;
  group.reserve(nd);
  std::vector<int> of(nd), size;
  for (size_t d = 0; d < nd; ++d) {
    auto [at, added] = group.try_emplace(rows_of(d), static_cast<int>(size.size()));
    if (added) size.push_back(0);
    ++size[at->second];
    of[d] = at->second;
  }
  for (int& x : of) x = size[x];
  return of;
}

}  // namespace

graded grade_dint(const node_table& t, const pair_set& obs, const pair_set& dint,
                  const lp_rows& rows) {
  graded g;
  const size_t nd = dint.item.size();
  g.of.resize(nd);
  // Each covering row counts for its domain pairs, and its unit of credit is
  // split equally over them.
  for (size_t r = 0; r + 1 < rows.start.size(); ++r)
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x) {
      pair_grade& p = g.of[rows.term[x]];
      ++p.observed;
      p.credit += 1.0 / static_cast<double>(rows.start[r + 1] - rows.start[r]);
    }
  const std::vector<int> twins = count_twins(rows, nd);
  for (size_t d = 0; d < nd; ++d) g.of[d].twins = twins[d];
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
  for (size_t d = 0; d < nd; ++d) {
    const carriers& a = one[dint.item[d].i];
    const carriers& b = one[dint.item[d].j];
    const carriers& ab = both[d];
    // Over the unordered protein pairs {p, q} (p = q allowed) able to form
    // the domain pair: their number, and the sum of k_p k_q, which is twice
    // the number of rows times E.
    if (dint.item[d].i == dint.item[d].j) {
      g.of[d].pairs = a.n * (a.n + 1) / 2;
      g.of[d].chance = (a.w * a.w + a.q) / 2;
    } else {
      g.of[d].pairs = a.n * b.n - ab.n * (ab.n - 1) / 2;
      g.of[d].chance = a.w * b.w - (ab.w * ab.w - ab.q) / 2;
    }
  }
  g.order = graded_order(g);
  return g;
}

double chance_ratio(const graded& g, size_t d) {
  return static_cast<double>(g.of[d].observed + 1) * static_cast<double>(g.rows2) /
         static_cast<double>(g.of[d].chance + g.rows2);
}

double confidence(const graded& g, size_t d) {
  const double t = g.of[d].twins;
  return chance_ratio(g, d) * (t + 1.0) / (2.0 * t);
}

double expected(const graded& g, size_t d) {
  return static_cast<double>(g.of[d].chance) / static_cast<double>(g.rows2);
}

double rate(const graded& g, size_t d) {
  return static_cast<double>(g.of[d].chance) * static_cast<double>(g.of[d].observed + 1) /
         (static_cast<double>(g.of[d].pairs) * static_cast<double>(g.of[d].chance + g.rows2));
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

using wide = unsigned __int128;

// Whether x's chance ratio times x_share is above y's times y_share, exactly
// as fractions of integers (many are equal): the ratio is
// (O + 1) 2L / (2L E + 2L), and the shares are given as num / den.
bool above(const graded& g, size_t x, wide x_num, wide x_den, size_t y, wide y_num, wide y_den) {
  const wide cx = static_cast<wide>(g.of[x].observed + 1) * x_num *
                  static_cast<wide>(g.of[y].chance + g.rows2) * y_den;
  const wide cy = static_cast<wide>(g.of[y].observed + 1) * y_num *
                  static_cast<wide>(g.of[x].chance + g.rows2) * x_den;
  return cx != cy ? cx > cy : g.of[x].observed > g.of[y].observed;
}

}  // namespace

std::vector<size_t> graded_order(const graded& g) {
  // Sorted first by the confidences as doubles, each beside its pair so
  // that the sort reads memory in order; then each run of nearly equal ones
  // again, by the exact comparison. The doubles are within a few units in
  // the last place of the true values, far less than the margin, so that
  // pairs further apart are already in their exact order.
  constexpr double kMargin = 1e-9;
  std::vector<std::pair<double, size_t>> c(g.of.size());
  for (size_t d = 0; d < c.size(); ++d) c[d] = {confidence(g, d), d};
  // Equal doubles in the order the pairs were first formed.
  std::sort(c.begin(), c.end(), [](const auto& x, const auto& y) {
    return x.first != y.first ? x.first > y.first : x.second < y.second;
  });
  std::vector<size_t> order(c.size());
  for (size_t x = 0; x < c.size(); ++x) order[x] = c[x].second;
  auto exact = [&](size_t x, size_t y) {
    // Most pairs of a run have the same counts, and no product says more.
    const pair_grade &a = g.of[x], &b = g.of[y];
    if (a.observed == b.observed && a.chance == b.chance && a.twins == b.twins) return false;
    const wide tx = static_cast<wide>(g.of[x].twins), ty = static_cast<wide>(g.of[y].twins);
    return above(g, x, tx + 1, tx, y, ty + 1, ty);
  };
  for (size_t from = 0, to = 1; from < c.size(); from = to++) {
    while (to < c.size() && c[to - 1].first <= c[to].first * (1 + kMargin)) ++to;
    // Equal doubles kept the order first formed, which the exact sort keeps
    // for exact equals. Most runs are of equal fractions, already in order.
    if (to - from > 1) {
      if (!std::is_sorted(order.begin() + from, order.begin() + to))
        std::sort(order.begin() + from, order.begin() + to);
      if (!std::is_sorted(order.begin() + from, order.begin() + to, exact))
        std::stable_sort(order.begin() + from, order.begin() + to, exact);
    }
  }
  return order;
}

std::vector<size_t> support_order(const graded& g) {
  return ranked(g.of.size(),
                [&](size_t x, size_t y) { return g.of[x].observed > g.of[y].observed; });
}

std::vector<size_t> credit_order(const graded& g) {
  return ranked(g.of.size(), [&](size_t x, size_t y) { return g.of[x].credit > g.of[y].credit; });
}

std::vector<size_t> firm_ratio_order(const graded& g, const std::vector<double>& low,
                                     const std::vector<double>& high) {
  return ranked(g.of.size(), [&](size_t x, size_t y) {
    const bool fx = class_of(low[x], high[x]) == range_class::firm;
    const bool fy = class_of(low[y], high[y]) == range_class::firm;
    return fx != fy ? fx : above(g, x, 1, 1, y, 1, 1);
  });
}

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

void calc_confidence_test(const node_table& t, const pair_set& dint, const graded& g,
                          const pair_set& test, std::vector<double>& conf,
                          std::vector<int>& basis) {
  // The basis is the candidate ranked first, so that a pair's basis and
  // confidence are those of its highest row in the domain pairs' table.
  std::vector<size_t> rank(dint.item.size());
  for (size_t r = 0; r < g.order.size(); ++r) rank[g.order[r]] = r;
  conf.assign(test.item.size(), NAN);
  basis.assign(test.item.size(), -1);
  for (size_t x = 0; x < test.item.size(); ++x) {
    const pair& tp = test.item[x];
    if (no_domain(t, tp)) continue;
    int& best = basis[x];
    for (int da : t.prot[tp.i].member)
      for (int db : t.prot[tp.j].member)
        if (int k = find_pair(dint, da, db); k >= 0 && (best < 0 || rank[k] < rank[best])) best = k;
    conf[x] = best < 0 ? 0.0 : confidence(g, best);
  }
}

bool predicted(double conf) {
  return conf > 2.0;
}

void calc_rate_test(const node_table& t, const pair_set& dint, const graded& g,
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
      sum += g.of[d].credit;
      most = std::max(most, g.of[d].observed);
    }
    credit[x] = sum;
    support[x] = static_cast<double>(most);
  });
}

namespace {

// A name, or "-" where there is none.
const std::string& or_dash(const std::string* name) {
  static const std::string dash = "-";
  return name ? *name : dash;
}

// How many lines ahead the writers ask for their records.
constexpr size_t kAhead = 8;

const char* range_name(double low, double high) {
  static const char* const name[] = {"excluded", "tied", "firm"};
  return name[static_cast<int>(class_of(low, high))];
}

}  // namespace

void out_dgraded(FILE* f, const node_table& t, const pair_set& dint, const graded& g,
                 const answer_extras& x) {
  const bool ranges = !x.low.empty();
  std::fputs("#rank\tdomain_a\tdomain_b", f);
  if (!x.names.empty()) std::fputs("\tname_a\tname_b", f);
  std::fputs("\tconfidence\tobserved_pairs\texpected\ttwins\tcredit", f);
  if (ranges) std::fputs("\tclass\tlow\thigh", f);
  std::fputs(x.known.empty() ? "\n" : "\tknown\n", f);
  table_line line;
  long long rank = 0;
  for (size_t r = 0; r < g.order.size(); ++r) {
    // The pairs in the order of confidence are all over memory: asking for
    // a later line's early lets the loads of several lines overlap.
    if (r + kAhead < g.order.size()) {
      __builtin_prefetch(&dint.item[g.order[r + kAhead]]);
      __builtin_prefetch(&g.of[g.order[r + kAhead]]);
    }
    const size_t d = g.order[r];
    const pair& dp = dint.item[d];
    line.count(++rank).name(t.dom[dp.i].name).name(t.dom[dp.j].name);
    if (!x.names.empty()) line.name(x.names[dp.i]).name(x.names[dp.j]);
    line.g(confidence(g, d)).count(g.of[d].observed).g(expected(g, d)).count(g.of[d].twins);
    line.g(g.of[d].credit);
    if (ranges) line.text(range_name(x.low[d], x.high[d])).g(x.low[d]).g(x.high[d]);
    if (!x.known.empty()) line.text(x.known[d] ? "1" : "0");
    line.put(f);
  }
}

void out_pgraded(FILE* f, const node_table& t, const pair_set& dint, const pair_set& test,
                 const std::vector<double>& conf, const std::vector<int>& basis,
                 const answer_extras& x) {
  const bool ranges = !x.low.empty();
  std::fputs("#protein_a\tprotein_b\tconfidence\tpredicted\tdomain_a\tdomain_b", f);
  if (!x.names.empty()) std::fputs("\tname_a\tname_b", f);
  if (ranges) std::fputs("\tclass\tlow\thigh", f);
  std::fputs("\tscore\tbasis\n", f);
  table_line line;
  for (size_t k = 0; k < test.item.size(); ++k) {
    if (k + kAhead < test.item.size()) {
      const pair& ahead = test.item[k + kAhead];
      __builtin_prefetch(&t.prot[ahead.i]);
      __builtin_prefetch(&t.prot[ahead.j]);
      if (basis[k + kAhead] >= 0) __builtin_prefetch(&dint.item[basis[k + kAhead]]);
    }
    const pair& tp = test.item[k];
    line.text(t.prot[tp.i].name).text(t.prot[tp.j].name);
    if (std::isnan(conf[k]))
      line.text("NA").text("no");
    else
      line.g(conf[k]).text(predicted(conf[k]) ? "yes" : "no");
    // The basis domain pair, and its names; "-" without one.
    const pair* b = basis[k] >= 0 ? &dint.item[basis[k]] : nullptr;
    line.name(or_dash(b ? &t.dom[b->i].name : nullptr));
    line.name(or_dash(b ? &t.dom[b->j].name : nullptr));
    if (!x.names.empty()) {
      line.name(or_dash(b ? &x.names[b->i] : nullptr));
      line.name(or_dash(b ? &x.names[b->j] : nullptr));
    }
    if (ranges)
      line.text(class_name(classify(no_domain(t, tp), x.low[k], x.high[k])))
          .g(x.low[k])
          .g(x.high[k]);
    line.g(tp.value).text(no_domain(t, tp) ? "no-domain" : "domains");
    line.put(f);
  }
}

}  // namespace domlp
