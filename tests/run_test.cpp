// Whole runs of the program with the real glpsol: the console, the derived
// file names, the predictions of small instances whose optimum is known, and
// the files a run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_util.h"

using namespace domlp_test;

namespace {

const std::vector<std::string> kArgs = {"obs.txt", "dom.txt", "test.txt", "0.1"};

// glpsol's banner, the first thing it prints on standard output.
constexpr const char* kSolverBanner = "GLPSOL";

// Three observed pairs P-Q, R-Q, S-Q whose domain pairs form an odd cycle:
// each covering row holds two of the three domain pairs x(0,2), x(1,2),
// x(2,3), so the only optimum with no slack gives each of them 0.5.
// Protein T carries domain 0 only, W carries it twice, U and V carry 0 and 2,
// Z has no domain.
const inputs kOddCycle = {
    "3\nP Q\nR Q\nS Q\n",
    "4\nd0:P S T W W U V\nd1:P R\nd2:Q U V\nd3:R S\n",
    "10\nP Q\nT Q\nQ P\nW Q\nU V\nR Q\nT S\nP R\nZ Q\nZ Y\n",
};
// P-Q: x(0,2) + x(1,2) = 1; T-Q: x(0,2) = 0.5; W-Q: x(0,2) twice = 1;
// U-V: x(0,2) reached as (0,2) and as (2,0) = 1; R-Q: x(1,2) + x(2,3) = 1;
// T-S and P-R form no observed domain pair; Z has no domain.
const char* kOddCyclePredicted = "P\tQ\nQ\tP\nW\tQ\nU\tV\nR\tQ\nZ\tQ\nZ\tY\n";

}  // namespace

// The worked example of the format descriptions as one run: the numbering,
// the count lines, the LP text and the predictions. A-B and B-C are
// observed, A is in domains {0, 1}, B in {1}, C in none.
TEST(RunExamples, CountsLpTextAndPredictions) {
  temp_dir d;
  write_inputs(d, {"2\nA B\nB C\n", "2\nD1:A\nD2:A B\n", "3\nC D\nA B\nA A\n"});
  run_result r = run_in(d, kArgs);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(starts_with(r.out, count_lines(3, 2, 4, 3, 2, 2))) << r.out;
  EXPECT_EQ(d.read("obs.txt.0.100000.lp"),
            "\nMinimize\nobj: + x(0,1) + x(1,1)\n\nSubject To\n"
            "r(2): + x(0,1) + x(1,1) +e(0) >= 1.000\nr(3): +e(0) +e(1)<=0\nEnd\n");
  // Whichever of the two optima glpsol picks, x(0,1) + x(1,1) = 1, so A-B
  // reaches 1, and A-A (x(0,1) twice plus x(1,1)) too; C-D has no domains.
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), "C\tD\nA\tB\nA\tA\n");
  EXPECT_NE(d.read("obs.txt.0.100000.out").find("Status:     OPTIMAL"), std::string::npos);
}

// glpsol reads the LP text with the wraps after every eighth term. N observed
// pairs Ak-Bk each have their own domain pair x(2k,2k+1): eight objective
// terms leave two empty lines before "Subject To", eight slacks put the bound
// on a line of its own, and ten covering rows at 0.7 allow 6 uncovered.
TEST(RunExamples, WrappedLpTextIsSolved) {
  struct wrap_case {
    int n;
    const char* frac;
    const char* tag;
    std::vector<std::string> lp_parts;
    long predicted;  // test pairs Ak-Bk that reach 1; which ones is glpsol's choice
  };
  const wrap_case cases[] = {
      {8, "0.1", "0.100000", {" + x(14,15)\n\n\nSubject To\n", " +e(7)\n<=0\nEnd\n"}, 8},
      {10,
       "0.7",
       "0.700000",
       {"\nMinimize\nobj: + x(0,1) + x(2,3) + x(4,5) + x(6,7) + x(8,9) + x(10,11) + x(12,13)"
        " + x(14,15)\n + x(16,17) + x(18,19)\n\nSubject To\nr(2): + x(0,1) +e(0) >= 1.000\n",
        " +e(7)\n +e(8) +e(9)<=6\nEnd\n"},
       4},
  };
  for (const wrap_case& c : cases) {
    SCOPED_TRACE(c.n);
    std::string n = std::to_string(c.n), obs = n + "\n", dom = std::to_string(2 * c.n) + "\n";
    for (int k = 0; k < c.n; ++k) {
      std::string s = std::to_string(k);
      obs += "A" + s + " B" + s + "\n";
      dom += "a" + s + ":A" + s + "\nb" + s + ":B" + s + "\n";
    }
    temp_dir d;
    write_inputs(d, {obs, dom, obs});
    run_result r = run_in(d, {"obs.txt", "dom.txt", "test.txt", c.frac});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string lp = d.read("obs.txt." + std::string(c.tag) + ".lp");
    for (const std::string& part : c.lp_parts) EXPECT_NE(lp.find(part), std::string::npos) << lp;
    std::string pint = d.read("test.txt." + std::string(c.tag) + ".pint");
    EXPECT_EQ(std::count(pint.begin(), pint.end(), '\n'), c.predicted) << pint;
  }
}

// Standard output carries the count lines and then glpsol's own output;
// standard error begins with the name of the LP file.
TEST(RunConsole, CountLinesComeFirst) {
  temp_dir d;
  write_inputs(d, kOddCycle);
  std::string counts = count_lines(4, 3, 10, 10, 4, 3);

  run_result r = run_in(d, kArgs);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(starts_with(r.out, counts)) << r.out;
  EXPECT_TRUE(starts_with(r.out.substr(counts.size()), kSolverBanner)) << r.out;
  EXPECT_EQ(r.out.find("Total proteins", counts.size()), std::string::npos);
  EXPECT_TRUE(starts_with(r.err, "writing obs.txt.0.100000.lp\n")) << r.err;

  // In one file the lines stand in the order they were printed: the counts,
  // the LP file's name, then the solver.
  run_result m = run_in(d, kArgs, {.merge_stderr = true});
  ASSERT_EQ(m.status, 0) << m.out;
  EXPECT_TRUE(starts_with(m.out, counts + "writing obs.txt.0.100000.lp\n" + kSolverBanner))
      << m.out;
}

// The odd cycle's LP has the unique optimum 0.5, 0.5, 0.5; test pairs are
// predicted when their sum over the domain combinations reaches 1, each
// combination counted, repeats included.
TEST(RunPredictions, FractionalSolutionOfAnOddCycle) {
  temp_dir d;
  write_inputs(d, kOddCycle);
  run_result r = run_in(d, kArgs);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(d.read("obs.txt.0.100000.lp"),
            "\nMinimize\nobj: + x(0,2) + x(1,2) + x(2,3)\n\nSubject To\n"
            "r(2): + x(0,2) + x(1,2) +e(0) >= 1.000\n"
            "r(3): + x(1,2) + x(2,3) +e(1) >= 1.000\n"
            "r(4): + x(0,2) + x(2,3) +e(2) >= 1.000\n"
            "r(5): +e(0) +e(1) +e(2)<=0\nEnd\n");
  std::string report = d.read("obs.txt.0.100000.out");
  EXPECT_NE(report.find("Objective:  obj = 1.5 (MINimum)"), std::string::npos) << report;
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), kOddCyclePredicted);
}

// The fraction bounds the total slack: with 3 covering rows, 0.1 allows none
// and 0.34 allows one row to go uncovered. Rows 1 and 2 need x(0,1), row 3
// needs x(2,3); the cheapest use of the slack leaves row 3 uncovered. When no
// test pair reaches 1 the predicted pairs file is written all the same.
TEST(RunPredictions, FractionLetsAPairGoUncovered) {
  const inputs in = {"3\nA B\nC B\nD E\n", "4\nd0:A C\nd1:B\nd2:D G\nd3:E\n", "3\nA B\nD E\nG E\n"};
  struct fraction_case {
    inputs in;
    const char* frac;
    const char* tag;
    const char* lp_end;
    const char* pint;
  };
  const fraction_case cases[] = {
      {in, "0.1", "0.100000", "<=0\nEnd\n", "A\tB\nD\tE\nG\tE\n"},
      {in, "0.34", "0.340000", "<=1\nEnd\n", "A\tB\n"},
      // T-Q scores 0.5, P-R forms no observed domain pair.
      {{kOddCycle.obs, kOddCycle.dom, "2\nT Q\nP R\n"}, "0.1", "0.100000", "<=0\nEnd\n", ""},
  };
  for (const fraction_case& c : cases) {
    SCOPED_TRACE(c.frac);
    temp_dir d;
    write_inputs(d, c.in);
    run_result r = run_in(d, {"obs.txt", "dom.txt", "test.txt", c.frac});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ends_with(d.read("obs.txt." + std::string(c.tag) + ".lp"), c.lp_end));
    ASSERT_TRUE(d.exists("test.txt." + std::string(c.tag) + ".pint"));
    EXPECT_EQ(d.read("test.txt." + std::string(c.tag) + ".pint"), c.pint);
  }
}

// Without any domain pair the LP is still written, the solver is not run
// (a stand-in that would leave a mark and fail stands first on PATH), a
// report of an earlier run is removed, and every test pair whose proteins
// both have domains scores 0.
TEST(RunNoDomainPairs, LpWrittenSolverNotRun) {
  struct case_ {
    const char* what;
    inputs in;
    const char* pint;
    std::string counts;
  };
  const case_ cases[] = {
      {"no domains at all",
       {"2\nA B\nB C\n", "0\n", "2\nA C\nD D\n"},
       "A\tC\nD\tD\n",
       count_lines(3, 2, 4, 2, 0, 0)},
      {"no observed pair with domains on both sides",
       {"2\nA B\nC D\n", "2\nd0:A C E\nd1:E\n", "4\nA C\nA E\nE E\nA B\n"},
       "A\tB\n",
       count_lines(4, 2, 5, 4, 2, 0)},
  };
  for (const case_& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir d, bin;
    write_inputs(d, c.in);
    d.write("obs.txt.0.100000.out", slurp(data_file("report_long_names.out")));
    run_result r = run_in(
        d, kArgs, {.path_prefix = fake_glpsol(bin, "touch '" + bin.file("ran") + "'\nexit 1")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(bin.exists("ran"));
    EXPECT_EQ(r.out, c.counts);
    EXPECT_EQ(r.err,
              "writing obs.txt.0.100000.lp\n"
              "no domain pairs: nothing to solve, glpsol not run\n");
    EXPECT_EQ(d.read("obs.txt.0.100000.lp"),
              "\nMinimize\nobj:\n\nSubject To\nr(2): +e(0) +e(1)<=0\nEnd\n");
    EXPECT_FALSE(d.exists("obs.txt.0.100000.out"));
    EXPECT_EQ(d.read("test.txt.0.100000.pint"), c.pint);
  }
}

// With more than 10 000 kept domains glpsol puts the long column names on a
// line of their own and the values on the next; every value must be read,
// those of the columns after a wrapped one included.
TEST(RunLongNames, ValuesAfterWrappedColumnsAreRead) {
  temp_dir d;
  // Domains 0-9999 are carried by F (a test protein only, so they form no
  // domain pair); D0 also by H. The solution: x(10000,10001) = 1,
  // x(10002,10004) = 1, x(10003,10004) = 0, x(0,10001) = 1 (a short name
  // after three wrapped ones), and the odd cycle x(10005,10007),
  // x(10006,10007), x(10007,10008) at 0.5.
  std::string dom = "10009\nD0:F H\n";
  for (int k = 1; k < 10000; ++k) dom += "D" + std::to_string(k) + ":F\n";
  dom +=
      "D10000:A\nD10001:B\nD10002:C E\nD10003:C G\nD10004:D\n"
      "D10005:P S T\nD10006:P R\nD10007:Q\nD10008:R S\n";
  write_inputs(d, {"7\nA B\nC D\nE D\nH B\nP Q\nR Q\nS Q\n", dom,
                   "9\nA B\nC D\nG D\nH B\nB H\nF Z\nA D\nP Q\nT Q\n"});
  run_result r = run_in(d, kArgs);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(starts_with(r.out, count_lines(10, 7, 14, 9, 10009, 7))) << r.out;
  EXPECT_NE(d.read("obs.txt.0.100000.out").find("x(10000,10001)\n"), std::string::npos)
      << "the report has no wrapped column name";
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), "A\tB\nC\tD\nH\tB\nB\tH\nF\tZ\nP\tQ\n");
}

// A rerun over the files of an earlier run, here an optimal report of another
// instance, replaces all three with what a clean run writes.
TEST(RunStaleReport, EarlierFilesAreReplaced) {
  temp_dir clean;
  write_inputs(clean, kOddCycle);
  ASSERT_EQ(run_in(clean, kArgs).status, 0);

  temp_dir d;
  write_inputs(d, kOddCycle);
  d.write("obs.txt.0.100000.out", slurp(data_file("report_long_names.out")));
  d.write("test.txt.0.100000.pint", "stale\tpair\n");
  d.write("obs.txt.0.100000.lp", "stale\n");
  run_result r = run_in(d, kArgs);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), kOddCyclePredicted);
  for (const char* f : {"obs.txt.0.100000.lp", "obs.txt.0.100000.out", "test.txt.0.100000.pint"})
    EXPECT_EQ(d.read(f), clean.read(f)) << f;
  EXPECT_EQ(d.list().size(), 6u);
}
