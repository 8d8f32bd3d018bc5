// The run driver: the command line and the run it asks for. The driver is
// the only code that sequences the steps of the other modules: a run, a
// list of fractions and a cross-validation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/input.h"

namespace domlp {

// The command line.
struct options {
  std::string solver = "glpsol";  // "glpsol" or "clp"
  bool solver_given = false;      // --solver on the command line
  std::string obs_file;
  std::string dom_file;
  std::string test_file;     // empty in a cross-validation
  std::vector<float> fracs;  // in the order given
  input_options in;
  std::string outdir;  // where the derived files go; empty: beside their input
  // The stems of the derived file names: the input names without ".gz", in
  // the output directory when there is one.
  std::string obs_stem;
  std::string test_stem;
  int folds = 0;      // a cross-validation's folds; 0 for an ordinary run
  int negatives = 1;  // negatives per positive
  // Negatives drawn in proportion to the product of their proteins'
  // numbers of observed pairs, rather than uniformly.
  bool balanced_negatives = false;
  uint64_t seed = 1;
  int jobs = 1;            // solves run at once
  bool verbose = false;    // CLP's log on standard error
  bool ranges = false;     // each domain pair's range over all optimal solutions
  std::string known_file;  // a reference list of interacting domain pairs
  std::string names_file;  // the domains' family names, for the answer tables
  bool graded = false;     // each domain pair's and test pair's graded confidence
  bool baselines = false;  // cross-validation: the graded score against counts
};

// Fills `o` from the command line. Returns -1 when the run should go on,
// otherwise the exit status to end with (usage, help, version, bad argument).
int parse_args(int argc, char** argv, options& o);

// The name of a derived file: a stem, the run tag (the fraction as "%f"
// renders it) and `ext`.
std::string derived_name(const std::string& stem, float frac, const char* ext);

// Runs the whole job; returns the exit status.
int run(const options& o);
int domlp_main(int argc, char** argv);

}  // namespace domlp
