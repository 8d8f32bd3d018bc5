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

// Puts the file together in the memory of a large block, written at once
// when full: the file has a million lines for a million observed pairs.
class lp_text {
 public:
  explicit lp_text(FILE* f) : f_(f), buf_(kBlock + kLine) {}

  lp_text& operator<<(std::string_view s) {
    room(s.size());
    s.copy(buf_.data() + n_, s.size());
    n_ += s.size();
    return *this;
  }
  lp_text& operator<<(long long v) {
    room(kNumber);
    n_ = static_cast<size_t>(std::to_chars(at(), at() + kNumber, v).ptr - buf_.data());
    return *this;
  }
  // The term of domain pair (i, j).
  void x(int i, int j) {
    room(2 * kNumber + 8);
    char* p = std::copy_n(" + x(", 5, at());
    p = std::to_chars(p, p + kNumber, i).ptr;
    *p++ = ',';
    p = std::to_chars(p, p + kNumber, j).ptr;
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
  void flush() {
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
  std::vector<char> buf_;
  size_t n_ = 0;
  int terms_ = 0;  // on the current line
};

}  // namespace

void write_lp(FILE* f, const lp_rows& rows, const pair_set& obs, const pair_set& dint) {
  // The two domains of each pair, side by side: the rows name the pairs in
  // no order, and this is a third of the size of the pairs themselves.
  std::vector<std::pair<int, int>> ends(dint.item.size());
  for (size_t k = 0; k < dint.item.size(); ++k) ends[k] = {dint.item[k].i, dint.item[k].j};
  lp_text lp(f);
  lp.end_line();
  lp << "Minimize";
  lp.end_line();
  lp << "obj:";
  for (const pair& dp : dint.item)
    if (dp.obs == 1) lp.x(dp.i, dp.j);
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
    if (obs.item[k].obs != 1) continue;
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
