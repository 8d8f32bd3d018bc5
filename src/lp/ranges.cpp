// The range of every domain pair over all optimal solutions of the program:
// the lowest and the highest value it takes in any of them.
//
// The budget row's price mu makes the program one of independent pieces:
// with mu found by the solve, the optimal solutions are exactly those of
// min sum x + mu * sum e over the covering rows whose slacks sum to the
// budget. Rules that hold in every optimum fix some pairs first; an optimal
// dual of the rest, by complementary slackness, fixes more and turns the
// remaining rows into equations; what is left falls apart into components,
// whose slacks' sums are tied by the budget. Each component's pairs are
// then minimised and maximised one by one (skipping those that a solution
// found on the way already shows at 0 or 1), every linear program starting
// from the last one's basis.
#include <ClpSimplex.hpp>
#include <CoinPackedMatrix.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

#include "io/io.h"
#include "lp.h"
#include "solve.h"

namespace domlp {

namespace {

// Values within this of 0 or 1 are 0 or 1; so are the bounds that are
// printed. CLP is held to a tenth of it.
constexpr double kTol = 1e-9;
// A reduced cost or a dual's distance to its bound, from CLP, within this
// is 0: ten times CLP's tolerances on the face's dual.
constexpr double kDualTol = 1e-8;

// A bound as it is written: 0 or 1 within kTol, otherwise rounded to a
// multiple of kTol, so that bounds equal but for CLP's rounding are equal.
double snap(double v) {
  if (std::abs(v) <= kTol) return 0.0;
  if (std::abs(v - 1.0) <= kTol) return 1.0;
  return std::round(v / kTol) * kTol;
}

// The optimal solutions of the open rows at price mu, as complementary
// slackness with an optimal dual y leaves them: a pair whose reduced cost
// 1 - (sum of y over its rows) is positive is 0, a row's slack is 0 when
// y_i < mu, and a row is an equation when y_i > 0.
struct face {
  std::vector<char> free_pair;   // by pair
  std::vector<char> free_slack;  // by row (open rows only)
  std::vector<char> tight;       // by row
};

int find_face(const shared_rows& s, const fixing& f, double mu, face& fc) {
  const size_t n = s.start.size() - 1, ndint = f.state.size();
  std::vector<char> solve(n), fixed(ndint);
  for (size_t i = 0; i < n; ++i) solve[i] = f.left[i] > 0;
  for (size_t j = 0; j < ndint; ++j) fixed[j] = f.state[j] != fixing::open;
  fc.free_pair.assign(ndint, 0);
  fc.free_slack.assign(n, 0);
  fc.tight.assign(n, 0);
  if (std::find(solve.begin(), solve.end(), 1) == solve.end()) return 0;
  ClpSimplex model;
  const std::vector<int> row_of = load_dual(model, s.start, s.pair, solve, fixed, mu, true);
  model.setPrimalTolerance(kTol / 10);
  model.setDualTolerance(kTol / 10);
  if (int status = run_clp(model)) return no_optimum(status);
  const double* y = model.primalColumnSolution();
  const double* activity = model.primalRowSolution();
  for (size_t j = 0; j < ndint; ++j)
    if (row_of[j] >= 0) fc.free_pair[j] = 1.0 - activity[row_of[j]] <= kDualTol;
  for (size_t i = 0, c = 0; i < n; ++i) {
    if (!solve[i]) continue;
    fc.free_slack[i] = y[c] >= mu - kDualTol;
    fc.tight[i] = y[c] > kDualTol;
    ++c;
  }
  return 0;
}

// A component of the face: rows joined by their free pairs.
struct component {
  std::vector<int> row;
  std::vector<int> pair;  // its free pairs
  int slacks = 0;         // its free slacks
  double lo = 0, hi = 0;  // the least and the most its slacks can sum to
};

// The components of the open rows that have a free pair.
std::vector<component> components(const shared_rows& s, const fixing& f, const face& fc) {
  const size_t n = s.start.size() - 1;
  std::vector<int> parent(n);
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&](int i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  std::vector<int> row_of_pair(f.state.size(), -1);
  std::vector<char> member(n, 0);
  for (size_t i = 0; i < n; ++i) {
    if (f.left[i] <= 0) continue;
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) {
      const int j = s.pair[x];
      if (!fc.free_pair[j]) continue;
      member[i] = 1;
      if (row_of_pair[j] < 0)
        row_of_pair[j] = static_cast<int>(i);
      else
        parent[find(static_cast<int>(i))] = find(row_of_pair[j]);
    }
  }
  std::vector<int> index(n, -1);
  std::vector<component> comps;
  for (size_t i = 0; i < n; ++i) {
    if (!member[i]) continue;
    int& c = index[find(static_cast<int>(i))];
    if (c < 0) {
      c = static_cast<int>(comps.size());
      comps.emplace_back();
    }
    comps[c].row.push_back(static_cast<int>(i));
    comps[c].slacks += fc.free_slack[i];
  }
  for (size_t j = 0; j < f.state.size(); ++j)
    if (row_of_pair[j] >= 0) comps[index[find(row_of_pair[j])]].pair.push_back(static_cast<int>(j));
  return comps;
}

// A component's rows as a matrix of ones, a row each: its free pairs,
// numbered in the order of c.pair, then its free slack, numbered after all
// the pairs. `col_of` is all -1, by pair, and is left so. Returns the number
// of pairs and slacks.
int face_matrix(const shared_rows& s, const face& fc, const component& c, std::vector<int>& col_of,
                std::vector<CoinBigIndex>& start, std::vector<int>& index) {
  for (size_t k = 0; k < c.pair.size(); ++k) col_of[c.pair[k]] = static_cast<int>(k);
  int n = static_cast<int>(c.pair.size());
  start.assign(1, 0);
  for (int i : c.row) {
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x)
      if (fc.free_pair[s.pair[x]]) index.push_back(col_of[s.pair[x]]);
    if (fc.free_slack[i]) index.push_back(n++);
    start.push_back(static_cast<CoinBigIndex>(index.size()));
  }
  for (int j : c.pair) col_of[j] = -1;
  return n;
}

// A component's face as a linear program: a column for each free pair, then
// one for each free slack (as face_matrix numbers them); a row for each of
// its rows, at least 1, or exactly 1 when tight.
void load_component(const shared_rows& s, const face& fc, const component& c,
                    std::vector<int>& col_of, ClpSimplex& model) {
  std::vector<CoinBigIndex> start;
  std::vector<int> index;
  const int ncols = face_matrix(s, fc, c, col_of, start, index);
  std::vector<double> row_lo, row_hi;
  for (int i : c.row) {
    row_lo.push_back(1.0);
    row_hi.push_back(fc.tight[i] ? 1.0 : COIN_DBL_MAX);
  }
  std::vector<double> element(index.size(), 1.0), col_lo(ncols, 0.0), col_hi(ncols, COIN_DBL_MAX),
      cost(ncols, 0.0);
  CoinPackedMatrix m(false, ncols, static_cast<int>(row_lo.size()), start.back(), element.data(),
                     index.data(), start.data(), nullptr);
  model.setLogLevel(0);
  model.loadProblem(m, col_lo.data(), col_hi.data(), cost.data(), row_lo.data(), row_hi.data());
  model.setPrimalTolerance(kTol / 10);
  model.setDualTolerance(kTol / 10);
}

// The dual of a component's program (as load_component loads it, with the
// budget row when `budget`: the slacks' sum in [lo, hi]) with the
// objective of its pairs still to be set: the programs that bound each pair
// are solved in their dual, whose rows are the component's pairs and free
// slacks rather than its rows. A pair's objective is then its dual row's
// bound, which the dual simplex takes from the last basis; on a hub
// protein's 5 000 partners, whose component has six times as many rows as
// pairs, the whole run took 9.7 s instead of 36 s, and 5.0 s instead of
// 6.9 s on the generated set of a hundred thousand observed pairs. A dual
// column for each row of the component, free for an equation, at least 0
// otherwise, of cost -1 (CLP minimises); two for the budget row's two
// sides; a row for each pair, then each free slack, at most its cost.
void load_face_dual(const shared_rows& s, const face& fc, const component& c, bool budget,
                    double lo, double hi, std::vector<int>& col_of, ClpSimplex& dual) {
  std::vector<CoinBigIndex> start;
  std::vector<int> index;
  const int nx = static_cast<int>(c.pair.size());
  const int nrows = face_matrix(s, fc, c, col_of, start, index);
  std::vector<double> col_lo, cost;
  for (int i : c.row) {
    col_lo.push_back(fc.tight[i] ? -COIN_DBL_MAX : 0.0);
    cost.push_back(-1.0);
  }
  std::vector<double> element(index.size(), 1.0);
  if (budget) {
    for (double side : {1.0, -1.0}) {
      for (int e = nx; e < nrows; ++e) index.push_back(e), element.push_back(side);
      start.push_back(static_cast<CoinBigIndex>(index.size()));
      col_lo.push_back(0.0);
      cost.push_back(side > 0 ? -lo : hi);
    }
  }
  const int ncols = static_cast<int>(col_lo.size());
  std::vector<double> col_hi(ncols, COIN_DBL_MAX), row_lo(nrows, -COIN_DBL_MAX), row_hi(nrows, 0.0);
  CoinPackedMatrix m(true, nrows, ncols, start.back(), element.data(), index.data(), start.data(),
                     nullptr);
  dual.setLogLevel(0);
  dual.loadProblem(m, col_lo.data(), col_hi.data(), cost.data(), row_lo.data(), row_hi.data());
  dual.setPrimalTolerance(kTol / 10);
  dual.setDualTolerance(kTol / 10);
}

// Minimises the objective set in `model`, going on from its last basis,
// whose factorisation CLP keeps from one program to the next (only the
// objective changes): on the generated set of a hundred thousand observed
// pairs, whose largest component asks 3 400 programs, the whole run took
// 7.2 s instead of 10.8 s. Returns CLP's status: 0 when optimal.
int reoptimise(ClpSimplex& model) {
  {
    exit_on_signal at_once;
    model.primal(0, 1 | 2);
  }
  check_interrupt();
  return model.status();
}

// The least and the most a component's slacks sum to over its face.
int slack_range(const shared_rows& s, const face& fc, component& c, std::vector<int>& col_of) {
  ClpSimplex model;
  load_component(s, fc, c, col_of, model);
  const int nx = static_cast<int>(c.pair.size());
  double sums[2];
  for (int sense = 0; sense < 2; ++sense) {
    for (int e = nx; e < model.numberColumns(); ++e)
      model.setObjectiveCoefficient(e, sense == 0 ? 1.0 : -1.0);
    if (int status = reoptimise(model)) return no_optimum(status);
    sums[sense] = 0;
    for (int e = nx; e < model.numberColumns(); ++e) sums[sense] += model.primalColumnSolution()[e];
  }
  c.lo = sums[0];
  c.hi = sums[1];
  return 0;
}

// The range of each free pair of a component whose slacks sum to between
// `lo` and `hi`. The first two programs maximise and minimise the sum of
// its pairs, so that most of them show 0 and 1 at once; each further one
// minimises or maximises one pair.
int pair_ranges(const shared_rows& s, const face& fc, const component& c, double lo, double hi,
                std::vector<int>& col_of, std::vector<double>& low, std::vector<double>& high) {
  if (c.row.size() == 1) {
    // One equation: its pairs and, between lo and hi, its slack sum to 1.
    const double e_lo = c.slacks ? lo : 0.0, e_hi = c.slacks ? hi : 0.0;
    for (int j : c.pair) {
      low[j] = c.pair.size() == 1 ? 1.0 - e_hi : 0.0;
      high[j] = 1.0 - e_lo;
    }
    return 0;
  }
  const bool budget = c.slacks > 0 && (lo > c.lo + kTol || hi < c.hi - kTol);
  ClpSimplex dual;
  load_face_dual(s, fc, c, budget, lo, hi, col_of, dual);
  const size_t np = c.pair.size();
  std::vector<double> seen_lo(np, 2.0), seen_hi(np, -1.0), value(np);
  // Minimises sense * x_k, or sense * the sum of the pairs when k is np.
  auto solve = [&](size_t k, double sense) -> int {
    for (size_t x = 0; x < np; ++x)
      dual.setRowUpper(static_cast<int>(x), k == np || x == k ? sense : 0.0);
    {
      exit_on_signal at_once;
      dual.dual(0, 1 | 2);
    }
    check_interrupt();
    if (dual.status()) return no_optimum(dual.status());
    for (size_t x = 0; x < np; ++x) {
      value[x] = -dual.dualRowSolution()[x];
      seen_lo[x] = std::min(seen_lo[x], value[x]);
      seen_hi[x] = std::max(seen_hi[x], value[x]);
    }
    return 0;
  };
  if (solve(np, -1.0) || solve(np, 1.0)) return 1;
  for (size_t k = 0; k < np; ++k) {
    if (seen_hi[k] < 1.0 - kTol && solve(k, -1.0)) return 1;
    high[c.pair[k]] = seen_hi[k];
  }
  for (size_t k = 0; k < np; ++k) {
    if (seen_lo[k] > kTol && solve(k, 1.0)) return 1;
    low[c.pair[k]] = seen_lo[k];
  }
  return 0;
}

int inconsistent() {
  std::fprintf(stderr, "ranges: the optimal solutions could not be bounded (numerical trouble)\n");
  return 1;
}

}  // namespace

range_class class_of(double low, double high) {
  return low > 0.0 ? range_class::firm : high > 0.0 ? range_class::tied : range_class::excluded;
}

int find_ranges(const lp_rows& rows, size_t ndint, std::vector<double>& low,
                std::vector<double>& high) {
  low.assign(ndint, 0.0);
  high.assign(ndint, 0.0);
  std::vector<double> value;
  double mu = 0.0;
  if (solve_program(rows, ndint, true, value, mu)) return 1;
  // Without a price every row is left uncovered: each optimum is all 0.
  if (mu <= 0.0) return 0;
  std::vector<int> uses(ndint, 0);
  for (int d : rows.term) ++uses[d];
  const shared_rows s = share(rows, std::vector<char>(rows.obs_pos.size(), 1), uses, 1);
  const size_t n = s.start.size() - 1, npairs = s.dint.size();
  const fixing f = fix_pairs(s, mu, kDualTol);
  face fc;
  if (find_face(s, f, mu, fc)) return 1;

  // The slacks fixed on the way: 1 for a row left without an open pair, 1
  // for an open row whose pairs all left the face, 0 for the rest; the
  // components' slacks take what the budget has left.
  double rest = rows.bound;
  for (size_t i = 0; i < n; ++i) {
    if (f.left[i] == 0) rest -= 1.0;
    if (f.left[i] <= 0) continue;
    bool any = false;
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) any = any || fc.free_pair[s.pair[x]];
    if (!any) rest -= 1.0;
  }
  std::vector<component> comps = components(s, f, fc);
  std::vector<int> col_of(npairs, -1);
  double sum_lo = 0, sum_hi = 0;
  for (component& c : comps) {
    if (c.slacks == 0) {
      c.lo = c.hi = 0;
    } else if (c.row.size() == 1) {
      c.lo = 0;
      c.hi = 1;
    } else if (slack_range(s, fc, c, col_of)) {
      return 1;
    }
    sum_lo += c.lo;
    sum_hi += c.hi;
  }
  // Each slack CLP finds is within its tolerance: their sums within that
  // many times it.
  const double tol = kDualTol * (1.0 + static_cast<double>(n));
  if (rest < sum_lo - tol || rest > sum_hi + tol) return inconsistent();
  std::vector<double> pair_low(npairs, 0.0), pair_high(npairs, 0.0);
  for (const component& c : comps) {
    check_interrupt();
    const double lo = std::max(c.lo, rest - (sum_hi - c.hi));
    const double hi = std::max(lo, std::min(c.hi, rest - (sum_lo - c.lo)));
    if (pair_ranges(s, fc, c, lo, hi, col_of, pair_low, pair_high)) return 1;
  }
  for (size_t j = 0; j < npairs; ++j) {
    if (f.state[j] == fixing::at_one) pair_low[j] = pair_high[j] = 1.0;
    low[s.dint[j]] = snap(pair_low[j]);
    high[s.dint[j]] = snap(pair_high[j]);
  }
  return 0;
}

}  // namespace domlp
