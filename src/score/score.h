// Scoring of the test pairs from the domain-pair values, and the result
// files: the predicted pairs, the inferred domain pairs and every test
// pair's score.
#pragma once

#include <cstdio>

#include "lp/lp.h"
#include "model/model.h"

namespace domlp {

// Scores every test pair whose two proteins have domains.
void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test);

// The test pairs scoring at least 1, "name<TAB>name" a line.
void out_pint(FILE* f, const node_table& t, const pair_set& test);
// The domain pairs valued above 0, largest value first, each with the
// number of covering rows (observed pairs) that list it.
void out_dint(FILE* f, const node_table& t, const pair_set& dint, const lp_rows& rows);
// Every test pair with its score and whether it comes from domain pairs.
void out_scores(FILE* f, const node_table& t, const pair_set& test);

// Whether test pair `p` cannot be scored: a protein has no domain.
inline bool no_domain(const node_table& t, const pair& p) {
  return t.prot[p.i].n == 0 || t.prot[p.j].n == 0;
}

}  // namespace domlp
