#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include "lp.h"

namespace domlp {

namespace {

void put_x(text_writer& w, int a, int b) {
  w.put(" + x(");
  w.put_int(std::min(a, b));
  w.put(',');
  w.put_int(std::max(a, b));
  w.put(')');
}

void put_e(text_writer& w, long long t) {
  w.put(" +e(");
  w.put_int(t);
  w.put(')');
}

// Counts written terms and breaks the line after every eighth.
struct wrap {
  int terms = 0;
  void count(text_writer& w) {
    if (++terms == 8) {
      w.put('\n');
      terms = 0;
    }
  }
};

}  // namespace

int lp_bound(int rows, float frac) {
  double p = static_cast<double>(rows) * static_cast<double>(frac);
  if (std::isnan(p)) return 0;
  if (p >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (p <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(p);
}

int write_lp(FILE* out, const node_table& t, const pair_set& obs, const pair_set& dint,
             float frac) {
  text_writer w(out);
  w.put("\nMinimize\nobj:");
  wrap obj;
  for (const pair& dp : dint.item) {
    if (dp.obs != 1) continue;
    put_x(w, dp.i, dp.j);
    obj.count(w);
  }
  w.put("\n\nSubject To\n");

  // Each row writes a domain pair once, however many combinations of the two
  // proteins' domains reach it; `stamp` marks the pairs written in this row.
  std::vector<int> stamp(dint.item.size(), -1);
  int row = 2;
  int rows = 0;
  for (size_t k = 0; k < obs.item.size(); ++k) {
    const pair& op = obs.item[k];
    if (op.obs != 1 || t.prot[op.i].n <= 0 || t.prot[op.j].n <= 0) continue;
    ++rows;
    w.put("r(");
    w.put_int(row);
    w.put("):");
    wrap terms;
    for_each_distinct(t.prot[op.i].member, [&](int da) {
      for_each_distinct(t.prot[op.j].member, [&](int db) {
        int pos = dint.index.get(da, db);
        if (pos >= 0) {
          if (stamp[static_cast<size_t>(pos)] == row) return;
          stamp[static_cast<size_t>(pos)] = row;
        }
        put_x(w, da, db);
        terms.count(w);
      });
    });
    put_e(w, static_cast<long long>(k));
    w.put(" >= 1.000\n");
    ++row;
  }

  w.put("r(");
  w.put_int(row);
  w.put("):");
  wrap budget;
  for (size_t k = 0; k < obs.item.size(); ++k) {
    if (obs.item[k].obs != 1) continue;
    put_e(w, static_cast<long long>(k));
    budget.count(w);
  }
  w.put("<=");
  w.put_int(lp_bound(rows, frac));
  w.put("\nEnd\n");
  return w.flush() ? 0 : w.error();
}

int LP_out(const node_table& t, const pair_set& obs, const pair_set& dint, const std::string& file,
           float frac) {
  atomic_file f;
  int err = 0;
  if (!f.open(file) || (err = write_lp(f.stream(), t, obs, dint, frac)) != 0 || !f.commit()) {
    std::fprintf(stderr, "cannot write '%s': %s\n", file.c_str(), std::strerror(err ? err : errno));
    return 1;
  }
  return 0;
}

}  // namespace domlp
