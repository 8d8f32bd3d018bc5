// Domain-pair model and the exchange with the solver: the domain pairs that
// the observed pairs can form, the linear program that chooses among them,
// and the reader of the solver's solution report.
#pragma once

#include <cstdio>
#include <string>

#include "model/model.h"

namespace domlp {

// Indexes and flags the observed pairs and numbers the domain pairs they form.
void construct_dint(const node_table& t, pair_set& obs, pair_set& dint);

// Writes the linear program to `file`. Returns 0, or 1 after printing why the
// file could not be written (no file is left under that name then).
int LP_out(const node_table& t, const pair_set& obs, const pair_set& dint, const std::string& file,
           float frac);
// Writes the linear program text to a stream; 0, or the error number of a
// failed write.
int write_lp(FILE* out, const node_table& t, const pair_set& obs, const pair_set& dint, float frac);
// The bound of the budget row: rows times the fraction, truncated to an int.
int lp_bound(int rows, float frac);

// Reads the solver's report and stores each x(a,b) activity, clamped to
// [0, 1], in domain pair a,b. Returns 0, or 1 after printing why.
int my_parse_glp(const std::string& file, const node_table& t, const pair_set& obs, pair_set& dint);
int parse_glp_stream(FILE* in, const std::string& file, pair_set& dint);

}  // namespace domlp
