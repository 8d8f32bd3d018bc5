// Fuzz target: the command line, from arbitrary words (the bytes cut at each
// NUL). A command line that is taken must leave the options whole: a known
// solver, a fraction or a list of distinct run tags in [0, 1], folds and jobs in range,
// and the stems of the derived names.
#include <getopt.h>

#include <cstdint>

#include "driver/driver.h"
#include "fuzz.h"
#include "io/io.h"

using namespace domlp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words{"domlp"};
  std::string_view in(reinterpret_cast<const char*>(data), size);
  for (size_t pos = 0; pos <= in.size() && words.size() < 20;) {
    size_t end = std::min(in.find('\0', pos), in.size());
    words.emplace_back(in.substr(pos, end - pos));
    pos = end + 1;
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  options o;
  // Each input is a new command line: GNU getopt starts a full new scan,
  // its state of the last one dropped, when optind is 0.
  optind = 0;
  int rc = parse_args(static_cast<int>(words.size()), argv.data(), o);
  FUZZ_CHECK(rc == -1 || rc == 0 || rc == 2);
  if (rc != -1) return 0;
  FUZZ_CHECK(o.solver == "glpsol" || o.solver == "clp");
  FUZZ_CHECK(!o.fracs.empty() && (o.folds == 0 || o.folds >= 2) && o.jobs >= 1);
  FUZZ_CHECK(o.negatives >= 0 && (o.folds == 0 || o.test_file.empty()));
  for (float f : o.fracs) FUZZ_CHECK(f >= 0.0f && f <= 1.0f);
  for (size_t x = 0; x < o.fracs.size(); ++x)
    for (size_t y = 0; y < x; ++y) FUZZ_CHECK(format_f(o.fracs[x]) != format_f(o.fracs[y]));
  FUZZ_CHECK(!o.obs_stem.ends_with(".gz") || o.obs_file.ends_with(".gz.gz"));
  return 0;
}
