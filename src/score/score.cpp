#include "score.h"

#include <cerrno>
#include <cstdio>

#include "io/io.h"

namespace domlp {

namespace {

// The sum, in list order, of the values of every combination of a domain of
// a with a domain of b (repeats counted), capped at 1. Values are never
// negative, so once the sum reaches 1 the score is 1 whatever follows.
double score(const node_table& t, const pair_set& dint, int a, int b) {
  double sum = 0.0;
  for (int da : t.prot[a].member) {
    for (int db : t.prot[b].member) {
      int k = find_pair(dint, da, db);
      if (k >= 0 && dint.item[k].obs == 1) sum += dint.item[k].prob;
      if (sum >= 1.0) return 1.0;
    }
  }
  return sum;
}

void put_name(FILE* f, const std::string& name) {
  std::fwrite(name.data(), 1, name.size(), f);
}

}  // namespace

void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test) {
  for (pair& tp : test.item)
    if (t.prot[tp.i].n > 0 && t.prot[tp.j].n > 0) tp.prob = score(t, dint, tp.i, tp.j);
}

int out_pint(const node_table& t, const pair_set& test, const std::string& file) {
  output_file out;
  if (!out.open(file)) return write_failed(file, errno);
  // Names are written byte for byte, a NUL inside one included.
  for (const pair& tp : test.item) {
    if (!(tp.prob >= 1.0)) continue;
    put_name(out.stream(), t.prot[tp.i].name);
    std::fputc('\t', out.stream());
    put_name(out.stream(), t.prot[tp.j].name);
    std::fputc('\n', out.stream());
  }
  if (!out.close() || !out.commit()) return write_failed(file, errno);
  return 0;
}

}  // namespace domlp
