// The tables every step shares: the pair index, the protein name index, the
// "%f" rendering and the output files that appear only when complete.
#include "model/model.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "test_util.h"

using namespace domlp;
using namespace domlp_test;
using namespace std::string_literals;

TEST(PairIndex, SymmetricGetSetInsert) {
  pair_index x;
  EXPECT_EQ(x.get(0, 0), -1);
  EXPECT_EQ(x.insert(1, 2, 5), -1);
  EXPECT_EQ(x.insert(2, 1, 7), 5);  // the same unordered pair
  EXPECT_EQ(x.get(1, 2), 5);
  EXPECT_EQ(x.get(2, 1), 5);
  x.set(2, 1, 9);  // a later position overwrites
  EXPECT_EQ(x.get(1, 2), 9);
  EXPECT_EQ(x.size(), 1u);
  x.set(3, 3, 0);
  EXPECT_EQ(x.get(3, 3), 0);
  EXPECT_EQ(x.get(1, 3), -1);
  EXPECT_EQ(x.get(0, 1), -1);
  // Keys differing only in one half, and the largest indices.
  x.set(0, INT_MAX, 1);
  x.set(INT_MAX, INT_MAX, 2);
  x.set(INT_MAX - 1, INT_MAX, 3);
  EXPECT_EQ(x.get(INT_MAX, 0), 1);
  EXPECT_EQ(x.get(INT_MAX, INT_MAX), 2);
  EXPECT_EQ(x.get(INT_MAX, INT_MAX - 1), 3);
  EXPECT_EQ(x.get(0, INT_MAX - 1), -1);
  EXPECT_EQ(x.size(), 5u);
}

TEST(PairIndex, GrowsPastManyEntries) {
  pair_index x;
  const int n = 200000;
  auto b_of = [](int k) { return static_cast<int>((k * 7919LL) % 1000003); };
  for (int k = 0; k < n; ++k) {
    if (k % 2)
      x.set(b_of(k), k, k);
    else
      ASSERT_EQ(x.insert(k, b_of(k), k), -1) << k;
  }
  x.reserve(3 * n);  // growing again keeps every entry
  EXPECT_EQ(x.size(), static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    ASSERT_EQ(x.get(k, b_of(k)), k) << k;
    ASSERT_EQ(x.get(b_of(k), k), k) << k;
    ASSERT_EQ(x.get(k, b_of(k) + 1000003), -1) << k;
  }
  x.reserve(10);  // never shrinks
  EXPECT_EQ(x.get(n - 1, b_of(n - 1)), n - 1);
}

TEST(NameIndex, NamesOfEveryLengthAroundTheInlineHead) {
  // Lengths 0 to 9, names sharing their first seven bytes, names differing
  // only in length or in a NUL byte.
  const std::vector<std::string> names = {
      ""s,          "A"s,         "AB"s,          "AB\0"s,       "AB\0\0"s,
      "\0"s,        "ABCDEF"s,    "ABCDEFG"s,     "ABCDEFGH"s,   "ABCDEFGI"s,
      "ABCDEFGHI"s, "ABCDEFG\0"s, "ABCDEFG\0\0"s, "ABCDEFG\0H"s, "ABCDEFGX"s,
      "abcdefg"s,   "ABCDEFGHJ"s};
  node_table t;
  for (const std::string& n : names) EXPECT_EQ(find_prot(t, n), -1);
  for (size_t k = 0; k < names.size(); ++k) EXPECT_EQ(add_prot(t, names[k]), static_cast<int>(k));
  for (size_t k = 0; k < names.size(); ++k) {
    EXPECT_EQ(find_prot(t, names[k]), static_cast<int>(k)) << k;
    EXPECT_EQ(add_prot(t, names[k]), static_cast<int>(k)) << k;  // the first one wins
    EXPECT_EQ(t.prot[k].name, names[k]);
  }
  EXPECT_EQ(t.prot.size(), names.size());
  for (const char* absent : {"B", "ABC", "ABCDEFGHIJ", "ABCDEFGJ", "abcdefgh", "ABCDEFGHK"})
    EXPECT_EQ(find_prot(t, absent), -1) << absent;
  EXPECT_EQ(find_prot(t, "A\0"s), -1);
  EXPECT_EQ(find_prot(t, "ABCDEFG\0\0\0"s), -1);
}

TEST(NameIndex, ManyNamesSharingTheirHead) {
  // Long names told apart only by their tail and their length.
  node_table t;
  const int n = 300000;
  auto name = [](int k) { return "YAL001C" + std::to_string(k * 7); };
  for (int k = 0; k < n; ++k) ASSERT_EQ(add_prot(t, name(k)), k);
  EXPECT_EQ(t.prot_by_name.size(), static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) ASSERT_EQ(find_prot(t, name(k)), k) << name(k);
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(find_prot(t, name(k) + "1"), -1) << name(k);
}

TEST(FormatF, RendersLikePrintf) {
  EXPECT_EQ(format_f(0.1), "0.100000");
  EXPECT_EQ(format_f(static_cast<double>(0.7f)), "0.700000");
  EXPECT_EQ(format_f(static_cast<double>(2.0000005f)), "2.000000");
  EXPECT_EQ(format_f(0.0000005), "0.000000");  // just below one half in binary
  EXPECT_EQ(format_f(0.0000015), "0.000002");
  EXPECT_EQ(format_f(-0.0), "-0.000000");
  EXPECT_EQ(format_f(-3.25), "-3.250000");
  EXPECT_EQ(format_f(INFINITY), "inf");
  EXPECT_EQ(format_f(-INFINITY), "-inf");
  EXPECT_EQ(format_f(NAN), "nan");
  std::string big = format_f(1e300);  // longer than any fixed buffer
  EXPECT_EQ(big.size(), 308u);
  EXPECT_EQ(big.substr(0, 20), "10000000000000000525");
  EXPECT_EQ(big.substr(301), ".000000");
}

// The file appears under its final name only when committed; a file that is
// discarded, dropped or fails to close leaves an earlier one as it was.
TEST(AtomicFile, AppearsOnlyWhenCommitted) {
  temp_dir d;
  {
    atomic_file f;
    ASSERT_TRUE(f.open(d.file("out")));
    std::fputs("first\n", f.stream());
    EXPECT_FALSE(d.exists("out"));
    EXPECT_EQ(d.list().size(), 1u);  // the temporary beside it
    ASSERT_TRUE(f.commit());
  }
  EXPECT_EQ(d.list(), (std::vector<std::string>{"out"}));
  EXPECT_EQ(d.read("out"), "first\n");
  {
    atomic_file f;
    ASSERT_TRUE(f.open(d.file("out")));
    std::fputs("dropped\n", f.stream());
    f.discard();
    EXPECT_FALSE(f.commit());
    EXPECT_EQ(errno, EBADF);
  }
  {
    atomic_file f;  // neither committed nor discarded
    ASSERT_TRUE(f.open(d.file("other")));
    std::fputs("dropped\n", f.stream());
  }
  // The close fails: the buffered text goes beyond the file size limit.
  {
    atomic_file f;
    ASSERT_TRUE(f.open(d.file("out")));
    std::fputs("a text longer than the limit\n", f.stream());
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit low = saved;
    low.rlim_cur = 8;
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    bool ok = f.commit();
    int err = errno;
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, EFBIG);
  }
  EXPECT_EQ(d.list(), (std::vector<std::string>{"out"}));
  EXPECT_EQ(d.read("out"), "first\n");

  atomic_file none;
  EXPECT_FALSE(none.open(d.file("missing/out")));
  EXPECT_EQ(errno, ENOENT);
}
