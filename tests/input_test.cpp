#include "input/input.h"

#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

using namespace domlp;
using namespace domlp_test;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

struct console {
  int rc = 0;
  std::string out;
  std::string err;
};

console read_pairs(node_table& t, pair_set& s, const std::string& text,
                   const std::string& name = "obs.txt") {
  FILE* f = mem_in(text);
  CaptureStdout();
  CaptureStderr();
  console c;
  c.rc = readprotint_stream(t, s, f, name);
  c.out = GetCapturedStdout();
  c.err = GetCapturedStderr();
  std::fclose(f);
  return c;
}

console read_domains(node_table& t, const std::string& text) {
  FILE* f = mem_in(text);
  CaptureStdout();
  CaptureStderr();
  console c;
  c.rc = creat_domprot_stream(t, f, "dom.txt");
  c.out = GetCapturedStdout();
  c.err = GetCapturedStderr();
  std::fclose(f);
  return c;
}

std::string name_of(const node_table& t, const pair& p) {
  return t.prot[p.i].name + "|" + t.prot[p.j].name;
}

// A table whose proteins are the given names, in that order.
node_table with_proteins(const std::string& names) {
  node_table t;
  pair_set s;
  read_pairs(t, s, "1\n" + names + "\n");
  return t;
}

}  // namespace

TEST(PairReader, SeparatorsAndExtraTokensReadAlike) {
  node_table t;
  pair_set s;
  console c = read_pairs(t, s, "4\nA\tB\n  C    D\r\nE \t\r F third fourth\r\nG\rH\n");
  EXPECT_EQ(c.rc, 0);
  EXPECT_EQ(c.err, "");
  ASSERT_EQ(s.n, 4);
  EXPECT_EQ(name_of(t, s.item[0]), "A|B");
  EXPECT_EQ(name_of(t, s.item[1]), "C|D");
  EXPECT_EQ(name_of(t, s.item[2]), "E|F");
  EXPECT_EQ(name_of(t, s.item[3]), "G|H");
  EXPECT_EQ(t.nprot, 8);
  EXPECT_EQ(find_prot(t, "third"), -1);
  for (const pair& p : s.item) EXPECT_EQ(p.prob, 1.0);
}

TEST(PairReader, NumbersProteinsByFirstAppearanceAcrossBothFiles) {
  node_table t;
  pair_set obs, test;
  console a = read_pairs(t, obs, "2\nA B\nB C\n");
  console b = read_pairs(t, test, "1\nC D\n", "test.txt");
  EXPECT_EQ(a.out, "Total proteins: 3\nTotal protein pairs: 2\n");
  EXPECT_EQ(b.out, "Total proteins: 4\nTotal protein pairs: 1\n");
  ASSERT_EQ(t.nprot, 4);
  for (int q = 0; q < 4; ++q) EXPECT_EQ(t.prot[q].name, std::string(1, char('A' + q)));
  EXPECT_EQ(test.item[0].i, 2);
  EXPECT_EQ(test.item[0].j, 3);
  // The second name of a line is numbered after the first.
  node_table u;
  pair_set s;
  read_pairs(u, s, "1\nY X\n");
  EXPECT_EQ(find_prot(u, "Y"), 0);
  EXPECT_EQ(find_prot(u, "X"), 1);
}

TEST(PairReader, SelfPairsRepeatsAndExactNames) {
  node_table t;
  pair_set s;
  read_pairs(t, s, "4\nA A\nA B\nB A\na A\n");
  ASSERT_EQ(s.n, 4);
  EXPECT_EQ(s.item[0].i, s.item[0].j);
  EXPECT_EQ(t.nprot, 3);  // 'a' and 'A' differ
  EXPECT_EQ(s.item[1].i, s.item[2].j);
  EXPECT_EQ(s.item[1].j, s.item[2].i);
  // NUL bytes and long names are part of the name.
  node_table u;
  pair_set v;
  std::string x(40, 'P');
  read_pairs(u, v, std::string("2\nN\0a N\0b\n", 10) + x + "1 " + x + "2\n");
  ASSERT_EQ(u.nprot, 4);
  EXPECT_EQ(u.prot[0].name, std::string("N\0a", 3));
  EXPECT_EQ(u.prot[2].name, x + "1");
  EXPECT_EQ(u.prot[3].name, x + "2");
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
  EXPECT_EQ(name_of(u, v.item[2]), "E|F");
}

TEST(PairReader, ShortLinesAreSkippedWithWarningUnlessBlank) {
  node_table t;
  pair_set s;
  console c = read_pairs(t, s, "3\nA B\n\n  \t\r\nlonely\nC D\n");
  EXPECT_EQ(c.rc, 0);
  EXPECT_EQ(c.err, "warning: obs.txt:5: fewer than two protein names, line skipped\n");
  EXPECT_EQ(s.n, 2);
  EXPECT_EQ(find_prot(t, "lonely"), -1);
  EXPECT_EQ(c.out, "Total proteins: 4\nTotal protein pairs: 2\n");
}

TEST(PairReader, LongLinesAreReadWhole) {
  node_table t;
  pair_set s;
  std::string a(6000, 'a'), b(3000000, 'b');  // beyond any line buffer
  read_pairs(t, s, "2\n" + a + " " + b + "\n" + std::string(5500, ' ') + "C D\n");
  ASSERT_EQ(s.n, 2);
  EXPECT_EQ(t.prot[0].name, a);
  EXPECT_EQ(t.prot[1].name, b);
  EXPECT_EQ(name_of(t, s.item[1]), "C|D");
}

TEST(DomainReader, LineRules) {
  node_table t = with_proteins("A B\nC D:1");
  console c = read_domains(t,
                           "9\n"
                           "PF1:A B X\n"
                           "PF2 A B\n"
                           "PF3:X Y\n"
                           ":A B\n"
                           "PF4 : A\n"
                           "::PF5:\tC\r\n"
                           "PF6:A A\n"
                           "PF7:D:1 D\n"
                           "PF1:B\n");
  EXPECT_EQ(c.rc, 0);
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

TEST(DomainReader, CountLineAndEmptyFile) {
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
  ASSERT_GT(line.size(), 5000u);
  read_domains(t, doms);
  ASSERT_EQ(t.ndom, 61);
  EXPECT_EQ(t.dom[0].n, 1500);
  EXPECT_EQ(t.dom[0].member_names.back(), "P1499_with_a_rather_long_name");
  EXPECT_EQ(t.prot[find_prot(t, "P1499_with_a_rather_long_name")].member, (std::vector<int>{0}));
  const node& q = t.prot[find_prot(t, "Q")];
  ASSERT_EQ(q.n, 60);
  for (int d = 0; d < 60; ++d) EXPECT_EQ(q.member[d], d + 1);
}

TEST(ReadData, ConsoleLinesOfAWholeRead) {
  temp_dir d;
  d.write("obs", "2\nA B\nB C\n");
  d.write("dom", "2\nD1:A\nD2:A B\n");
  d.write("test", "1 trailing words\nC D\n");
  node_table t;
  pair_set obs, test, dint;
  CaptureStdout();
  int rc = readdata(t, obs, test, dint, d.file("obs"), d.file("dom"), d.file("test"));
  EXPECT_EQ(GetCapturedStdout(),
            "Total proteins: 3\nTotal protein pairs: 2\n"
            "Total proteins: 4\nTotal protein pairs: 1\n"
            "domain number: 2\n");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(t.nprot, 4);
  EXPECT_EQ(t.prot[0].member, (std::vector<int>{0, 1}));
}

TEST(ReadData, BadCountLinesStopBeforeAnythingIsRead) {
  temp_dir d;
  d.write("obs", "2\nA B\nB C\n");
  d.write("dom", "1\nD1:A\n");
  const std::string msg =
      "': the first line must begin with the number of lines that follow (a non-negative "
      "integer)\n";
  for (std::string bad : {"", "x\nA B\n", "-1\nA B\n", "99999999999\n", "\nA B\n"}) {
    d.write("test", bad);
    node_table t;
    pair_set obs, test, dint;
    CaptureStdout();
    CaptureStderr();
    int rc = readdata(t, obs, test, dint, d.file("obs"), d.file("dom"), d.file("test"));
    EXPECT_EQ(GetCapturedStdout(), "") << bad;
    EXPECT_EQ(GetCapturedStderr(), "'" + d.file("test") + msg) << bad;
    EXPECT_EQ(rc, 1);
  }
  for (std::string good : {"0", " 7 lines", "+3\n"}) {
    FILE* f = mem_in(good);
    int n = -1;
    EXPECT_EQ(read_count(f, "f", n), 0) << good;
    EXPECT_EQ(n, std::atoi(good.c_str())) << good;
    std::fclose(f);
  }
}

TEST(ReadData, UnreadableFilesAreNamed) {
  temp_dir d;
  d.write("obs", "1\nA B\n");
  d.write("test", "1\nA B\n");
  node_table t;
  pair_set obs, test, dint;
  CaptureStdout();
  CaptureStderr();
  int rc = readdata(t, obs, test, dint, d.file("obs"), d.file("nothere"), d.file("test"));
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(GetCapturedStderr(),
            "cannot open '" + d.file("nothere") + "': No such file or directory\n");
  EXPECT_EQ(rc, 1);
  CaptureStdout();
  CaptureStderr();
  rc = readdata(t, obs, test, dint, d.file("obs"), d.path(), d.file("test"));
  GetCapturedStdout();
  EXPECT_EQ(GetCapturedStderr(), "error reading '" + d.path() + "': Is a directory\n");
  EXPECT_EQ(rc, 1);
}
