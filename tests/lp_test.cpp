// The domain-pair builder and the linear program text: numbering, look-ups,
// wraps, covering rows and the budget row.
#include "lp/lp.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <string>

#include "input/input.h"
#include "test_util.h"

using namespace domlp;
using namespace domlp_test;

namespace {

struct instance {
  node_table t;
  pair_set obs;
  pair_set dint;
  std::string printed;  // what construct_dint printed
};

// Reads the observed pairs and the domain table through the readers and
// builds the domain pairs.
instance build(const std::string& obs, const std::string& dom) {
  instance c;
  FILE* o = mem_in(obs);
  FILE* d = mem_in(dom);
  capture([&] {
    readprotint_stream(c.t, c.obs, o, "obs.txt");
    creat_domprot_stream(c.t, d, "dom.txt");
  });
  std::fclose(o);
  std::fclose(d);
  c.printed = capture([&] { construct_dint(c.t, c.obs, c.dint); }).out;
  return c;
}

std::string lp_text(const instance& c, float frac) {
  mem_out m;
  EXPECT_EQ(write_lp(m.stream(), c.t, c.obs, c.dint, frac), 0);
  return m.text();
}

std::string pairs_of(const pair_set& s) {
  std::string r;
  for (const pair& p : s.item) r += "(" + std::to_string(p.i) + "," + std::to_string(p.j) + ")";
  return r;
}

// " + x(k,b)" for k in [from, to).
std::string xs(int from, int to, int b) {
  std::string r;
  for (int k = from; k < to; ++k) r += " + x(" + std::to_string(k) + "," + std::to_string(b) + ")";
  return r;
}

// " +e(k)" for k in [from, to).
std::string es(int from, int to) {
  std::string r;
  for (int k = from; k < to; ++k) r += " +e(" + std::to_string(k) + ")";
  return r;
}

// "n\n" and n copies of `line`.
std::string lines(int n, const std::string& line) {
  std::string r = std::to_string(n) + "\n";
  for (int k = 0; k < n; ++k) r += line;
  return r;
}

}  // namespace

TEST(DomainPairs, NumberedInOrderOfFirstFormation) {
  // P{2}, Q{0}, R{1,3}, S{0,2}; R-S forms four pairs, S-R none new, S-S two.
  instance c = build("5\nP Q\nR S\nS R\nS S\nP T\n", "4\nd0:Q S\nd1:R\nd2:P S\nd3:R\n");
  EXPECT_EQ(pairs_of(c.dint), "(0,2)(0,1)(1,2)(0,3)(2,3)(0,0)(2,2)");
  EXPECT_EQ(c.printed, "7\n");
  EXPECT_EQ(c.dint.n, 7);
  EXPECT_EQ(c.dint.nobs, 7);
  EXPECT_EQ(c.dint.index.size(), 7u);  // only the pairs that exist are stored
  for (int k = 0; k < c.dint.n; ++k) {
    const pair& p = c.dint.item[k];
    EXPECT_EQ(c.dint.index.get(p.i, p.j), k);
    EXPECT_EQ(c.dint.index.get(p.j, p.i), k);
    EXPECT_EQ(p.obs, 1);
    EXPECT_EQ(p.prob, 0.0);
  }
  EXPECT_EQ(c.dint.index.get(1, 1), -1);
  EXPECT_EQ(c.dint.index.get(1, 3), -1);
  // Observed index: symmetric, the later of R-S and S-R wins, and a pair
  // with a domain-less protein (T) is indexed and flagged all the same.
  auto at = [&c](const char* a, const char* b) {
    return c.obs.index.get(find_prot(c.t, a), find_prot(c.t, b));
  };
  EXPECT_EQ(at("P", "Q"), 0);
  EXPECT_EQ(at("Q", "P"), 0);
  EXPECT_EQ(at("R", "S"), 2);
  EXPECT_EQ(at("S", "R"), 2);
  EXPECT_EQ(at("S", "S"), 3);
  EXPECT_EQ(at("T", "P"), 4);
  EXPECT_EQ(at("P", "R"), -1);
  for (const pair& o : c.obs.item) EXPECT_EQ(o.obs, 1);
}

TEST(DomainPairs, RepeatsEmptyTablesAndLargeIndices) {
  // A domain listed twice for a protein numbers nothing new.
  instance c = build("2\nA B\nB C\n", "2\nD1:A A\nD2:A B B\n");
  EXPECT_EQ(pairs_of(c.dint), "(0,1)(1,1)");
  EXPECT_EQ(c.printed, "2\n");

  instance none = build("2\nA B\nB C\n", "1\nD1:X\n");
  EXPECT_EQ(none.dint.n, 0);
  EXPECT_EQ(none.printed, "0\n");

  // Node indices far beyond what a square table could hold.
  node_table t;
  t.prot.resize(100000);
  t.prot[0].member = {7, 3000000};
  t.prot[99999].member = {2999999};
  for (node& n : t.prot) n.n = static_cast<int>(n.member.size());
  pair_set obs, dint;
  obs.item = {pair{99999, 0, 1.0, 0}};
  EXPECT_EQ(capture([&] { construct_dint(t, obs, dint); }).out, "2\n");
  EXPECT_EQ(pairs_of(dint), "(7,2999999)(2999999,3000000)");
  EXPECT_EQ(dint.index.get(3000000, 2999999), 1);
  EXPECT_EQ(obs.index.get(0, 99999), 0);
}

TEST(LpText, ExampleOfTheFormat) {
  // A-B (A in {0, 1}, B in {1}) and B-C (C without domains), fraction 0.1.
  instance c = build("2\nA B\nB C\n", "2\nD1:A\nD2:A B\n");
  const std::string want =
      "\nMinimize\nobj: + x(0,1) + x(1,1)\n\nSubject To\n"
      "r(2): + x(0,1) + x(1,1) +e(0) >= 1.000\n"
      "r(3): +e(0) +e(1)<=0\nEnd\n";
  EXPECT_EQ(lp_text(c, 0.1f), want);
  // A failed write is reported, however small the text.
  FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(write_lp(full, c.t, c.obs, c.dint, 0.1f), ENOSPC);
  std::fclose(full);

  // No observed pair at all: no covering row, the budget row alone.
  EXPECT_EQ(lp_text(build("0\n", "0\n"), 0.5f), "\nMinimize\nobj:\n\nSubject To\nr(2):<=0\nEnd\n");
}

TEST(LpText, TermsWrapAfterEveryEighth) {
  // A carries domains 0..n-1, B domain n: n domain pairs x(k,n), all in
  // the objective and in A-B's row.
  auto star = [](int n) {
    std::string dom = std::to_string(n + 1) + "\n";
    for (int k = 0; k < n; ++k) dom += "d" + std::to_string(k) + ":A\n";
    return build("1\nA B\n", dom + "b:B\n");
  };
  EXPECT_EQ(lp_text(star(8), 0.0f), "\nMinimize\nobj:" + xs(0, 8, 8) + "\n\n\nSubject To\nr(2):" +
                                        xs(0, 8, 8) + "\n +e(0) >= 1.000\nr(3): +e(0)<=0\nEnd\n");
  EXPECT_EQ(lp_text(star(9), 0.0f), "\nMinimize\nobj:" + xs(0, 8, 9) + "\n" + xs(8, 9, 9) +
                                        "\n\nSubject To\nr(2):" + xs(0, 8, 9) + "\n" + xs(8, 9, 9) +
                                        " +e(0) >= 1.000\nr(3): +e(0)<=0\nEnd\n");
  // A row of more than a hundred distinct domain pairs is written whole.
  std::string terms;
  for (int k = 0; k < 130; ++k) terms += xs(k, k + 1, 130) + (k % 8 == 7 ? "\n" : "");
  EXPECT_EQ(lp_text(star(130), 1.0f), "\nMinimize\nobj:" + terms + "\n\nSubject To\nr(2):" + terms +
                                          " +e(0) >= 1.000\nr(3): +e(0)<=1\nEnd\n");

  // The budget row wraps too: eight or nine pairs, none with domains.
  EXPECT_EQ(lp_text(build(lines(8, "A B\n"), "0\n"), 0.5f),
            "\nMinimize\nobj:\n\nSubject To\nr(2):" + es(0, 8) + "\n<=0\nEnd\n");
  EXPECT_EQ(lp_text(build(lines(9, "A B\n"), "0\n"), 0.5f),
            "\nMinimize\nobj:\n\nSubject To\nr(2):" + es(0, 8) + "\n +e(8)<=0\nEnd\n");
}

TEST(LpText, EachDomainPairOncePerRow) {
  // A{0,1}, B{1,2}: B-A reaches the same pairs in B's order, smaller index
  // first in each name.
  instance c = build("2\nA B\nB A\n", "3\nd0:A\nd1:A B\nd2:B\n");
  EXPECT_EQ(lp_text(c, 0.5f),
            "\nMinimize\nobj: + x(0,1) + x(0,2) + x(1,1) + x(1,2)\n\nSubject To\n"
            "r(2): + x(0,1) + x(0,2) + x(1,1) + x(1,2) +e(0) >= 1.000\n"
            "r(3): + x(0,1) + x(1,1) + x(0,2) + x(1,2) +e(1) >= 1.000\n"
            "r(4): +e(0) +e(1)<=1\nEnd\n");
  // Both in {0, 1}: (1,0) is (0,1) again. Repeated domains change nothing,
  // and a self pair of such a protein gives the same row.
  const std::string want =
      "\nMinimize\nobj: + x(0,0) + x(0,1) + x(1,1)\n\nSubject To\n"
      "r(2): + x(0,0) + x(0,1) + x(1,1) +e(0) >= 1.000\n"
      "r(3): +e(0)<=0\nEnd\n";
  EXPECT_EQ(lp_text(build("1\nA B\n", "2\nd0:A B\nd1:A B\n"), 0.5f), want);
  EXPECT_EQ(lp_text(build("1\nA B\n", "2\nd0:A A B\nd1:A B B\n"), 0.5f), want);
  EXPECT_EQ(lp_text(build("1\nA A\n", "2\nd0:A\nd1:A\n"), 0.5f), want);  // a self pair
}

TEST(LpText, RowsOnlyForPairsWithDomainsOnBothSides) {
  // C has no domain: A-C and C-B get no row, their slacks still stand in the
  // budget row, and the bound counts the three rows written (3 x 0.5 = 1.5),
  // not the five observed pairs.
  instance c = build("5\nA C\nA B\nC B\nA B\nB A\n", "2\nd0:A\nd1:B\n");
  EXPECT_EQ(lp_text(c, 0.5f),
            "\nMinimize\nobj: + x(0,1)\n\nSubject To\n"
            "r(2): + x(0,1) +e(1) >= 1.000\n"
            "r(3): + x(0,1) +e(3) >= 1.000\n"
            "r(4): + x(0,1) +e(4) >= 1.000\n"
            "r(5): +e(0) +e(1) +e(2) +e(3) +e(4)<=1\nEnd\n");
  // Ten rows at 0.7 give 6; eleven observed pairs would give 7.
  std::string text = lp_text(build(lines(10, "A B\n") + "A C\n", "2\nd0:A\nd1:B\n"), 0.7f);
  EXPECT_NE(text.find("r(11): + x(0,1) +e(9) >= 1.000\nr(12):" + es(0, 8) + "\n" + es(8, 11) +
                      "<=6\nEnd\n"),
            std::string::npos)
      << text;
}

TEST(LpBound, ProductTruncatedAndClamped) {
  EXPECT_EQ(lp_bound(25, 0.1f), 2);
  EXPECT_EQ(lp_bound(9, 0.1f), 0);
  EXPECT_EQ(lp_bound(10, 0.7f), 6);  // 0.699999988... in single precision
  EXPECT_EQ(lp_bound(0, 0.7f), 0);
  EXPECT_EQ(lp_bound(3, 1.0f), 3);
  EXPECT_EQ(lp_bound(3, 2.5f), 7);
  EXPECT_EQ(lp_bound(3, -0.5f), -1);  // toward zero
  EXPECT_EQ(lp_bound(INT_MAX, 1.0f), INT_MAX);
  EXPECT_EQ(lp_bound(INT_MAX, 2.0f), INT_MAX);
  EXPECT_EQ(lp_bound(1000, 1e30f), INT_MAX);
  EXPECT_EQ(lp_bound(1000, INFINITY), INT_MAX);
  EXPECT_EQ(lp_bound(INT_MAX, -2.0f), INT_MIN);
  EXPECT_EQ(lp_bound(10, NAN), 0);
  EXPECT_EQ(lp_bound(0, INFINITY), 0);
}
