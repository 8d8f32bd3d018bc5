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

void construct_dint(const node_table& t, pair_set& obs, pair_set& dint) {
  // Every domain pair is numbered by an observed pair between proteins of
  // its two domains, so every one is supported (obs = 1).
  for (pair& op : obs.item) {
    op.obs = 1;
    each_domain_pair(t, op.i, op.j, [&](int da, int db) {
      if (!dint.index.try_emplace(pair_key(da, db), static_cast<int>(dint.item.size())).second)
        return;
      dint.item.push_back(pair{std::min(da, db), std::max(da, db), 0.0, 1});
    });
  }
  dint.n = static_cast<int>(dint.item.size());
  dint.nobs = dint.n;
  std::printf("%d\n", dint.nobs);
}

int lp_bound(size_t rows, float frac) {
  double p = static_cast<double>(rows) * static_cast<double>(frac);
  if (std::isnan(p)) return 0;
  if (p >= INT_MAX) return INT_MAX;
  if (p <= INT_MIN) return INT_MIN;
  return static_cast<int>(p);
}

lp_rows build_rows(const node_table& t, const pair_set& obs, const pair_set& dint, float frac) {
  lp_rows rows;
  rows.start.push_back(0);
  // The row a domain pair was last written in: (a, b) and (b, a) name the
  // same pair, which a row lists once.
  std::vector<size_t> last_row(dint.item.size(), SIZE_MAX);
  for (size_t k = 0; k < obs.item.size(); ++k) {
    const pair& op = obs.item[k];
    if (op.obs != 1 || t.prot[op.i].n <= 0 || t.prot[op.j].n <= 0) continue;
    size_t r = rows.obs_pos.size();
    each_domain_pair(t, op.i, op.j, [&](int da, int db) {
      int d = find_pair(dint, da, db);
      if (d < 0 || last_row[d] == r) return;
      last_row[d] = r;
      rows.term.push_back(d);
    });
    rows.obs_pos.push_back(static_cast<int>(k));
    rows.start.push_back(rows.term.size());
  }
  rows.bound = lp_bound(rows.obs_pos.size(), frac);
  return rows;
}

}  // namespace domlp
