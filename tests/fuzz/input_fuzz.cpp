// Fuzz target: the readers (the test file read as the domains' names too)
// and every step after them but the solver, on arbitrary bytes cut into the
// observed, domain and test files at the first two 0xFF bytes. A byte after
// a third 0xFF picks the formats, the options and gzip names. Whatever the
// input, the tables must hold together.
#include <cstdint>

#include "fuzz.h"
#include "input/input.h"
#include "lp/lp.h"
#include "score/score.h"

using namespace domlp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  size_t cut1 = std::min(in.find('\xff'), in.size());
  size_t cut2 = std::min(in.find('\xff', std::min(cut1 + 1, in.size())), in.size());
  size_t cut3 = std::min(in.find('\xff', std::min(cut2 + 1, in.size())), in.size());
  input_options o;
  unsigned k = cut3 + 1 < in.size() ? static_cast<unsigned char>(in[cut3 + 1]) : 0;
  o.observed = static_cast<pair_format>(k % 3);
  o.test = static_cast<pair_format>(k / 3 % 3);
  if (k / 9 % 2) o.domains = domain_format::by_protein;
  if (k / 9 % 2 && k / 18 % 2) o.protein_column = 1, o.domain_column = 2;
  if (k / 36 % 2) o.id_db = "uniprotkb";
  if (k / 72 % 2) o.taxid = "9606";
  const char* gz = k / 144 % 2 ? ".gz" : "";
  std::string obs_file = put_file(std::string("obs") + gz, in.substr(0, cut1));
  std::string dom_file = put_file("dom", in.substr(std::min(cut1 + 1, in.size()), cut2 - cut1));
  std::string test_file = put_file(
      "test", in.substr(std::min(cut2 + 1, in.size()), cut3 - std::min(cut2 + 1, in.size())));
  node_table t;
  pair_set obs, test, dint;
  if (readdata(t, obs, test, dint, obs_file, dom_file, test_file, o) != 0) return 0;
  FUZZ_CHECK(t.nprot == static_cast<int>(t.prot.size()) &&
             t.ndom == static_cast<int>(t.dom.size()));
  for (const pair_set* s : {&obs, &test})
    for (const pair& p : s->item)
      FUZZ_CHECK(p.i >= 0 && p.i < t.nprot && p.j >= 0 && p.j < t.nprot);
  for (const node& q : t.prot) {
    FUZZ_CHECK(q.n == static_cast<int>(q.member.size()));
    for (size_t x = 0; x < q.member.size(); ++x)
      FUZZ_CHECK(q.member[x] < t.ndom && (x == 0 || q.member[x - 1] <= q.member[x]));
  }
  // The test file's bytes as a table of domain names: one name a domain.
  std::vector<std::string> names;
  if (read_domain_names(test_file, t, names) == 0) FUZZ_CHECK(names.size() == t.dom.size());
  lp_rows rows;
  construct_dint(t, obs, dint, rows);
  // The tables of the same pairs built in memory are those read.
  node_table t2;
  pair_set obs2, test2;
  make_tables(t, obs.item, test.item, t2, obs2, test2);
  FUZZ_CHECK(t2.nprot == t.nprot && t2.ndom == t.ndom);
  for (int q = 0; q < t.nprot; ++q) FUZZ_CHECK(t2.prot[q].member == t.prot[q].member);
  for (size_t k = 0; k < dint.item.size(); ++k)
    FUZZ_CHECK(dint.item[k].i <= dint.item[k].j &&
               find_pair(dint, dint.item[k].j, dint.item[k].i) == static_cast<int>(k));
  for (size_t r = 0; r + 1 < rows.start.size(); ++r)
    for (size_t x = rows.start[r]; x < rows.start[r + 1]; ++x)
      for (size_t y = rows.start[r]; y < x; ++y) FUZZ_CHECK(rows.term[x] != rows.term[y]);
  FUZZ_CHECK(LP_out(rows, obs, dint, scratch() + "lp") == 0);
  for (size_t k = 0; k < dint.item.size(); ++k) dint.item[k].value = k % 3 * 0.5;
  calc_prob_test(t, dint, test);
  for (const pair& p : test.item) FUZZ_CHECK(p.value >= 0.0 && p.value <= 1.0);
  static FILE* null = std::fopen("/dev/null", "w");
  out_pint(null, t, test);
  out_dint(null, t, dint, rows);
  out_scores(null, t, test);
  return 0;
}
