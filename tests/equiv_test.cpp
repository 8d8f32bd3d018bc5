// The fast paths of the pipeline against a straightforward reference on
// generated inputs with the skew of real data: hub domains, hub proteins,
// proteins without domains, and domains repeated in a protein, a few of them
// hundreds of times.
//
// The reference is the plain algorithm: names numbered through an ordered
// map, every combination of two proteins' domain lists visited with its
// repeats, a per-row list of the domain pairs already written, and a plain
// sum of every combination's value without an early stop. The optimised
// code must give the same tables, the same LP text, the same values read
// from a solver report and the same predicted pairs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "input/input.h"
#include "lp/lp.h"
#include "model/model.h"
#include "score/score.h"
#include "test_util.h"

namespace {

using namespace domlp;
using domlp_test::mem_out;
using domlp_test::temp_dir;

// splitmix64: the same numbers on every platform and standard library.
struct rng {
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  size_t below(size_t n) { return static_cast<size_t>(next() % n); }
};

// Draws indices with weights 1 / (rank + offset)^power over a random ranking.
struct skewed {
  std::vector<double> cum;
  skewed(rng& r, size_t n, double offset, double power) {
    std::vector<size_t> rank(n);
    for (size_t x = 0; x < n; ++x) rank[x] = x;
    for (size_t x = n; x > 1; --x) std::swap(rank[x - 1], rank[r.below(x)]);
    double sum = 0;
    for (size_t x = 0; x < n; ++x) {
      sum += 1.0 / std::pow(static_cast<double>(rank[x]) + offset, power);
      cum.push_back(sum);
    }
  }
  size_t draw(rng& r) const {
    double u = r.unit() * cum.back();
    size_t lo = 0, hi = cum.size() - 1;
    while (lo < hi) {
      size_t mid = (lo + hi) / 2;
      if (cum[mid] <= u)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo;
  }
};

struct data_shape {
  size_t proteins, domains, pairs, tests;
  double heavy_repeat;  // share of proteins with a domain repeated 100-300 times
  double domains_mean_extra;
  uint64_t seed;
  bool long_names = false;  // must produce column names longer than twelve characters
};

struct generated {
  std::vector<std::pair<std::string, std::string>> obs, test;
  std::vector<std::pair<std::string, std::vector<std::string>>> dom;  // name, line's proteins
  std::string obs_text, dom_text, test_text;
};

std::string pname(size_t i) {
  return "P" + std::to_string(i);
}

generated generate(const data_shape& sp) {
  rng r{sp.seed};
  generated g;
  skewed dom_pick(r, sp.domains, 1.0, 1.0);
  std::vector<std::vector<std::string>> lines(sp.domains);
  for (size_t p = 0; p < sp.proteins; ++p) {
    if (r.unit() < 0.15) continue;
    std::vector<size_t> ds;
    ds.push_back(dom_pick.draw(r));
    while (ds.size() < 20 && r.unit() < sp.domains_mean_extra) ds.push_back(dom_pick.draw(r));
    for (size_t d : ds) lines[d].push_back(pname(p));  // a domain drawn twice is listed twice
    double u = r.unit();
    size_t times = u < sp.heavy_repeat ? 100 + r.below(201) : u < 0.05 ? 2 + r.below(5) : 1;
    for (size_t k = 1; k < times; ++k) lines[ds[r.below(ds.size())]].push_back(pname(p));
  }
  size_t unknown = sp.proteins;
  for (size_t d = 0; d < sp.domains; ++d) {
    std::vector<std::string>& names = lines[d];
    if (names.empty() || r.unit() < 0.03) {
      names.clear();
      for (size_t k = 1 + r.below(3); k > 0; --k) names.push_back(pname(unknown++));
    } else {
      for (size_t k = names.size() / 10; k > 0; --k) names.push_back(pname(unknown++));
    }
    for (size_t x = names.size(); x > 1; --x) std::swap(names[x - 1], names[r.below(x)]);
    g.dom.emplace_back("PF" + std::to_string(d), names);
  }
  skewed prot_pick(r, sp.proteins, 10.0, 0.6);
  auto pairs = [&](size_t n, std::vector<std::pair<std::string, std::string>>& out,
                   std::string& text) {
    text = std::to_string(n) + "\n";
    for (size_t k = 0; k < n; ++k) {
      out.emplace_back(pname(prot_pick.draw(r)), pname(prot_pick.draw(r)));
      text += out.back().first + (k % 7 == 0 ? "  " : "\t") + out.back().second + "\n";
    }
  };
  pairs(sp.pairs, g.obs, g.obs_text);
  pairs(sp.tests, g.test, g.test_text);
  g.dom_text = std::to_string(g.dom.size()) + "\n";
  for (const auto& [name, names] : g.dom) {
    g.dom_text += name + ":";
    for (const std::string& n : names) g.dom_text += " " + n;
    g.dom_text += "\n";
  }
  return g;
}

// ---------------------------------------------------------------------------
// The reference.

struct ref_model {
  std::vector<std::string> prot;
  std::vector<std::vector<int>> member;  // per protein, domain indices
  std::vector<std::string> dom;
  std::vector<std::pair<int, int>> obs, test;
  std::vector<std::pair<int, int>> dpairs;  // i <= j, in numbering order
  std::map<std::pair<int, int>, int> dindex;
};

void ref_read(const generated& g, ref_model& m) {
  std::map<std::string, int> by_name;
  auto num = [&](const std::string& n) {
    auto it = by_name.find(n);
    if (it != by_name.end()) return it->second;
    by_name.emplace(n, static_cast<int>(m.prot.size()));
    m.prot.push_back(n);
    return static_cast<int>(m.prot.size() - 1);
  };
  for (const auto& [a, b] : g.obs) {
    int i = num(a);
    m.obs.emplace_back(i, num(b));
  }
  for (const auto& [a, b] : g.test) {
    int i = num(a);
    m.test.emplace_back(i, num(b));
  }
  m.member.assign(m.prot.size(), {});
  for (const auto& [name, names] : g.dom) {
    std::vector<int> kept;
    for (const std::string& n : names) {
      auto it = by_name.find(n);
      if (it != by_name.end()) kept.push_back(it->second);
    }
    if (kept.empty()) continue;
    int d = static_cast<int>(m.dom.size());
    m.dom.push_back(name);
    for (int q : kept) m.member[static_cast<size_t>(q)].push_back(d);
  }
}

std::pair<int, int> ordered(int a, int b) {
  return a < b ? std::make_pair(a, b) : std::make_pair(b, a);
}

void ref_dint(ref_model& m) {
  for (const auto& [a, b] : m.obs)
    for (int da : m.member[static_cast<size_t>(a)])
      for (int db : m.member[static_cast<size_t>(b)])
        if (m.dindex.emplace(ordered(da, db), static_cast<int>(m.dpairs.size())).second)
          m.dpairs.push_back(ordered(da, db));
}

std::string ref_lp(const ref_model& m, float frac) {
  std::string s = "\nMinimize\nobj:";
  int terms = 0;
  auto term = [&](std::string& out, const std::string& t) {
    out += t;
    if (++terms == 8) {
      out += "\n";
      terms = 0;
    }
  };
  auto x = [](std::pair<int, int> p) {
    return " + x(" + std::to_string(p.first) + "," + std::to_string(p.second) + ")";
  };
  for (const auto& p : m.dpairs) term(s, x(p));
  s += "\n\nSubject To\n";
  int row = 2, rows = 0;
  for (size_t t = 0; t < m.obs.size(); ++t) {
    const auto& ma = m.member[static_cast<size_t>(m.obs[t].first)];
    const auto& mb = m.member[static_cast<size_t>(m.obs[t].second)];
    if (ma.empty() || mb.empty()) continue;
    ++rows;
    s += "r(" + std::to_string(row++) + "):";
    terms = 0;
    std::vector<std::pair<int, int>> seen;
    for (int da : ma)
      for (int db : mb) {
        std::pair<int, int> p = ordered(da, db);
        bool dup = false;
        for (const auto& q : seen) dup = dup || q == p;
        if (dup) continue;
        seen.push_back(p);
        term(s, x(p));
      }
    s += " +e(" + std::to_string(t) + ") >= 1.000\n";
  }
  s += "r(" + std::to_string(row) + "):";
  terms = 0;
  for (size_t t = 0; t < m.obs.size(); ++t) term(s, " +e(" + std::to_string(t) + ")");
  s += "<=" +
       std::to_string(static_cast<int>(static_cast<double>(rows) * static_cast<double>(frac)));
  s += "\nEnd\n";
  return s;
}

std::vector<double> ref_scores(const ref_model& m, const std::vector<double>& value) {
  std::vector<double> score;
  for (const auto& [a, b] : m.test) {
    const auto& ma = m.member[static_cast<size_t>(a)];
    const auto& mb = m.member[static_cast<size_t>(b)];
    if (ma.empty() || mb.empty()) {
      score.push_back(1.0);
      continue;
    }
    double sum = 0.0;
    for (int da : ma)
      for (int db : mb) {
        auto it = m.dindex.find(ordered(da, db));
        if (it != m.dindex.end()) sum += value[static_cast<size_t>(it->second)];
      }
    score.push_back(sum > 1.0 ? 1.0 : sum);
  }
  return score;
}

// Values that make exact sums of 1 likely, some fractional ones that miss it
// by a rounding, zeros, and arbitrary ones.
double draw_value(rng& r) {
  static const double kPicks[] = {0.0, 0.0, 0.0, 1.0, 0.5, 0.1, 0.2, 0.7, 0.25, 1.0 / 3.0};
  size_t k = r.below(std::size(kPicks) + 2);
  return k < std::size(kPicks) ? kPicks[k] : r.unit();
}

// A report in the solver's layout carrying `value` for every domain pair,
// names longer than twelve characters wrapped onto a line of their own. The
// columns come in domain pair order, as the solver lists them, or, with
// `order`, in that order instead (shown[k] is still pair k's value).
std::string report_for(const ref_model& m, const std::vector<double>& value,
                       std::vector<std::string>& shown,
                       const std::vector<size_t>* order = nullptr) {
  std::string s =
      "Problem:    \nRows:       1\nColumns:    1\nNon-zeros:  1\nStatus:     OPTIMAL\n"
      "Objective:  obj = 1 (MINimum)\n\n"
      "   No. Column name  St   Activity     Lower bound   Upper bound    Marginal\n"
      "------ ------------ -- ------------- ------------- ------------- -------------\n";
  char buf[128];
  shown.assign(m.dpairs.size(), "");
  for (size_t k = 0; k < m.dpairs.size(); ++k) {
    std::snprintf(buf, sizeof buf, "%13.6g", value[k]);
    shown[k] = buf;
  }
  for (size_t c = 0; c < m.dpairs.size(); ++c) {
    size_t k = order ? (*order)[c] : c;
    std::string name =
        "x(" + std::to_string(m.dpairs[k].first) + "," + std::to_string(m.dpairs[k].second) + ")";
    std::snprintf(buf, sizeof buf, "%6zu ", c + 1);
    s += buf;
    if (name.size() <= 12)
      s += name + std::string(13 - name.size(), ' ');
    else
      s += name + "\n" + std::string(20, ' ');
    s += (value[k] > 0 ? "B  " : "NL ") + shown[k] + "             0\n";
  }
  std::snprintf(buf, sizeof buf, "%6zu e(0)         NL             0             0\n",
                m.dpairs.size() + 1);
  s += buf;
  s += "\nEnd of output\n";
  return s;
}

void check_equivalent(const data_shape& sp) {
  generated g = generate(sp);
  ref_model m;
  ref_read(g, m);
  ref_dint(m);

  temp_dir dir;
  dir.write("obs.txt", g.obs_text);
  dir.write("dom.txt", g.dom_text);
  dir.write("test.txt", g.test_text);
  node_table t;
  pair_set obs, test, dint;
  ASSERT_EQ(
      readdata(t, obs, test, dint, dir.file("obs.txt"), dir.file("dom.txt"), dir.file("test.txt")),
      0);

  // Tables as read.
  ASSERT_EQ(t.nprot, static_cast<int>(m.prot.size()));
  ASSERT_EQ(t.ndom, static_cast<int>(m.dom.size()));
  for (size_t q = 0; q < m.prot.size(); ++q) {
    ASSERT_EQ(t.prot[q].name, m.prot[q]) << q;
    ASSERT_EQ(t.prot[q].member, m.member[q]) << q;
    ASSERT_EQ(t.prot[q].n, static_cast<int>(m.member[q].size())) << q;
  }
  for (size_t d = 0; d < m.dom.size(); ++d) ASSERT_EQ(t.dom[d].name, m.dom[d]) << d;
  ASSERT_EQ(obs.item.size(), m.obs.size());
  for (size_t k = 0; k < m.obs.size(); ++k)
    ASSERT_EQ(std::make_pair(obs.item[k].i, obs.item[k].j), m.obs[k]) << k;
  ASSERT_EQ(test.item.size(), m.test.size());
  for (size_t k = 0; k < m.test.size(); ++k)
    ASSERT_EQ(std::make_pair(test.item[k].i, test.item[k].j), m.test[k]) << k;

  // Domain pairs: numbering, flags and the index both ways.
  construct_dint(t, obs, dint);
  if (sp.long_names) {
    size_t wrapped = 0;
    for (const auto& p : m.dpairs) wrapped += p.first >= 1000 && p.second >= 10000;
    ASSERT_GT(wrapped, 100u);
  }
  ASSERT_EQ(dint.n, static_cast<int>(m.dpairs.size()));
  ASSERT_EQ(dint.nobs, dint.n);
  for (size_t k = 0; k < m.dpairs.size(); ++k) {
    const pair& dp = dint.item[k];
    ASSERT_EQ(std::make_pair(dp.i, dp.j), m.dpairs[k]) << k;
    ASSERT_EQ(dp.obs, 1);
    ASSERT_EQ(dint.index.get(dp.i, dp.j), static_cast<int>(k));
    ASSERT_EQ(dint.index.get(dp.j, dp.i), static_cast<int>(k));
  }
  // A later observed pair over the same two proteins wins the index.
  std::map<std::pair<int, int>, int> last;
  for (size_t k = 0; k < m.obs.size(); ++k)
    last[ordered(m.obs[k].first, m.obs[k].second)] = static_cast<int>(k);
  for (const auto& [p, k] : last) ASSERT_EQ(obs.index.get(p.second, p.first), k);

  // The LP text, byte for byte, for two fractions.
  for (float frac : {0.1f, 0.7f}) {
    mem_out lp;
    ASSERT_EQ(write_lp(lp.stream(), t, obs, dint, frac), 0);
    std::string want = ref_lp(m, frac);
    std::string got = lp.text();
    ASSERT_EQ(got.size(), want.size());
    ASSERT_TRUE(got == want);
  }

  // Values through a report in the solver's layout, then the scores.
  rng r{sp.seed ^ 0x5bd1e995u};
  std::vector<double> value;
  for (size_t k = 0; k < m.dpairs.size(); ++k) value.push_back(draw_value(r));
  std::vector<std::string> shown;
  std::string report = report_for(m, value, shown);
  FILE* in = domlp_test::mem_in(report);
  ASSERT_EQ(parse_glp_stream(in, "report", dint), 0);
  std::fclose(in);
  for (size_t k = 0; k < m.dpairs.size(); ++k) {
    double v = std::strtod(shown[k].c_str(), nullptr);
    value[k] = v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v;
    ASSERT_EQ(dint.item[k].prob, value[k]) << k << " " << shown[k];
  }
  // The reader takes the columns in pair order without a look-up; a report
  // listing them otherwise (here every second pair first, both halves
  // reversed) must still reach each pair. The pairs are cleared first, so
  // that a missed one shows.
  {
    std::vector<size_t> order;
    for (size_t k = m.dpairs.size(); k-- > 0;)
      if (k % 2 == 1) order.push_back(k);
    for (size_t k = m.dpairs.size(); k-- > 0;)
      if (k % 2 == 0) order.push_back(k);
    std::vector<std::string> again;
    std::string shuffled = report_for(m, value, again, &order);
    pair_set copy = dint;
    for (pair& dp : copy.item) dp.prob = -1.0;
    FILE* f = domlp_test::mem_in(shuffled);
    ASSERT_EQ(parse_glp_stream(f, "report", copy), 0);
    std::fclose(f);
    for (size_t k = 0; k < m.dpairs.size(); ++k)
      ASSERT_EQ(copy.item[k].prob, dint.item[k].prob) << k;
  }

  calc_prob_test(t, dint, test);
  std::vector<double> want = ref_scores(m, value);
  std::string want_pint;
  size_t predicted = 0;
  for (size_t k = 0; k < m.test.size(); ++k) {
    ASSERT_EQ(test.item[k].prob, want[k]) << k;
    if (want[k] >= 1.0) {
      want_pint += m.prot[static_cast<size_t>(m.test[k].first)] + "\t" +
                   m.prot[static_cast<size_t>(m.test[k].second)] + "\n";
      ++predicted;
    }
  }
  mem_out pint;
  ASSERT_EQ(write_pint(pint.stream(), t, test), 0);
  ASSERT_TRUE(pint.text() == want_pint);
  // The input must exercise both outcomes.
  EXPECT_GT(predicted, m.test.size() / 20);
  EXPECT_LT(predicted, m.test.size());
}

TEST(Equivalence, MediumSizedSkewedInput) {
  // 20 000 proteins, 5 000 domains, 100 000 observed and test pairs.
  check_equivalent({20000, 5000, 100000, 100000, 0.0005, 0.45, 1});
}

TEST(Equivalence, HeavyRepeatsAndLongDomainLists) {
  // Few proteins with many domains each, one in fifty with a domain listed
  // hundreds of times: the combination loops see long runs of repeats.
  check_equivalent({600, 60, 3000, 3000, 0.02, 0.8, 2});
}

TEST(Equivalence, DomainIndicesPastTenThousand) {
  // Enough kept domains for column names longer than twelve characters.
  check_equivalent({60000, 40000, 80000, 20000, 0.0, 0.6, 3, true});
}

}  // namespace
