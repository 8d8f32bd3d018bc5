#include <algorithm>
#include <cstdio>

#include "lp.h"

namespace domlp {

namespace {

// Distance, in observed pairs, at which the protein nodes are fetched ahead;
// their domain lists are fetched at half that distance and the index slots
// of their domain pairs at a quarter, each once the data it needs is there.
constexpr size_t kAhead = 32;

}  // namespace

void construct_dint(const node_table& t, pair_set& obs, pair_set& dint) {
  const size_t n = obs.item.size();
  obs.index.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    if (k + kAhead < n) obs.index.prefetch(obs.item[k + kAhead].i, obs.item[k + kAhead].j);
    obs.index.set(obs.item[k].i, obs.item[k].j, static_cast<int>(k));
    obs.item[k].obs = 1;
  }
  // A domain pair is numbered the first time an observed pair forms it.
  // Repeats of a domain in a protein's list cannot form a new pair, so each
  // distinct domain is visited once. The pair that numbers a domain pair is
  // an observed pair between proteins of its two domains, so every numbered
  // domain pair is supported.
  dint.item.clear();
  // Sized for as many domain pairs as observed pairs, about what skewed
  // data gives: the index then rarely grows, and every growth would move
  // all of its entries to random places in a table twice the size.
  dint.index.reserve(n);
  dint.item.reserve(n);
  auto each_pair = [&](size_t k, auto&& f) { for_each_domain_combo(t, obs.item[k], f); };
  for (size_t k = 0; k < n; ++k) {
    prefetch_pair_proteins(t, obs.item, k, kAhead);
    if (k + kAhead / 4 < n)
      each_pair(k + kAhead / 4, [&](int da, int db) { dint.index.prefetch(da, db); });
    each_pair(k, [&](int da, int db) {
      if (dint.index.insert(da, db, static_cast<int>(dint.item.size())) >= 0) return;
      pair dp;
      dp.i = std::min(da, db);
      dp.j = std::max(da, db);
      dp.prob = 0.0;
      dp.obs = 1;
      dint.item.push_back(dp);
    });
  }
  dint.n = static_cast<int>(dint.item.size());
  dint.nobs = 0;
  for (const pair& dp : dint.item) dint.nobs += dp.obs;
  std::printf("%d\n", dint.nobs);
}

}  // namespace domlp
