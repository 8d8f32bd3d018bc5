// Scoring of the test pairs from the domain-pair values, and the predicted
// pairs file.
#pragma once

#include <cstdio>
#include <string>

#include "model/model.h"

namespace domlp {

// Scores every test pair whose two proteins have domains.
void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test);
// Score of one test pair: the capped sum of the values of the domain pairs its
// proteins form, every combination counted, in list order.
double score_pair(const node_table& t, const pair_set& dint, int a, int b);

// Writes the test pairs scoring at least 1 to `file`. Returns 0, or 1 after
// printing why; an earlier file of that name is then left as it was.
int out_pint(const node_table& t, const pair_set& test, const std::string& file);
// The same onto a stream; 0, or the error number of a failed write.
int write_pint(FILE* out, const node_table& t, const pair_set& test);

}  // namespace domlp
