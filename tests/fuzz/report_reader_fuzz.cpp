// Fuzz target: the solver report reader on arbitrary bytes. The domain
// pairs are those of eight domains; whatever the report says, every stored
// value must be a number in [0, 1] and only supported pairs may get one.
#include <cmath>
#include <string>

#include "fuzz_util.h"
#include "lp/lp.h"

using namespace domlp_fuzz;

namespace {

constexpr int kDomains = 8;

domlp::pair_set make_pairs() {
  domlp::pair_set dint;
  for (int a = 0; a < kDomains; ++a) {
    for (int b = a; b < kDomains; ++b) {
      domlp::pair p;
      p.i = a;
      p.j = b;
      p.prob = 0.0;
      // A few pairs without support: the reader must leave them alone.
      p.obs = (a + b) % 5 == 4 ? 0 : 1;
      dint.index.set(a, b, static_cast<int>(dint.item.size()));
      dint.item.push_back(p);
    }
  }
  dint.n = static_cast<int>(dint.item.size());
  return dint;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quiet_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = shape_input(data, size);
  domlp::pair_set dint = make_pairs();
  mem_file f(text);
  int rc = domlp::parse_glp_stream(f.get(), "report", dint);
  FUZZ_CHECK(rc == 0 || rc == 1);
  FUZZ_CHECK(dint.item.size() == static_cast<size_t>(dint.n));
  for (const domlp::pair& p : dint.item) {
    FUZZ_CHECK(p.prob >= 0.0 && p.prob <= 1.0);
    if (p.obs != 1) FUZZ_CHECK(p.prob == 0.0);
    FUZZ_CHECK(dint.index.get(p.i, p.j) == dint.index.get(p.j, p.i));
  }
  return 0;
}
