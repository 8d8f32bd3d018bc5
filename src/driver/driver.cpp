// The order of a run's steps: the input read, the program built, then one
// solve of each fraction, here or, for a list, each in a child process; the
// result files and the summary of each; and the exit status. A
// cross-validation is cv.cpp's.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "io/io.h"
#include "steps.h"

namespace domlp {

namespace {

// One fraction of a run: the solve, the result files and the summary line;
// in a list, after a line naming the fraction.
int run_fraction(const options& o, float frac, bool in_list, run_tables& in) {
  if (in_list) std::fprintf(stderr, "fraction %s\n", format_f(frac).c_str());
  const std::optional<solve_result> r = solve_one(o, {frac, solver_files::kept, ""}, in);
  if (!r || write_results(o, frac, in, *r)) return 1;
  print_summary(o, frac, in, *r);
  return 0;
}

// What a list says when an interruption stopped it.
int list_interrupted(const interruption& i, const std::vector<std::string>& finished) {
  if (finished.empty()) {
    say_interrupted(i.sig);
  } else {
    std::fprintf(stderr, "interrupted by signal %d: results written for %s only\n", i.sig,
                 joined(finished).c_str());
  }
  return 128 + i.sig;
}

// Every fraction of a list, each solved on its own. Failed fractions do not
// stop the others; an interruption stops them all.
int solve_list(const options& o, run_tables& in) {
  std::vector<std::string> finished, failed;
  try {
    job_pool pool(o.jobs);
    for (float frac : o.fracs) {
      std::vector<std::string> outputs = result_names(o, frac), more = solve_files(o, frac);
      outputs.insert(outputs.end(), more.begin(), more.end());
      pool.submit([&, frac](solve_result&) { return run_fraction(o, frac, true, in); },
                  [&, frac](int status, const solve_result*) {
                    if (status == 0) finished.push_back(format_f(frac));
                    if (status == 1) failed.push_back(format_f(frac));
                    if (status > 1 && !interrupted()) {
                      std::fprintf(stderr, "the solve of fraction %s was stopped by signal %d\n",
                                   format_f(frac).c_str(), status - 128);
                      failed.push_back(format_f(frac));
                    }
                  },
                  outputs);
    }
    pool.wait_all();
  } catch (const interruption& i) {
    return list_interrupted(i, finished);
  }
  return end_of_list(failed, o.fracs.size());
}

// No protein of the pair files has a domain: the likely cause, in one line,
// with a name of each side when the table has proteins of its own.
void warn_no_domains(const options& o, const node_table& t) {
  std::string line = "warning: no protein of the pair files has a domain in '" + o.dom_file +
                     "', so every test pair will be predicted: ";
  if (t.unmatched_name.empty())
    line += "the table gives no protein a domain (another separator or --domain-format?)\n";
  else
    line += "the pair files name proteins like '" + t.prot[0].name + "', the table like '" +
            t.unmatched_name + "' (another identifier type or separator?)\n";
  // A name may hold any byte, NUL included.
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// The output directory must exist before anything is read or written.
int check_outdir(const std::string& dir) {
  struct stat st;
  if (dir.empty()) return 0;
  int err = ::stat(dir.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (err == 0) return 0;
  std::fprintf(stderr, "output directory '%s': %s\n", dir.c_str(), std::strerror(err));
  return 1;
}

}  // namespace

std::string joined(const std::vector<std::string>& tags) {
  std::string s;
  for (const std::string& tag : tags) s += (s.empty() ? "" : " ") + tag;
  return s;
}

int end_of_list(const std::vector<std::string>& failed, size_t fractions) {
  if (failed.empty()) return flush_stdout();
  std::fprintf(stderr, "no results for %zu of %zu fractions: %s\n", failed.size(), fractions,
               joined(failed).c_str());
  return 1;
}

int flush_stdout() {
  // A failed write may have set the error indicator earlier, with errno long
  // since changed: the reason is known only when this flush fails.
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  if (errno != 0)
    std::fprintf(stderr, "error writing standard output: %s\n", std::strerror(errno));
  else
    std::fprintf(stderr, "error writing standard output\n");
  return 1;
}

int run(const options& o) {
  if (check_outdir(o.outdir)) return 1;
  if (o.folds > 0) return cross_validate(o);
  // The reference list is read first, so that an error in it comes before
  // any count line.
  run_tables in;
  if (!o.known_file.empty() && read_known(o.known_file, in.known)) return 1;
  if (readdata(in.t, in.obs, in.test, in.dint, o.obs_file, o.dom_file, o.test_file, o.in)) return 1;
  if (!o.names_file.empty() && read_domain_names(o.names_file, in.t, in.names)) return 1;
  construct_dint(in.t, in.obs, in.dint, in.rows);
  std::printf("%d\n", in.dint.n);
  check_interrupt();

  // The count lines go out first, so that a log holding both streams shows
  // them in the order they were printed; when they cannot be written the run
  // stops before writing any file.
  if (flush_stdout()) return 1;
  if (in.t.ndom == 0 && in.test.n > 0) warn_no_domains(o, in.t);
  if (!o.known_file.empty()) check_known(in.t, in.dint, in.known, o.known_file, o.dom_file);
  if (in.dint.n > 0) hint_solver(o, in.rows.obs_pos.size() + 1);
  if (o.fracs.size() > 1) {
    // The graded confidence comes from the observed pairs alone: the same
    // for every fraction, worked out once before their solves start. A
    // single solve works it out while its program is solved.
    if (o.graded) in.grade = grade_dint(in.t, in.obs, in.dint, in.rows);
    return solve_list(o, in);
  }
  if (run_fraction(o, o.fracs[0], false, in)) return 1;
  return flush_stdout();
}

int domlp_main(int argc, char** argv) {
  options o;
  int rc = parse_args(argc, argv, o);
  if (rc >= 0) return rc == 0 ? flush_stdout() : rc;
  catch_signals();
  try {
    return run(o);
  } catch (const interruption& i) {
    say_interrupted(i.sig);
    return 128 + i.sig;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "out of memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  } catch (...) {
    // Such as an error of the solver library: the run still unwinds, and its
    // temporary files go.
    std::fprintf(stderr, "unexpected error\n");
    return 1;
  }
}

}  // namespace domlp
