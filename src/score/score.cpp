#include "score.h"

#include <cerrno>
#include <cstring>

namespace domlp {

double score_pair(const node_table& t, const pair_set& dint, int a, int b) {
  const std::vector<int>& ma = t.prot[a].member;
  const std::vector<int>& mb = t.prot[b].member;
  // Values of the domain pairs that each domain of b forms with the current
  // domain of a, looked up once per distinct domain of a; a repeat of a
  // domain of a adds the same row again.
  std::vector<double> vals(mb.size());
  double sum = 0.0;
  for (size_t x = 0; x < ma.size(); ++x) {
    if (x == 0 || ma[x] != ma[x - 1]) {
      for (size_t y = 0; y < mb.size(); ++y) {
        if (y > 0 && mb[y] == mb[y - 1]) {
          vals[y] = vals[y - 1];
          continue;
        }
        int k = dint.index.get(ma[x], mb[y]);
        vals[y] = (k >= 0 && dint.item[static_cast<size_t>(k)].obs == 1)
                      ? dint.item[static_cast<size_t>(k)].prob
                      : 0.0;
      }
    }
    // Values are never negative, so once the sum reaches 1 the score is 1
    // whatever follows.
    for (double v : vals) {
      sum += v;
      if (sum >= 1.0) return 1.0;
    }
  }
  return sum > 1.0 ? 1.0 : sum;
}

void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test) {
  for (pair& tp : test.item) {
    if (t.prot[tp.i].n == 0 || t.prot[tp.j].n == 0) continue;
    tp.prob = score_pair(t, dint, tp.i, tp.j);
  }
}

int write_pint(FILE* out, const node_table& t, const pair_set& test) {
  text_writer w(out);
  for (const pair& tp : test.item) {
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
