// Scoring of test pairs from domain-pair values, and the predicted pairs
// text.
#include "score/score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "test_util.h"

using namespace domlp;
using namespace domlp_test;

namespace {

struct scene {
  node_table t;
  pair_set dint;
};

// Proteins P0, P1, ... carrying the given domain lists, and the domain pairs
// (a, b, value), numbered in that order.
scene make(const std::vector<std::vector<int>>& doms,
           const std::vector<std::tuple<int, int, double>>& values) {
  scene s;
  for (size_t q = 0; q < doms.size(); ++q) {
    add_prot(s.t, "P" + std::to_string(q));
    s.t.prot[q].member = doms[q];
    s.t.prot[q].n = static_cast<int>(doms[q].size());
  }
  s.t.nprot = static_cast<int>(doms.size());
  for (const auto& [a, b, v] : values) {
    s.dint.index.set(a, b, static_cast<int>(s.dint.item.size()));
    s.dint.item.push_back(pair{std::min(a, b), std::max(a, b), v, 1});
  }
  s.dint.n = s.dint.nobs = static_cast<int>(s.dint.item.size());
  return s;
}

double score(const scene& s, int a, int b) {
  return score_pair(s.t, s.dint, a, b);
}

std::string pint_text(const node_table& t, const pair_set& test) {
  mem_out m;
  EXPECT_EQ(write_pint(m.stream(), t, test), 0);
  return m.text();
}

}  // namespace

TEST(Score, EveryCombinationCountsAndTheSumIsCapped) {
  // P0{0}, P1{1}, P2{0,1}, P3{0,1}, P4{0,0}, P5{1,1}, P6{2}; only (0,1) formed.
  scene s = make({{0}, {1}, {0, 1}, {0, 1}, {0, 0}, {1, 1}, {2}}, {{0, 1, 0.6}});
  EXPECT_EQ(score(s, 0, 1), 0.6);
  EXPECT_EQ(score(s, 1, 0), 0.6);
  EXPECT_EQ(score(s, 2, 3), 1.0);  // (0,1) and (1,0): 1.2, capped
  EXPECT_EQ(score(s, 4, 1), 1.0);  // a repeated domain counts twice
  EXPECT_EQ(score(s, 0, 6), 0.0);  // (0,2) was never formed
  s.dint.item[0].prob = 0.4;
  EXPECT_EQ(score(s, 0, 5), 0.4 + 0.4);
  EXPECT_EQ(score(s, 5, 4), 1.0);  // four times 0.4
  EXPECT_EQ(score(s, 2, 0), 0.4);  // (0,0) adds nothing, (1,0) 0.4
  s.dint.item[0].obs = 0;          // an unsupported pair adds nothing
  EXPECT_EQ(score(s, 2, 3), 0.0);
}

TEST(Score, SummedOneValueAtATimeInListOrder) {
  // 0.1 + 0.2 + 0.7 is exactly 1, 0.7 + 0.2 + 0.1 falls short of it.
  scene up = make({{0}, {1, 2, 3}}, {{0, 1, 0.1}, {0, 2, 0.2}, {0, 3, 0.7}});
  EXPECT_EQ(score(up, 0, 1), 1.0);
  scene down = make({{0}, {1, 2, 3}}, {{0, 1, 0.7}, {0, 2, 0.2}, {0, 3, 0.1}});
  EXPECT_EQ(score(down, 0, 1), 0.9999999999999999);
  EXPECT_LT(score(down, 0, 1), 1.0);
  // The first protein's domains are the outer loop: P0{1,2} with P1{0,3}
  // adds (1,0) 0.7, (1,3) 0.2, (2,0) 0.1; P1 with P0 adds 0.7, 0.1, 0.2.
  scene grid = make({{1, 2}, {0, 3}}, {{0, 1, 0.7}, {1, 3, 0.2}, {0, 2, 0.1}});
  EXPECT_EQ(score(grid, 0, 1), 0.9999999999999999);
  EXPECT_EQ(score(grid, 1, 0), 1.0);
}

TEST(Score, ScoredTestPairsAndThePredictedPairsText) {
  // P0{0}, P1{1}, P2{0,1}, P3{0,1}, P4 and P5 without domains, P6{2}.
  scene s = make({{0}, {1}, {0, 1}, {0, 1}, {}, {}, {2}}, {{0, 1, 0.6}});
  pair_set test;
  test.item = {pair{0, 1, 1.0, 0}, pair{2, 3, 1.0, 0}, pair{4, 1, 1.0, 0},
               pair{5, 4, 1.0, 0}, pair{0, 6, 1.0, 0}, pair{6, 5, 1.0, 0}};
  test.n = static_cast<int>(test.item.size());
  calc_prob_test(s.t, s.dint, test);
  const double want[] = {0.6, 1.0, 1.0, 1.0, 0.0, 1.0};
  for (int k = 0; k < test.n; ++k) EXPECT_EQ(test.item[k].prob, want[k]) << k;
  EXPECT_EQ(pint_text(s.t, test), "P2\tP3\nP4\tP1\nP5\tP4\nP6\tP5\n");

  // A pair with a domain-less protein keeps whatever it holds.
  test.item[2].prob = 0.5;
  calc_prob_test(s.t, s.dint, test);
  EXPECT_EQ(test.item[2].prob, 0.5);

  // Only a score of at least 1 is written; names are written as they are.
  s.t.prot[0].name = "Prot A";
  s.t.prot[1].name = "Ünïcödé-β";
  s.t.prot[2].name = std::string("N\0ul", 4);
  s.t.prot[3].name = "";
  pair_set w;
  w.item = {pair{0, 1, 1.0, 0}, pair{1, 0, 0.9999999999999999, 0}, pair{2, 3, 1.0, 0},
            pair{3, 3, NAN, 0}, pair{1, 1, 1.0, 0}};
  EXPECT_EQ(pint_text(s.t, w),
            "Prot A\tÜnïcödé-β\n" + std::string("N\0ul", 4) + "\t\nÜnïcödé-β\tÜnïcödé-β\n");
  EXPECT_EQ(pint_text(s.t, pair_set{}), "");

  // A predicted pairs file that cannot be created is named; so is a failed
  // write, however small the text.
  temp_dir d;
  EXPECT_EQ(capture([&] { EXPECT_EQ(out_pint(s.t, w, d.file("no/t.pint")), 1); }).err,
            "cannot write '" + d.file("no/t.pint") + "': No such file or directory\n");
  FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(write_pint(full, s.t, w), ENOSPC);
  std::fclose(full);
}
