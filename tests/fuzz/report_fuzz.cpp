// Fuzz target: the solver report reader on arbitrary bytes, with the domain
// pairs of eight domains. Every stored value must be a number in [0, 1].
#include <cstdint>

#include "fuzz.h"
#include "lp/lp.h"

using namespace domlp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pair_set dint;
  for (int a = 0; a < 8; ++a) {
    for (int b = a; b < 8; ++b) {
      dint.index[pair_key(a, b)] = static_cast<int>(dint.item.size());
      dint.item.push_back(pair{a, b, 0.0});
    }
  }
  std::string report = put_file("report", {reinterpret_cast<const char*>(data), size});
  int rc = my_parse_glp(report, dint);
  FUZZ_CHECK(rc == 0 || rc == 1);
  for (const pair& p : dint.item) FUZZ_CHECK(p.value >= 0.0 && p.value <= 1.0);
  return 0;
}
