#include <gtest/gtest.h>

#include "test_util.h"

using namespace domlp_test;

TEST(Run, SpecExampleEndToEnd) {
  temp_dir d;
  d.write("obs.txt", "2\nA B\nB C\n");
  d.write("dom.txt", "2\nD0:A\nD1:A B\n");
  d.write("test.txt", "2\nA B\nC A\n");
  run_result r = run_domlp({"obs.txt", "dom.txt", "test.txt", "0.1"}, {d.path(), "", false, -1});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(d.read("obs.txt.0.100000.lp"),
            "\nMinimize\nobj: + x(0,1) + x(1,1)\n\nSubject To\n"
            "r(2): + x(0,1) + x(1,1) +e(0) >= 1.000\nr(3): +e(0) +e(1)<=0\nEnd\n");
}
