// The in-memory solve with CLP, as the range computation reuses it; only
// the files of this directory include this header.
#pragma once

#include <ClpSimplex.hpp>
#include <vector>

#include "lp.h"

namespace domlp {

// Covering rows with their domain pairs numbered afresh (pairs), and the
// rows each pair is in.
struct shared_rows {
  std::vector<size_t> start;  // row i's pairs are pair[start[i]] .. pair[start[i + 1] - 1]
  std::vector<int> pair;
  std::vector<size_t> first;  // pair j is in rows in[first[j]] .. in[first[j + 1] - 1]
  std::vector<int> in;
  std::vector<int> dint;  // the domain pair of each pair
};

// The rows r with solve[r] set, without the domain pairs that fewer than
// `min_uses` rows of the program have (uses[d] of them): the solve leaves
// out the pairs of one row, whose slack is as cheap at a budget's price of
// at most 1, so that the pair can stay at 0.
shared_rows share(const lp_rows& rows, const std::vector<char>& solve, const std::vector<int>& uses,
                  int min_uses);

// The rules that fix pairs at a budget's price mu, and what they leave: a
// pair in at most 1 / mu rows not yet covered is set to 0, since raising
// their slacks instead costs no more; a pair that alone is left of at least
// 1 / mu rows is set to 1, since it costs no more than their slacks. Each
// rule can make the other one apply. With a margin, each holds only beyond
// 1 / mu by that much: it then costs strictly less, and the pair has that
// value in every optimum.
struct fixing {
  enum : char { open, at_zero, at_one };
  std::vector<char> state;  // by pair
  std::vector<int> left;    // by row: its open pairs, -1 once covered by a pair at 1
};
fixing fix_pairs(const shared_rows& s, double mu, double margin);

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
