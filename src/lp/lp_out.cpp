#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "lp.h"

namespace domlp {

namespace {

// Decimal digits of a non-negative value at `p`; returns the end.
char* put_digits(char* p, long long v) {
  return std::to_chars(p, p + 20, v).ptr;
}

// " + x(a,b)" with the smaller index first, written in one go.
void put_x(text_writer& w, int a, int b) {
  char* p = w.room(40);
  std::memcpy(p, " + x(", 5);
  p = put_digits(p + 5, std::min(a, b));
  *p++ = ',';
  p = put_digits(p, std::max(a, b));
  *p++ = ')';
  w.advance(p);
}

void put_e(text_writer& w, long long t) {
  char* p = w.room(32);
  std::memcpy(p, " +e(", 4);
  p = put_digits(p + 4, t);
  *p++ = ')';
  w.advance(p);
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

// Domains that both proteins of a row carry, each once, in increasing order:
// the merge of the two non-decreasing domain lists.
void common_domains(const std::vector<int>& a, const std::vector<int>& b, std::vector<int>& out) {
  out.clear();
  size_t x = 0, y = 0;
  while (x < a.size() && y < b.size()) {
    if (a[x] < b[y]) {
      ++x;
    } else if (b[y] < a[x]) {
      ++y;
    } else {
      if (out.empty() || out.back() != a[x]) out.push_back(a[x]);
      ++x;
      ++y;
    }
  }
}

bool has(const std::vector<int>& sorted, int d) {
  return std::binary_search(sorted.begin(), sorted.end(), d);
}

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

  // A row lists the distinct domain pairs of its two proteins' domain
  // lists, distinct domains of the first protein outside, of the second
  // inside. The combination (a, b) names the same domain pair as (b, a),
  // which came earlier in the row exactly when b < a, b is a domain of the
  // first protein and a one of the second, that is when both are common to
  // the two proteins. Those are skipped, so that no look-up is needed.
  std::vector<int> common;
  int row = 2;
  int rows = 0;
  const size_t n = obs.item.size();
  // The protein nodes and their domain lists of rows a little ahead are
  // fetched while this row is written.
  constexpr size_t kAhead = 32;
  for (size_t k = 0; k < n; ++k) {
    prefetch_pair_proteins(t, obs.item, k, kAhead);
    const pair& op = obs.item[k];
    if (op.obs != 1 || t.prot[op.i].n <= 0 || t.prot[op.j].n <= 0) continue;
    ++rows;
    w.put("r(");
    w.put_int(row);
    w.put("):");
    wrap terms;
    const std::vector<int>& ma = t.prot[op.i].member;
    const std::vector<int>& mb = t.prot[op.j].member;
    common_domains(ma, mb, common);
    bool mirrors = common.size() > 1;
    for_each_distinct(ma, [&](int da) {
      bool da_common = mirrors && has(common, da);
      for_each_distinct(mb, [&](int db) {
        if (da_common && db < da && has(common, db)) return;
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
