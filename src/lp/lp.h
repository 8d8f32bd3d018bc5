// Domain-pair model and the exchange with the solver: the domain pairs that
// the observed pairs can form, the linear program that chooses among them,
// and the reader of the solver's solution report.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model/model.h"

namespace domlp {

// The constraints of the linear program. A covering row for every observed
// pair whose two proteins both have domains: the distinct domain pairs they
// form, in the order they are written, plus the pair's slack. Then the
// budget row: the sum of all slacks is at most `bound`.
struct lp_rows {
  std::vector<int> obs_pos;   // the observed pair of each covering row
  std::vector<size_t> start;  // row r's terms are term[start[r]] .. term[start[r + 1] - 1]
  std::vector<int> term;      // domain pair positions
  int bound = 0;
};

// Numbers the domain pairs that the observed pairs form, in order of
// first formation, and lists the covering rows' terms (not the bound).
void construct_dint(const node_table& t, const pair_set& obs, pair_set& dint, lp_rows& rows);
// The bound of the budget row: rows times the fraction, truncated to an int.
int lp_bound(size_t rows, float frac);
// A solution value as a domain pair keeps it: clamped to [0, 1], a value
// that is not a number counting as 0.
double clamp_value(double v);
// The program's optimum: the sum of the domain pairs' values.
double optimum(const pair_set& dint);

// Writes the linear program in CPLEX LP text to `f`.
void write_lp(FILE* f, const lp_rows& rows, const pair_set& obs, const pair_set& dint);
// Writes the linear program in CPLEX LP text to `file`. Returns 0, or 1
// after printing why (no file is left under that name then).
int LP_out(const lp_rows& rows, const pair_set& obs, const pair_set& dint, const std::string& file);

// Reads the solver's report and stores each x(a,b) activity, clamped to
// [0, 1], in domain pair a,b. Returns 0, or 1 after printing why.
int my_parse_glp(const std::string& file, pair_set& dint);
// The same from the report open as `in` (null when it could not be opened),
// named `file` in what it prints.
int read_glp_report(FILE* in, const std::string& file, pair_set& dint);

// Solves the linear program in memory with COIN-OR CLP and stores each
// domain pair's value, clamped to [0, 1]; with `quiet`, without CLP's log.
// Returns 0, or 1 after printing why (no value is stored then).
int solve_clp(const lp_rows& rows, const pair_set& obs, pair_set& dint, bool quiet);

// The lowest and the highest value of every domain pair over all optimal
// solutions of the program, found in memory with CLP whatever gave the
// values; bounds within 1e-9 of 0 or 1 are 0 or 1. Returns 0, or 1 after
// printing why.
int find_ranges(const lp_rows& rows, size_t ndint, std::vector<double>& low,
                std::vector<double>& high);
// What a range says of its domain pair: every optimal solution uses it
// (firm), some do (tied), or none does (excluded).
enum class range_class { excluded, tied, firm };
range_class class_of(double low, double high);

}  // namespace domlp
