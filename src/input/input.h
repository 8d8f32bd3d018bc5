// Readers of the three input files: the observed and test protein-pair files
// and the domain annotation file.
#pragma once

#include <string>

#include "model/model.h"

namespace domlp {

// Reads the three count lines, then the observed and test pair files, then
// the domain file, each file opened once. Returns 0, or 1 after printing why
// the input cannot be read.
int readdata(node_table& t, pair_set& obs, pair_set& test, pair_set& dint,
             const std::string& obs_file, const std::string& dom_file,
             const std::string& test_file);

}  // namespace domlp
