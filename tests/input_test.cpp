// The pair and domain file readers: separators, numbering, repeats, the count
// line and the lines they skip.
#include "input/input.h"

#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

using namespace domlp;
using namespace domlp_test;

namespace {

captured read_pairs(node_table& t, pair_set& s, const std::string& text,
                    const std::string& name = "obs.txt") {
  FILE* f = mem_in(text);
  captured c = capture([&] { EXPECT_EQ(readprotint_stream(t, s, f, name), 0); });
  std::fclose(f);
  return c;
}

captured read_domains(node_table& t, const std::string& text) {
  FILE* f = mem_in(text);
  captured c = capture([&] { EXPECT_EQ(creat_domprot_stream(t, f, "dom.txt"), 0); });
  std::fclose(f);
  return c;
}

// The names of the pairs of `s`, "A|B C|D".
std::string names_of(const node_table& t, const pair_set& s) {
  std::string r;
  for (const pair& p : s.item)
    r += (r.empty() ? "" : " ") + t.prot[p.i].name + "|" + t.prot[p.j].name;
  return r;
}

// A table whose proteins are the given names, in that order.
node_table with_proteins(const std::string& names) {
  node_table t;
  pair_set s;
  read_pairs(t, s, "1\n" + names + "\n");
  return t;
}

}  // namespace

TEST(PairReader, SeparatorsExtraTokensAndExactNames) {
  node_table t;
  pair_set s;
  captured c = read_pairs(t, s, "6\nA\tB\n  C    D\r\nE \t\r F third fourth\r\nG\rH\nA A\na A\n");
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(names_of(t, s), "A|B C|D E|F G|H A|A a|A");
  EXPECT_EQ(t.nprot, 9);  // 'a' and 'A' differ
  EXPECT_EQ(find_prot(t, "third"), -1);
  for (const pair& p : s.item) EXPECT_EQ(p.prob, 1.0);
}

TEST(PairReader, NumbersProteinsByFirstAppearanceAcrossBothFiles) {
  node_table t;
  pair_set obs, test;
  EXPECT_EQ(read_pairs(t, obs, "3\nB A\nA C\nC B\n").out,
            "Total proteins: 3\nTotal protein pairs: 3\n");
  EXPECT_EQ(read_pairs(t, test, "1\nC D\n", "test.txt").out,
            "Total proteins: 4\nTotal protein pairs: 1\n");
  ASSERT_EQ(t.nprot, 4);
  // The second name of a line is numbered after the first.
  for (int q = 0; q < 4; ++q) EXPECT_EQ(t.prot[q].name, std::string(1, "BACD"[q]));
  EXPECT_EQ(test.item[0].i, 2);
  EXPECT_EQ(test.item[0].j, 3);
}

TEST(PairReader, DeclaredCountIsOnlyAHint) {
  node_table t;
  pair_set s;
  s.n = 3;
  EXPECT_EQ(read_pairs(t, s, "3\nA B\nC D\n").out, "Total proteins: 4\nTotal protein pairs: 2\n");
  EXPECT_EQ(s.n, 2);
  node_table u;
  pair_set v;
  v.n = 1;
  read_pairs(u, v, "1\nA B\nC D\nE F");  // last line without a line break
  EXPECT_EQ(v.n, 3);
  EXPECT_EQ(names_of(u, v), "A|B C|D E|F");
}

TEST(PairReader, ShortLinesAreSkippedWithWarningUnlessBlank) {
  node_table t;
  pair_set s;
  captured c = read_pairs(t, s, "3\nA B\n\n  \t\r\nlonely\nC D\n");
  EXPECT_EQ(c.err, "warning: obs.txt:5: fewer than two protein names, line skipped\n");
  EXPECT_EQ(names_of(t, s), "A|B C|D");
  EXPECT_EQ(find_prot(t, "lonely"), -1);
  EXPECT_EQ(c.out, "Total proteins: 4\nTotal protein pairs: 2\n");
}

TEST(CountLine, LeadingNumberOnly) {
  for (std::string good : {"0", " 7 lines", "+3\n"}) {
    FILE* f = mem_in(good);
    int n = -1;
    EXPECT_EQ(read_count(f, "f", n), 0) << good;
    EXPECT_EQ(n, std::atoi(good.c_str())) << good;
    std::fclose(f);
  }
  // A blank first line is not a count line either.
  for (std::string bad : {"", "\nA B\n", "x\n", "-1\n", "99999999999\n"}) {
    FILE* f = mem_in(bad);
    int n = -1;
    captured c = capture([&] { EXPECT_EQ(read_count(f, "f", n), 1) << bad; });
    EXPECT_EQ(c.err,
              "'f': the first line must begin with the number of lines that follow (a "
              "non-negative integer)\n")
        << bad;
    std::fclose(f);
  }
}

TEST(DomainReader, LineRules) {
  node_table t = with_proteins("A B\nC D:1");
  captured c = read_domains(t,
                            "9\nPF1:A B X\nPF2 A B\nPF3:X Y\n:A B\nPF4 : A\n::PF5:\tC\r\n"
                            "PF6:A A\nPF7:D:1 D\nPF1:B\n");
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(c.out, "domain number: 6\n");
  ASSERT_EQ(t.ndom, 6);
  const char* names[] = {"PF1", "PF4 ", "PF5", "PF6", "PF7", "PF1"};
  for (int d = 0; d < 6; ++d) EXPECT_EQ(t.dom[d].name, names[d]) << d;
  EXPECT_EQ(t.dom[0].member_names, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(t.dom[3].n, 2);
  EXPECT_EQ(t.dom[4].member_names, (std::vector<std::string>{"D:1"}));
  // Proteins list their domains in increasing order; a repeat links twice.
  EXPECT_EQ(t.prot[find_prot(t, "A")].member, (std::vector<int>{0, 1, 3, 3}));
  EXPECT_EQ(t.prot[find_prot(t, "A")].n, 4);
  EXPECT_EQ(t.prot[find_prot(t, "B")].member, (std::vector<int>{0, 5}));
  EXPECT_EQ(t.prot[find_prot(t, "C")].member, (std::vector<int>{2}));
  EXPECT_EQ(t.prot[find_prot(t, "D:1")].member, (std::vector<int>{4}));
  EXPECT_EQ(find_prot(t, "D"), -1);  // a colon inside a protein token does not split it
  EXPECT_EQ(t.dom[0].member, (std::vector<int>{find_prot(t, "A"), find_prot(t, "B")}));
}

TEST(DomainReader, DeclaredCountIsOnlyAHint) {
  node_table t = with_proteins("A B");
  EXPECT_EQ(read_domains(t, "0\n").out, "domain number: 0\n");
  EXPECT_EQ(t.ndom, 0);
  EXPECT_EQ(t.prot[0].n, 0);
  node_table u = with_proteins("A B");
  u.ndom = 5;
  EXPECT_EQ(read_domains(u, "5\nD1:A\nD2:A B\n").out, "domain number: 2\n");
  EXPECT_EQ(u.ndom, 2);
}

TEST(DomainReader, NoFixedCapacities) {
  std::string pairs;
  std::string line = "BIG:";
  for (int q = 0; q < 1500; ++q) {
    pairs += "P" + std::to_string(q) + "_with_a_rather_long_name Q\n";
    line += " P" + std::to_string(q) + "_with_a_rather_long_name";
  }
  node_table t = with_proteins(pairs);
  std::string doms = "1\n" + line + "\n";
  for (int d = 0; d < 60; ++d) doms += "S" + std::to_string(d) + ":Q\n";
  read_domains(t, doms);
  ASSERT_EQ(t.ndom, 61);
  EXPECT_EQ(t.dom[0].n, 1500);
  EXPECT_EQ(t.dom[0].member_names.back(), "P1499_with_a_rather_long_name");
  EXPECT_EQ(t.prot[find_prot(t, "P1499_with_a_rather_long_name")].member, (std::vector<int>{0}));
  const node& q = t.prot[find_prot(t, "Q")];
  ASSERT_EQ(q.n, 60);
  for (int d = 0; d < 60; ++d) EXPECT_EQ(q.member[d], d + 1);
}
