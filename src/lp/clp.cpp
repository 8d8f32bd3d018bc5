#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>
#include <CoinPackedMatrix.hpp>
#include <cstdio>

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

}  // namespace

int solve_clp(const lp_rows& rows, const pair_set& obs, pair_set& dint) {
  // Columns as glpsol numbers them, in order of first appearance in the LP
  // text: the domain pairs of the objective, then the slacks of the covering
  // rows. The slacks of observed pairs without a covering row, which only
  // the budget row names, are left out: 0 is as good as any value for them.
  // With them CLP's presolve took 80 s on a million observed pairs (it
  // merges them as duplicate columns of the dense budget row), without them
  // 3 s.
  std::vector<int> col_of_dint(dint.item.size(), -1), col_of_obs(obs.item.size(), -1);
  int ncols = 0;
  for (size_t k = 0; k < dint.item.size(); ++k)
    if (dint.item[k].obs == 1) col_of_dint[k] = ncols++;
  int nx = ncols;
  for (int t : rows.obs_pos) col_of_obs[t] = ncols++;

  // The rows, as the LP text has them: covering rows r >= 1, then the budget.
  std::vector<CoinBigIndex> start{0};
  std::vector<int> index;
  std::vector<double> row_lo, row_hi;
  for (size_t r = 0; r < rows.obs_pos.size(); ++r) {
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x)
      index.push_back(col_of_dint[rows.term[x]]);
    index.push_back(col_of_obs[rows.obs_pos[r]]);
    start.push_back(static_cast<CoinBigIndex>(index.size()));
    row_lo.push_back(1.0);
    row_hi.push_back(COIN_DBL_MAX);
  }
  for (size_t t = 0; t < obs.item.size(); ++t)
    if (col_of_obs[t] >= 0) index.push_back(col_of_obs[t]);
  start.push_back(static_cast<CoinBigIndex>(index.size()));
  row_lo.push_back(-COIN_DBL_MAX);
  row_hi.push_back(rows.bound);

  std::vector<double> value(index.size(), 1.0), col_lo(ncols, 0.0), col_hi(ncols, COIN_DBL_MAX);
  std::vector<double> cost(ncols, 0.0);
  std::fill(cost.begin(), cost.begin() + nx, 1.0);
  CoinPackedMatrix matrix(false, ncols, static_cast<int>(row_lo.size()), start.back(), value.data(),
                          index.data(), start.data(), nullptr);
  ClpSimplex model;
  model.messageHandler()->setFilePointer(stderr);
  model.loadProblem(matrix, col_lo.data(), col_hi.data(), cost.data(), row_lo.data(),
                    row_hi.data());
  // Presolve, CLP's "idiot" crash to come near the optimum, then the primal
  // simplex from there: on a million observed pairs 4 minutes, where the
  // primal simplex alone took 31. 5 crash passes: on a hundred thousand
  // observed pairs the whole run took 3.2 s of CPU with them and 5.3 s with
  // CLP's own choice (8 passes). The solve cannot
  // be stopped from outside; a signal ends the process meanwhile, and
  // SIGINT is left to this program (CLP would catch it for itself).
  ClpSolve how;
  how.setSolveType(ClpSolve::usePrimal);
  how.setPresolveType(ClpSolve::presolveOn);
  how.setSpecialOption(1, 2, 5);
  how.setSpecialOption(2, 1);
  {
    exit_on_signal at_once;
    model.initialSolve(how);
  }
  int status = model.status();
  check_interrupt();
  if (status != 0) {
    std::fprintf(stderr, "clp: no optimal solution: %s (status %d)\n", status_text(status), status);
    return 1;
  }
  const double* x = model.primalColumnSolution();
  for (size_t k = 0; k < dint.item.size(); ++k) {
    if (col_of_dint[k] < 0) continue;
    dint.item[k].prob = clamp_value(x[col_of_dint[k]]);
  }
  return 0;
}

}  // namespace domlp
