// Fuzz target: the CLP solve of small programs against the program of the LP
// file solved as it stands. The first byte makes the fraction. Below 200,
// each further two bytes make a covering row of the domain pairs their bits
// name (none: an observed pair without a covering row); from 200 on, the
// program is shaped like a hub protein's partners: each further three bytes
// make a row of three domain pairs out of 30, so that the rows share their
// pairs many times over. The values found must cover every row but as many
// as the budget allows, and sum to the written program's optimum; each
// domain pair's range must be its least and greatest value in the written
// program with the objective held at that optimum.
#include <ClpSimplex.hpp>
#include <CoinPackedMatrix.hpp>
#include <cmath>
#include <cstdint>

#include "fuzz.h"
#include "lp/lp.h"

using namespace domlp;

namespace {

constexpr int kPairs = 12;
constexpr int kHubPairs = 30;

// Loads the program as the LP file writes it: every domain pair, every
// observed pair's slack, the covering rows and the budget row.
void load_written(ClpSimplex& model, const lp_rows& rows, int npairs, size_t nobs) {
  std::vector<CoinBigIndex> start{0};
  std::vector<int> index;
  std::vector<double> lo, hi;
  for (size_t r = 0; r < rows.obs_pos.size(); ++r) {
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x) index.push_back(rows.term[x]);
    index.push_back(npairs + rows.obs_pos[r]);
    start.push_back(static_cast<CoinBigIndex>(index.size()));
    lo.push_back(1.0), hi.push_back(COIN_DBL_MAX);
  }
  for (size_t t = 0; t < nobs; ++t) index.push_back(npairs + static_cast<int>(t));
  start.push_back(static_cast<CoinBigIndex>(index.size()));
  lo.push_back(-COIN_DBL_MAX), hi.push_back(rows.bound);
  const int ncols = npairs + static_cast<int>(nobs);
  std::vector<double> one(index.size(), 1.0), col_lo(ncols, 0.0), col_hi(ncols, COIN_DBL_MAX);
  std::vector<double> cost(ncols, 0.0);
  std::fill(cost.begin(), cost.begin() + npairs, 1.0);
  CoinPackedMatrix m(false, ncols, static_cast<int>(lo.size()), start.back(), one.data(),
                     index.data(), start.data(), nullptr);
  model.setLogLevel(0);
  model.loadProblem(m, col_lo.data(), col_hi.data(), cost.data(), lo.data(), hi.data());
}

// The least (sense 1) or greatest (sense -1) value of domain pair j in the
// written program with its objective at most `optimum` plus `slack` of it.
double face_bound_at(const lp_rows& rows, int npairs, size_t nobs, double optimum, int j,
                     double sense, double slack) {
  ClpSimplex model;
  load_written(model, rows, npairs, nobs);
  std::vector<int> cols(npairs);
  for (int d = 0; d < npairs; ++d) cols[d] = d;
  model.addRow(npairs, cols.data(), std::vector<double>(npairs, 1.0).data(), -COIN_DBL_MAX,
               optimum + slack * (1.0 + optimum));
  model.setPrimalTolerance(1e-10);
  model.setDualTolerance(1e-10);
  for (int d = 0; d < npairs; ++d) model.setObjectiveCoefficient(d, d == j ? sense : 0.0);
  model.primal();
  FUZZ_CHECK(model.status() == 0);
  return model.primalColumnSolution()[j];
}

// The same with the objective held at the optimum. CLP needs some slack,
// which widens the bound by the slack over the rate at which the pair can
// trade against the objective: that rate may be small (1e-4 on a hub-shaped
// program), so the bound is taken at two slacks, where it moves in
// proportion to them, and carried back to none.
double face_bound(const lp_rows& rows, int npairs, size_t nobs, double optimum, int j,
                  double sense) {
  const double wide = face_bound_at(rows, npairs, nobs, optimum, j, sense, 1e-9);
  const double tight = face_bound_at(rows, npairs, nobs, optimum, j, sense, 1e-10);
  return tight + (tight - wide) / 9;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  lp_rows rows;
  rows.start.push_back(0);
  size_t nobs = 0;
  const bool hub = data[0] >= 200;
  const int npairs = hub ? kHubPairs : kPairs;
  const size_t step = hub ? 3 : 2;
  for (size_t k = 1; k + step <= size && nobs < (hub ? 150u : 40u); k += step, ++nobs) {
    unsigned bits = 0;
    if (hub) {
      for (size_t b = 0; b < 3; ++b) bits |= 1u << (data[k + b] % kHubPairs);
    } else {
      bits = (data[k] | data[k + 1] << 8) & ((1u << kPairs) - 1);
    }
    if (bits == 0) continue;
    for (int d = 0; d < npairs; ++d)
      if (bits >> d & 1) rows.term.push_back(d);
    rows.obs_pos.push_back(static_cast<int>(nobs));
    rows.start.push_back(rows.term.size());
  }
  rows.bound = lp_bound(rows.obs_pos.size(), hub ? (data[0] - 200) / 110.0f : data[0] / 200.0f);
  pair_set obs, dint;
  obs.item.resize(nobs, pair{0, 0, 1.0});
  for (int d = 0; d < npairs; ++d) dint.item.push_back(pair{d, d, 0.0});
  if (solve_clp(rows, obs, dint, true) != 0) return 0;
  ClpSimplex written;
  load_written(written, rows, npairs, nobs);
  written.setPrimalTolerance(1e-10);
  written.setDualTolerance(1e-10);
  written.primal();
  FUZZ_CHECK(written.status() == 0);
  const double optimum = written.objectiveValue();
  double sum = 0.0, uncovered = 0.0;
  for (const pair& p : dint.item) sum += p.value;
  for (size_t r = 0; r < rows.obs_pos.size(); ++r) {
    double covered = 0.0;
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x)
      covered += dint.item[rows.term[x]].value;
    uncovered += std::max(0.0, 1.0 - covered);
  }
  FUZZ_CHECK(std::fabs(sum - optimum) <= 1e-6 * (1.0 + optimum));
  FUZZ_CHECK(uncovered <= rows.bound + 1e-6);

  std::vector<double> low, high;
  FUZZ_CHECK(find_ranges(rows, dint.item.size(), low, high) == 0);
  for (int d = 0; d < npairs; ++d) {
    FUZZ_CHECK(std::fabs(low[d] - face_bound(rows, npairs, nobs, optimum, d, 1.0)) < 1e-6);
    FUZZ_CHECK(std::fabs(high[d] - face_bound(rows, npairs, nobs, optimum, d, -1.0)) < 1e-6);
    // The solution found is one of the optimal solutions.
    FUZZ_CHECK(dint.item[d].value >= low[d] - 1e-6 && dint.item[d].value <= high[d] + 1e-6);
  }
  return 0;
}
