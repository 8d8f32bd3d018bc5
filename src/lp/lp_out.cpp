#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string>

#include "io/io.h"
#include "lp.h"

namespace domlp {

namespace {

// Puts the file together a line at a time and writes each line at once: the
// terms are most of the file, and formatted with fprintf one by one they
// made a whole run a fifth slower.
struct lp_text {
  FILE* f;
  std::string line;
  int terms = 0;  // on the current line

  lp_text& operator<<(const char* s) {
    line += s;
    return *this;
  }
  lp_text& operator<<(long long v) {
    char digits[24];
    line.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
    return *this;
  }
  void end_line() {
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), f);
    line.clear();
    terms = 0;
  }
  // Counts a term and breaks the line after every eighth.
  void term() {
    if (++terms == 8) end_line();
  }
  void x(const pair& dp) {
    *this << " + x(" << dp.i << "," << dp.j << ")";
    term();
  }
};

}  // namespace

void write_lp(FILE* f, const lp_rows& rows, const pair_set& obs, const pair_set& dint) {
  lp_text lp{f, {}};
  lp.end_line();
  lp << "Minimize";
  lp.end_line();
  lp << "obj:";
  for (const pair& dp : dint.item)
    if (dp.obs == 1) lp.x(dp);
  lp.end_line();
  lp.end_line();
  lp << "Subject To";
  lp.end_line();
  size_t r = 0;
  for (; r < rows.obs_pos.size(); ++r) {
    check_interrupt();
    lp << "r(" << static_cast<long long>(r + 2) << "):";
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x) lp.x(dint.item[rows.term[x]]);
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
