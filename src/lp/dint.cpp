#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "lp.h"

namespace domlp {

namespace {

// Calls f(da, db) for every distinct domain da of protein a with every
// distinct domain db of protein b, in list order. Domain lists are
// non-decreasing, so repeats of a domain stand together; they form no pair
// that their first occurrence does not.
template <class F>
void each_domain_pair(const node_table& t, int a, int b, F&& f) {
  const std::vector<int>& ma = t.prot[a].member;
  const std::vector<int>& mb = t.prot[b].member;
  for (size_t x = 0; x < ma.size(); ++x) {
    if (x > 0 && ma[x] == ma[x - 1]) continue;
    for (size_t y = 0; y < mb.size(); ++y)
      if (y == 0 || mb[y] != mb[y - 1]) f(ma[x], mb[y]);
  }
}

}  // namespace

void construct_dint(const node_table& t, pair_set& obs, pair_set& dint, lp_rows& rows) {
  // A domain pair is numbered the first time an observed pair forms it, so
  // every one is supported (obs = 1). The same walk lists each covering
  // row's terms: (a, b) and (b, a) name one pair, which a row lists once.
  rows = lp_rows{};
  rows.start.push_back(0);
  std::vector<size_t> last_row;  // by domain pair: the row that listed it last
  for (size_t k = 0; k < obs.item.size(); ++k) {
    pair& op = obs.item[k];
    op.obs = 1;
    if (t.prot[op.i].n <= 0 || t.prot[op.j].n <= 0) continue;
    size_t r = rows.obs_pos.size();
    each_domain_pair(t, op.i, op.j, [&](int da, int db) {
      auto [at, added] =
          dint.index.try_emplace(pair_key(da, db), static_cast<int>(dint.item.size()));
      if (added) {
        dint.item.push_back(pair{std::min(da, db), std::max(da, db), 0.0, 1});
        last_row.push_back(SIZE_MAX);
      }
      if (last_row[at->second] == r) return;
      last_row[at->second] = r;
      rows.term.push_back(at->second);
    });
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
