// Fuzz target: the domain annotation reader on arbitrary bytes, against a
// fixed protein table, checked against a plain re-reading of the text.
#include <string>

#include "fuzz_util.h"
#include "input/input.h"

using namespace domlp_fuzz;

namespace {

constexpr std::string_view kDelims = " \t\r\n";

// Short names a mutation easily produces, names around eight bytes long,
// a long one, and names with a NUL byte inside.
const std::vector<std::string> kProteins = {"A",
                                            "B",
                                            "C",
                                            "D",
                                            "P1",
                                            "P2",
                                            "x",
                                            "ABCDEFG",
                                            "ABCDEFGH",
                                            "ABCDEFGHI",
                                            "protein_with_a_long_name",
                                            std::string("N\0L", 3),
                                            std::string("A\0", 2)};

struct ref_domain {
  std::string_view name;
  std::vector<int> member;
};

// The kept domains of `text`, read as plainly as possible.
std::vector<ref_domain> reference(const domlp::node_table& t, const std::string& text) {
  std::vector<ref_domain> doms;
  std::vector<std::string_view> lines = split_lines(text);
  for (size_t l = 1; l < lines.size(); ++l) {
    std::string_view line = lines[l];
    size_t start = line.find_first_not_of(':');
    if (start == std::string_view::npos) continue;
    size_t colon = line.find(':', start);
    if (colon == std::string_view::npos) continue;
    ref_domain d{line.substr(start, colon - start), {}};
    for (std::string_view tok : split_tokens(line.substr(colon + 1), kDelims)) {
      for (size_t q = 0; q < t.prot.size(); ++q) {
        if (t.prot[q].name == tok) {
          d.member.push_back(static_cast<int>(q));
          break;
        }
      }
    }
    if (!d.member.empty()) doms.push_back(d);
  }
  return doms;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quiet_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = shape_input(data, size);
  domlp::node_table t;
  for (const std::string& name : kProteins) domlp::add_prot(t, name);
  t.nprot = static_cast<int>(t.prot.size());
  {
    mem_file f(text);
    int count = -1;
    if (domlp::read_count(f.get(), "domains", count) == 0) {
      FUZZ_CHECK(count >= 0);
      t.ndom = count;
    }
  }
  mem_file f(text);
  FUZZ_CHECK(domlp::creat_domprot_stream(t, f.get(), "domains") == 0);

  std::vector<ref_domain> ref = reference(t, text);
  FUZZ_CHECK(t.ndom == static_cast<int>(t.dom.size()));
  FUZZ_CHECK(ref.size() == t.dom.size());
  std::vector<std::vector<int>> links(t.prot.size());
  for (size_t d = 0; d < t.dom.size(); ++d) {
    const domlp::node& dom = t.dom[d];
    FUZZ_CHECK(dom.name == ref[d].name);
    FUZZ_CHECK(dom.member == ref[d].member);
    FUZZ_CHECK(dom.n == static_cast<int>(dom.member.size()));
    FUZZ_CHECK(dom.member_names.size() == dom.member.size());
    for (size_t m = 0; m < dom.member.size(); ++m) {
      FUZZ_CHECK(dom.member_names[m] == t.prot[static_cast<size_t>(dom.member[m])].name);
      links[static_cast<size_t>(dom.member[m])].push_back(static_cast<int>(d));
    }
  }
  // Every protein lists its domains in domain order, once per listing.
  for (size_t q = 0; q < t.prot.size(); ++q) {
    FUZZ_CHECK(t.prot[q].member == links[q]);
    FUZZ_CHECK(t.prot[q].n == static_cast<int>(links[q].size()));
  }
  return 0;
}
