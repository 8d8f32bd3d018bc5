#include "score.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

namespace domlp {

namespace {

// Value of the domain pair (a, b): 0 when there is none or it is unsupported.
double value_of(const pair_set& dint, int a, int b) {
  int k = dint.index.get(a, b);
  return k >= 0 && dint.item[static_cast<size_t>(k)].obs == 1
             ? dint.item[static_cast<size_t>(k)].prob
             : 0.0;
}

// The non-zero values of the domain pairs, by pair, for scoring many test
// pairs: a solution leaves most pairs at 0, so this table is a fraction of
// the pair index, and a look-up is one probe instead of the index slot and
// then the pair. It holds the same values as value_of when every pair has a
// position of its own, as many index entries as pairs (pairs built by
// construct_dint); otherwise usable() is false.
class value_table {
 public:
  explicit value_table(const pair_set& dint) {
    if (dint.index.size() != dint.item.size()) return;
    size_t nonzero = 0;
    for (const pair& dp : dint.item) {
      if (dp.i < 0 || dp.j < 0) return;
      nonzero += dp.obs == 1 && dp.prob != 0.0;
    }
    size_t cap = 16;
    while (cap < 2 * nonzero + 1) cap <<= 1;
    slots_.assign(cap, entry{kEmpty, kEmpty, 0.0});
    for (const pair& dp : dint.item) {
      if (dp.obs != 1 || dp.prob == 0.0) continue;
      uint64_t k = key(dp.i, dp.j);
      size_t x = slot(k);
      while (slots_[x].lo != kEmpty) x = (x + 1) & (slots_.size() - 1);
      slots_[x] = entry{static_cast<uint32_t>(k), static_cast<uint32_t>(k >> 32), dp.prob};
    }
    usable_ = true;
  }
  bool usable() const { return usable_; }
  double get(int a, int b) const {
    uint64_t k = key(a, b);
    for (size_t x = slot(k);; x = (x + 1) & (slots_.size() - 1)) {
      const entry& e = slots_[x];
      if (e.lo == static_cast<uint32_t>(k) && e.hi == static_cast<uint32_t>(k >> 32)) return e.v;
      if (e.lo == kEmpty) return 0.0;
    }
  }
  // Always inlined, like pair_index::prefetch.
  [[gnu::always_inline]] void prefetch(int a, int b) const {
    __builtin_prefetch(&slots_[slot(key(a, b))]);
  }

 private:
  static constexpr uint32_t kEmpty = ~0u;
  struct entry {
    uint32_t lo, hi;
    double v;
  };
  static uint64_t key(int a, int b) { return pair_key(a, b); }
  size_t slot(uint64_t k) const { return pair_home(k, slots_.size()); }
  std::vector<entry> slots_;
  bool usable_ = false;
};

// The score of a, b: the sum, in list order, of the values of every
// combination of a domain of a with a domain of b, stopped at 1. The values
// a distinct domain of a forms with b's list are looked up once, and only
// the non-zero ones kept: adding a zero never changes a sum of values that
// are not negative, so the sum is the same one, and repeats of that domain
// in a's list add the same row again. Values are never negative, so once the
// sum reaches 1 the score is 1 whatever follows.
template <class Value>
double score_with(const node_table& t, int a, int b, std::vector<double>& row, Value&& value) {
  const std::vector<int>& ma = t.prot[a].member;
  const std::vector<int>& mb = t.prot[b].member;
  double sum = 0.0;
  for (size_t x = 0; x < ma.size(); ++x) {
    if (x == 0 || ma[x] != ma[x - 1]) {
      row.clear();
      double v = 0.0;
      for (size_t y = 0; y < mb.size(); ++y) {
        if (y == 0 || mb[y] != mb[y - 1]) v = value(ma[x], mb[y]);
        if (v != 0.0) row.push_back(v);
      }
    }
    for (double v : row) {
      sum += v;
      if (sum >= 1.0) return 1.0;
    }
  }
  return sum > 1.0 ? 1.0 : sum;
}

}  // namespace

double score_pair(const node_table& t, const pair_set& dint, int a, int b) {
  std::vector<double> row;
  return score_with(t, a, b, row, [&](int da, int db) { return value_of(dint, da, db); });
}

void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test) {
  std::vector<double> row;
  const value_table values(dint);
  const size_t n = test.item.size();
  // The protein nodes, their domain lists and the slots their domain pairs
  // are looked up in are fetched a few test pairs ahead, each once the data
  // it needs is there, so that the cache misses of nearby test pairs overlap.
  constexpr size_t kAhead = 32;
  auto combos = [&](const pair& tp, auto&& f) { for_each_domain_combo(t, tp, f); };
  for (size_t k = 0; k < n; ++k) {
    prefetch_pair_proteins(t, test.item, k, kAhead);
    if (k + kAhead / 4 < n) {
      if (values.usable())
        combos(test.item[k + kAhead / 4], [&](int da, int db) { values.prefetch(da, db); });
      else
        combos(test.item[k + kAhead / 4], [&](int da, int db) { dint.index.prefetch(da, db); });
    }
    pair& tp = test.item[k];
    if (t.prot[tp.i].n == 0 || t.prot[tp.j].n == 0) continue;
    if (values.usable())
      tp.prob = score_with(t, tp.i, tp.j, row, [&](int da, int db) { return values.get(da, db); });
    else
      tp.prob =
          score_with(t, tp.i, tp.j, row, [&](int da, int db) { return value_of(dint, da, db); });
  }
}

int write_pint(FILE* out, const node_table& t, const pair_set& test) {
  text_writer w(out);
  // The names of the proteins a few test pairs ahead are fetched early.
  constexpr size_t kAhead = 16;
  const size_t n = test.item.size();
  for (size_t k = 0; k < n; ++k) {
    if (k + kAhead < n && test.item[k + kAhead].prob >= 1.0) {
      __builtin_prefetch(&t.prot[test.item[k + kAhead].i].name);
      __builtin_prefetch(&t.prot[test.item[k + kAhead].j].name);
    }
    const pair& tp = test.item[k];
    if (!(tp.prob >= 1.0)) continue;
    w.put(t.prot[tp.i].name);
    w.put('\t');
    w.put(t.prot[tp.j].name);
    w.put('\n');
  }
  return w.flush() ? 0 : w.error();
}

int out_pint(const node_table& t, const pair_set& test, const std::string& file) {
  atomic_file f;
  int err = 0;
  if (!f.open(file) || (err = write_pint(f.stream(), t, test)) != 0 || !f.commit()) {
    std::fprintf(stderr, "cannot write '%s': %s\n", file.c_str(), std::strerror(err ? err : errno));
    return 1;
  }
  return 0;
}

}  // namespace domlp
