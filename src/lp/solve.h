// The in-memory solve with CLP, as the range computation reuses it; only
// the files of this directory include this header.
#pragma once

#include <ClpSimplex.hpp>
#include <vector>

#include "lp.h"

namespace domlp {

// Prints that CLP found no optimum, with its status; returns 1.
int no_optimum(int status);

// Loads into `model` the dual of the program of the covering rows i with
// solve[i] set, over the terms j with fixed[j] unset, each row with a slack
// of cost `slack_cost` (none when it is negative): a column y_i in [0, slack
// cost] for each row, a row sum y_i <= 1 for each term. Returns the row of
// each term, -1 for those left out.
std::vector<int> load_dual(ClpSimplex& model, const std::vector<size_t>& start,
                           const std::vector<int>& term, const std::vector<char>& solve,
                           const std::vector<char>& fixed, double slack_cost, bool quiet);
// Stores in value[k] the value of each term k that a model of load_dual has.
void take_values(const ClpSimplex& model, const std::vector<int>& row_of,
                 std::vector<double>& value);
// Solves `model` to an optimal basis; returns CLP's status, 0 when optimal.
int run_clp(ClpSimplex& model);

// Solves the program of `rows` over `ndint` domain pairs: stores an optimal
// vertex's values in `value` and the budget row's dual price in `price` (0
// when the budget leaves every row uncovered). Returns 0, or 1 after
// printing why.
int solve_program(const lp_rows& rows, size_t ndint, bool quiet, std::vector<double>& value,
                  double& price);

}  // namespace domlp
