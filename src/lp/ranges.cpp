// The range of every domain pair over all optimal solutions of the program:
// the lowest and the highest value it takes in any of them.
//
// The budget row's price mu makes the program one of independent pieces:
// with mu found by the solve, the optimal solutions are exactly those of
// min sum x + mu * sum e over the covering rows whose slacks sum to the
// budget. Rules that hold in every optimum fix some pairs first; an optimal
// dual of the rest, by complementary slackness, fixes more and turns the
// remaining rows into equations; what is left falls apart into components,
// whose slacks' sums are tied by the budget. In each component, pairs in
// the same rows share a column; programs over the component maximise, then
// minimise, the sum of the columns whose bound no solution has shown yet,
// and each column left is bounded by two small programs over the rows near
// it, or else by a program over the component of its own.
#include <ClpSimplex.hpp>
#include <CoinPackedMatrix.hpp>
#include <algorithm>
#include <boost/container_hash/hash.hpp>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <optional>
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
  // By pair of `pair`, its column: pairs in the same rows (twins) share one.
  std::vector<int> col;
  std::vector<int> twins;  // by column, the pairs it stands for
  int slacks = 0;          // its free slacks
  double lo = 0, hi = 0;   // the least and the most its slacks can sum to
};

// Gives the pairs of `c` their columns. Pairs in the same rows of the face
// (twins) are interchangeable: moving one's value to the other keeps every
// row's sum and the objective, so that an optimal solution stays optimal,
// and their sum is all that the face constrains. They share a column, whose
// highest value is each one's, and each one's lowest is 0. On the
// high-confidence set of 111 226 observed human interactions at a fraction
// of 0.1, the largest component's 16 911 pairs have 7 957 columns. `at` is
// all -1, by pair, and is left so.
void find_twins(const shared_rows& s, const face& fc, component& c, std::vector<int>& at) {
  for (size_t k = 0; k < c.pair.size(); ++k) at[c.pair[k]] = static_cast<int>(k);
  std::vector<std::vector<int>> rows_of(c.pair.size());
  for (size_t r = 0; r < c.row.size(); ++r) {
    const int i = c.row[r];
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x)
      if (fc.free_pair[s.pair[x]]) rows_of[at[s.pair[x]]].push_back(static_cast<int>(r));
  }
  hash_map<std::vector<int>, int, boost::hash<std::vector<int>>> column;
  c.col.resize(c.pair.size());
  for (size_t k = 0; k < c.pair.size(); ++k) {
    auto [it, added] = column.try_emplace(std::move(rows_of[k]), static_cast<int>(c.twins.size()));
    if (added) c.twins.push_back(0);
    c.col[k] = it->second;
    ++c.twins[it->second];
  }
  for (int j : c.pair) at[j] = -1;
}

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
  std::fill(row_of_pair.begin(), row_of_pair.end(), -1);
  for (component& c : comps) find_twins(s, fc, c, row_of_pair);
  return comps;
}

// A component's rows as a matrix of ones, a row each: its pairs' columns,
// then its free slack, numbered after all the columns.
struct face_rows {
  std::vector<CoinBigIndex> start;  // row r's are index[start[r]] .. index[start[r + 1] - 1]
  std::vector<int> index;
  int columns = 0;  // of pairs
  int vars = 0;     // with the slacks
};

// `col_of` is all -1, by pair, and is left so.
face_rows face_matrix(const shared_rows& s, const face& fc, const component& c,
                      std::vector<int>& col_of) {
  for (size_t k = 0; k < c.pair.size(); ++k) col_of[c.pair[k]] = c.col[k];
  face_rows m;
  m.columns = m.vars = static_cast<int>(c.twins.size());
  // Twins are in the same rows: a column goes in a row once.
  std::vector<int> last(c.twins.size(), -1);
  m.start.push_back(0);
  for (int i : c.row) {
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) {
      const int col = col_of[s.pair[x]];
      if (col < 0 || last[col] == i) continue;
      last[col] = i;
      m.index.push_back(col);
    }
    if (fc.free_slack[i]) m.index.push_back(m.vars++);
    m.start.push_back(static_cast<CoinBigIndex>(m.index.size()));
  }
  for (int j : c.pair) col_of[j] = -1;
  return m;
}

void set_tolerances(ClpSimplex& model) {
  model.setLogLevel(0);
  model.setPrimalTolerance(kTol / 10);
  model.setDualTolerance(kTol / 10);
}

// A component's face as a linear program: a column for each column of
// face_rows, a row for each of its rows, at least 1, or exactly 1 when
// tight.
void load_component(const face_rows& m, const face& fc, const component& c, ClpSimplex& model) {
  std::vector<double> row_lo, row_hi;
  for (int i : c.row) {
    row_lo.push_back(1.0);
    row_hi.push_back(fc.tight[i] ? 1.0 : COIN_DBL_MAX);
  }
  std::vector<double> element(m.index.size(), 1.0), col_lo(m.vars, 0.0),
      col_hi(m.vars, COIN_DBL_MAX), cost(m.vars, 0.0);
  CoinPackedMatrix matrix(false, m.vars, static_cast<int>(row_lo.size()), m.start.back(),
                          element.data(), m.index.data(), m.start.data(), nullptr);
  set_tolerances(model);
  model.loadProblem(matrix, col_lo.data(), col_hi.data(), cost.data(), row_lo.data(),
                    row_hi.data());
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
// sides; a row for each column of face_rows, at most its cost.
void load_face_dual(const face_rows& m, const face& fc, const component& c, bool budget, double lo,
                    double hi, ClpSimplex& dual) {
  std::vector<CoinBigIndex> start = m.start;
  std::vector<int> index = m.index;
  std::vector<double> col_lo, cost;
  for (int i : c.row) {
    col_lo.push_back(fc.tight[i] ? -COIN_DBL_MAX : 0.0);
    cost.push_back(-1.0);
  }
  std::vector<double> element(index.size(), 1.0);
  if (budget) {
    for (double side : {1.0, -1.0}) {
      for (int e = m.columns; e < m.vars; ++e) index.push_back(e), element.push_back(side);
      start.push_back(static_cast<CoinBigIndex>(index.size()));
      col_lo.push_back(0.0);
      cost.push_back(side > 0 ? -lo : hi);
    }
  }
  const int ncols = static_cast<int>(col_lo.size());
  std::vector<double> col_hi(ncols, COIN_DBL_MAX), row_lo(m.vars, -COIN_DBL_MAX),
      row_hi(m.vars, 0.0);
  CoinPackedMatrix matrix(true, m.vars, ncols, start.back(), element.data(), index.data(),
                          start.data(), nullptr);
  set_tolerances(dual);
  dual.loadProblem(matrix, col_lo.data(), col_hi.data(), cost.data(), row_lo.data(), row_hi.data());
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
  const face_rows m = face_matrix(s, fc, c, col_of);
  load_component(m, fc, c, model);
  double sums[2];
  for (int sense = 0; sense < 2; ++sense) {
    for (int e = m.columns; e < m.vars; ++e)
      model.setObjectiveCoefficient(e, sense == 0 ? 1.0 : -1.0);
    if (int status = reoptimise(model)) return no_optimum(status);
    sums[sense] = 0;
    for (int e = m.columns; e < m.vars; ++e) sums[sense] += model.primalColumnSolution()[e];
  }
  c.lo = sums[0];
  c.hi = sums[1];
  return 0;
}

// The bound of one column from the rows near it. A component's programs
// each cost at least the time to start CLP on the whole component, though
// nearly all of them take a few pivots from the last one's solution: the
// change they make is local. Around column k, the rows T that hold a column
// within `radius` steps of it (a step from a column to a row that holds it,
// then to the row's columns) give two small programs. In the restriction,
// the columns within the radius and the slacks of T are free and every other
// column and slack keeps its value in a solution z of the face, so that each
// of its solutions is one of the face (rows outside T do not change): its
// optimum is reached by some optimal solution. In the relaxation, every
// column of T's rows and their slacks are free and the rows outside T are
// left out, so that each solution of the face gives one of it: no optimal
// solution goes beyond its optimum. Where the two meet, that is the bound.
// On the high-confidence set of 111 226 observed human interactions at a
// fraction of 0.1, whose largest component asked 3 859 programs after the
// sums, all but 64 of them met within three steps; the whole run took 4.9 s
// instead of 18 s.
class near_rows {
 public:
  near_rows(const face_rows& m, const face& fc, const component& c, bool budget, double lo,
            double hi);
  // The solution that the restrictions keep, by column of face_rows.
  void set_solution(const std::vector<double>& z);
  // Minimises sense times column k over the restriction and the relaxation
  // within `radius` steps, unless their rows would be more than `max_rows`;
  // the restriction's solution goes to `seen`, a column at a time. Returns
  // whether the two met: the restriction's value of k is then its bound.
  template <class See>
  bool bound(int k, double sense, int radius, size_t max_rows, See seen);

 private:
  // Minimises sense times column k over the restriction or the relaxation
  // of rows_ around cols_; returns CLP's status.
  int solve(int k, double sense, bool relax);
  const face_rows& m_;
  std::vector<char> tight_;    // by row
  std::vector<size_t> first_;  // column j is in rows row_[first_[j]] .. row_[first_[j + 1] - 1]
  std::vector<int> row_;
  std::vector<char> capped_;  // by column and slack: in a tight row, hence at most 1
  bool budget_;
  double lo_, hi_;
  std::vector<double> z_;
  double z_slacks_ = 0;  // the sum of z's slacks
  // The program's rows and the columns within the radius, and by column and
  // row whether they are, so that each program takes time in its own size.
  std::vector<int> rows_, cols_;
  std::vector<int> var_of_;  // by column: its column in the program, or -1
  std::vector<char> in_rows_;
  ClpSimplex model_;
  std::vector<double> result_;  // the last solution, by column of the program
};

near_rows::near_rows(const face_rows& m, const face& fc, const component& c, bool budget, double lo,
                     double hi)
    : m_(m),
      budget_(budget),
      lo_(lo),
      hi_(hi),
      z_(m.vars, 0.0),
      var_of_(m.vars, -1),
      in_rows_(c.row.size(), 0) {
  const size_t nrows = c.row.size();
  for (int i : c.row) tight_.push_back(fc.tight[i]);
  first_.assign(m.vars + 1, 0);
  for (int v : m.index) ++first_[v + 1];
  for (int v = 0; v < m.vars; ++v) first_[v + 1] += first_[v];
  row_.resize(m.index.size());
  capped_.assign(m.vars, 0);
  std::vector<size_t> next(first_.begin(), first_.end() - 1);
  for (size_t r = 0; r < nrows; ++r)
    for (CoinBigIndex x = m.start[r]; x < m.start[r + 1]; ++x) {
      row_[next[m.index[x]]++] = static_cast<int>(r);
      if (tight_[r]) capped_[m.index[x]] = 1;
    }
  set_tolerances(model_);
}

void near_rows::set_solution(const std::vector<double>& z) {
  z_ = z;
  z_slacks_ = 0;
  for (int e = m_.columns; e < m_.vars; ++e) z_slacks_ += z_[e];
}

int near_rows::solve(int k, double sense, bool relax) {
  // The program's columns: cols_ (the columns within the radius) and the
  // slacks of its rows, then, in the relaxation, the other columns of its
  // rows.
  std::vector<int> vars = cols_;
  auto add = [&](int v) {
    if (var_of_[v] >= 0) return;
    var_of_[v] = static_cast<int>(vars.size());
    vars.push_back(v);
  };
  for (size_t x = 0; x < cols_.size(); ++x) var_of_[cols_[x]] = static_cast<int>(x);
  for (int r : rows_)
    for (CoinBigIndex x = m_.start[r]; x < m_.start[r + 1]; ++x)
      if (relax || m_.index[x] >= m_.columns) add(m_.index[x]);
  std::vector<CoinBigIndex> start{0};
  std::vector<int> index;
  std::vector<double> row_lo, row_hi;
  for (int r : rows_) {
    double held = 0;
    for (CoinBigIndex x = m_.start[r]; x < m_.start[r + 1]; ++x) {
      const int v = m_.index[x];
      if (var_of_[v] >= 0)
        index.push_back(var_of_[v]);
      else
        held += z_[v];
    }
    start.push_back(static_cast<CoinBigIndex>(index.size()));
    row_lo.push_back(1.0 - held);
    row_hi.push_back(tight_[r] ? 1.0 - held : COIN_DBL_MAX);
  }
  double others = z_slacks_;
  for (int v : vars)
    if (v >= m_.columns) index.push_back(var_of_[v]), others -= z_[v];
  if (budget_ && index.size() > static_cast<size_t>(start.back())) {
    // The slacks of the program: in the restriction, the budget less the
    // others' values in z; in the relaxation, at most the budget.
    start.push_back(static_cast<CoinBigIndex>(index.size()));
    row_lo.push_back(relax ? -COIN_DBL_MAX : lo_ - others);
    row_hi.push_back(relax ? hi_ : hi_ - others);
  }
  const int n = static_cast<int>(vars.size());
  std::vector<double> element(index.size(), 1.0), col_lo(n, 0.0), col_hi(n, COIN_DBL_MAX),
      cost(n, 0.0);
  if (relax)
    for (int x = 0; x < n; ++x)
      if (capped_[vars[x]]) col_hi[x] = 1.0;
  cost[var_of_[k]] = sense;
  CoinPackedMatrix matrix(false, n, static_cast<int>(row_lo.size()), start.back(), element.data(),
                          index.data(), start.data(), nullptr);
  model_.loadProblem(matrix, col_lo.data(), col_hi.data(), cost.data(), row_lo.data(),
                     row_hi.data());
  {
    exit_on_signal at_once;
    model_.dual();
  }
  check_interrupt();
  result_.assign(model_.primalColumnSolution(), model_.primalColumnSolution() + n);
  for (int v : vars) var_of_[v] = -1;
  return model_.status();
}

template <class See>
bool near_rows::bound(int k, double sense, int radius, size_t max_rows, See seen) {
  // Breadth first from k: cols_ in order of their distance, rows_ those
  // that hold them, each taken once (var_of_ and in_rows_ mark them).
  cols_.clear();
  rows_.clear();
  auto visit = [&](int v) {
    cols_.push_back(v);
    var_of_[v] = 0;
    for (size_t y = first_[v]; y < first_[v + 1]; ++y)
      if (!in_rows_[row_[y]]) in_rows_[row_[y]] = 1, rows_.push_back(row_[y]);
  };
  visit(k);
  for (size_t from = 0, step = 0; step < static_cast<size_t>(radius); ++step) {
    const size_t to = cols_.size(), rows_to = rows_.size();
    for (size_t x = from; x < rows_to && rows_.size() <= max_rows; ++x) {
      const int r = rows_[x];
      for (CoinBigIndex e = m_.start[r]; e < m_.start[r + 1]; ++e)
        if (m_.index[e] < m_.columns && var_of_[m_.index[e]] < 0) visit(m_.index[e]);
    }
    from = rows_to;
    if (to == cols_.size()) break;
  }
  for (int v : cols_) var_of_[v] = -1;
  bool met = false;
  if (rows_.size() <= max_rows && solve(k, sense, false) == 0) {
    for (size_t x = 0; x < cols_.size(); ++x) seen(cols_[x], result_[x]);
    const double reached = result_[0];
    met = solve(k, sense, true) == 0 && std::abs(result_[0] - reached) <= kTol / 10;
  }
  for (int r : rows_) in_rows_[r] = 0;
  return met;
}

// One equation: its pairs and, between lo and hi, its slack sum to 1.
void one_row_ranges(const component& c, double lo, double hi, std::vector<double>& low,
                    std::vector<double>& high) {
  const double e_lo = c.slacks ? lo : 0.0, e_hi = c.slacks ? hi : 0.0;
  for (int j : c.pair) {
    low[j] = c.pair.size() == 1 ? 1.0 - e_hi : 0.0;
    high[j] = 1.0 - e_lo;
  }
}

// The solves of a component's face program, by its dual, for weights on
// its columns: each column's least and greatest value seen so far, and the
// rows near a column once they are made.
struct face_solves {
  const face_rows& m;
  ClpSimplex dual;
  std::optional<near_rows> near;
  std::vector<double> seen_lo, seen_hi, value;

  face_solves(const face_rows& rows, size_t nc)
      : m(rows), seen_lo(nc, 2.0), seen_hi(nc, -1.0), value(rows.vars) {}
  void see(int k, double v) {
    seen_lo[k] = std::min(seen_lo[k], v);
    seen_hi[k] = std::max(seen_hi[k], v);
  }
  // Minimises the sum of w[k] times column k. Returns 0, or 1 after
  // printing why.
  int solve(const std::vector<double>& w) {
    const size_t nc = seen_lo.size();
    for (size_t k = 0; k < nc; ++k) dual.setRowUpper(static_cast<int>(k), w[k]);
    {
      exit_on_signal at_once;
      dual.dual(0, 1 | 2);
    }
    check_interrupt();
    if (dual.status()) return no_optimum(dual.status());
    for (int v = 0; v < m.vars; ++v) value[v] = -dual.dualRowSolution()[v];
    for (size_t k = 0; k < nc; ++k) see(static_cast<int>(k), value[k]);
    if (near) near->set_solution(value);
    return 0;
  }
};

// The highest values (sense -1) or the lowest (sense 1) of a component's
// columns: programs of the sum of the columns not yet seen at their bound
// as long as each shows more of them there, then for each column left the
// rows near it, or else a program of its own. Returns 0, or 1 after
// printing why.
int bound_columns(face_solves& f, const face& fc, const component& c, bool budget, double lo,
                  double hi, double sense) {
  // The rows near a column are tried while they settle about as many
  // columns as they fail to, up to an eighth of the component's rows (and
  // a few thousand): where they do not, as around a hub protein, whose
  // every row shares the hub's domains, programs of that size from scratch
  // cost more than the component's own from its last basis. Three steps
  // settled nearly all columns that the sums left on the sets tried.
  const size_t max_rows = std::min<size_t>(3000, std::max<size_t>(8, c.row.size() / 8));
  const size_t nc = c.twins.size();
  auto unsettled = [&](size_t k) {
    return sense < 0 ? f.seen_hi[k] < 1.0 - kTol : c.twins[k] == 1 && f.seen_lo[k] > kTol;
  };
  std::vector<double> w(nc);
  for (size_t left = nc + 1;;) {
    size_t now = 0;
    for (size_t k = 0; k < nc; ++k) now += (w[k] = unsettled(k) ? sense : 0.0) != 0.0;
    if (now == 0 || now == left) break;
    left = now;
    if (f.solve(w)) return 1;
  }
  std::fill(w.begin(), w.end(), 0.0);
  int credit = 16;
  auto see = [&f](int k, double v) { f.see(k, v); };
  for (size_t k = 0; k < nc; ++k) {
    if (!unsettled(k)) continue;
    if (!f.near) {
      f.near.emplace(f.m, fc, c, budget, lo, hi);
      f.near->set_solution(f.value);
    }
    bool met = false;
    for (int radius = 1; radius <= 3 && credit > 0 && !met && unsettled(k); ++radius)
      met = f.near->bound(static_cast<int>(k), sense, radius, max_rows, see);
    credit += met || !unsettled(k) ? 1 : -1;
    if (met || !unsettled(k)) continue;
    w[k] = sense;
    if (f.solve(w)) return 1;
    w[k] = 0;
  }
  return 0;
}

// The range of each free pair of a component whose slacks sum to between
// `lo` and `hi`: the highest values first, then the lowest (bound_columns).
// A column of twins is each twin's highest value, and 0 their lowest, so
// that only the other columns are minimised.
int pair_ranges(const shared_rows& s, const face& fc, const component& c, double lo, double hi,
                std::vector<int>& col_of, std::vector<double>& low, std::vector<double>& high) {
  if (c.row.size() == 1) {
    one_row_ranges(c, lo, hi, low, high);
    return 0;
  }
  const bool budget = c.slacks > 0 && (lo > c.lo + kTol || hi < c.hi - kTol);
  const face_rows m = face_matrix(s, fc, c, col_of);
  face_solves f(m, c.twins.size());
  load_face_dual(m, fc, c, budget, lo, hi, f.dual);
  for (double sense : {-1.0, 1.0})
    if (bound_columns(f, fc, c, budget, lo, hi, sense)) return 1;
  for (size_t k = 0; k < c.pair.size(); ++k) {
    const int col = c.col[k];
    high[c.pair[k]] = f.seen_hi[col];
    low[c.pair[k]] = c.twins[col] > 1 ? 0.0 : f.seen_lo[col];
  }
  return 0;
}

// What the budget leaves to the components' slacks once the slacks fixed on
// the way are taken: 1 for a row left without an open pair, 1 for an open
// row whose pairs all left the face, 0 for the rest.
double budget_left(const shared_rows& s, const fixing& f, const face& fc, double budget) {
  const size_t n = s.start.size() - 1;
  for (size_t i = 0; i < n; ++i) {
    if (f.left[i] == 0) budget -= 1.0;
    if (f.left[i] <= 0) continue;
    bool any = false;
    for (size_t x = s.start[i]; x < s.start[i + 1]; ++x) any = any || fc.free_pair[s.pair[x]];
    if (!any) budget -= 1.0;
  }
  return budget;
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

  double rest = budget_left(s, f, fc, rows.bound);
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
