// Whole runs of the program with the real glpsol: the console, the derived
// file names, the predictions of small instances whose optimum is known, and
// the files a run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

using namespace domlp_test;

namespace {

struct inputs {
  std::string obs;
  std::string dom;
  std::string test;
};

// Writes the three input files into `d` under their default names.
void write_inputs(const temp_dir& d, const inputs& in, const std::string& obs = "obs.txt",
                  const std::string& dom = "dom.txt", const std::string& test = "test.txt") {
  d.write(obs, in.obs);
  d.write(dom, in.dom);
  d.write(test, in.test);
}

run_result run_in(const temp_dir& d, const std::vector<std::string>& args,
                  bool merge_stderr = false) {
  run_options opt;
  opt.cwd = d.path();
  opt.merge_stderr = merge_stderr;
  return run_domlp(args, opt);
}

run_result run_default(const temp_dir& d, const std::string& frac = "0.1") {
  return run_in(d, {"obs.txt", "dom.txt", "test.txt", frac});
}

std::string count_lines(int prot1, int pairs1, int prot2, int pairs2, int ndom, int ndint) {
  return "Total proteins: " + std::to_string(prot1) +
         "\nTotal protein pairs: " + std::to_string(pairs1) +
         "\nTotal proteins: " + std::to_string(prot2) +
         "\nTotal protein pairs: " + std::to_string(pairs2) +
         "\ndomain number: " + std::to_string(ndom) + "\n" + std::to_string(ndint) + "\n";
}

// glpsol's banner, the first thing it prints on standard output.
constexpr const char* kSolverBanner = "GLPSOL";

bool starts_with(const std::string& s, const std::string& p) {
  return s.compare(0, p.size(), p) == 0;
}

// Names of the entries of a directory, sorted.
std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Observed pairs A-B and B-C, A in domains {0, 1}, B in {1}, C in none: the
// domain pairs x(0,1) and x(1,1) and one covering row.
const inputs kSmall = {"2\nA B\nB C\n", "2\nD1:A\nD2:A B\n", "3\nC D\nA B\nA A\n"};

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

// The worked examples of the format descriptions as one run: the numbering,
// the count lines, the LP text and the predictions.
TEST(RunExamples, CountsLpTextAndPredictions) {
  temp_dir d;
  write_inputs(d, kSmall);
  run_result r = run_default(d);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string counts = count_lines(3, 2, 4, 3, 2, 2);
  EXPECT_EQ(r.out.substr(0, counts.size()), counts);
  EXPECT_EQ(d.read("obs.txt.0.100000.lp"),
            "\nMinimize\nobj: + x(0,1) + x(1,1)\n\nSubject To\n"
            "r(2): + x(0,1) + x(1,1) +e(0) >= 1.000\nr(3): +e(0) +e(1)<=0\nEnd\n");
  // Whichever of the two optima glpsol picks, x(0,1) + x(1,1) = 1, so A-B
  // reaches 1, and A-A (x(0,1) twice plus x(1,1)) too; C-D has no domains.
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), "C\tD\nA\tB\nA\tA\n");
  EXPECT_NE(d.read("obs.txt.0.100000.out").find("Status:     OPTIMAL"), std::string::npos);
}

// Domain lines without a colon, without a known protein or with only leading
// colons take no index, so the two kept ones are numbered 0 and 1.
TEST(RunExamples, DomainLineRulesShapeTheLp) {
  temp_dir d;
  write_inputs(d, {"1\nA B\n", "5\nPF1:A B X\nPF2 A B\nPF3:X Y\nPF4 : A\n:A B\n", "2\nA B\nB A\n"});
  run_result r = run_default(d);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(starts_with(r.out, count_lines(2, 1, 2, 2, 2, 2))) << r.out;
  // A is in domains {0, 1}, B in {0}: x(0,0), then (1,0) written as x(0,1).
  EXPECT_EQ(d.read("obs.txt.0.100000.lp"),
            "\nMinimize\nobj: + x(0,0) + x(0,1)\n\nSubject To\n"
            "r(2): + x(0,0) + x(0,1) +e(0) >= 1.000\nr(3): +e(0)<=0\nEnd\n");
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), "A\tB\nB\tA\n");
}

// glpsol reads the LP text with the wraps after every eighth term: eight
// objective terms leave two empty lines before "Subject To", eight slacks put
// the bound on a line of its own, and ten covering rows at 0.7 allow 6.
TEST(RunExamples, WrappedLpTextIsSolved) {
  temp_dir d;
  // Ten observed pairs Ak-Bk, each with its own domain pair x(2k,2k+1).
  std::string obs = "10\n", dom = "20\n", test = "10\n";
  for (int k = 0; k < 10; ++k) {
    obs += "A" + std::to_string(k) + " B" + std::to_string(k) + "\n";
    test += "A" + std::to_string(k) + " B" + std::to_string(k) + "\n";
  }
  for (int k = 0; k < 10; ++k) {
    dom += "a" + std::to_string(k) + ":A" + std::to_string(k) + "\n";
    dom += "b" + std::to_string(k) + ":B" + std::to_string(k) + "\n";
  }
  write_inputs(d, {obs, dom, test});
  run_result r = run_default(d, "0.7");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string lp = d.read("obs.txt.0.700000.lp");
  EXPECT_TRUE(starts_with(lp,
                          "\nMinimize\nobj: + x(0,1) + x(2,3) + x(4,5) + x(6,7) + x(8,9)"
                          " + x(10,11) + x(12,13) + x(14,15)\n + x(16,17) + x(18,19)\n\n"
                          "Subject To\nr(2): + x(0,1) +e(0) >= 1.000\n"))
      << lp;
  EXPECT_NE(lp.find(" +e(0) +e(1) +e(2) +e(3) +e(4) +e(5) +e(6) +e(7)\n +e(8) +e(9)<=6\nEnd\n"),
            std::string::npos)
      << lp;
  // Six of the ten pairs may stay uncovered, so four domain pairs are 1 and
  // four test pairs are predicted; which four is glpsol's choice.
  std::string pint = d.read("test.txt.0.700000.pint");
  EXPECT_EQ(std::count(pint.begin(), pint.end(), '\n'), 4) << pint;
}

TEST(RunExamples, EightObjectiveTermsLeaveTwoEmptyLines) {
  temp_dir d;
  std::string obs = "8\n", dom = "16\n";
  for (int k = 0; k < 8; ++k) {
    obs += "A" + std::to_string(k) + " B" + std::to_string(k) + "\n";
    dom += "a" + std::to_string(k) + ":A" + std::to_string(k) + "\n";
    dom += "b" + std::to_string(k) + ":B" + std::to_string(k) + "\n";
  }
  write_inputs(d, {obs, dom, "1\nA0 B0\n"});
  run_result r = run_default(d);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string lp = d.read("obs.txt.0.100000.lp");
  EXPECT_NE(lp.find(" + x(14,15)\n\n\nSubject To\n"), std::string::npos) << lp;
  EXPECT_NE(lp.find(" +e(7)\n<=0\nEnd\n"), std::string::npos) << lp;
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), "A0\tB0\n");
}

// Standard output carries the count lines and then glpsol's own output;
// standard error begins with the name of the LP file.
TEST(RunConsole, CountLinesComeFirst) {
  temp_dir d;
  write_inputs(d, kOddCycle);
  std::string counts = count_lines(4, 3, 10, 10, 4, 3);

  run_result r = run_default(d);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(starts_with(r.out, counts)) << r.out;
  EXPECT_TRUE(starts_with(r.out.substr(counts.size()), kSolverBanner)) << r.out;
  EXPECT_EQ(r.out.find("Total proteins", counts.size()), std::string::npos);
  EXPECT_TRUE(starts_with(r.err, "writing obs.txt.0.100000.lp\n")) << r.err;

  // In one file the lines stand in the order they were printed: the counts,
  // the LP file's name, then the solver.
  run_result m = run_in(d, {"obs.txt", "dom.txt", "test.txt", "0.1"}, true);
  ASSERT_EQ(m.status, 0) << m.out;
  EXPECT_TRUE(starts_with(m.out, counts + "writing obs.txt.0.100000.lp\n" + kSolverBanner))
      << m.out;
}

// The run tag is the fraction held as a float and rendered by "%f"; the LP
// and the report are named after the observed file, the predictions after
// the test file.
TEST(RunNames, TagsAndDerivedNames) {
  struct tag_case {
    const char* frac;
    const char* tag;
    const char* bound;  // one covering row times the fraction
  };
  const tag_case cases[] = {{"0.25", "0.250000", "<=0"},
                            {"1", "1.000000", "<=1"},
                            {"2.0000005", "2.000000", "<=2"},
                            {"16777217", "16777216.000000", "<=16777216"}};
  for (const tag_case& c : cases) {
    SCOPED_TRACE(c.frac);
    temp_dir d;
    write_inputs(d, kSmall, "train.txt", "dom.txt", "test.txt");
    run_result r = run_in(d, {"train.txt", "dom.txt", "test.txt", c.frac});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string tag = c.tag;
    std::vector<std::string> want = {"dom.txt",
                                     "test.txt",
                                     "test.txt." + tag + ".pint",
                                     "train.txt",
                                     "train.txt." + tag + ".lp",
                                     "train.txt." + tag + ".out"};
    EXPECT_EQ(d.list(), want);
    EXPECT_TRUE(starts_with(r.err, "writing train.txt." + tag + ".lp\n")) << r.err;
    std::string lp = d.read("train.txt." + tag + ".lp");
    EXPECT_NE(lp.find(std::string("r(3): +e(0) +e(1)") + c.bound + "\nEnd\n"), std::string::npos)
        << lp;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  }
}

TEST(RunNames, FilesInOtherDirectories) {
  temp_dir d;
  for (const char* sub : {"work", "in/deep", "doms"})
    std::filesystem::create_directories(d.file(sub));
  d.write("in/obs.txt", kOddCycle.obs);
  d.write("doms/dom.txt", kOddCycle.dom);
  d.write("in/deep/test.txt", kOddCycle.test);
  run_options opt;
  opt.cwd = d.file("work");
  run_result r =
      run_domlp({"../in/obs.txt", d.file("doms/dom.txt"), "../in/deep/test.txt", "0.1"}, opt);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(starts_with(r.err, "writing ../in/obs.txt.0.100000.lp\n")) << r.err;
  EXPECT_EQ(slurp(d.file("in/deep/test.txt.0.100000.pint")), kOddCyclePredicted);
  EXPECT_EQ(
      entries(d.file("in")),
      (std::vector<std::string>{"deep", "obs.txt", "obs.txt.0.100000.lp", "obs.txt.0.100000.out"}));
  EXPECT_EQ(entries(d.file("in/deep")),
            (std::vector<std::string>{"test.txt", "test.txt.0.100000.pint"}));
  EXPECT_EQ(entries(d.file("doms")), std::vector<std::string>{"dom.txt"});
  EXPECT_EQ(entries(d.file("work")), std::vector<std::string>{});
}

// The odd cycle's LP has the unique optimum 0.5, 0.5, 0.5; test pairs are
// predicted when their sum over the domain combinations reaches 1, each
// combination counted, repeats included.
TEST(RunPredictions, FractionalSolutionOfAnOddCycle) {
  temp_dir d;
  write_inputs(d, kOddCycle);
  run_result r = run_default(d);
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
// needs x(2,3); the cheapest use of the slack leaves row 3 uncovered.
TEST(RunPredictions, FractionLetsAPairGoUncovered) {
  const inputs in = {"3\nA B\nC B\nD E\n", "4\nd0:A C\nd1:B\nd2:D G\nd3:E\n", "3\nA B\nD E\nG E\n"};
  {
    temp_dir d;
    write_inputs(d, in);
    run_result r = run_default(d, "0.1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(d.read("test.txt.0.100000.pint"), "A\tB\nD\tE\nG\tE\n");
  }
  {
    temp_dir d;
    write_inputs(d, in);
    run_result r = run_default(d, "0.34");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(d.read("obs.txt.0.340000.lp").find("<=1\nEnd\n"), std::string::npos);
    EXPECT_EQ(d.read("test.txt.0.340000.pint"), "A\tB\n");
  }
}

TEST(RunPredictions, EmptyFileWhenNothingReachesOne) {
  temp_dir d;
  // T-Q scores 0.5, P-R forms no observed domain pair.
  write_inputs(d, {kOddCycle.obs, kOddCycle.dom, "2\nT Q\nP R\n"});
  run_result r = run_default(d);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(d.exists("test.txt.0.100000.pint"));
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), "");
}

// Names that a command shell would split, expand or run are passed to the
// solver as they are; a leading '-' is not taken for an option. Nothing but
// the three derived files appears beside the inputs.
TEST(RunNames, ShellCharactersAndLeadingDash) {
  temp_dir ref;
  write_inputs(ref, kOddCycle);
  ASSERT_EQ(run_default(ref).status, 0);
  const std::string ref_lp = ref.read("obs.txt.0.100000.lp");

  const std::vector<std::vector<std::string>> names = {
      {"obs file.txt", "dom file.txt", "test file.txt"},
      {"it's \"obs\".txt", "dom's.txt", "\"test\".txt"},
      {"obs;touch hijacked;.txt", "dom;x", "test; touch hijacked"},
      {"$(touch hijacked).txt", "`touch hijacked`", "test$(touch hijacked)|x&y>z"},
      {"-obs.txt", "-dom.txt", "-test.txt"},
      {"--lp", "-h", "-o"},
  };
  for (const auto& n : names) {
    SCOPED_TRACE(n[0]);
    temp_dir d;
    write_inputs(d, kOddCycle, n[0], n[1], n[2]);
    run_result r = run_in(d, {n[0], n[1], n[2], "0.1"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> want = {n[0], n[0] + ".0.100000.lp",  n[0] + ".0.100000.out", n[1],
                                     n[2], n[2] + ".0.100000.pint"};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(d.list(), want);
    EXPECT_EQ(d.read(n[0] + ".0.100000.lp"), ref_lp);
    EXPECT_EQ(d.read(n[2] + ".0.100000.pint"), kOddCyclePredicted);
  }
}

// A report left by an earlier run with the same arguments, here one that
// claims every domain pair is 1, is not read: the results are those of a
// clean run.
TEST(RunStaleReport, EarlierReportIsNotRead) {
  temp_dir clean;
  write_inputs(clean, kOddCycle);
  ASSERT_EQ(run_default(clean).status, 0);

  temp_dir d;
  write_inputs(d, kOddCycle);
  const std::string stale =
      "Problem:    \nRows:       4\nColumns:    6\nNon-zeros:  12\nStatus:     OPTIMAL\n"
      "Objective:  obj = 3 (MINimum)\n\n"
      "   No. Column name  St   Activity     Lower bound   Upper bound    Marginal\n"
      "------ ------------ -- ------------- ------------- ------------- -------------\n"
      "     1 x(0,2)       B              1             0               \n"
      "     2 x(1,2)       B              1             0               \n"
      "     3 x(2,3)       B              1             0               \n"
      "     4 e(0)         B              0             0               \n"
      "     5 e(1)         B              0             0               \n"
      "     6 e(2)         B              0             0               \n\nEnd of output\n";
  d.write("obs.txt.0.100000.out", stale);
  d.write("test.txt.0.100000.pint", "stale\tpair\n");
  d.write("obs.txt.0.100000.lp", "stale\n");
  run_result r = run_default(d);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), clean.read("test.txt.0.100000.pint"));
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), kOddCyclePredicted);
  EXPECT_EQ(d.read("obs.txt.0.100000.lp"), clean.read("obs.txt.0.100000.lp"));
  EXPECT_EQ(d.read("obs.txt.0.100000.out"), clean.read("obs.txt.0.100000.out"));
}

// Without any domain pair the LP is still written, the solver is not run
// (a stand-in that would leave a mark and fail stands first on PATH), and
// every test pair whose proteins both have domains scores 0.
TEST(RunNoDomainPairs, LpWrittenSolverNotRun) {
  struct case_ {
    const char* what;
    inputs in;
    const char* lp;
    const char* pint;
    std::string counts;
  };
  const case_ cases[] = {
      {"no domains at all",
       {"2\nA B\nB C\n", "0\n", "2\nA C\nD D\n"},
       "\nMinimize\nobj:\n\nSubject To\nr(2): +e(0) +e(1)<=0\nEnd\n",
       "A\tC\nD\tD\n",
       count_lines(3, 2, 4, 2, 0, 0)},
      {"no observed pair with domains on both sides",
       {"2\nA B\nC D\n", "2\nd0:A C E\nd1:E\n", "4\nA C\nA E\nE E\nA B\n"},
       "\nMinimize\nobj:\n\nSubject To\nr(2): +e(0) +e(1)<=0\nEnd\n",
       "A\tB\n",
       count_lines(4, 2, 5, 4, 2, 0)},
  };
  for (const case_& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir d, bin;
    write_inputs(d, c.in);
    run_options opt;
    opt.cwd = d.path();
    opt.path_prefix = fake_glpsol(bin, "touch '" + bin.file("ran") + "'\nexit 1");
    run_result r = run_domlp({"obs.txt", "dom.txt", "test.txt", "0.1"}, opt);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(bin.exists("ran"));
    EXPECT_EQ(r.out, c.counts);
    EXPECT_EQ(r.err,
              "writing obs.txt.0.100000.lp\n"
              "no domain pairs: nothing to solve, glpsol not run\n");
    EXPECT_EQ(d.read("obs.txt.0.100000.lp"), c.lp);
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
  const inputs in = {"7\nA B\nC D\nE D\nH B\nP Q\nR Q\nS Q\n", dom,
                     "9\nA B\nC D\nG D\nH B\nB H\nF Z\nA D\nP Q\nT Q\n"};
  write_inputs(d, in);
  run_result r = run_default(d);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(starts_with(r.out, count_lines(10, 7, 14, 9, 10009, 7))) << r.out;
  EXPECT_NE(d.read("obs.txt.0.100000.out").find("x(10000,10001)\n"), std::string::npos)
      << "the report has no wrapped column name";
  EXPECT_EQ(d.read("test.txt.0.100000.pint"), "A\tB\nC\tD\nH\tB\nB\tH\nF\tZ\nP\tQ\n");
}

// A rerun with the same arguments overwrites the three files with the same
// bytes and prints the same count lines.
TEST(RunRerun, SameArgumentsGiveIdenticalOutputs) {
  // A few hundred proteins and pairs drawn by a fixed linear congruential
  // generator, with some proteins left without domains and some domains
  // listed twice for a protein.
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  auto prot = [](uint32_t k) { return "p" + std::to_string(k); };
  std::string obs = "400\n", test = "200\n", dom = "60\n";
  for (int k = 0; k < 400; ++k) obs += prot(next(250)) + "\t" + prot(next(250)) + "\n";
  for (int k = 0; k < 200; ++k) test += prot(next(300)) + " " + prot(next(300)) + "\n";
  for (int k = 0; k < 60; ++k) {
    dom += "PF" + std::to_string(k) + ":";
    uint32_t members = 1 + next(k < 5 ? 60 : 8);
    for (uint32_t m = 0; m < members; ++m) dom += " " + prot(next(270));
    dom += "\n";
  }
  temp_dir d;
  write_inputs(d, {obs, dom, test});
  run_result first = run_default(d, "0.05");
  ASSERT_EQ(first.status, 0) << first.err;
  const std::vector<std::string> outputs = {"obs.txt.0.050000.lp", "obs.txt.0.050000.out",
                                            "test.txt.0.050000.pint"};
  std::vector<std::string> before;
  for (const std::string& f : outputs) before.push_back(d.read(f));
  EXPECT_FALSE(before[2].empty());

  run_result second = run_default(d, "0.05");
  ASSERT_EQ(second.status, 0) << second.err;
  for (size_t k = 0; k < outputs.size(); ++k)
    EXPECT_EQ(d.read(outputs[k]), before[k]) << outputs[k];
  std::string counts = first.out.substr(0, first.out.find(kSolverBanner));
  EXPECT_TRUE(starts_with(second.out, counts + kSolverBanner));
  EXPECT_EQ(d.list().size(), 6u);
}
