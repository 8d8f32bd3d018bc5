// Fuzz target: the protein-pair file reader on arbitrary bytes, checked
// against a plain re-reading of the text.
#include <climits>
#include <string>

#include "fuzz_util.h"
#include "input/input.h"

using namespace domlp_fuzz;

namespace {

constexpr std::string_view kDelims = "\t\n\r ";

void check_table(const domlp::node_table& t) {
  FUZZ_CHECK(t.nprot == static_cast<int>(t.prot.size()));
  FUZZ_CHECK(t.prot_by_name.size() == t.prot.size());
  for (size_t q = 0; q < t.prot.size(); ++q) {
    const std::string& name = t.prot[q].name;
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(name.find_first_of(kDelims) == std::string::npos);
    FUZZ_CHECK(domlp::find_prot(t, name) == static_cast<int>(q));
    FUZZ_CHECK(t.prot[q].n == 0 && t.prot[q].member.empty());
  }
}

// Reads `text` as one pair file and compares the pairs with the lines of
// the text that carry at least two names.
void read_and_compare(domlp::node_table& t, domlp::pair_set& s, const std::string& text) {
  {
    mem_file f(text);
    int count = -1;
    if (domlp::read_count(f.get(), "pairs", count) == 0) {
      FUZZ_CHECK(count >= 0);
      s.n = count;
    }
  }
  mem_file f(text);
  FUZZ_CHECK(domlp::readprotint_stream(t, s, f.get(), "pairs") == 0);
  check_table(t);
  FUZZ_CHECK(s.n == static_cast<int>(s.item.size()));

  std::vector<std::string_view> lines = split_lines(text);
  size_t k = 0;
  for (size_t l = 1; l < lines.size(); ++l) {
    std::vector<std::string_view> toks = split_tokens(lines[l], kDelims);
    if (toks.size() < 2) continue;
    FUZZ_CHECK(k < s.item.size());
    const domlp::pair& p = s.item[k++];
    FUZZ_CHECK(p.i >= 0 && p.i < t.nprot && p.j >= 0 && p.j < t.nprot);
    FUZZ_CHECK(t.prot[p.i].name == toks[0]);
    FUZZ_CHECK(t.prot[p.j].name == toks[1]);
    FUZZ_CHECK(p.prob == 1.0 && p.obs == 0);
  }
  FUZZ_CHECK(k == s.item.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quiet_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = shape_input(data, size);
  domlp::node_table t;
  domlp::pair_set s;
  read_and_compare(t, s, text);
  return 0;
}
