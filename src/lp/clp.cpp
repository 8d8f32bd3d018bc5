#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>
#include <CoinPackedMatrix.hpp>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "io/io.h"
#include "lp.h"

namespace domlp {

namespace {

const char* status_text(int status) {
  switch (status) {
    case 1:
      return "primal infeasible";
    case 2:
      return "dual infeasible (unbounded)";
    case 3:
      return "stopped on iterations or time";
    case 4:
      return "stopped on difficulties";
    default:
      return "not optimal";
  }
}

int no_optimum(int status) {
  std::fprintf(stderr, "clp: no optimal solution: %s (status %d)\n", status_text(status), status);
  return 1;
}

// Solves the program of the covering rows r with solve[r] set: minimise the
// sum of their domain pairs, the terms of each row summing to at least 1.
// With a budget >= 0 each of these rows has its slack as well, and the slacks
// sum to at most `budget`. Stores the values of those domain pairs in
// `value`. With `quiet`, CLP's log is not shown. Returns CLP's status: 0
// when optimal.
int solve_rows(const lp_rows& rows, const std::vector<char>& solve, int budget, bool quiet,
               std::vector<double>& value) {
  // Columns: the domain pairs in their order, then the slacks in row order.
  const size_t nrows = rows.obs_pos.size();
  std::vector<int> col_of_dint(value.size(), -1);
  for (size_t r = 0; r < nrows; ++r)
    if (solve[r])
      for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x) col_of_dint[rows.term[x]] = 0;
  int ncols = 0;
  for (int& c : col_of_dint)
    if (c == 0) c = ncols++;
  const int nx = ncols;

  std::vector<CoinBigIndex> start{0};
  std::vector<int> index;
  std::vector<double> row_lo, row_hi;
  for (size_t r = 0; r < nrows; ++r) {
    if (!solve[r]) continue;
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x)
      index.push_back(col_of_dint[rows.term[x]]);
    if (budget >= 0) index.push_back(ncols++);
    start.push_back(static_cast<CoinBigIndex>(index.size()));
    row_lo.push_back(1.0);
    row_hi.push_back(COIN_DBL_MAX);
  }
  if (budget >= 0) {
    for (int c = nx; c < ncols; ++c) index.push_back(c);
    start.push_back(static_cast<CoinBigIndex>(index.size()));
    row_lo.push_back(-COIN_DBL_MAX);
    row_hi.push_back(budget);
  }

  std::vector<double> element(index.size(), 1.0), col_lo(ncols, 0.0);
  std::vector<double> col_hi(ncols, COIN_DBL_MAX), cost(ncols, 0.0);
  std::fill(cost.begin(), cost.begin() + nx, 1.0);
  CoinPackedMatrix matrix(false, ncols, static_cast<int>(row_lo.size()), start.back(),
                          element.data(), index.data(), start.data(), nullptr);
  ClpSimplex model;
  model.messageHandler()->setFilePointer(stderr);
  if (quiet) model.setLogLevel(0);
  model.loadProblem(matrix, col_lo.data(), col_hi.data(), cost.data(), row_lo.data(),
                    row_hi.data());
  // Without the budget row the program falls apart into small independent
  // pieces that presolve mostly removes; the dual simplex finishes the rest
  // (as fast as the primal one on a million observed pairs, and with exact
  // values where the primal one left some at 1e-12). With it, CLP's "idiot"
  // crash comes near the optimum and the primal simplex goes on from there:
  // 5 crash passes took 3.6 s of CPU on a hundred thousand observed pairs at
  // a fraction of 0.3 where CLP's own choice took 4.6 s, 10 passes 5.7 s and
  // 3 passes 4.6 s; 10.4 s at 0.5 where the others took 14.9-16.1 s.
  ClpSolve how;
  how.setPresolveType(ClpSolve::presolveOn);
  if (budget < 0) {
    how.setSolveType(ClpSolve::useDual);
  } else {
    how.setSolveType(ClpSolve::usePrimal);
    how.setSpecialOption(1, 2, 5);
  }
  // The solve cannot be stopped from outside; a signal ends the process
  // meanwhile, and SIGINT is left to this program (CLP would catch it).
  how.setSpecialOption(2, 1);
  {
    exit_on_signal at_once;
    model.initialSolve(how);
  }
  check_interrupt();
  if (model.status() != 0) return model.status();
  const double* x = model.primalColumnSolution();
  for (size_t k = 0; k < value.size(); ++k)
    if (col_of_dint[k] >= 0) value[k] = x[col_of_dint[k]];
  return 0;
}

}  // namespace

// The program of the LP file is not handed to CLP as it stands: an
// equivalent one, with the same optimum, is much smaller. On a million
// observed pairs at a fraction of 0.1 the whole run took 3.9 s of CPU and
// 245 MB with it, 218 s and 1.4 GB with the LP file's program; at 0.3, where
// the budget row stays, 285 s and 1.2 GB against 1043 s and 1.4 GB.
int solve_clp(const lp_rows& rows, const pair_set& /*obs*/, pair_set& dint, bool quiet) {
  // The slacks are at least 0, so a negative bound leaves no solution.
  if (rows.bound < 0) return no_optimum(1);
  // The slacks of observed pairs without a covering row are named by the
  // budget row alone: 0 is as good as any value for them, and they are left
  // out. So is that of a row that is not given to CLP.
  const size_t nrows = rows.obs_pos.size();
  std::vector<int> uses(dint.item.size(), 0);
  for (int d : rows.term) ++uses[d];
  // A row is alone when none of its domain pairs occurs in another row.
  std::vector<char> alone(nrows, 1);
  size_t nalone = 0;
  for (size_t r = 0; r < nrows; ++r) {
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x)
      if (uses[rows.term[x]] > 1) alone[r] = 0;
    nalone += alone[r];
  }
  // Every row has a domain pair, so the budget row's dual price is at most
  // 1: leaving a row uncovered saves at most 1 of the objective per unit of
  // the budget. Leaving an alone row uncovered saves exactly 1. Hence, when
  // the bound is at most the number of alone rows, it is optimal to leave
  // the first `bound` alone rows uncovered, to cover each other alone row
  // with its first domain pair, and to solve the other rows without slacks
  // (the budget row's price is 1). Otherwise every alone row is left
  // uncovered and the other rows share the rest of the budget.
  const size_t bound = static_cast<size_t>(rows.bound);
  const bool with_budget = bound > nalone;
  std::vector<double> value(dint.item.size(), 0.0);
  size_t seen = 0;
  for (size_t r = 0; r < nrows; ++r)
    if (alone[r] && seen++ >= bound) value[rows.term[rows.start[r]]] = 1.0;
  std::vector<char> solve(nrows);
  for (size_t r = 0; r < nrows; ++r) solve[r] = !alone[r];
  if (!with_budget) {
    // Without slacks a row of one domain pair sets that pair to 1, which
    // covers every row that has it. Left to CLP's presolve, this made the
    // whole run on a million observed pairs take 6.1 s of CPU and 641 MB
    // instead of 3.7 s and 244 MB.
    for (size_t r = 0; r < nrows; ++r)
      if (solve[r] && rows.start[r + 1] - rows.start[r] == 1) value[rows.term[rows.start[r]]] = 1.0;
    for (size_t r = 0; r < nrows; ++r)
      for (size_t x = rows.start[r]; solve[r] && x < rows.start[r + 1]; ++x)
        if (value[rows.term[x]] == 1.0) solve[r] = 0;
  }
  if (std::find(solve.begin(), solve.end(), 1) != solve.end()) {
    int budget = with_budget ? static_cast<int>(bound - nalone) : -1;
    if (int status = solve_rows(rows, solve, budget, quiet, value)) return no_optimum(status);
  }
  for (size_t k = 0; k < dint.item.size(); ++k) dint.item[k].prob = clamp_value(value[k]);
  return 0;
}

}  // namespace domlp
