// The reader of the solver's solution report: which values it takes, how it
// treats column names of every length, and how it fails.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lp/lp.h"
#include "test_util.h"

using namespace domlp;
using namespace domlp_test;

namespace {

// Value the tests store beforehand, to see which pairs the reader sets.
constexpr double kUnset = 0.25;

// A domain-pair set holding the given pairs, in that order, all supported.
pair_set dint_of(const std::vector<std::pair<int, int>>& pairs) {
  pair_set s;
  for (const auto& [a, b] : pairs) {
    s.index.set(a, b, static_cast<int>(s.item.size()));
    s.item.push_back(pair{a, b, kUnset, 1});
  }
  s.n = s.nobs = static_cast<int>(s.item.size());
  return s;
}

struct parsed {
  int rc = -1;
  std::string err;
};

parsed parse(const std::string& text, pair_set& dint) {
  FILE* f = mem_in(text);
  parsed p;
  p.err = capture([&] { p.rc = parse_glp_stream(f, "rep.out", dint); }).err;
  std::fclose(f);
  return p;
}

// The lines of a report up to and including the column section's rule.
const std::string kHead =
    "Problem:    \n"
    "Rows:       2\n"
    "Columns:    3\n"
    "Non-zeros:  4\n"
    "Status:     OPTIMAL\n"
    "Objective:  obj = 1 (MINimum)\n"
    "\n"
    "   No.   Row name   St   Activity     Lower bound   Upper bound    Marginal\n"
    "------ ------------ -- ------------- ------------- ------------- -------------\n"
    "     1 r(2)         NL             1             1                         1 \n"
    "\n"
    "   No. Column name  St   Activity     Lower bound   Upper bound    Marginal\n"
    "------ ------------ -- ------------- ------------- ------------- -------------\n";

}  // namespace

TEST(ReportReader, ShortestAcceptedReport) {
  // The sixth line may itself be the column header; e(0) ends the reading,
  // so the x column after it is not read.
  pair_set d = dint_of({{0, 1}, {1, 1}});
  parsed p = parse(
      "a\nb\nc\nd\nStatus:     OPTIMAL\n   No. Column name  St   Activity\n"
      "1 x(0,1) B 0.75\n2 e(0) NL 0\n3 x(1,1) B 1\n",
      d);
  EXPECT_EQ(p.rc, 0);
  EXPECT_EQ(p.err, "");
  EXPECT_EQ(d.item[0].prob, 0.75);
  EXPECT_EQ(d.item[1].prob, kUnset);
}

TEST(ReportReader, ValuesClampedAndOnlyKnownPairsStored) {
  pair_set d = dint_of({{0, 1}, {1, 1}, {0, 2}, {2, 2}, {3, 3}, {1, 3}, {2, 3}, {0, 3}, {0, 0}});
  d.item[8].obs = 0;  // an unsupported pair is never set
  parsed p = parse(kHead +
                       "     1 x(0,1)       B            1.5             0\n"
                       "     2 x(1,1)       B      -0.000001             0\n"
                       "     3 x(2,0)       B            0.5             0\n"  // either order
                       "     4 x(2,2)       B            nan             0\n"
                       "     5 x(3,3)       B            inf             0\n"
                       "     6 x(1,3)\tB\t1e-1\n"
                       "     7 x(2,3)       B           -inf             0\n"
                       "     8 x(0,0)       B            0.5             0\n"
                       "     9 x(9,9)       B            0.5             0\n"  // no such pair
                       "    10 x(3)         B            0.5             0\n"
                       "    11 x(0,3        B            0.5             0\n"
                       "    12 x(a,3)       B            0.5             0\n"
                       "    13 x(-1,3)      B            0.5             0\n"
                       "    14 x(0,3)junk   B            0.5             0\n"
                       "    15 x(4294967296,3) B         0.5             0\n"
                       "    16 x(" +
                       std::string(40, '9') +
                       ",3) B 0.5 0\n"
                       "    17 y(0,3)       B            0.5             0\n"
                       "    18 B            B            0.5             0\n"
                       "    19 e(0)         B              0             0\n",
                   d);
  EXPECT_EQ(p.rc, 0);
  EXPECT_EQ(p.err, "");
  const double want[] = {1.0, 0.0, 0.5, 0.0, 1.0, 0.1, 0.0, kUnset, kUnset};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(d.item[k].prob, want[k]) << "pair " << k;
}

TEST(ReportReader, LongNamesOnALineOfTheirOwn) {
  // Made by the solver from the LP beside it: names of more than twelve
  // characters stand alone, their values on the next line.
  pair_set d = dint_of({{0, 1}, {10000, 10001}, {2, 3}, {10002, 10003}, {10004, 10005}, {4, 5}});
  parsed p = parse(slurp(data_file("report_long_names.out")), d);
  EXPECT_EQ(p.rc, 0);
  EXPECT_EQ(p.err, "");
  const double want[] = {0.5, 0.5, 0.5, 1.0, 1.0, 0.0};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(d.item[k].prob, want[k]) << "pair " << k;

  // A wrapped name right before e(0), and a long e name alone.
  pair_set g = dint_of({{12345, 67890}});
  EXPECT_EQ(
      parse(kHead + "     1 x(12345,67890)\n                    B           0.375             0\n"
                    "     2 e(1234567890)\n                    NL              0             0\n",
            g)
          .rc,
      0);
  EXPECT_EQ(g.item[0].prob, 0.375);
}

TEST(ReportReader, FailuresReturnOneWithTheirMessage) {
  struct failure {
    std::string text;
    std::string err;
    double first;  // value of x(0,1) afterwards
  };
  const std::string lines4 = "a\nb\nc\nd\n";
  const failure cases[] = {
      {"", "parse_glp: report ends before its status line (rep.out)\n", kUnset},
      {lines4, "parse_glp: report ends before its status line (rep.out)\n", kUnset},
      {lines4 + "Status:     UNDEFINED\n" + kHead.substr(kHead.find("Objective")) +
           "1 x(0,1) B 0.5\n2 e(0) B 0\n",
       "parse_glp: Not optimal (rep.out) [Status:     UNDEFINED\n]", kUnset},
      {lines4 + "Status:     INFEASIBLE (FINAL)",
       "parse_glp: Not optimal (rep.out) [Status:     INFEASIBLE (FINAL)]", kUnset},
      {lines4 + "status:     OPTIMAL\n", "parse_glp: Not optimal (rep.out) [status:     OPTIMAL\n]",
       kUnset},
      {lines4 + "Status:     OPTIMAL\n", "parse_glp: no column section (rep.out)\n", kUnset},
      {kHead.substr(0, kHead.rfind("   No. Column")) + "     1 x(0,1) B 0.5\n",
       "parse_glp: no column section (rep.out)\n", kUnset},
      // Truncated inside the columns: what was read stays.
      {kHead, "parse_glp: report ends inside the column section (rep.out)\n", kUnset},
      {kHead + "     1 x(0,1)       B            0.5\n     2 x(1,1)       B",
       "parse_glp: report ends inside the column section (rep.out)\n", 0.5},
      {kHead + "     1 x(0,1)       B            0.",
       "parse_glp: report ends inside the column section (rep.out)\n", 0.0},
      {kHead + "     1 x(0,1)       B            0.5\n     2 x(10000,10001)\n",
       "parse_glp: report ends inside the column section (rep.out)\n", 0.5},
      {kHead + "     1 x(0,1)       B            0.5\n     2 y NL 0\n     3 e(0) NL 0\n",
       "less 1 y\n", 0.5},
      {kHead + "     1 e NL 0\n", "less 1 e\n", kUnset},
  };
  for (const failure& c : cases) {
    pair_set d = dint_of({{0, 1}});
    parsed p = parse(c.text, d);
    EXPECT_EQ(p.rc, 1) << c.text;
    EXPECT_EQ(p.err, c.err) << c.text;
    EXPECT_EQ(d.item[0].prob, c.first) << c.text;
  }
}
