// What a fraction's run leaves: its result files, each declared once in a
// table from which both their names and their writing come, and the summary
// line on standard error.
#include <cstdio>
#include <string>

#include "io/io.h"
#include "steps.h"

namespace domlp {

namespace {

// A result file: the extension after the run tag, whether its name is the
// test file's (otherwise the observed file's), when it is written, and its
// writer.
struct result_file {
  const char* ext;
  bool of_test;
  bool (*wanted)(const options&);
  void (*write)(FILE*, const run_tables&, const solve_result&);
};

bool always(const options&) {
  return true;
}
bool with_ranges(const options& o) {
  return o.ranges;
}
bool with_graded(const options& o) {
  return o.graded;
}
bool with_known(const options& o) {
  return !o.known_file.empty();
}

const graded* grade_of(const run_tables& in) {
  return in.grade ? &*in.grade : nullptr;
}

// Every result file, in the order they are renamed into place, the first
// last: the predicted pairs replace an earlier file only when the inferred
// domain pairs and the scores did.
const result_file result_files[] = {
    {"pint", true, always,
     [](FILE* f, const run_tables& in, const solve_result&) { out_pint(f, in.t, in.test); }},
    {"dint", false, always,
     [](FILE* f, const run_tables& in, const solve_result&) {
       out_dint(f, in.t, in.dint, in.rows);
     }},
    {"scores", true, always,
     [](FILE* f, const run_tables& in, const solve_result&) { out_scores(f, in.t, in.test); }},
    {"dranges", false, with_ranges,
     [](FILE* f, const run_tables& in, const solve_result& r) {
       out_dranges(f, in.t, in.dint, in.rows, r.low, r.high, r.known);
     }},
    {"pranges", true, with_ranges,
     [](FILE* f, const run_tables& in, const solve_result& r) {
       out_pranges(f, in.t, in.test, r.test_low, r.test_high);
     }},
    {"dgraded", false, with_graded,
     [](FILE* f, const run_tables& in, const solve_result& r) {
       out_dgraded(f, in.t, in.dint, *in.grade, {in.names, r.low, r.high, r.known});
     }},
    {"pgraded", true, with_graded,
     [](FILE* f, const run_tables& in, const solve_result& r) {
       out_pgraded(f, in.t, in.dint, in.test, r.graded, r.basis,
                   {in.names, r.test_low, r.test_high, {}});
     }},
    {"known", false, with_known,
     [](FILE* f, const run_tables& in, const solve_result& r) {
       out_known(f, in.dint, r.known, r.low, r.high, grade_of(in));
     }},
};

std::string name_of(const options& o, float frac, const result_file& file) {
  return derived_name(file.of_test ? o.test_stem : o.obs_stem, frac, file.ext);
}

}  // namespace

std::vector<std::string> result_names(const options& o, float frac) {
  std::vector<std::string> names;
  for (const result_file& file : result_files)
    if (file.wanted(o)) names.push_back(name_of(o, frac, file));
  return names;
}

int write_results(const options& o, float frac, const run_tables& in, const solve_result& r) {
  std::vector<file_writer> files;
  for (const result_file& file : result_files)
    if (file.wanted(o))
      files.push_back({name_of(o, frac, file), [&](FILE* f) { file.write(f, in, r); }});
  return write_together(files);
}

// Clauses joined by "; ", the program's optimum first, with ranges the
// domain pairs' classes, then what was predicted.
void print_summary(const options& o, float frac, const run_tables& in, const solve_result& r) {
  int predicted = 0, no_dom = 0;
  for (const pair& tp : in.test.item) {
    predicted += tp.value >= 1.0;
    no_dom += no_domain(in.t, tp);
  }
  std::vector<std::string> clauses;
  clauses.push_back("optimum " + format_g(r.optimum));
  if (o.ranges) {
    int count[3] = {};
    for (size_t k = 0; k < r.low.size(); ++k)
      ++count[static_cast<int>(class_of(r.low[k], r.high[k]))];
    clauses.push_back("domain pairs: " + std::to_string(count[2]) + " firm, " +
                      std::to_string(count[1]) + " tied, " + std::to_string(count[0]) +
                      " excluded");
  }
  clauses.push_back("predicted " + std::to_string(predicted) + " of " + std::to_string(in.test.n) +
                    " test pairs: " + std::to_string(predicted - no_dom) + " from domain pairs, " +
                    std::to_string(no_dom) + " with a protein without domains");
  std::string line;
  for (const std::string& c : clauses) line += (line.empty() ? "" : "; ") + c;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (o.graded)
    std::fprintf(stderr, "answer: %s (domain pairs by confidence), %s (test pairs)\n",
                 derived_name(o.obs_stem, frac, "dgraded").c_str(),
                 derived_name(o.test_stem, frac, "pgraded").c_str());
  if (!o.known_file.empty()) out_known(stderr, in.dint, r.known, r.low, r.high, grade_of(in));
}

}  // namespace domlp
