// Fuzz target: the same interactions and annotations in another format must
// give the tables of the counted files. The bytes make observed pairs, test
// pairs and domain occurrences over a few names; they are written counted
// and then as plain or PSI-MITAB pairs (quoted items, several identifiers,
// lines of another taxon) and a by-protein domain table (separators mixed,
// or in columns), the observed file compressed or not, and both are read.
#include <zlib.h>

#include <algorithm>
#include <cstdint>

#include "fuzz.h"
#include "input/input.h"

using namespace domlp;

namespace {

std::string prot(unsigned x) {
  return "P" + std::to_string(x % 9);
}
std::string dom(unsigned x) {
  return "PF0" + std::to_string(x % 5);
}

// A MITAB line of the pair a-b: with `id_db`, the UniProt accessions stand
// after another identifier in the alternative columns; quoting varies.
std::string mitab(const std::string& a, const std::string& b, bool id_db, unsigned v,
                  const char* taxon) {
  auto id = [&](const std::string& p, unsigned w) {
    return w % 3 == 0   ? "uniprotkb:" + p
           : w % 3 == 1 ? "uniprotkb:\"" + p + "\""
                        : "\"uniprotkb:" + p + "\"";
  };
  std::string cols[15];
  for (std::string& c : cols) c = "-";
  if (id_db) {
    cols[0] = "intact:EBI-" + a, cols[1] = "intact:EBI-" + b;
    cols[2] = "entrez gene/locuslink:12|" + id(a, v),
    cols[3] = id(b, v / 3) + (v / 3 % 3 == 2 ? "" : "(gene name)");
  } else {
    cols[0] = id(a, v) + "|intact:EBI-1", cols[1] = id(b, v / 3);
  }
  cols[9] = std::string("taxid:") + taxon + "(human)";
  cols[10] = std::string("taxid:") + taxon;
  std::string line;
  for (const std::string& c : cols) line += (line.empty() ? "" : "\t") + c;
  return line + "\n";
}

void put_gz(const std::string& name, const std::string& bytes) {
  gzFile f = gzopen((scratch() + name).c_str(), "wb");
  FUZZ_CHECK(f && gzwrite(f, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                      static_cast<int>(bytes.size()));
  gzclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const unsigned how = data[0];
  input_options o;
  o.observed = how & 1 ? pair_format::mitab : pair_format::plain;
  o.domains = domain_format::by_protein;
  const bool id_db = how & 2, columns = how & 4, gz = how & 8;
  if (id_db) o.id_db = "uniprotkb", o.taxid = "9606";
  if (columns) o.protein_column = 1, o.domain_column = 5;

  std::string obs_counted,
      obs_other = o.observed == pair_format::plain ? "# pairs\n" : "#ID A\tID B\n";
  std::string test = "0\n";
  std::vector<std::pair<std::string, std::vector<std::string>>>
      doms;  // in order of first appearance
  std::string dom_other = "# protein\tdomains\n";
  long npairs = 0;
  for (size_t k = 1; k + 1 < size; k += 2) {
    const unsigned a = data[k], b = data[k + 1];
    if (a % 4 == 0) {  // a domain occurrence, or with columns one line of several
      std::string p = prot(b), d = dom(a / 4), d2 = dom(a / 20);
      if (columns) {
        dom_other += p + "\tx\t-\t3\t " + d + ";" + d2 + ", \r\n";
      } else {
        dom_other += p + (b & 1 ? "\t" : " ,") + d + (b & 2 ? ";" : " ") + d2 + "\n";
      }
      for (const std::string& name : {d, d2}) {
        auto it = std::find_if(doms.begin(), doms.end(), [&](auto& x) { return x.first == name; });
        if (it == doms.end()) it = doms.insert(doms.end(), {name, {}});
        it->second.push_back(p);
      }
    } else if (a % 4 == 1) {
      test += prot(b) + "\t" + prot(b / 9) + "\n";
    } else {
      const std::string p = prot(a / 4), q = prot(b);
      obs_counted += p + "\t" + q + "\n";
      ++npairs;
      if (o.observed == pair_format::plain) {
        obs_other += p + (b & 1 ? "  " : "\t") + q + (b & 2 ? "\r\n\n" : "\n");
      } else {
        obs_other += mitab(p, q, id_db, a + b, "9606");
        if (id_db && b % 3 == 0) obs_other += mitab(q, "P9", id_db, b, "10090");
      }
    }
  }
  std::string dom_counted = std::to_string(doms.size()) + "\n";
  for (const auto& [name, members] : doms) {
    dom_counted += name + ":";
    for (const std::string& p : members) dom_counted += " " + p;
    dom_counted += "\n";
  }
  put_file("obs", std::to_string(npairs) + "\n" + obs_counted);
  put_file("dom", dom_counted);
  put_file("test", test);
  put_file("dom2", dom_other);
  if (gz)
    put_gz("obs2.gz", obs_other);
  else
    put_file("obs2", obs_other);

  node_table t1, t2;
  pair_set obs1, obs2, test1, test2, dint;
  FUZZ_CHECK(readdata(t1, obs1, test1, dint, scratch() + "obs", scratch() + "dom",
                      scratch() + "test", input_options()) == 0);
  // Without a pair line the other format's file is refused; a count of 0 is
  // not.
  FUZZ_CHECK(readdata(t2, obs2, test2, dint, scratch() + (gz ? "obs2.gz" : "obs2"),
                      scratch() + "dom2", scratch() + "test", o) == (npairs > 0 ? 0 : 1));
  if (npairs == 0) return 0;
  FUZZ_CHECK(t1.nprot == t2.nprot && t1.ndom == t2.ndom && obs1.n == obs2.n && test1.n == test2.n);
  for (int q = 0; q < t1.nprot; ++q)
    FUZZ_CHECK(t1.prot[q].name == t2.prot[q].name && t1.prot[q].member == t2.prot[q].member);
  for (int d = 0; d < t1.ndom; ++d)
    FUZZ_CHECK(t1.dom[d].name == t2.dom[d].name && t1.dom[d].member == t2.dom[d].member);
  for (int k = 0; k < obs1.n; ++k)
    FUZZ_CHECK(obs1.item[k].i == obs2.item[k].i && obs1.item[k].j == obs2.item[k].j);
  return 0;
}
