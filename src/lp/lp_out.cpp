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

// The text of each domain pair as a term, " + x(i,j)", made once for all its
// rows: the pairs are fewer than the terms, and a term is then copied, not
// formatted. Pair k's text is text[at[k]] .. text[at[k + 1] - 1].
struct term_texts {
  std::string text;
  std::vector<size_t> at{0};

  explicit term_texts(const pair_set& dint) {
    at.reserve(dint.item.size() + 1);
    for (const pair& dp : dint.item) {
      append_number(text.append(" + x("), dp.i);
      append_number(text.append(","), dp.j);
      text.append(")");
      at.push_back(text.size());
    }
  }
  static void append_number(std::string& s, long long v) {
    char digits[24];
    s.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
  }
  std::string_view operator[](size_t k) const {
    return std::string_view(text).substr(at[k], at[k + 1] - at[k]);
  }
};

// Puts the file together in the memory of a large block, written at once
// when full: the file has a million lines for a million observed pairs.
struct lp_text {
  static constexpr size_t kBlock = size_t{1} << 20;
  FILE* f;
  std::string block;
  int terms = 0;  // on the current line

  explicit lp_text(FILE* out) : f(out) { block.reserve(kBlock + 4096); }

  void flush() {
    std::fwrite(block.data(), 1, block.size(), f);
    block.clear();
  }
  lp_text& operator<<(std::string_view s) {
    block.append(s);
    return *this;
  }
  lp_text& operator<<(long long v) {
    term_texts::append_number(block, v);
    return *this;
  }
  void end_line() {
    block += '\n';
    terms = 0;
    if (block.size() >= kBlock) flush();
  }
  // Counts a term and breaks the line after every eighth.
  void term() {
    if (++terms == 8) end_line();
  }
};

}  // namespace

void write_lp(FILE* f, const lp_rows& rows, const pair_set& obs, const pair_set& dint) {
  const term_texts x(dint);
  lp_text lp(f);
  lp.end_line();
  lp << "Minimize";
  lp.end_line();
  lp << "obj:";
  for (size_t k = 0; k < dint.item.size(); ++k) {
    if (dint.item[k].obs != 1) continue;
    lp << x[k];
    lp.term();
  }
  lp.end_line();
  lp.end_line();
  lp << "Subject To";
  lp.end_line();
  size_t r = 0;
  for (; r < rows.obs_pos.size(); ++r) {
    check_interrupt();
    lp << "r(" << static_cast<long long>(r + 2) << "):";
    for (size_t t = rows.start[r]; t < rows.start[r + 1]; ++t) {
      lp << x[rows.term[t]];
      lp.term();
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
