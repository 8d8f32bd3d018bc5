// Scoring of the test pairs from the domain-pair values, and the predicted
// pairs file.
#pragma once

#include <string>

#include "model/model.h"

namespace domlp {

// Scores every test pair whose two proteins have domains.
void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test);

// Writes the test pairs scoring at least 1 to `file`. Returns 0, or 1 after
// printing why; an earlier file of that name is then left as it was.
int out_pint(const node_table& t, const pair_set& test, const std::string& file);

}  // namespace domlp
