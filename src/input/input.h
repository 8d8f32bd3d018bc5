// Readers of the three input files: the observed and test protein-pair files
// and the domain annotation file.
#pragma once

#include <cstdio>
#include <string>

#include "model/model.h"

namespace domlp {

// Reads the declared counts, then the observed and test pair files, then the
// domain file. Returns 0, or 1 after printing why the input cannot be read.
int readdata(node_table& t, pair_set& obs, pair_set& test, pair_set& dint,
             const std::string& obs_file, const std::string& dom_file,
             const std::string& test_file);

// Reads one pair file into `s`, adding new proteins to `t`.
int readprotint(node_table& t, pair_set& s, const std::string& file);
// Reads the domain file, keeping proteins already known and linking both ways.
int creat_domprot(node_table& t, const std::string& file);

// The same readers on an open stream; `file` names it in messages.
int read_count(FILE* f, const std::string& file, int& count);
int readprotint_stream(node_table& t, pair_set& s, FILE* f, const std::string& file);
int creat_domprot_stream(node_table& t, FILE* f, const std::string& file);

}  // namespace domlp
