#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "io/io.h"
#include "lp.h"

namespace domlp {

namespace {

// The decimal digits of the domain indices 0 .. n - 1, each index in a slot
// of its own with their count last: the terms are most of the file, and
// their numbers are copied from here rather than converted one by one.
class index_digits {
 public:
  static constexpr size_t kSlot = 16;  // the digits of an int, and their count

  explicit index_digits(int n) : slot_(static_cast<size_t>(n) * kSlot) {
    for (int k = 0; k < n; ++k) {
      char* s = &slot_[static_cast<size_t>(k) * kSlot];
      s[kSlot - 1] = static_cast<char>(std::to_chars(s, s + kSlot - 1, k).ptr - s);
    }
  }
  // Slot k: its digits and then other bytes, kSlot in all.
  const char* of(int k) const { return &slot_[static_cast<size_t>(k) * kSlot]; }
  static size_t size(const char* s) { return static_cast<size_t>(s[kSlot - 1]); }

 private:
  std::vector<char> slot_;
};

// Puts the file together in the memory of a large block, written at once
// when full: the file has a million lines for a million observed pairs.
class lp_text {
 public:
  lp_text(FILE* f, const index_digits& digits) : f_(f), digits_(digits), buf_(kBlock + kLine) {}

  lp_text& operator<<(std::string_view s) {
    room(s.size());
    s.copy(at(), s.size());
    n_ += s.size();
    return *this;
  }
  lp_text& operator<<(long long v) {
    room(kNumber);
    n_ = static_cast<size_t>(std::to_chars(at(), at() + kNumber, v).ptr - buf_.data());
    return *this;
  }
  // The term of domain pair (i, j), the slots of i and j copied whole and
  // the end moved past their digits.
  void x(int i, int j) {
    room(5 + 2 * index_digits::kSlot + 2);
    char* p = std::copy_n(" + x(", 5, at());
    const char* a = digits_.of(i);
    const char* b = digits_.of(j);
    p = std::copy_n(a, index_digits::kSlot, p) - index_digits::kSlot + index_digits::size(a);
    *p++ = ',';
    p = std::copy_n(b, index_digits::kSlot, p) - index_digits::kSlot + index_digits::size(b);
    *p++ = ')';
    n_ = static_cast<size_t>(p - buf_.data());
    term();
  }
  void end_line() {
    room(1);
    buf_[n_++] = '\n';
    terms_ = 0;
    if (n_ >= kBlock) flush();
  }
  // Counts a term and breaks the line after every eighth.
  void term() {
    if (++terms_ == 8) end_line();
  }
  // Writes the block out; an interruption that came meanwhile stops the
  // file here, even in the budget row, which is as long as the rows.
  void flush() {
    check_interrupt();
    std::fwrite(buf_.data(), 1, n_, f_);
    n_ = 0;
  }

 private:
  static constexpr size_t kBlock = size_t{1} << 20;
  static constexpr size_t kLine = 4096;
  static constexpr size_t kNumber = 24;  // the digits of any long long

  char* at() { return buf_.data() + n_; }
  // Makes room for `more` characters.
  void room(size_t more) {
    if (n_ + more > buf_.size()) flush();
    if (more > buf_.size()) buf_.resize(more);
  }

  FILE* f_;
  const index_digits& digits_;
  std::vector<char> buf_;
  size_t n_ = 0;
  int terms_ = 0;  // on the current line
};

}  // namespace

void write_lp(FILE* f, const lp_rows& rows, const pair_set& obs, const pair_set& dint) {
  // The two domains of each pair, side by side: the rows name the pairs in
  // no order, and this is a third of the size of the pairs themselves.
  std::vector<std::pair<int, int>> ends(dint.item.size());
  int ndom = 0;
  for (size_t k = 0; k < dint.item.size(); ++k) {
    ends[k] = {dint.item[k].i, dint.item[k].j};
    ndom = std::max(ndom, dint.item[k].j + 1);
  }
  const index_digits digits(ndom);
  lp_text lp(f, digits);
  lp.end_line();
  lp << "Minimize";
  lp.end_line();
  lp << "obj:";
  for (const pair& dp : dint.item) lp.x(dp.i, dp.j);
  lp.end_line();
  lp.end_line();
  lp << "Subject To";
  lp.end_line();
  size_t r = 0;
  for (; r < rows.obs_pos.size(); ++r) {
    check_interrupt();
    lp << "r(" << static_cast<long long>(r + 2) << "):";
    for (size_t t = rows.start[r]; t < rows.start[r + 1]; ++t) {
      const auto [i, j] = ends[rows.term[t]];
      lp.x(i, j);
    }
    lp << " +e(" << rows.obs_pos[r] << ") >= 1.000";
    lp.end_line();
  }
  lp << "r(" << static_cast<long long>(r + 2) << "):";
  for (size_t k = 0; k < obs.item.size(); ++k) {
    lp << " +e(" << static_cast<long long>(k) << ")";
    lp.term();
  }
  lp << "<=" << rows.bound;
  lp.end_line();
  lp << "End";
  lp.end_line();
  lp.flush();
}

int LP_out(const lp_rows& rows, const pair_set& obs, const pair_set& dint,
           const std::string& file) {
  output_file out;
  if (!out.open(file)) return write_failed(file, errno);
  write_lp(out.stream(), rows, obs, dint);
  if (!out.close() || !out.commit()) return write_failed(file, errno);
  return 0;
}

}  // namespace domlp
