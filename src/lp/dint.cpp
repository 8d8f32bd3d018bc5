#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <span>
#include <vector>

#include "lp.h"

namespace domlp {

namespace {

// Every protein's distinct domains, in list order, side by side in one
// array. A protein's list is non-decreasing, so repeats of a domain stand
// together, and they form no pair that their first occurrence does not.
struct distinct_domains {
  std::vector<size_t> start{0};  // protein q's are dom[start[q]] .. dom[start[q + 1] - 1]
  std::vector<int> dom;

  explicit distinct_domains(const node_table& t) {
    start.reserve(t.prot.size() + 1);
    for (const node& q : t.prot) {
      for (int d : q.member)
        if (dom.size() == start.back() || dom.back() != d) dom.push_back(d);
      start.push_back(dom.size());
    }
  }
  std::span<const int> of(int q) const {
    return std::span<const int>(dom).subspan(start[q], start[q + 1] - start[q]);
  }
};

// An upper bound of the covering rows' terms, so that the list of terms is
// made once at its full size: grown by doubling, it was copied over and over,
// and each copy's pages were new to the process.
size_t terms_bound(const distinct_domains& doms, const pair_set& obs) {
  size_t bound = 0;
  for (const pair& op : obs.item) bound += doms.of(op.i).size() * doms.of(op.j).size();
  return bound;
}

}  // namespace

void construct_dint(const node_table& t, const pair_set& obs, pair_set& dint, lp_rows& rows) {
  // A domain pair is numbered the first time an observed pair forms it, so
  // every one is supported by an observed pair. The same walk lists each covering
  // row's terms, every distinct domain da of one protein with every distinct
  // domain db of the other, in list order. (da, db) and (db, da) name one
  // pair, which a row lists once, when it first forms it: both are formed
  // only when both domains are on both proteins, and then (min, max) comes
  // first, the first protein's domains being in increasing order.
  const distinct_domains doms(t);
  rows = lp_rows{};
  rows.start.reserve(obs.item.size() + 1);
  rows.obs_pos.reserve(obs.item.size());
  rows.term.reserve(terms_bound(doms, obs));
  rows.start.push_back(0);
  std::vector<int> both;
  for (size_t k = 0; k < obs.item.size(); ++k) {
    const pair& op = obs.item[k];
    const std::span<const int> ma = doms.of(op.i), mb = doms.of(op.j);
    if (ma.empty() || mb.empty()) continue;
    both.clear();
    std::set_intersection(ma.begin(), ma.end(), mb.begin(), mb.end(), std::back_inserter(both));
    auto on_both = [&](int d) { return std::binary_search(both.begin(), both.end(), d); };
    for (int da : ma) {
      for (int db : mb) {
        if (da > db && both.size() > 1 && on_both(da) && on_both(db)) continue;
        auto [at, added] =
            dint.index.try_emplace(pair_key(da, db), static_cast<int>(dint.item.size()));
        if (added) dint.item.push_back(pair{std::min(da, db), std::max(da, db), 0.0});
        rows.term.push_back(at->second);
      }
    }
    rows.obs_pos.push_back(static_cast<int>(k));
    rows.start.push_back(rows.term.size());
  }
  dint.n = static_cast<int>(dint.item.size());
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
  for (const pair& dp : dint.item) sum += dp.value;
  return sum;
}

}  // namespace domlp
