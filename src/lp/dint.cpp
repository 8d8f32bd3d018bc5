#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

#include "lp.h"

namespace domlp {

namespace {

// The distinct domains of protein a, in list order: its list is
// non-decreasing, so repeats of a domain stand together, and they form no
// pair that their first occurrence does not.
void distinct_domains(const node_table& t, int a, std::vector<int>& out) {
  out.clear();
  for (int d : t.prot[a].member)
    if (out.empty() || out.back() != d) out.push_back(d);
}

// The domains that two sorted lists share.
void shared(const std::vector<int>& a, const std::vector<int>& b, std::vector<int>& out) {
  out.clear();
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
}

// An upper bound of the covering rows' terms, so that the list of terms is
// made once at its full size: grown by doubling, it was copied over and over,
// and each copy's pages were new to the process.
size_t terms_bound(const node_table& t, const pair_set& obs) {
  std::vector<size_t> distinct(t.prot.size());
  std::vector<int> doms;
  for (size_t q = 0; q < t.prot.size(); ++q) {
    distinct_domains(t, static_cast<int>(q), doms);
    distinct[q] = doms.size();
  }
  size_t bound = 0;
  for (const pair& op : obs.item) bound += distinct[op.i] * distinct[op.j];
  return bound;
}

}  // namespace

void construct_dint(const node_table& t, pair_set& obs, pair_set& dint, lp_rows& rows) {
  // A domain pair is numbered the first time an observed pair forms it, so
  // every one is supported (obs = 1). The same walk lists each covering
  // row's terms, every distinct domain da of one protein with every distinct
  // domain db of the other, in list order. (da, db) and (db, da) name one
  // pair, which a row lists once, when it first forms it: both are formed
  // only when both domains are on both proteins, and then (min, max) comes
  // first, the first protein's domains being in increasing order.
  rows = lp_rows{};
  rows.start.reserve(obs.item.size() + 1);
  rows.obs_pos.reserve(obs.item.size());
  rows.term.reserve(terms_bound(t, obs));
  rows.start.push_back(0);
  std::vector<int> ma, mb, both;
  for (size_t k = 0; k < obs.item.size(); ++k) {
    pair& op = obs.item[k];
    op.obs = 1;
    if (t.prot[op.i].n <= 0 || t.prot[op.j].n <= 0) continue;
    distinct_domains(t, op.i, ma);
    distinct_domains(t, op.j, mb);
    shared(ma, mb, both);
    auto on_both = [&](int d) { return std::binary_search(both.begin(), both.end(), d); };
    for (int da : ma) {
      for (int db : mb) {
        if (da > db && both.size() > 1 && on_both(da) && on_both(db)) continue;
        auto [at, added] =
            dint.index.try_emplace(pair_key(da, db), static_cast<int>(dint.item.size()));
        if (added) dint.item.push_back(pair{std::min(da, db), std::max(da, db), 0.0, 1});
        rows.term.push_back(at->second);
      }
    }
    rows.obs_pos.push_back(static_cast<int>(k));
    rows.start.push_back(rows.term.size());
  }
  dint.n = static_cast<int>(dint.item.size());
  dint.nobs = dint.n;
}

int lp_bound(size_t rows, float frac) {
  double p = static_cast<double>(rows) * static_cast<double>(frac);
  if (std::isnan(p)) return 0;
  if (p >= INT_MAX) return INT_MAX;
  if (p <= INT_MIN) return INT_MIN;
  return static_cast<int>(p);
}

double clamp_value(double v) {
  return !(v >= 0.0) ? 0.0 : v > 1.0 ? 1.0 : v;
}

double optimum(const pair_set& dint) {
  double sum = 0.0;
  for (const pair& dp : dint.item) sum += dp.prob;
  return sum;
}

}  // namespace domlp
