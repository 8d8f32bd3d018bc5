#include <cerrno>
#include <cstdio>

#include "io/io.h"
#include "lp.h"

namespace domlp {

namespace {

// Writes terms, breaking the line after every eighth.
struct term_writer {
  FILE* f;
  int count = 0;
  void wrap() {
    if (++count == 8) {
      std::fputc('\n', f);
      count = 0;
    }
  }
  void x(const pair& dp) {
    std::fprintf(f, " + x(%d,%d)", dp.i, dp.j);
    wrap();
  }
};

void write_lp(FILE* f, const lp_rows& rows, const pair_set& obs, const pair_set& dint) {
  std::fputs("\nMinimize\nobj:", f);
  term_writer obj{f};
  for (const pair& dp : dint.item)
    if (dp.obs == 1) obj.x(dp);
  std::fputs("\n\nSubject To\n", f);
  size_t r = 0;
  for (; r < rows.obs_pos.size(); ++r) {
    check_interrupt();
    std::fprintf(f, "r(%zu):", r + 2);
    term_writer row{f};
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x) row.x(dint.item[rows.term[x]]);
    std::fprintf(f, " +e(%d) >= 1.000\n", rows.obs_pos[r]);
  }
  std::fprintf(f, "r(%zu):", r + 2);
  term_writer budget{f};
  for (size_t k = 0; k < obs.item.size(); ++k) {
    if (obs.item[k].obs != 1) continue;
    std::fprintf(f, " +e(%zu)", k);
    budget.wrap();
  }
  std::fprintf(f, "<=%d\nEnd\n", rows.bound);
}

}  // namespace

int LP_out(const lp_rows& rows, const pair_set& obs, const pair_set& dint,
           const std::string& file) {
  output_file out;
  if (!out.open(file)) return write_failed(file, errno);
  write_lp(out.stream(), rows, obs, dint);
  if (!out.close() || !out.commit()) return write_failed(file, errno);
  return 0;
}

}  // namespace domlp
