// The run driver: command line, derived file names, the order of the steps
// and the solver run.
#pragma once

#include <string>
#include <vector>

namespace domlp {

struct run_args {
  std::string solver = "glpsol";  // "glpsol" or "clp"
  std::string obs_file;
  std::string dom_file;
  std::string test_file;
  float frac = 0.0f;
};

// Fills `a` from the command line. Returns -1 when the run should go on,
// otherwise the exit status to end with (usage, help, version, bad argument).
int parse_args(int argc, char** argv, run_args& a);

// The name of a derived file: an input file's name, the run tag (the
// fraction as "%f" renders it) and `ext`.
std::string derived_name(const std::string& stem, float frac, const char* ext);

// Runs the whole job; returns the exit status.
int run(const run_args& a);
int domlp_main(int argc, char** argv);

}  // namespace domlp
