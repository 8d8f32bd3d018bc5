// The in-memory solve with COIN-OR CLP: the program of the LP file replaced
// by equivalent smaller ones with the same optimum (rows settled by rule,
// pairs fixed at a budget's price, the budget row replaced by a search for
// its price), each given to CLP as its dual, and the optimum with the
// budget settled from the two solutions on either side of it.
#include <ClpPresolve.hpp>
#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>
#include <CoinPackedMatrix.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "io/io.h"
#include "lp.h"
#include "solve.h"

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

int no_optimum(int status) {
  std::fprintf(stderr, "clp: no optimal solution: %s (status %d)\n", status_text(status), status);
  return 1;
}

// Loads into `model` the dual of the program of the covering rows i with
// solve[i] set, row i being the terms term[start[i]] .. term[start[i + 1] - 1]
// and summing to at least 1: the program minimises the sum of the terms j
// with fixed[j] unset, each row with a slack of cost `slack_cost` (none when
// it is negative). Its dual has a column y_i for each row, in [0, slack
// cost], of cost -1 (CLP minimises), and a row sum y_i <= 1 over the rows of
// each term: the dual's rows are as many as the terms, not as the covering
// rows, and it is the dual that CLP solves fast where many rows share few
// domain pairs (a hub protein's partners). The terms' values are the duals
// of its rows (see take_values), and an optimal basis of it is that of an
// optimal vertex of the program. Returns the row of each term, -1 for those
// left out.
std::vector<int> load_dual(ClpSimplex& model, const std::vector<size_t>& start,
                           const std::vector<int>& term, const std::vector<char>& solve,
                           const std::vector<char>& fixed, double slack_cost, bool quiet) {
  std::vector<int> row_of(fixed.size(), -1);
  for (size_t i = 0; i < solve.size(); ++i)
    if (solve[i])
      for (size_t x = start[i]; x < start[i + 1]; ++x)
        if (!fixed[term[x]]) row_of[term[x]] = 0;
  int nterms = 0;
  for (int& r : row_of)
    if (r == 0) r = nterms++;

  std::vector<CoinBigIndex> col_start{0};
  std::vector<int> index;
  for (size_t i = 0; i < solve.size(); ++i) {
    if (!solve[i]) continue;
    for (size_t x = start[i]; x < start[i + 1]; ++x)
      if (row_of[term[x]] >= 0) index.push_back(row_of[term[x]]);
    col_start.push_back(static_cast<CoinBigIndex>(index.size()));
  }
  const int nsolve = static_cast<int>(col_start.size()) - 1;
  std::vector<double> element(index.size(), 1.0), col_lo(nsolve, 0.0), cost(nsolve, -1.0);
  std::vector<double> col_hi(nsolve, slack_cost >= 0 ? slack_cost : COIN_DBL_MAX);
  std::vector<double> row_lo(nterms, -COIN_DBL_MAX), row_hi(nterms, 1.0);
  CoinPackedMatrix matrix(true, nterms, nsolve, col_start.back(), element.data(), index.data(),
                          col_start.data(), nullptr);
  model.messageHandler()->setFilePointer(stderr);
  if (quiet) model.setLogLevel(0);
  model.loadProblem(matrix, col_lo.data(), col_hi.data(), cost.data(), row_lo.data(),
                    row_hi.data());
  return row_of;
}

// Stores in value[k] the value of each term k of a model of load_dual, the
// dual of its row: CLP's duals of rows <= 1 are <= 0 when it minimises.
// The terms that the model leaves out keep theirs.
void take_values(const ClpSimplex& model, const std::vector<int>& row_of,
                 std::vector<double>& value) {
  const double* dual = model.dualRowSolution();
  for (size_t k = 0; k < row_of.size(); ++k)
    if (row_of[k] >= 0) value[k] = std::max(0.0, -dual[row_of[k]]);
}

// Solves `model` to an optimal basis. Presolve goes first: the programs given
// to it fall apart into small independent pieces that presolve mostly
// removes, and the dual simplex finishes the rest (on a million observed
// pairs as fast as the primal simplex, and with exact values where that left
// some at 1e-12). What presolve leaves of a hub protein's partners is one
// tangle in which each domain pair is in many rows, and there the dual
// simplex is slow: CLP's "idiot" crash then finds a near-optimal point that
// its primal simplex takes to an optimal basis in a fraction of the time
// (HACKING.md has the figures). Returns CLP's status: 0 when optimal.
int run_clp(ClpSimplex& model) {
  {
    // The solve cannot be stopped from outside; a signal ends the process
    // meanwhile, and SIGINT is left to this program (CLP would catch it).
    exit_on_signal at_once;
    ClpPresolve presolve;
    std::unique_ptr<ClpSimplex> small(presolve.presolvedModel(model, 1e-8, false, 5));
    // Without it (presolve found the program infeasible), CLP solves the
    // program as it stands, to say why.
    ClpSimplex& solved = small ? *small : model;
    const bool tangle =
        solved.numberColumns() > 2000 && solved.getNumElements() > 8L * solved.numberRows();
    ClpSolve how;
    how.setPresolveType(ClpSolve::presolveOff);
    how.setSolveType(tangle ? ClpSolve::usePrimal : ClpSolve::useDual);
    if (tangle) how.setSpecialOption(1, 2, 50);  // 50 passes of the crash
    how.setSpecialOption(2, 1);
    solved.initialSolve(how);
    if (!small || small->status() != 0) return solved.status();
    presolve.postsolve(true);
  }
  // Postsolve leaves the basis for the primal simplex to check.
  {
    exit_on_signal at_once;
    model.primal(1);
  }
  check_interrupt();
  return model.status();
}

shared_rows share(const lp_rows& rows, const std::vector<char>& solve, const std::vector<int>& uses,
                  int min_uses) {
  shared_rows s;
  std::vector<int> pair_of(uses.size(), -1);
  s.start.push_back(0);
  for (size_t r = 0; r < solve.size(); ++r) {
    if (!solve[r]) continue;
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x) {
      const int d = rows.term[x];
      if (uses[d] < min_uses) continue;
      if (pair_of[d] < 0) {
        pair_of[d] = static_cast<int>(s.dint.size());
        s.dint.push_back(d);
      }
      s.pair.push_back(pair_of[d]);
    }
    s.start.push_back(s.pair.size());
  }
  s.first.assign(s.dint.size() + 1, 0);
  for (int j : s.pair) ++s.first[j + 1];
  for (size_t j = 0; j < s.dint.size(); ++j) s.first[j + 1] += s.first[j];
  s.in.resize(s.pair.size());
  std::vector<size_t> next(s.first.begin(), s.first.end() - 1);
  for (size_t i = 0; i + 1 < s.start.size(); ++i)
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x)
      s.in[next[s.pair[x]]++] = static_cast<int>(i);
  return s;
}

fixing fix_pairs(const shared_rows& s, double mu, double margin) {
  const size_t npairs = s.dint.size(), n = s.start.size() - 1;
  fixing f{std::vector<char>(npairs, fixing::open), std::vector<int>(n)};
  std::vector<int> weight(npairs), single(npairs, 0);
  for (size_t j = 0; j < npairs; ++j) weight[j] = static_cast<int>(s.first[j + 1] - s.first[j]);
  for (size_t i = 0; i < n; ++i) {
    f.left[i] = static_cast<int>(s.start[i + 1] - s.start[i]);
    if (f.left[i] == 1) ++single[s.pair[s.start[i]]];
  }
  std::vector<int> queue;
  auto check = [&](int j) {
    if (f.state[j] == fixing::open &&
        (mu * weight[j] <= 1.0 - margin || mu * single[j] >= 1.0 + margin))
      queue.push_back(j);
  };
  for (size_t j = 0; j < npairs; ++j) check(static_cast<int>(j));
  while (!queue.empty()) {
    const int j = queue.back();
    queue.pop_back();
    if (f.state[j] != fixing::open) continue;
    const bool one = mu * single[j] >= 1.0 + margin;
    f.state[j] = one ? fixing::at_one : fixing::at_zero;
    for (size_t k = s.first[j]; k < s.first[j + 1]; ++k) {
      const int i = s.in[k];
      if (f.left[i] < 0) continue;
      if (one) {
        f.left[i] = -1;
        for (size_t x = s.start[i]; x < s.start[i + 1]; ++x)
          if (f.state[s.pair[x]] == fixing::open) --weight[s.pair[x]], check(s.pair[x]);
      } else if (--f.left[i] == 1) {
        for (size_t x = s.start[i]; x < s.start[i + 1]; ++x)
          if (f.state[s.pair[x]] == fixing::open) ++single[s.pair[x]], check(s.pair[x]);
      }
    }
  }
  return f;
}

namespace {

// Solves the rows r with solve[r] set, without slacks, and stores the
// domain pairs' values in `value`. Returns CLP's status: 0 when optimal.
int solve_rows(const lp_rows& rows, const std::vector<char>& solve, bool quiet,
               std::vector<double>& value) {
  ClpSimplex model;
  const std::vector<int> row_of = load_dual(model, rows.start, rows.term, solve,
                                            std::vector<char>(value.size(), 0), -1.0, quiet);
  if (int status = run_clp(model)) return status;
  take_values(model, row_of, value);
  return 0;
}

// A solution of the shared rows: the value of each pair, the sum of these
// values and that of the rows' slacks, each slack as low as its row allows.
struct point {
  std::vector<double> value;
  double x = 0, e = 0;
};

void sum_up(const shared_rows& s, point& p) {
  p.x = p.e = 0;
  for (double v : p.value) p.x += v;
  for (size_t i = 0; i + 1 < s.start.size(); ++i) {
    double covered = 0;
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) covered += p.value[s.pair[x]];
    p.e += std::max(0.0, 1.0 - covered);
  }
}

// Solves min sum x + mu * sum e over the shared rows, each with its slack e,
// without the budget row, for 0 < mu <= 1, and stores an optimal solution in
// `p`. Before CLP, the rules of fix_pairs fix pairs, each keeping the
// optimum: they do in one pass what CLP's presolve does at many times the
// time and memory. Returns CLP's status: 0 when optimal.
int solve_at_price(const shared_rows& s, double mu, bool quiet, point& p) {
  const size_t npairs = s.dint.size(), n = s.start.size() - 1;
  const fixing f = fix_pairs(s, mu, 0.0);
  p.value.assign(npairs, 0.0);
  for (size_t j = 0; j < npairs; ++j)
    if (f.state[j] == fixing::at_one) p.value[j] = 1.0;
  std::vector<char> solve(n);
  for (size_t i = 0; i < n; ++i) solve[i] = f.left[i] > 0;
  if (std::find(solve.begin(), solve.end(), 1) != solve.end()) {
    ClpSimplex model;
    const std::vector<int> row_of = load_dual(model, s.start, s.pair, solve, f.state, mu, quiet);
    if (int status = run_clp(model)) return status;
    take_values(model, row_of, p.value);
  }
  sum_up(s, p);
  return 0;
}

// Solves the rows i with solve[i] set, whose pairs j with other[j] set keep
// their values base[j], each row with its slack, the slacks summing to at
// most `budget`, whose price is `mu`, and stores the values of the other
// pairs in `value`. CLP is given the dual, as load_dual loads it with the
// budget's price nu as one more column: each y_i at most nu instead of a
// fixed slack cost, nu of cost `budget`. With nu held at mu this is the
// dual at that price, solved as fast, and its optimal basis is that of an
// optimum at mu. Set free, nu lets the primal simplex go on from there to a
// basis of the program with its budget, in pivots that keep the objective:
// it walks between the optima at mu towards one whose slacks meet the
// budget. Around a hub protein this is far faster than the program as it
// stands, with the budget row, or its dual with nu free from the start.
// Returns CLP's status: 0 when optimal.
int solve_budget(const shared_rows& s, const std::vector<char>& solve,
                 const std::vector<char>& other, const std::vector<double>& base, double mu,
                 double budget, bool quiet, std::vector<double>& value) {
  const size_t npairs = s.dint.size(), n = s.start.size() - 1;
  ClpSimplex model;
  const std::vector<int> row_of = load_dual(model, s.start, s.pair, solve, other, -1.0, quiet);
  const int ny = model.numberColumns();
  for (size_t i = 0, y = 0; i < n; ++i) {
    if (!solve[i]) continue;
    double fixed = 0;
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x)
      if (other[s.pair[x]]) fixed += base[s.pair[x]];
    model.setObjectiveCoefficient(static_cast<int>(y++), fixed - 1.0);
  }
  model.addColumn(0, nullptr, nullptr, mu, mu, budget);
  std::vector<CoinBigIndex> row_start;
  std::vector<int> column;
  std::vector<double> element;
  for (int y = 0; y < ny; ++y) {
    row_start.push_back(static_cast<CoinBigIndex>(column.size()));
    column.insert(column.end(), {y, ny});
    element.insert(element.end(), {1.0, -1.0});
  }
  row_start.push_back(static_cast<CoinBigIndex>(column.size()));
  model.addRows(ny, std::vector<double>(ny, -COIN_DBL_MAX).data(),
                std::vector<double>(ny, 0.0).data(), row_start.data(), column.data(),
                element.data());
  if (int status = run_clp(model)) return status;
  model.setColumnBounds(ny, 0.0, COIN_DBL_MAX);
  {
    exit_on_signal at_once;
    model.primal(1);
  }
  check_interrupt();
  if (model.status()) return model.status();
  std::vector<double> found(npairs, 0.0);
  take_values(model, row_of, found);
  for (size_t j = 0; j < npairs; ++j)
    if (row_of[j] >= 0) value[s.dint[j]] = found[j];
  return 0;
}

// The pairs that lo and hi value differently fall into groups, two pairs
// being in one group when a row has both; a row's slack depends on one
// group at most.
struct pair_groups {
  std::vector<int> of;         // by pair: a pair of its group, -1 when lo and hi agree
  std::vector<int> size;       // by group (its representative pair)
  std::vector<double> more;    // by group: the slacks that taking it from lo instead of hi adds
  std::vector<int> row_group;  // by row: the group its slack depends on, or -1

  // The representative pair of pair j's group.
  int find(int j) {
    while (of[j] != j) j = of[j] = of[of[j]];
    return j;
  }
  bool from_group(size_t j, int g) { return of[j] >= 0 && find(static_cast<int>(j)) == g; }
};

pair_groups group_pairs(const shared_rows& s, const point& lo, const point& hi) {
  const size_t npairs = s.dint.size(), n = s.start.size() - 1;
  pair_groups g;
  g.of.assign(npairs, -1);
  for (size_t j = 0; j < npairs; ++j)
    if (lo.value[j] != hi.value[j]) g.of[j] = static_cast<int>(j);
  for (size_t i = 0; i < n; ++i) {
    int first = -1;
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) {
      const int j = s.pair[x];
      if (g.of[j] < 0) continue;
      if (first < 0)
        first = g.find(j);
      else
        g.of[g.find(j)] = first;
    }
  }
  g.size.assign(npairs, 0);
  for (size_t j = 0; j < npairs; ++j)
    if (g.of[j] >= 0) ++g.size[g.find(static_cast<int>(j))];
  g.more.assign(npairs, 0.0);
  g.row_group.assign(n, -1);
  for (size_t i = 0; i < n; ++i) {
    double cover_lo = 0, cover_hi = 0;
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) {
      const int j = s.pair[x];
      cover_lo += lo.value[j];
      cover_hi += hi.value[j];
      if (g.of[j] >= 0) g.row_group[i] = g.find(j);
    }
    if (g.row_group[i] >= 0)
      g.more[g.row_group[i]] += std::max(0.0, 1.0 - cover_lo) - std::max(0.0, 1.0 - cover_hi);
  }
  return g;
}

// The crossing group's program: its pairs, its rows, less the values of
// their other pairs, and what the budget is still short of as well as what
// these rows' slacks had of it in hi; mu is its budget's price.
int solve_crossing(const shared_rows& s, pair_groups& g, int cross, const point& hi, double mu,
                   double short_of, bool quiet, std::vector<double>& value) {
  const size_t npairs = s.dint.size(), n = s.start.size() - 1;
  std::vector<char> other(npairs), solve(n);
  for (size_t j = 0; j < npairs; ++j) other[j] = !g.from_group(j, cross);
  for (size_t i = 0; i < n; ++i) solve[i] = g.row_group[i] == cross;
  double rest = short_of;
  for (size_t i = 0; i < n; ++i) {
    if (!solve[i]) continue;
    double cover_hi = 0;
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) cover_hi += hi.value[s.pair[x]];
    rest += std::max(0.0, 1.0 - cover_hi);
  }
  return solve_budget(s, solve, other, hi.value, mu, rest, quiet, value);
}

// Given `lo` and `hi`, optimal at the budget row's dual price mu*, with more
// and with fewer slacks than the budget, stores in `value` an optimal
// solution of the program with the budget row: one optimal at mu* whose
// slacks sum to the budget. The cost at mu* is a sum over the groups of
// pair_groups, and a group costs as much in lo as in hi (else one of them
// would not be optimal). Hence taking each group from lo or from hi keeps
// the solution optimal at mu*. The groups are taken from hi, then, the
// largest first, from lo where the slacks stay within the budget; when they
// fall short of it, the smallest group left that would cross it is solved
// on its own with the rest of the budget: the mix of lo and hi in it that
// meets the budget is optimal, so this program's optimum is too, and CLP
// finds one at a vertex. Returns CLP's status: 0 when optimal.
int settle(const shared_rows& s, const point& lo, const point& hi, double mu, double budget,
           bool quiet, std::vector<double>& value) {
  const size_t npairs = s.dint.size();
  pair_groups g = group_pairs(s, lo, hi);
  std::vector<int> order;
  for (size_t j = 0; j < npairs; ++j)
    if (g.of[j] == static_cast<int>(j) && g.more[j] > 0) order.push_back(static_cast<int>(j));
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return g.size[a] > g.size[b]; });
  std::vector<char> from_lo(npairs, 0);
  double short_of = budget - hi.e;
  int cross = -1;
  for (int k : order)
    if (g.more[k] <= short_of) short_of -= g.more[k], from_lo[k] = 1;
  for (int k : order)
    if (!from_lo[k] && (cross < 0 || g.size[k] < g.size[cross])) cross = k;
  for (size_t j = 0; j < npairs; ++j)
    value[s.dint[j]] =
        g.of[j] >= 0 && from_lo[g.find(static_cast<int>(j))] ? lo.value[j] : hi.value[j];
  if (cross < 0 || short_of <= 1e-9 * budget) return 0;
  return solve_crossing(s, g, cross, hi, mu, short_of, quiet, value);
}

// Solves the shared rows, each with its slack, the slacks summing to at most
// `budget` (less than the number of rows), through the budget row's price
// instead of the row. For a price mu, L(mu) = min sum x + mu * sum e over
// the covering rows alone is the lowest of the lines x + mu * e of their
// solutions, so concave, and L(mu) - mu * budget is at most the optimum for
// every mu >= 0, equal to it at the budget row's dual price mu* (in [0, 1]).
// The search keeps two solutions optimal at some price, `lo` with more
// slacks than the budget and `hi` with fewer, and solves at the price where
// their lines meet; when the solution there is no lower than the lines, both
// are optimal at that price, which is mu*. A solution optimal at mu* whose
// slacks sum to the budget is then optimal: no feasible solution y does
// better, since sum y >= L(mu*) - mu* * budget. Each solve finds a new line
// of L, so the search ends after a few solves. Given the budget row
// instead, CLP (presolve, its "idiot" crash, then the primal simplex) takes
// many times the time and memory. Stores the domain pairs' values in
// `value`. Returns CLP's status: 0 when optimal.
int solve_by_price(const shared_rows& s, double budget, bool quiet, std::vector<double>& value,
                   double& price) {
  // All slacks at 1: optimal at mu = 0.
  point lo{std::vector<double>(s.dint.size(), 0.0), 0.0, static_cast<double>(s.start.size() - 1)};
  point hi;
  double mu = 1.0;
  for (int round = 0;; ++round) {
    // Should rounding keep the search from ending, it gives up as CLP does
    // after too many iterations.
    if (round == 100) return 3;
    point p;
    if (int status = solve_at_price(s, mu, quiet, p)) return status;
    const double tol = 1e-9 * (1.0 + p.x + mu * p.e);
    if (std::abs(p.e - budget) <= tol) {
      lo = hi = std::move(p);
      break;
    }
    if (round == 0) {
      // At mu = 1 a slack is worth a pair of its row: raising the first
      // pair of each row by its slack gives a solution without slacks,
      // optimal there too.
      hi = p;
      for (size_t i = 0; i + 1 < s.start.size(); ++i) {
        double covered = 0;
        for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) covered += hi.value[s.pair[x]];
        hi.value[s.pair[s.start[i]]] += std::max(0.0, 1.0 - covered);
      }
      sum_up(s, hi);
      const bool at_one = p.e > budget;
      (at_one ? lo : hi) = std::move(p);
      if (at_one) break;
    } else {
      if (p.x + mu * p.e >= lo.x + mu * lo.e - tol) break;
      (p.e > budget ? lo : hi) = std::move(p);
    }
    mu = (hi.x - lo.x) / (lo.e - hi.e);
  }
  price = mu;
  return settle(s, lo, hi, mu, budget, quiet, value);
}

}  // namespace

// The program of the LP file is not handed to CLP as it stands: equivalent
// ones, with the same optimum, are much smaller, and CLP solves them in a
// small part of the time and memory.
int solve_program(const lp_rows& rows, size_t ndint, bool quiet, std::vector<double>& value,
                  double& price) {
  // The slacks are at least 0, so a negative bound leaves no solution.
  if (rows.bound < 0) return no_optimum(1);
  // The slacks of observed pairs without a covering row are named by the
  // budget row alone: 0 is as good as any value for them, and they are left
  // out. So is that of a row that is not given to CLP.
  const size_t nrows = rows.obs_pos.size();
  std::vector<int> uses(ndint, 0);
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
  value.assign(ndint, 0.0);
  price = 1.0;
  size_t seen = 0;
  for (size_t r = 0; r < nrows; ++r)
    if (alone[r] && seen++ >= bound) value[rows.term[rows.start[r]]] = 1.0;
  std::vector<char> solve(nrows);
  for (size_t r = 0; r < nrows; ++r) solve[r] = !alone[r];
  if (!with_budget) {
    // Without slacks a row of one domain pair sets that pair to 1, which
    // covers every row that has it; done here, it spares CLP's presolve
    // the most of its work.
    for (size_t r = 0; r < nrows; ++r)
      if (solve[r] && rows.start[r + 1] - rows.start[r] == 1) value[rows.term[rows.start[r]]] = 1.0;
    for (size_t r = 0; r < nrows; ++r)
      for (size_t x = rows.start[r]; solve[r] && x < rows.start[r + 1]; ++x)
        if (value[rows.term[x]] == 1.0) solve[r] = 0;
  }
  const size_t nsolve = static_cast<size_t>(std::count(solve.begin(), solve.end(), 1));
  // A budget of at least the rows left leaves them all uncovered, at no
  // cost: the budget is worth nothing more.
  if (with_budget && bound - nalone >= nsolve) price = 0.0;
  if (nsolve > 0 && (!with_budget || bound - nalone < nsolve)) {
    int status = with_budget
                     ? solve_by_price(share(rows, solve, uses, 2),
                                      static_cast<double>(bound - nalone), quiet, value, price)
                     : solve_rows(rows, solve, quiet, value);
    if (status) return no_optimum(status);
  }
  return 0;
}

int solve_clp(const lp_rows& rows, const pair_set& /*obs*/, pair_set& dint, bool quiet) {
  std::vector<double> value;
  double price = 0.0;
  if (int status = solve_program(rows, dint.item.size(), quiet, value, price)) return status;
  for (size_t k = 0; k < dint.item.size(); ++k) dint.item[k].value = clamp_value(value[k]);
  return 0;
}

}  // namespace domlp
