// Fuzz target: the whole inference on small arbitrary inputs. The bytes are
// split at lines "---" into the observed pairs, the domain table, the test
// pairs and a parameter block; the three files are read, the domain pairs
// built, the linear program written to memory, the domain pairs given values
// from the parameter block, and the test pairs scored and written. Each
// result is compared with a plain, slow rendering of the same rules.
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "fuzz_util.h"
#include "input/input.h"
#include "lp/lp.h"
#include "model/model.h"
#include "score/score.h"

using namespace domlp_fuzz;

namespace {

constexpr std::string_view kSeparator = "\n---\n";

// Values a solution can hold: exact ones, and ones whose sums round.
constexpr double kValues[] = {0.0, 1.0, 0.5, 0.25, 0.1, 0.2, 0.7, 1e-9, 0.999999, 0.3};

struct parts {
  std::string_view file[4];
};

parts split(std::string_view bytes) {
  parts p;
  for (int x = 0; x < 3; ++x) {
    size_t sep = bytes.find(kSeparator);
    if (sep == std::string_view::npos) {
      p.file[x] = bytes;
      return p;
    }
    p.file[x] = bytes.substr(0, sep);
    bytes.remove_prefix(sep + kSeparator.size());
  }
  p.file[3] = bytes;
  return p;
}

using dom_key = std::pair<int, int>;
dom_key key_of(int a, int b) {
  return {std::min(a, b), std::max(a, b)};
}

// Domain pairs numbered the first time an observed pair forms them, every
// combination of the two proteins' domain lists visited.
std::vector<dom_key> ref_numbering(const domlp::node_table& t, const domlp::pair_set& obs) {
  std::vector<dom_key> order;
  std::set<dom_key> seen;
  for (const domlp::pair& op : obs.item)
    for (int da : t.prot[op.i].member)
      for (int db : t.prot[op.j].member)
        if (seen.insert(key_of(da, db)).second) order.push_back(key_of(da, db));
  return order;
}

void put_x(std::string& s, dom_key k) {
  s += " + x(" + std::to_string(k.first) + "," + std::to_string(k.second) + ")";
}

void count_term(std::string& s, int& terms) {
  if (++terms == 8) {
    s += '\n';
    terms = 0;
  }
}

int ref_bound(int rows, float frac) {
  double p = static_cast<double>(rows) * static_cast<double>(frac);
  if (std::isnan(p)) return 0;
  if (p >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (p <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(p);
}

std::string ref_lp(const domlp::node_table& t, const domlp::pair_set& obs,
                   const domlp::pair_set& dint, float frac) {
  std::string s = "\nMinimize\nobj:";
  int terms = 0;
  for (const domlp::pair& dp : dint.item) {
    if (dp.obs != 1) continue;
    put_x(s, key_of(dp.i, dp.j));
    count_term(s, terms);
  }
  s += "\n\nSubject To\n";
  int row = 2, rows = 0;
  for (size_t k = 0; k < obs.item.size(); ++k) {
    const domlp::pair& op = obs.item[k];
    if (op.obs != 1 || t.prot[op.i].n <= 0 || t.prot[op.j].n <= 0) continue;
    ++rows;
    terms = 0;
    std::set<dom_key> written;
    s += "r(" + std::to_string(row++) + "):";
    for (int da : t.prot[op.i].member) {
      for (int db : t.prot[op.j].member) {
        if (!written.insert(key_of(da, db)).second) continue;
        put_x(s, key_of(da, db));
        count_term(s, terms);
      }
    }
    s += " +e(" + std::to_string(k) + ") >= 1.000\n";
  }
  s += "r(" + std::to_string(row) + "):";
  terms = 0;
  for (size_t k = 0; k < obs.item.size(); ++k) {
    if (obs.item[k].obs != 1) continue;
    s += " +e(" + std::to_string(k) + ")";
    count_term(s, terms);
  }
  s += "<=" + std::to_string(ref_bound(rows, frac)) + "\nEnd\n";
  return s;
}

double ref_score(const domlp::node_table& t, const std::map<dom_key, double>& value, int a, int b) {
  double sum = 0.0;
  for (int da : t.prot[a].member) {
    for (int db : t.prot[b].member) {
      auto it = value.find(key_of(da, db));
      if (it != value.end()) sum += it->second;
    }
  }
  return sum > 1.0 ? 1.0 : sum;
}

bool read_counts(const parts& p, domlp::node_table& t, domlp::pair_set& obs,
                 domlp::pair_set& test) {
  int* counts[3] = {&obs.n, &t.ndom, &test.n};
  for (int x = 0; x < 3; ++x) {
    mem_file f(p.file[x]);
    if (domlp::read_count(f.get(), "input", *counts[x]) != 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quiet_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  parts p = split(std::string_view(reinterpret_cast<const char*>(data), size));
  domlp::node_table t;
  domlp::pair_set obs, test, dint;
  // As a run: every count line is checked before anything is read.
  if (!read_counts(p, t, obs, test)) return 0;
  {
    mem_file f(p.file[0]);
    FUZZ_CHECK(domlp::readprotint_stream(t, obs, f.get(), "observed") == 0);
  }
  {
    mem_file f(p.file[2]);
    FUZZ_CHECK(domlp::readprotint_stream(t, test, f.get(), "test") == 0);
  }
  {
    mem_file f(p.file[1]);
    FUZZ_CHECK(domlp::creat_domprot_stream(t, f.get(), "domains") == 0);
  }

  domlp::construct_dint(t, obs, dint);
  std::vector<dom_key> order = ref_numbering(t, obs);
  FUZZ_CHECK(dint.n == static_cast<int>(order.size()));
  FUZZ_CHECK(dint.item.size() == order.size());
  FUZZ_CHECK(dint.nobs == dint.n);
  for (size_t k = 0; k < order.size(); ++k) {
    const domlp::pair& dp = dint.item[k];
    FUZZ_CHECK(dom_key(dp.i, dp.j) == order[k]);
    FUZZ_CHECK(dp.obs == 1 && dp.prob == 0.0);
    FUZZ_CHECK(dint.index.get(dp.i, dp.j) == static_cast<int>(k));
    FUZZ_CHECK(dint.index.get(dp.j, dp.i) == static_cast<int>(k));
  }
  // The observed index holds the last position of each unordered pair.
  std::map<dom_key, int> last;
  for (size_t k = 0; k < obs.item.size(); ++k) {
    FUZZ_CHECK(obs.item[k].obs == 1);
    last[key_of(obs.item[k].i, obs.item[k].j)] = static_cast<int>(k);
  }
  for (const auto& [k, pos] : last) {
    FUZZ_CHECK(obs.index.get(k.first, k.second) == pos);
    FUZZ_CHECK(obs.index.get(k.second, k.first) == pos);
  }

  // Parameter block: the fraction's bits, then one byte per domain pair value.
  std::string_view param = p.file[3];
  uint32_t bits = 0;
  if (!param.empty()) std::memcpy(&bits, param.data(), std::min(param.size(), sizeof bits));
  float frac = 0.0f;
  std::memcpy(&frac, &bits, sizeof frac);
  param.remove_prefix(std::min(param.size(), sizeof bits));

  {
    mem_sink out;
    FUZZ_CHECK(domlp::write_lp(out.get(), t, obs, dint, frac) == 0);
    std::string lp = out.text();
    FUZZ_CHECK(lp == ref_lp(t, obs, dint, frac));
  }

  std::map<dom_key, double> value;
  for (size_t k = 0; k < dint.item.size(); ++k) {
    unsigned char c = param.empty() ? static_cast<unsigned char>(k)
                                    : static_cast<unsigned char>(param[k % param.size()]);
    double v = kValues[c % std::size(kValues)];
    dint.item[k].prob = v;
    value[key_of(dint.item[k].i, dint.item[k].j)] = v;
  }

  domlp::calc_prob_test(t, dint, test);
  std::string expect;
  for (const domlp::pair& tp : test.item) {
    double want = 1.0;
    if (t.prot[tp.i].n != 0 && t.prot[tp.j].n != 0) want = ref_score(t, value, tp.i, tp.j);
    FUZZ_CHECK(tp.prob == want);
    FUZZ_CHECK(domlp::score_pair(t, dint, tp.i, tp.j) == ref_score(t, value, tp.i, tp.j));
    if (want >= 1.0) expect += t.prot[tp.i].name + '\t' + t.prot[tp.j].name + '\n';
  }
  mem_sink out;
  FUZZ_CHECK(domlp::write_pint(out.get(), t, test) == 0);
  FUZZ_CHECK(out.text() == expect);
  return 0;
}
