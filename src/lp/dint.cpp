#include <cstdio>

#include "lp.h"

namespace domlp {

void construct_dint(const node_table& t, pair_set& obs, pair_set& dint) {
  obs.index.reserve(obs.item.size());
  for (size_t k = 0; k < obs.item.size(); ++k) {
    obs.index.set(obs.item[k].i, obs.item[k].j, static_cast<int>(k));
    obs.item[k].obs = 1;
  }
  // A domain pair is numbered the first time an observed pair forms it.
  // Repeats of a domain in a protein's list cannot form a new pair, so each
  // distinct domain is visited once. The pair that numbers a domain pair is
  // an observed pair between proteins of its two domains, so every numbered
  // domain pair is supported.
  dint.item.clear();
  for (const pair& op : obs.item) {
    const std::vector<int>& ma = t.prot[op.i].member;
    const std::vector<int>& mb = t.prot[op.j].member;
    for_each_distinct(ma, [&](int da) {
      for_each_distinct(mb, [&](int db) {
        if (dint.index.get(da, db) >= 0) return;
        dint.index.set(da, db, static_cast<int>(dint.item.size()));
        pair dp;
        dp.i = std::min(da, db);
        dp.j = std::max(da, db);
        dp.prob = 0.0;
        dp.obs = 1;
        dint.item.push_back(dp);
      });
    });
  }
  dint.n = static_cast<int>(dint.item.size());
  dint.nobs = 0;
  for (const pair& dp : dint.item) dint.nobs += dp.obs;
  std::printf("%d\n", dint.nobs);
}

}  // namespace domlp
