// The run driver: command line, derived file names, the order of the steps
// and the solver run.
#pragma once

#include <string>
#include <vector>

namespace domlp {

struct run_args {
  std::string obs_file;
  std::string dom_file;
  std::string test_file;
  float frac = 0.0f;
};

// Fills `a` from the command line. Returns -1 when the run should go on,
// otherwise the exit status to end with (usage, help, version, bad fraction).
int parse_args(int argc, char** argv, run_args& a);

// The run tag: the fraction widened to double and rendered by "%f".
std::string run_tag(float frac);
std::string lp_name(const run_args& a);
std::string report_name(const run_args& a);
std::string pint_name(const run_args& a);

// The argument words of the solver command, "--lpt" or "--lp" as the
// installed solver accepts.
std::vector<std::string> solver_command(const std::string& lp_option, const std::string& lp,
                                        const std::string& report);

// Runs the whole job; returns the exit status.
int run(const run_args& a);
int domlp_main(int argc, char** argv);

}  // namespace domlp
